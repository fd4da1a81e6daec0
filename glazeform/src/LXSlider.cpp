#include "glazeform/LXSlider.h"

#include "glazeform/LXCommon.h"
#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
QSizeF sz(const QPixmap &p) { return LXImage::pointSize(p); }
} // namespace

LXSlider::LXSlider(QWidget *parent) : QWidget(parent) {
    setMinimumSize(kMinWidth, kMinHeight);
    initImagePosition();
}

LXSlider::LXSlider(const QRectF &frame, QWidget *parent) : LXSlider(parent) {
    LXGeometry::place(this, QRectF(frame.topLeft(), frame.size().expandedTo(QSizeF(kMinWidth, kMinHeight))));
    initImagePosition();
}

void LXSlider::setNSpace(double v) {
    if (v == _nSpace)
        return;
    _nSpace = v;
    initImagePosition();
    update();
}

void LXSlider::initImagePosition() {
    const double H = fullHgt(), W = fullWdt();
    _orgPrgPoint = QPointF(_nSpace, (H - sz(_progressLeftImage).height()) / 2);
    _endPrgPoint = QPointF(W - sz(_progressRightImage).width() - _nSpace, (H - sz(_progressRightImage).height()) / 2);
    _orgSubPrgPoint = QPointF(_nSpace, (H - sz(_subProgressLeftImage).height()) / 2);
    _knobPoint = QPointF(_nSpace, (H - sz(_knobImage).height()) / 2);
}

void LXSlider::resizeEvent(QResizeEvent *) {
    // The bars follow the new size; the knob keeps its place until the position is set again.
    const double kx = _knobPoint.x();
    initImagePosition();
    _knobPoint.setX(kx);
}

void LXSlider::drawPictureAt(QPainter &p, const QPixmap &pic, const QPointF &lowerLeft, double w) const {
    if (pic.isNull())
        return;
    const QSizeF s = sz(pic);
    const QRectF frame(lowerLeft.x(), lowerLeft.y(), w < 0 ? s.width() : w, s.height());
    const QRectF q = LXGeometry::flipRect(frame, height());
    p.save();
    p.setOpacity(opacity());
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawPixmap(q, pic, QRectF(pic.rect()));
    p.restore();
}

void LXSlider::drawBaseBackgroundImage(QPainter &p) {
    const double W = fullWdt();
    const double y = _endPrgPoint.y();
    const double lw = sz(_progressLeftImage).width();
    const double rw = sz(_progressRightImage).width();
    drawPictureAt(p, _progressLeftImage, QPointF(_orgPrgPoint.x(), y));
    const double midStart = _orgPrgPoint.x() + lw;
    const double rightX = W - _nSpace - rw;
    if (rightX > midStart)
        drawPictureAt(p, _progressImage, QPointF(midStart, y), rightX - midStart);
    drawPictureAt(p, _progressRightImage, QPointF(rightX, y));
}

void LXSlider::paintEvent(QPaintEvent *) {
    QPainter p(this);
    drawBaseBackgroundImage(p);
    calculateNewKnobPoint();
    drawSubProgressForeGroundImage(p);
    drawKnob(p);
    LXFocus::drawRing(p, this);
}

void LXSlider::mousePressEvent(QMouseEvent *event) {
    event->accept();
    if (_delegate)
        _delegate->slideBeginDragged(this);
    LXCommon::popupDownMenu();
    if (_slideType == 0)
        return;
    _bKnobPressed = true;
    if (_bEnabled) {
        const QPointF pt = LXGeometry::flipPoint(event->position(), height());
        updateSliderPosition(pt);
        _knobPoint = pt;
        update();
        if (_delegate)
            _delegate->sliderChanged(this);
    }
}

void LXSlider::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (!(event->buttons() & Qt::LeftButton) || !_bEnabled || _slideType == 0)
        return;
    _bMouseDraged = true;
    const QPointF pt = LXGeometry::flipPoint(event->position(), height());
    double x = pt.x();
    if (x > fullWdt() - _nSpace)
        x = fullWdt() - _nSpace;
    if (x < _orgPrgPoint.x())
        x = _orgPrgPoint.x();
    _knobPoint = QPointF(x, pt.y());
    update();
    if (_delegate) {
        updateSliderPosition(_knobPoint);
        _curPosition = std::clamp(_curPosition, 0.0, 1.0);
        _delegate->sliderDragedAtPosition(this, _curPosition);
    }
}

void LXSlider::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (_delegate)
        _delegate->slideEndDragged(this);
    if (_bEnabled && _slideType != 0) {
        _bMouseDraged = false;
        // The knob shows its normal picture again once the press is over.
        _bKnobPressed = false;
        update();
    }
}

void LXSlider::setSlideType(int t) {
    _slideType = t;
    setFocusPolicy(t == 0 ? Qt::NoFocus : Qt::TabFocus);
    update();
}

void LXSlider::moveByUser(double fraction) {
    if (_slideType == 0 || !_bEnabled)
        return;
    if (_delegate)
        _delegate->slideBeginDragged(this);
    setSliderPos(std::clamp(fraction, 0.0, 1.0));
    _curPosition = std::clamp(_curPosition, 0.0, 1.0);
    update();
    if (_delegate) {
        _delegate->sliderChanged(this);
        _delegate->sliderDragedAtPosition(this, _curPosition);
        _delegate->slideEndDragged(this);
    }
}

bool LXSlider::event(QEvent *event) {
    if (_slideType != 0 && LXFocus::claimKeys(event, {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End}))
        return true;
    return QWidget::event(event);
}

void LXSlider::keyPressEvent(QKeyEvent *event) {
    const double now = sliderPos();
    double to = now;
    switch (event->key()) {
    case Qt::Key_Left:
        to = now - 0.05;
        break;
    case Qt::Key_Right:
        to = now + 0.05;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (_slideType == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    moveByUser(to);
}

void LXSlider::focusInEvent(QFocusEvent *event) {
    update();
    QWidget::focusInEvent(event);
}

void LXSlider::focusOutEvent(QFocusEvent *event) {
    update();
    QWidget::focusOutEvent(event);
}

// ------------------------------------------------------------------------------------

LXSliderA::LXSliderA(QWidget *parent) : LXSlider(parent) {}

LXSliderA::LXSliderA(const QRectF &frame, QWidget *parent) : LXSlider(frame, parent) {}

double LXSliderA::drawWidth() const {
    return fullWdt() - 2 * _nSpace - sz(_subProgressLeftImage).width() / 2 - sz(_subProgressRightImage).width() / 2;
}

void LXSliderA::setSliderPos(double f) {
    _knobPoint.setX(sz(_subProgressLeftImage).width() / 2 + _nSpace + drawWidth() * f);
    updateSliderPosition(_knobPoint);
    update();
}

void LXSliderA::updateSliderPosition(const QPointF &p) {
    const double dw = drawWidth();
    _curPosition = dw != 0 ? (p.x() - _orgPrgPoint.x()) / dw : 0.0;
}

void LXSliderA::calculateNewKnobPoint() {
    const double W = fullWdt();
    const double lw = sz(_subProgressLeftImage).width();
    const double rw = sz(_subProgressRightImage).width();
    if (_knobPoint.x() < _nSpace + lw)
        _knobPoint.setX(_nSpace + lw);
    if (_knobPoint.x() > W - _nSpace - rw / 2)
        _knobPoint.setX(W - _nSpace - rw);
    _knobPoint.setY((fullHgt() - sz(_knobImage).height()) / 2);
}

void LXSliderA::drawSubProgressForeGroundImage(QPainter &p) {
    const double W = fullWdt();
    const double lw = sz(_subProgressLeftImage).width();
    const double rw = sz(_subProgressRightImage).width();
    const double y = _orgSubPrgPoint.y();
    drawPictureAt(p, _subProgressLeftImage, QPointF(_orgSubPrgPoint.x(), y));
    double length = std::min(W - 2 * _nSpace - (lw + rw), _knobPoint.x() - _nSpace - lw - 1);
    length = std::max(0.0, length);
    const double start = _orgSubPrgPoint.x() + lw;
    const double mw = sz(_subProgressImage).width();
    if (_bExtentMidSkin || mw <= 0) {
        if (length > 0)
            drawPictureAt(p, _subProgressImage, QPointF(start, y), length);
    } else if (length > 0) {
        // Whole pieces, then the last one cut off at the end of the length.
        const QRectF clip = LXGeometry::flipRect(QRectF(start, 0, length, fullHgt()), height());
        p.save();
        p.setClipRect(clip);
        for (double x = start; x < start + length; x += mw)
            drawPictureAt(p, _subProgressImage, QPointF(x, y));
        p.restore();
    }
    drawPictureAt(p, _subProgressRightImage, QPointF(start + length, y));
}

void LXSliderA::drawKnob(QPainter &p) {
    if (_slideType == 0)
        return;
    const QPixmap &knob = (_bKnobPressed && !_knobPressImage.isNull()) ? _knobPressImage : _knobImage;
    if (knob.isNull())
        return;
    const QSizeF s = sz(knob);
    const QPointF ll(_knobPoint.x() - s.width() / 2, _knobPoint.y() + _yCursorDetal - 1);
    const QRectF q = LXGeometry::flipRect(QRectF(ll, s), height());
    p.save();
    p.setOpacity(opacity());
    p.drawPixmap(q.topLeft(), knob);
    p.restore();
}
