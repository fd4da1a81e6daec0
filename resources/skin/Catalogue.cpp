#include "Catalogue.h"

#include "Draw.h"

#include <QFile>
#include <QLinearGradient>
#include <QRadialGradient>
#include <QTextStream>

namespace skin {
namespace {

using Fn = std::function<void(QPainter &, const QSizeF &)>;

class Builder {
public:
    explicit Builder(std::vector<Picture> &out) : _out(out) {}
    void lib(const QString &l) { _lib = l; }
    void add(const QString &name, QSizeF size, Fn fn) { _out.push_back({name, _lib, size, std::move(fn)}); }
    // "<stem>Normal.png" and "<stem>Press.png" (and "<stem>Disable.png").
    void states(const QString &normal, const QString &press, QSizeF size,
                std::function<void(QPainter &, const QSizeF &, State)> fn, const QString &disable = {}) {
        add(normal, size, [fn](QPainter &p, const QSizeF &s) { fn(p, s, State::Normal); });
        add(press, size, [fn](QPainter &p, const QSizeF &s) { fn(p, s, State::Pressed); });
        if (!disable.isEmpty())
            add(disable, size, [fn](QPainter &p, const QSizeF &s) { fn(p, s, State::Disabled); });
    }
    void ghost(const QString &normal, const QString &press, QSizeF size, Glyph g, double glyph) {
        states(normal, press, size,
               [g, glyph](QPainter &p, const QSizeF &s, State st) { ghostButton(p, s, g, st, glyph); });
    }

private:
    std::vector<Picture> &_out;
    QString _lib;
};

const Palette &P() { return palette(); }
const Measures &M() { return measures(); }

// A bar background for nine-slicing: a vertical gradient with a dark line at the bottom (or
// top) edge and a sheen under the top.
void bar(QPainter &p, const QSizeF &s, const QColor &top, const QColor &bottom, bool lineAtTop, bool lineAtBottom) {
    const QRectF r(QPointF(0, 0), s);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
    p.fillRect(QRectF(0, lineAtTop ? 1 : 0, s.width(), 1), P().sheen);
    if (lineAtTop)
        p.fillRect(QRectF(0, 0, s.width(), 1), P().hairline);
    if (lineAtBottom)
        p.fillRect(QRectF(0, s.height() - 1, s.width(), 1), P().hairline);
}

void flat(QPainter &p, const QSizeF &s, const QColor &c) { p.fillRect(QRectF(QPointF(0, 0), s), c); }

// Round knob with a soft shadow, centred at `c`.
void knob(QPainter &p, QPointF c, double r, bool pressed) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath disc;
    disc.addEllipse(c, r, r);
    dropShadow(p, disc, 1.2, P().shadow, 3);
    QRadialGradient g(c - QPointF(r * 0.3, r * 0.4), r * 1.6);
    g.setColorAt(0, pressed ? P().accent.lighter(120) : QColor(0xfb, 0xfc, 0xfd));
    g.setColorAt(1, pressed ? P().accentDeep : QColor(0xc9, 0xcf, 0xd6));
    p.fillPath(disc, g);
    p.setPen(QPen(QColor(0, 0, 0, 70), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r - 0.4, r - 0.4);
}

void formatTile(QPainter &p, const QSizeF &s, const QColor &hue, Glyph g, const QString &label) {
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF body(5, 4, s.width() - 10, s.height() - 10);
    const double r = 12;
    dropShadow(p, roundedRect(body, r), 2.0, P().shadow, 3);
    fillVertical(p, roundedRect(body, r), mix(hue, Qt::white, 0.16), mix(hue, Qt::black, 0.28));
    // A diagonal sheen over the upper left.
    p.save();
    p.setClipPath(roundedRect(body, r));
    QLinearGradient sheen(body.topLeft(), body.bottomRight());
    sheen.setColorAt(0, QColor(255, 255, 255, 40));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
    p.fillRect(body, sheen);
    p.restore();
    strokeInside(p, body, r, QColor(0, 0, 0, 90));
    topSheen(p, body.adjusted(1, 1, -1, -1), r - 1, QColor(255, 255, 255, 60));
    const double gs = 30;
    const QRectF box(body.center().x() - gs / 2, body.top() + 8, gs, gs);
    drawGlyph(p, g, box.translated(0, 1), QColor(0, 0, 0, 70));
    drawGlyph(p, g, box, QColor(255, 255, 255, 240));
    fittedText(p, QRectF(body.left() + 4, body.bottom() - 22, body.width() - 8, 18), label, QColor(255, 255, 255), 12);
}

Glyph kindGlyph(const QString &kind, const QString &label) {
    if (kind == "audio")
        return label.size() <= 3 ? Glyph::Note : Glyph::Waveform;
    if (kind == "device") {
        if (label.contains("iPad") || label.contains("Tablet"))
            return Glyph::Tablet;
        if (label.contains("TV"))
            return Glyph::Tv;
        return Glyph::Phone;
    }
    if (kind == "web")
        return Glyph::Globe;
    if (kind == "disc")
        return Glyph::Disc;
    return Glyph::Film;
}

QColor kindHue(const QString &kind) {
    if (kind == "audio")
        return P().kindAudio;
    if (kind == "device")
        return P().kindDevice;
    if (kind == "web")
        return P().kindWeb;
    if (kind == "disc")
        return P().kindDisc;
    if (kind == "hd")
        return P().kindHd;
    return P().kindVideo;
}

// The media screens' pictures (trim and player sliders, handles, cursor, transport buttons,
// track pop-ups, bar backgrounds). The program carries them as "OD..." (the document dresses
// the player and the editor with them); the media library carries the same drawings as
// "LX...", the screens' own defaults when their delegate answers nothing.
void mediaScreenPictures(Builder &b, const QString &prefix) {
    const Measures &m = M();
    const double th = m.trackHeight, cw = m.capWidth;
    auto sunken = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, P().well, mix(P().well, P().raised, 0.5), true, s.height() / 2);
        };
    };
    auto filled = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, P().accent.lighter(110), P().accentDeep, false, s.height() / 2);
        };
    };
    // The trim slider and the player's sliders.
    b.add(prefix + "BgLeft.png", {cw, th}, sunken(Cap::Left));
    b.add(prefix + "BgMid.png", {4, th}, sunken(Cap::Middle));
    b.add(prefix + "BgRight.png", {cw, th}, sunken(Cap::Right));
    b.add(prefix + "FgLeft.png", {cw, th}, filled(Cap::Left));
    b.add(prefix + "FgMid.png", {4, th}, filled(Cap::Middle));
    b.add(prefix + "FgRight.png", {cw, th}, filled(Cap::Right));
    auto lightTrack = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, QColor(0x4b, 0x53, 0x5e), QColor(0x40, 0x47, 0x51), true, s.height() / 2);
        };
    };
    b.add(prefix + "WhiteBgLeft.png", {cw, th}, lightTrack(Cap::Left));
    b.add(prefix + "WhiteBgMid.png", {4, th}, lightTrack(Cap::Middle));
    b.add(prefix + "WhiteBgRight.png", {cw, th}, lightTrack(Cap::Right));
    b.add(prefix + "Position.png", {12, 12},
          [](QPainter &p, const QSizeF &s) { knob(p, QPointF(s.width() / 2, s.height() / 2 - 0.5), 5.0, false); });
    // The volume slider shows no knob: its filled bar is the indicator.
    b.add(prefix + "PositionNull.png", {6, 6}, [](QPainter &, const QSizeF &) {});

    // Trim handles: a line through the bar at the cut point and a grip tab under it. The
    // left handle cuts at its right edge, the right handle at its left edge.
    auto handle = [](bool left) {
        return [left](QPainter &p, const QSizeF &s, State st) {
            p.setRenderHint(QPainter::Antialiasing, true);
            const QColor c = st == State::Pressed ? P().accent : QColor(0xe9, 0xec, 0xf0);
            const double w = s.width(), h = s.height();
            const QRectF line(left ? w - 2 : 0, 0, 2, h - 4);
            QPainterPath tab;
            tab.addRoundedRect(QRectF(0.5, h - 11, w - 1, 10), 3, 3);
            QPainterPath all = tab;
            all.addRect(line);
            all = all.simplified();
            dropShadow(p, all, 1.2, P().shadow, 3);
            fillVertical(p, all, c, st == State::Pressed ? P().accentDeep : QColor(0xc4, 0xca, 0xd2));
            // Grip marks on the tab.
            for (int i = 0; i < 2; ++i)
                p.fillRect(QRectF(w / 2 - 1.5 + i * 2.5, h - 8.5, 1, 5), QColor(0, 0, 0, 80));
        };
    };
    b.states(prefix + "EditLeftCutNormal.png", prefix + "EditLeftCutPress.png", {11, 22}, handle(true));
    b.states(prefix + "EditRightCutNormal.png", prefix + "EditRightCutPress.png", {11, 22}, handle(false));
    b.states(prefix + "EditCursorNormal.png", prefix + "EditCursorPress.png", {11, 9},
             [](QPainter &p, const QSizeF &s, State st) {
                 p.setRenderHint(QPainter::Antialiasing, true);
                 QPainterPath head;
                 head.moveTo(1, 1);
                 head.lineTo(s.width() - 1, 1);
                 head.lineTo(s.width() / 2, s.height() - 1);
                 head.closeSubpath();
                 dropShadow(p, head, 1.0, P().shadow, 2);
                 p.setPen(QPen(st == State::Pressed ? P().accent : QColor(0xf4, 0xf6, 0xf8), 1.2, Qt::SolidLine,
                               Qt::RoundCap, Qt::RoundJoin));
                 p.setBrush(st == State::Pressed ? P().accent : QColor(0xf4, 0xf6, 0xf8));
                 p.drawPath(head);
             });

    // The editor's and the player's buttons.
    const QSizeF tb(m.transportButton, m.transportButton);
    b.ghost(prefix + "EditPlayNormal.png", prefix + "EditPlayPress.png", tb, Glyph::Play, 22);
    b.ghost(prefix + "EditPauseNormal.png", prefix + "EditPausePress.png", tb, Glyph::Pause, 22);
    b.ghost(prefix + "EditTrimPlayNormal.png", prefix + "EditTrimPlayPress.png", tb, Glyph::TrimPlay, 22);
    b.ghost(prefix + "EditTrimPauseNormal.png", prefix + "EditTrimPausePress.png", tb, Glyph::TrimPause, 22);
    b.ghost(prefix + "EditLeftApplyNormal.png", prefix + "EditLeftApplyPress.png", tb, Glyph::ApplyLeft, 20);
    b.ghost(prefix + "EditRightApplyNormal.png", prefix + "EditRightApplyPress.png", tb, Glyph::ApplyRight, 20);
    b.ghost(prefix + "EditFirstNormal.png", prefix + "EditFirstPress.png", tb, Glyph::SkipBack, 20);
    b.ghost(prefix + "EditLastNormal.png", prefix + "EditLastPress.png", tb, Glyph::SkipForward, 20);
    b.ghost(prefix + "EditPreviousNormal.png", prefix + "EditPreviousPress.png", tb, Glyph::StepBack, 20);
    b.ghost(prefix + "EditNextNormal.png", prefix + "EditNextPress.png", tb, Glyph::StepForward, 20);
    b.ghost(prefix + "EditNormal.png", prefix + "EditPress.png", tb, Glyph::Scissors, 20);
    b.ghost(prefix + "PlayNormal.png", prefix + "PlayPress.png", tb, Glyph::Play, 22);
    b.ghost(prefix + "PauseNormal.png", prefix + "PausePress.png", tb, Glyph::Pause, 22);
    b.ghost(prefix + "SaveNormal.png", prefix + "SavePress.png", tb, Glyph::Check, 20);
    b.ghost(prefix + "Volumn+Normal.png", prefix + "Volumn+Press.png", {20, 20}, Glyph::SpeakerPlus, 16);
    b.ghost(prefix + "Volumn-Normal.png", prefix + "Volumn-Press.png", {20, 20}, Glyph::SpeakerMinus, 16);
    // Skinned pop-up cells (audio track, subtitles): sliced, the chevron in the right cap.
    b.states(prefix + "PopNormal.png", prefix + "PopPress.png", {60, 22}, [](QPainter &p, const QSizeF &s, State st) {
        plainButton(p, QRectF(QPointF(0, 0), s), st, M().radius);
        drawGlyph(p, Glyph::ChevronDown, QRectF(s.width() - 15, 5, 10, 10),
                  st == State::Pressed ? P().accent : P().glyphDim);
    });
    b.add(prefix + "EditBackGround.png", {60, 60},
          [](QPainter &p, const QSizeF &s) { flat(p, s, QColor(0x0b, 0x0c, 0x0e)); });
    b.add(prefix + "EditBtm.png", {60, 52},
          [](QPainter &p, const QSizeF &s) { bar(p, s, P().raisedTop, P().raised, true, false); });
    b.add(prefix + "SliderBase.png", {60, 44},
          [](QPainter &p, const QSizeF &s) { bar(p, s, P().raised, mix(P().raised, P().base, 0.6), true, false); });
}

} // namespace

// The program's icon: a rounded tile in the accent's blues carrying the convert arrows
// around a play mark. Small sizes drop the shadow and thicken nothing: the shapes are
// large enough to survive 16 pixels.
void drawAppIcon(QPainter &p, const QSizeF &s) {
    p.setRenderHint(QPainter::Antialiasing, true);
    const double w = std::min(s.width(), s.height());
    const double inset = w >= 32 ? w * 0.07 : w * 0.03;
    const QRectF body(inset, inset, w - 2 * inset, w - 2 * inset - (w >= 32 ? w * 0.02 : 0));
    const double r = body.width() * 0.24;
    if (w >= 32)
        dropShadow(p, roundedRect(body, r), w * 0.025, P().shadow, 4);
    QLinearGradient g(body.topLeft(), body.bottomRight());
    g.setColorAt(0, QColor(0x5c, 0xd6, 0xff));
    g.setColorAt(0.55, QColor(0x22, 0x92, 0xd8));
    g.setColorAt(1, QColor(0x3a, 0x4f, 0xc4));
    p.fillPath(roundedRect(body, r), g);
    p.save();
    p.setClipPath(roundedRect(body, r));
    QLinearGradient sheen(body.topLeft(), QPointF(body.left(), body.center().y()));
    sheen.setColorAt(0, QColor(255, 255, 255, 70));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(body.left(), body.top(), body.width(), body.height() / 2), sheen);
    p.restore();
    if (w >= 24)
        strokeInside(p, body, r, QColor(0, 0, 0, 70), std::max(0.8, w / 96));
    const QRectF box =
        body.adjusted(body.width() * 0.08, body.height() * 0.08, -body.width() * 0.08, -body.height() * 0.08);
    drawGlyph(p, Glyph::Convert, box.translated(0, w * 0.012), QColor(0, 0, 0, 60));
    drawGlyph(p, Glyph::Convert, box, QColor(255, 255, 255));
    const double u = box.width() / 24.0;
    QPainterPath play;
    play.moveTo(box.left() + 10.0 * u, box.top() + 8.9 * u);
    play.lineTo(box.left() + 15.4 * u, box.top() + 12.0 * u);
    play.lineTo(box.left() + 10.0 * u, box.top() + 15.1 * u);
    play.closeSubpath();
    p.setPen(QPen(QColor(255, 255, 255), 1.1 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(play);
}

namespace {

// ------------------------------------------------------------------------------------
// The program's pictures.

void programPictures(Builder &b) {
    b.lib("cinvora");
    const Palette &pal = P();
    const Measures &m = M();

    // Window chrome.
    b.add("ODTopBg.png", {60, 48},
          [](QPainter &p, const QSizeF &s) { bar(p, s, P().raisedTop, P().raised, false, true); });
    b.add("ODTableViewBg.png", {60, 60}, [](QPainter &p, const QSizeF &s) { flat(p, s, P().base); });
    b.add("ODBtmStatusBar.png", {60, 36},
          [](QPainter &p, const QSizeF &s) { bar(p, s, P().raised, mix(P().raised, P().window, 0.5), true, false); });
    b.add("ODMidStatusBar.png", {60, 36},
          [](QPainter &p, const QSizeF &s) { bar(p, s, P().raisedTop, P().raised, true, true); });
    b.add("bottomView.png", {60, 44},
          [](QPainter &p, const QSizeF &s) { bar(p, s, P().raised, mix(P().raised, P().window, 0.6), true, false); });
    b.add("ODThumbViewBg.png", {60, 60},
          [](QPainter &p, const QSizeF &s) { flat(p, s, mix(P().base, P().raised, 0.35)); });
    b.add("ODScrollFillBg.png", {8, 8}, [](QPainter &p, const QSizeF &s) {
        flat(p, s, P().base);
        p.fillRect(QRectF(0, 0, 1, 1), QColor(255, 255, 255, 7));
        p.fillRect(QRectF(4, 4, 1, 1), QColor(255, 255, 255, 7));
    });

    // Tool buttons of the status bar.
    b.states("ODAddNormal.png", "ODAddPress.png", {m.toolButtonW, m.toolButtonH},
             [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::Plus, st, 16, M().radius); });
    b.states("ODBrowserNormal.png", "ODBrowserPress.png", {m.toolButtonW, m.toolButtonH},
             [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::Folder, st, 17, M().radius); });
    b.states("ODConvertNormal.png", "ODConvertPress.png", {m.convertW, m.convertH},
             [](QPainter &p, const QSizeF &s, State st) { accentPill(p, s, Glyph::Convert, P().accent, st); });
    b.states("ODStopConvertNormal.png", "ODStopConvertPress.png", {m.convertW, m.convertH},
             [](QPainter &p, const QSizeF &s, State st) { accentPill(p, s, Glyph::Pause, P().attention, st); });
    b.states("ODSettingButtonNormal.png", "ODSettingButtonPress.png", {m.settingButtonW, m.settingButtonH},
             [](QPainter &p, const QSizeF &s, State st) { plainButton(p, QRectF(QPointF(0, 0), s), st, M().radius); });
    b.states("ODSettingNormal.png", "ODSettingPress.png", {m.toolButtonW, m.toolButtonH},
             [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::Gear, st, 16, M().radius); });
    b.states("ODFeedbackNormal.png", "ODFeedbackPress.png", {m.toolButtonW, m.toolButtonH},
             [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::Mail, st, 17, M().radius); });
    b.states("ODSupportNormal.png", "ODSupportPress.png", {m.toolButtonW, m.toolButtonH},
             [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::Help, st, 17, M().radius); });
    b.states("ODRemoveAllNormal.png", "ODRemoveAllPress.png", {m.toolButtonW, m.toolButtonH},
             [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::Trash, st, 16, M().radius); });
    b.add("ODAppIcon.png", {28, 28}, [](QPainter &p, const QSizeF &s) { drawAppIcon(p, s); });

    // The empty list's tip: a dashed drop zone with an arrow into a tray (its text is drawn
    // by the window, so that it can be translated).
    b.add("ODDropTip.png", {168, 104}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(1.5, 1.5, -1.5, -1.5);
        p.fillPath(roundedRect(body, 14), QColor(255, 255, 255, 6));
        QPen dash(withAlpha(P().glyphDim, 150), 1.6, Qt::DashLine, Qt::RoundCap);
        dash.setDashPattern({4.0, 3.0});
        p.setPen(dash);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body, 14, 14);
        const double g = 46;
        drawGlyph(p, Glyph::Download, QRectF((s.width() - g) / 2, (s.height() - g) / 2, g, g),
                  withAlpha(P().glyphDim, 210));
    });

    // The category switch: the selected category's pill.
    b.add("ODMediaTypeBtn.png", {m.categoryW, m.categoryH}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(1, 1, -1, -2);
        const double r = body.height() / 2;
        dropShadow(p, roundedRect(body, r), 1.0, P().shadow, 2);
        fillVertical(p, roundedRect(body, r), P().lightTop, P().light);
        strokeInside(p, body, r, QColor(0, 0, 0, 70));
    });

    // The two-state switch: the track shows the accent left of the knob's "on" place and
    // grey right of it, so the knob uncovers the colour of the state it is in.
    b.add("ODSwitchBG.png", {47, 18}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -0.5);
        const double r = body.height() / 2;
        QPainterPath track = roundedRect(body, r);
        p.save();
        p.setClipPath(track);
        fillVertical(p, track, mix(P().well, P().control, 0.5), P().control);
        QLinearGradient on(body.topLeft(), body.bottomLeft());
        on.setColorAt(0, P().accentDeep);
        on.setColorAt(1, P().accent);
        p.fillRect(QRectF(body.left(), body.top(), 26, body.height()), on);
        p.fillRect(QRectF(body.left(), body.top(), body.width(), 1), QColor(0, 0, 0, 80));
        p.restore();
        strokeInside(p, body, r, QColor(0, 0, 0, 120));
    });
    b.add("ODSwitchFG.png", {25, 18}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(1, 1, -1, -1.5);
        const double r = body.height() / 2;
        dropShadow(p, roundedRect(body, r), 1.0, P().shadow, 2);
        fillVertical(p, roundedRect(body, r), QColor(0xfb, 0xfc, 0xfd), QColor(0xcf, 0xd4, 0xda));
        strokeInside(p, body, r, QColor(0, 0, 0, 60), 0.8);
    });

    // The list's scroller.
    b.add("ODVScrollerBg.png", {12, 36}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.fillRect(QRectF(QPointF(0, 0), s), P().base);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 10));
        p.drawRoundedRect(QRectF(3, 2, 6, s.height() - 4), 3, 3);
    });
    b.add("ODVScrollerFg.png", {12, 36}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF k(2.5, 1, 7, s.height() - 2);
        fillVertical(p, roundedRect(k, 3.5), QColor(0x5a, 0x62, 0x6d), QColor(0x4a, 0x51, 0x5b));
        strokeInside(p, k, 3.5, QColor(0, 0, 0, 90), 0.8);
    });
    b.add("ODVScrollerFgSplit.png", {7, 7}, [](QPainter &p, const QSizeF &) {
        for (int i = 0; i < 3; ++i)
            p.fillRect(QRectF(1, 1 + i * 2, 5, 1), QColor(0, 0, 0, 80));
    });

    // A job row.
    b.add("ODCellBarNormal.png", {60, m.rowHeight}, [](QPainter &p, const QSizeF &s) {
        flat(p, s, P().base);
        p.fillRect(QRectF(0, 0, s.width(), 1), QColor(255, 255, 255, 8));
        p.fillRect(QRectF(0, s.height() - 1, s.width(), 1), P().hairline);
    });
    b.add("ODCellBarPress.png", {60, m.rowHeight}, [](QPainter &p, const QSizeF &s) {
        QLinearGradient g(0, 0, 0, s.height());
        g.setColorAt(0, mix(P().base, P().accentDeep, 0.30));
        g.setColorAt(1, mix(P().base, P().accentDeep, 0.22));
        p.fillRect(QRectF(QPointF(0, 0), s), g);
        p.fillRect(QRectF(0, 0, s.width(), 1), QColor(255, 255, 255, 14));
        p.fillRect(QRectF(0, s.height() - 1, s.width(), 1), P().hairline);
        p.fillRect(QRectF(0, 0, 3, s.height() - 1), P().accent);
    });
    b.ghost("ODCellBrowserNormal.png", "ODCellBrowserPress.png", {24, 16}, Glyph::Magnifier, 14);
    b.ghost("ODTrashNormal.png", "ODTrashPress.png", {m.rowButton, m.rowButton}, Glyph::Trash, 15);
    b.states("ODStopNormal.png", "ODStopPress.png", {m.rowButton, m.rowButton},
             [](QPainter &p, const QSizeF &s, State st) {
                 p.setRenderHint(QPainter::Antialiasing, true);
                 const QRectF disc = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -0.5);
                 const QColor c = st == State::Pressed ? P().dangerDeep : P().danger;
                 QPainterPath d;
                 d.addEllipse(disc);
                 fillVertical(p, d, c.lighter(112), c);
                 p.setPen(Qt::NoPen);
                 p.setBrush(QColor(255, 255, 255, st == State::Pressed ? 200 : 245));
                 p.drawRoundedRect(QRectF(5, 5, s.width() - 10, s.height() - 10), 1, 1);
             });
    auto detail = [](Glyph g) {
        return [g](QPainter &p, const QSizeF &s) {
            const double d = std::min(s.width(), s.height());
            drawGlyph(p, g, QRectF((s.width() - d) / 2, (s.height() - d) / 2, d, d), P().glyphDim);
        };
    };
    b.add("ODDetailResolution.png", {14, 12}, detail(Glyph::Resolution));
    b.add("ODDetailTime.png", {14, 12}, detail(Glyph::Clock));
    b.add("ODDetailFmt.png", {14, 12}, detail(Glyph::Film));

    // The row's progress bar (its middle piece is repeated, so it carries moving stripes).
    const double th = m.trackHeight, cw = m.capWidth;
    auto sunken = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, P().well, mix(P().well, P().raised, 0.5), true, s.height() / 2);
        };
    };
    auto filled = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, P().accent.lighter(110), P().accentDeep, false, s.height() / 2);
        };
    };
    b.add("ODPrgLeftBg.png", {cw, th}, sunken(Cap::Left));
    b.add("ODPrgMiddleBg.png", {6, th}, sunken(Cap::Middle));
    b.add("ODPrgRightBg.png", {cw, th}, sunken(Cap::Right));
    b.add("ODPrgLeftFg.png", {cw, th}, filled(Cap::Left));
    b.add("ODPrgMiddleFg.png", {6, th}, [](QPainter &p, const QSizeF &s) {
        trackPiece(p, s, Cap::Middle, P().accent.lighter(110), P().accentDeep, false, s.height() / 2);
        p.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath stripe;
        stripe.moveTo(0, s.height());
        stripe.lineTo(2, 0);
        stripe.lineTo(4, 0);
        stripe.lineTo(2, s.height());
        stripe.closeSubpath();
        p.fillPath(stripe, QColor(255, 255, 255, 36));
    });
    b.add("ODPrgRightFg.png", {cw, th}, filled(Cap::Right));

    mediaScreenPictures(b, QStringLiteral("OD"));

    // The format grid.
    b.states(
        "ODLeftArrowNormal.png", "ODLeftArrowPress.png", {m.arrowW, m.arrowH},
        [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::ChevronLeft, st, 18, M().radius); },
        "ODLeftArrowDisable.png");
    b.states(
        "ODRightArrowNormal.png", "ODRightArrowPress.png", {m.arrowW, m.arrowH},
        [](QPainter &p, const QSizeF &s, State st) { solidButton(p, s, Glyph::ChevronRight, st, 18, M().radius); },
        "ODRightArrowDisable.png");
    b.add("ODThumbCellBg.png", {m.gridCellW, m.gridCellH}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(1, 1, -1, -1);
        p.fillPath(roundedRect(body, M().radiusLarge), P().accentGlow);
        strokeInside(p, body, M().radiusLarge, withAlpha(P().accent, 200), 1.5);
    });
    b.add("ODThumbCellSetting.png", {20, 20}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath d;
        d.addEllipse(QRectF(1, 1, s.width() - 2, s.height() - 2));
        dropShadow(p, d, 1.0, P().shadow, 2);
        fillVertical(p, d, P().accent.lighter(110), P().accentDeep);
        drawGlyph(p, Glyph::Gear, QRectF(4, 4, s.width() - 8, s.height() - 8), QColor(255, 255, 255));
    });
    (void)pal;
}

void formatPictures(Builder &b, const QString &file, QString *error) {
    b.lib("cinvora");
    const QSizeF tile(M().formatTile, M().formatTile);
    const QStringList kinds{"video", "audio", "device", "web", "disc", "hd"};
    for (const QString &kind : kinds) {
        QString name = kind;
        name[0] = name[0].toUpper();
        const QString label = kind == "hd" ? QStringLiteral("HD") : name;
        b.add("ODFormat" + (kind == "hd" ? QStringLiteral("Hd") : name) + ".png", tile,
              [kind, label](QPainter &p, const QSizeF &s) {
                  formatTile(p, s, kindHue(kind), kindGlyph(kind, label), label);
              });
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = "cannot read " + file;
        return;
    }
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList parts = line.split('|');
        if (parts.size() != 3) {
            if (error)
                *error = "bad line in " + file + ": " + line;
            continue;
        }
        const QString name = parts[0].trimmed(), kind = parts[1].trimmed(), label = parts[2].trimmed();
        b.add("OD" + name + ".png", tile, [kind, label](QPainter &p, const QSizeF &s) {
            formatTile(p, s, kindHue(kind), kindGlyph(kind, label), label);
        });
    }
}

// ------------------------------------------------------------------------------------
// The media library's pictures.

void mediaPictures(Builder &b) {
    b.lib("reelwright");
    const Measures &m = M();
    const QSizeF fb(m.floatButton, m.floatButton);

    // The media screens' own defaults, and the speaker of their volume slider (the program
    // leaves that one to the screens).
    mediaScreenPictures(b, QStringLiteral("LX"));
    b.ghost("LXVoiceNormal.png", "LXVoicePress.png", {20, 20}, Glyph::Speaker, 16);
    // The trim editor's title bar over the video, and the sunken chips of its precise times.
    b.add("LXEditTopBar.png", {60, 48},
          [](QPainter &p, const QSizeF &s) { bar(p, s, P().raisedTop, P().raised, false, true); });
    b.add("LXEditTimeWell.png", {24, 22}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -1.5);
        fillVertical(p, roundedRect(body, 5), P().well, mix(P().well, P().base, 0.5));
        strokeInside(p, body, 5, QColor(0, 0, 0, 120));
        // A light line under the chip: it sits in the bar, not on it.
        p.setPen(QPen(QColor(255, 255, 255, 14), 1));
        p.drawLine(QPointF(5, s.height() - 0.5), QPointF(s.width() - 5, s.height() - 0.5));
    });

    b.add("FullBg.png", {m.floatBarW, m.floatBarH}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -0.5);
        const double r = 10;
        fillVertical(p, roundedRect(body, r), QColor(0x26, 0x2a, 0x31, 236), QColor(0x17, 0x19, 0x1d, 236));
        strokeInside(p, body, r, QColor(255, 255, 255, 26));
        topSheen(p, body.adjusted(1, 1, -1, -1), r - 1, QColor(255, 255, 255, 22));
    });
    b.ghost("FullCtrlPlayNormal.png", "FullCtrlPlayPress.png", fb, Glyph::Play, 20);
    b.ghost("FullCtrlPauseNormal.png", "FullCtrlPausePress.png", fb, Glyph::Pause, 20);
    b.add("FullCtrlEscFull.png", fb,
          [](QPainter &p, const QSizeF &s) { ghostButton(p, s, Glyph::ExitFullScreen, State::Normal, 17); });
    b.add("FullCtrlVoiceLogo.png", fb,
          [](QPainter &p, const QSizeF &s) { ghostButton(p, s, Glyph::Speaker, State::Normal, 18); });
    b.add("FullCtrlNoVoiceLogo.png", fb,
          [](QPainter &p, const QSizeF &s) { ghostButton(p, s, Glyph::SpeakerMute, State::Normal, 18); });
    const double ft = m.floatTrackHeight, cw = m.capWidth;
    auto track = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, QColor(255, 255, 255, 40), QColor(255, 255, 255, 52), true, s.height() / 2);
        };
    };
    auto fill = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, P().accent.lighter(112), P().accent, false, s.height() / 2);
        };
    };
    auto voice = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, QColor(255, 255, 255, 150), QColor(255, 255, 255, 130), false, s.height() / 2);
        };
    };
    b.add("FullCtrlPrgLeftBg.png", {cw, ft}, track(Cap::Left));
    b.add("FullCtrlPrgMiddleBg.png", {4, ft}, track(Cap::Middle));
    b.add("FullCtrlPrgRightBg.png", {cw, ft}, track(Cap::Right));
    b.add("FullCtrlPrgLeftFg.png", {cw, ft}, fill(Cap::Left));
    b.add("FullCtrlPrgMiddleFg.png", {4, ft}, fill(Cap::Middle));
    b.add("FullCtrlPrgRightFg.png", {cw, ft}, fill(Cap::Right));
    b.add("FullCtrlVoiceLeftFg.png", {cw, ft}, voice(Cap::Left));
    b.add("FullCtrlVoiceMiddleFg.png", {4, ft}, voice(Cap::Middle));
    b.add("FullCtrlVoiceRightFg.png", {cw, ft}, voice(Cap::Right));
    // The floating sliders lift their knobs (by 5 and 3 points); the knob sits that much
    // below the middle of its picture so that it rides on the track.
    b.add("FullCtrlProgressBarPos_Normal.png", {14, 22},
          [](QPainter &p, const QSizeF &s) { knob(p, QPointF(s.width() / 2, s.height() - 7), 5.5, false); });
    b.add("FullCtrlVoiceBarPos_Normal.png", {10, 14},
          [](QPainter &p, const QSizeF &s) { knob(p, QPointF(s.width() / 2, s.height() - 5), 4.0, false); });
    b.ghost("backToMainNormal.png", "backToMainPress.png", fb, Glyph::Back, 18);
    b.ghost("ShareNormal.png", "SharePress.png", fb, Glyph::Share, 18);
    b.ghost("exitFullNormal.png", "exitFullPress.png", fb, Glyph::ExitFullScreen, 17);
    b.ghost("extentFullNormal.png", "extentFullPress.png", fb, Glyph::FullScreen, 17);
    b.ghost("previousNormal.png", "previousPress.png", fb, Glyph::SkipBack, 18);
    b.ghost("nextNormal.png", "nextPress.png", fb, Glyph::SkipForward, 18);
    b.states("trimOrCancelTrimNormal.png", "trimOrCancelTrimPress.png", {52, 22},
             [](QPainter &p, const QSizeF &s, State st) { plainButton(p, QRectF(QPointF(0, 0), s), st, 11); });
    // The frame-stepping panel: time on the left, two small arrows on the right.
    b.add("NextPreviousFrameBg.png", {99, 24}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -0.5);
        fillVertical(p, roundedRect(body, 5), QColor(0x2b, 0x30, 0x37, 245), QColor(0x1c, 0x1f, 0x24, 245));
        strokeInside(p, body, 5, QColor(255, 255, 255, 30));
        p.fillRect(QRectF(75, 4, 1, s.height() - 8), QColor(0, 0, 0, 110));
        p.fillRect(QRectF(76, 4, 1, s.height() - 8), QColor(255, 255, 255, 16));
    });
    auto stepArrow = [](Glyph g) {
        return [g](QPainter &p, const QSizeF &s, State st) {
            p.setRenderHint(QPainter::Antialiasing, true);
            if (st == State::Pressed) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(255, 255, 255, 26));
                p.drawRoundedRect(QRectF(1, 4, s.width() - 2, s.height() - 8), 3, 3);
            }
            drawGlyph(p, g, QRectF(0, (s.height() - 12) / 2, 12, 12), st == State::Pressed ? P().accent : P().glyph);
        };
    };
    b.states("gotoPreviousFrameNormal.png", "gotoPreviousFramePress.png", {12, 24}, stepArrow(Glyph::ChevronLeft));
    b.states("gotoNextFrameNormal.png", "gotoNextFramePress.png", {12, 24}, stepArrow(Glyph::ChevronRight));
    // The export-type pop-up button and its menu.
    b.states("popupMenu_Normal2.png", "popupMenu_Press2.png", {90, 24}, [](QPainter &p, const QSizeF &s, State st) {
        plainButton(p, QRectF(QPointF(0, 0), s), st, M().radius);
        drawGlyph(p, Glyph::ChevronDown, QRectF(s.width() - 16, 6, 10, 10),
                  st == State::Pressed ? P().accent : P().glyphDim);
    });
    b.add("popupMenuItem_Bg2.png", {60, 36}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -0.5);
        fillVertical(p, roundedRect(body, 6), QColor(0x2a, 0x2f, 0x36, 250), QColor(0x22, 0x26, 0x2c, 250));
        strokeInside(p, body, 6, QColor(0, 0, 0, 160));
        strokeInside(p, body.adjusted(1, 1, -1, -1), 5, QColor(255, 255, 255, 14));
    });
    // The picture of an item whose file has none of its own.
    b.add("defaultMovieImage.png", {160, 100}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF r(QPointF(0, 0), s);
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, QColor(0x2c, 0x31, 0x39));
        g.setColorAt(1, QColor(0x17, 0x1a, 0x1e));
        p.fillRect(r, g);
        drawGlyph(p, Glyph::Film, QRectF(s.width() / 2 - 22, s.height() / 2 - 22, 44, 44), QColor(255, 255, 255, 70));
    });
}

// ------------------------------------------------------------------------------------
// The control library's own pictures (check box, spin control).

void controlPictures(Builder &b) {
    b.lib("glazeform");
    auto check = [](bool checked) {
        return [checked](QPainter &p, const QSizeF &s) {
            p.setRenderHint(QPainter::Antialiasing, true);
            const QRectF box = QRectF(QPointF(0, 0), s).adjusted(1, 1, -1, -1.5);
            dropShadow(p, roundedRect(box, 3.5), 1.0, P().shadow, 2);
            if (checked) {
                fillVertical(p, roundedRect(box, 3.5), P().accent.lighter(110), P().accentDeep);
                strokeInside(p, box, 3.5, QColor(0, 0, 0, 90));
                drawGlyph(p, Glyph::Check, box.adjusted(1.5, 1.5, -1.5, -1.5), QColor(255, 255, 255));
            } else {
                fillVertical(p, roundedRect(box, 3.5), P().well, mix(P().well, P().control, 0.6));
                strokeInside(p, box, 3.5, P().edge);
            }
        };
    };
    b.add("LXCheckNormal.png", {16, 16}, check(false));
    b.add("LXCheckChecked.png", {16, 16}, check(true));
    // Spin control: a small rounded column with an up and a down arrow; the pressed
    // pictures light one half.
    auto spin = [](int pressedHalf) {
        return [pressedHalf](QPainter &p, const QSizeF &s) {
            p.setRenderHint(QPainter::Antialiasing, true);
            const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -1.5);
            const double r = M().radius;
            if (pressedHalf == 0) {
                dropShadow(p, roundedRect(body, r), 1.0, P().shadow, 2);
                fillVertical(p, roundedRect(body, r), P().controlTop, P().control);
                strokeInside(p, body, r, withAlpha(P().hairline, 200));
                p.fillRect(QRectF(body.left() + 3, body.center().y() - 0.5, body.width() - 6, 1), QColor(0, 0, 0, 90));
                drawGlyph(p, Glyph::ChevronUp, QRectF(body.center().x() - 6, body.top() + 2, 12, 12), P().glyph);
                drawGlyph(p, Glyph::ChevronDown, QRectF(body.center().x() - 6, body.bottom() - 14, 12, 12), P().glyph);
                return;
            }
            QPainterPath half;
            half.addRect(pressedHalf == 1 ? QRectF(body.left(), body.top(), body.width(), body.height() / 2)
                                          : QRectF(body.left(), body.center().y(), body.width(), body.height() / 2));
            p.fillPath(roundedRect(body, r).intersected(half), QColor(0, 0, 0, 70));
            const bool up = pressedHalf == 1;
            drawGlyph(p, up ? Glyph::ChevronUp : Glyph::ChevronDown,
                      up ? QRectF(body.center().x() - 6, body.top() + 2, 12, 12)
                         : QRectF(body.center().x() - 6, body.bottom() - 14, 12, 12),
                      P().accent);
        };
    };
    b.add("LXSpinBackground.png", {20, 30}, spin(0));
    b.add("LXSpinTopPress.png", {20, 30}, spin(1));
    b.add("LXSpinBtmPress.png", {20, 30}, spin(2));
}

// ------------------------------------------------------------------------------------
// The sharing library's pictures: the export sheet.

void sharingPictures(Builder &b) {
    b.lib("sendaway");
    const Measures &m = M();
    // The sheet's surface, nine-sliced: flat, with a light line under the top edge and a
    // dark one along the bottom so that the sheet reads as lying on the window.
    b.add("ExportSheetBg.png", {30, 30}, [](QPainter &p, const QSizeF &s) {
        flat(p, s, mix(P().base, P().raised, 0.35));
        p.fillRect(QRectF(0, 0, s.width(), 1), QColor(255, 255, 255, 18));
        p.fillRect(QRectF(0, s.height() - 1, s.width(), 1), P().hairline);
    });
    // The progress track, sunken, and its filled part in the accent.
    const double th = m.exportTrackHeight, cw = m.capWidth + 1;
    auto sunken = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, P().well, mix(P().well, P().raised, 0.55), true, s.height() / 2);
        };
    };
    auto filled = [](Cap c) {
        return [c](QPainter &p, const QSizeF &s) {
            trackPiece(p, s, c, P().accent.lighter(112), P().accentDeep, false, s.height() / 2);
        };
    };
    b.add("ExportPrgBgLeft.png", {cw, th}, sunken(Cap::Left));
    b.add("ExportPrgBgMid.png", {4, th}, sunken(Cap::Middle));
    b.add("ExportPrgBgRight.png", {cw, th}, sunken(Cap::Right));
    b.add("ExportPrgFgLeft.png", {cw, th}, filled(Cap::Left));
    b.add("ExportPrgFgMid.png", {4, th}, filled(Cap::Middle));
    b.add("ExportPrgFgRight.png", {cw, th}, filled(Cap::Right));
    // Text buttons: a quiet one and the default (accent) one; titles are drawn by the control.
    const QSizeF button(m.sheetButtonW, m.sheetButtonH);
    b.states("ExportButtonNormal.png", "ExportButtonPress.png", button,
             [](QPainter &p, const QSizeF &s, State st) { plainButton(p, QRectF(QPointF(0, 0), s), st, M().radius); });
    b.states("ExportDefaultButtonNormal.png", "ExportDefaultButtonPress.png", button,
             [](QPainter &p, const QSizeF &s, State st) {
                 p.setRenderHint(QPainter::Antialiasing, true);
                 const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -1.5);
                 const double r = M().radius;
                 const QColor c = P().accentDeep;
                 dropShadow(p, roundedRect(body, r), 1.0, P().shadow, 2);
                 if (st == State::Pressed) {
                     fillVertical(p, roundedRect(body, r), mix(c, Qt::black, 0.25), mix(c, Qt::black, 0.15));
                 } else {
                     fillVertical(p, roundedRect(body, r), mix(c, Qt::white, 0.12), c);
                     topSheen(p, body.adjusted(1, 1, -1, -1), r - 1, QColor(255, 255, 255, 50));
                 }
                 strokeInside(p, body, r, withAlpha(mix(c, Qt::black, 0.55), 220));
             });
    // The sheet's emblem: a rounded tile with the destination's glyph; the finished and
    // failed states swap it for a check or a cross.
    auto emblem = [](Glyph g, QColor hue) {
        return [g, hue](QPainter &p, const QSizeF &s) {
            p.setRenderHint(QPainter::Antialiasing, true);
            const QRectF body = QRectF(QPointF(0, 0), s).adjusted(2, 1.5, -2, -3);
            const double r = 10;
            dropShadow(p, roundedRect(body, r), 1.5, P().shadow, 3);
            fillVertical(p, roundedRect(body, r), mix(hue, Qt::white, 0.14), mix(hue, Qt::black, 0.30));
            strokeInside(p, body, r, QColor(0, 0, 0, 90));
            topSheen(p, body.adjusted(1, 1, -1, -1), r - 1, QColor(255, 255, 255, 60));
            const double gs = body.width() * 0.56;
            const QRectF box(body.center().x() - gs / 2, body.center().y() - gs / 2, gs, gs);
            drawGlyph(p, g, box.translated(0, 1), QColor(0, 0, 0, 70));
            drawGlyph(p, g, box, QColor(255, 255, 255, 245));
        };
    };
    const QSizeF em(m.sheetEmblem, m.sheetEmblem);
    b.add("ExportMovieEmblem.png", em, emblem(Glyph::Film, P().kindVideo));
    b.add("ExportLibraryEmblem.png", em, emblem(Glyph::Note, P().kindAudio));
    b.add("ExportUploadEmblem.png", em, emblem(Glyph::Share, P().kindWeb));
    b.add("ExportDoneEmblem.png", em, emblem(Glyph::Check, P().kindHd));
    b.add("ExportFailedEmblem.png", em, emblem(Glyph::Close, P().danger));
    // The upload sheets' category pop-up and its menu.
    b.states("UploadPopupNormal.png", "UploadPopupPress.png", {120, 26}, [](QPainter &p, const QSizeF &s, State st) {
        plainButton(p, QRectF(QPointF(0, 0), s), st, M().radius);
        drawGlyph(p, Glyph::ChevronDown, QRectF(s.width() - 17, 8, 10, 10),
                  st == State::Pressed ? P().accent : P().glyphDim);
    });
    b.add("UploadPopupMenuBg.png", {60, 36}, [](QPainter &p, const QSizeF &s) {
        p.setRenderHint(QPainter::Antialiasing, true);
        const QRectF body = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -0.5);
        fillVertical(p, roundedRect(body, 6), QColor(0x2a, 0x2f, 0x36, 250), QColor(0x22, 0x26, 0x2c, 250));
        strokeInside(p, body, 6, QColor(0, 0, 0, 160));
        strokeInside(p, body.adjusted(1, 1, -1, -1), 5, QColor(255, 255, 255, 14));
    });
}

} // namespace

std::vector<Picture> catalogue(const QString &formatsFile, QString *error) {
    std::vector<Picture> out;
    Builder b(out);
    programPictures(b);
    formatPictures(b, formatsFile, error);
    mediaPictures(b);
    controlPictures(b);
    sharingPictures(b);
    return out;
}

} // namespace skin
