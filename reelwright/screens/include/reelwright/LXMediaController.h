#pragma once
// The base of the media screens for one item: one player view, one trim slider, the skinned
// transport buttons and a volume slider. It shows the trim the screens share (LXTrim, which
// decides where cuts go and changes the item's kept range): how a handle position becomes a
// cut, how the kept range is played, how the player is parked on the trim ends, how the
// volume becomes the item's audioVolumn, and the time texts.
//
// Units: a position is a fraction of the whole file (0.0 = start, 1.0 = end; the slider and
//   the player share the scale, derived from the kept range, never stored); the kept range
//   is whole microseconds, item times elsewhere seconds; the play window handed to the
//   player is in whole microseconds, (-1, -1) meaning the whole file.
// Threading: main thread only. Every view update happens inside the player's, the slider's
//   and the buttons' callbacks, which all arrive on the main thread.
// Creation: two steps, so that a subclass's overrides take part in building the screen:
//   the constructor makes the views, initWithNibNameBundle() lays them out for the named
//   "interface file" and dresses them (asking the delegate for every picture and colour).
//   The class operations do both; use them.
// Hosting: the controller is the screen's root widget. attachToView() puts it into a host
//   (the window's preview area, a test window) and keeps it the host's size.
// Lifetime: owned by its Qt parent (or the caller while it has none). Destroying it unloads
//   the player first; no delegate message is sent during or after destruction. A delegate
//   that releases the controller from inside one of its messages must use deleteLater().
#include <framewheel/SWPlayer.h>
#include <glazeform/LXButton.h>
#include <glazeform/LXCutSlider.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXView.h>
#include <reelwright/LXMediaInfo.h>
#include <reelwright/LXTrim.h>

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <optional>

class LXMediaController;
class SWMediaInfoManager;

// The application's side of the media screens. Every message is optional: behaviour messages
// do nothing by default; a dressing request answers a null picture (or no colour) by default,
// which means "not answered", and the screen keeps its own default picture.
class LXMediaControllerDelegate {
public:
    virtual ~LXMediaControllerDelegate() = default;

    // --- Behaviour ------------------------------------------------------------------------
    // The shown item's trim range changed: refresh what shows it.
    virtual void updateEditMovieInfo() {}
    // Leave the editor (trim editor, combined window).
    virtual void backToMainPage(LXMediaController *controller) { (void)controller; }
    // Open the trim editor for the shown item (the player's edit button).
    virtual void beginToEditMovie(LXMediaController *controller) { (void)controller; }
    // The list's item at that index; nullptr when there is none (or not answered).
    virtual LXMediaInfoPtr fetchEditMovieAtIndex(int64_t index) { return (void)index, nullptr; }
    virtual void gotoPreviousItem(LXMediaController *controller) { (void)controller; }
    virtual void gotoNextItem(LXMediaController *controller) { (void)controller; }
    virtual void gotoFirstFrame(LXMediaController *controller) { (void)controller; }
    virtual void gotoLastFrame(LXMediaController *controller) { (void)controller; }
    // The user changed the shown item's audio track or embedded subtitle (an index into the
    // probe's list, -1 = none) or attached an external subtitle file; the item holds the
    // choice and the screen's player already follows it. A host keeps the choice (history).
    virtual void changeAudioStreamAtIndex(LXMediaController *controller, int64_t index) {
        (void)controller, (void)index;
    }
    virtual void changeSubTitleStreamAtIndex(LXMediaController *controller, int64_t index) {
        (void)controller, (void)index;
    }
    virtual void loadPluginSubTitle(LXMediaController *controller, const QString &path) {
        (void)controller, (void)path;
    }
    // Declared for hosts; the library never sends them.
    virtual void exportMovieTrackEnd(double trackStart, double trackEnd) { (void)trackStart, (void)trackEnd; }
    virtual void finishedExportVideo(LXMediaController *controller) { (void)controller; }

    // --- Dressing: colours --------------------------------------------------------------
    virtual std::optional<QColor> backgroundColor(LXMediaController *c) { return (void)c, std::nullopt; }
    virtual std::optional<QColor> startLblTextColor(LXMediaController *c) { return (void)c, std::nullopt; }
    virtual std::optional<QColor> endLblTextColor(LXMediaController *c) { return (void)c, std::nullopt; }

    // --- Dressing: pictures -------------------------------------------------------------
#define LX_MEDIA_PICTURE(request)                                                                                      \
    virtual QPixmap request(LXMediaController *c) { return (void)c, QPixmap(); }
    // Backgrounds.
    LX_MEDIA_PICTURE(backgroundImage)
    LX_MEDIA_PICTURE(btmBackgroundImage)
    LX_MEDIA_PICTURE(playerContainerBackGroundImage)
    LX_MEDIA_PICTURE(bottomImage)
    LX_MEDIA_PICTURE(btmPlayControlBackgroundImage)
    LX_MEDIA_PICTURE(btmSingleControlBackgroundImage)
    // Transport buttons.
    LX_MEDIA_PICTURE(voiceNormalImage)
    LX_MEDIA_PICTURE(voicePressImage)
    LX_MEDIA_PICTURE(nextNormalImage)
    LX_MEDIA_PICTURE(nextPressImage)
    LX_MEDIA_PICTURE(previousNormalImage)
    LX_MEDIA_PICTURE(previousPressImage)
    LX_MEDIA_PICTURE(firstNormalImage)
    LX_MEDIA_PICTURE(firstPressImage)
    LX_MEDIA_PICTURE(lastNormalImage)
    LX_MEDIA_PICTURE(lastPressImage)
    LX_MEDIA_PICTURE(leftApplyNormalImage)
    LX_MEDIA_PICTURE(leftApplyPressImage)
    LX_MEDIA_PICTURE(rightApplyNormalImage)
    LX_MEDIA_PICTURE(rightApplyPressImage)
    LX_MEDIA_PICTURE(playNormalImage)
    LX_MEDIA_PICTURE(playPressImage)
    LX_MEDIA_PICTURE(pauseNormalImage)
    LX_MEDIA_PICTURE(pausePressImage)
    LX_MEDIA_PICTURE(trimPlayNormalImage)
    LX_MEDIA_PICTURE(trimPlayPressImage)
    LX_MEDIA_PICTURE(trimPauseNormalImage)
    LX_MEDIA_PICTURE(trimPausePressImage)
    LX_MEDIA_PICTURE(singlePlayNormalImage)
    LX_MEDIA_PICTURE(singlePlayPressImage)
    LX_MEDIA_PICTURE(singlePauseNormalImage)
    LX_MEDIA_PICTURE(singlePausePressImage)
    LX_MEDIA_PICTURE(plusVoiceNormalImage)
    LX_MEDIA_PICTURE(plusVoicePressImage)
    LX_MEDIA_PICTURE(minusVoiceNormalImage)
    LX_MEDIA_PICTURE(minusVoicePressImage)
    LX_MEDIA_PICTURE(goToEditNormalImage)
    LX_MEDIA_PICTURE(goToEditPressImage)
    LX_MEDIA_PICTURE(backNormalImage)
    LX_MEDIA_PICTURE(backPressImage)
    LX_MEDIA_PICTURE(exportNormalImage)
    LX_MEDIA_PICTURE(exportPressImage)
    LX_MEDIA_PICTURE(popNormalImage)
    LX_MEDIA_PICTURE(popPressImage)
    // The trim slider: handles, cursor, background bar and selected bar (left cap, middle, right cap).
    LX_MEDIA_PICTURE(leftCutNormalImage)
    LX_MEDIA_PICTURE(leftCutPressImage)
    LX_MEDIA_PICTURE(rightCutNormalImage)
    LX_MEDIA_PICTURE(rightCutPressImage)
    LX_MEDIA_PICTURE(cutSliderKnobNormalImage)
    LX_MEDIA_PICTURE(cutSliderKnobPressImage)
    LX_MEDIA_PICTURE(cutSliderBgLeftImage)
    LX_MEDIA_PICTURE(cutSliderBgImage)
    LX_MEDIA_PICTURE(cutSliderBgRightImage)
    LX_MEDIA_PICTURE(cutSliderFgLeftImage)
    LX_MEDIA_PICTURE(cutSliderFgImage)
    LX_MEDIA_PICTURE(cutSliderFgRightImage)
    // The volume slider: track, filled part and knob.
    LX_MEDIA_PICTURE(voiceSlideBgImage)
    LX_MEDIA_PICTURE(voiceSlideBgLeftImage)
    LX_MEDIA_PICTURE(voiceSlideBgRightImage)
    LX_MEDIA_PICTURE(voiceSlideFgLeftImage)
    LX_MEDIA_PICTURE(voiceSlideFgImage)
    LX_MEDIA_PICTURE(voiceSlideFgRightImage)
    LX_MEDIA_PICTURE(voiceSlideKnobNormalImage)
    LX_MEDIA_PICTURE(voiceSlideKnobPressImage)
    // The player's progress slider.
    LX_MEDIA_PICTURE(slideBgImage)
    LX_MEDIA_PICTURE(slideBgLeftImage)
    LX_MEDIA_PICTURE(slideBgRightImage)
    LX_MEDIA_PICTURE(slideFgLeftImage)
    LX_MEDIA_PICTURE(slideFgImage)
    LX_MEDIA_PICTURE(slideFgRightImage)
    LX_MEDIA_PICTURE(slideKnobNormalImage)
    LX_MEDIA_PICTURE(slideKnobPressImage)
#undef LX_MEDIA_PICTURE
};

class LXMediaController : public QWidget,
                          public SWPlayerDelegate,
                          public LXCutSliderDelegate,
                          public LXSliderDelegate,
                          public LXButtonDelegate {
    Q_OBJECT
public:
    // The shown item's trim (what the cuts keep, what an edit goes back to).
    const LXTrim &trim() const { return _trim; }
    // The library's own layout of this class.
    static const QString kNibName; // "LXMediaController"

    // A dressing request of the delegate.
    using PictureRequest = QPixmap (LXMediaControllerDelegate::*)(LXMediaController *);

    // Builds the base screen from the named layout (the class's own layout for an empty or
    // unknown name), shows `item` without playing and gives the trim slider the keyboard.
    static LXMediaController *shareEditControllerEditMovieInfoWithNibName(LXMediaControllerDelegate *delegate,
                                                                          const LXMediaInfoPtr &item,
                                                                          const QString &nibName = {});

    // Makes the views only; initWithNibNameBundle() builds the screen. The delegate is set
    // first so that the dressing questions reach it.
    explicit LXMediaController(LXMediaControllerDelegate *delegate, QWidget *parent = nullptr);
    ~LXMediaController() override;

    // Second step of the construction (once; later calls do nothing): lays the views out for
    // the named layout and dresses them.
    void initWithNibNameBundle(const QString &nibName);
    // The layout in use (after initWithNibNameBundle).
    QString nibName() const { return _nibName; }

    // --- Hosting -----------------------------------------------------------------------
    // Puts the screen into `host` at (0, 0), fills it and follows its size from now on.
    void attachToView(QWidget *host);
    QWidget *view() { return this; }

    // --- Properties --------------------------------------------------------------------
    LXMediaControllerDelegate *delegate() const { return _delegate; }
    void setDelegate(LXMediaControllerDelegate *d) { _delegate = d; }
    SWPlayer *playView() const { return _playView; }
    LXCutSlider *cutSlider() const { return _cutSlider; }
    LXMediaInfoPtr editMovie() const { return _editMovie; }
    std::shared_ptr<SWMediaInfoManager> mediaInfoMgr() const { return _mediaInfoMgr; }
    // The play cursor, a fraction of the file.
    double currentPosition() const { return _currentPosition; }
    bool bIsAutoPlay() const { return _bIsAutoPlay; }
    // The last play command played the kept range.
    bool bInRangeMode() const { return _bInRangeMode; }
    // The volume the controls show, 0..1 (the item's audioVolumn is this × 256, truncated).
    double volumePosition() const { return _volumePosition; }

    // The views (all exist in every layout; a layout hides the ones it does not show).
    LXLabel *timeLabel() const { return _timeLabel; }
    LXView *playContainerView() const { return _playContainerView; }
    LXView *bottomView() const { return _bottomView; }
    LXView *backGroundView() const { return _backGroundView; }
    LXView *btnGrpView() const { return _btnGrpView; }
    LXButton *leftCutApplyBtn() const { return _leftCutApplyBtn; }
    LXButton *rightCutApplyBtn() const { return _rightCutApplyBtn; }
    LXButton *voiceButton() const { return _voiceButton; }
    LXButton *previousButton() const { return _previousButton; }
    LXButton *nextButton() const { return _nextButton; }
    LXButton *playPauseButton1() const { return _playPauseButton1; }
    LXButton *playTrimButton() const { return _playTrimButton; }
    LXButton *backToHome() const { return _backToHome; }
    LXSliderA *voiceSlider() const { return _voiceSlider; }

    // --- Showing an item -----------------------------------------------------------------
    // Shows `item` (or nothing), starting playback as soon as the player can when asked.
    virtual void previewScreenMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay);
    // An item with a probe is shown.
    bool itemShown() const { return _editMovie && _mediaInfoMgr; }

    // --- Play commands -------------------------------------------------------------------
    bool isPlaying() const;
    // Pauses a playing player and shows the play pictures.
    void pauseWhenPlay();
    // Play or pause the whole file.
    virtual void playing();
    // Play or pause the kept range from its start.
    virtual void playTrim();
    // Play or pause the kept range from where the player is.
    virtual void playOrPauseTrim();
    // One frame forward (paused).
    virtual void next();
    virtual void seekToTrimStart();
    virtual void seekToTrimEnd();
    // The kept range's left / right end moves to the play cursor (at least the slider's
    // minimum range from the other end).
    virtual void applyCurrentToLeftCut();
    virtual void applyCurrentToRightCut();

    // --- Tracks (FFmpeg stream numbers; -1 = none) ---------------------------------------
    virtual void changeSubTitleIndex(int streamNumber);
    virtual void changeAudioStreamIndex(int streamNumber);
    virtual void loadPluginSubTitle(const QString &path);

    // --- Volume ------------------------------------------------------------------------
    // The volume slider's position becomes the volume (only for the volume slider).
    virtual void updateSlider(LXSlider *slider);
    // Moves the volume slider to `position` (clamped to 0..1) and applies it.
    virtual void updateSliderWithNewPos(double position);

    // --- Display -----------------------------------------------------------------------
    // The trim slider takes the keyboard (the player when the layout hides the slider).
    virtual void focusFirstResponder();
    // Enables or disables the skinned controls.
    virtual void enablePlayController(bool enable);
    virtual void initCutSliderParams();
    // Time text: the start of the kept range and its length.
    virtual void updateTime(double start, double end);
    // Time text and slider cursor from the play cursor.
    virtual void updateOnMainControl();
    // Pictures and tool tips of the play buttons by play state.
    virtual void updateBtnStatus(bool playing);
    // Time text: zero and the length of the kept range.
    virtual void adjustDisplayTimeStr();
    // Hooks for subclasses (nothing here).
    virtual void updatePlayPauseButton2(bool playing) { (void)playing; }
    virtual void updateProgressSliderAndTimeLabel() {}
    virtual void drawStartTimeStr(const QString &text) { (void)text; }
    // The item's trim changed: tells the delegate.
    void updateCurrentEditMovieInfo();

    // "%@/%@".
    static QString joinTimeStrDurationStr(const QString &time, const QString &duration);
    static double percentToPosition(double value) { return value / 10.0; }
    static double positionToPercent(double value) { return value * 10.0; }

    // --- LXCutSliderDelegate -------------------------------------------------------------
    bool avalibleToDragCut() override;
    void beginDragged() override;
    void endDragged() override;
    void leftCutPosition(double fraction) override;
    void rightCutPosition(double fraction) override;
    void cursorPositionChanging(double fraction) override;
    // Sets the time text.
    void drawTimeString(const QString &text) override;

    // --- SWPlayerDelegate ----------------------------------------------------------------
    void playerInProgress(SWPlayer *player, double percent) override;
    void playerDidFinished(SWPlayer *player) override;
    void playerErrorDidHappened(SWPlayer *player, const QString &error) override;
    void playerBecomePlayAble(SWPlayer *player) override;

    // --- LXSliderDelegate ----------------------------------------------------------------
    void sliderChanged(LXSlider *slider) override;
    void sliderDragedAtPosition(LXSlider *slider, double position) override;
    void slideBeginDragged(LXSlider *slider) override { (void)slider; }
    void slideEndDragged(LXSlider *slider) override { (void)slider; }

    // --- LXButtonDelegate ----------------------------------------------------------------
    void buttonUp(LXButton *button) override;

protected:
    // Lays the views out for the named layout and gives them the layout's own pictures;
    // false for a name this class does not know (the class's own layout is used then).
    virtual bool loadInterface(const QString &nibName);
    // Places the views for the current size (runs on every resize).
    virtual void layoutInterface();
    // The construction steps, in this order: initButtons, then initMovieEditView, which runs
    // initController, initCutSlider, initVoiceSlider and initCutApplyBtns.
    virtual void initController() {}
    virtual void initButtons();
    virtual void initCutApplyBtns();
    virtual void initCutSlider();
    virtual void initVoiceSlider();
    virtual void initMovieEditView();
    // The enabling part of playerBecomePlayAble.
    virtual void enableControlsWhenPlayable();
    // What an item shown with autoPlay plays once the player can: the whole file here.
    virtual void startAutoPlay() { playing(); }

    // The delegate's answer to a dressing request, or the library's picture `fallback`
    // (a name under :/pictures/) when it does not answer.
    QPixmap picture(PictureRequest request, const char *fallback);
    // Gives a cut slider its handle and cursor pictures (each the delegate's, else the library's).
    void dressCutHandles(LXCutSlider *slider);
    // Gives a button its two pictures (each the delegate's, else the fallback) and no title.
    void dressButton(LXButton *button, PictureRequest normal, PictureRequest press, const char *normalFallback,
                     const char *pressFallback);
    // Gives a slider its eight pictures (track middle, left, right; filled left, middle,
    // right; knob normal, pressed).
    void dressSlider(LXSliderA *slider, const PictureRequest requests[8], const char *const fallbacks[8]);
    // Seconds of the whole file (the item's totalDuration).
    double itemDuration() const;
    // Sets the volume from a position (clamped), the item's audioVolumn and the player's.
    void applyVolume(double position);
    // Sets the play window in microseconds.
    void setPlayWindow(int64_t startUs, int64_t durationUs);
    // Places a view by its lower-left frame in its parent.
    static void place(QWidget *view, const QRectF &frame);

    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    LXMediaControllerDelegate *_delegate = nullptr;
    LXLabel *_timeLabel = nullptr;
    SWPlayer *_playView = nullptr;
    LXCutSlider *_cutSlider = nullptr;
    LXView *_playContainerView = nullptr;
    LXView *_bottomView = nullptr;
    LXView *_backGroundView = nullptr;
    LXView *_btnGrpView = nullptr;
    LXButton *_leftCutApplyBtn = nullptr;
    LXButton *_rightCutApplyBtn = nullptr;
    LXButton *_voiceButton = nullptr;
    LXButton *_previousButton = nullptr;
    LXButton *_nextButton = nullptr;
    LXButton *_playPauseButton1 = nullptr;
    LXButton *_playTrimButton = nullptr;
    LXButton *_backToHome = nullptr;
    LXSliderA *_voiceSlider = nullptr;
    std::shared_ptr<SWMediaInfoManager> _mediaInfoMgr;
    LXMediaInfoPtr _editMovie;
    // Every change of the shown item's kept range goes through it.
    LXTrim _trim;
    double _currentPosition = 0.0;
    bool _bIsAutoPlay = false;
    bool _bInRangeMode = false;

private:
    QString _nibName;
    bool _built = false;
    double _volumePosition = 1.0;
    QPointer<QWidget> _host;
};
