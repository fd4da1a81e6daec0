#include "reelwright/LXMediaConvertController.h"

#include "reelwright/LXMediaCommon.h"

#include <foundation/Alerts.h>
#include <foundation/Log.h>
#include <foundation/NotificationCenter.h>
#include <foundation/MainThread.h>
#include <foundation/Strings.h>

#include <sendaway/LXiTunesExportWindowController.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <mutex>
#include <vector>

namespace {

// The live exports. Never destroyed: its entries go when their exports are done.
std::vector<std::shared_ptr<LXMediaConvertController>> &live() {
    static auto *v = new std::vector<std::shared_ptr<LXMediaConvertController>>;
    return *v;
}

void endAllExports() { LXMediaConvertController::cancelAllAndWait(); }

// Every export ends with the application: on quit, and at the latest when the
// application object goes.
void ensureQuitHooks() {
    static bool done = false;
    if (done || !QCoreApplication::instance())
        return;
    done = true;
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { endAllExports(); });
    qAddPostRoutine(endAllExports);
}

QWidget *defaultSheetWindow() {
    if (QWidget *w = QApplication::activeWindow())
        return w;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::Window)
            return w;
    return nullptr;
}

QString destinationName(int exportType) {
    switch (exportType) {
    case LXMediaConvertController::Facebook:
        return QStringLiteral("Facebook");
    case LXMediaConvertController::Youtube:
        return QStringLiteral("YouTube");
    case LXMediaConvertController::ITunes:
        return QCoreApplication::translate("LXMediaConvertController", "the media library");
    default:
        return QCoreApplication::translate("LXMediaConvertController", "a file");
    }
}

// Facebook takes MP4 (H.264 video, AAC audio) and nothing else, so an export for it is
// made as one whatever container, codecs and quality the item carries for other outputs.
// The item is the user's record: the export converts a copy.
LXMediaInfoPtr asFacebookVideo(const LXMediaInfoPtr &item) {
    LXMediaInfoPtr c = item->copyMovie();
    c->setAudioVolumn(item->audioVolumn());
    c->setSrtSubtitleFile(item->srtSubtitleFile());
    c->setOutputFormat(QStringLiteral("mp4"));
    c->setOutputExt(QStringLiteral(".mp4"));
    c->setVCodecs({QStringLiteral("libx264")});
    c->setVCodecIndex(0);
    c->setACodecs({QStringLiteral("aac")});
    c->setACodecIndex(0);
    if (c->bSourceIsVideo())
        c->setBOutputIsVideo(true);
    return c;
}

} // namespace

LXMediaConvertCtrlDelegate::~LXMediaConvertCtrlDelegate() { LXMediaConvertController::forgetDelegate(this); }

LXMediaConvertController::LXMediaConvertController() : _conversion(LXExportConversion::create()) {}

LXMediaConvertController::~LXMediaConvertController() {
    _conversion->setDelegate(nullptr);
    for (QPointer<LXExportWindowController> w :
         {facebookShare, youtubeShare, QPointer<LXExportWindowController>(itunesShare.data()), localShare})
        if (w) {
            w->setExportWinDelegate(nullptr);
            w->deleteLater();
        }
}

QString LXMediaConvertController::windowClassForExportType(int exportType) {
    switch (exportType) {
    case Local:
        return QStringLiteral("LXExportWindowController");
    case ITunes:
        return QStringLiteral("LXiTunesExportWindowController");
    case Facebook:
        return QStringLiteral("LXFaceBookShareWindowController");
    case Youtube:
        return QStringLiteral("LXYoutubeShareWindowController");
    default:
        return {};
    }
}

bool LXMediaConvertController::isExportTypeAvailable(int exportType) {
    const QString name = windowClassForExportType(exportType);
    return !name.isEmpty() && LXExportWindowController::hasWindowClass(name);
}

std::shared_ptr<LXMediaConvertController> LXMediaConvertController::startExport(LXMediaInfoPtr mediaInfo,
                                                                                const QString &outputPath,
                                                                                QWidget *inWin, int exportType,
                                                                                LXMediaConvertCtrlDelegate *delegate) {
    if (!mediaInfo || exportType < Local || exportType > Youtube)
        return nullptr;
    QWidget *window = inWin ? inWin->window() : defaultSheetWindow();
    std::shared_ptr<LXMediaConvertController> c(new LXMediaConvertController);
    c->_inWin = window;
    c->_delegate = delegate;
    c->_exportType = exportType;
    c->_mediaInfo = std::move(mediaInfo);
    c->_requestedPath = outputPath;
    c->_outputPath = outputPath;
    if (!isExportTypeAvailable(exportType)) {
        c->showUnavailable();
        return nullptr;
    }
    ensureQuitHooks();
    c->_conversion->setDelegate(c.get());
    live().push_back(c);
    switch (exportType) {
    case Local:
        c->startToExportLocal();
        break;
    case ITunes:
        c->startToExportiTunes();
        break;
    case Facebook:
        c->startToExportFacebook();
        break;
    case Youtube:
        c->startToExportYoutube();
        break;
    }
    return c;
}

int LXMediaConvertController::liveCount() { return int(live().size()); }

bool LXMediaConvertController::cancelAllAndWait(int timeoutMs) {
    const bool joined = LXExportConversion::cancelAllAndWait(timeoutMs);
    // Windows still open (upload windows before publishing) end too.
    const auto snapshot = live();
    for (const auto &c : snapshot)
        if (LXExportWindowController *w = c->exportWindow())
            w->closeWindow();
    foundation::MainThread::drain();
    return joined;
}

void LXMediaConvertController::forgetDelegate(LXMediaConvertCtrlDelegate *delegate) {
    for (const auto &c : live())
        if (c->_delegate == delegate)
            c->_delegate = nullptr;
}

LXExportWindowController *LXMediaConvertController::exportWindow() const {
    switch (_exportType) {
    case Local:
        return localShare;
    case ITunes:
        return itunesShare;
    case Facebook:
        return facebookShare;
    case Youtube:
        return youtubeShare;
    default:
        return nullptr;
    }
}

bool LXMediaConvertController::isDone() const { return _windowEnded && !_conversion->isRunning(); }

// ---------------------------------------------------------------------------------------
// Destinations.

void LXMediaConvertController::adoptWindow(LXExportWindowController *window) {
    window->setExportWinDelegate(this);
    std::weak_ptr<LXMediaConvertController> weak = weak_from_this();
    auto ended = [weak] {
        if (auto self = weak.lock())
            self->windowEnded();
    };
    QObject::connect(window, &LXExportWindowController::exportWindowClosed, window, ended);
    QObject::connect(window, &LXExportWindowController::uploadEnded, window,
                     [weak](bool succeeded, const QString &detail) {
                         if (auto self = weak.lock())
                             self->announceEnd(succeeded, detail);
                     });
    // A window that goes with its parent window ends the export as well.
    QObject::connect(window, &QObject::destroyed, ended);
}

void LXMediaConvertController::startToExportLocal() {
    localShare = LXExportWindowController::shareWindowController();
    adoptWindow(localShare);
    localShare->enableCancelButton();
    localShare->beginSheet(_inWin);
    startConvert(_mediaInfo, _requestedPath);
}

void LXMediaConvertController::startToExportiTunes() {
    LXiTunesExportWindowController *w = LXiTunesExportWindowController::shareWindowController();
    itunesShare = w;
    const bool video = _mediaInfo->bSourceIsVideo() && _mediaInfo->bOutputIsVideo();
    w->setLibraryKind(video ? LXiTunesExportWindowController::LibraryKind::Video
                            : LXiTunesExportWindowController::LibraryKind::Audio);
    // Without a path of the caller's the file is made only for the library: it is moved there.
    _convertsIntoCache = _requestedPath.isEmpty();
    w->setMoveIntoLibrary(_convertsIntoCache);
    adoptWindow(w);
    w->enableCancelButton();
    w->beginSheet(_inWin);
    startConvert(_mediaInfo, _requestedPath);
}

void LXMediaConvertController::startToExportFacebook() {
    facebookShare = LXExportWindowController::shareWindowControllerOfClass(windowClassForExportType(Facebook));
    if (!facebookShare) {
        windowEnded();
        return;
    }
    adoptWindow(facebookShare);
    facebookShare->setParrentWin(_inWin);
}

void LXMediaConvertController::startToExportYoutube() {
    youtubeShare = LXExportWindowController::shareWindowControllerOfClass(windowClassForExportType(Youtube));
    if (!youtubeShare) {
        windowEnded();
        return;
    }
    adoptWindow(youtubeShare);
    youtubeShare->setParrentWin(_inWin);
    youtubeShare->beginSheet(_inWin);
}

void LXMediaConvertController::announceEnd(bool succeeded, const QString &detail) {
    foundation::NotificationCenter::defaultCenter().post(exportEndedNotification(),
                                                         {{QStringLiteral("succeeded"), succeeded},
                                                          {QStringLiteral("destination"), _exportType},
                                                          {QStringLiteral("path"), _outputPath},
                                                          {QStringLiteral("detail"), detail}});
}

void LXMediaConvertController::showUnavailable() {
    foundation::AlertRequest request;
    request.title = LXExportWindowController::formatString(
        foundation::tr_(QStringLiteral("Lan_Export_Unavailable"), QStringLiteral("Exporting to %@ is not available.")),
        {destinationName(_exportType)});
    request.defaultButton = foundation::tr_(QStringLiteral("Lan_OK"), QStringLiteral("OK"));
    foundation::Log::line(QStringLiteral("Export to %1 is not available: no %2 in this build")
                              .arg(destinationName(_exportType), windowClassForExportType(_exportType)));
    if (QCoreApplication::instance() && qobject_cast<QApplication *>(QCoreApplication::instance()))
        foundation::Alerts::showSheet(_inWin, request, nullptr);
}

// ---------------------------------------------------------------------------------------
// The conversion.

QString LXMediaConvertController::wantedOutputPath(const QString &outputPath, const LXMediaInfo &item) const {
    const QString stem = QFileInfo(item.fileName()).completeBaseName();
    QString ext = item.outputExt();
    if (ext.isEmpty())
        ext = QStringLiteral(".mov");
    if (!outputPath.isEmpty()) {
        if (QFileInfo(outputPath).isDir())
            return QDir(outputPath).filePath(stem + ext);
        // A file name given for Facebook still gets the extension of what is written there.
        if (_exportType == Facebook)
            return QDir(QFileInfo(outputPath).path()).filePath(QFileInfo(outputPath).completeBaseName() + ext);
        return outputPath;
    }
    QString folder;
    if (_exportType == ITunes) {
        folder =
            QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath(QStringLiteral("exports"));
        QDir().mkpath(folder);
    } else {
        folder = LXMediaCommon::exportMovieFolder();
    }
    return QDir(folder).filePath(stem + ext);
}

void LXMediaConvertController::startConvert(LXMediaInfoPtr item, const QString &outputPath) {
    if (!item)
        return;
    _mediaInfo = std::move(item);
    _requestedPath = outputPath;
    if (_conversion->hasSession()) {
        // Asked to start while held: go on where it stood. While it runs: nothing.
        if (_conversion->isPaused())
            _conversion->resume();
        return;
    }
    if (_conversion->isRunning())
        return;
    LXMediaInfoPtr converted = _exportType == Facebook ? asFacebookVideo(_mediaInfo) : _mediaInfo;
    if (!_conversion->start(converted, wantedOutputPath(outputPath, *converted)))
        return;
    if (LXExportWindowController *w = exportWindow())
        w->conversionStarted();
}

void LXMediaConvertController::exportConversionProgress(LXExportConversion *, double percent, double pastSeconds,
                                                        double leftSeconds) {
    if (LXExportWindowController *w = exportWindow())
        w->exportTimePastAndLeave(pastSeconds, leftSeconds);
    updateProgress(percent);
}

void LXMediaConvertController::updateProgress(double percent) {
    if (LXExportWindowController *w = exportWindow())
        w->exportAtPercent(percent);
    if (_delegate)
        _delegate->converting(percent);
}

void LXMediaConvertController::exportConversionEnded(LXExportConversion *, LXExportOutcome outcome) {
    auto keep = shared_from_this(); // the window's reaction may end this export
    switch (outcome) {
    case LXExportOutcome::Finished:
        _outputPath = _conversion->outputPath();
        // An upload's end is its window's to tell; a file or a library hand-off ends here.
        if (_exportType == Local || _exportType == ITunes)
            announceEnd(true, QString());
        finishedConvert();
        break;
    case LXExportOutcome::Cancelled:
        cancelConvert();
        break;
    case LXExportOutcome::Failed:
        announceEnd(false, _conversion->lastError());
        failedConvert();
        break;
    }
    releaseIfDone();
}

void LXMediaConvertController::finishedConvert() {
    switch (_exportType) {
    case Local:
        if (localShare)
            localShare->turnToFinishedState(_conversion->lastResult().ssim);
        if (_delegate)
            _delegate->finishConvert(_outputPath);
        break;
    case ITunes:
        if (itunesShare) {
            itunesShare->shareToiTunes(_outputPath);
        } else if (_convertsIntoCache) {
            // Nobody is left to hand it to; a file made only for the library must not linger.
            QFile::remove(_outputPath);
        }
        break;
    case Facebook:
    case Youtube:
        if (LXExportWindowController *w = exportWindow())
            w->finishedConvert(_outputPath);
        break;
    default:
        break;
    }
}

void LXMediaConvertController::cancelConvert() {
    if (LXExportWindowController *w = exportWindow())
        w->canceledConvert();
}

void LXMediaConvertController::failedConvert() {
    if (LXExportWindowController *w = exportWindow())
        w->failedConvert(_conversion->lastError());
}

// ---------------------------------------------------------------------------------------
// The window's requests.

void LXMediaConvertController::startPublish(LXExportWindowController *) { startConvert(_mediaInfo, _requestedPath); }

void LXMediaConvertController::pauseExport(LXExportWindowController *) { _conversion->pause(); }

void LXMediaConvertController::continueExport(LXExportWindowController *) { _conversion->resume(); }

void LXMediaConvertController::cancelExport(LXExportWindowController *window) {
    if (_conversion->isRunning()) {
        _conversion->cancel();
        return;
    }
    // Nothing runs (it ended meanwhile, or never started): the window closes as cancelled.
    if (window && window->exportState() == LXExportWindowController::ExportState::Cancelling)
        window->canceledConvert();
}

void LXMediaConvertController::browseExport(LXButton *) {
    auto keep = shared_from_this();
    if (localShare)
        localShare->closeWindow();
    LXMediaCommon::selectFileInFinder(_outputPath);
}

// ---------------------------------------------------------------------------------------
// Lifetime.

void LXMediaConvertController::windowEnded() {
    if (_windowEnded)
        return;
    _windowEnded = true;
    // No one is left to see the export: it stops, and its unfinished file goes with it.
    if (_conversion->isRunning())
        _conversion->cancel();
    releaseIfDone();
}

void LXMediaConvertController::releaseIfDone() {
    if (!isDone())
        return;
    auto &v = live();
    auto it = std::find_if(v.begin(), v.end(), [this](const auto &c) { return c.get() == this; });
    if (it == v.end())
        return;
    // Let go after the current call has returned: the caller may still be inside this object.
    std::shared_ptr<LXMediaConvertController> last = *it;
    v.erase(it);
    foundation::MainThread::post([last]() mutable { last.reset(); });
}
