// The trim slider: positions and fractions, the two-second gap at both handles, hit testing,
// seeking, the time text.
#include "GuiEvents.h"

#include <glazeform/LXCutSlider.h>

#include <QImage>
#include <QRegularExpression>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

QPixmap solid(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::darkGray);
    return p;
}

struct CutLog : LXCutSliderDelegate {
    bool allow = true;
    QStringList calls;
    std::vector<double> left, right, cursor;
    double leftCut = -1, rightCut = -1;
    QString time;
    void beginDragged() override { calls << "begin"; }
    void endDragged() override { calls << "end"; }
    void cursorPositionChanging(double f) override { cursor.push_back(f); }
    void leftCutPosition(double f) override { left.push_back(f); }
    void rightCutPosition(double f) override { right.push_back(f); }
    void leftCutted(double f) override { leftCut = f; }
    void rightCutted(double f) override { rightCut = f; }
    bool avalibleToDragCut() override { return allow; }
    void leftCutUpArea(QMouseEvent *) override { calls << "leftArea"; }
    void rightCutUpArea(QMouseEvent *) override { calls << "rightArea"; }
    void noneCutUpArea(QMouseEvent *) override { calls << "noneArea"; }
    void drawTimeString(const QString &t) override { time = t; }
};

// A slider 440 wide (bar 400 points) with 8-point handles.
class CutSlider : public ::testing::Test {
protected:
    QWidget parent;
    LXCutSlider *s = nullptr;
    CutLog log;
    void SetUp() override {
        parent.resize(500, 100);
        s = new LXCutSlider(QRectF(0, 0, 440, 30), &parent);
        s->setLeftCutNormal(solid(8, 12));
        s->setRightCutNormal(solid(8, 12));
        s->setPrgMidBg(solid(4, 6));
        s->setDelegate(&log);
        s->initRects();
        s->becomeFirstResponder();
    }
    QPointF at(double x, double y) { return gui::ll(s, x, y); }
    void dragLeftTo(double x) {
        gui::hover(s, at(s->leftCutRt().x() + 4, 14));
        ASSERT_EQ(s->dragType(), LXCutSlider::DragLeftCut);
        gui::press(s, at(s->leftCutRt().x() + 4, 14));
        gui::drag(s, at(x, 14));
        gui::release(s, at(x, 14));
    }
    void dragRightTo(double x) {
        gui::hover(s, at(s->rightCutRt().x() + 4, 14));
        ASSERT_EQ(s->dragType(), LXCutSlider::DragRightCut);
        gui::press(s, at(s->rightCutRt().x() + 4, 14));
        gui::drag(s, at(x, 14));
        gui::release(s, at(x, 14));
    }
};

} // namespace

TEST_F(CutSlider, LayoutFromTimes) {
    EXPECT_EQ(s->height(), 80);
    EXPECT_EQ(s->slideRt(), QRectF(20, 15, 400, 6));
    s->initTotalTimeValue(100);
    EXPECT_EQ(s->leftCutRt(), QRectF(12, 10, 8, 8));
    EXPECT_EQ(s->rightCutRt(), QRectF(420, 10, 8, 8));
    EXPECT_DOUBLE_EQ(s->minGap(), 8);
    s->initTotalTimeValueStartCutEndCutTotalTime(0, 25, 75, 100);
    EXPECT_DOUBLE_EQ(s->leftCutRt().x(), 12 + 102);
    EXPECT_DOUBLE_EQ(s->rightCutRt().x(), 114 + 8 + 200);
    EXPECT_EQ(s->cursorRt(), QRectF(16, 25, 8, 6)); // on the start until the next time arrives
    s->setCurrentTime(50);
    EXPECT_DOUBLE_EQ(s->cursorRt().x(), 216);
    EXPECT_DOUBLE_EQ(s->cursorFraction(), 0.5);
    s->setCutDeltaY(-4);
    s->setPosDeltaY(-3);
    EXPECT_EQ(s->leftCutRt().y(), 6);
    EXPECT_EQ(s->cursorRt().y(), 22);
    s->initRects();
    EXPECT_EQ(s->leftCutRt().y(), 6);
}

TEST_F(CutSlider, LeftHandleStopsTwoSecondsBeforeTheRightOne) {
    s->initTotalTimeValue(100);
    dragLeftTo(500);
    EXPECT_DOUBLE_EQ(s->leftCutRt().x() + 8, s->rightCutRt().x() - 8); // cut points 8 apart
    EXPECT_DOUBLE_EQ(s->leftCutTime(), s->rightCutTime() - 2);
    ASSERT_FALSE(log.left.empty());
    EXPECT_DOUBLE_EQ(log.left.back(), 0.98);
    EXPECT_DOUBLE_EQ(log.leftCut, 0.98);
    EXPECT_EQ(log.calls.filter(QRegularExpression("begin|end")), QStringList({"begin", "end"}));
    dragLeftTo(-300);
    EXPECT_DOUBLE_EQ(log.left.back(), 0);
    EXPECT_DOUBLE_EQ(s->leftCutTime(), 0);
}

TEST_F(CutSlider, RightHandleStopsTwoSecondsAfterTheLeftOneAndAtTheEnd) {
    s->initTotalTimeValueStartCutEndCutTotalTime(0, 30, 60, 100);
    dragRightTo(1000);
    EXPECT_DOUBLE_EQ(log.right.back(), 1.0);
    EXPECT_DOUBLE_EQ(s->rightCutTime(), 100);
    dragRightTo(-100);
    EXPECT_DOUBLE_EQ(s->rightCutRt().x(), s->leftCutRt().x() + 8 + 8);
    EXPECT_NEAR(s->rightCutFraction() - s->leftCutFraction(), 2.0 / 100, 1e-9);
    EXPECT_DOUBLE_EQ(log.rightCut, log.right.back());
}

TEST_F(CutSlider, RefusedDragMovesNothingButReleaseStillReports) {
    s->initTotalTimeValue(100);
    log.allow = false;
    dragLeftTo(200);
    EXPECT_TRUE(log.left.empty());
    EXPECT_DOUBLE_EQ(s->leftCutTime(), 0);
    EXPECT_DOUBLE_EQ(log.leftCut, 0);
}

TEST_F(CutSlider, CutsToTheCurrentTimeKeepTheGap) {
    s->initTotalTimeValueStartCutEndCutTotalTime(0, 10, 50, 100);
    s->setCurrentTime(49);
    s->setLeftTime(49);
    EXPECT_DOUBLE_EQ(s->leftCutTime(), 48);
    EXPECT_DOUBLE_EQ(s->leftCutRt().x(), s->rightCutRt().x() - 8 - 8);
    s->setCurrentTime(30);
    s->setRightTime(30);
    EXPECT_DOUBLE_EQ(s->rightCutTime(), 50);
    EXPECT_DOUBLE_EQ(s->rightCutRt().x(), s->leftCutRt().x() + 8 + 8);
    // Far enough apart: the cut goes to the cursor.
    s->setCurrentTime(20);
    s->setLeftTime(20);
    EXPECT_DOUBLE_EQ(s->leftCutTime(), 20);
    EXPECT_DOUBLE_EQ(s->leftCutRt().x(), 96 - 4);
    s->setCurrentTime(80);
    s->setRightTime(80);
    EXPECT_DOUBLE_EQ(s->rightCutTime(), 80);
    EXPECT_DOUBLE_EQ(s->rightCutRt().x(), 336 + 4);
}

TEST_F(CutSlider, FileShorterThanTheGapKeepsItsWholeLength) {
    s->initTotalTimeValue(1.5);
    s->setCurrentTime(0);
    s->leftCutToCurrentPosition();
    EXPECT_DOUBLE_EQ(s->leftCutTime(), 0);
    EXPECT_DOUBLE_EQ(s->leftCutFraction(), 0);
    s->rightCutToCurrentPosition();
    EXPECT_DOUBLE_EQ(s->rightCutTime(), 1.5);
    EXPECT_DOUBLE_EQ(s->rightCutFraction(), 1);
    dragLeftTo(300);
    EXPECT_GE(log.left.back(), 0.0);
    EXPECT_GE(s->leftCutTime(), 0.0);
}

TEST_F(CutSlider, HitTestingPrefersTheCursorAndReportsAreas) {
    s->initTotalTimeValueStartCutEndCutTotalTime(0, 50, 100, 100);
    // The cursor's zone wins over a handle's.
    s->initTotalTimeValue(100);
    EXPECT_EQ(s->hitTest({16, 21}), LXCutSlider::DragCursor);
    EXPECT_EQ(s->hitTest({8, 12}), LXCutSlider::DragLeftCut);
    EXPECT_EQ(s->hitTest({200, 17}), LXCutSlider::DragBar);
    EXPECT_EQ(s->hitTest({200, 60}), LXCutSlider::DragNone);

    s->initTotalTimeValueStartCutEndCutTotalTime(0, 50, 100, 100);
    ASSERT_DOUBLE_EQ(s->leftCutRt().x(), 216);
    log.calls.clear();
    gui::hover(s, at(216 - 30, 14)); // near the left handle: quiet
    EXPECT_EQ(s->dragType(), LXCutSlider::DragNone);
    EXPECT_TRUE(log.calls.isEmpty());
    gui::hover(s, at(216 - 60, 14)); // away from both handles
    EXPECT_EQ(log.calls, QStringList({"noneArea"}));
    gui::hover(s, at(220, 14));
    gui::hover(s, at(221, 14)); // every movement in the zone
    EXPECT_EQ(log.calls.count("leftArea"), 2);
}

TEST_F(CutSlider, PressOnTheBarSeeksAndSnapsToTheStart) {
    s->initTotalTimeValueStartCutEndCutTotalTime(0, 50, 100, 100);
    gui::press(s, at(22, 17));
    EXPECT_EQ(s->dragType(), LXCutSlider::DragBar);
    ASSERT_EQ(log.cursor.size(), 1u);
    EXPECT_DOUBLE_EQ(log.cursor[0], 0);
    EXPECT_TRUE(s->bCursorPressed());
    gui::release(s, at(22, 17));
    EXPECT_FALSE(s->bCursorPressed());
    gui::press(s, at(120, 17));
    EXPECT_DOUBLE_EQ(log.cursor.back(), 0.25);
    EXPECT_DOUBLE_EQ(s->currentTime(), 25);
    gui::release(s, at(120, 17));
    // Dragging the cursor past the bar's end holds it on the end.
    gui::hover(s, at(120, 28));
    ASSERT_EQ(s->dragType(), LXCutSlider::DragCursor);
    gui::press(s, at(120, 28));
    gui::drag(s, at(1000, 28));
    gui::release(s, at(1000, 28));
    EXPECT_DOUBLE_EQ(log.cursor.back(), 1);
    // Without a delegate a press does nothing.
    s->setDelegate(nullptr);
    gui::press(s, at(200, 17));
    EXPECT_DOUBLE_EQ(s->currentTime(), 100);
}

TEST_F(CutSlider, TimeTextLongAndShort) {
    s->initTotalTimeValue(5400);
    s->setCurrentTime(59.9);
    s->drawCurAndTotalTimeDesc();
    EXPECT_EQ(log.time, "00:59/01:30:00");
    EXPECT_EQ(s->timeValueRt(), QRectF(425, 15, 75, 6));
    s->updateShowLongTimeDescFlag();
    EXPECT_EQ(log.time, "00:59");
    EXPECT_EQ(LXCutSlider::minTimeInterval(), 2.0);
}

TEST_F(CutSlider, DrawsWithAndWithoutPictures) {
    s->initTotalTimeValueStartCutEndCutTotalTime(10, 20, 80, 100);
    QImage withPictures(s->size(), QImage::Format_ARGB32_Premultiplied);
    withPictures.fill(Qt::white);
    s->render(&withPictures);
    // The bar's middle pieces are dark grey at the bar's height.
    EXPECT_EQ(withPictures.pixelColor(60, 80 - 18), QColor(Qt::darkGray));
    LXCutSlider bare;
    bare.resize(300, 80);
    bare.initTotalTimeValueStartCutEndCutTotalTime(0, 30, 50, 60);
    QImage placeholders(bare.size(), QImage::Format_ARGB32_Premultiplied);
    placeholders.fill(Qt::white);
    bare.render(&placeholders);
    EXPECT_EQ(placeholders.pixelColor(22, 80 - 17), QColor(Qt::black)); // the bar's placeholder square
}
