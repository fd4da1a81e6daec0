// What screen readers learn of the skinned controls: role, name, state, actions, values.
#include <glazeform/LXAccessible.h>
#include <glazeform/LXButton.h>
#include <glazeform/LXCheckButton.h>
#include <glazeform/LXCutSlider.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXSpinButton.h>
#include <glazeform/LXSwitchButton.h>
#include <glazeform/LXThumbImageTableView.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

QAccessibleInterface *of(QObject *o) { return QAccessible::queryAccessibleInterface(o); }

// A screen reader's action runs once its call has been answered.
void act(QAccessibleInterface *i, const QString &action) {
    ASSERT_NE(i->actionInterface(), nullptr);
    ASSERT_TRUE(i->actionInterface()->actionNames().contains(action))
        << i->actionInterface()->actionNames().join(',').toStdString();
    i->actionInterface()->doAction(action);
    QCoreApplication::processEvents();
}

} // namespace

TEST(Accessible, ButtonsAreNamedPressableButtonsOrRadioButtons) {
    struct Log : LXButtonDelegate {
        int ups = 0;
        void buttonUp(LXButton *) override { ++ups; }
    } log;
    LXButton picture;
    picture.setTextTitle(QString());
    picture.setToolTip("Add files");
    picture.setKeyHint(QKeySequence(Qt::CTRL | Qt::Key_O));
    picture.setDelegate(&log);
    QAccessibleInterface *i = of(&picture);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->role(), QAccessible::Button);
    EXPECT_EQ(i->text(QAccessible::Name), "Add files"); // a picture button goes by its tool tip
    EXPECT_EQ(i->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
              QStringList({QKeySequence(Qt::CTRL | Qt::Key_O).toString(QKeySequence::NativeText)}));
    act(i, QAccessibleActionInterface::pressAction());
    EXPECT_EQ(log.ups, 1);
    picture.setBEnabled(false);
    EXPECT_TRUE(i->state().disabled);
    act(i, QAccessibleActionInterface::pressAction());
    EXPECT_EQ(log.ups, 1);

    LXButton titled;
    titled.setTextTitle("   Convert");
    titled.setToolTip("Convert every item");
    EXPECT_EQ(of(&titled)->text(QAccessible::Name), "Convert");
    EXPECT_EQ(of(&titled)->text(QAccessible::Description), "Convert every item");

    // A button that says whether it is the chosen one of its row.
    LXButton category;
    category.setTextTitle("Audio");
    category.setProperty("selected", true);
    EXPECT_EQ(of(&category)->role(), QAccessible::RadioButton);
    EXPECT_TRUE(of(&category)->state().checked);
}

TEST(Accessible, SwitchesAndCheckBoxesAreCheckBoxesThatToggle) {
    LXSwitchButton s;
    s.setAccessibleName("Keep awake while converting");
    QAccessibleInterface *i = of(&s);
    EXPECT_EQ(i->role(), QAccessible::CheckBox);
    EXPECT_EQ(i->text(QAccessible::Name), "Keep awake while converting");
    EXPECT_EQ(i->childCount(), 0); // its two pictures are not parts of their own
    EXPECT_FALSE(i->state().checked);
    act(i, QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(s.bOnStates());
    EXPECT_TRUE(i->state().checked);

    LXCheckButton box;
    box.setTextTitle("Ask again");
    EXPECT_EQ(of(&box)->role(), QAccessible::CheckBox);
    EXPECT_EQ(of(&box)->text(QAccessible::Name), "Ask again");
    act(of(&box), QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(box.bChecked());
}

TEST(Accessible, SpinAndSliderCarryValuesThatCanBeSet) {
    struct SpinLog : LXSpinButtonDelegate {
        QList<double> seen;
        void spinButtonTopUp(LXSpinButton *s) override { seen << s->curValue(); }
        void spinButtonBtmUp(LXSpinButton *s) override { seen << s->curValue(); }
    } spins;
    LXSpinButton spin;
    spin.setMinValue(1);
    spin.setMaxValue(10);
    spin.setCurValue(2);
    spin.setDelegate(&spins);
    QAccessibleInterface *i = of(&spin);
    EXPECT_EQ(i->role(), QAccessible::SpinBox);
    ASSERT_NE(i->valueInterface(), nullptr);
    EXPECT_EQ(i->valueInterface()->currentValue().toDouble(), 2);
    EXPECT_EQ(i->valueInterface()->maximumValue().toDouble(), 10);
    i->valueInterface()->setCurrentValue(7);
    EXPECT_EQ(spins.seen, QList<double>({7})); // reported to the owner as a step
    i->valueInterface()->setCurrentValue(40);
    EXPECT_EQ(spin.curValue(), 10);

    struct SliderLog : LXSliderDelegate {
        int changes = 0;
        void sliderChanged(LXSlider *) override { ++changes; }
    } slides;
    LXSliderA slider;
    slider.resize(220, 12);
    slider.initImagePosition();
    slider.setSlideType(1);
    slider.setToolTip("Volume");
    slider.setDelegate(&slides);
    QAccessibleInterface *s = of(&slider);
    EXPECT_EQ(s->role(), QAccessible::Slider);
    EXPECT_EQ(s->text(QAccessible::Name), "Volume");
    s->valueInterface()->setCurrentValue(40.0);
    EXPECT_EQ(slides.changes, 1);
    EXPECT_NEAR(s->valueInterface()->currentValue().toDouble(), 40.0, 0.5);
    // A display-only bar is a progress bar, read but not set.
    slider.setSlideType(0);
    EXPECT_EQ(s->role(), QAccessible::ProgressBar);
    EXPECT_TRUE(s->state().readOnly);
}

TEST(Accessible, PopUpIsAComboBoxNamedByItsCaptionWithItsItems) {
    struct Log : LXPopUpButtonDelegate {
        QList<int> chosen;
        void itemSelectAtIndex(LXPopUpButton *, int i) override { chosen << i; }
    } log;
    LXPopUpButton pop;
    pop.resize(200, 26);
    pop.setDelegate(&log);
    pop.setAccessibleName("Save to");
    pop.initItemsSelectIndex({"/home/me/Videos", "Others..."}, 0);
    pop.updateItemStrValue(0);
    QAccessibleInterface *i = of(&pop);
    EXPECT_EQ(i->role(), QAccessible::ComboBox);
    EXPECT_EQ(i->text(QAccessible::Name), "Save to");
    EXPECT_EQ(i->text(QAccessible::Value), "/home/me/Videos");
    ASSERT_EQ(i->childCount(), 2);
    QAccessibleInterface *other = i->child(1);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->role(), QAccessible::ListItem);
    EXPECT_EQ(other->text(QAccessible::Name), "Others...");
    EXPECT_EQ(other->parent(), i);
    EXPECT_EQ(i->indexOfChild(other), 1);
    EXPECT_TRUE(i->child(0)->state().selected);
    act(other, QAccessibleActionInterface::pressAction());
    EXPECT_EQ(log.chosen, QList<int>({1}));
}

TEST(Accessible, GridIsAListOfTilesWithTheChosenOneSelected) {
    struct Log : LXThumbImageTableViewDelegate {
        QStringList keys;
        void selectCellWithDictionaryWithSubKey(const QString &key) override { keys << key; }
    } log;
    QWidget parent;
    parent.resize(480, 160);
    auto *grid = new LXThumbImageTableView(QRectF(0, 0, 480, 160), &parent);
    grid->setThumbImageTableViewDelegate(&log);
    grid->initDictionaryWithPrefix({{"Audio", {{"1--MP3", "MP3"}, {"2--WAV", "WAV"}, {"3--FLAC", "FLAC"}}}}, "OD");
    grid->selectImageCellWithKey("WAV");
    QAccessibleInterface *list = of(grid);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_FALSE(list->text(QAccessible::Name).isEmpty());
    ASSERT_EQ(list->childCount(), 3); // the tiles, not the strip and arrows around them
    QAccessibleInterface *wav = list->child(1);
    EXPECT_EQ(wav->role(), QAccessible::ListItem);
    EXPECT_EQ(wav->text(QAccessible::Name), "WAV");
    EXPECT_EQ(wav->parent(), list);
    EXPECT_TRUE(wav->state().selected);
    EXPECT_FALSE(list->child(0)->state().selected);
    EXPECT_EQ(wav->childCount(), 1); // the chosen tile's settings button
    EXPECT_EQ(wav->child(0)->role(), QAccessible::Button);
    EXPECT_FALSE(wav->child(0)->text(QAccessible::Name).isEmpty());
    act(list->child(2), QAccessibleActionInterface::pressAction());
    EXPECT_EQ(log.keys, QStringList({"3--FLAC"}));
    EXPECT_TRUE(list->child(2)->state().selected);
}

TEST(Accessible, LabelsAreStaticTextWithTheirWholeText) {
    LXLabel l;
    l.resize(40, 18);
    l.setBUseDot(true);
    l.setTextTitle("a very long file name that the label shortens.mp4");
    QAccessibleInterface *i = of(&l);
    EXPECT_EQ(i->role(), QAccessible::StaticText);
    EXPECT_EQ(i->text(QAccessible::Name), "a very long file name that the label shortens.mp4");
}

TEST(Accessible, CutSliderHasItsTwoHandlesAsSlidersWithTheirTimes) {
    QWidget parent;
    parent.resize(500, 80);
    auto *cut = new LXCutSlider(QRectF(0, 0, 500, 80), &parent);
    cut->initRects();
    cut->initTotalTimeValueStartCutEndCutTotalTime(0, 25, 75, 100);
    QAccessibleInterface *i = of(cut);
    EXPECT_EQ(i->role(), QAccessible::Slider);
    ASSERT_EQ(i->childCount(), 2);
    QAccessibleInterface *start = i->child(0), *end = i->child(1);
    EXPECT_EQ(start->role(), QAccessible::Slider);
    EXPECT_EQ(end->role(), QAccessible::Slider);
    EXPECT_NE(start->text(QAccessible::Name), end->text(QAccessible::Name));
    EXPECT_EQ(start->parent(), i);
    EXPECT_EQ(i->indexOfChild(end), 1);
    EXPECT_DOUBLE_EQ(start->valueInterface()->currentValue().toDouble(), 25);
    EXPECT_DOUBLE_EQ(end->valueInterface()->currentValue().toDouble(), 75);
    EXPECT_DOUBLE_EQ(end->valueInterface()->maximumValue().toDouble(), 100);
}
