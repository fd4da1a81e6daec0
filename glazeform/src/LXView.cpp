#include "glazeform/LXView.h"

#include "glazeform/LXCommon.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

LXView::LXView(QWidget *parent) : QWidget(parent) {}

LXView::LXView(const QRectF &frame, QWidget *parent) : QWidget(parent) { LXGeometry::place(this, frame); }

LXView::~LXView() = default;

void LXView::setBackGroundImage(const QPixmap &image) {
    _backGroundImage = image;
    update();
}

void LXView::setBackGroundColor(const QColor &color) {
    _backGroundColor = color;
    update();
}

void LXView::setBDrawBackground(bool on) {
    _bDrawBackground = on;
    update();
}

bool LXView::becomeFirstResponder() {
    setMouseTracking(true);
    setFocusPolicy(focusPolicy() == Qt::NoFocus ? Qt::ClickFocus : focusPolicy());
    setFocus();
    return true;
}

bool LXView::resignFirstResponder() {
    setMouseTracking(false);
    return true;
}

double LXView::wheelDeltaY(const QWheelEvent *event) { return event->angleDelta().y() / 120.0; }

void LXView::paintEvent(QPaintEvent *event) {
    QPainter p(this);
    if (!_backGroundImage.isNull())
        LXImage::drawAtViewFrame(p, _backGroundImage, QRectF(rect()));
    else if (_bDrawBackground)
        p.fillRect(event->rect(), backGroundColor());
    drawContent(p, event->rect());
}

void LXView::drawContent(QPainter &, const QRect &) {}

void LXView::mousePressEvent(QMouseEvent *event) {
    if (_bEnabled) {
        LXCommon::popupDownMenu();
        if (_delegate && window())
            _delegate->clickView(this);
    }
    // Like any view, the press goes on to the enclosing view (a floating window is dragged
    // by its background, a strip sees presses on its cells).
    event->ignore();
}

void LXView::mouseMoveEvent(QMouseEvent *event) {
    if (_delegate)
        _delegate->pointInRect(mapTo(window(), event->position()));
    // The press went on to the enclosing view, so its drag and release do too: Qt sends
    // them to the widget under the press, which is this one.
    event->ignore();
}

void LXView::mouseReleaseEvent(QMouseEvent *event) { event->ignore(); }

void LXView::wheelEvent(QWheelEvent *event) {
    if (_bUseScrollWheel && _delegate) {
        event->accept();
        _delegate->onScrollWheel(event);
        return;
    }
    event->ignore();
}
