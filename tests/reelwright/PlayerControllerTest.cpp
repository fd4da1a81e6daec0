// The list page's player with real clips in the offscreen player (null audio): progress
// within the kept range, track changes, volume buttons, the space-bar notification, the
// edit button and the floating bar that hides itself.
#include "../glazeform/GuiEvents.h"
#include "DocumentSkin.h"

#include <foundation/NotificationCenter.h>
#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXConverWin.h>
#include <reelwright/LXMediaCommon.h>
#include <reelwright/LXPlayerController.h>

#include "TestSupport.h"

#include <QDir>
#include <QPainter>
#include <QPointer>
#include <gtest/gtest.h>

using testsupport::fixture;
using testsupport::waitFor;

namespace {

constexpr double kFrame = 0.04;
constexpr int kLong = 30000;

class Player : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SWPlayer::setDefaultAudioOutput("null"); }
    void SetUp() override {
        host.resize(560, 360);
        host.show();
    }
    void TearDown() override {
        delete player;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    LXMediaInfoPtr open(const QString &name, const std::function<void(LXMediaInfo &)> &prepare = {}) {
        auto item = LXMediaInfo::initMediaInfoWithPath(fixture(name));
        if (prepare)
            prepare(*item);
        player = LXPlayerController::shareEditControllerEditMovieInfoWithNibName(&skin, item,
                                                                                 LXPlayerController::kBoardNibName);
        player->attachToView(&host);
        return item;
    }
    bool playable() {
        return waitFor([&] { return player->playView()->isPlayable(); }, kLong);
    }
    double landedSeconds() {
        waitFor([&] { return !player->playView()->isSeeking(); }, kLong);
        return double(player->playView()->currentTimeUs()) / 1e6;
    }
    void clickVideo() { gui::click(player->playView(), QPointF(40, 40)); }
    void moveOverVideo() { gui::hover(player->playView(), QPointF(60, 50)); }

    DocumentSkin skin;
    QWidget host;
    QPointer<LXPlayerController> player;
};

} // namespace

TEST_F(Player, ProgressRunsFromTheRangesStartToItsEnd) {
    // A 100-second item kept from 10 s to 30 s, its start at 0.1 of the file.
    auto item = std::make_shared<LXMediaInfo>();
    item->setTotalDuration(100);
    item->setKeptRange(LXKeptRange::fromSeconds(10, 30));
    LXPlayerController p(&skin);
    p.initWithNibNameBundle(LXPlayerController::kBoardNibName);
    p.previewScreenMovieAutoPlay(item, false);
    EXPECT_NEAR(p.newTrimPositionFromOldPostion(0.5), 0.2, 1e-12);
    EXPECT_NEAR(p.newTrimPositionFromOldPostion(-0.3), 0.1, 1e-12);
    EXPECT_NEAR(p.newTrimPositionFromOldPostion(1.4), 0.3, 1e-12);
    item->setKeptRange(item->keptRange().withStart(12));
    EXPECT_NEAR(p.newTrimPositionFromOldPostion(0.0), 0.12, 1e-12) << "never before the range's own start";
}

TEST_F(Player, ProgressAndTimesFollowThePlayerWithinTheKeptRange) {
    auto item = open("clip.mp4", [](LXMediaInfo &i) { i.setKeptRange(LXKeptRange::fromSeconds(2.0, 22.0)); });
    const double T = item->totalDuration();
    EXPECT_EQ(player->timeLabel()->textTitle(), QStringLiteral("00:00/00:20"));
    clickVideo();
    ASSERT_TRUE(player->isFullControlShown());
    // 13.7 s into the file is 11.7 s into the range.
    player->playerInProgress(player->playView(), 100.0 * 13.7 / T);
    EXPECT_NEAR(player->newPos(), 11.7 / 20.0, 1e-6);
    EXPECT_EQ(player->timeLabel()->textTitle(), QStringLiteral("00:11/00:20"));
    EXPECT_EQ(player->fullLeftTimeField()->textTitle(), QStringLiteral("00:11"));
    EXPECT_EQ(player->fullRightTimeField()->textTitle(), QStringLiteral("- 00:09"));
    const double knobAt = player->progressSlider()->knobPoint().x();
    player->playerInProgress(player->playView(), 100.0 * 20.0 / T);
    EXPECT_GT(player->progressSlider()->knobPoint().x(), knobAt);
    // Before the range counts as its start.
    player->playerInProgress(player->playView(), 100.0 * 1.0 / T);
    EXPECT_EQ(player->timeLabel()->textTitle(), QStringLiteral("00:00/00:20"));

    // A press at the middle of the progress slider seeks to the middle of the range.
    ASSERT_TRUE(playable());
    LXSliderA *s = player->progressSlider();
    const double x = s->orgPrgPoint().x() + 0.5 * s->drawWidth();
    gui::click(s, gui::ll(s, x, s->height() / 2.0));
    EXPECT_NEAR(player->currentPosition() * T, 12.0, 0.1);
    EXPECT_NEAR(landedSeconds(), 12.0, 0.1);
}

TEST_F(Player, TrackChoicesReachThePlayerAsStreamNumbers) {
    auto item = open("multi.mkv", [](LXMediaInfo &i) {
        i.setAudioStreamIndex(1); // the second audio stream: stream number 2
        i.setSubTitleIndex(0);    // the SubRip track: stream number 3
    });
    ASSERT_EQ(item->mediaInfoManager()->audioStreamIndexs(), QList<int>({1, 2}));
    ASSERT_TRUE(playable());
    EXPECT_TRUE(waitFor([&] { return player->playView()->currentAudioStreamNumber() == 2; }, kLong));
    EXPECT_TRUE(waitFor([&] { return player->playView()->currentSubtitleStreamNumber() == 3; }, kLong));

    item->setAudioStreamIndex(0);
    player->changeAudioTrackInfo();
    EXPECT_TRUE(waitFor([&] { return player->playView()->currentAudioStreamNumber() == 1; }, kLong));
    item->setAudioStreamIndex(-1);
    player->changeAudioTrackInfo();
    EXPECT_TRUE(waitFor([&] { return player->playView()->currentAudioStreamNumber() == -1; }, kLong));

    // An external subtitle file wins over the embedded choice.
    item->setSrtSubtitleFile(fixture("subs.srt"));
    player->changeSubTitleInfo();
    EXPECT_TRUE(waitFor([&] { return player->playView()->currentExternalSubtitle().endsWith("subs.srt"); }, kLong));
    item->setSrtSubtitleFile(QString());
    item->setSubTitleIndex(-1);
    player->changeSubTitleInfo();
    EXPECT_TRUE(waitFor(
        [&] {
            return player->playView()->currentSubtitleStreamNumber() == -1 &&
                   player->playView()->currentExternalSubtitle().isEmpty();
        },
        kLong));
}

TEST_F(Player, AFileWithoutSubtitlesAsksForNone) {
    auto item = open("clip.mp4", [](LXMediaInfo &i) { i.setSubTitleIndex(0); });
    ASSERT_TRUE(playable());
    EXPECT_EQ(player->playView()->currentSubtitleStreamNumber(), -1);
    // Showing an item never changes what it converts to.
    EXPECT_EQ(item->subTitleIndex(), 0);
}

TEST_F(Player, VolumeButtonsStepByATenthWithoutDrift) {
    auto item = open("clip.mp4");
    player->updateSliderWithNewPos(0.95);
    gui::click(player->volumnHigh(), QPointF(10, 10));
    EXPECT_EQ(player->volumePosition(), 1.0);
    EXPECT_EQ(item->audioVolumn(), 256);
    for (int i = 0; i < 10; ++i)
        gui::click(player->volumnLow(), QPointF(10, 10));
    EXPECT_EQ(item->audioVolumn(), 0);
    gui::click(player->volumnLow(), QPointF(10, 10));
    EXPECT_EQ(item->audioVolumn(), 0);
    for (int i = 0; i < 5; ++i)
        gui::click(player->volumnHigh(), QPointF(10, 10));
    EXPECT_EQ(item->audioVolumn(), 128);
    EXPECT_EQ(player->playView()->volume(), 128);
}

TEST_F(Player, PlayAndPauseKeepToTheRangeAndResumeWhereTheyStopped) {
    auto item = open("clip.mp4", [](LXMediaInfo &i) { i.setKeptRange(LXKeptRange::fromSeconds(8.0, 20.0)); });
    ASSERT_TRUE(playable());
    // The application's space-bar hot key.
    foundation::NotificationCenter::defaultCenter().post(LXPlayerController::kGlobalSpaceDownKey);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(player->bInRangeMode());
    EXPECT_EQ(player->playView()->playStartTime(), 8000000);
    EXPECT_EQ(player->playView()->playDuration(), 12000000);
    EXPECT_EQ(player->playPauseButton2()->toolTip(), QStringLiteral("pause"));
    ASSERT_TRUE(waitFor([&] { return double(player->playView()->currentTimeUs()) / 1e6 > 8.5; }, kLong));
    gui::click(player->playPauseButton2(), QPointF(16, 16));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->playPauseButton2()->toolTip(), QStringLiteral("play"));
    const double pausedAt = landedSeconds();
    EXPECT_GT(pausedAt, 8.5);
    foundation::NotificationCenter::defaultCenter().post(LXPlayerController::kGlobalSpaceDownKey);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_GE(double(player->playView()->currentTimeUs()) / 1e6, pausedAt - kFrame) << "resumed, not restarted";
    player->pauseWhenPlay();

    // From outside the range, play starts at the range's start.
    player->playView()->seekTo(0.9);
    landedSeconds();
    player->playOrPause();
    EXPECT_TRUE(player->isPlaying());
    EXPECT_NEAR(landedSeconds(), 8.0, 0.5);
    player->pauseWhenPlay();
    (void)item;
}

TEST_F(Player, AutoplayPlaysTheKeptRange) {
    auto item = LXMediaInfo::initMediaInfoWithPath(fixture("clip.mp4"));
    item->setKeptRange(item->keptRange().withStart(20.0));
    player = LXPlayerController::shareEditControllerEditMovieInfoWithNibName(&skin, item, QString());
    player->attachToView(&host);
    EXPECT_EQ(player->nibName(), LXPlayerController::kNibName);
    player->previewScreenMovieAutoPlay(item, true);
    ASSERT_TRUE(waitFor([&] { return player->isPlaying(); }, kLong));
    EXPECT_TRUE(player->bInRangeMode());
    EXPECT_GE(landedSeconds(), 20.0 - kFrame);
}

TEST_F(Player, EditButtonAsksTheApplicationForTheEditor) {
    open("short.mp4");
    gui::click(player->editBtn(), QPointF(16, 16));
    EXPECT_EQ(skin.editRequests, 1);
    EXPECT_EQ(skin.editSender, player.data());
    player->enablePlayController(false);
    gui::click(player->editBtn(), QPointF(16, 16));
    EXPECT_EQ(skin.editRequests, 1);
}

TEST_F(Player, FloatingBarHidesAfterElevenIdleTicksAndComesBackOnMovement) {
    open("clip.mp4");
    clickVideo();
    ASSERT_TRUE(player->isFullControlShown());
    LXConverWin *bar = LXConverWin::convertWin();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->converView()->controls().size(), 8);
    ASSERT_NE(player->fullPrgSlider(), nullptr);
    // Over the video, centred on it.
    const QRect video(player->playView()->mapToGlobal(QPoint(0, 0)), player->playView()->size());
    // (The bar is a part of the window: its place on the screen is its window's.)
    EXPECT_NEAR(QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size()).center().x(), video.center().x(), 1);
    EXPECT_EQ(bar->window(), player->window());

    for (int i = 0; i < 10; ++i)
        player->hideFullControl();
    EXPECT_TRUE(player->isFullControlShown());
    // Use of the bar starts the count again.
    gui::press(player->fullPrgSlider(), QPointF(100, 8));
    gui::release(player->fullPrgSlider(), QPointF(100, 8));
    EXPECT_EQ(player->autoTime(), 0);
    for (int i = 0; i < 10; ++i)
        player->hideFullControl();
    EXPECT_TRUE(player->isFullControlShown());
    player->hideFullControl();
    EXPECT_FALSE(player->isFullControlShown());
    EXPECT_EQ(LXConverWin::convertWin(), nullptr);
    EXPECT_EQ(player->fullPrgSlider(), nullptr);

    // Pointer movement brings back the bar the timer took away.
    moveOverVideo();
    EXPECT_TRUE(player->isFullControlShown());
    // Movement over the video keeps it up.
    for (int i = 0; i < 8; ++i)
        player->hideFullControl();
    moveOverVideo();
    EXPECT_EQ(player->autoTime(), 0);
    // A bar closed by a click stays closed until the next click.
    clickVideo();
    EXPECT_FALSE(player->isFullControlShown());
    moveOverVideo();
    EXPECT_FALSE(player->isFullControlShown());

    // The real timer: a short tick closes the bar by itself.
    player->setAutoHideTickInterval(5);
    clickVideo();
    ASSERT_TRUE(player->isFullControlShown());
    EXPECT_TRUE(waitFor([&] { return !player->isFullControlShown(); }, 5000));
}

TEST_F(Player, FullScreenPutsTheBarAtTheBottomOfTheScreen) {
    open("short.mp4");
    ASSERT_TRUE(playable());
    player->wantEnterFullScreen(player->playView());
    ASSERT_TRUE(player->playView()->isInFullScreenMode());
    ASSERT_TRUE(player->isFullControlShown());
    const QRectF frame = LXConverWin::convertWin()->screenFrame();
    const QRectF flow = LXMediaCommon::flowRect();
    EXPECT_NEAR(frame.x(), flow.x(), 1.0);
    EXPECT_EQ(frame.y(), flow.y());
    EXPECT_EQ(frame.size(), flow.size());
    // The bar's screen button leaves full screen, and the bar goes with it.
    gui::click(player->fullExitFullPlayerButton(), QPointF(12, 12));
    EXPECT_FALSE(player->playView()->isInFullScreenMode());
    EXPECT_FALSE(player->isFullControlShown());
}

TEST_F(Player, DestroyingThePlayerClosesItsBar) {
    open("short.mp4");
    clickVideo();
    ASSERT_TRUE(player->isFullControlShown());
    delete player;
    EXPECT_EQ(LXConverWin::convertWin(), nullptr);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(Player, RendersThePlayerAndItsBar) {
    host.resize(640, 400);
    auto item = open("clip.mp4", [](LXMediaInfo &i) { i.setKeptRange(LXKeptRange::fromSeconds(3.0, 21.0)); });
    ASSERT_TRUE(playable());
    player->updateSliderWithNewPos(0.7);
    player->playView()->seekTo(10.0 / item->totalDuration());
    ASSERT_TRUE(waitFor(
        [&] { return !player->playView()->isSeeking() && !player->playView()->currentFrame().isNull(); }, kLong));
    player->playerInProgress(player->playView(), 100.0 * 10.0 / item->totalDuration());
    clickVideo();
    ASSERT_TRUE(player->isFullControlShown());
    QApplication::processEvents();
    const QString dir = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    QDir().mkpath(dir);
    // The window with the floating bar, a part of it.
    QPixmap shot = host.grab();
    LXConverWin *bar = LXConverWin::convertWin();
    ASSERT_EQ(bar->window(), &host);
    EXPECT_TRUE(shot.save(dir + "/player.png"));
    EXPECT_TRUE(bar->grab().save(dir + "/player-floating-bar.png"));
    // A narrow preview area keeps play, progress, time and edit; the volume group goes.
    host.resize(380, 290);
    QApplication::processEvents();
    EXPECT_EQ(player->size(), host.size());
    EXPECT_FALSE(player->voiceSlider()->isVisible());
    EXPECT_GE(player->progressSlider()->width(), 40);
    EXPECT_LE(player->editBtn()->geometry().right(), host.width());
    EXPECT_TRUE(host.grab().save(dir + "/player-narrow.png"));
}
