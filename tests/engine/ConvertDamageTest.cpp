// Damaged inputs, made at test time: a file that lost part of what it states fails, copied
// or encoded; a file whose damage the ffmpeg program decodes through converts whole.
#include "SessionTestSupport.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace sessiontest;
namespace damage = testsupport::damage;

namespace {

const QStringList kVideo10 = {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=10",
                              "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=10"};

void copying(SWConvertOption &opt) { opt.setAuto_streamcopy(true); }
void encoding(SWConvertOption &opt) { opt.setAuto_streamcopy(false); }

struct Case {
    QString input, output;
    bool copy;
};

} // namespace

TEST(DamagedInput, PartsMissingFromWhatTheFileStatesFailCopiedOrEncoded) {
    const QString dir = testsupport::freshDir("lost");
    // A WAV and a CAF file cut to 40 % of the data their headers state. FFmpeg reports
    // both as long as the bytes that are left.
    const QString wav = dir + "/cut.wav", caf = dir + "/cut.caf";
    ASSERT_TRUE(damage::make(
        {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=10", "-ac", "2", "-c:a", "pcm_s16le"},
        wav));
    ASSERT_TRUE(damage::make({"-i", wav, "-c", "copy", "-f", "caf"}, caf));
    for (const QString &f : {wav, caf})
        ASSERT_TRUE(damage::rewrite(f, [](QByteArray &b) { b.truncate(b.size() * 2 / 5); }));
    // An MP4 with a fifth of its media data overwritten by zeros in the middle.
    const QString zeroed = dir + "/zeroed.mp4";
    ASSERT_TRUE(
        damage::make(QStringList{"-f",   "lavfi",   "-i",       "testsrc2=size=160x120:rate=25:duration=20",
                                 "-f",   "lavfi",   "-i",       "sine=frequency=440:sample_rate=44100:duration=20",
                                 "-c:v", "libx264", "-preset",  "ultrafast",
                                 "-g",   "25",      "-pix_fmt", "yuv420p",
                                 "-c:a", "aac",     "-f",       "mp4"},
                     zeroed));
    ASSERT_TRUE(damage::rewrite(zeroed, [](QByteArray &b) { ASSERT_TRUE(damage::zeroMovieData(b, 0.4, 0.6)); }));
    // A WebM whose every packet is noise: the container reads, nothing decodes.
    const QString webm = dir + "/clean.webm", noise = dir + "/noise.webm", jump = dir + "/jump.webm";
    ASSERT_TRUE(damage::make(
        kVideo10 + QStringList{"-c:v", "libvpx", "-deadline", "realtime", "-c:a", "libopus", "-f", "webm"}, webm));
    ASSERT_TRUE(damage::make(
        {"-i", webm, "-c", "copy", "-bsf:v", "noise=amount=1", "-bsf:a", "noise=amount=1", "-f", "webm"}, noise));
    // A WebM of 0.2 s whose fifth picture is stamped at 28.8 s: it states 29 s.
    ASSERT_TRUE(damage::make(
        {"-i", webm, "-t", "0.2", "-an", "-c", "copy", "-bsf:v", "setts=ts=if(eq(N\\,4)\\,28.8/TB\\,TS)", "-f", "webm"},
        jump));
    ASSERT_GT(probe(jump).duration, 28.0);

    const std::vector<Case> cases = {{wav, "wav", true},    {wav, "mp3", false},    {caf, "caf", true},
                                     {zeroed, "mp4", true}, {zeroed, "mkv", false}, {noise, "webm", true},
                                     {noise, "mkv", false}, {jump, "webm", true},   {jump, "mkv", false}};
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        const QString out = dir + "/out" + QString::number(i) + "." + c.output;
        SCOPED_TRACE((c.input + " -> " + out + (c.copy ? " (copy)" : " (encode)")).toStdString());
        const Outcome o = convert(c.input, out, c.copy ? copying : encoding);
        EXPECT_FALSE(o.ok);
        // The reason names the damage, not some other refusal.
        EXPECT_TRUE(o.error.contains("damaged") || o.error.contains("could not be decoded")) << o.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

TEST(DamagedInput, DamageTheFfmpegProgramDecodesThroughConvertsWhole) {
    const QString dir = testsupport::freshDir("sound");
    const QString mp4 = dir + "/clean.mp4";
    ASSERT_TRUE(damage::make(kVideo10 + QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-g", "25", "-pix_fmt",
                                                    "yuv420p", "-c:a", "aac", "-f", "mp4"},
                             mp4));
    // The movie header claims three times the length its sample tables hold.
    const QString header = dir + "/header.mp4", mp4Bytes = dir + "/bytes.mp4", mkvBytes = dir + "/bytes.mkv";
    ASSERT_TRUE(QFile::copy(mp4, header));
    ASSERT_TRUE(damage::rewrite(header, [](QByteArray &b) { ASSERT_TRUE(damage::scaleMovieLength(b, "mvhd", 3)); }));
    ASSERT_GT(probe(header).duration, 25.0);
    // A few bytes overwritten inside the media data.
    ASSERT_TRUE(QFile::copy(mp4, mp4Bytes));
    ASSERT_TRUE(damage::rewrite(mp4Bytes, [](QByteArray &b) { damage::scribble(b, 5); }));
    ASSERT_TRUE(damage::make({"-i", mp4, "-c", "copy", "-f", "matroska"}, mkvBytes));
    ASSERT_TRUE(damage::rewrite(mkvBytes, [](QByteArray &b) { damage::scribble(b, 5); }));

    // Digital silence is all zeros, and sound.
    const QString silence = dir + "/silence.wav";
    ASSERT_TRUE(damage::make(
        {"-f", "lavfi", "-i", "anullsrc=sample_rate=44100:channel_layout=stereo", "-t", "10", "-c:a", "pcm_s16le"},
        silence));

    for (const QString &in : {header, mp4Bytes, mkvBytes, silence}) {
        ASSERT_GE(damage::decodedSeconds(in), 9.9) << in.toStdString() << ": the ffmpeg program decodes it whole";
        for (const bool copy : {true, false}) {
            const QString out = dir + "/out" + (in == silence ? ".wav" : copy ? ".mkv" : ".mov");
            SCOPED_TRACE((in + " -> " + out).toStdString());
            const Outcome o = convert(in, out, copy ? copying : encoding);
            ASSERT_TRUE(o.ok) << o.error.toStdString();
            EXPECT_NEAR(probe(out).duration, 10.0, 0.1);
            QFile::remove(out);
        }
    }
}
