#pragma once
// Ctrl-C, SIGTERM, SIGHUP (terminal closed) and SIGQUIT (Ctrl-\) for the command line: blocked
// from before the first library initialiser runs (so every thread any library starts
// inherits the mask), received by a thread of its own that only raises a flag. main() makes
// the one watcher before anything else; a signal that arrives earlier is held pending and
// handed to it.
#include <atomic>
#include <csignal>
#include <thread>

class SignalWatcher {
public:
    SignalWatcher();
    // The signals stay blocked: a signal in the last moments of a run must not kill it
    // with the default action once the watcher is gone.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher &) = delete;
    SignalWatcher &operator=(const SignalWatcher &) = delete;
    // The signal received, 0 when none.
    int caught() const { return _caught.load(); }
    // The signals that end a run.
    static sigset_t stopSignals();

private:
    sigset_t _set{};
    std::atomic<int> _caught{0};
    std::atomic<bool> _stopping{false};
    std::thread _thread;
};
