#pragma once
// Keyboard focus on the skinned controls: the ring every one of them draws in its own paint
// while the keyboard is on it, and the keys they act on.
#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <initializer_list>

class QEvent;
class QKeyEvent;
class QPainter;

class LXFocus {
public:
    static constexpr qreal kRingWidth = 2;

    // Whether `widget` should show its ring: it has the focus and the keyboard brought it
    // there (Tab, an arrow, a shortcut), so a mouse press never leaves a ring behind.
    static bool showsRing(const QWidget *widget);
    // The ring, 2 px in the palette's highlight colour, just inside `frame` (the widget's
    // rectangle when empty), drawn only when showsRing(owner).
    static void drawRing(QPainter &painter, const QWidget *owner, const QRectF &frame = {}, qreal radius = 4);
    // Space, Return or Enter with no modifier but the keypad's.
    static bool isActivationKey(const QKeyEvent *event);
    // A focused control takes its own keys from the window's shortcuts (the list's arrows,
    // the space bar's play): answers true and accepts the event when it is a
    // ShortcutOverride for one of `keys` (Qt::Key values, no modifier).
    static bool claimKeys(QEvent *event, std::initializer_list<int> keys);
};

// The ring of a control whose children cover it (the switch's picture buttons): a sheet
// over the whole control that lets the pointer through and draws the owner's ring.
class LXFocusFrame : public QWidget {
public:
    explicit LXFocusFrame(QWidget *owner);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<QWidget> _owner;
};
