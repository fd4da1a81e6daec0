#pragma once
// "Smallest file at a quality": the search for the largest constant-rate factor whose
// pictures still measure the target SSIM. It encodes a few short samples spread over the
// kept range (video only, into a scratch file) at each factor it tries, bisecting between
// the encoder's ends with each step aimed by the measurements so far, and stops after a
// handful of probes. The whole file then says whether the samples told the truth:
// correction() names a better factor for one more conversion when it missed. Internal to
// engine/.
#include "Transcoder.h"

#include <map>
#include <optional>

namespace fw {

class QualitySearch {
public:
    using Progress = std::function<void(double percent)>; // 0..100 of the search
    QualitySearch(const ConvertRequest &base, SessionControl &control, Progress progress);

    // False on a refusal (an encoder without such a factor), a failed probe or a cancel,
    // with the reason in *error (empty for a cancel).
    bool run(QString *error);
    // The factor found (after run() returned true); nothing when there is no video to
    // encode, so the conversion goes on without one.
    std::optional<int> crf() const { return _crf; }
    // The search's share of the whole conversion's work, 0..1, known once run() began.
    double share() const { return _share; }
    // Given what the whole file made with `crf` measured: the factor to make it with once
    // more, or nothing to keep it. A first file that fell short is made again at a lower
    // factor. One that met the target says by how much the samples underrate the whole;
    // where that puts a larger factor within reach, it is tried, and should the smaller
    // file fall short, the first factor is made again. So at most three files are made, and
    // the one kept met the target unless even the correction missed it.
    std::optional<int> next(int crf, double measured);
    int probes() const { return int(_measured.size()); }

    // Measured SSIM within this much below the target counts as met: the samples' and the
    // whole file's measurements differ by about that much.
    static constexpr double kTolerance = 0.0015;

private:
    // The samples' SSIM at one factor; nothing without video. Negative rc on failure.
    int probe(int crf, std::optional<double> *ssim, QString *why);
    double slopeNear(int crf) const;
    std::optional<int> correction(int crf, double measured) const;
    std::optional<int> refinement(int crf, double measured) const;

    ConvertRequest _base;
    SessionControl &_control;
    Progress _progress;
    double _target = 0;
    CrfRange _range;
    std::vector<std::pair<int64_t, int64_t>> _samples; // start, length (us)
    std::map<int, double> _measured;                   // factor -> samples' SSIM
    std::map<int, double> _whole;                      // factor -> the whole file's SSIM
    std::optional<int> _crf;
    double _share = 0;
    int _plannedRuns = 1, _runsDone = 0;
    QString _scratch;
};

} // namespace fw
