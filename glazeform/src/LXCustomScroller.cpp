#include "glazeform/LXCustomScroller.h"

#include "glazeform/LXImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

LXCustomScroller::LXCustomScroller(Qt::Orientation orientation, QWidget *parent) : QScrollBar(orientation, parent) {}

QRectF LXCustomScroller::knobRect() const {
    const bool vertical = isVerticalScroller();
    const double length = vertical ? height() : width();
    const double range = double(maximum()) - double(minimum());
    const double page = std::max(1, pageStep());
    double knob = range > 0 ? length * page / (range + page) : length;
    knob = std::clamp(knob, std::min<double>(kMinKnobLength, length), length);
    const double start = range > 0 ? (double(value()) - minimum()) / range * (length - knob) : 0.0;
    return vertical ? QRectF(0, start, width(), knob) : QRectF(start, 0, knob, height());
}

double LXCustomScroller::valueAt(double knobStart) const {
    const QRectF k = knobRect();
    const double length = isVerticalScroller() ? height() : width();
    const double travel = length - (isVerticalScroller() ? k.height() : k.width());
    if (travel <= 0)
        return minimum();
    return minimum() + std::clamp(knobStart / travel, 0.0, 1.0) * (double(maximum()) - minimum());
}

void LXCustomScroller::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const bool vertical = isVerticalScroller();
    const QRectF all(rect());
    if (vertical)
        LXImage::drawConstWidthAtFrame(p, _bgVer, all);
    else
        LXImage::drawConstHeightAtFrame(p, _bgHor, all);
    if (maximum() <= minimum())
        return;
    const QRectF knob = knobRect().translated(vertical ? _xDetal : 0, vertical ? 0 : _yDetal);
    if (vertical)
        LXImage::drawConstWidthAtFrame(p, _fgVer, knob);
    else
        LXImage::drawConstHeightAtFrame(p, _fgHor, knob);
    const QPixmap &top = vertical ? _fgVerTop : _fgHorTop;
    if (!top.isNull()) {
        const QSizeF s = LXImage::pointSize(top);
        const QPointF at(std::trunc(knob.x() + (knob.width() - s.width()) / 2),
                         std::trunc(knob.y() + (knob.height() - s.height()) / 2));
        p.drawPixmap(at, top);
    }
}

void LXCustomScroller::mousePressEvent(QMouseEvent *event) {
    event->accept();
    const QRectF k = knobRect();
    const bool vertical = isVerticalScroller();
    const double pos = vertical ? event->position().y() : event->position().x();
    const double kStart = vertical ? k.top() : k.left();
    const double kEnd = vertical ? k.bottom() : k.right();
    if (pos >= kStart && pos <= kEnd) {
        _dragging = true;
        _grabOffset = pos - kStart;
        setSliderDown(true);
    } else {
        triggerAction(pos < kStart ? SliderPageStepSub : SliderPageStepAdd);
    }
}

void LXCustomScroller::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (!_dragging)
        return;
    const double pos = isVerticalScroller() ? event->position().y() : event->position().x();
    setSliderPosition(int(std::lround(valueAt(pos - _grabOffset))));
}

void LXCustomScroller::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (_dragging) {
        _dragging = false;
        setSliderDown(false);
    }
}
