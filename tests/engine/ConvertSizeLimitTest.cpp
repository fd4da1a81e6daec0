// A size-limited conversion steered from another thread: its progress runs once over both
// passes, pause holds it in the first, cancel ends it in the last and leaves nothing; and
// the budget's floor, which decides what is refused.
#include "SessionTestSupport.h"
#include "SizeFit.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <thread>

using namespace sessiontest;
using testsupport::fixture;

TEST(SizeBudget, TheSmallestSizeNamedIsTheFirstTheFloorAccepts) {
    const int w = 320, h = 240;
    const double fps = 25, seconds = 10;
    const int64_t other = 100000;
    const fw::SizeBudget roomy = fw::sizeBudget(1000000, fw::kSizeAim, seconds, other, w, h, fps);
    EXPECT_EQ(roomy.videoBitRate, std::llround((fw::kSizeAim * 1e6 - 1e5) * 8 / seconds));
    const fw::SizeBudget tight = fw::sizeBudget(120000, fw::kSizeAim, seconds, other, w, h, fps);
    EXPECT_EQ(tight.videoBitRate, 0);
    ASSERT_GT(tight.smallestBytes, 120000);
    const double floorRate = SWConvertOption::kMinBitsPerPixel * w * h * fps;
    const fw::SizeBudget atSmallest = fw::sizeBudget(tight.smallestBytes, fw::kSizeAim, seconds, other, w, h, fps);
    EXPECT_GE(double(atSmallest.videoBitRate), floorRate);
    EXPECT_EQ(fw::sizeBudget(tight.smallestBytes - 1, fw::kSizeAim, seconds, other, w, h, fps).videoBitRate, 0);
    // Sound that alone outweighs the limit leaves nothing for the picture.
    EXPECT_EQ(fw::sizeBudget(1000000, fw::kSizeAim, seconds, 990000, w, h, fps).videoBitRate, 0);
}

TEST(SizeLimitSession, ProgressSpansBothPassesAndPauseAndCancelWorkInEach) {
    const QString dir = testsupport::freshDir("sizesession");
    constexpr int64_t kLimit = 1500000;
    // Paused in the first pass, resumed, finished: one progress from 0 to 100.
    {
        const QString out = dir + "/paused.mp4";
        SWConvertSession session;
        Recorder recorder;
        session.setDelegate(&recorder);
        session.option().setMaxSizeBytes(kLimit);
        session.addInputFile(fixture("clip.mp4"));
        session.setOutputFileName(out);
        std::atomic<int> result{-1};
        std::thread t([&] { result = session.start() ? 1 : 0; });
        ASSERT_TRUE(testsupport::waitFor([&] { return recorder.last() > 5 || result >= 0; }, 60000));
        ASSERT_LT(recorder.last(), 35) << "the first pass is over before it could be paused";
        session.pause();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int reports = recorder.count();
        const double held = recorder.last();
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        EXPECT_EQ(recorder.last(), held);
        EXPECT_LE(recorder.count(), reports + 1);
        EXPECT_EQ(result.load(), -1);
        session.pause();
        t.join();
        ASSERT_EQ(result.load(), 1) << session.lastError().toStdString();
        const std::vector<double> p = recorder.percents();
        EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
        EXPECT_EQ(p.back(), 100.0);
        // Reports on both sides of the passes' border, not one pass's 0..100 twice.
        EXPECT_TRUE(std::any_of(p.begin(), p.end(), [](double v) { return v > 10 && v < 35; }));
        EXPECT_TRUE(std::any_of(p.begin(), p.end(), [](double v) { return v > 50 && v < 100; }));
        EXPECT_LE(QFileInfo(out).size(), kLimit);
        EXPECT_GE(QFileInfo(out).size(), kLimit * 95 / 100);
    }
    // Cancelled in the final pass: nothing under the name, no partial file.
    {
        const QString out = dir + "/cancelled.mp4";
        SWConvertSession session;
        Recorder recorder;
        session.setDelegate(&recorder);
        session.option().setMaxSizeBytes(kLimit);
        session.addInputFile(fixture("clip.mp4"));
        session.setOutputFileName(out);
        std::atomic<int> result{-1};
        std::thread t([&] { result = session.start() ? 1 : 0; });
        ASSERT_TRUE(testsupport::waitFor([&] { return recorder.last() > 50 || result >= 0; }, 60000));
        session.cancel();
        EXPECT_TRUE(testsupport::waitFor([&] { return result >= 0; }, 2000));
        t.join();
        EXPECT_EQ(result.load(), 0);
        EXPECT_EQ(session.outcome(), SWConvertOutcome::Cancelled);
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_TRUE(QDir(dir).entryList({".*cinvora-part"}, QDir::Hidden | QDir::Files).isEmpty());
    }
}
