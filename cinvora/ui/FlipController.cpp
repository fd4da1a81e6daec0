#include "FlipController.h"

#include <QPainter>
#include <QTransform>
#include <QVariantAnimation>
#include <QWidget>
#include <cmath>

namespace {
constexpr char kRunningProperty[] = "cinvoraRunningFlip";
}

// Draws the turning page over both pages while the flip runs.
class FlipController::Overlay : public QWidget {
public:
    Overlay(FlipController *flip, QWidget *parent) : QWidget(parent), _flip(flip) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        if (!_flip)
            return;
        const double angle = _flip->_progress * 180.0;
        const bool firstHalf = angle < 90.0;
        const QPixmap &pic = firstHalf ? _flip->_fromPicture : _flip->_toPicture;
        const double a = firstHalf ? angle : angle - 180.0;
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.setRenderHint(QPainter::Antialiasing, true);
        QTransform t;
        t.translate(width() / 2.0, height() / 2.0);
        t.rotate(a, Qt::YAxis);
        t.translate(-width() / 2.0, -height() / 2.0);
        p.setTransform(t);
        p.drawPixmap(QRectF(rect()), pic, QRectF(pic.rect()));
        // The page darkens as it turns edge-on.
        const int shade = int(std::min(1.0, std::abs(std::sin(a * M_PI / 180.0))) * 150);
        p.fillRect(rect(), QColor(0, 0, 0, shade));
    }

private:
    QPointer<FlipController> _flip;
};

FlipController::FlipController(QWidget *from, QWidget *to, double duration)
    : QObject(from->parentWidget()), _from(from), _to(to), _durationMs(std::max(1, int(std::lround(duration * 1000)))) {
}

FlipController *FlipController::runningFlip(QWidget *parent) {
    if (!parent)
        return nullptr;
    return qobject_cast<FlipController *>(parent->property(kRunningProperty).value<QObject *>());
}

FlipController *FlipController::flipViewsFirstViewSecondViewDuration(QWidget *window, QWidget *firstView,
                                                                     QWidget *secondView, double duration) {
    (void)window;
    if (!firstView || !secondView || firstView->parentWidget() != secondView->parentWidget())
        return nullptr;
    QWidget *parent = firstView->parentWidget();
    if (FlipController *running = runningFlip(parent))
        running->finish();
    QWidget *from = firstView->isHidden() ? secondView : firstView;
    QWidget *to = from == firstView ? secondView : firstView;
    auto *flip = new FlipController(from, to, duration);
    parent->setProperty(kRunningProperty, QVariant::fromValue<QObject *>(flip));
    flip->start();
    return flip;
}

void FlipController::start() {
    QWidget *parent = _from->parentWidget();
    _fromPicture = _from->grab();
    // Each view's hidden state is inverted before the picture of the new page is taken.
    _from->setHidden(true);
    _to->setHidden(false);
    _to->setGeometry(_from->geometry());
    _toPicture = _to->grab();
    auto *overlay = new Overlay(this, parent);
    overlay->setGeometry(_from->geometry());
    overlay->show();
    overlay->raise();
    _overlay = overlay;
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(_durationMs);
    animation->setEasingCurve(QEasingCurve::InOutCubic);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        _progress = v.toDouble();
        if (_overlay)
            _overlay->update();
    });
    connect(animation, &QVariantAnimation::finished, this, &FlipController::finish);
    _animation = animation;
    animation->start();
}

void FlipController::finish() {
    if (_done)
        return;
    _done = true;
    if (_animation) {
        QVariantAnimation *a = _animation;
        _animation = nullptr;
        a->disconnect(this);
        a->stop();
    }
    _progress = 1.0;
    if (_overlay)
        _overlay->deleteLater();
    _overlay = nullptr;
    if (_from && _from->parentWidget() && runningFlip(_from->parentWidget()) == this)
        _from->parentWidget()->setProperty(kRunningProperty, QVariant());
    emit finished();
    deleteLater();
}
