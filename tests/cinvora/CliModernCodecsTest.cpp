// AV1 and HEVC as a user asks for them on the command line: the formats are listed and
// convert, phones' players find the HEVC tag they want, the quality levels mean something
// to the AV1 encoder, 10-bit sources stay 10-bit, and a codec name this build cannot encode
// is refused instead of silently becoming H.264.
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

QString cli() { return testsupport::binary("cinvora-cli"); }

QJsonObject streamOf(const QJsonObject &probe, const QString &type) {
    for (const auto &s : probe["streams"].toArray())
        if (s.toObject()["codec_type"].toString() == type)
            return s.toObject();
    return {};
}

// A second of 10-bit HEVC, made by the ffmpeg program.
QString tenBitSource(const QString &dir) {
    const QString out = dir + "/ten.mkv";
    QProcess ff;
    ff.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc2=size=320x240:rate=25:duration=1", "-pix_fmt", "yuv420p10le", "-c:v", "libx265",
                        "-x265-params", "log-level=error", out});
    ff.waitForFinished(120000);
    return ff.exitCode() == 0 ? out : QString();
}

} // namespace

TEST(CliModernCodecs, Av1AndHevcFormatsAreListedAndConvert) {
    QByteArray listed;
    ASSERT_EQ(testsupport::runProgram(cli(), {"formats"}, &listed), 0);
    struct Want {
        const char *keyPath, *video, *audio, *ext;
    };
    const Want wants[] = {{"Common Video.HEVC MP4", "hevc", "aac", ".mp4"},
                          {"Common Video.AV1 MP4", "av1", "aac", ".mp4"},
                          {"Common Video.AV1 MKV", "av1", "opus", ".mkv"},
                          {"Web Video.AV1 WebM", "av1", "opus", ".webm"}};
    for (const Want &w : wants) {
        SCOPED_TRACE(w.keyPath);
        EXPECT_TRUE(listed.contains(QByteArray(w.keyPath) + '\t')) << listed.toStdString();
        const QString out = testsupport::freshDir("modern");
        QByteArray err;
        ASSERT_EQ(testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), "--to", w.keyPath, "--output", out},
                                          nullptr, &err, 300000),
                  0)
            << err.toStdString();
        const QStringList files = QDir(out).entryList(QDir::Files);
        ASSERT_EQ(files.size(), 1);
        EXPECT_TRUE(files[0].endsWith(w.ext));
        const QJsonObject probe = testsupport::ffprobe(QDir(out).filePath(files[0]));
        const QJsonObject video = streamOf(probe, "video");
        EXPECT_EQ(video["codec_name"].toString(), w.video);
        EXPECT_EQ(streamOf(probe, "audio")["codec_name"].toString(), w.audio);
        EXPECT_NEAR(probe["format"].toObject()["duration"].toString().toDouble(), 4.0, 0.1);
        if (QString(w.video) == "hevc") {
            // Phones' and TVs' players open HEVC in MP4 only under this tag.
            EXPECT_EQ(video["codec_tag_string"].toString(), "hvc1");
        }
    }
}

TEST(CliModernCodecs, Av1QualityLevelsDifferAndTenBitsStayTenBits) {
    const QString dir = testsupport::freshDir("av1q");
    qint64 sizes[2] = {0, 0};
    const char *levels[2] = {"high", "low"};
    for (int i = 0; i < 2; ++i) {
        const QString out = dir + "/" + levels[i] + ".mkv";
        QByteArray err;
        ASSERT_EQ(testsupport::runProgram(
                      cli(),
                      {"convert", fixture("short.mp4"), out, "--vcodec", "av1", "--quality", levels[i], "--no-audio"},
                      nullptr, &err, 300000),
                  0)
            << err.toStdString();
        EXPECT_EQ(streamOf(testsupport::ffprobe(out), "video")["codec_name"].toString(), "av1");
        EXPECT_EQ(streamOf(testsupport::ffprobe(out), "video")["pix_fmt"].toString(), "yuv420p");
        sizes[i] = QFileInfo(out).size();
    }
    EXPECT_GT(sizes[0], sizes[1] * 13 / 10) << "high " << sizes[0] << " against low " << sizes[1];

    const QString ten = tenBitSource(dir);
    ASSERT_FALSE(ten.isEmpty());
    for (const char *codec : {"av1", "hevc"}) {
        SCOPED_TRACE(codec);
        const QString out = dir + "/ten-" + codec + ".mp4";
        QByteArray err;
        ASSERT_EQ(testsupport::runProgram(cli(), {"convert", ten, out, "--vcodec", codec}, nullptr, &err, 300000), 0)
            << err.toStdString();
        const QJsonObject video = streamOf(testsupport::ffprobe(out), "video");
        EXPECT_EQ(video["codec_name"].toString(), codec);
        EXPECT_EQ(video["pix_fmt"].toString(), "yuv420p10le");
    }
    // H.264 stays at the 8 bits that devices play.
    const QString h264 = dir + "/ten-h264.mp4";
    ASSERT_EQ(testsupport::runProgram(cli(), {"convert", ten, h264, "--vcodec", "h264"}, nullptr, nullptr, 300000), 0);
    EXPECT_EQ(streamOf(testsupport::ffprobe(h264), "video")["pix_fmt"].toString(), "yuv420p");
}

TEST(CliModernCodecs, UnknownCodecNamesAreRefusedWithTheNamesThatExist) {
    const QString dir = testsupport::freshDir("badcodec");
    for (const char *option : {"--vcodec", "--acodec"}) {
        SCOPED_TRACE(option);
        QByteArray err;
        const QString out = dir + "/out.mp4";
        EXPECT_EQ(
            testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), out, option, "svtav1"}, nullptr, &err), 2);
        EXPECT_TRUE(err.contains("no codec \"svtav1\"")) << err.toStdString();
        EXPECT_TRUE(err.contains(QString(option) == "--vcodec" ? "hevc, av1" : "aac, mp3")) << err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
        // A video codec is no audio codec.
        EXPECT_EQ(testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), out, option,
                                                  QString(option) == "--vcodec" ? "aac" : "h264"}),
                  2);
    }
    // An encoder's own name is a name that exists.
    const QString own = dir + "/own.mkv";
    QByteArray err;
    EXPECT_EQ(testsupport::runProgram(
                  cli(),
                  {"convert", fixture("short.mp4"), own, "--vcodec", "libsvtav1", "--duration", "1", "--no-audio"},
                  nullptr, &err, 300000),
              0)
        << err.toStdString();
    EXPECT_EQ(streamOf(testsupport::ffprobe(own), "video")["codec_name"].toString(), "av1");
}
