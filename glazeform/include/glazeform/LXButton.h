#pragma once
// A picture button with a text title: normal, pressed and disabled pictures, drawn at their
// own size in the middle of the button.
#include <QColor>
#include <QFont>
#include <QKeySequence>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <optional>

class LXButton;
class QMouseEvent;

// Every method is optional: the defaults do nothing.
class LXButtonDelegate {
public:
    virtual ~LXButtonDelegate() = default;
    virtual void buttonDown(LXButton *button) { (void)button; }
    // Release inside the button: first with the event (null for a key or a screen
    // reader's press), then without.
    virtual void buttonUpWithEvent(LXButton *button, QMouseEvent *event) { (void)button, (void)event; }
    virtual void buttonUp(LXButton *button) { (void)button; }
    // Release outside the button.
    virtual void pressCanceled(LXButton *button) { (void)button; }
};

class LXButton : public QWidget {
    Q_OBJECT
public:
    enum Alignment { AlignLeft = 0, AlignRight = 1, AlignCenter = 2 };

    explicit LXButton(QWidget *parent = nullptr);
    // Placed by a lower-left frame in the parent.
    LXButton(const QRectF &frame, QWidget *parent);

    LXButtonDelegate *delegate() const { return _delegate; }
    void setDelegate(LXButtonDelegate *d) { _delegate = d; }

    const QPixmap &normalImage() const { return _normalImage; }
    void setNormalImage(const QPixmap &p) { _normalImage = p, update(); }
    const QPixmap &pressImage() const { return _pressImage; }
    void setPressImage(const QPixmap &p) { _pressImage = p, update(); }
    const QPixmap &disableImage() const { return _disableImage; }
    void setDisableImage(const QPixmap &p) { _disableImage = p, update(); }
    // Normal and pressed picture by resource name in one go (LXImage::named).
    void setImages(const QString &normalName, const QString &pressName, const QString &disableName = {});

    bool bEnabled() const { return _bEnabled; }
    void setBEnabled(bool on) { _bEnabled = on, update(); }
    float yOffSet() const { return _yOffSet; }
    void setYOffSet(float v) { _yOffSet = v, update(); }
    const QString &textTitle() const { return _textTitle; }
    void setTextTitle(const QString &t) { _textTitle = t, update(); }
    int textAlignment() const { return _textAlignment; }
    void setTextAlignment(int a) { _textAlignment = a, update(); }
    const QFont &textFont() const { return _textFont; }
    void setTextFont(const QFont &f) { _textFont = f, update(); }
    QColor textNormalColor() const { return _textNormalColor; }
    void setTextNormalColor(const QColor &c) { _textNormalColor = c, update(); }
    QColor textPressColor() const { return _textPressColor; }
    void setTextPressColor(const QColor &c) { _textPressColor = c, update(); }
    std::optional<QColor> textDisableColor() const { return _textDisableColor; }
    void setTextDisableColor(const QColor &c) { _textDisableColor = c, update(); }
    std::optional<QColor> textShadowColor() const { return _textShadowColor; }
    void setTextShadowColor(const QColor &c) { _textShadowColor = c, update(); }
    bool bPressed() const { return _bPressed; }
    bool bCanceled() const { return _bCanceled; }
    bool bShadowText() const { return _bShadowText; }
    void setBShadowText(bool on) { _bShadowText = on, update(); }
    // Where the last press started, lower-left view coordinates.
    QPointF clickMousePoint() const { return _mousePoint; }

    // The picture for the current state (disabled, pressed, normal).
    QPixmap currentImage() const;
    // The window's key for this button: shown after the tool tip ("Add files (Ctrl+O)")
    // and given to screen readers as the press action's key; the tool tip itself stays.
    const QKeySequence &keyHint() const { return _keyHint; }
    void setKeyHint(const QKeySequence &key) { _keyHint = key; }
    // The tool tip as shown: with the key, when there is one.
    QString shownToolTip() const;
    // A press and release inside the button as the keyboard (Space, Return) and screen
    // readers make it: buttonDown, then buttonUpWithEvent without an event, then buttonUp.
    // Nothing when the button is disabled.
    void performClick();
    // The title's rectangle in lower-left view coordinates for a title of the given size.
    QRectF titleRect(const QSizeF &titleSize) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    // Draws a picture centred, at 1.0 opacity when enabled and 0.6 when not.
    void drawCenterImage(QPainter &p, const QPixmap &image);

private:
    LXButtonDelegate *_delegate = nullptr;
    QPixmap _normalImage, _pressImage, _disableImage;
    bool _bEnabled = true;
    float _yOffSet = 0;
    QString _textTitle = QStringLiteral("Title");
    int _textAlignment = AlignCenter;
    QFont _textFont;
    QColor _textNormalColor = Qt::white;
    QColor _textPressColor = Qt::white;
    std::optional<QColor> _textDisableColor = QColor(Qt::gray);
    std::optional<QColor> _textShadowColor;
    bool _bPressed = false;
    bool _bCanceled = false;
    bool _bShadowText = true;
    QPointF _mousePoint;
    QKeySequence _keyHint;
};
