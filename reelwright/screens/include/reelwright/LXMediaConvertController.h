#pragma once
// Export of one media item from the editor: converts it (LXExportConversion) and drives
// the export window of the chosen destination, which shows progress, offers pause and
// cancel and does the hand-over.
//
// Destinations (the numbers are the editor's export-menu indexes):
//   0 Local          LXExportWindowController        sheet and conversion at once;
//                                                     finished: reveal or "Later"
//   1 Media library  LXiTunesExportWindowController  sheet and conversion at once;
//                                                     finished: the sheet closes and the
//                                                     file goes to the media library
//   2 Facebook       "LXFaceBookShareWindowController"  the window signs in and shows
//                                                     itself on inWin; converts on startPublish
//   3 YouTube        "LXYoutubeShareWindowController"   sheet at once; converts on startPublish
// The upload windows are looked up by class name (LXExportWindowController's registry);
// while a build has none, that destination is not available: the export says so in an
// alert on the window and ends.
//
// Where the file goes: the caller's output path (a file path, or an existing folder for a
// file named after the source); with none, the export folder (LXMediaCommon), named after
// the source with the item's extension. A Facebook export is always written as MP4
// (H.264/AAC, ".mp4"), the only kind Facebook takes, from a copy of the item. A taken name is numbered ("clip(1).mov"),
// never replaced. A media-library export without an output path converts into a private cache folder and moves the
// result into the library, so no second copy stays behind. Which window a sheet hangs on: inWin, or, without one, the
// application's active window (the main window, when the editor lives in it).
//
// Lifetime: each export makes a fresh controller. It stays alive (the process keeps it)
// until its window's part is over and its conversion has ended, then lets go of itself
// and of its window. cancelAllAndWait() ends every export; it runs by itself when the
// application quits.
// Threading: main thread only (the conversion thread stays inside LXExportConversion).
#include <reelwright/LXExportConversion.h>
#include <reelwright/LXMediaInfo.h>

#include <sendaway/LXExportWindowController.h>

#include <QPointer>
#include <QString>
#include <memory>

class LXiTunesExportWindowController;
class LXMediaConvertController;

// The editor's side. Every method is optional; main thread. A delegate that goes away is
// forgotten by every export (its destructor sees to that).
class LXMediaConvertCtrlDelegate {
public:
    virtual ~LXMediaConvertCtrlDelegate();
    // A local export has written `outputPath`.
    virtual void finishConvert(const QString &outputPath) { (void)outputPath; }
    // Progress of any export, 0..100.
    virtual void converting(double percent) { (void)percent; }
};

class LXMediaConvertController : public LXExportWindowControllerDelegate,
                                 public LXExportConversionDelegate,
                                 public std::enable_shared_from_this<LXMediaConvertController> {
public:
    enum ExportType { Local = 0, ITunes = 1, Facebook = 2, Youtube = 3 };

    // Posted on foundation::NotificationCenter when an export's work is over: the file is
    // written (local), handed to the media library, uploaded, or any of them failed; a
    // cancelled export posts nothing. User info: "succeeded" (bool), "destination" (the
    // ExportType), "path" (the written file, when there is one), "detail" (the failure's
    // reason, or the uploaded video's address).
    static QString exportEndedNotification() { return QStringLiteral("LXMediaExportEnded"); }

    // The window classes of the destinations.
    static QString windowClassForExportType(int exportType);
    // True when this build has the destination's window.
    static bool isExportTypeAvailable(int exportType);

    // Starts an export (see the file comment). Answers the controller, which keeps itself
    // alive; null for an unknown type or an unavailable destination (then an alert on the
    // window says so) or without an item.
    static std::shared_ptr<LXMediaConvertController> startExport(LXMediaInfoPtr mediaInfo, const QString &outputPath,
                                                                 QWidget *inWin, int exportType,
                                                                 LXMediaConvertCtrlDelegate *delegate);
    // The live exports, and ending them all (windows closed, conversions cancelled,
    // threads joined). False on timeout.
    static int liveCount();
    static bool cancelAllAndWait(int timeoutMs = -1);
    // Clears `delegate` from every live export.
    static void forgetDelegate(LXMediaConvertCtrlDelegate *delegate);

    ~LXMediaConvertController() override;

    // Per destination (startExport() sends the one of its type).
    void startToExportLocal();
    void startToExportiTunes();
    void startToExportFacebook();
    void startToExportYoutube();
    // Starts (or resumes) the conversion of `item` into the path for `outputPath`.
    void startConvert(LXMediaInfoPtr item, const QString &outputPath);

    // Main-thread ends of the conversion.
    void updateProgress(double percent);
    void finishedConvert();
    void cancelConvert();
    void failedConvert();

    // LXExportWindowControllerDelegate
    void startPublish(LXExportWindowController *window) override;
    void pauseExport(LXExportWindowController *window) override;
    void continueExport(LXExportWindowController *window) override;
    void cancelExport(LXExportWindowController *window) override;
    void browseExport(LXButton *sender) override;

    // LXExportConversionDelegate
    void exportConversionProgress(LXExportConversion *conversion, double percent, double pastSeconds,
                                  double leftSeconds) override;
    void exportConversionEnded(LXExportConversion *conversion, LXExportOutcome outcome) override;

    LXMediaInfoPtr mediaInfo() const { return _mediaInfo; }
    int exportType() const { return _exportType; }
    // The path asked for; once the conversion has reserved its file, that file's path.
    QString outputPath() const { return _outputPath; }
    QWidget *inWin() const { return _inWin; }
    LXMediaConvertCtrlDelegate *delegate() const { return _delegate; }
    void setDelegate(LXMediaConvertCtrlDelegate *d) { _delegate = d; }
    // The window of this export's destination (null once it is gone).
    LXExportWindowController *exportWindow() const;
    const LXExportConversionPtr &conversion() const { return _conversion; }
    // The window's part is over and the conversion has ended.
    bool isDone() const;

private:
    LXMediaConvertController();
    // Where the conversion should write, from the caller's path and the destination.
    QString wantedOutputPath(const QString &outputPath, const LXMediaInfo &item) const;
    // Takes the window of this export: delegate, tracking of its end.
    void adoptWindow(LXExportWindowController *window);
    // Lets go of this export when it is done.
    void releaseIfDone();
    void windowEnded();
    void showUnavailable();
    void announceEnd(bool succeeded, const QString &detail);

    QPointer<LXExportWindowController> facebookShare;
    QPointer<LXExportWindowController> youtubeShare;
    QPointer<LXiTunesExportWindowController> itunesShare;
    QPointer<LXExportWindowController> localShare;
    LXMediaConvertCtrlDelegate *_delegate = nullptr;
    LXExportConversionPtr _conversion;
    LXMediaInfoPtr _mediaInfo;
    int _exportType = -1;
    QString _outputPath;
    QString _requestedPath;
    QPointer<QWidget> _inWin;
    bool _windowEnded = false;
    bool _convertsIntoCache = false;
};
