#include "glazeform/LXSpinButton.h"

#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

LXSpinButton::LXSpinButton(QWidget *parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
}

LXSpinButton::LXSpinButton(const QRectF &frame, QWidget *parent) : LXSpinButton(parent) {
    LXGeometry::place(this, frame);
}

void LXSpinButton::setCurValue(double v) {
    if (v > _maxValue)
        v = _maxValue;
    else if (v < _minValue)
        v = _minValue;
    _curValue = v;
    update();
}

void LXSpinButton::trackPointer(const QPointF &q) {
    // The upper arrow owns everything that is not in the lower half.
    const QPointF p = LXGeometry::flipPoint(q, height());
    _bInTopArea = !(p.y() < height() / 2.0);
}

void LXSpinButton::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QRectF all(rect());
    LXImage::drawCenterAtFrame(p, _backgroundImage, all);
    if (_bPressed && _bEnabled)
        LXImage::drawCenterAtFrame(p, _bInTopArea ? _topBtnPressImage : _btmBtnPressImage, all);
    LXFocus::drawRing(p, this);
}

void LXSpinButton::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (!_bEnabled)
        return;
    trackPointer(event->position());
    update();
}

void LXSpinButton::mousePressEvent(QMouseEvent *event) {
    event->accept();
    if (!_bEnabled)
        return;
    // A press without a movement before it still acts on the arrow under the pointer.
    trackPointer(event->position());
    _bPressed = true;
    update();
    if (!_delegate)
        return;
    if (_bInTopArea)
        _delegate->spinButtonTopDown(this);
    else
        _delegate->spinButtonBtmDown(this);
}

void LXSpinButton::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (!_bEnabled)
        return;
    if (!rect().contains(event->position().toPoint())) {
        _bCanceled = true;
        if (_delegate)
            _delegate->pressCanceled(this);
        _bPressed = false;
        update();
        return;
    }
    _bCanceled = false;
    _bPressed = false;
    update();
    if (_bInTopArea)
        stepUp();
    else
        stepDown();
}

void LXSpinButton::stepUp() {
    if (_curValue < _maxValue)
        _curValue = std::min(_curValue + 1, _maxValue);
    if (_delegate)
        _delegate->spinButtonTopUp(this);
}

void LXSpinButton::stepDown() {
    if (_curValue > _minValue)
        _curValue = std::max(_curValue - 1, _minValue);
    if (_delegate)
        _delegate->spinButtonBtmUp(this);
}

bool LXSpinButton::event(QEvent *event) {
    if (LXFocus::claimKeys(event, {Qt::Key_Up, Qt::Key_Down}))
        return true;
    return QWidget::event(event);
}

void LXSpinButton::keyPressEvent(QKeyEvent *event) {
    if (!_bEnabled || (event->key() != Qt::Key_Up && event->key() != Qt::Key_Down)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (event->key() == Qt::Key_Up)
        stepUp();
    else
        stepDown();
}

void LXSpinButton::focusInEvent(QFocusEvent *event) {
    update();
    QWidget::focusInEvent(event);
}

void LXSpinButton::focusOutEvent(QFocusEvent *event) {
    update();
    QWidget::focusOutEvent(event);
}
