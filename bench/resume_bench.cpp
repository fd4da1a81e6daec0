// What keeping a conversion's work costs: the same conversion written in one piece
// (SWResume::Off) and in parts with the sound beside them (SWResume::Afresh), alternating,
// in the same run; medians of wall time and the output sizes, and their ratios. The ffmpeg
// program makes the same conversion (x264 CRF 18, AAC) in each round, as the yardstick.
// Usage: cinvora-resume-bench SOURCE OUTDIR [ROUNDS]
#include <framewheel/Codec.h>
#include <framewheel/SWConvertSession.h>

#include <QCoreApplication>
#include <QProcess>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/resource.h>
#include <cstdio>
#include <vector>

namespace {

struct Result {
    double seconds = 0;
    double cpu = 0; // seconds of processor time, all threads: far steadier than the wall
                    // clock on a machine others share
    qint64 bytes = 0;
};

double cpuSeconds(int who) {
    rusage u{};
    ::getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool convert(const QString &source, const QString &out, SWResume mode, Result *r) {
    QFile::remove(out);
    SWConvertSession session;
    SWConvertOption &o = session.option();
    o.setVideoCodeName(QStringLiteral("h264"));
    o.setAudioCodeName(QStringLiteral("aac"));
    o.setQscale(1.0);
    o.setAuto_streamcopy(false);
    session.addInputFile(source);
    session.setOutputFileName(out);
    session.setResume(mode);
    QElapsedTimer t;
    t.start();
    const double cpu = cpuSeconds(RUSAGE_SELF);
    const bool ok = session.start();
    r->seconds = double(t.nsecsElapsed()) / 1e9;
    r->cpu = cpuSeconds(RUSAGE_SELF) - cpu;
    r->bytes = QFileInfo(out).size();
    if (!ok)
        std::fprintf(stderr, "conversion failed: %s\n", qPrintable(session.lastError()));
    return ok;
}

// The ffmpeg program with the settings the engine chooses for H.264 at the high quality.
bool convertWithFfmpeg(const QString &source, const QString &out, Result *r) {
    QFile::remove(out);
    QProcess p;
    QElapsedTimer t;
    t.start();
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    p.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-y", "-i", source, "-c:v", "libx264", "-crf", "18",
                                       "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "96k", out});
    const bool ok = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    r->seconds = double(t.nsecsElapsed()) / 1e9;
    r->cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu;
    r->bytes = QFileInfo(out).size();
    if (!ok)
        std::fprintf(stderr, "ffmpeg failed: %s\n", p.readAllStandardError().constData());
    return ok;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: cinvora-resume-bench SOURCE OUTDIR [ROUNDS]\n");
        return 2;
    }
    const QString source = args[1], dir = args[2];
    const int rounds = args.size() > 3 ? std::max(1, args[3].toInt()) : 3;
    QDir().mkpath(dir);
    SWInitCodec(argc, argv);
    std::vector<double> whole, parts, ffmpeg, ratios, cpuRatios, wholeCpu, partsCpu, ffmpegCpu;
    qint64 wholeBytes = 0, partsBytes = 0, ffmpegBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        Result a, b, f;
        // Alternating, and in turn which goes first, so that a change of the machine's load
        // falls on both.
        const bool partsFirst = i % 2 == 1;
        if (partsFirst && !convert(source, dir + "/parts.mp4", SWResume::Afresh, &b))
            return 1;
        if (!convert(source, dir + "/whole.mp4", SWResume::Off, &a))
            return 1;
        if (!partsFirst && !convert(source, dir + "/parts.mp4", SWResume::Afresh, &b))
            return 1;
        if (!convertWithFfmpeg(source, dir + "/ffmpeg.mp4", &f))
            return 1;
        whole.push_back(a.seconds);
        parts.push_back(b.seconds);
        ffmpeg.push_back(f.seconds);
        ratios.push_back(b.seconds / a.seconds);
        cpuRatios.push_back(b.cpu / a.cpu);
        wholeCpu.push_back(a.cpu);
        partsCpu.push_back(b.cpu);
        ffmpegCpu.push_back(f.cpu);
        wholeBytes = a.bytes;
        partsBytes = b.bytes;
        ffmpegBytes = f.bytes;
        std::printf("round %d: one piece %.2f s (cpu %.2f s) %lld B, in parts %.2f s (cpu %.2f s) %lld B (ratio %.3f, "
                    "cpu %.3f), ffmpeg %.2f s (cpu %.2f s) %lld B\n",
                    i + 1, a.seconds, a.cpu, static_cast<long long>(a.bytes), b.seconds, b.cpu,
                    static_cast<long long>(b.bytes), b.seconds / a.seconds, b.cpu / a.cpu, f.seconds, f.cpu,
                    static_cast<long long>(f.bytes));
        std::fflush(stdout);
    }
    // The median of the rounds' own ratios: each pair ran back to back under the same load.
    const double time = median(ratios), cpuTime = median(cpuRatios), size = double(partsBytes) / double(wholeBytes);
    std::printf("median: one piece %.2f s, in parts %.2f s, ffmpeg %.2f s\n", median(whole), median(parts),
                median(ffmpeg));
    std::printf("in parts / one piece: time ratio %.3f, processor time ratio %.3f (target <= 1.03), size ratio %.4f "
                "(target <= 1.01)\n",
                time, cpuTime, size);
    std::printf("processor time against ffmpeg: one piece %.3f, in parts %.3f\n", median(wholeCpu) / median(ffmpegCpu),
                median(partsCpu) / median(ffmpegCpu));
    std::printf("against ffmpeg: one piece time %.3f size %.4f, in parts time %.3f size %.4f\n",
                median(whole) / median(ffmpeg), double(wholeBytes) / double(ffmpegBytes),
                median(parts) / median(ffmpeg), double(partsBytes) / double(ffmpegBytes));
    SWUnInitCodec();
    return cpuTime <= 1.03 && size <= 1.01 ? 0 : 1;
}
