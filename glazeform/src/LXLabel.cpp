#include "glazeform/LXLabel.h"

#include "glazeform/LXGeometry.h"
#include "glazeform/LXStyle.h"

#include <QPainter>
#include <cmath>

LXLabel::LXLabel(QWidget *parent) : LXView(parent), _textFont(LXStyle::systemFont(13)) {}

LXLabel::LXLabel(const QRectF &frame, QWidget *parent) : LXLabel(parent) { LXGeometry::place(this, frame); }

void LXLabel::setTextTitle(const QString &text) {
    _textTitle = text;
    update();
}

QString LXLabel::displayedText() const {
    if (!_bUseDot || _textTitle.isEmpty())
        return _textTitle;
    const double W = width();
    const double tw = LXStyle::textSize(_textFont, _textTitle).width();
    if (tw <= 0 || W > std::round(tw) + 13)
        return _textTitle;
    const long keep = std::lround(std::trunc(double(_textTitle.size()) * W / tw - 6.0));
    return _textTitle.left(int(std::max(0L, keep))) + QStringLiteral("...");
}

QRectF LXLabel::textRect() const {
    const QSizeF ts = LXStyle::textSize(_textFont, displayedText());
    const double W = width(), H = height();
    const double w = std::trunc(ts.width() + 2), h = std::trunc(ts.height() + 6);
    double x = 5;
    if (_textAlignment == AlignCenter)
        x = (W - w) / 2;
    else if (_textAlignment == AlignRight)
        x = W - w;
    return QRectF(x, (H - h) / 2, w, h);
}

void LXLabel::drawContent(QPainter &p, const QRect &) {
    if (_textTitle.isEmpty())
        return;
    const QString text = displayedText();
    // The text sits at the top of its rectangle, which is 6 points taller than the text.
    const QRectF r = LXGeometry::flipRect(textRect(), height());
    p.setRenderHint(QPainter::TextAntialiasing, true);
    LXStyle::drawText(p, r.topLeft() + QPointF(1, 0), text, _textFont, _textColor,
                      _bDrawShadow ? QColor::fromRgbF(0, 0, 0, 0.75f) : QColor());
}
