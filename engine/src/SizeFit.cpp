#include "SizeFit.h"

#include <foundation/Log.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace fw {

namespace {

using Clock = std::chrono::steady_clock;

// An estimate's pieces: a range up to kWholeUpToUs is converted whole; a longer one gets
// pieces of kPieceUs (at 25 pictures a second, x264's look-ahead of 40 and its threads'
// frames leave a steady stretch of about a second), as many as fit into kEstimateShare of
// the conversion's expected time, the first always, at most 1 + 2 * kMaxPairs.
constexpr int64_t kWholeUpToUs = 6000000;
constexpr int64_t kPieceUs = 2500000;
constexpr int64_t kLongPieceUs = 8000000;
constexpr double kFastPieceS = 2.5;
constexpr double kEstimateShare = 0.04;
constexpr int kMaxPairs = 2;
// An estimate's pieces at a size limit's rate that scale to less than this share of the
// limit are pictures that do not take the rate.
constexpr double kTakesTheRate = 0.85;

// Encodes of the final pass at most: the first, one correction for a file short of the
// floor, one for a file over the limit.
constexpr int kMaxFinalPasses = 3;

double secondsBetween(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

QString megabytes(int64_t bytes) { return QString::number(double(bytes) / 1e6, 'f', bytes < 1000000 ? 3 : 1); }

// One piece of the kept range converted into `path`, which is removed afterwards.
struct Sample {
    TranscodeTally tally;
    int64_t fileBytes = 0;
    double lengthS = 0;
    // In CPU seconds of the process (all threads), which the machine's other work does not
    // stretch as it does the wall time of a piece at the lowest priority. From the first
    // picture encoded (where the video is encoded) to the file's end; before it: opening,
    // seeking and decoding up to the piece's start.
    double encodeS = 0, setupS = 0;
    // Within encodeS, the video encoder's steady pace: the later half (at most the last 60)
    // of the packets it gave while still fed, a packet per picture in.
    double steadyS = 0;
    int64_t steadyPackets = 0;
    double encodeWallS = 0; // the wall time of encodeS (from the first frame of any stream)
};

bool runSample(const ConvertRequest &base, const QString &path, int64_t startUs, int64_t lengthUs,
               const VideoRate &rate, SessionControl &control, Sample *out, QString *error) {
    ConvertRequest req = base;
    req.writeTo = path;
    req.sample = true;
    req.rate = rate;
    req.option.setStart_time(startUs);
    req.option.setRecording_time(lengthUs);
    const Clock::time_point began = Clock::now();
    const double cpuBegan = processCpuSeconds();
    bool ok = false;
    {
        Transcoder t(req, control, {});
        ok = t.run(error);
        if (ok)
            out->tally = t.tally();
    }
    const double cpuEnded = processCpuSeconds();
    const Clock::time_point ended = Clock::now();
    out->fileBytes = QFileInfo(path).size();
    QFile::remove(path);
    if (!ok)
        return false;
    out->lengthS = double(std::max<int64_t>(out->tally.lengthUs, 1)) / 1e6;
    const EncodeTrack::OutputClock &clock = out->tally.videoClock;
    const double first = std::clamp(clock.firstIn.value_or(cpuBegan), cpuBegan, cpuEnded);
    out->setupS = first - cpuBegan;
    out->encodeS = cpuEnded - first;
    out->encodeWallS = secondsBetween(out->tally.firstEncodeAt.value_or(began), ended);
    if (clock.fed.size() > 2) {
        const size_t from = std::max(clock.fed.size() / 2, clock.fed.size() - std::min<size_t>(clock.fed.size(), 60));
        out->steadyS = clock.fed.back() - clock.fed[from];
        out->steadyPackets = int64_t(clock.fed.size() - 1 - from);
    }
    return true;
}

// The time of one kind of run (a plain conversion or a final pass, or a first pass),
// learnt from pieces: the video encoder's time per picture in its steady pace, and what
// each run costs beyond its pictures at that pace (opening the codecs, filling the
// encoder's look-ahead, its threads' start and end, the file's end). Short pieces are
// mostly the latter, which the whole conversion pays once.
struct Pace {
    // Steady packets below which a piece's pace is taken as a whole: an encoder without a
    // look-ahead, or one longer than the piece.
    static constexpr int64_t kMinSteadyPackets = 5;
    double encodeS = 0, steadyS = 0, sampledS = 0;
    int64_t packets = 0, steadyPackets = 0;
    int runs = 0;

    void add(const Sample &s) {
        encodeS += s.encodeS;
        steadyS += s.steadyS;
        sampledS += s.lengthS;
        packets += s.tally.videoClock.packets;
        steadyPackets += s.steadyPackets;
        ++runs;
    }
    // Seconds from the first picture encoded to the end, for `seconds` of the range.
    double predict(double seconds) const {
        if (runs == 0 || sampledS <= 0)
            return 0;
        if (steadyPackets < kMinSteadyPackets)
            return encodeS / sampledS * seconds;
        const double perPicture = steadyS / double(steadyPackets);
        const double fixed = std::max(0.0, (encodeS - double(packets) * perPicture) / runs);
        return fixed + double(packets) / sampledS * seconds * perPicture;
    }
};

QString tooSmall(int64_t limit, int64_t smallest, const TranscodeTally &t) {
    return QStringLiteral("a size limit of %1 MB is too small: the video (%2x%3) would get less than %4 bits "
                          "per pixel; the smallest size that works is %5 MB")
        .arg(megabytes(limit))
        .arg(t.width)
        .arg(t.height)
        .arg(SWConvertOption::kMinBitsPerPixel)
        .arg(QString::number(std::ceil(double(smallest) / 1e5) / 10.0, 'f', 1));
}

// The first pass of an estimate or a fit: one second from the middle of the kept range,
// converted at the chosen quality. It tells the picture's size and the share of the sound
// and the container per second.
bool probeLimit(const ConvertRequest &req, const QString &dir, int64_t lengthUs, SessionControl &control, Sample *probe,
                QString *error) {
    const int64_t probeUs = std::min<int64_t>(lengthUs, 1000000);
    const int64_t start = std::max<int64_t>(0, req.option.start_time()) + (lengthUs - probeUs) / 2;
    if (!runSample(req, QDir(dir).filePath(QStringLiteral("probe")), start, probeUs, {}, control, probe, error))
        return false;
    if (!probe->tally.videoEncoder) {
        *error = QStringLiteral("a size limit needs a video to encode, and this output has none");
        return false;
    }
    return true;
}

// Sound and container bytes over the whole range, from a sample.
int64_t otherBytesFor(const Sample &s, double seconds) {
    return std::llround(double(s.fileBytes - s.tally.videoBytes) * seconds / s.lengthS);
}

// Seconds between the key pictures an encoder makes by itself, where that is longer than a
// sample: a sample starts on a key picture, which it then holds more of than the whole.
double keyIntervalS(const AVCodec *enc, double fps) {
    if (!enc || fps <= 0)
        return 0;
    if (!std::strcmp(enc->name, "libx264") || !std::strcmp(enc->name, "libx265"))
        return 250.0 / fps;
    if (!std::strcmp(enc->name, "libvpx") || !std::strcmp(enc->name, "libvpx-vp9"))
        return 128.0 / fps;
    return 0;
}

} // namespace

SizeBudget sizeBudget(int64_t limitBytes, double aim, double seconds, int64_t otherBytes, int w, int h, double fps) {
    SizeBudget b;
    if (seconds <= 0 || limitBytes <= 0)
        return b;
    const double floorRate = SWConvertOption::kMinBitsPerPixel * std::max(w, 1) * std::max(h, 1) * std::max(fps, 1.0);
    b.smallestBytes = int64_t(std::ceil((floorRate * seconds / 8.0 + double(std::max<int64_t>(otherBytes, 0))) / aim));
    const double rate = (aim * double(limitBytes) - double(otherBytes)) * 8.0 / seconds;
    if (rate >= floorRate)
        b.videoBitRate = std::llround(rate);
    return b;
}

int64_t keptLengthUs(const ConvertRequest &req, SessionControl &control) {
    QString err;
    InputContextPtr in = openInput(req.input, {&SessionControl::interrupt, &control}, &err, true);
    if (!in || in->duration <= 0)
        return 0;
    int64_t length = std::max<int64_t>(0, in->duration - std::max<int64_t>(0, req.option.start_time()));
    if (req.option.recording_time() > 0)
        length = std::min(length, req.option.recording_time());
    return length;
}

SizeFitter::SizeFitter(ConvertRequest req, SessionControl &control, Progress progress)
    : _req(std::move(req)), _control(control), _progress(std::move(progress)) {
    // A copied stream keeps its size, whatever the limit.
    _req.option.setAuto_streamcopy(false);
}

bool SizeFitter::pass(const VideoRate &rate, double from, double to, TranscodeTally *tally, QString *error) {
    ConvertRequest req = _req;
    req.rate = rate;
    Transcoder t(std::move(req), _control, [this, from, to](double p) {
        if (_progress)
            _progress(from + (to - from) * std::clamp(p, 0.0, 100.0) / 100.0);
    });
    const bool ok = t.run(error);
    if (t.outputOpened()) {
        _opened = true;
        _dev = t.outputDevice();
        _ino = t.outputInode();
    }
    if (ok) {
        *tally = t.tally();
        _notes = t.notes();
        _measured = t.measuredQuality();
    }
    return ok;
}

void SizeFitter::noteShortfall(int64_t size, int64_t limit, double seconds, int64_t rate, int64_t videoBytes,
                               int64_t lastRate, int64_t lastVideoBytes) {
    // The correction asked for more and the pictures did not take it: a still or simple
    // picture is done at a rate below the budget, and the encoder does not pad it.
    const double asked = lastRate > 0 ? double(rate) / double(lastRate) : 1.0;
    const double got = lastVideoBytes > 0 ? double(videoBytes) / double(lastVideoBytes) : 1.0;
    const bool needsLess = asked > 1.0 && got - 1.0 < 0.5 * (asked - 1.0);
    const QString text =
        needsLess ? QStringLiteral("The file is %1 MB, under the size limit of %2 MB: its pictures need no more "
                                   "(the encoder used %3 of the %4 kbit/s it was given)")
                        .arg(megabytes(size), megabytes(limit))
                        .arg(std::llround(double(videoBytes) * 8.0 / seconds / 1000.0))
                        .arg(rate / 1000)
                  : QStringLiteral("The file is %1 MB, short of %2 % of the size limit of %3 MB")
                        .arg(megabytes(size))
                        .arg(std::lround(kSizeFloor * 100))
                        .arg(megabytes(limit));
    foundation::Log::line(QStringLiteral("%1: %2").arg(_req.output, text));
    _notes << text;
}

bool SizeFitter::run(QString *error) {
    const int64_t limit = _req.option.maxSizeBytes();
    const int64_t lengthUs = keptLengthUs(_req, _control);
    if (_control.cancelled())
        return false;
    if (lengthUs <= 0) {
        *error = QStringLiteral("a size limit needs the input's length, which the file does not state");
        return false;
    }
    const QTemporaryDir dir(QDir(QDir::tempPath()).filePath(QStringLiteral("cinvora-fit-XXXXXX")));
    if (!dir.isValid()) {
        *error = QStringLiteral("cannot make a temporary folder: %1").arg(dir.errorString());
        return false;
    }
    const double seconds = double(lengthUs) / 1e6;
    Sample probe;
    if (!probeLimit(_req, dir.path(), lengthUs, _control, &probe, error))
        return false;
    const TranscodeTally &shape = probe.tally;
    SizeBudget budget =
        sizeBudget(limit, kSizeAim, seconds, otherBytesFor(probe, seconds), shape.width, shape.height, shape.fps);
    if (!budget.videoBitRate) {
        *error = tooSmall(limit, budget.smallestBytes, shape);
        return false;
    }

    QByteArray vpxStats;
    VideoRate rate;
    rate.bitRate = budget.videoBitRate;
    rate.statsFile = QDir(dir.path()).filePath(QStringLiteral("stats"));
    rate.stats = &vpxStats;
    const bool twoPass = twoPassEncoder(shape.videoEncoder);
    TranscodeTally done;
    if (twoPass) {
        rate.pass = 1;
        if (!pass(rate, 2, 35, &done, error))
            return false;
        // The first pass wrote the sound and the container as the last will: their bytes
        // are measured now, not scaled from a second.
        budget = sizeBudget(limit, kSizeAim, seconds, QFileInfo(_req.writeTo).size() - done.videoBytes, shape.width,
                            shape.height, shape.fps);
        if (!budget.videoBitRate) {
            *error = tooSmall(limit, budget.smallestBytes, shape);
            return false;
        }
        rate.bitRate = budget.videoBitRate;
        rate.pass = 2;
    }
    // Lets a test make the first final pass miss, so that the correction is seen to work.
    bool scaled = false;
    const double firstScale = qEnvironmentVariable("CINVORA_SIZE_FIRST_RATE_SCALE").toDouble(&scaled);
    if (scaled && firstScale > 0)
        rate.bitRate = std::llround(double(rate.bitRate) * firstScale);

    int64_t lastRate = 0, lastVideoBytes = 0;
    for (int attempt = 1;; ++attempt) {
        if (!pass(rate, twoPass ? 35 : 2, 100, &done, error))
            return false;
        const int64_t size = QFileInfo(_req.writeTo).size();
        const bool fits = size <= limit;
        // A short file carries a large share of fixed bytes (headers, the first key picture).
        const bool full = size >= int64_t(kSizeFloor * double(limit)) || seconds < 10;
        if (fits && !full && attempt >= kMaxFinalPasses - 1)
            noteShortfall(size, limit, seconds, rate.bitRate, done.videoBytes, lastRate, lastVideoBytes);
        if (fits && (full || attempt >= kMaxFinalPasses - 1))
            return true;
        lastRate = rate.bitRate;
        lastVideoBytes = done.videoBytes;
        if (attempt == kMaxFinalPasses) {
            *error = QStringLiteral("the output stayed over the size limit of %1 MB (%2 MB) after %3 tries")
                         .arg(megabytes(limit), megabytes(size))
                         .arg(attempt);
            return false;
        }
        const double wanted = kSizeAim * double(limit) - double(size - done.videoBytes);
        if (wanted <= 0 || done.videoBytes <= 0) {
            *error = QStringLiteral("the sound and the container alone take more than the size limit of %1 MB")
                         .arg(megabytes(limit));
            return false;
        }
        const int64_t corrected =
            std::max<int64_t>(1000, std::llround(double(rate.bitRate) * wanted / done.videoBytes));
        foundation::Log::line(QStringLiteral("Size limit: %1 came out at %2 MB for a limit of %3 MB; encoding again "
                                             "at %4 kbit/s instead of %5")
                                  .arg(_req.output, megabytes(size), megabytes(limit))
                                  .arg(corrected / 1000)
                                  .arg(rate.bitRate / 1000));
        rate.bitRate = corrected;
    }
}

namespace {

// CPU seconds the machine has been busy, all cores together, from /proc/stat; nothing
// where that cannot be read.
std::optional<double> machineBusySeconds() {
    QFile f(QStringLiteral("/proc/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> v = f.readLine().simplified().split(' ');
    // cpu user nice system idle iowait irq softirq steal (guest time is inside user)
    if (v.size() < 9 || v[0] != "cpu")
        return std::nullopt;
    double busy = 0;
    for (int i = 1; i <= 8; ++i)
        busy += (i == 4 || i == 5) ? 0.0 : v[i].toDouble();
    const long tick = ::sysconf(_SC_CLK_TCK);
    return tick > 0 ? std::optional<double>(busy / double(tick)) : std::nullopt;
}

// The cores a conversion gets, from what an estimate saw: the machine's other work kept
// `others` cores busy, and the pieces' encoding, at the lowest priority, used `achieved`.
// That is a floor: the conversion runs at its normal priority. The ceiling: where the
// pieces used clearly less than the others left free, they were held by their own
// parallelism (a single-threaded encoder, say), which the conversion has too; otherwise
// the conversion could use every core and shares them with the others in proportion to
// what they used, which is less than they asked for on a saturated machine. Between the
// two, their geometric mean.
double coresForConversion(double cores, double others, double achieved) {
    const double free = std::max(0.0, cores - others);
    const double own = achieved > 0 && achieved < 0.8 * free ? achieved : cores;
    const double ceiling = std::min(own, cores * own / (own + others));
    const double floor = std::clamp(achieved, 0.05, ceiling);
    return std::sqrt(floor * ceiling);
}

SWConvertEstimate estimateHere(const ConvertRequest &base, SessionControl &control) {
    const Clock::time_point began = Clock::now();
    const double cpuBegan = processCpuSeconds();
    const std::optional<double> busyBegan = machineBusySeconds();
    auto cpuSpent = [cpuBegan] { return processCpuSeconds() - cpuBegan; };
    SWConvertEstimate e;
    auto failed = [&](const QString &why) {
        e.error = control.cancelled() ? QStringLiteral("cancelled") : why;
        return e;
    };
    // The factor a quality target converts with is found by its search, which costs a
    // share of the conversion itself: an estimate made with the option's quality would be
    // a figure for other settings.
    if (base.option.targetSsim() > 0)
        return failed(QStringLiteral("a quality target's size is known only after its search"));
    const int64_t lengthUs = keptLengthUs(base, control);
    // Opening the input, as the conversion does before its first picture.
    const double openS = cpuSpent();
    if (lengthUs <= 0)
        return failed(QStringLiteral("the input does not state its length"));
    const QTemporaryDir dir(QDir(QDir::tempPath()).filePath(QStringLiteral("cinvora-estimate-XXXXXX")));
    if (!dir.isValid())
        return failed(QStringLiteral("cannot make a temporary folder: %1").arg(dir.errorString()));
    const double seconds = double(lengthUs) / 1e6;
    const int64_t limit = base.option.maxSizeBytes();
    ConvertRequest req = base;
    QString error;

    double probeS = 0;
    QByteArray vpxStats;
    VideoRate rate;
    bool twoPass = false;
    if (limit > 0) {
        req.option.setAuto_streamcopy(false);
        Sample probe;
        if (!probeLimit(req, dir.path(), lengthUs, control, &probe, &error))
            return failed(error);
        const SizeBudget budget = sizeBudget(limit, kSizeAim, seconds, otherBytesFor(probe, seconds), probe.tally.width,
                                             probe.tally.height, probe.tally.fps);
        if (!budget.videoBitRate)
            return failed(tooSmall(limit, budget.smallestBytes, probe.tally));
        probeS = probe.setupS + probe.encodeS;
        rate.bitRate = budget.videoBitRate;
        rate.statsFile = QDir(dir.path()).filePath(QStringLiteral("stats"));
        rate.stats = &vpxStats;
        twoPass = twoPassEncoder(probe.tally.videoEncoder);
    }

    // A short range is converted whole. A longer one gets a piece from its middle first.
    // Where that piece went fast, the encoder's start (filling its look-ahead, and its
    // first hundred or so pictures, which cost it two to three times the rest) is most of
    // what it measured, so the pace comes from one long piece instead. Then, as far as
    // kEstimateShare of the expected time allows, pairs of further pieces spread over the
    // range.
    const int64_t startUs = std::max<int64_t>(0, base.option.start_time());
    int64_t pieceUs = lengthUs <= kWholeUpToUs ? lengthUs : kPieceUs;
    // Paces of the final (or only) pass and of a first pass, by the length of the pieces
    // they were learnt from: a long piece's, where there is one, stands for the whole.
    Pace shortFinal, shortFirst, longFinal, longFirst;
    double setupS = 1e9;
    int64_t restBytes = 0, firstKeyBytes = 0;
    int pieces = 0;
    double lastPieceS = 0;                  // what the last piece cost, both passes
    double piecesCpuS = 0, piecesWallS = 0; // the pieces' encoding, all passes
    const AVCodec *encoder = nullptr;
    double fps = 0;
    const QString piecePath = QDir(dir.path()).filePath(QStringLiteral("piece"));
    auto convertPiece = [&](double at) {
        const double pieceBegan = processCpuSeconds();
        const int64_t atUs = startUs + int64_t(double(lengthUs - pieceUs) * at);
        const bool isLong = pieceUs > kPieceUs;
        Sample s;
        if (twoPass) {
            VideoRate first = rate;
            first.pass = 1;
            if (!runSample(req, piecePath, atUs, pieceUs, first, control, &s, &error))
                return false;
            (isLong ? longFirst : shortFirst).add(s);
            piecesCpuS += s.encodeS;
            piecesWallS += s.encodeWallS;
            rate.pass = 2;
        }
        if (!runSample(req, piecePath, atUs, pieceUs, rate, control, &s, &error))
            return false;
        foundation::Log::debug(QStringLiteral("estimate of %1: piece at %2 s of %3 s, %4 packets; setup %5 s, "
                                              "encoding %6 s, steady %7 s for %8 packets")
                                   .arg(base.input)
                                   .arg(double(atUs) / 1e6)
                                   .arg(s.lengthS)
                                   .arg(s.tally.videoClock.packets)
                                   .arg(s.setupS)
                                   .arg(s.encodeS)
                                   .arg(s.steadyS)
                                   .arg(s.steadyPackets));
        (isLong ? longFinal : shortFinal).add(s);
        ++pieces;
        lastPieceS = processCpuSeconds() - pieceBegan;
        piecesCpuS += s.encodeS;
        piecesWallS += s.encodeWallS;
        setupS = std::min(setupS, s.setupS);
        encoder = s.tally.videoEncoder;
        fps = s.tally.fps;
        firstKeyBytes += encoder ? s.tally.videoFirstPacketBytes : 0;
        restBytes += s.fileBytes - (encoder ? s.tally.videoFirstPacketBytes : 0);
        return true;
    };
    // The whole conversion opens its input once and begins where the kept range does,
    // where a piece's setup also seeks and decodes up to its start.
    auto predict = [&] {
        const double once = std::min(setupS, openS);
        const Pace &final = longFinal.runs ? longFinal : shortFinal;
        double s = probeS + once + final.predict(seconds);
        if (twoPass)
            s += once + (longFirst.runs ? longFirst : shortFirst).predict(seconds);
        return s;
    };
    if (!convertPiece(0.5))
        return failed(error);
    if (pieceUs < lengthUs && shortFinal.encodeS < kFastPieceS && lengthUs >= 2 * kLongPieceUs) {
        pieceUs = kLongPieceUs;
        if (!convertPiece(0.25))
            return failed(error);
    }
    if (pieceUs < lengthUs) {
        const double budget = kEstimateShare * predict() - cpuSpent();
        const int pairs = lastPieceS > 0 ? std::clamp(int(budget / (2 * lastPieceS)), 0, kMaxPairs) : 0;
        for (int i = 0; i < pairs; ++i) {
            // Between the pieces so far: 0.1 and 0.9, then 0.7 and 0.3 (0.25 and 0.5 taken).
            const double at = i == 0 ? 0.1 : 0.7;
            if (!convertPiece(at) || !convertPiece(1.0 - at))
                return failed(error);
        }
    }
    double cpuS = predict();
    // Each piece began on a key picture; the whole holds one per key interval (or the
    // pieces' own, where the encoder makes them more often than a piece is long).
    const double sampledS = shortFinal.sampledS + longFinal.sampledS;
    const double interval = keyIntervalS(encoder, fps);
    const double pieceS = sampledS / pieces;
    const double keys = interval > 2 * pieceS ? 1.0 + std::floor(seconds / interval) : seconds / pieceS;
    e.bytes = std::llround(double(restBytes) / sampledS * seconds + double(firstKeyBytes) / pieces * keys);
    if (limit > 0) {
        // The pieces at the limit's rate tell whether the pictures take it. Where they fall
        // well short (a short piece's rate control alone misses by a few per cent), the
        // fit's final pass will too, and be encoded once more at a higher rate that they do
        // not take either: the file is what they need.
        const bool takesTheRate = e.bytes >= int64_t(kTakesTheRate * double(limit)) || seconds < 10;
        foundation::Log::debug(QStringLiteral("estimate of %1: the pieces at the limit's rate scale to %2 of it")
                                   .arg(base.input)
                                   .arg(double(e.bytes) / double(limit)));
        if (!takesTheRate)
            cpuS += std::min(setupS, openS) + (longFinal.runs ? longFinal : shortFinal).predict(seconds);
        e.bytes = takesTheRate ? std::llround(kSizeAim * double(limit)) : e.bytes;
    }
    // From CPU seconds to the conversion's wall time on this machine under its load.
    const double wallS = secondsBetween(began, Clock::now());
    const std::optional<double> busyEnded = machineBusySeconds();
    const double cores = double(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    const double others = busyBegan && busyEnded && wallS > 0
                              ? std::clamp((*busyEnded - *busyBegan - cpuSpent()) / wallS, 0.0, cores)
                              : 0.0;
    const double achieved = piecesWallS > 0 ? piecesCpuS / piecesWallS : 0.0;
    const double used = coresForConversion(cores, others, achieved);
    e.seconds = cpuS / used;
    foundation::Log::debug(QStringLiteral("estimate of %1: %2 CPU seconds; the machine's other work kept %3 of %4 "
                                          "cores busy, the pieces used %5: %6 s on %7 cores")
                               .arg(base.input)
                               .arg(cpuS)
                               .arg(others)
                               .arg(cores)
                               .arg(achieved)
                               .arg(e.seconds)
                               .arg(used));
    return e;
}

} // namespace

SWConvertEstimate estimateConversion(const ConvertRequest &req, SessionControl &control) {
    // On a thread of its own at the lowest priority, which the codecs' threads it starts
    // inherit; the caller's thread keeps its own (an unprivileged thread cannot raise it back).
    SWConvertEstimate e;
    std::thread worker([&] {
        if (::setpriority(PRIO_PROCESS, id_t(::gettid()), 19) != 0)
            foundation::Log::debug(QStringLiteral("an estimate runs at normal priority"));
        e = estimateHere(req, control);
    });
    worker.join();
    return e;
}

} // namespace fw
