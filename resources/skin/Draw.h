#pragma once
// Drawing kit of the skin generator: shapes, gradients, the glyph set and the few button
// styles every picture is made of. Coordinates are points, origin upper left.
#include "Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

namespace skin {

enum class Glyph {
    Play,
    Pause,
    Stop,
    SkipBack,
    SkipForward,
    StepBack,
    StepForward,
    TrimPlay,
    TrimPause,
    ApplyLeft,
    ApplyRight,
    ChevronLeft,
    ChevronRight,
    ChevronDown,
    ChevronUp,
    Gear,
    Trash,
    Magnifier,
    Folder,
    Plus,
    Minus,
    Speaker,
    SpeakerMute,
    SpeakerPlus,
    SpeakerMinus,
    FullScreen,
    ExitFullScreen,
    Scissors,
    Share,
    Back,
    Check,
    Convert,
    Clock,
    Resolution,
    Film,
    Note,
    Phone,
    Tablet,
    Tv,
    Globe,
    Disc,
    Close,
    Waveform,
    Mail,
    Help,
    Download,
};

enum class State { Normal, Pressed, Disabled };

QColor mix(const QColor &a, const QColor &b, double t); // t = 0 gives a
QColor withAlpha(const QColor &c, int alpha);

QPainterPath roundedRect(const QRectF &r, double radius);
void fillVertical(QPainter &p, const QPainterPath &path, const QColor &top, const QColor &bottom);
// A soft shadow under a shape: a few offset, fading copies.
void dropShadow(QPainter &p, const QPainterPath &path, double dy, const QColor &color, int layers = 3);
// One-point light line along the inside top of a rounded rectangle.
void topSheen(QPainter &p, const QRectF &r, double radius, const QColor &color);
void strokeInside(QPainter &p, const QRectF &r, double radius, const QColor &color, double width = 1.0);

// A glyph drawn on a 24-unit grid scaled into `box`.
void drawGlyph(QPainter &p, Glyph g, const QRectF &box, const QColor &color);

// Icon button without a body: the glyph alone; pressed shows a soft round backdrop and
// the accent colour; disabled is dimmed.
void ghostButton(QPainter &p, const QSizeF &size, Glyph g, State s, double glyphSize);
// A raised rounded button with a glyph.
void solidButton(QPainter &p, const QSizeF &size, Glyph g, State s, double glyphSize, double radius);
// A raised rounded button body without a glyph (titles are drawn by the control).
void plainButton(QPainter &p, const QRectF &r, State s, double radius);
// A pill-shaped accent button with a glyph at its left end.
void accentPill(QPainter &p, const QSizeF &size, Glyph g, const QColor &color, State s);

// Track pieces for sliced bars: which part of a rounded track to draw.
enum class Cap { Left, Middle, Right };
void trackPiece(QPainter &p, const QSizeF &size, Cap cap, const QColor &top, const QColor &bottom, bool sunken,
                double radius);

// Bold single-line text fitted into a width (shrinking the size when needed).
void fittedText(QPainter &p, const QRectF &box, const QString &text, const QColor &color, double size,
                int flags = Qt::AlignCenter);

} // namespace skin
