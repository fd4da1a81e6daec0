// The player must go away even when a read of its file never returns, as reads of some
// /proc files, dead network mounts and stuck devices do. This program replaces the C
// library's read(): a file named "*.never-ends.*" gives its first bytes and then blocks
// its reader for good; every other read goes straight to the kernel. It is a program of
// its own so that the replacement reaches no other test.
#include <framewheel/SWPlayer.h>

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<int> blockedReaders{0};

bool neverEnds(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = 0;
    return std::strstr(target, ".never-ends.") != nullptr;
}

ssize_t trappedRead(int fd, void *buf, size_t count) {
    if (neverEnds(fd) && lseek(fd, 0, SEEK_CUR) >= 64 * 1024) {
        ++blockedReaders;
        for (;;)
            pause();
    }
    return syscall(SYS_read, fd, buf, count);
}

} // namespace

extern "C" ssize_t read(int fd, void *buf, size_t count) { return trappedRead(fd, buf, count); }
extern "C" ssize_t __read_chk(int fd, void *buf, size_t count, size_t) { return trappedRead(fd, buf, count); }

TEST(PlayerTeardown, AReadThatNeverReturnsDoesNotHoldTheWindowOpen) {
    SWPlayer::setDefaultAudioOutput(QStringLiteral("null"));
    QTemporaryDir dir;
    const QString path = dir.filePath("clip.never-ends.mp4");
    ASSERT_TRUE(QFile::copy(testsupport::fixture("clip.mp4"), path));

    auto player = std::make_unique<SWPlayer>();
    ASSERT_TRUE(player->initError().isEmpty());
    player->resize(320, 240);
    player->show();
    player->setPlayFile(path);
    player->play();
    ASSERT_TRUE(testsupport::waitFor([] { return blockedReaders.load() > 0; }, 20000))
        << "libmpv never read past the start of the file";

    // Without a bound the destructor waits on libmpv's shutdown, which waits on the read:
    // a watchdog ends the program with a message instead of letting the run hang.
    std::atomic<bool> gone{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !gone.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!gone.load()) {
            std::fprintf(stderr, "the player's teardown still waits after 30 s\n");
            std::fflush(stderr);
            _exit(1);
        }
    });
    QElapsedTimer t;
    t.start();
    player.reset();
    gone = true;
    watchdog.join();
    EXPECT_LT(t.elapsed(), 10000);
}
