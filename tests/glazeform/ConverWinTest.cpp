// The floating control window: drag limits, the single instance, the controls' order.
#include "GuiEvents.h"

#include <glazeform/LXConverWin.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXView.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Source : LXConvertWinViewDataSource {
    QStringList calls;
    std::vector<QPointF> dragged;
    QWidget *play = nullptr, *progress = nullptr;
    QWidget *playController(LXConverWinView *v) override {
        calls << "play";
        return play = new LXView(QRectF(289, 31, 24, 24), v);
    }
    QWidget *progressController(LXConverWinView *v) override {
        calls << "progress";
        return progress = new LXView(QRectF(60, 5, 480, 16), v);
    }
    QWidget *backgroundView(LXConverWinView *v) override {
        calls << "background";
        (void)v;
        return nullptr;
    }
    void dragPoint(const QPointF &o) override { dragged.push_back(o); }
    void mouseDownOnConverWinView() override { calls << "down"; }
    void restoreAutoHideTime() override { calls << "restore"; }
};

struct Cleanup {
    ~Cleanup() {
        LXConverWin::destrayConverWin();
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST(LXConverWinDrag, KeepsTheWindowOnTheScreen) {
    const QSizeF screen(1440, 900), win(603, 59);
    EXPECT_EQ(LXConverWinView::dragOrigin({800, 100}, {300, 0}, win, screen, false, {}), QPointF(1440 - 603, 100));
    EXPECT_EQ(LXConverWinView::dragOrigin({100, 100}, {-300, -500}, win, screen, false, {}), QPointF(0, 0));
    EXPECT_EQ(LXConverWinView::dragOrigin({100, 100}, {0, 5000}, win, screen, false, {}), QPointF(100, 900 - 59));
}

TEST(LXConverWinDrag, LockedWindowStaysInItsRectangleBelowItsTop) {
    const QSizeF screen(1440, 900), win(200, 60);
    const QRectF lock(50, 100, 600, 300);
    EXPECT_EQ(LXConverWinView::dragOrigin({100, 150}, {0, 400}, win, screen, true, lock), QPointF(100, 318));
    EXPECT_EQ(LXConverWinView::dragOrigin({100, 150}, {-200, -200}, win, screen, true, lock), QPointF(50, 100));
    EXPECT_EQ(LXConverWinView::dragOrigin({100, 150}, {900, 0}, win, screen, true, lock), QPointF(450, 150));
}

TEST(LXConverWinInstance, OneWindowAskedForItsControlsInOrder) {
    Cleanup cleanup;
    Source source;
    const QRectF frame(98.5, 59, 603, 59);
    LXConverWin *w = LXConverWin::showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(frame, &source,
                                                                                                        false, nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(LXConverWin::convertWin(), w);
    EXPECT_EQ(source.calls, QStringList({"background", "play", "progress"}));
    ASSERT_EQ(w->converView()->controls().size(), 2);
    EXPECT_EQ(w->converView()->controls()[0], source.play);
    const QObjectList kids = w->converView()->children();
    EXPECT_LT(kids.indexOf(source.play), kids.indexOf(source.progress)); // play lies below progress
    EXPECT_EQ(LXGeometry::frameOf(source.progress), QRectF(60, 5, 480, 16));
    EXPECT_EQ(source.progress->geometry(), QRect(60, 59 - 21, 480, 16));
    // A second request returns the same window unchanged.
    Source other;
    EXPECT_EQ(LXConverWin::showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(QRectF(0, 0, 10, 10),
                                                                                                 &other, true, nullptr),
              w);
    EXPECT_TRUE(other.calls.isEmpty());
    EXPECT_EQ(w->size(), QSize(603, 59));
    LXConverWin::destrayAsChildConverWin(false);
    EXPECT_EQ(LXConverWin::convertWin(), nullptr);
}

TEST(LXConverWinInstance, DraggingALockedWindowReportsItsOrigin) {
    Cleanup cleanup;
    Source source;
    LXConverWin *w =
        LXConverWin::showConverWinWithFrameConvertWinViewDelegateIsPlaying(QRectF(100, 100, 300, 60), &source, true);
    ASSERT_NE(w, nullptr);
    QCoreApplication::processEvents();
    w->setLockWin(true);
    w->setLockRect(QRectF(50, 50, 500, 200));
    LXConverWinView *view = w->converView();
    source.calls.clear();
    gui::press(view, {5, 5});
    // Up by 200 points: the lock keeps the top 22 points below the rectangle's top.
    gui::drag(view, {5, 5 - 200});
    gui::release(view, {5, -195});
    EXPECT_EQ(source.calls, QStringList({"down", "restore", "restore", "restore"}));
    ASSERT_EQ(source.dragged.size(), 1u);
    EXPECT_EQ(source.dragged[0], QPointF(100, 50 + 200 - 60 - 22));
    EXPECT_EQ(w->screenFrame(), QRectF(100, 168, 300, 60));
    LXConverWin::destrayAsChildConverWin(true);
    EXPECT_EQ(LXConverWin::convertWin(), nullptr);
}

TEST(LXConverWinInstance, BarIsAnOverlayOfItsWindowThatGoesWhereTheWindowGoes) {
    Cleanup cleanup;
    Source source;
    QWidget parent;
    parent.setGeometry(100, 100, 700, 400);
    // The picture fills the window.
    auto *inside = new QWidget(&parent);
    inside->setGeometry(0, 0, 700, 400);
    parent.show();
    QCoreApplication::processEvents();
    const QRectF frame(LXGeometry::qtToScreen(QRectF(parent.geometry())).topLeft() + QPointF(50, 20), QSizeF(300, 60));
    LXConverWin *w = LXConverWin::showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(frame, &source,
                                                                                                        false, &parent);
    // Any widget of the window stands for the window.
    w->addToParentWindowIsFullScreen(inside, false);
    EXPECT_EQ(w->parentWin(), &parent);
    // A part of the window, not a window: the compositor cannot put it elsewhere, and it
    // takes no keyboard from the window.
    EXPECT_FALSE(w->isWindow());
    EXPECT_EQ(w->parentWidget(), &parent);
    EXPECT_EQ(w->window(), &parent);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->screenFrame(), frame);
    // Above the window's other contents.
    QWidget *hit = parent.childAt(w->geometry().center());
    EXPECT_TRUE(hit == w || w->isAncestorOf(hit));
    const QPoint before = w->mapToGlobal(QPoint(0, 0));
    parent.move(parent.pos() + QPoint(30, 40));
    QCoreApplication::processEvents();
    EXPECT_EQ(w->mapToGlobal(QPoint(0, 0)), before + QPoint(30, 40));
    // Placed by screen frames as before, relative to the window it lies on.
    w->setScreenFrame(frame.translated(10, 0));
    EXPECT_EQ(w->screenFrame().x(), frame.x() + 10);
    w->removeFromParentWin();
    EXPECT_EQ(w->parentWin(), nullptr);
    EXPECT_FALSE(w->isVisible());
}

TEST(LXConverWinInstance, DraggingAnOverlayMovesItInsideItsWindow) {
    Cleanup cleanup;
    Source source;
    QWidget parent;
    parent.setGeometry(100, 100, 700, 400);
    parent.show();
    QCoreApplication::processEvents();
    const QRectF win = LXGeometry::qtToScreen(QRectF(parent.geometry()));
    LXConverWin *w = LXConverWin::showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(
        QRectF(win.x() + 50, win.y() + 20, 300, 60), &source, false, &parent);
    w->addToParentWindowIsFullScreen(&parent, false);
    w->setLockWin(true);
    w->setLockRect(win);
    const QPoint windowAt = parent.pos();
    gui::press(w->converView(), {5, 5});
    gui::drag(w->converView(), {5 + 30, 5 - 40});
    gui::release(w->converView(), {35, -35});
    // The bar moved, not the window it lies on.
    EXPECT_EQ(parent.pos(), windowAt);
    EXPECT_EQ(w->screenFrame().topLeft(), QPointF(win.x() + 80, win.y() + 60));
    ASSERT_EQ(source.dragged.size(), 1u);
    EXPECT_EQ(source.dragged[0], QPointF(win.x() + 80, win.y() + 60));
    // Held inside the window (22 points below its top).
    gui::press(w->converView(), {5, 5});
    gui::drag(w->converView(), {5 + 900, 5 - 900});
    EXPECT_EQ(w->screenFrame(), QRectF(win.x() + win.width() - 300, win.y() + win.height() - 60 - 22, 300, 60));
}

TEST(LXCountdownWindowTest, PanelIsAnOverlayOfTheWindowItIsAttachedTo) {
    QWidget parent;
    parent.setGeometry(100, 100, 700, 400);
    parent.show();
    QCoreApplication::processEvents();
    const QRectF frame(LXGeometry::qtToScreen(QRectF(parent.geometry())).topLeft() + QPointF(40, 90), QSizeF(99, 24));
    auto *panel = new LXCountdownWindow(frame);
    panel->attachToWindow(&parent);
    panel->show();
    EXPECT_FALSE(panel->isWindow());
    EXPECT_EQ(panel->window(), &parent);
    EXPECT_EQ(panel->screenFrame(), frame);
    // Taken off again it is hidden, not a window that shows up on its own.
    panel->attachToWindow(nullptr);
    EXPECT_FALSE(panel->isVisible());
    delete panel;
}

TEST(LXCountdownWindowTest, ContentFillsTheWindow) {
    LXCountdownWindow win(QRectF(10, 10, 99, 24));
    auto *content = new LXView;
    win.setContentView(content);
    EXPECT_EQ(win.size(), QSize(99, 24));
    EXPECT_EQ(content->geometry(), QRect(0, 0, 99, 24));
    EXPECT_TRUE(win.canBecomeKeyWindow());
}
