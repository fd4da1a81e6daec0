// The skinned controls by keyboard: which take the focus, what their keys do, the focus
// ring, and the keys they take from the window's shortcuts while focused.
#include "GuiEvents.h"

#include <glazeform/LXButton.h>
#include <glazeform/LXCheckButton.h>
#include <glazeform/LXCutSlider.h>
#include <glazeform/LXFocus.h>
#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXSpinButton.h>
#include <glazeform/LXSwitchButton.h>
#include <glazeform/LXThumbImageTableView.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollArea>
#include <QShortcut>
#include <gtest/gtest.h>

namespace {

void key(QWidget *w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, k, mods);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods);
    QApplication::sendEvent(w, &release);
}

// Whether the focused widget keeps a key from the window's shortcuts.
bool claims(QWidget *w, int k) {
    QKeyEvent e(QEvent::ShortcutOverride, k, Qt::NoModifier);
    e.ignore();
    QApplication::sendEvent(w, &e);
    return e.isAccepted();
}

struct ButtonLog : LXButtonDelegate {
    QStringList calls;
    void buttonDown(LXButton *) override { calls << "down"; }
    void buttonUpWithEvent(LXButton *, QMouseEvent *e) override { calls << (e ? "upWithEvent" : "upByKey"); }
    void buttonUp(LXButton *) override { calls << "up"; }
};

// How many pixels of the palette's highlight colour a widget paints.
int highlightPixels(QWidget *w) {
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::black);
    w->render(&img);
    const QColor h = w->palette().color(QPalette::Active, QPalette::Highlight);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (std::abs(c.red() - h.red()) + std::abs(c.green() - h.green()) + std::abs(c.blue() - h.blue()) < 40)
                ++n;
        }
    return n;
}

// A window whose keyboard focus is shown (the way Tab leaves it).
struct Window {
    QWidget top;
    Window() {
        top.resize(400, 200);
        top.show();
        top.activateWindow();
        QApplication::setActiveWindow(&top);
        top.setAttribute(Qt::WA_KeyboardFocusChange, true);
    }
};

} // namespace

TEST(Keyboard, ButtonsAreTabStopsThatSpaceAndReturnPress) {
    LXButton b;
    EXPECT_EQ(b.focusPolicy(), Qt::TabFocus); // Tab reaches it; a click leaves the keyboard where it was
    ButtonLog log;
    b.setDelegate(&log);
    key(&b, Qt::Key_Space);
    key(&b, Qt::Key_Return);
    key(&b, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(log.calls, QStringList({"down", "upByKey", "up", "down", "upByKey", "up", "down", "upByKey", "up"}));
    EXPECT_FALSE(b.bPressed());
    // The window's space bar and arrows are its own again away from the button.
    EXPECT_TRUE(claims(&b, Qt::Key_Space));
    EXPECT_FALSE(claims(&b, Qt::Key_Up));
    log.calls.clear();
    key(&b, Qt::Key_Space, Qt::ControlModifier);
    b.setBEnabled(false);
    key(&b, Qt::Key_Space);
    EXPECT_TRUE(log.calls.isEmpty()) << log.calls.join(' ').toStdString();
}

TEST(Keyboard, FocusRingIsTheHighlightAndOnlyWhereTheKeyboardWent) {
    Window win;
    auto *b = new LXButton(&win.top);
    b->setTextTitle(QString());
    b->setGeometry(10, 10, 60, 30);
    b->show();
    EXPECT_EQ(highlightPixels(b), 0);
    b->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(b->hasFocus());
    // A 2 px ring round 60 x 30: about 2 * 2 * (60 + 30) pixels.
    EXPECT_GT(highlightPixels(b), 250);
    // Focus a mouse press gave draws nothing.
    win.top.setAttribute(Qt::WA_KeyboardFocusChange, false);
    EXPECT_EQ(highlightPixels(b), 0);
}

TEST(Keyboard, SwitchIsOneStopThatSpaceFlips) {
    LXSwitchButton s;
    EXPECT_EQ(s.focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(s.backgroundButton()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(s.knobButton()->focusPolicy(), Qt::NoFocus);
    QList<bool> seen;
    QObject::connect(&s, &LXSwitchButton::stateChanged, [&](bool on) { seen << on; });
    key(&s, Qt::Key_Space);
    EXPECT_EQ(seen, QList<bool>({true}));
    EXPECT_TRUE(s.bOnStates());
}

TEST(Keyboard, CheckBoxSpinAndSliderKeys) {
    struct CheckLog : LXCheckButtonDelegate {
        QList<bool> seen;
        void clickedButtonChecked(LXCheckButton *, bool on) override { seen << on; }
    } checks;
    LXCheckButton box;
    box.setDelegate(&checks);
    key(&box, Qt::Key_Space);
    key(&box, Qt::Key_Space);
    EXPECT_EQ(checks.seen, QList<bool>({true, false}));

    struct SpinLog : LXSpinButtonDelegate {
        QList<double> ups, downs;
        void spinButtonTopUp(LXSpinButton *s) override { ups << s->curValue(); }
        void spinButtonBtmUp(LXSpinButton *s) override { downs << s->curValue(); }
    } spins;
    LXSpinButton spin;
    spin.setMinValue(1);
    spin.setMaxValue(3);
    spin.setCurValue(2);
    spin.setDelegate(&spins);
    key(&spin, Qt::Key_Up);
    key(&spin, Qt::Key_Up); // stays at the bound, still reported
    key(&spin, Qt::Key_Down);
    EXPECT_EQ(spins.ups, QList<double>({3, 3}));
    EXPECT_EQ(spins.downs, QList<double>({2}));
    EXPECT_TRUE(claims(&spin, Qt::Key_Up)); // not the list's Up while focused

    struct SliderLog : LXSliderDelegate {
        QList<double> at;
        void sliderDragedAtPosition(LXSlider *, double p) override { at << p; }
    } slides;
    LXSliderA slider;
    slider.resize(220, 12);
    slider.initImagePosition();
    EXPECT_EQ(slider.focusPolicy(), Qt::NoFocus); // a display-only bar is no stop
    slider.setSlideType(1);
    EXPECT_EQ(slider.focusPolicy(), Qt::TabFocus);
    slider.setDelegate(&slides);
    key(&slider, Qt::Key_End);
    key(&slider, Qt::Key_Left);
    ASSERT_EQ(slides.at.size(), 2);
    // Positions go through the knob's place on the bar, so they come back to a pixel.
    EXPECT_NEAR(slides.at[0], 1.0, 0.01);
    EXPECT_NEAR(slides.at[1], 0.95, 0.01);
}

TEST(Keyboard, PopUpOpensMovesAndChoosesByKeys) {
    struct PopLog : LXPopUpButtonDelegate {
        QList<int> chosen;
        void itemSelectAtIndex(LXPopUpButton *, int i) override { chosen << i; }
    } log;
    Window win;
    auto *pop = new LXPopUpButton(QRectF(10, 10, 200, 26), &win.top);
    pop->show();
    pop->setDelegate(&log);
    pop->initItemsSelectIndex({"one", "two", "three"}, 0);
    EXPECT_EQ(pop->focusPolicy(), Qt::TabFocus);
    key(pop, Qt::Key_Space);
    ASSERT_NE(pop->menuWindow(), nullptr);
    key(pop, Qt::Key_Down);
    key(pop, Qt::Key_Down);
    key(pop, Qt::Key_Down); // stays on the last
    EXPECT_EQ(pop->menuWindow()->highlightedIndex(), 2);
    key(pop, Qt::Key_Up);
    key(pop, Qt::Key_Return);
    EXPECT_EQ(log.chosen, QList<int>({1}));
    EXPECT_EQ(pop->drawStr(), "two");
    EXPECT_EQ(pop->menuWindow(), nullptr);
    // Escape closes a menu without a choice; with no menu it is the window's.
    key(pop, Qt::Key_Down);
    ASSERT_NE(pop->menuWindow(), nullptr);
    EXPECT_TRUE(claims(pop, Qt::Key_Escape));
    key(pop, Qt::Key_Escape);
    EXPECT_EQ(pop->menuWindow(), nullptr);
    EXPECT_FALSE(claims(pop, Qt::Key_Escape));
    EXPECT_EQ(log.chosen, QList<int>({1}));
}

TEST(Keyboard, GridArrowsMoveAlongTilesKeepingThemWholeAndReturnChooses) {
    struct GridLog : LXThumbImageTableViewDelegate {
        QStringList calls;
        void selectCellWithDictionaryWithSubKey(const QString &key) override { calls << key; }
    } log;
    Window win;
    auto *grid = new LXThumbImageTableView(QRectF(0, 0, 480, 160), &win.top);
    grid->show();
    grid->setThumbImageTableViewDelegate(&log);
    QList<LXThumbItem> tiles;
    for (int i = 0; i < 8; ++i)
        tiles.append({QString("%1--F%1").arg(i), QString("F%1").arg(i)});
    grid->initDictionaryWithPrefix({{"Cat", tiles}}, "OD");
    ASSERT_TRUE(grid->spreadsCells());
    EXPECT_EQ(grid->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(grid->scrollView()->focusPolicy(), Qt::NoFocus); // the grid is the one stop
    EXPECT_EQ(grid->toLeftButton()->focusPolicy(), Qt::NoFocus);
    grid->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(grid->focusIndex(), 0);
    EXPECT_TRUE(grid->cells().at(0)->bFocusRing());
    for (int i = 0; i < 5; ++i)
        key(grid, Qt::Key_Right);
    EXPECT_EQ(grid->focusIndex(), 5);
    EXPECT_FALSE(grid->cells().at(0)->bFocusRing());
    EXPECT_TRUE(grid->cells().at(5)->bFocusRing());
    // The focused tile lies whole inside the strip's visible part.
    const double left = 5 * grid->cellPitch() - grid->scrollXDelta();
    EXPECT_GE(left, -0.5);
    EXPECT_LE(left + grid->cellPitch(), grid->visibleWidth() + 0.5);
    EXPECT_GT(grid->scrollXDelta(), 0);
    key(grid, Qt::Key_Return);
    EXPECT_EQ(log.calls, QStringList({"5--F5"}));
    EXPECT_TRUE(grid->cells().at(5)->bSelected());
    key(grid, Qt::Key_Home);
    EXPECT_EQ(grid->focusIndex(), 0);
    EXPECT_DOUBLE_EQ(grid->scrollXDelta(), 0);
    key(grid, Qt::Key_End);
    key(grid, Qt::Key_Right); // stays on the last
    EXPECT_EQ(grid->focusIndex(), 7);
    key(grid, Qt::Key_Space);
    EXPECT_EQ(log.calls, QStringList({"5--F5", "7--F7"}));
    // The list's arrows and the player's space bar are the grid's while it has the keyboard.
    EXPECT_TRUE(claims(grid, Qt::Key_Space));
    EXPECT_TRUE(claims(grid, Qt::Key_Left));
    // A tile chosen by the pointer is where the arrows go on from.
    gui::click(grid->cells().at(2), {20, 20});
    EXPECT_EQ(grid->focusIndex(), 2);
    key(grid, Qt::Key_Right);
    EXPECT_EQ(grid->focusIndex(), 3);
    // Focus elsewhere: no ring on any tile.
    grid->clearFocus();
    for (LXImageCellView *c : grid->cells())
        EXPECT_FALSE(c->bFocusRing());
}

TEST(Keyboard, CutHandlesTakeTheArrowsWhenTabBringsTheKeyboard) {
    struct CutLog : LXCutSliderDelegate {
        QStringList calls;
        bool avalibleToDragCut() override { return true; }
        void beginDragged() override { calls << "begin"; }
        void endDragged() override { calls << "end"; }
        void leftCutted(double f) override { calls << QString("left %1").arg(f, 0, 'f', 2); }
        void rightCutted(double f) override { calls << QString("right %1").arg(f, 0, 'f', 2); }
    } log;
    Window win;
    auto *cut = new LXCutSlider(QRectF(0, 0, 440, 30), &win.top);
    cut->show();
    cut->setDelegate(&log);
    cut->initRects();
    cut->initTotalTimeValueStartCutEndCutTotalTime(0, 25, 75, 100);
    cut->becomeFirstResponder(); // the editor's own focus: the arrows step the picture
    EXPECT_EQ(cut->keyHandle(), LXCutSlider::DragNone);
    EXPECT_FALSE(claims(cut, Qt::Key_Right));
    EXPECT_EQ(cut->focusPolicy(), Qt::StrongFocus);

    cut->clearFocus();
    cut->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(cut->keyHandle(), LXCutSlider::DragLeftCut);
    EXPECT_TRUE(claims(cut, Qt::Key_Right));
    for (int i = 0; i < 5; ++i)
        key(cut, Qt::Key_Right);
    EXPECT_NEAR(cut->leftCutTime(), 30, 0.5);
    // Reported as a drag: press, release, then the cut about a second on (a point is 0.25 s).
    ASSERT_GE(log.calls.size(), 3);
    EXPECT_EQ(log.calls.mid(0, 2), QStringList({"begin", "end"}));
    EXPECT_TRUE(log.calls[2] == "left 0.26" || log.calls[2] == "left 0.27") << log.calls[2].toStdString();
    key(cut, Qt::Key_Tab); // on to the right handle, still in the slider
    EXPECT_TRUE(cut->hasFocus());
    EXPECT_EQ(cut->keyHandle(), LXCutSlider::DragRightCut);
    key(cut, Qt::Key_Home); // down to the minimum range after the left cut
    EXPECT_NEAR(cut->rightCutTime(), cut->leftCutTime() + LXCutSlider::minTimeInterval(), 0.5);
    EXPECT_TRUE(log.calls.last().startsWith("right"));
    key(cut, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_NEAR(cut->rightCutTime(), cut->leftCutTime() + LXCutSlider::minTimeInterval() + 0.05, 0.3);
}
