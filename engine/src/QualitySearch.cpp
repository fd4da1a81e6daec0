#include "QualitySearch.h"

#include <foundation/Log.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

namespace fw {

namespace {

// Probes a search may make: bisecting a range of 30 to 50 factors takes five or six.
constexpr int kMaxProbes = 6;
// Video encoded per probe, over all its samples: a tenth of the range, within these ends.
constexpr int64_t kMinProbeUs = 1500000, kMaxProbeUs = 6000000;
// Ranges at least this long get three samples (beginning, middle, end); shorter ones one,
// from their middle.
constexpr int64_t kThreeSamplesFromUs = 30000000;
// SSIM lost per step of the factor where the probes say nothing nearer.
constexpr double kDefaultSlope = 0.002;
// How far past the factor the samples chose the whole file's measurement may lead.
constexpr int kMaxRefineSteps = 6;

} // namespace

QualitySearch::QualitySearch(const ConvertRequest &base, SessionControl &control, Progress progress)
    : _base(base), _control(control), _progress(std::move(progress)), _target(base.option.targetSsim()) {}

bool QualitySearch::run(QString *error) {
    error->clear();
    const SWConvertOption &opt = _base.option;
    QString why;
    const AVOutputFormat *fmt = resolveContainer(opt.format(), _base.output, &why);
    if (!fmt || opt.video_disable() || !containerHoldsType(fmt, AVMEDIA_TYPE_VIDEO))
        return true; // no picture to aim at; the conversion itself reports what is wrong
    // The kept range, from what the file states; an input without pictures has nothing to aim at.
    int64_t length = 0;
    {
        QString err;
        const InputContextPtr in = openInput(_base.input, {&SessionControl::interrupt, &_control}, &err, true);
        if (!in) {
            if (_control.cancelled())
                return false;
            *error = QStringLiteral("cannot read the input: ") + err;
            return false;
        }
        if (av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) < 0)
            return true;
        const int64_t whole = in->duration > 0 ? in->duration : 0;
        const int64_t start = std::max<int64_t>(0, opt.start_time());
        length = opt.recording_time() > 0 ? opt.recording_time() : std::max<int64_t>(0, whole - start);
        if (whole > 0)
            length = std::min(length, std::max<int64_t>(0, whole - start));
    }
    const AVCodec *encoder = chooseEncoder(fmt, AVMEDIA_TYPE_VIDEO, opt.videoCodeName());
    const std::optional<CrfRange> range = crfRange(encoder);
    if (!range) {
        *error = QStringLiteral("a quality target needs an encoder with a constant-rate factor (x264, x265, "
                                "SVT-AV1, VP9); %1 has none")
                     .arg(QLatin1String(encoder ? encoder->name : "the container's encoder"));
        return false;
    }
    _range = *range;
    const int64_t start = std::max<int64_t>(0, opt.start_time());
    const int64_t perProbe = length > 0 ? std::clamp<int64_t>(length / 10, kMinProbeUs, kMaxProbeUs) : kMaxProbeUs;
    const int count = length >= kThreeSamplesFromUs ? 3 : 1;
    const int64_t each = length > 0 ? std::min(length, perProbe / count) : perProbe;
    for (int i = 0; i < count; ++i) {
        const int64_t room = std::max<int64_t>(0, length - each);
        _samples.emplace_back(start + int64_t(double(room) * (i + 0.5) / count), each);
    }
    const int span = _range.worst - _range.best + 1;
    _plannedRuns = std::min(kMaxProbes, int(std::ceil(std::log2(double(span))))) * count;
    const double probeSeconds = double(_plannedRuns) * double(each);
    _share = length > 0 ? probeSeconds / (probeSeconds + double(length)) : 0.5;

    QTemporaryDir scratch(QDir::temp().filePath(QStringLiteral("cinvora-probe-XXXXXX")));
    if (!scratch.isValid()) {
        *error = QStringLiteral("cannot make a scratch folder for the quality search");
        return false;
    }
    const QString suffix = QFileInfo(_base.output).suffix();
    _scratch = scratch.filePath(suffix.isEmpty() ? QStringLiteral("probe") : QStringLiteral("probe.") + suffix);

    // The largest factor in [lo, hi] that reaches the target; lo is taken on trust.
    int lo = _range.best, hi = _range.worst;
    while (lo < hi && int(_measured.size()) < kMaxProbes) {
        int next = (lo + hi + 1) / 2;
        // Aimed between the nearest probes on either side of the target, when both exist.
        const auto above =
            std::find_if(_measured.rbegin(), _measured.rend(), [this](const auto &m) { return m.second >= _target; });
        const auto below =
            std::find_if(_measured.begin(), _measured.end(), [this](const auto &m) { return m.second < _target; });
        if (above != _measured.rend() && below != _measured.end() && above->second > below->second) {
            const double t = (above->second - _target) / (above->second - below->second);
            next = above->first + int(std::lround(t * (below->first - above->first)));
        }
        next = std::clamp(next, lo + 1, hi);
        std::optional<double> ssim;
        QString why;
        if (const int rc = probe(next, &ssim, &why); rc < 0) {
            if (!_control.cancelled())
                *error = QStringLiteral("the quality search failed: %1").arg(why);
            return false;
        }
        if (!ssim)
            return true; // nothing measurable (no video in the input): no factor
        _measured[next] = *ssim;
        if (*ssim >= _target)
            lo = next;
        else
            hi = next - 1;
    }
    _crf = lo;
    QStringList seen;
    for (const auto &[crf, ssim] : _measured)
        seen << QStringLiteral("%1: %2").arg(crf).arg(ssim, 0, 'f', 4);
    foundation::Log::debug(QStringLiteral("quality target %1 for %2: CRF %3 (%4)")
                               .arg(_target)
                               .arg(_base.input)
                               .arg(lo)
                               .arg(seen.join(QStringLiteral(", "))));
    return true;
}

int QualitySearch::probe(int crf, std::optional<double> *ssim, QString *why) {
    double sum = 0;
    int64_t frames = 0;
    for (const auto &[start, length] : _samples) {
        ConvertRequest r = _base;
        r.writeTo = _scratch;
        r.crf = crf;
        r.option.setStart_time(start);
        r.option.setRecording_time(length);
        r.option.setAudio_disable(true);
        const int done = _runsDone;
        Transcoder t(std::move(r), _control, [this, done](double p) {
            if (_progress)
                _progress(std::min(100.0, 100.0 * (done + std::clamp(p, 0.0, 100.0) / 100.0) / _plannedRuns));
        });
        const bool ok = t.run(why);
        ++_runsDone;
        QFile::remove(_scratch);
        if (!ok)
            return AVERROR_EXIT;
        if (const auto q = t.measuredQuality()) {
            sum += q->ssim * double(q->frames);
            frames += q->frames;
        }
    }
    if (frames > 0)
        *ssim = sum / double(frames);
    return 0;
}

double QualitySearch::slopeNear(int crf) const {
    // From the two probes nearest the factor, SSIM lost per step.
    std::vector<std::pair<int, double>> near(_measured.begin(), _measured.end());
    std::sort(near.begin(), near.end(),
              [crf](const auto &a, const auto &b) { return std::abs(a.first - crf) < std::abs(b.first - crf); });
    if (near.size() >= 2 && near[0].first != near[1].first) {
        const double slope = (near[0].second - near[1].second) / double(near[1].first - near[0].first);
        if (slope > 1e-5)
            return slope;
    }
    return kDefaultSlope;
}

std::optional<int> QualitySearch::next(int crf, double measured) {
    const bool first = _whole.empty();
    _whole[crf] = measured;
    if (measured >= _target - kTolerance)
        return first ? refinement(crf, measured) : std::nullopt;
    // Short of the target: back to the largest factor whose whole file met it, or, the
    // first time, a lower one than the samples chose.
    for (auto it = _whole.rbegin(); it != _whole.rend(); ++it)
        if (it->second >= _target - kTolerance)
            return it->first;
    return first ? correction(crf, measured) : std::nullopt;
}

std::optional<int> QualitySearch::correction(int crf, double measured) const {
    if (crf <= _range.best)
        return std::nullopt;
    // The whole file fell short by this much; the factor moves by as many steps as the
    // probes say that takes, and at least one. There is one more try, so it aims a little
    // above the target rather than at it.
    const double shortBy = _target - measured + kTolerance;
    const int steps = std::max(1, int(std::ceil(shortBy / slopeNear(crf))));
    return std::max(_range.best, crf - steps);
}

std::optional<int> QualitySearch::refinement(int crf, double measured) const {
    const auto at = _measured.find(crf);
    if (at == _measured.end())
        return std::nullopt;
    // Short samples begin cold, on a key picture, and flat pictures in particular measure
    // worse in them than in the whole file, whose later pictures refer back to better ones.
    // The whole file's lead over its samples at this factor is taken to hold a few steps on.
    const double lead = measured - at->second;
    if (lead <= 0)
        return std::nullopt;
    int best = crf;
    for (int f = crf + 1; f <= std::min(_range.worst, crf + kMaxRefineSteps); ++f) {
        double samples;
        if (const auto m = _measured.find(f); m != _measured.end()) {
            samples = m->second;
        } else {
            // Between the probes on either side, or on from the nearest ones' slope.
            const auto above = _measured.upper_bound(f);
            const auto below = std::prev(_measured.lower_bound(f));
            if (above != _measured.end())
                samples = below->second + (above->second - below->second) * double(f - below->first) /
                                              double(above->first - below->first);
            else
                samples = below->second - slopeNear(below->first) * double(f - below->first);
        }
        // Aimed within a third of the tolerance, so a step that lands just short is still
        // tried; one that misses by more sends the conversion back to the first factor.
        if (samples + lead < _target - kTolerance / 3)
            break;
        best = f;
    }
    return best > crf ? std::optional<int>(best) : std::nullopt;
}

} // namespace fw
