// The window as a citizen of the desktop while a batch runs: the machine kept awake (when
// the settings allow), the list's progress on the launcher, and a notification with the
// batch's summary when it ends while the user looks elsewhere.
#include "ODMyDocumentWindow.h"

#include <DesktopCitizen.h>
#include <vcCommon.h>

#include <foundation/Reveal.h>

#include <QApplication>
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
    if (!_doneNotifier) {
        _doneNotifier = new DoneNotifier(QDBusConnection::sessionBus(), this);
        _doneNotifier->setFolderOpener(
            [](const QString &folder) { foundation::Reveal::openUrl(QUrl::fromLocalFile(folder)); });
    }
    const QString title = tally.done == 0 ? QStringLiteral("Conversion failed") : QStringLiteral("Conversion finished");
    _doneNotifier->notify(title, tally.summary(), vcCommon::exportMovieFolder());
}
