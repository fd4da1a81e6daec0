#pragma once
// What screen readers learn of the skinned controls. Qt's own widgets describe themselves;
// a control drawn from pictures is a nameless pane to assistive technology until it says
// what it is. The factory here gives each skinned control its role, name, state, actions
// and value, as the toolkit's own buttons, sliders, combo boxes and lists have them. It is
// installed when the library's first application object is made; install() is for code
// that runs before.
#include <QAccessible>
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
