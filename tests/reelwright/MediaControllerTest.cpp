// The base media screen with real clips in the offscreen player (null audio): the trim
// handles and the item's range, play of the kept range, the trim ends, volume, time texts.
#include "../glazeform/GuiEvents.h"
#include "DocumentSkin.h"

#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXMediaController.h>

#include "TestSupport.h"

#include <QDir>
#include <QPointer>
#include <cmath>
#include <gtest/gtest.h>

using testsupport::fixture;
using testsupport::waitFor;

namespace {

constexpr double kFrame = 0.04; // the fixtures run at 25 frames per second
constexpr int kLong = 30000;

// Records what the player reported and what the screen showed right after each report.
struct Recording : LXMediaController {
    using LXMediaController::LXMediaController;
    std::vector<double> progressSeconds;
    int finished = 0;
    double finishSeconds = -1;
    QString textAfterFinish;
    double cursorAfterFinish = -1;
    void playerInProgress(SWPlayer *p, double percent) override {
        progressSeconds.push_back(double(p->currentTimeUs()) / 1e6);
        LXMediaController::playerInProgress(p, percent);
    }
    void playerDidFinished(SWPlayer *p) override {
        finishSeconds = double(p->currentTimeUs()) / 1e6;
        LXMediaController::playerDidFinished(p);
        textAfterFinish = timeLabel()->textTitle();
        cursorAfterFinish = currentPosition();
        ++finished;
    }
};

class MediaScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SWPlayer::setDefaultAudioOutput("null"); }
    void SetUp() override {
        host.resize(640, 420);
        host.show();
        screen = new Recording(&skin);
        screen->initWithNibNameBundle(LXMediaController::kNibName);
        screen->attachToView(&host);
    }
    LXMediaInfoPtr show(const QString &name) {
        auto item = LXMediaInfo::initMediaInfoWithPath(fixture(name));
        screen->previewScreenMovieAutoPlay(item, false);
        return item;
    }
    bool playable() {
        return waitFor([&] { return screen->playView()->isPlayable(); }, kLong);
    }
    // Seconds the player is at once its seek has landed.
    double landedSeconds() {
        waitFor([&] { return !screen->playView()->isSeeking(); }, kLong);
        return double(screen->playView()->currentTimeUs()) / 1e6;
    }

    DocumentSkin skin;
    QWidget host;
    QPointer<Recording> screen;
};

// A press, drag and release on the trim slider, in its lower-left coordinates; the pointer
// first rests on the start point so that the slider knows what it is over.
void dragSlider(LXCutSlider *s, QPointF from, QPointF to) {
    gui::hover(s, gui::ll(s, from.x(), from.y()));
    gui::press(s, gui::ll(s, from.x(), from.y()));
    gui::drag(s, gui::ll(s, to.x(), to.y()));
    gui::release(s, gui::ll(s, to.x(), to.y()));
}

QPointF centre(const QRectF &r) { return r.center(); }

} // namespace

TEST_F(MediaScreen, HandlesSetTheKeptRangeAndKeepItAtLeastTwoSecondsLong) {
    auto item = show("clip.mp4");
    ASSERT_TRUE(playable());
    LXCutSlider *s = screen->cutSlider();
    const double T = item->totalDuration();
    ASSERT_NEAR(T, 24.0, 0.1);
    const double Ws = s->slideRt().width(), lw = s->leftCutRt().width();

    // Left handle to a quarter: the item's start follows, its position is the handle's
    // fraction, the player shows that moment and the text the new range.
    const QRectF l = s->leftCutRt();
    dragSlider(s, centre(l), QPointF(20 - lw + 0.25 * Ws, centre(l).y()));
    EXPECT_NEAR(item->trackStartPos(), 0.25, 1e-9);
    EXPECT_NEAR(item->trackStart(), 0.25 * T, 1e-9);
    EXPECT_DOUBLE_EQ(item->trackStart(), s->leftCutTime());
    EXPECT_EQ(item->trackEnd(), T);
    EXPECT_EQ(screen->timeLabel()->textTitle(), QStringLiteral("00:06/00:18"));
    EXPECT_GT(skin.updates, 0);
    EXPECT_NEAR(landedSeconds(), 0.25 * T, kFrame);

    // Right handle dragged far left stops two seconds after the start.
    const QRectF r = s->rightCutRt();
    dragSlider(s, centre(r), QPointF(30, centre(r).y()));
    EXPECT_NEAR(item->trackEnd(), item->trackStart() + 2.0, 1e-6);
    EXPECT_NEAR(s->rightCutTime() - s->leftCutTime(), 2.0, 1e-6);
    EXPECT_EQ(item->trackStartPos(), 0.25) << "the right handle leaves the start alone";

    // Left handle dragged onto the right one stops two seconds before it.
    const QRectF l2 = s->leftCutRt();
    dragSlider(s, centre(l2), QPointF(s->width() - 10, centre(l2).y()));
    EXPECT_NEAR(item->trackStart(), item->trackEnd() - 2.0, 1e-6);
    EXPECT_NEAR(item->trackStartPos(), item->trackStart() / T, 1e-9);
    EXPECT_LE(item->trackStart(), item->trackEnd());
}

TEST_F(MediaScreen, AStartPastTheEndIsClampedTogetherWithItsPosition) {
    auto item = show("clip.mp4");
    item->setKeptRange(item->keptRange().withEnd(10.0));
    screen->leftCutPosition(0.75);
    EXPECT_EQ(item->trackStart(), 10.0);
    // The park position of the range stays inside it.
    EXPECT_NEAR(item->trackStartPos(), 10.0 / item->totalDuration(), 1e-12);
    screen->rightCutPosition(0.1);
    EXPECT_EQ(item->trackEnd(), 10.0) << "an end before the start is clamped to the start";
}

TEST_F(MediaScreen, PlayOfTheKeptRangeStopsAtItsEndAndParksAtItsStart) {
    auto item = show("clip.mp4");
    const double T = item->totalDuration();
    item->setKeptRange(LXKeptRange::fromSeconds(12.5, 20.0));
    screen->initCutSliderParams();
    ASSERT_TRUE(playable());
    ASSERT_TRUE(waitFor([&] { return !screen->playView()->currentFrame().isNull(); }, kLong));
    QApplication::processEvents();
    screen->progressSeconds.clear();

    screen->playTrim();
    EXPECT_TRUE(screen->isPlaying());
    EXPECT_TRUE(screen->bInRangeMode());
    EXPECT_EQ(screen->playView()->playStartTime(), 12500000);
    EXPECT_EQ(screen->playView()->playDuration(), 7500000);
    EXPECT_EQ(screen->playTrimButton()->toolTip(), QStringLiteral("pause trim"));
    EXPECT_EQ(screen->playPauseButton1()->toolTip(), QStringLiteral("pause"));

    ASSERT_TRUE(waitFor([&] { return screen->finished > 0; }, kLong));
    EXPECT_NEAR(screen->finishSeconds, 20.0, kFrame + 1e-6);
    ASSERT_FALSE(screen->progressSeconds.empty());
    for (double t : screen->progressSeconds) {
        EXPECT_GE(t, 12.5 - kFrame);
        EXPECT_LE(t, 20.0 + 1e-6);
    }
    // The cursor goes back to the range's start; the text shows the end twice.
    EXPECT_NEAR(screen->cursorAfterFinish, 12.5 / T, 1e-9);
    EXPECT_EQ(screen->textAfterFinish, QStringLiteral("00:20/00:20"));
    EXPECT_FALSE(screen->isPlaying());
    EXPECT_EQ(screen->playTrimButton()->toolTip(), QStringLiteral("play trim"));
    EXPECT_NEAR(landedSeconds(), 12.5, kFrame);
    EXPECT_NEAR(screen->cutSlider()->currentTime(), 12.5, 0.1);
}

TEST_F(MediaScreen, WholeFilePlayHasNoWindowAndParksAtTheFileStart) {
    auto item = show("short.mp4");
    item->setKeptRange(item->keptRange().withStart(1.0));
    ASSERT_TRUE(playable());
    screen->playing();
    EXPECT_FALSE(screen->bInRangeMode());
    EXPECT_EQ(screen->playView()->playStartTime(), -1);
    EXPECT_EQ(screen->playView()->playDuration(), -1);
    ASSERT_TRUE(waitFor([&] { return screen->finished > 0; }, kLong));
    EXPECT_EQ(screen->cursorAfterFinish, 0.0);
    EXPECT_EQ(screen->textAfterFinish, QStringLiteral("00:04/00:04"));
}

TEST_F(MediaScreen, SeeksToTheTrimEnds) {
    auto item = show("clip.mp4");
    const double T = item->totalDuration();
    item->setKeptRange(LXKeptRange::fromSeconds(6.0, 18.0));
    ASSERT_TRUE(playable());

    screen->seekToTrimEnd();
    EXPECT_NEAR(screen->currentPosition(), 18.0 / T, 1e-12);
    EXPECT_EQ(screen->timeLabel()->textTitle(), QStringLiteral("00:00/00:12"));
    EXPECT_NEAR(landedSeconds(), 18.0, kFrame);

    screen->seekToTrimStart();
    EXPECT_NEAR(screen->currentPosition(), 6.0 / T, 1e-12);
    EXPECT_EQ(screen->timeLabel()->textTitle(), QStringLiteral("00:00/00:12"));
    EXPECT_NEAR(landedSeconds(), 6.0, kFrame);
}

TEST_F(MediaScreen, ApplyingTheCursorToTheCutsKeepsTheMinimumRange) {
    auto item = show("clip.mp4");
    ASSERT_TRUE(playable());
    const double T = item->totalDuration();
    screen->cursorPositionChanging(0.5);
    screen->cutSlider()->setCurrentTime(0.5 * T);
    screen->applyCurrentToLeftCut();
    EXPECT_NEAR(item->trackStart(), 12.0, 1e-9);
    EXPECT_NEAR(item->trackStartPos(), 0.5, 1e-9);
    // The cursor one second after the start: the end goes two seconds after it.
    screen->cutSlider()->setCurrentTime(13.0);
    screen->applyCurrentToRightCut();
    EXPECT_NEAR(item->trackEnd(), 14.0, 1e-9);
    EXPECT_EQ(screen->timeLabel()->textTitle(), QStringLiteral("00:12/00:02"));
}

TEST_F(MediaScreen, VolumeFractionBecomesTheItemsVolume) {
    auto item = show("clip.mp4");
    ASSERT_TRUE(playable());
    EXPECT_EQ(screen->volumePosition(), 1.0);
    const std::pair<double, int> cases[] = {{0.5, 128}, {0.999, 255}, {-0.3, 0}, {1.7, 256}, {0.25, 64}};
    for (auto [fraction, expected] : cases) {
        screen->updateSliderWithNewPos(fraction);
        EXPECT_EQ(item->audioVolumn(), expected) << fraction;
        EXPECT_EQ(screen->playView()->volume(), expected) << fraction;
    }
    // Pointer drags past both ends of the slider.
    LXSliderA *v = screen->voiceSlider();
    const QPointF mid(v->width() / 2.0, v->height() / 2.0);
    gui::press(v, mid);
    gui::drag(v, QPointF(-50, mid.y()));
    gui::release(v, QPointF(-50, mid.y()));
    EXPECT_EQ(item->audioVolumn(), 0);
    gui::press(v, mid);
    gui::drag(v, QPointF(v->width() + 50, mid.y()));
    gui::release(v, QPointF(v->width() + 50, mid.y()));
    EXPECT_EQ(item->audioVolumn(), 256);
    EXPECT_EQ(screen->playView()->volume(), 256);

    // Another item shows (and plays at) its own volume.
    auto other = LXMediaInfo::initMediaInfoWithPath(fixture("short.mp4"));
    other->setAudioVolumn(64);
    screen->previewScreenMovieAutoPlay(other, false);
    EXPECT_EQ(screen->volumePosition(), 0.25);
    EXPECT_EQ(screen->playView()->volume(), 64);
    EXPECT_EQ(item->audioVolumn(), 256);
}

TEST_F(MediaScreen, TimeTexts) {
    auto item = show("clip.mp4");
    screen->updateTime(65, 3725);
    EXPECT_EQ(screen->timeLabel()->textTitle(), QStringLiteral("01:05/01:01:00"));
    // A progress report of 37.5 puts the cursor at 0.375 of the file.
    screen->playerInProgress(screen->playView(), 37.5);
    EXPECT_DOUBLE_EQ(screen->currentPosition(), 0.375);
    EXPECT_EQ(screen->timeLabel()->textTitle(), QStringLiteral("00:09/00:24"));
    EXPECT_NEAR(screen->cutSlider()->currentTime(), 9.0, 0.05);
    // In range mode the total is the end of the kept range.
    item->setKeptRange(item->keptRange().withEnd(20.0));
    ASSERT_TRUE(playable());
    screen->playOrPauseTrim();
    screen->pauseWhenPlay();
    screen->playerInProgress(screen->playView(), 37.5);
    EXPECT_EQ(screen->timeLabel()->textTitle(), QStringLiteral("00:09/00:20"));
    EXPECT_EQ(LXMediaController::joinTimeStrDurationStr("a", "b"), QStringLiteral("a/b"));
}

TEST_F(MediaScreen, NothingShownIgnoresReportsAndDrags) {
    auto bare = std::make_shared<LXMediaInfo>();
    bare->setTotalDuration(10);
    bare->setKeptRange(bare->keptRange().withEnd(10));
    screen->previewScreenMovieAutoPlay(bare, false);
    EXPECT_FALSE(screen->avalibleToDragCut());
    screen->playerInProgress(screen->playView(), 50);
    EXPECT_EQ(screen->currentPosition(), 0.0);
    EXPECT_TRUE(screen->playView()->playFile().isEmpty());
    screen->previewScreenMovieAutoPlay(nullptr, false);
    EXPECT_FALSE(screen->avalibleToDragCut());
    EXPECT_TRUE(screen->timeLabel()->textTitle().isEmpty());
}

TEST_F(MediaScreen, PlayButtonsWaitForThePlayerAndDispatch) {
    auto item = show("clip.mp4");
    EXPECT_FALSE(screen->playPauseButton1()->isEnabled()) << "no clicks before the player can play";
    ASSERT_TRUE(playable());
    EXPECT_TRUE(screen->playPauseButton1()->isEnabled());
    EXPECT_TRUE(screen->nextButton()->isEnabled());
    gui::click(screen->playPauseButton1(), QPointF(16, 16));
    EXPECT_TRUE(screen->isPlaying());
    EXPECT_FALSE(screen->bInRangeMode());
    gui::click(screen->playPauseButton1(), QPointF(16, 16));
    EXPECT_FALSE(screen->isPlaying());
    // One frame forward from a parked player.
    screen->playView()->seekTo(0.5);
    const double before = landedSeconds();
    gui::click(screen->nextButton(), QPointF(16, 16));
    EXPECT_FALSE(screen->isPlaying());
    ASSERT_TRUE(
        waitFor([&] { return double(screen->playView()->currentTimeUs()) / 1e6 > before + kFrame / 2; }, kLong));
    EXPECT_NEAR(landedSeconds(), before + kFrame, kFrame / 2);
    // Disabled controls do not react.
    screen->enablePlayController(false);
    gui::click(screen->playTrimButton(), QPointF(16, 16));
    EXPECT_FALSE(screen->isPlaying());
    (void)item;
}

TEST_F(MediaScreen, DelegateWithoutAnswersKeepsTheScreensOwnPictures) {
    LXMediaController bare(nullptr);
    bare.initWithNibNameBundle(QString());
    EXPECT_FALSE(bare.playPauseButton1()->normalImage().isNull());
    EXPECT_FALSE(bare.voiceButton()->normalImage().isNull());
    EXPECT_FALSE(bare.nextButton()->pressImage().isNull());
    // The document's answer wins over the default.
    EXPECT_EQ(screen->nextButton()->normalImage().cacheKey(), DocumentSkin::pic("ODEditNextNormal.png").cacheKey());
    EXPECT_NE(bare.nextButton()->normalImage().cacheKey(), screen->nextButton()->normalImage().cacheKey());
}

TEST_F(MediaScreen, RendersTheScreen) {
    auto item = show("clip.mp4");
    const double T = item->totalDuration();
    item->setKeptRange(LXKeptRange::fromSeconds(4.0, 19.0));
    screen->initCutSliderParams();
    ASSERT_TRUE(playable());
    screen->playView()->seekTo(9.0 / T);
    ASSERT_TRUE(waitFor(
        [&] { return !screen->playView()->isSeeking() && !screen->playView()->currentFrame().isNull(); }, kLong));
    screen->playerInProgress(screen->playView(), 100.0 * 9.0 / T);
    QApplication::processEvents();
    const QString dir = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    QDir().mkpath(dir);
    EXPECT_TRUE(host.grab().save(dir + "/media-controller.png"));
}
