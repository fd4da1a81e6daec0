#include "glazeform/LXButton.h"

#include "glazeform/LXCommon.h"
#include "glazeform/LXFocus.h"
#include "glazeform/LXGeometry.h"
#include "glazeform/LXImage.h"
#include "glazeform/LXStyle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

LXButton::LXButton(QWidget *parent) : QWidget(parent), _textFont(LXStyle::systemFont(11)) {
    // Reached by Tab, not taken by a click: a click on a button leaves the keyboard where it
    // was (the list's arrows, the player's space bar), as the first design's buttons did.
    setFocusPolicy(Qt::TabFocus);
}

LXButton::LXButton(const QRectF &frame, QWidget *parent) : LXButton(parent) { LXGeometry::place(this, frame); }

void LXButton::setImages(const QString &normalName, const QString &pressName, const QString &disableName) {
    _normalImage = LXImage::named(normalName);
    _pressImage = LXImage::named(pressName);
    if (!disableName.isEmpty())
        _disableImage = LXImage::named(disableName);
    update();
}

QPixmap LXButton::currentImage() const {
    if (!_bEnabled)
        return _disableImage.isNull() ? _normalImage : _disableImage;
    return _bPressed ? _pressImage : _normalImage;
}

QRectF LXButton::titleRect(const QSizeF &ts) const {
    const qreal W = width(), H = height();
    qreal x = (W - ts.width()) / 2.0;
    if (_textAlignment == AlignLeft)
        x = 5;
    else if (_textAlignment == AlignRight)
        x = W - 5 - ts.width();
    qreal y = (H - ts.height()) / 2.0 + _yOffSet;
    if (_textAlignment == AlignCenter)
        y += 2;
    return QRectF(x, y, ts.width(), ts.height());
}

void LXButton::drawCenterImage(QPainter &p, const QPixmap &image) {
    LXImage::drawCenterAtFrame(p, image, QRectF(rect()), _bEnabled ? 1.0 : 0.6);
}

void LXButton::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    drawCenterImage(p, currentImage());
    LXFocus::drawRing(p, this);
    if (_textTitle.isEmpty())
        return;
    QColor color = _textNormalColor;
    if (!_bEnabled)
        color = _textDisableColor.value_or(_textNormalColor);
    else if (_bPressed)
        color = _textPressColor;
    QColor shadow;
    if (_bShadowText && _bEnabled)
        shadow = _textShadowColor.value_or(QColor(Qt::black));
    const QSizeF ts = LXStyle::textSize(_textFont, _textTitle);
    const QRectF r = LXGeometry::flipRect(titleRect(ts), height());
    LXStyle::drawText(p, r.topLeft(), _textTitle, _textFont, color, shadow);
}

void LXButton::mousePressEvent(QMouseEvent *event) {
    event->accept();
    LXCommon::popupDownMenu();
    _mousePoint = LXGeometry::flipPoint(event->position(), height());
    if (!_bEnabled)
        return;
    _bPressed = true;
    update();
    if (_delegate)
        _delegate->buttonDown(this);
}

void LXButton::mouseMoveEvent(QMouseEvent *event) { event->accept(); }

void LXButton::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (!_bEnabled)
        return;
    if (rect().contains(event->position().toPoint())) {
        _bCanceled = false;
        _bPressed = false;
        update();
        if (_delegate) {
            // The first report may close the window holding this button.
            QPointer<LXButton> self(this);
            _delegate->buttonUpWithEvent(this, event);
            if (self && _delegate)
                _delegate->buttonUp(this);
        }
    } else {
        _bCanceled = true;
        _bPressed = false;
        if (_delegate)
            _delegate->pressCanceled(this);
        update();
    }
}

void LXButton::performClick() {
    if (!_bEnabled)
        return;
    LXCommon::popupDownMenu();
    // Any report may close the window holding this button.
    QPointer<LXButton> self(this);
    if (_delegate)
        _delegate->buttonDown(this);
    if (!self)
        return;
    _bCanceled = false;
    _bPressed = false;
    update();
    if (_delegate) {
        _delegate->buttonUpWithEvent(this, nullptr);
        if (self && _delegate)
            _delegate->buttonUp(this);
    }
}

QString LXButton::shownToolTip() const {
    if (_keyHint.isEmpty() || toolTip().isEmpty())
        return toolTip();
    return tr("%1 (%2)").arg(toolTip(), _keyHint.toString(QKeySequence::NativeText));
}

bool LXButton::event(QEvent *event) {
    if (LXFocus::claimKeys(event, {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}))
        return true;
    if (event->type() == QEvent::ToolTip && !_keyHint.isEmpty() && !toolTip().isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), shownToolTip(), this);
        return true;
    }
    return QWidget::event(event);
}

void LXButton::keyPressEvent(QKeyEvent *event) {
    if (LXFocus::isActivationKey(event)) {
        event->accept();
        if (!event->isAutoRepeat())
            performClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LXButton::focusInEvent(QFocusEvent *event) {
    update();
    QWidget::focusInEvent(event);
}

void LXButton::focusOutEvent(QFocusEvent *event) {
    update();
    QWidget::focusOutEvent(event);
}
