#pragma once
// Pause and cancel of one conversion, shared between the converting thread and the
// threads that steer it. Internal to engine/.
//
// The converting thread calls checkpoint() between units of work: it returns at once
// while running, blocks on a condition variable while paused (no CPU, and since no work
// is handed to FFmpeg its codec threads sit idle too) and answers false once cancel()
// was called. FFmpeg's blocking I/O observes cancel through interrupt().
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace fw {

class SessionControl {
public:
    using Clock = std::chrono::steady_clock;

    void cancel();
    bool cancelled() const { return _cancelled.load(std::memory_order_acquire); }
    // Paused <-> running.
    void togglePause();
    bool paused() const { return _paused.load(std::memory_order_acquire); }
    // Blocks while paused; false when cancelled.
    bool checkpoint();
    // Total time spent paused, a pause in progress included.
    std::chrono::microseconds pausedTime() const;

    // Until the given time, interrupt() also answers 1 once it has passed (bounds the
    // time spent opening a file that keeps the demuxer busy). Cleared with reset.
    void setDeadline(Clock::time_point until);
    void clearDeadline();
    // libavformat interrupt callback; opaque is the SessionControl.
    static int interrupt(void *opaque);

private:
    mutable std::mutex _m;
    std::condition_variable _cv;
    std::atomic<bool> _cancelled{false};
    std::atomic<bool> _paused{false};
    std::atomic<int64_t> _deadlineNs{0};
    Clock::time_point _pauseBegan{};
    std::chrono::microseconds _pausedTotal{0};
};

// Time spent working since it was started: the wall clock less the pauses taken meanwhile.
class Stopwatch {
public:
    explicit Stopwatch(const SessionControl &control)
        : _control(control), _began(SessionControl::Clock::now()), _pausedBefore(control.pausedTime()) {}
    std::chrono::microseconds elapsed() const;
    double seconds() const { return std::chrono::duration<double>(elapsed()).count(); }

private:
    const SessionControl &_control;
    SessionControl::Clock::time_point _began;
    std::chrono::microseconds _pausedBefore;
};

// Turns the position of the conversion into the delegate's numbers: percent over the
// trimmed length, elapsed and remaining time without the paused spans. Reports at most
// every `interval`, and never goes backwards.
class ProgressMeter {
public:
    using Report = void (*)(void *ctx, double percent, int64_t pastUs, int64_t leftUs);
    ProgressMeter(const SessionControl &control, Report report, void *ctx,
                  std::chrono::milliseconds interval = std::chrono::milliseconds(200));
    void begin();
    // percent in 0..100 (clamped below 100 until finish()).
    void update(double percent);
    // The last report of a success: exactly 100 and nothing left.
    void finish();

private:
    int64_t elapsedUs() const;
    const SessionControl &_control;
    Report _report;
    void *_ctx;
    std::chrono::milliseconds _interval;
    std::optional<Stopwatch> _watch;
    SessionControl::Clock::time_point _lastReport{};
    double _lastPercent = 0;
    bool _reportedOnce = false;
};

} // namespace fw
