#pragma once
// The skinned pop-up button and its menu: a press opens a borderless menu window right
// under the button, one row per text; choosing a row closes the menu, shows the row's text
// on the button and reports the row's index. Any press on another skinned control (the
// "popupDownMenuItemKey" notification), a second press on the button, or moving the
// button's window closes the menu without a choice.
#include "glazeform/LXView.h"

#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class LXPopUpButton;
class LXMenu;

// Every method is optional: the defaults do nothing.
class LXPopUpButtonDelegate {
public:
    virtual ~LXPopUpButtonDelegate() = default;
    virtual void itemSelectAtIndex(LXPopUpButton *button, int index) { (void)button, (void)index; }
};

class LXBasePopupButton : public QWidget {
    Q_OBJECT
public:
    explicit LXBasePopupButton(QWidget *parent = nullptr);

    void initItemsSelectIndex(const QStringList &items, int selectIndex);
    const QStringList &menuItems() const { return _menuItems; }
    int selectIndex() const { return _selectIndex; }
    // The text shown on the button.
    const QString &drawStr() const { return _drawStr; }
    // drawStr = that entry of the items (nothing for an index outside them).
    void updateItemStrValue(int index);
    void updateItemWithStrValue(const QString &text);
    bool bEnabled() const { return _bEnabled; }
    void setBEnabled(bool on) { _bEnabled = on, update(); }
    bool bPopuped() const { return _bPopuped; }
    void setPopupMenuItemBg(const QPixmap &p) { _popupMenuItemBg = p; }
    const QPixmap &popupMenuItemBg() const { return _popupMenuItemBg; }
    void setNormalImage(const QPixmap &p) { _normalImage = p, update(); }
    void setPressImage(const QPixmap &p) { _pressImage = p, update(); }
    int fontSize() const { return _fontSize; }
    void setFontSize(int s) { _fontSize = s, update(); }

protected:
    void paintEvent(QPaintEvent *event) override;

    QStringList _menuItems;
    int _selectIndex = 0;
    QString _drawStr;
    QPointF _viewPt;
    bool _bEnabled = true;
    bool _bPopuped = false;
    QPixmap _popupMenuItemBg, _normalImage, _pressImage;
    int _fontSize = 13;
};

class LXPopUpButton : public LXBasePopupButton {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 22;
    static constexpr int kMenuPadding = 4; // above the first row and below the last

    explicit LXPopUpButton(QWidget *parent = nullptr);
    LXPopUpButton(const QRectF &frame, QWidget *parent);
    ~LXPopUpButton() override;

    LXPopUpButtonDelegate *delegate() const { return _delegate; }
    void setDelegate(LXPopUpButtonDelegate *d) { _delegate = d; }
    // Where the menu opens relative to the button's lower-left corner (x right, y up).
    double xOffSet() const { return _xOffSet; }
    void setXOffSet(double v) { _xOffSet = v; }
    double yOffSet() const { return _yOffSet; }
    void setYOffSet(double v) { _yOffSet = v; }
    int popupBtnIndex() const { return _popupBtnIndex; }
    void setArrowImage(const QPixmap &p) { _arrowImage = p; }
    void setBDrawDefaultArrow(bool on) { _bDrawDefaultArrow = on; }

    // Opens the menu, or closes it when it is open.
    void showMenuWindow();
    // Closes an open menu: the open state ends and open menus are told to close.
    void closeMenus();
    // Chooses a row as a release on it does: the text shows on the button and the index
    // is reported; the open menu closes. Nothing for an index outside the items.
    void chooseItem(int index);
    LXMenu *menuWindow() const { return _menuWindow; }
    // The menu's frame for n rows, in lower-left coordinates relative to the button's
    // lower-left corner: (xOffSet, yOffSet - height + 1, button width, 22 n + 8).
    QRectF menuFrame(int rows) const;

    // From the menu.
    void menuClosed();
    void selectMenuItemAtIndexStrValue(int index, const QString &text);
    void willSelectMenuItemWithIndexKeyStr(const QString &key);
    const QString &selectedKey() const { return _selectKey; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // The keyboard: Space, Return or Down opens the menu; in it Up and Down move the
    // highlight, Return or Space chooses it and Escape closes the menu without a choice.
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void watchWindow();
    void dismissMenu();
    LXPopUpButtonDelegate *_delegate = nullptr;
    QPointer<LXMenu> _menuWindow;
    QPointer<QWidget> _watchedWindow;
    int _popupBtnIndex = -1;
    double _yOffSet = 0;
    double _xOffSet = 0;
    QPixmap _arrowImage;
    bool _bDrawDefaultArrow = false;
    QString _selectKey;
};

class LXMenuItem;

// The menu: a borderless pop-up list of rows over the button's window. Up and Down move the
// highlight, Return, Enter or Space choose the highlighted row, Esc closes it.
class LXMenu : public QWidget, private LXViewDelegate {
    Q_OBJECT
public:
    LXMenu(LXPopUpButton *button, const QStringList &items, int selectIndex, const QPixmap &background);
    ~LXMenu() override;

    LXPopUpButton *menuDelegate() const { return _button; }
    const QStringList &menuItems() const { return _menuItems; }
    int oldIdx() const { return _oldIdx; }
    const std::vector<LXMenuItem *> &rows() const { return _rows; }
    // The highlighted row's index, -1 for none.
    int highlightedIndex() const;
    // Moves the highlight by `delta` rows, staying on the first and the last.
    void moveHighlight(int delta);
    // Pointer movement at a point of this window (Qt coordinates).
    void pointInRect(const QPointF &windowPoint) override;

    // From the rows.
    void rowPressed(LXMenuItem *row);
    void rowReleased(LXMenuItem *row);

protected:
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void highlightOnly(int index);
    QPointer<LXPopUpButton> _button;
    QStringList _menuItems;
    LXView *_menuBackView = nullptr;
    std::vector<LXMenuItem *> _rows;
    int _oldIdx = 0;
    int _lastHintIdx = -1;
};

class LXMenuItem : public QWidget {
    Q_OBJECT
public:
    LXMenuItem(LXMenu *menu, int idx, const QString &text, QWidget *parent);

    int idx() const { return _idx; }
    const QString &itemStringValue() const { return _itemStringValue; }
    const QString &indexKeyStr() const { return _indexKeyStr; }
    bool bIsSelect() const { return _bIsSelect; }
    void setBIsSelect(bool on);
    bool bInRect() const { return _bInRect; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    LXMenu *_menu;
    int _idx;
    QString _itemStringValue;
    QString _indexKeyStr;
    bool _bIsSelect = false;
    bool _bInRect = false;
};
