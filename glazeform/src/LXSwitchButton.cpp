#include "glazeform/LXSwitchButton.h"

#include "glazeform/LXGeometry.h"

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
