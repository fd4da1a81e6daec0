// What the option object asks for reaches the output: codecs by catalogue name, size,
// rate, audio parameters, trims, stream choice, volume, copies, subtitles, rotation.
#include "SessionTestSupport.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>

using namespace sessiontest;
using testsupport::fixture;

namespace {

QString outPath(const QString &name) { return testsupport::freshDir("opt") + "/" + name; }

struct CodecCase {
    const char *format, *ext, *vname, *aname;
    const char *video, *audio; // expected codecs
};

TEST(ConvertOptions, CatalogueCodecNamesMapToThisBuildsEncoders) {
    const CodecCase cases[] = {
        {"mp4", "mp4", "h264", "libfaac", "h264", "aac"},
        {"mkv", "mkv", "hevc", "mp3", "hevc", "mp3"},
        {"webm", "webm", "vp8", "libvorbis", "vp8", "vorbis"},
        {"avi", "avi", "libxvid", "ac3", "mpeg4", "ac3"},
        {"mov", "mov", "mpeg4", "alac", "mpeg4", "alac"},
        {"mkv", "mkv", "mpeg2video", "flac", "mpeg2video", "flac"},
        {"mkv", "mkv", "vp9", "libopus", "vp9", "opus"},
        {"asf", "wmv", "wmv2", "wmav2", "wmv2", "wmav2"},
        {"flv", "flv", "flv", "mp3", "flv1", "mp3"},
        {"mpeg", "mpg", "mpeg1video", "mp2", "mpeg1video", "mp2"},
        {"avi", "avi", "mpeg4", "pcm_s16le", "mpeg4", "pcm_s16le"},
        // amr_nb has no encoder in this build and "no-such" none anywhere: the
        // container's own choice takes over.
        {"3gp", "3gp", "h263", "amr_nb", "h263", "aac"},
        {"mp4", "mp4", "no-such", "no-such", "h264", "aac"},
        // A codec the container cannot hold falls back to the container's default.
        {"flv", "flv", "hevc", "flac", "flv1", "mp3"},
    };
    for (const CodecCase &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.vname + "/" + c.aname);
        const QString out = outPath(QStringLiteral("out.") + c.ext);
        const Outcome o = convert(fixture("short.mp4"), out, [&](SWConvertOption &opt) {
            opt.setFormat(c.format);
            opt.setVideoCodeName(c.vname);
            opt.setAudioCodeName(c.aname);
            opt.setRecording_time(400000);
        });
        ASSERT_TRUE(o.ok) << o.error.toStdString();
        const MediaInfo m = probe(out);
        EXPECT_EQ(m.video.codec, c.video);
        EXPECT_EQ(m.audio.codec, c.audio);
    }
}

TEST(ConvertOptions, SizeRateAndAudioParametersAreApplied) {
    const QString out = outPath("params.mp4");
    const Outcome o = convert(fixture("short.mp4"), out, [](SWConvertOption &opt) {
        opt.setWidth(321); // odd sizes cannot be 4:2:0: rounded to even
        opt.setHeight(181);
        opt.setFrame_rate(15, 1);
        opt.setSample_rate(22050);
        opt.setChannels(1);
        opt.setRecording_time(2000000);
    });
    ASSERT_TRUE(o.ok) << o.error.toStdString();
    const MediaInfo m = probe(out);
    EXPECT_EQ(m.video.width, 322);
    EXPECT_EQ(m.video.height, 182);
    EXPECT_EQ(m.video.sar, "1:1");
    EXPECT_DOUBLE_EQ(m.video.fps, 15.0);
    EXPECT_NEAR(m.video.packets, 30, 1);
    EXPECT_EQ(m.audio.sampleRate, 22050);
    EXPECT_EQ(m.audio.channels, 1);
    EXPECT_NEAR(m.audio.duration, 2.0, 0.05);
}

TEST(ConvertOptions, EncoderLimitsRoundRatesAndLayouts) {
    struct Case {
        const char *format, *ext, *aname;
        int rate, channels;
        int wantRate, wantChannels;
    };
    const Case cases[] = {
        {"mkv", "mkv", "ac3", 22050, 2, 32000, 2},     // AC-3 knows 32/44.1/48 kHz
        {"mkv", "mkv", "libopus", 44100, 2, 48000, 2}, // Opus runs at 48 kHz
        {"mkv", "mkv", "mp2", 48000, 6, 48000, 2},     // MP2 is mono or stereo
        {"mkv", "mkv", "aac", 0, 0, 48000, 2},         // 0 keeps the source's
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.aname);
        const QString out = outPath(QStringLiteral("audio.") + c.ext);
        const Outcome o = convert(fixture("short.mp4"), out, [&](SWConvertOption &opt) {
            opt.setFormat(c.format);
            opt.setAudioCodeName(c.aname);
            opt.setSample_rate(c.rate);
            opt.setChannels(c.channels);
            opt.setVideo_disable(true);
            opt.setRecording_time(500000);
        });
        ASSERT_TRUE(o.ok) << o.error.toStdString();
        const MediaInfo m = probe(out);
        EXPECT_FALSE(m.video.present);
        EXPECT_EQ(m.audio.sampleRate, c.wantRate);
        EXPECT_EQ(m.audio.channels, c.wantChannels);
    }
}

TEST(ConvertOptions, FixedSizeEncodersKeepTheDisplayShape) {
    // DV at the PAL size; a 480-line request picks the NTSC shape and rate.
    const QString pal = outPath("pal.dv");
    ASSERT_TRUE(convert(fixture("short.mp4"), pal, [](SWConvertOption &opt) {
                    opt.setWidth(720);
                    opt.setHeight(576);
                    opt.setFrame_rate(25, 1);
                    opt.setSample_rate(48000);
                    opt.setRecording_time(500000);
                }).ok);
    MediaInfo m = probe(pal);
    EXPECT_EQ(m.video.codec, "dvvideo");
    EXPECT_EQ(m.video.width, 720);
    EXPECT_EQ(m.video.height, 576);
    EXPECT_DOUBLE_EQ(m.video.fps, 25.0);
    EXPECT_EQ(m.audio.sampleRate, 48000);

    const QString ntsc = outPath("ntsc.dv");
    ASSERT_TRUE(convert(fixture("short.mp4"), ntsc, [](SWConvertOption &opt) {
                    opt.setWidth(640);
                    opt.setHeight(480);
                    opt.setRecording_time(500000);
                }).ok);
    m = probe(ntsc);
    EXPECT_EQ(m.video.width, 720);
    EXPECT_EQ(m.video.height, 480);
    EXPECT_NEAR(m.video.fps, 30000.0 / 1001.0, 1e-6);
    EXPECT_EQ(m.video.sar, "8:9"); // 4:3 on 720x480

    // H.263 at CIF; the pixel aspect keeps the 4:3 picture 4:3.
    const QString h263 = outPath("h263.3gp");
    ASSERT_TRUE(convert(fixture("short.mp4"), h263, [](SWConvertOption &opt) {
                    opt.setVideoCodeName("h263");
                    opt.setRecording_time(500000);
                }).ok);
    m = probe(h263);
    EXPECT_EQ(m.video.width, 352);
    EXPECT_EQ(m.video.height, 288);
    EXPECT_EQ(m.video.sar, "12:11");
}

TEST(ConvertOptions, RotationIsAppliedOrCarriedAndPixelsAreSquare) {
    const QString turned = outPath("turned.mp4");
    ASSERT_TRUE(convert(fixture("rotated.mp4"), turned).ok);
    MediaInfo m = probe(turned);
    EXPECT_EQ(m.video.width, 360);
    EXPECT_EQ(m.video.height, 640);
    EXPECT_EQ(m.video.rotation, 0);

    // A copy keeps the pictures as stored and the instruction to turn them.
    const QString copied = outPath("copied.mov");
    ASSERT_TRUE(convert(fixture("rotated.mp4"), copied, [](SWConvertOption &opt) { opt.setAuto_streamcopy(true); }).ok);
    m = probe(copied);
    EXPECT_EQ(m.video.width, 640);
    EXPECT_EQ(m.video.height, 360);
    EXPECT_EQ(std::abs(m.video.rotation), 90);

    const QString square = outPath("square.mp4");
    ASSERT_TRUE(convert(fixture("anamorphic.mkv"), square).ok);
    m = probe(square);
    EXPECT_EQ(m.video.width, 768);
    EXPECT_EQ(m.video.height, 576);
    EXPECT_EQ(m.video.sar, "1:1");
}

// The output's first picture must be the source picture nearest to the start time.
int nearestSourcePicture(const QString &out, int from, int to) {
    const QByteArray first = grayPicture(out, 0);
    int best = -1;
    double bestDiff = 1e9;
    for (int i = from; i <= to; ++i) {
        // clip.mp4 runs at 25 fps from 0; a little before the picture's time finds it.
        const double d = pictureDifference(first, grayPictureAt(fixture("clip.mp4"), i * 0.04 - 0.01));
        if (d < bestDiff) {
            bestDiff = d;
            best = i;
        }
    }
    return best;
}

TEST(ConvertOptions, TrimIsFrameAccurateAndSampleAccurate) {
    // 25 fps: 5.49 s is nearest to picture 137 (5.48 s), 5.51 s to picture 138.
    for (const auto &[start, picture] : {std::pair{5.49, 137}, std::pair{5.51, 138}}) {
        SCOPED_TRACE(start);
        const QString out = outPath("trim.mp4");
        const Outcome o = convert(fixture("clip.mp4"), out, [&](SWConvertOption &opt) {
            opt.setStart_time(static_cast<int64_t>(start * 1e6));
            opt.setRecording_time(2000000);
            opt.setAuto_streamcopy(true); // not on a key picture: must re-encode anyway
        });
        ASSERT_TRUE(o.ok) << o.error.toStdString();
        const MediaInfo m = probe(out);
        EXPECT_EQ(m.video.packets, 50);
        EXPECT_NEAR(m.video.duration, 2.0, 0.04 + 1e-9);
        EXPECT_NEAR(m.audio.duration, 2.0, 1.0 / 44100 * 1024); // one AAC frame at most
        EXPECT_EQ(nearestSourcePicture(out, picture - 2, picture + 2), picture);
        QFile::remove(out);
    }
}

TEST(ConvertOptions, StreamCopyKeepsPacketsBitIdentical) {
    for (const char *ext : {"mkv", "mov"}) {
        SCOPED_TRACE(ext);
        const QString out = outPath(QStringLiteral("copy.") + ext);
        ASSERT_TRUE(convert(fixture("short.mp4"), out, [](SWConvertOption &opt) { opt.setAuto_streamcopy(true); }).ok);
        const QStringList vin = packetHashes(fixture("short.mp4"), 'v'), vout = packetHashes(out, 'v');
        const QStringList ain = packetHashes(fixture("short.mp4"), 'a'), aout = packetHashes(out, 'a');
        ASSERT_FALSE(vin.isEmpty());
        EXPECT_EQ(vout, vin);
        EXPECT_EQ(aout, ain);
    }
}

TEST(ConvertOptions, TrimOnAKeyPictureCopiesVideoElsewhereReencodes) {
    const QStringList source = packetHashes(fixture("clip.mp4"), 'v');
    ASSERT_FALSE(source.isEmpty());
    // clip.mp4 has a key picture every 2 s.
    const QString onKey = outPath("key.mp4");
    ASSERT_TRUE(convert(fixture("clip.mp4"), onKey, [](SWConvertOption &opt) {
                    opt.setAuto_streamcopy(true);
                    opt.setStart_time(4000000);
                    opt.setRecording_time(4000000);
                }).ok);
    const QStringList copied = packetHashes(onKey, 'v');
    ASSERT_GE(copied.size(), 100);
    const int at = int(source.indexOf(copied.first()));
    ASSERT_GE(at, 0) << "the first packet is the source's key picture at 4 s";
    EXPECT_EQ(source.mid(at, copied.size()), copied);
    EXPECT_EQ(copied.size(), 100) << "ends at the key picture at 8 s, without the pictures decoded before it";
    EXPECT_EQ(probe(onKey).audio.codec, "aac");

    // The same start with an end inside a group: a copy would carry reordered pictures
    // past the end, so exactly the asked pictures are encoded.
    const QString midGroup = outPath("midgroup.mp4");
    ASSERT_TRUE(convert(fixture("clip.mp4"), midGroup, [](SWConvertOption &opt) {
                    opt.setAuto_streamcopy(true);
                    opt.setStart_time(4000000);
                    opt.setRecording_time(3000000);
                }).ok);
    EXPECT_EQ(probe(midGroup).video.packets, 75);

    const QString offKey = outPath("offkey.mp4");
    ASSERT_TRUE(convert(fixture("clip.mp4"), offKey, [](SWConvertOption &opt) {
                    opt.setAuto_streamcopy(true);
                    opt.setStart_time(4400000);
                    opt.setRecording_time(1000000);
                }).ok);
    const QStringList encoded = packetHashes(offKey, 'v');
    ASSERT_FALSE(encoded.isEmpty());
    EXPECT_LT(source.indexOf(encoded.first()), 0);
    EXPECT_EQ(nearestSourcePicture(offKey, 108, 112), 110);
}

TEST(ConvertOptions, AudioStreamChoicePicksTheTrack) {
    // multi.mkv: stream 1 stereo 48 kHz, stream 2 mono 44.1 kHz.
    struct Case {
        int index;
        bool disabled;
        int rate, channels; // 0 = no audio expected
    };
    for (const Case &c :
         {Case{2, false, 44100, 1}, Case{1, false, 48000, 2}, Case{-1, false, 48000, 2}, Case{-1, true, 0, 0}}) {
        SCOPED_TRACE(c.index);
        const QString out = outPath("track.mp4");
        ASSERT_TRUE(convert(fixture("multi.mkv"), out, [&](SWConvertOption &opt) {
                        opt.setAudioStreamIndex(c.index);
                        opt.setAudio_disable(c.disabled);
                        opt.setVideo_disable(!c.disabled); // something must be left to convert
                        opt.setRecording_time(500000);
                    }).ok);
        const MediaInfo m = probe(out);
        EXPECT_EQ(m.audio.present, c.rate != 0);
        EXPECT_EQ(m.audio.sampleRate, c.rate);
        EXPECT_EQ(m.audio.channels, c.channels);
        QFile::remove(out);
    }
    // A number that is not an audio stream (absent, or the video) is refused, naming the
    // audio streams there are, instead of quietly converting another track.
    for (int asked : {7, 0}) {
        const QString out = outPath("track.mp4");
        const auto r = convert(fixture("multi.mkv"), out, [&](SWConvertOption &opt) {
            opt.setAudioStreamIndex(asked);
            opt.setRecording_time(500000);
        });
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, QStringLiteral("there is no audio stream %1; its audio streams are 1, 2").arg(asked));
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

TEST(ConvertOptions, VolumeHalfLowersTheLevelBySixDecibels) {
    const QString full = outPath("full.wav"), half = outPath("half.wav");
    ASSERT_TRUE(convert(fixture("short.mp4"), full, [](SWConvertOption &opt) { opt.setRecording_time(1000000); }).ok);
    ASSERT_TRUE(convert(fixture("short.mp4"), half, [](SWConvertOption &opt) {
                    opt.setRecording_time(1000000);
                    opt.setAudio_volume(128);
                }).ok);
    const double a = meanVolume(full), b = meanVolume(half);
    ASSERT_FALSE(std::isnan(a));
    ASSERT_FALSE(std::isnan(b));
    EXPECT_NEAR(b - a, -6.02, 0.3);
}

TEST(ConvertOptions, ProgressRisesToExactlyHundred) {
    sessiontest::Recorder r;
    const Outcome o = convert(fixture("clip.mp4"), outPath("progress.mp4"),
                              [](SWConvertOption &opt) { opt.setRecording_time(8000000); });
    ASSERT_TRUE(o.ok);
    ASSERT_GE(o.percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(o.percents.begin(), o.percents.end()));
    EXPECT_EQ(o.percents.back(), 100.0);
    EXPECT_LT(o.percents[o.percents.size() - 2], 100.0);
}

// The bottom fifth (where the subtitles are) against the top half of the picture.
void expectBurnedIn(const QString &with, const QString &without, int picture) {
    const QByteArray a = grayPicture(with, picture), b = grayPicture(without, picture);
    ASSERT_EQ(a.size(), 80 * 60);
    ASSERT_EQ(b.size(), 80 * 60);
    EXPECT_GT(pictureDifference(a, b, 48, 60), 3.0) << "subtitle rows unchanged";
    EXPECT_LT(pictureDifference(a, b, 0, 30), 1.5) << "picture above the subtitles changed";
}

TEST(ConvertOptions, SubtitlesAreBurnedIn) {
    const QString dir = testsupport::freshDir("subs");
    const QString plain = dir + "/plain.mp4";
    ASSERT_TRUE(convert(fixture("short.mp4"), plain).ok);

    // External SubRip whose name needs escaping in a filter description.
    const QString odd = dir + "/we:ird, na'me [1];x.srt";
    ASSERT_TRUE(QFile::copy(fixture("subs.srt"), odd));
    const QString external = dir + "/external.mp4";
    const Outcome o = convert(fixture("short.mp4"), external, {}, odd);
    ASSERT_TRUE(o.ok) << o.error.toStdString();
    expectBurnedIn(external, plain, 50);

    // Subtitles switched off win over the external file.
    const QString off = dir + "/off.mp4";
    ASSERT_TRUE(convert(
                    fixture("short.mp4"), off, [](SWConvertOption &opt) { opt.setSubtitle_disable(true); }, odd)
                    .ok);
    EXPECT_LT(pictureDifference(grayPicture(off, 50), grayPicture(plain, 50)), 1.5);

    // Embedded SubRip track (stream 3 of multi.mkv), with a trim: the text stays in step.
    const QString mkvPlain = dir + "/mkvplain.mp4", mkvSubs = dir + "/mkvsubs.mp4";
    auto trimmed = [](int subtitle) {
        return [subtitle](SWConvertOption &opt) {
            opt.setStart_time(2000000);
            opt.setRecording_time(2000000);
            opt.setSubtitleStreamIndex(subtitle);
            opt.setAudio_disable(true);
        };
    };
    ASSERT_TRUE(convert(fixture("multi.mkv"), mkvPlain, trimmed(-1)).ok);
    const Outcome e = convert(fixture("multi.mkv"), mkvSubs, trimmed(3));
    ASSERT_TRUE(e.ok) << e.error.toStdString();
    expectBurnedIn(mkvSubs, mkvPlain, 10);
}

TEST(ConvertOptions, PictureSubtitlesAreOverlaid) {
    const QString dir = testsupport::freshDir("bitmap");
    const QString movie = dir + "/dvdsub.mkv";
    QString error;
    ASSERT_TRUE(makeBitmapSubtitleMovie(fixture("short.mp4"), movie, &error)) << error.toStdString();
    const QString plain = dir + "/plain.mp4", subs = dir + "/subs.mp4";
    ASSERT_TRUE(convert(movie, plain).ok);
    const Outcome o = convert(movie, subs, [](SWConvertOption &opt) { opt.setSubtitleStreamIndex(1); });
    ASSERT_TRUE(o.ok) << o.error.toStdString();
    // Shown from 0.5 s to 3.5 s: at 2 s the bar is there, at 0.2 s not yet.
    expectBurnedIn(subs, plain, 50);
    EXPECT_LT(pictureDifference(grayPicture(subs, 5), grayPicture(plain, 5)), 1.5);
}

} // namespace

namespace {
// `ffprobe -show_chapters`: each chapter's title, start and end in seconds.
struct Chapter {
    QString title;
    double start = 0, end = 0;
};
std::vector<Chapter> chaptersOf(const QString &path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_chapters", "-of", "json", path});
    p.waitForFinished(30000);
    std::vector<Chapter> out;
    for (const auto &c : QJsonDocument::fromJson(p.readAllStandardOutput()).object()["chapters"].toArray()) {
        const QJsonObject o = c.toObject();
        out.push_back({o["tags"].toObject()["title"].toString(), o["start_time"].toString().toDouble(),
                       o["end_time"].toString().toDouble()});
    }
    return out;
}
} // namespace

// A film's chapters and title come along where the container holds them, and follow a
// trim: shifted to the kept part, cut at its ends, left out where nothing of them is kept.
TEST(ConvertOptions, ChaptersAndTitleFollowTheKeptRange) {
    const QString dir = testsupport::freshDir("chapters");
    QFile meta(dir + "/meta.txt");
    ASSERT_TRUE(meta.open(QIODevice::WriteOnly));
    meta.write(";FFMETADATA1\ntitle=Holiday\n"
               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Arrival\n"
               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2500\ntitle=Beach\n"
               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2500\nEND=4000\ntitle=Home\n");
    meta.close();
    const QString src = dir + "/src.mkv";
    QProcess ff;
    ff.start("ffmpeg", {"-v", "error", "-y", "-i", fixture("short.mp4"), "-i", meta.fileName(), "-map", "0",
                        "-map_metadata", "1", "-map_chapters", "1", "-c", "copy", src});
    ASSERT_TRUE(ff.waitForFinished(60000) && ff.exitCode() == 0);
    ASSERT_EQ(chaptersOf(src).size(), 3u);

    for (const char *ext : {"mkv", "mp4"}) {
        SCOPED_TRACE(ext);
        const QString whole = dir + "/whole." + ext;
        ASSERT_TRUE(convert(src, whole).ok);
        const auto all = chaptersOf(whole);
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(all[1].title, "Beach");
        EXPECT_NEAR(all[1].start, 1.0, 0.01);
        EXPECT_NEAR(all[1].end, 2.5, 0.01);
        EXPECT_EQ(testsupport::ffprobe(whole)["format"].toObject()["tags"].toObject()["title"].toString(), "Holiday");

        const QString part = dir + "/part." + ext;
        ASSERT_TRUE(convert(src, part, [](SWConvertOption &o) {
                        o.setStart_time(1'500'000);
                        o.setRecording_time(2'000'000);
                    }).ok);
        const auto kept = chaptersOf(part);
        ASSERT_EQ(kept.size(), 2u);
        EXPECT_EQ(kept[0].title, "Beach");
        EXPECT_NEAR(kept[0].start, 0.0, 0.01);
        EXPECT_NEAR(kept[0].end, 1.0, 0.01);
        EXPECT_EQ(kept[1].title, "Home");
        EXPECT_NEAR(kept[1].start, 1.0, 0.01);
        EXPECT_NEAR(kept[1].end, 2.0, 0.01);
    }
}

namespace {
// The ffmpeg program's SSIM (All) of `a` against `b`.
double ssimOf(const QString &a, const QString &b) {
    QProcess p;
    p.start("ffmpeg", {"-hide_banner", "-i", a, "-i", b, "-lavfi", "ssim", "-f", "null", "-"});
    p.waitForFinished(120000);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const qsizetype at = err.lastIndexOf("All:");
    return at < 0 ? 0.0 : err.mid(at + 4).section(' ', 0, 0).toDouble();
}
} // namespace

// An HDR10 film bound for an 8-bit format is tone mapped to BT.709 and tagged so, as the
// ffmpeg program's own tone mapping makes it; bound for HEVC it stays HDR: 10 bits,
// BT.2020, the PQ transfer, its mastering display and light levels.
TEST(ConvertOptions, HdrIsToneMappedForEightBitsAndKeptForHevc) {
    const QString dir = testsupport::freshDir("hdr");
    const QString src = dir + "/hdr10.mkv";
    QProcess ff;
    ff.start("ffmpeg",
             {"-v",
              "error",
              "-y",
              "-f",
              "lavfi",
              "-i",
              "testsrc2=size=320x240:rate=25:duration=1",
              "-pix_fmt",
              "yuv420p10le",
              "-c:v",
              "libx265",
              "-x265-params",
              "log-level=error:colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc:"
              "master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,1):max-cll=1000,400",
              "-color_primaries",
              "bt2020",
              "-color_trc",
              "smpte2084",
              "-colorspace",
              "bt2020nc",
              src});
    ASSERT_TRUE(ff.waitForFinished(120000) && ff.exitCode() == 0);

    const QString sdr = dir + "/sdr.mp4";
    ASSERT_TRUE(convert(src, sdr, [](SWConvertOption &o) { o.setVideoCodeName("h264"); }).ok);
    const QJsonObject v = testsupport::ffprobe(sdr)["streams"].toArray()[0].toObject();
    EXPECT_EQ(v["pix_fmt"].toString(), "yuv420p");
    EXPECT_EQ(v["color_transfer"].toString(), "bt709");
    EXPECT_EQ(v["color_primaries"].toString(), "bt709");
    EXPECT_EQ(v["color_space"].toString(), "bt709");
    const QString reference = dir + "/reference.mkv";
    QProcess ref;
    ref.start("ffmpeg", {"-v", "error", "-y", "-i", src, "-vf",
                         "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
                         "zscale=t=bt709:m=bt709:r=tv,format=yuv420p",
                         "-c:v", "ffv1", reference});
    ASSERT_TRUE(ref.waitForFinished(120000) && ref.exitCode() == 0);
    EXPECT_GE(ssimOf(sdr, reference), 0.95);

    const QString kept = dir + "/kept.mkv";
    ASSERT_TRUE(convert(src, kept, [](SWConvertOption &o) { o.setVideoCodeName("hevc"); }).ok);
    const QJsonObject h = testsupport::ffprobe(kept)["streams"].toArray()[0].toObject();
    EXPECT_EQ(h["codec_name"].toString(), "hevc");
    EXPECT_EQ(h["pix_fmt"].toString(), "yuv420p10le");
    EXPECT_EQ(h["color_transfer"].toString(), "smpte2084");
    EXPECT_EQ(h["color_primaries"].toString(), "bt2020");
    // The mastering display and light levels, which the source carries in its pictures
    // only, are in the container for players to find.
    QStringList sideData;
    int maxContent = 0;
    for (const auto &d : h["side_data_list"].toArray()) {
        sideData << d.toObject()["side_data_type"].toString();
        maxContent = std::max(maxContent, d.toObject()["max_content"].toInt());
    }
    EXPECT_TRUE(sideData.contains("Mastering display metadata")) << sideData.join(", ").toStdString();
    EXPECT_TRUE(sideData.contains("Content light level metadata")) << sideData.join(", ").toStdString();
    EXPECT_EQ(maxContent, 1000);
}
