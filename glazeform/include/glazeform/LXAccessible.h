#pragma once
// What screen readers learn of the skinned controls. Qt's own widgets describe themselves;
// a control drawn from pictures is a nameless pane to assistive technology until it says
// what it is. The factory here gives each skinned control its role, name, state, actions
// and value, as the toolkit's own buttons, sliders, combo boxes and lists have them. It is
// installed when the library's first application object is made; install() is for code
// that runs before.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QString>

class QObject;
class QWidget;

class LXAccessible {
public:
    // Idempotent; the factory answers only for the classes of this library.
    static void install();
    // The interface for one of this library's controls, null for any other object.
    static QAccessibleInterface *factory(const QString &className, QObject *object);
    // The name a skinned control goes by: its accessible name, else its title, else its
    // tool tip (picture buttons have nothing else).
    static QString nameOf(const QWidget *widget, const QString &title = {});
    // Tells screen readers that a control's name or value changed (progress, a new title);
    // nothing while no assistive technology listens.
    static void nameChanged(QObject *object);
    static void valueChanged(QObject *object, const QVariant &value);
};

// A control that steps a whole number between bounds (a spin control, a stepper): role
// SpinBox, its name, and its value read and set through the control's own calls, which a
// subclass names.
class LXSpinAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit LXSpinAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::SpinBox) {}
    void *interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;
    QVariant currentValue() const override { return value(); }
    QVariant maximumValue() const override { return maxValue(); }
    QVariant minimumValue() const override { return minValue(); }
    QVariant minimumStepSize() const override { return 1.0; }

protected:
    virtual double value() const = 0;
    virtual double minValue() const = 0;
    virtual double maxValue() const = 0;
};
