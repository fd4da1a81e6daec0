// The player view's widget side: the public calls, painting, pointer and keyboard input,
// and the full-screen window.
#include "SWPlayerPrivate.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>

// A frameless top-level window that shows the player's pictures over a whole screen. It
// is the player's child (a Qt::Window with a parent), so it never outlives the player.
class SWFullScreenView : public QWidget {
public:
    explicit SWFullScreenView(SWPlayer *player)
        : QWidget(player, Qt::Window | Qt::FramelessWindowHint), _player(player) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setWindowTitle(player->window() ? player->window()->windowTitle() : QString());
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        _player->d->paintFrame(p, rect());
    }
    void mousePressEvent(QMouseEvent *e) override {
        if (e->button() == Qt::LeftButton)
            _player->d->mouseDown();
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override {
        if (e->button() == Qt::LeftButton)
            _player->d->doubleClick();
    }
    void mouseMoveEvent(QMouseEvent *) override { _player->d->pointerMoved(); }
    void enterEvent(QEnterEvent *) override { _player->d->pointerEntered(); }
    void leaveEvent(QEvent *) override { _player->d->pointerLeft(); }
    void keyPressEvent(QKeyEvent *e) override {
        if (!_player->d->keyDown(e))
            QWidget::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent *e) override {
        // Closed by the window manager: leave full screen the ordinary way, after this
        // event has been delivered.
        e->ignore();
        QMetaObject::invokeMethod(
            _player, [p = _player] { p->exitFullScreenMode(); }, Qt::QueuedConnection);
    }

private:
    SWPlayer *_player;
};

SWPlayer::SWPlayer(QWidget *parent) : QWidget(parent), d(std::make_unique<SWPlayerPrivate>(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(16, 16);
}

SWPlayer::~SWPlayer() {
    // libmpv goes down while the widget is still whole; queued calls to it are dropped
    // with the QObject afterwards.
    d.reset();
}

void SWPlayer::setDelegate(SWPlayerDelegate *delegate) { d->delegate = delegate; }
SWPlayerDelegate *SWPlayer::delegate() const { return d->delegate; }

void SWPlayer::setPlayFile(const QString &path) { d->openFile(path); }
QString SWPlayer::playFile() const { return d->path; }
bool SWPlayer::isPlayable() const { return d->loaded; }

void SWPlayer::play() { d->play(); }
void SWPlayer::pause() { d->pause(); }
void SWPlayer::stop() { d->stop(); }
bool SWPlayer::isRunning() const { return d->isRunning(); }
void SWPlayer::seekTo(double position) { d->seekTo(position); }
double SWPlayer::position() const { return d->position(); }
void SWPlayer::setVolume(int volume) { d->setVolume(volume); }
int SWPlayer::volume() const { return d->volume; }
double SWPlayer::engineVolume() const { return d->doubleProperty("volume", 0.0); }
bool SWPlayer::isSeeking() const { return d->seekPending || d->parking || d->seekBeforeLoad.has_value(); }
void SWPlayer::beginToSeek() { d->beginToSeek(); }
void SWPlayer::endSeeking() { d->endSeeking(); }
void SWPlayer::setPlayStartTimeDuration(int64_t startUs, int64_t durationUs) { d->setWindow(startUs, durationUs); }
int64_t SWPlayer::playStartTime() const { return d->windowStartUs; }
int64_t SWPlayer::playDuration() const { return d->windowDurationUs; }
void SWPlayer::gotoNextFrame() { d->gotoNextFrame(); }

void SWPlayer::changeSubtitle(int streamNumber) { d->changeSubtitle(streamNumber); }
void SWPlayer::changeAudioTrack(int streamNumber) { d->changeAudioTrack(streamNumber); }
void SWPlayer::loadPluginSubtitle(const QString &path) { d->loadPluginSubtitle(path); }

int SWPlayer::currentAudioStreamNumber() const {
    for (const auto &t : d->tracks())
        if (t.type == u"audio" && t.selected && !t.external)
            return t.ffIndex;
    return -1;
}

int SWPlayer::currentSubtitleStreamNumber() const {
    for (const auto &t : d->tracks())
        if (t.type == u"sub" && t.selected && !t.external)
            return t.ffIndex;
    return -1;
}

QString SWPlayer::currentExternalSubtitle() const {
    for (const auto &t : d->tracks())
        if (t.type == u"sub" && t.selected && t.external)
            return t.externalFile;
    return {};
}

int SWPlayer::audioChannelCount() const {
    return static_cast<int>(std::max<int64_t>(0, d->intProperty("audio-params/channel-count", 0)));
}

void SWPlayer::setIsAbsoluteEditor(bool value) { d->absoluteEditor = value; }
bool SWPlayer::isAbsoluteEditor() const { return d->absoluteEditor; }
void SWPlayer::setIsPlayerAndEditor(bool value) { d->playerAndEditor = value; }
bool SWPlayer::isPlayerAndEditor() const { return d->playerAndEditor; }

int64_t SWPlayer::currentTimeUs() const { return std::llround(d->currentSeconds() * 1e6); }
int64_t SWPlayer::clockStartUs() const { return d->loaded ? std::llround(d->demuxerStart * 1e6) : 0; }
int64_t SWPlayer::durationUs() const { return d->loaded ? std::llround(d->duration * 1e6) : 0; }
double SWPlayer::frameRate() const { return d->fps; }
QImage SWPlayer::currentFrame() const { return d->frame.copy(); }
quint64 SWPlayer::renderedFrameCount() const { return d->framesDrawn; }
QString SWPlayer::initError() const { return d->initError; }

// ---------------------------------------------------------------------------------------
// Full screen

bool SWPlayer::isInFullScreenMode() const { return !d->fullScreenView.isNull(); }

QWidget *SWPlayer::fullScreenWindow() const { return d->fullScreenView.data(); }

void SWPlayer::fullScreen() {
    if (isInFullScreenMode())
        exitFullScreenMode();
    else
        enterFullScreenMode();
}

void SWPlayer::enterFullScreenMode() {
    if (isInFullScreenMode())
        return;
    auto *view = new SWFullScreenView(this);
    d->fullScreenView = view;
    if (QScreen *s = screen())
        view->setGeometry(s->geometry());
    view->showFullScreen();
    view->activateWindow();
    view->setFocus(Qt::OtherFocusReason);
    d->notify([](SWPlayerDelegate *dl) { dl->playerEnterFullMode(); });
}

void SWPlayer::exitFullScreenMode() {
    if (!isInFullScreenMode())
        return;
    QWidget *view = d->fullScreenView;
    d->fullScreenView = nullptr;
    view->hide();
    view->deleteLater();
    if (QWidget *w = window(); w && w->isVisible())
        w->activateWindow();
    d->notify([](SWPlayerDelegate *dl) { dl->playerExitFullMode(); });
}

// ---------------------------------------------------------------------------------------
// Painting and input

void SWPlayer::paintEvent(QPaintEvent *) {
    QPainter p(this);
    d->paintFrame(p, rect());
}

void SWPlayer::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    d->mouseDown();
}

void SWPlayer::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    d->doubleClick();
}

void SWPlayer::mouseMoveEvent(QMouseEvent *) { d->pointerMoved(); }
void SWPlayer::enterEvent(QEnterEvent *) { d->pointerEntered(); }
void SWPlayer::leaveEvent(QEvent *) { d->pointerLeft(); }

void SWPlayer::keyPressEvent(QKeyEvent *event) {
    if (!d->keyDown(event))
        QWidget::keyPressEvent(event);
}

void SWPlayerPrivate::mouseDown() {
    notify([this](SWPlayerDelegate *dl) { dl->playerMouseDown(q); });
}

void SWPlayerPrivate::doubleClick() {
    notify([this](SWPlayerDelegate *dl) { dl->wantEnterFullScreen(q); });
}

void SWPlayerPrivate::pointerEntered() {
    if (playerAndEditor)
        notify([this](SWPlayerDelegate *dl) { dl->enterPlayerArea(q); });
}

void SWPlayerPrivate::pointerLeft() {
    if (playerAndEditor)
        notify([this](SWPlayerDelegate *dl) { dl->exitPlayerArea(q); });
}

void SWPlayerPrivate::pointerMoved() {
    if (playerAndEditor)
        notify([this](SWPlayerDelegate *dl) { dl->playerMouseMoved(q); });
}

bool SWPlayerPrivate::keyDown(QKeyEvent *event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        // A held space bar would toggle play and pause many times a second.
        if (!event->isAutoRepeat())
            notify([this](SWPlayerDelegate *dl) { dl->playerBlankSpaceKeyDown(q); });
        return true;
    }
    if (event->key() == Qt::Key_Escape && fullScreenView) {
        q->exitFullScreenMode();
        return true;
    }
    return false;
}
