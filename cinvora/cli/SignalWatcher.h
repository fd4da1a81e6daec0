#pragma once
// Ctrl-C, SIGTERM, SIGHUP (terminal closed) and SIGQUIT (Ctrl-\) for the command line: blocked in every thread started after this
// object (they inherit the mask), received by a thread of its own that only raises a flag.
#include <atomic>
#include <csignal>
#include <thread>

class SignalWatcher {
public:
    SignalWatcher();
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher &) = delete;
    SignalWatcher &operator=(const SignalWatcher &) = delete;
    // The signal received, 0 when none.
    int caught() const { return _caught.load(); }

private:
    sigset_t _set{};
    sigset_t _old{};
    std::atomic<int> _caught{0};
    std::thread _thread;
};
