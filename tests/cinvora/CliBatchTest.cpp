#include "TestSupport.h"

#include <foundation/Settings.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

QString makeMixedFolder() {
    const QString dir = testsupport::freshDir("mixed");
    QFile::copy(fixture("short.mp4"), dir + "/one.mp4");
    QFile::copy(fixture("mpeg4.avi"), dir + "/two.avi");
    QFile::copy(fixture("audio.flac"), dir + "/three.flac");
    QFile::copy(fixture("short.mp4"), dir + "/four.mkv.mp4");
    QFile::copy(fixture("random.mp4"), dir + "/noise.mp4");
    QFile notes(dir + "/notes.txt");
    notes.open(QIODevice::WriteOnly);
    notes.write("not media\n");
    return dir;
}

bool readable(const QString &path) {
    return testsupport::ffprobe(path)["format"].toObject()["duration"].toString().toDouble() > 0;
}

} // namespace

TEST(CliBatch, FolderWithTwoJobsNeverRunsMoreThanTwoAndReportsEveryFile) {
    const QString in = makeMixedFolder();
    const QString out = testsupport::freshDir("batch-out");
    QByteArray stdoutText, stderrText;
    const int rc = testsupport::runProgram(testsupport::binary("cinvora-cli"),
                                           {"convert", in, "--jobs", "2", "--output", out, "--verbose"}, &stdoutText,
                                           &stderrText, 300000);
    EXPECT_EQ(rc, 0) << stderrText.toStdString();
    // The gate's own log lines say how many conversions ran at once.
    static const QRegularExpression re(QStringLiteral("_currentSessionCount\\+\\+ = (\\d+)"));
    int admissions = 0, most = 0;
    for (auto it = re.globalMatch(QString::fromUtf8(stderrText)); it.hasNext();) {
        most = std::max(most, it.next().captured(1).toInt());
        ++admissions;
    }
    EXPECT_EQ(admissions, 4);
    EXPECT_LE(most, 2);
    EXPECT_GE(most, 1);
    const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, QStringList({"four.mkv.mov", "one.mov", "three.mp3", "two.mov"}));
    for (const QString &f : files)
        EXPECT_TRUE(readable(QDir(out).filePath(f))) << f.toStdString();
    const QString table = QString::fromUtf8(stdoutText);
    EXPECT_TRUE(table.startsWith("source")) << table.toStdString();
    for (const char *name : {"one.mp4", "two.avi", "three.flac", "four.mkv.mp4"})
        EXPECT_TRUE(QRegularExpression(QStringLiteral("%1\\s+done\\s+[0-9.]+\\s+(-|0\\.\\d{4})\\s+(-|[0-9.]+)\\s+/")
                                           .arg(QRegularExpression::escape(name)))
                        .match(table)
                        .hasMatch())
            << name << "\n"
            << table.toStdString();
    // The one re-encoded picture (MPEG-4 Part 2 into MOV's H.264) says how like its source it is.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("two\\.avi\\s+done\\s+[0-9.]+\\s+0\\.9\\d{3}\\s+[0-9.]+\\s+/"))
                    .match(table)
                    .hasMatch())
        << table.toStdString();
    EXPECT_TRUE(QRegularExpression("notes\\.txt\\s+skipped").match(table).hasMatch());
    EXPECT_TRUE(QRegularExpression("noise\\.mp4\\s+skipped").match(table).hasMatch());
    // The window's notification's words close the table.
    EXPECT_TRUE(table.trimmed().endsWith("\n4 files converted.")) << table.toStdString();
    // The window's list was not touched.
    EXPECT_FALSE(QFileInfo::exists(QDir::home().filePath(".local/share/Cinvora/FileList.plist")));
}

TEST(CliBatch, ChosenFormatNumbersOutputsAndRefusesUnknownFormats) {
    const QString out = testsupport::freshDir("batch-mkv");
    QFile::copy(fixture("short.mp4"), out + "/short.mkv"); // the name is taken already
    QByteArray o, e;
    int rc = testsupport::runProgram(testsupport::binary("cinvora-cli"),
                                     {"convert", fixture("short.mp4"), "--to", "Common Video.MKV", "--output", out,
                                      "--size", "160x120", "--duration", "2"},
                                     &o, &e, 120000);
    EXPECT_EQ(rc, 0) << e.toStdString();
    const QString made = out + "/short(1).mkv";
    ASSERT_TRUE(QFileInfo::exists(made)) << o.toStdString();
    const QJsonObject j = testsupport::ffprobe(made);
    EXPECT_EQ(j["format"].toObject()["format_name"].toString(), "matroska,webm");
    EXPECT_NEAR(j["format"].toObject()["duration"].toString().toDouble(), 2.0, 0.1);
    bool sized = false;
    for (const auto &s : j["streams"].toArray())
        if (s.toObject()["codec_type"] == "video")
            sized = s.toObject()["width"].toInt() == 160 && s.toObject()["height"].toInt() == 120;
    EXPECT_TRUE(sized);
    EXPECT_EQ(QFile(out + "/short.mkv").size(), QFile(fixture("short.mp4")).size()); // untouched

    rc = testsupport::runProgram(testsupport::binary("cinvora-cli"),
                                 {"convert", fixture("short.mp4"), "--to", "Nowhere.Nothing", "--output", out}, &o, &e);
    EXPECT_EQ(rc, 2);
    EXPECT_TRUE(e.contains("formats"));
    rc = testsupport::runProgram(testsupport::binary("cinvora-cli"), {"convert", "/no/such/file.mp4", "--output", out},
                                 &o, &e);
    EXPECT_EQ(rc, 1);
}

TEST(CliBatch, InterruptCancelsEverythingAndLeavesNoPartialFile) {
    const QString in = testsupport::freshDir("batch-int");
    for (int i = 0; i < 3; ++i)
        QFile::copy(fixture("clip.mp4"), QStringLiteral("%1/c%2.mp4").arg(in).arg(i));
    const QString out = testsupport::freshDir("batch-int-out");
    testsupport::Child p;
    ASSERT_TRUE(p.start(testsupport::binary("cinvora-cli"),
                        {"convert", in, "--jobs", "2", "--output", out, "--size", "1280x720", "--no-copy"}));
    // Wait until conversions are writing (aside, under hidden names), then interrupt.
    const auto written = [&] { return QDir(out).entryList(QDir::Files | QDir::Hidden); };
    for (int i = 0; i < 600 && written().size() < 2; ++i)
        QThread::msleep(50);
    QThread::msleep(500);
    p.kill(SIGINT);
    EXPECT_EQ(p.wait(30000), 130);
    EXPECT_TRUE(written().isEmpty()) << written().join(",").toStdString();
    const QString table = QString::fromUtf8(p.standardOutput());
    EXPECT_TRUE(table.contains("cancelled")) << table.toStdString();
}

TEST(CliBatch, FormatsListsEveryKeyPath) {
    QByteArray o;
    ASSERT_EQ(testsupport::runProgram(testsupport::binary("cinvora-cli"), {"formats"}, &o), 0);
    const QStringList lines = QString::fromUtf8(o).split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains("Apple Device.Quicktime Movie\tmov\t.mov"));
    EXPECT_TRUE(lines.contains("Audio.mp3\tmp3\t.mp3"));
    EXPECT_TRUE(lines.contains("Common Video.MKV\tmatroska\t.mkv"));
    EXPECT_GE(lines.size(), 30);
}

TEST(CliBatch, JsonPrintsOneObjectPerFileAndNothingElse) {
    const QString in = testsupport::freshDir("json-in");
    ASSERT_TRUE(QFile::copy(fixture("short.mp4"), in + "/one.mp4"));
    QFile notes(in + "/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not media");
    notes.close();
    const QString out = testsupport::freshDir("json-out");
    QByteArray stdoutText, stderrText;
    const int rc =
        testsupport::runProgram(testsupport::binary("cinvora-cli"), {"convert", in, "--output", out, "--json"},
                                &stdoutText, &stderrText, 120000);
    EXPECT_EQ(rc, 0) << stderrText.toStdString();
    const QList<QByteArray> lines = stdoutText.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << stdoutText.toStdString();
    QHash<QString, QJsonObject> bySource;
    for (const QByteArray &line : lines) {
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &err);
        ASSERT_EQ(err.error, QJsonParseError::NoError) << line.toStdString();
        bySource.insert(QFileInfo(doc.object()["source"].toString()).fileName(), doc.object());
    }
    const QJsonObject one = bySource.value("one.mp4");
    EXPECT_EQ(one["result"].toString(), "done");
    EXPECT_TRUE(QFileInfo::exists(one["output"].toString())) << one["output"].toString().toStdString();
    EXPECT_GT(one["seconds"].toDouble(), 0.0);
    EXPECT_EQ(bySource.value("notes.txt")["result"].toString(), "skipped");
    EXPECT_FALSE(bySource.value("notes.txt").contains("output"));
}

// A run that converts nothing is not a success, and every row that did not convert says
// why in the table itself, without --verbose.
TEST(CliBatch, NothingConvertedFailsAndEveryRowSaysWhy) {
    const QString in = testsupport::freshDir("batch-none");
    QFile::copy(fixture("random.mp4"), in + "/noise.mp4");
    QFile::copy(fixture("short.mp4"), in + "/disc.vob");
    QFile notes(in + "/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not media\n");
    notes.close();
    const QString out = testsupport::freshDir("batch-none-out");
    QByteArray o, e;
    int rc =
        testsupport::runProgram(testsupport::binary("cinvora-cli"), {"convert", in, "--output", out}, &o, &e, 120000);
    EXPECT_EQ(rc, 1) << o.toStdString() << e.toStdString();
    const QString table = QString::fromUtf8(o);
    EXPECT_TRUE(QRegularExpression("disc\\.vob\\s+skipped.*refused by rule: DVD files").match(table).hasMatch())
        << table.toStdString();
    EXPECT_TRUE(
        QRegularExpression("notes\\.txt\\s+skipped.*not a readable video or audio file").match(table).hasMatch())
        << table.toStdString();
    EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty());

    // A file that the intake takes but the engine refuses: the reason is in the table.
    QFile::copy(fixture("short.mp4"), in + "/one.mp4");
    rc = testsupport::runProgram(testsupport::binary("cinvora-cli"),
                                 {"convert", in + "/one.mp4", "--output", out, "--audio-stream", "7"}, &o, &e, 120000);
    EXPECT_EQ(rc, 1);
    const QString failed = QString::fromUtf8(o);
    EXPECT_TRUE(
        QRegularExpression("one\\.mp4\\s+failed.*no audio stream 7.*audio streams are 1").match(failed).hasMatch())
        << failed.toStdString();
    EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty());
}

// Every output is as long as its source (the item's whole-second length is for display),
// a file that lost part of what it states fails, and damage the ffmpeg program decodes
// through is converted: the judgement rests on what the conversion read.
TEST(CliBatch, OutputsKeepTheirWholeLengthAndOnlyFilesThatLostDataFail) {
    namespace damage = testsupport::damage;
    const QString in = testsupport::freshDir("whole-in");
    const QString tail = in + "/tail.mp4", cut = in + "/cut.wav", header = in + "/header.mp4",
                  bytes = in + "/bytes.mkv";
    ASSERT_TRUE(damage::make({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3.9", "-f", "lavfi", "-i",
                              "sine=frequency=440:sample_rate=48000:duration=3.9", "-c:v", "libx264", "-preset",
                              "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-f", "mp4"},
                             tail));
    ASSERT_TRUE(damage::make(
        {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=10", "-c:a", "pcm_s16le"}, cut));
    ASSERT_TRUE(damage::rewrite(cut, [](QByteArray &b) { b.truncate(b.size() * 2 / 5); }));
    ASSERT_TRUE(damage::make({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=10", "-c:v", "libx264",
                              "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-f", "mp4"},
                             header));
    ASSERT_TRUE(damage::make({"-i", header, "-c", "copy", "-f", "matroska"}, bytes));
    ASSERT_TRUE(damage::rewrite(header, [](QByteArray &b) { ASSERT_TRUE(damage::scaleMovieLength(b, "mvhd", 3)); }));
    ASSERT_TRUE(damage::rewrite(bytes, [](QByteArray &b) { damage::scribble(b, 5); }));
    for (const QString &f : {header, bytes})
        ASSERT_GE(damage::decodedSeconds(f), 9.9) << f.toStdString();

    const QString out = testsupport::freshDir("whole-out");
    QByteArray o, e;
    const int rc = testsupport::runProgram(testsupport::binary("cinvora-cli"),
                                           {"convert", in, "--output", out, "--json"}, &o, &e, 300000);
    EXPECT_EQ(rc, 1) << o.toStdString() << e.toStdString(); // the cut file failed
    QHash<QString, QJsonObject> rows;
    for (const QByteArray &line : o.trimmed().split('\n')) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        rows.insert(QFileInfo(row["source"].toString()).fileName(), row);
    }
    const auto duration = [](const QString &path) {
        return testsupport::ffprobe(path)["format"].toObject()["duration"].toString().toDouble();
    };
    ASSERT_EQ(rows.value("tail.mp4")["result"].toString().toStdString(), "done") << o.toStdString();
    EXPECT_NEAR(duration(rows.value("tail.mp4")["output"].toString()), duration(tail), 0.04); // one frame at 25 fps
    EXPECT_EQ(rows.value("cut.wav")["result"].toString().toStdString(), "failed");
    EXPECT_TRUE(rows.value("cut.wav")["reason"].toString().contains("cut short")) << o.toStdString();
    for (const char *name : {"header.mp4", "bytes.mkv"}) {
        ASSERT_EQ(rows.value(name)["result"].toString().toStdString(), "done") << name << ": " << o.toStdString();
        EXPECT_NEAR(duration(rows.value(name)["output"].toString()), 10.0, 0.1) << name;
    }
}

// The stored limit is held to the settings sheet's range (at most 10 at once), however the
// settings file was edited; --jobs keeps its own range.
TEST(CliBatch, AStoredLimitAboveTheSheetsRangeRunsTenAtOnce) {
    const QString in = testsupport::freshDir("twelve");
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(QFile::copy(fixture("short.mp4"), QStringLiteral("%1/c%2.mp4").arg(in).arg(i)));
    foundation::Settings::setValue("allowConvertingMaxCount", 1000000);
    static const QRegularExpression re(QStringLiteral("_currentSessionCount\\+\\+ = (\\d+)"));
    for (const QStringList &jobs : {QStringList(), QStringList({"--jobs", "12"})}) {
        SCOPED_TRACE(jobs.join(' ').toStdString());
        const QString out = testsupport::freshDir("twelve-out");
        QByteArray stdoutText, stderrText;
        const int rc = testsupport::runProgram(testsupport::binary("cinvora-cli"),
                                               QStringList{"convert", in, "--output", out, "--verbose"} + jobs,
                                               &stdoutText, &stderrText, 300000);
        EXPECT_EQ(rc, 0) << stderrText.toStdString();
        int admissions = 0, most = 0;
        for (auto it = re.globalMatch(QString::fromUtf8(stderrText)); it.hasNext();) {
            most = std::max(most, it.next().captured(1).toInt());
            ++admissions;
        }
        EXPECT_EQ(admissions, 12);
        EXPECT_EQ(most, jobs.isEmpty() ? 10 : 12);
        EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 12);
    }
    foundation::Settings::remove("allowConvertingMaxCount");
}
