// The rules behind a conversion that need no file: names of containers and encoders,
// what an encoder and a container take.
#include "ConvertPlan.h"

#include <gtest/gtest.h>

using namespace fw;

namespace {

TEST(ConvertPlan, ContainerNamesAndExtensionsResolveToMuxers) {
    QString err;
    const std::pair<const char *, const char *> names[] = {
        {"mkv", "matroska"}, {"matroska", "matroska"}, {"wmv", "asf"},  {"asf", "asf"},   {"m4v", "mp4"},
        {"ipod", "ipod"},    {"mov", "mov"},           {"vob", "vob"},  {"svcd", "svcd"}, {"vcd", "vcd"},
        {"mpeg", "mpeg"},    {"ts", "mpegts"},         {"aac", "adts"}, {"mmf", "mmf"},   {"3gp", "3gp"},
        {".MP4", "mp4"},     {"aiff", "aiff"},         {"dv", "dv"},    {"ogg", "ogg"},   {"webm", "webm"},
    };
    for (const auto &[name, muxer] : names) {
        const AVOutputFormat *f = resolveContainer(name, "/tmp/x.bin", &err);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_STREQ(f->name, muxer) << name;
    }
    EXPECT_STREQ(resolveContainer("", "/tmp/a.mkv", &err)->name, "matroska");
    EXPECT_EQ(resolveContainer("", "/tmp/noext", &err), nullptr);
    EXPECT_EQ(resolveContainer("nonsense", "/tmp/a.mp4", &err), nullptr);
    EXPECT_TRUE(err.contains("nonsense"));
    // Not file containers.
    EXPECT_EQ(resolveContainer("null", "/tmp/a.mp4", &err), nullptr);
    EXPECT_EQ(resolveContainer("framemd5", "/tmp/a.mp4", &err), nullptr);
}

TEST(ConvertPlan, CodecNamesFallBackToTheContainersChoice) {
    QString err;
    const AVOutputFormat *mp4 = resolveContainer("mp4", "", &err);
    const AVOutputFormat *tgp = resolveContainer("3gp", "", &err);
    const AVOutputFormat *mp3 = resolveContainer("mp3", "", &err);
    const AVOutputFormat *ts = resolveContainer("mpegts", "", &err);
    EXPECT_STREQ(chooseEncoder(mp4, AVMEDIA_TYPE_VIDEO, "h264")->name, "libx264");
    EXPECT_STREQ(chooseEncoder(mp4, AVMEDIA_TYPE_AUDIO, "libfaac")->name, "aac");
    EXPECT_STREQ(chooseEncoder(mp4, AVMEDIA_TYPE_VIDEO, "")->name, "libx264");
    EXPECT_STREQ(chooseEncoder(mp4, AVMEDIA_TYPE_VIDEO, "wmv2")->name, "libx264"); // MP4 cannot hold WMV
    EXPECT_STREQ(chooseEncoder(tgp, AVMEDIA_TYPE_AUDIO, "amr_nb")->name, "aac");   // no AMR encoder here
    EXPECT_EQ(chooseEncoder(mp3, AVMEDIA_TYPE_VIDEO, "h264"), nullptr);            // no video in MP3
    EXPECT_TRUE(containerAccepts(ts, AV_CODEC_ID_H264));                           // muxer without a table
    EXPECT_FALSE(containerAccepts(ts, AV_CODEC_ID_WMV2));
    EXPECT_EQ(encoderForName("amr_nb", AVMEDIA_TYPE_AUDIO), nullptr);
    EXPECT_EQ(encoderForName("h264", AVMEDIA_TYPE_AUDIO), nullptr); // wrong kind
    EXPECT_STREQ(encoderForName("HEVC", AVMEDIA_TYPE_VIDEO)->name, "libx265");
    EXPECT_STREQ(encoderForName("vp9", AVMEDIA_TYPE_VIDEO)->name, "libvpx-vp9");
    EXPECT_STREQ(encoderForName("mp3", AVMEDIA_TYPE_AUDIO)->name, "libmp3lame");
}

TEST(ConvertPlan, VideoTargetsRespectEncoderLimits) {
    QString err;
    const AVOutputFormat *mp4 = resolveContainer("mp4", "", &err);
    const AVOutputFormat *mpg = resolveContainer("mpeg", "", &err);
    const AVCodec *x264 = encoderForName("h264", AVMEDIA_TYPE_VIDEO);
    // Only one side given: the other follows the displayed aspect.
    VideoTarget t = videoTarget(x264, mp4, 1920, 1080, 1280, 0, {25, 1}, {0, 0}, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(t.width, 1280);
    EXPECT_EQ(t.height, 720);
    EXPECT_FALSE(t.forceRate);
    // 4:4:4 sources are brought to 4:2:0 for players' sake.
    t = videoTarget(x264, mp4, 640, 480, 0, 0, {25, 1}, {0, 0}, AV_PIX_FMT_YUV444P);
    EXPECT_EQ(t.pixFmt, AV_PIX_FMT_YUV420P);
    // MPEG-1 knows only the standard rates: 15 fps goes to the nearest one.
    t = videoTarget(encoderForName("mpeg1video", AVMEDIA_TYPE_VIDEO), mpg, 320, 240, 0, 0, {15, 1}, {0, 0},
                    AV_PIX_FMT_YUV420P);
    EXPECT_TRUE(t.forceRate);
    EXPECT_EQ(av_cmp_q(t.frameRate, AVRational{24000, 1001}), 0);
    // An asked rate different from the source's is forced.
    t = videoTarget(x264, mp4, 320, 240, 0, 0, {25, 1}, {30000, 1001}, AV_PIX_FMT_YUV420P);
    EXPECT_TRUE(t.forceRate);
    EXPECT_EQ(av_cmp_q(t.frameRate, AVRational{30000, 1001}), 0);
}

TEST(ConvertPlan, AudioTargetsRespectEncoderAndContainerLimits) {
    QString err;
    const AVOutputFormat *mkv = resolveContainer("mkv", "", &err);
    const AVOutputFormat *flv = resolveContainer("flv", "", &err);
    const AVOutputFormat *mmf = resolveContainer("mmf", "", &err);
    struct Case {
        const AVOutputFormat *fmt;
        const char *codec;
        int srcRate, srcCh, reqRate, reqCh;
        int rate, ch;
    };
    const Case cases[] = {
        {mkv, "libopus", 44100, 2, 0, 0, 48000, 2}, {mkv, "ac3", 22050, 6, 0, 0, 32000, 6},
        {mkv, "mp2", 48000, 6, 0, 0, 48000, 2},     {flv, "libmp3lame", 48000, 2, 0, 0, 44100, 2},
        {flv, "aac", 48000, 2, 0, 0, 48000, 2},     {mmf, "adpcm_yamaha", 48000, 2, 0, 0, 44100, 1},
        {mkv, "aac", 48000, 2, 22050, 1, 22050, 1}, {mkv, "libmp3lame", 96000, 2, 0, 0, 48000, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.codec);
        const AVCodec *enc = avcodec_find_encoder_by_name(c.codec);
        ASSERT_NE(enc, nullptr);
        AudioTarget t = audioTarget(enc, c.fmt, c.srcRate, c.srcCh, c.reqRate, c.reqCh);
        EXPECT_EQ(t.sampleRate, c.rate);
        EXPECT_EQ(t.layout.nb_channels, c.ch);
        av_channel_layout_uninit(&t.layout);
    }
}

} // namespace
