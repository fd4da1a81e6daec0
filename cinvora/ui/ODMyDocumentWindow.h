#pragma once
// The main window ("ODMyDocument"): the conversion list with its rows, the preview area,
// the format browser (category buttons over the picture grid), the export folder, the
// convert toggle, and a second page for the trim editor reached by a flip. It owns the
// document (ODDocument) and answers what the document asks of its window.
//
// Main thread only. The document is shut down (every conversion, intake and rebuild
// cancelled and joined) before any widget of the window goes away.
#include "ODMediaInfoEdit.h"
#include "ODMediaSkin.h"
#include "ODProgressController.h"
#include "SettingController.h"
#include "vcTableView.h"

#include <DocumentWindow.h>
#include <ODDocument.h>

#include <glazeform/LXButton.h>
#include <glazeform/LXImageView.h>
#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXThumbImageTableView.h>
#include <reelwright/LXPlayerController.h>
#include <reelwright/LXPlayerPlusEditorController.h>

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class LXLabel;
class LXMediaEditController;
class QAction;
class LXSwitchButton;
class ODEditPage;
class LXView;
class ODPreviewView;
class DoneNotifier;
class SleepInhibitor;
class LauncherProgress;
class QTimer;
class QMenu;
class QShortcut;

class ODMyDocumentWindow : public QWidget,
                           public DocumentWindow,
                           public SettingControllerDelegate,
                           public vcTableViewDataSource,
                           public ProgressControllerDelegate,
                           public ODMediaInfoEditDelegate,
                           private LXButtonDelegate,
                           private LXPopUpButtonDelegate,
                           private LXImageViewDelegate,
                           private LXThumbImageTableViewDelegate,
                           private LXMediaControllerDelegate {
    Q_OBJECT
public:
    static constexpr int kDefaultWidth = 1120;
    static constexpr int kDefaultHeight = 720;
    static constexpr int kListWidth = 424; // the rows' column and the scroller
    static constexpr int kTopBarHeight = 50;
    static constexpr int kBottomBarHeight = 56;
    static constexpr int kStatusBarHeight = 36;
    static constexpr int kGridHeight = 160;
    static constexpr const char *kPicturePrefix = "OD";

    explicit ODMyDocumentWindow(QWidget *parent = nullptr);
    ~ODMyDocumentWindow() override;

    ODDocument &document() { return *_document; }

    // ---- Actions of the window's controls ----
    void addFileToList();
    void revealExportFolder();
    void convertAllInWR();
    void removeAllFromList();
    void showSettingController();
    // The export-folder pop-up: [current folder, "Others..."]; rebuilt after every choice.
    void fillExportFolderPopup();
    void exportFolderItemChosen(int index);
    // Feedback mail and the support page.
    void sendMail();
    void facebookSupport();
    QString mailbox() const;
    static QString facebookLink();
    // "mailto:%@?subject=%@&body=%@" with every space of subject and body as "%20"; empty
    // when the address is not a mail address.
    static QString mailLink(const QString &address, const QString &subject, const QString &body);
    // The application menu's titles: [menu title, about, hide, quit].
    static QStringList applicationMenuTitles();

    // Files named on the command line ("Open with"), as absolute paths, those that do not
    // exist included (the intake names them in its message); options are left out.
    static QStringList filesFromArguments(const QStringList &arguments);
    // Adds the files through the "addFilesKey" notification once the list's rebuild has
    // finished, so that a file already in the restored list is recognised as such.
    void addFilesAfterRestore(const QStringList &files);
    // A later start's files ("Open with" while the window runs): added as above, and the
    // window comes to the front, out of the task bar if it was minimised.
    void openFromAnotherStart(const QStringList &files);
    void bringToFront();
    // The quit a signal asks for (a logout's SIGTERM): every conversion is cancelled (their
    // partial outputs go as the document shuts down), the list is saved and the program
    // ends with status 0, asking nothing.
    void quitWithoutAsking();

    // ---- Pages ----
    // The trim editor's entry and exit; each flips the pages (0.75 s). Entering opens the
    // editor on the current item; returning releases it, shows the current item and saves
    // the history (the item's trim and track choices).
    void beginToEditMovie();
    void backToMainPage();
    void startFlipAnimate();
    bool isEditPageShown() const;
    // The editor on the editor page, null on the list page.
    LXMediaEditController *mediaEditController() const;
    // The application menu's entry that opens the editor page (also Ctrl+E).
    QAction *openInTrimEditorAction() const { return _openInTrimEditorAction; }
    static QString openInTrimEditorTitle();
    ODEditPage *editPage() const { return _editPage.get(); }

    // ---- The preview area's player ----
    // Creates the list page's player when there is none: the selected item (if any) on the
    // board layout, filling the preview area, its controls disabled until an item is shown.
    void initPlayControl();
    // Shows `item` in the player (starting playback when asked), its controls enabled exactly
    // when there is an item, its subtitle and audio choices applied. Null: previewNilFile().
    void previewMovieAutoPlay(const LXMediaInfoPtr &item, bool autoPlay);
    // The player shows nothing; the area shows its "select an item" face.
    void previewNilFile();
    void focusPlayController();
    LXPlayerController *mediaPlayController() const { return _mediaPlayController; }

    // ---- The player window ----
    // Opens the selected job's file in the combined player-editor window (Ctrl+Return, or
    // the application menu's entry). There is one such window; a second request shows the
    // new selection in a fresh one. Nothing without a selection or on the editor page.
    // Trims made there are the job's; the list is saved when the window closes.
    void openSelectedInPlayerWindow();
    LXPlayerPlusEditorController *playerWindow() const { return _playerWindow; }
    QAction *openInPlayerWindowAction() const { return _openInPlayerWindowAction; }
    static QString openInPlayerWindowTitle();

    // ---- Format browser ----
    void initMediaTypeSwitchButton();
    void initThumbimageTableView();
    void updateMediaTypeButtonStatus();
    // Highlights the remembered format's cell; selects no format.
    void selectLastExportType();
    bool isCategoryTypeButton(const QObject *object) const;
    // The parameter editor (ODMediaInfoEdit) opens here, from the grid's settings button
    // (the index and key of the format whose button was released), for the selected job;
    // what is saved in it goes to every job.
    virtual void showMediaInfoEdit(int index, const QString &key);
    ODMediaInfoEdit *mediaInfoEdit() const { return _mediaInfoEdit; }
    // ---- ODMediaInfoEditDelegate ----
    void saveMediaInfo(const LXMediaInfo &edited) override;

    // ---- DocumentWindow ----
    void askQuestion(const foundation::AlertRequest &request,
                     std::function<void(foundation::AlertButton)> done) override;
    void askApplyFormatToAll(int64_t count, std::function<void(bool apply, bool dontAskAgain)> done) override;
    void closeWindow() override;
    void chooseFiles(const QStringList &extensions, std::function<void(QStringList)> done) override;
    void reloadTable() override;
    void rowAdded(const std::shared_ptr<vcTableCellView> &row) override;
    void rowRemoved(const std::shared_ptr<vcTableCellView> &row) override;
    void rowsRemoved(const std::vector<std::shared_ptr<vcTableCellView>> &rows) override;
    void rowSelected(const std::shared_ptr<vcTableCellView> &row, bool selected) override;
    void scrollToRow(int64_t index) override;
    void refreshRow(const std::shared_ptr<vcTableCellView> &row) override;
    void updateEmptyListTip(bool listIsEmpty) override;
    void setConvertAllEnabled(bool enabled) override;
    void setConvertAllState(bool on) override;
    void setConvertToggleStopLook(bool stopLook) override;
    void showAddProgress(bool needCancel) override;
    void updateAddProgress(double percent) override;
    void stopAddProgress() override;
    void previewItem(const LXMediaInfoPtr &item, bool autoPlay) override;
    bool isPlaying() override;
    void seekPlayerToTrimStart() override;
    void focusPlayer() override;
    void refreshParameterControls(const LXMediaInfoPtr &item) override;
    void showCategory(const QString &mainKey, int selectMediaType) override;
    void setCategoryChangeAllowed(bool allowed) override;
    void highlightFormatCell(const QString &label) override;
    // The desktop's part in a batch (ODMyDocumentWindowDesktop.cpp): the sleep inhibitor
    // and the launcher's progress while it runs, a notification when it ends unseen.
    void conversionsRunning(bool running) override;
    void batchEnded(const vcBatchTally &tally) override;

    // ---- SettingControllerDelegate ----
    std::optional<bool> canClearAllHistory() override;
    void clearAllHistory() override;
    void exportFolderChosen(const QString &path) override;

    // ---- vcTableViewDataSource ----
    int64_t numberOfRowsInTableView(vcTableView *table) override;
    vcTableCellViewPtr tableViewJobForRow(vcTableView *table, int64_t row) override;
    bool tableViewIsJobSelected(vcTableView *table, const vcTableCellView *job) override;
    bool tableViewIsJobCurrent(vcTableView *table, const vcTableCellView *job) override;
    void tableViewConcludeDragFile(vcTableView *table, const QStringList &paths) override;

    // ---- ProgressControllerDelegate ----
    void cancelAddFiles(bool cancel) override;

    // ---- Choosers without a dialog, for tests ----
    // Folder chooser: gets the starting folder, returns the chosen one or nothing.
    using FolderChooser = std::function<std::optional<QString>(const QString &start)>;
    static void setFolderChooserForTesting(FolderChooser chooser);
    // File chooser: gets the accepted extensions, returns the chosen files or nothing.
    using FileChooser = std::function<std::optional<QStringList>(const QStringList &extensions)>;
    static void setFileChooserForTesting(FileChooser chooser);

    // ---- The pieces, for tests ----
    LXView *rootView() const { return _rootView; }
    QWidget *mainPanelView() const { return _mainPanelView; }
    QWidget *editPanelView() const { return _editPanelView; }
    LXView *topBackGroundView() const { return _topBackGroundView; }
    vcTableView *comboBoxTableView() const { return _comboBoxTableView; }
    QWidget *tipView() const { return _tipView; }
    LXImageView *tipImageView() const { return _tipImageView; }
    ODPreviewView *mainPreviewView() const { return _mainPreviewView; }
    LXView *wrBtmStatusBar() const { return _wrBtmStatusBar; }
    LXView *wrMidStatusBar() const { return _wrMidStatusBar; }
    LXView *bottomView() const { return _bottomView; }
    LXButton *wrAddMediaBtn() const { return _wrAddMediaBtn; }
    LXButton *wrRemoveAllBtn() const { return _wrRemoveAllBtn; }
    LXButton *wrBrowserBtn() const { return _wrBrowserBtn; }
    LXButton *wrConvertBtn() const { return _wrConvertBtn; }
    LXLabel *wrVideoPathLbl() const { return _wrVideoPathLbl; }
    LXLabel *wrOutputLbl() const { return _wrOutputLbl; }
    LXLabel *itemCountLbl() const { return _itemCountLbl; }
    LXPopUpButton *selectDirectoryBtn() const { return _selectDirectoryBtn; }
    LXSwitchButton *switchButton() const { return _switchButton; }
    LXButton *settingBtn() const { return _settingBtn; }
    LXButton *feedbackBtn() const { return _feedbackBtn; }
    LXButton *supportBtn() const { return _supportBtn; }
    LXButton *appMenuBtn() const { return _appMenuBtn; }
    QMenu *appMenu() const { return _appMenu; }
    const std::vector<LXButton *> &categoryButtons() const { return _categoryButtons; }
    LXThumbImageTableView *thumbImageTableView() const { return _thumbImageTableView; }
    ODProgressController *addProgressController() const { return _addProgressController; }
    ODSettingController *settingController() const { return _settingController; }
    // Whether the four keys are live (only while the window is active).
    bool hotKeysRegistered() const;
    // The window's keys for its buttons (each also in the button's tool tip): Ctrl+O adds
    // files, Ctrl+Shift+Return converts (Ctrl+Return is the player window's), Ctrl+,
    // opens the settings, F1 the support page; F10 and the Menu key open the program's menu.
    static QKeySequence addFilesKey();
    static QKeySequence convertKey();
    static QKeySequence settingsKey();
    static QKeySequence helpKey();
    // Opens the program's menu under its button, its first entry active for the keyboard.
    void openApplicationMenu();
    // The order Tab walks: add, remove all, the list, the categories, the grid, the chosen
    // format's settings, the export folder, its reveal button, the stream-copy switch,
    // Convert, the settings, help, feedback, the menu, then the preview. Made again whenever
    // the grid or its chosen cell is rebuilt.
    void orderTabStops();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Left and Right move between the category buttons.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The Convert toggle's two titles.
    static QString convertTitle();
    static QString pauseTitle();
    // Construction, by area.
    void buildPages();
    void buildTopBar();
    void buildListArea();
    void buildPreviewAndBrowser();
    void buildBottomBar();
    void buildShortcuts();
    void buildApplicationMenu();
    void layoutPieces();
    void setHotKeysRegistered(bool on);
    void updateItemCount();

    // Control delegates.
    void buttonDown(LXButton *button) override;
    void buttonUp(LXButton *button) override;
    void pressCanceled(LXButton *button) override;
    void itemSelectAtIndex(LXPopUpButton *button, int index) override;
    void acceptDropedFiles(const QStringList &paths) override;
    void clickImageView(LXImageView *view) override;
    void selectCellWithDictionaryWithSubKey(const QString &key) override;
    void showMediaInfoAtIndexWithKey(int index, const QString &key) override;
    // The player window's messages.
    void updateEditMovieInfo() override;
    void backToMainPage(LXMediaController *controller) override;
    using LXMediaControllerDelegate::beginToEditMovie;
    // The list page's player is dressed with the program's skin; its edit button opens the
    // editor page and a trim changed in it refreshes its row.
    struct PreviewSkin : ODMediaSkin {
        ODMyDocumentWindow *window = nullptr;
        void updateEditMovieInfo() override;
        void beginToEditMovie(LXMediaController *controller) override;
    };
    // Takes the player out of the area and lets it go (its player unloads first).
    void releasePlayControl();
    // The row showing `item`, if any.
    vcTableCellViewPtr rowForItem(const LXMediaInfoPtr &item) const;

    std::unique_ptr<ODDocument> _document;
    bool _closeApproved = false;
    bool _inCloseGuard = false;

    LXView *_rootView = nullptr;
    QWidget *_exchangeRootView = nullptr;
    QWidget *_mainPanelView = nullptr;
    QWidget *_editPanelView = nullptr;
    LXView *_topBackGroundView = nullptr;
    LXButton *_appMenuBtn = nullptr;
    LXLabel *_appNameLbl = nullptr;
    LXButton *_feedbackBtn = nullptr;
    LXButton *_supportBtn = nullptr;
    LXButton *_settingBtn = nullptr;
    vcTableView *_comboBoxTableView = nullptr;
    QWidget *_tipView = nullptr;
    LXImageView *_tipImageView = nullptr;
    LXLabel *_tipTitleLbl = nullptr;
    LXLabel *_tipTextLbl = nullptr;
    ODPreviewView *_mainPreviewView = nullptr;
    LXView *_wrBtmStatusBar = nullptr;
    LXView *_wrMidStatusBar = nullptr;
    LXView *_bottomView = nullptr;
    LXButton *_wrAddMediaBtn = nullptr;
    LXButton *_wrRemoveAllBtn = nullptr;
    LXLabel *_itemCountLbl = nullptr;
    LXButton *_wrBrowserBtn = nullptr;
    LXButton *_wrConvertBtn = nullptr;
    LXLabel *_wrVideoPathLbl = nullptr;
    LXLabel *_wrOutputLbl = nullptr;
    LXPopUpButton *_selectDirectoryBtn = nullptr;
    LXSwitchButton *_switchButton = nullptr;
    LXLabel *_switchLbl = nullptr;
    std::vector<LXButton *> _categoryButtons;
    LXThumbImageTableView *_thumbImageTableView = nullptr;
    QMenu *_appMenu = nullptr;
    std::vector<QShortcut *> _hotKeys;
    bool _hotKeysOn = false; // the window is the active one
    QPointer<ODProgressController> _addProgressController;
    QPointer<ODSettingController> _settingController;
    QPointer<ODMediaInfoEdit> _mediaInfoEdit;
    bool _askingApplyToAll = false;
    std::optional<std::pair<int, QString>> _editorAfterQuestion; // a settings button waiting on the question
    std::unique_ptr<ODEditPage> _editPage;
    QPointer<LXPlayerPlusEditorController> _playerWindow;
    QPointer<LXPlayerController> _mediaPlayController;
    PreviewSkin _previewSkin;
    bool _playerLetGo = false; // the window has closed: no player any more
    QAction *_openInPlayerWindowAction = nullptr;
    QAction *_openInTrimEditorAction = nullptr;
    void updateLauncherProgress();
    // Tells an absent user when an export or upload from the editor ends.
    void watchExports();
    void exportEnded(const QVariantMap &info);
    DoneNotifier *doneNotifier();
    DoneNotifier *_doneNotifier = nullptr;
    SleepInhibitor *_sleepInhibitor = nullptr;
    std::unique_ptr<LauncherProgress> _launcher;
    QTimer *_launcherTimer = nullptr;
};
