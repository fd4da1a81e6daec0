#include "vcTableCellView.h"

#include "FormatRules.h"
#include "vcLeftTimeEstimator.h"
#include "vcCommon.h"

#include <foundation/Files.h>
#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/Settings.h>
#include <foundation/WorkerGroup.h>
#include <reelwright/LXSessionFill.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

using foundation::MainThread;

namespace {
// Jobs made without an owner (tests, tools) start their threads here. Never destroyed:
// its threads may hold the last reference to a job at process exit.
WorkerGroup &fallbackWorkers() {
    static auto *group = new WorkerGroup;
    return *group;
}
constexpr int64_t kProgressIntervalMs = 100;

// Conversions are batch work: the thread that runs one (and the encoder threads it starts,
// which inherit its priority) yields to the window and the rest of the desktop, so ten
// conversions on two cores never starve the main thread.
constexpr int kConversionNice = 10;
void lowerThisThreadsPriority() {
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    const int now = ::getpriority(PRIO_PROCESS, tid);
    if (now < kConversionNice)
        ::setpriority(PRIO_PROCESS, tid, kConversionNice);
}
} // namespace

int vcTableCellView::conversionThreadNice() { return kConversionNice; }

std::shared_ptr<vcTableCellView> vcTableCellView::create(LXMediaInfoPtr item) {
    return std::shared_ptr<vcTableCellView>(new vcTableCellView(std::move(item)));
}

vcTableCellView::vcTableCellView(LXMediaInfoPtr item) : _editMovie(std::move(item)) {}

vcTableCellView::~vcTableCellView() = default;

QString vcTableCellView::_timeDescriptionFromLongTime(int64_t us) {
    if (us < 0)
        us = 0;
    const int64_t seconds = us / 1'000'000;
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>((seconds % 3600) / 60), static_cast<long long>(seconds % 60));
}

QString vcTableCellView::leftTimeText(int64_t remainingUs) {
    return QStringLiteral("Left time: %1").arg(_timeDescriptionFromLongTime(remainingUs));
}

void vcTableCellView::setDisplay(vcTableCellViewDisplay *d) {
    _display = d;
    if (_display)
        _display->rowControlsChanged(_controls);
}

LXMediaInfoPtr vcTableCellView::editMovie() const {
    std::lock_guard l(_lock);
    return _editMovie;
}

void vcTableCellView::replaceEditMovie(LXMediaInfoPtr item) {
    std::lock_guard l(_lock);
    _editMovie = std::move(item);
}

QString vcTableCellView::outputFile() const {
    std::lock_guard l(_lock);
    return _outputFile;
}

vcTableCellView::RunPtr vcTableCellView::currentRun() const {
    std::lock_guard l(_lock);
    return _run;
}

bool vcTableCellView::isCurrent(const RunPtr &run) const {
    std::lock_guard l(_lock);
    return _run == run;
}

bool vcTableCellView::hasSession() const { return currentRun() != nullptr; }

bool vcTableCellView::aleadyStart() const {
    const RunPtr r = currentRun();
    return r && r->session->aleadyStart();
}

bool vcTableCellView::isPaused() const {
    const RunPtr r = currentRun();
    return r && r->session->paused();
}

bool vcTableCellView::isCancel() const {
    const RunPtr r = currentRun();
    return r && r->session->cancelSession();
}

bool vcTableCellView::isWaiting() const {
    const RunPtr r = currentRun();
    if (!r)
        return false;
    std::lock_guard l(r->lock);
    return r->waiting;
}

WorkerGroup &vcTableCellView::workers() {
    if (auto *d = tbCellDelegate())
        if (WorkerGroup *g = d->workerGroup())
            return *g;
    return fallbackWorkers();
}

void vcTableCellView::spawn(std::function<void()> fn) {
    auto self = shared_from_this();
    workers().spawn([self, fn = std::move(fn)] { fn(); });
}

void vcTableCellView::updateControls(const std::function<void(vcRowControls &)> &change) {
    change(_controls);
    if (_display)
        _display->rowControlsChanged(_controls);
}

void vcTableCellView::postControls(std::function<void(vcRowControls &)> change, bool wait) {
    auto self = shared_from_this();
    auto task = [self, change = std::move(change)] { self->updateControls(change); };
    if (wait)
        MainThread::run(task);
    else
        MainThread::post(task);
}

void vcTableCellView::turnToConvertingView() {
    {
        std::lock_guard l(_lock);
        if (_run) {
            // A stopped job whose queueing thread still waits for a slot may start again:
            // that thread keeps its own reference and only gives back the slot it gets.
            std::lock_guard rl(_run->lock);
            const bool staleWaiter = _run->session->cancelSession() && _run->waiting &&
                                     !_run->session->aleadyStart();
            if (!staleWaiter)
                return;
        }
        _run.reset();
    }
    updateControls([](vcRowControls &c) {
        c.progress = 0.0;
        c.deleteVisible = false;
        c.stopVisible = true;
        c.fmtInfoVisible = false;
        c.statusText = waitingText();
        c.statusVisible = true;
        c.outcome = {};
    });
    std::lock_guard l(_lock);
    _run = std::make_shared<Run>();
}

void vcTableCellView::startConvert() { startConvert(pauseAllCount()); }

void vcTableCellView::startConvert(uint64_t pauseAllCountSeen) {
    const RunPtr run = currentRun();
    if (!run)
        return;
    // Shown only if the row was not stopped meanwhile: this runs late on a busy machine.
    auto self = shared_from_this();
    MainThread::post([self, run] {
        if (!self->isCurrent(run) || run->session->cancelSession())
            return;
        self->updateControls([](vcRowControls &c) {
            c.progressVisible = true;
            c.statusVisible = true;
            c.fmtInfoVisible = false;
        });
    });
    if (run->session->paused()) {
        // Resumed on this thread rather than a new one, so that the row queues in the place
        // the convert-all gave it in the gate's line.
        if (pauseAllCount() == pauseAllCountSeen) {
            postControls([](vcRowControls &c) { c.statusText = waitingText(); }, false);
            continueConvert(run);
        }
        return;
    }
    {
        std::lock_guard l(run->lock);
        // holdsSlot: admitted already, its session not yet started; a second admission
        // would take a slot that nothing gives back.
        if (run->session->aleadyStart() || run->waiting || run->holdsSlot || run->ended)
            return;
        run->waiting = true;
    }
    _finished.store(false);
    vcTableCellViewDelegate *d = tbCellDelegate();
    const bool admitted = d ? d->converSessionLock(this) : true;
    {
        std::lock_guard l(run->lock);
        run->waiting = false;
        run->holdsSlot = admitted;
    }
    if (!admitted)
        return;
    spawn([this, run] { newThreadToConvert(run); });
    if (d)
        d->converSessionUnLock(this);
}

void vcTableCellView::returnSlot(const RunPtr &run, bool ended) {
    bool give = false;
    {
        std::lock_guard l(run->lock);
        if (ended)
            run->ended = true;
        give = run->holdsSlot;
        run->holdsSlot = false;
    }
    if (give)
        if (auto *d = tbCellDelegate())
            d->convertSessionSignal(this);
}

QString vcTableCellView::outputFolder() {
    vcTableCellViewDelegate *d = tbCellDelegate();
    QString folder = d ? d->exportFolder() : QString();
    if (folder.isEmpty())
        folder = vcCommon::exportMovieFolder();
    return folder;
}

namespace {
// A file's modification time, straight from the file system: Qt's local-time conversion
// goes through the C library's time-zone state, which conversion threads must not share
// with the settings' reads on other threads.
QString modifiedStamp(const QString &path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("0");
    return QString::number(int64_t(st.st_mtim.tv_sec)) + QLatin1Char('.') + QString::number(int64_t(st.st_mtim.tv_nsec));
}
} // namespace

QString vcTableCellView::conversionFingerprint(const SWConvertOption &o) const {
    const LXMediaInfoPtr item = editMovie();
    if (!item)
        return {};
    const QFileInfo source(item->fileName());
    QStringList parts;
    parts << item->fileName() << QString::number(source.size()) << modifiedStamp(item->fileName())
          << item->srtSubtitleFile() << modifiedStamp(item->srtSubtitleFile()) << item->outputExt()
          << item->outputFormat();
    for (const int64_t v : {o.start_time(), o.recording_time(), int64_t(o.audio_disable()), int64_t(o.subtitle_disable()),
                            int64_t(o.video_disable()), int64_t(o.audio_volume()), int64_t(o.auto_streamcopy()),
                            int64_t(o.width()), int64_t(o.height()), int64_t(o.frameRateNum()), int64_t(o.frameRateDen()),
                            int64_t(o.subtitleStreamIndex()), int64_t(o.audioStreamIndex()), int64_t(o.sample_rate()),
                            int64_t(o.channels()), int64_t(o.usePluginSubtitle())})
        parts << QString::number(v);
    parts << o.audioCodeName() << o.videoCodeName() << QString::number(o.qscale(), 'g', 10) << o.format();
    return parts.join(QChar(0x1f));
}

QString vcTableCellView::currentFingerprint() {
    const LXMediaInfoPtr item = editMovie();
    if (!item)
        return {};
    SWConvertOption option;
    fillSessionOption(*item, option, LXFillRules::forQueue(vcCommon::autoCheckStreamCopyWhenSameCodec()));
    option.setUsePluginSubtitle(!item->srtSubtitleFile().isEmpty());
    if (vcTableCellViewDelegate *d = tbCellDelegate())
        d->adjustSessionOption(this, option);
    return conversionFingerprint(option) + QChar(0x1f) + outputFolder();
}

bool vcTableCellView::isUpToDate() {
    if (_lastOutcome.kind != vcJobOutcome::Done || hasSession())
        return false;
    const QFileInfo out(_lastOutcome.outputFile);
    if (!out.isFile() || out.size() == 0)
        return false;
    return !_doneFingerprint.isEmpty() && _doneFingerprint == currentFingerprint();
}

void vcTableCellView::newThreadToConvert(RunPtr run) {
    SWConvertSession &session = *run->session;
    vcJobOutcome outcome;
    outcome.kind = vcJobOutcome::Cancelled;
    if (!session.cancelSession()) {
        _finished.store(false);
        session.setDelegate(this);
        const LXMediaInfoPtr item = editMovie();
        fillSessionOption(*item, session.option(),
                          LXFillRules::forQueue(vcCommon::autoCheckStreamCopyWhenSameCodec()));
        session.addInputFile(item->fileName());
        const QString srt = item->srtSubtitleFile();
        if (!srt.isEmpty()) {
            session.option().setUsePluginSubtitle(true);
            session.loadPluginSubtitle(srt);
        } else {
            session.option().setUsePluginSubtitle(false);
        }
        vcTableCellViewDelegate *d = tbCellDelegate();
        if (d)
            d->adjustSessionOption(this, session.option());
        const QString folder = outputFolder();
        // Worked out before the run's lock: it reads the row under the row's own lock, and
        // the row's lock is always taken before the run's.
        const QString fingerprint = conversionFingerprint(session.option()) + QChar(0x1f) + folder;
        {
            std::lock_guard l(run->lock);
            run->fingerprint = fingerprint;
            run->leftTime = std::make_unique<vcLeftTimeEstimator>();
        }
        // Held until the session has ended: the name stays claimed while the file is made.
        const foundation::OutputReservation reservation = reserveOutputName(folder, item->fileName(), item->outputExt());
        const QString output = reservation.path();
        {
            std::lock_guard l(_lock);
            _outputFile = output;
        }
        bool ok = false;
        QString why;
        if (output.isEmpty()) {
            why = QStringLiteral("cannot create the output file in %1").arg(folder);
            foundation::Log::line(QStringLiteral("Cannot create the output file in %1").arg(folder));
        } else {
            session.setOutputFileName(output);
            // Settings and names are settled at normal priority; only the encoding yields,
            // so this thread never holds a lock the window waits for while it is held back.
            lowerThisThreadsPriority();
            const int64_t began = QDateTime::currentMSecsSinceEpoch();
            ok = session.start();
            _lastConversionMs.store(QDateTime::currentMSecsSinceEpoch() - began);
            why = session.lastError();
            // Nothing is removed here: the engine removed what it wrote, and the reservation
            // removes only its own partial file. The final name may already be another
            // job's by now.
        }
        if (ok) {
            outcome = {vcJobOutcome::Done, QString(), output};
        } else if (!session.cancelSession()) {
            outcome = {vcJobOutcome::Failed, why.isEmpty() ? QStringLiteral("the conversion did not finish") : why, QString()};
        }
        if (ok && isCurrent(run)) {
            postControls([](vcRowControls &c) { c.statusText = QString(); }, true);
            postControls([](vcRowControls &c) { c.progress = 1.0; }, true);
        } else if (!ok && !session.cancelSession() && isCurrent(run)) {
            postControls(
                [](vcRowControls &c) {
                    c.statusText = failedText();
                    c.statusVisible = true;
                },
                true);
        }
    }
    returnSlot(run, true);
    // The settings store is synchronised and read here, not on the main thread: reading
    // its file can take long on a busy disk. A cancel-all writes the flag before it stops
    // any row, so a conversion it ended reads it set.
    bool cancelAllInForce = false;
    if (tbCellDelegate()) {
        foundation::Settings::sync();
        cancelAllInForce = foundation::Settings::value("cancelAll", false).toBool();
    }
    // The closing step runs on the main thread, where the row is also started again; the
    // conversion thread holds no lock while it waits for it.
    auto self = shared_from_this();
    MainThread::run([self, run, cancelAllInForce, outcome] {
        {
            std::lock_guard l(self->_lock);
            if (self->_run != run)
                return;
        }
        self->_finished.store(true);
        if (outcome.kind == vcJobOutcome::Done) {
            std::lock_guard l(run->lock);
            self->_doneFingerprint = run->fingerprint;
        }
        self->finishedConvert(cancelAllInForce, outcome);
        std::lock_guard l(self->_lock);
        self->_run.reset();
    });
}

void vcTableCellView::pauseConvert() {
    const RunPtr run = currentRun();
    if (!run)
        return;
    bool resume = false;
    {
        std::lock_guard l(run->lock);
        resume = run->session->paused();
    }
    if (!resume) {
        pauseIfRunning(run);
        return;
    }
    postControls([](vcRowControls &c) { c.statusText = waitingText(); }, false);
    spawn([this, run] { continueConvert(run); });
}

void vcTableCellView::pauseRunning() {
    if (const RunPtr run = currentRun())
        pauseIfRunning(run);
}

void vcTableCellView::pauseIfRunning(const RunPtr &run) {
    // Check and toggle under the run's lock: two pauses racing must not resume the session.
    bool give = false;
    {
        std::lock_guard l(run->lock);
        if (run->ended || !run->session->aleadyStart() || run->session->paused() || run->session->cancelSession())
            return;
        run->session->pause();
        give = run->holdsSlot;
        run->holdsSlot = false;
    }
    postControls([](vcRowControls &c) { c.statusText = pausedText(); }, false);
    if (give)
        if (auto *d = tbCellDelegate())
            d->convertSessionSignal(this);
}

void vcTableCellView::continueConvert(RunPtr run) {
    {
        std::lock_guard l(run->lock);
        if (run->waiting)
            return;
        run->waiting = true;
    }
    vcTableCellViewDelegate *d = tbCellDelegate();
    const bool admitted = d ? d->converSessionLock(this) : true;
    bool giveBack = false;
    {
        std::lock_guard l(run->lock);
        run->waiting = false;
        if (admitted) {
            // Only a paused, live session that holds no slot is resumed with this one;
            // otherwise (it ended, was stopped, or another thread resumed it meanwhile)
            // the slot just taken goes straight back.
            if (!run->ended && !run->holdsSlot && run->session->paused() && !run->session->cancelSession()) {
                run->holdsSlot = true;
                run->session->pause(); // resume
            } else {
                giveBack = true;
            }
        }
    }
    if (!admitted)
        return;
    if (d)
        d->converSessionUnLock(this);
    if (giveBack) {
        if (d)
            d->convertSessionSignal(this);
        return;
    }
    bool again = false;
    {
        std::lock_guard l(run->lock);
        again = std::exchange(run->pauseAgain, false);
    }
    if (again && isCurrent(run))
        pauseIfRunning(run);
}

bool vcTableCellView::pauseAgain() const {
    const RunPtr run = currentRun();
    if (!run)
        return false;
    std::lock_guard l(run->lock);
    return run->pauseAgain;
}

void vcTableCellView::setPauseAgain(bool v) {
    if (const RunPtr run = currentRun()) {
        std::lock_guard l(run->lock);
        run->pauseAgain = v;
    }
}

void vcTableCellView::stopConvert() {
    if (const RunPtr run = currentRun())
        run->session->cancel(false);
    backToPrepareConvertView();
}

void vcTableCellView::cancelQuietly() {
    if (const RunPtr run = currentRun())
        run->session->cancel(false);
}

void vcTableCellView::backToPrepareConvertView() {
    updateControls([](vcRowControls &c) { c.statusVisible = false; });
}

void vcTableCellView::finishedConvert(bool cancelAllInForce, const vcJobOutcome &outcome) {
    _lastOutcome = outcome;
    updateControls([&outcome](vcRowControls &c) {
        c.outcome = outcome;
        c.fmtInfoVisible = true;
        c.stopVisible = false;
        c.deleteVisible = true;
        c.progressVisible = false;
        c.progress = 0.0;
    });
    if (auto *d = tbCellDelegate())
        if (!cancelAllInForce)
            d->convertFinished();
}

void vcTableCellView::deleteItem() {
    if (auto *d = tbCellDelegate())
        d->deleteItemAtIndex(idx());
}

void vcTableCellView::sessionProgressPastLeft(SWConvertSession *session, double percent, int64_t pastUs,
                                              int64_t leftUs) {
    const RunPtr run = currentRun();
    if (!run || run->session.get() != session)
        return;
    // Ten updates a second are plenty for a row; more would only load the main thread.
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    {
        std::lock_guard l(run->lock);
        // Every report feeds the estimate; only some reach the row.
        if (run->leftTime)
            leftUs = run->leftTime->update(percent, pastUs);
        if (percent < 100.0 && run->lastProgressMs >= 0 && now - run->lastProgressMs < kProgressIntervalMs)
            return;
        run->lastProgressMs = now;
    }
    const QString text = leftTimeText(leftUs);
    postControls(
        [percent, text](vcRowControls &c) {
            c.progress = percent / 100.0;
            c.statusText = text;
        },
        false);
}

QString vcTableCellView::createOutputname(const QString &sourcePath) const {
    const LXMediaInfoPtr item = editMovie();
    const QString folder = vcCommon::exportMovieFolder();
    const QString stem = QFileInfo(sourcePath).completeBaseName();
    const QString ext = item ? item->outputExt() : QString();
    QString candidate = QDir(folder).filePath(stem + ext);
    for (int n = 1; QFileInfo::exists(candidate); ++n)
        candidate = QDir(folder).filePath(QStringLiteral("%1(%2)%3").arg(stem).arg(n).arg(ext));
    return candidate;
}

foundation::OutputReservation vcTableCellView::reserveOutputName(const QString &folder, const QString &sourcePath,
                                                               const QString &ext) {
    return foundation::Files::reserveNumberedName(folder, QFileInfo(sourcePath).completeBaseName(), ext);
}

void vcTableCellView::remove() {
    std::lock_guard l(_lock);
    _editMovie.reset();
    _run.reset();
}
