// What keeping a conversion's work costs: the same conversion written in one piece
// (SWResume::Off) and in parts with the sound beside them (SWResume::Afresh), alternating,
// in the same run; medians of wall time and the output sizes, and their ratios.
// Usage: cinvora-resume-bench SOURCE OUTDIR [ROUNDS]
#include <framewheel/Codec.h>
#include <framewheel/SWConvertSession.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Result {
    double seconds = 0;
    qint64 bytes = 0;
};

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
    const bool ok = session.start();
    r->seconds = double(t.nsecsElapsed()) / 1e9;
    r->bytes = QFileInfo(out).size();
    if (!ok)
        std::fprintf(stderr, "conversion failed: %s\n", qPrintable(session.lastError()));
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
    std::vector<double> whole, parts;
    qint64 wholeBytes = 0, partsBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        Result a, b;
        // Alternating, so that a change of the machine's load falls on both.
        if (!convert(source, dir + "/whole.mp4", SWResume::Off, &a) ||
            !convert(source, dir + "/parts.mp4", SWResume::Afresh, &b))
            return 1;
        whole.push_back(a.seconds);
        parts.push_back(b.seconds);
        wholeBytes = a.bytes;
        partsBytes = b.bytes;
        std::printf("round %d: one piece %.2f s %lld B, in parts %.2f s %lld B\n", i + 1, a.seconds,
                    static_cast<long long>(a.bytes), b.seconds, static_cast<long long>(b.bytes));
    }
    const double time = median(parts) / median(whole), size = double(partsBytes) / double(wholeBytes);
    std::printf("median: one piece %.2f s, in parts %.2f s\n", median(whole), median(parts));
    std::printf("time ratio %.3f (target <= 1.03), size ratio %.4f (target <= 1.01)\n", time, size);
    SWUnInitCodec();
    return time <= 1.03 && size <= 1.01 ? 0 : 1;
}
