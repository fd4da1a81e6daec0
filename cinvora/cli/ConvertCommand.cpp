#include "ConvertCommand.h"

#include <framewheel/SWConvertSession.h>

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <optional>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

const char kUsage[] =
    "  convert IN OUT [OPTIONS]\n"
    "                    convert IN into OUT, which must not exist yet (it is created\n"
    "                    exclusively first; on failure or Ctrl-C nothing is left behind)\n"
    "      --format NAME       container: mp4, mov, m4v, mkv, webm, avi, flv, wmv, mpeg,\n"
    "                          vob, svcd, vcd, dv, 3gp, ts, mp3, aac, flac, wav, ogg, ac3,\n"
    "                          aiff, mmf, ... (default: from OUT's extension)\n"
    "      --vcodec NAME       h264, hevc, mpeg4, libxvid, vp8, vp9, mpeg2video, mpeg1video,\n"
    "                          wmv2, flv, dvvideo, h263 (default: the container's)\n"
    "      --acodec NAME       aac, mp3, ac3, mp2, pcm_s16le, flac, alac, libvorbis,\n"
    "                          libopus, wmav2 (default: the container's)\n"
    "      --size WxH          picture size (default: the source's displayed size)\n"
    "      --fps N[/D]         frame rate (default: the source's)\n"
    "      --start S           begin S seconds into IN (frame accurate)\n"
    "      --duration S        keep S seconds\n"
    "      --quality LEVEL     high (default), middle or low\n"
    "      --audio-stream N    use audio stream number N (default: the best one)\n"
    "      --subtitle-stream N burn subtitle stream number N into the picture\n"
    "      --subtitle-file F   burn the subtitle file F (SRT, ASS) into the picture\n"
    "      --no-audio          leave the audio out\n"
    "      --no-video          leave the video out\n"
    "      --no-subtitles      burn no subtitles\n"
    "      --volume N          0..256, 256 keeps the level (default 256)\n"
    "      --sample-rate N     audio sample rate in Hz (default: the source's)\n"
    "      --channels N        audio channels (default: the source's)\n"
    "      --no-copy           re-encode even streams that could be copied as they are\n"
    "                    Shows a progress bar on a terminal, plain lines otherwise.\n"
    "                    Exit status: 0 done, 1 failed, 2 bad arguments, 130 interrupted.\n";

QString timeText(int64_t us) {
    const int64_t s = std::max<int64_t>(0, us / 1000000);
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                             static_cast<long long>(s % 3600 / 60), static_cast<long long>(s % 60));
}

class ProgressPrinter final : public SWConvertSessionDelegate {
public:
    ProgressPrinter() : _tty(::isatty(STDERR_FILENO) == 1) {}
    void sessionProgressPastLeft(SWConvertSession *, double percent, int64_t pastUs, int64_t leftUs) override {
        if (_tty) {
            const int width = 30;
            const int filled = std::clamp(static_cast<int>(percent / 100.0 * width), 0, width);
            const QByteArray bar = QByteArray(filled, '#') + QByteArray(width - filled, '.');
            std::fprintf(stderr, "\r[%s] %5.1f%%  left %s ", bar.constData(), percent, qPrintable(timeText(leftUs)));
            std::fflush(stderr);
            _drawn = true;
        } else {
            const int step = static_cast<int>(percent / 10.0);
            if (step > _lastStep || percent >= 100.0) {
                _lastStep = step;
                std::fprintf(stderr, "progress %.0f%% elapsed %s left %s\n", percent, qPrintable(timeText(pastUs)),
                             qPrintable(timeText(leftUs)));
            }
        }
    }
    void endLine() {
        if (_drawn)
            std::fputc('\n', stderr);
        _drawn = false;
    }

private:
    bool _tty;
    bool _drawn = false;
    int _lastStep = -1;
};

struct Options {
    QString in, out;
    SWConvertOption opt;
    QString subtitleFile;
};

std::optional<double> parseSeconds(const QString &s) {
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0 || v > 1e7)
        return std::nullopt;
    return v;
}

std::optional<int> parseInt(const QString &s, int min, int max) {
    bool ok = false;
    const int v = s.toInt(&ok);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

// Fills `o` from the arguments; an error text on failure.
QString parse(const QStringList &args, Options &o) {
    QStringList positional;
    o.opt.setAuto_streamcopy(true);
    for (int i = 0; i < args.size(); ++i) {
        QString a = args[i];
        QString value;
        bool hasValue = false;
        if (a.startsWith("--") && a.contains('=')) {
            value = a.mid(a.indexOf('=') + 1);
            a = a.left(a.indexOf('='));
            hasValue = true;
        }
        auto next = [&]() -> std::optional<QString> {
            if (hasValue)
                return value;
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        auto need = [&](const char *what) -> QString {
            return QStringLiteral("%1 needs %2").arg(a, QLatin1String(what));
        };
        if (a == "--no-audio") {
            o.opt.setAudio_disable(true);
        } else if (a == "--no-video") {
            o.opt.setVideo_disable(true);
        } else if (a == "--no-subtitles") {
            o.opt.setSubtitle_disable(true);
        } else if (a == "--no-copy") {
            o.opt.setAuto_streamcopy(false);
        } else if (a == "--format" || a == "--vcodec" || a == "--acodec" || a == "--subtitle-file") {
            const auto v = next();
            if (!v || v->isEmpty())
                return need("a name");
            if (a == "--format")
                o.opt.setFormat(*v);
            else if (a == "--vcodec")
                o.opt.setVideoCodeName(*v);
            else if (a == "--acodec")
                o.opt.setAudioCodeName(*v);
            else
                o.subtitleFile = *v;
        } else if (a == "--size") {
            const auto v = next();
            const QStringList p = v ? v->toLower().split('x') : QStringList();
            const auto w = p.size() == 2 ? parseInt(p[0], 0, 16384) : std::nullopt;
            const auto h = p.size() == 2 ? parseInt(p[1], 0, 16384) : std::nullopt;
            if (!w || !h)
                return need("WxH, for example 1280x720");
            o.opt.setWidth(static_cast<uint64_t>(*w));
            o.opt.setHeight(static_cast<uint64_t>(*h));
        } else if (a == "--fps") {
            const auto v = next();
            const QStringList p = v ? v->split('/') : QStringList();
            const auto n = !p.isEmpty() && p.size() <= 2 ? parseInt(p[0], 1, 1000000) : std::nullopt;
            const auto d = p.size() == 2 ? parseInt(p[1], 1, 1000000) : std::optional<int>(1);
            if (!n || !d)
                return need("N or N/D, for example 25 or 30000/1001");
            o.opt.setFrame_rate(*n, *d);
        } else if (a == "--start" || a == "--duration") {
            const auto v = next();
            const auto s = v ? parseSeconds(*v) : std::nullopt;
            if (!s)
                return need("seconds");
            const auto us = static_cast<int64_t>(*s * 1e6);
            if (a == "--start")
                o.opt.setStart_time(us);
            else if (us > 0)
                o.opt.setRecording_time(us);
            else
                return QStringLiteral("--duration must be more than 0");
        } else if (a == "--quality") {
            const auto v = next();
            if (v == QStringLiteral("high"))
                o.opt.setQscale(1.0);
            else if (v == QStringLiteral("middle"))
                o.opt.setQscale(7.0);
            else if (v == QStringLiteral("low"))
                o.opt.setQscale(15.0);
            else
                return need("high, middle or low");
        } else if (a == "--audio-stream" || a == "--subtitle-stream" || a == "--volume" || a == "--sample-rate" ||
                   a == "--channels") {
            const auto v = next();
            const int max = a == "--volume" ? 256 : a == "--sample-rate" ? 384000 : a == "--channels" ? 8 : 100000;
            const auto n = v ? parseInt(*v, 0, max) : std::nullopt;
            if (!n)
                return need(a == "--volume" ? "a number from 0 to 256" : "a number");
            if (a == "--audio-stream")
                o.opt.setAudioStreamIndex(*n);
            else if (a == "--subtitle-stream")
                o.opt.setSubtitleStreamIndex(*n);
            else if (a == "--volume")
                o.opt.setAudio_volume(*n);
            else if (a == "--sample-rate")
                o.opt.setSample_rate(*n);
            else
                o.opt.setChannels(*n);
        } else if (a.startsWith("--")) {
            return QStringLiteral("unknown option %1").arg(a);
        } else {
            positional << args[i];
        }
    }
    if (positional.size() != 2)
        return QStringLiteral("convert needs IN and OUT");
    o.in = positional[0];
    o.out = positional[1];
    if (!o.subtitleFile.isEmpty())
        o.opt.setUsePluginSubtitle(true);
    return {};
}

} // namespace

const char *convertUsage() { return kUsage; }

int runConvert(const QStringList &args) {
    Options o;
    if (const QString err = parse(args, o); !err.isEmpty()) {
        std::fprintf(stderr, "cinvora-cli convert: %s\n", qPrintable(err));
        return 2;
    }
    if (!QFileInfo(o.in).isFile()) {
        std::fprintf(stderr, "cinvora-cli convert: cannot read %s\n", qPrintable(o.in));
        return 1;
    }
    // Claim the output name first: an existing file is never overwritten, and two
    // runs cannot pick the same name.
    const QByteArray outNative = QFile::encodeName(o.out);
    const int fd = ::open(outNative.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int e = errno;
        if (e == EEXIST)
            std::fprintf(stderr, "cinvora-cli convert: %s exists; not overwriting it\n", qPrintable(o.out));
        else
            std::fprintf(stderr, "cinvora-cli convert: cannot create %s: %s\n", qPrintable(o.out), std::strerror(e));
        return 1;
    }
    struct stat reserved {};
    ::fstat(fd, &reserved);
    ::close(fd);

    SWConvertSession session;
    ProgressPrinter printer;
    session.setDelegate(&printer);
    session.option() = o.opt;
    session.addInputFile(o.in);
    if (!o.subtitleFile.isEmpty())
        session.loadPluginSubtitle(o.subtitleFile);
    session.setOutputFileName(o.out);

    // Ctrl-C and SIGTERM cancel the session from a thread of their own; the signals are
    // blocked everywhere else, FFmpeg's threads included (they inherit the mask).
    sigset_t set, old;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set, &old);
    std::atomic<int> caught{0};
    std::thread watcher([&] {
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) != 0 || sig == SIGUSR1)
                return;
            caught.store(sig);
            session.cancel();
        }
    });
    const bool ok = session.start();
    pthread_kill(watcher.native_handle(), SIGUSR1);
    watcher.join();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    printer.endLine();

    if (ok) {
        std::printf("%s\n", qPrintable(o.out));
        return 0;
    }
    if (caught.load()) {
        std::fprintf(stderr, "cinvora-cli convert: interrupted; %s removed\n", qPrintable(o.out));
        return 130;
    }
    // The reason is in the log line the engine wrote to standard error.
    // The session removes what it wrote; our empty reservation goes too if still there.
    struct stat now {};
    if (::stat(outNative.constData(), &now) == 0 && now.st_dev == reserved.st_dev && now.st_ino == reserved.st_ino &&
        now.st_size == 0)
        ::unlink(outNative.constData());
    return 1;
}
