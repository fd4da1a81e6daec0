// The picture grid: layout, arrows, scrolling, order and pictures, highlighting and reports.
#include "GuiEvents.h"

#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXImageView.h>
#include <glazeform/LXThumbImageTableView.h>

#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

// Tiles without captions (a tile then shows its key).
QList<LXThumbItem> category(const QStringList &keys) {
    QList<LXThumbItem> cat;
    for (const QString &k : keys)
        cat.append({k, QString()});
    return cat;
}

QStringList numbered(int n) {
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QString("%1--F%1").arg(i);
    return out;
}

struct GridLog : LXThumbImageTableViewDelegate {
    QStringList calls;
    void selectCellWithDictionaryWithSubKey(const QString &key) override { calls << "select " + key; }
    void showMediaInfoAtIndexWithKey(int index, const QString &key) override {
        calls << QString("info %1 %2").arg(index).arg(key);
    }
};

class Grid : public ::testing::Test {
protected:
    QWidget parent;
    LXThumbImageTableView *grid = nullptr;
    void SetUp() override {
        parent.resize(480, 160);
        grid = new LXThumbImageTableView(QRectF(0, 0, 480, 160), &parent);
    }
    double cellX(int i) { return LXGeometry::frameOf(grid->cells().at(i)).x(); }
};

} // namespace

TEST_F(Grid, ConstructionLaysOutArrowsAndStripAndDisablesBoth) {
    EXPECT_EQ(LXGeometry::frameOf(grid->toLeftButton()), QRectF(10, 60, 94, 24));
    EXPECT_EQ(LXGeometry::frameOf(grid->toRightButton()), QRectF(396, 60, 94, 24));
    EXPECT_EQ(LXGeometry::frameOf(grid->scrollView()), QRectF(94, 0, 292, 160));
    EXPECT_DOUBLE_EQ(grid->visibleWidth(), 292);
    EXPECT_FALSE(grid->toLeftButton()->bEnabled());
    EXPECT_FALSE(grid->toRightButton()->bEnabled());
    // Arrow pictures size and centre the arrows in their side slots.
    QPixmap arrow(28, 44);
    arrow.fill(Qt::gray);
    grid->setLeftArrowNormal(arrow);
    grid->setRightArrowDisable(arrow);
    EXPECT_EQ(LXGeometry::frameOf(grid->toLeftButton()), QRectF(33, 58, 28, 44));
    EXPECT_EQ(LXGeometry::frameOf(grid->toRightButton()), QRectF(419, 58, 28, 44));
}

TEST_F(Grid, TwoItemsAreCentredAndCannotScroll) {
    grid->initDictionaryWithPrefix({{"Video", category({"A", "B"})}}, "OD");
    ASSERT_EQ(grid->cells().size(), 2u);
    EXPECT_DOUBLE_EQ(grid->contentWidth(), 246);
    EXPECT_DOUBLE_EQ(cellX(0), 33);
    EXPECT_DOUBLE_EQ(cellX(1), 151);
    EXPECT_EQ(LXGeometry::frameOf(grid->cells().at(0)), QRectF(33, 20, 108, 120));
    EXPECT_FALSE(grid->toLeftButton()->bEnabled());
    EXPECT_FALSE(grid->toRightButton()->bEnabled());
    gui::click(grid->toRightButton(), {5, 5}); // disabled: nothing
    grid->scrollBy(113);
    EXPECT_EQ(grid->scrollXDelta(), 0);
    gui::wheel(grid->imageParentView(), {20, 20}, -3);
    EXPECT_EQ(grid->scrollXDelta(), 0);
}

TEST_F(Grid, FiveItemsScrollByArrowsAndClampAtBothEnds) {
    grid->initDictionaryWithPrefix({{"Video", category(numbered(5))}}, "OD");
    // 292 points hold two cells whole: the five are spread 146 apart, each in the middle of
    // its share, and the strip moves a whole cell at a time.
    EXPECT_TRUE(grid->spreadsCells());
    EXPECT_DOUBLE_EQ(grid->cellPitch(), 146);
    EXPECT_DOUBLE_EQ(grid->contentWidth(), 730);
    EXPECT_DOUBLE_EQ(cellX(0), 19);
    EXPECT_DOUBLE_EQ(cellX(4), 603);
    EXPECT_EQ(grid->imageParentView()->width(), 730);
    EXPECT_FALSE(grid->toLeftButton()->bEnabled());
    EXPECT_TRUE(grid->toRightButton()->bEnabled());
    auto noCellCut = [this] {
        const double from = grid->scrollXDelta(), to = from + grid->visibleWidth();
        for (int i = 0; i < 5; ++i) {
            const double x = cellX(i);
            if (x < to && x + 108 > from) {
                EXPECT_TRUE(x >= from && x + 108 <= to) << "cell " << i << " cut at " << from;
            }
        }
    };
    noCellCut();
    for (int i = 0; i < 4; ++i) {
        gui::click(grid->toRightButton(), {5, 5});
        noCellCut();
    }
    EXPECT_EQ(grid->scrollXDelta(), 438); // the fourth press clamped to the last position
    EXPECT_EQ(grid->scrollView()->horizontalScrollBar()->value(), 438);
    EXPECT_TRUE(grid->toLeftButton()->bEnabled());
    EXPECT_FALSE(grid->toRightButton()->bEnabled());
    gui::click(grid->toLeftButton(), {5, 5});
    EXPECT_EQ(grid->scrollXDelta(), 292);
    EXPECT_TRUE(grid->toLeftButton()->bEnabled());
    EXPECT_TRUE(grid->toRightButton()->bEnabled());
    // The wheel: one cell per event, against the wheel's direction.
    gui::wheel(grid->imageParentView(), {20, 20}, -2);
    EXPECT_EQ(grid->scrollXDelta(), 438);
    grid->scrollBy(-1000);
    EXPECT_EQ(grid->scrollXDelta(), 0);
    gui::wheel(grid->imageParentView(), {20, 20}, 2); // at the start: stays at 0
    EXPECT_EQ(grid->scrollXDelta(), 0);
    grid->scrollBy(200); // to the nearest whole cell
    EXPECT_EQ(grid->scrollXDelta(), 146);
    noCellCut();
}

TEST_F(Grid, KeysInPlainOrderPicturesByTheNameAfterTheDashes) {
    QList<LXThumbItem> cat = category({"2--MP4", "1--MOV", "AVI", "10--A", " 3--Apple TV "});
    cat[1].caption = "Quicktime";
    grid->initDictionaryWithPrefix({{"Video", cat}}, "OD");
    QStringList order, names;
    for (const LXObject &o : grid->objectArray()) {
        order << o.orderName;
        names << o.keyName;
    }
    EXPECT_EQ(order, QStringList({" 3--Apple TV ", "1--MOV", "10--A", "2--MP4", "AVI"}));
    EXPECT_EQ(names, QStringList({" 3--Apple TV ", "Quicktime", "10--A", "2--MP4", "AVI"}));
    EXPECT_EQ(LXThumbImageTableView::pictureNameForKey("OD", "2--MP4"), "ODMP4");
    EXPECT_EQ(LXThumbImageTableView::pictureNameForKey("OD", "AVI"), "ODAVI");
    EXPECT_EQ(LXThumbImageTableView::pictureNameForKey("OD", "1--Apple TV \n"), "ODApple TV");
    EXPECT_EQ(LXThumbImageTableView::pictureNameForKey("OD", "x--a--b"), "ODa--b");
    // Pictures that exist are found; missing ones leave the cell without a picture.
    for (size_t i = 0; i < grid->objectArray().size(); ++i) {
        const LXObject &o = grid->objectArray()[i];
        const QString name = LXThumbImageTableView::pictureNameForKey("OD", o.orderName) + ".png";
        EXPECT_EQ(o.imagePath.isEmpty(), !LXImage::exists(name)) << name.toStdString();
        EXPECT_EQ(grid->cells()[i]->image().isNull(), o.imagePath.isEmpty());
    }
    EXPECT_FALSE(grid->objectArray()[1].imagePath.isEmpty()); // ODMOV.png is part of the skin
}

TEST_F(Grid, PressReportsTheKeySettingsButtonAlsoAsksForInformation) {
    grid->initDictionaryWithPrefix({{"Audio", category({"1--mp3", "2--AAC"})}, {"Video", category({"MP4"})}}, "OD");
    GridLog log;
    grid->setThumbImageTableViewDelegate(&log);
    EXPECT_EQ(grid->categoryArray(), QStringList({"Audio", "Video"}));
    EXPECT_EQ(grid->currentKey(), "Audio");
    LXImageCellView *second = grid->cells().at(1);
    gui::press(second, {54, 40}); // on its picture
    EXPECT_EQ(log.calls, QStringList({"select 2--AAC"}));
    EXPECT_TRUE(second->bSelected());
    EXPECT_TRUE(second->settingBtn()->isVisibleTo(second));
    EXPECT_FALSE(grid->cells().at(0)->bSelected());
    log.calls.clear();
    EXPECT_EQ(second->settingBtn()->textTitle(), "#"); // no picture given: the titled button stays
    gui::click(second->settingBtn(), {2, 2});
    EXPECT_EQ(log.calls, QStringList({"select 2--AAC", "info 1 2--AAC"}));
    // Highlighting by title reports nothing; an unknown title highlights nothing.
    log.calls.clear();
    grid->selectImageCellWithKey("1--mp3");
    EXPECT_TRUE(grid->cells().at(0)->bSelected());
    EXPECT_FALSE(grid->cells().at(1)->bSelected());
    grid->selectImageCellWithKey("nothing");
    for (auto *c : grid->cells())
        EXPECT_FALSE(c->bSelected());
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_EQ(grid->dictFromSubKey("1--mp3")->key, "1--mp3");
    EXPECT_FALSE(grid->dictFromSubKey("MP4").has_value());
}

TEST_F(Grid, ListingANarrowCategoryKeepsTheWideStripAndReturnsToTheStart) {
    grid->initDictionaryWithPrefix({{"A", category(numbered(6))}, {"B", category({"x"})}}, "OD");
    grid->scrollBy(146);
    EXPECT_EQ(grid->scrollXDelta(), 146);
    grid->loadCategoryByMainKeyWithPrefix("B", "OD");
    EXPECT_FALSE(grid->spreadsCells());
    EXPECT_EQ(grid->imageParentView()->width(), 6 * 146);
    EXPECT_EQ(grid->scrollXDelta(), 0);
    EXPECT_FALSE(grid->toLeftButton()->bEnabled());
    EXPECT_FALSE(grid->toRightButton()->bEnabled());
    ASSERT_EQ(grid->cells().size(), 1u);
    EXPECT_DOUBLE_EQ(cellX(0), 10 + (292 - 128) / 2.0);
    // Unknown category or position: no cells, both arrows off; a bad position changes nothing.
    grid->loadCategoryByMainKeyWithPrefix("nope", "OD");
    EXPECT_TRUE(grid->cells().empty());
    grid->loadCategoryByMediaTypeWithPrefix(7, "OD");
    EXPECT_EQ(grid->currentKey(), "nope");
    grid->loadCategoryByMediaTypeWithPrefix(0, "OD");
    EXPECT_EQ(grid->cells().size(), 6u);
}

TEST_F(Grid, SettingPictureMovesTheButtonIntoTheCorner) {
    QPixmap gear(20, 20);
    gear.fill(Qt::blue);
    grid->initDictionaryWithPrefix({{"V", category({"a", "b"})}}, "OD");
    grid->setCellBgAndSettingBtnImage(QPixmap(), gear);
    LXImageCellView *c = grid->cells().at(0);
    EXPECT_EQ(LXGeometry::frameOf(c->settingBtn()), QRectF(108 - 25, 120 - 25, 20, 20));
    EXPECT_TRUE(c->settingBtn()->textTitle().isEmpty());
    // Cells made later get the pictures too.
    grid->loadCategoryByMainKeyWithPrefix("V", "OD");
    EXPECT_EQ(LXGeometry::frameOf(grid->cells().at(1)->settingBtn()), QRectF(83, 95, 20, 20));
}
