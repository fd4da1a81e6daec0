#pragma once
// The trim slider: a bar, a play cursor above it and two cut handles. It turns pointer
// positions into fractions of the media's duration and back, keeps the kept range at least
// minTimeInterval() seconds long, and reports every change to its delegate as a fraction
// (0 = start, 1 = end). Times come in as seconds.
//
// All rectangles are lower-left view coordinates (the bar starts at x = 20, its bottom at
// y = 15); drawing and pointer events are converted once, here.
#include <QPixmap>
#include <QRectF>
#include <QWidget>

class QMouseEvent;

// Every method is optional. avalibleToDragCut answers false unless overridden: a delegate
// must allow drag steps explicitly.
class LXCutSliderDelegate {
public:
    virtual ~LXCutSliderDelegate() = default;
    virtual void beginDragged() {}
    virtual void endDragged() {}
    virtual void cursorPositionChanging(double fraction) { (void)fraction; }
    virtual void leftCutPosition(double fraction) { (void)fraction; }
    virtual void rightCutPosition(double fraction) { (void)fraction; }
    virtual void leftCutted(double fraction) { (void)fraction; }
    virtual void rightCutted(double fraction) { (void)fraction; }
    virtual bool avalibleToDragCut() { return false; }
    virtual void leftCutUpArea(QMouseEvent *event) { (void)event; }
    virtual void rightCutUpArea(QMouseEvent *event) { (void)event; }
    virtual void noneCutUpArea(QMouseEvent *event) { (void)event; }
    virtual void drawTimeString(const QString &text) { (void)text; }
};

class LXCutSlider : public QWidget {
    Q_OBJECT
public:
    enum DragType { DragNone = 0, DragCursor = 1, DragLeftCut = 2, DragRightCut = 3, DragBar = 4 };
    static constexpr double kMargin = 20;
    static constexpr double kBarBottom = 15;
    static constexpr double kCreatedHeight = 80;

    explicit LXCutSlider(QWidget *parent = nullptr);
    // A slider with the frame's origin and width, 80 points high.
    LXCutSlider(const QRectF &frame, QWidget *parent);

    LXCutSliderDelegate *delegate() const { return _delegate; }
    void setDelegate(LXCutSliderDelegate *d) { _delegate = d; }

    // Pictures (stored only: call initRects() after giving them).
    void setLeftCutNormal(const QPixmap &p) { _leftCutNormal = p; }
    void setLeftCutPress(const QPixmap &p) { _leftCutPress = p; }
    void setRightCutNormal(const QPixmap &p) { _rightCutNormal = p; }
    void setRightCutPress(const QPixmap &p) { _rightCutPress = p; }
    void setCursorNormal(const QPixmap &p) { _cursorNormal = p; }
    void setCursorPress(const QPixmap &p) { _cursorPress = p; }
    void setPrgStartBg(const QPixmap &p) { _prgStartBg = p; }
    void setPrgMidBg(const QPixmap &p) { _prgMidBg = p; }
    void setPrgEndBg(const QPixmap &p) { _prgEndBg = p; }
    void setPrgStartFg(const QPixmap &p) { _prgStartFg = p; }
    void setPrgMidFg(const QPixmap &p) { _prgMidFg = p; }
    void setPrgEndFg(const QPixmap &p) { _prgEndFg = p; }
    void setProgressBg(const QPixmap &p) { _progressBg = p; }
    void setProgressFg(const QPixmap &p) { _progressFg = p; }
    const QPixmap &progressBg() const { return _progressBg; }
    const QPixmap &progressFg() const { return _progressFg; }

    int cutDeltaY() const { return _cutDeltaY; }
    int posDeltaY() const { return _posDeltaY; }
    int slideFgDeltaY() const { return _slideFgDeltaY; }
    int slideBgDeltaY() const { return _slideBgDeltaY; }
    // Stored, and added to the y of both handles / of the cursor.
    void setCutDeltaY(int d);
    void setPosDeltaY(int d);
    void setSlideBgDeltaY(int d) { _slideBgDeltaY = d, update(); }
    void setSlideFgDeltaY(int d) { _slideFgDeltaY = d, update(); }

    void initRects();
    void initTotalTimeValue(double total);
    void initTotalTimeValueStartCutEndCutTotalTime(double current, double start, double end, double total);
    void setCurrentTime(double seconds);
    void playingCurTime(double fraction, double seconds);
    void setLeftTime(double seconds);
    void setRightTime(double seconds);
    void currentTimeToCurrentPosition();
    // Left cut to the current time, at least 2 s before the right cut (and not before 0).
    void leftCutToCurrentPosition();
    // Right cut to the current time, at least 2 s after the left cut (and not past the end).
    void rightCutToCurrentPosition();
    static constexpr double minTimeInterval() { return 2.0; }
    void drawCurAndTotalTimeDesc();
    void updateShowLongTimeDescFlag();
    void resizeEditView() { update(); }
    static QString drawTimeDescStr(double seconds);

    bool becomeFirstResponder();
    bool acceptsMouseMovedEvents() { return becomeFirstResponder(); }
    bool acceptsFirstResponder() const { return true; }
    bool resignFirstResponder() { return true; }
    void makeFirstResponder() { setFocus(); }

    // State.
    double leftCutTime() const { return _leftCutTime; }
    double rightCutTime() const { return _rightCutTime; }
    double currentTime() const { return _currentTime; }
    double totalTime() const { return _totalTime; }
    QRectF slideRt() const { return _slideRt; }
    QRectF leftCutRt() const { return _leftCutRt; }
    QRectF rightCutRt() const { return _rightCutRt; }
    QRectF cursorRt() const { return _cursorRt; }
    QRectF timeValueRt() const { return _timeValueRt; }
    int dragType() const { return _dragType; }
    bool bLongTimeDesc() const { return _bLongTimeDesc; }
    bool bCursorPressed() const { return _bCursorPressed; }
    bool bLeftCutPressed() const { return _bLeftCutPressed; }
    bool bRightCutPressed() const { return _bRightCutPressed; }
    // The minimum gap between the cut points, in points: 2 / totalTime x bar width.
    double minGap() const;
    // The fractions the handles and the cursor stand for.
    double leftCutFraction() const;
    double rightCutFraction() const;
    double cursorFraction() const;
    // Hit testing of a lower-left point (what a pointer movement there selects).
    int hitTest(const QPointF &point) const;

    // Moves a handle by a number of seconds as a drag of it does (the delegate hears the
    // press, the movement, the release and the cut), within the bar and the minimum range.
    // Nothing while the delegate does not allow dragging.
    void moveCutByUser(bool left, double seconds);
    // The handle the keyboard moves: Tab into the slider takes the left one, Tab again the
    // right one, and the next Tab leaves. Left and Right move it by a second, with Shift by
    // 0.05 s, Home and End to its bounds. DragNone when the focus came otherwise (the
    // editor's own arrows then step the picture).
    int keyHandle() const { return _keyHandle; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    double barWidth() const { return _slideRt.width(); }
    double handleWidth() const;
    void seekToPoint(double px);
    void mouseMoved(QMouseEvent *event, const QPointF &p);
    void mouseDragged(const QPointF &p);
    void drawBar(QPainter &p, const QPixmap &start, const QPixmap &mid, const QPixmap &end, double y, bool selected);
    void drawAt(QPainter &p, const QPixmap &pic, const QRectF &lowerLeft) const;

    LXCutSliderDelegate *_delegate = nullptr;
    int _keyHandle = DragNone;
    QRectF _slideRt, _leftCutRt, _rightCutRt, _cursorRt, _timeValueRt;
    int _dragType = DragNone;
    double _leftCutTime = 0, _rightCutTime = 0, _currentTime = 0, _totalTime = 0;
    bool _bLongTimeDesc = true;
    bool _bCursorPressed = false, _bLeftCutPressed = false, _bRightCutPressed = false;
    int _cutDeltaY = 0, _posDeltaY = 0, _slideFgDeltaY = 0, _slideBgDeltaY = 0;
    QPixmap _leftCutNormal, _leftCutPress, _rightCutNormal, _rightCutPress, _cursorNormal, _cursorPress;
    QPixmap _prgStartBg, _prgMidBg, _prgEndBg, _prgStartFg, _prgMidFg, _prgEndFg, _progressBg, _progressFg;
};
