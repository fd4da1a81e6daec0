#include "vcAccessible.h"

#include "SettingController.h"
#include "vcTableCellWidget.h"
#include "vcTableView.h"

#include "ODPreviewView.h"

#include <framewheel/SWPlayer.h>
#include <glazeform/LXAccessible.h>

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

vcTableView *tableOf(const QWidget *row) {
    for (QWidget *p = row->parentWidget(); p; p = p->parentWidget())
        if (auto *table = qobject_cast<vcTableView *>(p))
            return table;
    return nullptr;
}

// The rows on screen, in list order; the viewport that holds them is no part to visit.
class ListAccessible : public QAccessibleWidget {
public:
    explicit ListAccessible(vcTableView *t) : QAccessibleWidget(t, QAccessible::List) {}
    vcTableView *table() const { return static_cast<vcTableView *>(widget()); }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return table()->accessibleName().isEmpty() ? QCoreApplication::translate("vcTableView", "Files to convert")
                                                       : table()->accessibleName();
        return QAccessibleWidget::text(t);
    }
    std::vector<vcTableCellWidget *> rows() const {
        std::vector<vcTableCellWidget *> out;
        for (int64_t r = table()->firstVisibleRow(); r <= table()->lastVisibleRow(); ++r)
            if (vcTableCellWidget *w = table()->widgetAtRow(r); w && w->isVisible())
                out.push_back(w);
        return out;
    }
    int childCount() const override { return int(rows().size()); }
    QAccessibleInterface *child(int index) const override {
        const auto all = rows();
        return index >= 0 && index < int(all.size()) ? QAccessible::queryAccessibleInterface(all[size_t(index)])
                                                     : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        const auto all = rows();
        for (size_t i = 0; i < all.size(); ++i)
            if (child && child->object() == all[i])
                return int(i);
        return -1;
    }
    QAccessibleInterface *focusChild() const override {
        if (!table()->hasFocus())
            return nullptr;
        for (vcTableCellWidget *w : rows())
            if (table()->showsFocusRingFor(w->job().get()) || (w->isSelectedRow() && w->job()))
                return QAccessible::queryAccessibleInterface(w);
        return nullptr;
    }
};

class RowAccessible : public QAccessibleWidget {
public:
    explicit RowAccessible(vcTableCellWidget *r) : QAccessibleWidget(r, QAccessible::ListItem) {}
    vcTableCellWidget *row() const { return static_cast<vcTableCellWidget *>(widget()); }
    QAccessibleInterface *parent() const override {
        if (vcTableView *t = tableOf(row()))
            return QAccessible::queryAccessibleInterface(t);
        return QAccessibleWidget::parent();
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return row()->accessibleRowName();
        if (t == QAccessible::Description)
            return row()->toolTip();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.multiSelectable = true;
        s.selected = row()->isSelectedRow();
        vcTableView *t = tableOf(row());
        s.focusable = true;
        s.focused = t && t->hasFocus() && row()->isSelectedRow();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &action) override {
        if (action != pressAction())
            return;
        QTimer::singleShot(0, row(), [r = QPointer<vcTableCellWidget>(row())] {
            if (!r || !r->job())
                return;
            if (auto *d = r->job()->tbCellDelegate())
                d->selectRowWithMode(r->job().get(), vcSelectMode::Only);
        });
    }
};

class StepperAccessible : public LXSpinAccessible {
public:
    explicit StepperAccessible(ODUpDownStepper *s) : LXSpinAccessible(s) {}
    ODUpDownStepper *stepper() const { return static_cast<ODUpDownStepper *>(widget()); }
    double value() const override { return stepper()->value(); }
    double minValue() const override { return stepper()->minValue(); }
    double maxValue() const override { return stepper()->maxValue(); }
    void setCurrentValue(const QVariant &value) override {
        stepper()->setValue(std::round(value.toDouble()));
        emit stepper()->stepped(stepper()->value());
    }
};

// The preview and the player's picture: moving pictures the keyboard can stop on (the
// space bar plays them), not panes.
class PictureAccessible : public QAccessibleWidget {
public:
    PictureAccessible(QWidget *w, const char *name) : QAccessibleWidget(w, QAccessible::Animation), _name(name) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return widget()->accessibleName().isEmpty() ? QCoreApplication::translate("vcAccessible", _name)
                                                        : widget()->accessibleName();
        return QAccessibleWidget::text(t);
    }

private:
    const char *_name;
};

QAccessibleInterface *makeInterface(const QString &, QObject *object) {
    if (auto *o = qobject_cast<ODPreviewView *>(object))
        return new PictureAccessible(o, QT_TRANSLATE_NOOP("vcAccessible", "Preview"));
    if (auto *o = qobject_cast<SWPlayer *>(object))
        return new PictureAccessible(o, QT_TRANSLATE_NOOP("vcAccessible", "Video"));
    if (auto *o = qobject_cast<vcTableView *>(object))
        return new ListAccessible(o);
    if (auto *o = qobject_cast<vcTableCellWidget *>(object))
        return new RowAccessible(o);
    if (auto *o = qobject_cast<ODUpDownStepper *>(object))
        return new StepperAccessible(o);
    return nullptr;
}

} // namespace

void vcAccessible::install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    LXAccessible::install();
    // Installed after the library's, so asked first: a row is an LXView of the library too.
    QAccessible::installFactory(makeInterface);
}
