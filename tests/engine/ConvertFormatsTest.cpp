// Every container the catalogue offers, fed with a video and an audio-only source:
// the file must open in ffprobe with the container's codecs and the trimmed length.
#include "SessionTestSupport.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>

using namespace sessiontest;
using testsupport::fixture;

namespace {

struct ContainerCase {
    const char *format; // as the catalogue names it
    const char *ext;    // output extension
    const char *video;  // expected codec, "" = no video stream
    const char *audio;  // expected codec
    int width = 320, height = 240;
    int sampleRate = 48000; // expected for a 48 kHz source
    int channels = 2;
};

void PrintTo(const ContainerCase &c, std::ostream *os) { *os << c.format << " -> " << c.video << "/" << c.audio; }

std::string caseName(const char *format) {
    std::string s(format);
    for (char &c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return s;
}

void expectConverted(const ContainerCase &c, const QString &source, double seconds, bool sourceHasVideo) {
    const QString out = testsupport::freshDir("fmt") + "/out." + c.ext;
    const Outcome o = convert(source, out, [&](SWConvertOption &opt) {
        opt.setFormat(c.format);
        opt.setRecording_time(static_cast<int64_t>(seconds * 1e6));
    });
    ASSERT_TRUE(o.ok) << o.error.toStdString();
    const MediaInfo m = probe(out);
    ASSERT_TRUE(m.valid) << "ffprobe cannot read " << out.toStdString();
    const bool wantVideo = sourceHasVideo && *c.video;
    ASSERT_EQ(m.video.present, wantVideo);
    if (wantVideo) {
        EXPECT_EQ(m.video.codec, c.video);
        EXPECT_EQ(m.video.width, c.width);
        EXPECT_EQ(m.video.height, c.height);
        ASSERT_GT(m.video.fps, 0);
        EXPECT_NEAR(m.video.packets, seconds * m.video.fps, 1.0) << "pictures for " << seconds << " s";
    }
    ASSERT_TRUE(m.audio.present);
    EXPECT_EQ(m.audio.codec, c.audio);
    EXPECT_EQ(m.audio.sampleRate, c.sampleRate);
    EXPECT_EQ(m.audio.channels, c.channels);
    // Audio comes in frames of up to ~50 ms; players see the container's length.
    EXPECT_NEAR(m.duration, seconds, 0.1);
    EXPECT_EQ(o.percents.empty() ? -1.0 : o.percents.back(), 100.0);
}

class VideoIntoContainer : public ::testing::TestWithParam<ContainerCase> {};

TEST_P(VideoIntoContainer, HoldsTheContainersCodecsAndTheTrimmedLength) {
    expectConverted(GetParam(), fixture("short.mp4"), 1.0, true);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, VideoIntoContainer,
    ::testing::Values(
        ContainerCase{"mov", "mov", "h264", "aac"}, ContainerCase{"mp4", "mp4", "h264", "aac"},
        ContainerCase{"m4v", "m4v", "h264", "aac"}, ContainerCase{"ipod", "m4v", "h264", "aac"},
        ContainerCase{"mkv", "mkv", "h264", "vorbis"}, ContainerCase{"webm", "webm", "vp9", "opus"},
        ContainerCase{"avi", "avi", "mpeg4", "mp3"}, ContainerCase{"flv", "flv", "flv1", "mp3", 320, 240, 44100},
        ContainerCase{"wmv", "wmv", "msmpeg4v3", "wmav2"}, ContainerCase{"mpeg", "mpg", "mpeg1video", "mp2"},
        ContainerCase{"vob", "vob", "mpeg2video", "mp2"}, ContainerCase{"svcd", "mpg", "mpeg2video", "mp2"},
        ContainerCase{"vcd", "mpg", "mpeg1video", "mp2"},
        // DV has two picture shapes; 240 lines is nearer the 480-line one.
        ContainerCase{"dv", "dv", "dvvideo", "pcm_s16le", 720, 480},
        // Plain H.263 takes five sizes; 320x240 goes to CIF. No AMR encoder: AAC.
        ContainerCase{"3gp", "3gp", "h263", "aac", 352, 288}, ContainerCase{"mpegts", "ts", "mpeg2video", "mp2"},
        ContainerCase{"mp3", "mp3", "", "mp3"}, ContainerCase{"adts", "aac", "", "aac"},
        ContainerCase{"flac", "flac", "", "flac"}, ContainerCase{"wav", "wav", "", "pcm_s16le"},
        ContainerCase{"ogg", "ogg", "theora", "vorbis"}, ContainerCase{"ac3", "ac3", "", "ac3"},
        ContainerCase{"aiff", "aiff", "", "pcm_s16be"},
        // SMAF: mono, at most 44.1 kHz.
        ContainerCase{"mmf", "mmf", "", "adpcm_yamaha", 0, 0, 44100, 1}),
    [](const auto &info) { return caseName(info.param.format); });

class AudioIntoContainer : public ::testing::TestWithParam<ContainerCase> {};

TEST_P(AudioIntoContainer, HoldsTheContainersAudioCodec) {
    expectConverted(GetParam(), fixture("audio.flac"), 1.0, false);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, AudioIntoContainer,
    ::testing::Values(ContainerCase{"mp3", "mp3", "", "mp3"}, ContainerCase{"adts", "aac", "", "aac"},
                      ContainerCase{"flac", "flac", "", "flac"}, ContainerCase{"wav", "wav", "", "pcm_s16le"},
                      ContainerCase{"ogg", "ogg", "", "vorbis"}, ContainerCase{"ac3", "ac3", "", "ac3"},
                      ContainerCase{"aiff", "aiff", "", "pcm_s16be"},
                      ContainerCase{"mmf", "mmf", "", "adpcm_yamaha", 0, 0, 44100, 1},
                      ContainerCase{"mp4", "m4a", "", "aac"}, ContainerCase{"mkv", "mka", "", "vorbis"},
                      ContainerCase{"wma", "wma", "", "wmav2"}),
    [](const auto &info) { return caseName(info.param.format); });

TEST(ContainerChoice, EmptyFormatFollowsTheOutputExtension) {
    const QString dir = testsupport::freshDir("ext");
    for (const auto &[ext, codec] : {std::pair{"mkv", "h264"}, std::pair{"avi", "mpeg4"}, std::pair{"webm", "vp9"}}) {
        const QString out = dir + "/out." + ext;
        const Outcome o =
            convert(fixture("short.mp4"), out, [](SWConvertOption &opt) { opt.setRecording_time(500000); });
        ASSERT_TRUE(o.ok) << ext << ": " << o.error.toStdString();
        EXPECT_EQ(probe(out).video.codec, codec) << ext;
    }
}

} // namespace
