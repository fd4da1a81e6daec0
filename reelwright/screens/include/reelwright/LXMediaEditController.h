#pragma once
// The trim editor: the screen that opens for one item of the conversion list to set its kept
// range, step through it (one frame forward, one second back, to either end of the range),
// choose its subtitle and audio track, attach an external subtitle file, move to the
// previous or next item of the list, and export the item (a local file, the media library,
// Facebook or YouTube) through LXMediaConvertController.
//
// Everything LXPlayerController and LXMediaController say holds here unless said otherwise.
// The differences that matter to a host:
//   - the space bar (the view's, and the "globalSpaceDownKey" notification) plays or pauses
//     the whole file, not the kept range;
//   - times are shown precisely (hundredths, "H:MM:SS.CC") in the start and end labels;
//   - the previous/next item buttons ask the delegate (gotoPreviousItem / gotoNextItem, then
//     gotoFirstFrame / gotoLastFrame); a host answers the first two by sending
//     previousMedia() / nextMedia() back, which fetch the item through
//     fetchEditMovieAtIndex();
//   - a changed track choice is reported to the delegate (changeAudioStreamAtIndex,
//     changeSubTitleStreamAtIndex, loadPluginSubTitle), so that the host can keep it.
//
// Layouts: "LXMediaEditController" (the library's own) and "ODMovieEditController" (the
//   application's editor page) are built in code; both carry the export menu. The page is
//   a title bar (back, previous item, the item's name, next item, export menu), the video,
//   and the trim bar with its transport, the precise times, the track menus and the volume.
// Exports: written to outputPath(), or without one to the export folder, numbered when a
//   name is taken; their sheet hangs on editorWindow(), or without one on the window this
//   screen lives in.
// Threading: main thread only. Lifetime as LXMediaController; an export outlives the
//   editor (it forgets the editor as its delegate when the editor goes).
#include <reelwright/LXMediaConvertController.h>
#include <reelwright/LXPlayerController.h>

#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXPopupButtonCell.h>

#include <QFileDialog>
#include <QPointer>
#include <functional>
#include <memory>

class LXMediaEditController : public LXPlayerController,
                              public LXPopUpButtonDelegate,
                              public LXViewDelegate,
                              public LXMediaConvertCtrlDelegate {
    Q_OBJECT
public:
    // The library's own layout, and the application's editor page.
    static const QString kNibName;   // "LXMediaEditController"
    static const QString kODNibName; // "ODMovieEditController"
    // The export menu's title (empty by default; the library's string table says "Export").
    static const QString kExportToLabelKey; // "Lan_SC_ExportTo_Lbl"
    // The subtitle and audio menus' fixed entries.
    // How long a chosen export type stays on the menu before the title comes back.
    static constexpr int kExportTitleRestoreMs = 100;

    // Builds the editor from the named layout (the library's own for an empty or unknown
    // name), sets editorWindow(), shows `item` without playing, applies its subtitle and audio
    // choices, dresses the export menu, gives the keyboard to the trim slider and sets
    // outputPath(). The caller owns the result until it parents it (attachToView).
    static LXMediaEditController *
    shareEditControllerEditMovieInfoInWinOutputPathWithNibName(LXMediaControllerDelegate *delegate,
                                                               const LXMediaInfoPtr &item, QWidget *window,
                                                               const QString &outputPath, const QString &nibName = {});

    explicit LXMediaEditController(LXMediaControllerDelegate *delegate, QWidget *parent = nullptr);
    ~LXMediaEditController() override;

    // --- The views added to the player's ---------------------------------------------------
    LXPopupButtonCell *subTitlesBtn() const { return _subTitlesBtn; }
    LXPopupButtonCell *audioTracksBtn() const { return _audioTracksBtn; }
    // The menus paint themselves: the cells are the menus.
    LXPopupButtonCell *subTitleBtnCell() const { return _subTitlesBtn; }
    LXPopupButtonCell *audioTrackBtnCell() const { return _audioTracksBtn; }
    LXLabel *startTimeLbl() const { return _startTimeLbl; }
    LXLabel *endTimeLbl() const { return _endTimeLbl; }
    // Previous item ("goto previous media") and next item ("goto next media").
    LXButton *firstButton() const { return _firstButton; }
    LXButton *lastButton() const { return _lastButton; }
    // The combined window's export button; not shown in these layouts.
    LXButton *exportButton() const { return _exportButton; }
    LXPopUpButton *exportTypePopupBtn() const { return _exportTypePopupBtn; }
    // The item's file name over the video.
    LXLabel *titleLbl() const { return _titleLbl; }
    // The file chooser of "Plugin SubTitle" while it is open, else null.
    QFileDialog *subtitleChooser() const { return _subtitleChooser; }

    // --- Properties ------------------------------------------------------------------------
    // The last chosen export type (LXMediaConvertController's numbers); 1 after construction.
    int exportType() const { return _exportType; }
    // Precise-seek modes of the combined window; false here.
    bool bMicroSeekEnd() const { return _bMicroSeekEnd; }
    bool bMicroSeekStart() const { return _bMicroSeekStart; }
    // The window export sheets and the subtitle chooser hang on (not held); null = the
    // window this screen lives in. (The property is not called window(): QWidget has one.)
    QWidget *editorWindow() const { return _window; }
    void setEditorWindow(QWidget *w) { _window = w; }
    // Where an export writes (a file, or a folder for a file named after the source); empty
    // = the export folder, numbered.
    QString outputPath() const { return _outputPath; }
    void setOutputPath(const QString &path) { _outputPath = path; }
    // The subtitle menu's last accepted selection.
    int64_t lastSelectIdx() const { return _lastSelectIdx; }
    // The export this editor started last, while it lives.
    std::shared_ptr<LXMediaConvertController> lastExport() const { return _lastExport.lock(); }

    // --- Showing ---------------------------------------------------------------------------
    void previewScreenMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay) override;
    // The previous/next item buttons follow the item's place in the list.
    virtual void updateFirstLastStatus();
    virtual void enableFirstLastStatus();
    void enablePlayController(bool enable) override;
    // Shows the list's item before / after the shown one (through the delegate's
    // fetchEditMovieAtIndex), playing from its trim start.
    virtual void previousMedia();
    virtual void nextMedia();

    // --- Stepping (nothing without an item) ------------------------------------------------
    virtual void stopPlay() { pauseWhenPlay(); }
    // The play cursor to the kept range's start / end.
    virtual void firstFrame();
    virtual void lastFrame();
    // Pauses and seeks exactly to `position` (a fraction of the file); the labels show where
    // the player goes.
    virtual void seekframe(double position);
    // One second back (never before the file's start).
    virtual void previous();

    // --- Time texts ----------------------------------------------------------------------
    // Each label always shows one thing: the start label ("current time") the picture on
    // screen to the hundredth, the time label that picture's second and the kept length, the
    // end label ("end time") the end cut. Every change of picture or cut ends here.
    virtual void showTimes();
    // The picture on screen, whole microseconds from the video's first picture (the player's
    // own time, not a fraction of the length multiplied back).
    int64_t shownPictureUs() const;
    void updateTime(double start, double end) override;
    void adjustDisplayTimeStr() override;
    void updateOnMainControl() override;
    void drawStartTimeStr(const QString &text) override;
    virtual void drawEndTimeStr(const QString &text);
    QString curTimeStr(double progress) const override;

    // --- Tracks ----------------------------------------------------------------------------
    // Fill the menus from the probe and select the item's choice.
    virtual void loadSubTitles();
    virtual void loadAudioTracks();
    // The menus' actions, with the chosen entry.
    virtual void subTitlesChanged(int index);
    virtual void audioTracksChanged(int index);
    // Opens the subtitle file chooser on the window (SubRip files, starting in the source's
    // folder). Accepting attaches the file; cancelling restores the menu.
    virtual void loadPluginSubTitleChooser() { addFile(); }
    virtual void addFile();
    // The chooser's answer: a path attaches it; an empty path is a cancel.
    void subtitleFileChosen(const QString &path);
    bool existInnerSubTitles() const;

    // --- Export ----------------------------------------------------------------------------
    static QStringList exportTypeArray(); // "Local", "Media library", "Facebook", "Youtube"
    // Dresses the export menu and puts its title up.
    virtual void initCB();
    virtual void initExportTypeItem();
    // Starts an export of the shown item to the destination of that type.
    virtual void exportWithType(int type);
    // LXPopUpButtonDelegate
    void itemSelectAtIndex(LXPopUpButton *button, int index) override;

    // --- Commands --------------------------------------------------------------------------
    // The space bar plays or pauses the whole file.
    void spaceKeyDown() override { playing(); }
    void playerBlankSpaceKeyDown(SWPlayer *player) override;
    // LXViewDelegate: a click on the bottom bar closes an open menu.
    void clickView(LXView *view) override;
    void buttonUp(LXButton *button) override;
    void cursorPositionChanging(double fraction) override;
    void playerDidFinished(SWPlayer *player) override;

protected:
    bool loadInterface(const QString &nibName) override;
    void layoutInterface() override;
    void initButtons() override;
    void initMovieEditView() override;
    void initCutSlider() override;
    void startAutoPlay() override { playing(); }
    // Puts a menu back on an entry without reporting it as the user's choice.
    static void selectQuietly(LXPopupButtonCell *menu, int index);
    // Texts: start with hundredths / the same for the end label.
    static QString preciseText(double seconds);
    // The end label, unless a precise-seek mode of the other end is active.
    void setPreciseTimes(const QString &start, const QString &end);

    LXPopupButtonCell *_subTitlesBtn = nullptr;
    LXPopupButtonCell *_audioTracksBtn = nullptr;
    LXLabel *_startTimeLbl = nullptr;
    LXLabel *_endTimeLbl = nullptr;
    LXButton *_firstButton = nullptr;
    LXButton *_lastButton = nullptr;
    LXButton *_exportButton = nullptr;
    LXPopUpButton *_exportTypePopupBtn = nullptr;
    int _exportType = 1;
    bool _bMicroSeekEnd = false;
    bool _bMicroSeekStart = false;
    QPointer<QWidget> _window;
    int64_t _lastSelectIdx = 0;
    QString _outputPath;

    // The page's own pieces: title bar, item name, place in the list, time well, menu captions.
    LXView *_titleBarView = nullptr;
    LXLabel *_titleLbl = nullptr;
    LXLabel *_positionLbl = nullptr;
    LXView *_timePanelView = nullptr;
    LXLabel *_subTitleCaption = nullptr;
    LXLabel *_audioCaption = nullptr;
    QPointer<QFileDialog> _subtitleChooser;
    std::weak_ptr<LXMediaConvertController> _lastExport;

private:
    void updateTitle();
};
