#pragma once
// A single-line text label on an LXView.
#include "glazeform/LXView.h"

#include <QFont>

class LXLabel : public LXView {
    Q_OBJECT
public:
    enum Alignment { AlignLeft = 0, AlignRight = 1, AlignCenter = 2 };

    explicit LXLabel(QWidget *parent = nullptr);
    LXLabel(const QRectF &frame, QWidget *parent);

    const QString &textTitle() const { return _textTitle; }
    void setTextTitle(const QString &text); // redraws
    const QString &textKey() const { return _textKey; }
    void setTextKey(const QString &key) { _textKey = key; }
    QColor textColor() const { return _textColor; }
    void setTextColor(const QColor &c) { _textColor = c, update(); }
    const QFont &textFont() const { return _textFont; }
    void setTextFont(const QFont &f) { _textFont = f, update(); }
    bool bDrawShadow() const { return _bDrawShadow; }
    void setBDrawShadow(bool on) { _bDrawShadow = on, update(); }
    bool bUseDot() const { return _bUseDot; }
    void setBUseDot(bool on) { _bUseDot = on, update(); }
    int textAlignment() const { return _textAlignment; }
    void setTextAlignment(int a) { _textAlignment = a, update(); }

    // What is drawn for the current width: the whole text, or with bUseDot a text that does
    // not fit cut short and ended with "...".
    QString displayedText() const;
    // The text rectangle in lower-left view coordinates.
    QRectF textRect() const;

protected:
    void drawContent(QPainter &painter, const QRect &dirty) override;

private:
    QString _textTitle;
    QString _textKey;
    QColor _textColor = QColor::fromRgbF(0.611764705882353f, 0.611764705882353f, 0.611764705882353f);
    QFont _textFont;
    bool _bDrawShadow = false;
    bool _bUseDot = false;
    int _textAlignment = AlignLeft;
};
