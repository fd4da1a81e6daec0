#include "reelwright/LXPlayerController.h"

#include "reelwright/LXMediaCommon.h"

#include <foundation/NotificationCenter.h>
#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXView.h>

#include <QChildEvent>
#include <QEvent>
#include <algorithm>
#include <cmath>

using D = LXMediaControllerDelegate;

const QString LXPlayerController::kNibName = QStringLiteral("LXPlayerController");
const QString LXPlayerController::kBoardNibName = QStringLiteral("ODPlayBoardController");
const QString LXPlayerController::kGlobalSpaceDownKey = QStringLiteral("globalSpaceDownKey");

namespace {
constexpr double kMicro = 1000000.0;
constexpr double kBarHeight = 44;   // the single play bar under the video
constexpr double kFloatingGap = 20; // the floating bar above the video's bottom edge

QString fmt(double seconds) { return LXCommon::drawTimeDescStr(seconds); }
} // namespace

// ---------------------------------------------------------------------------------------
// Creation

LXPlayerController *LXPlayerController::shareEditControllerEditMovieInfoWithNibName(LXMediaControllerDelegate *delegate,
                                                                                    const LXMediaInfoPtr &item,
                                                                                    const QString &nibName) {
    auto *c = new LXPlayerController(delegate);
    c->initWithNibNameBundle(nibName.isEmpty() ? kNibName : nibName);
    c->previewScreenMovieAutoPlay(item, false);
    c->changeSubTitleInfo();
    c->changeAudioTrackInfo();
    c->focusFirstResponder();
    return c;
}

LXPlayerController::LXPlayerController(LXMediaControllerDelegate *delegate, QWidget *parent)
    : LXMediaController(delegate, parent) {
    setObjectName(kNibName);
    _btmPlayControlView = new LXView(_bottomView);
    _btmSinglePlayControlView = new LXView(_bottomView);
    _playPauseButton2 = new LXButton(_btmSinglePlayControlView);
    _progressSlider = new LXSliderA(_btmSinglePlayControlView);
    _volumnLow = new LXButton(_btmSinglePlayControlView);
    _volumnHigh = new LXButton(_btmSinglePlayControlView);
    _editBtn = new LXButton(_btmSinglePlayControlView);
    for (LXButton *b : {_playPauseButton2, _volumnLow, _volumnHigh, _editBtn})
        b->setTextTitle(QString());
    // A slider has no caption of its own: its name for screen readers.
    _progressSlider->setAccessibleName(tr("Position"));

    _autoHideTimer = new QTimer(this);
    _autoHideTimer->setInterval(_tickInterval);
    connect(_autoHideTimer, &QTimer::timeout, this, [this] { hideFullControl(); });

    // Pointer movement over the video, and over its full-screen window once it exists.
    _playView->installEventFilter(this);
    foundation::NotificationCenter::defaultCenter().addObserver(
        this, kGlobalSpaceDownKey, [this](const QString &, const QVariantMap &) { spaceKeyDown(); });
}

LXPlayerController::~LXPlayerController() {
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    _autoHideTimer->stop();
    escFullCtrl();
}

// ---------------------------------------------------------------------------------------
// Layout and dressing

bool LXPlayerController::loadInterface(const QString &nibName) {
    LXMediaController::loadInterface(nibName);
    // The list page's player shows one bar: play, progress, time, volume, edit. The trim
    // views stay (the slider keeps following the cursor) but are not shown.
    _timeLabel->setParent(_btmSinglePlayControlView);
    _voiceSlider->setParent(_btmSinglePlayControlView);
    _timeLabel->setTextAlignment(LXLabel::AlignCenter);
    _timeLabel->show();
    _voiceSlider->show();
    for (QWidget *w :
         std::initializer_list<QWidget *>{_cutSlider, _btnGrpView, _backToHome, _voiceButton, _btmPlayControlView})
        w->hide();
    return nibName == kNibName || nibName == kBoardNibName;
}

void LXPlayerController::layoutInterface() {
    const double W = width(), H = height();
    const double bar = std::min(kBarHeight, H);
    place(_backGroundView, QRectF(0, 0, W, H));
    place(_playContainerView, QRectF(0, bar, W, H - bar));
    place(_playView, QRectF(0, 0, W, H - bar));
    place(_bottomView, QRectF(0, 0, W, bar));
    place(_btmPlayControlView, QRectF(0, 0, W, bar));
    place(_btmSinglePlayControlView, QRectF(0, 0, W, bar));
    place(_cutSlider, QRectF(0, 0, W, LXCutSlider::kCreatedHeight));
    _cutSlider->initRects();

    // From the right: edit, then the volume group when there is room, then the time.
    double right = W - 6;
    place(_editBtn, QRectF(right - 32, 6, 32, 32));
    right -= 32 + 8;
    const bool volumeFits = W >= 400;
    for (QWidget *w : std::initializer_list<QWidget *>{_volumnHigh, _voiceSlider, _volumnLow})
        w->setVisible(volumeFits);
    if (volumeFits) {
        place(_volumnHigh, QRectF(right - 20, 12, 20, 20));
        right -= 20 + 2;
        place(_voiceSlider, QRectF(right - 72, 16, 72, 12));
        _voiceSlider->initImagePosition();
        _voiceSlider->setSliderPos(volumePosition());
        right -= 72 + 2;
        place(_volumnLow, QRectF(right - 20, 12, 20, 20));
        right -= 20 + 6;
    }
    place(_timeLabel, QRectF(right - 84, 12, 84, 20));
    right -= 84 + 2;
    place(_playPauseButton2, QRectF(6, 6, 32, 32));
    place(_progressSlider, QRectF(42, 16, std::max(40.0, right - 42), 12));
    _progressSlider->initImagePosition();
    updateSliderPos(newPos());
}

void LXPlayerController::initButtons() {
    LXMediaController::initButtons();
    _playPauseButton2->setDelegate(this);
    _playPauseButton2->setTextTitle(QString());
}

void LXPlayerController::initController() {
    dressButton(_volumnLow, &D::minusVoiceNormalImage, &D::minusVoicePressImage, "LXVolumn-Normal.png",
                "LXVolumn-Press.png");
    dressButton(_volumnHigh, &D::plusVoiceNormalImage, &D::plusVoicePressImage, "LXVolumn+Normal.png",
                "LXVolumn+Press.png");
    dressButton(_editBtn, &D::goToEditNormalImage, &D::goToEditPressImage, "LXEditNormal.png", "LXEditPress.png");
    for (LXButton *b : {_volumnLow, _volumnHigh, _editBtn})
        b->setDelegate(this);
    _volumnLow->setToolTip(tr("volume down"));
    _volumnHigh->setToolTip(tr("volume up"));
    _editBtn->setToolTip(tr("trim"));
    _btmSinglePlayControlView->setBackGroundImage(picture(&D::btmSingleControlBackgroundImage, "LXSliderBase.png"));
    initProgressSlider();
}

void LXPlayerController::initProgressSlider() {
    static const PictureRequest requests[8] = {&D::slideBgImage,         &D::slideBgLeftImage,   &D::slideBgRightImage,
                                               &D::slideFgLeftImage,     &D::slideFgImage,       &D::slideFgRightImage,
                                               &D::slideKnobNormalImage, &D::slideKnobPressImage};
    static const char *const fallbacks[8] = {"LXBgMid.png", "LXBgLeft.png",  "LXBgRight.png",  "LXFgLeft.png",
                                             "LXFgMid.png", "LXFgRight.png", "LXPosition.png", "LXPosition.png"};
    LXSliderA *s = _progressSlider;
    s->setDelegate(this);
    s->setBEnabled(true);
    s->setNSpace(8.0);
    s->setSlideType(1);
    dressSlider(s, requests, fallbacks);
    s->initImagePosition();
    s->setSliderPos(0.0);
    s->setCursorDetalY(1.0);
    s->update();
}

void LXPlayerController::initMovieEditView() {
    LXMediaController::initMovieEditView();
    _btmPlayControlView->setBackGroundImage(picture(&D::btmPlayControlBackgroundImage, "LXEditBtm.png"));
    _bottomView->setBackGroundImage(picture(&D::bottomImage, "LXEditBtm.png"));
}

void LXPlayerController::initCutSlider() {
    LXMediaController::initCutSlider();
    _cutSlider->setCutDeltaY(3);
    _cutSlider->setPosDeltaY(-5);
    _cutSlider->setSlideBgDeltaY(-3);
    _cutSlider->setSlideFgDeltaY(0);
    _cutSlider->initRects();
    if (_cutSlider->isVisibleTo(this))
        _cutSlider->becomeFirstResponder();
}

// ---------------------------------------------------------------------------------------
// Showing an item

void LXPlayerController::previewScreenMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay) {
    LXMediaController::previewScreenMovieAutoPlay(item, autoPlay);
    _playView->setDelegate(this);
    _playView->setIsAbsoluteEditor(false);
    // The player counts from the kept range's start.
    if (_editMovie)
        adjustDisplayTimeStr();
    updateSliderPos(0.0);
    updateTimeLbls();
}

void LXPlayerController::changeSubTitleInfo() {
    if (!_editMovie)
        return;
    const QString external = _editMovie->srtSubtitleFile();
    if (!external.isEmpty())
        loadPluginSubTitle(external);
    else
        changeSubTitleIndex(LXMediaCommon::subTitleIndex(*_editMovie));
}

void LXPlayerController::changeAudioTrackInfo() {
    if (_editMovie)
        changeAudioStreamIndex(LXMediaCommon::audioStreamIndex(*_editMovie));
}

// ---------------------------------------------------------------------------------------
// The kept range as progress

void LXPlayerController::trimCurTimeTrimTotalTime(double &current, double &total) const {
    current = total = 0.0;
    if (!_editMovie || !_mediaInfoMgr)
        return;
    const double s = _editMovie->trackStart();
    current = std::max(0.0, double(_mediaInfoMgr->duration()) * _currentPosition / kMicro - s);
    total = _editMovie->trackEnd() - s;
}

float LXPlayerController::newPos() const {
    if (!_editMovie || !_mediaInfoMgr)
        return 0.0f;
    const double s = _editMovie->trackStart();
    const double total = _editMovie->trackEnd() - s;
    if (total <= 0)
        return 0.0f;
    return float((double(_mediaInfoMgr->duration()) * _currentPosition / kMicro - s) / total);
}

double LXPlayerController::newTrimPositionFromOldPostion(double progress) const {
    if (!_editMovie)
        return 0.0;
    const LXKeptRange kept = _editMovie->keptRange();
    const double T = itemDuration();
    const double startPos = _editMovie->trackStartPos();
    if (T <= 0)
        return startPos;
    const double p = std::isnan(progress) ? 0.0 : std::max(progress, 0.0);
    const int64_t lo = kept.startUs, hi = kept.endUs;
    int64_t m = static_cast<int64_t>(double(lo) + double(hi - lo) * p);
    m = std::clamp(m, lo, std::max(lo, hi));
    const double position = double(m) / (T * kMicro);
    return startPos > position ? startPos : position;
}

void LXPlayerController::percentToNewCurrentPosition(LXSlider *slider) {
    _currentPosition = newTrimPositionFromOldPostion(slider->curPosition());
    _playView->seekTo(_currentPosition);
}

void LXPlayerController::updateSliderPos(double progress) {
    const double p = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    for (LXSliderA *s : {_progressSlider, _fullPrgSlider.data()}) {
        if (!s)
            continue;
        s->setSliderPos(p);
        s->update();
    }
}

void LXPlayerController::updateTimeLbls() {
    if (!_fullLeftTimeField && !_fullRightTimeField)
        return;
    double elapsed = 0, total = 0;
    trimCurTimeTrimTotalTime(elapsed, total);
    int64_t elapsedSecs = 0;
    const QString left = LXCommon::drawTimeDescStrTotalSec(elapsed, elapsedSecs);
    const int64_t remaining = std::max<int64_t>(0, static_cast<int64_t>(total) - elapsedSecs);
    if (_fullLeftTimeField)
        _fullLeftTimeField->setTextTitle(left);
    if (_fullRightTimeField)
        _fullRightTimeField->setTextTitle(QStringLiteral("- %1").arg(fmt(double(remaining))));
}

void LXPlayerController::updateOnMainControl() {
    if (!itemShown())
        return;
    double elapsed = 0, total = 0;
    trimCurTimeTrimTotalTime(elapsed, total);
    const QString cur = fmt(elapsed);
    drawTimeString(joinTimeStrDurationStr(cur, fmt(total)));
    drawStartTimeStr(cur);
    updateSliderPos(newPos());
    const double absolute = double(_mediaInfoMgr->duration()) * _currentPosition / kMicro;
    _cutSlider->playingCurTime(_currentPosition, absolute);
    processSelectionPlayingAtTime(elapsed);
}

void LXPlayerController::updatePlayPauseButton2(bool playing) {
    if (!_playPauseButton2)
        return;
    if (playing) {
        dressButton(_playPauseButton2, &D::singlePauseNormalImage, &D::singlePausePressImage, "LXPauseNormal.png",
                    "LXPausePress.png");
        _playPauseButton2->setToolTip(tr("pause"));
    } else {
        dressButton(_playPauseButton2, &D::singlePlayNormalImage, &D::singlePlayPressImage, "LXPlayNormal.png",
                    "LXPlayPress.png");
        _playPauseButton2->setToolTip(tr("play"));
    }
    // The floating bar's button shows the same state.
    if (_fullPlayOrPauseButton)
        playing ? setToPause() : setToPlay();
}

void LXPlayerController::enablePlayController(bool enable) {
    LXMediaController::enablePlayController(enable);
    for (LXButton *b : {_playPauseButton2, _previousButton, _editBtn, _volumnLow, _volumnHigh})
        b->setBEnabled(enable);
    _progressSlider->setBEnabled(enable);
    _voiceSlider->setBEnabled(enable);
}

double LXPlayerController::totalDuration() const { return itemDuration(); }

// ---------------------------------------------------------------------------------------
// Commands

void LXPlayerController::playOrPause() {
    // A pause followed by play goes on from where it stopped; from outside the kept range
    // (or at its very end) playback starts again at the range's start.
    if (!isPlaying() && _editMovie) {
        const double T = itemDuration();
        const double t = T * _playView->position();
        const double frame = _playView->frameRate() > 0 ? 1.0 / _playView->frameRate() : 0.04;
        if (t < _editMovie->trackStart() || t >= _editMovie->trackEnd() - frame) {
            playTrim();
            return;
        }
    }
    playOrPauseTrim();
}

void LXPlayerController::enableControlsWhenPlayable() {
    LXMediaController::enableControlsWhenPlayable();
    _playPauseButton2->setEnabled(true);
    _playPauseButton2->update();
}

void LXPlayerController::playerInProgress(SWPlayer *player, double percent) {
    LXMediaController::playerInProgress(player, percent);
    updateTimeLbls();
}

void LXPlayerController::playerDidFinished(SWPlayer *player) {
    LXMediaController::playerDidFinished(player);
    adjustDisplayTimeStr();
    updateSliderPos(0.0);
    updateTimeLbls();
    if (_fullPlayOrPauseButton)
        setToPlay();
}

void LXPlayerController::playerMouseDown(SWPlayer *) { switchOnFullControlView(); }

void LXPlayerController::switchOnFullControlView() {
    if (isFullControlShown())
        playerExitFullMode();
    else
        playerEnterFullMode();
}

void LXPlayerController::playerBlankSpaceKeyDown(SWPlayer *) { playOrPause(); }

void LXPlayerController::wantEnterFullScreen(SWPlayer *) { _playView->fullScreen(); }

void LXPlayerController::playerEnterFullMode() { enterFullCtrl(floatingBarRect()); }

void LXPlayerController::playerExitFullMode() {
    _bAutoHidden = false;
    escFullCtrl();
}

// ---------------------------------------------------------------------------------------
// Floating control bar

LXConverWin *LXPlayerController::ownBar() const {
    LXConverWin *w = LXConverWin::convertWin();
    if (!w || !w->converView() || w->converView()->convertWinViewDataSource() != this)
        return nullptr;
    return w;
}

bool LXPlayerController::isFullControlShown() const { return ownBar() != nullptr; }

QRectF LXPlayerController::floatingBarRect() const {
    if (_playView->isInFullScreenMode())
        return LXMediaCommon::flowRect();
    const QRectF video(_playView->mapToGlobal(QPoint(0, 0)), QSizeF(_playView->size()));
    const QRectF ll = LXGeometry::qtToScreen(video);
    return QRectF(ll.x() + (ll.width() - 603.0) / 2.0, ll.y() + kFloatingGap, 603.0, 59.0);
}

void LXPlayerController::enterFullCtrl(const QRectF &rect) {
    if (LXConverWin *mine = ownBar()) {
        if (rect == _barRect) {
            initAutoTimer();
            mine->raise();
            return;
        }
        escFullCtrl();
    } else if (LXConverWin::convertWin()) {
        // The one floating window belongs to a screen that is gone or elsewhere.
        LXConverWin::destrayConverWin();
    }
    _bAutoHidden = false;
    _barRect = rect;
    initAutoTimer();
    // Shown above this screen's window without taking the keyboard from it, so that the
    // window's shortcuts (space, arrows) keep working while the bar is up.
    // In full screen the picture is the full-screen window's: the bar lies on that one.
    const bool full = _playView->isInFullScreenMode() && _playView->fullScreenWindow();
    QWidget *host = full ? _playView->fullScreenWindow() : window();
    LXConverWin *w = LXConverWin::showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(
        rect, this, isPlaying(), host);
    w->setConverWinDelegate(this);
    w->addToParentWindowIsFullScreen(host, full);
    updateTimeLbls();
}

void LXPlayerController::releaseFullCtrl() {
    _barVolume.reset();
    for (LXButton *b : {_fullVoiceLogo.data(), _fullPlayOrPauseButton.data(), _fullExitFullPlayerButton.data()})
        if (b)
            b->setDelegate(nullptr);
    for (LXSliderA *s : {_fullPrgSlider.data(), _fullVoiceSlider.data()})
        if (s)
            s->setDelegate(nullptr);
    _fullBgView = nullptr;
    _fullVoiceLogo = nullptr;
    _fullPlayOrPauseButton = nullptr;
    _fullExitFullPlayerButton = nullptr;
    _fullPrgSlider = nullptr;
    _fullVoiceSlider = nullptr;
    _fullLeftTimeField = nullptr;
    _fullRightTimeField = nullptr;
}

void LXPlayerController::escFullCtrl() {
    LXConverWin *w = ownBar();
    releaseFullCtrl();
    if (w) {
        // Nothing of the closing window reports here any more.
        w->converView()->setConvertWinViewDataSource(nullptr);
        w->converView()->setConvertWinViewDelegate(nullptr);
        w->setConverWinDelegate(nullptr);
        LXConverWin::destrayConverWin();
    }
    invalidateAutoHideTime();
}

void LXPlayerController::initAutoTimer() {
    _autoHideTimer->stop();
    _autoTime = 0;
    _autoHideTimer->setInterval(_tickInterval);
    _autoHideTimer->start();
}

void LXPlayerController::invalidateAutoHideTime() { _autoHideTimer->stop(); }

void LXPlayerController::setAutoHideTickInterval(int milliseconds) {
    _tickInterval = std::max(1, milliseconds);
    _autoHideTimer->setInterval(_tickInterval);
}

void LXPlayerController::hideFullControl() {
    ++_autoTime;
    if (_autoTime < autoHideTicks())
        return;
    const bool shown = isFullControlShown();
    escFullCtrl();
    _autoTime = 0;
    _bAutoHidden = shown;
}

void LXPlayerController::restoreAutoHideTime() { _autoTime = 0; }

void LXPlayerController::playerPointerMoved() {
    if (isFullControlShown()) {
        restoreAutoHideTime();
        return;
    }
    // A bar the timer closed comes back; in full screen any movement shows it. A bar the
    // user closed with a click stays closed until the next click.
    if (_bAutoHidden || _playView->isInFullScreenMode())
        enterFullCtrl(floatingBarRect());
}

bool LXPlayerController::eventFilter(QObject *watched, QEvent *event) {
    if (watched == _playView && event->type() == QEvent::ChildAdded) {
        // The full-screen window is the view's child; its pointer movement counts too.
        if (auto *w = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child()))
            w->installEventFilter(this);
    } else if (event->type() == QEvent::MouseMove && (watched == _playView || watched->parent() == _playView)) {
        playerPointerMoved();
    }
    return LXMediaController::eventFilter(watched, event);
}

void LXPlayerController::updateLockRect() {
    if (LXConverWin *w = ownBar())
        w->setLockRect(LXGeometry::qtToScreen(QRectF(window()->frameGeometry())));
}

void LXPlayerController::setToPlay() {
    if (!_fullPlayOrPauseButton)
        return;
    _fullPlayOrPauseButton->setImages(QStringLiteral("FullCtrlPlayNormal.png"),
                                      QStringLiteral("FullCtrlPlayPress.png"));
    _fullPlayOrPauseButton->setTextTitle(QString());
    _fullPlayOrPauseButton->update();
}

void LXPlayerController::setToPause() {
    if (!_fullPlayOrPauseButton)
        return;
    _fullPlayOrPauseButton->setImages(QStringLiteral("FullCtrlPauseNormal.png"),
                                      QStringLiteral("FullCtrlPausePress.png"));
    _fullPlayOrPauseButton->setTextTitle(QString());
    _fullPlayOrPauseButton->update();
}

void LXPlayerController::updatePlayStatus() { isPlaying() ? setToPause() : setToPlay(); }

void LXPlayerController::updateFullVoiceLogo(float volume) {
    if (!_fullVoiceLogo)
        return;
    const QString name =
        volume < 0.01f ? QStringLiteral("FullCtrlNoVoiceLogo.png") : QStringLiteral("FullCtrlVoiceLogo.png");
    _fullVoiceLogo->setImages(name, name);
}

void LXPlayerController::initProgSlider(LXSliderA *s) {
    s->setDelegate(this);
    s->setBEnabled(true);
    s->setNSpace(6.0);
    s->setSlideType(1);
    s->setProgressImage(LXImage::named(QStringLiteral("FullCtrlPrgMiddleBg.png")));
    s->setProgressLeftImage(LXImage::named(QStringLiteral("FullCtrlPrgLeftBg.png")));
    s->setProgressRightImage(LXImage::named(QStringLiteral("FullCtrlPrgRightBg.png")));
    s->setSubProgressLeftImage(LXImage::named(QStringLiteral("FullCtrlPrgLeftFg.png")));
    s->setSubProgressImage(LXImage::named(QStringLiteral("FullCtrlPrgMiddleFg.png")));
    s->setSubProgressRightImage(LXImage::named(QStringLiteral("FullCtrlPrgRightFg.png")));
    s->setKnobImage(LXImage::named(QStringLiteral("FullCtrlProgressBarPos_Normal.png")));
    s->setKnobPressImage(LXImage::named(QStringLiteral("FullCtrlProgressBarPos_Normal.png")));
    s->setYCursorDetal(5.0);
    s->initImagePosition();
    s->setSliderPos(std::clamp(double(newPos()), 0.0, 1.0));
}

void LXPlayerController::initVoiceSlider(LXSliderA *s) {
    s->setDelegate(this);
    s->setBEnabled(true);
    s->setNSpace(6.0);
    s->setSlideType(1);
    s->setProgressImage(LXImage::named(QStringLiteral("FullCtrlVoiceMiddleFg.png")));
    s->setProgressLeftImage(LXImage::named(QStringLiteral("FullCtrlVoiceLeftFg.png")));
    s->setProgressRightImage(LXImage::named(QStringLiteral("FullCtrlVoiceRightFg.png")));
    s->setKnobImage(LXImage::named(QStringLiteral("FullCtrlVoiceBarPos_Normal.png")));
    s->setKnobPressImage(LXImage::named(QStringLiteral("FullCtrlVoiceBarPos_Normal.png")));
    s->setYCursorDetal(3.0);
    s->initImagePosition();
    s->setSliderPos(barVolume());
}

float LXPlayerController::barVolume() {
    // Asked once per bar: every question is a round trip to the sound server on the main
    // thread, and the bar's speaker and slider (and a subclass placing the slider) all ask.
    if (_barVolume)
        return *_barVolume;
    _barUsesSystemVolume = false;
    if (const std::optional<float> system = LXCommon::systemVolume()) {
        _barUsesSystemVolume = true;
        _barVolume = *system;
    } else {
        // No sound server to ask: the bar shows and sets the player's own level, the one the
        // volume slider under the picture shows, rather than a silence that is not there.
        _barVolume = float(volumePosition());
    }
    return *_barVolume;
}

void LXPlayerController::setBarVolume(float v) {
    _barVolume = v;
    if (_barUsesSystemVolume)
        LXCommon::setVolume(v);
    else
        applyVolume(v);
    updateFullVoiceLogo(v);
}

// ---------------------------------------------------------------------------------------
// The floating bar's data source

namespace {
LXLabel *timeField(LXConverWinView *view, const QRectF &frame, int alignment) {
    auto *l = new LXLabel(view);
    LXGeometry::place(l, frame);
    l->setBDrawBackground(false);
    l->setTextColor(Qt::white);
    l->setTextFont(LXStyle::systemFont(10));
    l->setTextAlignment(alignment);
    l->setTextTitle(QStringLiteral("00:00:00"));
    return l;
}
} // namespace

QWidget *LXPlayerController::backgroundView(LXConverWinView *view) {
    _fullBgView = new LXView(view);
    LXGeometry::place(_fullBgView, QRectF(0, 0, view->width(), view->height()));
    _fullBgView->setBackGroundImage(LXImage::named(QStringLiteral("FullBg.png")));
    // No Esc of its own: the bar is a part of the window under it, whose keys it passes on
    // (a second Esc shortcut in that window would make both ambiguous, and neither fire).
    return _fullBgView;
}

QWidget *LXPlayerController::progressController(LXConverWinView *view) {
    _fullPrgSlider = new LXSliderA(view);
    _fullPrgSlider->setAccessibleName(tr("Position"));
    LXGeometry::place(_fullPrgSlider, QRectF(60, 5, 480, 16));
    initProgSlider(_fullPrgSlider);
    return _fullPrgSlider;
}

QWidget *LXPlayerController::leftLabelController(LXConverWinView *view) {
    _fullLeftTimeField = timeField(view, QRectF(5, 6, 60, 16), LXLabel::AlignLeft);
    updateTimeLbls();
    return _fullLeftTimeField;
}

QWidget *LXPlayerController::rightLabelController(LXConverWinView *view) {
    _fullRightTimeField = timeField(view, QRectF(540, 6, 60, 16), LXLabel::AlignRight);
    updateTimeLbls();
    return _fullRightTimeField;
}

QWidget *LXPlayerController::voiceLogoController(LXConverWinView *view) {
    _fullVoiceLogo = new LXButton(view);
    LXGeometry::place(_fullVoiceLogo, QRectF(13, 32, 24, 24));
    _fullVoiceLogo->setTextTitle(QString());
    updateFullVoiceLogo(barVolume());
    return _fullVoiceLogo;
}

QWidget *LXPlayerController::voiceSliderController(LXConverWinView *view) {
    _fullVoiceSlider = new LXSliderA(view);
    _fullVoiceSlider->setAccessibleName(tr("Volume"));
    LXGeometry::place(_fullVoiceSlider, QRectF(32, 31, 80, 20));
    initVoiceSlider(_fullVoiceSlider);
    return _fullVoiceSlider;
}

QWidget *LXPlayerController::playController(LXConverWinView *view) {
    _fullPlayOrPauseButton = new LXButton(view);
    const double y = (view->height() - 24) / 2.0 + 14;
    LXGeometry::place(_fullPlayOrPauseButton, QRectF((view->width() - 24) / 2.0, y, 24, 24));
    _fullPlayOrPauseButton->setDelegate(this);
    _fullPlayOrPauseButton->setTextTitle(QString());
    updatePlayStatus();
    return _fullPlayOrPauseButton;
}

QWidget *LXPlayerController::exitFullScreenController(LXConverWinView *view) {
    _fullExitFullPlayerButton = new LXButton(view);
    const double y = (view->height() - 24) / 2.0 + 14;
    LXGeometry::place(_fullExitFullPlayerButton, QRectF(view->width() - 44, y, 24, 24));
    // The button leaves full screen, or enters it from the window.
    if (_playView->isInFullScreenMode()) {
        _fullExitFullPlayerButton->setImages(QStringLiteral("FullCtrlEscFull.png"),
                                             QStringLiteral("FullCtrlEscFull.png"));
        _fullExitFullPlayerButton->setToolTip(tr("exit full screen"));
    } else {
        _fullExitFullPlayerButton->setImages(QStringLiteral("extentFullNormal.png"),
                                             QStringLiteral("extentFullPress.png"));
        _fullExitFullPlayerButton->setToolTip(tr("full screen"));
    }
    _fullExitFullPlayerButton->setTextTitle(QString());
    _fullExitFullPlayerButton->setDelegate(this);
    return _fullExitFullPlayerButton;
}

// ---------------------------------------------------------------------------------------
// Sliders and buttons

void LXPlayerController::sliderChanged(LXSlider *slider) {
    restoreAutoHideTime();
    if (slider == _progressSlider) {
        percentToNewCurrentPosition(slider);
        updateOnMainControl();
    } else if (slider == _fullPrgSlider) {
        percentToNewCurrentPosition(slider);
        updateTimeLbls();
        updateOnMainControl();
    } else if (slider == _fullVoiceSlider) {
        setBarVolume(float(std::clamp(slider->curPosition(), 0.0, 1.0)));
    } else {
        LXMediaController::sliderChanged(slider);
    }
}

void LXPlayerController::sliderDragedAtPosition(LXSlider *slider, double position) {
    restoreAutoHideTime();
    if (slider == _progressSlider || slider == _fullPrgSlider) {
        if (!itemShown())
            return;
        _currentPosition = newTrimPositionFromOldPostion(position);
        _playView->seekTo(_currentPosition);
        if (slider == _fullPrgSlider) {
            updateTimeLbls();
            return;
        }
        double elapsed = 0, total = 0;
        trimCurTimeTrimTotalTime(elapsed, total);
        const QString cur = fmt(elapsed);
        drawTimeString(joinTimeStrDurationStr(cur, fmt(total)));
        drawStartTimeStr(cur);
    } else if (slider == _fullVoiceSlider) {
        setBarVolume(float(std::clamp(position, 0.0, 1.0)));
    } else {
        LXMediaController::sliderDragedAtPosition(slider, position);
    }
}

void LXPlayerController::slideBeginDragged(LXSlider *slider) {
    restoreAutoHideTime();
    if (slider == _progressSlider || slider == _fullPrgSlider)
        _playView->beginToSeek();
}

void LXPlayerController::slideEndDragged(LXSlider *slider) {
    restoreAutoHideTime();
    if (slider == _progressSlider || slider == _fullPrgSlider)
        _playView->endSeeking();
}

void LXPlayerController::buttonUp(LXButton *button) {
    LXMediaController::buttonUp(button);
    restoreAutoHideTime();
    if (button == _fullPlayOrPauseButton || button == _playPauseButton2) {
        playOrPause();
    } else if (button == _fullExitFullPlayerButton) {
        if (_playView->isInFullScreenMode())
            _playView->exitFullScreenMode();
        else
            _playView->enterFullScreenMode();
    } else if (button == _volumnHigh) {
        updateSliderWithNewPos(std::min(1.0, volumePosition() + 0.1));
    } else if (button == _volumnLow) {
        updateSliderWithNewPos(std::max(0.0, volumePosition() - 0.1));
    } else if (button == _editBtn) {
        // Last: the application may release this screen in answer.
        if (_delegate)
            _delegate->beginToEditMovie(this);
    }
}
