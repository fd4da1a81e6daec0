#include "glazeform/LXStyle.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>

QFont LXStyle::systemFont(qreal points) {
    QFont f = QGuiApplication::font();
    f.setPixelSize(qMax(1, qRound(points)));
    f.setWeight(QFont::Normal);
    return f;
}

QFont LXStyle::boldSystemFont(qreal points) {
    QFont f = systemFont(points);
    f.setWeight(QFont::DemiBold);
    return f;
}

QFont LXStyle::namedFont(const QString &family, qreal points) {
    static QHash<QString, bool> known;
    auto it = known.find(family);
    if (it == known.end())
        it = known.insert(family, QFontDatabase::hasFamily(family));
    if (*it) {
        QFont f(family);
        f.setPixelSize(qMax(1, qRound(points)));
        return f;
    }
    return systemFont(points);
}

QSizeF LXStyle::textSize(const QFont &font, const QString &text) {
    const QFontMetricsF fm(font);
    return QSizeF(fm.horizontalAdvance(text), fm.height());
}

void LXStyle::drawText(QPainter &p, const QPointF &topLeft, const QString &text, const QFont &font, const QColor &color,
                       const QColor &shadow) {
    p.save();
    p.setFont(font);
    const qreal ascent = QFontMetricsF(font).ascent();
    if (shadow.isValid() && shadow.alpha() > 0) {
        p.setPen(shadow);
        p.drawText(topLeft + QPointF(0, 1 + ascent), text);
    }
    p.setPen(color);
    p.drawText(topLeft + QPointF(0, ascent), text);
    p.restore();
}
