// The job's state machine and its scheduler: the transition table, every transition driven
// on real conversions with the slot invariant checked after each step, the moments where
// events from other threads land, freed rows, and the threads a long queue costs.
#include <ODDocument.h>
#include <vcCommon.h>
#include <vcJobScheduler.h>

#include "FakeWindow.h"
#include "TestSupport.h"

#include <foundation/MainThread.h>

#include <QDir>
#include <QThread>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

using testsupport::fixture;
using testsupport::waitFor;
using S = vcJobState;
using E = vcJobEvent;

namespace {

constexpr S kStates[] = {S::Idle, S::Waiting, S::Converting, S::Paused, S::Finished, S::Failed, S::Cancelled};
constexpr E kEvents[] = {E::Start, E::Admit, E::Pause, E::Stop, E::EndDone, E::EndFailed, E::EndCancelled, E::Reported};

std::vector<vcJobStep> everyStep() {
    std::vector<vcJobStep> steps;
    for (S s : kStates)
        for (int bits = 0; bits < 8; ++bits)
            steps.push_back({s, (bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0});
    return steps;
}

std::string describe(const vcJobStep &s) {
    return std::string(vcJobStateName(s.state)) + (s.resuming ? "+resuming" : "") + (s.stopping ? "+stopping" : "") +
           (s.reporting ? "+reporting" : "");
}

std::optional<vcJobStep> after(vcJobStep from, E e) {
    const auto t = vcJobScheduler::transition(from, e);
    return t ? std::optional<vcJobStep>(t->to) : std::nullopt;
}

} // namespace

TEST(Job, TransitionTableKeepsSlotsWithConvertingJobsAndRefusesTheRest) {
    int legal = 0;
    for (const vcJobStep &from : everyStep()) {
        for (E e : kEvents) {
            const auto t = vcJobScheduler::transition(from, e);
            if (!t)
                continue;
            ++legal;
            const std::string what = describe(from) + " --" + vcJobEventName(e) + "--> " + describe(t->to);
            // The invariant, row by row: a slot is taken exactly by entering Converting and
            // given back exactly by leaving it.
            const int expected = int(t->to.state == S::Converting) - int(from.state == S::Converting);
            EXPECT_EQ(t->slotDelta, expected) << what;
            // The line holds exactly the waiting jobs.
            const bool wasIn = from.state == S::Waiting, isIn = t->to.state == S::Waiting;
            EXPECT_EQ((t->effects & vcJobTransition::Enqueue) != 0, !wasIn && isIn) << what;
            EXPECT_EQ((t->effects & vcJobTransition::Dequeue) != 0, wasIn && !isIn) << what;
            // A thread starts only with a slot, and only for a conversion that has none yet.
            if (t->effects & vcJobTransition::SpawnThread) {
                EXPECT_TRUE(t->to.state == S::Converting && !from.resuming) << what;
            }
            // Every end is shown exactly once.
            const bool ends = t->to.state == S::Finished || t->to.state == S::Failed || t->to.state == S::Cancelled;
            EXPECT_EQ((t->effects & vcJobTransition::ReportEnd) != 0, ends && e != E::Reported) << what;
        }
    }
    EXPECT_GT(legal, 20);

    const vcJobStep idle{}, waiting{S::Waiting}, resuming{S::Waiting, true}, converting{S::Converting},
        stoppingC{S::Converting, false, true}, paused{S::Paused}, stoppingP{S::Paused, false, true},
        cancelled{S::Cancelled}, reporting{S::Finished, false, false, true};
    EXPECT_EQ(after(idle, E::Start), (vcJobStep{S::Waiting}));
    EXPECT_EQ(after(paused, E::Start), resuming);
    EXPECT_EQ(after(waiting, E::Admit), converting);
    EXPECT_EQ(after(resuming, E::Admit), converting);
    EXPECT_EQ(after(waiting, E::Stop), (vcJobStep{S::Cancelled, false, false, true}));
    EXPECT_EQ(after(resuming, E::Stop), stoppingP);
    EXPECT_EQ(after(resuming, E::Pause), paused);
    EXPECT_EQ(after(converting, E::Stop), stoppingC);
    EXPECT_EQ(after(stoppingC, E::EndDone)->state, S::Finished); // it finished before the cancel landed
    EXPECT_EQ(after(stoppingP, E::EndCancelled)->state, S::Cancelled);
    EXPECT_EQ(after(reporting, E::Reported), (vcJobStep{S::Finished}));
    // Refused: a start of a job that converts or waits, or whose end is not shown yet; a
    // resume of a cancelled one; a pause of a stopping or paused one; an admission of
    // anything but a waiting job; a second stop.
    for (const auto &[step, e] : std::vector<std::pair<vcJobStep, E>>{{converting, E::Start},
                                                                      {waiting, E::Start},
                                                                      {stoppingC, E::Start},
                                                                      {stoppingP, E::Start},
                                                                      {reporting, E::Start},
                                                                      {stoppingC, E::Pause},
                                                                      {paused, E::Pause},
                                                                      {paused, E::Admit},
                                                                      {cancelled, E::Admit},
                                                                      {stoppingC, E::Stop},
                                                                      {cancelled, E::Stop},
                                                                      {idle, E::EndDone},
                                                                      {waiting, E::EndDone}})
        EXPECT_FALSE(vcJobScheduler::transition(step, e)) << describe(step) << " " << vcJobEventName(e);
}

namespace {

struct Rig {
    FakeWindow win;
    ODDocument doc;
    QString out;

    explicit Rig(int limit) {
        out = testsupport::freshDir("sched");
        vcCommon::setExportMovieFolder(out);
        vcCommon::setMaxConvertingCountSameTime(limit);
        vcCommon::setAutoCheckStreamCopyWhenSameCodec(false);
        doc.setWindow(&win);
    }
    ~Rig() {
        doc.scheduler().setTestHook(nullptr);
        doc.shutdown();
    }
    vcTableCellViewPtr add(const QString &path, bool upscale) {
        doc.addMovie(doc.initEditMovieWithPath(path));
        auto row = doc.cellArray().back();
        if (upscale) {
            row->editMovie()->setWidth(1280);
            row->editMovie()->setHeight(720);
        }
        return row;
    }
    // The invariant in one look: slots taken = jobs converting (the scheduler's own count,
    // and the rows' states when nothing moves).
    void check(const char *when, bool rowsSettled = true) {
        const auto snap = doc.scheduler().snapshot();
        EXPECT_EQ(snap.taken, snap.inState[int(S::Converting)]) << when;
        EXPECT_LE(snap.taken, std::max<int64_t>(snap.limit, 1)) << when;
        EXPECT_EQ(snap.queued, snap.inState[int(S::Waiting)]) << when;
        if (rowsSettled) {
            int converting = 0, waiting = 0;
            for (const auto &r : doc.cellArray()) {
                converting += r->state() == S::Converting;
                waiting += r->state() == S::Waiting;
            }
            EXPECT_EQ(snap.taken, converting) << when;
            EXPECT_EQ(snap.queued, waiting) << when;
        }
    }
};

} // namespace

// Every state on real conversions, with the late events: a start that arrives after a
// stop, a start that arrives after a pause-all, a resume after a cancel.
TEST(Job, EveryTransitionOnRealConversionsKeepsTheSlotCount) {
    Rig r(1);
    const auto a = r.add(fixture("clip.mp4"), true);
    const auto b = r.add(fixture("clip.mp4"), true);
    const auto c = r.add(fixture("clip.mp4"), true);
    EXPECT_EQ(a->state(), S::Idle);
    r.check("idle");

    r.doc.convertAll();
    EXPECT_EQ(a->state(), S::Converting);
    EXPECT_EQ(b->state(), S::Waiting);
    EXPECT_EQ(c->state(), S::Waiting);
    EXPECT_EQ(b->controls().statusText, vcTableCellView::waitingText());
    r.check("a converts, b and c wait");

    // A start asked for before a stop arrives after it: refused.
    const uint64_t beforeStop = c->startTicket();
    c->stopConvert();
    EXPECT_EQ(c->state(), S::Cancelled);
    EXPECT_TRUE(c->controls().deleteVisible);
    c->startConvert(beforeStop);
    EXPECT_EQ(c->state(), S::Cancelled);
    r.check("c stopped while waiting; its late start refused");

    // The numbers the row shows come from the job.
    ASSERT_TRUE(waitFor([&] { return a->controls().remainingUs >= 0; }, 60000));
    EXPECT_EQ(a->controls().statusText, vcTableCellView::leftTimeText(a->controls().remainingUs));

    a->pauseConvert();
    EXPECT_EQ(a->state(), S::Paused);
    EXPECT_EQ(b->state(), S::Converting); // a's slot went to b at once
    EXPECT_EQ(a->controls().statusText, vcTableCellView::pausedText());
    r.check("a paused, b admitted");

    a->pauseConvert(); // resume: a queues behind the busy slot
    EXPECT_EQ(a->step(), (vcJobStep{S::Waiting, true}));
    EXPECT_EQ(a->controls().statusText, vcTableCellView::waitingText());
    r.check("a waits to resume");

    // Pause-all: b pauses, a stays paused; a start asked for before it arrives after it.
    const uint64_t beforePauseAll = a->startTicket();
    r.doc.pauseAll();
    EXPECT_EQ(a->state(), S::Paused);
    EXPECT_EQ(b->state(), S::Paused);
    EXPECT_EQ(r.doc.currentSessionCount(), 0);
    a->startConvert(beforePauseAll);
    EXPECT_EQ(a->state(), S::Paused);
    r.check("pause-all; a's late start refused");

    a->startConvert(); // asked for now: a resumes
    EXPECT_EQ(a->state(), S::Converting);
    r.check("a resumed");

    // A stop lands while a converts: it keeps its slot until its thread has ended, and a
    // start meanwhile is refused.
    a->stopConvert();
    EXPECT_EQ(a->step(), (vcJobStep{S::Converting, false, true}));
    EXPECT_FALSE(a->controls().statusVisible);
    a->startConvert();
    EXPECT_EQ(a->step().state, S::Converting);
    r.check("a stopping", false);
    ASSERT_TRUE(waitFor([&] { return a->state() == S::Cancelled && !a->hasSession(); }, 30000));
    r.check("a cancelled");

    // A resume after the cancel of a paused job is refused; the job ends cancelled.
    b->stopConvert();
    EXPECT_EQ(b->step(), (vcJobStep{S::Paused, false, true}));
    b->startConvert();
    b->pauseConvert();
    EXPECT_EQ(b->step(), (vcJobStep{S::Paused, false, true}));
    ASSERT_TRUE(waitFor([&] { return b->state() == S::Cancelled && !b->hasSession(); }, 30000));
    EXPECT_EQ(b->lastOutcome().kind, vcJobOutcome::Cancelled);
    r.check("b cancelled while paused");

    // Finished and failed, each admitting the next.
    const QString dir = testsupport::freshDir("gone");
    QFile::copy(fixture("short.mp4"), dir + "/gone.mp4");
    const auto done = r.add(fixture("short.mp4"), false);
    const auto bad = r.add(dir + "/gone.mp4", false);
    ASSERT_TRUE(QFile::remove(dir + "/gone.mp4"));
    r.doc.convertAll(); // a, b and c start again too
    r.check("all queued", false);
    for (const auto &row : {a, b, c})
        row->stopConvert();
    ASSERT_TRUE(waitFor([&] { return !done->hasSession() && !bad->hasSession(); }, 120000));
    EXPECT_EQ(done->state(), S::Finished);
    EXPECT_EQ(done->lastOutcome().kind, vcJobOutcome::Done);
    EXPECT_EQ(done->controls().statusText, QString());
    EXPECT_EQ(bad->state(), S::Failed);
    EXPECT_EQ(bad->lastOutcome().kind, vcJobOutcome::Failed);
    EXPECT_FALSE(bad->lastOutcome().reason.isEmpty());
    EXPECT_EQ(bad->controls().statusText, vcTableCellView::failedText());
    ASSERT_TRUE(waitFor([&] { return r.doc.currentSessionCount() == 0 && !a->hasSession(); }, 30000));
    r.check("everything ended");
}

namespace {

// Parks the first thread that reaches `point` off the main thread until released.
struct Parking {
    std::mutex m;
    std::condition_variable cv;
    vcJobScheduler::HookPoint point;
    vcTableCellView *parked = nullptr;
    bool armed = true, released = false;

    explicit Parking(vcJobScheduler::HookPoint p) : point(p) {}
    vcJobScheduler::Hook hook() {
        return [this](vcJobScheduler::HookPoint p, vcTableCellView *job) {
            if (p != point || foundation::MainThread::isMainThread())
                return;
            std::unique_lock l(m);
            if (!armed)
                return;
            armed = false;
            parked = job;
            cv.notify_all();
            cv.wait(l, [&] { return released; });
        };
    }
    vcTableCellView *waitParked() {
        std::unique_lock l(m);
        cv.wait_for(l, std::chrono::seconds(60), [&] { return parked != nullptr; });
        return parked;
    }
    void release() {
        std::lock_guard l(m);
        released = true;
        cv.notify_all();
    }
};

} // namespace

// The moments between taking a slot and starting the session, and between the session's
// end and its record, with a stop, a cancel-all or a limit change landing there: no slot
// is lost or taken twice, and every job ends.
TEST(Job, EventsLandingAtTheRacyPointsLoseNoSlot) {
    using HP = vcJobScheduler::HookPoint;
    struct Case {
        HP point;
        const char *action;
    };
    for (const Case &k :
         {Case{HP::AdmittedBeforeSpawn, "stop"}, Case{HP::AdmittedBeforeSpawn, "cancel-all"},
          Case{HP::ThreadBeforeSession, "stop"}, Case{HP::ThreadBeforeSession, "limit"},
          Case{HP::SessionReturned, "stop"}, Case{HP::SessionReturned, "pause"}, Case{HP::SessionReturned, "limit"}}) {
        SCOPED_TRACE(std::string(k.action) + " at point " + std::to_string(int(k.point)));
        Rig r(1);
        // The first is short, so that the admission of the second is made on its thread.
        r.add(fixture("short.mp4"), false);
        r.add(fixture("clip.mp4"), true);
        r.add(fixture("clip.mp4"), true);
        Parking park(k.point);
        r.doc.scheduler().setTestHook(park.hook());
        r.doc.convertAll();
        vcTableCellView *job = park.waitParked();
        ASSERT_NE(job, nullptr);
        r.check("parked", false);
        vcTableCellViewPtr row;
        for (const auto &c : r.doc.cellArray())
            if (c.get() == job)
                row = c;
        ASSERT_TRUE(row);
        if (std::string(k.action) == "stop")
            row->stopConvert();
        else if (std::string(k.action) == "cancel-all")
            r.doc.cancelAll();
        else if (std::string(k.action) == "pause")
            row->pauseConvert();
        else
            vcCommon::setMaxConvertingCountSameTime(3);
        r.check("event landed", false);
        park.release();
        // Everything stops; the slot count comes back to zero and no job is left between.
        r.doc.cancelAll();
        ASSERT_TRUE(waitFor(
            [&] {
                if (r.doc.currentSessionCount() != 0)
                    return false;
                for (const auto &c : r.doc.cellArray())
                    if (c->hasSession() && !(c->isPaused() && !c->isCancel()))
                        return false;
                return true;
            },
            60000));
        for (const auto &c : r.doc.cellArray())
            if (c->isPaused())
                c->stopConvert();
        ASSERT_TRUE(waitFor(
            [&] {
                for (const auto &c : r.doc.cellArray())
                    if (c->hasSession())
                        return false;
                return r.doc.currentSessionCount() == 0;
            },
            60000));
        r.check("settled");
        const auto snap = r.doc.scheduler().snapshot();
        EXPECT_EQ(snap.taken, 0);
        EXPECT_EQ(snap.queued, 0);
    }
}

TEST(Job, ARemovedRowIsFreedOnceItsConversionHasEnded) {
    Rig r(1);
    std::weak_ptr<vcTableCellView> converting, waiting;
    std::weak_ptr<LXMediaInfo> item;
    {
        const auto a = r.add(fixture("clip.mp4"), true);
        const auto b = r.add(fixture("clip.mp4"), true);
        converting = a;
        waiting = b;
        item = a->editMovie();
        r.doc.convertAll();
        ASSERT_EQ(a->state(), S::Converting);
        ASSERT_EQ(b->state(), S::Waiting);
    }
    r.win.answer = foundation::AlertButton::Alternate;
    r.doc.deleteItemAtIndex(1);
    r.doc.deleteItemAtIndex(0);
    EXPECT_EQ(r.doc.numberOfRows(), 0);
    EXPECT_TRUE(waitFor([&] { return converting.expired() && waiting.expired() && item.expired(); }, 30000))
        << "a removed row is still held after its conversion ended";
    EXPECT_EQ(r.doc.currentSessionCount(), 0);
}

namespace {
int threadsNow() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}
} // namespace

// Waiting rows cost no thread: a long queue behind two slots runs on a handful.
TEST(Job, WaitingJobsHoldNoThreads) {
    Rig r(2);
    const LXMediaInfoPtr probe = r.doc.initEditMovieWithPath(fixture("clip.mp4"));
    for (int i = 0; i < 300; ++i) {
        LXMediaInfoPtr copy = probe->copyMovie();
        copy->setWidth(1280);
        copy->setHeight(720);
        r.doc.addMovie(copy);
    }
    const int before = threadsNow();
    r.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return r.doc.cellArray()[0]->controls().progress > 0.0; }, 60000));
    const int during = threadsNow();
    EXPECT_EQ(r.doc.gateWaiters(), 298);
    // Two conversions side by side share the machine's cores: each codec gets half of
    // them (at least one), so the two need no more threads than the machine has cores.
    const int cores = std::max(1, QThread::idealThreadCount());
    const int share = r.doc.scheduler().threadShare();
    EXPECT_EQ(share, std::max(1, cores / 2));
    // Per conversion: its own thread, decoders, filter graphs and encoders of `share`
    // threads each, for picture and sound; nothing per waiting row.
    EXPECT_LE(during - before, 2 * (1 + 6 * share) + 4)
        << before << " threads before, " << during << " while converting";
    r.doc.cancelAll();
    ASSERT_TRUE(
        waitFor([&] { return r.doc.currentSessionCount() == 0 && !r.doc.cellArray()[0]->hasSession(); }, 60000));
}
