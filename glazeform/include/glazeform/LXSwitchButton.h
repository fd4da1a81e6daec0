#pragma once
// An on/off switch: a track button and a knob button that slides across it in 0.15 s.
#include "glazeform/LXButton.h"

#include <QPointer>
#include <QPropertyAnimation>

class LXSwitchButton : public QWidget, private LXButtonDelegate {
    Q_OBJECT
public:
    static constexpr int kAnimationMs = 150;
    // The knob's frames (lower-left) in the off and on states.
    static QRectF offKnobFrame() { return QRectF(0, 0, 25, 18); }
    static QRectF onKnobFrame() { return QRectF(22, 0, 25, 18); }

    explicit LXSwitchButton(QWidget *parent = nullptr);
    LXSwitchButton(const QRectF &frame, QWidget *parent);

    bool bOnStates() const { return _bOnStates; }
    // Sets the state without animation and without reporting it.
    void setBOnStates(bool on);
    bool bProcessing() const { return _bProcessing; }
    // Track and knob pictures (each given to its button as normal and pressed picture).
    void setBtnBackgroundImage(const QPixmap &p);
    void setBtnForegroundImage(const QPixmap &p);
    LXButton *backgroundButton() const { return _bg; }
    LXButton *knobButton() const { return _knob; }

    // Flips the switch as a click does (the keyboard's Space or Return, a screen reader).
    void toggle() { buttonUp(nullptr); }

signals:
    // After a press flipped the state (at the start of the animation).
    void stateChanged(bool on);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buttonUp(LXButton *button) override;
    LXButton *_bg = nullptr;
    LXButton *_knob = nullptr;
    QPointer<QPropertyAnimation> _animation;
    bool _bOnStates = false;
    bool _bProcessing = false;
};
