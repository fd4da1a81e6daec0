#pragma once
// Pictures of the skin and the slicing rules that stretch a small picture over a frame of
// any size without scaling it.
//
// Slicing (three-slice along one axis, nine-slice along both) copies pieces of the picture
// one to one: caps from the picture's ends, and the picture's middle slice repeated in
// between. The arithmetic is done in lower-left coordinates (picture and frame alike), in
// single precision, exactly as the plan functions below return it; the drawing functions
// take Qt frames and turn each piece upside down once.
//
// All functions are for the GUI thread (they use QPixmap).
#include <QPixmap>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QPainter;

// One copy: `source` in picture points, `target` relative to the frame's lower-left corner.
struct LXSlicePiece {
    QRectF source;
    QRectF target;
    bool operator==(const LXSlicePiece &o) const { return source == o.source && target == o.target; }
};

// One stretched axis: the sequence of [start, length) copies along it.
struct LXSliceSegment {
    float sourceStart;
    float sourceLength;
    float targetStart;
    float targetLength;
};

class LXImage {
public:
    // --- pictures by name -------------------------------------------------------------
    // The skin picture ":/pictures/<name>", taking "<stem>@2x.png" when the application's
    // device pixel ratio is above 1 and such a variant exists (its pixmap then carries a
    // device pixel ratio of 2, so its size in points stays that of the 1x picture).
    // A null pixmap when no such picture exists.
    static QPixmap named(const QString &name);
    // The same for an explicit device pixel ratio (the variant for a given screen).
    static QPixmap named(const QString &name, qreal devicePixelRatio);
    // Same for a picture given by path (a resource path or a file).
    static QPixmap fromPath(const QString &path);
    static QPixmap fromPath(const QString &path, qreal devicePixelRatio);
    // ":/pictures/<name>" when that resource exists, else an empty string.
    static QString resourcePath(const QString &name);
    static bool exists(const QString &name) { return !resourcePath(name).isEmpty(); }
    // The picture's size in points (pixels divided by its device pixel ratio).
    static QSizeF pointSize(const QPixmap &picture);

    // --- slicing plans (pure arithmetic, lower-left coordinates) ---------------------
    // One stretched axis of a picture of extent `picture` over a frame of extent `frame`:
    // s = floor(min(picture, frame) / 3); a cap of s, n = trunc((frame - s) / s - 1) middle
    // tiles of s taken from the picture's middle slice, and an end cap of the rest taken from
    // the picture's far end. When s < 1 (a picture or frame under three points) the arithmetic
    // has no tiles to lay; the whole picture is then stretched over the frame in one copy.
    static std::vector<LXSliceSegment> sliceAxis(float picture, float frame);
    // drawConstWidthAtFrame: width min(picture, frame) unstretched; sliced along the height.
    static std::vector<LXSlicePiece> constWidthPieces(const QSizeF &picture, const QSizeF &frame);
    // drawConstHeightAtFrame: height min(picture, frame) unstretched; sliced along the width.
    static std::vector<LXSlicePiece> constHeightPieces(const QSizeF &picture, const QSizeF &frame);
    // drawAtViewFrame: sliced along both axes (bottom row, middle bands, top row).
    static std::vector<LXSlicePiece> viewFramePieces(const QSizeF &picture, const QSizeF &frame);
    // drawCenterAtFrame: the picture at its own size, centred.
    static QRectF centerRect(const QSizeF &picture, const QRectF &frame);

    // --- drawing (Qt frames: origin upper left) ---------------------------------------
    static void drawConstWidthAtFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity = 1.0);
    static void drawConstHeightAtFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity = 1.0);
    static void drawAtViewFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity = 1.0);
    // Does nothing for a null picture.
    static void drawCenterAtFrame(QPainter &p, const QPixmap &picture, const QRectF &frame, qreal opacity = 1.0);
    // Draws slicing pieces of `picture` into `frame`.
    static void drawPieces(QPainter &p, const QPixmap &picture, const QRectF &frame,
                           const std::vector<LXSlicePiece> &pieces, qreal opacity = 1.0);

    // A copy of the picture clipped to a rounded rectangle of the given corner radius over
    // its whole area; same size and device pixel ratio. A null picture gives a null picture.
    static QPixmap roundCornersImageCornerRadius(const QPixmap &picture, qreal radius);
};
