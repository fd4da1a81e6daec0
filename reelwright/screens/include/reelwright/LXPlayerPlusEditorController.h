#pragma once
// The combined player-editor: plays one item in its own frameless window that the user drags
// by its picture, with every control on the floating bar over the video (LXConverWin). The
// bar has two modes:
//   play mode: back, system volume, play/pause of the kept range, export menu, full screen,
//              progress within the kept range with elapsed and remaining time;
//   trim mode: the cut slider, the precise start and end times, play/pause of the kept range,
//              jumps to its ends, "Trim" (keep the new range) and "Cancel" (go back to the
//              range confirmed last).
// Hovering a cut handle of the bar's slider opens a small frame-stepping panel that nudges
// that cut by kNudgeSeconds, never closer than the slider's minimum range to the other cut
// and never outside the file. The export menu offers the four destinations of
// LXMediaConvertController and "Trim" (which enters trim mode).
//
// Everything LXPlayerController says holds here unless said otherwise. Differences:
//   - the bar shows itself when the pointer enters or moves over the video, hides after
//     kAutoHideTicks ticks without use, on a click on the video and when the pointer leaves
//     the window;
//   - positions are fractions of the whole file; totalDuration() stays the file's length,
//     the kept range's length is keptLength();
//   - cut times are kept in whole microseconds (the unit the engine works in), so that
//     nudges add up exactly.
// Hosting: the class operation builds the screen into the given LXDragWindow, or into a window
//   of its own when given none (deleted with its window when that closes). The host shows
//   the window and then sends enterPlayCtrl().
// Exports: written to outputPath(), or without one into the export folder, numbered when a
//   name is taken; their sheet hangs on this screen's window.
// Threading: main thread only; the exports convert on their own threads.
#include <glazeform/LXDragWindow.h>
#include <reelwright/LXMediaConvertController.h>
#include <reelwright/LXPlayerController.h>

#include <QMenu>
#include <QPointer>
#include <memory>
#include <optional>

class LXCountdownWindow;

class LXPlayerPlusEditorController : public LXPlayerController,
                                     public LXMediaConvertCtrlDelegate,
                                     public LXDragWindowDelegate {
    Q_OBJECT
public:
    static const QString kNibName; // "LXPlayerPlusEditorController"
    // Ticks (1 s each) without use after which the bar hides.
    static constexpr int kAutoHideTicks = 6;
    // One nudge of a cut, seconds.
    static constexpr double kNudgeSeconds = 0.05;
    // The bar, and its distance from the bottom of the window / of the screen.
    static constexpr double kBarWidth = 603, kBarHeight = 59;
    static constexpr double kBarGapWindow = 20, kBarGapFullScreen = 25;
    // The frame-stepping panel.
    static constexpr double kPreciseWidth = 99, kPreciseHeight = 24;
    enum CtrlMode : int64_t { PlayMode = 0, TrimMode = 1 };
    // A window for this screen: room for the bar, the video's shape up to a sensible width.
    static constexpr int kMinWindowWidth = 640, kMinWindowHeight = 360, kMaxWindowWidth = 960;
    static QSize windowSizeForItem(const LXMediaInfoPtr &item);

    // The export menu's texts, in the order of LXMediaConvertController's export types, and
    // the entry that enters trim mode (looked up by key; these are the defaults).
    static QStringList exportMenuTitles();
    static QString trimMenuTitle();

    // Builds the screen into `win` (a new LXDragWindow when null; it deletes itself, and this
    // screen, when closed), sets outputPath, shows `item` paused and gives the video the
    // keyboard. The window is not shown.
    static LXPlayerPlusEditorController *sharePlayEditControllerEditMovieInfoInWinOutputPathWithNibName(
        LXMediaControllerDelegate *delegate, const LXMediaInfoPtr &item, LXDragWindow *win, const QString &outputPath,
        const QString &nibName = {});

    explicit LXPlayerPlusEditorController(LXMediaControllerDelegate *delegate, QWidget *parent = nullptr);
    ~LXPlayerPlusEditorController() override;

    // The host's signal that the window is up: pointer tracking on, the trim ranges
    // remembered, drags of the window reported here, the player parked on the kept start.
    void enterPlayCtrl();

    // --- Properties --------------------------------------------------------------------------
    LXDragWindow *dragWindow() const { return _dragWindow; }
    int64_t ctrlMode() const { return _ctrlMode; }
    void setCtrlMode(int64_t mode) { _ctrlMode = mode; }
    QString outputPath() const { return _outputPath; }
    void setOutputPath(const QString &path) { _outputPath = path; }
    bool bProcessTrackStart() const { return _bProcessTrackStart; }
    bool bMicroSeekStart() const { return _bMicroSeekStart; }
    bool bMicroSeekEnd() const { return _bMicroSeekEnd; }
    bool bMouseDragged() const { return _bMouseDragged; }
    // The bar's lower-left corner, screen points.
    QPointF converWinPt() const { return _converWinPt; }
    // The export this screen started last, while it lives.
    std::shared_ptr<LXMediaConvertController> lastExport() const { return _lastExport.lock(); }

    // The bar's controls added to the player's (null while the bar is closed). The player's
    // fullPlayOrPauseButton() is the play-mode play button, fullPrgSlider() the progress.
    LXButton *backButton() const { return _backButton; }
    LXButton *exportButton() const { return _exportButton; }
    LXButton *trimButton() const { return _trimButton; }
    LXButton *cancelTrimButton() const { return _cancelTrimButton; }
    LXButton *trimPlayButton() const { return _trimPlayButton; }
    LXButton *seekStartButton() const { return _seekStartButton; }
    LXButton *seekEndButton() const { return _seekEndButton; }
    LXCutSlider *barCutSlider() const { return _barCutSlider; }
    LXLabel *startTimeLbl() const { return _startTimeLbl; }
    LXLabel *endTimeLbl() const { return _endTimeLbl; }
    // The frame-stepping panel and its parts (null while closed).
    LXCountdownWindow *preciseWin() const { return _preciseWin; }
    LXButton *previousBtn() const { return _previousBtn; }
    LXButton *nextBtn() const { return _nextBtn; }
    LXLabel *timeLbl() const { return _timeLbl; }
    // The export menu while it is open.
    QMenu *exportMenu() const { return _exportMenu; }

    // --- Modes ---------------------------------------------------------------------------
    void setToPlayMode() { _ctrlMode = PlayMode; }
    void setToTrimMode() { _ctrlMode = TrimMode; }
    // Shows the bar's controls of the current mode and hides the others.
    virtual void changePlayEditMode();
    // Trim mode: the play button centred over the cut slider, the jumps 60 points either
    // side, the precise labels showing the cuts.
    virtual void updateCtrlsPosition();
    // Enters trim mode (the export menu's "Trim").
    virtual void trimVideo();
    // "Trim": keeps the range and goes back to play mode.
    virtual void saveTrim();
    // "Cancel": the range confirmed last comes back; play mode.
    virtual void cancelTrim();
    // The trim range at the start of an export.
    void saveStartEndValues();
    // The range differs from the one at opening or at the last export.
    bool needSave() const;

    // --- Export ----------------------------------------------------------------------------
    // Opens the export menu at the export button.
    virtual void showExportMenu();
    // Remembers the range and exports to the destination of that type (0 file, 1 media
    // library, 2 Facebook, 3 YouTube).
    virtual void exportWithType(int type);
    void exportToLocal() { exportWithType(LXMediaConvertController::Local); }
    void exportToiTunes() { exportWithType(LXMediaConvertController::ITunes); }
    void exportToFacebook() { exportWithType(LXMediaConvertController::Facebook); }
    void exportToYoutube() { exportWithType(LXMediaConvertController::Youtube); }
    void finishConvert(const QString &outputPath) override { (void)outputPath; }

    // --- The bar -----------------------------------------------------------------------------
    // Shows the bar (windowed or at the bottom of the screen); ignored while the window is
    // dragged and while a show is under way.
    virtual void showConverWindow(bool fullScreen);
    virtual void closeConverWindow(bool fullScreen);
    // Closes the bar without giving the keyboard back (the window is going).
    void escFullCtrlFromParent();
    // The bar's place for the current mode: centred at the bottom of the window, or of the
    // screen in full screen.
    void initPt();
    QRectF converWinRt() const { return converWinRt(_playView->isInFullScreenMode()); }
    QRectF converWinRt(bool fullScreen) const;
    // The pointer is over the bar (as this screen's windows last saw it).
    bool mouseInConverArea() const;
    int autoHideTicks() const override { return kAutoHideTicks; }
    void escFullCtrl() override;
    void releaseFullCtrl() override;

    // --- Precise adjustment ----------------------------------------------------------------
    // Where the panel goes for a pointer at `pointer` (screen points).
    QPointF winPt(const QPointF &pointer) const;
    // Opens the panel at `point` showing `seconds` (an open panel is updated and moved).
    virtual void showPreciseWin(const QPointF &point, double seconds);
    virtual void hidePreciseWin();
    // Nudge the cut the panel adjusts back / forward by kNudgeSeconds.
    virtual void reduceTrackCutValue();
    virtual void enlargeTrackCutValue();
    void updatePreciseTimeLbl(double seconds);

    // --- Display -----------------------------------------------------------------------
    // The bar's cut slider takes the item's range and the play cursor.
    void initCutSliderParams() override;
    void updateCutSlider();
    // The play-mode time fields and progress for progress p of the kept range.
    void _updateTimeLabel(double progress);
    void _updateSliderPos(double progress);
    void updateOnMainControl() override;
    void updateTime(double start, double end) override;
    void updatePlayPauseButton2(bool playing) override;
    double keptLength() const;

    // --- SWPlayerDelegate ----------------------------------------------------------------------
    void enterPlayerArea(SWPlayer *player) override;
    void exitPlayerArea(SWPlayer *player) override;
    void playerMouseMoved(SWPlayer *player) override;
    void playerMouseDown(SWPlayer *player) override;
    void wantEnterFullScreen(SWPlayer *player) override;
    void playerEnterFullMode() override;
    void playerExitFullMode() override;
    void playerBlankSpaceKeyDown(SWPlayer *player) override;
    // The application's space-bar notification reaches this screen only while its window
    // is the active one (the list's player answers it otherwise).
    void spaceKeyDown() override;
    void playerInProgress(SWPlayer *player, double percent) override;
    void playerDidFinished(SWPlayer *player) override;
    void playerDidRunedBeyondStopTime(SWPlayer *player) override;

    // --- LXConvertWinDelegate / data source ------------------------------------------------------
    void mouseExitCoverWin(QEvent *event) override;
    void mouseDownOnConverWinView() override;
    void dragPoint(const QPointF &origin) override;
    QWidget *backController(LXConverWinView *view) override;
    QWidget *voiceLogoController(LXConverWinView *view) override;
    QWidget *voiceSliderController(LXConverWinView *view) override;
    QWidget *exportController(LXConverWinView *view) override;
    QWidget *exitFullScreenController(LXConverWinView *view) override;
    QWidget *leftLabelController(LXConverWinView *view) override;
    QWidget *rightLabelController(LXConverWinView *view) override;
    QWidget *cutSliderController(LXConverWinView *view) override;
    QWidget *startLabelController(LXConverWinView *view) override;
    QWidget *endLabelController(LXConverWinView *view) override;
    QWidget *playInEditorController(LXConverWinView *view) override;
    QWidget *previousController(LXConverWinView *view) override;
    QWidget *nextController(LXConverWinView *view) override;
    QWidget *trimController(LXConverWinView *view) override;
    QWidget *cancelTrimController(LXConverWinView *view) override;

    // --- The cut slider of the bar ------------------------------------------------------------
    void leftCutPosition(double fraction) override;
    void rightCutPosition(double fraction) override;
    void leftCutted(double fraction) override;
    void rightCutted(double fraction) override;
    void cursorPositionChanging(double fraction) override;
    void beginDragged() override;
    void endDragged() override;
    void leftCutUpArea(QMouseEvent *event) override;
    void rightCutUpArea(QMouseEvent *event) override;

    // --- Sliders and buttons ---------------------------------------------------------------
    void sliderChanged(LXSlider *slider) override;
    void sliderDragedAtPosition(LXSlider *slider, double position) override;
    void slideBeginDragged(LXSlider *slider) override;
    void buttonUp(LXButton *button) override;
    void buttonUpWithEvent(LXButton *button, QMouseEvent *event) override;

    // --- LXDragWindowDelegate ------------------------------------------------------------------
    void dragWindowMouseDown(const QPointF &screenPoint) override;
    void dragWindowMouseDragged(const QPointF &screenPoint) override;
    void dragWindowMouseUp(const QPointF &screenPoint) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool loadInterface(const QString &nibName) override;
    void layoutInterface() override;
    // Pointer movement is told by the player's tracking messages here.
    void playerPointerMoved() override {}
    void startAutoPlay() override { playOrPause(); }

private:
    // The shown windowed bar back on the window after the window moved or changed size.
    void placeShownBar();
    // One nudge of the cut being edited (earlier when direction < 0), through the trim.
    void nudgeTrackCut(int direction);
    // A cut the trim has nudged to `seconds`: the player parks there, the sliders and
    // labels follow.
    void showNudgedCut(bool start, double seconds);
    void setPlayButtonPictures(LXButton *button, bool playing);
    // The window's frame in screen points.
    QRectF windowScreenFrame() const;
    // The pointer has not moved since the bar closed.
    bool pointerRested() const;
    // Where the pointer is, as the last pointer event in one of this screen's windows (the
    // player's window, the full-screen window) said: that window and the position in it;
    // none once it left the window.
    // Under Wayland a client knows the pointer only from its own windows' events, each in
    // that window's coordinates; nothing here asks for a global pointer position.
    struct PointerPlace {
        QPointer<QWidget> window;
        QPointF position;
        bool operator==(const PointerPlace &o) const {
            return window == o.window && (position - o.position).manhattanLength() < 1.0;
        }
    };
    void notePointer(QWidget *receiver, QEvent *event);
    // The pointer is over `w` (a visible widget of one of this screen's windows).
    bool pointerOver(const QWidget *w) const;
    // The pointer's place in Qt's global coordinates of its window, if it is known.
    std::optional<QPointF> pointerGlobal() const;
    // The pointer left the picture or the bar: the bar closes unless the pointer is on it or
    // on the picture (below the window's top 22 points). Decided once the pointer's move has
    // been delivered in full: leaving one widget for another sends the leave before the
    // enter, and the new place comes last.
    void closeBarUnlessPointerStays();
    LXButton *barButton(LXConverWinView *view, const QRectF &frame, const char *normal, const char *press,
                        const QString &toolTip);
    LXLabel *barLabel(LXConverWinView *view, const QRectF &frame, int alignment);

    QPointer<LXDragWindow> _dragWindow;
    // The window was made by the class operation for this screen alone.
    bool _ownsWindow = false;
    QPointer<LXButton> _backButton;
    QPointer<LXButton> _trimButton;
    QPointer<LXButton> _cancelTrimButton;
    QPointer<LXButton> _exportButton;
    QPointer<LXButton> _trimPlayButton;
    QPointer<LXButton> _seekStartButton;
    QPointer<LXButton> _seekEndButton;
    QPointer<LXCutSlider> _barCutSlider;
    QPointer<LXLabel> _startTimeLbl;
    QPointer<LXLabel> _endTimeLbl;
    int64_t _ctrlMode = PlayMode;
    QPointer<LXCountdownWindow> _preciseWin;
    QPointer<LXButton> _previousBtn;
    QPointer<LXButton> _nextBtn;
    QPointer<LXLabel> _timeLbl;
    bool _bProcessTrackStart = true;
    bool _bMicroSeekStart = false, _bMicroSeekEnd = false;
    float _xDeltaOffSet = 0, _yDeltaOffSet = 0;
    QPointF _converWinPt;
    // Where the user dragged the windowed bar, from the window's lower-left corner; none
    // while it sits in its own place (centred, 20 points above the bottom). The bar is
    // placed from the window as it is when shown, never from where it was when opened: a
    // window manager places, moves and resizes the window after that.
    std::optional<QPointF> _barOffset;
    QPointF _startWinPt, _currentWinPt;
    bool _bMouseDragged = false;
    bool _showingBar = false;
    QObject *_pointerWatch = nullptr;
    std::optional<PointerPlace> _pointer;
    // Where the pointer was when the bar closed.
    std::optional<PointerPlace> _pointerAtClose;
    QString _outputPath;
    QPointer<QMenu> _exportMenu;
    std::weak_ptr<LXMediaConvertController> _lastExport;
};
