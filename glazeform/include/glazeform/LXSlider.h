#pragma once
// A horizontal slider drawn from pictures: a background bar (left cap, middle, right cap), a
// filled bar up to the knob and the knob. LXSlider holds the layout and the drawing of the
// bars; LXSliderA adds the position (0..1) and the knob. Points are lower-left view
// coordinates throughout.
#include <QPixmap>
#include <QPointF>
#include <QWidget>

class LXSlider;

// Every method is optional: the defaults do nothing.
class LXSliderDelegate {
public:
    virtual ~LXSliderDelegate() = default;
    virtual void slideBeginDragged(LXSlider *slider) { (void)slider; }
    // A press on an enabled, draggable slider.
    virtual void sliderChanged(LXSlider *slider) { (void)slider; }
    // Every drag step, with the position clamped to 0..1.
    virtual void sliderDragedAtPosition(LXSlider *slider, double position) { (void)slider, (void)position; }
    virtual void slideEndDragged(LXSlider *slider) { (void)slider; }
};

class LXSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 36;
    static constexpr int kMinHeight = 10;

    explicit LXSlider(QWidget *parent = nullptr);
    // Placed by a lower-left frame; frames under 36 x 10 are raised to that.
    LXSlider(const QRectF &frame, QWidget *parent);

    // Background bar pictures: middle, left cap, right cap.
    void setProgressImage(const QPixmap &p) { _progressImage = p, update(); }
    void setProgressLeftImage(const QPixmap &p) { _progressLeftImage = p, update(); }
    void setProgressRightImage(const QPixmap &p) { _progressRightImage = p, update(); }
    // Filled bar pictures.
    void setSubProgressImage(const QPixmap &p) { _subProgressImage = p, update(); }
    void setSubProgressLeftImage(const QPixmap &p) { _subProgressLeftImage = p, update(); }
    void setSubProgressRightImage(const QPixmap &p) { _subProgressRightImage = p, update(); }
    void setKnobImage(const QPixmap &p) { _knobImage = p, update(); }
    void setKnobPressImage(const QPixmap &p) { _knobPressImage = p, update(); }
    const QPixmap &knobImage() const { return _knobImage; }
    const QPixmap &knobPressImage() const { return _knobPressImage; }

    // 0: display only (no knob, no dragging); 1: draggable.
    int slideType() const { return _slideType; }
    // A draggable slider is a stop for the keyboard, a display-only one is not.
    void setSlideType(int t);
    LXSliderDelegate *delegate() const { return _delegate; }
    void setDelegate(LXSliderDelegate *d) { _delegate = d; }
    double nSpace() const { return _nSpace; }
    // Re-lays the slider out when the value changes.
    void setNSpace(double v);
    double yCursorDetal() const { return _yCursorDetal; }
    void setYCursorDetal(double v) { _yCursorDetal = v, update(); }
    bool bExtentMidSkin() const { return _bExtentMidSkin; }
    void setBExtentMidSkin(bool on) { _bExtentMidSkin = on, update(); }
    bool bMouseDraged() const { return _bMouseDraged; }
    bool bEnabled() const { return _bEnabled; }
    void setBEnabled(bool on) { _bEnabled = on, update(); }

    QPointF orgPrgPoint() const { return _orgPrgPoint; }
    QPointF endPrgPoint() const { return _endPrgPoint; }
    QPointF orgSubPrgPoint() const { return _orgSubPrgPoint; }
    QPointF knobPoint() const { return _knobPoint; }
    void setKnobPoint(const QPointF &p) { _knobPoint = p; }
    double curPosition() const { return _curPosition; }

    // Lays out the bar and knob points from the current pictures and size.
    void initImagePosition();
    float fullWdt() const { return float(width()); }
    float fullHgt() const { return float(height()); }

    // The position; the plain slider has none (0, and setting does nothing).
    virtual double sliderPos() const { return 0.0; }
    virtual void setSliderPos(double fraction) { (void)fraction; }
    virtual void updateSliderPosition(const QPointF &point) { (void)point; }

    // Moves the knob to a fraction as a press there does, reported to the delegate as a
    // press, a change and a release (the keyboard's arrows, a screen reader's value).
    // Nothing on a display-only or disabled slider.
    void moveByUser(double fraction);

    // Knob correction of the drawing step (LXSliderA).
    virtual void calculateNewKnobPoint() {}

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Left and Right move a draggable slider by 5 % of its length, Home and End to its ends.
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

    void drawBaseBackgroundImage(QPainter &p);
    virtual void drawSubProgressForeGroundImage(QPainter &p) { (void)p; }
    virtual void drawKnob(QPainter &p) { (void)p; }
    // Draws a picture with its lower-left corner at a lower-left point, optionally with
    // another width (stretched).
    void drawPictureAt(QPainter &p, const QPixmap &pic, const QPointF &lowerLeft, double width = -1) const;
    qreal opacity() const { return _bEnabled ? 1.0 : 0.6; }

    QPixmap _progressImage, _progressLeftImage, _progressRightImage;
    QPixmap _subProgressImage, _subProgressLeftImage, _subProgressRightImage;
    QPixmap _knobImage, _knobPressImage;
    QPointF _endPrgPoint, _orgPrgPoint, _orgSubPrgPoint, _knobPoint;
    int _slideType = 0;
    LXSliderDelegate *_delegate = nullptr;
    double _curPosition = 0.0;
    double _nSpace = 6.0;
    double _yCursorDetal = 0.0;
    bool _bExtentMidSkin = true;
    bool _bMouseDraged = false;
    bool _bEnabled = true;
    bool _bKnobPressed = false;
};

class LXSliderA : public LXSlider {
    Q_OBJECT
public:
    explicit LXSliderA(QWidget *parent = nullptr);
    LXSliderA(const QRectF &frame, QWidget *parent);

    double maxValue() const { return _maxValue; }
    void setMaxValue(double v) { _maxValue = v; }

    double sliderPos() const override { return _curPosition; }
    // Puts the knob at the fraction of drawWidth and derives curPosition from the knob's x.
    void setSliderPos(double fraction) override;
    // curPosition = (point.x - orgPrgPoint.x) / drawWidth.
    void updateSliderPosition(const QPointF &point) override;
    double drawWidth() const;
    void setCursorDetalY(double v) { setYCursorDetal(v); }
    void calculateNewKnobPoint() override;

protected:
    void drawSubProgressForeGroundImage(QPainter &p) override;
    void drawKnob(QPainter &p) override;

private:
    double _maxValue = 1.0;
};
