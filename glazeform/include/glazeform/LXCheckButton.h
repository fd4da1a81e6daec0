#pragma once
// A check box with a text beside its picture.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QWidget>
#include <optional>

class LXCheckButton;

// Every method is optional: the defaults do nothing.
class LXCheckButtonDelegate {
public:
    virtual ~LXCheckButtonDelegate() = default;
    virtual void willClickButton(LXCheckButton *button) { (void)button; }
    // After the state flipped on a release.
    virtual void clickedButtonChecked(LXCheckButton *button, bool checked) { (void)button, (void)checked; }
};

class LXCheckButton : public QWidget {
    Q_OBJECT
public:
    explicit LXCheckButton(QWidget *parent = nullptr);
    LXCheckButton(const QRectF &frame, QWidget *parent);

    LXCheckButtonDelegate *delegate() const { return _delegate; }
    void setDelegate(LXCheckButtonDelegate *d) { _delegate = d; }
    bool bChecked() const { return _bChecked; }
    void setBChecked(bool on) { _bChecked = on, update(); }
    bool bEnabled() const { return _bEnabled; }
    void setBEnabled(bool on) { _bEnabled = on, update(); }
    // 1: picture left of the text; anything else: picture right of it.
    int textTitleType() const { return _textTitleType; }
    void setTextTitleType(int t) { _textTitleType = t, update(); }
    const QString &textTitle() const { return _textTitle; }
    void setTextTitle(const QString &t) { _textTitle = t, update(); }
    void setTextColor(const QColor &c) { _textColor = c, update(); }
    void setTextShadowColor(const QColor &c) { _textShadowColor = c, update(); }
    void setTextFont(const QFont &f) { _textFont = f, update(); }
    void setNormalImage(const QPixmap &p) { _normalImage = p, update(); }
    void setCheckedImage(const QPixmap &p) { _checkedImage = p, update(); }
    // Flips the box as a click does (Space, a screen reader's toggle); nothing when disabled.
    void performClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    LXCheckButtonDelegate *_delegate = nullptr;
    bool _bChecked = false;
    bool _bEnabled = true;
    int _textTitleType = 1;
    QString _textTitle;
    std::optional<QColor> _textColor, _textShadowColor;
    std::optional<QFont> _textFont;
    QPixmap _normalImage, _checkedImage;
};
