#pragma once
// Threads started on behalf of one owner. The owner closes the group and joins every
// thread before it goes away, so no thread outlives the objects it works on.
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace foundation {

class WorkerGroup {
public:
    WorkerGroup() = default;
    ~WorkerGroup();
    WorkerGroup(const WorkerGroup &) = delete;
    WorkerGroup &operator=(const WorkerGroup &) = delete;

    // Starts fn on a new thread. After close() nothing is started and false is returned.
    bool spawn(std::function<void()> fn);
    // Refuses further spawns.
    void close();
    // Waits for every thread. On the main thread, queued main-thread work keeps running
    // meanwhile (unless pumpMainThread is false), so a thread waiting for the main thread
    // can finish. False on timeout.
    bool joinAll(int timeoutMs = -1, bool pumpMainThread = true);
    int running() const { return _running.load(); }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void reapLocked();

    mutable std::mutex _lock;
    std::list<Worker> _workers;
    std::atomic<int> _running{0};
    bool _closed = false;
};

} // namespace foundation
