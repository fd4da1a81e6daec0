#include "framewheel/SWConvertSession.h"

#include "ConvertPlan.h"
#include "Resumable.h"
#include "SessionControl.h"
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

QString SWConvertOption::fingerprint() const {
    QStringList parts;
    visitFields([&parts](const char *, const auto &field, bool choice) {
        if (choice)
            parts << fieldText(field);
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
    SWConvertOutcome outcome = SWConvertOutcome::NotRun;
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
    const fw::ConvertRequest request{input, output, partial, subtitle, _option};
    const auto progress = [&meter](double p) { meter.update(p); };
    std::optional<fw::Resumable> work;
    if (const SWResume mode = _d->resume.load(); mode != SWResume::Off) {
        work.emplace(request, _d->control, progress);
        if (!work->prepare(mode == SWResume::Afresh))
            work.reset();
        else if (work->resumed() && target.delegate)
            target.delegate->sessionResumed(this, work->keptPercent());
    }
    std::unique_ptr<fw::Transcoder> whole;
    QString error;
    bool ok = false;
    const fw::Transcoder *writer = nullptr;
    if (work) {
        ok = work->run(&error);
        writer = work->joiner();
    } else {
        whole = std::make_unique<fw::Transcoder>(request, _d->control, progress);
        ok = whole->run(&error);
        writer = whole.get();
    }
    if (ok && writer && writer->outputOpened() &&
        (writer->outputDevice() != part.dev || writer->outputInode() != part.ino)) {
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
        const bool opened = writer && writer->outputOpened();
        removeOutput(opened, opened ? writer->outputDevice() : 0, opened ? writer->outputInode() : 0);
        if (_d->control.cancelled())
            return finishWith(SWConvertOutcome::Cancelled);
        return fail(error.isEmpty() ? QStringLiteral("conversion failed") : error);
    }
    meter.finish();
    return finishWith(SWConvertOutcome::Done);
}
