#pragma once
// Running work on the main (GUI) thread from any thread.
// Built on a std::mutex-guarded queue drained by a queued call on the application's
// thread, so the hand-over is visible to ThreadSanitizer as well as to Qt.
#include <functional>

namespace foundation {

class MainThread {
public:
    // True on the thread of the QCoreApplication (or the first thread to ask when none exists).
    static bool isMainThread();
    // Queues fn on the main thread and returns at once (also when called on the main thread).
    static void post(std::function<void()> fn);
    // Runs fn on the main thread and waits until it has run. On the main thread it runs directly.
    // Never call it from a worker while the main thread waits for that worker: use
    // waitPumping() on the main thread for such waits.
    static void run(std::function<void()> fn);
    // Main thread only: runs everything queued so far.
    static void drain();
    // Main thread only: waits until done() is true, running queued work meanwhile so that
    // workers blocked in run() can finish. Returns false on timeout (ms < 0: no limit).
    static bool waitPumping(const std::function<bool()> &done, int timeoutMs = -1);
};

} // namespace foundation
