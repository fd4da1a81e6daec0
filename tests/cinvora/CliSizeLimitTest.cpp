// --max-size and --estimate as a user meets them: a 12 s source of moving noise with a
// sound track, made by the ffmpeg program; the outputs judged by their size on disk and
// by ffprobe.
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString cli() { return testsupport::binary("cinvora-cli"); }

struct Ran {
    int rc = -1;
    QByteArray out, err;
};

Ran run(const QStringList &args) {
    Ran r;
    r.rc = testsupport::runProgram(cli(), QStringList{"convert"} + args, &r.out, &r.err, 300000);
    return r;
}

// 12 s of 320x240: a test picture under moving grain (which keeps every bit the encoder
// is given busy) and a tone at 48 kHz.
const QString &source() {
    static const QString path = [] {
        const QString out = testsupport::freshDir("sizesrc") + "/noise.mkv";
        const bool made = testsupport::damage::make(
            {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=12,noise=alls=24:allf=t", "-f", "lavfi", "-i",
             "sine=frequency=440:sample_rate=48000:duration=12", "-c:v", "libx264", "-crf", "16", "-c:a", "flac"},
            out);
        return made ? out : QString();
    }();
    return path;
}

double durationOf(const QString &path) {
    return testsupport::ffprobe(path)["format"].toObject()["duration"].toString().toDouble();
}

} // namespace

TEST(CliSizeLimit, OutputLandsJustUnderTheLimitWithEachTwoPassEncoder) {
    ASSERT_FALSE(source().isEmpty());
    const QString dir = testsupport::freshDir("sizefit");
    constexpr qint64 kLimit = 900000;
    for (const char *name : {"x.mp4", "x.webm"}) {
        SCOPED_TRACE(name);
        const QString out = dir + "/" + name;
        QStringList args{source(), out, "--max-size", "900K"};
        if (out.endsWith("webm"))
            args << "--vcodec"
                 << "vp9";
        const Ran r = run(args);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        const qint64 size = QFileInfo(out).size();
        EXPECT_LE(size, kLimit);
        EXPECT_GE(size, kLimit * 95 / 100);
        EXPECT_NEAR(durationOf(out), 12.0, 0.2);
        EXPECT_TRUE(QDir(dir).entryList({".*cinvora-part"}, QDir::Hidden | QDir::Files).isEmpty());
    }
}

TEST(CliSizeLimit, AnImpossibleLimitIsRefusedNamingASizeThatWorks) {
    ASSERT_FALSE(source().isEmpty());
    const QString dir = testsupport::freshDir("sizesmall");
    const Ran r = run({source(), dir + "/tiny.mp4", "--max-size", "30K"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_FALSE(QFileInfo::exists(dir + "/tiny.mp4"));
    const QRegularExpressionMatch m =
        QRegularExpression("the smallest size that works is ([0-9.]+) MB").match(QString::fromUtf8(r.err));
    ASSERT_TRUE(m.hasMatch()) << r.err.toStdString();
    // The size named is one the engine then takes and keeps to.
    const QString smallest = m.captured(1) + "M";
    const Ran ok = run({source(), dir + "/fits.mp4", "--max-size", smallest});
    ASSERT_EQ(ok.rc, 0) << ok.err.toStdString();
    EXPECT_LE(QFileInfo(dir + "/fits.mp4").size(), qint64(m.captured(1).toDouble() * 1e6));
    EXPECT_TRUE(QDir(dir).entryList({".*cinvora-part"}, QDir::Hidden | QDir::Files).isEmpty());
}

TEST(CliSizeLimit, AnOvershootIsEncodedAgainBeforeTheFileTakesItsName) {
    ASSERT_FALSE(source().isEmpty());
    const QString dir = testsupport::freshDir("sizeover");
    // The first final pass aims 40 % too high, as an encoder that misjudges a file would.
    qputenv("CINVORA_SIZE_FIRST_RATE_SCALE", "1.4");
    const Ran r = run({source(), dir + "/over.mp4", "--max-size", "700K", "--verbose"});
    qunsetenv("CINVORA_SIZE_FIRST_RATE_SCALE");
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("encoding again")) << r.err.toStdString();
    const qint64 size = QFileInfo(dir + "/over.mp4").size();
    EXPECT_LE(size, 700000);
    EXPECT_GE(size, 700000 * 95 / 100);
}

TEST(CliSizeLimit, AStillPictureUnderALargeLimitIsEstimatedAndExplainedAsItComesOut) {
    // 12 s of one grey picture: at 2 MB the encoder is given far more than it spends.
    const QString dir = testsupport::freshDir("sizestill");
    const QString src = dir + "/still.mkv";
    ASSERT_TRUE(testsupport::damage::make({"-f", "lavfi", "-i", "color=c=0x808890:size=320x240:rate=25:duration=12",
                                           "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=12",
                                           "-c:v", "libx264", "-crf", "16", "-c:a", "flac"},
                                          src));
    const Ran e = run({src, dir + "/s.mp4", "--estimate", "--json", "--max-size", "2M"});
    ASSERT_EQ(e.rc, 0) << e.err.toStdString();
    const double estimated = QJsonDocument::fromJson(e.out.trimmed()).object()["bytes"].toDouble();
    const Ran c = run({src, dir + "/s.mp4", "--max-size", "2M", "--verbose"});
    ASSERT_EQ(c.rc, 0) << c.err.toStdString();
    const double made = double(QFileInfo(dir + "/s.mp4").size());
    ASSERT_LT(made, 0.95 * 2e6); // else the source no longer shows the case
    EXPECT_TRUE(c.err.contains("its pictures need no more")) << c.err.toStdString();
    // The estimate is the size the pictures need, not the limit's.
    EXPECT_NEAR(estimated / made, 1.0, 0.3) << "estimated " << estimated << " bytes, made " << made;
}

TEST(CliSizeLimit, EstimateAgreesWithTheConversionAndWritesNothing) {
    ASSERT_FALSE(source().isEmpty());
    const QString dir = testsupport::freshDir("estimate");
    const QString out = dir + "/e.mp4";
    // Encoded, not copied: the sampled case (the source's FLAC would not be copied into MP4).
    const Ran e = run({source(), out, "--estimate", "--json", "--no-copy"});
    ASSERT_EQ(e.rc, 0) << e.err.toStdString();
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    const QJsonObject o = QJsonDocument::fromJson(e.out.trimmed()).object();
    const double bytes = o["bytes"].toDouble(), seconds = o["seconds"].toDouble();
    ASSERT_GT(bytes, 0) << e.out.toStdString();
    ASSERT_GT(seconds, 0);

    QElapsedTimer took;
    took.start();
    const Ran c = run({source(), out, "--no-copy"});
    const double tookS = double(took.elapsed()) / 1000.0;
    ASSERT_EQ(c.rc, 0) << c.err.toStdString();
    const double real = double(QFileInfo(out).size());
    EXPECT_NEAR(bytes / real, 1.0, 0.3) << "estimated " << bytes << " bytes, made " << real;
    // Only a sanity bound: the figures belong to bench/size_bench.py, and a loaded machine
    // moves the conversion's time by itself. A figure scaled from the encoder's start-up
    // (several times the conversion) or one that left out the encoding falls outside.
    EXPECT_GT(seconds, tookS / 4) << "estimated " << seconds << " s, took " << tookS << " s";
    EXPECT_LT(seconds, tookS * 4) << "estimated " << seconds << " s, took " << tookS << " s";

    // With a limit the size is the limit's; an impossible one has no estimate.
    const Ran limited = run({source(), dir + "/l.mp4", "--estimate", "--json", "--max-size", "1M"});
    ASSERT_EQ(limited.rc, 0) << limited.err.toStdString();
    const QJsonObject lo = QJsonDocument::fromJson(limited.out.trimmed()).object();
    EXPECT_LE(lo["bytes"].toDouble(), 1e6);
    EXPECT_GE(lo["bytes"].toDouble(), 0.95e6);
    // Binary units are powers of 1024.
    const Ran binary = run({source(), dir + "/b.mp4", "--estimate", "--json", "--max-size", "1MiB"});
    ASSERT_EQ(binary.rc, 0) << binary.err.toStdString();
    EXPECT_GT(QJsonDocument::fromJson(binary.out.trimmed()).object()["bytes"].toDouble(), 1e6);
    const Ran none = run({source(), dir + "/n.mp4", "--estimate", "--json", "--max-size", "30K"});
    EXPECT_EQ(none.rc, 1);
    EXPECT_TRUE(QJsonDocument::fromJson(none.out.trimmed()).object()["error"].toString().contains("smallest size"))
        << none.out.toStdString();

    // A quality target's factor comes from its search: a figure made at the row's quality
    // level would be for other settings, so there is none, with the reason, and no file.
    const Ran target = run({source(), dir + "/t.mp4", "--estimate", "--json", "--target-ssim", "0.98"});
    EXPECT_EQ(target.rc, 1) << target.out.toStdString();
    const QJsonObject to = QJsonDocument::fromJson(target.out.trimmed()).object();
    EXPECT_FALSE(to.contains("bytes")) << target.out.toStdString();
    EXPECT_TRUE(to["error"].toString().contains("quality target")) << target.out.toStdString();
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).filter("t.mp4").isEmpty());
}
