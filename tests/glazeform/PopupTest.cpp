// The skinned pop-up button and its menu.
#include "GuiEvents.h"

#include <glazeform/LXButton.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXPopUpButton.h>

#include "TestSupport.h"

#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct PopupLog : LXPopUpButtonDelegate {
    std::vector<int> chosen;
    void itemSelectAtIndex(LXPopUpButton *, int index) override { chosen.push_back(index); }
};

class Popup : public ::testing::Test {
protected:
    QWidget window;
    LXPopUpButton *button = nullptr;
    LXButton *other = nullptr;
    PopupLog log;
    void SetUp() override {
        window.resize(300, 200);
        button = new LXPopUpButton(QRectF(20, 100, 120, 24), &window);
        button->setDelegate(&log);
        button->initItemsSelectIndex({"Local file", "iTunes", "YouTube"}, 0);
        button->updateItemWithStrValue("Export");
        other = new LXButton(QRectF(200, 20, 60, 24), &window);
        window.move(100, 100);
        window.show();
        QCoreApplication::processEvents();
    }
    void TearDown() override { QCoreApplication::processEvents(); }
    LXMenu *open() {
        gui::press(button, {10, 10});
        gui::release(button, {10, 10});
        return button->menuWindow();
    }
    bool closed() {
        return testsupport::waitFor([&] { return !button->menuWindow() || !button->menuWindow()->isVisible(); },
                                    2000) &&
               !button->bPopuped();
    }
};

} // namespace

TEST_F(Popup, MenuHangsBelowTheButtonTopRowFirstAndReportsTheChoice) {
    button->setXOffSet(-1);
    button->setYOffSet(2);
    LXMenu *menu = open();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(button->bPopuped());
    EXPECT_EQ(menu->height(), 74);
    EXPECT_EQ(menu->width(), 120);
    const QPoint corner = button->mapToGlobal(QPoint(0, button->height()));
    EXPECT_EQ(menu->geometry().topLeft(), corner + QPoint(-1, -3));
    ASSERT_EQ(menu->rows().size(), 3u);
    EXPECT_EQ(menu->rows()[0]->geometry(), QRect(0, 4, 120, 22));
    EXPECT_EQ(menu->rows()[2]->geometry(), QRect(0, 48, 120, 22));
    EXPECT_EQ(menu->highlightedIndex(), 0);
    // Pointer over the bottom row highlights it; away from every row the selection returns.
    gui::hover(menu->rows()[2], {30, 10});
    EXPECT_EQ(menu->highlightedIndex(), 2);
    gui::hover(menu->rows()[2], {30, 40}); // below the last row, inside the padding
    EXPECT_EQ(menu->highlightedIndex(), 0);
    gui::press(menu->rows()[2], {30, 10});
    gui::release(menu->rows()[2], {30, 10});
    EXPECT_EQ(log.chosen, std::vector<int>({2}));
    EXPECT_EQ(button->drawStr(), "YouTube");
    EXPECT_TRUE(closed());
    // The next menu opens on the current choice.
    LXMenu *again = open();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->highlightedIndex(), 2);
}

TEST_F(Popup, PressingTheButtonAgainClosesWithoutAChoice) {
    ASSERT_NE(open(), nullptr);
    gui::press(button, {10, 10});
    EXPECT_FALSE(button->bPopuped());
    EXPECT_TRUE(closed());
    EXPECT_TRUE(log.chosen.empty());
    EXPECT_EQ(button->drawStr(), "Export");
}

TEST_F(Popup, PressOnAnotherControlClosesTheMenu) {
    ASSERT_NE(open(), nullptr);
    gui::press(other, {5, 5});
    EXPECT_TRUE(closed());
    EXPECT_TRUE(log.chosen.empty());
    // A disabled control closes it as well.
    ASSERT_NE(open(), nullptr);
    other->setBEnabled(false);
    gui::press(other, {5, 5});
    EXPECT_TRUE(closed());
    // So does the shared dismissal from anywhere.
    ASSERT_NE(open(), nullptr);
    LXCommon::popupDownMenu();
    EXPECT_TRUE(closed());
}

TEST_F(Popup, MovingTheWindowClosesTheMenu) {
    ASSERT_NE(open(), nullptr);
    window.move(160, 140);
    QCoreApplication::processEvents();
    EXPECT_TRUE(closed());
    EXPECT_TRUE(log.chosen.empty());
}

TEST_F(Popup, DisabledOrEmptyButtonOpensNothing) {
    button->setBEnabled(false);
    EXPECT_EQ(open(), nullptr);
    button->setBEnabled(true);
    button->initItemsSelectIndex({}, 0);
    EXPECT_EQ(open(), nullptr);
    EXPECT_FALSE(button->bPopuped());
    button->initItemsSelectIndex({"a", "b"}, 1);
    button->updateItemStrValue(1);
    EXPECT_EQ(button->drawStr(), "b");
    button->updateItemStrValue(5);
    EXPECT_EQ(button->drawStr(), "b");
}

// A menu that is a window of its own takes the keyboard from the window under it (which then
// closes every menu) and cannot be placed under Wayland: it is a pop-up of the button's window.
TEST_F(Popup, MenuIsAPopUpOfTheButtonsWindowThatLeavesItActive) {
    window.activateWindow();
    QCoreApplication::processEvents();
    LXMenu *menu = open();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->windowType(), Qt::Popup);
    EXPECT_EQ(menu->parentWidget(), &window);
    ASSERT_NE(menu->windowHandle(), nullptr);
    EXPECT_EQ(menu->windowHandle()->transientParent(), window.windowHandle());
    EXPECT_FALSE(menu->testAttribute(Qt::WA_ShowWithoutActivating));
    // Its place, against the window: hanging from the button's lower-left corner (one point
    // up, as the menu's frame is laid out), shifted by the offsets (0 here).
    EXPECT_EQ(menu->geometry().topLeft(), button->mapToGlobal(QPoint(0, button->height() - 1)));
    // A press that closes a pop-up is not replayed: a press on the button only closes it.
    EXPECT_TRUE(menu->testAttribute(Qt::WA_NoMouseReplay));
}

TEST_F(Popup, MenuClosedFromOutsideTellsTheButton) {
    LXMenu *menu = open();
    ASSERT_NE(menu, nullptr);
    // A press outside, or Esc, closes a pop-up by itself.
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_TRUE(closed());
    EXPECT_EQ(button->menuWindow(), nullptr);
    EXPECT_TRUE(log.chosen.empty());
    // The next press opens it again.
    EXPECT_NE(open(), nullptr);
    EXPECT_TRUE(button->bPopuped());
}

TEST_F(Popup, KeysMoveTheHighlightAndChoose) {
    LXMenu *menu = open();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->highlightedIndex(), 0);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Down);
    EXPECT_EQ(menu->highlightedIndex(), 2);
    QTest::keyClick(menu, Qt::Key_Down); // round to the top
    EXPECT_EQ(menu->highlightedIndex(), 0);
    QTest::keyClick(menu, Qt::Key_Up); // and back to the bottom
    EXPECT_EQ(menu->highlightedIndex(), 2);
    QTest::keyClick(menu, Qt::Key_Up);
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(log.chosen, std::vector<int>({1}));
    EXPECT_TRUE(closed());
    EXPECT_EQ(button->drawStr(), "iTunes");
}
