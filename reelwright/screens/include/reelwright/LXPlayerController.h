#pragma once
#include <optional>
// The player of the list page: shows the selected item, plays its kept range, shows progress
// within that range (trackStart = 0 %, trackEnd = 100 %), offers volume, subtitle and audio
// track changes and a button that opens the trim editor, and a floating control bar over the
// video (LXConverWin) that a click on the video toggles, that hides itself after a stretch
// without use and that pointer movement over the video brings back. A double click on the
// video switches full screen; the bar then sits at the bottom of the screen.
//
// Everything LXMediaController says holds here unless said otherwise. Main thread only.
// The space bar: the view answers it while it has the keyboard, and the controller answers
// the "globalSpaceDownKey" notification of the application's hot key; both play or pause
// the kept range.
#include <glazeform/LXConverWin.h>
#include <reelwright/LXMediaController.h>

#include <QPointer>
#include <QTimer>

class LXPlayerController : public LXMediaController, public LXConvertWinViewDataSource, public LXConvertWinDelegate {
    Q_OBJECT
public:
    // The library's own layout, and the application's layout of the list page's player.
    static const QString kNibName;      // "LXPlayerController"
    static const QString kBoardNibName; // "ODPlayBoardController"
    // The notification of the application's space-bar hot key.
    static const QString kGlobalSpaceDownKey; // "globalSpaceDownKey"
    // Ticks of the auto-hide timer without use after which the floating bar closes.
    static constexpr int kAutoHideTicks = 11;

    // Builds the player from the named layout (the library's own for an empty or unknown
    // name), shows `item` without playing, applies the item's subtitle and audio choices and
    // gives the keyboard to the slider (or the video). The caller owns the result until it
    // parents it (attachToView).
    static LXPlayerController *shareEditControllerEditMovieInfoWithNibName(LXMediaControllerDelegate *delegate,
                                                                           const LXMediaInfoPtr &item,
                                                                           const QString &nibName = {});

    explicit LXPlayerController(LXMediaControllerDelegate *delegate, QWidget *parent = nullptr);
    ~LXPlayerController() override;

    // --- The views added to the base's -----------------------------------------------------
    LXButton *playPauseButton2() const { return _playPauseButton2; }
    LXSliderA *progressSlider() const { return _progressSlider; }
    LXButton *editBtn() const { return _editBtn; }
    LXButton *volumnLow() const { return _volumnLow; }
    LXButton *volumnHigh() const { return _volumnHigh; }
    LXView *btmSinglePlayControlView() const { return _btmSinglePlayControlView; }
    LXView *btmPlayControlView() const { return _btmPlayControlView; }
    // The floating bar's controls; null while the bar is closed.
    LXView *fullBgView() const { return _fullBgView; }
    LXButton *fullVoiceLogo() const { return _fullVoiceLogo; }
    LXButton *fullPlayOrPauseButton() const { return _fullPlayOrPauseButton; }
    LXButton *fullExitFullPlayerButton() const { return _fullExitFullPlayerButton; }
    LXSliderA *fullPrgSlider() const { return _fullPrgSlider; }
    LXSliderA *fullVoiceSlider() const { return _fullVoiceSlider; }
    LXLabel *fullLeftTimeField() const { return _fullLeftTimeField; }
    LXLabel *fullRightTimeField() const { return _fullRightTimeField; }

    // --- Showing -------------------------------------------------------------------------
    void previewScreenMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay) override;
    // The item's subtitle choice reaches the player: its external file when it has one, else
    // the stream number of its chosen embedded subtitle (-1 = none).
    virtual void changeSubTitleInfo();
    // The item's audio choice reaches the player as a stream number (-1 = silence).
    virtual void changeAudioTrackInfo();

    // --- The kept range as progress ------------------------------------------------------
    // Seconds played of the kept range (at least 0) and its length.
    void trimCurTimeTrimTotalTime(double &current, double &total) const;
    // Progress within the kept range (0 at trackStart, 1 at trackEnd); 0 for an empty range.
    float newPos() const;
    // The file position for progress p of the kept range (p clamped to the range); never
    // before the item's trackStartPos.
    double newTrimPositionFromOldPostion(double progress) const;
    // The play cursor moves to the slider's progress; the player follows.
    virtual void percentToNewCurrentPosition(LXSlider *slider);
    // Both progress sliders show `progress`.
    void updateSliderPos(double progress);
    // The floating bar's time fields: elapsed, and "- " remaining.
    void updateTimeLbls();
    void updateOnMainControl() override;
    void updatePlayPauseButton2(bool playing) override;
    void enablePlayController(bool enable) override;
    virtual double totalDuration() const;
    virtual QString curTimeStr(double progress) const { return (void)progress, QString(); }
    // Per progress step; nothing in this class.
    virtual void processSelectionPlayingAtTime(double seconds) { (void)seconds; }

    // --- Commands ------------------------------------------------------------------------
    // Play or pause the kept range: resumes where it paused while the cursor lies inside the
    // range, else starts from the range's start.
    virtual void playOrPause();
    // The space-bar notification's answer.
    virtual void spaceKeyDown() { playOrPause(); }

    // --- Floating control bar --------------------------------------------------------------
    bool isFullControlShown() const;
    // Where the bar goes (lower-left screen points): centred at the bottom of the screen in
    // full screen, else centred over the bottom of the video.
    virtual QRectF floatingBarRect() const;
    // Shows the bar at `rect` (re-creating it when it is shown elsewhere) and starts the
    // auto-hide count.
    void enterFullCtrl(const QRectF &rect);
    // Closes the bar, lets go of its controls and stops the count. Screens with more
    // controls on the bar let go of theirs too.
    virtual void escFullCtrl();
    virtual void releaseFullCtrl();
    void initAutoTimer();
    void invalidateAutoHideTime();
    // One tick of the auto-hide timer; the bar closes at the autoHideTicks()-th tick without use.
    void hideFullControl();
    virtual int autoHideTicks() const { return kAutoHideTicks; }
    // Use of the bar: the count starts again.
    void restoreAutoHideTime() override;
    int64_t autoTime() const { return _autoTime; }
    // The timer's tick, 1000 ms; tests shorten it.
    void setAutoHideTickInterval(int milliseconds);
    // A click on the video: toggles the bar.
    void switchOnFullControlView();
    // The bar is told the frame of this screen's window.
    void updateLockRect();
    // The bar's play button and speaker.
    void setToPlay();
    void setToPause();
    void updatePlayStatus();
    void updateFullVoiceLogo(float volume);
    // The level the bar's volume controls show and set: the system's output, or the
    // player's own where no sound server answers.
    float barVolume();
    void setBarVolume(float volume);
    void initProgSlider(LXSliderA *slider);
    void initVoiceSlider(LXSliderA *slider);

    // --- SWPlayerDelegate ------------------------------------------------------------------
    void playerInProgress(SWPlayer *player, double percent) override;
    void playerDidFinished(SWPlayer *player) override;
    void playerMouseDown(SWPlayer *player) override;
    void playerBlankSpaceKeyDown(SWPlayer *player) override;
    void wantEnterFullScreen(SWPlayer *player) override;
    // The player went full screen / came back; also "show the bar" / "close the bar".
    void playerEnterFullMode() override;
    void playerExitFullMode() override;

    // --- LXConvertWinViewDataSource ------------------------------------------------------
    QWidget *backgroundView(LXConverWinView *view) override;
    QWidget *progressController(LXConverWinView *view) override;
    QWidget *leftLabelController(LXConverWinView *view) override;
    QWidget *rightLabelController(LXConverWinView *view) override;
    QWidget *voiceLogoController(LXConverWinView *view) override;
    QWidget *voiceSliderController(LXConverWinView *view) override;
    QWidget *playController(LXConverWinView *view) override;
    QWidget *exitFullScreenController(LXConverWinView *view) override;
    void mouseEnterOnConverWinView() override { restoreAutoHideTime(); }
    void mouseDownOnConverWinView() override { restoreAutoHideTime(); }

    // --- Sliders and buttons ---------------------------------------------------------------
    void sliderChanged(LXSlider *slider) override;
    void sliderDragedAtPosition(LXSlider *slider, double position) override;
    void slideBeginDragged(LXSlider *slider) override;
    void slideEndDragged(LXSlider *slider) override;
    void buttonUp(LXButton *button) override;

protected:
    using LXMediaController::initVoiceSlider;
    bool loadInterface(const QString &nibName) override;
    void layoutInterface() override;
    void initController() override;
    void initButtons() override;
    void initMovieEditView() override;
    void initCutSlider() override;
    virtual void initProgressSlider();
    void enableControlsWhenPlayable() override;
    // The list page's player plays the kept range, never the rest of the file.
    void startAutoPlay() override { playTrim(); }
    // Pointer movement over the video (or its full-screen window).
    virtual void playerPointerMoved();
    bool eventFilter(QObject *watched, QEvent *event) override;

    LXButton *_playPauseButton2 = nullptr;
    LXSliderA *_progressSlider = nullptr;
    LXButton *_editBtn = nullptr;
    LXButton *_volumnLow = nullptr;
    LXButton *_volumnHigh = nullptr;
    LXView *_btmSinglePlayControlView = nullptr;
    LXView *_btmPlayControlView = nullptr;
    QPointer<LXView> _fullBgView;
    QPointer<LXButton> _fullVoiceLogo;
    QPointer<LXButton> _fullPlayOrPauseButton;
    QPointer<LXButton> _fullExitFullPlayerButton;
    QPointer<LXSliderA> _fullPrgSlider;
    QPointer<LXSliderA> _fullVoiceSlider;
    QPointer<LXLabel> _fullLeftTimeField;
    QPointer<LXLabel> _fullRightTimeField;
    QTimer *_autoHideTimer = nullptr;
    int64_t _autoTime = 0;

private:
    // The floating window when this controller made it and it still lives.
    LXConverWin *ownBar() const;
    // The bar was closed by the timer (pointer movement brings it back).
    bool _bAutoHidden = false;
    bool _barUsesSystemVolume = false;
    // The level the shown bar read; none while no bar is shown.
    std::optional<float> _barVolume;
    int _tickInterval = 1000;
    QRectF _barRect;
};
