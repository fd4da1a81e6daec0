#include "vcLeftTimeEstimator.h"

#include <algorithm>
#include <cmath>

namespace {
// Below this much measured time a rate is mostly noise: the whole run so far is used.
constexpr int64_t kShortestSpanUs = 2'000'000;
} // namespace

vcLeftTimeEstimator::vcLeftTimeEstimator(int64_t windowUs, int64_t settleUs)
    : _windowUs(std::max<int64_t>(windowUs, kShortestSpanUs)), _settleUs(std::max<int64_t>(settleUs, 1)) {}

int64_t vcLeftTimeEstimator::update(double percent, int64_t pastUs) {
    percent = std::clamp(percent, 0.0, 100.0);
    pastUs = std::max<int64_t>(pastUs, 0);
    if (!_samples.empty() && pastUs < _samples.back().pastUs)
        pastUs = _samples.back().pastUs; // never backwards
    _samples.push_back({pastUs, percent});
    // Keep one sample at or before the window's start, as the base of the rate.
    while (_samples.size() > 2 && _samples[1].pastUs <= pastUs - _windowUs)
        _samples.pop_front();
    if (percent >= 100.0) {
        _shownUs = 0;
        _shownAtUs = pastUs;
        return 0;
    }

    const Sample &base = _samples.front();
    double ratePerUs = 0; // percent per microsecond
    if (pastUs - base.pastUs >= kShortestSpanUs && percent > base.percent)
        ratePerUs = (percent - base.percent) / double(pastUs - base.pastUs);
    else if (pastUs > 0 && percent > 0)
        ratePerUs = percent / double(pastUs);
    if (ratePerUs <= 0)
        return _shownUs < 0 ? 0 : int64_t(std::max(0.0, _shownUs - double(pastUs - _shownAtUs)));
    const double measured = (100.0 - percent) / ratePerUs;

    if (_shownUs < 0) {
        _shownUs = measured;
    } else {
        // What was shown has counted down since; move it part of the way to the measurement.
        const double dt = double(pastUs - _shownAtUs);
        const double countedDown = std::max(0.0, _shownUs - dt);
        const double follow = 1.0 - std::exp(-dt / double(_settleUs));
        _shownUs = countedDown + (measured - countedDown) * follow;
    }
    _shownAtUs = pastUs;
    return int64_t(std::max(0.0, _shownUs));
}
