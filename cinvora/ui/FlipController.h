#pragma once
// The page flip of the main window: the shown page turns away around its vertical axis and
// the other page turns in, over a given duration. The pages' hidden states are swapped at
// the start, so the window's state is final at once and only the picture is animated.
#include <QObject>
#include <QPixmap>
#include <QPointer>

class QVariantAnimation;
class QWidget;

class FlipController : public QObject {
    Q_OBJECT
public:
    static constexpr double kDefaultDuration = 0.75; // seconds

    // Flips from whichever of the two views is shown to the other one. The views share one
    // parent and one area. Returns the running flip (it deletes itself when done).
    static FlipController *flipViewsFirstViewSecondViewDuration(QWidget *window, QWidget *firstView,
                                                                QWidget *secondView, double duration);
    // The flip running over this parent, or null.
    static FlipController *runningFlip(QWidget *parent);

    double progress() const { return _progress; }
    int durationMs() const { return _durationMs; }
    // Ends the animation at once (the pages are already in their final state).
    void finish();

signals:
    void finished();

private:
    FlipController(QWidget *from, QWidget *to, double duration);
    void start();
    class Overlay;
    friend class Overlay;

    QPointer<QWidget> _from, _to;
    QPointer<QWidget> _overlay;
    QPointer<QVariantAnimation> _animation;
    QPixmap _fromPicture, _toPicture;
    double _progress = 0;
    bool _done = false;
    int _durationMs = 750;
};
