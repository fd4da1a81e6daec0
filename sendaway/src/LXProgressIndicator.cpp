#include "sendaway/LXProgressIndicator.h"

#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>

#include <QPainter>
#include <cmath>

namespace {
// Left cap, stretched middle, right cap across `frame` (Qt coordinates).
void drawTrack(QPainter &p, const QPixmap (&pieces)[3], const QRectF &frame) {
    const qreal leftW = LXImage::pointSize(pieces[0]).width();
    const qreal rightW = LXImage::pointSize(pieces[2]).width();
    const qreal h = frame.height();
    p.drawPixmap(QRectF(frame.left(), frame.top(), leftW, h), pieces[0], QRectF(pieces[0].rect()));
    const qreal midW = frame.width() - leftW - rightW;
    if (midW > 0)
        p.drawPixmap(QRectF(frame.left() + leftW, frame.top(), midW, h), pieces[1], QRectF(pieces[1].rect()));
    p.drawPixmap(QRectF(frame.right() - rightW, frame.top(), rightW, h), pieces[2], QRectF(pieces[2].rect()));
}
} // namespace

LXProgressIndicator::LXProgressIndicator(QWidget *parent) : QWidget(parent) {
    const char *bg[3] = {"ExportPrgBgLeft.png", "ExportPrgBgMid.png", "ExportPrgBgRight.png"};
    const char *fg[3] = {"ExportPrgFgLeft.png", "ExportPrgFgMid.png", "ExportPrgFgRight.png"};
    for (int i = 0; i < 3; ++i) {
        _bg[i] = LXImage::named(QString::fromLatin1(bg[i]));
        _fg[i] = LXImage::named(QString::fromLatin1(fg[i]));
    }
    setAttribute(Qt::WA_TranslucentBackground);
}

LXProgressIndicator::LXProgressIndicator(const QRectF &frame, QWidget *parent) : LXProgressIndicator(parent) {
    LXGeometry::place(this, frame);
}

void LXProgressIndicator::setMinValue(double v) {
    _minValue = v;
    setDoubleValue(_value);
}

void LXProgressIndicator::setMaxValue(double v) {
    _maxValue = v;
    setDoubleValue(_value);
}

void LXProgressIndicator::setDoubleValue(double v) {
    if (std::isnan(v))
        v = _minValue;
    const double clamped = std::clamp(v, std::min(_minValue, _maxValue), std::max(_minValue, _maxValue));
    if (clamped == _value)
        return;
    _value = clamped;
    update();
}

double LXProgressIndicator::fraction() const {
    const double span = _maxValue - _minValue;
    return span > 0 ? (_value - _minValue) / span : 0.0;
}

void LXProgressIndicator::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const qreal h = LXImage::pointSize(_bg[1]).height() > 0 ? LXImage::pointSize(_bg[1]).height() : height();
    const QRectF track(0, (height() - h) / 2.0, width(), h);
    drawTrack(p, _bg, track);
    const qreal filled = track.width() * fraction();
    if (filled <= 0)
        return;
    // A short fill keeps both rounded ends: the whole filled track is drawn at its smallest
    // length and clipped to the filled part.
    const qreal minLength = LXImage::pointSize(_fg[0]).width() + LXImage::pointSize(_fg[2]).width();
    const QRectF fill(track.left(), track.top(), std::max(filled, minLength), h);
    p.save();
    p.setClipRect(QRectF(track.left(), track.top(), filled, h));
    drawTrack(p, _fg, fill);
    p.restore();
}
