#pragma once
// A frameless top-level window that the user moves by dragging its picture: a press on the
// window itself, or on a child marked as a drag handle, followed by a movement of more than
// the platform's drag distance moves the window with the pointer. Presses on other children
// (buttons, sliders) stay theirs. Where the platform lets the window manager move windows
// (X11, Wayland: QWindow::startSystemMove), it does, and the drag ends for this window as it
// takes over (down, then up at once); elsewhere the window moves itself.
//
// The window reports the phases of a drag to its delegate, with the pointer in screen
// points (origin at the lower left of the primary screen, as LXGeometry gives them). A press
// that never moves far enough is no drag and reports nothing; the press, and its release,
// still reach the widget under the pointer.
// Main thread only.
#include <QPointF>
#include <QWidget>

// Every method is optional: the defaults do nothing.
class LXDragWindowDelegate {
public:
    virtual ~LXDragWindowDelegate() = default;
    virtual void dragWindowMouseDown(const QPointF &screenPoint) { (void)screenPoint; }
    virtual void dragWindowMouseDragged(const QPointF &screenPoint) { (void)screenPoint; }
    virtual void dragWindowMouseUp(const QPointF &screenPoint) { (void)screenPoint; }
};

class LXDragWindow : public QWidget {
    Q_OBJECT
public:
    // The dynamic property that makes a child a drag handle (a bool, true).
    static const char *const kDragHandleProperty; // "lxDragHandle"

    explicit LXDragWindow(QWidget *parent = nullptr);
    ~LXDragWindow() override;

    LXDragWindowDelegate *dragWindowDelegate() const { return _delegate; }
    void setDragWindowDelegate(LXDragWindowDelegate *d) { _delegate = d; }
    // Marks `child` as a handle: drags may start on it.
    static void setDragHandle(QWidget *child, bool on = true);
    // A drag is under way.
    bool isDragging() const { return _dragging; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool startsDrag(QWidget *target) const;
    void endDrag(const QPointF &global);

    LXDragWindowDelegate *_delegate = nullptr;
    QPointF _pressGlobal;
    QPoint _pressWindowPos;
    bool _pressed = false;
    bool _dragging = false;
};
