#include <ODDocument.h>
#include <vcLeftTimeEstimator.h>
#include <vcCommon.h>
#include <vcHistory.h>

#include "FakeWindow.h"
#include "TestSupport.h"

#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Files.h>
#include <foundation/PropertyList.h>
#include <foundation/Settings.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <foundation/Strings.h>
#include <atomic>
#include <mutex>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using testsupport::fixture;
using testsupport::waitFor;

namespace {

// Counts what the document is told, and watches the gate's fixed log lines for the
// highest number of slots ever taken.
struct QueueDoc : ODDocument {
    // Threads call the overrides below: stop them before this part of the object goes.
    ~QueueDoc() override { shutdown(); }
    std::atomic<int> finishedReports{0};
    void convertFinished() override {
        ++finishedReports;
        ODDocument::convertFinished();
    }
};

struct Queue {
    FakeWindow win;
    QueueDoc doc;
    QString out;
    std::atomic<long> maxSlots{0};

    explicit Queue(int limit) {
        out = testsupport::freshDir("out");
        vcCommon::setExportMovieFolder(out);
        vcCommon::setMaxConvertingCountSameTime(limit);
        // Re-encode, so that a conversion lasts long enough to pause or stop it.
        vcCommon::setAutoCheckStreamCopyWhenSameCodec(false);
        foundation::Settings::setValue("cancelAll", false);
        static const QRegularExpression re(QStringLiteral("^_currentSessionCount\\+\\+ = (\\d+)"));
        foundation::Log::setSink([this](const QString &line) {
            const auto m = re.match(line);
            if (m.hasMatch()) {
                long n = m.captured(1).toLong();
                long cur = maxSlots.load();
                while (n > cur && !maxSlots.compare_exchange_weak(cur, n)) {
                }
            }
        });
        doc.setWindow(&win);
    }
    ~Queue() { foundation::Log::setSink(nullptr); }

    vcTableCellViewPtr add(const QString &path) {
        doc.addMovie(doc.initEditMovieWithPath(path));
        return doc.cellArray().back();
    }
    // Conversions that last long enough to be caught in every state: an upscale to 720p of
    // a 4 s clip ("medium", a few seconds) or of a 24 s clip ("long", cancelled by the test).
    vcTableCellViewPtr addUpscaled(const QString &name) {
        auto row = add(fixture(name));
        row->editMovie()->setWidth(1280);
        row->editMovie()->setHeight(720);
        return row;
    }
    vcTableCellViewPtr addMedium() { return addUpscaled("short.mp4"); }
    vcTableCellViewPtr addLong() { return addUpscaled("clip.mp4"); }
    vcTableCellViewPtr row(int i) const { return doc.cellArray()[static_cast<size_t>(i)]; }
    int converting() const {
        int n = 0;
        for (const auto &r : doc.cellArray())
            n += r->aleadyStart() && !r->isPaused() && !r->finished();
        return n;
    }
    bool quiet(int timeoutMs = 120000) {
        return waitFor(
            [&] {
                if (doc.currentSessionCount() != 0)
                    return false;
                for (const auto &r : doc.cellArray())
                    if (r->hasSession() && !r->isPaused())
                        return false;
                return true;
            },
            timeoutMs);
    }
    QStringList outputs() const { return QDir(out).entryList(QDir::Files, QDir::Name); }
    // Names reserved by conversions under way: their hidden partial files.
    QStringList partials() const { return QDir(out).entryList({".*.cinvora-part"}, QDir::Files | QDir::Hidden); }
};

bool readable(const QString &path) {
    if (path.isEmpty())
        return false;
    const QJsonObject j = testsupport::ffprobe(path);
    return j["format"].toObject()["duration"].toString().toDouble() > 0;
}

} // namespace

TEST(Job, RemainingTimeTexts) {
    EXPECT_EQ(vcTableCellView::leftTimeText((3600LL + 120 + 5) * 1'000'000), "Left time: 01:02:05");
    EXPECT_EQ(vcTableCellView::leftTimeText(-5), "Left time: 00:00:00");
    EXPECT_EQ(vcTableCellView::leftTimeText(360000LL * 1'000'000), "Left time: 100:00:00");
}

TEST(Job, OutputNamesAreNumberedAndReserved) {
    const QString dir = testsupport::freshDir("names");
    for (const char *taken : {"clip.mp4", "clip(1).mp4"}) {
        QFile f(QDir(dir).filePath(taken));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const auto a = vcTableCellView::reserveOutputName(dir, "/src/clip.avi", ".mp4");
    const auto b = vcTableCellView::reserveOutputName(dir, "/other/clip.mkv", ".mp4");
    EXPECT_EQ(QFileInfo(a.path()).fileName(), "clip(2).mp4");
    EXPECT_EQ(QFileInfo(b.path()).fileName(), "clip(3).mp4"); // the reservation holds the name
    EXPECT_FALSE(QFileInfo::exists(a.path())) << "nothing under the final name until the file is complete";
    EXPECT_FALSE(vcTableCellView::reserveOutputName("/proc/no-such-folder", "/src/clip.avi", ".mp4").isValid());
}

TEST(Queue, LimitTwoOfFiveAndEveryKindOfEndAdmitsOneMore) {
    Queue q(2);
    for (int i = 0; i < 4; ++i)
        q.addMedium();
    auto bad = q.add(fixture("corrupt.mp4")); // fails: its end must admit the next one too
    q.doc.convertAllInWR();
    EXPECT_TRUE(q.win.stopLook);
    ASSERT_TRUE(waitFor([&] { return q.converting() == 2; }));
    int waiting = 0;
    for (const auto &r : q.doc.cellArray())
        waiting += !r->aleadyStart() && r->controls().statusText == vcTableCellView::waitingText();
    EXPECT_EQ(waiting, 3);
    // Pause one: a queued job takes its slot at once.
    vcTableCellViewPtr paused;
    for (const auto &r : q.doc.cellArray())
        if (r->aleadyStart() && !paused)
            paused = r;
    paused->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return paused->controls().statusText == vcTableCellView::pausedText(); }));
    ASSERT_TRUE(waitFor([&] { return q.converting() == 2; }));
    // Stop another converting one: again one more is admitted.
    vcTableCellViewPtr stopped;
    for (const auto &r : q.doc.cellArray())
        if (r->aleadyStart() && !r->isPaused() && !stopped)
            stopped = r;
    ASSERT_TRUE(stopped);
    stopped->stopConvert();
    EXPECT_FALSE(stopped->controls().statusVisible);
    ASSERT_TRUE(waitFor([&] { return !stopped->hasSession(); }));
    // Everything that was not paused ends by itself (the failure included), never more than
    // two at once.
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto &r : q.doc.cellArray())
                if (r != paused && r->hasSession())
                    return false;
            return true;
        },
        180000));
    EXPECT_LE(q.maxSlots.load(), 2);
    EXPECT_EQ(q.doc.currentSessionCount(), 0);
    EXPECT_EQ(bad->controls().statusText, vcTableCellView::failedText());
    EXPECT_TRUE(bad->controls().deleteVisible);
    EXPECT_TRUE(bad->outputFile().isEmpty() || !QFileInfo::exists(bad->outputFile()));
    for (const auto &r : q.doc.cellArray()) {
        if (r == paused || r == bad)
            continue;
        if (r == stopped && !r->controls().statusText.isEmpty()) {
            // Stopped before it ended: its name was given up and may since belong to another.
            for (const auto &other : q.doc.cellArray())
                if (other != stopped && other->outputFile() == r->outputFile())
                    goto taken;
            EXPECT_FALSE(QFileInfo::exists(r->outputFile()));
        taken:
            continue;
        }
        EXPECT_EQ(r->controls().statusText, QString());
        EXPECT_TRUE(readable(r->outputFile()));
    }
    // With every slot returned the toggle is back in its convert look; its next press
    // resumes the paused job.
    EXPECT_FALSE(q.win.stopLook);
    EXPECT_FALSE(q.doc.wrBConverted());
    q.doc.convertAllInWR();
    EXPECT_TRUE(q.win.stopLook);
    ASSERT_TRUE(waitFor([&] { return !paused->hasSession(); }, 180000));
    EXPECT_TRUE(readable(paused->outputFile()));
    EXPECT_TRUE(q.quiet());
    EXPECT_LE(q.maxSlots.load(), 2);
}

TEST(Queue, RaisingTheLimitAdmitsWaitingRowsAtOnceLoweringItLetsRunningOnesFinish) {
    Queue q(1);
    for (int i = 0; i < 5; ++i)
        q.addLong();
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.converting() == 1 && q.doc.slotWaiters() == 4; }));
    // The settings sheet's change: the stored value and its notification, nothing else.
    vcCommon::setMaxConvertingCountSameTime(3);
    ASSERT_TRUE(waitFor([&] { return q.doc.currentSessionCount() == 3 && q.converting() == 3; }, 5000))
        << "slots taken " << q.doc.currentSessionCount() << ", limit " << q.doc.slotLimit() << ", "
        << q.doc.cellArray()[0]->controls().statusText.toStdString();
    EXPECT_EQ(q.doc.gateWaiters(), 2);
    // Lowered: nothing running is stopped, and nothing more is admitted while three run.
    vcCommon::setMaxConvertingCountSameTime(1);
    waitFor([] { return false; }, 300);
    EXPECT_EQ(q.doc.currentSessionCount(), 3);
    EXPECT_EQ(q.converting(), 3);
    // Two returned slots still leave one more than the new limit: none goes; the third does.
    std::vector<vcTableCellViewPtr> running;
    for (const auto &r : q.doc.cellArray())
        if (r->aleadyStart() && !r->isPaused())
            running.push_back(r);
    ASSERT_EQ(running.size(), 3u);
    running[0]->pauseConvert();
    running[1]->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return q.doc.currentSessionCount() == 1; }));
    waitFor([] { return false; }, 300);
    EXPECT_EQ(q.doc.currentSessionCount(), 1);
    EXPECT_EQ(q.doc.gateWaiters(), 2);
    running[2]->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return q.doc.currentSessionCount() == 1 && q.doc.gateWaiters() == 1; }));
    EXPECT_LE(q.maxSlots.load(), 3);
    q.doc.cancelAll();
    EXPECT_TRUE(q.quiet());
}

TEST(Queue, PauseAllOverConvertingQueuedAndResumingJobs) {
    Queue q(1);
    auto a = q.addLong();
    q.addLong();
    q.addLong();
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.converting() == 1; }));
    vcTableCellViewPtr resuming, converting, queued;
    for (const auto &r : q.doc.cellArray())
        if (r->aleadyStart())
            resuming = r;
    resuming->pauseConvert(); // gives back the slot: one of the others takes it
    ASSERT_TRUE(waitFor([&] {
        for (const auto &r : q.doc.cellArray())
            if (r != resuming && r->aleadyStart() && !r->isPaused())
                return true;
        return false;
    }));
    for (const auto &r : q.doc.cellArray())
        if (r != resuming)
            (r->aleadyStart() ? converting : queued) = r;
    q.doc.convertAll(); // the paused job now waits to resume; the others are unchanged
    ASSERT_TRUE(waitFor([&] { return resuming->isWaiting(); }));
    EXPECT_TRUE(queued->isWaiting());
    EXPECT_FALSE(converting->isPaused());
    q.doc.pauseAll();
    // The converting job pauses and gives back its slot, the queued one is stopped, the
    // resuming one pauses again as soon as it is admitted.
    ASSERT_TRUE(waitFor([&] {
        return converting->isPaused() && resuming->isPaused() && !resuming->isWaiting() && !queued->hasSession() &&
               q.doc.currentSessionCount() == 0;
    }));
    waitFor([] { return false; }, 300);
    EXPECT_EQ(q.doc.currentSessionCount(), 0);
    EXPECT_TRUE(resuming->isPaused());
    EXPECT_EQ(resuming->controls().statusText, vcTableCellView::pausedText());
    EXPECT_EQ(converting->controls().statusText, vcTableCellView::pausedText());
    EXPECT_TRUE(queued->controls().deleteVisible);
    EXPECT_EQ(q.partials().size(), 2); // only the two that started reserved a name
    EXPECT_TRUE(q.outputs().isEmpty());
    q.doc.cancelAll();
    EXPECT_TRUE(q.quiet());
    ASSERT_TRUE(waitFor([&] { return !resuming->hasSession() && !converting->hasSession(); }));
    EXPECT_TRUE(q.outputs().isEmpty()); // cancelled conversions leave nothing
    EXPECT_TRUE(q.partials().isEmpty());
    (void)a;
}

TEST(Queue, CancelAllSetsTheFlagAndSilencesFinishReports) {
    Queue q(2);
    for (int i = 0; i < 3; ++i)
        q.addMedium();
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.converting() == 2; }));
    q.doc.cancelAll();
    EXPECT_TRUE(foundation::Settings::value("cancelAll").toBool());
    EXPECT_TRUE(q.quiet());
    ASSERT_TRUE(waitFor([&] {
        for (const auto &r : q.doc.cellArray())
            if (r->hasSession())
                return false;
        return true;
    }));
    EXPECT_EQ(q.doc.finishedReports.load(), 0);
    for (const auto &r : q.doc.cellArray()) {
        EXPECT_EQ(r->controls().statusText, vcTableCellView::stoppedText());
        EXPECT_TRUE(r->controls().deleteVisible);
    }
    EXPECT_TRUE(q.outputs().isEmpty());
    // The next convert-all clears the flag; the finishes are reported again.
    q.doc.convertAll();
    EXPECT_FALSE(foundation::Settings::value("cancelAll").toBool());
    ASSERT_TRUE(waitFor([&] { return q.doc.finishedReports.load() == 3; }, 180000));
    EXPECT_EQ(q.outputs().size(), 3);
}

// Writing the store flushes it to disk, which stalls the window for tens of milliseconds:
// a convert-all that finds the flag already clear leaves the store as it is (the write
// replaces the file, so a new inode or time would show one).
TEST(Queue, ConvertAllLeavesAClearCancelFlagUnwritten) {
    Queue q(2);
    q.addMedium();
    const QByteArray store = QFile::encodeName(foundation::Settings::fileName());
    struct stat before {};
    ASSERT_EQ(::stat(store.constData(), &before), 0);
    QThread::msleep(20);
    q.doc.convertAll();
    struct stat after {};
    ASSERT_EQ(::stat(store.constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_FALSE(foundation::Settings::value("cancelAll").toBool());
    q.doc.cancelAll();
    EXPECT_TRUE(foundation::Settings::value("cancelAll").toBool());
    ASSERT_TRUE(q.quiet());
}

// A stop is an end of its own: the row says so, whether it was queued or converting. A
// row that failed and was queued again keeps its failure when it is stopped before it ran,
// and a stop that reaches a row that has ended (cancel-all over the batch) changes nothing.
TEST(Queue, AStoppedRowSaysSoAndAFailedRowKeepsItsMark) {
    Queue q(1);
    auto converting = q.addLong();
    auto queued = q.addMedium();
    auto bad = q.add(fixture("corrupt.mp4"));
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return converting->aleadyStart() && !converting->isPaused(); }));
    queued->stopConvert();
    EXPECT_EQ(queued->controls().outcome.kind, vcJobOutcome::Cancelled);
    EXPECT_EQ(queued->controls().statusText, vcTableCellView::stoppedText());
    EXPECT_TRUE(queued->controls().statusVisible);
    converting->stopConvert();
    ASSERT_TRUE(waitFor([&] { return !converting->hasSession(); }));
    EXPECT_EQ(converting->controls().statusText, vcTableCellView::stoppedText());
    EXPECT_TRUE(converting->controls().statusVisible);
    ASSERT_TRUE(waitFor([&] { return !bad->hasSession(); }, 60000));
    ASSERT_EQ(bad->controls().outcome.kind, vcJobOutcome::Failed);
    // Cancel-all reaches the failed row too: it has ended, nothing about it changes.
    q.doc.cancelAll();
    EXPECT_EQ(bad->controls().statusText, vcTableCellView::failedText());
    EXPECT_TRUE(bad->controls().statusVisible);
    // Queued again behind a conversion and stopped before its turn: still failed.
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return converting->aleadyStart() && bad->isWaiting(); }));
    bad->stopConvert();
    EXPECT_EQ(bad->controls().outcome.kind, vcJobOutcome::Failed);
    EXPECT_EQ(bad->controls().statusText, vcTableCellView::failedText());
    EXPECT_TRUE(bad->controls().statusVisible);
    EXPECT_EQ(q.doc.batchTally().failed, 1);
    q.doc.cancelAll();
    EXPECT_TRUE(q.quiet());
}

TEST(Queue, StopWhileQueuedAndStartAgainBeforeItsThreadWasAdmitted) {
    Queue q(1);
    q.addMedium();
    q.addMedium();
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.converting() == 1 && q.doc.gateWaiters() == 1; }));
    vcTableCellViewPtr a, b; // a converts, b waits in the gate
    for (const auto &r : q.doc.cellArray())
        (r->aleadyStart() ? a : b) = r;
    b->stopConvert();
    EXPECT_EQ(b->controls().statusText, vcTableCellView::stoppedText());
    // Started again while the stopped session's thread still waits for the slot: the new
    // session must queue and convert; the old thread only gives back its slot.
    q.doc.convertAll();
    EXPECT_EQ(b->controls().statusText, vcTableCellView::waitingText());
    ASSERT_TRUE(waitFor([&] { return b->isWaiting(); }));
    ASSERT_TRUE(waitFor([&] { return !a->hasSession() && !b->hasSession(); }, 180000));
    EXPECT_TRUE(readable(a->outputFile()));
    EXPECT_TRUE(readable(b->outputFile()));
    EXPECT_EQ(q.doc.currentSessionCount(), 0);
    EXPECT_EQ(q.outputs().size(), 2);
    EXPECT_LE(q.maxSlots.load(), 1);
}

TEST(Queue, AStartThatRunsLateNeverResumesWhatALaterPauseAllPaused) {
    // Convert-all starts each row on a thread of its own; on a busy machine that thread
    // may run after the user has pressed pause-all.
    Queue q(1);
    q.addLong();
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.converting() == 1; }));
    const vcTableCellViewPtr row = q.row(0);
    row->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return row->isPaused() && q.doc.currentSessionCount() == 0; }));
    const uint64_t seenByConvertAll = row->startTicket();
    q.doc.pauseAll();
    row->startConvert(seenByConvertAll);
    waitFor([] { return false; }, 300);
    EXPECT_TRUE(row->isPaused());
    EXPECT_FALSE(row->isWaiting());
    EXPECT_EQ(q.doc.currentSessionCount(), 0);
    // A start asked for after the pause-all resumes it.
    row->startConvert(row->startTicket());
    ASSERT_TRUE(waitFor([&] { return !row->isPaused() && q.doc.currentSessionCount() == 1; }));
    q.doc.cancelAll();
    ASSERT_TRUE(waitFor([&] { return !row->hasSession(); }));
}

// Pause-all marks a row that waits to resume so that it pauses again once admitted. When
// that row is stopped before it is admitted, the mark belongs to the stopped conversion
// and must not pause the row's next conversion the moment it is resumed.
TEST(Queue, APauseAllMarkDiesWithTheConversionItWasFor) {
    Queue q(1);
    q.addLong();
    q.addLong();
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.converting() == 1; }));
    const vcTableCellViewPtr a = q.row(0)->aleadyStart() ? q.row(0) : q.row(1);
    const vcTableCellViewPtr b = a == q.row(0) ? q.row(1) : q.row(0);
    ASSERT_TRUE(waitFor([&] { return b->isWaiting(); }));
    // b gets the slot once a pauses, then pauses itself; a resumes into the gate behind it.
    a->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return b->aleadyStart() && !b->isPaused(); }));
    b->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return b->isPaused() && q.doc.currentSessionCount() == 0; }));
    a->pauseConvert(); // a converts again
    ASSERT_TRUE(waitFor([&] { return !a->isPaused() && q.doc.currentSessionCount() == 1; }));
    b->pauseConvert(); // b waits to resume behind a
    ASSERT_TRUE(waitFor([&] { return b->isWaiting(); }));
    // What pause-all does to a row in that state (pausing a as well would admit b at once).
    b->setPauseAgain(true);
    b->stopConvert();
    ASSERT_TRUE(waitFor([&] { return !b->hasSession() || !b->isWaiting(); }));
    a->stopConvert();
    ASSERT_TRUE(q.quiet());
    ASSERT_TRUE(waitFor([&] { return !a->hasSession() && !b->hasSession(); }));

    // b's next conversion, alone in the list: started, paused and resumed by hand - it
    // must run.
    q.doc.deleteItemAtIndex(a->idx());
    ASSERT_EQ(q.doc.cellArray().size(), 1u);
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return b->aleadyStart() && !b->isPaused() && q.doc.currentSessionCount() == 1; }));
    b->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return b->isPaused() && q.doc.currentSessionCount() == 0; }));
    b->pauseConvert();
    ASSERT_TRUE(waitFor([&] { return !b->isWaiting(); }));
    waitFor([] { return false; }, 300);
    EXPECT_FALSE(b->isPaused()) << "paused again by the stopped conversion's mark";
    EXPECT_EQ(q.doc.currentSessionCount(), 1);
    q.doc.cancelAll();
    ASSERT_TRUE(waitFor([&] { return !b->hasSession(); }));
}

TEST(Queue, ConvertingTwiceNumbersTheSecondFileAndSameNamesNeverCollide) {
    const QString dir = testsupport::freshDir("same");
    QDir().mkpath(dir + "/a");
    QDir().mkpath(dir + "/b");
    QFile::link(fixture("short.mp4"), dir + "/a/clip.mp4");
    QFile::link(fixture("mpeg4.avi"), dir + "/b/clip.avi");
    Queue q(2);
    q.add(dir + "/a/clip.mp4");
    q.add(dir + "/b/clip.avi");
    q.doc.convertAll();
    ASSERT_TRUE(waitFor(
        [&] { return q.outputs().size() == 2 && q.quiet(1) && !q.row(0)->hasSession() && !q.row(1)->hasSession(); },
        180000));
    EXPECT_EQ(q.outputs(), QStringList({"clip(1).mov", "clip.mov"}));
    for (const QString &f : q.outputs())
        EXPECT_TRUE(readable(QDir(q.out).filePath(f)));
    EXPECT_NE(q.row(0)->outputFile(), q.row(1)->outputFile());
    EXPECT_EQ(q.row(0)->lastOutcome().kind, vcJobOutcome::Done);
    EXPECT_EQ(q.row(0)->lastOutcome().outputFile, q.row(0)->outputFile());
    EXPECT_EQ(q.row(0)->controls().outcome, q.row(0)->lastOutcome());
    // Again with nothing changed: both are done, nothing is converted again.
    q.doc.convertAll();
    EXPECT_TRUE(q.doc.convertingCellViews().empty());
    EXPECT_FALSE(q.row(0)->hasSession());
    EXPECT_FALSE(q.row(1)->hasSession());
    waitFor([] { return false; }, 300);
    EXPECT_EQ(q.outputs().size(), 2);
    // A changed trim converts that row again into a new numbered file (the first output
    // remains); a row whose output is gone is converted again too.
    q.row(0)->editMovie()->setKeptRange(q.row(0)->editMovie()->keptRange().withEnd(2.0));
    const QString gone = q.row(1)->outputFile();
    ASSERT_TRUE(QFile::remove(gone));
    q.doc.convertAll();
    EXPECT_EQ(q.doc.convertingCellViews().size(), 2u);
    ASSERT_TRUE(
        waitFor([&] { return q.outputs().size() == 3 && !q.row(0)->hasSession() && !q.row(1)->hasSession(); }, 180000));
    EXPECT_EQ(q.outputs(), QStringList({"clip(1).mov", "clip(2).mov", "clip.mov"}));
    EXPECT_TRUE(QFileInfo::exists(gone));
}

// The item's length is whole seconds, for the rows; an untrimmed row still converts the
// whole file, and a trim ends where it was set, not on a whole second.
TEST(Queue, RowsConvertTheWholeFileOrTheirTrimToTheFrame) {
    const QString dir = testsupport::freshDir("tail");
    ASSERT_TRUE(
        testsupport::damage::make({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3.9", "-f", "lavfi",
                                   "-i", "sine=frequency=440:sample_rate=48000:duration=3.9", "-c:v", "libx264",
                                   "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-f", "mp4"},
                                  dir + "/whole.mp4"));
    ASSERT_TRUE(QFile::link(dir + "/whole.mp4", dir + "/trim.mp4"));
    const auto duration = [](const QString &path) {
        return testsupport::ffprobe(path)["format"].toObject()["duration"].toString().toDouble();
    };
    const double source = duration(dir + "/whole.mp4");
    ASSERT_GT(source, 3.85);
    Queue q(2);
    q.add(dir + "/whole.mp4");
    const auto trimmed = q.add(dir + "/trim.mp4")->editMovie();
    ASSERT_EQ(trimmed->totalDuration(), 3.0);
    trimmed->setKeptRange(LXKeptRange::fromSeconds(0.5, 2.34));
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.quiet(1) && !q.row(0)->hasSession() && !q.row(1)->hasSession(); }, 180000));
    ASSERT_EQ(q.outputs(), QStringList({"trim.mov", "whole.mov"}));
    EXPECT_NEAR(duration(q.out + "/whole.mov"), source, 0.04); // one frame at 25 fps
    EXPECT_NEAR(duration(q.out + "/trim.mov"), 1.84, 0.04);
}

TEST(Queue, AFailedJobCarriesItsReasonAndIsConvertedAgain) {
    const QString dir = testsupport::freshDir("vanishing");
    QFile::copy(fixture("short.mp4"), dir + "/gone.mp4");
    Queue q(1);
    q.add(dir + "/gone.mp4");
    ASSERT_TRUE(QFile::remove(dir + "/gone.mp4"));
    q.doc.convertAll();
    ASSERT_TRUE(
        waitFor([&] { return q.row(0)->lastOutcome().kind != vcJobOutcome::None && !q.row(0)->hasSession(); }, 60000));
    const vcJobOutcome failed = q.row(0)->lastOutcome();
    EXPECT_EQ(failed.kind, vcJobOutcome::Failed);
    EXPECT_FALSE(failed.reason.isEmpty());
    EXPECT_EQ(q.row(0)->controls().statusText, vcTableCellView::failedText());
    EXPECT_EQ(q.row(0)->controls().outcome, failed);
    EXPECT_TRUE(q.outputs().isEmpty());
    // Not done: the next convert-all tries it again, and the new start clears the outcome.
    q.doc.convertAll();
    EXPECT_EQ(q.doc.convertingCellViews().size(), 1u);
    EXPECT_EQ(q.row(0)->controls().outcome.kind, vcJobOutcome::None);
    ASSERT_TRUE(waitFor([&] { return !q.row(0)->hasSession(); }, 60000));
    EXPECT_EQ(q.row(0)->lastOutcome().kind, vcJobOutcome::Failed);
}

// Between the engine's clean-up of a failed job and the job's end another job may claim
// the same name and write its file there; that file is not the failed job's to remove.
TEST(Queue, AFailedJobRemovesOnlyWhatItMade) {
    Queue q(1);
    q.add(fixture("corrupt.mp4"));
    std::mutex m;
    QString claimed;
    static const QRegularExpression failedLine(QStringLiteral("^Conversion failed: .*? -> (.*?): "));
    // The engine's failure line comes after its own clean-up: the moment another job could
    // take the name.
    foundation::Log::setSink([&](const QString &line) {
        const auto match = failedLine.match(line);
        if (!match.hasMatch())
            return;
        QFile other(match.captured(1));
        if (other.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            other.write("another job's file");
            std::lock_guard l(m);
            claimed = other.fileName();
        }
    });
    q.doc.convertAll();
    ASSERT_TRUE(
        waitFor([&] { return q.row(0)->lastOutcome().kind != vcJobOutcome::None && !q.row(0)->hasSession(); }, 60000));
    EXPECT_EQ(q.row(0)->lastOutcome().kind, vcJobOutcome::Failed);
    std::lock_guard l(m);
    ASSERT_FALSE(claimed.isEmpty());
    QFile other(claimed);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly)) << "the other job's file was deleted";
    EXPECT_EQ(other.readAll(), "another job's file");
    EXPECT_EQ(QDir(q.out).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(claimed).fileName()})
        << "no partial file left";
}

TEST(Queue, WaitingJobsAreAdmittedInListOrder) {
    // With one slot, however the queueing threads happen to run, the rows go top to bottom.
    for (int round = 0; round < 3; ++round) {
        Queue q(1);
        std::vector<long> admitted;
        std::mutex m;
        static const QRegularExpression re(QStringLiteral("^_currentSessionCount\\+\\+ = \\d+ \\[(\\d+)\\]"));
        foundation::Log::setSink([&](const QString &line) {
            const auto match = re.match(line);
            if (match.hasMatch()) {
                std::lock_guard l(m);
                admitted.push_back(match.captured(1).toLong());
            }
        });
        for (int i = 0; i < 6; ++i)
            q.add(fixture("short.mp4"));
        q.doc.convertAll();
        ASSERT_TRUE(waitFor(
            [&] {
                std::lock_guard l(m);
                return admitted.size() == 6;
            },
            180000));
        std::lock_guard l(m);
        EXPECT_EQ(admitted, std::vector<long>({0, 1, 2, 3, 4, 5})) << "round " << round;
    }
}

TEST(Queue, ClearingTheListCancelsAPausedJobAndTheGuardForgetsIt) {
    Queue q(1);
    const auto row = q.addLong();
    q.doc.convertAll();
    // Converting, and its output claimed (the claim follows the admission on its thread).
    ASSERT_TRUE(waitFor([&] { return q.converting() == 1 && q.partials().size() == 1; }));
    q.doc.pauseAll();
    ASSERT_TRUE(waitFor([&] { return row->isPaused() && q.doc.currentSessionCount() == 0; }));
    ASSERT_EQ(q.partials().size(), 1);
    EXPECT_TRUE(q.doc.inConverting());
    q.doc.deleteAllFromList();
    EXPECT_TRUE(q.doc.convertingCellViews().empty());
    EXPECT_FALSE(q.doc.inConverting());
    // Cancelled, not left paused: its partial file goes now, not when the program quits.
    ASSERT_TRUE(waitFor([&] { return q.partials().isEmpty() && q.outputs().isEmpty() && !row->hasSession(); }, 10000));
    q.win.questions.clear();
    EXPECT_TRUE(q.doc.windowShouldClose());
    EXPECT_TRUE(q.win.questions.isEmpty());
}

TEST(Job, LeftTimeFollowsTheRecentRateAndCountsDown) {
    // Alone for 40 s at 1 %/s, then sharing the cores at 0.5 %/s for the remaining 60 %:
    // 120 s remain at the change. Reports every 0.2 s of conversion time.
    vcLeftTimeEstimator est;
    const int64_t step = 200'000;
    auto percentAt = [](int64_t us) {
        const double s = us / 1e6;
        return s <= 40 ? s : 40 + (s - 40) * 0.5;
    };
    auto naive = [](double percent, int64_t past) { return int64_t(double(past) * (100 - percent) / percent); };
    int64_t shown = 0, previous = -1;
    int rises = 0;
    for (int64_t t = step; t <= 160'000'000; t += step) {
        const double p = percentAt(t);
        shown = est.update(p, t);
        if (t == 70'000'000) {
            // 30 s after the change 90 s remain: the whole-run average says 57 s and still
            // grows; the recent rate is close.
            const int64_t wholeRun = naive(p, t);
            EXPECT_LT(wholeRun, 70'000'000);
            EXPECT_NEAR(double(shown), 90e6, 9e6);
        }
        // From then on it counts down: never up by more than a second between reports.
        if (t > 70'000'000 && previous >= 0 && shown > previous + 1'000'000)
            ++rises;
        if (t > 70'000'000)
            previous = shown;
    }
    EXPECT_EQ(rises, 0);
    EXPECT_EQ(shown, 0);
}

TEST(Job, LeftTimeIgnoresPausesAndSmoothsJitter) {
    vcLeftTimeEstimator est;
    int64_t t = 0;
    double p = 0;
    int64_t last = 0;
    // 0.5 %/s with every other report's progress early or late by a fifth of a step.
    for (int i = 1; i <= 300; ++i) {
        t += 200'000;
        p += 0.1;
        last = est.update(p + (i % 2 ? 0.02 : -0.02), t);
    }
    EXPECT_NEAR(double(last), (100 - p) / 0.5 * 1e6, 5e6);
    // Paused: the engine's conversion time stands still, and so does the figure.
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(est.update(p, t), last);
    // Resumed at the same rate: it carries on from where it stood.
    t += 200'000;
    p += 0.1;
    EXPECT_NEAR(double(est.update(p, t)), double(last) - 200'000, 1.5e6);
}

// Two like conversions share the machine from start to end, and a short one follows them:
// what each row shows as its remaining time is judged against the time that did remain,
// known once it has ended (the same run). The short one, whose rate is never steady, is
// held only to never showing nothing left before its end.
TEST(Queue, TheShownLeftTimeIsNearTheTimeThatRemainedAndNeverZeroBeforeTheEnd) {
    // A judgement of time: other tests beside it would make it a judgement of their load.
    if (qEnvironmentVariableIsEmpty("CINVORA_TIMED_ALONE"))
        GTEST_SKIP() << "judges time, so it runs alone, as Queue.LeftTimeAlone";
    Queue q(2);
    const std::vector<vcTableCellViewPtr> rows = {q.addLong(), q.addLong(), q.addMedium()};
    struct Seen {
        qint64 atMs;
        double progress;
        qint64 shownS; // -1: no time shown
    };
    std::map<vcTableCellView *, std::vector<Seen>> seen;
    std::map<vcTableCellView *, qint64> endMs;
    QElapsedTimer clock;
    clock.start();
    static const QRegularExpression shown(QStringLiteral("^Left time: (\\d+):(\\d\\d):(\\d\\d)$"));
    q.doc.convertAll();
    ASSERT_TRUE(waitFor(
        [&] {
            bool shownAll = true;
            for (const auto &r : rows) {
                shownAll = shownAll && r->controls().outcome.kind != vcJobOutcome::None;
                if (endMs.count(r.get()))
                    continue;
                if (r->finished()) {
                    endMs[r.get()] = clock.elapsed();
                    continue;
                }
                if (r->state() != vcJobState::Converting)
                    continue;
                // Four looks a second are plenty, and keep the judgement about time, not looks.
                if (!seen[r.get()].empty() && clock.elapsed() - seen[r.get()].back().atMs < 250)
                    continue;
                const auto m = shown.match(r->controls().statusText);
                seen[r.get()].push_back({clock.elapsed(), r->controls().progress,
                                         m.hasMatch() ? m.captured(1).toLongLong() * 3600 +
                                                            m.captured(2).toLongLong() * 60 + m.captured(3).toLongLong()
                                                      : -1});
            }
            return shownAll;
        },
        300000));
    std::vector<double> errors; // the long ones' looks: shown against remained, as a part of it
    QStringList far;
    for (const auto &r : rows) {
        ASSERT_EQ(r->lastOutcome().kind, vcJobOutcome::Done);
        const bool judged = r != rows[2];
        QStringList zero;
        for (const Seen &s : seen[r.get()]) {
            const double remained = double(endMs[r.get()] - s.atMs) / 1000.0;
            const QString at = QStringLiteral("%1 % (shown %2 s, %3 s remained)")
                                   .arg(s.progress * 100, 0, 'f', 1)
                                   .arg(s.shownS)
                                   .arg(remained, 0, 'f', 1);
            if (s.shownS < 0)
                continue;
            if (s.shownS == 0 && remained >= 0.5)
                zero << at;
            // From 10 %, and while more than the text's rounding remains.
            if (!judged || s.progress < 0.10 || remained < 2.0)
                continue;
            // The text rounds up to whole seconds: "5 s" stands for between 4 and 5, and is
            // judged at the middle of that, or every look would seem half a second long.
            const double error = (double(s.shownS) - 0.5 - remained) / remained;
            errors.push_back(error);
            if (error < -2.0 / 3.0 || error > 2.0)
                far << at;
        }
        EXPECT_TRUE(zero.isEmpty()) << (judged ? "a long conversion" : "the short one")
                                    << " showed 00:00:00 before its end at " << zero.join(", ").toStdString();
    }
    // The machine is shared with other work whose load comes and goes, which no figure can
    // foresee: typically a look is within a quarter, and none is off threefold.
    ASSERT_GE(errors.size(), 16u);
    std::sort(errors.begin(), errors.end());
    const double median = errors[errors.size() / 2];
    EXPECT_LE(std::abs(median), 0.25) << "the looks were typically " << median * 100 << " % off";
    EXPECT_TRUE(far.isEmpty()) << "looks threefold off at " << far.join(", ").toStdString();
}

TEST(Queue, GuardsAskBeforeClosingOrDeletingWhatConverts) {
    Queue q(1);
    q.addLong();
    q.addLong();
    q.addLong();
    EXPECT_TRUE(q.doc.windowShouldClose()); // nothing converts: closes at once
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return q.converting() == 1 && q.doc.gateWaiters() == 2; }));
    // Whichever the gate admitted converts; the other two wait. Delete the first waiting one.
    vcTableCellViewPtr a, b;
    for (const auto &r : q.doc.cellArray()) {
        if (r->aleadyStart())
            a = r;
        else if (!b)
            b = r;
    }
    const int64_t at = b->idx();

    // Deleting a queued row asks first; "No" keeps it.
    q.win.answer = foundation::AlertButton::Default;
    q.doc.deleteItemAtIndex(at);
    EXPECT_EQ(q.win.questions.last(), foundation::tr_("WAITINGCONVERT"));
    EXPECT_EQ(q.doc.numberOfRows(), 3);
    // "Yes" cancels it and renumbers the rows after it.
    q.win.answer = foundation::AlertButton::Alternate;
    q.doc.deleteItemAtIndex(at);
    EXPECT_EQ(q.doc.numberOfRows(), 2);
    EXPECT_TRUE(b->isCancel());
    for (int64_t i = 0; i < q.doc.numberOfRows(); ++i)
        EXPECT_EQ(q.doc.cellArray()[static_cast<size_t>(i)]->idx(), i);

    // Closing while converting asks; the default answer keeps everything running.
    q.win.answer = foundation::AlertButton::Default;
    EXPECT_FALSE(q.doc.windowShouldClose());
    EXPECT_EQ(q.win.questions.last(), foundation::tr_("CLOSEAPP"));
    EXPECT_EQ(q.win.closes, 0);
    EXPECT_FALSE(a->isCancel());
    q.win.answer = foundation::AlertButton::Alternate;
    EXPECT_FALSE(q.doc.windowShouldClose());
    EXPECT_EQ(q.win.closes, 1);
    EXPECT_TRUE(a->isCancel());
    EXPECT_TRUE(q.quiet());
    EXPECT_TRUE(q.outputs().isEmpty());
}

TEST(Queue, DestroyingTheDocumentCancelsAndJoinsEverything) {
    QString out;
    {
        Queue q(2);
        out = q.out;
        for (int i = 0; i < 5; ++i)
            q.addLong();
        q.doc.convertAll();
        ASSERT_TRUE(waitFor([&] { return q.converting() == 2; }));
        for (const auto &r : q.doc.cellArray())
            if (r->aleadyStart()) {
                r->pauseConvert();
                break;
            }
        ASSERT_TRUE(waitFor([&] { return q.converting() == 2; }));
        // Two converting, one paused, two queued: the document goes away now.
    }
    EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty());
}

// Random operations at random moments must never deadlock, leak a slot, leave a job in a
// half state, or leave a partial file.
TEST(Queue, StressRandomOperations) {
    Queue q(2);
    for (int i = 0; i < 10; ++i)
        if (i % 3 == 0)
            q.addMedium();
        else
            q.add(fixture("short.mp4"));
    const quint32 seed = qEnvironmentVariableIsSet("CINVORA_STRESS_SEED")
                             ? qEnvironmentVariableIntValue("CINVORA_STRESS_SEED")
                             : 20261207u;
    QRandomGenerator rng(seed);
    for (int op = 0; op < 200; ++op) {
        const int n = static_cast<int>(q.doc.numberOfRows());
        switch (rng.bounded(7)) {
        case 0:
        case 1:
            q.doc.convertAll();
            break;
        case 2:
            q.doc.pauseAll();
            break;
        case 3:
            q.doc.cancelAll();
            break;
        case 4:
            if (n > 0)
                q.doc.cellArray()[rng.bounded(n)]->stopConvert();
            break;
        case 5:
            if (n > 3) {
                q.win.answer = foundation::AlertButton::Alternate;
                q.doc.deleteItemAtIndex(rng.bounded(n));
            }
            break;
        case 6:
            vcCommon::setMaxConvertingCountSameTime(1 + rng.bounded(3));
            break;
        }
        waitFor([] { return false; }, rng.bounded(0, 60));
    }
    q.doc.cancelAll();
    for (const auto &r : q.doc.cellArray())
        if (r->isPaused())
            r->stopConvert();
    const bool settled = waitFor(
        [&] {
            if (q.doc.currentSessionCount() != 0)
                return false;
            for (const auto &r : q.doc.cellArray())
                if (r->hasSession())
                    return false;
            return true;
        },
        120000);
    if (!settled) {
        for (const auto &r : q.doc.cellArray())
            ADD_FAILURE() << "row " << r->idx() << " session " << r->hasSession() << " started " << r->aleadyStart()
                          << " paused " << r->isPaused() << " waiting " << r->isWaiting() << " cancelled "
                          << r->isCancel() << " status " << r->controls().statusText.toStdString();
        ADD_FAILURE() << "slots " << q.doc.currentSessionCount();
    }
    ASSERT_TRUE(settled) << "seed " << seed;
    for (const auto &r : q.doc.cellArray()) {
        const vcRowControls &c = r->controls();
        EXPECT_TRUE(c.deleteVisible);
        EXPECT_FALSE(c.stopVisible);
        EXPECT_TRUE(c.fmtInfoVisible);
    }
    EXPECT_LE(q.maxSlots.load(), 3);
    // Rows deleted on the way may still be ending their cancelled conversions: once the
    // document has joined every thread, whatever file is left must be whole.
    q.doc.shutdown();
    for (const QString &f : q.outputs())
        EXPECT_TRUE(readable(QDir(q.out).filePath(f))) << f.toStdString();
}

namespace {
int threadNice() { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid))); }

// Records the priority of the thread that gives the slot back at the end of a conversion
// (the conversion thread, after its encoding).
struct NiceDoc : ODDocument {
    std::atomic<int> seen{-100};
    void convertSessionSignal(vcTableCellView *job) override {
        seen = threadNice();
        ODDocument::convertSessionSignal(job);
    }
};
} // namespace

TEST(Job, ConversionsRunAtBatchPriorityAndTheMainThreadDoesNot) {
    const int mainBefore = threadNice();
    FakeWindow win;
    NiceDoc doc;
    doc.setWindow(&win);
    doc.setExportFolderOverride(testsupport::freshDir("nice"));
    doc.addMovie(doc.initEditMovieWithPath(fixture("short.mp4")));
    doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return doc.seen.load() != -100; }, 30000));
    EXPECT_GE(doc.seen.load(), vcTableCellView::conversionThreadNice());
    EXPECT_GE(doc.seen.load(), mainBefore);
    EXPECT_EQ(threadNice(), mainBefore);
    ASSERT_TRUE(waitFor([&] { return doc.currentSessionCount() == 0 && !doc.cellArray()[0]->hasSession(); }, 60000));
}

TEST(Document, KeyNotificationsMoveTheSelectionWrapAndDelete) {
    auto post = [](const char *name) {
        foundation::NotificationCenter::defaultCenter().post(QString::fromLatin1(name));
        foundation::MainThread::drain();
    };
    FakeWindow win;
    ODDocument doc;
    doc.setWindow(&win);
    doc.setUsesHistory(false);
    post("globalPressUpKey"); // an empty list: nothing happens
    post("globalPressDeleteKey");
    EXPECT_EQ(doc.currentIndex(), -1);
    for (const char *name : {"short.mp4", "mpeg4.avi", "hd1080.mp4"})
        doc.addMovie(doc.initEditMovieWithPath(fixture(name)));
    ASSERT_EQ(doc.currentIndex(), 0);
    post("globalPressUpKey");
    EXPECT_EQ(doc.currentIndex(), 2);
    post("globalPressDownKey");
    EXPECT_EQ(doc.currentIndex(), 0);
    post("globalPressDownKey");
    EXPECT_EQ(doc.currentIndex(), 1);
    post("globalPressDeleteKey"); // nothing converts: no question
    EXPECT_TRUE(win.questions.isEmpty());
    ASSERT_EQ(doc.numberOfRows(), 2);
    EXPECT_EQ(doc.itemAt(1)->fileName(), fixture("hd1080.mp4"));
    EXPECT_EQ(doc.currentIndex(), 1);
}

// What the desktop hears of a batch: running from the start, one end once every row ended
// (the slot passing from row to row is no end), with how the rows ended; a pause is no end.
TEST(Queue, ABatchEndsOnceWithItsTallyAndAPauseIsNoEnd) {
    const QString dir = testsupport::freshDir("tally");
    QFile::copy(fixture("short.mp4"), dir + "/gone.mp4");
    Queue q(1);
    q.add(fixture("short.mp4"));
    q.add(dir + "/gone.mp4");
    q.add(fixture("short.mp4"));
    ASSERT_TRUE(QFile::remove(dir + "/gone.mp4"));
    EXPECT_EQ(q.doc.batchProgress(), 0.0);
    q.doc.convertAllInWR();
    EXPECT_TRUE(q.doc.batchRunning());
    ASSERT_TRUE(waitFor([&] { return !q.win.ended.empty(); }, 120000));
    EXPECT_TRUE(q.quiet());
    waitFor([] { return false; }, 200);
    ASSERT_EQ(q.win.ended.size(), 1u);
    EXPECT_EQ(q.win.ended[0].done, 2);
    EXPECT_EQ(q.win.ended[0].failed, 1);
    EXPECT_EQ(q.win.ended[0].summary(), "2 files converted, 1 failed.");
    EXPECT_EQ(q.win.running, std::vector<bool>({true, false}));
    EXPECT_FALSE(q.doc.batchRunning());
    EXPECT_DOUBLE_EQ(q.doc.batchProgress(), 1.0);

    // The failed row and a new long one run; paused halfway, the batch stops without an end.
    q.win.running.clear();
    const auto longRow = q.addLong();
    q.doc.convertAllInWR();
    ASSERT_EQ(q.doc.convertingCellViews().size(), 2u);
    ASSERT_TRUE(waitFor([&] { return longRow->controls().progress > 0.0; }, 60000));
    EXPECT_GT(q.doc.batchProgress(), 0.5);
    EXPECT_LT(q.doc.batchProgress(), 1.0);
    q.doc.convertAllInWR();
    ASSERT_TRUE(waitFor([&] { return longRow->isPaused() && q.doc.currentSessionCount() == 0; }));
    EXPECT_EQ(q.win.running, std::vector<bool>({true, false}));
    EXPECT_EQ(q.win.ended.size(), 1u);
    q.doc.cancelAll();
    EXPECT_TRUE(q.quiet());
}

namespace {
// A queue over `out` whose list is rebuilt from the saved one, as the window's at start.
struct Restarted : Queue {
    explicit Restarted(const QString &folder) : Queue(2) {
        vcCommon::setExportMovieFolder(out = folder);
        doc.loadHistoryAtLuanch();
        EXPECT_TRUE(waitFor([&] { return !doc.isAdding(); }, 60000));
    }
    std::vector<vcJobOutcome::Kind> shown() const {
        std::vector<vcJobOutcome::Kind> kinds;
        for (const auto &r : doc.cellArray())
            kinds.push_back(r->controls().outcome.kind);
        return kinds;
    }
};

QString savedKey(int row, const char *key) { return vcHistory().read().value(row).toMap().value(key).toString(); }
} // namespace

// A finished row is converted again only when something that made its output changed, or
// the output is gone; a restart (a quit, or a crash once the row was saved) changes nothing
// about that: no numbered copies of what was done before.
TEST(Queue, FinishedRowsStayFinishedAcrossARestart) {
    using K = vcJobOutcome::Kind;
    QFile::remove(vcHistory::defaultFile());
    const QString src = testsupport::freshDir("restart-src"), out = testsupport::freshDir("restart-out");
    for (const char *name : {"alpha.mp4", "bravo.mp4", "charlie.mp4"})
        ASSERT_TRUE(QFile::copy(fixture("short.mp4"), QDir(src).filePath(name)));
    QByteArray crashed;
    {
        Restarted q(out);
        for (const char *name : {"alpha.mp4", "bravo.mp4"})
            q.add(QDir(src).filePath(name));
        q.doc.convertAll();
        ASSERT_TRUE(waitFor([&] { return q.shown() == std::vector<K>({K::Done, K::Done}); }, 120000));
        // Saved as the rows end, before any quit: what a crash leaves on disk.
        ASSERT_TRUE(waitFor(
            [] {
                return savedKey(0, "convertedOutputFileKey").endsWith("/alpha.mov") &&
                       savedKey(1, "convertedOutputFileKey").endsWith("/bravo.mov");
            },
            5000));
        QFile f(vcHistory::defaultFile());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        crashed = f.readAll();
        q.add(QDir(src).filePath("charlie.mp4"));
        ASSERT_TRUE(q.doc.saveHistoryFile()); // as the intake does after adding
    }
    QFile saved(vcHistory::defaultFile());
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray quitted = saved.readAll();
    saved.close();
    for (bool afterCrash : {true, false}) {
        SCOPED_TRACE(afterCrash ? "after a crash" : "after a quit");
        ASSERT_TRUE(saved.open(QIODevice::WriteOnly | QIODevice::Truncate));
        saved.write(afterCrash ? crashed : quitted);
        saved.close();
        Restarted q(out);
        EXPECT_EQ(q.shown(),
                  afterCrash ? std::vector<K>({K::Done, K::Done}) : std::vector<K>({K::Done, K::Done, K::None}));
        EXPECT_EQ(QFileInfo(q.row(1)->controls().outcome.outputFile).fileName(), "bravo.mov");
        EXPECT_TRUE(q.row(1)->controls().statusVisible && q.row(1)->controls().statusText.isEmpty());
        // Only the row never converted converts.
        q.doc.convertAll();
        EXPECT_EQ(q.doc.convertingCellViews().size(), afterCrash ? 0u : 1u);
        EXPECT_TRUE(waitFor([&] { return q.quiet(1) && q.shown().back() == K::Done; }, 120000));
        EXPECT_EQ(q.outputs(), QStringList({"alpha.mov", "bravo.mov", "charlie.mov"}).mid(0, afterCrash ? 2 : 3));
    }
    // What changed converts again: a source's time. A saved row claiming a file elsewhere
    // (its output moved away) or a link in the folder is not finished either.
    {
        QFile f(QDir(src).filePath("alpha.mp4"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(QFile::rename(QDir(out).filePath("bravo.mov"), src + "/bravo.mov"));
    ASSERT_TRUE(QFile::link(src + "/bravo.mov", QDir(out).filePath("charlie.mov.lnk")));
    QVariantList entries = vcHistory().read();
    for (const auto &[row, claimed] :
         {std::pair{1, src + "/bravo.mov"}, std::pair{2, QDir(out).filePath("charlie.mov.lnk")}}) {
        QVariantMap e = entries[row].toMap();
        e.insert("convertedOutputFileKey", claimed);
        entries[row] = e;
    }
    ASSERT_TRUE(foundation::PropertyList::writeFile(vcHistory::defaultFile(), entries));
    Restarted q(out);
    EXPECT_EQ(q.shown(), std::vector<K>({K::None, K::None, K::None}));
    q.doc.convertAll();
    EXPECT_EQ(q.doc.convertingCellViews().size(), 3u);
    ASSERT_TRUE(waitFor(
        [&] {
            return q.quiet(1) && q.shown() == std::vector<K>({K::Done, K::Done, K::Done});
        },
        120000));
    EXPECT_EQ(q.outputs(), QStringList({"alpha(1).mov", "alpha.mov", "bravo.mov", "charlie(1).mov", "charlie.mov",
                                        "charlie.mov.lnk"}));
}

// However the settings file was edited, at most as many conversions run at once as the
// settings sheet offers (1 to 10), in a document open at the time or opened after.
TEST(Queue, AStoredLimitOutsideTheSheetsRangeIsHeldToIt) {
    for (const auto &[stored, held] : {std::pair<qlonglong, int64_t>{1000000, 10}, {0, 1}, {7, 7}}) {
        foundation::Settings::setValue("allowConvertingMaxCount", stored);
        FakeWindow win;
        ODDocument doc;
        doc.setWindow(&win);
        EXPECT_EQ(doc.slotLimit(), held) << stored;
        vcCommon::setMaxConvertingCountSameTime(stored);
        EXPECT_EQ(doc.slotLimit(), held) << stored;
    }
    foundation::Settings::setValue("allowConvertingMaxCount", 2);
}

// An output always lands inside the export folder, whatever the item's extension says.
TEST(Queue, AnExtensionWithAPathNeverLeavesTheExportFolder) {
    const QString top = testsupport::freshDir("escape"), out = top + "/a/b/c";
    // A folder named like the source in the export folder lets the kernel walk the dots.
    ASSERT_TRUE(QDir().mkpath(out + "/audio"));
    Queue q(1);
    vcCommon::setExportMovieFolder(q.out = out);
    auto row = q.add(fixture("audio.mp3"));
    row->editMovie()->setOutputExt("/../../../escaped-by-ext.mp3");
    q.doc.convertAll();
    ASSERT_TRUE(waitFor([&] { return row->controls().outcome.kind != vcJobOutcome::None; }, 60000));
    EXPECT_EQ(row->controls().outcome.kind, vcJobOutcome::Failed);
    QDirIterator files(top, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    EXPECT_FALSE(files.hasNext()) << files.next().toStdString();
    EXPECT_FALSE(foundation::Files::reserveNumberedName(out, "..", "").isValid());
    EXPECT_FALSE(foundation::Files::reserveNumberedName(out, "", "").isValid());
}

TEST(Queue, RowsAreEstimatedWhileIdleGiveWayToConvertAndFollowTheirSettings) {
    Queue q(1);
    const auto first = q.addMedium();
    const auto second = q.addUpscaled("short.mp4");
    // Large enough that its estimate is still under way when Convert comes.
    second->editMovie()->setWidth(1920);
    second->editMovie()->setHeight(1080);
    q.doc.setMakesEstimates(true);
    ASSERT_TRUE(
        waitFor([&] { return first->controls().estimate.valid() && second->controls().estimate.valid(); }, 180000));
    const SWConvertEstimate high = first->controls().estimate;
    EXPECT_GT(high.seconds, 0);

    // A lower quality drops the figure made for the higher one and gets a smaller one.
    first->editMovie()->setOutputQuality(LXQuality::Low);
    q.doc.wantEstimates();
    ASSERT_TRUE(waitFor([&] { return !first->controls().estimate.valid(); }, 5000));
    ASSERT_TRUE(waitFor([&] { return first->controls().estimate.valid(); }, 120000));
    EXPECT_LT(first->controls().estimate.bytes, high.bytes);

    // Convert never waits for an estimate: the one under way stops, and none starts while
    // anything converts.
    second->editMovie()->setOutputQuality(LXQuality::Middle);
    q.doc.wantEstimates();
    ASSERT_TRUE(waitFor([&] { return q.doc.estimates()->running() == second; }, 5000));
    q.doc.convertAllInWR();
    EXPECT_TRUE(q.doc.estimates()->held());
    EXPECT_TRUE(waitFor([&] { return q.converting() == 1; }, 2000));
    EXPECT_TRUE(waitFor([&] { return !q.doc.estimates()->running(); }, 1000)) << "a cancel ends it within 0.5 s";
    ASSERT_TRUE(waitFor([&] { return q.quiet(1) && !first->hasSession() && !second->hasSession(); }, 300000));

    // The rows now say what their files measure instead, and are not estimated again.
    for (const auto &row : {first, second}) {
        const vcJobOutcome &done = row->lastOutcome();
        ASSERT_EQ(done.kind, vcJobOutcome::Done);
        ASSERT_TRUE(done.measured.ssim);
        EXPECT_GT(*done.measured.ssim, 0.5);
        EXPECT_LE(*done.measured.ssim, 1.0);
    }
    // A plainly wrong estimate (another quality's, or a unit off) would miss by far more.
    const double ratio = double(first->controls().estimate.bytes) / double(QFileInfo(first->outputFile()).size());
    EXPECT_GT(ratio, 0.5);
    EXPECT_LT(ratio, 2.0);
    q.doc.wantEstimates();
    ASSERT_TRUE(waitFor([&] { return !q.doc.estimates()->held(); }, 5000));
    EXPECT_FALSE(q.doc.estimates()->running());
    EXPECT_EQ(q.doc.estimates()->queued(), 0u);
}
