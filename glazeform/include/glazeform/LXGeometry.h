#pragma once
// Layout frames in this code base are points measured from the lower-left corner of the
// parent (or, for windows, of the primary screen); Qt measures from the upper left. Every
// conversion between the two conventions goes through this class, so a frame copied from a
// layout table can be used as written.
#include <QPointF>
#include <QRectF>

class QWidget;

class LXGeometry {
public:
    // Mirrors a rectangle or point inside a container of the given height. The mapping is
    // its own inverse: it turns lower-left frames into Qt frames and back.
    static QRectF flipRect(const QRectF &rect, qreal containerHeight);
    static QPointF flipPoint(const QPointF &point, qreal containerHeight);

    // A lower-left frame inside a parent of height parentHeight, as a Qt widget geometry
    // (edges rounded to whole points).
    static QRect qtRect(const QRectF &frame, qreal parentHeight);

    // Places a child widget by its lower-left frame in its parent. The frame is remembered
    // and the child keeps its distance from the parent's bottom edge when the parent is
    // resized, as such frames do. A widget without a parent gets the frame's size only.
    static void place(QWidget *child, const QRectF &frame);
    // The frame last given to place(), or the widget's current frame in lower-left terms.
    static QRectF frameOf(const QWidget *child);

    // Screen geometry: lower-left rectangles and points on the primary screen <-> Qt global
    // coordinates. Without a screen an 800 x 600 desktop is assumed.
    static QRectF screenToQt(const QRectF &frame);
    static QRectF qtToScreen(const QRectF &rect);
    static QPointF screenPointFromQt(const QPointF &global);
    static QPointF qtPointFromScreen(const QPointF &point);
    static QSizeF mainScreenSize();
};
