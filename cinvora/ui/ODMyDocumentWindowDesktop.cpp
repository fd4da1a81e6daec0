// The window as a citizen of the desktop while a batch runs: the machine kept awake (when
// the settings allow), the list's progress on the launcher, and a notification with the
// batch's summary when it ends while the user looks elsewhere, and likewise when an export
// or upload from the editor ends.
#include "ODMyDocumentWindow.h"

#include <DesktopCitizen.h>
#include <vcCommon.h>

#include <foundation/Log.h>
#include <foundation/NotificationCenter.h>
#include "vcOpenElsewhere.h"
#include <reelwright/LXMediaConvertController.h>

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

namespace {
// The launcher's bar moves once a second: often enough to look alive, rarely enough to
// cost nothing on the bus.
constexpr int kLauncherIntervalMs = 1000;
} // namespace

void ODMyDocumentWindow::conversionsRunning(bool running) {
    if (!_sleepInhibitor) {
        _sleepInhibitor = new SleepInhibitor(QDBusConnection::systemBus(), QDBusConnection::sessionBus(), this);
        _launcher = std::make_unique<LauncherProgress>(QApplication::desktopFileName());
        _launcherTimer = new QTimer(this);
        _launcherTimer->setInterval(kLauncherIntervalMs);
        connect(_launcherTimer, &QTimer::timeout, this, [this] { updateLauncherProgress(); });
    }
    _sleepInhibitor->setHeld(running && SleepInhibitor::keepAwakeWhileConverting());
    if (running) {
        _launcherTimer->start();
        updateLauncherProgress();
    } else {
        _launcherTimer->stop();
        _launcher->setProgress(-1);
    }
}

void ODMyDocumentWindow::updateLauncherProgress() {
    if (!_launcher)
        return;
    const bool running = _document->batchRunning();
    _launcher->setProgress(running ? _document->batchProgress() : -1.0);
    // The settings sheet's switch takes effect while the batch runs.
    _sleepInhibitor->setHeld(running && SleepInhibitor::keepAwakeWhileConverting());
}

void ODMyDocumentWindow::batchEnded(const vcBatchTally &tally) {
    // Someone watching the window sees the rows' marks; only an absent user is told.
    if (isActiveWindow() || tally.done + tally.failed == 0)
        return;
    const QString title = tally.done == 0 ? tr("Conversion failed") : tr("Conversion finished");
    doneNotifier()->notify(title, tally.summary(), vcCommon::exportMovieFolder());
}

DoneNotifier *ODMyDocumentWindow::doneNotifier() {
    if (!_doneNotifier) {
        _doneNotifier = new DoneNotifier(QDBusConnection::sessionBus(), this);
        _doneNotifier->setFolderOpener(
            [this](const QString &folder) { vcOpenElsewhere::openUrl(this, QUrl::fromLocalFile(folder)); });
    }
    return _doneNotifier;
}

void ODMyDocumentWindow::watchExports() {
    foundation::NotificationCenter::defaultCenter().addObserver(
        this, LXMediaConvertController::exportEndedNotification(),
        [this](const QString &, const QVariantMap &info) { exportEnded(info); });
}

void ODMyDocumentWindow::exportEnded(const QVariantMap &info) {
    // The export's own sheet tells someone watching; only an absent user is told here.
    if (QWidget *active = QApplication::activeWindow()) {
        foundation::Log::debug(QStringLiteral("export ended while %1 is active: no notification")
                                   .arg(QString::fromLatin1(active->metaObject()->className())));
        return;
    }
    const bool ok = info.value(QStringLiteral("succeeded")).toBool();
    const int destination = info.value(QStringLiteral("destination")).toInt();
    const QString path = info.value(QStringLiteral("path")).toString();
    const QString detail = info.value(QStringLiteral("detail")).toString();
    const bool upload =
        destination == LXMediaConvertController::Facebook || destination == LXMediaConvertController::Youtube;
    const QString service = destination == LXMediaConvertController::Facebook  ? QStringLiteral("Facebook")
                            : destination == LXMediaConvertController::Youtube ? QStringLiteral("YouTube")
                                                                               : QString();
    QString title, body;
    if (upload) {
        title = ok ? tr("Upload finished") : tr("Upload failed");
        body = ok ? tr("%1 is on %2.").arg(QFileInfo(path).fileName(), service)
                  : tr("%1 was not uploaded to %2: %3").arg(QFileInfo(path).fileName(), service, detail);
        if (ok && !detail.isEmpty())
            body += QLatin1Char(' ') + detail;
    } else {
        title = ok ? tr("Export finished") : tr("Export failed");
        body = ok ? tr("%1 is written.").arg(QFileInfo(path).fileName()) : tr("The export failed: %1").arg(detail);
    }
    const QString folder = path.isEmpty() ? vcCommon::exportMovieFolder() : QFileInfo(path).absolutePath();
    doneNotifier()->notify(title, body, folder);
}
