#include "framewheel/SWConvertSession.h"

#include "SessionControl.h"
#include "Transcoder.h"

#include <foundation/Log.h>

#include <QFile>
#include <QFileInfo>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

struct SWConvertSession::Impl {
    fw::SessionControl control;
    std::atomic<SWConvertSessionDelegate *> delegate{nullptr};
    std::atomic<bool> started{false};
    mutable std::mutex m; // guards the strings below
    QString input, output, pluginSubtitle, lastError;
};

namespace {

struct FileId {
    bool exists = false;
    bool regular = false;
    off_t size = 0;
    dev_t dev = 0;
    ino_t ino = 0;
};

FileId identify(const QString &path) {
    FileId id;
    struct stat sb {};
    if (::stat(QFile::encodeName(path).constData(), &sb) != 0)
        return id;
    id.exists = true;
    id.regular = S_ISREG(sb.st_mode);
    id.size = sb.st_size;
    id.dev = sb.st_dev;
    id.ino = sb.st_ino;
    return id;
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

void SWConvertSession::pause() { _d->control.togglePause(); }
void SWConvertSession::cancel(bool) { _d->control.cancel(); }
bool SWConvertSession::paused() const { return _d->control.paused(); }
bool SWConvertSession::aleadyStart() const { return _d->started.load(); }
bool SWConvertSession::cancelSession() const { return _d->control.cancelled(); }

QString SWConvertSession::lastError() const {
    std::lock_guard lock(_d->m);
    return _d->lastError;
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
    auto finishWith = [&](const QString &error) {
        {
            std::lock_guard lock(_d->m);
            _d->lastError = error;
        }
        if (error.isEmpty())
            return true;
        if (error == QLatin1String("cancelled"))
            foundation::Log::debug(QStringLiteral("Conversion cancelled: %1").arg(input));
        else
            foundation::Log::line(QStringLiteral("Conversion failed: %1 -> %2: %3").arg(input, output, error));
        return false;
    };
    if (_d->started.exchange(true))
        return finishWith(QStringLiteral("a session converts only once"));

    const FileId in = identify(input);
    const FileId before = identify(output);
    // Removes what this session made (or the empty name reserved for it), nothing else.
    auto removeOutput = [&](bool opened, dev_t dev, ino_t ino) {
        const FileId now = identify(output);
        if (!now.exists || !now.regular)
            return;
        const bool ours = opened ? (now.dev == dev && now.ino == ino)
                                 : (before.exists && before.size == 0 && now.dev == before.dev && now.ino == before.ino &&
                                    now.size == 0);
        if (ours)
            ::unlink(QFile::encodeName(output).constData());
    };

    if (input.isEmpty())
        return finishWith(QStringLiteral("no input file"));
    if (output.isEmpty())
        return finishWith(QStringLiteral("no output file"));
    if (before.exists && in.exists && before.dev == in.dev && before.ino == in.ino)
        return finishWith(QStringLiteral("the output would overwrite the input"));
    if (before.exists && !before.regular)
        return finishWith(QStringLiteral("the output path is not a regular file"));
    if (before.exists && before.size > 0)
        return finishWith(QStringLiteral("the output file already exists"));
    if (_d->control.cancelled()) {
        removeOutput(false, 0, 0);
        return finishWith(QStringLiteral("cancelled"));
    }

    ProgressTarget target{this, _d->delegate.load()};
    fw::ProgressMeter meter(_d->control, &reportProgress, &target);
    meter.begin();
    fw::Transcoder transcoder(fw::ConvertRequest{input, output, subtitle, _option}, _d->control,
                              [&meter](double p) { meter.update(p); });
    QString error;
    const bool ok = transcoder.run(&error);
    if (!ok) {
        removeOutput(transcoder.outputOpened(), transcoder.outputDevice(), transcoder.outputInode());
        return finishWith(error.isEmpty() ? QStringLiteral("conversion failed") : error);
    }
    meter.finish();
    return finishWith(QString());
}
