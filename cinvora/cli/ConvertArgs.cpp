#include "ConvertArgs.h"

#include <framewheel/SWConvertSession.h>
#include <framewheel/SWQualityTarget.h>
#include <reelwright/LXMediaInfo.h>
#include <reelwright/LXSessionFill.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHash>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(ConvertArgs)
};

// The options of the usage text below: switches, then those that take a value.
constexpr const char *kSwitches[] = {"no-audio",  "no-video", "no-subtitles", "no-copy",
                                     "no-resume", "verbose",  "json",         "estimate"};
constexpr const char *kValued[] = {"o",
                                   "output-file",
                                   "output",
                                   "to",
                                   "jobs",
                                   "format",
                                   "vcodec",
                                   "acodec",
                                   "subtitle-file",
                                   "size",
                                   "fps",
                                   "start",
                                   "duration",
                                   "quality",
                                   "audio-stream",
                                   "subtitle-stream",
                                   "volume",
                                   "sample-rate",
                                   "channels",
                                   "loudness",
                                   "max-size",
                                   "target-ssim"};

const char kUsage[] = "  convert INPUT... [OPTIONS]\n"
                      "                    convert files, and the files in folders, with the same rules as\n"
                      "                    the window: files that are not media are skipped, each output is\n"
                      "                    named after its source and numbered when the name is taken\n"
                      "                    (nothing is ever overwritten), several conversions at once\n"
                      "      --to KEYPATH        output format, e.g. \"Common Video.MKV\" (see `formats`);\n"
                      "                          default \"%1\", and \"%2\"\n"
                      "                          for sources without video\n"
                      "      --jobs N            conversions at once (default: the stored setting, 2)\n"
                      "      --output DIR        where outputs go (default: the export folder)\n"
                      "                    (two files without --to, --jobs or --output: see the next form)\n"
                      "  convert IN OUT [OPTIONS]   or   convert IN -o OUT [OPTIONS]\n"
                      "                    convert one file into exactly OUT, which must not exist yet\n"
                      "      -o, --output-file OUT  the file to convert into (the second way above)\n"
                      "    Options of both forms (they win over the format's own choices):\n"
                      "      --format NAME       container: mp4, mov, m4v, mkv, webm, avi, flv, wmv, mpeg,\n"
                      "                          vob, svcd, vcd, dv, 3gp, ts, mp3, aac, flac, wav, ogg, ac3,\n"
                      "                          aiff, mmf, ... (single file: default from OUT's extension)\n"
                      "      --vcodec NAME       h264, hevc, av1, mpeg4, libxvid, vp8, vp9, mpeg2video,\n"
                      "                          mpeg1video, wmv2, flv, dvvideo, h263\n"
                      "      --acodec NAME       aac, mp3, ac3, mp2, pcm_s16le, flac, alac, libvorbis,\n"
                      "                          libopus, wmav2\n"
                      "      --size WxH          picture size (default: the source's displayed size)\n"
                      "      --fps N[/D]         frame rate (default: the source's)\n"
                      "      --start S           begin S seconds into the source (frame accurate)\n"
                      "      --duration S        keep S seconds\n"
                      "      --quality LEVEL     high (default), middle or low\n"
                      "      --target-ssim Q     the smallest file whose picture measures SSIM Q against\n"
                      "                          the source, 0.5 to 0.999, or lossless (0.99), good (0.98),\n"
                      "                          small (0.96); the encoder's CRF is searched on samples\n"
                      "                          (h264, hevc, av1, vp9)\n"
                      "      --audio-stream N    use audio stream number N, as `probe` numbers them\n"
                      "                          (default: the first one); a number that is not an audio\n"
                      "                          stream of the file is refused\n"
                      "      --subtitle-stream N burn subtitle stream number N into the picture\n"
                      "      --subtitle-file F   burn the subtitle file F (SRT, ASS) into the picture\n"
                      "      --no-audio          leave the audio out\n"
                      "      --no-video          leave the video out\n"
                      "      --no-subtitles      burn no subtitles\n"
                      "      --volume N          0..256, 256 keeps the level (default 256)\n"
                      "      --sample-rate N     audio sample rate in Hz\n"
                      "      --channels N        audio channels\n"
                      "      --loudness LUFS     even loudness: bring the sound to LUFS integrated loudness\n"
                      "                          (EBU R128, -70 to -5; -16 suits most listening), true\n"
                      "                          peak at most -1 dBTP; measured first, so the sound is\n"
                      "                          read twice and always encoded\n"
                      "      --no-copy           re-encode even streams that could be copied as they are\n"
                      "      --no-resume         start afresh, even where an interrupted run of the same\n"
                      "                          conversion left finished parts beside the output\n"
                      "      --max-size SIZE     the output is at most SIZE and, from 10 s on, at least 95 %\n"
                      "                          of it: 25M, 700K, 1.5G (powers of 1000), 8MiB (of 1024), or\n"
                      "                          bytes; the video is re-encoded (two passes with H.264,\n"
                      "                          HEVC, VP8, VP9) at the rate that fills it, nothing is\n"
                      "                          copied, and a size that would leave the video fewer than\n"
                      "                          0.02 bits per pixel is refused, naming the smallest that\n"
                      "                          works\n"
                      "      --estimate          convert nothing: print each input's expected output size\n"
                      "                          and conversion time, from a few short samples encoded\n"
                      "                          with the same settings\n"
                      "      --verbose           also print the program's log lines\n"
                      "      --json              (batch, and --estimate) print the table as one JSON object\n"
                      "                          a line\n"
                      "    A progress bar per running conversion on a terminal, plain lines otherwise; the\n"
                      "    batch form ends with a table of sources, results, seconds, the measured quality\n"
                      "    of re-encoded video (SSIM, PSNR in dB) and outputs, then the\n"
                      "    summary the window's notification gives (\"2 files converted, 1 failed.\").\n"
                      "    Ctrl-C cancels and leaves no partial file. A long conversion that re-encodes\n"
                      "    the video keeps its finished parts when it is killed or its session ends\n"
                      "    (SIGTERM, SIGHUP): the same command run again resumes where it stopped\n"
                      "    (not with --max-size or --target-ssim, which start afresh).\n"
                      "    Exit status: 0 all done, 1 something failed or nothing was converted, 2 bad\n"
                      "    arguments, 130 interrupted.\n";

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

// An unknown option as it was typed, for its message: "--bogus" for "--bogus=3", "-x".
QString typedOption(const QStringList &args, const QString &name) {
    for (const QString &arg : args) {
        if (arg == QLatin1String("--"))
            break;
        if (!arg.startsWith(QLatin1Char('-')) || arg.size() < 2)
            continue;
        const bool isLong = arg.startsWith(QLatin1String("--"));
        if (arg.mid(isLong ? 2 : 1).section(QLatin1Char('='), 0, 0) == name)
            return isLong ? arg.section(QLatin1Char('='), 0, 0) : arg;
    }
    return QLatin1String("--") + name;
}

} // namespace

std::optional<int64_t> parseByteSize(const QString &text) {
    static const struct {
        const char *suffix;
        double factor;
    } units[] = {{"kib", 1024.0}, {"mib", 1048576.0}, {"gib", 1073741824.0},
                 {"ki", 1024.0},  {"mi", 1048576.0},  {"gi", 1073741824.0},
                 {"kb", 1e3},     {"mb", 1e6},        {"gb", 1e9},
                 {"k", 1e3},      {"m", 1e6},         {"g", 1e9},
                 {"b", 1.0}};
    QString t = text.trimmed().toLower();
    double factor = 1.0;
    for (const auto &u : units) {
        if (t.endsWith(QLatin1String(u.suffix))) {
            t.chop(qsizetype(std::strlen(u.suffix)));
            factor = u.factor;
            break;
        }
    }
    bool ok = false;
    const double v = t.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0)
        return std::nullopt;
    const double bytes = std::floor(v * factor);
    if (bytes < 1 || bytes > 1e15)
        return std::nullopt;
    return static_cast<int64_t>(bytes);
}

const char *convertUsage() {
    static const QByteArray text =
        QString::fromUtf8(kUsage)
            .arg(LXDefaultFormat::forSource(true).keyPath(), LXDefaultFormat::forSource(false).keyPath())
            .toUtf8();
    return text.constData();
}

QString parseConvertArgs(const QStringList &args, ConvertArgs &o) {
    QCommandLineParser parser;
    // "-o" and the long names alike; "-abc" is one unknown option, not three letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : kSwitches)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    for (const char *name : kValued)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    // Besides unknown names, parse() refuses a value missing at the end (met below, as the
    // option without its value) and a value after a switch ("--json=1"), which has always
    // been ignored.
    if (!parser.parse(QStringList{QStringLiteral("convert")} + args) && !parser.unknownOptionNames().isEmpty())
        return Text::tr("unknown option %1").arg(typedOption(args, parser.unknownOptionNames().first()));

    auto add = [&o](std::function<void(SWConvertOption &)> f) { o.overrides.push_back(std::move(f)); };
    // Options are taken in the order they were typed: a later one wins over an earlier
    // one, also between different options (--no-audio after --audio-stream).
    QHash<QString, qsizetype> taken;
    for (const QString &name : parser.optionNames()) {
        const qsizetype k = taken[name]++;
        const QStringList values = parser.values(name);
        const std::optional<QString> v = k < values.size() ? std::optional<QString>(values.at(k)) : std::nullopt;
        const QString a = name.size() == 1 ? QLatin1Char('-') + name : QLatin1String("--") + name;
        auto need = [&](const QString &what) { return Text::tr("%1 needs %2").arg(a, what); };
        if (a == "--no-audio") {
            add([](SWConvertOption &x) { x.setAudio_disable(true); });
        } else if (a == "--no-video") {
            add([](SWConvertOption &x) { x.setVideo_disable(true); });
        } else if (a == "--no-subtitles") {
            add([](SWConvertOption &x) {
                x.setSubtitle_disable(true);
                x.setSubtitleStreamIndex(-1);
            });
        } else if (a == "--no-copy") {
            o.noCopy = true;
            add([](SWConvertOption &x) { x.setAuto_streamcopy(false); });
        } else if (a == "--no-resume") {
            o.noResume = true;
        } else if (a == "--verbose") {
            o.verbose = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--estimate") {
            o.estimate = true;
        } else if (a == "--max-size") {
            const auto bytes = v ? parseByteSize(*v) : std::nullopt;
            if (!bytes)
                return need(Text::tr("a size such as 25M, 700K or 1.5G"));
            add([b = *bytes](SWConvertOption &x) { x.setMaxSizeBytes(b); });
        } else if (a == "-o" || a == "--output-file" || a == "--output" || a == "--to") {
            if (!v || v->isEmpty())
                return need(a == "--to" ? Text::tr("a format such as \"Audio.mp3\"") : Text::tr("a path"));
            if (a == "--output")
                o.outputDir = *v;
            else if (a == "--to")
                o.keyPath = *v;
            else
                o.outputFile = *v;
        } else if (a == "--jobs") {
            const auto n = v ? parseInt(*v, 1, 64) : std::nullopt;
            if (!n)
                return need(Text::tr("a number from 1 to 64"));
            o.jobs = *n;
        } else if (a == "--format" || a == "--vcodec" || a == "--acodec" || a == "--subtitle-file") {
            if (!v || v->isEmpty())
                return need(Text::tr("a name"));
            const QString s = *v;
            // A codec this build cannot encode would silently give way to the container's
            // default (an H.264 file for a mistyped AV1): refuse it while the user is there.
            if ((a == "--vcodec" || a == "--acodec") && !SWConvertOption::encodesCodecName(s, a == "--vcodec"))
                return Text::tr("%1: no codec \"%2\"; these exist: %3")
                    .arg(a, s, SWConvertOption::offeredCodecNames(a == "--vcodec").join(QStringLiteral(", ")));
            if (a == "--format")
                add([s](SWConvertOption &x) { x.setFormat(s); });
            else if (a == "--vcodec")
                add([s](SWConvertOption &x) { x.setVideoCodeName(s); });
            else if (a == "--acodec")
                add([s](SWConvertOption &x) { x.setAudioCodeName(s); });
            else
                o.subtitleFile = s;
        } else if (a == "--size") {
            const QStringList p = v ? v->toLower().split('x') : QStringList();
            const auto w = p.size() == 2 ? parseInt(p[0], 0, 16384) : std::nullopt;
            const auto h = p.size() == 2 ? parseInt(p[1], 0, 16384) : std::nullopt;
            if (!w || !h)
                return need(Text::tr("WxH, for example 1280x720"));
            add([w = *w, h = *h](SWConvertOption &x) {
                x.setWidth(static_cast<uint64_t>(w));
                x.setHeight(static_cast<uint64_t>(h));
            });
        } else if (a == "--fps") {
            const QStringList p = v ? v->split('/') : QStringList();
            const auto n = !p.isEmpty() && p.size() <= 2 ? parseInt(p[0], 1, 1000000) : std::nullopt;
            const auto d = p.size() == 2 ? parseInt(p[1], 1, 1000000) : std::optional<int>(1);
            if (!n || !d)
                return need(Text::tr("N or N/D, for example 25 or 30000/1001"));
            add([n = *n, d = *d](SWConvertOption &x) { x.setFrame_rate(n, d); });
        } else if (a == "--start" || a == "--duration") {
            const auto s = v ? parseSeconds(*v) : std::nullopt;
            if (!s)
                return need(Text::tr("seconds"));
            const auto us = static_cast<int64_t>(*s * 1e6);
            if (a == "--start") {
                add([us](SWConvertOption &x) {
                    // Keep the end where the item's range put it unless a duration is given too.
                    const int64_t end = x.recording_time() > 0 ? x.start_time() + x.recording_time() : 0;
                    x.setStart_time(us);
                    if (end > us)
                        x.setRecording_time(end - us);
                    else
                        x.setRecording_time(0);
                });
            } else if (us > 0) {
                add([us](SWConvertOption &x) { x.setRecording_time(us); });
            } else {
                return Text::tr("--duration must be more than 0");
            }
        } else if (a == "--loudness") {
            bool ok = false;
            const double lufs = v ? v->toDouble(&ok) : 0.0;
            if (!ok || !std::isfinite(lufs) || lufs < SWConvertOption::kLoudnessMin ||
                lufs > SWConvertOption::kLoudnessMax)
                return need(Text::tr("a loudness in LUFS from %1 to %2, for example %3")
                                .arg(SWConvertOption::kLoudnessMin)
                                .arg(SWConvertOption::kLoudnessMax)
                                .arg(SWConvertOption::kLoudnessDefault));
            add([lufs](SWConvertOption &x) { x.setLoudnessTarget(lufs); });
        } else if (a == "--quality") {
            // The names of the window's quality choices, in its order; the engine setting
            // for each comes from the same rule the window's conversions use.
            const qsizetype choice = v ? QStringList({"high", "middle", "low"}).indexOf(*v) : -1;
            if (choice < 0)
                return need(Text::tr("high, middle or low"));
            add([q = qscaleForQuality(LXQuality(choice))](SWConvertOption &x) { x.setQscale(q); });
        } else if (a == "--target-ssim") {
            QStringList names;
            for (const auto &p : kQualityTargetPoints)
                names << QLatin1String(p.key);
            const std::optional<double> target = v ? parseTargetSsim(*v) : std::nullopt;
            if (!target)
                return need(Text::tr("an SSIM from %1 to %2, or %3")
                                .arg(kMinTargetSsim)
                                .arg(kMaxTargetSsim)
                                .arg(names.join(QStringLiteral(", "))));
            add([t = *target](SWConvertOption &x) { x.setTargetSsim(t); });
        } else {
            const int max = a == "--volume" ? 256 : a == "--sample-rate" ? 384000 : a == "--channels" ? 8 : 100000;
            const auto n = v ? parseInt(*v, 0, max) : std::nullopt;
            if (!n)
                return need(a == "--volume" ? Text::tr("a number from 0 to 256") : Text::tr("a number"));
            const int k = *n;
            if (a == "--audio-stream")
                add([k](SWConvertOption &x) {
                    x.setAudioStreamIndex(k);
                    x.setAudio_disable(false);
                });
            else if (a == "--subtitle-stream")
                add([k](SWConvertOption &x) {
                    x.setSubtitleStreamIndex(k);
                    x.setSubtitle_disable(false);
                });
            else if (a == "--volume")
                add([k](SWConvertOption &x) { x.setAudio_volume(k); });
            else if (a == "--sample-rate")
                add([k](SWConvertOption &x) { x.setSample_rate(k); });
            else
                add([k](SWConvertOption &x) { x.setChannels(k); });
        }
    }
    if (parser.isSet(QStringLiteral("max-size")) && parser.isSet(QStringLiteral("target-ssim")))
        return Text::tr("--max-size and --target-ssim cannot be combined: a size limit or a quality, not both");
    o.inputs = parser.positionalArguments();
    if (o.inputs.isEmpty())
        return Text::tr("convert needs at least one file or folder");
    return {};
}
