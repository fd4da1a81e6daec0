// A long `cinvora-cli convert` killed with SIGKILL keeps its finished parts, and running the
// same command again takes them up: the result is the conversion an uninterrupted run makes.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonArray>
#include <QRegularExpression>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <foundation/Files.h>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sys/stat.h>

namespace {

QString cli() { return testsupport::binary("cinvora-cli"); }

constexpr int kSeconds = 120, kRate = 25, kFrames = kSeconds * kRate;
constexpr int kSampleRate = 48000, kSineHz = 440;
// The parts are 30 s: their first pictures in the output.
constexpr int kJoins[] = {750, 1500, 2250};

// Two minutes of moving pictures and a sine, small and quick to encode.
QString makeSource(const QString &dir) {
    const QString src = dir + "/source.mkv";
    const bool made = testsupport::damage::make(
        {"-f", "lavfi", "-i", QStringLiteral("testsrc2=size=320x180:rate=%1:duration=%2").arg(kRate).arg(kSeconds),
         "-f", "lavfi", "-i",
         QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=%3").arg(kSineHz).arg(kSampleRate).arg(kSeconds),
         "-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-c:a", "flac"},
        src);
    return made ? src : QString();
}

QStringList convertArgs(const QString &src, const QString &out) {
    return {"convert", src, out, "--vcodec", "h264", "--acodec", "aac", "--quality", "low", "--no-copy"};
}

// The highest "progress N%" the run has printed so far; -1 before the first.
int progressOf(const testsupport::Child &c) {
    static const QRegularExpression line(QStringLiteral("progress (\\d+)%"));
    int best = -1;
    for (auto it = line.globalMatch(QString::fromUtf8(c.standardError())); it.hasNext();)
        best = std::max(best, it.next().captured(1).toInt());
    return best;
}

// The percent a run said it resumed at; -1 when it started from zero.
double resumedAt(const QByteArray &err) {
    static const QRegularExpression line(QStringLiteral("resuming an interrupted run at (\\d+)%"));
    const auto m = line.match(QString::fromUtf8(err));
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

// The finished parts in a work folder, by name, with their inode and time: a part taken
// up again is the same file, not one written anew.
std::map<QString, std::pair<qint64, qint64>> partsIn(const QString &work) {
    std::map<QString, std::pair<qint64, qint64>> parts;
    QFile journal(work + "/journal");
    if (!journal.open(QIODevice::ReadOnly))
        return parts;
    for (const QByteArray &line : journal.readAll().split('\n')) {
        if (!line.startsWith("part "))
            continue;
        const QString name = QStringLiteral("video-%1").arg(line.split(' ').at(1).toInt(), 5, 10, QLatin1Char('0'));
        struct stat sb {};
        if (::stat(QFile::encodeName(work + "/" + name).constData(), &sb) == 0)
            parts[name] = {qint64(sb.st_ino), qint64(sb.st_mtim.tv_sec) * 1000000000 + sb.st_mtim.tv_nsec};
    }
    return parts;
}

// Starts the conversion and kills it with SIGKILL once it reports `percent`.
QByteArray killAt(const QString &src, const QString &out, int percent, const QStringList &extra = {}) {
    testsupport::Child c;
    EXPECT_TRUE(c.start(cli(), convertArgs(src, out) + extra));
    EXPECT_TRUE(testsupport::waitFor([&] { return progressOf(c) >= percent; }, 120000))
        << c.standardError().toStdString();
    c.kill(SIGKILL);
    EXPECT_EQ(c.wait(10000), -1) << "killed, not ended";
    EXPECT_FALSE(QFileInfo::exists(out)) << "nothing under the final name";
    return c.standardError();
}

// A stream's decoded packets as ffprobe counts them, and its length.
struct Probe {
    int frames = 0;
    double videoSeconds = 0, audioSeconds = 0;
};

Probe probe(const QString &file) {
    QByteArray out;
    testsupport::runProgram("ffprobe", {"-v", "error", "-count_frames", "-show_streams", "-of", "json", file}, &out);
    Probe p;
    const QJsonArray streams = QJsonDocument::fromJson(out).object()["streams"].toArray();
    for (const auto &s : streams) {
        const QJsonObject o = s.toObject();
        if (o["codec_type"] == "video") {
            p.frames = o["nb_read_frames"].toString().toInt();
            p.videoSeconds = o["duration"].toString().toDouble();
        } else if (o["codec_type"] == "audio") {
            p.audioSeconds = o["duration"].toString().toDouble();
        }
    }
    return p;
}

// The sound as the ffmpeg program decodes it: mono signed 16-bit samples.
QByteArray pcm(const QString &file) {
    QByteArray out;
    testsupport::runProgram(
        "ffmpeg", {"-nostdin", "-v", "error", "-i", file, "-map", "0:a", "-ac", "1", "-f", "s16le", "-"}, &out);
    return out;
}

// Per-picture SSIM of `a` against `b`, from the ffmpeg program's ssim filter.
std::vector<double> ssim(const QString &a, const QString &b) {
    const QString stats = testsupport::freshDir("ssim") + "/stats.txt";
    testsupport::runProgram("ffmpeg", {"-nostdin", "-v", "error", "-i", a, "-i", b, "-lavfi",
                                       "[0:v][1:v]ssim=stats_file=" + stats, "-f", "null", "-"});
    std::vector<double> values;
    QFile f(stats);
    if (!f.open(QIODevice::ReadOnly))
        return values;
    static const QRegularExpression all(QStringLiteral("All:([0-9.]+)"));
    for (const QByteArray &line : f.readAll().split('\n'))
        if (const auto m = all.match(QString::fromLatin1(line)); m.hasMatch())
            values.push_back(m.captured(1).toDouble());
    return values;
}

TEST(CliResume, KilledThreeTimesResumesAndMatchesAnUninterruptedRun) {
    const QString dir = testsupport::freshDir("resume");
    const QString src = makeSource(dir);
    ASSERT_FALSE(src.isEmpty());
    const QString reference = dir + "/reference.mp4", out = dir + "/resumed.mp4";
    const QString work = foundation::Files::workPathFor(out);

    QByteArray err, json;
    ASSERT_EQ(testsupport::runProgram(cli(), convertArgs(src, reference) << "--json", &json, &err), 0)
        << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(foundation::Files::workPathFor(reference))) << "a finished run leaves no work";
    // Written in parts in one run, every part measured: the figure is the whole file's, as
    // the ffmpeg program's ssim filter finds it.
    const QJsonObject whole = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(whole["frames_measured"].toInt(), kFrames) << json.toStdString();
    const std::vector<double> referenceSsim = ssim(reference, src);
    ASSERT_EQ(int(referenceSsim.size()), kFrames);
    double referenceMean = 0;
    for (const double v : referenceSsim)
        referenceMean += v / kFrames;
    EXPECT_NEAR(whole["ssim"].toDouble(), referenceMean, 0.002) << json.toStdString();
    EXPECT_GT(whole["psnr_db"].toDouble(), 20.0) << json.toStdString();

    // Killed at about 30 %, 60 % and 90 %, each time run again.
    std::map<QString, std::pair<qint64, qint64>> kept;
    int killedAt = 0;
    for (const int percent : {30, 60, 90}) {
        SCOPED_TRACE(percent);
        err = killAt(src, out, percent);
        if (killedAt > 0) {
            // The run took up what the last one left: it said so, at about where that one
            // stopped (at most one part, a quarter, is done again), and did not write the
            // kept parts anew.
            EXPECT_GE(resumedAt(err), killedAt - 26) << err.toStdString();
            for (const auto &[name, id] : kept)
                EXPECT_EQ(partsIn(work)[name], id) << name.toStdString() << " was written again";
        }
        kept = partsIn(work);
        EXPECT_GE(int(kept.size()), percent / 25 - 1) << "finished parts are kept";
        killedAt = percent;
    }
    testsupport::Child last;
    ASSERT_TRUE(last.start(cli(), convertArgs(src, out) << "--json"));
    ASSERT_EQ(last.wait(120000), 0) << last.standardError().toStdString();
    EXPECT_GE(resumedAt(last.standardError()), 90 - 26) << last.standardError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(work)) << "the work folder goes with the finished conversion";
    // Most of the file was encoded by runs that were killed, and their measurements went
    // with them: no figure is claimed for the whole file.
    const QJsonObject resumed = QJsonDocument::fromJson(last.standardOutput()).object();
    EXPECT_EQ(resumed["result"].toString(), "done") << last.standardOutput().toStdString();
    EXPECT_FALSE(resumed.contains("ssim") || resumed.contains("psnr_db") || resumed.contains("frames_measured"))
        << last.standardOutput().toStdString();

    // Every picture, the same length, the same sound.
    const Probe r = probe(reference), o = probe(out);
    EXPECT_EQ(r.frames, kFrames);
    EXPECT_EQ(o.frames, r.frames);
    EXPECT_NEAR(o.videoSeconds, r.videoSeconds, 1.0 / kRate);
    EXPECT_NEAR(o.audioSeconds, r.audioSeconds, 1.0 / kRate);
    const QByteArray soundRef = pcm(reference), sound = pcm(out);
    EXPECT_EQ(sound.size(), soundRef.size()) << "the same number of samples";
    EXPECT_GE(sound.size(), qsizetype(kSeconds) * kSampleRate * 2);
    // No gap, no repeat, no click: from one sample to the next the sine moves at most by
    // its own steepest step (amplitude 1/8 of full scale), with room for the codec's noise
    // (AAC reaches 1.5 times it); a gap or a restart jumps by up to the amplitude.
    const auto *s = reinterpret_cast<const int16_t *>(sound.constData());
    const double amplitude = 32767.0 / 8, step = amplitude * 2 * M_PI * kSineHz / kSampleRate;
    int jumps = 0;
    // The first and last frames of an AAC stream fade in and out.
    for (qsizetype i = 4096; i + 4096 < sound.size() / 2; ++i)
        if (std::abs(int(s[i + 1]) - int(s[i])) > 2 * step)
            ++jumps;
    EXPECT_EQ(jumps, 0);

    // The pictures at the joins are the uninterrupted run's, and the source's: at this
    // quality the output keeps 0.97 and more of the source's picture, and a picture one
    // off keeps less than 0.93.
    const std::vector<double> againstReference = ssim(out, reference), againstSource = ssim(out, src);
    ASSERT_EQ(int(againstReference.size()), kFrames);
    ASSERT_EQ(int(againstSource.size()), kFrames);
    for (const int join : kJoins)
        for (int n = join - 2; n <= join + 2; ++n) {
            EXPECT_GE(againstReference[size_t(n)], 0.98) << "picture " << n;
            EXPECT_GE(againstSource[size_t(n)], 0.96) << "picture " << n;
        }
}

// What was kept is taken up only by the same conversion: other settings, a changed source
// or --no-resume start from zero and clear the old work; work whose source is gone is
// removed by the next start in its folder.
TEST(CliResume, OtherSettingsOrSourceStartAfresh) {
    const QString dir = testsupport::freshDir("afresh");
    const QString src = makeSource(dir);
    ASSERT_FALSE(src.isEmpty());
    const QString out = dir + "/out.mp4", work = foundation::Files::workPathFor(out);

    killAt(src, out, 30);
    const auto first = partsIn(work);
    ASSERT_FALSE(first.empty());

    // Another quality: not the same conversion.
    QByteArray err = killAt(src, out, 5, {"--quality", "high"});
    EXPECT_EQ(resumedAt(err), -1) << err.toStdString();
    for (const auto &[name, id] : partsIn(work)) {
        const bool same = first.count(name) && first.at(name) == id;
        EXPECT_FALSE(same) << name.toStdString() << " was kept for other settings";
    }

    // The same settings again, after the source was rewritten with the same bytes: its time
    // changed, so it may not be the same any more.
    killAt(src, out, 30);
    ASSERT_FALSE(partsIn(work).empty());
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(src).constData(), nullptr, 0), 0);
    err = killAt(src, out, 5);
    EXPECT_EQ(resumedAt(err), -1) << err.toStdString();

    // --no-resume, while there is work to take up.
    killAt(src, out, 30);
    ASSERT_FALSE(partsIn(work).empty());
    err = killAt(src, out, 5, {"--no-resume"});
    EXPECT_EQ(resumedAt(err), -1) << err.toStdString();
    EXPECT_FALSE(err.contains("resuming"));

    // A kept part that is no longer what was finished (cut short, as by a disk that lost
    // its tail) is encoded again; the parts before it are taken up.
    killAt(src, out, 60);
    const auto before = partsIn(work);
    ASSERT_GE(before.size(), 2u);
    const QString torn = work + "/" + std::prev(before.end())->first;
    ASSERT_TRUE(QFile::resize(torn, QFileInfo(torn).size() / 2));
    testsupport::Child again;
    ASSERT_TRUE(again.start(cli(), convertArgs(src, out)));
    ASSERT_EQ(again.wait(120000), 0) << again.standardError().toStdString();
    EXPECT_GE(resumedAt(again.standardError()), 0) << again.standardError().toStdString();
    EXPECT_EQ(probe(out).frames, kFrames);
    ASSERT_TRUE(QFile::remove(out));

    // The source goes away: its work is removed when the folder is next written to.
    killAt(src, out, 30);
    ASSERT_TRUE(QFileInfo(work).isDir());
    ASSERT_TRUE(QFile::rename(src, dir + "/elsewhere.mkv"));
    ASSERT_EQ(testsupport::runProgram(
                  cli(), {"convert", testsupport::fixture("short.mp4"), dir + "/other.mp4", "--duration", "1"}),
              0);
    EXPECT_FALSE(QFileInfo::exists(work));
}

// Settings under which a conversion is not written in parts (a size limit passes over the
// whole range twice) are other settings too: what an earlier run kept goes.
TEST(CliResume, ASizeLimitStartsAfreshAndClearsKeptWork) {
    const QString dir = testsupport::freshDir("limit");
    const QString src = makeSource(dir);
    ASSERT_FALSE(src.isEmpty());
    const QString out = dir + "/out.mp4", work = foundation::Files::workPathFor(out);
    killAt(src, out, 40);
    ASSERT_FALSE(partsIn(work).empty());
    QByteArray err;
    ASSERT_EQ(testsupport::runProgram(cli(),
                                      convertArgs(src, out) << "--max-size"
                                                            << "3M",
                                      nullptr, &err),
              0)
        << err.toStdString();
    EXPECT_FALSE(err.contains("resuming")) << err.toStdString();
    EXPECT_LE(QFileInfo(out).size(), 3000000);
    EXPECT_FALSE(QFileInfo::exists(work)) << "the old work outlived a conversion with other settings";
}

// Subtitle tracks kept beside the picture: the conversion is made in one piece, and they
// are in the output.
TEST(CliResume, KeptSubtitleTracksConvertInOnePiece) {
    const QString dir = testsupport::freshDir("subtracks");
    const QString src = makeSource(dir);
    ASSERT_FALSE(src.isEmpty());
    const QString srt = dir + "/cues.srt";
    {
        QFile f(srt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("1\n00:00:01,000 --> 00:00:03,000\nOne\n\n2\n00:01:40,000 --> 00:01:42,000\nTwo\n");
    }
    const QString withSubs = dir + "/with-subs.mkv";
    ASSERT_TRUE(testsupport::damage::make({"-i", src, "-i", srt, "-map", "0", "-map", "1", "-c", "copy"}, withSubs));
    const QString out = dir + "/out.mkv";
    QByteArray err;
    ASSERT_EQ(testsupport::runProgram(cli(), convertArgs(withSubs, out), nullptr, &err), 0) << err.toStdString();
    QByteArray streams;
    testsupport::runProgram("ffprobe", {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", out},
                            &streams);
    EXPECT_EQ(streams.count("subtitle"), 1) << streams.toStdString();
    EXPECT_EQ(probe(out).frames, kFrames);
    EXPECT_FALSE(QFileInfo::exists(foundation::Files::workPathFor(out)));
}

// In parts the sound is a pass of its own; the pictures carry the length. A sound that
// begins late or ends early converts as it does in one piece, where the pass once refused it
// as an input cut short ("ends after 35.2 s of the 40.0 s it states").
TEST(CliResume, ASoundThatBeginsLateOrEndsEarlyConvertsInParts) {
    const QString dir = testsupport::freshDir("short-sound");
    const QStringList picture = {"-f", "lavfi", "-i", "testsrc2=size=160x90:rate=25:duration=40"};
    const QString sine = QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=").arg(kSineHz).arg(kSampleRate);
    const QStringList encode = {"-map",    "0:v",     "-map",      "1:a",  "-c:v",
                                "libx264", "-preset", "ultrafast", "-c:a", "flac"};
    const QString late = dir + "/late.mkv", early = dir + "/early.mkv";
    ASSERT_TRUE(testsupport::damage::make(
        picture + QStringList{"-itsoffset", "5", "-f", "lavfi", "-i", sine + "35"} + encode, late));
    ASSERT_TRUE(testsupport::damage::make(picture + QStringList{"-f", "lavfi", "-i", sine + "25"} + encode, early));
    qputenv("CINVORA_DEBUG", "1");
    for (const auto &[src, sound] : {std::pair{late, 35.0}, std::pair{early, 25.0}}) {
        SCOPED_TRACE(src.toStdString());
        const QString out = src + ".mp4";
        QByteArray err;
        EXPECT_EQ(testsupport::runProgram(cli(), convertArgs(src, out), nullptr, &err), 0) << err.toStdString();
        EXPECT_TRUE(err.contains("kept work")) << "not converted in parts: " << err.toStdString();
        const Probe p = probe(out);
        EXPECT_EQ(p.frames, 1000);
        EXPECT_NEAR(p.audioSeconds, sound, 1.0);
    }
    qunsetenv("CINVORA_DEBUG");
}

} // namespace
