#pragma once
// The picture grid: a one-row strip of picture cells between two arrow buttons, filled from
// categories of tiles (category -> its tiles, each a key and a caption) and showing one
// category at a time, one cell per tile in the plain string order of the keys. A press on a
// cell or on the highlighted cell's settings button is reported with the tile's key.
#include "glazeform/LXButton.h"
#include "glazeform/LXLabel.h"
#include "glazeform/LXView.h"

#include <QList>
#include <QMap>
#include <optional>
#include <vector>

class LXImageCellView;
class LXImageView;
class QScrollArea;

// One item of the strip.
struct LXObject {
    QString keyName;   // caption
    QString orderName; // the raw item key
    QString imagePath; // the item's picture resource, empty when there is none
};

// A tile the grid may show: its key in its category (which orders the strip and names its
// picture) and the caption under its picture.
struct LXThumbItem {
    QString key;
    QString caption;
};
// Category name -> its tiles.
using LXThumbCategories = QMap<QString, QList<LXThumbItem>>;

// Every method is optional: the defaults do nothing.
class LXImageCellViewDelegate {
public:
    virtual ~LXImageCellViewDelegate() = default;
    virtual void selectImageCellViewAtIndexWithKey(LXImageCellView *cell, int index, const QString &key) {
        (void)cell, (void)index, (void)key;
    }
    virtual void showMediaInfoWinAtWinIdxWithKey(LXImageCellView *cell, int index, const QString &key) {
        (void)cell, (void)index, (void)key;
    }
};

class LXThumbImageTableViewDelegate {
public:
    virtual ~LXThumbImageTableViewDelegate() = default;
    // A cell was pressed (or its settings button released): its tile's key.
    virtual void selectCellWithDictionaryWithSubKey(const QString &key) { (void)key; }
    // After the message above, for a released settings button.
    virtual void showMediaInfoAtIndexWithKey(int index, const QString &key) { (void)index, (void)key; }
};

class LXImageCellView : public LXView, private LXButtonDelegate {
    Q_OBJECT
public:
    static constexpr double kIconSize = 74;

    // A cell of the given size (the grid's are 108 x 120).
    explicit LXImageCellView(const QSizeF &size, QWidget *parent = nullptr);

    void setImage(const QPixmap &image);
    QPixmap image() const;
    void setTextLabelTitle(const QString &title);
    QString cellTitle() const { return _imageTitle->textTitle(); }
    void setTextKey(const QString &key) { _imageTitle->setTextKey(key); }
    QString textKey() const { return _imageTitle->textKey(); }
    void setCellBackGroundImage(const QPixmap &image);
    // The settings button takes the picture's size, 5 points in from the top right corner.
    void setSettingImage(const QPixmap &image);
    void selectView();
    void unSelectView();
    bool bSelected() const { return _bSelected; }
    // The grid's keyboard cursor is on this cell: it draws the focus ring.
    void setBFocusRing(bool on);
    bool bFocusRing() const { return _bFocusRing; }
    int cellIndex() const { return _cellIndex; }
    void setCellIndex(int i) { _cellIndex = i; }
    void setImageCellViewDelegate(LXImageCellViewDelegate *d) { _cellDelegate = d; }
    void setTitleColor(const QColor &c) { _imageTitle->setTextColor(c); }

    LXImageView *iconImageView() const { return _iconImageView; }
    LXLabel *imageTitle() const { return _imageTitle; }
    LXButton *settingBtn() const { return _settingBtn; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void drawContent(QPainter &painter, const QRect &dirty) override;

private:
    void buttonUp(LXButton *button) override;
    void showSelectedState();
    QSizeF _size;
    LXImageView *_iconImageView = nullptr;
    LXLabel *_imageTitle = nullptr;
    LXButton *_settingBtn = nullptr;
    bool _bSelected = false;
    bool _bFocusRing = false;
    int _cellIndex = 0;
    QPixmap _cellBackGroundImage;
    LXImageCellViewDelegate *_cellDelegate = nullptr;
};

class LXThumbImageTableView : public LXView,
                              private LXButtonDelegate,
                              private LXViewDelegate,
                              private LXImageCellViewDelegate {
    Q_OBJECT
public:
    static constexpr double kSideSlot = 94;
    static constexpr double kCellWidth = 108;
    static constexpr double kCellHeight = 120;
    static constexpr double kCellPitch = 118;
    static constexpr double kLeftMargin = 10;
    static constexpr double kCellBottom = 20;

    // Builds the grid for a lower-left frame in the parent.
    LXThumbImageTableView(const QRectF &frame, QWidget *parent);

    void setLeftArrowNormal(const QPixmap &p);
    void setLeftArrowPress(const QPixmap &p);
    void setLeftArrowDisable(const QPixmap &p);
    void setRightArrowNormal(const QPixmap &p);
    void setRightArrowPress(const QPixmap &p);
    void setRightArrowDisable(const QPixmap &p);
    // The strip area's background: the picture repeated.
    void setScrollViewBg(const QPixmap &p);
    void setCellBgAndSettingBtnImage(const QPixmap &cellBg, const QPixmap &setting);
    // Caption colour of every cell (black unless set).
    void setCellTitleColor(const QColor &c);

    void initDictionaryWithPrefix(const LXThumbCategories &categories, const QString &prefix);
    // Lists the category at that position of categoryArray(); nothing for a position outside it.
    void loadCategoryByMediaTypeWithPrefix(int position, const QString &prefix);
    void loadCategoryByMainKeyWithPrefix(const QString &category, const QString &prefix);
    // Highlights every cell whose title equals `title`; reports nothing.
    void selectImageCellWithKey(const QString &title);
    bool canChangeCategory() const { return _canChangeCategory; }
    void setCanChangeCategory(bool on) { _canChangeCategory = on; }
    void setThumbImageTableViewDelegate(LXThumbImageTableViewDelegate *d) { _delegate = d; }
    // The tile with this key in the category shown, or nothing.
    std::optional<LXThumbItem> dictFromSubKey(const QString &key) const;

    // The picture name for an item key: prefix + the part after the first "--", trimmed.
    static QString pictureNameForKey(const QString &prefix, const QString &key);

    // State, for the owner and for tests.
    const LXThumbCategories &dictionary() const { return _dictionary; }
    const QStringList &categoryArray() const { return _categoryArray; }
    const QString &currentKey() const { return _currentKey; }
    const std::vector<LXObject> &objectArray() const { return _objectArray; }
    const std::vector<LXImageCellView *> &cells() const { return _cells; }
    double scrollXDelta() const { return _scrollXDelta; }
    double contentWidth() const;
    double visibleWidth() const;
    // More cells than the strip shows at the 118-point pitch are spread so that the strip
    // holds a whole number of them (never a cell cut by its edge), and the strip then
    // scrolls by whole cells: an arrow press or a wheel event moves it by one.
    bool spreadsCells() const;
    // From one cell's left edge to the next: kCellPitch, or the spread pitch.
    double cellPitch() const;
    LXButton *toLeftButton() const { return _toLeftButton; }
    LXButton *toRightButton() const { return _toRightButton; }
    LXView *imageParentView() const { return _imageParentView; }
    QScrollArea *scrollView() const { return _scrollView; }

    // The keyboard's cell (the grid takes the focus as one stop): Left and Right move it,
    // Home and End go to the ends, Return or Space chooses its tile as a press would. The
    // strip scrolls so that the cell is whole. -1 while the category has no cells.
    int focusIndex() const { return _focusIndex; }
    void setFocusIndex(int index);
    // Chooses the tile at that position as a press on its cell does.
    void chooseCellAtIndex(int index);

    void updateDirectionButton();
    // Adds `delta` to the scroll position (to the nearest whole cell where they are spread),
    // clamps it and scrolls the strip.
    void scrollBy(double delta);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showFocusRing();
    void buttonUp(LXButton *button) override;
    void onScrollWheel(QWheelEvent *event) override;
    void selectImageCellViewAtIndexWithKey(LXImageCellView *cell, int index, const QString &key) override;
    void showMediaInfoWinAtWinIdxWithKey(LXImageCellView *cell, int index, const QString &key) override;
    void placeArrow(LXButton *arrow, const QPixmap &p, bool left);
    void buildCells();
    void applyScroll();
    void selectCell(LXImageCellView *cell, const QString &key);

    QSizeF _size;
    LXThumbCategories _dictionary;
    QStringList _categoryArray;
    QString _currentKey;
    std::vector<LXObject> _objectArray;
    std::vector<LXImageCellView *> _cells;
    double _scrollXDelta = 0;
    int _focusIndex = -1;
    LXButton *_toLeftButton = nullptr;
    LXButton *_toRightButton = nullptr;
    QScrollArea *_scrollView = nullptr;
    LXView *_imageParentView = nullptr;
    QPixmap _cellBgImage, _settingImage;
    std::optional<QColor> _cellTitleColor;
    LXThumbImageTableViewDelegate *_delegate = nullptr;
    bool _canChangeCategory = true;
};
