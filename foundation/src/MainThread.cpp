#include "foundation/MainThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

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

// Lives on the main thread; a queued call into it drains the task queue.
QObject *dispatcher() {
    static QObject *d = [] {
        auto *o = new QObject;
        if (QThread *t = mainQThread())
            o->moveToThread(t);
        return o;
    }();
    return d;
}

void scheduleWake() {
    QObject *d = dispatcher();
    QMetaObject::invokeMethod(
        d, [] { MainThread::drain(); }, Qt::QueuedConnection);
}

} // namespace

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
