#include "vcJobScheduler.h"

#include "vcTableCellView.h"

#include <foundation/Log.h>
#include <foundation/MainThread.h>

#include <QThread>

#include <algorithm>

using foundation::Log;
using foundation::MainThread;
using S = vcJobState;
using E = vcJobEvent;
using T = vcJobTransition;

const char *vcJobStateName(vcJobState s) {
    switch (s) {
    case S::Idle:
        return "idle";
    case S::Waiting:
        return "waiting";
    case S::Converting:
        return "converting";
    case S::Paused:
        return "paused";
    case S::Finished:
        return "finished";
    case S::Failed:
        return "failed";
    case S::Cancelled:
        return "cancelled";
    }
    return "?";
}

const char *vcJobEventName(vcJobEvent e) {
    switch (e) {
    case E::Start:
        return "start";
    case E::Admit:
        return "admit";
    case E::Pause:
        return "pause";
    case E::Stop:
        return "stop";
    case E::EndDone:
        return "end done";
    case E::EndFailed:
        return "end failed";
    case E::EndCancelled:
        return "end cancelled";
    case E::Reported:
        return "reported";
    }
    return "?";
}

namespace {

// Which steps of a state a row of the table applies to.
enum class When { Any, Fresh, Resuming, Live, Shown, Reporting };

struct Row {
    S from;
    When when;
    E event;
    S to;
    bool resuming; // of the new step
    bool stopping; // of the new step
    int slot;
    unsigned effects;
};

constexpr unsigned kEnd = T::ReportEnd;

// Every transition a job can make. Anything not listed is refused.
const Row kTable[] = {
    // A new conversion from rest; a paused one queues to resume.
    {S::Idle, When::Any, E::Start, S::Waiting, false, false, 0, T::NewRun | T::Enqueue},
    {S::Finished, When::Shown, E::Start, S::Waiting, false, false, 0, T::NewRun | T::Enqueue},
    {S::Failed, When::Shown, E::Start, S::Waiting, false, false, 0, T::NewRun | T::Enqueue},
    {S::Cancelled, When::Shown, E::Start, S::Waiting, false, false, 0, T::NewRun | T::Enqueue},
    {S::Paused, When::Live, E::Start, S::Waiting, true, false, 0, T::Enqueue},
    // Admission takes a slot: a new conversion gets its thread, a paused one runs on.
    {S::Waiting, When::Fresh, E::Admit, S::Converting, false, false, +1, T::Dequeue | T::SpawnThread},
    {S::Waiting, When::Resuming, E::Admit, S::Converting, false, false, +1, T::Dequeue | T::ResumeSession},
    // Stops: a queued conversion never ran and ends at once; one with a thread is cancelled
    // and ends when its thread does, keeping its slot until then.
    {S::Waiting, When::Fresh, E::Stop, S::Cancelled, false, false, 0, T::Dequeue | kEnd},
    {S::Waiting, When::Resuming, E::Stop, S::Paused, false, true, 0, T::Dequeue | T::CancelSession},
    {S::Converting, When::Live, E::Stop, S::Converting, false, true, 0, T::CancelSession},
    {S::Paused, When::Live, E::Stop, S::Paused, false, true, 0, T::CancelSession},
    // Pauses give the slot back; pause-all leaves a job that waits to resume paused.
    {S::Converting, When::Live, E::Pause, S::Paused, false, false, -1, T::PauseSession},
    {S::Waiting, When::Resuming, E::Pause, S::Paused, false, false, 0, T::Dequeue},
    // Ends, as the session reports them. A paused session can still end (a pause that
    // landed as the file was closed, or a cancel); it holds no slot.
    {S::Converting, When::Any, E::EndDone, S::Finished, false, false, -1, kEnd},
    {S::Converting, When::Any, E::EndFailed, S::Failed, false, false, -1, kEnd},
    {S::Converting, When::Any, E::EndCancelled, S::Cancelled, false, false, -1, kEnd},
    {S::Paused, When::Any, E::EndDone, S::Finished, false, false, 0, kEnd},
    {S::Paused, When::Any, E::EndFailed, S::Failed, false, false, 0, kEnd},
    {S::Paused, When::Any, E::EndCancelled, S::Cancelled, false, false, 0, kEnd},
    {S::Waiting, When::Resuming, E::EndDone, S::Finished, false, false, 0, T::Dequeue | kEnd},
    {S::Waiting, When::Resuming, E::EndFailed, S::Failed, false, false, 0, T::Dequeue | kEnd},
    {S::Waiting, When::Resuming, E::EndCancelled, S::Cancelled, false, false, 0, T::Dequeue | kEnd},
    // The main thread has shown the end: the job may start again.
    {S::Finished, When::Reporting, E::Reported, S::Finished, false, false, 0, T::None},
    {S::Failed, When::Reporting, E::Reported, S::Failed, false, false, 0, T::None},
    {S::Cancelled, When::Reporting, E::Reported, S::Cancelled, false, false, 0, T::None},
};

bool applies(When w, const vcJobStep &s) {
    switch (w) {
    case When::Any:
        return true;
    case When::Fresh:
        return !s.resuming;
    case When::Resuming:
        return s.resuming;
    case When::Live:
        return !s.stopping;
    case When::Shown:
        return !s.reporting;
    case When::Reporting:
        return s.reporting;
    }
    return false;
}

int stateIndex(S s) { return static_cast<int>(s); }

} // namespace

std::optional<vcJobTransition> vcJobScheduler::transition(const vcJobStep &from, vcJobEvent event) {
    for (const Row &r : kTable) {
        if (r.from != from.state || r.event != event || !applies(r.when, from))
            continue;
        T t;
        t.to.state = r.to;
        t.to.resuming = r.resuming;
        t.to.stopping = r.stopping;
        t.to.reporting = (r.effects & T::ReportEnd) != 0;
        t.slotDelta = r.slot;
        t.effects = r.effects;
        return t;
    }
    return std::nullopt;
}

// What the events decided, done once the lock is let go.
struct vcJobScheduler::Pending {
    std::vector<std::pair<vcTableCellViewPtr, uint64_t>> spawn;
    std::vector<vcTableCellViewPtr> display;
    struct End {
        vcTableCellViewPtr job;
        uint64_t run;
        bool cancelAllInForce;
    };
    std::vector<End> ends;
    std::vector<vcTableCellViewPtr> slotsReturned;
    std::vector<QString> log;
};

vcJobScheduler::vcJobScheduler(int64_t limit) : _limit(std::max<int64_t>(0, limit)) {}

vcJobScheduler::~vcJobScheduler() = default;

void vcJobScheduler::setLimit(int64_t limit) {
    Pending pending;
    std::unique_lock l(_lock);
    _limit = std::max<int64_t>(1, limit);
    // A raised limit is room now: the line must not wait for a conversion to end first.
    admit(pending);
    finish(l, pending);
}

int64_t vcJobScheduler::limit() const {
    std::lock_guard l(_lock);
    return _limit;
}

int vcJobScheduler::threadShare() const {
    static const int cores = std::max(1, QThread::idealThreadCount());
    int64_t together;
    {
        std::lock_guard l(_lock);
        together = std::min<int64_t>(_limit, _slots + int64_t(_line.size()));
    }
    if (together <= 1)
        return 0;
    return int(std::max<int64_t>(1, cores / together));
}

void vcJobScheduler::setCancelAllInForce(bool on) {
    std::lock_guard l(_lock);
    _cancelAllInForce = on;
}

void vcJobScheduler::setTestHook(Hook hook) {
    std::lock_guard l(_lock);
    _hook = std::move(hook);
}

void vcJobScheduler::runHook(HookPoint point, vcTableCellView *job) {
    Hook hook;
    {
        std::lock_guard l(_lock);
        hook = _hook;
    }
    if (hook)
        hook(point, job);
}

void vcJobScheduler::dequeue(vcTableCellView &job) {
    auto &q = job._queue;
    const auto it = _line.find(job._serial);
    if (it == _line.end())
        return;
    _line.erase(it);
    if (q.enqueued <= _fullMark)
        --_slotWaiters;
}

bool vcJobScheduler::apply(vcTableCellView &job, vcJobEvent event, Pending &pending) {
    auto &q = job._queue;
    const std::optional<T> t = transition(q.step, event);
    if (!t)
        return false;
    const vcTableCellViewPtr self = job.shared_from_this();
    if (t->effects & T::NewRun) {
        ++q.run;
        job.beginRun();
    }
    if (t->effects & T::Dequeue)
        dequeue(job);
    if (t->effects & T::Enqueue) {
        q.enqueued = ++_enqueued;
        _line.emplace(job._serial, self);
    }
    if (t->effects & (T::PauseSession | T::ResumeSession | T::CancelSession)) {
        if (const auto session = job.currentSession()) {
            // pause() toggles: only ever from the state the table expects.
            if ((t->effects & T::PauseSession) && !session->paused())
                session->pause();
            if ((t->effects & T::ResumeSession) && session->paused())
                session->pause();
            if (t->effects & T::CancelSession)
                session->cancel(false);
        }
    }
    if (t->effects & T::SpawnThread)
        pending.spawn.emplace_back(self, q.run);
    if (t->effects & T::ReportEnd)
        pending.ends.push_back({self, q.run, _cancelAllInForce});
    if (t->slotDelta != 0) {
        _slots += t->slotDelta;
        pending.log.push_back(QString::asprintf(t->slotDelta > 0 ? "_currentSessionCount++ = %ld [%ld]"
                                                                 : "_currentSessionCount-- = %ld [%ld]",
                                                static_cast<long>(_slots), static_cast<long>(job.idx())));
        if (t->slotDelta < 0)
            pending.slotsReturned.push_back(self);
    }
    if (q.counter != this) {
        if (!q.counter)
            ++_inState[stateIndex(q.step.state)];
        q.counter = this;
    }
    --_inState[stateIndex(q.step.state)];
    ++_inState[stateIndex(t->to.state)];
    q.step = t->to;
    pending.display.push_back(self);
    return true;
}

void vcJobScheduler::admit(Pending &pending) {
    if (_closed)
        return;
    while (!_line.empty() && _slots < _limit) {
        vcTableCellView &head = *_line.begin()->second;
        if (!apply(head, E::Admit, pending))
            break; // cannot happen: only Waiting jobs are in line
    }
    if (_slots >= _limit && !_line.empty()) {
        _fullMark = _enqueued;
        _slotWaiters = static_cast<int64_t>(_line.size());
    }
}

void vcJobScheduler::finish(std::unique_lock<std::mutex> &lock, Pending &pending) {
    const Hook hook = _hook;
    {
        // The log keeps the order of the changes without the queue's lock held over it.
        std::unique_lock logLock(_logLock);
        lock.unlock();
        for (const QString &line : pending.log)
            Log::line(line);
    }
    for (const vcTableCellViewPtr &job : pending.slotsReturned)
        if (auto *d = job->tbCellDelegate())
            d->convertSessionSignal(job.get());
    const bool onMain = MainThread::isMainThread();
    for (const vcTableCellViewPtr &job : pending.display) {
        if (onMain)
            job->refreshDisplay();
        else
            job->postDisplayRefresh();
    }
    for (const Pending::End &end : pending.ends) {
        if (onMain) {
            // Shown now, so that the row can be started again at once; the document hears
            // of the end after the operation that caused it has returned.
            end.job->deliverEnd(end.run, end.cancelAllInForce, true);
        } else {
            MainThread::post([end] { end.job->deliverEnd(end.run, end.cancelAllInForce, false); });
        }
    }
    for (const auto &[job, run] : pending.spawn) {
        if (hook)
            hook(HookPoint::AdmittedBeforeSpawn, job.get());
        if (!job->spawnConversion(run))
            ended(job, run, E::EndCancelled); // shutting down: the slot goes straight back
    }
}

bool vcJobScheduler::start(const vcTableCellViewPtr &job, uint64_t ticket) {
    Pending pending;
    std::unique_lock l(_lock);
    if (_closed || ticket != job->_queue.ticket)
        return false;
    const bool changed = apply(*job, E::Start, pending);
    admit(pending);
    finish(l, pending);
    return changed;
}

void vcJobScheduler::startAll(const std::vector<vcTableCellViewPtr> &jobs) {
    Pending pending;
    std::unique_lock l(_lock);
    if (_closed)
        return;
    for (const vcTableCellViewPtr &job : jobs)
        apply(*job, E::Start, pending);
    admit(pending);
    finish(l, pending);
}

bool vcJobScheduler::pause(const vcTableCellViewPtr &job) {
    Pending pending;
    std::unique_lock l(_lock);
    const bool changed = apply(*job, E::Pause, pending);
    admit(pending);
    finish(l, pending);
    return changed;
}

void vcJobScheduler::stopLocked(const vcTableCellViewPtr &job, Pending &pending) {
    // A start asked for before this stop never acts after it.
    ++job->_queue.ticket;
    apply(*job, E::Stop, pending);
}

bool vcJobScheduler::stop(const vcTableCellViewPtr &job) {
    Pending pending;
    std::unique_lock l(_lock);
    const vcJobStep before = job->_queue.step;
    stopLocked(job, pending);
    const bool changed = !(job->_queue.step == before);
    admit(pending);
    finish(l, pending);
    return changed;
}

void vcJobScheduler::pauseForPauseAll(const vcTableCellViewPtr &job) {
    Pending pending;
    std::unique_lock l(_lock);
    ++job->_queue.ticket;
    const vcJobStep s = job->_queue.step;
    if (s.state == S::Waiting && !s.resuming)
        apply(*job, E::Stop, pending);
    else
        apply(*job, E::Pause, pending);
    admit(pending);
    finish(l, pending);
}

void vcJobScheduler::ended(const vcTableCellViewPtr &job, uint64_t run, vcJobEvent end) {
    Pending pending;
    std::unique_lock l(_lock);
    if (job->_queue.run == run)
        apply(*job, end, pending);
    admit(pending);
    finish(l, pending);
}

bool vcJobScheduler::reported(const vcTableCellViewPtr &job, uint64_t run) {
    std::lock_guard l(_lock);
    if (job->_queue.run != run)
        return false;
    Pending unused;
    return apply(*job, E::Reported, unused);
}

void vcJobScheduler::close() {
    Pending pending;
    std::unique_lock l(_lock);
    _closed = true;
    while (!_line.empty()) {
        const vcTableCellViewPtr job = _line.begin()->second;
        stopLocked(job, pending);
    }
    finish(l, pending);
}

vcJobStep vcJobScheduler::stepOf(const vcTableCellView *job) const {
    std::lock_guard l(_lock);
    return job->_queue.step;
}

uint64_t vcJobScheduler::ticketOf(const vcTableCellView *job) const {
    std::lock_guard l(_lock);
    return job->_queue.ticket;
}

vcJobScheduler::Snapshot vcJobScheduler::snapshot() const {
    std::lock_guard l(_lock);
    Snapshot s;
    s.taken = _slots;
    s.limit = _limit;
    s.queued = static_cast<int64_t>(_line.size());
    s.slotWaiters = _slotWaiters;
    std::copy(std::begin(_inState), std::end(_inState), s.inState);
    return s;
}

int64_t vcJobScheduler::slotsTaken() const {
    std::lock_guard l(_lock);
    return _slots;
}
