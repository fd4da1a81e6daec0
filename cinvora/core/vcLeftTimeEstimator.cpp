#include "vcLeftTimeEstimator.h"

#include <algorithm>
#include <cmath>

namespace {
// Below this much measured time a rate is mostly the noise of frames and reports: no figure
// is made from it.
constexpr int64_t kShortestSpanUs = 1'000'000;
// A conversion that has not ended has time left: the figure never says none before the end.
constexpr int64_t kLeastLeftUs = 1'000'000;
} // namespace

vcLeftTimeEstimator::vcLeftTimeEstimator(int64_t windowUs, int64_t settleUs)
    : _windowUs(std::max<int64_t>(windowUs, kShortestSpanUs)), _settleUs(std::max<int64_t>(settleUs, 1)) {}

int64_t vcLeftTimeEstimator::update(double percent, int64_t pastUs) {
    percent = std::clamp(percent, 0.0, 100.0);
    pastUs = std::max<int64_t>(pastUs, 0);
    if (!_samples.empty() && pastUs < _samples.back().pastUs)
        pastUs = _samples.back().pastUs; // never backwards
    if (percent >= 100.0) {
        _shownUs = 0;
        _shownAtUs = pastUs;
        return 0;
    }
    // The time before anything came out (opening, the encoder filling its look-ahead) is
    // spent once: it says nothing about the rate of the rest.
    if (percent <= 0.0 && _samples.empty() && _shownUs < 0)
        return -1;
    _samples.push_back({pastUs, percent});
    // Keep one sample at or before the window's start, as the base of the rate.
    while (_samples.size() > 2 && _samples[1].pastUs <= pastUs - _windowUs)
        _samples.pop_front();

    const Sample &base = _samples.front();
    const int64_t span = pastUs - base.pastUs;
    const double countedDown = _shownUs < 0 ? -1.0 : std::max(0.0, _shownUs - double(pastUs - _shownAtUs));
    if (span < kShortestSpanUs || percent <= base.percent) {
        // No rate yet, or a stall: what was shown counts down, never to nothing.
        if (_shownUs < 0)
            return -1;
        return std::max<int64_t>(kLeastLeftUs, int64_t(countedDown));
    }
    const double ratePerUs = (percent - base.percent) / double(span);
    const double measured = (100.0 - percent) / ratePerUs;
    if (_shownUs < 0) {
        _shownUs = measured;
    } else {
        // What was shown has counted down since; move it part of the way to the measurement.
        const double dt = double(pastUs - _shownAtUs);
        const double follow = 1.0 - std::exp(-dt / double(_settleUs));
        _shownUs = countedDown + (measured - countedDown) * follow;
    }
    _shownAtUs = pastUs;
    return std::max<int64_t>(kLeastLeftUs, int64_t(_shownUs));
}

void vcLeftTimeEstimator::restartRate() { _samples.clear(); }
