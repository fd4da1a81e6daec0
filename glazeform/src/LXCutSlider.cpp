#include "glazeform/LXCutSlider.h"

#include "glazeform/LXCommon.h"
#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
QSizeF sizeOr(const QPixmap &p, QSizeF fallback) { return p.isNull() ? fallback : LXImage::pointSize(p); }

// Half-open containment, as the layout's rectangles are meant: the far edges belong to the
// neighbour.
bool inRect(const QPointF &p, const QRectF &r) {
    return p.x() >= r.x() && p.x() < r.x() + r.width() && p.y() >= r.y() && p.y() < r.y() + r.height();
}

QRectF grow(const QRectF &r, double dx, double dy) { return r.adjusted(-dx, -dy, dx, dy); }
} // namespace

LXCutSlider::LXCutSlider(QWidget *parent) : QWidget(parent) {
    resize(width(), int(kCreatedHeight));
    initRects();
}

LXCutSlider::LXCutSlider(const QRectF &frame, QWidget *parent) : QWidget(parent) {
    LXGeometry::place(this, QRectF(frame.x(), frame.y(), frame.width(), kCreatedHeight));
    initRects();
}

double LXCutSlider::handleWidth() const {
    return _leftCutNormal.isNull() ? 8.0 : LXImage::pointSize(_leftCutNormal).width();
}

double LXCutSlider::minGap() const { return _totalTime > 0 ? minTimeInterval() / _totalTime * barWidth() : 0.0; }

double LXCutSlider::leftCutFraction() const {
    return barWidth() > 0 ? (_leftCutRt.x() - (kMargin - _leftCutRt.width())) / barWidth() : 0.0;
}

double LXCutSlider::rightCutFraction() const { return barWidth() > 0 ? (_rightCutRt.x() - kMargin) / barWidth() : 0.0; }

double LXCutSlider::cursorFraction() const {
    return barWidth() > 0 ? (_cursorRt.x() + _cursorRt.width() / 2 - kMargin) / barWidth() : 0.0;
}

void LXCutSlider::setCutDeltaY(int d) {
    _cutDeltaY = d;
    _leftCutRt.translate(0, d);
    _rightCutRt.translate(0, d);
    update();
}

void LXCutSlider::setPosDeltaY(int d) {
    _posDeltaY = d;
    _cursorRt.translate(0, d);
    update();
}

void LXCutSlider::initRects() {
    const double W = width();
    const double lw = handleWidth();
    _dragType = DragNone;
    _slideRt = QRectF(kMargin, kBarBottom, W - 2 * kMargin, sizeOr(_prgMidBg, {2, 10}).height());
    _cursorRt = QRectF(16, _posDeltaY + 25, 8, 6);
    _leftCutRt = QRectF(kMargin - lw, _cutDeltaY + 10, lw, 8);
    _rightCutRt = QRectF(W - kMargin, _leftCutRt.y(), lw, 8);
    if (_totalTime > 0) {
        const double L0 = _leftCutRt.x();
        _leftCutRt.moveLeft(L0 + std::trunc(std::trunc(_rightCutRt.x() - L0) * _leftCutTime / _totalTime));
        _rightCutRt.moveLeft(_leftCutRt.x() + lw + (_rightCutTime - _leftCutTime) / _totalTime * barWidth());
    }
    _bLongTimeDesc = true;
    _bCursorPressed = _bLeftCutPressed = _bRightCutPressed = false;
    update();
}

void LXCutSlider::initTotalTimeValue(double total) {
    _leftCutTime = _currentTime = 0;
    _totalTime = _rightCutTime = total;
    initRects();
}

void LXCutSlider::initTotalTimeValueStartCutEndCutTotalTime(double current, double start, double end, double total) {
    _currentTime = current;
    _leftCutTime = start;
    _rightCutTime = end;
    _totalTime = total;
    initRects();
}

void LXCutSlider::setCurrentTime(double seconds) {
    _currentTime = seconds;
    currentTimeToCurrentPosition();
}

void LXCutSlider::playingCurTime(double, double seconds) { setCurrentTime(seconds); }

void LXCutSlider::currentTimeToCurrentPosition() {
    const double f = _totalTime > 0 ? _currentTime / _totalTime : 0.0;
    _cursorRt.moveLeft((std::trunc(f * barWidth()) + kMargin) - _cursorRt.width() / 2);
    update();
}

void LXCutSlider::setLeftTime(double seconds) {
    _leftCutTime = seconds;
    leftCutToCurrentPosition();
}

void LXCutSlider::setRightTime(double seconds) {
    _rightCutTime = seconds;
    rightCutToCurrentPosition();
}

void LXCutSlider::leftCutToCurrentPosition() {
    if (_currentTime > _rightCutTime - minTimeInterval()) {
        _leftCutTime = _rightCutTime - minTimeInterval();
        _leftCutRt.moveLeft(_rightCutRt.x() - _leftCutRt.width() - minGap());
        // A file shorter than the minimum range keeps its whole length.
        if (_leftCutTime < 0) {
            _leftCutTime = 0;
            _leftCutRt.moveLeft(kMargin - _leftCutRt.width());
        }
    } else {
        _leftCutTime = _currentTime;
        _leftCutRt.moveLeft(_cursorRt.x() - _cursorRt.width() / 2);
    }
    update();
}

void LXCutSlider::rightCutToCurrentPosition() {
    if (_leftCutTime + minTimeInterval() > _currentTime) {
        _rightCutTime = _leftCutTime + minTimeInterval();
        _rightCutRt.moveLeft(_leftCutRt.x() + _leftCutRt.width() + minGap());
        if (_rightCutTime > _totalTime) {
            _rightCutTime = _totalTime;
            _rightCutRt.moveLeft(kMargin + barWidth());
        }
    } else {
        _rightCutTime = _currentTime;
        _rightCutRt.moveLeft(_cursorRt.x() + _cursorRt.width() / 2);
    }
    update();
}

QString LXCutSlider::drawTimeDescStr(double seconds) { return LXCommon::drawTimeDescStr(seconds); }

void LXCutSlider::drawCurAndTotalTimeDesc() {
    _timeValueRt = QRectF(_slideRt.x() + barWidth() + 5, _slideRt.y(), 75, _slideRt.height());
    const QString current = drawTimeDescStr(_currentTime);
    const QString text = _bLongTimeDesc ? QStringLiteral("%1/%2").arg(current, drawTimeDescStr(_totalTime)) : current;
    if (_delegate)
        _delegate->drawTimeString(text);
}

void LXCutSlider::updateShowLongTimeDescFlag() {
    _bLongTimeDesc = !_bLongTimeDesc;
    drawCurAndTotalTimeDesc();
}

bool LXCutSlider::becomeFirstResponder() {
    setMouseTracking(true);
    // Tab reaches it too: its handles are the keyboard's there.
    if (focusPolicy() == Qt::NoFocus || focusPolicy() == Qt::ClickFocus)
        setFocusPolicy(Qt::StrongFocus);
    setFocus();
    return true;
}

// ---------------------------------------------------------------------------------------
// Pointer

int LXCutSlider::hitTest(const QPointF &p) const {
    if (inRect(p, grow(_cursorRt, 5, 5)))
        return DragCursor;
    if (inRect(p, grow(_leftCutRt, 5, 5)))
        return DragLeftCut;
    if (inRect(p, grow(_rightCutRt, 5, 5)))
        return DragRightCut;
    if (inRect(p, _slideRt))
        return DragBar;
    return DragNone;
}

void LXCutSlider::mouseMoved(QMouseEvent *event, const QPointF &p) {
    _dragType = hitTest(p);
    if (_delegate) {
        if (_dragType == DragLeftCut)
            _delegate->leftCutUpArea(event);
        else if (_dragType == DragRightCut)
            _delegate->rightCutUpArea(event);
        else if (_dragType == DragNone && !inRect(p, grow(_leftCutRt, 50, 35)) && !inRect(p, grow(_rightCutRt, 50, 35)))
            _delegate->noneCutUpArea(event);
    }
    setCursor(_dragType != DragNone ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void LXCutSlider::seekToPoint(double px) {
    const double w = _cursorRt.width();
    _bCursorPressed = true;
    _cursorRt.moveLeft(px - w / 2);
    if (_cursorRt.x() + w / 2 > barWidth() + kMargin)
        _cursorRt.moveLeft(barWidth() + kMargin - w / 2);
    if (_cursorRt.x() < kMargin)
        _cursorRt.moveLeft(kMargin - w / 2);
    update();
    const double f = cursorFraction();
    if (_delegate)
        _delegate->cursorPositionChanging(f);
    _currentTime = f * _totalTime;
}

void LXCutSlider::mousePressEvent(QMouseEvent *event) {
    event->accept();
    const QPointF p = LXGeometry::flipPoint(event->position(), height());
    // A press acts on what is under the pointer even when no movement told us before.
    _dragType = hitTest(p);
    if (!_delegate)
        return;
    _delegate->beginDragged();
    switch (_dragType) {
    case DragCursor:
        _bCursorPressed = true;
        break;
    case DragLeftCut:
        _bLeftCutPressed = true;
        break;
    case DragRightCut:
        _bRightCutPressed = true;
        break;
    case DragBar:
        seekToPoint(p.x());
        break;
    default:
        break;
    }
    update();
}

void LXCutSlider::mouseDragged(const QPointF &p) {
    if (_dragType == DragNone || _dragType == DragBar)
        return;
    if (!_delegate || !_delegate->avalibleToDragCut())
        return;
    const double lw = _leftCutRt.width();
    const double G = minGap();
    if (_dragType == DragCursor) {
        seekToPoint(p.x());
    } else if (_dragType == DragLeftCut) {
        _bLeftCutPressed = true;
        double x = p.x();
        if (x < kMargin - lw)
            x = kMargin - lw;
        if (x > _rightCutRt.x() - lw - G)
            x = _rightCutRt.x() - lw - G;
        // Only a file shorter than the minimum range can push the handle off the bar.
        x = std::max(x, kMargin - lw);
        _leftCutRt.moveLeft(x);
        const double f = leftCutFraction();
        _leftCutTime = f * _totalTime;
        update();
        _delegate->leftCutPosition(f);
    } else if (_dragType == DragRightCut) {
        _bRightCutPressed = true;
        double x = p.x() - _rightCutRt.width() / 2;
        if (x > barWidth() + kMargin)
            x = barWidth() + kMargin;
        if (x < _leftCutRt.x() + lw + G)
            x = _leftCutRt.x() + lw + G;
        x = std::min(x, barWidth() + kMargin);
        _rightCutRt.moveLeft(x);
        const double f = rightCutFraction();
        _rightCutTime = f * _totalTime;
        update();
        _delegate->rightCutPosition(f);
    }
}

void LXCutSlider::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    const QPointF p = LXGeometry::flipPoint(event->position(), height());
    if (event->buttons() & Qt::LeftButton)
        mouseDragged(p);
    else
        mouseMoved(event, p);
}

void LXCutSlider::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (!_delegate)
        return;
    _delegate->endDragged();
    if (_dragType == DragRightCut) {
        _bRightCutPressed = false;
        _delegate->rightCutted(rightCutFraction());
    } else if (_dragType == DragLeftCut) {
        _bLeftCutPressed = false;
        _delegate->leftCutted(leftCutFraction());
    }
    // A seek by a press on the bar also shows the pressed cursor; it ends with the press.
    if (_dragType == DragCursor || _dragType == DragBar)
        _bCursorPressed = false;
    update();
}

void LXCutSlider::moveCutByUser(bool left, double seconds) {
    if (!_delegate || !_delegate->avalibleToDragCut() || _totalTime <= 0 || barWidth() <= 0)
        return;
    const double dx = seconds / _totalTime * barWidth();
    _delegate->beginDragged();
    _dragType = left ? DragLeftCut : DragRightCut;
    if (left)
        mouseDragged(QPointF(_leftCutRt.x() + dx, 0));
    else
        mouseDragged(QPointF(_rightCutRt.x() + _rightCutRt.width() / 2 + dx, 0));
    _delegate->endDragged();
    if (left) {
        _bLeftCutPressed = false;
        _delegate->leftCutted(leftCutFraction());
    } else {
        _bRightCutPressed = false;
        _delegate->rightCutted(rightCutFraction());
    }
    _dragType = DragNone;
    update();
}

bool LXCutSlider::event(QEvent *event) {
    if (_keyHandle != DragNone && LXFocus::claimKeys(event, {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End}))
        return true;
    if (_keyHandle != DragNone && event->type() == QEvent::ShortcutOverride) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->modifiers() == Qt::ShiftModifier && (k->key() == Qt::Key_Left || k->key() == Qt::Key_Right)) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void LXCutSlider::keyPressEvent(QKeyEvent *event) {
    if (_keyHandle == DragNone) {
        QWidget::keyPressEvent(event);
        return;
    }
    const bool left = _keyHandle == DragLeftCut;
    const double step = event->modifiers() & Qt::ShiftModifier ? 0.05 : 1.0;
    switch (event->key()) {
    case Qt::Key_Left:
        moveCutByUser(left, -step);
        break;
    case Qt::Key_Right:
        moveCutByUser(left, step);
        break;
    case Qt::Key_Home:
        moveCutByUser(left, -_totalTime);
        break;
    case Qt::Key_End:
        moveCutByUser(left, _totalTime);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LXCutSlider::focusInEvent(QFocusEvent *event) {
    _keyHandle = event->reason() == Qt::TabFocusReason       ? DragLeftCut
                 : event->reason() == Qt::BacktabFocusReason ? DragRightCut
                                                             : DragNone;
    update();
    QWidget::focusInEvent(event);
}

void LXCutSlider::focusOutEvent(QFocusEvent *event) {
    // A window that goes inactive keeps its focus: the handle stays the keyboard's.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        _keyHandle = DragNone;
    update();
    QWidget::focusOutEvent(event);
}

bool LXCutSlider::focusNextPrevChild(bool next) {
    if (_keyHandle == DragLeftCut && next) {
        _keyHandle = DragRightCut;
        update();
        return true;
    }
    if (_keyHandle == DragRightCut && !next) {
        _keyHandle = DragLeftCut;
        update();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

// ---------------------------------------------------------------------------------------
// Drawing

void LXCutSlider::drawAt(QPainter &p, const QPixmap &pic, const QRectF &lowerLeft) const {
    p.drawPixmap(LXGeometry::flipRect(lowerLeft, height()), pic, QRectF(pic.rect()));
}

void LXCutSlider::drawBar(QPainter &p, const QPixmap &start, const QPixmap &mid, const QPixmap &end, double y,
                          bool selected) {
    const double h = selected ? 6 : 10;
    const QColor fill = selected ? QColor(Qt::blue) : QColor(Qt::black);
    const QSizeF ss = sizeOr(start, {1, h}), ms = sizeOr(mid, {2, h}), es = sizeOr(end, {1, h});
    auto piece = [&](const QPixmap &pic, const QRectF &r) {
        if (pic.isNull())
            p.fillRect(LXGeometry::flipRect(QRectF(r.x(), r.y(), 8, 8), height()), fill);
        else
            drawAt(p, pic, r);
    };
    const double lw = _leftCutNormal.isNull() ? 1.0 : LXImage::pointSize(_leftCutNormal).width();
    double startX, midX;
    float span;
    if (!selected) {
        startX = _slideRt.x();
        midX = _slideRt.x() + ss.width();
        span = float(barWidth() - ss.width() - es.width() + 2);
    } else {
        startX = _leftCutRt.x() + lw;
        midX = std::trunc(_leftCutRt.x() + lw + ss.width());
        span = float(std::trunc(_rightCutRt.x() - _leftCutRt.x() - lw - ss.width() - es.width() + 1));
    }
    piece(start, QRectF(startX, y, ss.width(), ss.height()));
    const int mw = int(ms.width());
    long n = mw > 0 ? long(span / float(mw)) : 0;
    const long rem = mw > 0 ? long(span) % mw : 0;
    if (mid.isNull())
        n -= 3;
    double x = midX;
    if (span > 0) {
        for (long i = 0; i < n; ++i, x += mw)
            piece(mid, QRectF(x, y, mw, ms.height()));
        if (rem > 0 && !mid.isNull()) {
            drawAt(p, mid, QRectF(x, y, double(rem), ms.height()));
            x += double(rem);
        }
    }
    if (mid.isNull())
        return;
    const double endX = selected ? std::max(_leftCutRt.x(), x) : _slideRt.x() + barWidth() - es.width() + 2;
    piece(end, QRectF(endX, y, es.width(), es.height()));
}

void LXCutSlider::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    drawBar(p, _prgStartBg, _prgMidBg, _prgEndBg, _slideRt.y() + _slideBgDeltaY, false);

    const QPixmap &cursor = (_bCursorPressed && !_cursorPress.isNull()) ? _cursorPress : _cursorNormal;
    if (!cursor.isNull()) {
        LXImage::drawCenterAtFrame(p, cursor, LXGeometry::flipRect(_cursorRt, height()));
    } else {
        const QRectF r = _cursorRt;
        QPainterPath tri;
        tri.moveTo(LXGeometry::flipPoint({r.x(), r.y() + r.height()}, height()));
        tri.lineTo(LXGeometry::flipPoint({r.x() + r.width(), r.y() + r.height()}, height()));
        tri.lineTo(LXGeometry::flipPoint({r.x() + r.width() / 2, r.y()}, height()));
        tri.closeSubpath();
        p.fillPath(tri, Qt::green);
    }

    drawBar(p, _prgStartFg, _prgMidFg, _prgEndFg, _slideRt.y() + _slideFgDeltaY, true);

    auto handle = [&](const QPixmap &normal, const QPixmap &pressed, bool isPressed, const QRectF &r, bool left) {
        const QPixmap &pic = (isPressed && !pressed.isNull()) ? pressed : normal;
        if (!pic.isNull()) {
            LXImage::drawCenterAtFrame(p, pic, LXGeometry::flipRect(r, height()));
            return;
        }
        QPainterPath tri;
        tri.moveTo(LXGeometry::flipPoint({r.x(), r.y()}, height()));
        tri.lineTo(LXGeometry::flipPoint({r.x(), r.y() + 8}, height()));
        tri.lineTo(LXGeometry::flipPoint(left ? QPointF(r.x() + 8, r.y() + 8) : QPointF(r.x() + 8, r.y()), height()));
        tri.closeSubpath();
        p.fillPath(tri, Qt::green);
    };
    handle(_leftCutNormal, _leftCutPress, _bLeftCutPressed, _leftCutRt, true);
    handle(_rightCutNormal, _rightCutPress, _bRightCutPressed, _rightCutRt, false);
    // The ring goes round the handle the keyboard moves.
    if (_keyHandle == DragLeftCut || _keyHandle == DragRightCut) {
        const QRectF r = LXGeometry::flipRect(_keyHandle == DragLeftCut ? _leftCutRt : _rightCutRt, height());
        LXFocus::drawRing(p, this, r.adjusted(-3, -3, 3, 3), 3);
    }
}
