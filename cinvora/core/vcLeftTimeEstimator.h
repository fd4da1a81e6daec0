#pragma once
// The remaining time of one conversion, for its row. The engine's own figure divides the
// whole elapsed time by the whole progress: when a second conversion starts or ends beside
// it, that figure is wrong for the rest of the run. Here the rate is measured over the last
// stretch of conversion time, from the first progress on (the start-up before it is spent
// once) and since the machine's share last changed, and the figure shown counts down
// between samples, following a new rate within a couple of seconds instead of jumping
// with each sample.
//
// Times are conversion time (the engine's elapsed time, which leaves out pauses), so a
// pause neither slows the measured rate nor moves the figure. Not thread-safe: one
// conversion thread feeds it.
#include <cstdint>
#include <deque>

class vcLeftTimeEstimator {
public:
    // windowUs: how much recent conversion time the rate is measured over.
    // settleUs: how quickly the figure follows a new rate (time constant).
    explicit vcLeftTimeEstimator(int64_t windowUs = 20'000'000, int64_t settleUs = 2'000'000);

    // A progress report: percent 0..100 over the conversion, conversion time so far in
    // microseconds (pauses left out). Answers the remaining microseconds to show: -1 while
    // no rate is known yet, at least a second until the conversion is done, 0 then.
    int64_t update(double percent, int64_t pastUs);
    // The machine's share changed (another conversion started or ended beside this one):
    // the rate is measured afresh from the next report; the figure counts down meanwhile.
    void restartRate();

private:
    struct Sample {
        int64_t pastUs;
        double percent;
    };
    int64_t _windowUs;
    int64_t _settleUs;
    std::deque<Sample> _samples;
    double _shownUs = -1;
    int64_t _shownAtUs = 0;
};
