#include "glazeform/LXPopupButtonCell.h"

#include "glazeform/LXImage.h"
#include "glazeform/LXStyle.h"

#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

LXPopupButtonCell::LXPopupButtonCell(QWidget *parent) : QComboBox(parent) {}

void LXPopupButtonCell::paintEvent(QPaintEvent *event) {
    if (_popupNormalImage.isNull() && !_titleColor) {
        QComboBox::paintEvent(event);
        return;
    }
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    if (!_popupNormalImage.isNull())
        LXImage::drawAtViewFrame(p, _popupNormalImage, QRectF(rect()));
    else
        p.drawComplexControl(QStyle::CC_ComboBox, opt);
    if (!_titleColor) {
        p.drawControl(QStyle::CE_ComboBoxLabel, opt);
        return;
    }
    const QRect textRect = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    const QString text = fontMetrics().elidedText(currentText(), Qt::ElideRight, textRect.width());
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(textRect.translated(0, 1), Qt::AlignVCenter | Qt::AlignLeft, text);
    p.setPen(*_titleColor);
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
}
