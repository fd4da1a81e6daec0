#include "glazeform/LXDragWindow.h"

#include "glazeform/LXGeometry.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>

const char *const LXDragWindow::kDragHandleProperty = "lxDragHandle";

LXDragWindow::LXDragWindow(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    // Presses on children are seen before the children get them; only this window's count.
    qApp->installEventFilter(this);
}

LXDragWindow::~LXDragWindow() {
    qApp->removeEventFilter(this);
    // The contents go while this is still a drag window: a screen that keeps a pointer to its
    // window may still ask it something (its delegate) on the way out.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
}

void LXDragWindow::setDragHandle(QWidget *child, bool on) {
    if (child)
        child->setProperty(kDragHandleProperty, on);
}

bool LXDragWindow::startsDrag(QWidget *target) const {
    if (target == this)
        return true;
    for (QWidget *w = target; w && w != this; w = w->parentWidget())
        if (w->property(kDragHandleProperty).toBool())
            return true;
    return false;
}

void LXDragWindow::endDrag(const QPointF &global) {
    const bool was = _dragging;
    _pressed = false;
    _dragging = false;
    if (was && _delegate)
        _delegate->dragWindowMouseUp(LXGeometry::screenPointFromQt(global));
}

bool LXDragWindow::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto *target = qobject_cast<QWidget *>(watched);
    if (!target || target->window() != this)
        return false;
    auto *e = static_cast<QMouseEvent *>(event);
    switch (type) {
    case QEvent::MouseButtonPress:
        if (e->button() == Qt::LeftButton && startsDrag(target)) {
            _pressed = true;
            _dragging = false;
            _pressGlobal = e->globalPosition();
            _pressWindowPos = pos();
        }
        return false;
    case QEvent::MouseMove: {
        if (!_pressed || !(e->buttons() & Qt::LeftButton))
            return false;
        const QPointF delta = e->globalPosition() - _pressGlobal;
        if (!_dragging) {
            if (delta.manhattanLength() < QApplication::startDragDistance())
                return false;
            _dragging = true;
            if (_delegate)
                _delegate->dragWindowMouseDown(LXGeometry::screenPointFromQt(_pressGlobal));
            // The window manager moves the window from here on, as a drag of a title bar:
            // under Wayland it is the only one that can, and it keeps the pointer (and the
            // release) until the move ends. The drag is over for this window; where the
            // window went arrives as a move.
            if (QWindow *handle = windowHandle(); handle && handle->startSystemMove()) {
                endDrag(e->globalPosition());
                return true;
            }
        }
        move(_pressWindowPos + delta.toPoint());
        if (_delegate)
            _delegate->dragWindowMouseDragged(LXGeometry::screenPointFromQt(e->globalPosition()));
        // A drag is the window's: the widget under the pointer does not see it.
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (_pressed && e->button() == Qt::LeftButton)
            endDrag(e->globalPosition());
        return false;
    default:
        return false;
    }
}
