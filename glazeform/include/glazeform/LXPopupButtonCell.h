#pragma once
// Paints a standard pop-up (combo) button with a picture and a title colour; the list it
// opens stays the desktop's own.
#include <QColor>
#include <QComboBox>
#include <QPixmap>
#include <optional>

class LXPopupButtonCell : public QComboBox {
    Q_OBJECT
public:
    explicit LXPopupButtonCell(QWidget *parent = nullptr);

    std::optional<QColor> titleColor() const { return _titleColor; }
    void setTitleColor(const QColor &c) { _titleColor = c, update(); }
    // Drawn nine-sliced over the whole button; without it the desktop's own look is kept.
    void setPopupNormalImage(const QPixmap &p) { _popupNormalImage = p, update(); }
    // Stored only.
    void setPopupPressImage(const QPixmap &p) { _popupPressImage = p; }
    const QPixmap &popupPressImage() const { return _popupPressImage; }

    // The width the open list needs to show its longest entry whole.
    int listWidthForEntries() const;
    void showPopup() override;
    // The width the button itself needs to show its longest entry whole, arrow included.
    int faceWidthForEntries() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<QColor> _titleColor;
    QPixmap _popupNormalImage, _popupPressImage;
};
