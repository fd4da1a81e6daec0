#include "framewheel/SWConvertSession.h"

#include "ConvertPlan.h"
#include "QualitySearch.h"
#include "Resumable.h"
#include "SessionControl.h"
#include "SizeFit.h"
#include "Transcoder.h"

#include <foundation/Files.h>
#include <foundation/Log.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A field as the fingerprint writes it; the forms are those stored fingerprints were made with.
QString fieldText(const QString &v) { return v; }
QString fieldText(double v) { return QString::number(v, 'g', 10); }
template <class Integral> QString fieldText(Integral v) { return QString::number(int64_t(v)); }
} // namespace

bool SWConvertOption::encodesCodecName(const QString &name, bool video) {
    if (name.trimmed().isEmpty())
        return true;
    return fw::encoderForName(name, video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO) != nullptr;
}

QStringList SWConvertOption::offeredCodecNames(bool video) {
    static const QStringList videoNames = {"h264",       "hevc",       "av1",  "mpeg4", "libxvid", "vp8", "vp9",
                                           "mpeg2video", "mpeg1video", "wmv2", "flv",   "dvvideo", "h263"};
    static const QStringList audioNames = {"aac",  "mp3",  "ac3",       "mp2",     "pcm_s16le",
                                           "flac", "alac", "libvorbis", "libopus", "wmav2"};
    QStringList out;
    for (const QString &n : video ? videoNames : audioNames)
        if (encodesCodecName(n, video))
            out << n;
    return out;
}

namespace {
// The fields up to the thread count, which the first saved lists were made with.
constexpr int kFieldsOfStoredLists = 24;
} // namespace

QString SWConvertOption::fingerprint() const {
    // Finished rows of saved lists keep digests of this text. The fields there were when
    // the first lists were saved are written by position; a field added since is written by
    // its name, and only when it is not at its initial value, so a row converted before it
    // came keeps its digest and two late fields never read as each other.
    static const SWConvertOption initial;
    QStringList initialText;
    initial.visitFields([&initialText](const char *, const auto &field, bool) { initialText << fieldText(field); });
    QStringList parts;
    int at = 0;
    visitFields([&](const char *name, const auto &field, bool choice) {
        const QString text = fieldText(field);
        if (choice && at < kFieldsOfStoredLists)
            parts << text;
        else if (choice && text != initialText.at(at))
            parts << QString::fromLatin1(name) + QLatin1Char('=') + text;
        ++at;
    });
    return parts.join(QChar(0x1f));
}

struct SWConvertSession::Impl {
    fw::SessionControl control;
    std::atomic<SWConvertSessionDelegate *> delegate{nullptr};
    std::atomic<bool> started{false};
    std::atomic<bool> keepWork{false};
    std::atomic<SWResume> resume{SWResume::Off};
    mutable std::mutex m; // guards the strings below
    QString input, output, pluginSubtitle, lastError;
    QStringList notes;
    SWConvertOutcome outcome = SWConvertOutcome::NotRun;
    SWConvertResult result;
};

namespace {

struct FileId {
    bool exists = false;
    bool regular = false;
    off_t size = 0;
    dev_t dev = 0;
    ino_t ino = 0;
};

FileId identify(const QString &path, bool followLinks = true) {
    FileId id;
    struct stat sb {};
    const QByteArray p = QFile::encodeName(path);
    if ((followLinks ? ::stat(p.constData(), &sb) : ::lstat(p.constData(), &sb)) != 0)
        return id;
    id.exists = true;
    id.regular = S_ISREG(sb.st_mode);
    id.size = sb.st_size;
    id.dev = sb.st_dev;
    id.ino = sb.st_ino;
    return id;
}

// The finished file reaches its final name in one step, after its bytes are on the disk:
// a crash leaves no file or the whole one. An empty file an older caller reserved there
// is replaced only while it still is that empty file; anything else there is kept.
bool commit(const QString &partial, const QString &output, const FileId &before, QString *why) {
    const QByteArray from = QFile::encodeName(partial), to = QFile::encodeName(output);
    const int fd = ::open(from.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 || ::fsync(fd) != 0) {
        *why = QStringLiteral("cannot write the output file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    const FileId now = identify(output, false);
    bool done = false;
    if (before.exists && now.exists && now.regular && now.size == 0 && now.dev == before.dev && now.ino == before.ino)
        done = ::rename(from.constData(), to.constData()) == 0;
    else
        done = foundation::Files::commitPartial(partial, output);
    if (!done) {
        *why = errno == EEXIST ? QStringLiteral("%1 appeared while converting; not overwriting it").arg(output)
                               : QStringLiteral("cannot move the finished file to %1: %2")
                                     .arg(output, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // The rename itself is made durable with the folder's entry.
    const int dir =
        ::open(QFile::encodeName(QFileInfo(output).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

struct ProgressTarget {
    SWConvertSession *session;
    SWConvertSessionDelegate *delegate;
};

void reportProgress(void *ctx, double percent, int64_t pastUs, int64_t leftUs) {
    auto *t = static_cast<ProgressTarget *>(ctx);
    if (t->delegate)
        t->delegate->sessionProgressPastLeft(t->session, percent, pastUs, leftUs);
}

} // namespace

SWConvertSession::SWConvertSession() : _d(std::make_unique<Impl>()) {}
SWConvertSession::~SWConvertSession() = default;

void SWConvertSession::setDelegate(SWConvertSessionDelegate *delegate) { _d->delegate.store(delegate); }

void SWConvertSession::addInputFile(const QString &path) {
    std::lock_guard lock(_d->m);
    _d->input = path;
}

void SWConvertSession::loadPluginSubtitle(const QString &path) {
    std::lock_guard lock(_d->m);
    _d->pluginSubtitle = path;
}

void SWConvertSession::setOutputFileName(const QString &path) {
    std::lock_guard lock(_d->m);
    _d->output = path;
}

QString SWConvertSession::outputFileName() const {
    std::lock_guard lock(_d->m);
    return _d->output;
}

void SWConvertSession::setResume(SWResume mode) { _d->resume.store(mode); }
void SWConvertSession::pause() { _d->control.togglePause(); }
void SWConvertSession::cancel(bool) { _d->control.cancel(); }
void SWConvertSession::suspend() {
    _d->keepWork.store(true);
    _d->control.cancel();
}

double SWConvertSession::keptPercent(const QString &input, const QString &output) {
    const std::optional<fw::WorkJournal> j = fw::WorkJournal::read(foundation::Files::workPathFor(output));
    if (!j || j->source != QFileInfo(input).absoluteFilePath())
        return 0;
    return j->keptPercent;
}

int SWConvertSession::removeStaleWork(const QString &folder) { return fw::Resumable::removeStale(folder); }
void SWConvertSession::removeWork(const QString &output) {
    fw::Resumable::remove(foundation::Files::workPathFor(output));
}
bool SWConvertSession::paused() const { return _d->control.paused(); }
bool SWConvertSession::aleadyStart() const { return _d->started.load(); }
bool SWConvertSession::cancelSession() const { return _d->control.cancelled(); }

QString SWConvertSession::lastError() const {
    std::lock_guard lock(_d->m);
    return _d->lastError;
}

QStringList SWConvertSession::notes() const {
    std::lock_guard lock(_d->m);
    return _d->notes;
}

SWConvertResult SWConvertSession::result() const {
    std::lock_guard lock(_d->m);
    return _d->result;
}

SWConvertOutcome SWConvertSession::outcome() const {
    std::lock_guard lock(_d->m);
    return _d->outcome;
}

bool SWConvertSession::start() {
    QString input, output, subtitle;
    {
        std::lock_guard lock(_d->m);
        input = _d->input;
        output = _d->output;
        subtitle = _d->pluginSubtitle;
        _d->lastError.clear();
    }
    auto finishWith = [&](SWConvertOutcome outcome, const QString &error = QString()) {
        {
            std::lock_guard lock(_d->m);
            _d->outcome = outcome;
            _d->lastError = outcome == SWConvertOutcome::Failed ? error : QString();
        }
        if (outcome == SWConvertOutcome::Done)
            return true;
        if (outcome == SWConvertOutcome::Cancelled)
            foundation::Log::debug(QStringLiteral("Conversion cancelled: %1").arg(input));
        else
            foundation::Log::line(QStringLiteral("Conversion failed: %1 -> %2: %3").arg(input, output, error));
        return false;
    };
    auto fail = [&](const QString &error) { return finishWith(SWConvertOutcome::Failed, error); };
    if (_d->started.exchange(true))
        return fail(QStringLiteral("a session converts only once"));

    const FileId in = identify(input);
    const FileId before = identify(output, false);
    if (input.isEmpty())
        return fail(QStringLiteral("no input file"));
    if (output.isEmpty())
        return fail(QStringLiteral("no output file"));
    if (before.exists && in.exists && before.dev == in.dev && before.ino == in.ino)
        return fail(QStringLiteral("the output would overwrite the input"));
    if (before.exists && !before.regular)
        return fail(QStringLiteral("the output path is not a regular file"));
    if (before.exists && before.size > 0)
        return fail(QStringLiteral("the output file already exists"));

    // The bytes go to the partial file beside the final name. An empty one there is the
    // caller's reservation; without one the session claims the name itself.
    const QString partial = foundation::Files::partialPathFor(output);
    FileId part = identify(partial, false);
    int ownLock = -1;
    if (part.exists && (!part.regular || part.size > 0))
        return fail(QStringLiteral("the output %1 is being written by another conversion").arg(output));
    if (!part.exists) {
        ownLock = foundation::Files::createPartial(output);
        if (ownLock < 0)
            return fail(QStringLiteral("cannot create the output file %1: %2")
                            .arg(output, QString::fromLocal8Bit(std::strerror(errno))));
        part = identify(partial, false);
    }
    struct LockGuard {
        int fd;
        ~LockGuard() {
            if (fd >= 0)
                ::close(fd);
        }
    } lockGuard{ownLock};

    // Removes what this session wrote (or the empty reservation it was given), and an
    // empty final name reserved for it by an older caller; nothing else.
    auto removeOutput = [&](bool opened, dev_t dev, ino_t ino) {
        const FileId nowPart = identify(partial, false);
        if (nowPart.exists && nowPart.regular &&
            (opened ? (nowPart.dev == dev && nowPart.ino == ino)
                    : (nowPart.dev == part.dev && nowPart.ino == part.ino && nowPart.size == 0)))
            ::unlink(QFile::encodeName(partial).constData());
        const FileId nowFinal = identify(output, false);
        if (before.exists && nowFinal.exists && nowFinal.regular && nowFinal.size == 0 && nowFinal.dev == before.dev &&
            nowFinal.ino == before.ino)
            ::unlink(QFile::encodeName(output).constData());
    };

    if (_d->control.cancelled()) {
        removeOutput(false, 0, 0);
        return finishWith(SWConvertOutcome::Cancelled);
    }

    ProgressTarget target{this, _d->delegate.load()};
    fw::ProgressMeter meter(_d->control, &reportProgress, &target);
    meter.begin();
    fw::ConvertRequest request{input, output, partial, subtitle, _option, {}, false, std::nullopt};
    // Kept work applies to a conversion made in one pass over its range: a size limit and a
    // quality target pass over the whole range several times, and begin afresh after an
    // interruption. What an earlier run left that this one will not take up goes (its
    // settings or its source changed; a live conversion's is left alone).
    std::optional<fw::Resumable> work;
    if (const SWResume mode = _d->resume.load(); mode != SWResume::Off) {
        if (_option.maxSizeBytes() <= 0 && _option.targetSsim() <= 0) {
            work.emplace(request, _d->control, [&meter](double p) { meter.update(p); });
            if (!work->prepare(mode == SWResume::Afresh))
                work.reset();
            else if (work->resumed() && target.delegate)
                target.delegate->sessionResumed(this, work->keptPercent());
        }
        if (!work)
            fw::Resumable::remove(foundation::Files::workPathFor(output));
    }
    QString error;
    bool ok = true;
    // What the pass that wrote the output left: its file's identity, what it lacks, and
    // how like its source it measured.
    bool opened = false;
    dev_t outDev = 0;
    ino_t outIno = 0;
    QStringList notes;
    std::optional<fw::MeasuredQuality> measured;
    std::optional<int> crf;
    if (_option.maxSizeBytes() > 0 && _option.targetSsim() > 0) {
        ok = false;
        error = QStringLiteral("a size limit and a quality target cannot be combined; choose one");
    } else if (_option.maxSizeBytes() > 0) {
        fw::SizeFitter fitter(std::move(request), _d->control, [&meter](double p) { meter.update(p); });
        ok = fitter.run(&error);
        opened = fitter.outputOpened();
        outDev = fitter.outputDevice();
        outIno = fitter.outputInode();
        notes = fitter.notes();
        measured = fitter.measuredQuality();
    } else if (work) {
        ok = work->run(&error);
        if (const fw::Transcoder *joiner = work->joiner(); joiner && joiner->outputOpened()) {
            opened = true;
            outDev = joiner->outputDevice();
            outIno = joiner->outputInode();
        }
        notes = work->notes();
        measured = work->measuredQuality();
    } else {
        // With a quality target, the search comes first and takes its share of the progress.
        std::optional<fw::QualitySearch> search;
        double searchShare = 0;
        if (_option.targetSsim() > 0) {
            search.emplace(request, _d->control, [&](double p) { meter.update(p * search->share()); });
            ok = search->run(&error);
            searchShare = search->share();
            crf = search->crf();
        }
        // The file is made once; a quality target's may be made again (see QualitySearch::next).
        // Its first file leaves part of the progress to a second, which its measurement often
        // asks for, and the second a little to a third: the progress would otherwise stand
        // still for the whole of a further file.
        double from = searchShare * 100;
        for (int attempt = 0; ok && attempt < 3; ++attempt) {
            fw::ConvertRequest r = request;
            r.crf = crf;
            const double span = (100 - from) * (!search ? 1.0 : attempt == 0 ? 2.0 / 3 : attempt == 1 ? 0.9 : 1.0);
            fw::Transcoder transcoder(std::move(r), _d->control,
                                      [&meter, from, span](double p) { meter.update(from + span * p / 100); });
            from += span;
            ok = transcoder.run(&error);
            if (transcoder.outputOpened()) {
                opened = true;
                outDev = transcoder.outputDevice();
                outIno = transcoder.outputInode();
            }
            notes = transcoder.notes();
            measured = ok ? transcoder.measuredQuality() : std::nullopt;
            const std::optional<int> again =
                ok && search && measured && crf ? search->next(*crf, measured->ssim) : std::nullopt;
            if (!again)
                break;
            foundation::Log::debug(QStringLiteral("%1 measured SSIM %2 at CRF %3; again at CRF %4")
                                       .arg(output)
                                       .arg(measured->ssim, 0, 'f', 4)
                                       .arg(*crf)
                                       .arg(*again));
            crf = again;
        }
    }
    if (ok && opened && (outDev != part.dev || outIno != part.ino)) {
        ok = false;
        error = QStringLiteral("the partial output file was replaced while it was written");
    }
    if (ok) {
        QString why;
        ok = commit(partial, output, before, &why);
        if (!ok)
            error = why;
    }
    // The work is kept only for a session that is to take it up later.
    if (work && (ok || !_d->control.cancelled() || !_d->keepWork.load()))
        work->discard();
    if (!ok) {
        removeOutput(opened, outDev, outIno);
        if (_d->control.cancelled())
            return finishWith(SWConvertOutcome::Cancelled);
        return fail(error.isEmpty() ? QStringLiteral("conversion failed") : error);
    }
    meter.finish();
    {
        std::lock_guard lock(_d->m);
        _d->notes = notes;
        if (measured) {
            _d->result.ssim = measured->ssim;
            _d->result.psnrDb = measured->psnrDb;
            _d->result.framesMeasured = measured->frames;
        }
        _d->result.crf = crf;
    }
    return finishWith(SWConvertOutcome::Done);
}

SWConvertEstimate SWConvertSession::estimate() {
    fw::ConvertRequest request;
    {
        std::lock_guard lock(_d->m);
        request.input = _d->input;
        request.output = _d->output;
        request.pluginSubtitle = _d->pluginSubtitle;
    }
    request.option = _option;
    if (request.input.isEmpty() || request.output.isEmpty()) {
        SWConvertEstimate none;
        none.error = QStringLiteral("no input or output file");
        return none;
    }
    return fw::estimateConversion(request, _d->control);
}
