#pragma once
// A two-arrow spin control holding a number between minValue and maxValue: a release on the
// upper half adds one, on the lower half subtracts one.
#include <QPixmap>
#include <QWidget>

class LXSpinButton;

// Every method is optional: the defaults do nothing.
class LXSpinButtonDelegate {
public:
    virtual ~LXSpinButtonDelegate() = default;
    virtual void spinButtonTopDown(LXSpinButton *spin) { (void)spin; }
    virtual void spinButtonBtmDown(LXSpinButton *spin) { (void)spin; }
    // Release inside, after the value changed (or stayed at its bound).
    virtual void spinButtonTopUp(LXSpinButton *spin) { (void)spin; }
    virtual void spinButtonBtmUp(LXSpinButton *spin) { (void)spin; }
    // Release outside: the value is unchanged.
    virtual void pressCanceled(LXSpinButton *spin) { (void)spin; }
};

class LXSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit LXSpinButton(QWidget *parent = nullptr);
    LXSpinButton(const QRectF &frame, QWidget *parent);

    LXSpinButtonDelegate *delegate() const { return _delegate; }
    void setDelegate(LXSpinButtonDelegate *d) { _delegate = d; }
    bool bEnabled() const { return _bEnabled; }
    void setBEnabled(bool on) { _bEnabled = on, update(); }
    bool bPressed() const { return _bPressed; }
    bool bCanceled() const { return _bCanceled; }
    bool bInTopArea() const { return _bInTopArea; }
    double maxValue() const { return _maxValue; }
    void setMaxValue(double v) { _maxValue = v; }
    double minValue() const { return _minValue; }
    void setMinValue(double v) { _minValue = v; }
    double curValue() const { return _curValue; }
    // Clamped to minValue..maxValue.
    void setCurValue(double v);
    // One step up or down, as a release on the upper or lower arrow (the keyboard's Up and
    // Down, a screen reader's increment); reported to the delegate even at a bound.
    void stepUp();
    void stepDown();
    void setBackgroundImage(const QPixmap &p) { _backgroundImage = p, update(); }
    void setTopBtnPressImage(const QPixmap &p) { _topBtnPressImage = p, update(); }
    void setBtmBtnPressImage(const QPixmap &p) { _btmBtnPressImage = p, update(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void trackPointer(const QPointF &qtPoint);
    LXSpinButtonDelegate *_delegate = nullptr;
    bool _bEnabled = true;
    bool _bPressed = false;
    bool _bCanceled = false;
    bool _bInTopArea = false;
    double _maxValue = 10;
    double _minValue = 0;
    double _curValue = 0;
    QPixmap _backgroundImage, _topBtnPressImage, _btmBtnPressImage;
};
