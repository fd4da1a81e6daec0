#pragma once
// Text helpers shared by the skinned controls. Sizes are points as the layouts state them;
// a point is one device-independent pixel here, so fonts are sized in pixels and a "13 point"
// text has the same size next to a 13-point-high picture on every screen.
#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

class LXStyle {
public:
    // The desktop's sans-serif face at the given size.
    static QFont systemFont(qreal points);
    static QFont boldSystemFont(qreal points);
    // A named face when installed, else the system face; "Helvetica Neue" is the controls'
    // default text face.
    static QFont namedFont(const QString &family, qreal points);
    static QColor grey(double component, double alpha = 1.0) {
        return QColor::fromRgbF(float(component), float(component), float(component), float(alpha));
    }
    // Measured size of a single line of text.
    static QSizeF textSize(const QFont &font, const QString &text);
    // Draws a single line with its top-left at `topLeft` (Qt coordinates); with a valid
    // shadow colour a copy is drawn one point lower first.
    static void drawText(QPainter &p, const QPointF &topLeft, const QString &text, const QFont &font,
                         const QColor &color, const QColor &shadow = QColor());
};
