#include "glazeform/LXImage.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
QHash<QString, QPixmap> &cache() {
    static QHash<QString, QPixmap> c;
    return c;
}

qreal appPixelRatio() {
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    return app ? app->devicePixelRatio() : 1.0;
}

QString twoXPath(const QString &path) {
    const int dot = path.lastIndexOf('.');
    if (dot <= path.lastIndexOf('/'))
        return path + "@2x";
    return path.left(dot) + "@2x" + path.mid(dot);
}

// Edges snapped to the device pixel grid, so neighbouring pieces meet without seams or blur.
QRectF snapped(const QRectF &r, qreal dpr) {
    const qreal l = std::round(r.left() * dpr) / dpr;
    const qreal t = std::round(r.top() * dpr) / dpr;
    const qreal rr = std::round(r.right() * dpr) / dpr;
    const qreal b = std::round(r.bottom() * dpr) / dpr;
    return QRectF(l, t, rr - l, b - t);
}
} // namespace

QString LXImage::resourcePath(const QString &name) {
    if (name.isEmpty())
        return {};
    const QString path = QStringLiteral(":/pictures/") + name;
    return QFile::exists(path) ? path : QString();
}

QPixmap LXImage::named(const QString &name) { return named(name, appPixelRatio()); }

QPixmap LXImage::named(const QString &name, qreal dpr) {
    if (name.isEmpty())
        return {};
    return fromPath(QStringLiteral(":/pictures/") + name, dpr);
}

QPixmap LXImage::fromPath(const QString &path) { return fromPath(path, appPixelRatio()); }

QPixmap LXImage::fromPath(const QString &path, qreal dpr) {
    if (path.isEmpty())
        return {};
    const bool hi = dpr > 1.0;
    const QString key = path + (hi ? QStringLiteral("|2") : QStringLiteral("|1"));
    auto it = cache().constFind(key);
    if (it != cache().constEnd())
        return *it;
    QPixmap pm;
    if (hi) {
        const QString two = twoXPath(path);
        if (QFile::exists(two) && pm.load(two))
            pm.setDevicePixelRatio(2.0);
    }
    if (pm.isNull())
        pm.load(path);
    if (!pm.isNull())
        cache().insert(key, pm);
    return pm;
}

QSizeF LXImage::pointSize(const QPixmap &picture) {
    if (picture.isNull())
        return {};
    return picture.deviceIndependentSize();
}

std::vector<LXSliceSegment> LXImage::sliceAxis(float picture, float frame) {
    std::vector<LXSliceSegment> out;
    if (!(picture > 0.f) || !(frame > 0.f))
        return out;
    const float s = std::floor(std::min(picture, frame) / 3.0f);
    if (s < 1.0f) {
        // Too small to slice: the division below would never end its tiling.
        out.push_back({0.f, picture, 0.f, frame});
        return out;
    }
    out.push_back({0.f, s, 0.f, s});
    const int n = int((frame - s) / s - 1.0f);
    if (n > 0) {
        const float end = float(n + 1) * s;
        for (float t = s; t < end; t += s)
            out.push_back({s, s, t, s});
    }
    const float L = float(n + 1) * s;
    const float r = frame - L;
    out.push_back({picture - r, r, L, r});
    return out;
}

std::vector<LXSlicePiece> LXImage::constWidthPieces(const QSizeF &picture, const QSizeF &frame) {
    std::vector<LXSlicePiece> out;
    const float w = float(std::min(picture.width(), frame.width()));
    if (!(w > 0.f))
        return out;
    for (const LXSliceSegment &y : sliceAxis(float(picture.height()), float(frame.height())))
        out.push_back({QRectF(0, y.sourceStart, w, y.sourceLength), QRectF(0, y.targetStart, w, y.targetLength)});
    return out;
}

std::vector<LXSlicePiece> LXImage::constHeightPieces(const QSizeF &picture, const QSizeF &frame) {
    std::vector<LXSlicePiece> out;
    const float h = float(std::min(picture.height(), frame.height()));
    if (!(h > 0.f))
        return out;
    for (const LXSliceSegment &x : sliceAxis(float(picture.width()), float(frame.width())))
        out.push_back({QRectF(x.sourceStart, 0, x.sourceLength, h), QRectF(x.targetStart, 0, x.targetLength, h)});
    return out;
}

std::vector<LXSlicePiece> LXImage::viewFramePieces(const QSizeF &picture, const QSizeF &frame) {
    std::vector<LXSlicePiece> out;
    const auto xs = sliceAxis(float(picture.width()), float(frame.width()));
    const auto ys = sliceAxis(float(picture.height()), float(frame.height()));
    // Row by row from the bottom: the bottom row, each middle band, the top row.
    for (const LXSliceSegment &y : ys)
        for (const LXSliceSegment &x : xs)
            out.push_back({QRectF(x.sourceStart, y.sourceStart, x.sourceLength, y.sourceLength),
                           QRectF(x.targetStart, y.targetStart, x.targetLength, y.targetLength)});
    return out;
}

QRectF LXImage::centerRect(const QSizeF &picture, const QRectF &frame) {
    return QRectF(frame.x() + (frame.width() - picture.width()) / 2.0,
                  frame.y() + (frame.height() - picture.height()) / 2.0, picture.width(), picture.height());
}

void LXImage::drawPieces(QPainter &p, const QPixmap &picture, const QRectF &frame,
                         const std::vector<LXSlicePiece> &pieces, qreal opacity) {
    if (picture.isNull() || pieces.empty())
        return;
    const qreal pdpr = picture.devicePixelRatio();
    const qreal ddpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const qreal imgH = pointSize(picture).height();
    p.save();
    p.setOpacity(p.opacity() * opacity);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const LXSlicePiece &piece : pieces) {
        // Lower-left piece -> Qt: the target is mirrored inside the frame, the source inside
        // the picture, so the picture keeps its orientation.
        const QRectF t = snapped(QRectF(frame.x() + piece.target.x(),
                                        frame.y() + frame.height() - piece.target.y() - piece.target.height(),
                                        piece.target.width(), piece.target.height()),
                                 ddpr);
        const QRectF s(piece.source.x() * pdpr, (imgH - piece.source.y() - piece.source.height()) * pdpr,
                       piece.source.width() * pdpr, piece.source.height() * pdpr);
        if (t.width() <= 0 || t.height() <= 0 || s.width() <= 0 || s.height() <= 0)
            continue;
        p.drawPixmap(t, picture, s);
    }
    p.restore();
}

void LXImage::drawConstWidthAtFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity) {
    drawPieces(p, picture, frame, constWidthPieces(pointSize(picture), frame.size()), opacity);
}

void LXImage::drawConstHeightAtFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity) {
    drawPieces(p, picture, frame, constHeightPieces(pointSize(picture), frame.size()), opacity);
}

void LXImage::drawAtViewFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity) {
    drawPieces(p, picture, frame, viewFramePieces(pointSize(picture), frame.size()), opacity);
}

void LXImage::drawCenterAtFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity) {
    if (picture.isNull())
        return;
    const qreal ddpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    QRectF r = centerRect(pointSize(picture), frame);
    // Keep the size, move the origin onto the pixel grid: a picture drawn at its own size
    // must not be resampled.
    r.moveTopLeft(QPointF(std::round(r.x() * ddpr) / ddpr, std::round(r.y() * ddpr) / ddpr));
    p.save();
    p.setOpacity(p.opacity() * opacity);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawPixmap(r, picture, QRectF(picture.rect()));
    p.restore();
}

QPixmap LXImage::roundCornersImageCornerRadius(const QPixmap &picture, qreal radius) {
    if (picture.isNull())
        return {};
    const qreal dpr = picture.devicePixelRatio();
    QImage out(picture.size(), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    {
        QPainter p(&out);
        p.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath path;
        path.addRoundedRect(QRectF(QPointF(0, 0), pointSize(picture)), radius, radius);
        p.setClipPath(path);
        p.drawPixmap(QPointF(0, 0), picture);
    }
    QPixmap pm = QPixmap::fromImage(out);
    pm.setDevicePixelRatio(dpr);
    return pm;
}
