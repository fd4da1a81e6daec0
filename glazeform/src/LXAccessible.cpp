#include "glazeform/LXAccessible.h"

#include "glazeform/LXButton.h"
#include "glazeform/LXCheckButton.h"
#include "glazeform/LXCutSlider.h"
#include "glazeform/LXLabel.h"
#include "glazeform/LXPopUpButton.h"
#include "glazeform/LXSlider.h"
#include "glazeform/LXSpinButton.h"
#include "glazeform/LXSwitchButton.h"
#include "glazeform/LXThumbImageTableView.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A screen reader's action runs after its D-Bus call has been answered: what it starts may
// open a sheet or close the control's window.
template <class W, class F> void later(W *widget, F action) {
    QTimer::singleShot(0, widget, [w = QPointer<W>(widget), action] {
        if (w)
            action(w.data());
    });
}

QString strippedTitle(const QString &title) { return title.trimmed(); }

// ---- Buttons --------------------------------------------------------------------------

class ButtonAccessible : public QAccessibleWidget {
public:
    explicit ButtonAccessible(LXButton *b) : QAccessibleWidget(b, QAccessible::Button) {}
    LXButton *button() const { return static_cast<LXButton *>(widget()); }
    // A button that says whether it is the chosen one of a row (the categories) is one of
    // a set of radio buttons.
    bool isChoice() const { return button()->property("selected").isValid(); }

    QAccessible::Role role() const override { return isChoice() ? QAccessible::RadioButton : QAccessible::Button; }
    QString text(QAccessible::Text t) const override {
        const QString name = LXAccessible::nameOf(button(), strippedTitle(button()->textTitle()));
        if (t == QAccessible::Name)
            return name;
        if (t == QAccessible::Description) {
            const QString tip = button()->toolTip();
            return tip != name ? tip : QString();
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (!button()->bEnabled())
            s.disabled = true;
        s.pressed = button()->bPressed();
        if (isChoice()) {
            s.checkable = true;
            s.checked = button()->property("selected").toBool();
        }
        return s;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    QStringList keyBindingsForAction(const QString &action) const override {
        if (action == pressAction() && !button()->keyHint().isEmpty())
            return {button()->keyHint().toString(QKeySequence::NativeText)};
        return QAccessibleWidget::keyBindingsForAction(action);
    }
    void doAction(const QString &action) override {
        if (action == pressAction())
            later(button(), [](LXButton *b) { b->performClick(); });
        else
            QAccessibleWidget::doAction(action);
    }
};

class SwitchAccessible : public QAccessibleWidget {
public:
    explicit SwitchAccessible(LXSwitchButton *s) : QAccessibleWidget(s, QAccessible::CheckBox) {}
    LXSwitchButton *sw() const { return static_cast<LXSwitchButton *>(widget()); }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return LXAccessible::nameOf(sw());
        if (t == QAccessible::Description)
            return sw()->toolTip() != LXAccessible::nameOf(sw()) ? sw()->toolTip() : QString();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = sw()->bOnStates();
        return s;
    }
    // Its two pictures are the switch itself, not parts to visit.
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QStringList actionNames() const override {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override {
        if (action == toggleAction() || action == pressAction())
            later(sw(), [](LXSwitchButton *s) { s->toggle(); });
        else
            QAccessibleWidget::doAction(action);
    }
};

class CheckAccessible : public QAccessibleWidget {
public:
    explicit CheckAccessible(LXCheckButton *c) : QAccessibleWidget(c, QAccessible::CheckBox) {}
    LXCheckButton *box() const { return static_cast<LXCheckButton *>(widget()); }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return LXAccessible::nameOf(box(), box()->textTitle());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = box()->bChecked();
        if (!box()->bEnabled())
            s.disabled = true;
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override {
        if (action == toggleAction() || action == pressAction())
            later(box(), [](LXCheckButton *c) { c->performClick(); });
        else
            QAccessibleWidget::doAction(action);
    }
};

// ---- Values -----------------------------------------------------------------------------

class SpinAccessible : public LXSpinAccessible {
public:
    explicit SpinAccessible(LXSpinButton *s) : LXSpinAccessible(s) {}
    LXSpinButton *spin() const { return static_cast<LXSpinButton *>(widget()); }
    double value() const override { return spin()->curValue(); }
    double minValue() const override { return spin()->minValue(); }
    double maxValue() const override { return spin()->maxValue(); }
    // Reported to the owner as the one step an arrow makes, from the value next to it.
    void setCurrentValue(const QVariant &value) override {
        const double to = std::clamp(std::round(value.toDouble()), spin()->minValue(), spin()->maxValue());
        LXSpinButton *s = spin();
        if (to > s->curValue()) {
            s->setCurValue(to - 1);
            s->stepUp();
        } else if (to < s->curValue()) {
            s->setCurValue(to + 1);
            s->stepDown();
        }
    }
    QStringList actionNames() const override {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override {
        if (action == increaseAction())
            later(spin(), [](LXSpinButton *s) { s->stepUp(); });
        else if (action == decreaseAction())
            later(spin(), [](LXSpinButton *s) { s->stepDown(); });
        else
            QAccessibleWidget::doAction(action);
    }
};

// A slider's value is its position in per cent of its length; a display-only one is a
// progress bar.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(LXSlider *s) : QAccessibleWidget(s, QAccessible::Slider) {}
    LXSlider *slider() const { return static_cast<LXSlider *>(widget()); }
    bool movable() const { return slider()->slideType() != 0; }
    void *interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QAccessible::Role role() const override { return movable() ? QAccessible::Slider : QAccessible::ProgressBar; }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return LXAccessible::nameOf(slider());
        if (t == QAccessible::Value)
            return QStringLiteral("%1 %").arg(std::lround(percent()));
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (!slider()->bEnabled())
            s.disabled = true;
        if (!movable())
            s.readOnly = true;
        return s;
    }
    double percent() const { return std::clamp(slider()->sliderPos(), 0.0, 1.0) * 100.0; }
    QVariant currentValue() const override { return percent(); }
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 1.0; }
    void setCurrentValue(const QVariant &value) override { slider()->moveByUser(value.toDouble() / 100.0); }
    QStringList actionNames() const override {
        if (!movable())
            return QAccessibleWidget::actionNames();
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override {
        if (action == increaseAction())
            slider()->moveByUser(slider()->sliderPos() + 0.05);
        else if (action == decreaseAction())
            slider()->moveByUser(slider()->sliderPos() - 0.05);
        else
            QAccessibleWidget::doAction(action);
    }
};

// ---- Labels -----------------------------------------------------------------------------

class LabelAccessible : public QAccessibleWidget {
public:
    explicit LabelAccessible(LXLabel *l) : QAccessibleWidget(l, QAccessible::StaticText) {}
    LXLabel *label() const { return static_cast<LXLabel *>(widget()); }
    // The whole text, also where the label shows it shortened.
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return label()->accessibleName().isEmpty() ? label()->textTitle() : label()->accessibleName();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
};

// ---- Pop-up buttons ------------------------------------------------------------------------

// One entry of a pop-up's menu (the menu itself exists only while open).
class PopupItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PopupItemAccessible(LXPopUpButton *button, int index) : _button(button), _index(index) {}
    bool isValid() const override { return _button && _index < _button->menuItems().size(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return _button ? _button->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(_button.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? _button->menuItems().at(_index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!_button)
            return {};
        if (LXMenu *menu = _button->menuWindow())
            if (_index < int(menu->rows().size())) {
                QWidget *row = menu->rows()[size_t(_index)];
                return QRect(row->mapToGlobal(QPoint(0, 0)), row->size());
            }
        return QRect(_button->mapToGlobal(QPoint(0, 0)), _button->size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.selectable = true;
        s.selected = _button && _button->selectIndex() == _index;
        s.invisible = !_button || !_button->menuWindow();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
    void doAction(const QString &action) override {
        if (action == pressAction() && isValid())
            later(_button.data(), [i = _index](LXPopUpButton *b) { b->chooseItem(i); });
    }

private:
    QPointer<LXPopUpButton> _button;
    int _index;
};

class PopupAccessible : public QAccessibleWidget {
public:
    explicit PopupAccessible(LXPopUpButton *b) : QAccessibleWidget(b, QAccessible::ComboBox) {}
    ~PopupAccessible() override { dropItems(); }
    LXPopUpButton *popup() const { return static_cast<LXPopUpButton *>(widget()); }
    QString value() const {
        const int i = popup()->selectIndex();
        if (!popup()->drawStr().isEmpty())
            return popup()->drawStr();
        return i >= 0 && i < popup()->menuItems().size() ? popup()->menuItems().at(i) : QString();
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return LXAccessible::nameOf(popup());
        if (t == QAccessible::Value)
            return value();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = popup()->bPopuped();
        s.collapsed = !s.expanded;
        s.hasPopup = true;
        if (!popup()->bEnabled())
            s.disabled = true;
        return s;
    }
    // The menu's entries; whatever draws on the button's face is the button.
    int childCount() const override { return int(popup()->menuItems().size()); }
    QAccessibleInterface *child(int index) const override {
        syncItems();
        return index >= 0 && index < int(_items.size()) ? QAccessible::accessibleInterface(_items[size_t(index)])
                                                        : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        syncItems();
        for (size_t i = 0; i < _items.size(); ++i)
            if (QAccessible::accessibleInterface(_items[i]) == child)
                return int(i);
        return -1;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override {
        if (action == showMenuAction() || action == pressAction())
            later(popup(), [](LXPopUpButton *b) { b->showMenuWindow(); });
        else
            QAccessibleWidget::doAction(action);
    }

private:
    void syncItems() const {
        if (int(_items.size()) == popup()->menuItems().size())
            return;
        dropItems();
        for (int i = 0; i < popup()->menuItems().size(); ++i)
            _items.push_back(QAccessible::registerAccessibleInterface(new PopupItemAccessible(popup(), i)));
    }
    void dropItems() const {
        for (QAccessible::Id id : _items)
            QAccessible::deleteAccessibleInterface(id);
        _items.clear();
    }
    mutable std::vector<QAccessible::Id> _items;
};

// ---- The picture grid -------------------------------------------------------------------------

LXThumbImageTableView *gridOf(const QWidget *cell) {
    for (QWidget *p = cell->parentWidget(); p; p = p->parentWidget())
        if (auto *grid = qobject_cast<LXThumbImageTableView *>(p))
            return grid;
    return nullptr;
}

// A list of its tiles; the strip, its scroll area and its arrows are how the pointer gets
// about it, and the keyboard's arrows do that here.
class GridAccessible : public QAccessibleWidget {
public:
    explicit GridAccessible(LXThumbImageTableView *g) : QAccessibleWidget(g, QAccessible::List) {}
    LXThumbImageTableView *grid() const { return static_cast<LXThumbImageTableView *>(widget()); }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString own = LXAccessible::nameOf(grid());
            return own.isEmpty() ? QCoreApplication::translate("LXThumbImageTableView", "Formats") : own;
        }
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return int(grid()->cells().size()); }
    QAccessibleInterface *child(int index) const override {
        const auto &cells = grid()->cells();
        return index >= 0 && index < int(cells.size()) ? QAccessible::queryAccessibleInterface(cells[size_t(index)])
                                                       : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        const auto &cells = grid()->cells();
        for (size_t i = 0; i < cells.size(); ++i)
            if (child && child->object() == cells[i])
                return int(i);
        return -1;
    }
    QAccessibleInterface *focusChild() const override {
        return grid()->hasFocus() ? child(grid()->focusIndex()) : nullptr;
    }
};

class CellAccessible : public QAccessibleWidget {
public:
    explicit CellAccessible(LXImageCellView *c) : QAccessibleWidget(c, QAccessible::ListItem) {}
    LXImageCellView *cell() const { return static_cast<LXImageCellView *>(widget()); }
    QAccessibleInterface *parent() const override {
        if (LXThumbImageTableView *g = gridOf(cell()))
            return QAccessible::queryAccessibleInterface(g);
        return QAccessibleWidget::parent();
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return cell()->cellTitle();
        if (t == QAccessible::Description)
            return QString();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = cell()->bSelected();
        s.focusable = true;
        LXThumbImageTableView *g = gridOf(cell());
        s.focused = g && g->hasFocus() && g->focusIndex() == cell()->cellIndex();
        return s;
    }
    // Its settings button, while it is the chosen tile; the picture and caption are its name.
    int childCount() const override { return cell()->settingBtn()->isHidden() ? 0 : 1; }
    QAccessibleInterface *child(int index) const override {
        return index == 0 && childCount() == 1 ? QAccessible::queryAccessibleInterface(cell()->settingBtn()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        return child && child->object() == cell()->settingBtn() && childCount() == 1 ? 0 : -1;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &action) override {
        if (action != pressAction())
            return;
        later(cell(), [](LXImageCellView *c) {
            if (LXThumbImageTableView *g = gridOf(c))
                g->chooseCellAtIndex(c->cellIndex());
        });
    }
};

// ---- The cut slider ------------------------------------------------------------------------

// One handle of the kept range: a slider whose value is its time in seconds.
class CutHandleAccessible : public QAccessibleInterface, public QAccessibleValueInterface {
public:
    CutHandleAccessible(LXCutSlider *slider, bool left) : _slider(slider), _left(left) {}
    bool isValid() const override { return _slider; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return _slider ? _slider->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(_slider.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!_slider)
            return {};
        if (t == QAccessible::Name)
            return _left ? QCoreApplication::translate("LXCutSlider", "Start of the kept range")
                         : QCoreApplication::translate("LXCutSlider", "End of the kept range");
        if (t == QAccessible::Value)
            return LXCutSlider::drawTimeDescStr(seconds());
        return {};
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!_slider)
            return {};
        const QRectF ll = _left ? _slider->leftCutRt() : _slider->rightCutRt();
        const QRectF q(ll.x(), _slider->height() - ll.y() - ll.height(), ll.width(), ll.height());
        return QRect(_slider->mapToGlobal(q.topLeft().toPoint()), q.size().toSize());
    }
    QAccessible::Role role() const override { return QAccessible::Slider; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = true;
        s.focused = _slider && _slider->hasFocus() &&
                    _slider->keyHandle() == (_left ? LXCutSlider::DragLeftCut : LXCutSlider::DragRightCut);
        s.pressed = _slider && (_left ? _slider->bLeftCutPressed() : _slider->bRightCutPressed());
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface *>(this) : nullptr;
    }
    double seconds() const { return _slider ? (_left ? _slider->leftCutTime() : _slider->rightCutTime()) : 0; }
    QVariant currentValue() const override { return seconds(); }
    // As a drag to that time; where the cut may go is the editor's to decide.
    void setCurrentValue(const QVariant &value) override {
        if (_slider)
            _slider->moveCutByUser(_left, value.toDouble() - seconds());
    }
    QVariant maximumValue() const override { return _slider ? _slider->totalTime() : 0.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.05; }

private:
    QPointer<LXCutSlider> _slider;
    bool _left;
};

class CutSliderAccessible : public QAccessibleWidget {
public:
    explicit CutSliderAccessible(LXCutSlider *s) : QAccessibleWidget(s, QAccessible::Slider) {
        _handles[0] = QAccessible::registerAccessibleInterface(new CutHandleAccessible(s, true));
        _handles[1] = QAccessible::registerAccessibleInterface(new CutHandleAccessible(s, false));
    }
    ~CutSliderAccessible() override {
        for (QAccessible::Id id : _handles)
            QAccessible::deleteAccessibleInterface(id);
    }
    LXCutSlider *slider() const { return static_cast<LXCutSlider *>(widget()); }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString own = LXAccessible::nameOf(slider());
            return own.isEmpty() ? QCoreApplication::translate("LXCutSlider", "Kept range") : own;
        }
        if (t == QAccessible::Value)
            return LXCutSlider::drawTimeDescStr(slider()->currentTime());
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 2; }
    QAccessibleInterface *child(int index) const override {
        return index == 0 || index == 1 ? QAccessible::accessibleInterface(_handles[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        for (int i = 0; i < 2; ++i)
            if (QAccessible::accessibleInterface(_handles[i]) == child)
                return i;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override {
        for (int i = 0; i < 2; ++i)
            if (child(i)->rect().contains(x, y))
                return child(i);
        return nullptr;
    }

private:
    QAccessible::Id _handles[2] = {};
};

QAccessibleInterface *makeInterface(const QString &, QObject *object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    // The most derived classes first.
    if (auto *o = qobject_cast<LXThumbImageTableView *>(object))
        return new GridAccessible(o);
    if (auto *o = qobject_cast<LXImageCellView *>(object))
        return new CellAccessible(o);
    if (auto *o = qobject_cast<LXButton *>(object))
        return new ButtonAccessible(o);
    if (auto *o = qobject_cast<LXSwitchButton *>(object))
        return new SwitchAccessible(o);
    if (auto *o = qobject_cast<LXCheckButton *>(object))
        return new CheckAccessible(o);
    if (auto *o = qobject_cast<LXSpinButton *>(object))
        return new SpinAccessible(o);
    if (auto *o = qobject_cast<LXSlider *>(object))
        return new SliderAccessible(o);
    if (auto *o = qobject_cast<LXCutSlider *>(object))
        return new CutSliderAccessible(o);
    if (auto *o = qobject_cast<LXPopUpButton *>(object))
        return new PopupAccessible(o);
    if (auto *o = qobject_cast<LXLabel *>(object))
        return new LabelAccessible(o);
    return nullptr;
}

void installOnStart() { LXAccessible::install(); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installOnStart)

void LXAccessible::install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(makeInterface);
}

QAccessibleInterface *LXAccessible::factory(const QString &className, QObject *object) {
    return makeInterface(className, object);
}

QString LXAccessible::nameOf(const QWidget *widget, const QString &title) {
    if (!widget)
        return {};
    if (!widget->accessibleName().isEmpty())
        return widget->accessibleName();
    if (!title.isEmpty())
        return title;
    return widget->toolTip();
}

void LXAccessible::nameChanged(QObject *object) {
    if (!object || !QAccessible::isActive())
        return;
    QAccessibleEvent event(object, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void LXAccessible::valueChanged(QObject *object, const QVariant &value) {
    if (!object || !QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(object, value);
    QAccessible::updateAccessibility(&event);
}

void *LXSpinAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString LXSpinAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name)
        return LXAccessible::nameOf(widget());
    if (t == QAccessible::Value)
        return QString::number(value());
    return QAccessibleWidget::text(t);
}
