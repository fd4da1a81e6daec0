#pragma once
// The conversion queue: which jobs wait, which convert, and how many slots are taken.
//
// A job's life is one state machine, and every change of it goes through
// vcJobScheduler::transition (the table in vcJobScheduler.cpp) under the scheduler's one
// lock. A waiting job is an entry in the scheduler's line, not a thread: a conversion
// thread is started only for a job the scheduler admits, and ends with its conversion.
//
// Invariant (whenever the lock is free): the slots taken equal the number of jobs in
// Converting; a paused job holds no slot (it gave it back when it paused, and queues for
// one again to resume); every job in Waiting is in the line exactly once and no other job
// is; a job has a conversion thread exactly while it is Converting or Paused, or Waiting
// with `resuming` (its session is paused inside the engine).
//
// The lock is never held across disk I/O, thread creation or a call into the main thread:
// the limit is handed in by the owner (read from the settings on the main thread), log
// lines are written after the lock is let go (in admission order), threads are started
// and displays posted after it.
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class vcTableCellView;
using vcTableCellViewPtr = std::shared_ptr<vcTableCellView>;

enum class vcJobState { Idle, Waiting, Converting, Paused, Finished, Failed, Cancelled };
enum class vcJobEvent {
    Start,        // convert-all (or a start asked for by hand): queue, or queue to resume
    Admit,        // the scheduler gives the job a slot
    Pause,        // a converting job pauses; a job waiting to resume stays paused (pause-all)
    Stop,         // the row's stop, cancel-all, pause-all on a queued job, removal, shutdown
    EndDone,      // the conversion thread's session ended: success,
    EndFailed,    //   failure,
    EndCancelled, //   or cancellation
    Reported,     // the main thread has shown the end
};
const char *vcJobStateName(vcJobState s);
const char *vcJobEventName(vcJobEvent e);

// Where a job stands: its state and the two facts the state alone does not tell.
struct vcJobStep {
    vcJobState state = vcJobState::Idle;
    bool resuming = false;  // Waiting: the session started and is paused; admission resumes it
    bool stopping = false;  // Converting or Paused: cancelled, its thread still ending
    bool reporting = false; // Finished, Failed or Cancelled: the main thread has not shown the end yet
    bool operator==(const vcJobStep &) const = default;
};

struct vcJobTransition {
    enum Effect : unsigned {
        None = 0,
        NewRun = 1u << 0,        // a new session for a new conversion
        Enqueue = 1u << 1,       // into the line
        Dequeue = 1u << 2,       // out of the line
        SpawnThread = 1u << 3,   // start the conversion thread
        ResumeSession = 1u << 4, // toggle the paused session back to running
        PauseSession = 1u << 5,  // toggle the running session to paused
        CancelSession = 1u << 6, // cancel the session (its thread ends on its own)
        ReportEnd = 1u << 7,     // show the end on the main thread
    };
    vcJobStep to;
    int slotDelta = 0; // +1 takes a slot, -1 gives one back
    unsigned effects = None;
};

class vcJobScheduler {
public:
    // The whole table: the transition for `event` from `from`, or nothing when the event
    // is not allowed there (the event is refused and nothing changes).
    static std::optional<vcJobTransition> transition(const vcJobStep &from, vcJobEvent event);

    explicit vcJobScheduler(int64_t limit = 2);
    ~vcJobScheduler();
    vcJobScheduler(const vcJobScheduler &) = delete;
    vcJobScheduler &operator=(const vcJobScheduler &) = delete;

    // Any thread; no disk. A raised limit admits waiting jobs at once, up to the new limit;
    // a lowered one stops nothing: admissions resume when the slots taken fall below it.
    void setLimit(int64_t limit);
    int64_t limit() const;
    // Threads each codec of a conversion starting now should use: the machine's cores
    // shared among the conversions that will run side by side (the limit, or fewer when
    // fewer jobs convert or wait); 0 (all) when one conversion has the machine to itself.
    int threadShare() const;
    // Whether a cancel-all is in force: ends while it is are not reported as finishes.
    void setCancelAllInForce(bool on);

    // Events. Each returns whether the job's state changed. Any thread.
    // Start: refused when `ticket` is not the job's current start ticket (a start asked
    // for before a later stop or pause-all never acts after it).
    bool start(const vcTableCellViewPtr &job, uint64_t ticket);
    // Several starts under one hold of the lock, in list order (convert-all).
    void startAll(const std::vector<vcTableCellViewPtr> &jobs);
    bool pause(const vcTableCellViewPtr &job);
    bool stop(const vcTableCellViewPtr &job);
    // Pause-all for one job of the batch: a queued job is stopped, a converting one paused,
    // one waiting to resume stays paused; the job's start ticket moves on.
    void pauseForPauseAll(const vcTableCellViewPtr &job);
    // The conversion thread of `run` has ended its session.
    void ended(const vcTableCellViewPtr &job, uint64_t run, vcJobEvent end);
    // Main thread, after showing the end of `run`. True when it was that run's end.
    bool reported(const vcTableCellViewPtr &job, uint64_t run);

    // Shutdown: nothing is admitted any more, queued jobs are cancelled, live sessions are
    // cancelled (their threads end on their own; the owner joins them).
    void close();

    // Queries (one consistent look under the lock).
    vcJobStep stepOf(const vcTableCellView *job) const;
    uint64_t ticketOf(const vcTableCellView *job) const;
    struct Snapshot {
        int64_t taken = 0; // slots taken
        int64_t limit = 0;
        int64_t queued = 0;      // entries in the line
        int64_t slotWaiters = 0; // of those, the ones that found every slot taken
        int64_t inState[7] = {}; // jobs per vcJobState (Idle counts only jobs it has seen)
    };
    Snapshot snapshot() const;
    int64_t slotsTaken() const;

    // A test's hand on the moments where events from other threads can land. Inert
    // unless set; called without the lock held, on the thread that reached the point.
    enum class HookPoint {
        AdmittedBeforeSpawn, // a job was admitted (its slot taken); its thread not started yet
        ThreadBeforeSession, // the conversion thread runs; its session not started yet
        SessionReturned,     // the session's start() returned; the end not recorded yet
    };
    using Hook = std::function<void(HookPoint, vcTableCellView *)>;
    void setTestHook(Hook hook);
    void runHook(HookPoint point, vcTableCellView *job);

private:
    struct Pending; // what to do once the lock is let go
    bool apply(vcTableCellView &job, vcJobEvent event, Pending &pending);
    void admit(Pending &pending);
    void dequeue(vcTableCellView &job);
    void finish(std::unique_lock<std::mutex> &lock, Pending &pending);
    void stopLocked(const vcTableCellViewPtr &job, Pending &pending);

    mutable std::mutex _lock;
    std::mutex _logLock; // keeps the log lines in the order of the changes they record
    int64_t _limit;
    int64_t _slots = 0;
    bool _closed = false;
    bool _cancelAllInForce = false;
    // The line, in list order (rows are only ever appended, so a row's creation number
    // keeps its place among the others).
    std::map<uint64_t, vcTableCellViewPtr> _line;
    // Entries enqueued up to this number have found every slot taken.
    uint64_t _enqueued = 0;
    uint64_t _fullMark = 0;
    int64_t _slotWaiters = 0;
    int64_t _inState[7] = {};
    Hook _hook;
};
