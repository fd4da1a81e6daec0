#include "reelwright/LXExportConversion.h"
#include "reelwright/LXSessionFill.h"

#include <foundation/Files.h>
#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/WorkerGroup.h>

#include <framewheel/SWMediaInfoManager.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

using foundation::MainThread;

namespace {

// The export threads of the process and the conversions that may still run. Never
// destroyed: joined by cancelAllAndWait(), which the owner of the windows calls on quit.
struct Tracker {
    std::mutex lock;
    std::vector<std::weak_ptr<LXExportConversion>> live;
    foundation::WorkerGroup *threads = new foundation::WorkerGroup;
};
Tracker &tracker() {
    static auto *t = new Tracker;
    return *t;
}

} // namespace

std::shared_ptr<LXExportConversion> LXExportConversion::create() {
    std::shared_ptr<LXExportConversion> c(new LXExportConversion);
    Tracker &t = tracker();
    std::lock_guard l(t.lock);
    std::erase_if(t.live, [](const std::weak_ptr<LXExportConversion> &w) { return w.expired(); });
    t.live.push_back(c);
    return c;
}

LXExportConversion::~LXExportConversion() = default;

std::shared_ptr<SWConvertSession> LXExportConversion::currentSession() const {
    std::lock_guard l(_lock);
    return _session;
}

bool LXExportConversion::hasSession() const { return currentSession() != nullptr; }

bool LXExportConversion::isPaused() const {
    const auto s = currentSession();
    return s && s->paused();
}

QString LXExportConversion::outputPath() const {
    std::lock_guard l(_lock);
    return _outputPath;
}

QString LXExportConversion::lastError() const {
    std::lock_guard l(_lock);
    return _lastError;
}

SWConvertResult LXExportConversion::lastResult() const {
    std::lock_guard l(_lock);
    return _lastResult;
}

bool LXExportConversion::start(LXMediaInfoPtr item, const QString &wantedPath) {
    if (!item)
        return false;
    std::shared_ptr<SWConvertSession> session;
    {
        std::lock_guard l(_lock);
        if (_session) {
            // A held conversion goes on; a running one is left alone.
            if (_session->paused() && !_session->cancelSession()) {
                _session->pause();
                return true;
            }
            return false;
        }
        _session = std::make_shared<SWConvertSession>();
        session = _session;
        _outputPath.clear();
        _lastError.clear();
    }
    _lastPercent.store(0.0);
    _lastPastSeconds.store(0.0);
    _running.store(true);
    auto self = shared_from_this();
    const bool spawned = tracker().threads->spawn(
        [self, session, item, wantedPath] { self->newThreadToConvert(session, item, wantedPath); });
    if (!spawned) {
        std::lock_guard l(_lock);
        _session.reset();
        _running.store(false);
        return false;
    }
    return true;
}

void LXExportConversion::pause() {
    std::lock_guard l(_lock);
    // pause() of the engine toggles: only a running, unheld, uncancelled session is held.
    if (_session && !_session->paused() && !_session->cancelSession())
        _session->pause();
}

void LXExportConversion::resume() {
    std::lock_guard l(_lock);
    if (_session && _session->paused())
        _session->pause();
}

void LXExportConversion::cancel() {
    std::lock_guard l(_lock);
    if (_session)
        _session->cancel();
}

void LXExportConversion::newThreadToConvert(std::shared_ptr<SWConvertSession> session, LXMediaInfoPtr item,
                                            QString wantedPath) {
    bool ok = false;
    QString reserved;
    QString error;
    // Held until the session has ended: the name stays claimed while the file is made.
    foundation::OutputReservation reservation;
    if (!session->cancelSession()) {
        session->setDelegate(this);
        // An export runs on its own: every core.
        prepareSession(*session, *item, LXFillRules::forExport(), 0);
        QString notReserved;
        reservation = foundation::Files::reserveNumberedPath(wantedPath, &notReserved);
        reserved = reservation.path();
        {
            std::lock_guard l(_lock);
            _outputPath = reserved;
        }
        if (reserved.isEmpty()) {
            error = QCoreApplication::translate("LXExportConversion", "cannot create an output file for %1: %2")
                        .arg(wantedPath, notReserved);
            foundation::Log::line(QStringLiteral("Export failed: ") + error);
        } else {
            if (!reservation.note().isEmpty())
                foundation::Log::line(QStringLiteral("Export of %1: %2").arg(item->fileName(), reservation.note()));
            session->setOutputFileName(reserved);
            ok = session->start();
            if (!ok)
                error = session->lastError();
            std::lock_guard l(_lock);
            _lastResult = session->result();
        }
        if (ok) {
            auto self = shared_from_this();
            MainThread::run([self] {
                self->_lastPercent.store(100.0);
                if (self->_delegate)
                    self->_delegate->exportConversionProgress(self.get(), 100.0, self->_lastPastSeconds.load(), 0.0);
            });
        }
    }
    LXExportOutcome outcome;
    {
        std::lock_guard l(_lock);
        // The engine's outcome, as the list follows it: a file complete in place is finished,
        // even when a cancel came after its last frame (it is kept, never thrown away). A
        // cancel before the session ran, or one that stopped it, made nothing.
        if (ok)
            outcome = LXExportOutcome::Finished;
        else if (session->outcome() == SWConvertOutcome::Failed ||
                 (session->outcome() == SWConvertOutcome::NotRun && !error.isEmpty() && !session->cancelSession()))
            outcome = LXExportOutcome::Failed;
        else
            outcome = LXExportOutcome::Cancelled;
        _lastError = outcome == LXExportOutcome::Failed ? error : QString();
        if (_session == session)
            _session.reset();
    }
    session->setDelegate(nullptr);
    // The lock is released first: the main thread takes it for pause and cancel.
    auto self = shared_from_this();
    MainThread::run([self, outcome] { self->deliverEnd(outcome); });
}

void LXExportConversion::deliverEnd(LXExportOutcome outcome) {
    _running.store(false);
    if (_delegate)
        _delegate->exportConversionEnded(this, outcome);
}

void LXExportConversion::sessionProgressPastLeft(SWConvertSession *session, double percent, int64_t pastUs,
                                                 int64_t leftUs) {
    (void)session;
    _lastPercent.store(percent);
    _lastPastSeconds.store(double(pastUs) / 1e6);
    std::weak_ptr<LXExportConversion> weak = weak_from_this();
    MainThread::post([weak, percent, pastUs, leftUs] {
        auto self = weak.lock();
        if (self && self->_delegate && self->_running.load())
            self->_delegate->exportConversionProgress(self.get(), percent, double(pastUs) / 1e6, double(leftUs) / 1e6);
    });
}

bool LXExportConversion::cancelAllAndWait(int timeoutMs) {
    std::vector<std::shared_ptr<LXExportConversion>> live;
    {
        Tracker &t = tracker();
        std::lock_guard l(t.lock);
        for (const auto &w : t.live)
            if (auto c = w.lock())
                live.push_back(std::move(c));
    }
    for (const auto &c : live)
        c->cancel();
    live.clear();
    return waitForAll(timeoutMs);
}

bool LXExportConversion::waitForAll(int timeoutMs) { return tracker().threads->joinAll(timeoutMs); }

int LXExportConversion::runningCount() { return tracker().threads->running(); }
