// `cinvora-cli convert` as a user runs it: options, refusal to overwrite, Ctrl-C and a
// full disk leave nothing behind.
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <foundation/Files.h>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using testsupport::fixture;

namespace {

QString cli() { return testsupport::binary("cinvora-cli"); }

// Bytes of the output have reached the disk, under whichever name.
bool writing(const QString &out) {
    return QFileInfo(out).size() > 0 || QFileInfo(foundation::Files::partialPathFor(out)).size() > 0;
}

TEST(CliConvert, ConvertsWithOptionsAndRefusesAnExistingOutput) {
    const QString dir = testsupport::freshDir("cliconv");
    const QString out = dir + "/small.mkv";
    QByteArray stdoutText, stderrText;
    int rc = testsupport::runProgram(cli(),
                                     {"convert", fixture("short.mp4"), out, "--size", "160x120", "--duration", "1",
                                      "--quality", "low", "--vcodec", "mpeg4", "--acodec", "mp3", "--channels", "1"},
                                     &stdoutText, &stderrText);
    ASSERT_EQ(rc, 0) << stderrText.toStdString();
    EXPECT_TRUE(stdoutText.contains(QFile::encodeName(out)));
    EXPECT_TRUE(stderrText.contains("progress 100%")) << "plain progress lines when not on a terminal";
    const QJsonObject j = testsupport::ffprobe(out);
    const QJsonArray streams = j["streams"].toArray();
    ASSERT_EQ(streams.size(), 2);
    EXPECT_EQ(streams[0].toObject()["codec_name"].toString(), "mpeg4");
    EXPECT_EQ(streams[0].toObject()["width"].toInt(), 160);
    EXPECT_EQ(streams[1].toObject()["codec_name"].toString(), "mp3");
    EXPECT_EQ(streams[1].toObject()["channels"].toInt(), 1);
    EXPECT_NEAR(j["format"].toObject()["duration"].toString().toDouble(), 1.0, 0.1);

    // Run again: the output is there now and stays as it is.
    const QByteArray before = [&] {
        QFile f(out);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    rc = testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), out}, nullptr, &stderrText);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(stderrText.contains("not overwriting"));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);

    // Bad arguments create nothing.
    EXPECT_EQ(testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), dir + "/x.mp4", "--size", "big"}), 2);
    EXPECT_EQ(testsupport::runProgram(cli(), {"convert"}), 2);
    EXPECT_FALSE(QFileInfo::exists(dir + "/x.mp4"));
    // A failed conversion leaves nothing either.
    EXPECT_EQ(testsupport::runProgram(cli(), {"convert", fixture("random.mp4"), dir + "/y.mp4"}), 1);
    EXPECT_FALSE(QFileInfo::exists(dir + "/y.mp4"));
}

// Ctrl-C, kill, a closed terminal and Ctrl-\\ all end the run cleanly: exit 130, no file.
TEST(CliConvert, InterruptCancelsAndRemovesThePartialFile) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(sig);
        const QString out = testsupport::freshDir("cliint") + "/big.mp4";
        const QString partial = foundation::Files::partialPathFor(out);
        QProcess p;
        p.start(cli(), {"convert", fixture("clip.mp4"), out, "--no-copy", "--size", "1280x720"});
        ASSERT_TRUE(p.waitForStarted(10000));
        // Wait until it is writing; the final name stays empty meanwhile.
        ASSERT_TRUE(testsupport::waitFor([&] { return writing(out); }, 60000));
        EXPECT_FALSE(QFileInfo::exists(out));
        ::kill(static_cast<pid_t>(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 130);
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_FALSE(QFileInfo::exists(partial));
    }
}

// A signal in the first milliseconds of a run, while it is still starting (its libraries'
// initialisers, the codec set-up, the probe, the output's reservation), ends it the same
// clean way. The delays count from the moment the program's own code can first run: the
// C library's heap appears in its memory map once the loader has relocated every library
// and the initialisers begin. Before that no code of any program can see a signal.
TEST(CliConvert, SignalWhileStartingEndsCleanly) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator maps no [heap], the moment these delays count from";
#endif
    const QString dir = testsupport::freshDir("cliearly");
    auto heapMapped = [](qint64 pid) {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("[heap]");
    };
    for (int i = 0; i < 22; ++i) {
        const int sig = i % 2 ? SIGTERM : SIGINT;
        const int delayMs = i / 2; // 0 to 10 ms
        SCOPED_TRACE(testing::Message() << "signal " << sig << " after " << delayMs << " ms");
        const QString out = dir + QStringLiteral("/early%1.mkv").arg(i);
        testsupport::Child p;
        ASSERT_TRUE(p.start(cli(), {"convert", fixture("clip.mp4"), out, "--no-copy", "--size", "1280x720"}));
        QElapsedTimer waited;
        waited.start();
        while (!heapMapped(p.pid()) && waited.elapsed() < 5000)
            QThread::usleep(100);
        QThread::usleep(static_cast<unsigned long>(delayMs) * 1000);
        p.kill(sig);
        EXPECT_EQ(p.wait(20000), 130) << "-1: ended by the signal itself; " << p.standardError().toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_FALSE(QFileInfo::exists(foundation::Files::partialPathFor(out)));
    }
}

// kill -9 gives the program no chance to clean up: the final name must hold nothing, and
// what was left aside goes at the next start, while a partial file another live run is
// writing in the same folder stays.
TEST(CliConvert, KilledRunLeavesNothingUnderTheNameAndTheNextStartClearsItsLeftover) {
    const QString dir = testsupport::freshDir("clikill");
    const QString out = dir + "/big.mkv", partial = foundation::Files::partialPathFor(out);
    const QString live = dir + "/live.mkv", livePartial = foundation::Files::partialPathFor(live);
    const QStringList slow = {"--no-copy", "--size", "1280x720"};
    testsupport::Child killed, running;
    ASSERT_TRUE(killed.start(cli(), QStringList{"convert", fixture("clip.mp4"), out} + slow));
    ASSERT_TRUE(running.start(cli(), QStringList{"convert", fixture("clip.mp4"), live} + slow));
    ASSERT_TRUE(testsupport::waitFor([&] { return writing(out) && writing(live); }, 60000));
    killed.kill(SIGKILL);
    EXPECT_EQ(killed.wait(10000), -1) << "killed by the signal";
    EXPECT_FALSE(QFileInfo::exists(out)) << "nothing under the final name";

    // The next start in that folder: the same name converts again (it is not taken).
    QByteArray err;
    EXPECT_EQ(testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), out, "--duration", "1"}, nullptr, &err),
              0)
        << err.toStdString();
    EXPECT_TRUE(QFileInfo(out).size() > 0);
    EXPECT_FALSE(QFileInfo::exists(partial)) << "the killed run's leftover is gone";
    EXPECT_TRUE(QFileInfo(livePartial).size() > 0) << "a live run's file is kept";
    EXPECT_EQ(running.wait(0), -1) << "the live run goes on";
    running.kill(SIGTERM);
    EXPECT_EQ(running.wait(10000), 130);
    EXPECT_FALSE(QFileInfo::exists(live));
    EXPECT_FALSE(QFileInfo::exists(livePartial));
}

TEST(CliConvert, FullDiskFailsCleanly) {
    // A file-size limit makes writes fail the way a full disk does.
    const QString out = testsupport::freshDir("clifull") + "/full.mp4";
    QByteArray err;
    const QString script = QStringLiteral("ulimit -f 64; trap '' XFSZ; exec \"$0\" convert \"$1\" \"$2\" --no-copy");
    const int rc = testsupport::runProgram("bash", {"-c", script, cli(), fixture("clip.mp4"), out}, nullptr, &err);
    EXPECT_EQ(rc, 1) << err.toStdString();
    EXPECT_TRUE(err.contains("cannot write")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(out));
}

// A stream number the input does not have is refused with the numbers it does have, not
// quietly replaced by the first track.
TEST(CliConvert, RefusesAStreamNumberTheInputDoesNotHave) {
    const QString dir = testsupport::freshDir("clistream");
    QByteArray err;
    int rc = testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), dir + "/a.mkv", "--audio-stream", "7"},
                                     nullptr, &err);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(err.contains("no audio stream 7") && err.contains("audio streams are 1")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir + "/a.mkv"));
    // Stream 0 of this file is its video, not an audio track.
    rc = testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), dir + "/b.mkv", "--audio-stream", "0"},
                                 nullptr, &err);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(err.contains("no audio stream 0")) << err.toStdString();
    // multi.mkv has video 0, audio 1 and 2, subtitles 3.
    rc = testsupport::runProgram(cli(), {"convert", fixture("multi.mkv"), dir + "/c.mkv", "--subtitle-stream", "2"},
                                 nullptr, &err);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(err.contains("no subtitle stream 2") && err.contains("subtitle streams are 3")) << err.toStdString();
    rc = testsupport::runProgram(cli(), {"convert", fixture("short.mp4"), dir + "/d.mkv", "--subtitle-stream", "1"},
                                 nullptr, &err);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(err.contains("no subtitle stream 1") && err.contains("has no subtitle stream")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir + "/d.mkv"));
    // A stream that is there converts.
    rc = testsupport::runProgram(
        cli(), {"convert", fixture("multi.mkv"), dir + "/e.mkv", "--audio-stream", "2", "--duration", "1"}, nullptr,
        &err);
    ASSERT_EQ(rc, 0) << err.toStdString();
    EXPECT_EQ(testsupport::ffprobe(dir + "/e.mkv")["streams"].toArray().at(1).toObject()["channels"].toInt(), 1)
        << "the mono French track";
}

} // namespace
