#pragma once
// The floating control bar over the player: borderless, transparent and above the picture.
// It creates none of its controls: its data source hands them over in a fixed order.
// It can be dragged by any free part; while locked it stays inside a rectangle (the video
// area) and reports where it is dragged.
//
// The bar (and the frame-stepping panel, LXCountdownWindow) is an overlay: a child widget
// of the window it floats over, never a window of its own. A Wayland compositor places
// every window itself and tells no client where; only a part of a window goes where its
// window goes, and never takes the keyboard from it.
//
// Screen geometry here (frames, the lock rectangle, dragged origins) is in points with the
// origin at the lower-left corner of the primary screen, as LXMediaCommon::flowRect() gives it,
// in the coordinates the window under the bar maps to (Qt's global coordinates; under
// Wayland they agree only within one window, which is all an overlay needs).
// There is at most one floating control bar; it lives on the GUI thread.
#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <mutex>

class LXConverWinView;
class QEnterEvent;

// Every method is optional: the defaults do nothing.
class LXConvertWinViewDelegate {
public:
    virtual ~LXConvertWinViewDelegate() = default;
    virtual void restoreAutoHideTime() {}
};

// Each control request returns the view to show (created with `view` as its parent, placed by
// a lower-left frame in it), or nullptr for none. A data source is also the view's delegate.
class LXConvertWinViewDataSource : public LXConvertWinViewDelegate {
public:
    virtual QWidget *backgroundView(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *playController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *playInEditorController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *voiceLogoController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *voiceSliderController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *exitFullScreenController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *nextController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *previousController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *progressController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *cutSliderController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *leftLabelController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *rightLabelController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *backController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *exportController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *trimController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *cancelTrimController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *startLabelController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual QWidget *endLabelController(LXConverWinView *view) { return (void)view, nullptr; }
    virtual void mouseEnterOnConverWinView() {}
    virtual void mouseExitedOnConverWinView() {}
    virtual void mouseDownOnConverWinView() {}
    // The window's new origin after a drag step of a locked window.
    virtual void dragPoint(const QPointF &origin) { (void)origin; }
};

// Every method is optional: the defaults do nothing.
class LXConvertWinDelegate {
public:
    virtual ~LXConvertWinDelegate() = default;
    virtual void mouseEnterCoverWin(QEvent *event) { (void)event; }
    virtual void mouseExitCoverWin(QEvent *event) { (void)event; }
};

class LXConverWinView : public QWidget {
    Q_OBJECT
public:
    LXConverWinView(const QSizeF &size, LXConvertWinViewDataSource *dataSource, QWidget *parent = nullptr);

    LXConvertWinViewDelegate *convertWinViewDelegate() const { return _delegate; }
    void setConvertWinViewDelegate(LXConvertWinViewDelegate *d) { _delegate = d; }
    LXConvertWinViewDataSource *convertWinViewDataSource() const { return _dataSource; }
    void setConvertWinViewDataSource(LXConvertWinViewDataSource *d) { _dataSource = d; }
    // Asks the data source for every control, in the fixed order, and stacks them.
    void addControlOnConvertView();
    void clearAutoHideTime();
    // The controls in stacking order, bottom first.
    const QList<QPointer<QWidget>> &controls() const { return _controls; }

    // One drag step: the window's origin for a pointer moved by `delta` since the press, kept
    // on the screen and, when locked, inside the lock rectangle (22 points below its top).
    static QPointF dragOrigin(const QPointF &originalPoint, const QPointF &delta, const QSizeF &windowSize,
                              const QSizeF &screenSize, bool locked, const QRectF &lockRect);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // What a drag moves: the bar the view fills, or the window that holds the view.
    QWidget *draggedWidget() const;

    LXConvertWinViewDelegate *_delegate = nullptr;
    LXConvertWinViewDataSource *_dataSource = nullptr;
    QList<QPointer<QWidget>> _controls;
    QPointF _startPoint;
    QPointF _originalPoint;
    std::mutex _dragLock;
};

class LXConverWin : public QWidget {
    Q_OBJECT
public:
    // The single window, or nullptr.
    static LXConverWin *convertWin();
    // Creates the bar if there is none, shows it (on no window: a frameless window of its own;
    // the keyboard stays where it is) and returns it.
    static LXConverWin *showConverWinWithFrameConvertWinViewDelegateIsPlaying(const QRectF &frame,
                                                                              LXConvertWinViewDataSource *dataSource,
                                                                              bool isPlaying);
    // Creates the window (not shown) if there is none; an existing window is returned unchanged.
    static LXConverWin *showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(
        const QRectF &frame, LXConvertWinViewDataSource *dataSource, bool isPlaying, QWidget *parentWin);
    // Full screen: hides and releases the bar; otherwise detaches it from its window and
    // closes it. The slot is empty afterwards.
    static void destrayAsChildConverWin(bool fullScreen);
    static void destrayConverWin();

    // The bar becomes an overlay of `parent`'s window (the player's window, or the
    // full-screen window in full screen), where it was on the screen, above the window's
    // other contents; it goes wherever that window goes. The keyboard stays with that
    // window, whose keys (Esc, Ctrl+W) keep working after a click on the bar. Without a
    // parent the bar is just shown.
    void addToParentWindowIsFullScreen(QWidget *parent, bool fullScreen);
    // Takes the bar off its window (hidden, where it was).
    void removeFromParentWin();
    QWidget *parentWin() const { return _parentWin; }
    bool lockWin() const { return _lockWin; }
    void setLockWin(bool on) { _lockWin = on; }
    QRectF lockRect() const { return _lockRect; }
    void setLockRect(const QRectF &r) { _lockRect = r; }
    LXConvertWinDelegate *converWinDelegate() const { return _converWinDelegate; }
    void setConverWinDelegate(LXConvertWinDelegate *d) { _converWinDelegate = d; }
    LXConverWinView *converView() const { return _converView; }
    // The bar's frame in lower-left screen points.
    QRectF screenFrame() const;
    void setScreenFrame(const QRectF &frame);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    LXConverWin(const QRectF &frame, LXConvertWinViewDataSource *dataSource);
    ~LXConverWin() override;
    static QPointer<LXConverWin> &slot();

    LXConverWinView *_converView = nullptr;
    QPointer<QWidget> _parentWin;
    bool _lockWin = false;
    QRectF _lockRect;
    LXConvertWinDelegate *_converWinDelegate = nullptr;
};

// A small borderless, transparent panel over a window (the frame-stepping panel): an
// overlay of that window, as the bar is.
class LXCountdownWindow : public QWidget {
    Q_OBJECT
public:
    // A panel with the given frame in lower-left screen points.
    explicit LXCountdownWindow(const QRectF &contentRect);
    // The content fills the panel; the panel takes ownership.
    void setContentView(QWidget *view);
    QWidget *contentView() const { return _content; }
    // Lays the panel over `parent`'s window, where it was on the screen, above the window's
    // other contents (the bar too); none takes it off.
    void attachToWindow(QWidget *parent);
    bool canBecomeKeyWindow() const { return true; }
    QRectF screenFrame() const;
    void setScreenFrame(const QRectF &frame);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *_content = nullptr;
};
