#include "SessionControl.h"

#include <algorithm>

namespace fw {

void SessionControl::cancel() {
    {
        std::lock_guard lock(_m);
        _cancelled.store(true, std::memory_order_release);
    }
    _cv.notify_all();
}

void SessionControl::togglePause() {
    {
        std::lock_guard lock(_m);
        const bool nowPaused = !_paused.load(std::memory_order_relaxed);
        if (nowPaused) {
            _pauseBegan = Clock::now();
        } else {
            _pausedTotal += std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - _pauseBegan);
        }
        _paused.store(nowPaused, std::memory_order_release);
    }
    _cv.notify_all();
}

bool SessionControl::checkpoint() {
    if (!_paused.load(std::memory_order_acquire))
        return !_cancelled.load(std::memory_order_acquire);
    std::unique_lock lock(_m);
    _cv.wait(lock,
             [this] { return !_paused.load(std::memory_order_relaxed) || _cancelled.load(std::memory_order_relaxed); });
    return !_cancelled.load(std::memory_order_relaxed);
}

std::chrono::microseconds SessionControl::pausedTime() const {
    std::lock_guard lock(_m);
    auto total = _pausedTotal;
    if (_paused.load(std::memory_order_relaxed))
        total += std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - _pauseBegan);
    return total;
}

void SessionControl::setDeadline(Clock::time_point until) {
    _deadlineNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch()).count());
}

void SessionControl::clearDeadline() { _deadlineNs.store(0); }

int SessionControl::interrupt(void *opaque) {
    const auto *c = static_cast<const SessionControl *>(opaque);
    if (!c)
        return 0;
    if (c->cancelled())
        return 1;
    const int64_t deadline = c->_deadlineNs.load(std::memory_order_relaxed);
    if (deadline != 0 &&
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count() > deadline)
        return 1;
    return 0;
}

ProgressMeter::ProgressMeter(const SessionControl &control, Report report, void *ctx,
                             std::chrono::milliseconds interval)
    : _control(control), _report(report), _ctx(ctx), _interval(interval) {}

std::chrono::microseconds Stopwatch::elapsed() const {
    const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(SessionControl::Clock::now() - _began);
    return std::max(std::chrono::microseconds(0), wall - (_control.pausedTime() - _pausedBefore));
}

void ProgressMeter::begin() {
    _watch.emplace(_control);
    _lastReport = SessionControl::Clock::now();
}

int64_t ProgressMeter::elapsedUs() const { return _watch ? _watch->elapsed().count() : 0; }

void ProgressMeter::update(double percent) {
    const auto now = SessionControl::Clock::now();
    if (_reportedOnce && now - _lastReport < _interval)
        return;
    percent = std::clamp(percent, _lastPercent, 99.9);
    _lastPercent = percent;
    _lastReport = now;
    _reportedOnce = true;
    const int64_t past = elapsedUs();
    const int64_t left = percent > 0.0 ? static_cast<int64_t>(double(past) * (100.0 - percent) / percent) : 0;
    if (_report)
        _report(_ctx, percent, past, left);
}

void ProgressMeter::finish() {
    _lastPercent = 100.0;
    if (_report)
        _report(_ctx, 100.0, elapsedUs(), 0);
}

} // namespace fw
