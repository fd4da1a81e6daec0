#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testsupport::fixture;

namespace {
QList<QJsonObject> runProbe(const QStringList &files, int *rc, int timeoutMs = 60000) {
    QByteArray out;
    *rc = testsupport::runProgram(testsupport::binary("cinvora-cli"), QStringList{"probe"} + files, &out, nullptr,
                                  timeoutMs);
    QList<QJsonObject> objs;
    for (const QByteArray &line : out.split('\n'))
        if (!line.trimmed().isEmpty())
            objs << QJsonDocument::fromJson(line).object();
    return objs;
}
} // namespace

TEST(CliProbe, OneObjectPerFileThatAgreesWithFfprobe) {
    const QStringList names = {"clip.mp4",  "audio.mp3",  "audio.flac", "multi.mkv",
                               "mpeg4.avi", "hd1080.mp4", "rotated.mp4"};
    QStringList files;
    for (const QString &n : names)
        files << fixture(n);
    int rc = 0;
    const auto objs = runProbe(files, &rc);
    EXPECT_EQ(rc, 0);
    ASSERT_EQ(objs.size(), files.size());
    for (int i = 0; i < files.size(); ++i) {
        const QJsonObject &o = objs[i];
        const QJsonObject ff = testsupport::ffprobe(files[i]);
        SCOPED_TRACE(names[i].toStdString());
        EXPECT_EQ(o["path"].toString(), files[i]);
        const double ffDur = ff["format"].toObject()["duration"].toString().toDouble();
        EXPECT_NEAR(o["durationUs"].toDouble(), ffDur * 1e6, 1.0);
        EXPECT_EQ(o["duration"].toDouble(), std::trunc(ffDur)); // whole seconds, as the item keeps it
        int ffAudio = 0, ffSubs = 0;
        for (const auto &s : ff["streams"].toArray()) {
            const QJsonObject so = s.toObject();
            if (so["codec_type"] == "audio")
                ++ffAudio;
            if (so["codec_type"] == "subtitle")
                ++ffSubs;
        }
        EXPECT_EQ(o["audioStreams"].toArray().size(), ffAudio);
        EXPECT_EQ(o["subtitleStreams"].toArray().size(), ffSubs);
        for (const char *key : {"hasVideo", "width", "height", "frameRate", "sampleRate"})
            EXPECT_TRUE(o.contains(key)) << key;
    }
    const QJsonObject mkv = objs[3];
    EXPECT_EQ(mkv["audioStreams"].toArray().at(1).toObject()["number"].toInt(), 2);
    EXPECT_EQ(mkv["subtitleStreams"].toArray().at(0).toObject()["number"].toInt(), 3);
    EXPECT_EQ(objs[6]["width"].toInt(), 360);
    EXPECT_EQ(objs[5]["frameRate"].toDouble(), 30000.0 / 1001.0);
}

TEST(CliProbe, BadFilesReportErrorsAndTheRestStillPrint) {
    const QString dir = testsupport::freshDir("cli");
    const QString fifo = dir + "/pipe.mkv";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QStringList files = {
        fixture("empty.mp4"), fixture("corrupt.mp4"), fixture("random.mp4"), fixture("text.mkv"), fifo, dir,
        fixture("short.mp4")};
    QElapsedTimer t;
    t.start();
    int rc = 0;
    const auto objs = runProbe(files, &rc, 30000);
    EXPECT_LT(t.elapsed(), 20000);
    EXPECT_EQ(rc, 1);
    ASSERT_EQ(objs.size(), files.size());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(objs[i]["path"].toString(), files[i]);
        EXPECT_FALSE(objs[i]["error"].toString().isEmpty()) << files[i].toStdString();
        EXPECT_FALSE(objs[i].contains("duration"));
    }
    EXPECT_FALSE(objs[6].contains("error"));
    EXPECT_EQ(objs[6]["duration"].toDouble(), 4.0);
}
