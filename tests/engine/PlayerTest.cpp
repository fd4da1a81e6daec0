// The player view driven through its public calls with real clips, on the offscreen
// platform and libmpv's null audio output. Every wait is on a condition of the media (a
// position, a report, a picture), with generous limits; nothing depends on wall time.
#include <framewheel/SWConvertSession.h>
#include <framewheel/SWMediaInfoManager.h>
#include <framewheel/SWPlayer.h>

#include "TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

using testsupport::fixture;
using testsupport::waitFor;

namespace {

constexpr int64_t kFrameUs = 40000; // the fixtures run at 25 frames per second
constexpr int kLong = 30000;        // ms: generous limit for anything that plays

// Records every message, and what the player said at the moment of the report.
struct Recorder : SWPlayerDelegate {
    std::vector<double> progress;
    int finished = 0, beyond = 0, playable = 0;
    QStringList errors;
    int64_t beyondTimeUs = -1;
    double beyondPosition = -1;
    bool runningAtBeyond = true;
    int enterFull = 0, exitFull = 0, space = 0, mouseDown = 0, wantFull = 0;
    int enterArea = 0, exitArea = 0, moved = 0;

    void playerInProgress(SWPlayer *, double percent) override { progress.push_back(percent); }
    void playerDidFinished(SWPlayer *) override { ++finished; }
    void playerDidRunedBeyondStopTime(SWPlayer *p) override {
        ++beyond;
        beyondTimeUs = p->currentTimeUs();
        beyondPosition = p->position();
        runningAtBeyond = p->isRunning();
    }
    void playerErrorDidHappened(SWPlayer *, const QString &e) override { errors << e; }
    void playerBecomePlayAble(SWPlayer *) override { ++playable; }
    void playerEnterFullMode() override { ++enterFull; }
    void playerExitFullMode() override { ++exitFull; }
    void playerBlankSpaceKeyDown(SWPlayer *) override { ++space; }
    void playerMouseDown(SWPlayer *) override { ++mouseDown; }
    void wantEnterFullScreen(SWPlayer *) override { ++wantFull; }
    void enterPlayerArea(SWPlayer *) override { ++enterArea; }
    void exitPlayerArea(SWPlayer *) override { ++exitArea; }
    void playerMouseMoved(SWPlayer *) override { ++moved; }
};

// Answers only the end of playback, as the list player does.
struct FinishOnly : SWPlayerDelegate {
    int finished = 0;
    void playerDidFinished(SWPlayer *) override { ++finished; }
};

// Share of pixels (0..1) whose colour differs by more than `tolerance` in any channel,
// within the rows [top, bottom) of two pictures of the same size.
double differingShare(const QImage &a, const QImage &b, int top, int bottom, int tolerance = 24) {
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    qint64 differ = 0, total = 0;
    for (int r = top; r < bottom; ++r) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(r));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(r));
        for (int c = 0; c < x.width(); ++c, ++total) {
            if (std::abs(qRed(p[c]) - qRed(q[c])) > tolerance || std::abs(qGreen(p[c]) - qGreen(q[c])) > tolerance ||
                std::abs(qBlue(p[c]) - qBlue(q[c])) > tolerance)
                ++differ;
        }
    }
    return total ? double(differ) / double(total) : 0.0;
}

class PlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SWPlayer::setDefaultAudioOutput(QStringLiteral("null")); }

    void SetUp() override {
        player = std::make_unique<SWPlayer>();
        ASSERT_TRUE(player->initError().isEmpty()) << player->initError().toStdString();
        player->resize(320, 240);
        player->show();
        player->setDelegate(&rec);
    }
    void TearDown() override {
        if (player)
            player->setDelegate(nullptr);
        player.reset();
    }

    // Opens a fixture and waits until it can play.
    void open(const QString &name) {
        rec.playable = 0;
        player->setPlayFile(fixture(name));
        ASSERT_TRUE(waitFor([&] { return rec.playable > 0 || !rec.errors.isEmpty(); }, kLong));
        ASSERT_TRUE(rec.errors.isEmpty()) << rec.errors.join('\n').toStdString();
        ASSERT_TRUE(player->isPlayable());
        ASSERT_GT(player->durationUs(), 0);
    }
    // Seeks to a time and waits until the seek has landed and its picture is drawn.
    void seekToSeconds(double s) {
        const quint64 drawn = player->renderedFrameCount();
        player->seekTo(s * 1e6 / double(player->durationUs()));
        ASSERT_TRUE(waitFor([&] { return !player->isSeeking() && player->renderedFrameCount() > drawn; }, kLong));
    }
    double durationS() const { return player->durationUs() / 1e6; }

    Recorder rec;
    std::unique_ptr<SWPlayer> player;
};

} // namespace

TEST_F(PlayerTest, PlayWindowStopsAtItsEndWithinOneFrame) {
    open("clip.mp4");
    player->setPlayStartTimeDuration(12'500'000, 7'500'000);
    EXPECT_EQ(player->playStartTime(), 12'500'000);
    EXPECT_EQ(player->playDuration(), 7'500'000);
    seekToSeconds(12.5);
    rec.progress.clear();
    player->play();
    EXPECT_TRUE(player->isRunning());
    ASSERT_TRUE(waitFor([&] { return rec.beyond > 0; }, kLong)) << "no end-of-window report";

    // At the report the player is parked on the window's end.
    EXPECT_NEAR(double(rec.beyondTimeUs), 20'000'000.0, double(kFrameUs));
    EXPECT_NEAR(rec.beyondPosition * player->durationUs(), 20'000'000.0, double(kFrameUs));
    EXPECT_FALSE(rec.runningAtBeyond);
    EXPECT_EQ(rec.finished, 0) << "a delegate that answers the window's end gets no finish";
    // Progress ran through the window and never reported frames beyond its end.
    ASSERT_FALSE(rec.progress.empty());
    const double endPercent = 20.0 / durationS() * 100.0;
    EXPECT_NEAR(rec.progress.front(), 12.5 / durationS() * 100.0, 1.0);
    EXPECT_NEAR(rec.progress.back(), endPercent, 0.04 / durationS() * 100.0);
    for (double p : rec.progress)
        EXPECT_LE(p, endPercent + 0.04 / durationS() * 100.0 + 1e-9);

    // It stays there: playing has stopped.
    const int64_t parked = player->currentTimeUs();
    QElapsedTimer t;
    t.start();
    waitFor([&] { return t.elapsed() > 600; }, 2000);
    EXPECT_EQ(player->currentTimeUs(), parked);
    EXPECT_EQ(rec.beyond, 1);

    // play() at the end starts the window again from its start.
    rec.progress.clear();
    player->play();
    EXPECT_NEAR(double(player->currentTimeUs()), 12'500'000.0, double(kFrameUs));
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking() && !rec.progress.empty(); }, kLong));
    EXPECT_LT(rec.progress.front(), 14.0 / durationS() * 100.0);
    player->stop();
    EXPECT_FALSE(player->isRunning());
}

namespace {
// A delegate whose progress handling keeps the GUI thread busy near the window's end, so
// libmpv plays on for several frames before the player hears about them.
struct Sluggish : Recorder {
    double slowFromPercent = 101.0;
    void playerInProgress(SWPlayer *p, double percent) override {
        Recorder::playerInProgress(p, percent);
        if (percent >= slowFromPercent)
            QThread::msleep(400);
    }
};
} // namespace

TEST_F(PlayerTest, PlayWindowEndHoldsWhenTheGuiThreadIsBusy) {
    Sluggish slow;
    open("clip.mp4");
    player->setDelegate(&slow);
    slow.slowFromPercent = 3.5 / durationS() * 100.0;
    player->setPlayStartTimeDuration(3'000'000, 1'000'000);
    seekToSeconds(3.0);
    player->play();
    ASSERT_TRUE(waitFor([&] { return slow.beyond > 0; }, kLong));
    EXPECT_NEAR(double(slow.beyondTimeUs), 4'000'000.0, double(kFrameUs));
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
    EXPECT_NEAR(double(player->currentTimeUs()), 4'000'000.0, double(kFrameUs));
    for (double p : slow.progress)
        EXPECT_LE(p, 4.04 / durationS() * 100.0);
}

TEST_F(PlayerTest, WindowEndIsTheEndOfPlaybackForADelegateThatDoesNotAsk) {
    FinishOnly listPlayer;
    open("clip.mp4");
    player->setDelegate(&listPlayer);
    player->setPlayStartTimeDuration(3'000'000, 1'000'000);
    seekToSeconds(3.0);
    player->play();
    ASSERT_TRUE(waitFor([&] { return listPlayer.finished > 0; }, kLong));
    EXPECT_NEAR(double(player->currentTimeUs()), 4'000'000.0, double(kFrameUs));
    EXPECT_FALSE(player->isRunning());
    EXPECT_EQ(listPlayer.finished, 1);
}

TEST_F(PlayerTest, EndOfFileReportsFinishedAndPlayStartsOver) {
    open("clip.mp4");
    seekToSeconds(durationS() - 0.6);
    player->play();
    ASSERT_TRUE(waitFor([&] { return rec.finished > 0; }, kLong));
    EXPECT_EQ(rec.beyond, 0);
    EXPECT_FALSE(player->isRunning());
    EXPECT_GT(player->position(), 0.97);

    player->play();
    EXPECT_TRUE(player->isRunning());
    EXPECT_LT(player->position(), 0.01) << "play at the end starts from the beginning";
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
    EXPECT_LT(player->currentTimeUs(), 5'000'000);
    EXPECT_EQ(rec.finished, 1);

    // A window that reaches the end of the file ends there, as a window.
    player->setPlayStartTimeDuration(int64_t((durationS() - 1.0) * 1e6), 1'000'000);
    seekToSeconds(durationS() - 0.6);
    player->play();
    ASSERT_TRUE(waitFor([&] { return rec.beyond > 0; }, kLong));
    EXPECT_EQ(rec.finished, 1);
    EXPECT_FALSE(rec.runningAtBeyond);
    EXPECT_GT(rec.beyondPosition, 0.97);
}

TEST_F(PlayerTest, FrameStepAdvancesExactlyOneFrame) {
    open("clip.mp4");
    EXPECT_NEAR(player->frameRate(), 25.0, 1e-6);
    seekToSeconds(5.0);
    EXPECT_NEAR(double(player->currentTimeUs()), 5'000'000.0, 1000.0);
    int64_t previous = player->currentTimeUs();
    QImage previousPicture = player->currentFrame();
    ASSERT_FALSE(previousPicture.isNull());
    EXPECT_EQ(previousPicture.size(), QSize(320, 240));
    for (int step = 1; step <= 6; ++step) {
        const quint64 drawn = player->renderedFrameCount();
        rec.progress.clear();
        player->gotoNextFrame();
        EXPECT_FALSE(player->isRunning());
        ASSERT_TRUE(
            waitFor([&] { return player->currentTimeUs() != previous && player->renderedFrameCount() > drawn; }, kLong))
            << "step " << step;
        const int64_t now = player->currentTimeUs();
        EXPECT_NEAR(double(now - previous), double(kFrameUs), 1000.0) << "step " << step;
        ASSERT_FALSE(rec.progress.empty()) << "a step reports its position";
        EXPECT_NEAR(rec.progress.back(), now / double(player->durationUs()) * 100.0, 1e-6);
        // testsrc2 changes every frame: a new picture was drawn.
        const QImage picture = player->currentFrame();
        EXPECT_GT(differingShare(picture, previousPicture, 0, picture.height()), 0.001) << "step " << step;
        previous = now;
        previousPicture = picture;
    }
    EXPECT_NEAR(double(previous), 5'240'000.0, 1000.0);
    EXPECT_FALSE(player->isRunning());
}

TEST_F(PlayerTest, PaintsThePictureKeepingItsShapeWithBlackBars) {
    open("clip.mp4");
    seekToSeconds(2.0);
    const QImage picture = player->currentFrame();
    auto isBlack = [](QRgb c) { return qRed(c) < 8 && qGreen(c) < 8 && qBlue(c) < 8; };
    auto blackShare = [&](const QImage &img, const QRect &r) {
        int black = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                black += isBlack(img.pixel(x, y));
        return double(black) / double(r.width() * r.height());
    };
    // 4:3 picture in a 2:1 view: bars left and right, 80 pixels each.
    player->resize(480, 240);
    QImage view = player->grab().toImage();
    ASSERT_EQ(view.size(), QSize(480, 240));
    EXPECT_EQ(blackShare(view, QRect(0, 0, 78, 240)), 1.0);
    EXPECT_EQ(blackShare(view, QRect(402, 0, 78, 240)), 1.0);
    EXPECT_LT(blackShare(view, QRect(82, 0, 316, 240)), 0.5);
    // The middle shows the picture itself.
    EXPECT_LT(differingShare(view.copy(80, 0, 320, 240), picture, 0, 240), 0.01);
    // 4:3 in a tall view: bars above and below.
    player->resize(320, 480);
    view = player->grab().toImage();
    EXPECT_EQ(blackShare(view, QRect(0, 0, 320, 118)), 1.0);
    EXPECT_EQ(blackShare(view, QRect(0, 362, 320, 118)), 1.0);
    EXPECT_LT(differingShare(view.copy(0, 120, 320, 240), picture, 0, 240), 0.01);
}

// What the engine writes for the AV1 and HEVC formats plays here: the player opens each
// file, knows its length and shows the source's picture at the same moment.
TEST_F(PlayerTest, PlaysTheAv1AndHevcFilesTheEngineWrites) {
    open("clip.mp4");
    seekToSeconds(2.0);
    const QImage source = player->currentFrame();
    const QString dir = testsupport::freshDir("modern-play");
    struct Output {
        const char *file, *container, *codec;
    };
    for (const Output &o : {Output{"av1.mkv", "matroska", "av1"}, Output{"hevc.mp4", "mp4", "hevc"}}) {
        SCOPED_TRACE(o.file);
        const QString path = dir + "/" + o.file;
        SWConvertSession session;
        session.option().setFormat(o.container);
        session.option().setVideoCodeName(o.codec);
        session.option().setRecording_time(3'000'000);
        session.addInputFile(fixture("clip.mp4"));
        session.setOutputFileName(path);
        ASSERT_TRUE(session.start()) << session.lastError().toStdString();

        rec.playable = 0;
        player->setPlayFile(path);
        ASSERT_TRUE(waitFor([&] { return rec.playable > 0 || !rec.errors.isEmpty(); }, kLong));
        ASSERT_TRUE(rec.errors.isEmpty()) << rec.errors.join('\n').toStdString();
        EXPECT_NEAR(durationS(), 3.0, 0.1);
        seekToSeconds(2.0);
        // Lossy, so close rather than equal: few pixels off by more than a shade.
        EXPECT_LT(differingShare(player->currentFrame(), source, 0, source.height(), 40), 0.05);
    }
}

TEST_F(PlayerTest, SeekAndPositionRoundTrip) {
    open("clip.mp4");
    const double frame = 0.04 / durationS();
    for (double f : {0.25, 0.5, 0.9, 0.1, 0.0}) {
        player->seekTo(f);
        EXPECT_DOUBLE_EQ(player->position(), f) << "the target is answered at once";
        ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
        EXPECT_NEAR(player->position(), f, frame) << f;
        EXPECT_NEAR(double(player->currentTimeUs()), f * player->durationUs(), double(kFrameUs)) << f;
    }
    player->seekTo(1.7);
    EXPECT_DOUBLE_EQ(player->position(), 1.0);
    player->seekTo(-0.3);
    EXPECT_DOUBLE_EQ(player->position(), 0.0);
    player->seekTo(std::nan(""));
    EXPECT_DOUBLE_EQ(player->position(), 0.0);
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
}

TEST_F(PlayerTest, SeekAskedBeforeTheFileOpensIsDoneWhenItOpens) {
    player->setPlayFile(fixture("clip.mp4"));
    player->seekTo(0.5);
    EXPECT_DOUBLE_EQ(player->position(), 0.5);
    EXPECT_TRUE(player->isSeeking());
    ASSERT_TRUE(waitFor([&] { return rec.playable > 0 && !player->isSeeking(); }, kLong));
    EXPECT_NEAR(player->position(), 0.5, 0.04 / durationS());
}

TEST_F(PlayerTest, DragSeeksFastThenLandsExactly) {
    open("clip.mp4");
    // clip.mp4 has a keyframe every 2 s; 13.3 s lies between two.
    player->beginToSeek();
    rec.progress.clear();
    player->seekTo(13.3 / durationS());
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
    EXPECT_GT(std::abs(player->currentTimeUs() - 13'300'000), 2 * kFrameUs) << "drag seeks go to keyframes";
    EXPECT_TRUE(rec.progress.empty()) << "no progress while dragging";
    player->endSeeking();
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
    EXPECT_NEAR(double(player->currentTimeUs()), 13'300'000.0, double(kFrameUs));

    // An editor's drag lands exactly on every seek.
    player->setIsAbsoluteEditor(true);
    player->beginToSeek();
    player->seekTo(9.3 / durationS());
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
    EXPECT_NEAR(double(player->currentTimeUs()), 9'300'000.0, double(kFrameUs));
    player->endSeeking();
}

TEST_F(PlayerTest, DragPausesAndResumes) {
    open("clip.mp4");
    player->play();
    ASSERT_TRUE(waitFor([&] { return player->currentTimeUs() > 300'000; }, kLong));
    player->beginToSeek();
    EXPECT_FALSE(player->isRunning());
    player->seekTo(0.5);
    player->endSeeking();
    EXPECT_TRUE(player->isRunning());
    ASSERT_TRUE(waitFor([&] { return !player->isSeeking() && player->currentTimeUs() > 12'300'000; }, kLong))
        << "playback goes on from the drag's end";
    player->endSeeking(); // unmatched: nothing happens
    EXPECT_TRUE(player->isRunning());
}

TEST_F(PlayerTest, SecondAudioTrackByStreamNumber) {
    const SWMediaInfoManager probe(fixture("multi.mkv"), false);
    ASSERT_EQ(probe.audioStreamIndexs(), (QList<int>{1, 2}));
    player->setPlayFile(fixture("multi.mkv"));
    player->changeAudioTrack(2); // before the file has opened: done when it opens
    ASSERT_TRUE(waitFor([&] { return rec.playable > 0; }, kLong));
    player->play();
    ASSERT_TRUE(
        waitFor([&] { return player->currentAudioStreamNumber() == 2 && player->audioChannelCount() == 1; }, kLong))
        << "stream " << player->currentAudioStreamNumber() << ", " << player->audioChannelCount() << " channels";
    const int64_t t = player->currentTimeUs();
    ASSERT_TRUE(waitFor([&] { return player->currentTimeUs() > t + 500'000; }, kLong)) << "audio keeps playing";
    EXPECT_EQ(player->audioChannelCount(), 1);

    player->changeAudioTrack(1);
    ASSERT_TRUE(
        waitFor([&] { return player->currentAudioStreamNumber() == 1 && player->audioChannelCount() == 2; }, kLong));
    player->changeAudioTrack(-1);
    ASSERT_TRUE(
        waitFor([&] { return player->currentAudioStreamNumber() == -1 && player->audioChannelCount() == 0; }, kLong));
    player->changeAudioTrack(7); // no such stream: the choice stays
    player->changeAudioTrack(0); // the video stream is not an audio stream
    QElapsedTimer timer;
    timer.start();
    waitFor([&] { return timer.elapsed() > 300; }, 1000);
    EXPECT_EQ(player->currentAudioStreamNumber(), -1);
    EXPECT_TRUE(rec.errors.isEmpty());
}

// Resident memory of this process in KiB.
static long residentKiB() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

TEST_F(PlayerTest, PlaySeekAndTrackSwitchingInALoopKeepMemoryFlat) {
    // An hour of use, shortened: a minute in the sanitizer builds (where leaks are counted
    // when the process ends), a quarter of that in the normal build (where resident
    // memory is measured; the sanitizers hold freed memory back and would blur it).
#ifdef CINVORA_SANITIZER_BUILD
    const qint64 runMs = 60000;
#else
    const qint64 runMs = 15000;
#endif
    open("multi.mkv");
    player->play();
    QElapsedTimer timer;
    timer.start();
    long warmKiB = -1;
    int rounds = 0;
    std::mt19937 random(7);
    while (timer.elapsed() < runMs) {
        const int what = rounds++ % 4;
        if (what == 0) {
            player->seekTo(std::uniform_real_distribution<double>(0.0, 0.95)(random));
            ASSERT_TRUE(waitFor([&] { return !player->isSeeking(); }, kLong));
        } else if (what == 1) {
            const int stream = (rounds / 4) % 2 ? 2 : 1;
            player->changeAudioTrack(stream);
            ASSERT_TRUE(waitFor([&] { return player->currentAudioStreamNumber() == stream; }, kLong));
        } else if (what == 2) {
            player->pause();
            player->play();
        } else {
            // Let it play a little, drawing pictures.
            const quint64 drawn = player->renderedFrameCount();
            ASSERT_TRUE(waitFor([&] { return player->renderedFrameCount() > drawn + 2 || rec.finished > 0; }, kLong));
            if (rec.finished > 0) {
                rec.finished = 0;
                player->play();
            }
        }
        if (warmKiB < 0 && timer.elapsed() > runMs / 4)
            warmKiB = residentKiB();
    }
    EXPECT_GT(rounds, 40);
    EXPECT_TRUE(rec.errors.isEmpty()) << rec.errors.join('\n').toStdString();
#ifndef CINVORA_SANITIZER_BUILD
    const long endKiB = residentKiB();
    ASSERT_GT(warmKiB, 0);
    EXPECT_LT(endKiB - warmKiB, 16 * 1024) << "from " << warmKiB << " KiB to " << endKiB << " KiB";
#endif
}

TEST_F(PlayerTest, ExternalSubtitleIsDrawnOnThePicture) {
    open("clip.mp4");
    seekToSeconds(5.0);
    const QImage without = player->currentFrame();
    ASSERT_FALSE(without.isNull());
    const int h = without.height();

    player->loadPluginSubtitle(fixture("subs.srt"));
    ASSERT_TRUE(waitFor([&] { return differingShare(player->currentFrame(), without, 0, h) > 0.002; }, kLong))
        << "the subtitle never appeared";
    const QImage with = player->currentFrame();
    EXPECT_EQ(player->currentExternalSubtitle(), fixture("subs.srt"));
    EXPECT_EQ(player->currentSubtitleStreamNumber(), -1);
    // The text sits at the bottom; the top of the picture is the same frame.
    EXPECT_GT(differingShare(with, without, h * 2 / 3, h), 0.005);
    EXPECT_LT(differingShare(with, without, 0, h / 3), 0.001);

    // Switched off, the same frame comes back without it; the same path again shows it again.
    player->changeSubtitle(-1);
    ASSERT_TRUE(waitFor([&] { return differingShare(player->currentFrame(), without, 0, h) < 0.0005; }, kLong));
    player->loadPluginSubtitle(fixture("subs.srt"));
    ASSERT_TRUE(waitFor([&] { return differingShare(player->currentFrame(), with, 0, h) < 0.0005; }, kLong));
    EXPECT_TRUE(rec.errors.isEmpty());
}

TEST_F(PlayerTest, EmbeddedSubtitleByStreamNumberAndMissingSubtitleFile) {
    open("multi.mkv");
    seekToSeconds(6.0);
    const QImage without = player->currentFrame();
    const int h = without.height();
    player->changeSubtitle(3);
    ASSERT_TRUE(waitFor([&] { return differingShare(player->currentFrame(), without, h * 2 / 3, h) > 0.005; }, kLong));
    EXPECT_EQ(player->currentSubtitleStreamNumber(), 3);

    player->loadPluginSubtitle(testsupport::freshDir("subs") + "/missing.srt");
    ASSERT_TRUE(waitFor([&] { return !rec.errors.isEmpty(); }, kLong));
    EXPECT_TRUE(rec.errors.first().contains("missing.srt")) << rec.errors.first().toStdString();
    EXPECT_TRUE(player->isPlayable()) << "a bad subtitle file does not stop the video";
}

TEST_F(PlayerTest, VolumeMapsOntoLibmpvScale) {
    open("clip.mp4");
    const std::pair<int, double> cases[] = {{256, 100.0}, {128, 50.0}, {64, 25.0}, {0, 0.0}, {300, 100.0}, {-5, 0.0}};
    for (const auto &[given, expected] : cases) {
        player->setVolume(given);
        EXPECT_EQ(player->volume(), std::clamp(given, 0, 256));
        ASSERT_TRUE(waitFor([&, e = expected] { return std::abs(player->engineVolume() - e) < 0.01; }, kLong))
            << given << " -> " << player->engineVolume();
    }
    // Kept across files.
    player->setVolume(192);
    open("short.mp4");
    ASSERT_TRUE(waitFor([&] { return std::abs(player->engineVolume() - 75.0) < 0.01; }, kLong));
}

TEST_F(PlayerTest, UnplayableFilesReportAnErrorAndTheViewRecovers) {
    for (const QString &name :
         {QStringLiteral("text.mkv"), QStringLiteral("empty.mp4"), QStringLiteral("absent.mp4")}) {
        rec.errors.clear();
        rec.playable = 0;
        player->setPlayFile(fixture(name));
        ASSERT_TRUE(waitFor([&] { return !rec.errors.isEmpty(); }, kLong)) << name.toStdString();
        EXPECT_TRUE(rec.errors.first().contains(name)) << rec.errors.first().toStdString();
        EXPECT_EQ(rec.playable, 0);
        EXPECT_FALSE(player->isPlayable());
        player->play();
        EXPECT_FALSE(player->isRunning());
    }
    rec.errors.clear();
    open("short.mp4");
    player->play();
    ASSERT_TRUE(waitFor([&] { return player->currentTimeUs() > 200'000; }, kLong));

    // Unloading: black view, nothing to play.
    player->setPlayFile(QString());
    EXPECT_FALSE(player->isPlayable());
    EXPECT_FALSE(player->isRunning());
    EXPECT_TRUE(player->currentFrame().isNull());
    EXPECT_TRUE(player->playFile().isEmpty());
    QElapsedTimer timer;
    timer.start();
    waitFor([&] { return timer.elapsed() > 300; }, 1000);
    EXPECT_TRUE(rec.errors.isEmpty());
}

TEST_F(PlayerTest, ANewFileReplacesTheOldOneAndResetsItsChoices) {
    player->setPlayFile(fixture("clip.mp4"));
    player->setPlayFile(fixture("multi.mkv")); // before the first has opened
    ASSERT_TRUE(waitFor([&] { return rec.playable > 0; }, kLong));
    QElapsedTimer timer;
    timer.start();
    waitFor([&] { return timer.elapsed() > 300; }, 1000);
    EXPECT_EQ(rec.playable, 1) << "only the file asked for last is announced";
    EXPECT_EQ(player->playFile(), fixture("multi.mkv"));
    EXPECT_EQ(player->currentSubtitleStreamNumber(), -1) << "no subtitle unless asked";
    EXPECT_EQ(player->currentAudioStreamNumber(), 1);
    player->setPlayStartTimeDuration(1'000'000, 1'000'000);
    player->changeAudioTrack(2);
    ASSERT_TRUE(waitFor([&] { return player->currentAudioStreamNumber() == 2; }, kLong));

    rec.playable = 0;
    player->setPlayFile(fixture("multi.mkv"));
    EXPECT_EQ(player->playStartTime(), -1);
    EXPECT_EQ(player->playDuration(), -1);
    ASSERT_TRUE(waitFor([&] { return rec.playable > 0; }, kLong));
    EXPECT_EQ(player->currentAudioStreamNumber(), 1);
}

TEST_F(PlayerTest, DestroyingWhilePlayingIsClean) {
    open("clip.mp4");
    player->play();
    ASSERT_TRUE(waitFor([&] { return player->currentTimeUs() > 500'000 && player->renderedFrameCount() > 5; }, kLong));
    player.reset();
    // Calls queued by libmpv's threads before the end are dropped with the widget.
    QElapsedTimer t;
    t.start();
    waitFor([&] { return t.elapsed() > 300; }, 1000);
    SUCCEED();
}

namespace {
// Deletes the player from inside its own progress report.
struct Deleter : SWPlayerDelegate {
    SWPlayer *player = nullptr;
    int reports = 0;
    void playerInProgress(SWPlayer *p, double) override {
        ++reports;
        if (p == player) {
            player = nullptr;
            delete p;
        }
    }
};
} // namespace

TEST_F(PlayerTest, DeletingThePlayerFromItsOwnReportIsClean) {
    auto *p = new SWPlayer;
    Deleter del;
    del.player = p;
    QPointer<SWPlayer> watch(p);
    p->setDelegate(&del);
    p->setPlayFile(fixture("clip.mp4"));
    p->play();
    ASSERT_TRUE(waitFor([&] { return watch.isNull(); }, kLong));
    QElapsedTimer t;
    t.start();
    waitFor([&] { return t.elapsed() > 300; }, 1000);
    EXPECT_EQ(del.reports, 1);
}

TEST_F(PlayerTest, FullScreenEntersLeavesAndReports) {
    open("clip.mp4");
    EXPECT_FALSE(player->isInFullScreenMode());
    player->enterFullScreenMode();
    EXPECT_TRUE(player->isInFullScreenMode());
    player->enterFullScreenMode();
    EXPECT_EQ(rec.enterFull, 1);

    QWidget *full = nullptr;
    for (QWidget *w : player->findChildren<QWidget *>())
        if (w->isWindow() && w->isVisible())
            full = w;
    ASSERT_NE(full, nullptr);
    ASSERT_TRUE(waitFor([&] { return full->windowState() & Qt::WindowFullScreen; }, kLong));
    EXPECT_EQ(full->geometry(), player->screen()->geometry());

    QTest::keyClick(full, Qt::Key_Space);
    EXPECT_EQ(rec.space, 1);
    QTest::keyClick(full, Qt::Key_Escape);
    EXPECT_FALSE(player->isInFullScreenMode());
    EXPECT_EQ(rec.exitFull, 1);

    player->fullScreen();
    EXPECT_TRUE(player->isInFullScreenMode());
    player->fullScreen();
    EXPECT_FALSE(player->isInFullScreenMode());
    player->exitFullScreenMode();
    EXPECT_EQ(rec.enterFull, 2);
    EXPECT_EQ(rec.exitFull, 2);
}

TEST_F(PlayerTest, PointerAndKeyboardMessages) {
    QTest::mouseClick(player.get(), Qt::LeftButton);
    EXPECT_EQ(rec.mouseDown, 1);
    QTest::mouseClick(player.get(), Qt::RightButton);
    EXPECT_EQ(rec.mouseDown, 1);
    QTest::mouseDClick(player.get(), Qt::LeftButton);
    EXPECT_EQ(rec.wantFull, 1);
    QTest::keyClick(player.get(), Qt::Key_Space);
    EXPECT_EQ(rec.space, 1);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(player.get(), &repeat);
    EXPECT_EQ(rec.space, 1) << "a held space bar does not repeat";

    auto hover = [&] {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(player.get(), &enter);
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(player.get(), &move);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(player.get(), &leave);
    };
    hover();
    EXPECT_EQ(rec.enterArea + rec.moved + rec.exitArea, 0) << "pointer tracking only for the player-editor";
    player->setIsPlayerAndEditor(true);
    EXPECT_TRUE(player->isPlayerAndEditor());
    hover();
    EXPECT_EQ(rec.enterArea, 1);
    EXPECT_EQ(rec.moved, 1);
    EXPECT_EQ(rec.exitArea, 1);
}
