#pragma once
// Synthetic pointer events delivered straight to a widget (local Qt coordinates).
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

namespace gui {

inline void send(QWidget *w, QEvent::Type type, QPointF local, Qt::MouseButtons buttons, Qt::MouseButton button) {
    QMouseEvent e(type, local, w->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void press(QWidget *w, QPointF p) { send(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
inline void drag(QWidget *w, QPointF p) { send(w, QEvent::MouseMove, p, Qt::LeftButton, Qt::NoButton); }
inline void hover(QWidget *w, QPointF p) { send(w, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
inline void release(QWidget *w, QPointF p) { send(w, QEvent::MouseButtonRelease, p, Qt::NoButton, Qt::LeftButton); }
inline void click(QWidget *w, QPointF p) {
    press(w, p);
    release(w, p);
}
// Wheel turned by `lines` notches (positive: away from the user).
inline void wheel(QWidget *w, QPointF p, double lines) {
    QWheelEvent e(p, w->mapToGlobal(p), QPoint(), QPoint(0, int(lines * 120)), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}
// A lower-left point of a widget, as a Qt point.
inline QPointF ll(QWidget *w, double x, double y) { return QPointF(x, w->height() - y); }

} // namespace gui
