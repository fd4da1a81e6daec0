#pragma once
// A view with a stretchable background picture; the base of rows, strips and cells.
#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <optional>

class LXView;
class QWheelEvent;

// Every method is optional: the defaults do nothing.
class LXViewDelegate {
public:
    virtual ~LXViewDelegate() = default;
    // A press on an enabled view. The press then goes on to the parent widget.
    virtual void clickView(LXView *view) { (void)view; }
    // Pointer movement while tracking is on; the point is in the view's window, Qt coordinates.
    virtual void pointInRect(const QPointF &windowPoint) { (void)windowPoint; }
    // Scroll wheel, when the view's bUseScrollWheel is set.
    virtual void onScrollWheel(QWheelEvent *event) { (void)event; }
};

class LXView : public QWidget {
    Q_OBJECT
public:
    explicit LXView(QWidget *parent = nullptr);
    // Placed by a lower-left frame in the parent (LXGeometry::place).
    LXView(const QRectF &frame, QWidget *parent);
    ~LXView() override;

    LXViewDelegate *delegate() const { return _delegate; }
    void setDelegate(LXViewDelegate *d) { _delegate = d; }

    // Drawn nine-sliced over the bounds when present.
    const QPixmap &backGroundImage() const { return _backGroundImage; }
    void setBackGroundImage(const QPixmap &image);
    // Filled when there is no picture and bDrawBackground is set; red when never set.
    QColor backGroundColor() const { return _backGroundColor.value_or(QColor(Qt::red)); }
    void setBackGroundColor(const QColor &color);
    bool bEnabled() const { return _bEnabled; }
    void setBEnabled(bool on) { _bEnabled = on; }
    bool bDrawBackground() const { return _bDrawBackground; }
    void setBDrawBackground(bool on);
    bool bUseScrollWheel() const { return _bUseScrollWheel; }
    void setBUseScrollWheel(bool on) { _bUseScrollWheel = on; }

    // Pointer tracking (for pointInRect) on, keyboard focus taken; answers true.
    bool becomeFirstResponder();
    bool resignFirstResponder();
    bool acceptsFirstResponder() const { return true; }

    // Vertical wheel movement in lines (one notch = 1), positive away from the user.
    static double wheelDeltaY(const QWheelEvent *event);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    // Subclasses draw above the background here (Qt coordinates).
    virtual void drawContent(QPainter &painter, const QRect &dirty);

private:
    LXViewDelegate *_delegate = nullptr;
    QPixmap _backGroundImage;
    std::optional<QColor> _backGroundColor;
    bool _bEnabled = true;
    bool _bDrawBackground = false;
    bool _bUseScrollWheel = false;
};
