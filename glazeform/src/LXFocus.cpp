#include "glazeform/LXFocus.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

bool LXFocus::showsRing(const QWidget *widget) {
    return widget && widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void LXFocus::drawRing(QPainter &p, const QWidget *owner, const QRectF &frame, qreal radius) {
    if (!showsRing(owner))
        return;
    const QRectF r = (frame.isEmpty() ? QRectF(owner->rect()) : frame)
                         .adjusted(kRingWidth / 2, kRingWidth / 2, -kRingWidth / 2, -kRingWidth / 2);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setOpacity(1.0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(owner->palette().color(QPalette::Active, QPalette::Highlight), kRingWidth));
    p.drawRoundedRect(r, radius, radius);
    p.restore();
}

bool LXFocus::isActivationKey(const QKeyEvent *event) {
    const int key = event->key();
    if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool LXFocus::claimKeys(QEvent *event, std::initializer_list<int> keys) {
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto *k = static_cast<QKeyEvent *>(event);
    if ((k->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    for (int key : keys)
        if (k->key() == key) {
            event->accept();
            return true;
        }
    return false;
}

LXFocusFrame::LXFocusFrame(QWidget *owner) : QWidget(owner), _owner(owner) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(owner->rect());
    owner->installEventFilter(this);
    raise();
}

bool LXFocusFrame::eventFilter(QObject *watched, QEvent *event) {
    if (watched == _owner) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            raise();
            update();
            break;
        case QEvent::Resize:
            setGeometry(_owner->rect());
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LXFocusFrame::paintEvent(QPaintEvent *) {
    QPainter p(this);
    LXFocus::drawRing(p, _owner, QRectF(rect()), height() / 2.0);
}
