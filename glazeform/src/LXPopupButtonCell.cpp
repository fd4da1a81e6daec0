#include "glazeform/LXPopupButtonCell.h"

#include "glazeform/LXImage.h"
#include "glazeform/LXStyle.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <QStyleOptionComboBox>
#include <QStylePainter>

LXPopupButtonCell::LXPopupButtonCell(QWidget *parent) : QComboBox(parent) {}

int LXPopupButtonCell::listWidthForEntries() const {
    const QFontMetrics fm(view()->font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(itemText(i)));
    // The entries' own margins, the frame and a scroll bar should the list need one.
    return widest + 32 + view()->verticalScrollBar()->sizeHint().width();
}

int LXPopupButtonCell::faceWidthForEntries() const {
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)));
    return widest + 36; // the text's inset and the arrow's room
}

void LXPopupButtonCell::showPopup() {
    // Track names ("French – VORBIS, 48000 Hz, stereo") are longer than the button is wide:
    // the list opens as wide as its longest entry (never narrower than the button), and
    // the desktop keeps it on the screen. On a screen too narrow for that, entries end in "…".
    view()->setTextElideMode(Qt::ElideRight);
    view()->setMinimumWidth(std::max(width(), listWidthForEntries()));
    QComboBox::showPopup();
}

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
