#pragma once
// A scroll bar drawn from pictures: a slot stretched along the scroll bar and a knob
// stretched along its length, with an optional grip picture in the knob's middle. No arrows.
#include <QPixmap>
#include <QScrollBar>

class LXCustomScroller : public QScrollBar {
    Q_OBJECT
public:
    static constexpr int kMinKnobLength = 24;

    explicit LXCustomScroller(Qt::Orientation orientation, QWidget *parent = nullptr);

    void setBgVerKnobImage(const QPixmap &p) { _bgVer = p, update(); }
    void setFgVerKnobImage(const QPixmap &p) { _fgVer = p, update(); }
    void setFgVerKnobTopImage(const QPixmap &p) { _fgVerTop = p, update(); }
    void setBgHorKnobImage(const QPixmap &p) { _bgHor = p, update(); }
    void setFgHorKnobImage(const QPixmap &p) { _fgHor = p, update(); }
    void setFgHorKnobTopImage(const QPixmap &p) { _fgHorTop = p, update(); }
    double xDetal() const { return _xDetal; }
    void setXDetal(double v) { _xDetal = v, update(); }
    double yDetal() const { return _yDetal; }
    void setYDetal(double v) { _yDetal = v, update(); }

    // The knob's rectangle (Qt coordinates), before the xDetal/yDetal shift.
    QRectF knobRect() const;
    bool isVerticalScroller() const { return height() > width(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    double valueAt(double knobStart) const;
    QPixmap _bgVer, _fgVer, _fgVerTop, _bgHor, _fgHor, _fgHorTop;
    double _xDetal = 0;
    double _yDetal = 0;
    bool _dragging = false;
    double _grabOffset = 0;
};
