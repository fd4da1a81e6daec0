#include "reelwright/LXPlayerPlusEditorController.h"

#include <foundation/Strings.h>
#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXCommon.h>
#include <glazeform/LXConverWin.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>
#include <glazeform/LXView.h>

#include <QApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <cmath>

using D = LXMediaControllerDelegate;

const QString LXPlayerPlusEditorController::kNibName = QStringLiteral("LXPlayerPlusEditorController");

namespace {
constexpr double kMicro = 1000000.0;
// The slider holds its handles as far apart as a trim must keep.
static_assert(LXCutSlider::minTimeInterval() * 1'000'000 == LXTrim::kMinimumKeptUs);

// Cut times live in whole microseconds: the engine's unit, and exact under repeated nudges.
int64_t toUs(double seconds) { return std::isfinite(seconds) ? std::llround(seconds * kMicro) : 0; }
double fromUs(int64_t us) { return double(us) / kMicro; }

// "H:MM:SS.CC" of a time in whole microseconds (hundredths cut, not rounded).
QString precise(double seconds) {
    return LXCommon::timeStringFromTimeIntValueBShowMM(std::max<int64_t>(0, toUs(seconds)) / 10000, true);
}

void showIf(QWidget *w, bool on) {
    if (w)
        w->setVisible(on);
}

// Hands every pointer event of the application to a function before its widget sees it.
class PointerWatch : public QObject {
public:
    PointerWatch(QObject *owner, std::function<void(QWidget *, QEvent *)> note)
        : QObject(owner), _note(std::move(note)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::Enter:
        case QEvent::Leave:
            if (watched->isWidgetType())
                _note(static_cast<QWidget *>(watched), event);
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void(QWidget *, QEvent *)> _note;
};

} // namespace

QSize LXPlayerPlusEditorController::windowSizeForItem(const LXMediaInfoPtr &item) {
    const auto probe = item ? item->mediaInfoManager() : nullptr;
    const double w = probe ? double(probe->width()) : 0, h = probe ? double(probe->height()) : 0;
    if (w <= 0 || h <= 0)
        return {kMinWindowWidth, 400};
    const int width = int(std::clamp(w, double(kMinWindowWidth), double(kMaxWindowWidth)));
    return {width, std::max(kMinWindowHeight, int(std::lround(width * h / w)))};
}

QStringList LXPlayerPlusEditorController::exportMenuTitles() {
    using foundation::tr_;
    return {tr_(QStringLiteral("Lan_PlusExportToLocal"), QStringLiteral("Export to local")),
            tr_(QStringLiteral("Lan_PlusExportToLibrary"), QStringLiteral("Export to media library")),
            tr_(QStringLiteral("Lan_PlusExportToFacebook"), QStringLiteral("Export to Facebook")),
            tr_(QStringLiteral("Lan_PlusExportToYoutube"), QStringLiteral("Export to Youtube"))};
}

QString LXPlayerPlusEditorController::trimMenuTitle() {
    return foundation::tr_(QStringLiteral("Lan_PlusTrim"), QStringLiteral("Trim"));
}

// ---------------------------------------------------------------------------------------
// Creation

LXPlayerPlusEditorController *
LXPlayerPlusEditorController::sharePlayEditControllerEditMovieInfoInWinOutputPathWithNibName(
    LXMediaControllerDelegate *delegate, const LXMediaInfoPtr &item, LXDragWindow *win, const QString &outputPath,
    const QString &nibName) {
    auto *c = new LXPlayerPlusEditorController(delegate);
    c->initWithNibNameBundle(nibName.isEmpty() ? kNibName : nibName);
    c->_ownsWindow = !win;
    if (!win) {
        win = new LXDragWindow;
        win->setAttribute(Qt::WA_DeleteOnClose);
        win->resize(windowSizeForItem(item));
        win->setMinimumSize(kMinWindowWidth, kMinWindowHeight);
        if (item)
            win->setWindowTitle(
                QFileInfo(item->mediaInfoManager() ? item->mediaInfoManager()->path() : item->fileName()).fileName());
    }
    c->_dragWindow = win;
    c->setOutputPath(outputPath);
    c->attachToView(win);
    c->previewScreenMovieAutoPlay(item, false);
    c->changeSubTitleInfo();
    c->changeAudioTrackInfo();
    c->focusFirstResponder();
    return c;
}

LXPlayerPlusEditorController::LXPlayerPlusEditorController(LXMediaControllerDelegate *delegate, QWidget *parent)
    : LXPlayerController(delegate, parent) {
    setObjectName(kNibName);
    setAutoHideTickInterval(1000);
    // The window is moved by dragging its picture.
    for (QWidget *w : std::initializer_list<QWidget *>{_playView, _playContainerView, _backGroundView})
        LXDragWindow::setDragHandle(w);
    _pointerWatch = new PointerWatch(this, [this](QWidget *receiver, QEvent *event) { notePointer(receiver, event); });
}

LXPlayerPlusEditorController::~LXPlayerPlusEditorController() {
    // Nothing of a screen on its way out hears the pointer (its widgets go after this body).
    delete _pointerWatch;
    if (_dragWindow && _dragWindow->dragWindowDelegate() == this)
        _dragWindow->setDragWindowDelegate(nullptr);
    escFullCtrl();
    delete _preciseWin.data();
}

void LXPlayerPlusEditorController::enterPlayCtrl() {
    _bMouseDragged = false;
    _playView->setDelegate(this);
    _playView->setIsPlayerAndEditor(true);
    _playView->setIsAbsoluteEditor(true);
    if (_editMovie) {
        _currentPosition = _editMovie->trackStartPos();
        _trim.begin();
        _trim.markSaved();
    }
    if (_dragWindow) {
        _dragWindow->setDragWindowDelegate(this);
        _dragWindow->installEventFilter(this);
    }
    initPt();
    seekToTrimStart();
}

// ---------------------------------------------------------------------------------------
// Layout: the video fills the screen; every control is on the bar.

bool LXPlayerPlusEditorController::loadInterface(const QString &nibName) {
    LXPlayerController::loadInterface(nibName);
    _bottomView->hide();
    return nibName == kNibName;
}

void LXPlayerPlusEditorController::layoutInterface() {
    const QRectF all(0, 0, width(), height());
    place(_backGroundView, all);
    place(_playContainerView, all);
    place(_playView, all);
    place(_bottomView, QRectF(0, 0, width(), 0));
}

// ---------------------------------------------------------------------------------------
// Modes

void LXPlayerPlusEditorController::changePlayEditMode() {
    const bool full = _playView->isInFullScreenMode();
    const bool play = _ctrlMode == PlayMode;
    showIf(_exportButton, play && !full);
    showIf(_backButton, play && !full);
    for (QWidget *w :
         std::initializer_list<QWidget *>{_fullExitFullPlayerButton, _fullVoiceLogo, _fullVoiceSlider, _fullPrgSlider,
                                          _fullPlayOrPauseButton, _fullLeftTimeField, _fullRightTimeField})
        showIf(w, play);
    for (QWidget *w : std::initializer_list<QWidget *>{_seekStartButton, _seekEndButton, _trimPlayButton, _barCutSlider,
                                                       _trimButton, _cancelTrimButton, _startTimeLbl, _endTimeLbl})
        showIf(w, !play);
    if (!play && _barCutSlider)
        _barCutSlider->becomeFirstResponder();
}

void LXPlayerPlusEditorController::updateCtrlsPosition() {
    if (_ctrlMode != TrimMode)
        return;
    if (_barCutSlider && _trimPlayButton) {
        const QRectF s = LXGeometry::frameOf(_barCutSlider);
        QRectF b = LXGeometry::frameOf(_trimPlayButton);
        b.moveLeft(s.x() + (s.width() - b.width()) / 2.0);
        LXGeometry::place(_trimPlayButton, b);
        if (_seekStartButton)
            LXGeometry::place(_seekStartButton, QRectF(b.x() - 60, b.y(), b.width(), b.height()));
        if (_seekEndButton)
            LXGeometry::place(_seekEndButton, QRectF(b.x() + 60, b.y(), b.width(), b.height()));
    }
    if (_editMovie)
        updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
}

void LXPlayerPlusEditorController::trimVideo() {
    pauseWhenPlay();
    _trim.begin();
    setToTrimMode();
    initCutSliderParams();
    seekToTrimStart();
    changePlayEditMode();
    updateCtrlsPosition();
    updateCutSlider();
    if (_barCutSlider)
        _barCutSlider->becomeFirstResponder();
}

void LXPlayerPlusEditorController::saveTrim() {
    hidePreciseWin();
    setToPlayMode();
    changePlayEditMode();
    if (_editMovie) {
        _trim.apply();
        const auto [start, length] = _trim.playWindow();
        setPlayWindow(start, length);
    }
    seekToTrimStart();
    updateOnMainControl();
}

void LXPlayerPlusEditorController::cancelTrim() {
    hidePreciseWin();
    setToPlayMode();
    changePlayEditMode();
    if (_editMovie) {
        _trim.cancel();
        const auto [start, length] = _trim.playWindow();
        setPlayWindow(start, length);
        updateCurrentEditMovieInfo();
    }
    initCutSliderParams();
    seekToTrimStart();
    updateOnMainControl();
}

void LXPlayerPlusEditorController::saveStartEndValues() { _trim.markSaved(); }

bool LXPlayerPlusEditorController::needSave() const { return _trim.changedSinceSaved(); }

// ---------------------------------------------------------------------------------------
// Export

void LXPlayerPlusEditorController::showExportMenu() {
    if (_exportMenu)
        _exportMenu->close();
    // A pop-up of the window the button is on (the full-screen window in full screen), which
    // the compositor places against that window.
    QWidget *anchor = _exportButton ? static_cast<QWidget *>(_exportButton) : _playView;
    auto *menu = new QMenu(anchor);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QStringList titles = exportMenuTitles();
    for (int i = 0; i < titles.size(); ++i)
        menu->addAction(titles[i], this, [this, i] { exportWithType(i); });
    if (!_playView->isInFullScreenMode()) {
        menu->addSeparator();
        menu->addAction(trimMenuTitle(), this, [this] { trimVideo(); });
    }
    _exportMenu = menu;
    menu->popup(anchor->mapToGlobal(QPoint(0, _exportButton ? anchor->height() : anchor->height() / 2)));
}

void LXPlayerPlusEditorController::exportWithType(int type) {
    if (!_editMovie)
        return;
    saveStartEndValues();
    pauseWhenPlay();
    _lastExport = LXMediaConvertController::startExport(_editMovie, _outputPath, window(), type, this);
}

// ---------------------------------------------------------------------------------------
// The bar

QRectF LXPlayerPlusEditorController::windowScreenFrame() const {
    return LXGeometry::qtToScreen(QRectF(window()->frameGeometry()));
}

void LXPlayerPlusEditorController::initPt() {
    const bool full = _playView->isInFullScreenMode();
    const QRectF frame = full ? QRectF(QPointF(0, 0), LXGeometry::mainScreenSize()) : windowScreenFrame();
    if (!full && _barOffset) {
        // Where the user dragged it, kept inside the window as a drag would keep it.
        const QPointF p = frame.topLeft() + *_barOffset;
        _converWinPt = LXConverWinView::dragOrigin(p, QPointF(), QSizeF(kBarWidth, kBarHeight),
                                                   LXGeometry::mainScreenSize(), true, frame);
        return;
    }
    const float x = float(frame.x() + (frame.width() - kBarWidth) / 2.0);
    const float y = float(frame.y() + (full ? kBarGapFullScreen : kBarGapWindow));
    _converWinPt = QPointF(x, y);
}

void LXPlayerPlusEditorController::placeShownBar() {
    LXConverWin *bar = isFullControlShown() ? LXConverWin::convertWin() : nullptr;
    if (!bar || _playView->isInFullScreenMode())
        return;
    bar->setLockRect(windowScreenFrame());
    initPt();
    bar->setScreenFrame(converWinRt(false));
}

bool LXPlayerPlusEditorController::eventFilter(QObject *watched, QEvent *event) {
    // The window manager moves and resizes the window without telling the bar.
    if (watched == _dragWindow && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placeShownBar();
    return LXPlayerController::eventFilter(watched, event);
}

QRectF LXPlayerPlusEditorController::converWinRt(bool) const {
    return QRectF(_converWinPt, QSizeF(kBarWidth, kBarHeight));
}

bool LXPlayerPlusEditorController::mouseInConverArea() const {
    LXConverWin *w = isFullControlShown() ? LXConverWin::convertWin() : nullptr;
    return w && pointerOver(w);
}

void LXPlayerPlusEditorController::notePointer(QWidget *receiver, QEvent *event) {
    QWidget *win = receiver->window();
    if (win != window() && win != _playView->fullScreenWindow())
        return;
    if (event->type() == QEvent::Leave) {
        // Out of the window: nothing of this screen is under the pointer. (A pop-up opening
        // over the window sends the same leave; the pointer has not gone anywhere.)
        if (receiver == win && _pointer && _pointer->window == win && !QApplication::activePopupWidget())
            _pointer.reset();
        return;
    }
    const QPointF global = event->type() == QEvent::Enter ? static_cast<QEnterEvent *>(event)->globalPosition()
                                                          : static_cast<QMouseEvent *>(event)->globalPosition();
    _pointer = PointerPlace{win, win->mapFromGlobal(global)};
}

bool LXPlayerPlusEditorController::pointerOver(const QWidget *w) const {
    if (!w || !w->isVisible() || !_pointer || !_pointer->window || _pointer->window != w->window())
        return false;
    return w->rect().contains(w->mapFrom(_pointer->window.data(), _pointer->position).toPoint());
}

std::optional<QPointF> LXPlayerPlusEditorController::pointerGlobal() const {
    if (!_pointer || !_pointer->window)
        return std::nullopt;
    return _pointer->window->mapToGlobal(_pointer->position);
}

void LXPlayerPlusEditorController::closeBarUnlessPointerStays() {
    QTimer::singleShot(0, this, [this] {
        LXConverWin *bar = isFullControlShown() ? LXConverWin::convertWin() : nullptr;
        // A menu open over the window (the bar's export menu) took the pointer: the bar
        // stays under it.
        if (!bar || QApplication::activePopupWidget())
            return;
        if (mouseInConverArea()) {
            // On the bar: it stays while the pointer is there.
            invalidateAutoHideTime();
            restoreAutoHideTime();
            return;
        }
        // Back on the picture the bar stays (the picture's own movement keeps it), but the
        // top 22 points of the window count as outside; so does anywhere off the window.
        QWidget *host = bar->parentWidget() ? bar->parentWidget()->window() : window();
        if (host && pointerOver(host) && _pointer->position.y() >= (host == window() ? 22.0 : 0.0))
            return;
        closeConverWindow(_playView->isInFullScreenMode());
    });
}

void LXPlayerPlusEditorController::showConverWindow(bool fullScreen) {
    // A show that re-enters (a control asking for the bar while it is being built) or one
    // during a window drag is dropped: one bar, placed once the window rests.
    if (_bMouseDragged || _showingBar)
        return;
    _showingBar = true;
    _pointerAtClose.reset();
    initPt();
    initAutoTimer();
    if (LXConverWin::convertWin() && !isFullControlShown())
        LXConverWin::destrayConverWin(); // another screen's bar
    const bool wasShown = isFullControlShown();
    LXConverWin *w = LXConverWin::showConverWinAsChildWithFrameConvertWinViewDelegateIsPlayingParentWin(
        converWinRt(fullScreen), this, isPlaying(), nullptr);
    if (!wasShown) {
        w->setConverWinDelegate(this);
        w->setLockWin(true);
    }
    w->setLockRect(fullScreen ? QRectF(QPointF(0, 0), LXGeometry::mainScreenSize()) : windowScreenFrame());
    initCutSliderParams();
    updateCutSlider();
    updateCtrlsPosition();
    _updateTimeLabel(newPos());
    changePlayEditMode();
    _playView->setFocus();
    w->addToParentWindowIsFullScreen(fullScreen ? _playView->fullScreenWindow() : window(), fullScreen);
    _showingBar = false;
}

void LXPlayerPlusEditorController::closeConverWindow(bool) {
    escFullCtrl();
    _playView->setFocus();
}

void LXPlayerPlusEditorController::escFullCtrl() {
    if (isFullControlShown())
        _pointerAtClose = _pointer;
    hidePreciseWin();
    if (_exportMenu)
        _exportMenu->close();
    LXPlayerController::escFullCtrl();
}

void LXPlayerPlusEditorController::escFullCtrlFromParent() {
    invalidateAutoHideTime();
    escFullCtrl();
}

void LXPlayerPlusEditorController::releaseFullCtrl() {
    for (LXButton *b : {_backButton.data(), _trimButton.data(), _cancelTrimButton.data(), _exportButton.data(),
                        _trimPlayButton.data(), _seekStartButton.data(), _seekEndButton.data()})
        if (b)
            b->setDelegate(nullptr);
    if (_barCutSlider)
        _barCutSlider->setDelegate(nullptr);
    _backButton = _trimButton = _cancelTrimButton = _exportButton = _trimPlayButton = _seekStartButton =
        _seekEndButton = nullptr;
    _barCutSlider = nullptr;
    _startTimeLbl = _endTimeLbl = nullptr;
    LXPlayerController::releaseFullCtrl();
}

// ---------------------------------------------------------------------------------------
// Precise adjustment

QPointF LXPlayerPlusEditorController::winPt(const QPointF &pointer) const {
    LXConverWin *bar = isFullControlShown() ? LXConverWin::convertWin() : nullptr;
    const double barY = bar ? bar->screenFrame().y() : _converWinPt.y();
    return QPointF(pointer.x() - 49 - 8, barY - 20);
}

void LXPlayerPlusEditorController::showPreciseWin(const QPointF &point, double seconds) {
    if (!_preciseWin) {
        auto *win = new LXCountdownWindow(QRectF(point, QSizeF(kPreciseWidth, kPreciseHeight)));
        auto *view = new LXView;
        view->resize(int(kPreciseWidth), int(kPreciseHeight));
        view->setBackGroundImage(LXImage::named(QStringLiteral("NextPreviousFrameBg.png")));
        _previousBtn = new LXButton(QRectF(76, 0, 12, 24), view);
        _previousBtn->setImages(QStringLiteral("gotoPreviousFrameNormal.png"),
                                QStringLiteral("gotoPreviousFramePress.png"));
        _nextBtn = new LXButton(QRectF(88, 0, 12, 24), view);
        _nextBtn->setImages(QStringLiteral("gotoNextFrameNormal.png"), QStringLiteral("gotoNextFramePress.png"));
        for (LXButton *b : {_previousBtn.data(), _nextBtn.data()}) {
            b->setTextTitle(QString());
            b->setDelegate(this);
        }
        _timeLbl = new LXLabel(QRectF(5, 7, 70, 14), view);
        _timeLbl->setTextColor(Qt::white);
        _timeLbl->setTextFont(LXStyle::systemFont(12));
        _timeLbl->setBDrawBackground(false);
        win->setContentView(view);
        // Over the window the bar lies on (the full-screen window in full screen), above it.
        LXConverWin *bar = isFullControlShown() ? LXConverWin::convertWin() : nullptr;
        win->attachToWindow(bar && bar->parentWidget() ? bar->parentWidget() : window());
        _preciseWin = win;
    } else {
        _preciseWin->setScreenFrame(QRectF(point, QSizeF(kPreciseWidth, kPreciseHeight)));
    }
    _preciseWin->show();
    _preciseWin->raise();
    updatePreciseTimeLbl(seconds);
}

void LXPlayerPlusEditorController::hidePreciseWin() {
    _bMicroSeekStart = _bMicroSeekEnd = false;
    if (!_preciseWin)
        return;
    for (LXButton *b : {_previousBtn.data(), _nextBtn.data()})
        if (b)
            b->setDelegate(nullptr);
    LXCountdownWindow *w = _preciseWin;
    _preciseWin = nullptr;
    _previousBtn = _nextBtn = nullptr;
    _timeLbl = nullptr;
    w->attachToWindow(nullptr);
    w->hide();
    w->deleteLater();
}

void LXPlayerPlusEditorController::updatePreciseTimeLbl(double seconds) {
    if (_timeLbl)
        _timeLbl->setTextTitle(precise(seconds));
}

void LXPlayerPlusEditorController::showNudgedCut(bool start, double t) {
    const double T = totalDuration();
    _currentPosition = T > 0 ? t / T : 0.0;
    _playView->beginToSeek();
    _playView->seekTo(_currentPosition);
    _playView->endSeeking();
    for (LXCutSlider *slider : {_barCutSlider.data(), _cutSlider}) {
        if (!slider)
            continue;
        slider->setCurrentTime(t);
        if (start)
            slider->setLeftTime(t);
        else
            slider->setRightTime(t);
    }
    updatePreciseTimeLbl(t);
    if (LXLabel *label = start ? _startTimeLbl : _endTimeLbl)
        label->setTextTitle(precise(t));
}

void LXPlayerPlusEditorController::reduceTrackCutValue() { nudgeTrackCut(-1); }

void LXPlayerPlusEditorController::enlargeTrackCutValue() { nudgeTrackCut(+1); }

void LXPlayerPlusEditorController::nudgeTrackCut(int direction) {
    pauseWhenPlay();
    if (!_editMovie)
        return;
    _bMicroSeekStart = _bProcessTrackStart;
    _bMicroSeekEnd = !_bProcessTrackStart;
    const auto to = _trim.nudge(_bProcessTrackStart ? LXTrim::Cut::Start : LXTrim::Cut::End, direction);
    if (!to)
        return;
    showNudgedCut(_bProcessTrackStart, fromUs(*to));
    const auto [start, length] = _trim.playWindow();
    setPlayWindow(start, length);
    updateCurrentEditMovieInfo();
    updateCutSlider();
}

// ---------------------------------------------------------------------------------------
// Display

double LXPlayerPlusEditorController::keptLength() const {
    return _editMovie ? _editMovie->trackEnd() - _editMovie->trackStart() : 0.0;
}

void LXPlayerPlusEditorController::initCutSliderParams() {
    LXMediaController::initCutSliderParams();
    if (!_barCutSlider)
        return;
    if (_editMovie)
        _barCutSlider->initTotalTimeValueStartCutEndCutTotalTime(
            totalDuration() * _currentPosition, _editMovie->trackStart(), _editMovie->trackEnd(), totalDuration());
    else
        _barCutSlider->initTotalTimeValueStartCutEndCutTotalTime(0, 0, 0, 0);
    _barCutSlider->update();
}

void LXPlayerPlusEditorController::updateCutSlider() {
    const double T = totalDuration();
    for (LXCutSlider *slider : {_barCutSlider.data(), _cutSlider}) {
        if (!slider)
            continue;
        slider->playingCurTime(_currentPosition, _currentPosition * T);
        slider->update();
    }
}

void LXPlayerPlusEditorController::_updateTimeLabel(double progress) {
    const double p = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    const double length = std::max(0.0, keptLength());
    // Whole seconds, cut after rounding to microseconds: a position a hair before the kept
    // start must not show one second less remaining.
    auto seconds = [](double t) { return std::trunc(fromUs(toUs(t))); };
    if (_fullLeftTimeField)
        _fullLeftTimeField->setTextTitle(LXCommon::formatTimeDescStr(seconds(p * length)));
    if (_fullRightTimeField)
        _fullRightTimeField->setTextTitle(
            QStringLiteral("- %1").arg(LXCommon::formatTimeDescStr(seconds((1.0 - p) * length))));
}

void LXPlayerPlusEditorController::_updateSliderPos(double progress) { updateSliderPos(progress); }

void LXPlayerPlusEditorController::updateOnMainControl() {
    if (!itemShown())
        return;
    if (_ctrlMode == PlayMode) {
        const double p = newPos();
        _updateTimeLabel(p);
        _updateSliderPos(p);
    } else {
        updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
    }
    updateCutSlider();
}

void LXPlayerPlusEditorController::updateTime(double start, double end) {
    // While a cut is nudged only its own label follows.
    if (_startTimeLbl && !_bMicroSeekEnd)
        _startTimeLbl->setTextTitle(precise(start));
    if (_endTimeLbl && !_bMicroSeekStart)
        _endTimeLbl->setTextTitle(precise(end));
}

void LXPlayerPlusEditorController::setPlayButtonPictures(LXButton *button, bool playing) {
    if (!button)
        return;
    if (playing) {
        button->setImages(QStringLiteral("FullCtrlPauseNormal.png"), QStringLiteral("FullCtrlPausePress.png"));
        button->setToolTip(tr("Pause"));
    } else {
        button->setImages(QStringLiteral("FullCtrlPlayNormal.png"), QStringLiteral("FullCtrlPlayPress.png"));
        button->setToolTip(tr("Play"));
    }
    button->setTextTitle(QString());
}

void LXPlayerPlusEditorController::updatePlayPauseButton2(bool playing) {
    LXPlayerController::updatePlayPauseButton2(playing);
    setPlayButtonPictures(_fullPlayOrPauseButton, playing);
    setPlayButtonPictures(_trimPlayButton, playing);
}

// ---------------------------------------------------------------------------------------
// The player

bool LXPlayerPlusEditorController::pointerRested() const {
    return _pointerAtClose && _pointer && *_pointerAtClose == *_pointer;
}

void LXPlayerPlusEditorController::enterPlayerArea(SWPlayer *) {
    // Windows appearing or going under a pointer at rest report it entering again; only
    // movement brings back a closed bar.
    if (pointerRested())
        return;
    showConverWindow(_playView->isInFullScreenMode());
}

void LXPlayerPlusEditorController::exitPlayerArea(SWPlayer *) {
    // The picture's leave comes before the bar's enter when the pointer moves onto the bar.
    if (isFullControlShown())
        closeBarUnlessPointerStays();
}

void LXPlayerPlusEditorController::playerMouseMoved(SWPlayer *) {
    restoreAutoHideTime();
    if (mouseInConverArea() || _autoHideTimer->isActive() || pointerRested())
        return;
    showConverWindow(_playView->isInFullScreenMode());
}

void LXPlayerPlusEditorController::playerMouseDown(SWPlayer *) { closeConverWindow(_playView->isInFullScreenMode()); }

void LXPlayerPlusEditorController::wantEnterFullScreen(SWPlayer *) {
    if (_ctrlMode == PlayMode)
        _playView->fullScreen();
}

void LXPlayerPlusEditorController::playerEnterFullMode() {
    closeConverWindow(false);
    initPt();
    showConverWindow(true);
}

void LXPlayerPlusEditorController::playerExitFullMode() {
    closeConverWindow(true);
    // The windowed bar goes back where it was (the user may have moved it).
    initPt();
    showConverWindow(false);
}

void LXPlayerPlusEditorController::playerBlankSpaceKeyDown(SWPlayer *) { playOrPause(); }

void LXPlayerPlusEditorController::spaceKeyDown() {
    if (window()->isActiveWindow())
        playOrPause();
}

void LXPlayerPlusEditorController::playerInProgress(SWPlayer *player, double percent) {
    // The media controller's step only: the player's own time texts are not this bar's.
    LXMediaController::playerInProgress(player, percent);
}

void LXPlayerPlusEditorController::playerDidFinished(SWPlayer *player) {
    LXPlayerController::playerDidFinished(player);
    updateOnMainControl();
    updateBtnStatus(false);
}

void LXPlayerPlusEditorController::playerDidRunedBeyondStopTime(SWPlayer *) {
    _playView->stop();
    if (_editMovie) {
        _playView->seekTo(_editMovie->trackStartPos());
        _currentPosition = _editMovie->trackStartPos();
    }
    updateOnMainControl();
    updateBtnStatus(false);
}

// ---------------------------------------------------------------------------------------
// The floating window's messages and its controls

void LXPlayerPlusEditorController::mouseExitCoverWin(QEvent *) {
    // A drag of the bar that runs ahead of it (the bar stops at the window's edge) is still
    // the user's hold on it.
    if (QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    closeBarUnlessPointerStays();
}

void LXPlayerPlusEditorController::mouseDownOnConverWinView() {
    restoreAutoHideTime();
    hidePreciseWin();
}

void LXPlayerPlusEditorController::dragPoint(const QPointF &origin) {
    _converWinPt = origin;
    if (!_playView->isInFullScreenMode())
        _barOffset = origin - windowScreenFrame().topLeft();
}

LXButton *LXPlayerPlusEditorController::barButton(LXConverWinView *view, const QRectF &frame, const char *normal,
                                                  const char *press, const QString &toolTip) {
    auto *b = new LXButton(view);
    LXGeometry::place(b, frame);
    b->setImages(QString::fromLatin1(normal), QString::fromLatin1(press));
    b->setTextTitle(QString());
    b->setToolTip(toolTip);
    b->setDelegate(this);
    return b;
}

LXLabel *LXPlayerPlusEditorController::barLabel(LXConverWinView *view, const QRectF &frame, int alignment) {
    auto *l = new LXLabel(view);
    LXGeometry::place(l, frame);
    l->setBDrawBackground(false);
    l->setTextColor(Qt::white);
    l->setTextFont(LXStyle::systemFont(10));
    l->setTextAlignment(alignment);
    l->setTextTitle(QStringLiteral("00:00"));
    return l;
}

QWidget *LXPlayerPlusEditorController::backController(LXConverWinView *view) {
    _backButton = barButton(view, QRectF(10, 31, 24, 24), "backToMainNormal.png", "backToMainPress.png",
                            tr("back to main window"));
    return _backButton;
}

QWidget *LXPlayerPlusEditorController::voiceLogoController(LXConverWinView *view) {
    QWidget *w = LXPlayerController::voiceLogoController(view);
    LXGeometry::place(w, QRectF(63, 32, 24, 24));
    return w;
}

QWidget *LXPlayerPlusEditorController::voiceSliderController(LXConverWinView *view) {
    QWidget *w = LXPlayerController::voiceSliderController(view);
    LXGeometry::place(w, QRectF(82, 31, 80, 20));
    _fullVoiceSlider->initImagePosition();
    _fullVoiceSlider->setSliderPos(barVolume());
    return w;
}

QWidget *LXPlayerPlusEditorController::exportController(LXConverWinView *view) {
    _exportButton = barButton(view, QRectF(520, 31, 24, 24), "ShareNormal.png", "SharePress.png", tr("export or trim"));
    return _exportButton;
}

QWidget *LXPlayerPlusEditorController::exitFullScreenController(LXConverWinView *view) {
    if (_playView->isInFullScreenMode())
        _fullExitFullPlayerButton =
            barButton(view, QRectF(572, 31, 24, 24), "exitFullNormal.png", "exitFullPress.png", tr("Exit Full Screen"));
    else
        _fullExitFullPlayerButton =
            barButton(view, QRectF(572, 31, 24, 24), "extentFullNormal.png", "extentFullPress.png", tr("Full Screen"));
    return _fullExitFullPlayerButton;
}

QWidget *LXPlayerPlusEditorController::leftLabelController(LXConverWinView *view) {
    _fullLeftTimeField = barLabel(view, QRectF(5, 6, 60, 16), LXLabel::AlignLeft);
    return _fullLeftTimeField;
}

QWidget *LXPlayerPlusEditorController::rightLabelController(LXConverWinView *view) {
    _fullRightTimeField = barLabel(view, QRectF(540, 6, 60, 16), LXLabel::AlignRight);
    return _fullRightTimeField;
}

QWidget *LXPlayerPlusEditorController::cutSliderController(LXConverWinView *view) {
    auto *s = new LXCutSlider(view);
    LXGeometry::place(s, QRectF(48, 1, 432, 30));
    s->setDelegate(this);
    dressCutHandles(s);
    s->setPrgStartBg(LXImage::named(QStringLiteral("FullCtrlPrgLeftBg.png")));
    s->setPrgMidBg(LXImage::named(QStringLiteral("FullCtrlPrgMiddleBg.png")));
    s->setPrgEndBg(LXImage::named(QStringLiteral("FullCtrlPrgRightBg.png")));
    s->setPrgStartFg(LXImage::named(QStringLiteral("FullCtrlPrgLeftFg.png")));
    s->setPrgMidFg(LXImage::named(QStringLiteral("FullCtrlPrgMiddleFg.png")));
    s->setPrgEndFg(LXImage::named(QStringLiteral("FullCtrlPrgRightFg.png")));
    // Lifted a little from the editor's shifts: the handles' grips clear the bar's lower
    // edge (and the frame-stepping panel hanging under it).
    s->setCutDeltaY(0);
    s->setPosDeltaY(-1);
    s->setSlideBgDeltaY(1);
    s->setSlideFgDeltaY(1);
    s->initRects();
    _barCutSlider = s;
    initCutSliderParams();
    return s;
}

QWidget *LXPlayerPlusEditorController::startLabelController(LXConverWinView *view) {
    _startTimeLbl = barLabel(view, QRectF(5, 8, 60, 16), LXLabel::AlignLeft);
    return _startTimeLbl;
}

QWidget *LXPlayerPlusEditorController::endLabelController(LXConverWinView *view) {
    _endTimeLbl = barLabel(view, QRectF(470, 8, 60, 16), LXLabel::AlignLeft);
    return _endTimeLbl;
}

QWidget *LXPlayerPlusEditorController::playInEditorController(LXConverWinView *view) {
    const double y = (view->height() - 24) / 2.0 + 14;
    _trimPlayButton = barButton(view, QRectF((view->width() - 24) / 2.0, y, 24, 24), "FullCtrlPlayNormal.png",
                                "FullCtrlPlayPress.png", tr("Play"));
    setPlayButtonPictures(_trimPlayButton, isPlaying());
    return _trimPlayButton;
}

QWidget *LXPlayerPlusEditorController::previousController(LXConverWinView *view) {
    const double y = (view->height() - 24) / 2.0 + 14;
    _seekStartButton = barButton(view, QRectF((view->width() - 24) / 2.0 - 60, y, 24, 24), "previousNormal.png",
                                 "previousPress.png", tr("seek to begin of triming"));
    return _seekStartButton;
}

QWidget *LXPlayerPlusEditorController::nextController(LXConverWinView *view) {
    const double y = (view->height() - 24) / 2.0 + 14;
    _seekEndButton = barButton(view, QRectF((view->width() - 24) / 2.0 + 60, y, 24, 24), "nextNormal.png",
                               "nextPress.png", tr("seek to end of triming"));
    return _seekEndButton;
}

QWidget *LXPlayerPlusEditorController::trimController(LXConverWinView *view) {
    _trimButton =
        barButton(view, QRectF(542, 31, 52, 22), "trimOrCancelTrimNormal.png", "trimOrCancelTrimPress.png", QString());
    _trimButton->setTextTitle(foundation::tr_(QStringLiteral("Lan_PlusTrimButton"), QStringLiteral("Trim")));
    _trimButton->setTextFont(LXStyle::systemFont(11));
    return _trimButton;
}

QWidget *LXPlayerPlusEditorController::cancelTrimController(LXConverWinView *view) {
    _cancelTrimButton =
        barButton(view, QRectF(542, 5, 52, 22), "trimOrCancelTrimNormal.png", "trimOrCancelTrimPress.png", QString());
    _cancelTrimButton->setTextTitle(foundation::tr_(QStringLiteral("Lan_PlusCancelButton"), QStringLiteral("Cancel")));
    _cancelTrimButton->setTextFont(LXStyle::systemFont(11));
    return _cancelTrimButton;
}

// ---------------------------------------------------------------------------------------
// The bar's cut slider

void LXPlayerPlusEditorController::leftCutPosition(double fraction) {
    hidePreciseWin();
    if (!_editMovie)
        return;
    // The media controller clamps the start to the end and keeps the start position with it.
    LXMediaController::leftCutPosition(fraction);
    _currentPosition = _editMovie->trackStartPos();
    updateCutSlider();
    updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
    restoreAutoHideTime();
}

void LXPlayerPlusEditorController::rightCutPosition(double fraction) {
    hidePreciseWin();
    if (!_editMovie)
        return;
    LXMediaController::rightCutPosition(fraction);
    _currentPosition = std::clamp(fraction, 0.0, 1.0);
    updateCutSlider();
    updateTime(_editMovie->trackStart(), _editMovie->trackEnd());
    restoreAutoHideTime();
}

void LXPlayerPlusEditorController::leftCutted(double) {
    const auto [start, length] = _trim.playWindow();
    setPlayWindow(start, length);
}

void LXPlayerPlusEditorController::rightCutted(double) {
    const auto [start, length] = _trim.playWindow();
    setPlayWindow(start, length);
}

void LXPlayerPlusEditorController::cursorPositionChanging(double fraction) {
    hidePreciseWin();
    if (!itemShown())
        return;
    _currentPosition = std::clamp(fraction, 0.0, 1.0);
    const auto [start, length] = _trim.playWindow();
    setPlayWindow(start, length);
    _playView->seekTo(_currentPosition);
    updateCutSlider();
    restoreAutoHideTime();
}

void LXPlayerPlusEditorController::beginDragged() {
    hidePreciseWin();
    _playView->beginToSeek();
}

void LXPlayerPlusEditorController::endDragged() { _playView->endSeeking(); }

void LXPlayerPlusEditorController::leftCutUpArea(QMouseEvent *event) {
    if (!_editMovie || _ctrlMode != TrimMode)
        return;
    // A panel open for the other cut moves over to this one.
    if (_preciseWin && !_bProcessTrackStart)
        hidePreciseWin();
    _bProcessTrackStart = true;
    if (_preciseWin)
        return;
    const std::optional<QPointF> global = event ? std::optional(event->globalPosition()) : pointerGlobal();
    if (!global)
        return;
    showPreciseWin(winPt(LXGeometry::screenPointFromQt(*global)), _editMovie->trackStart());
}

void LXPlayerPlusEditorController::rightCutUpArea(QMouseEvent *event) {
    if (!_editMovie || _ctrlMode != TrimMode)
        return;
    if (_preciseWin && _bProcessTrackStart)
        hidePreciseWin();
    _bProcessTrackStart = false;
    if (_preciseWin)
        return;
    const std::optional<QPointF> global = event ? std::optional(event->globalPosition()) : pointerGlobal();
    if (!global)
        return;
    showPreciseWin(winPt(LXGeometry::screenPointFromQt(*global)), _editMovie->trackEnd());
}

// ---------------------------------------------------------------------------------------
// Sliders and buttons

void LXPlayerPlusEditorController::sliderChanged(LXSlider *slider) {
    hidePreciseWin();
    LXPlayerController::sliderChanged(slider);
    updateOnMainControl();
}

void LXPlayerPlusEditorController::sliderDragedAtPosition(LXSlider *slider, double position) {
    hidePreciseWin();
    LXPlayerController::sliderDragedAtPosition(slider, position);
    if (slider == _fullPrgSlider)
        _updateTimeLabel(newPos());
}

void LXPlayerPlusEditorController::slideBeginDragged(LXSlider *slider) {
    hidePreciseWin();
    LXPlayerController::slideBeginDragged(slider);
}

void LXPlayerPlusEditorController::buttonUpWithEvent(LXButton *button, QMouseEvent *) {
    if (button == _exportButton && _exportButton)
        showExportMenu();
}

void LXPlayerPlusEditorController::buttonUp(LXButton *button) {
    restoreAutoHideTime();
    if (!button)
        return;
    if (button == _previousBtn) {
        reduceTrackCutValue();
        return;
    }
    if (button == _nextBtn) {
        enlargeTrackCutValue();
        return;
    }
    hidePreciseWin();
    if (button == _fullPlayOrPauseButton || button == _trimPlayButton) {
        playOrPause();
    } else if (button == _backButton) {
        if (_playView->isInFullScreenMode())
            _playView->exitFullScreenMode();
        const QPointer<LXDragWindow> win = _dragWindow;
        const bool ownWindow = _ownsWindow;
        if (_delegate)
            _delegate->backToMainPage(this);
        // A window of its own has nothing else to go back to: it closes (and takes this
        // screen with it, later).
        if (ownWindow && win && win->isVisible())
            win->close();
    } else if (button == _trimButton) {
        saveTrim();
    } else if (button == _cancelTrimButton) {
        cancelTrim();
    } else if (button == _seekStartButton) {
        seekToTrimStart();
        updateCutSlider();
    } else if (button == _seekEndButton) {
        seekToTrimEnd();
        updateCutSlider();
    } else if (button == _fullExitFullPlayerButton) {
        if (_playView->isInFullScreenMode())
            _playView->exitFullScreenMode();
        else
            _playView->enterFullScreenMode();
    } else if (button == _exportButton) {
        // Its menu opened on the release itself.
    } else {
        LXPlayerController::buttonUp(button);
    }
}

// ---------------------------------------------------------------------------------------
// Dragging the window

void LXPlayerPlusEditorController::dragWindowMouseDown(const QPointF &p) {
    _bMouseDragged = true;
    _startWinPt = _currentWinPt = p;
    _xDeltaOffSet = _yDeltaOffSet = 0;
}

void LXPlayerPlusEditorController::dragWindowMouseDragged(const QPointF &p) {
    _xDeltaOffSet += float(p.x() - _currentWinPt.x());
    _yDeltaOffSet += float(p.y() - _currentWinPt.y());
    _currentWinPt = p;
}

void LXPlayerPlusEditorController::dragWindowMouseUp(const QPointF &p) {
    dragWindowMouseDragged(p);
    // The bar keeps its place on the window, wherever the window went.
    _xDeltaOffSet = _yDeltaOffSet = 0;
    _bMouseDragged = false;
    initPt();
}
