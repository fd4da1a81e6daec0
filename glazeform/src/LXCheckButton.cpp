#include "glazeform/LXCheckButton.h"

#include "glazeform/LXCommon.h"
#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"
#include "glazeform/LXStyle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

LXCheckButton::LXCheckButton(QWidget *parent) : QWidget(parent) { setFocusPolicy(Qt::TabFocus); }

LXCheckButton::LXCheckButton(const QRectF &frame, QWidget *parent) : LXCheckButton(parent) {
    LXGeometry::place(this, frame);
}

void LXCheckButton::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPixmap &pic = _bChecked ? _checkedImage : _normalImage;
    const qreal alpha = _bEnabled ? 1.0 : 0.6;
    QRectF picRect;
    if (pic.isNull()) {
        // Placeholder for a missing picture: a red field, ticked when checked.
        p.fillRect(rect(), Qt::red);
        if (_bChecked) {
            QPainterPath tick;
            const qreal h = height();
            tick.moveTo(4, h * 0.5);
            tick.lineTo(8, h * 0.5 + 4);
            tick.lineTo(16, h * 0.5 - 5);
            p.setPen(QPen(Qt::white, 2));
            p.drawPath(tick);
        }
        LXFocus::drawRing(p, this);
        return;
    }
    const QSizeF ps = LXImage::pointSize(pic);
    const qreal y = (height() - ps.height()) / 2;
    const qreal x = _textTitleType == 1 ? 2 : width() - 2 - ps.width();
    picRect = QRectF(QPointF(x, y), ps);
    LXImage::drawCenterAtFrame(p, pic, picRect, alpha);
    LXFocus::drawRing(p, this);
    if (_textTitle.isEmpty())
        return;
    const QFont font = _textFont.value_or(LXStyle::namedFont("Helvetica Neue", 13));
    QColor color = _textColor.value_or(LXStyle::grey(0.7411764705882353));
    color.setAlphaF(color.alphaF() * float(alpha));
    const QColor shadow = _textShadowColor.value_or(QColor::fromRgbF(0, 0, 0, 0.75f));
    const QSizeF ts = LXStyle::textSize(font, _textTitle);
    const qreal tx = _textTitleType == 1 ? picRect.right() + 6 : picRect.left() - 6 - ts.width();
    LXStyle::drawText(p, QPointF(tx, (height() - ts.height()) / 2), _textTitle, font, color, shadow);
}

void LXCheckButton::mousePressEvent(QMouseEvent *event) {
    event->accept();
    LXCommon::popupDownMenu();
    if (_bEnabled && _delegate)
        _delegate->willClickButton(this);
}

void LXCheckButton::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (!_bEnabled)
        return;
    // The state flips wherever the pointer is released.
    _bChecked = !_bChecked;
    if (_delegate)
        _delegate->clickedButtonChecked(this, _bChecked);
    update();
}

void LXCheckButton::performClick() {
    if (!_bEnabled)
        return;
    LXCommon::popupDownMenu();
    if (_delegate)
        _delegate->willClickButton(this);
    _bChecked = !_bChecked;
    if (_delegate)
        _delegate->clickedButtonChecked(this, _bChecked);
    update();
}

bool LXCheckButton::event(QEvent *event) {
    if (LXFocus::claimKeys(event, {Qt::Key_Space}))
        return true;
    return QWidget::event(event);
}

void LXCheckButton::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Space && LXFocus::isActivationKey(event)) {
        event->accept();
        if (!event->isAutoRepeat())
            performClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LXCheckButton::focusInEvent(QFocusEvent *event) {
    update();
    QWidget::focusInEvent(event);
}

void LXCheckButton::focusOutEvent(QFocusEvent *event) {
    update();
    QWidget::focusOutEvent(event);
}
