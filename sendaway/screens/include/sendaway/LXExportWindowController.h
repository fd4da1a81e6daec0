#pragma once
// The export progress sheet, and the base of every sharing window (media library, upload
// services).
//
// Used by itself it is the local export window: while the export conversion runs it shows
// a progress bar, a status line and the elapsed/remaining time, and offers to cancel after
// a confirmation (the conversion is paused while the question is open). Once the file is
// written the owner switches it to its finished state, where the user reveals the file or
// closes the sheet. It converts nothing itself: every decision goes to its export delegate.
//
// Threading: main thread only, like every widget.
// Ownership: created by shareWindowController() without a parent; beginSheet() makes the
//   parent window its Qt parent, so the window goes at the latest with that window. The
//   owner holds it through a QPointer and deletes it when it is done with it.
// Texts: looked up by "Lan_" key in the string tables (the library's own table is
//   ":/strings/en/Sendaway.plist"), each with a built-in default used when no table has it.
//
// Subclasses (the upload and media-library windows) override:
//   windowNibName()        the name of their layout;
//   loadWindowNamed()      to build that layout (buildProgressControls() places the base's
//                          outlets on a page of theirs);
//   initLanguage()         their texts (call the base's first when they keep its controls);
//   finishedConvert()      what happens with the converted file;
//   canceledConvert(), failedConvert(), cancelExport(), closeWindow() where they differ;
//   emblemName()           the picture of their destination.
// closeWindow() ends a window's part in the export (its owner then lets go of it); a
// window that hides for a while and shows again (signing in anew) uses orderOutSheet().
// and provide their own static shareWindowController() returning an instance of
// themselves, registered by class name with LX_REGISTER_EXPORT_WINDOW so that owners can
// ask for a window class that may not be built in (shareWindowControllerOfClass()).
#include <glazeform/LXButton.h>

#include <QDialog>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class LXExportWindowController;
class LXLabel;
class LXImageView;
class LXProgressIndicator;

// The export delegate (the export conversion): receives the user's decisions. Every
// method is optional; the defaults do nothing. Called on the main thread.
class LXExportWindowControllerDelegate {
public:
    virtual ~LXExportWindowControllerDelegate() = default;
    // Start converting now (the upload windows, when the user publishes).
    virtual void startPublish(LXExportWindowController *window) { (void)window; }
    // Hold the running conversion (the cancel question is open).
    virtual void pauseExport(LXExportWindowController *window) { (void)window; }
    // Resume a conversion held by pauseExport.
    virtual void continueExport(LXExportWindowController *window) { (void)window; }
    // Cancel the conversion; the owner then calls canceledConvert().
    virtual void cancelExport(LXExportWindowController *window) { (void)window; }
    // Close the window and reveal the output file; `sender` is the pressed button.
    virtual void browseExport(LXButton *sender) { (void)sender; }
};

class LXExportWindowController : public QDialog, protected LXButtonDelegate {
    Q_OBJECT
public:
    // Where the window is in an export's life.
    enum class ExportState {
        Idle,       // created, not yet showing a conversion (upload windows before publishing)
        Converting, // shown; the conversion runs
        Confirming, // the cancel question is open; the conversion is held
        Cancelling, // "Yes" was answered; waiting for the owner's canceledConvert()
        Finished,   // the file is written; browse or "Later"
        Failed,     // the conversion failed; only closing is left
        Closed,     // closeWindow() ran: the window's part is over
    };

    // A new window of this class (not shown, no parent); the caller keeps it. Subclasses
    // declare their own, returning an instance of themselves.
    static LXExportWindowController *shareWindowController();
    // Nothing to release: windows are not shared.
    static void destoryWindowController() {}

    // --- window classes by name --------------------------------------------------------
    using Factory = std::function<LXExportWindowController *()>;
    // Main thread or static initialisation. A later registration of a name replaces it.
    static void registerWindowClass(const QString &className, Factory factory);
    static bool hasWindowClass(const QString &className);
    // A new window of the named class, or null when no such class is built in.
    static LXExportWindowController *shareWindowControllerOfClass(const QString &className);

    // --- layout ------------------------------------------------------------------------
    // The layout this class builds: "MovieBuildingWin" here.
    virtual QString windowNibName() const;
    // Builds the layout and sets the texts, once (shareWindowController() has done it).
    void loadWindow();
    bool isWindowLoaded() const { return _windowLoaded; }

    // --- showing ----------------------------------------------------------------------
    // Shows the window as a sheet on `parentWindow`: window-modal, centred at the top of
    // that window, parented to it. Without a parent window it is application-modal.
    // Showing does not change the state: the owner calls conversionStarted().
    void beginSheet(QWidget *parentWindow);
    // Hides the sheet for a while without ending its part (shown again with beginSheet()).
    void orderOutSheet();

    // --- what the owner tells the window -----------------------------------------------
    void enableCancelButton();
    // The conversion has started (or restarted): state Converting, bar at 0.
    void conversionStarted();
    // Progress 0..100 (clamped).
    virtual void exportAtPercent(double percent);
    // leaveTimeTip shows "Lan_TimeNeed" filled with both times (whole seconds).
    virtual void exportTimePastAndLeave(double pastSeconds, double leaveSeconds);
    // "%d:%d:%d(s)", "%d:%d(s)" or "%d(s)", not zero-padded; negative counts as 0.
    static QString timeToFormatString(int64_t seconds);
    // The conversion has written `path`. Nothing here: the subclasses react.
    virtual void finishedConvert(const QString &path);
    // The conversion ended cancelled: closeWindow().
    virtual void canceledConvert();
    // The conversion failed: the status line says so ("Lan_Export_Failed"), `reason` (the
    // engine's words) takes the bar's place, and only closing is offered.
    virtual void failedConvert(const QString &reason);
    // The local export's finished state: browse and close buttons swap places and show,
    // close reads "Later", cancel hides, the status reads "Export successfully". The time
    // text gives way to the picture's measured quality ("Quality (SSIM): 0.987") when the
    // conversion measured one, and hides otherwise.
    void turnToFinishedState(std::optional<double> measuredSsim = std::nullopt);
    // Clears exportFormat and exportFilePath, ends the sheet and hides the window; the
    // state becomes Closed and exportWindowClosed() is emitted (once).
    virtual void closeWindow();
    // The "browse" question as an alert on the active window; its default button reveals `path`.
    void showBrowser(const QString &path);

    // The library's identifier; its texts are in the string tables under "Lan_" keys.
    static QString bundle() { return QStringLiteral("com.Vantrel.Sendaway"); }
    // The text for `key`, else `fallback`.
    static QString localizedString(const QString &key, const QString &fallback);
    // Fills "%@" (and "%d") placeholders in order, the way the tables write them.
    static QString formatString(const QString &format, const QStringList &args);
    // Sets the texts of the controls; runs when the layout is loaded.
    virtual void initLanguage();

    // --- actions of the buttons ------------------------------------------------------
    // Cancel with confirmation: pauses the conversion, asks, then cancels or continues.
    virtual void cancelExport(LXButton *sender);
    void browseExportPath(LXButton *sender);
    void closeProgress(LXButton *sender);
    void cancel(LXButton *sender);
    // Escape (and the window manager's close) never closes a running export unasked: it
    // asks the cancel question while converting and closes a finished or failed sheet.
    void reject() override;

    // --- properties ----------------------------------------------------------------------
    ExportState exportState() const { return _exportState; }
    LXExportWindowControllerDelegate *exportWinDelegate() const { return _exportWinDelegate; }
    void setExportWinDelegate(LXExportWindowControllerDelegate *d) { _exportWinDelegate = d; }
    QWidget *parrentWin() const { return _parrentWin; }
    void setParrentWin(QWidget *w) { _parrentWin = w; }
    bool isUploading() const { return _isUploading; }
    void setIsUploading(bool on) { _isUploading = on; }
    QObject *delegate() const { return _delegate; }
    void setDelegate(QObject *d) { _delegate = d; }
    QString exportFilePath() const { return _exportFilePath; }
    void setExportFilePath(const QString &p) { _exportFilePath = p; }
    QSizeF exportResolution() const { return _exportResolution; }
    void setExportResolution(const QSizeF &s) { _exportResolution = s; }
    int64_t exportQuality() const { return _exportQuality; }
    void setExportQuality(int64_t q) { _exportQuality = q; }
    QString exportFormat() const { return _exportFormat; }
    void setExportFormat(const QString &f) { _exportFormat = f; }

    // The outlets (null before the layout is loaded).
    LXProgressIndicator *progressIndicator() const { return _progressIndicator; }
    LXLabel *leaveTimeTip() const { return _leaveTimeTip; }
    LXLabel *progressText() const { return _progressText; }
    LXButton *browseButton() const { return _browseButton; }
    LXButton *closeButton() const { return _closeButton; }
    LXButton *cancelButton() const { return _cancelButton; }
    LXImageView *emblemView() const { return _emblemView; }

signals:
    // closeWindow() ended the window's part in the export; the owner may let go of it.
    void exportWindowClosed();
    // An upload window's upload is over: `detail` is the video's address (may be empty)
    // or, after a failure, the service's reason. A cancelled upload sends nothing.
    void uploadEnded(bool succeeded, const QString &detail);

protected:
    explicit LXExportWindowController(QWidget *parent = nullptr);

    // Builds the named layout. The base builds "MovieBuildingWin" (any other name too).
    virtual void loadWindowNamed(const QString &nibName);
    // Runs once after loadWindowNamed(): initLanguage().
    virtual void windowDidLoad();
    // Places the progress controls (emblem, status line, bar, time text and the three
    // buttons) on `page`, laid out for its width and height (lower-left frames).
    void buildProgressControls(QWidget *page);
    // The emblem shown while converting (a skin picture name).
    virtual QString emblemName() const;
    void setEmblem(const QString &pictureName);
    void setExportState(ExportState state);
    // The cancel question's answer: the default button cancels, any other continues.
    virtual void sheetDidEnd(bool cancelChosen, LXButton *sender);
    // The upload windows' hand-off of a finished conversion: while the cancel question is
    // open it waits for the answer (true: held). "Yes" then ends the export as cancelled;
    // "No" hands `path` over again through finishedConvert().
    bool holdHandOffWhileConfirming(const QString &path);

    void buttonUp(LXButton *button) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

    LXProgressIndicator *_progressIndicator = nullptr;
    LXExportWindowControllerDelegate *_exportWinDelegate = nullptr;
    QPointer<QWidget> _parrentWin;
    bool _isUploading = false;
    QPointer<QObject> _delegate;
    LXLabel *_leaveTimeTip = nullptr;
    QString _exportFilePath;
    LXLabel *_progressText = nullptr;
    LXButton *_browseButton = nullptr;
    QSizeF _exportResolution;
    LXButton *_closeButton = nullptr;
    int64_t _exportQuality = 0;
    QString _exportFormat;
    LXButton *_cancelButton = nullptr;
    LXImageView *_emblemView = nullptr;
    LXLabel *_percentText = nullptr; // "42%" at the end of the status line

private:
    ExportState _exportState = ExportState::Idle;
    bool _windowLoaded = false;
    bool _closedSignalled = false;
    QString _heldHandOff; // a finished conversion waiting for the cancel question's answer
};

// Registers a window class by its name at library load:
//   LX_REGISTER_EXPORT_WINDOW(LXYoutubeShareWindowController)
// The class needs a static shareWindowController() returning a new instance of itself.
#define LX_REGISTER_EXPORT_WINDOW(Class)                                                                               \
    namespace {                                                                                                        \
    const bool lxExportWindowRegistered_##Class = [] {                                                                 \
        LXExportWindowController::registerWindowClass(QStringLiteral(#Class),                                          \
                                                      [] { return Class::shareWindowController(); });                  \
        return true;                                                                                                   \
    }();                                                                                                               \
    }
