#include "glazeform/LXPopUpButton.h"

#include "glazeform/LXCommon.h"
#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"
#include "glazeform/LXStyle.h"

#include <foundation/NotificationCenter.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {
const QColor kRowBlue = QColor::fromRgbF(0.2196078431372549f, 0.7529411764705882f, 0.9568627450980393f);
}

LXBasePopupButton::LXBasePopupButton(QWidget *parent) : QWidget(parent) {}

void LXBasePopupButton::initItemsSelectIndex(const QStringList &items, int selectIndex) {
    _menuItems = items;
    _selectIndex = selectIndex;
}

void LXBasePopupButton::updateItemStrValue(int index) {
    if (index < 0 || index >= _menuItems.size())
        return;
    _drawStr = _menuItems.at(index);
    update();
}

void LXBasePopupButton::updateItemWithStrValue(const QString &text) {
    _drawStr = text;
    update();
}

void LXBasePopupButton::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QPixmap &pic = _bPopuped ? _pressImage : _normalImage;
    if (pic.isNull())
        p.fillRect(rect(), Qt::red);
    else
        LXImage::drawAtViewFrame(p, pic, QRectF(rect()));
    LXFocus::drawRing(p, this, QRectF(rect()), 6);
    if (_drawStr.isEmpty())
        return;
    const QFont font = LXStyle::namedFont("Helvetica Neue", _fontSize);
    const QSizeF ts = LXStyle::textSize(font, _drawStr);
    const QRectF lowerLeft(5, (height() - ts.height()) / 2 + 2, ts.width(), ts.height());
    const QRectF q = LXGeometry::flipRect(lowerLeft, height());
    // Keep the text off the right end, where the pictures carry their arrow.
    p.setClipRect(QRectF(0, 0, std::max(0.0, width() - 18.0), height()));
    LXStyle::drawText(p, q.topLeft(), _drawStr, font, LXStyle::grey(0.7411764705882353, _bEnabled ? 1.0 : 0.6));
}

// ------------------------------------------------------------------------------------

LXPopUpButton::LXPopUpButton(QWidget *parent) : LXBasePopupButton(parent) { setFocusPolicy(Qt::TabFocus); }

LXPopUpButton::LXPopUpButton(const QRectF &frame, QWidget *parent) : LXPopUpButton(parent) {
    LXGeometry::place(this, frame);
}

LXPopUpButton::~LXPopUpButton() {
    if (_menuWindow)
        delete _menuWindow.data();
}

QRectF LXPopUpButton::menuFrame(int rows) const {
    const double h = double(kRowHeight) * rows + 2 * kMenuPadding;
    return QRectF(_xOffSet, _yOffSet - h + 1, width(), h);
}

void LXPopUpButton::watchWindow() {
    QWidget *w = window();
    if (w == _watchedWindow || w == this)
        return;
    if (_watchedWindow)
        _watchedWindow->removeEventFilter(this);
    _watchedWindow = w;
    w->installEventFilter(this);
}

void LXPopUpButton::changeEvent(QEvent *event) {
    if (event->type() == QEvent::ParentChange)
        watchWindow();
    LXBasePopupButton::changeEvent(event);
}

bool LXPopUpButton::eventFilter(QObject *watched, QEvent *event) {
    // A moving window leaves the menu behind: close it, as the window's delegate would.
    if (watched == _watchedWindow && (event->type() == QEvent::Move || event->type() == QEvent::Hide))
        closeMenus();
    return false;
}

void LXPopUpButton::mousePressEvent(QMouseEvent *event) {
    event->accept();
    _viewPt = LXGeometry::flipPoint(event->position(), height());
    if (_bEnabled)
        showMenuWindow();
}

void LXPopUpButton::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }

bool LXPopUpButton::event(QEvent *event) {
    if (LXFocus::claimKeys(event, {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Up, Qt::Key_Down}))
        return true;
    if (_menuWindow && LXFocus::claimKeys(event, {Qt::Key_Escape}))
        return true;
    return LXBasePopupButton::event(event);
}

void LXPopUpButton::keyPressEvent(QKeyEvent *event) {
    const int key = event->key();
    if (!_bEnabled) {
        LXBasePopupButton::keyPressEvent(event);
        return;
    }
    if (!_menuWindow) {
        if (LXFocus::isActivationKey(event) || key == Qt::Key_Down || key == Qt::Key_Up) {
            event->accept();
            showMenuWindow();
            return;
        }
    } else if (key == Qt::Key_Up || key == Qt::Key_Down) {
        event->accept();
        _menuWindow->moveHighlight(key == Qt::Key_Up ? -1 : 1);
        return;
    } else if (LXFocus::isActivationKey(event)) {
        event->accept();
        chooseItem(_menuWindow->highlightedIndex());
        return;
    } else if (key == Qt::Key_Escape) {
        event->accept();
        closeMenus();
        return;
    }
    LXBasePopupButton::keyPressEvent(event);
}

void LXPopUpButton::focusInEvent(QFocusEvent *event) {
    update();
    LXBasePopupButton::focusInEvent(event);
}

void LXPopUpButton::focusOutEvent(QFocusEvent *event) {
    // The keyboard went elsewhere: a menu it was driving would be left open and unreachable.
    if (_menuWindow && event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        closeMenus();
    update();
    LXBasePopupButton::focusOutEvent(event);
}

void LXPopUpButton::chooseItem(int index) {
    if (index < 0 || index >= _menuItems.size())
        return;
    willSelectMenuItemWithIndexKeyStr(QString::number(index));
    selectMenuItemAtIndexStrValue(index, _menuItems.at(index));
}

void LXPopUpButton::dismissMenu() {
    if (!_menuWindow)
        return;
    LXMenu *menu = _menuWindow;
    _menuWindow = nullptr;
    foundation::NotificationCenter::defaultCenter().removeObserver(menu);
    menu->hide();
    menu->deleteLater();
}

void LXPopUpButton::showMenuWindow() {
    watchWindow();
    if (_menuWindow) {
        dismissMenu();
        _bPopuped = false;
    } else if (!_menuItems.isEmpty()) {
        auto *menu = new LXMenu(this, _menuItems, _selectIndex, _popupMenuItemBg);
        const QRectF frame = menuFrame(int(_menuItems.size()));
        // The frame hangs from the button's lower-left corner. The menu is a pop-up of the
        // button's window: the compositor places it against that window, at this offset.
        const QPointF corner = mapToGlobal(QPointF(0, height()));
        const QRectF q = LXGeometry::flipRect(frame, 0).translated(corner);
        menu->setGeometry(q.toRect());
        _menuWindow = menu;
        _bPopuped = true;
        menu->show();
    } else {
        return;
    }
    update();
}

void LXPopUpButton::closeMenus() {
    if (!_bPopuped && !_menuWindow)
        return;
    _bPopuped = false;
    update();
    LXCommon::popupDownMenu();
    dismissMenu();
}

void LXPopUpButton::menuClosed() {
    _menuWindow = nullptr;
    _bPopuped = false;
    update();
}

void LXPopUpButton::selectMenuItemAtIndexStrValue(int index, const QString &text) {
    _bPopuped = false;
    _selectIndex = index; // the next menu opens on the current choice
    if (_delegate)
        _delegate->itemSelectAtIndex(this, index);
    dismissMenu();
    _drawStr = text;
    update();
}

void LXPopUpButton::willSelectMenuItemWithIndexKeyStr(const QString &key) {
    _selectKey = key;
    update();
}

// ------------------------------------------------------------------------------------

// A pop-up with the button's window as its parent: a window that takes the keyboard would
// deactivate that window (whose deactivation closes every menu), and a window of its own
// could not be placed under Wayland. A press outside closes it, and is not replayed: a
// press on the button that opened it closes it without opening it again.
LXMenu::LXMenu(LXPopUpButton *button, const QStringList &items, int selectIndex, const QPixmap &background)
    : QWidget(button->window(), Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), _button(button),
      _menuItems(items), _oldIdx(selectIndex) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoMouseReplay);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(button->accessibleName().isEmpty() ? button->toolTip() : button->accessibleName());
    const int n = int(items.size());
    const double w = button->width();
    const double h = double(LXPopUpButton::kRowHeight) * n + 2 * LXPopUpButton::kMenuPadding;
    resize(int(w), int(h));
    _menuBackView = new LXView(this);
    _menuBackView->setGeometry(0, 0, int(w), int(h));
    if (!background.isNull()) {
        _menuBackView->setBackGroundImage(background);
    } else {
        _menuBackView->setBackGroundColor(QColor(0x24, 0x28, 0x2e));
        _menuBackView->setBDrawBackground(true);
    }
    _menuBackView->setDelegate(this);
    _menuBackView->setMouseTracking(true);
    setMouseTracking(true);
    for (int i = 0; i < n; ++i) {
        auto *row = new LXMenuItem(this, i, items.at(i), _menuBackView);
        row->setGeometry(
            LXGeometry::qtRect(QRectF(0, LXPopUpButton::kMenuPadding + LXPopUpButton::kRowHeight * (n - 1 - i), w,
                                      LXPopUpButton::kRowHeight),
                               h));
        row->setBIsSelect(i == selectIndex);
        _rows.push_back(row);
    }
    foundation::NotificationCenter::defaultCenter().addObserver(
        this, LXCommon::kPopupDownMenuItemKey, [this](const QString &, const QVariantMap &) {
            foundation::NotificationCenter::defaultCenter().removeObserver(this);
            hide();
            if (_button)
                _button->menuClosed();
            deleteLater();
        });
}

LXMenu::~LXMenu() { foundation::NotificationCenter::defaultCenter().removeObserver(this); }

void LXMenu::hideEvent(QHideEvent *event) {
    // Closed by a press outside or by Esc as well as by the button: the button is told.
    QWidget::hideEvent(event);
    if (_button && _button->menuWindow() == this)
        _button->menuClosed();
}

void LXMenu::keyPressEvent(QKeyEvent *event) {
    const int n = int(_rows.size());
    const int at = highlightedIndex();
    switch (event->key()) {
    case Qt::Key_Up:
        if (n > 0)
            highlightOnly(at <= 0 ? n - 1 : at - 1);
        break;
    case Qt::Key_Down:
        if (n > 0)
            highlightOnly(at < 0 || at >= n - 1 ? 0 : at + 1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (at >= 0 && at < n)
            rowReleased(_rows[size_t(at)]);
        break;
    default:
        // Esc closes a pop-up.
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

int LXMenu::highlightedIndex() const {
    for (LXMenuItem *r : _rows)
        if (r->bIsSelect())
            return r->idx();
    return -1;
}

void LXMenu::moveHighlight(int delta) {
    if (_rows.empty())
        return;
    const int from = highlightedIndex() < 0 ? _oldIdx : highlightedIndex();
    const int to = std::clamp(from + delta, 0, int(_rows.size()) - 1);
    _lastHintIdx = to;
    highlightOnly(to);
}

void LXMenu::highlightOnly(int index) {
    for (LXMenuItem *r : _rows)
        r->setBIsSelect(r->idx() == index);
}

void LXMenu::pointInRect(const QPointF &windowPoint) {
    for (LXMenuItem *r : _rows) {
        if (r->geometry().contains(_menuBackView->mapFrom(this, windowPoint).toPoint())) {
            _lastHintIdx = r->idx();
            highlightOnly(r->idx());
            return;
        }
    }
    _lastHintIdx = -1;
    highlightOnly(_oldIdx);
}

void LXMenu::rowPressed(LXMenuItem *row) {
    if (_button)
        _button->willSelectMenuItemWithIndexKeyStr(row->indexKeyStr());
    highlightOnly(row->idx());
}

void LXMenu::rowReleased(LXMenuItem *row) {
    if (_button)
        _button->selectMenuItemAtIndexStrValue(row->idx(), row->itemStringValue());
}

// ------------------------------------------------------------------------------------

LXMenuItem::LXMenuItem(LXMenu *menu, int idx, const QString &text, QWidget *parent)
    : QWidget(parent), _menu(menu), _idx(idx), _itemStringValue(text), _indexKeyStr(QString::number(idx)) {
    setMouseTracking(true);
    setAccessibleName(text);
}

void LXMenuItem::setBIsSelect(bool on) {
    if (_bIsSelect == on)
        return;
    _bIsSelect = on;
    update();
}

void LXMenuItem::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (_bIsSelect) {
        QColor glow = kRowBlue;
        glow.setAlpha(34);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawRoundedRect(QRectF(rect()).adjusted(4, 1, -4, -1), 4, 4);
    }
    const QFont font = LXStyle::namedFont("Helvetica Neue", 13);
    QColor color = LXStyle::grey(0.7411764705882353);
    if (_bInRect)
        color = Qt::red;
    else if (_bIsSelect)
        color = kRowBlue;
    const QSizeF ts = LXStyle::textSize(font, _itemStringValue);
    LXStyle::drawText(p, QPointF(10, (height() - ts.height()) / 2), _itemStringValue, font, color);
}

void LXMenuItem::mousePressEvent(QMouseEvent *event) {
    event->accept();
    _menu->rowPressed(this);
}

void LXMenuItem::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    _menu->pointInRect(mapTo(_menu, event->position()));
}

void LXMenuItem::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (rect().contains(event->position().toPoint()))
        _menu->rowReleased(this);
}
