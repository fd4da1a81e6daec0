#include "vcTableCellView.h"

#include "FormatRules.h"
#include "vcLeftTimeEstimator.h"
#include "vcCommon.h"

#include <foundation/Files.h>
#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/WorkerGroup.h>
#include <reelwright/LXSessionFill.h>

#include <QCryptographicHash>
#include <QCoreApplication>
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
// ... and queue here: a job without an owner has no slots, so it never converts.
vcJobScheduler &fallbackScheduler() {
    static auto *scheduler = new vcJobScheduler(0);
    return *scheduler;
}
std::atomic<uint64_t> jobsMade{0};
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

vcTableCellView::vcTableCellView(LXMediaInfoPtr item) : _editMovie(std::move(item)), _serial(++jobsMade) {}

vcTableCellView::~vcTableCellView() = default;

QString vcTableCellView::_timeDescriptionFromLongTime(int64_t us) {
    if (us < 0)
        us = 0;
    const int64_t seconds = us / 1'000'000;
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>((seconds % 3600) / 60), static_cast<long long>(seconds % 60));
}

QString vcTableCellView::stoppedText() { return QCoreApplication::translate("vcTableCellView", "Stopped"); }

QString vcTableCellView::leftTimeText(int64_t remainingUs) {
    // Whole seconds, rounded up: a part of a second still to go is not "00:00:00".
    const int64_t seconds = remainingUs <= 0 ? 0 : (remainingUs + 999'999) / 1'000'000;
    return QCoreApplication::translate("vcTableCellView", "Left time: %1")
        .arg(_timeDescriptionFromLongTime(seconds * 1'000'000));
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

QString vcTableCellView::outputFile() const {
    std::lock_guard l(_lock);
    return _outputFile;
}

vcTableCellView::RunPtr vcTableCellView::currentRun() const {
    std::lock_guard l(_lock);
    return _run;
}

std::shared_ptr<SWConvertSession> vcTableCellView::currentSession() const {
    std::lock_guard l(_lock);
    return _run ? _run->session : nullptr;
}

vcJobScheduler &vcTableCellView::scheduler() const {
    if (auto *d = tbCellDelegate())
        if (vcJobScheduler *s = d->jobScheduler())
            return *s;
    return fallbackScheduler();
}

vcJobStep vcTableCellView::step() const { return scheduler().stepOf(this); }

uint64_t vcTableCellView::startTicket() const { return scheduler().ticketOf(this); }

bool vcTableCellView::aleadyStart() const {
    const vcJobStep s = step();
    return s.state == vcJobState::Converting || s.state == vcJobState::Paused ||
           (s.state == vcJobState::Waiting && s.resuming);
}

bool vcTableCellView::isPaused() const {
    const vcJobStep s = step();
    return s.state == vcJobState::Paused || (s.state == vcJobState::Waiting && s.resuming);
}

bool vcTableCellView::isCancel() const {
    const vcJobStep s = step();
    return s.stopping || s.state == vcJobState::Cancelled;
}

bool vcTableCellView::hasSession() const {
    const vcJobStep s = step();
    return s.state == vcJobState::Waiting || s.state == vcJobState::Converting || s.state == vcJobState::Paused ||
           s.reporting;
}

bool vcTableCellView::isWaiting() const { return state() == vcJobState::Waiting; }

bool vcTableCellView::finished() const {
    const vcJobState s = state();
    return s == vcJobState::Finished || s == vcJobState::Failed || s == vcJobState::Cancelled;
}

WorkerGroup &vcTableCellView::workers() {
    if (auto *d = tbCellDelegate())
        if (WorkerGroup *g = d->workerGroup())
            return *g;
    return fallbackWorkers();
}

void vcTableCellView::updateControls(const std::function<void(vcRowControls &)> &change) {
    change(_controls);
    if (_display)
        _display->rowControlsChanged(_controls);
}

void vcTableCellView::refreshDisplay() {
    const vcJobStep s = step();
    const RunPtr run = currentRun();
    double percent = 0.0;
    int64_t remaining = -1;
    if (run) {
        std::lock_guard l(run->lock);
        percent = run->percent;
        remaining = run->remainingUs;
    }
    updateControls([&](vcRowControls &c) {
        const bool live =
            s.state == vcJobState::Waiting || s.state == vcJobState::Converting || s.state == vcJobState::Paused;
        if (live) {
            c.outcome = {};
            c.deleteVisible = false;
            c.stopVisible = true;
            c.fmtInfoVisible = false;
            c.progressVisible = true;
            c.progress = percent / 100.0;
            c.remainingUs = s.state == vcJobState::Converting ? remaining : -1;
            // A stopped job's status goes at once; its other controls stay until it has ended.
            c.statusVisible = !s.stopping;
        }
        switch (s.state) {
        case vcJobState::Idle:
            break;
        case vcJobState::Waiting:
            c.statusText = waitingText();
            break;
        case vcJobState::Converting:
            c.statusText = remaining >= 0 ? leftTimeText(remaining) : waitingText();
            break;
        case vcJobState::Paused:
            c.statusText = pausedText();
            break;
        case vcJobState::Finished:
        case vcJobState::Failed:
        case vcJobState::Cancelled:
            if (s.reporting)
                break; // shown by deliverEnd
            c.outcome = _lastOutcome;
            c.fmtInfoVisible = true;
            c.stopVisible = false;
            c.deleteVisible = true;
            c.progressVisible = false;
            c.progress = 0.0;
            c.remainingUs = -1;
            // What the row says follows the outcome, not the state: a failed row queued
            // again and stopped before its turn has still only ever failed.
            c.statusVisible = true;
            switch (_lastOutcome.kind) {
            case vcJobOutcome::Done:
                c.statusText = QString();
                break;
            case vcJobOutcome::Failed:
                c.statusText = failedText();
                break;
            case vcJobOutcome::Cancelled:
            case vcJobOutcome::None:
                c.statusText = stoppedText();
                break;
            }
            break;
        }
    });
}

void vcTableCellView::postDisplayRefresh() {
    // One refresh queued at a time is enough: it reads the state when it runs.
    if (_refreshQueued.exchange(true))
        return;
    auto self = shared_from_this();
    MainThread::post([self] {
        self->_refreshQueued.store(false);
        self->refreshDisplay();
    });
}

void vcTableCellView::beginRun() {
    auto run = std::make_shared<Run>();
    std::lock_guard l(_lock);
    _run = std::move(run);
}

bool vcTableCellView::spawnConversion(uint64_t runNumber) {
    const RunPtr run = currentRun();
    if (!run)
        return false;
    auto self = shared_from_this();
    return workers().spawn([self, run, runNumber] { self->newThreadToConvert(run, runNumber); });
}

void vcTableCellView::turnToConvertingView() { startConvert(); }

void vcTableCellView::startConvert() { startConvert(startTicket()); }

void vcTableCellView::startConvert(uint64_t ticket) { scheduler().start(shared_from_this(), ticket); }

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
    return QString::number(int64_t(st.st_mtim.tv_sec)) + QLatin1Char('.') +
           QString::number(int64_t(st.st_mtim.tv_nsec));
}
} // namespace

LXFillRules vcTableCellView::queueRules() {
    return LXFillRules::forQueue(vcCommon::autoCheckStreamCopyWhenSameCodec(), vcCommon::evenLoudness());
}

QString vcTableCellView::conversionFingerprint(const SWConvertOption &o) const {
    const LXMediaInfoPtr item = editMovie();
    if (!item)
        return {};
    const QFileInfo source(item->fileName());
    QStringList parts;
    parts << item->fileName() << QString::number(source.size()) << modifiedStamp(item->fileName())
          << item->srtSubtitleFile() << modifiedStamp(item->srtSubtitleFile()) << item->outputExt()
          << item->outputFormat();
    // What the option makes is the option's own to say: it lists every field it has.
    parts << o.fingerprint();
    return parts.join(QChar(0x1f));
}

QString vcTableCellView::currentFingerprint() {
    const LXMediaInfoPtr item = editMovie();
    if (!item)
        return {};
    SWConvertOption option;
    fillSessionOption(*item, option, queueRules());
    if (vcTableCellViewDelegate *d = tbCellDelegate())
        d->adjustSessionOption(this, option);
    return conversionFingerprint(option) + QChar(0x1f) + outputFolder();
}

QString vcTableCellView::fingerprintDigest(const QString &fingerprint) {
    if (fingerprint.isEmpty())
        return {};
    return QString::fromLatin1(QCryptographicHash::hash(fingerprint.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString vcTableCellView::doneFingerprintDigest() const {
    return _lastOutcome.kind == vcJobOutcome::Done ? _doneDigest : QString();
}

bool vcTableCellView::isUpToDate() {
    if (_lastOutcome.kind != vcJobOutcome::Done || hasSession())
        return false;
    const QFileInfo out(_lastOutcome.outputFile);
    if (!out.isFile() || out.size() == 0)
        return false;
    return !_doneDigest.isEmpty() && _doneDigest == fingerprintDigest(currentFingerprint());
}

bool vcTableCellView::outputOutOfDate() {
    if (_lastOutcome.kind != vcJobOutcome::Done || _doneDigest.isEmpty() || hasSession())
        return false;
    return _doneDigest != fingerprintDigest(currentFingerprint());
}

void vcTableCellView::restoreInterrupted(const QString &outputFile, double keptPercent) {
    {
        std::lock_guard l(_lock);
        _interruptedOutput = outputFile;
    }
    updateControls([&](vcRowControls &c) {
        c.progressVisible = true;
        c.progress = keptPercent / 100.0;
        c.statusVisible = true;
        c.statusText = interruptedText(keptPercent);
    });
}

QString vcTableCellView::interruptedText(double keptPercent) {
    return QCoreApplication::translate("vcTableCellView", "Interrupted at %1%").arg(qRound(keptPercent));
}

QString vcTableCellView::interruptedOutput() const {
    const vcJobState s = state();
    std::lock_guard l(_lock);
    if (!_interruptedOutput.isEmpty())
        return _interruptedOutput;
    return s == vcJobState::Converting || s == vcJobState::Paused ? _outputFile : QString();
}

bool vcTableCellView::restoreFinished(const QString &outputFile, const QString &digest) {
    if (outputFile.isEmpty() || digest.isEmpty() || _lastOutcome.kind != vcJobOutcome::None || hasSession())
        return false;
    // Only a file the list could have made: a plain file directly in the export folder.
    const QFileInfo out(outputFile);
    if (!out.isAbsolute() || out.isSymLink() || QDir::cleanPath(out.absolutePath()) != QDir::cleanPath(outputFolder()))
        return false;
    _lastOutcome = {vcJobOutcome::Done, QString(), outputFile, QString(), {}};
    _doneDigest = digest;
    if (!isUpToDate()) {
        _lastOutcome = {};
        _doneDigest.clear();
        return false;
    }
    {
        std::lock_guard l(_lock);
        _outputFile = outputFile;
    }
    // What a finished conversion leaves on the row.
    updateControls([&](vcRowControls &c) {
        c = vcRowControls();
        c.outcome = _lastOutcome;
        c.statusVisible = true;
    });
    return true;
}

void vcTableCellView::setEstimate(const QString &digest, const SWConvertEstimate &estimate) {
    _estimateDigest = digest;
    updateControls([&](vcRowControls &c) { c.estimate = digest.isEmpty() ? SWConvertEstimate() : estimate; });
}

void vcTableCellView::prepareEstimate(SWConvertSession &session) {
    const LXMediaInfoPtr item = editMovie();
    if (!item)
        return;
    prepareSession(session, *item, queueRules(), scheduler().threadShare());
    if (vcTableCellViewDelegate *d = tbCellDelegate())
        d->adjustSessionOption(this, session.option());
    // The name only tells the container; nothing is written under it.
    const QString folder = outputFolder();
    session.setOutputFileName(
        QDir(folder).filePath(QFileInfo(item->fileName()).completeBaseName() + QLatin1Char('.') + item->outputExt()));
}

void vcTableCellView::newThreadToConvert(RunPtr run, uint64_t runNumber) {
    vcJobScheduler &queue = scheduler();
    queue.runHook(vcJobScheduler::HookPoint::ThreadBeforeSession, this);
    SWConvertSession &session = *run->session;
    vcJobOutcome outcome;
    outcome.kind = vcJobOutcome::Cancelled;
    if (!session.cancelSession()) {
        session.setDelegate(this);
        const LXMediaInfoPtr item = editMovie();
        prepareSession(session, *item, queueRules(), queue.threadShare());
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
        QString notCreated;
        // An interrupted conversion writes the name it had: its kept work is found by it.
        QString interrupted;
        {
            std::lock_guard l(_lock);
            interrupted = _interruptedOutput;
        }
        foundation::OutputReservation reservation;
        if (!interrupted.isEmpty() &&
            QDir::cleanPath(QFileInfo(interrupted).absolutePath()) == QDir::cleanPath(folder) &&
            interrupted.endsWith(item->outputExt()))
            reservation = foundation::Files::reserveExactPath(interrupted);
        if (!reservation.isValid())
            reservation = reserveOutputName(folder, item->fileName(), item->outputExt(), &notCreated);
        const QString output = reservation.path();
        {
            std::lock_guard l(_lock);
            _outputFile = output;
        }
        bool ok = false;
        QString why;
        if (output.isEmpty()) {
            why = QCoreApplication::translate("vcTableCellView", "cannot create the output file in %1").arg(folder);
            if (!notCreated.isEmpty())
                why += QStringLiteral(": ") + notCreated;
            foundation::Log::line(QStringLiteral("Cannot create the output file in %1: %2").arg(folder, notCreated));
        } else {
            if (!reservation.note().isEmpty())
                foundation::Log::line(QStringLiteral("%1: %2").arg(item->fileName(), reservation.note()));
            session.setOutputFileName(output);
            session.setResume(SWResume::Resume);
            MainThread::post([self = shared_from_this()] {
                if (vcTableCellViewDelegate *d = self->tbCellDelegate())
                    d->conversionWriting();
            });
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
        // The engine's outcome: a file complete in place is done, even when a stop came after
        // its last frame.
        if (ok) {
            QStringList notes = session.notes();
            if (!reservation.note().isEmpty())
                notes.prepend(reservation.note());
            outcome = {vcJobOutcome::Done, QString(), output, notes.join(QStringLiteral("; ")), session.result()};
        } else if (output.isEmpty() ? !session.cancelSession() : session.outcome() == SWConvertOutcome::Failed) {
            outcome = {vcJobOutcome::Failed,
                       why.isEmpty() ? QCoreApplication::translate("vcTableCellView", "the conversion did not finish")
                                     : why,
                       QString(),
                       QString(),
                       {}};
        }
    }
    // Only a conversion the program's end interrupted is taken up later; after any other
    // end the next one starts afresh under a name of its own.
    if (!(session.cancelSession() && _suspending.load())) {
        std::lock_guard l(_lock);
        _interruptedOutput.clear();
    }
    queue.runHook(vcJobScheduler::HookPoint::SessionReturned, this);
    {
        std::lock_guard l(run->lock);
        run->outcome = outcome;
        if (outcome.kind == vcJobOutcome::Done)
            run->percent = 100.0;
    }
    const vcJobEvent end = outcome.kind == vcJobOutcome::Done     ? vcJobEvent::EndDone
                           : outcome.kind == vcJobOutcome::Failed ? vcJobEvent::EndFailed
                                                                  : vcJobEvent::EndCancelled;
    // Gives the slot back and admits the next job; the main thread shows the end.
    queue.ended(shared_from_this(), runNumber, end);
}

void vcTableCellView::deliverEnd(uint64_t runNumber, bool cancelAllInForce, bool fromMainThreadEvent) {
    const RunPtr run = currentRun();
    if (!run || !scheduler().reported(shared_from_this(), runNumber))
        return;
    {
        std::lock_guard l(run->lock);
        // A run stopped while it waited for its turn converted nothing: a failure before it
        // stays what the row shows; anything else before it gives way to the stop.
        if (run->outcome.kind != vcJobOutcome::None)
            _lastOutcome = run->outcome;
        else if (_lastOutcome.kind != vcJobOutcome::Failed)
            _lastOutcome = {vcJobOutcome::Cancelled, QString(), QString(), QString(), {}};
        if (run->outcome.kind == vcJobOutcome::Done)
            _doneDigest = fingerprintDigest(run->fingerprint);
    }
    refreshDisplay();
    vcTableCellViewDelegate *d = tbCellDelegate();
    if (!d || cancelAllInForce)
        return;
    if (!fromMainThreadEvent) {
        d->convertFinished();
        return;
    }
    auto self = shared_from_this();
    MainThread::post([self] {
        if (auto *delegate = self->tbCellDelegate())
            delegate->convertFinished();
    });
}

void vcTableCellView::pauseConvert() {
    if (state() == vcJobState::Paused)
        startConvert();
    else
        scheduler().pause(shared_from_this());
}

void vcTableCellView::setPauseAgain(bool v) {
    if (v && state() == vcJobState::Waiting)
        scheduler().pause(shared_from_this());
}

void vcTableCellView::stopConvert() {
    scheduler().stop(shared_from_this());
    backToPrepareConvertView();
}

void vcTableCellView::cancelQuietly() { scheduler().stop(shared_from_this()); }

void vcTableCellView::suspendQuietly() {
    if (const auto session = currentSession()) {
        _suspending.store(true);
        {
            std::lock_guard l(_lock);
            if (_interruptedOutput.isEmpty() && session->aleadyStart())
                _interruptedOutput = _outputFile;
        }
        session->suspend();
    }
    scheduler().stop(shared_from_this());
}

void vcTableCellView::backToPrepareConvertView() {
    // Only a conversion still ending hides its status; one that has ended shows its outcome.
    if (step().stopping)
        updateControls([](vcRowControls &c) { c.statusVisible = false; });
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
    // Conversions side by side share the cores: when their number changes, so does the rate.
    const int64_t sharedWith = scheduler().slotsTaken();
    {
        std::lock_guard l(run->lock);
        // Every report feeds the estimate; only some reach the row.
        if (run->leftTime) {
            if (sharedWith != run->sharedWith) {
                run->sharedWith = sharedWith;
                run->leftTime->restartRate();
            }
            leftUs = run->leftTime->update(percent, pastUs);
        }
        run->percent = percent;
        run->remainingUs = leftUs < 0 ? -1 : leftUs;
        if (percent < 100.0 && run->lastProgressMs >= 0 && now - run->lastProgressMs < kProgressIntervalMs)
            return;
        run->lastProgressMs = now;
    }
    postDisplayRefresh();
}

foundation::OutputReservation vcTableCellView::reserveOutputName(const QString &folder, const QString &sourcePath,
                                                                 const QString &ext, QString *why) {
    return foundation::Files::reserveNumberedName(folder, QFileInfo(sourcePath).completeBaseName(), ext, why);
}

void vcTableCellView::remove() {
    std::lock_guard l(_lock);
    _editMovie.reset();
    _run.reset();
}
