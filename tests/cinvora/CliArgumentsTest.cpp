// How `cinvora-cli` reads what the user typed: the exact messages for bad arguments, the
// later of two options winning, values after '=', `--` ending the options, and --quality
// meaning what the window's quality choice means.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

QString cli() { return testsupport::binary("cinvora-cli"); }

struct Ran {
    int rc = -1;
    QByteArray out, err;
};

Ran run(const QStringList &args) {
    Ran r;
    r.rc = testsupport::runProgram(cli(), args, &r.out, &r.err);
    return r;
}

QJsonObject streamOf(const QString &file, const QString &type) {
    for (const auto &s : testsupport::ffprobe(file)["streams"].toArray())
        if (s.toObject()["codec_type"].toString() == type)
            return s.toObject();
    return {};
}

TEST(CliArguments, BadArgumentsGetTheirOwnMessageAndExitStatus2) {
    const QString dir = testsupport::freshDir("cliargs");
    const QString in = fixture("short.mp4");
    const QString out = dir + "/x.mkv";
    const struct {
        QStringList args;
        const char *message;
    } cases[] = {
        {{in, out, "--bogus"}, "unknown option --bogus"},
        {{in, out, "--bogus=3"}, "unknown option --bogus"},
        {{in, out, "-x"}, "unknown option -x"},
        {{in, out, "--help"}, "unknown option --help"},
        {{in, "--jobs"}, "--jobs needs a number from 1 to 64"},
        {{in, "--jobs", "0"}, "--jobs needs a number from 1 to 64"},
        {{in, "-o"}, "-o needs a path"},
        {{in, "--output-file="}, "--output-file needs a path"},
        {{in, "--to="}, "--to needs a format such as \"Audio.mp3\""},
        {{in, out, "--size=big"}, "--size needs WxH, for example 1280x720"},
        {{in, out, "--fps", "0"}, "--fps needs N or N/D, for example 25 or 30000/1001"},
        {{in, out, "--quality", "best"}, "--quality needs high, middle or low"},
        {{in, out, "--volume", "300"}, "--volume needs a number from 0 to 256"},
        {{in, out, "--duration", "0"}, "--duration must be more than 0"},
        {{in, out, "--start", "-1"}, "--start needs seconds"},
        {{in, out, "--vcodec"}, "--vcodec needs a name"},
        {{in, out, "--loudness", "loud"}, "--loudness needs a loudness in LUFS from -70 to -5, for example -16"},
        {{in, out, "--loudness=-80"}, "--loudness needs a loudness in LUFS from -70 to -5, for example -16"},
        {{in, out, "--loudness=-3"}, "--loudness needs a loudness in LUFS from -70 to -5, for example -16"},
        {{in, out, "--loudness=nan"}, "--loudness needs a loudness in LUFS from -70 to -5, for example -16"},
        {{in, out, "--max-size", "0"}, "--max-size needs a size such as 25M, 700K or 1.5G"},
        {{in, out, "--max-size", "-5M"}, "--max-size needs a size such as 25M, 700K or 1.5G"},
        {{in, out, "--max-size", "big"}, "--max-size needs a size such as 25M, 700K or 1.5G"},
        {{in, out, "--max-size", "25X"}, "--max-size needs a size such as 25M, 700K or 1.5G"},
        {{in, out, "--max-size", "nanM"}, "--max-size needs a size such as 25M, 700K or 1.5G"},
        {{in, out, "--max-size", "25M", "--target-ssim", "good"},
         "--max-size and --target-ssim cannot be combined: a size limit or a quality, not both"},
        {{"--verbose"}, "convert needs at least one file or folder"},
        {{in, in, "-o", out}, "-o takes exactly one input"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Ran r = run(QStringList{"convert"} + c.args);
        EXPECT_EQ(r.rc, 2);
        EXPECT_EQ(r.err, QByteArray("cinvora-cli convert: ") + c.message + "\n");
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(out));

    // The usage: asked for on standard output, else on standard error with status 2.
    const Ran help = run({"--help"});
    EXPECT_EQ(help.rc, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: cinvora-cli COMMAND [ARGS]\n\nCommands:\n")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("\n      --quality LEVEL     high (default), middle or low\n"));
    EXPECT_TRUE(help.out.endsWith("  -h, --help        this text\n"));
    EXPECT_EQ(run({"-h"}).out, help.out);
    const Ran bare = run({});
    EXPECT_EQ(bare.rc, 2);
    EXPECT_EQ(bare.err, help.out);
    const Ran unknown = run({"frobnicate", in});
    EXPECT_EQ(unknown.rc, 2);
    EXPECT_EQ(unknown.err, "cinvora-cli: unknown command 'frobnicate'\n" + help.out);
}

// Options may come in any order and more than once; each is taken as it comes, so the
// later of two wins, and "--name=value" means "--name value".
TEST(CliArguments, TheLaterOptionWinsAndValuesMayFollowAnEqualsSign) {
    const QString dir = testsupport::freshDir("clitwice");
    const QString first = dir + "/first.mkv", second = dir + "/second.mkv";
    const Ran r =
        run({"convert", "--size=320x240", fixture("short.mp4"), "-o", first, "--size", "160x120", "--duration=3",
             "--output-file=" + second, "--duration", "1", "--audio-stream", "1", "--no-audio"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QFile::encodeName(second) + "\n");
    EXPECT_FALSE(QFileInfo::exists(first));
    const QJsonObject j = testsupport::ffprobe(second);
    EXPECT_EQ(streamOf(second, "video")["width"].toInt(), 160);
    EXPECT_TRUE(streamOf(second, "audio").isEmpty()) << "--no-audio came after --audio-stream";
    EXPECT_NEAR(j["format"].toObject()["duration"].toString().toDouble(), 1.0, 0.1);
}

// After `--` every argument is a file, also one whose name starts with a dash.
TEST(CliArguments, DoubleDashEndsTheOptions) {
    const QString dir = testsupport::freshDir("clidash");
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), dir + "/-clip.mp4"));
    QByteArray out, err;
    const int rc = testsupport::runProgram(
        "/bin/sh",
        {"-c", "cd \"$1\" && exec \"$2\" convert --duration 1 --size 160x120 -- -clip.mp4 --small.mkv", "sh", dir,
         cli()},
        &out, &err);
    ASSERT_EQ(rc, 0) << err.toStdString();
    EXPECT_EQ(out, "--small.mkv\n") << "the output as it was named";
    EXPECT_EQ(streamOf(dir + "/--small.mkv", "video")["width"].toInt(), 160);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), QStringList({"--small.mkv", "-clip.mp4"}));
}

// --quality names the quality choice the window offers: the batch form without it keeps
// the format's own choice (high), and each name gives the encoder setting the engine has
// for that choice, seen here as the MP3 track's bit rate (192, 128, 96 kbit/s stereo).
TEST(CliArguments, QualityNamesMeanTheWindowsQualityChoices) {
    const QString dir = testsupport::freshDir("cliquality");
    const QStringList quick = {"--acodec", "mp3", "--duration", "1", "--size", "160x120"};
    auto batchRate = [&](const QString &folder, const QStringList &extra) {
        const Ran r = run(
            QStringList{"convert", fixture("short.mp4"), "--to", "Common Video.MP4", "--output", dir + "/" + folder} +
            quick + extra);
        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        const QStringList made = QDir(dir + "/" + folder).entryList({"*.mp4"});
        EXPECT_EQ(made.size(), 1);
        return streamOf(dir + "/" + folder + "/" + made.value(0), "audio")["bit_rate"].toString().toInt();
    };
    auto singleRate = [&](const QString &level) {
        const QString out = dir + "/" + level + ".mp4";
        const Ran r = run(QStringList{"convert", fixture("short.mp4"), out, "--quality", level} + quick);
        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        return streamOf(out, "audio")["bit_rate"].toString().toInt();
    };
    const int byRules = batchRate("rules", {});
    const int high = singleRate("high");
    EXPECT_NEAR(byRules, 192000, 192000 * 0.05);
    EXPECT_NEAR(high, byRules, 192000 * 0.05);
    EXPECT_NEAR(singleRate("middle"), 128000, 128000 * 0.05);
    EXPECT_NEAR(batchRate("low", {"--quality", "low"}), 96000, 96000 * 0.05);
}

} // namespace

// --loudness brings the sound to the loudness asked for, measured by the ffmpeg program's
// own EBU R128 meter; the true peak stays at or below -1 dBTP.
TEST(CliArguments, LoudnessEvensTheSoundToTheTargetGiven) {
    const QString dir = testsupport::freshDir("cliloud");
    const QString in = dir + "/quiet.wav", out = dir + "/even.m4a";
    ASSERT_TRUE(testsupport::damage::make({"-f", "lavfi", "-i",
                                           "anoisesrc=d=10:c=pink:a=0.15:r=48000,"
                                           "volume='0.55+0.45*sin(2*PI*2.5*t)':eval=frame,"
                                           "aformat=channel_layouts=stereo",
                                           "-c:a", "pcm_s16le"},
                                          in));
    const Ran r = run({"convert", in, out, "--loudness", "-20"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    QByteArray ignored, meter;
    testsupport::runProgram("ffmpeg",
                            {"-hide_banner", "-nostats", "-i", out, "-af", "ebur128=peak=true", "-f", "null", "-"},
                            &ignored, &meter);
    const QByteArray summary = meter.mid(meter.lastIndexOf("Summary:"));
    const qsizetype i = summary.indexOf("I:"), peak = summary.indexOf("Peak:");
    ASSERT_GE(i, 0);
    ASSERT_GE(peak, 0);
    EXPECT_NEAR(summary.mid(i + 2, 12).trimmed().split(' ').first().toDouble(), -20.0, 1.0);
    EXPECT_LE(summary.mid(peak + 5, 12).trimmed().split(' ').first().toDouble(), -1.0);
}
