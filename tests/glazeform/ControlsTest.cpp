// Buttons, labels, sliders, check box, switch, spin control and drop view.
#include "GuiEvents.h"

#include <glazeform/LXButton.h>
#include <glazeform/LXCheckButton.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXImageView.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXSpinButton.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXSwitchButton.h>
#include <glazeform/LXView.h>

#include <foundation/NotificationCenter.h>

#include "TestSupport.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QPixmap solid(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::gray);
    return p;
}

struct ButtonLog : LXButtonDelegate {
    QStringList calls;
    void buttonDown(LXButton *) override { calls << "down"; }
    void buttonUpWithEvent(LXButton *, QMouseEvent *) override { calls << "upWithEvent"; }
    void buttonUp(LXButton *) override { calls << "up"; }
    void pressCanceled(LXButton *) override { calls << "canceled"; }
};

// Counts the pop-up dismissal notifications while alive.
struct DismissalCounter {
    QObject ctx;
    int count = 0;
    DismissalCounter() {
        foundation::NotificationCenter::defaultCenter().addObserver(
            &ctx, LXCommon::kPopupDownMenuItemKey, [this](const QString &, const QVariantMap &) { ++count; });
    }
};

} // namespace

TEST(LXButtonTest, ReleaseInsideReportsUpTwiceInOrderOutsideCancels) {
    LXButton b;
    b.resize(40, 20);
    ButtonLog log;
    b.setDelegate(&log);
    gui::press(&b, {5, 5});
    EXPECT_TRUE(b.bPressed());
    EXPECT_EQ(b.clickMousePoint(), QPointF(5, 15));
    gui::release(&b, {6, 6});
    EXPECT_EQ(log.calls, QStringList({"down", "upWithEvent", "up"}));
    EXPECT_FALSE(b.bCanceled());

    log.calls.clear();
    gui::press(&b, {5, 5});
    gui::drag(&b, {200, 5});
    EXPECT_TRUE(b.bPressed()); // keeps its pressed look while dragged away
    gui::release(&b, {200, 5});
    EXPECT_EQ(log.calls, QStringList({"down", "canceled"}));
    EXPECT_TRUE(b.bCanceled());
    EXPECT_FALSE(b.bPressed());
}

TEST(LXButtonTest, DisabledButtonIgnoresPressesButStillClosesMenus) {
    LXButton b;
    b.resize(40, 20);
    ButtonLog log;
    b.setDelegate(&log);
    b.setBEnabled(false);
    DismissalCounter dismissals;
    gui::click(&b, {5, 5});
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_FALSE(b.bPressed());
    EXPECT_EQ(dismissals.count, 1);
}

TEST(LXButtonTest, PictureAndTitleFollowTheState) {
    LXButton b;
    b.resize(100, 30);
    const QPixmap n = solid(10, 10), p = solid(11, 11), d = solid(12, 12);
    b.setNormalImage(n);
    b.setPressImage(p);
    EXPECT_EQ(b.currentImage().cacheKey(), n.cacheKey());
    gui::press(&b, {5, 5});
    EXPECT_EQ(b.currentImage().cacheKey(), p.cacheKey());
    gui::release(&b, {5, 5});
    b.setBEnabled(false);
    EXPECT_EQ(b.currentImage().cacheKey(), n.cacheKey()); // no disabled picture: the normal one
    b.setDisableImage(d);
    EXPECT_EQ(b.currentImage().cacheKey(), d.cacheKey());
    // Title placement: centred gets 2 points more height; left and right keep 5 points in.
    EXPECT_EQ(b.titleRect({40, 10}), QRectF(30, 12, 40, 10));
    b.setTextAlignment(LXButton::AlignLeft);
    b.setYOffSet(3);
    EXPECT_EQ(b.titleRect({40, 10}), QRectF(5, 13, 40, 10));
    b.setTextAlignment(LXButton::AlignRight);
    EXPECT_EQ(b.titleRect({40, 10}).x(), 55);
}

TEST(LXLabelTest, DotsShortenATextThatDoesNotFit) {
    LXLabel label;
    label.resize(60, 20);
    label.setBUseDot(true);
    const QString text = "A rather long file name for a label.mp4";
    label.setTextTitle(text);
    const double tw = LXStyle::textSize(label.textFont(), text).width();
    ASSERT_GT(tw, 73); // does not fit 60 points
    const int keep = int(std::trunc(text.size() * 60.0 / tw - 6));
    EXPECT_EQ(label.displayedText(), text.left(std::max(0, keep)) + "...");
    // Wide enough: untouched; without the flag: untouched.
    label.resize(int(tw) + 20, 20);
    EXPECT_EQ(label.displayedText(), text);
    label.resize(60, 20);
    label.setBUseDot(false);
    EXPECT_EQ(label.displayedText(), text);
    // Alignment of the text rectangle.
    label.setTextAlignment(LXLabel::AlignRight);
    EXPECT_EQ(label.textRect().right(), 60);
    label.setTextAlignment(LXLabel::AlignLeft);
    EXPECT_EQ(label.textRect().x(), 5);
}

namespace {
struct SliderLog : LXSliderDelegate {
    QStringList calls;
    std::vector<double> positions;
    void slideBeginDragged(LXSlider *) override { calls << "begin"; }
    void sliderChanged(LXSlider *) override { calls << "changed"; }
    void sliderDragedAtPosition(LXSlider *, double p) override {
        calls << "drag";
        positions.push_back(p);
    }
    void slideEndDragged(LXSlider *) override { calls << "end"; }
};

// A volume-like slider: 200 x 20, spacing 6, caps 4 wide, knob 10 x 10.
void dress(LXSliderA &s) {
    s.resize(200, 20);
    s.setProgressLeftImage(solid(4, 6));
    s.setProgressImage(solid(4, 6));
    s.setProgressRightImage(solid(4, 6));
    s.setSubProgressLeftImage(solid(4, 6));
    s.setSubProgressImage(solid(4, 6));
    s.setSubProgressRightImage(solid(4, 6));
    s.setKnobImage(solid(10, 10));
    s.setKnobPressImage(solid(10, 10));
    s.setNSpace(6);
    s.setSlideType(1);
    s.initImagePosition();
}
} // namespace

TEST(LXSliderTest, LayoutAndMinimumSize) {
    LXSliderA s;
    dress(s);
    EXPECT_EQ(s.orgPrgPoint(), QPointF(6, 7));
    EXPECT_EQ(s.endPrgPoint(), QPointF(190, 7));
    EXPECT_EQ(s.knobPoint(), QPointF(6, 5));
    EXPECT_DOUBLE_EQ(s.drawWidth(), 200 - 12 - 2 - 2);
    QWidget parent;
    parent.resize(100, 100);
    LXSliderA tiny(QRectF(0, 0, 20, 4), &parent);
    EXPECT_EQ(tiny.size(), QSize(36, 10));
}

TEST(LXSliderTest, SetPositionPutsTheKnobAlongDrawWidth) {
    LXSliderA s;
    dress(s);
    s.setSliderPos(0.5);
    // Knob x = left cap / 2 + spacing + drawWidth / 2; the position follows from the knob.
    EXPECT_DOUBLE_EQ(s.knobPoint().x(), 2 + 6 + 184 / 2.0);
    EXPECT_DOUBLE_EQ(s.curPosition(), (s.knobPoint().x() - 6) / 184.0);
    s.setSliderPos(0);
    EXPECT_DOUBLE_EQ(s.curPosition(), 2 / 184.0);
    // The plain slider has no position.
    LXSlider plain;
    plain.setSliderPos(0.7);
    EXPECT_EQ(plain.sliderPos(), 0.0);
}

TEST(LXSliderTest, DragIsClampedPressIsNot) {
    LXSliderA s;
    dress(s);
    SliderLog log;
    s.setDelegate(&log);
    gui::press(&s, gui::ll(&s, 199, 10));
    EXPECT_GT(s.curPosition(), 1.0); // a press beyond the track is not clamped
    gui::drag(&s, gui::ll(&s, 500, 10));
    gui::drag(&s, gui::ll(&s, -50, 10));
    gui::release(&s, gui::ll(&s, -50, 10));
    EXPECT_EQ(log.calls, QStringList({"begin", "changed", "drag", "drag", "end"}));
    ASSERT_EQ(log.positions.size(), 2u);
    EXPECT_DOUBLE_EQ(log.positions[0], 1.0);
    EXPECT_DOUBLE_EQ(log.positions[1], 0.0);
    EXPECT_FALSE(s.bMouseDraged());
    // A display-only slider moves nothing.
    s.setSlideType(0);
    s.setSliderPos(0.25);
    const double before = s.curPosition();
    gui::press(&s, gui::ll(&s, 150, 10));
    gui::drag(&s, gui::ll(&s, 180, 10));
    EXPECT_EQ(s.curPosition(), before);
}

TEST(LXSliderTest, DisabledSliderReportsPressesButDoesNotMove) {
    LXSliderA s;
    dress(s);
    SliderLog log;
    s.setDelegate(&log);
    s.setBEnabled(false);
    s.setSliderPos(0.5);
    const double before = s.curPosition();
    gui::press(&s, gui::ll(&s, 20, 10));
    gui::drag(&s, gui::ll(&s, 30, 10));
    gui::release(&s, gui::ll(&s, 30, 10));
    EXPECT_EQ(s.curPosition(), before);
    EXPECT_EQ(log.calls, QStringList({"begin", "end"}));
}

namespace {
struct CheckLog : LXCheckButtonDelegate {
    QStringList calls;
    void willClickButton(LXCheckButton *) override { calls << "will"; }
    void clickedButtonChecked(LXCheckButton *, bool on) override { calls << (on ? "on" : "off"); }
};
struct SpinLog : LXSpinButtonDelegate {
    QStringList calls;
    void spinButtonTopDown(LXSpinButton *) override { calls << "topDown"; }
    void spinButtonBtmDown(LXSpinButton *) override { calls << "btmDown"; }
    void spinButtonTopUp(LXSpinButton *s) override { calls << QString("topUp %1").arg(s->curValue()); }
    void spinButtonBtmUp(LXSpinButton *s) override { calls << QString("btmUp %1").arg(s->curValue()); }
    void pressCanceled(LXSpinButton *) override { calls << "canceled"; }
};
} // namespace

TEST(LXCheckButtonTest, FlipsOnEveryReleaseEvenOutside) {
    LXCheckButton c;
    c.resize(120, 20);
    CheckLog log;
    c.setDelegate(&log);
    gui::click(&c, {5, 5});
    gui::press(&c, {5, 5});
    gui::release(&c, {500, 500});
    EXPECT_FALSE(c.bChecked());
    EXPECT_EQ(log.calls, QStringList({"will", "on", "will", "off"}));
    c.setBEnabled(false);
    gui::click(&c, {5, 5});
    EXPECT_FALSE(c.bChecked());
    EXPECT_EQ(log.calls.size(), 4);
}

TEST(LXSpinButtonTest, StepsWithinBoundsAndReportsAtTheBound) {
    LXSpinButton s;
    s.resize(20, 30);
    s.setMinValue(1);
    s.setMaxValue(10);
    s.setCurValue(9);
    SpinLog log;
    s.setDelegate(&log);
    gui::click(&s, {10, 3});  // upper half
    gui::click(&s, {10, 3});  // at 10 already: stays, still reported
    gui::click(&s, {10, 27}); // lower half
    EXPECT_EQ(log.calls, QStringList({"topDown", "topUp 10", "topDown", "topUp 10", "btmDown", "btmUp 9"}));
    log.calls.clear();
    gui::press(&s, {10, 27});
    gui::release(&s, {100, 100});
    EXPECT_EQ(log.calls, QStringList({"btmDown", "canceled"}));
    EXPECT_EQ(s.curValue(), 9);
    EXPECT_TRUE(s.bCanceled());
    s.setCurValue(0);
    EXPECT_EQ(s.curValue(), 1);
    s.setCurValue(42);
    EXPECT_EQ(s.curValue(), 10);
    s.setCurValue(1);
    gui::click(&s, {10, 27});
    EXPECT_EQ(s.curValue(), 1);
}

TEST(LXSwitchButtonTest, TogglesOncePerAnimationAndEndsAtItsFrame) {
    QWidget parent;
    parent.resize(100, 40);
    LXSwitchButton sw(QRectF(10, 10, 47, 18), &parent);
    int reports = 0;
    QObject::connect(&sw, &LXSwitchButton::stateChanged, [&](bool) { ++reports; });
    gui::click(sw.knobButton(), {5, 5});
    gui::click(sw.backgroundButton(), {40, 5}); // arrives during the animation
    EXPECT_TRUE(sw.bOnStates());
    EXPECT_TRUE(sw.bProcessing());
    EXPECT_EQ(reports, 1);
    ASSERT_TRUE(testsupport::waitFor([&] { return !sw.bProcessing(); }, 3000));
    EXPECT_EQ(sw.knobButton()->geometry(), LXGeometry::qtRect(LXSwitchButton::onKnobFrame(), 18));
    gui::click(sw.knobButton(), {5, 5});
    ASSERT_TRUE(testsupport::waitFor([&] { return !sw.bProcessing(); }, 3000));
    EXPECT_FALSE(sw.bOnStates());
    EXPECT_EQ(sw.knobButton()->geometry(), LXGeometry::qtRect(LXSwitchButton::offKnobFrame(), 18));
}

namespace {
struct DropLog : LXImageViewDelegate {
    QStringList files;
    int clicks = 0;
    void acceptDropedFiles(const QStringList &p) override { files = p; }
    void clickImageView(LXImageView *) override { ++clicks; }
};
} // namespace

TEST(LXImageViewTest, TakesFileDragsAsCopiesAndRefusesOthers) {
    LXImageView v;
    v.resize(100, 100);
    DropLog log;
    v.setImageViewDelegate(&log);
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/tmp/a.mp4"), QUrl::fromLocalFile("/tmp/b c.mov")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(log.files, QStringList({"/tmp/a.mp4", "/tmp/b c.mov"}));

    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent enterText(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &enterText);
    EXPECT_FALSE(enterText.isAccepted());
    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/a.mp4")});
    QDropEvent dropRemote(QPointF(10, 10), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&v, &dropRemote);
    EXPECT_FALSE(dropRemote.isAccepted());
    EXPECT_EQ(log.files.size(), 2);
    gui::click(&v, {5, 5});
    EXPECT_EQ(log.clicks, 1);
}

TEST(LXViewTest, PressesReportOnlyWhenEnabledAndGoOnToTheParent) {
    struct ViewLog : LXViewDelegate {
        int clicks = 0;
        void clickView(LXView *) override { ++clicks; }
    };
    LXView parent;
    parent.resize(100, 100);
    auto *child = new LXView(QRectF(10, 10, 30, 30), &parent);
    ViewLog parentLog, childLog;
    parent.setDelegate(&parentLog);
    child->setDelegate(&childLog);
    gui::press(child, {5, 5});
    EXPECT_EQ(childLog.clicks, 1);
    EXPECT_EQ(parentLog.clicks, 1);
    child->setBEnabled(false);
    DismissalCounter dismissals;
    gui::press(child, {5, 5});
    EXPECT_EQ(childLog.clicks, 1);
    EXPECT_EQ(parentLog.clicks, 2);
    EXPECT_EQ(dismissals.count, 1); // only the enabled parent closed menus
}
