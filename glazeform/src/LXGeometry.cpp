#include "glazeform/LXGeometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace {
constexpr char kFrameProperty[] = "glazeformFrame";
constexpr char kWatchedProperty[] = "glazeformFrameWatched";

// Re-places the children that were placed by lower-left frames whenever their parent is
// resized, so they stay anchored to the parent's bottom edge.
class FrameKeeper : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Resize) {
            auto *parent = static_cast<QWidget *>(watched);
            for (QObject *o : parent->children()) {
                auto *child = qobject_cast<QWidget *>(o);
                if (!child || child->isWindow())
                    continue;
                const QVariant v = child->property(kFrameProperty);
                if (v.isValid())
                    child->setGeometry(LXGeometry::qtRect(v.toRectF(), parent->height()));
            }
        }
        return false;
    }
};

FrameKeeper *keeper() {
    static FrameKeeper *k = new FrameKeeper(qApp);
    return k;
}
} // namespace

QRectF LXGeometry::flipRect(const QRectF &r, qreal h) {
    return QRectF(r.x(), h - r.y() - r.height(), r.width(), r.height());
}

QPointF LXGeometry::flipPoint(const QPointF &p, qreal h) { return QPointF(p.x(), h - p.y()); }

QRect LXGeometry::qtRect(const QRectF &frame, qreal parentHeight) {
    const QRectF q = flipRect(frame, parentHeight);
    const int left = int(std::lround(q.left()));
    const int top = int(std::lround(q.top()));
    const int right = int(std::lround(q.left() + q.width()));
    const int bottom = int(std::lround(q.top() + q.height()));
    return QRect(left, top, right - left, bottom - top);
}

void LXGeometry::place(QWidget *child, const QRectF &frame) {
    if (!child)
        return;
    child->setProperty(kFrameProperty, frame);
    QWidget *parent = child->parentWidget();
    if (!parent || child->isWindow()) {
        child->resize(int(std::lround(frame.width())), int(std::lround(frame.height())));
        return;
    }
    if (!parent->property(kWatchedProperty).toBool() && qApp) {
        parent->setProperty(kWatchedProperty, true);
        parent->installEventFilter(keeper());
    }
    child->setGeometry(qtRect(frame, parent->height()));
}

QRectF LXGeometry::frameOf(const QWidget *child) {
    const QVariant v = child->property(kFrameProperty);
    if (v.isValid())
        return v.toRectF();
    const qreal h = child->parentWidget() ? child->parentWidget()->height() : child->height();
    return flipRect(QRectF(child->geometry()), h);
}

QSizeF LXGeometry::mainScreenSize() {
    if (QScreen *s = QGuiApplication::primaryScreen())
        return s->geometry().size();
    return QSizeF(800, 600);
}

QRectF LXGeometry::screenToQt(const QRectF &frame) {
    QRectF r = flipRect(frame, mainScreenSize().height());
    if (QScreen *s = QGuiApplication::primaryScreen())
        r.translate(s->geometry().topLeft());
    return r;
}

QRectF LXGeometry::qtToScreen(const QRectF &rect) {
    QRectF r = rect;
    if (QScreen *s = QGuiApplication::primaryScreen())
        r.translate(-QPointF(s->geometry().topLeft()));
    return flipRect(r, mainScreenSize().height());
}

QPointF LXGeometry::screenPointFromQt(const QPointF &global) {
    QPointF p = global;
    if (QScreen *s = QGuiApplication::primaryScreen())
        p -= QPointF(s->geometry().topLeft());
    return flipPoint(p, mainScreenSize().height());
}

QPointF LXGeometry::qtPointFromScreen(const QPointF &point) {
    QPointF p = flipPoint(point, mainScreenSize().height());
    if (QScreen *s = QGuiApplication::primaryScreen())
        p += QPointF(s->geometry().topLeft());
    return p;
}
