// The measured quality the command line reports (--json's ssim and psnr_db) against what
// the ffmpeg program's own ssim and psnr filters say of the same two files, and the
// quality target (--target-ssim): the SSIM it promises, the factor it picks, its refusals.
#include "TestSupport.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using testsupport::damage::make;

QString cli() { return testsupport::binary("cinvora-cli"); }

// Moving, noisy pictures, so that an encoder's losses show in the SSIM.
QString noisySource(const QString &dir, double seconds, const QString &size) {
    const QString path = dir + "/source.mp4";
    if (!QFileInfo::exists(path) &&
        !make({"-f", "lavfi", "-i", QStringLiteral("testsrc2=size=%1:rate=25,noise=alls=10:allf=t").arg(size), "-t",
               QString::number(seconds), "-pix_fmt", "yuv420p", "-c:v", "libx264", "-crf", "4"},
              path))
        return {};
    return path;
}

QJsonObject convertJson(const QStringList &args, int *rc = nullptr, QByteArray *err = nullptr) {
    QByteArray out, e;
    const int code =
        testsupport::runProgram(cli(), QStringList{"convert"} + args + QStringList{"--json"}, &out, &e, 300000);
    if (rc)
        *rc = code;
    if (err)
        *err = e;
    return QJsonDocument::fromJson(out.trimmed()).object();
}

struct Filtered {
    double ssim = -1, psnr = -1;
};

// `ffmpeg -i OUT -i SOURCE` through ssim and psnr, the source scaled to the output's size
// first when it differs (bicubic, as the conversion scales).
Filtered ffmpegJudges(const QString &out, const QString &source, const QString &scaleTo = {}) {
    const QString ref = scaleTo.isEmpty() ? QStringLiteral("[1:v]null[r]")
                                          : QStringLiteral("[1:v]scale=%1:flags=bicubic[r]").arg(scaleTo);
    QByteArray o, e;
    testsupport::runProgram("ffmpeg",
                            {"-hide_banner", "-nostdin", "-i", out, "-i", source, "-lavfi",
                             ref + ";[r]split[r1][r2];[0:v]split[m1][m2];[m1][r1]ssim;[m2][r2]psnr", "-f", "null", "-"},
                            &o, &e);
    Filtered f;
    const QString text = QString::fromUtf8(e);
    if (const auto m = QRegularExpression("All:([0-9.]+)").match(text); m.hasMatch())
        f.ssim = m.captured(1).toDouble();
    if (const auto m = QRegularExpression("average:([0-9.]+)").match(text); m.hasMatch())
        f.psnr = m.captured(1).toDouble();
    return f;
}

TEST(CliQuality, MeasuredSsimAndPsnrAreWhatTheFfmpegFiltersSay) {
    const QString dir = testsupport::freshDir("quality");
    const QString source = noisySource(dir, 2, "320x240");
    ASSERT_FALSE(source.isEmpty());
    const struct {
        const char *name;
        QStringList options;
        QString scaleTo;
    } cases[] = {
        {"x264.mp4", {"--vcodec", "h264", "--quality", "low", "--no-copy"}, {}},
        {"vp9.webm", {"--vcodec", "vp9", "--quality", "middle"}, {}},
        {"resized.mkv", {"--vcodec", "h264", "--size", "176x144"}, "176:144"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir + "/" + c.name;
        int rc = -1;
        QByteArray err;
        const QJsonObject row = convertJson(QStringList{source, out} + c.options, &rc, &err);
        ASSERT_EQ(rc, 0) << err.toStdString();
        ASSERT_TRUE(row.contains("ssim")) << QJsonDocument(row).toJson().toStdString();
        const Filtered judged = ffmpegJudges(out, source, c.scaleTo);
        ASSERT_GT(judged.ssim, 0.0);
        // The encoder lost something, so a figure of 1 would be no measurement.
        EXPECT_LT(judged.ssim, 0.995);
        EXPECT_NEAR(row["ssim"].toDouble(), judged.ssim, 0.003);
        EXPECT_NEAR(row["psnr_db"].toDouble(), judged.psnr, 0.1);
        EXPECT_EQ(row["frames_measured"].toInt(), 50);
    }
    // A copied stream is not re-encoded, so nothing is measured and nothing claimed.
    const QJsonObject copied = convertJson({source, dir + "/copy.mkv"});
    EXPECT_EQ(copied["result"].toString().toStdString(), "done");
    EXPECT_FALSE(copied.contains("ssim"));
}

// The target is met on the whole file, by a file within a tenth of the smallest that meets
// it: two steps more miss it, and where one step more still meets it, that file is not much
// smaller. Flat, slowly zooming colours measure worse in short samples than in the whole
// file, which let the search settle a step or more short of the smallest file.
TEST(CliQuality, TargetSsimIsMetByTheSmallestFile) {
    const QString dir = testsupport::freshDir("target");
    const QString flat = dir + "/flat.mp4";
    ASSERT_TRUE(make({"-f", "lavfi", "-i", "mandelbrot=s=320x180:r=25,trim=duration=10", "-pix_fmt", "yuv420p", "-c:v",
                      "libx264", "-crf", "4"},
                     flat));
    const struct {
        QString source;
        double target;
    } cases[] = {{noisySource(dir, 4, "320x240"), 0.97}, {flat, 0.96}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        ASSERT_FALSE(c.source.isEmpty());
        const QString out = c.source + "-target.mp4";
        int rc = -1;
        QByteArray err;
        const QJsonObject row = convertJson(
            {c.source, out, "--vcodec", "h264", "--no-audio", "--target-ssim", QString::number(c.target)}, &rc, &err);
        ASSERT_EQ(rc, 0) << err.toStdString();
        ASSERT_TRUE(row.contains("crf")) << QJsonDocument(row).toJson().toStdString();
        const int crf = row["crf"].toInt();
        const Filtered judged = ffmpegJudges(out, c.source);
        EXPECT_GE(judged.ssim, c.target - 0.003);
        EXPECT_NEAR(row["ssim"].toDouble(), judged.ssim, 0.003);

        const QString worse = c.source + "-worse.mp4";
        ASSERT_TRUE(make({"-i", c.source, "-an", "-c:v", "libx264", "-crf", QString::number(crf + 2)}, worse));
        EXPECT_LT(ffmpegJudges(worse, c.source).ssim, c.target)
            << "CRF " << crf << " was not the largest that meets it";
        const QString next = c.source + "-next.mp4";
        ASSERT_TRUE(make({"-i", c.source, "-an", "-c:v", "libx264", "-crf", QString::number(crf + 1)}, next));
        if (ffmpegJudges(next, c.source).ssim >= c.target) {
            EXPECT_LE(double(QFileInfo(out).size()), 1.10 * double(QFileInfo(next).size()))
                << "CRF " << crf + 1 << " meets the target too, with a much smaller file";
        }
    }
}

TEST(CliQuality, TargetsOutsideTheRangeOrWithoutAFactorAreRefused) {
    const QString dir = testsupport::freshDir("target-refused");
    const QString source = noisySource(dir, 1, "160x120");
    ASSERT_FALSE(source.isEmpty());
    for (const char *bad : {"1.5", "0.2", "0.9995", "nice", ""}) {
        QByteArray err;
        const int rc =
            testsupport::runProgram(cli(), {"convert", source, dir + "/x.mp4", "--target-ssim", bad}, nullptr, &err);
        EXPECT_EQ(rc, 2) << bad;
        EXPECT_TRUE(err.contains("--target-ssim needs an SSIM from 0.5 to 0.999, or lossless, good, small"))
            << err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir + "/x.mp4"));
    // A named point is a target like its number.
    QByteArray err;
    int rc = -1;
    const QJsonObject named = convertJson({source, dir + "/named.mp4", "--target-ssim", "small"}, &rc, &err);
    EXPECT_EQ(rc, 0) << err.toStdString();
    EXPECT_GE(named["ssim"].toDouble(), 0.96 - 0.003);
    // An encoder without a constant-rate factor cannot aim: refused, and no file is left.
    const QJsonObject mpeg4 =
        convertJson({source, dir + "/m.avi", "--vcodec", "mpeg4", "--target-ssim", "0.98"}, &rc, &err);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(mpeg4["reason"].toString().contains("constant-rate factor"))
        << QJsonDocument(mpeg4).toJson().toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir + "/m.avi"));
}

} // namespace
