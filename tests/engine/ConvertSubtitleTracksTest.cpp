// Subtitle tracks that are not burned in stay tracks where the container holds them:
// Matroska keeps every one as it is, MP4 keeps the text ones as timed text and says which
// picture track it left out, AVI keeps none. Cues follow the kept range, and a track of a
// few cues does not make a good conversion look damaged.
#include "SessionTestSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace sessiontest;
using testsupport::fixture;

namespace {

struct SubStream {
    QString codec, language, title;
};

std::vector<SubStream> subtitleStreams(const QString &path) {
    std::vector<SubStream> out;
    for (const auto &s : testsupport::ffprobe(path)["streams"].toArray()) {
        const QJsonObject o = s.toObject();
        if (o["codec_type"].toString() != QLatin1String("subtitle"))
            continue;
        const QJsonObject tags = o["tags"].toObject();
        out.push_back({o["codec_name"].toString(), tags["language"].toString(), tags["title"].toString()});
    }
    return out;
}

struct Cue {
    double start = 0, duration = 0;
    int size = 0;
};

// The packets of the file's subtitle stream number `n` (among its subtitle streams).
std::vector<Cue> cuesOf(const QString &path, int n) {
    QByteArray json;
    testsupport::runProgram("ffprobe",
                            {"-v", "error", "-select_streams", QStringLiteral("s:%1").arg(n), "-show_entries",
                             "packet=pts_time,duration_time,size", "-of", "json", path},
                            &json);
    std::vector<Cue> out;
    for (const auto &p : QJsonDocument::fromJson(json).object()["packets"].toArray()) {
        const QJsonObject o = p.toObject();
        // MP4's timed text fills the gaps between cues with empty samples (two bytes).
        if (o["size"].toString().toInt() > 2)
            out.push_back({o["pts_time"].toString().toDouble(), o["duration_time"].toString().toDouble(),
                           o["size"].toString().toInt()});
    }
    return out;
}

void writeText(const QString &path, const QByteArray &text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// Video, sound, then an English and a German SubRip track and a French DVD picture track
// (streams 2, 3 and 4). The picture cue shows from 0.5 s to 3.5 s.
QString threeTrackMovie() {
    static QString made;
    if (!made.isEmpty())
        return made;
    const QString dir = testsupport::freshDir("subtracks");
    QString error;
    const QString pictures = dir + "/pictures.mkv";
    if (!makeBitmapSubtitleMovie(fixture("short.mp4"), pictures, &error)) {
        ADD_FAILURE() << error.toStdString();
        return {};
    }
    writeText(dir + "/en.srt", "1\n00:00:00,500 --> 00:00:01,500\nFirst\n\n"
                               "2\n00:00:02,500 --> 00:00:03,500\nSecond\n\n");
    writeText(dir + "/de.srt", "1\n00:00:01,000 --> 00:00:02,000\nErste\n\n"
                               "2\n00:00:03,000 --> 00:00:03,800\nZweite\n\n");
    const QString out = dir + "/three.mkv";
    const bool ok = testsupport::damage::make({"-i",
                                               pictures,
                                               "-i",
                                               dir + "/en.srt",
                                               "-i",
                                               dir + "/de.srt",
                                               "-f",
                                               "lavfi",
                                               "-i",
                                               "sine=d=4:r=48000",
                                               "-map",
                                               "0:v",
                                               "-map",
                                               "3:a",
                                               "-map",
                                               "1:s",
                                               "-map",
                                               "2:s",
                                               "-map",
                                               "0:s",
                                               "-c:v",
                                               "copy",
                                               "-c:a",
                                               "aac",
                                               "-c:s:0",
                                               "srt",
                                               "-c:s:1",
                                               "srt",
                                               "-c:s:2",
                                               "copy",
                                               "-metadata:s:s:0",
                                               "language=eng",
                                               "-metadata:s:s:1",
                                               "language=ger",
                                               "-metadata:s:s:1",
                                               "title=Deutsch",
                                               "-metadata:s:s:2",
                                               "language=fre",
                                               "-t",
                                               "4"},
                                              out);
    if (!ok) {
        ADD_FAILURE() << "the ffmpeg program did not make the fixture";
        return {};
    }
    made = out;
    return made;
}

QStringList convertNoting(const QString &in, const QString &out, const std::function<void(SWConvertOption &)> &cfg,
                          bool *ok, QString *error) {
    SWConvertSession session;
    session.option().setAuto_streamcopy(false);
    if (cfg)
        cfg(session.option());
    session.addInputFile(in);
    session.setOutputFileName(out);
    *ok = session.start();
    *error = session.lastError();
    return session.notes();
}

} // namespace

TEST(SubtitleTracks, MatroskaKeepsEveryTrackWithItsTagsAndCuesFollowTheKeptRange) {
    const QString in = threeTrackMovie();
    ASSERT_FALSE(in.isEmpty());
    const QString dir = testsupport::freshDir("subs-mkv");
    // The kept range 2.0 s .. 4.0 s.
    bool ok = false;
    QString error;
    const QStringList notes = convertNoting(
        in, dir + "/cut.mkv",
        [](SWConvertOption &o) {
            o.setStart_time(2'000'000);
            o.setRecording_time(2'000'000);
        },
        &ok, &error);
    ASSERT_TRUE(ok) << error.toStdString();
    EXPECT_TRUE(notes.isEmpty()) << notes.join(' ').toStdString();
    const auto subs = subtitleStreams(dir + "/cut.mkv");
    ASSERT_EQ(subs.size(), 3u);
    EXPECT_EQ(subs[0].codec, "subrip");
    EXPECT_EQ(subs[0].language, "eng");
    EXPECT_EQ(subs[1].codec, "subrip");
    EXPECT_EQ(subs[1].language, "ger");
    EXPECT_EQ(subs[1].title, "Deutsch");
    EXPECT_EQ(subs[2].codec, "dvd_subtitle");
    EXPECT_EQ(subs[2].language, "fre");

    // The ffmpeg program moves the cues onto its own clock when it makes the fixture: the
    // expected times come from the source's cues, 2 s earlier.
    const auto srcEn = cuesOf(in, 0), srcDe = cuesOf(in, 1), srcPic = cuesOf(in, 2);
    ASSERT_EQ(srcEn.size(), 2u);
    ASSERT_EQ(srcDe.size(), 2u);
    ASSERT_EQ(srcPic.size(), 1u);
    constexpr double kMs = 0.0015; // Matroska keeps milliseconds
    // The muxer moves the whole output by the video encoder's delay (a few ms): the cues
    // are expected where the first picture, the range's start, is.
    double shift = -1;
    for (const auto &st : testsupport::ffprobe(dir + "/cut.mkv")["streams"].toArray())
        if (st.toObject()["codec_type"].toString() == QLatin1String("video"))
            shift = st.toObject()["start_time"].toString().toDouble();
    ASSERT_GE(shift, 0.0);
    ASSERT_LT(shift, 0.05);
    // English 2.5-3.5 s shows at 0.5 s; its first cue ended before the range.
    const auto en = cuesOf(dir + "/cut.mkv", 0);
    ASSERT_EQ(en.size(), 1u);
    EXPECT_NEAR(en[0].start, srcEn[1].start - 2.0 + shift, kMs);
    EXPECT_NEAR(en[0].duration, srcEn[1].duration, kMs);
    // German 1.0-2.0 s runs a moment past the range's start (the ffmpeg program's shift):
    // what of it is left shows at 0; 3.0-3.8 s shows at 1.0 s.
    const auto de = cuesOf(dir + "/cut.mkv", 1);
    ASSERT_EQ(de.size(), 2u);
    EXPECT_NEAR(de[0].start, shift, kMs);
    EXPECT_NEAR(de[0].duration, srcDe[0].start + srcDe[0].duration - 2.0, kMs);
    EXPECT_NEAR(de[1].start, srcDe[1].start - 2.0 + shift, kMs);
    EXPECT_NEAR(de[1].duration, srcDe[1].duration, kMs);
    // The picture cue 0.5-3.5 s began long before the range's start (before the point the
    // reader seeks to): it shows from 0 to its end.
    const auto pic = cuesOf(dir + "/cut.mkv", 2);
    ASSERT_EQ(pic.size(), 1u);
    EXPECT_NEAR(pic[0].start, shift, kMs);
    EXPECT_NEAR(pic[0].duration, srcPic[0].start + srcPic[0].duration - 2.0, kMs);

    // The whole file, every stream copied: the sparse tracks (nothing after 3.8 s of a
    // longer film) are no sign of damage.
    const QString whole = dir + "/whole.mkv";
    const QStringList copyNotes = convertNoting(
        in, whole, [](SWConvertOption &o) { o.setAuto_streamcopy(true); }, &ok, &error);
    ASSERT_TRUE(ok) << error.toStdString();
    EXPECT_EQ(subtitleStreams(whole).size(), 3u);
    EXPECT_EQ(packetHashes(whole, 'v'), packetHashes(in, 'v')) << "the video is copied";
    const auto wholeDe = cuesOf(whole, 1);
    ASSERT_EQ(wholeDe.size(), 2u);
    EXPECT_NEAR(wholeDe[1].start, srcDe[1].start, kMs);
}

TEST(SubtitleTracks, BurnedTrackIsNotKeptAsATrackToo) {
    const QString in = threeTrackMovie();
    ASSERT_FALSE(in.isEmpty());
    const QString out = testsupport::freshDir("subs-burn") + "/burn.mkv";
    bool ok = false;
    QString error;
    convertNoting(
        in, out, [](SWConvertOption &o) { o.setSubtitleStreamIndex(2); }, &ok, &error);
    ASSERT_TRUE(ok) << error.toStdString();
    const auto subs = subtitleStreams(out);
    ASSERT_EQ(subs.size(), 2u);
    EXPECT_EQ(subs[0].language, "ger");
    EXPECT_EQ(subs[1].codec, "dvd_subtitle");
}

TEST(SubtitleTracks, Mp4KeepsTextAsTimedTextAndSaysWhatItLeftOut) {
    const QString in = threeTrackMovie();
    ASSERT_FALSE(in.isEmpty());
    const QString dir = testsupport::freshDir("subs-mp4");
    bool ok = false;
    QString error;
    const QStringList notes = convertNoting(in, dir + "/out.mp4", {}, &ok, &error);
    ASSERT_TRUE(ok) << error.toStdString();
    const auto subs = subtitleStreams(dir + "/out.mp4");
    ASSERT_EQ(subs.size(), 2u);
    EXPECT_EQ(subs[0].codec, "mov_text");
    EXPECT_EQ(subs[0].language, "eng");
    EXPECT_EQ(subs[1].codec, "mov_text");
    EXPECT_EQ(subs[1].language, "ger");
    EXPECT_EQ(cuesOf(dir + "/out.mp4", 1).size(), 2u);
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes[0].contains("subtitle stream 4 (dvd_subtitle) left out")) << notes[0].toStdString();

    // The command line's table says it beside the output. (Without --no-subtitles the list's
    // rule would burn the first track in, as the window does.)
    QByteArray table, log;
    const int rc = testsupport::runProgram(
        testsupport::binary("cinvora-cli"),
        {"convert", in, "--to", "Common Video.MP4", "--no-subtitles", "--output", dir + "/cli"}, &table, &log, 300000);
    ASSERT_EQ(rc, 0) << log.toStdString();
    EXPECT_TRUE(table.contains("subtitle stream 4 (dvd_subtitle) left out")) << table.toStdString();
    const QStringList made = QDir(dir + "/cli").entryList({"*.mp4"}, QDir::Files);
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(subtitleStreams(dir + "/cli/" + made[0]).size(), 2u);
}

TEST(SubtitleTracks, ContainersWithoutSubtitlesKeepNoneAndSayNothing) {
    const QString in = threeTrackMovie();
    ASSERT_FALSE(in.isEmpty());
    const QString dir = testsupport::freshDir("subs-none");
    for (const char *name : {"out.avi", "out.mp3"}) {
        SCOPED_TRACE(name);
        bool ok = false;
        QString error;
        const QStringList notes = convertNoting(in, dir + "/" + name, {}, &ok, &error);
        ASSERT_TRUE(ok) << error.toStdString();
        EXPECT_TRUE(subtitleStreams(dir + "/" + name).empty());
        EXPECT_TRUE(notes.isEmpty()) << notes.join(' ').toStdString();
    }
}
