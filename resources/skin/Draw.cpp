#include "Draw.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QtMath>

namespace skin {

const Palette &palette() {
    static const Palette p;
    return p;
}

const Measures &measures() {
    static const Measures m;
    return m;
}

QColor mix(const QColor &a, const QColor &b, double t) {
    auto lerp = [t](double x, double y) { return x + (y - x) * t; };
    return QColor::fromRgbF(float(lerp(a.redF(), b.redF())), float(lerp(a.greenF(), b.greenF())),
                            float(lerp(a.blueF(), b.blueF())), float(lerp(a.alphaF(), b.alphaF())));
}

QColor withAlpha(const QColor &c, int alpha) {
    QColor out = c;
    out.setAlpha(alpha);
    return out;
}

QPainterPath roundedRect(const QRectF &r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void fillVertical(QPainter &p, const QPainterPath &path, const QColor &top, const QColor &bottom) {
    const QRectF b = path.boundingRect();
    QLinearGradient g(b.topLeft(), b.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillPath(path, g);
}

void dropShadow(QPainter &p, const QPainterPath &path, double dy, const QColor &color, int layers) {
    for (int i = layers; i >= 1; --i) {
        QColor c = color;
        c.setAlphaF(color.alphaF() / (i + 1));
        p.fillPath(path.translated(0, dy * i / layers), c);
    }
}

void topSheen(QPainter &p, const QRectF &r, double radius, const QColor &color) {
    p.save();
    p.setClipPath(roundedRect(r, radius));
    QPainterPath inner = roundedRect(r.adjusted(0, 1, 0, 1), radius);
    QPainterPath band = roundedRect(r, radius).subtracted(inner);
    QPainterPath topHalf;
    topHalf.addRect(QRectF(r.left(), r.top(), r.width(), r.height() / 2));
    p.fillPath(band.intersected(topHalf), color);
    p.restore();
}

void strokeInside(QPainter &p, const QRectF &r, double radius, const QColor &color, double width) {
    p.save();
    p.setPen(QPen(color, width));
    p.setBrush(Qt::NoBrush);
    const double h = width / 2;
    p.drawRoundedRect(r.adjusted(h, h, -h, -h), std::max(0.0, radius - h), std::max(0.0, radius - h));
    p.restore();
}

// ---------------------------------------------------------------------------------------
// Glyphs on a 24 x 24 grid.

namespace {

QPen glyphPen(const QColor &c, double w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void fillRounded(QPainter &p, const QPainterPath &path, const QColor &c, double join = 1.6) {
    p.setPen(glyphPen(c, join));
    p.setBrush(c);
    p.drawPath(path);
}

QPainterPath triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

void polyline(QPainter &p, std::initializer_list<QPointF> pts, const QColor &c, double w) {
    QPainterPath path;
    bool first = true;
    for (const QPointF &pt : pts) {
        if (first)
            path.moveTo(pt);
        else
            path.lineTo(pt);
        first = false;
    }
    p.setPen(glyphPen(c, w));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

QPainterPath speakerBody() {
    QPainterPath body;
    body.moveTo(3.5, 9.5);
    body.lineTo(7.5, 9.5);
    body.lineTo(12, 5.5);
    body.lineTo(12, 18.5);
    body.lineTo(7.5, 14.5);
    body.lineTo(3.5, 14.5);
    body.closeSubpath();
    return body;
}

void arcArrow(QPainter &p, QPointF centre, double r, double startDeg, double spanDeg, const QColor &c, double w) {
    QPainterPath arc;
    const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    arc.arcMoveTo(box, startDeg);
    arc.arcTo(box, startDeg, spanDeg);
    p.setPen(glyphPen(c, w));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arc);
    // Head at the arc's end, along its tangent.
    const double end = qDegreesToRadians(startDeg + spanDeg);
    const QPointF tip(centre.x() + r * std::cos(end), centre.y() - r * std::sin(end));
    const double dir = spanDeg > 0 ? 1 : -1;
    const QPointF tangent(-std::sin(end) * dir, -std::cos(end) * dir);
    const QPointF normal(-tangent.y(), tangent.x());
    const double len = 4.2, half = 3.0;
    const QPointF headTip = tip + tangent * 1.6;
    fillRounded(p, triangle(headTip, headTip - tangent * len + normal * half, headTip - tangent * len - normal * half),
                c, 1.0);
}

QPainterPath gearPath() {
    QPainterPath gear;
    const int teeth = 8;
    const double rOut = 9.6, rIn = 7.2;
    QPolygonF poly;
    for (int i = 0; i < teeth; ++i) {
        const double a0 = (i * 2 * M_PI) / teeth;
        const double w = M_PI / teeth * 0.55;
        auto pt = [](double r, double a) { return QPointF(12 + r * std::cos(a), 12 + r * std::sin(a)); };
        poly << pt(rIn, a0 - w * 1.5) << pt(rOut, a0 - w * 0.75) << pt(rOut, a0 + w * 0.75) << pt(rIn, a0 + w * 1.5);
    }
    gear.addPolygon(poly);
    gear.closeSubpath();
    gear.addEllipse(QPointF(12, 12), 3.2, 3.2);
    gear.setFillRule(Qt::OddEvenFill);
    return gear;
}

} // namespace

void drawGlyph(QPainter &p, Glyph g, const QRectF &box, const QColor &c) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.translate(box.topLeft());
    p.scale(box.width() / 24.0, box.height() / 24.0);
    const double w = measures().glyphStroke;
    switch (g) {
    case Glyph::Play:
        fillRounded(p, triangle({8.5, 5.5}, {18.5, 12}, {8.5, 18.5}), c);
        break;
    case Glyph::Pause:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(6.8, 5.5, 3.8, 13), 1.2, 1.2);
        p.drawRoundedRect(QRectF(13.4, 5.5, 3.8, 13), 1.2, 1.2);
        break;
    case Glyph::Stop:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(6.5, 6.5, 11, 11), 2.2, 2.2);
        break;
    case Glyph::SkipBack:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(5.5, 6, 2.6, 12), 1, 1);
        fillRounded(p, triangle({18.5, 6.5}, {18.5, 17.5}, {10, 12}), c);
        break;
    case Glyph::SkipForward:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(15.9, 6, 2.6, 12), 1, 1);
        fillRounded(p, triangle({5.5, 6.5}, {5.5, 17.5}, {14, 12}), c);
        break;
    case Glyph::StepBack:
        fillRounded(p, triangle({12, 7}, {12, 17}, {4.5, 12}), c, 1.3);
        fillRounded(p, triangle({19.5, 7}, {19.5, 17}, {12, 12}), c, 1.3);
        break;
    case Glyph::StepForward:
        fillRounded(p, triangle({4.5, 7}, {4.5, 17}, {12, 12}), c, 1.3);
        fillRounded(p, triangle({12, 7}, {12, 17}, {19.5, 12}), c, 1.3);
        break;
    case Glyph::TrimPlay:
    case Glyph::TrimPause:
        polyline(p, {{6.5, 5}, {4, 5}, {4, 19}, {6.5, 19}}, c, 1.8);
        polyline(p, {{17.5, 5}, {20, 5}, {20, 19}, {17.5, 19}}, c, 1.8);
        if (g == Glyph::TrimPlay) {
            fillRounded(p, triangle({9.5, 8}, {16, 12}, {9.5, 16}), c, 1.2);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(8.8, 8, 2.6, 8), 0.8, 0.8);
            p.drawRoundedRect(QRectF(12.6, 8, 2.6, 8), 0.8, 0.8);
        }
        break;
    case Glyph::ApplyLeft:
        polyline(p, {{8.5, 4.5}, {5, 4.5}, {5, 19.5}, {8.5, 19.5}}, c, 2.2);
        polyline(p, {{20, 12}, {10.5, 12}}, c, w);
        polyline(p, {{14, 8.5}, {10.5, 12}, {14, 15.5}}, c, w);
        break;
    case Glyph::ApplyRight:
        polyline(p, {{15.5, 4.5}, {19, 4.5}, {19, 19.5}, {15.5, 19.5}}, c, 2.2);
        polyline(p, {{4, 12}, {13.5, 12}}, c, w);
        polyline(p, {{10, 8.5}, {13.5, 12}, {10, 15.5}}, c, w);
        break;
    case Glyph::ChevronLeft:
        polyline(p, {{15, 5}, {8, 12}, {15, 19}}, c, 2.4);
        break;
    case Glyph::ChevronRight:
        polyline(p, {{9, 5}, {16, 12}, {9, 19}}, c, 2.4);
        break;
    case Glyph::ChevronDown:
        polyline(p, {{6, 9.5}, {12, 15.5}, {18, 9.5}}, c, 2.2);
        break;
    case Glyph::ChevronUp:
        polyline(p, {{6, 14.5}, {12, 8.5}, {18, 14.5}}, c, 2.2);
        break;
    case Glyph::Gear:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(gearPath());
        break;
    case Glyph::Trash:
        polyline(p, {{4.5, 7}, {19.5, 7}}, c, w);
        polyline(p, {{9.5, 6.5}, {9.5, 4.5}, {14.5, 4.5}, {14.5, 6.5}}, c, 1.6);
        polyline(p, {{6.5, 8}, {7.5, 19.5}, {16.5, 19.5}, {17.5, 8}}, c, w);
        polyline(p, {{10.3, 10.5}, {10.3, 16.5}}, c, 1.4);
        polyline(p, {{13.7, 10.5}, {13.7, 16.5}}, c, 1.4);
        break;
    case Glyph::Magnifier:
        p.setPen(glyphPen(c, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(10.5, 10.5), 5.6, 5.6);
        polyline(p, {{14.8, 14.8}, {19.5, 19.5}}, c, 2.8);
        break;
    case Glyph::Folder: {
        QPainterPath f;
        f.moveTo(3.5, 7.2);
        f.quadTo(3.5, 5.5, 5.2, 5.5);
        f.lineTo(9.2, 5.5);
        f.lineTo(11, 7.5);
        f.lineTo(18.8, 7.5);
        f.quadTo(20.5, 7.5, 20.5, 9.2);
        f.lineTo(20.5, 17.3);
        f.quadTo(20.5, 19, 18.8, 19);
        f.lineTo(5.2, 19);
        f.quadTo(3.5, 19, 3.5, 17.3);
        f.closeSubpath();
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawPath(f);
        polyline(p, {{3.8, 10}, {20.2, 10}}, c, 1.4);
        break;
    }
    case Glyph::Plus:
        polyline(p, {{12, 5.5}, {12, 18.5}}, c, 2.4);
        polyline(p, {{5.5, 12}, {18.5, 12}}, c, 2.4);
        break;
    case Glyph::Minus:
        polyline(p, {{5.5, 12}, {18.5, 12}}, c, 2.4);
        break;
    case Glyph::Speaker:
    case Glyph::SpeakerMute:
    case Glyph::SpeakerPlus:
    case Glyph::SpeakerMinus:
        fillRounded(p, speakerBody(), c, 1.2);
        if (g == Glyph::Speaker) {
            p.setPen(glyphPen(c, 1.7));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(9.5, 8.5, 7, 7), -50 * 16, 100 * 16);
            p.drawArc(QRectF(7.5, 5.0, 14, 14), -50 * 16, 100 * 16);
        } else if (g == Glyph::SpeakerMute) {
            polyline(p, {{15, 9.5}, {20, 14.5}}, c, 1.9);
            polyline(p, {{20, 9.5}, {15, 14.5}}, c, 1.9);
        } else {
            polyline(p, {{14.5, 12}, {20.5, 12}}, c, 1.9);
            if (g == Glyph::SpeakerPlus)
                polyline(p, {{17.5, 9}, {17.5, 15}}, c, 1.9);
        }
        break;
    case Glyph::FullScreen:
        polyline(p, {{4.5, 9.5}, {4.5, 4.5}, {9.5, 4.5}}, c, w);
        polyline(p, {{14.5, 4.5}, {19.5, 4.5}, {19.5, 9.5}}, c, w);
        polyline(p, {{19.5, 14.5}, {19.5, 19.5}, {14.5, 19.5}}, c, w);
        polyline(p, {{9.5, 19.5}, {4.5, 19.5}, {4.5, 14.5}}, c, w);
        break;
    case Glyph::ExitFullScreen:
        polyline(p, {{4.5, 9.5}, {9.5, 9.5}, {9.5, 4.5}}, c, w);
        polyline(p, {{14.5, 4.5}, {14.5, 9.5}, {19.5, 9.5}}, c, w);
        polyline(p, {{19.5, 14.5}, {14.5, 14.5}, {14.5, 19.5}}, c, w);
        polyline(p, {{9.5, 19.5}, {9.5, 14.5}, {4.5, 14.5}}, c, w);
        break;
    case Glyph::Scissors:
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(7, 17), 2.8, 2.8);
        p.drawEllipse(QPointF(17, 17), 2.8, 2.8);
        polyline(p, {{8.9, 14.9}, {16.5, 4.5}}, c, 1.8);
        polyline(p, {{15.1, 14.9}, {7.5, 4.5}}, c, 1.8);
        break;
    case Glyph::Share:
        polyline(p, {{8.5, 9}, {5.5, 9}, {5.5, 19.5}, {18.5, 19.5}, {18.5, 9}, {15.5, 9}}, c, 1.8);
        polyline(p, {{12, 14.5}, {12, 3.8}}, c, 1.9);
        polyline(p, {{8.5, 7.2}, {12, 3.7}, {15.5, 7.2}}, c, 1.9);
        break;
    case Glyph::Back:
        polyline(p, {{19, 12}, {5.5, 12}}, c, 2.2);
        polyline(p, {{11, 6.5}, {5.5, 12}, {11, 17.5}}, c, 2.2);
        break;
    case Glyph::Check:
        polyline(p, {{5.5, 12.5}, {10, 17}, {18.5, 7.5}}, c, 2.6);
        break;
    case Glyph::Convert:
        arcArrow(p, {12, 12}, 6.8, 20, 145, c, 2.1);
        arcArrow(p, {12, 12}, 6.8, 200, 145, c, 2.1);
        break;
    case Glyph::Clock:
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 8, 8);
        polyline(p, {{12, 7}, {12, 12}, {15.5, 14}}, c, 1.8);
        break;
    case Glyph::Resolution:
        p.setPen(glyphPen(c, 1.7));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3, 5.5, 18, 13), 2, 2);
        polyline(p, {{7, 12}, {7, 9}, {10, 9}}, c, 1.6);
        polyline(p, {{17, 12}, {17, 15}, {14, 15}}, c, 1.6);
        break;
    case Glyph::Film: {
        QPainterPath film;
        film.addRoundedRect(QRectF(3, 4.5, 18, 15), 2, 2);
        for (int i = 0; i < 4; ++i) {
            film.addRect(QRectF(4.6, 6.2 + i * 3.3, 1.8, 1.8));
            film.addRect(QRectF(17.6, 6.2 + i * 3.3, 1.8, 1.8));
        }
        film.addRoundedRect(QRectF(8, 6.2, 8, 11.6), 1, 1);
        film.setFillRule(Qt::OddEvenFill);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(film);
        break;
    }
    case Glyph::Note: {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.save();
        p.translate(7.6, 17.2);
        p.rotate(-20);
        p.drawEllipse(QPointF(0, 0), 3.1, 2.3);
        p.restore();
        p.save();
        p.translate(16.6, 15.2);
        p.rotate(-20);
        p.drawEllipse(QPointF(0, 0), 3.1, 2.3);
        p.restore();
        polyline(p, {{10.2, 16.5}, {10.2, 6.2}}, c, 1.6);
        polyline(p, {{19.2, 14.5}, {19.2, 4.2}}, c, 1.6);
        QPainterPath beam;
        beam.moveTo(10.2, 5.4);
        beam.lineTo(19.2, 3.4);
        beam.lineTo(19.2, 6.6);
        beam.lineTo(10.2, 8.6);
        beam.closeSubpath();
        fillRounded(p, beam, c, 0.8);
        break;
    }
    case Glyph::Phone:
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(7, 3, 10, 18), 2.4, 2.4);
        polyline(p, {{10.5, 5.6}, {13.5, 5.6}}, c, 1.2);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(12, 18), 1.0, 1.0);
        break;
    case Glyph::Tablet:
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(4.5, 3, 15, 18), 2.2, 2.2);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(12, 18.3), 0.9, 0.9);
        break;
    case Glyph::Tv:
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3, 4.5, 18, 12.5), 2, 2);
        polyline(p, {{8, 20}, {16, 20}}, c, 1.8);
        break;
    case Glyph::Globe:
        p.setPen(glyphPen(c, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        p.drawEllipse(QPointF(12, 12), 3.8, 8.5);
        polyline(p, {{3.5, 12}, {20.5, 12}}, c, 1.4);
        polyline(p, {{5, 7.8}, {19, 7.8}}, c, 1.2);
        polyline(p, {{5, 16.2}, {19, 16.2}}, c, 1.2);
        break;
    case Glyph::Disc:
        p.setPen(glyphPen(c, 1.7));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        p.drawEllipse(QPointF(12, 12), 2.4, 2.4);
        p.drawArc(QRectF(6, 6, 12, 12), 100 * 16, 60 * 16);
        break;
    case Glyph::Close:
        polyline(p, {{7, 7}, {17, 17}}, c, 2.2);
        polyline(p, {{17, 7}, {7, 17}}, c, 2.2);
        break;
    case Glyph::Mail:
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3.5, 6, 17, 12.5), 2, 2);
        polyline(p, {{4.5, 7.5}, {12, 13.2}, {19.5, 7.5}}, c, 1.7);
        break;
    case Glyph::Help: {
        p.setPen(glyphPen(c, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        QPainterPath q;
        q.moveTo(9.3, 9.8);
        q.cubicTo(9.3, 7.9, 10.6, 7.0, 12.1, 7.0);
        q.cubicTo(13.8, 7.0, 14.9, 8.1, 14.9, 9.5);
        q.cubicTo(14.9, 11.6, 12.1, 11.8, 12.1, 13.9);
        p.setPen(glyphPen(c, 1.9));
        p.drawPath(q);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(12.1, 16.8), 1.2, 1.2);
        break;
    }
    case Glyph::Download:
        polyline(p, {{12, 3.5}, {12, 14}}, c, 2.0);
        polyline(p, {{7.5, 10}, {12, 14.5}, {16.5, 10}}, c, 2.0);
        polyline(p, {{4, 14.5}, {4, 19.5}, {20, 19.5}, {20, 14.5}}, c, 1.8);
        break;
    case Glyph::Waveform: {
        const double hs[] = {4, 9, 14, 8, 16, 11, 6, 12, 5};
        for (int i = 0; i < 9; ++i) {
            const double x = 4 + i * 2;
            polyline(p, {{x, 12 - hs[i] / 2}, {x, 12 + hs[i] / 2}}, c, 1.3);
        }
        break;
    }
    }
    p.restore();
}

// ---------------------------------------------------------------------------------------

void ghostButton(QPainter &p, const QSizeF &size, Glyph g, State s, double glyphSize) {
    const Palette &pal = palette();
    const QRectF all(QPointF(0, 0), size);
    const QRectF box(all.center().x() - glyphSize / 2, all.center().y() - glyphSize / 2, glyphSize, glyphSize);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (s == State::Pressed) {
        const double d = std::min(size.width(), size.height()) - 1;
        const QRectF disc(all.center().x() - d / 2, all.center().y() - d / 2, d, d);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 24));
        p.drawEllipse(disc);
        drawGlyph(p, g, box, pal.accent);
        return;
    }
    // A faint shadow keeps the glyph legible over video.
    drawGlyph(p, g, box.translated(0, 1), QColor(0, 0, 0, s == State::Disabled ? 40 : 90));
    drawGlyph(p, g, box, s == State::Disabled ? withAlpha(pal.glyph, 90) : pal.glyph);
}

void plainButton(QPainter &p, const QRectF &r, State s, double radius) {
    const Palette &pal = palette();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -1.5);
    dropShadow(p, roundedRect(body, radius), 1.0, pal.shadow, 2);
    if (s == State::Pressed) {
        fillVertical(p, roundedRect(body, radius), pal.controlPressed, mix(pal.controlPressed, pal.control, 0.4));
        strokeInside(p, body, radius, pal.hairline);
    } else {
        fillVertical(p, roundedRect(body, radius), pal.controlTop, pal.control);
        strokeInside(p, body, radius, withAlpha(pal.hairline, 200));
        topSheen(p, body.adjusted(1, 1, -1, -1), radius - 1, QColor(255, 255, 255, 28));
    }
    if (s == State::Disabled) {
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.fillRect(r, QColor(0, 0, 0, 120));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

void solidButton(QPainter &p, const QSizeF &size, Glyph g, State s, double glyphSize, double radius) {
    const Palette &pal = palette();
    const QRectF all(QPointF(0, 0), size);
    plainButton(p, all, s, radius);
    const QRectF body = all.adjusted(0.5, 0.5, -0.5, -1.5);
    const QRectF box(body.center().x() - glyphSize / 2,
                     body.center().y() - glyphSize / 2 + (s == State::Pressed ? 0.5 : 0), glyphSize, glyphSize);
    QColor ink = s == State::Pressed ? pal.accent : pal.glyph;
    if (s == State::Disabled)
        ink = withAlpha(pal.glyph, 80);
    drawGlyph(p, g, box, ink);
}

void accentPill(QPainter &p, const QSizeF &size, Glyph g, const QColor &color, State s) {
    const Palette &pal = palette();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF body = QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -2.0);
    const double r = body.height() / 2;
    dropShadow(p, roundedRect(body, r), 1.5, pal.shadow, 3);
    const QColor top = s == State::Pressed ? mix(color, Qt::black, 0.22) : mix(color, Qt::white, 0.18);
    const QColor bottom = s == State::Pressed ? mix(color, Qt::black, 0.30) : mix(color, Qt::black, 0.06);
    fillVertical(p, roundedRect(body, r), top, bottom);
    strokeInside(p, body, r, withAlpha(mix(color, Qt::black, 0.55), 200));
    if (s != State::Pressed)
        topSheen(p, body.adjusted(1, 1, -1, -1), r - 1, QColor(255, 255, 255, 70));
    // The glyph sits in a round well at the left end.
    const double d = body.height() - 8;
    const QRectF well(body.left() + 4, body.top() + 4, d, d);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, s == State::Pressed ? 60 : 38));
    p.drawEllipse(well);
    const double gs = d * 0.78;
    drawGlyph(p, g, QRectF(well.center().x() - gs / 2, well.center().y() - gs / 2, gs, gs),
              s == State::Pressed ? QColor(255, 255, 255, 220) : QColor(255, 255, 255));
    if (s == State::Disabled) {
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.fillRect(QRectF(QPointF(0, 0), size), QColor(0, 0, 0, 110));
    }
}

void trackPiece(QPainter &p, const QSizeF &size, Cap cap, const QColor &top, const QColor &bottom, bool sunken,
                double radius) {
    p.setRenderHint(QPainter::Antialiasing, true);
    // The piece is cut out of a long rounded track: extend it beyond the sides that join
    // other pieces, so only the outer ends are rounded.
    QRectF track(0, 0, size.width(), size.height());
    const double ext = radius * 2 + 2;
    if (cap != Cap::Left)
        track.setLeft(-ext);
    if (cap != Cap::Right)
        track.setRight(size.width() + ext);
    p.save();
    p.setClipRect(QRectF(QPointF(0, 0), size));
    fillVertical(p, roundedRect(track, radius), top, bottom);
    if (sunken) {
        // Inner shadow along the top edge.
        p.setClipPath(roundedRect(track, radius), Qt::IntersectClip);
        p.fillRect(QRectF(track.left(), 0, track.width(), 1), QColor(0, 0, 0, 90));
    } else {
        p.setClipPath(roundedRect(track, radius), Qt::IntersectClip);
        p.fillRect(QRectF(track.left(), 0, track.width(), 1), QColor(255, 255, 255, 60));
    }
    p.restore();
}

void fittedText(QPainter &p, const QRectF &box, const QString &text, const QColor &color, double size, int flags) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setWeight(QFont::Bold);
    int px = int(size);
    font.setPixelSize(px);
    while (px > 6 && QFontMetricsF(font).horizontalAdvance(text) > box.width()) {
        --px;
        font.setPixelSize(px);
    }
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, flags, text);
    p.restore();
}

} // namespace skin
