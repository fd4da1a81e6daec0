#include "foundation/WorkerGroup.h"

#include "foundation/MainThread.h"

#include <QElapsedTimer>

namespace foundation {

WorkerGroup::~WorkerGroup() {
    close();
    joinAll();
}

bool WorkerGroup::spawn(std::function<void()> fn) {
    std::lock_guard l(_lock);
    if (_closed)
        return false;
    reapLocked();
    auto done = std::make_shared<std::atomic<bool>>(false);
    ++_running;
    _workers.push_back(Worker{std::thread([this, done, fn = std::move(fn)] {
                                  fn();
                                  --_running;
                                  done->store(true);
                              }),
                              done});
    return true;
}

void WorkerGroup::close() {
    std::lock_guard l(_lock);
    _closed = true;
}

void WorkerGroup::reapLocked() {
    for (auto it = _workers.begin(); it != _workers.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = _workers.erase(it);
        } else {
            ++it;
        }
    }
}

bool WorkerGroup::joinAll(int timeoutMs, bool pumpMainThread) {
    auto allDone = [this] { return _running.load() == 0; };
    bool ok = true;
    if (pumpMainThread && MainThread::isMainThread()) {
        ok = MainThread::waitPumping(allDone, timeoutMs);
    } else {
        QElapsedTimer timer;
        timer.start();
        while (!allDone()) {
            if (timeoutMs >= 0 && timer.elapsed() > timeoutMs) {
                ok = false;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (!ok)
        return false;
    // A thread may spawn another before it ends; collect until none is left.
    for (;;) {
        std::list<Worker> batch;
        {
            std::lock_guard l(_lock);
            batch.swap(_workers);
        }
        if (batch.empty())
            return true;
        for (Worker &w : batch)
            w.thread.join();
    }
}

} // namespace foundation
