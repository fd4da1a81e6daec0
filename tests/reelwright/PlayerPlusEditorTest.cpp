// The combined player-editor in its own window with real clips (offscreen, null audio): the
// bar's two modes and their controls, Trim and Cancel, nudges of a cut through the
// frame-stepping panel, the export menu writing a trimmed file, the bar hiding after six idle
// ticks and coming back on movement, full screen, dragging the window, and pictures of both
// modes in build/shots.
#include "../glazeform/GuiEvents.h"
#include "DocumentSkin.h"

#include <foundation/Alerts.h>
#include <foundation/Reveal.h>
#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXConverWin.h>
#include <glazeform/LXGeometry.h>
#include <reelwright/LXMediaCommon.h>
#include <reelwright/LXPlayerPlusEditorController.h>

#include "TestSupport.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QJsonArray>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <gtest/gtest.h>

using testsupport::fixture;
using testsupport::waitFor;
using Plus = LXPlayerPlusEditorController;

namespace {

constexpr int kLong = 30000;

struct BackRecorder : DocumentSkin {
    int backs = 0;
    void backToMainPage(LXMediaController *) override { ++backs; }
};

double videoDuration(const QString &path) {
    for (const auto &s : testsupport::ffprobe(path).value("streams").toArray())
        if (s.toObject().value("codec_type").toString() == "video")
            return s.toObject().value("duration").toString().toDouble();
    return -1;
}

class PlusEditor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SWPlayer::setDefaultAudioOutput("null"); }
    void SetUp() override {
        foundation::Alerts::setResponderForTesting([](const foundation::AlertRequest &) {
            return std::optional<foundation::AlertButton>(foundation::AlertButton::Default);
        });
        foundation::Reveal::setHandlerForTesting([](const QString &, const QString &) { return true; });
    }
    void TearDown() override {
        EXPECT_TRUE(LXMediaConvertController::cancelAllAndWait(30000));
        if (win)
            win->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(plus.isNull()) << "the screen goes with its window";
        EXPECT_EQ(LXConverWin::convertWin(), nullptr);
        foundation::Alerts::setResponderForTesting({});
        foundation::Reveal::setHandlerForTesting({});
    }

    // Opens `name` kept from `start` to `end` in a window of its own, shows it and enters.
    LXMediaInfoPtr open(const QString &name, double start, double end, const QString &outputPath = {}) {
        auto item = LXMediaInfo::initMediaInfoWithPath(fixture(name));
        item->setKeptRange(LXKeptRange::fromSeconds(start, end));
        plus = Plus::sharePlayEditControllerEditMovieInfoInWinOutputPathWithNibName(&skin, item, nullptr, outputPath);
        win = plus->dragWindow();
        win->move(40, 30);
        win->show();
        plus->enterPlayCtrl();
        EXPECT_TRUE(waitFor([&] { return plus->playView()->isPlayable(); }, kLong));
        return item;
    }
    void showBar() {
        // The pointer enters the video, away from where the bar floats.
        moveOverVideo(QPoint(60, 40));
        plus->enterPlayerArea(plus->playView());
        ASSERT_TRUE(plus->isFullControlShown());
    }
    // The pointer moves to a point of the video.
    void moveOverVideo(QPoint local) {
        QCursor::setPos(plus->playView()->mapToGlobal(local));
        gui::hover(plus->playView(), local);
    }
    double landedSeconds() {
        waitFor([&] { return !plus->playView()->isSeeking(); }, kLong);
        return double(plus->playView()->currentTimeUs()) / 1e6;
    }
    // The export menu, opened by a click on the bar's export button.
    QMenu *openExportMenu() {
        EXPECT_TRUE(plus->exportButton() && plus->exportButton()->isVisible());
        // The pointer goes to the button first: the offscreen platform's popup hands a leave
        // to the window it believes is under the pointer, which must still exist.
        QCursor::setPos(plus->exportButton()->mapToGlobal(QPoint(12, 12)));
        gui::click(plus->exportButton(), QPointF(12, 12));
        return plus->exportMenu();
    }
    static QAction *entry(QMenu *menu, const QString &text) {
        for (QAction *a : menu->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    // Hovers the middle of a cut handle of the bar's slider (which opens the panel for it).
    void hoverHandle(bool left) {
        LXCutSlider *s = plus->barCutSlider();
        const QRectF r = left ? s->leftCutRt() : s->rightCutRt();
        gui::hover(s, gui::ll(s, r.center().x(), r.center().y()));
    }

    BackRecorder skin;
    QPointer<Plus> plus;
    QPointer<LXDragWindow> win;
};

} // namespace

TEST_F(PlusEditor, PlayAndTrimModesShowTheirOwnControlsAndTrimOrCancelTheRange) {
    auto item = open("clip.mp4", 4.0, 16.0);
    const double T = item->totalDuration();
    showBar();
    LXConverWin *bar = LXConverWin::convertWin();
    EXPECT_EQ(bar->converView()->controls().size(), 18);
    // Centred at the bottom of the window, 20 points above its bottom edge.
    const QRectF w = LXGeometry::qtToScreen(QRectF(win->frameGeometry()));
    EXPECT_NEAR(bar->screenFrame().center().x(), w.center().x(), 1.0);
    EXPECT_NEAR(bar->screenFrame().y(), w.y() + 20, 1.0);
    EXPECT_EQ(bar->screenFrame().size(), QSizeF(603, 59));

    // Play mode.
    EXPECT_EQ(plus->ctrlMode(), Plus::PlayMode);
    for (QWidget *c : std::initializer_list<QWidget *>{
             plus->fullPlayOrPauseButton(), plus->fullPrgSlider(), plus->backButton(), plus->exportButton(),
             plus->fullExitFullPlayerButton(), plus->fullLeftTimeField(), plus->fullRightTimeField()})
        EXPECT_TRUE(c->isVisible()) << c->toolTip().toStdString();
    for (QWidget *c :
         std::initializer_list<QWidget *>{plus->barCutSlider(), plus->trimButton(), plus->cancelTrimButton(),
                                          plus->trimPlayButton(), plus->startTimeLbl()})
        EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(plus->fullLeftTimeField()->textTitle(), "00:00");
    EXPECT_EQ(plus->fullRightTimeField()->textTitle(), "- 00:12");
    plus->playerInProgress(plus->playView(), 100.0 * 7.5 / T);
    EXPECT_EQ(plus->fullLeftTimeField()->textTitle(), "00:03");
    EXPECT_EQ(plus->fullRightTimeField()->textTitle(), "- 00:08");

    // The export menu: four destinations, a separator, "Trim".
    QMenu *menu = openExportMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction *a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(texts, QStringList({"Export to local", "Export to media library", "Export to Facebook",
                                  "Export to Youtube", "-", "Trim"}));
    entry(menu, "Trim")->trigger();
    menu->close();

    // Trim mode: the player parked on the kept start, its controls up, the play ones away.
    EXPECT_EQ(plus->ctrlMode(), Plus::TrimMode);
    EXPECT_NEAR(landedSeconds(), 4.0, 0.04);
    for (QWidget *c : std::initializer_list<QWidget *>{
             plus->barCutSlider(), plus->trimButton(), plus->cancelTrimButton(), plus->trimPlayButton(),
             plus->seekStartButton(), plus->seekEndButton(), plus->startTimeLbl(), plus->endTimeLbl()})
        EXPECT_TRUE(c->isVisible());
    for (QWidget *c : std::initializer_list<QWidget *>{plus->fullPlayOrPauseButton(), plus->fullPrgSlider(),
                                                       plus->backButton(), plus->exportButton()})
        EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(plus->startTimeLbl()->textTitle(), "0:00:04.00");
    EXPECT_EQ(plus->endTimeLbl()->textTitle(), "0:00:16.00");
    // The range's play button over the middle of the slider, the jumps 60 points either side.
    const QRectF slider = LXGeometry::frameOf(plus->barCutSlider());
    const QRectF play = LXGeometry::frameOf(plus->trimPlayButton());
    EXPECT_DOUBLE_EQ(play.center().x(), slider.center().x());
    EXPECT_DOUBLE_EQ(LXGeometry::frameOf(plus->seekStartButton()).x(), play.x() - 60);
    EXPECT_DOUBLE_EQ(LXGeometry::frameOf(plus->seekEndButton()).x(), play.x() + 60);
    // No full screen while trimming.
    plus->wantEnterFullScreen(plus->playView());
    EXPECT_FALSE(plus->playView()->isInFullScreenMode());

    // A new left cut, then "Cancel": the range at entering trim mode comes back, its start
    // position with it.
    plus->leftCutPosition(8.0 / T);
    EXPECT_NEAR(item->trackStart(), 8.0, 1e-6);
    EXPECT_EQ(plus->startTimeLbl()->textTitle(), "0:00:08.00");
    gui::click(plus->cancelTrimButton(), QPointF(26, 11));
    EXPECT_EQ(plus->ctrlMode(), Plus::PlayMode);
    EXPECT_EQ(item->trackStart(), 4.0);
    EXPECT_EQ(item->trackEnd(), 16.0);
    EXPECT_DOUBLE_EQ(item->trackStartPos(), 4.0 / T);
    EXPECT_NEAR(landedSeconds(), 4.0, 0.04);
    EXPECT_TRUE(plus->exportButton()->isVisible());

    // "Trim" keeps a new range; a later "Cancel" goes back to it, not to the opening one.
    plus->trimVideo();
    plus->rightCutPosition(12.0 / T);
    gui::click(plus->trimButton(), QPointF(26, 11));
    EXPECT_EQ(plus->ctrlMode(), Plus::PlayMode);
    EXPECT_EQ(plus->trim().begun().end(), 12.0);
    EXPECT_EQ(plus->playView()->playDuration(), 8000000);
    EXPECT_TRUE(plus->needSave());
    plus->trimVideo();
    plus->rightCutPosition(14.0 / T);
    plus->cancelTrim();
    EXPECT_EQ(item->trackEnd(), 12.0);
    EXPECT_EQ(item->trackStart(), 4.0);
}

TEST_F(PlusEditor, NudgesMoveACutByExactlyOneTwentiethOfASecondAndKeepTheTwoSecondGap) {
    auto item = open("clip.mp4", 10.0, 12.03);
    const double T = item->totalDuration();
    showBar();
    plus->trimVideo();

    // Hovering the left handle opens the panel for the left cut, under the bar.
    hoverHandle(true);
    ASSERT_NE(plus->preciseWin(), nullptr);
    EXPECT_TRUE(plus->bProcessTrackStart());
    EXPECT_TRUE(plus->preciseWin()->isVisible());
    EXPECT_EQ(plus->preciseWin()->size(), QSize(99, 24));
    EXPECT_EQ(plus->timeLbl()->textTitle(), "0:00:10.00");
    // Forward: at most up to the end less the minimum range.
    gui::click(plus->nextBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackStart(), 10.03);
    EXPECT_EQ(plus->timeLbl()->textTitle(), "0:00:10.03");
    EXPECT_EQ(plus->startTimeLbl()->textTitle(), "0:00:10.03");
    EXPECT_DOUBLE_EQ(item->trackStartPos(), 10.03 / T);
    EXPECT_NEAR(landedSeconds(), 10.03, 0.04) << "the player shows the cut";
    gui::click(plus->nextBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackStart(), 10.03) << "the gap is at its minimum";
    // Back in exact steps.
    for (int i = 0; i < 3; ++i)
        gui::click(plus->previousBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackStart(), 9.88);
    EXPECT_EQ(plus->playView()->playStartTime(), 9880000);
    EXPECT_NEAR(plus->playView()->playDuration(), 2150000, 1);
    EXPECT_DOUBLE_EQ(plus->barCutSlider()->leftCutTime(), 9.88);

    // The right handle takes the panel over.
    hoverHandle(false);
    ASSERT_NE(plus->preciseWin(), nullptr);
    EXPECT_FALSE(plus->bProcessTrackStart());
    EXPECT_EQ(plus->timeLbl()->textTitle(), "0:00:12.03");
    gui::click(plus->previousBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackEnd(), 11.98);
    gui::click(plus->previousBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackEnd(), 11.93);
    EXPECT_EQ(plus->endTimeLbl()->textTitle(), "0:00:11.93");
    gui::click(plus->previousBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackEnd(), 11.88) << "stopped at the minimum";
    gui::click(plus->previousBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackEnd(), 11.88);
    gui::click(plus->nextBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackEnd(), 11.93);

    // At the file's ends.
    plus->hidePreciseWin();
    item->setKeptRange(item->keptRange().withStart(0.03));
    plus->initCutSliderParams();
    hoverHandle(true);
    gui::click(plus->previousBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackStart(), 0.0);
    gui::click(plus->previousBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackStart(), 0.0);
    plus->hidePreciseWin();
    const double nearEnd = std::llround((T - 0.02) * 1e6) / 1e6;
    item->setKeptRange(item->keptRange().withEnd(nearEnd));
    plus->initCutSliderParams();
    hoverHandle(false);
    gui::click(plus->nextBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackEnd(), std::llround(T * 1e6) / 1e6);
    gui::click(plus->nextBtn(), QPointF(6, 12));
    EXPECT_EQ(item->trackEnd(), std::llround(T * 1e6) / 1e6);

    // Any other button closes the panel.
    gui::click(plus->seekStartButton(), QPointF(12, 12));
    EXPECT_EQ(plus->preciseWin(), nullptr);
    EXPECT_FALSE(plus->bMicroSeekEnd());
}

TEST_F(PlusEditor, ExportFromTheBarWritesTheKeptRange) {
    const QString path = QDir(testsupport::freshDir("plus")).filePath("kept.mov");
    auto item = open("clip.mp4", 2.0, 6.5, path);
    showBar();
    plus->trimVideo();
    plus->rightCutPosition(7.0 / item->totalDuration());
    gui::click(plus->trimButton(), QPointF(26, 11));
    EXPECT_TRUE(plus->needSave());

    QMenu *menu = openExportMenu();
    ASSERT_NE(menu, nullptr);
    entry(menu, "Export to local")->trigger();
    menu->close();
    EXPECT_FALSE(plus->needSave()) << "the range at the export is remembered";
    EXPECT_EQ(plus->trim().saved().end(), 7.0);
    auto exporting = plus->lastExport();
    ASSERT_TRUE(exporting);
    EXPECT_EQ(exporting->exportType(), LXMediaConvertController::Local);
    ASSERT_TRUE(exporting->exportWindow());
    EXPECT_EQ(exporting->exportWindow()->parentWidget(), win.data());
    ASSERT_TRUE(waitFor(
        [&] {
            return exporting->exportWindow() &&
                   exporting->exportWindow()->exportState() == LXExportWindowController::ExportState::Finished;
        },
        120000));
    EXPECT_EQ(exporting->outputPath(), path);
    EXPECT_NEAR(videoDuration(path), 5.0, 0.04 + 1e-6);
}

TEST_F(PlusEditor, TheBarHidesAfterSixIdleTicksAndComesBackOnMovement) {
    open("clip.mp4", 0.0, 20.0);
    // Entering the video shows the bar.
    showBar();
    for (int i = 0; i < 5; ++i)
        plus->hideFullControl();
    EXPECT_TRUE(plus->isFullControlShown());
    // Movement over the video starts the count again.
    moveOverVideo(QPoint(64, 40));
    EXPECT_EQ(plus->autoTime(), 0);
    for (int i = 0; i < 5; ++i)
        plus->hideFullControl();
    EXPECT_TRUE(plus->isFullControlShown());
    plus->hideFullControl();
    EXPECT_FALSE(plus->isFullControlShown());
    EXPECT_EQ(plus->exportButton(), nullptr);
    // Windows changing under a pointer at rest do not bring it back; movement does.
    plus->enterPlayerArea(plus->playView());
    gui::hover(plus->playView(), QPointF(64, 40));
    EXPECT_FALSE(plus->isFullControlShown());
    moveOverVideo(QPoint(80, 50));
    EXPECT_TRUE(plus->isFullControlShown());
    // A click on the video closes it; the next movement shows it again.
    gui::click(plus->playView(), QPointF(80, 50));
    EXPECT_FALSE(plus->isFullControlShown());
    moveOverVideo(QPoint(82, 50));
    EXPECT_TRUE(plus->isFullControlShown());

    // Leaving the video for the bar keeps the bar and stops the count; leaving it for
    // elsewhere closes it.
    // Which it was is known once the move has been delivered: the leave comes first.
    // (The offscreen platform's cursor goes along: Qt's own enter events after a widget
    // shows or hides come from it.)
    LXConverWin *bar = LXConverWin::convertWin();
    plus->exitPlayerArea(plus->playView());
    QCursor::setPos(bar->converView()->mapToGlobal(QPoint(300, 30)));
    gui::hover(bar->converView(), QPointF(300, 30));
    EXPECT_TRUE(plus->isFullControlShown());
    QCoreApplication::processEvents();
    EXPECT_TRUE(plus->isFullControlShown());
    // Off the bar onto the picture, below the window's top 22 points: it stays. The pointer
    // is known only from the window's own events (all a Wayland client has).
    plus->mouseExitCoverWin(nullptr);
    moveOverVideo(QPoint(80, 60));
    QCoreApplication::processEvents();
    EXPECT_TRUE(plus->isFullControlShown());
    // Off the bar into the top 22 points: it closes.
    plus->mouseExitCoverWin(nullptr);
    moveOverVideo(QPoint(80, 10));
    QCoreApplication::processEvents();
    EXPECT_FALSE(plus->isFullControlShown());
    // Leaving the window from the bar closes it too (the platform's own pointer events).
    const QPoint outside = win->mapToGlobal(QPoint(win->width() + 50, win->height() + 50));
    moveOverVideo(QPoint(90, 50));
    QCoreApplication::processEvents();
    ASSERT_TRUE(plus->isFullControlShown());
    bar = LXConverWin::convertWin();
    QCursor::setPos(bar->converView()->mapToGlobal(QPoint(300, 30)));
    QCoreApplication::processEvents();
    ASSERT_TRUE(plus->isFullControlShown());
    QCursor::setPos(outside);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(plus->isFullControlShown());
    // And so does leaving the video for elsewhere.
    moveOverVideo(QPoint(94, 50));
    QCoreApplication::processEvents();
    ASSERT_TRUE(plus->isFullControlShown());
    QCursor::setPos(outside);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(plus->isFullControlShown());

    // The real timer, shortened: the bar goes by itself.
    plus->setAutoHideTickInterval(5);
    showBar();
    EXPECT_TRUE(waitFor([&] { return !plus->isFullControlShown(); }, 5000));
}

TEST_F(PlusEditor, DraggingTheWindowMovesItAndTheBarsPlace) {
    open("short.mp4", 0.0, 4.0);
    const QPoint before = win->pos();
    const QPointF barPt = plus->converWinPt();
    QWidget *video = plus->playView();
    gui::press(video, QPointF(100, 100));
    gui::drag(video, QPointF(140, 130));
    EXPECT_TRUE(plus->bMouseDragged());
    // No bar while the window moves.
    plus->enterPlayerArea(plus->playView());
    EXPECT_FALSE(plus->isFullControlShown());
    // The pointer stays on the same spot of the video, which moved with the window.
    gui::release(video, QPointF(100, 100));
    EXPECT_FALSE(plus->bMouseDragged());
    EXPECT_EQ(win->pos(), before + QPoint(40, 30));
    // Screen points count upward: down on the screen is a smaller y.
    EXPECT_EQ(plus->converWinPt(), barPt + QPointF(40, -30));
    showBar();
    EXPECT_NEAR(LXConverWin::convertWin()->screenFrame().x(), plus->converWinPt().x(), 1.0);
    EXPECT_NEAR(LXConverWin::convertWin()->screenFrame().y(), plus->converWinPt().y(), 1.0);
    // A press on a button of the bar is the button's.
    gui::press(plus->fullPlayOrPauseButton(), QPointF(12, 12));
    gui::drag(plus->fullPlayOrPauseButton(), QPointF(40, 12));
    gui::release(plus->fullPlayOrPauseButton(), QPointF(40, 12));
    EXPECT_EQ(win->pos(), before + QPoint(40, 30));

    // "back to main window" asks the host and closes the screen's own window.
    gui::click(plus->backButton(), QPointF(12, 12));
    EXPECT_EQ(skin.backs, 1);
    EXPECT_FALSE(win->isVisible());
}

TEST_F(PlusEditor, FullScreenPutsTheBarAtTheScreensBottomWithoutBackExportOrTrim) {
    open("short.mp4", 0.0, 4.0);
    showBar();
    const QPointF windowed = plus->converWinPt();
    gui::click(plus->fullExitFullPlayerButton(), QPointF(12, 12));
    ASSERT_TRUE(plus->playView()->isInFullScreenMode());
    ASSERT_TRUE(plus->isFullControlShown());
    const QRectF frame = LXConverWin::convertWin()->screenFrame();
    const QSizeF screen = LXGeometry::mainScreenSize();
    EXPECT_NEAR(frame.x(), (screen.width() - 603) / 2.0, 1.0);
    EXPECT_EQ(frame.y(), 25.0);
    EXPECT_FALSE(plus->exportButton()->isVisible());
    EXPECT_FALSE(plus->backButton()->isVisible());
    EXPECT_EQ(plus->fullExitFullPlayerButton()->toolTip(), "Exit Full Screen");
    QCursor::setPos(plus->fullPlayOrPauseButton()->mapToGlobal(QPoint(12, 12))); // see openExportMenu
    plus->showExportMenu();
    ASSERT_NE(plus->exportMenu(), nullptr);
    EXPECT_EQ(entry(plus->exportMenu(), "Trim"), nullptr);
    EXPECT_EQ(plus->exportMenu()->actions().size(), 4);
    plus->exportMenu()->close();
    gui::click(plus->fullExitFullPlayerButton(), QPointF(12, 12));
    EXPECT_FALSE(plus->playView()->isInFullScreenMode());
    ASSERT_TRUE(plus->isFullControlShown());
    EXPECT_EQ(plus->converWinPt(), windowed);
    EXPECT_EQ(plus->fullExitFullPlayerButton()->toolTip(), "Full Screen");
}

TEST_F(PlusEditor, RendersBothModes) {
    auto item = open("clip.mp4", 3.0, 17.5);
    plus->playView()->seekTo(9.0 / item->totalDuration());
    ASSERT_TRUE(
        waitFor([&] { return !plus->playView()->isSeeking() && !plus->playView()->currentFrame().isNull(); }, kLong));
    plus->playerInProgress(plus->playView(), 100.0 * 9.0 / item->totalDuration());
    showBar();
    const QString dir = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    QDir().mkpath(dir);
    // The window with the bar (and the panel, when open) drawn where they float.
    auto shot = [&](const QString &name) {
        QApplication::processEvents();
        QPixmap pic = win->grab();
        QPainter p(&pic);
        for (QWidget *floating :
             {static_cast<QWidget *>(LXConverWin::convertWin()), static_cast<QWidget *>(plus->preciseWin())})
            if (floating && floating->isVisible() && floating->isWindow())
                p.drawPixmap(floating->geometry().topLeft() - win->geometry().topLeft(), floating->grab());
        p.end();
        EXPECT_TRUE(pic.save(dir + "/" + name));
    };
    shot("player-plus-play.png");
    plus->trimVideo();
    plus->cursorPositionChanging(9.0 / item->totalDuration());
    hoverHandle(false);
    ASSERT_NE(plus->preciseWin(), nullptr);
    shot("player-plus-trim.png");
}
