#include "foundation/MainThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

namespace foundation {
namespace {

struct Queue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    bool wakeScheduled = false;
};

Queue &queue() {
    static Queue q;
    return q;
}

QThread *mainQThread() {
    if (auto *app = QCoreApplication::instance())
        return app->thread();
    return nullptr;
}

// The main thread is woken through an eventfd it watches, not through an event posted to
// it: Qt hands posted events between threads under its own locks, which ThreadSanitizer
// cannot see, so every hand-over read as a race on Qt's event list. A write and a read on
// a descriptor it does see; the tasks themselves pass under the queue's lock.
int wakeFd() {
    static const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd;
}

void scheduleWake() {
    const int fd = wakeFd();
    if (fd < 0) {
        // No descriptor to be had (the process is out of them): Qt's own queue still wakes it.
        if (auto *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { MainThread::drain(); }, Qt::QueuedConnection);
        return;
    }
    const uint64_t one = 1;
    // A full counter (never in practice) already wakes the reader; nothing else can fail.
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

// Made on the main thread as each application object is made, and owned by it.
void watchWakes() {
    auto *app = QCoreApplication::instance();
    const int fd = wakeFd();
    if (!app || fd < 0)
        return; // posts are woken through Qt's queue, or drained by waitPumping
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [fd] {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
        MainThread::drain();
    });
    // Work posted before the application existed runs once its loop turns.
    std::lock_guard lock(queue().lock);
    if (!queue().tasks.empty())
        scheduleWake();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchWakes)

bool MainThread::isMainThread() {
    QThread *t = mainQThread();
    return t ? QThread::currentThread() == t : true;
}

void MainThread::post(std::function<void()> fn) {
    bool wake = false;
    {
        Queue &q = queue();
        std::lock_guard lock(q.lock);
        q.tasks.push_back(std::move(fn));
        if (!q.wakeScheduled) {
            q.wakeScheduled = true;
            wake = true;
        }
        q.changed.notify_all();
    }
    if (wake)
        scheduleWake();
}

void MainThread::run(std::function<void()> fn) {
    if (isMainThread()) {
        fn();
        return;
    }
    struct Done {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
    };
    auto state = std::make_shared<Done>();
    post([state, fn = std::move(fn)] {
        fn();
        std::lock_guard lock(state->m);
        state->done = true;
        state->cv.notify_all();
    });
    std::unique_lock lock(state->m);
    state->cv.wait(lock, [&] { return state->done; });
}

void MainThread::drain() {
    Queue &q = queue();
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(q.lock);
            if (q.tasks.empty()) {
                q.wakeScheduled = false;
                return;
            }
            task = std::move(q.tasks.front());
            q.tasks.pop_front();
        }
        task();
    }
}

bool MainThread::waitPumping(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    Queue &q = queue();
    while (!done()) {
        drain();
        if (timeoutMs >= 0 && timer.elapsed() > timeoutMs)
            return done();
        std::unique_lock lock(q.lock);
        q.changed.wait_for(lock, std::chrono::milliseconds(5), [&] { return !q.tasks.empty(); });
    }
    return true;
}

} // namespace foundation
