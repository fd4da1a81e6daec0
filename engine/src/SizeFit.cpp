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
    double encodeS = 0; // from the first frame encoded to the file's end
    double setupS = 0;  // opening, seeking and decoding up to the piece's start
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
    bool ok = false;
    {
        Transcoder t(req, control, {});
        ok = t.run(error);
        if (ok)
            out->tally = t.tally();
    }
    const Clock::time_point ended = Clock::now();
    out->fileBytes = QFileInfo(path).size();
    QFile::remove(path);
    if (!ok)
        return false;
    out->lengthS = double(std::max<int64_t>(out->tally.lengthUs, 1)) / 1e6;
    const Clock::time_point first = out->tally.firstEncodeAt.value_or(began);
    out->setupS = secondsBetween(began, first);
    out->encodeS = secondsBetween(first, ended);
    return true;
}

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

    for (int attempt = 1;; ++attempt) {
        if (!pass(rate, twoPass ? 35 : 2, 100, &done, error))
            return false;
        const int64_t size = QFileInfo(_req.writeTo).size();
        const bool fits = size <= limit;
        // A short file carries a large share of fixed bytes (headers, the first key picture).
        const bool full = size >= int64_t(kSizeFloor * double(limit)) || seconds < 10;
        if (fits && (full || attempt >= kMaxFinalPasses - 1))
            return true;
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

SWConvertEstimate estimateHere(const ConvertRequest &base, SessionControl &control) {
    SWConvertEstimate e;
    auto failed = [&](const QString &why) {
        e.error = control.cancelled() ? QStringLiteral("cancelled") : why;
        return e;
    };
    const int64_t lengthUs = keptLengthUs(base, control);
    if (lengthUs <= 0)
        return failed(QStringLiteral("the input does not state its length"));
    const QTemporaryDir dir(QDir(QDir::tempPath()).filePath(QStringLiteral("cinvora-estimate-XXXXXX")));
    if (!dir.isValid())
        return failed(QStringLiteral("cannot make a temporary folder: %1").arg(dir.errorString()));
    const double seconds = double(lengthUs) / 1e6;
    const int64_t limit = base.option.maxSizeBytes();
    ConvertRequest req = base;
    QString error;

    // Pieces spread evenly over the kept range, about 4 % of it together, a second to three
    // each; a short range is converted whole.
    const int count = seconds <= 3 ? 1 : seconds <= 30 ? 2 : seconds <= 300 ? 3 : 5;
    int64_t pieceUs = std::clamp<int64_t>(lengthUs * 4 / 100 / count, 1000000, 3000000);
    pieceUs = count == 1 ? lengthUs : std::min(pieceUs, lengthUs / count);
    const int64_t startUs = std::max<int64_t>(0, base.option.start_time());

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

    double sampledS = 0, encodeS = 0, setupS = 1e9;
    int64_t restBytes = 0, firstKeyBytes = 0;
    const AVCodec *encoder = nullptr;
    double fps = 0;
    const QString piecePath = QDir(dir.path()).filePath(QStringLiteral("piece"));
    for (int i = 0; i < count; ++i) {
        const int64_t at = startUs + (lengthUs - pieceUs) * (2 * i + 1) / (2 * count);
        Sample s;
        if (twoPass) {
            VideoRate first = rate;
            first.pass = 1;
            if (!runSample(req, piecePath, at, pieceUs, first, control, &s, &error))
                return failed(error);
            encodeS += s.encodeS;
            rate.pass = 2;
        }
        if (!runSample(req, piecePath, at, pieceUs, rate, control, &s, &error))
            return failed(error);
        sampledS += s.lengthS;
        encodeS += s.encodeS;
        setupS = std::min(setupS, s.setupS);
        encoder = s.tally.videoEncoder;
        fps = s.tally.fps;
        firstKeyBytes += encoder ? s.tally.videoFirstPacketBytes : 0;
        restBytes += s.fileBytes - (encoder ? s.tally.videoFirstPacketBytes : 0);
    }
    e.seconds = encodeS / sampledS * seconds + setupS + probeS;
    if (limit > 0) {
        e.bytes = std::llround(kSizeAim * double(limit));
        return e;
    }
    // Each piece began on a key picture; the whole holds one per key interval (or the
    // pieces' own, where the encoder makes them more often than a piece is long).
    const double interval = keyIntervalS(encoder, fps);
    const double pieceS = sampledS / count;
    const double keys = interval > 2 * pieceS ? 1.0 + std::floor(seconds / interval) : seconds / pieceS;
    e.bytes = std::llround(double(restBytes) / sampledS * seconds + double(firstKeyBytes) / count * keys);
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
