// glazeform-gallery: every control of the library in its states, dressed in the program's
// skin, on one window.
//   glazeform-gallery                 shows the window
//   glazeform-gallery --shot FILE     renders it (with the open menu) to a PNG and exits
#include <glazeform/LXButton.h>
#include <glazeform/LXCheckButton.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXCustomScroller.h>
#include <glazeform/LXConverWin.h>
#include <glazeform/LXCutSlider.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXImageView.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXPopupButtonCell.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXSpinButton.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXSwitchButton.h>
#include <glazeform/LXThumbImageTableView.h>
#include <glazeform/LXView.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <cstdio>

namespace {

QPixmap pic(const char *name) { return LXImage::named(QString::fromLatin1(name)); }

const QColor kWindow(0x14, 0x16, 0x1a);
const QColor kPanel(0x1b, 0x1e, 0x23);
const QColor kCaption(0x7d, 0x86, 0x92);
const QColor kText(0xd8, 0xdc, 0xe2);

// Presses a control without releasing it, to show its pressed look.
void holdPressed(QWidget *w, QPointF at = {4, 4}) {
    QMouseEvent e(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A rounded panel with a caption, the gallery's section.
class Section : public QWidget {
public:
    Section(const QString &title, const QRect &r, QWidget *parent) : QWidget(parent), _title(title) { setGeometry(r); }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QColor(255, 255, 255, 14));
        p.setBrush(kPanel);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
        QFont f = LXStyle::boldSystemFont(11);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
        LXStyle::drawText(p, {16, 12}, _title.toUpper(), f, kCaption);
    }

private:
    QString _title;
};

LXLabel *caption(QWidget *parent, const QString &text, const QRect &r, int size = 11, QColor color = kCaption,
                 int align = LXLabel::AlignLeft) {
    auto *l = new LXLabel(parent);
    l->setGeometry(r);
    l->setTextFont(LXStyle::systemFont(size));
    l->setTextColor(color);
    l->setTextAlignment(align);
    l->setTextTitle(text);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

LXButton *button(QWidget *parent, const QRect &r, const char *normal, const char *press, const QString &title = {}) {
    auto *b = new LXButton(parent);
    b->setGeometry(r);
    b->setNormalImage(pic(normal));
    b->setPressImage(pic(press));
    b->setTextTitle(title);
    return b;
}

void dressTrack(LXSliderA *s, const char *bgL, const char *bgM, const char *bgR, const char *fgL, const char *fgM,
                const char *fgR) {
    s->setProgressLeftImage(pic(bgL));
    s->setProgressImage(pic(bgM));
    s->setProgressRightImage(pic(bgR));
    if (fgL) {
        s->setSubProgressLeftImage(pic(fgL));
        s->setSubProgressImage(pic(fgM));
        s->setSubProgressRightImage(pic(fgR));
    }
}

// The floating bar's data sources, as the player and the player-editor fill it.
LXButton *barButton(LXConverWinView *v, QRectF frame, const char *normal, const char *press) {
    auto *b = new LXButton(frame, v);
    b->setTextTitle({});
    b->setImages(normal, press);
    return b;
}

LXLabel *barLabel(LXConverWinView *v, QRectF frame, const QString &text, int align) {
    auto *l = new LXLabel(frame, v);
    l->setTextFont(LXStyle::systemFont(10));
    l->setTextColor(Qt::white);
    l->setTextAlignment(align);
    l->setTextTitle(text);
    return l;
}

const QRectF kCentre((603 - 24) / 2.0, (59 - 24) / 2.0 + 14, 24, 24);

struct PlayBar : LXConvertWinViewDataSource {
    QWidget *backgroundView(LXConverWinView *v) override {
        auto *bg = new LXView(QRectF(0, 0, 603, 59), v);
        bg->setBackGroundImage(pic("FullBg.png"));
        return bg;
    }
    QWidget *backController(LXConverWinView *v) override {
        return barButton(v, {10, 31, 24, 24}, "backToMainNormal.png", "backToMainPress.png");
    }
    QWidget *voiceLogoController(LXConverWinView *v) override {
        return barButton(v, {63, 32, 24, 24}, "FullCtrlVoiceLogo.png", "FullCtrlVoiceLogo.png");
    }
    QWidget *voiceSliderController(LXConverWinView *v) override {
        auto *vol = new LXSliderA(QRectF(82, 31, 80, 20), v);
        dressTrack(vol, "FullCtrlVoiceLeftFg.png", "FullCtrlVoiceMiddleFg.png", "FullCtrlVoiceRightFg.png", nullptr,
                   nullptr, nullptr);
        vol->setKnobImage(pic("FullCtrlVoiceBarPos_Normal.png"));
        vol->setSlideType(1);
        vol->setNSpace(6);
        vol->setYCursorDetal(3);
        vol->initImagePosition();
        vol->setSliderPos(0.6);
        return vol;
    }
    QWidget *playController(LXConverWinView *v) override {
        return barButton(v, kCentre, "FullCtrlPauseNormal.png", "FullCtrlPausePress.png");
    }
    QWidget *exportController(LXConverWinView *v) override {
        return barButton(v, {520, 31, 24, 24}, "ShareNormal.png", "SharePress.png");
    }
    QWidget *exitFullScreenController(LXConverWinView *v) override {
        return barButton(v, {572, 31, 24, 24}, "extentFullNormal.png", "extentFullPress.png");
    }
    QWidget *progressController(LXConverWinView *v) override {
        auto *prg = new LXSliderA(QRectF(60, 5, 480, 16), v);
        dressTrack(prg, "FullCtrlPrgLeftBg.png", "FullCtrlPrgMiddleBg.png", "FullCtrlPrgRightBg.png",
                   "FullCtrlPrgLeftFg.png", "FullCtrlPrgMiddleFg.png", "FullCtrlPrgRightFg.png");
        prg->setKnobImage(pic("FullCtrlProgressBarPos_Normal.png"));
        prg->setSlideType(1);
        prg->setNSpace(6);
        prg->setYCursorDetal(5);
        prg->initImagePosition();
        prg->setSliderPos(0.42);
        return prg;
    }
    QWidget *leftLabelController(LXConverWinView *v) override {
        return barLabel(v, {5, 6, 60, 16}, LXCommon::formatTimeDescStr(80), LXLabel::AlignLeft);
    }
    QWidget *rightLabelController(LXConverWinView *v) override {
        return barLabel(v, {540, 6, 60, 16}, "- " + LXCommon::formatTimeDescStr(110), LXLabel::AlignRight);
    }
};

struct TrimBar : LXConvertWinViewDataSource, LXCutSliderDelegate {
    QWidget *backgroundView(LXConverWinView *v) override {
        auto *bg = new LXView(QRectF(0, 0, 603, 59), v);
        bg->setBackGroundImage(pic("FullBg.png"));
        return bg;
    }
    QWidget *playInEditorController(LXConverWinView *v) override {
        return barButton(v, kCentre, "FullCtrlPlayNormal.png", "FullCtrlPlayPress.png");
    }
    QWidget *previousController(LXConverWinView *v) override {
        return barButton(v, kCentre.translated(-60, 0), "previousNormal.png", "previousPress.png");
    }
    QWidget *nextController(LXConverWinView *v) override {
        return barButton(v, kCentre.translated(60, 0), "nextNormal.png", "nextPress.png");
    }
    QWidget *cutSliderController(LXConverWinView *v) override {
        auto *cut = new LXCutSlider(QRectF(48, 1, 432, 30), v);
        cut->setLeftCutNormal(pic("ODEditLeftCutNormal.png"));
        cut->setLeftCutPress(pic("ODEditLeftCutPress.png"));
        cut->setRightCutNormal(pic("ODEditRightCutNormal.png"));
        cut->setRightCutPress(pic("ODEditRightCutPress.png"));
        cut->setCursorNormal(pic("ODEditCursorNormal.png"));
        cut->setCursorPress(pic("ODEditCursorPress.png"));
        cut->setPrgStartBg(pic("FullCtrlPrgLeftBg.png"));
        cut->setPrgMidBg(pic("FullCtrlPrgMiddleBg.png"));
        cut->setPrgEndBg(pic("FullCtrlPrgRightBg.png"));
        cut->setPrgStartFg(pic("FullCtrlPrgLeftFg.png"));
        cut->setPrgMidFg(pic("FullCtrlPrgMiddleFg.png"));
        cut->setPrgEndFg(pic("FullCtrlPrgRightFg.png"));
        cut->setCutDeltaY(-4);
        cut->setPosDeltaY(-3);
        cut->setSlideBgDeltaY(-3);
        cut->setSlideFgDeltaY(-3);
        cut->initRects();
        cut->initTotalTimeValueStartCutEndCutTotalTime(0, 31, 118, 190);
        cut->setCurrentTime(64);
        return cut;
    }
    QWidget *trimController(LXConverWinView *v) override {
        auto *b = barButton(v, {542, 31, 52, 22}, "trimOrCancelTrimNormal.png", "trimOrCancelTrimPress.png");
        b->setTextTitle("Trim");
        b->setTextFont(LXStyle::systemFont(11));
        b->setYOffSet(-2);
        return b;
    }
    QWidget *cancelTrimController(LXConverWinView *v) override {
        auto *b = barButton(v, {542, 5, 52, 22}, "trimOrCancelTrimNormal.png", "trimOrCancelTrimPress.png");
        b->setTextTitle("Cancel");
        b->setTextFont(LXStyle::systemFont(11));
        b->setYOffSet(-2);
        return b;
    }
    QWidget *startLabelController(LXConverWinView *v) override {
        return barLabel(v, {5, 8, 60, 16}, LXCommon::timeStringFromTimeIntValueBShowMM(3100, true), LXLabel::AlignLeft);
    }
    QWidget *endLabelController(LXConverWinView *v) override {
        return barLabel(v, {470, 8, 60, 16}, LXCommon::timeStringFromTimeIntValueBShowMM(11800, true),
                        LXLabel::AlignLeft);
    }
};

// ------------------------------------------------------------------------------------

class Gallery : public QWidget {
public:
    Gallery() {
        setWindowTitle("Glazeform gallery");
        setFixedSize(1280, 1040);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, kWindow);
        setPalette(pal);
        header();
        buttons(new Section("Buttons", QRect(24, 84, 612, 232), this));
        switches(new Section("Check, switch and spin", QRect(660, 84, 596, 232), this));
        rows(new Section("Job rows, progress and scroller", QRect(24, 332, 612, 260), this));
        sliders(new Section("Sliders and trimming", QRect(660, 332, 596, 260), this));
        floating(new Section("Floating control bar: play and trim", QRect(24, 608, 1232, 112), this));
        grid(new Section("Picture grid", QRect(24, 736, 820, 280), this));
        popups(new Section("Pop-up button and menu", QRect(868, 736, 388, 280), this));
    }

    LXPopUpButton *menuButton = nullptr;
    QList<QWidget *> pressLater;

private:
    void header() {
        caption(this, "Glazeform", QRect(24, 18, 400, 34), 26, kText);
        caption(this, "Skinned controls of Cinvora, drawn from the generated skin", QRect(26, 52, 600, 22), 13,
                kCaption);
        auto *conv = button(this, QRect(1124, 24, 132, 34), "ODConvertNormal.png", "ODConvertPress.png", "Convert");
        conv->setTextNormalColor(Qt::black);
        conv->setTextPressColor(Qt::black);
        conv->setBShadowText(false);
        conv->setTextFont(LXStyle::boldSystemFont(13));
        conv->setYOffSet(-1);
        auto *pause =
            button(this, QRect(980, 24, 132, 34), "ODStopConvertNormal.png", "ODStopConvertPress.png", "Pause All");
        pause->setTextNormalColor(Qt::black);
        pause->setTextPressColor(Qt::black);
        pause->setBShadowText(false);
        pause->setTextFont(LXStyle::boldSystemFont(13));
        pause->setYOffSet(-1);
    }

    void buttons(Section *s) {
        // Tool buttons: normal, pressed.
        caption(s, "Tool buttons", QRect(16, 40, 200, 16));
        int x = 16;
        for (auto [n, p] : {std::pair{"ODAddNormal.png", "ODAddPress.png"},
                            {"ODBrowserNormal.png", "ODBrowserPress.png"},
                            {"ODSettingNormal.png", "ODSettingPress.png"}}) {
            button(s, QRect(x, 62, 32, 26), n, p);
            pressLater << button(s, QRect(x + 40, 62, 32, 26), n, p);
            x += 88;
        }
        // Convert toggle, pressed.
        caption(s, "Pressed and disabled", QRect(290, 40, 200, 16));
        auto *conv = button(s, QRect(290, 58, 132, 34), "ODConvertNormal.png", "ODConvertPress.png", "Convert");
        conv->setTextNormalColor(Qt::black);
        conv->setTextPressColor(Qt::black);
        conv->setBShadowText(false);
        conv->setTextFont(LXStyle::boldSystemFont(13));
        conv->setYOffSet(-1);
        pressLater << conv;
        auto *left = button(s, QRect(436, 53, 28, 44), "ODLeftArrowNormal.png", "ODLeftArrowPress.png");
        left->setDisableImage(pic("ODLeftArrowDisable.png"));
        left->setBEnabled(false);
        button(s, QRect(472, 53, 28, 44), "ODRightArrowNormal.png", "ODRightArrowPress.png");
        pressLater << button(s, QRect(508, 53, 28, 44), "ODRightArrowNormal.png", "ODRightArrowPress.png");

        // Editor transport.
        caption(s, "Editor", QRect(16, 108, 200, 16));
        const char *names[] = {"ODEditFirst",     "ODEditPrevious", "ODEditPlay",      "ODEditTrimPlay",
                               "ODEditNext",      "ODEditLast",     "ODEditLeftApply", "ODEditRightApply",
                               "ODEditTrimPause", "ODEditPause",    "ODEdit",          "ODSave"};
        x = 16;
        for (int i = 0; i < 12; ++i) {
            const QByteArray n = QByteArray("%1Normal.png").replace("%1", names[i]),
                             p = QByteArray("%1Press.png").replace("%1", names[i]);
            auto *b = button(s, QRect(x, 128, 32, 32), n.constData(), p.constData());
            if (i == 2 || i == 7)
                pressLater << b;
            x += 42;
        }
        // Category switch.
        caption(s, "Categories", QRect(16, 172, 200, 16));
        const QStringList cats{"Apple Device", "Web Video", "Common Video", "Audio"};
        x = 16;
        for (int i = 0; i < 4; ++i) {
            auto *b = new LXButton(s);
            b->setGeometry(x, 192, 112, 26);
            b->setTextTitle(cats[i]);
            b->setBShadowText(false);
            b->setTextFont(LXStyle::systemFont(12));
            b->setTextNormalColor(i == 0 ? LXStyle::grey(0.4) : QColor(0xa9, 0xb1, 0xbb));
            b->setTextPressColor(LXStyle::grey(0.4));
            if (i == 0)
                b->setNormalImage(pic("ODMediaTypeBtn.png"));
            b->setPressImage(pic("ODMediaTypeBtn.png"));
            x += 118;
        }
        auto *plus = button(s, QRect(500, 190, 20, 20), "ODVolumn-Normal.png", "ODVolumn-Press.png");
        plus->setGeometry(498, 194, 20, 20);
        button(s, QRect(528, 194, 20, 20), "ODVolumn+Normal.png", "ODVolumn+Press.png");
        pressLater << button(s, QRect(556, 194, 20, 20), "ODVolumn+Normal.png", "ODVolumn+Press.png");
    }

    void switches(Section *s) {
        caption(s, "Check boxes", QRect(16, 40, 200, 16));
        const char *titles[] = {"Copy streams when codecs match", "Ask before changing every item", "Disabled option"};
        for (int i = 0; i < 3; ++i) {
            auto *c = new LXCheckButton(s);
            c->setGeometry(16, 62 + i * 28, 300, 22);
            c->setNormalImage(pic("LXCheckNormal.png"));
            c->setCheckedImage(pic("LXCheckChecked.png"));
            c->setTextTitle(titles[i]);
            c->setTextFont(LXStyle::systemFont(13));
            c->setBChecked(i == 0);
            c->setBEnabled(i != 2);
        }
        caption(s, "Switches", QRect(340, 40, 200, 16));
        for (int i = 0; i < 2; ++i) {
            auto *sw = new LXSwitchButton(s);
            sw->setGeometry(340, 64 + i * 32, 47, 18);
            sw->setBtnBackgroundImage(pic("ODSwitchBG.png"));
            sw->setBtnForegroundImage(pic("ODSwitchFG.png"));
            sw->setBOnStates(i == 1);
            caption(s, i == 1 ? "On" : "Off", QRect(396, 62 + i * 32, 60, 22), 13, kText);
        }
        caption(s, "Spin control", QRect(460, 40, 200, 16));
        for (int i = 0; i < 2; ++i) {
            auto *count =
                caption(s, i == 0 ? "2" : "3", QRect(460, 64 + i * 40, 30, 30), 18, kText, LXLabel::AlignRight);
            (void)count;
            auto *spin = new LXSpinButton(s);
            spin->setGeometry(496, 62 + i * 40, 20, 30);
            spin->setBackgroundImage(pic("LXSpinBackground.png"));
            spin->setTopBtnPressImage(pic("LXSpinTopPress.png"));
            spin->setBtmBtnPressImage(pic("LXSpinBtmPress.png"));
            spin->setMinValue(1);
            spin->setMaxValue(10);
            spin->setCurValue(i == 0 ? 2 : 3);
            if (i == 1)
                pressLater << spin;
        }
        caption(s, "Drop files here", QRect(16, 152, 200, 16));
        auto *drop = new LXImageView(s);
        drop->setGeometry(16, 172, 96, 46);
        drop->setImage(pic("defaultMovieImage.png"));
        caption(s, "Output folder", QRect(130, 152, 200, 16));
        auto *cell = new LXPopupButtonCell(s);
        cell->setGeometry(130, 176, 220, 22);
        cell->addItems({"~/Videos/Cinvora", "Others..."});
        cell->setPopupNormalImage(pic("ODPopNormal.png"));
        cell->setTitleColor(kText);
        auto *reveal = button(s, QRect(360, 174, 32, 26), "ODBrowserNormal.png", "ODBrowserPress.png");
        (void)reveal;
        caption(s, "Floating controls", QRect(420, 152, 200, 16));
        const char *fl[] = {"backToMain", "exitFull", "extentFull", "Share"};
        for (int i = 0; i < 4; ++i) {
            const QByteArray n = QByteArray("%1Normal.png").replace("%1", fl[i]),
                             p = QByteArray("%1Press.png").replace("%1", fl[i]);
            auto *b = button(s, QRect(420 + i * 34, 176, 24, 24), n.constData(), p.constData());
            if (i == 3)
                pressLater << b;
        }
    }

    QWidget *row(QWidget *parent, int y, bool selected, const QString &name, bool converting) {
        auto *r = new LXView(parent);
        r->setGeometry(16, y, 560, 58);
        r->setBackGroundImage(pic(selected ? "ODCellBarPress.png" : "ODCellBarNormal.png"));
        auto *thumb = new LXImageView(r);
        LXGeometry::place(thumb, QRectF(10, 5, 78, 50));
        QPixmap t = pic("defaultMovieImage.png")
                        .scaled(78 * 2, 50 * 2, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        t.setDevicePixelRatio(2);
        thumb->setImage(LXImage::roundCornersImageCornerRadius(t, 4));
        auto *title = new LXLabel(QRectF(96, 36, 300, 18), r);
        title->setTextColor(kText);
        title->setTextFont(LXStyle::systemFont(13));
        title->setBUseDot(true);
        title->setTextTitle(name);
        if (converting) {
            auto *prg = new LXSliderA(QRectF(96, 16, 300, 12), r);
            dressTrack(prg, "ODPrgLeftBg.png", "ODPrgMiddleBg.png", "ODPrgRightBg.png", "ODPrgLeftFg.png",
                       "ODPrgMiddleFg.png", "ODPrgRightFg.png");
            prg->setBExtentMidSkin(false);
            prg->setNSpace(2);
            prg->setSlideType(0);
            prg->initImagePosition();
            prg->setSliderPos(0.62);
            auto *status = new LXLabel(QRectF(400, 1, 120, 13), r);
            status->setTextFont(LXStyle::systemFont(9));
            status->setTextColor(LXStyle::grey(100 / 255.0 + 0.25));
            status->setTextAlignment(LXLabel::AlignRight);
            status->setTextTitle("Left time: 00:01:12");
            button(r, LXGeometry::qtRect(QRectF(530, 21, 16, 16), 58), "ODStopNormal.png", "ODStopPress.png");
        } else {
            const char *icons[] = {"ODDetailResolution.png", "ODDetailTime.png", "ODDetailFmt.png"};
            const char *texts[] = {"1920*1080", "01:30", "mov"};
            double x = 96 + 5;
            for (int i = 0; i < 3; ++i) {
                auto *icon = new LXImageView(r);
                LXGeometry::place(icon, QRectF(x, 9, 14, 12));
                icon->setImage(pic(icons[i]));
                auto *l = new LXLabel(QRectF(x + 16, 5, 64, 15), r);
                l->setTextFont(LXStyle::systemFont(10));
                l->setTextColor(QColor(0x9a, 0xa3, 0xae));
                l->setTextTitle(texts[i]);
                x += 16 + 64 + 6;
            }
            button(r, LXGeometry::qtRect(QRectF(530, 21, 16, 16), 58), "ODTrashNormal.png", "ODTrashPress.png");
        }
        button(r, LXGeometry::qtRect(QRectF(498, 21, 24, 16), 58), "ODCellBrowserNormal.png", "ODCellBrowserPress.png");
        return r;
    }

    void rows(Section *s) {
        row(s, 40, false, "Holiday at the lake (4K).mp4", false);
        row(s, 98, true, "Interview with the director, full length recording.mov", true);
        row(s, 156, false, "Concert rehearsal.mkv", false);
        auto *bar = new LXView(s);
        bar->setGeometry(16, 214, 560, 36);
        bar->setBackGroundImage(pic("ODBtmStatusBar.png"));
        button(bar, QRect(8, 5, 32, 26), "ODAddNormal.png", "ODAddPress.png");
        button(bar, QRect(46, 5, 32, 26), "ODBrowserNormal.png", "ODBrowserPress.png");
        caption(bar, "Output: ~/Videos/Cinvora", QRect(90, 8, 300, 20), 12, QColor(0x9a, 0xa3, 0xae));
        auto *scroller = new LXCustomScroller(Qt::Vertical, s);
        scroller->setGeometry(582, 40, 12, 174);
        scroller->setBgVerKnobImage(pic("ODVScrollerBg.png"));
        scroller->setFgVerKnobImage(pic("ODVScrollerFg.png"));
        scroller->setFgVerKnobTopImage(pic("ODVScrollerFgSplit.png"));
        scroller->setXDetal(0.5);
        scroller->setRange(0, 100);
        scroller->setPageStep(60);
        scroller->setValue(30);
    }

    void sliders(Section *s) {
        // The player's bar: play, progress, volume.
        auto *base = new LXView(s);
        base->setGeometry(16, 40, 564, 44);
        base->setBackGroundImage(pic("ODSliderBase.png"));
        button(base, QRect(6, 6, 32, 32), "ODPlayNormal.png", "ODPlayPress.png");
        auto *progress = new LXSliderA(base);
        progress->setGeometry(44, 16, 300, 12);
        dressTrack(progress, "ODBgLeft.png", "ODBgMid.png", "ODBgRight.png", "ODFgLeft.png", "ODFgMid.png",
                   "ODFgRight.png");
        progress->setKnobImage(pic("ODPosition.png"));
        progress->setKnobPressImage(pic("ODPosition.png"));
        progress->setSlideType(1);
        progress->setNSpace(6);
        progress->setYCursorDetal(1);
        progress->initImagePosition();
        progress->setSliderPos(0.38);
        caption(base, "01:12/03:10", QRect(348, 12, 90, 20), 12, QColor(0x9a, 0xa3, 0xae));
        button(base, QRect(440, 12, 20, 20), "ODVolumn-Normal.png", "ODVolumn-Press.png");
        auto *volume = new LXSliderA(base);
        volume->setGeometry(462, 16, 72, 12);
        dressTrack(volume, "ODWhiteBgLeft.png", "ODWhiteBgMid.png", "ODWhiteBgRight.png", "ODFgLeft.png", "ODFgMid.png",
                   "ODFgRight.png");
        volume->setKnobImage(pic("ODPositionNull.png"));
        volume->setSlideType(1);
        volume->setNSpace(4);
        volume->initImagePosition();
        volume->setSliderPos(0.7);
        button(base, QRect(536, 12, 20, 20), "ODVolumn+Normal.png", "ODVolumn+Press.png");

        // The trim slider as the editor dresses it.
        auto *editor = new LXView(s);
        editor->setGeometry(16, 92, 564, 70);
        editor->setBackGroundImage(pic("ODEditBtm.png"));
        auto *cut = new LXCutSlider(editor);
        cut->setGeometry(0, -14, 470, 80);
        cut->setLeftCutNormal(pic("ODEditLeftCutNormal.png"));
        cut->setLeftCutPress(pic("ODEditLeftCutPress.png"));
        cut->setRightCutNormal(pic("ODEditRightCutNormal.png"));
        cut->setRightCutPress(pic("ODEditRightCutPress.png"));
        cut->setCursorNormal(pic("ODEditCursorNormal.png"));
        cut->setCursorPress(pic("ODEditCursorPress.png"));
        cut->setPrgStartBg(pic("ODBgLeft.png"));
        cut->setPrgMidBg(pic("ODBgMid.png"));
        cut->setPrgEndBg(pic("ODBgRight.png"));
        cut->setPrgStartFg(pic("ODFgLeft.png"));
        cut->setPrgMidFg(pic("ODFgMid.png"));
        cut->setPrgEndFg(pic("ODFgRight.png"));
        cut->setCutDeltaY(-4);
        cut->setPosDeltaY(-3);
        cut->setSlideBgDeltaY(-3);
        cut->setSlideFgDeltaY(-3);
        cut->initRects();
        cut->initTotalTimeValueStartCutEndCutTotalTime(0, 24, 96, 150);
        cut->setCurrentTime(52);
        struct TimeSink : LXCutSliderDelegate {
            LXLabel *label;
            void drawTimeString(const QString &t) override { label->setTextTitle(t); }
        };
        static TimeSink sink;
        sink.label = caption(editor, "", QRect(470, 34, 90, 20), 12, kText);
        cut->setDelegate(&sink);
        cut->drawCurAndTotalTimeDesc();
        const char *tb[] = {"ODEditFirst", "ODEditPrevious",  "ODEditTrimPlay",  "ODEditNext",
                            "ODEditLast",  "ODEditLeftApply", "ODEditRightApply"};
        for (int i = 0; i < 7; ++i) {
            const QByteArray n = QByteArray("%1Normal.png").replace("%1", tb[i]),
                             p = QByteArray("%1Press.png").replace("%1", tb[i]);
            button(editor, QRect(12 + i * 38, 4, 32, 32), n.constData(), p.constData());
        }
        auto *back = button(editor, QRect(524, 4, 32, 32), "ODSaveNormal.png", "ODSavePress.png");
        (void)back;

        // The frame-stepping panel beside the trimming bar.
        caption(s, "Frame stepping", QRect(16, 176, 200, 16));
        auto *panel = new LXView(s);
        panel->setGeometry(16, 198, 99, 24);
        panel->setBackGroundImage(pic("NextPreviousFrameBg.png"));
        button(panel, LXGeometry::qtRect(QRectF(76, 0, 12, 24), 24), "gotoPreviousFrameNormal.png",
               "gotoPreviousFramePress.png");
        pressLater << button(panel, LXGeometry::qtRect(QRectF(88, 0, 12, 24), 24), "gotoNextFrameNormal.png",
                             "gotoNextFramePress.png");
        auto *t = new LXLabel(QRectF(5, 5, 70, 14), panel);
        t->setTextFont(LXStyle::systemFont(11));
        t->setTextColor(Qt::white);
        t->setTextTitle(LXCommon::timeStringFromTimeIntValueBShowMM(4512, true));
        caption(s, "Trim", QRect(150, 176, 200, 16));
        auto *trim =
            button(s, QRect(150, 198, 52, 22), "trimOrCancelTrimNormal.png", "trimOrCancelTrimPress.png", "Trim");
        trim->setTextFont(LXStyle::systemFont(11));
        trim->setYOffSet(-2);
        auto *cancel =
            button(s, QRect(210, 198, 52, 22), "trimOrCancelTrimNormal.png", "trimOrCancelTrimPress.png", "Cancel");
        cancel->setTextFont(LXStyle::systemFont(11));
        cancel->setYOffSet(-2);
        pressLater << cancel;
        caption(s, "Tracks", QRect(300, 176, 200, 16));
        auto *audio = new LXPopupButtonCell(s);
        audio->setGeometry(300, 198, 130, 22);
        audio->addItems({"English (AAC)"});
        audio->setPopupNormalImage(pic("ODPopNormal.png"));
        audio->setTitleColor(kText);
        auto *sub = new LXPopupButtonCell(s);
        sub->setGeometry(440, 198, 130, 22);
        sub->addItems({"No subtitles"});
        sub->setPopupNormalImage(pic("ODPopNormal.png"));
        sub->setTitleColor(kText);
    }

    void floating(Section *s) {
        static PlayBar play;
        static TrimBar trim;
        auto *a = new LXConverWinView(QSizeF(603, 59), &play, s);
        a->setGeometry(8, 40, 603, 59);
        a->addControlOnConvertView();
        auto *b = new LXConverWinView(QSizeF(603, 59), &trim, s);
        b->setGeometry(621, 40, 603, 59);
        b->addControlOnConvertView();
    }

    void grid(Section *s) {
        auto *bg = new LXView(s);
        bg->setGeometry(16, 40, 788, 176);
        bg->setBackGroundImage(pic("ODThumbViewBg.png"));
        auto *g = new LXThumbImageTableView(QRectF(0, 8, 788, 160), bg);
        g->setScrollViewBg(pic("ODScrollFillBg.png"));
        g->setLeftArrowNormal(pic("ODLeftArrowNormal.png"));
        g->setLeftArrowPress(pic("ODLeftArrowPress.png"));
        g->setLeftArrowDisable(pic("ODLeftArrowDisable.png"));
        g->setRightArrowNormal(pic("ODRightArrowNormal.png"));
        g->setRightArrowPress(pic("ODRightArrowPress.png"));
        g->setRightArrowDisable(pic("ODRightArrowDisable.png"));
        g->setCellBgAndSettingBtnImage(pic("ODThumbCellBg.png"), pic("ODThumbCellSetting.png"));
        g->setCellTitleColor(QColor(0xc9, 0xcf, 0xd7));
        QList<LXThumbItem> apple;
        const QStringList keys{"1--Quicktime Movie", "2--MP4", "3--M4V", "4--iPhone", "5--iPad",
                               "6--Apple TV",        "7--iPod"};
        for (const QString &k : keys)
            apple.append({k, k.mid(3)});
        g->initDictionaryWithPrefix({{"Apple Device", apple}}, "OD");
        g->selectImageCellWithKey("MP4");
        // Category buttons above the grid.
        const QStringList cats{"Apple Device", "Web Video", "Common Video", "Audio"};
        for (int i = 0; i < 4; ++i) {
            auto *b = new LXButton(s);
            b->setGeometry(16 + i * 118, 226, 112, 26);
            b->setTextTitle(cats[i]);
            b->setBShadowText(false);
            b->setTextFont(LXStyle::systemFont(12));
            b->setTextNormalColor(i == 0 ? LXStyle::grey(0.4) : QColor(0xa9, 0xb1, 0xbb));
            if (i == 0)
                b->setNormalImage(pic("ODMediaTypeBtn.png"));
        }
        caption(s, "One tile per format name, drawn by the skin generator", QRect(490, 230, 320, 20), 11, kCaption);
    }

    void popups(Section *s) {
        caption(s, "Export menu", QRect(16, 40, 200, 16));
        menuButton = new LXPopUpButton(s);
        menuButton->setGeometry(16, 62, 150, 24);
        menuButton->setNormalImage(pic("popupMenu_Normal2.png"));
        menuButton->setPressImage(pic("popupMenu_Press2.png"));
        menuButton->setPopupMenuItemBg(pic("popupMenuItem_Bg2.png"));
        menuButton->setYOffSet(2);
        menuButton->setXOffSet(-1);
        menuButton->initItemsSelectIndex({"Local File", "iTunes", "Facebook", "YouTube"}, 0);
        menuButton->updateItemWithStrValue("Export To");
        caption(s, "Generic format tiles", QRect(200, 40, 170, 16));
        const char *kinds[] = {"ODFormatVideo.png", "ODFormatAudio.png", "ODFormatDevice.png", "ODFormatWeb.png"};
        for (int i = 0; i < 4; ++i) {
            auto *v = new LXImageView(s);
            v->setGeometry(196 + (i % 2) * 84, 60 + (i / 2) * 84, 74, 74);
            v->setImage(pic(kinds[i]));
        }
    }
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Cinvora");
    QApplication::setApplicationName("Cinvora");
    QString shot;
    const QStringList args = app.arguments();
    const int i = int(args.indexOf("--shot"));
    if (i >= 0 && i + 1 < args.size())
        shot = args.at(i + 1);

    Gallery g;
    g.show();
    for (QWidget *w : g.pressLater)
        holdPressed(w);
    // The export menu, open.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), g.menuButton->mapToGlobal(QPointF(10, 10)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g.menuButton, &press);
    if (shot.isEmpty())
        return app.exec();

    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    QPixmap image = g.grab();
    if (LXMenu *menu = g.menuButton->menuWindow()) {
        // Menus are windows of their own; paint it where it hangs.
        menu->setAttribute(Qt::WA_TranslucentBackground, false);
        const QPixmap m = menu->grab();
        QPainter p(&image);
        p.drawPixmap(menu->geometry().topLeft() - g.geometry().topLeft(), m);
    }
    QDir().mkpath(QFileInfo(shot).absolutePath());
    if (!image.save(shot, "PNG")) {
        std::fprintf(stderr, "glazeform-gallery: cannot write %s\n", qPrintable(shot));
        return 1;
    }
    std::printf("%s %dx%d\n", qPrintable(shot), image.width(), image.height());
    return 0;
}
