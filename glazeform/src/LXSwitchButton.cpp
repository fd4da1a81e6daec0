#include "glazeform/LXSwitchButton.h"

#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"

#include <QKeyEvent>

LXSwitchButton::LXSwitchButton(QWidget *parent) : QWidget(parent) {
    resize(47, 18);
    _bg = new LXButton(this);
    _bg->setTextTitle(QString());
    _bg->setDelegate(this);
    _knob = new LXButton(this);
    _knob->setTextTitle(QString());
    _knob->setDelegate(this);
    LXGeometry::place(_bg, QRectF(0, 0, 47, 18));
    LXGeometry::place(_knob, offKnobFrame());
    // One stop for the keyboard: the switch, not its two pictures.
    setFocusPolicy(Qt::TabFocus);
    _bg->setFocusPolicy(Qt::NoFocus);
    _knob->setFocusPolicy(Qt::NoFocus);
    new LXFocusFrame(this);
}

LXSwitchButton::LXSwitchButton(const QRectF &frame, QWidget *parent) : LXSwitchButton(parent) {
    LXGeometry::place(this, frame);
    LXGeometry::place(_bg, QRectF(0, 0, frame.width(), frame.height()));
    LXGeometry::place(_knob, _bOnStates ? onKnobFrame() : offKnobFrame());
}

void LXSwitchButton::setBOnStates(bool on) {
    if (_animation)
        _animation->stop();
    _bProcessing = false;
    _bOnStates = on;
    LXGeometry::place(_knob, on ? onKnobFrame() : offKnobFrame());
}

void LXSwitchButton::setBtnBackgroundImage(const QPixmap &p) {
    _bg->setNormalImage(p);
    _bg->setPressImage(p);
}

void LXSwitchButton::setBtnForegroundImage(const QPixmap &p) {
    _knob->setNormalImage(p);
    _knob->setPressImage(p);
}

void LXSwitchButton::buttonUp(LXButton *) {
    if (_bProcessing)
        return;
    _bProcessing = true;
    _bOnStates = !_bOnStates;
    const QRectF end = _bOnStates ? onKnobFrame() : offKnobFrame();
    auto *anim = new QPropertyAnimation(_knob, "geometry", this);
    anim->setDuration(kAnimationMs);
    anim->setStartValue(_knob->geometry());
    anim->setEndValue(LXGeometry::qtRect(end, height()));
    connect(anim, &QPropertyAnimation::finished, this, [this, end] {
        LXGeometry::place(_knob, end);
        _bProcessing = false;
    });
    _animation = anim;
    anim->start(QAbstractAnimation::DeleteWhenStopped);
    emit stateChanged(_bOnStates);
}

bool LXSwitchButton::event(QEvent *event) {
    if (LXFocus::claimKeys(event, {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}))
        return true;
    return QWidget::event(event);
}

void LXSwitchButton::keyPressEvent(QKeyEvent *event) {
    if (LXFocus::isActivationKey(event)) {
        event->accept();
        if (!event->isAutoRepeat())
            toggle();
        return;
    }
    QWidget::keyPressEvent(event);
}
