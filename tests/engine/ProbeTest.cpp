#include <framewheel/SWMediaInfoManager.h>

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testsupport::fixture;

namespace {

double rational(const QString &r) {
    const QStringList p = r.split('/');
    if (p.size() != 2 || p[1].toDouble() == 0)
        return 0;
    return p[0].toDouble() / p[1].toDouble();
}

// What ffprobe says a probe must report.
struct Expected {
    int64_t durationUs = 0;
    bool hasVideo = false;
    uint64_t width = 0, height = 0;
    double fps = 0;
    unsigned sampleRate = 0;
    QList<int> audio, subtitles;
};

Expected fromFfprobe(const QString &path) {
    const QJsonObject j = testsupport::ffprobe(path);
    Expected e;
    e.durationUs = std::llround(j["format"].toObject()["duration"].toString().toDouble() * 1e6);
    bool firstAudio = true;
    for (const auto &sv : j["streams"].toArray()) {
        const QJsonObject s = sv.toObject();
        const QString type = s["codec_type"].toString();
        if (type == "video" && !e.hasVideo && s["disposition"].toObject()["attached_pic"].toInt() == 0) {
            e.hasVideo = true;
            double w = s["width"].toInt();
            double h = s["height"].toInt();
            const double sar = rational(s["sample_aspect_ratio"].toString().replace(':', '/'));
            if (sar > 0)
                w = std::llround(w * sar);
            int rot = 0;
            for (const auto &sd : s["side_data_list"].toArray())
                rot = std::abs(sd.toObject()["rotation"].toInt());
            if (rot == 90 || rot == 270)
                std::swap(w, h);
            e.width = static_cast<uint64_t>(w);
            e.height = static_cast<uint64_t>(h);
            e.fps = rational(s["avg_frame_rate"].toString());
        } else if (type == "audio") {
            if (firstAudio)
                e.sampleRate = s["sample_rate"].toString().toUInt();
            firstAudio = false;
            e.audio << s["index"].toInt();
        } else if (type == "subtitle") {
            e.subtitles << s["index"].toInt();
        }
    }
    return e;
}

} // namespace

class ProbeAgreesWithFfprobe : public ::testing::TestWithParam<const char *> {};

TEST_P(ProbeAgreesWithFfprobe, OnEveryQuery) {
    const QString path = fixture(GetParam());
    const Expected e = fromFfprobe(path);
    ASSERT_GT(e.durationUs, 0) << "ffprobe could not read " << GetParam();
    EXPECT_TRUE(SWMediaInfoManager::canOpenFile(path));
    SWMediaInfoManager probe(path);
    ASSERT_TRUE(probe.isValid()) << probe.error().toStdString();
    EXPECT_NEAR(double(probe.duration()), double(e.durationUs), 1.0);
    EXPECT_EQ(probe.hasVideo(), e.hasVideo);
    EXPECT_EQ(probe.width(), e.width);
    EXPECT_EQ(probe.height(), e.height);
    EXPECT_NEAR(probe.framerate(), e.fps, 1e-6);
    EXPECT_EQ(probe.samples(), e.sampleRate);
    EXPECT_EQ(probe.audioStreamIndexs(), e.audio);
    EXPECT_EQ(probe.subtitleStreamIndexs(), e.subtitles);
    EXPECT_EQ(probe.audioStreamNames().size(), e.audio.size());
    EXPECT_EQ(probe.subtitles().size(), e.subtitles.size());
    EXPECT_EQ(probe.path(), path);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ProbeAgreesWithFfprobe,
                         ::testing::Values("clip.mp4", "short.mp4", "audio.mp3", "audio.flac", "multi.mkv", "mpeg4.avi",
                                           "hd1080.mp4", "rotated.mp4", "anamorphic.mkv"));

TEST(Probe, DisplayedSizeFollowsRotationAndPixelShape) {
    SWMediaInfoManager rotated(fixture("rotated.mp4"));
    EXPECT_EQ(rotated.rotation(), 270); // clockwise, as the ffmpeg program turns it
    EXPECT_EQ(rotated.width(), 360u);
    EXPECT_EQ(rotated.height(), 640u);
    SWMediaInfoManager pal(fixture("anamorphic.mkv"));
    EXPECT_EQ(pal.codedWidth(), 720u);
    EXPECT_EQ(pal.width(), 768u);
    EXPECT_EQ(pal.height(), 576u);
    SWMediaInfoManager ntsc(fixture("hd1080.mp4"));
    EXPECT_NEAR(ntsc.framerate(), 30000.0 / 1001.0, 1e-9); // 29.97 is not rounded
}

TEST(Probe, StreamNamesAreReadable) {
    SWMediaInfoManager mkv(fixture("multi.mkv"));
    ASSERT_EQ(mkv.audioStreamNames().size(), 2);
    EXPECT_EQ(mkv.audioStreamNames().at(0), QString::fromUtf8("English \u2013 AAC stereo"));
    EXPECT_EQ(mkv.audioStreamNames().at(1), QString::fromUtf8("French \u2013 VORBIS mono"));
    EXPECT_EQ(mkv.subtitles().value(0), QString::fromUtf8("English \u2013 SubRip"));
    SWMediaInfoManager mp3(fixture("audio.mp3"));
    EXPECT_EQ(mp3.audioStreamNames().value(0), QString::fromUtf8("Track 1 \u2013 MP3 stereo"));
}

TEST(Probe, ThumbnailIsAPictureFromInsideTheClipSizedForTheRow) {
    SWMediaInfoManager probe(fixture("clip.mp4"));
    const QImage t = probe.thumbnailImage();
    ASSERT_FALSE(t.isNull());
    EXPECT_DOUBLE_EQ(t.devicePixelRatio(), 2.0);
    EXPECT_LE(t.width(), 156);
    EXPECT_LE(t.height(), 100);
    EXPECT_TRUE(t.width() == 156 || t.height() == 100);
    // 4:3 source keeps its shape.
    EXPECT_NEAR(double(t.width()) / t.height(), 4.0 / 3.0, 0.05);
    // testsrc2 is colourful; a black or grey frame means the wrong picture was taken.
    QSet<QRgb> colours;
    for (int y = 0; y < t.height(); y += 4)
        for (int x = 0; x < t.width(); x += 4)
            colours.insert(t.pixel(x, y) & 0xf0f0f0);
    EXPECT_GT(colours.size(), 8);

    SWMediaInfoManager rotated(fixture("rotated.mp4"));
    EXPECT_LT(rotated.thumbnailImage().width(), rotated.thumbnailImage().height());
    EXPECT_TRUE(SWMediaInfoManager(fixture("audio.mp3")).thumbnailImage().isNull());
    EXPECT_TRUE(SWMediaInfoManager(fixture("clip.mp4"), false).thumbnailImage().isNull());
}

TEST(Probe, BadInputsGiveClearErrorsQuickly) {
    const QString dir = testsupport::freshDir("bad");
    const QString fifo = dir + "/pipe.mp4";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QStringList bad = {
        fixture("empty.mp4"), fixture("corrupt.mp4"), fixture("random.mp4"), fixture("text.mkv"), fifo, dir,
        dir + "/missing.mp4"};
    for (const QString &path : bad) {
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(SWMediaInfoManager::canOpenFile(path)) << path.toStdString();
        SWMediaInfoManager probe(path);
        EXPECT_FALSE(probe.isValid()) << path.toStdString();
        EXPECT_FALSE(probe.error().isEmpty());
        EXPECT_EQ(probe.duration(), 0);
        EXPECT_FALSE(probe.hasVideo());
        EXPECT_TRUE(probe.audioStreamNames().isEmpty());
        EXPECT_LT(t.elapsed(), 5000) << path.toStdString();
    }
    EXPECT_EQ(SWMediaInfoManager(dir).error(), "is a folder, not a media file");
    EXPECT_EQ(SWMediaInfoManager(fifo).error(), "not a regular file");
    EXPECT_EQ(SWMediaInfoManager(fixture("empty.mp4")).error(), "empty file");
}
