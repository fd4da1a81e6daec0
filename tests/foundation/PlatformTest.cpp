#include <foundation/BundleInfo.h>
#include <foundation/Log.h>
#include <foundation/MainThread.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Settings.h>
#include <foundation/Strings.h>

#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace foundation;

TEST(Settings, WritesReachTheFileAtOnce) {
    Settings::setValue("allowConvertingMaxCount", 4);
    // A second, independent reader of the same file sees the value without any further step.
    QSettings other(Settings::fileName(), QSettings::NativeFormat);
    EXPECT_EQ(other.value("allowConvertingMaxCount").toInt(), 4);
    other.setValue("allowConvertingMaxCount", 7);
    other.sync();
    EXPECT_EQ(Settings::value("allowConvertingMaxCount").toInt(), 7);
    Settings::remove("allowConvertingMaxCount");
    EXPECT_FALSE(Settings::contains("allowConvertingMaxCount"));
    EXPECT_EQ(Settings::value("allowConvertingMaxCount", 2).toInt(), 2);
    EXPECT_TRUE(Settings::fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
}

TEST(NotificationCenter, DeliversToObserversAndForgetsDestroyedOnes) {
    auto &center = NotificationCenter::defaultCenter();
    QVariantMap got;
    int calls = 0;
    {
        QObject ctx;
        center.addObserver(&ctx, "addFilesKey", [&](const QString &, const QVariantMap &info) {
            got = info;
            ++calls;
        });
        center.post("otherKey");
        center.post("addFilesKey", {{"addFiles", QStringList{"/a", "/b"}}});
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(got.value("addFiles").toStringList(), QStringList({"/a", "/b"}));
        EXPECT_EQ(center.observerCount("addFilesKey"), 1);
    }
    EXPECT_EQ(center.observerCount("addFilesKey"), 0);
    center.post("addFilesKey");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, PostFromWorkerRunsOnObserversThread) {
    auto &center = NotificationCenter::defaultCenter();
    QObject ctx;
    std::atomic<bool> onMain{false};
    std::atomic<int> calls{0};
    center.addObserver(&ctx, "globalPressUpKey", [&](const QString &, const QVariantMap &) {
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        ++calls;
    });
    std::thread worker([&] { center.post("globalPressUpKey"); });
    worker.join();
    EXPECT_EQ(calls.load(), 0); // queued, not run on the worker
    EXPECT_TRUE(testsupport::waitFor([&] { return calls.load() == 1; }));
    EXPECT_TRUE(onMain.load());
}

TEST(MainThread, RunWaitsPostKeepsOrderAndPumpingUnblocksWorkers) {
    std::vector<int> order;
    std::atomic<bool> ranOnMain{false}, workerDone{false};
    std::thread worker([&] {
        MainThread::post([&] { order.push_back(1); });
        MainThread::post([&] { order.push_back(2); });
        MainThread::run([&] {
            order.push_back(3);
            ranOnMain = MainThread::isMainThread();
        });
        // run() returned only after the work ran.
        order.push_back(4);
        workerDone = true;
    });
    // The main thread waits for the worker while letting its run() through.
    EXPECT_TRUE(MainThread::waitPumping([&] { return workerDone.load(); }, 10000));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(ranOnMain.load());

    // On the main thread run() is direct, post() is deferred.
    int x = 0;
    MainThread::run([&] { x = 1; });
    EXPECT_EQ(x, 1);
    MainThread::post([&] { x = 2; });
    EXPECT_EQ(x, 1);
    MainThread::drain();
    EXPECT_EQ(x, 2);
}

// Conversion threads post to the main thread at once and often (a row's display, its end,
// its start of writing) while the main thread runs its own event loop. Each thread's work
// arrives whole and in order, through the loop alone, and the hand-over holds no race that
// ThreadSanitizer can find (this test runs under it).
TEST(MainThread, PostsFromManyThreadsAtOnceArriveThroughTheEventLoop) {
    constexpr int kThreads = 4, kPosts = 400;
    std::vector<std::vector<int>> arrived(kThreads);
    std::atomic<int> posted{0};
    int ran = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPosts; ++i) {
                MainThread::post([&, t, i] {
                    arrived[size_t(t)].push_back(i);
                    ++ran;
                });
                ++posted;
                std::this_thread::sleep_for(std::chrono::microseconds(50 * (i % 5)));
            }
        });
    // The main thread posts to itself as a window does (updates, timers, deletions), so
    // that Qt's list of posted events grows and shrinks under the threads' posts.
    QObject self;
    QElapsedTimer clock;
    clock.start();
    for (int round = 0; ran < kThreads * kPosts && clock.elapsed() < 20000; ++round) {
        for (int k = 0; k < round % 97; ++k)
            QCoreApplication::postEvent(&self, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
    }
    for (std::thread &t : threads)
        t.join();
    ASSERT_EQ(ran, kThreads * kPosts) << posted.load() << " were posted";
    for (const std::vector<int> &one : arrived) {
        ASSERT_EQ(one.size(), size_t(kPosts));
        EXPECT_TRUE(std::is_sorted(one.begin(), one.end()));
    }
}

TEST(Strings, FallsBackToDefaultThenKey) {
    EXPECT_EQ(Strings::localized("Lan_NoSuchKey_Test", "Default text"), "Default text");
    EXPECT_EQ(Strings::localized("NoSuchKeyAtAll"), "NoSuchKeyAtAll");
}

TEST(LogAndBundle, FixedLinesReachTheSinkAndNamesAreFixed) {
    QStringList lines;
    Log::setSink([&](const QString &l) { lines << l; });
    Log::line("SaveHistoryFile Failed");
    Log::setSink(nullptr);
    Log::line("not captured");
    EXPECT_EQ(lines, QStringList{"SaveHistoryFile Failed"});
    EXPECT_EQ(BundleInfo::value("CFBundleName"), "Cinvora");
    EXPECT_EQ(BundleInfo::value("CFBundleExecutable"), "Cinvora");
}
