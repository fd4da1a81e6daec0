#include "reelwright/LXMediaController.h"

#include <foundation/Log.h>
#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXView.h>

#include <QEvent>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

using D = LXMediaControllerDelegate;

const QString LXMediaController::kNibName = QStringLiteral("LXMediaController");

namespace {
constexpr double kMicro = 1000000.0;
// The base layout: the video above, the trim bar below.
constexpr double kEditBarHeight = 112;

QString fmt(double seconds) { return LXCommon::drawTimeDescStr(seconds); }
} // namespace

// ---------------------------------------------------------------------------------------
// Creation

LXMediaController *LXMediaController::shareEditControllerEditMovieInfoWithNibName(LXMediaControllerDelegate *delegate,
                                                                                  const LXMediaInfoPtr &item,
                                                                                  const QString &nibName) {
    auto *c = new LXMediaController(delegate);
    c->initWithNibNameBundle(nibName);
    c->previewScreenMovieAutoPlay(item, false);
    c->focusFirstResponder();
    return c;
}

LXMediaController::LXMediaController(LXMediaControllerDelegate *delegate, QWidget *parent)
    : QWidget(parent), _delegate(delegate) {
    setObjectName(QStringLiteral("LXMediaController"));
    // Children first to last: later ones lie above.
    _backGroundView = new LXView(this);
    _playContainerView = new LXView(this);
    _playView = new SWPlayer(_playContainerView);
    _bottomView = new LXView(this);
    _cutSlider = new LXCutSlider(_bottomView);
    _timeLabel = new LXLabel(_bottomView);
    _btnGrpView = new LXView(_bottomView);
    _playPauseButton1 = new LXButton(_btnGrpView);
    _playTrimButton = new LXButton(_btnGrpView);
    _previousButton = new LXButton(_btnGrpView);
    _nextButton = new LXButton(_btnGrpView);
    _leftCutApplyBtn = new LXButton(_btnGrpView);
    _rightCutApplyBtn = new LXButton(_btnGrpView);
    _backToHome = new LXButton(_bottomView);
    _voiceButton = new LXButton(_bottomView);
    _voiceSlider = new LXSliderA(_bottomView);
    _voiceSlider->setAccessibleName(tr("Volume"));
    // The loudspeaker beside the volume slider only marks it: no stop for the keyboard.
    _voiceButton->setFocusPolicy(Qt::NoFocus);
    _voiceButton->setAccessibleName(tr("Volume"));
    for (LXButton *b : {_playPauseButton1, _playTrimButton, _previousButton, _nextButton, _leftCutApplyBtn,
                        _rightCutApplyBtn, _backToHome, _voiceButton})
        b->setTextTitle(QString());
}

LXMediaController::~LXMediaController() {
    if (_host)
        _host->removeEventFilter(this);
    // The player goes before the rest of the screen, and says nothing more to it.
    _playView->setDelegate(nullptr);
    _playView->setPlayFile(QString());
    _cutSlider->setDelegate(nullptr);
    _voiceSlider->setDelegate(nullptr);
    _mediaInfoMgr.reset();
    _editMovie.reset();
    _trim.setItem(nullptr);
}

void LXMediaController::initWithNibNameBundle(const QString &nibName) {
    if (_built)
        return;
    _built = true;
    // 1. The layout.
    if (!loadInterface(nibName) && !nibName.isEmpty())
        foundation::Log::debug(
            QStringLiteral("media screen: no layout named \"%1\", using the class's own").arg(nibName));
    _nibName = nibName.isEmpty() ? objectName() : nibName;
    // 2. The video area is black behind the picture.
    _playContainerView->setBDrawBackground(true);
    _playContainerView->setBackGroundColor(Qt::black);
    // 3. The player reports here.
    _playView->setDelegate(this);
    // 4. The background.
    _backGroundView->setBDrawBackground(true);
    _backGroundView->setBackGroundColor(QColor(0x14, 0x16, 0x1a));
    if (_delegate) {
        if (const auto c = _delegate->backgroundColor(this))
            _backGroundView->setBackGroundColor(*c);
        if (const QPixmap p = _delegate->backgroundImage(this); !p.isNull())
            _backGroundView->setBackGroundImage(p);
    }
    // 5, 6.
    initButtons();
    initMovieEditView();
    layoutInterface();
}

void LXMediaController::attachToView(QWidget *host) {
    if (_host)
        _host->removeEventFilter(this);
    _host = host;
    if (!host)
        return;
    setParent(host);
    setGeometry(host->rect());
    host->installEventFilter(this);
    show();
}

bool LXMediaController::eventFilter(QObject *watched, QEvent *event) {
    if (watched == _host && event->type() == QEvent::Resize)
        setGeometry(_host->rect());
    return QWidget::eventFilter(watched, event);
}

void LXMediaController::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (_built)
        layoutInterface();
}

// ---------------------------------------------------------------------------------------
// Layout and dressing

void LXMediaController::place(QWidget *view, const QRectF &frame) { LXGeometry::place(view, frame); }

bool LXMediaController::loadInterface(const QString &nibName) {
    _previousButton->hide();
    _backToHome->hide();
    _timeLabel->setTextAlignment(LXLabel::AlignRight);
    _timeLabel->setTextFont(LXStyle::systemFont(12));
    _bottomView->setBackGroundImage(LXImage::named(QStringLiteral("LXEditBtm.png")));
    return nibName == kNibName;
}

void LXMediaController::layoutInterface() {
    const double W = width(), H = height();
    const double bar = std::min(kEditBarHeight, H);
    place(_backGroundView, QRectF(0, 0, W, H));
    place(_playContainerView, QRectF(0, bar, W, H - bar));
    place(_playView, QRectF(0, 0, W, H - bar));
    place(_bottomView, QRectF(0, 0, W, bar));
    // The trim bar across the top of the bottom bar, the time at its right end; the slider
    // draws its bar 15 points above its own bottom edge.
    const double timeW = 92;
    place(_cutSlider, QRectF(0, 44, std::max(80.0, W - timeW), LXCutSlider::kCreatedHeight));
    _cutSlider->initRects();
    _cutSlider->setCurrentTime(_cutSlider->currentTime());
    place(_timeLabel, QRectF(W - timeW, 52, timeW - 8, 20));
    // The buttons of the group: 32-point squares, 36 apart.
    double x = 4;
    for (LXButton *b : {_playPauseButton1, _playTrimButton, _nextButton, _leftCutApplyBtn, _rightCutApplyBtn}) {
        place(b, QRectF(x, 4, 32, 32));
        x += 36;
    }
    place(_voiceButton, QRectF(W - 122, 22, 20, 20));
    place(_voiceSlider, QRectF(W - 100, 26, 88, 12));
    _voiceSlider->initImagePosition();
    _voiceSlider->setSliderPos(_volumePosition);
}

QPixmap LXMediaController::picture(PictureRequest request, const char *fallback) {
    if (_delegate) {
        QPixmap p = (_delegate->*request)(this);
        if (!p.isNull())
            return p;
    }
    return fallback ? LXImage::named(QString::fromLatin1(fallback)) : QPixmap();
}

void LXMediaController::dressButton(LXButton *button, PictureRequest normal, PictureRequest press,
                                    const char *normalFallback, const char *pressFallback) {
    button->setNormalImage(picture(normal, normalFallback));
    button->setPressImage(picture(press, pressFallback));
    button->setTextTitle(QString());
    button->update();
}

void LXMediaController::dressSlider(LXSliderA *slider, const PictureRequest requests[8],
                                    const char *const fallbacks[8]) {
    slider->setProgressImage(picture(requests[0], fallbacks[0]));
    slider->setProgressLeftImage(picture(requests[1], fallbacks[1]));
    slider->setProgressRightImage(picture(requests[2], fallbacks[2]));
    slider->setSubProgressLeftImage(picture(requests[3], fallbacks[3]));
    slider->setSubProgressImage(picture(requests[4], fallbacks[4]));
    slider->setSubProgressRightImage(picture(requests[5], fallbacks[5]));
    slider->setKnobImage(picture(requests[6], fallbacks[6]));
    slider->setKnobPressImage(picture(requests[7], fallbacks[7]));
}

void LXMediaController::initButtons() {
    for (LXButton *b : {_playPauseButton1, _playTrimButton}) {
        b->setDelegate(this);
        b->setTextTitle(QString());
    }
    updateBtnStatus(false);
    dressButton(_voiceButton, &D::voiceNormalImage, &D::voicePressImage, "LXVoiceNormal.png", "LXVoicePress.png");
    dressButton(_nextButton, &D::nextNormalImage, &D::nextPressImage, "LXEditNextNormal.png", "LXEditNextPress.png");
    _nextButton->setDelegate(this);
    _nextButton->setToolTip(tr("next frame"));
    _timeLabel->setTextColor(QColor::fromRgbF(130 / 255.0f, 130 / 255.0f, 130 / 255.0f, 1.0f));
}

void LXMediaController::initCutApplyBtns() {
    _leftCutApplyBtn->setDelegate(this);
    _rightCutApplyBtn->setDelegate(this);
    _leftCutApplyBtn->setToolTip(tr("apply current to left cut"));
    _rightCutApplyBtn->setToolTip(tr("apply current to right cut"));
    dressButton(_leftCutApplyBtn, &D::leftApplyNormalImage, &D::leftApplyPressImage, "LXEditLeftApplyNormal.png",
                "LXEditLeftApplyPress.png");
    dressButton(_rightCutApplyBtn, &D::rightApplyNormalImage, &D::rightApplyPressImage, "LXEditRightApplyNormal.png",
                "LXEditRightApplyPress.png");
}

void LXMediaController::dressCutHandles(LXCutSlider *s) {
    s->setLeftCutNormal(picture(&D::leftCutNormalImage, "LXEditLeftCutNormal.png"));
    s->setLeftCutPress(picture(&D::leftCutPressImage, "LXEditLeftCutPress.png"));
    s->setRightCutNormal(picture(&D::rightCutNormalImage, "LXEditRightCutNormal.png"));
    s->setRightCutPress(picture(&D::rightCutPressImage, "LXEditRightCutPress.png"));
    s->setCursorNormal(picture(&D::cutSliderKnobNormalImage, "LXEditCursorNormal.png"));
    s->setCursorPress(picture(&D::cutSliderKnobPressImage, "LXEditCursorPress.png"));
}

void LXMediaController::initCutSlider() {
    LXCutSlider *s = _cutSlider;
    s->setDelegate(this);
    dressCutHandles(s);
    s->setPrgStartBg(picture(&D::cutSliderBgLeftImage, "LXBgLeft.png"));
    s->setPrgMidBg(picture(&D::cutSliderBgImage, "LXBgMid.png"));
    s->setPrgEndBg(picture(&D::cutSliderBgRightImage, "LXBgRight.png"));
    s->setPrgStartFg(picture(&D::cutSliderFgLeftImage, "LXFgLeft.png"));
    s->setPrgMidFg(picture(&D::cutSliderFgImage, "LXFgMid.png"));
    s->setPrgEndFg(picture(&D::cutSliderFgRightImage, "LXFgRight.png"));
    // The layout reads the pictures' sizes.
    s->initRects();
}

void LXMediaController::initVoiceSlider() {
    static const PictureRequest requests[8] = {
        &D::voiceSlideBgImage, &D::voiceSlideBgLeftImage,  &D::voiceSlideBgRightImage,    &D::voiceSlideFgLeftImage,
        &D::voiceSlideFgImage, &D::voiceSlideFgRightImage, &D::voiceSlideKnobNormalImage, &D::voiceSlideKnobPressImage};
    static const char *const fallbacks[8] = {"LXWhiteBgMid.png",   "LXWhiteBgLeft.png", "LXWhiteBgRight.png",
                                             "LXFgLeft.png",       "LXFgMid.png",       "LXFgRight.png",
                                             "LXPositionNull.png", "LXPositionNull.png"};
    LXSliderA *s = _voiceSlider;
    s->setDelegate(this);
    s->setBEnabled(true);
    s->setNSpace(6.0);
    s->setSlideType(1);
    dressSlider(s, requests, fallbacks);
    s->initImagePosition();
    _volumePosition = 1.0;
    s->setSliderPos(_volumePosition);
    s->update();
}

void LXMediaController::initMovieEditView() {
    initController();
    initCutSlider();
    initVoiceSlider();
    initCutApplyBtns();
    place(_btnGrpView, QRectF(2, 12, 358, 41));
}

// ---------------------------------------------------------------------------------------
// Showing an item

void LXMediaController::previewScreenMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay) {
    _mediaInfoMgr.reset();
    _editMovie.reset();
    _currentPosition = 0.0;
    _bIsAutoPlay = autoPlay;
    _editMovie = item;
    _trim.setItem(item);
    _mediaInfoMgr = item ? item->mediaInfoManager() : nullptr;
    _playView->setPlayFile(_mediaInfoMgr ? _mediaInfoMgr->path() : QString());
    for (LXButton *b : {_playPauseButton1, _previousButton, _nextButton})
        b->setEnabled(false);
    // The controls show the item's own volume, and the player plays at it: what is heard is
    // what the conversion will use.
    if (_editMovie) {
        const int v = std::clamp<int>(_editMovie->audioVolumn(), 0, 256);
        _volumePosition = v / 256.0;
        _voiceSlider->setSliderPos(_volumePosition);
        _playView->setVolume(v);
    }
    initCutSliderParams();
    if (_editMovie)
        updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
    else
        drawTimeString(QString());
    updateBtnStatus(isPlaying());
}

void LXMediaController::initCutSliderParams() {
    if (_editMovie)
        _cutSlider->initTotalTimeValueStartCutEndCutTotalTime(_editMovie->trackStart(), _editMovie->trackStart(),
                                                              _editMovie->trackEnd(), _editMovie->totalDuration());
    else
        _cutSlider->initTotalTimeValueStartCutEndCutTotalTime(0, 0, 0, 0);
    _cutSlider->update();
}

double LXMediaController::itemDuration() const { return _editMovie ? _editMovie->totalDuration() : 0.0; }

// ---------------------------------------------------------------------------------------
// Play commands

bool LXMediaController::isPlaying() const { return _playView->isRunning(); }

void LXMediaController::setPlayWindow(int64_t startUs, int64_t durationUs) {
    _playView->setPlayStartTimeDuration(startUs, durationUs);
}

void LXMediaController::pauseWhenPlay() {
    if (!isPlaying())
        return;
    _playView->pause();
    updateBtnStatus(false);
}

void LXMediaController::playing() {
    _bInRangeMode = false;
    setPlayWindow(-1, -1);
    if (isPlaying())
        _playView->pause();
    else
        _playView->play();
    updateBtnStatus(isPlaying());
}

void LXMediaController::playTrim() {
    _bInRangeMode = true;
    const auto [start, length] = _trim.playWindow();
    setPlayWindow(start, length);
    if (isPlaying())
        _playView->pause();
    else
        _playView->play();
    if (isPlaying()) {
        const int64_t total = static_cast<int64_t>(itemDuration() * kMicro);
        if (total > 0)
            _playView->seekTo(double(start) / double(total));
    }
    updateBtnStatus(isPlaying());
}

void LXMediaController::playOrPauseTrim() {
    _bInRangeMode = true;
    const auto [start, length] = _trim.playWindow();
    setPlayWindow(start, length);
    if (isPlaying())
        _playView->pause();
    else
        _playView->play();
    updateBtnStatus(isPlaying());
}

void LXMediaController::next() {
    if (isPlaying())
        _playView->pause();
    _playView->gotoNextFrame();
    updateBtnStatus(false);
}

void LXMediaController::seekToTrimStart() {
    if (!_editMovie)
        return;
    const double p = _editMovie->trackStartPos();
    _playView->seekTo(p);
    adjustDisplayTimeStr();
    _currentPosition = p;
    _cutSlider->playingCurTime(p, p * itemDuration());
}

void LXMediaController::seekToTrimEnd() {
    if (!_editMovie)
        return;
    const double T = itemDuration();
    const double e = _editMovie->keptRange().endFraction(T);
    _playView->beginToSeek();
    _playView->seekTo(e);
    _playView->endSeeking();
    adjustDisplayTimeStr();
    _currentPosition = e;
    _cutSlider->playingCurTime(e, e * T);
}

void LXMediaController::applyCurrentToLeftCut() {
    if (!_editMovie)
        return;
    pauseWhenPlay();
    _cutSlider->leftCutToCurrentPosition();
    _trim.cutAt(LXTrim::Cut::Start, std::min(_cutSlider->leftCutTime(), _cutSlider->rightCutTime()));
    updateCurrentEditMovieInfo();
    updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
}

void LXMediaController::applyCurrentToRightCut() {
    if (!_editMovie)
        return;
    pauseWhenPlay();
    _cutSlider->rightCutToCurrentPosition();
    _trim.cutAt(LXTrim::Cut::End, std::max(_cutSlider->leftCutTime(), _cutSlider->rightCutTime()));
    updateCurrentEditMovieInfo();
    updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
}

// ---------------------------------------------------------------------------------------
// Tracks and volume

void LXMediaController::changeSubTitleIndex(int streamNumber) { _playView->changeSubtitle(streamNumber); }
void LXMediaController::changeAudioStreamIndex(int streamNumber) { _playView->changeAudioTrack(streamNumber); }
void LXMediaController::loadPluginSubTitle(const QString &path) { _playView->loadPluginSubtitle(path); }

void LXMediaController::applyVolume(double position) {
    // Kept here rather than read back from the slider: the slider's own position drifts by
    // half a cap width on every set, and repeated steps would add that up.
    const double v = std::isnan(position) ? 0.0 : std::clamp(position, 0.0, 1.0);
    _volumePosition = v;
    _voiceSlider->setSliderPos(v);
    const int volume = static_cast<int>(v * 256.0);
    if (_editMovie)
        _editMovie->setAudioVolumn(volume);
    _playView->setVolume(volume);
}

void LXMediaController::updateSlider(LXSlider *slider) {
    if (slider == _voiceSlider)
        applyVolume(slider->curPosition());
}

void LXMediaController::updateSliderWithNewPos(double position) { applyVolume(position); }

// ---------------------------------------------------------------------------------------
// Display

void LXMediaController::focusFirstResponder() {
    if (_cutSlider->isVisibleTo(this))
        _cutSlider->becomeFirstResponder();
    else
        _playView->setFocus();
}

void LXMediaController::enablePlayController(bool enable) {
    for (LXButton *b :
         {_leftCutApplyBtn, _rightCutApplyBtn, _playTrimButton, _playPauseButton1, _nextButton, _voiceButton})
        b->setBEnabled(enable);
    _voiceSlider->setBEnabled(enable);
}

QString LXMediaController::joinTimeStrDurationStr(const QString &time, const QString &duration) {
    return QStringLiteral("%1/%2").arg(time, duration);
}

void LXMediaController::drawTimeString(const QString &text) { _timeLabel->setTextTitle(text); }

void LXMediaController::updateTime(double start, double end) {
    drawTimeString(joinTimeStrDurationStr(fmt(start), fmt(end - start)));
}

void LXMediaController::updateOnMainControl() {
    if (!_mediaInfoMgr || !_editMovie)
        return;
    const int64_t durationUs = _mediaInfoMgr->duration();
    const double current = double(durationUs) * _currentPosition / kMicro;
    const double total = _bInRangeMode ? _editMovie->trackEnd() : double(durationUs / 1000000);
    const QString cur = fmt(current);
    drawTimeString(joinTimeStrDurationStr(cur, fmt(total)));
    drawStartTimeStr(cur);
    _cutSlider->playingCurTime(_currentPosition, current);
}

void LXMediaController::adjustDisplayTimeStr() {
    const double length = _editMovie ? _editMovie->trackEnd() - _editMovie->trackStart() : 0.0;
    drawTimeString(joinTimeStrDurationStr(fmt(0), fmt(length)));
}

void LXMediaController::updateBtnStatus(bool playing) {
    if (playing) {
        dressButton(_playTrimButton, &D::trimPauseNormalImage, &D::trimPausePressImage, "LXEditTrimPauseNormal.png",
                    "LXEditTrimPausePress.png");
        _playTrimButton->setToolTip(tr("pause trim"));
        dressButton(_playPauseButton1, &D::pauseNormalImage, &D::pausePressImage, "LXEditPauseNormal.png",
                    "LXEditPausePress.png");
        _playPauseButton1->setToolTip(tr("pause"));
    } else {
        dressButton(_playTrimButton, &D::trimPlayNormalImage, &D::trimPlayPressImage, "LXEditTrimPlayNormal.png",
                    "LXEditTrimPlayPress.png");
        _playTrimButton->setToolTip(tr("play trim"));
        dressButton(_playPauseButton1, &D::playNormalImage, &D::playPressImage, "LXEditPlayNormal.png",
                    "LXEditPlayPress.png");
        _playPauseButton1->setToolTip(tr("play"));
    }
    updatePlayPauseButton2(playing);
}

void LXMediaController::updateCurrentEditMovieInfo() {
    if (_delegate)
        _delegate->updateEditMovieInfo();
}

// ---------------------------------------------------------------------------------------
// The trim slider

bool LXMediaController::avalibleToDragCut() { return itemShown(); }

void LXMediaController::beginDragged() { _playView->beginToSeek(); }

void LXMediaController::endDragged() {
    if (_bInRangeMode) {
        const auto [start, length] = _trim.playWindow();
        setPlayWindow(start, length);
    } else {
        setPlayWindow(-1, -1);
    }
    _playView->endSeeking();
}

void LXMediaController::leftCutPosition(double fraction) {
    if (!_editMovie)
        return;
    setPlayWindow(-1, -1);
    _playView->seekTo(fraction);
    // A start past the end stops at the end: a start beyond the kept range would park and
    // replay the player outside it.
    _trim.cutAt(LXTrim::Cut::Start, itemDuration() * fraction);
    updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
    updateCurrentEditMovieInfo();
}

void LXMediaController::rightCutPosition(double fraction) {
    if (!_editMovie)
        return;
    setPlayWindow(-1, -1);
    _playView->seekTo(fraction);
    _trim.cutAt(LXTrim::Cut::End, itemDuration() * fraction);
    updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
    updateCurrentEditMovieInfo();
}

void LXMediaController::cursorPositionChanging(double fraction) {
    if (!itemShown() || fraction == _currentPosition)
        return;
    setPlayWindow(-1, -1);
    _currentPosition = fraction;
    _playView->seekTo(fraction);
    const double T = itemDuration();
    const QString cur = fmt(T * fraction);
    drawTimeString(joinTimeStrDurationStr(cur, fmt(T)));
    drawStartTimeStr(cur);
}

// ---------------------------------------------------------------------------------------
// The player

void LXMediaController::playerInProgress(SWPlayer *, double percent) {
    if (!itemShown())
        return;
    _currentPosition = percent / 100.0;
    updateOnMainControl();
    updateProgressSliderAndTimeLabel();
}

void LXMediaController::playerDidFinished(SWPlayer *) {
    _playView->stop();
    const double park = (_bInRangeMode && _editMovie) ? _editMovie->trackStartPos() : 0.0;
    _playView->seekTo(park);
    _currentPosition = _playView->position();
    _cutSlider->playingCurTime(_currentPosition, _currentPosition * itemDuration());
    updateBtnStatus(false);
    const double end = !_editMovie ? 0.0 : _bInRangeMode ? _editMovie->trackEnd() : _editMovie->totalDuration();
    const QString e = fmt(end);
    drawTimeString(joinTimeStrDurationStr(e, e));
    drawStartTimeStr(e);
}

void LXMediaController::playerErrorDidHappened(SWPlayer *, const QString &error) { foundation::Log::line(error); }

void LXMediaController::enableControlsWhenPlayable() {
    for (LXButton *b : {_playPauseButton1, _nextButton, _previousButton}) {
        b->setEnabled(true);
        b->update();
    }
    _playTrimButton->setBEnabled(true);
}

void LXMediaController::playerBecomePlayAble(SWPlayer *) {
    enableControlsWhenPlayable();
    if (_bIsAutoPlay)
        startAutoPlay();
}

// ---------------------------------------------------------------------------------------
// Sliders and buttons

void LXMediaController::sliderChanged(LXSlider *slider) { updateSlider(slider); }

void LXMediaController::sliderDragedAtPosition(LXSlider *slider, double) { updateSlider(slider); }

void LXMediaController::buttonUp(LXButton *button) {
    if (button == _playPauseButton1)
        playing();
    else if (button == _playTrimButton)
        playTrim();
    else if (button == _nextButton)
        next();
    else if (button == _rightCutApplyBtn)
        applyCurrentToRightCut();
    else if (button == _leftCutApplyBtn)
        applyCurrentToLeftCut();
}
