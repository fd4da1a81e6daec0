// The list page's player in the window's preview area, driven through the list's rows, its
// keys and its buttons, on real clips (null audio): what a selection shows and plays, what a
// removal leaves, the player window taking over, closing while playing, and a picture.
#include "WindowDriver.h"

#include <framewheel/SWMediaInfoManager.h>
#include <glazeform/LXConverWin.h>
#include <glazeform/LXDragWindow.h>
#include <reelwright/LXMediaEditController.h>

#include <QDir>
#include <QPainter>
#include <QSet>
#include <gtest/gtest.h>

using namespace windowtest;
using testsupport::fixture;
using testsupport::waitFor;

namespace {

constexpr int kLong = 30000;

LXPlayerController *player(Session &s) { return s.window->mediaPlayController(); }

// The player shows `item` and has had its "playable" report (its play controls are live).
bool playableWith(Session &s, const LXMediaInfoPtr &item) {
    return waitFor(
        [&] {
            LXPlayerController *p = player(s);
            return p && p->editMovie() == item && p->playView()->isPlayable() && p->playPauseButton1()->isEnabled();
        },
        kLong);
}

bool playing(Session &s) {
    return waitFor([&] { return player(s) && player(s)->isPlaying(); }, kLong);
}
bool paused(Session &s) {
    return waitFor([&] { return player(s) && !player(s)->isPlaying(); }, kLong);
}

// The player holds no item, is out of sight and disabled; the area shows its own face.
void expectShowsNothing(Session &s) {
    LXPlayerController *p = player(s);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->editMovie(), nullptr);
    EXPECT_TRUE(p->isHidden());
    EXPECT_FALSE(p->isPlaying());
    EXPECT_FALSE(p->playPauseButton2()->bEnabled());
    EXPECT_FALSE(p->progressSlider()->bEnabled());
    EXPECT_EQ(s.window->mainPreviewView()->item(), nullptr);
}

} // namespace

TEST(WindowPreview, SelectingAClipRowShowsItPlayableAtItsTrimStart) {
    Session s;
    // From the start the player fills the preview area, showing nothing.
    LXPlayerController *p = player(s);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->parentWidget(), s.window->mainPreviewView());
    EXPECT_EQ(p->geometry(), s.window->mainPreviewView()->rect());
    expectShowsNothing(s);

    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("clip.mp4")}));
    const LXMediaInfoPtr clip = s.job(1)->editMovie();
    clip->setKeptRange(clip->keptRange().withStart(4.0));
    click(s.row(1), QPointF(200, 20));
    ASSERT_TRUE(playableWith(s, clip));
    EXPECT_EQ(player(s), p) << "one player, reused for every selection";
    EXPECT_TRUE(p->isVisible());
    EXPECT_TRUE(p->playPauseButton2()->bEnabled());
    EXPECT_TRUE(p->progressSlider()->bEnabled());
    EXPECT_FALSE(p->isPlaying()) << "nothing was playing, so nothing starts";
    ASSERT_TRUE(waitFor([&] { return !p->playView()->isSeeking(); }, kLong));
    EXPECT_NEAR(double(p->playView()->currentTimeUs()) / 1e6, 4.0, 0.1) << "parked at the kept range's start";

    click(p->playPauseButton2());
    EXPECT_TRUE(playing(s));
    EXPECT_TRUE(s.window->isPlaying());
    // The player follows the area's size.
    s.window->resize(1240, 780);
    QApplication::processEvents();
    EXPECT_EQ(p->geometry(), s.window->mainPreviewView()->rect());
}

TEST(WindowPreview, PlayingThenSelectingAnotherRowPlaysItAndSpaceAndDoubleClickPlayToo) {
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("clip.mp4"), fixture("mpeg4.avi")}));
    const auto item = [&](int i) { return s.job(i)->editMovie(); };
    click(s.row(0), QPointF(200, 20));
    ASSERT_TRUE(playableWith(s, item(0)));
    click(player(s)->playPauseButton2());
    ASSERT_TRUE(playing(s));

    // Playing: the next selection plays as soon as it can.
    click(s.row(1), QPointF(200, 20));
    ASSERT_TRUE(playableWith(s, item(1)));
    EXPECT_TRUE(playing(s));
    // The space bar pauses (once: the window's key and the video's own answer do not both act).
    s.key(Qt::Key_Space);
    ASSERT_TRUE(paused(s));
    QApplication::processEvents();
    EXPECT_FALSE(player(s)->isPlaying());

    // Paused: the next selection waits.
    s.key(Qt::Key_Down);
    ASSERT_TRUE(playableWith(s, item(2)));
    EXPECT_FALSE(player(s)->isPlaying());
    s.key(Qt::Key_Space);
    EXPECT_TRUE(playing(s));
    s.key(Qt::Key_Space);
    ASSERT_TRUE(paused(s));

    // A double click on a row plays it, though its first click already selected it.
    doubleClick(s.row(0), QPointF(200, 40));
    EXPECT_EQ(s.doc().currentIndex(), 0);
    ASSERT_TRUE(playableWith(s, item(0)));
    EXPECT_TRUE(playing(s));
}

TEST(WindowPreview, RemovingThePreviewedRowShowsNothingOfIt) {
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("clip.mp4")}));
    const LXMediaInfoPtr first = s.job(0)->editMovie();
    const LXMediaInfoPtr clip = s.job(1)->editMovie();
    click(s.row(1), QPointF(200, 20));
    ASSERT_TRUE(playableWith(s, clip));
    click(player(s)->playPauseButton2());
    ASSERT_TRUE(playing(s));

    // Deleting the playing row: the selection moves to the remaining row, which waits.
    s.key(Qt::Key_Delete);
    ASSERT_EQ(s.doc().numberOfRows(), 1);
    ASSERT_TRUE(playableWith(s, first));
    EXPECT_FALSE(player(s)->isPlaying());
    // The last one: nothing is left to show.
    s.key(Qt::Key_Delete);
    ASSERT_EQ(s.doc().numberOfRows(), 0);
    expectShowsNothing(s);

    // "Remove every item" while a clip plays.
    ASSERT_TRUE(s.add({fixture("clip.mp4")}));
    ASSERT_TRUE(playableWith(s, s.job(0)->editMovie()));
    click(player(s)->playPauseButton2());
    ASSERT_TRUE(playing(s));
    s.answers = {foundation::AlertButton::Alternate};
    click(s.window->wrRemoveAllBtn());
    ASSERT_EQ(s.doc().numberOfRows(), 0);
    expectShowsNothing(s);
    // The space bar over an empty list changes nothing.
    s.key(Qt::Key_Space);
    QApplication::processEvents();
    expectShowsNothing(s);
}

TEST(WindowPreview, ThePlayerWindowPausesThePreviewAndTheEditButtonOpensTheEditorPage) {
    Session s;
    ASSERT_TRUE(s.add({fixture("clip.mp4")}));
    const LXMediaInfoPtr clip = s.job(0)->editMovie();
    ASSERT_TRUE(playableWith(s, clip));
    click(player(s)->playPauseButton2());
    ASSERT_TRUE(playing(s));
    click(player(s)->playView(), QPointF(40, 40));
    ASSERT_TRUE(player(s)->isFullControlShown());

    QTest::keyClick(s.window.get(), Qt::Key_Return, Qt::ControlModifier);
    QPointer<LXPlayerPlusEditorController> plus = s.window->playerWindow();
    ASSERT_NE(plus, nullptr);
    EXPECT_TRUE(paused(s));
    EXPECT_FALSE(player(s)->isFullControlShown()) << "the one floating bar is the player window's now";
    ASSERT_TRUE(waitFor([&] { return plus->playView()->isPlayable(); }, kLong));
    plus->dragWindow()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(plus.isNull());

    // The preview's edit button: the editor page takes the item, and the preview's player goes.
    s.activate();
    QPointer<LXPlayerController> preview = player(s);
    click(preview->editBtn());
    ASSERT_TRUE(waitFor([&] { return s.window->isEditPageShown(); }, 5000));
    ASSERT_NE(s.window->mediaEditController(), nullptr);
    EXPECT_EQ(s.window->mediaEditController()->editMovie(), clip);
    EXPECT_TRUE(preview.isNull());
}

TEST(WindowPreview, ClosingTheWindowWhilePlayingAndConvertingIsClean) {
    Session s(1);
    ASSERT_TRUE(s.add({fixture("clip.mp4"), fixture("short.mp4")}));
    ASSERT_TRUE(playableWith(s, s.job(0)->editMovie()));
    click(player(s)->playPauseButton2());
    ASSERT_TRUE(playing(s));
    click(player(s)->playView(), QPointF(40, 40));
    ASSERT_TRUE(player(s)->isFullControlShown());
    click(s.window->wrConvertBtn());
    ASSERT_TRUE(waitFor([&] { return s.doc().currentSessionCount() == 1; }, kLong));

    QPointer<LXPlayerController> p = player(s);
    QPointer<SWPlayer> view = p->playView();
    s.answers = {foundation::AlertButton::Alternate}; // yes, stop the conversions and close
    s.window->close();
    EXPECT_FALSE(s.window->isVisible());
    // Nothing plays on behind a closed window: the player and its bar are gone at once.
    EXPECT_TRUE(p.isNull());
    EXPECT_TRUE(view.isNull());
    EXPECT_EQ(LXConverWin::convertWin(), nullptr);
    EXPECT_TRUE(waitFor([&] { return s.doc().currentSessionCount() == 0; }, 60000));
    // A selection arriving late (an intake finishing) builds no new player in the closed window.
    s.doc().selectItemAtIndex(1);
    EXPECT_EQ(player(s), nullptr);
    s.window.reset();
    // Whatever the player's and the conversions' threads posted finds nothing to touch.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(100);
}

TEST(WindowPreview, ListPageWithAClipPlayingItsBarAndTheParameterEditor) {
    Session s;
    ASSERT_TRUE(s.add({fixture("clip.mp4"), fixture("short.mp4"), fixture("audio.flac")}));
    const LXMediaInfoPtr clip = s.job(0)->editMovie();
    ASSERT_TRUE(playableWith(s, clip));
    click(player(s)->playPauseButton2());
    ASSERT_TRUE(playing(s));
    LXPlayerController *p = player(s);
    ASSERT_TRUE(waitFor(
        [&] { return p->playView()->currentTimeUs() > 1500000 && !p->playView()->currentFrame().isNull(); }, kLong));
    click(p->playView(), QPointF(40, 40));
    LXConverWin *bar = LXConverWin::convertWin();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(p->isFullControlShown());
    const QString dir = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    QDir().mkpath(dir);
    // The window with the windows over it drawn where they float.
    const auto composed = [&](std::initializer_list<QWidget *> over) {
        QPixmap shot = s.window->grab();
        QPainter painter(&shot);
        const QPoint origin = s.window->mapToGlobal(QPoint(0, 0));
        for (QWidget *w : over)
            if (w->isWindow()) // an overlay is in the window's own picture
                painter.drawPixmap(w->geometry().topLeft() - origin, w->grab());
        return shot;
    };
    EXPECT_TRUE(composed({bar}).save(dir + "/list-page-playing-bar.png"));

    s.window->selectLastExportType();
    LXImageCellView *quicktime = s.cell("Quicktime Movie");
    ASSERT_NE(quicktime, nullptr);
    click(quicktime->settingBtn());
    ODMediaInfoEdit *editor = s.window->mediaInfoEdit();
    ASSERT_NE(editor, nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(p->isPlaying()) << "the editor does not stop the preview";

    // The bar floats over the bottom of the video.
    const QRect video(p->playView()->mapToGlobal(QPoint(0, 0)), p->playView()->size());
    EXPECT_TRUE(video.contains(QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size()))) << "bar outside the video";
    // The video shows a picture, not a flat area.
    const QImage frame = p->playView()->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < frame.height(); y += 4)
        for (int x = 0; x < frame.width(); x += 4)
            colours.insert(frame.pixel(x, y));
    EXPECT_GT(colours.size(), 30);
    // Every shown button of the player has its picture.
    for (LXButton *b : p->findChildren<LXButton *>()) {
        if (b->isVisibleTo(p)) {
            EXPECT_FALSE(b->currentImage().isNull()) << b->toolTip().toStdString();
        }
    }

    EXPECT_TRUE(composed({bar, editor}).save(dir + "/list-page-playing.png"));
    editor->close();
}

TEST(WindowPreview, TheEditorPageHasNoPlayerAndTheWayBackBuildsOneAtTheTrimStart) {
    Session s;
    ASSERT_TRUE(s.add({fixture("clip.mp4")}));
    const LXMediaInfoPtr clip = s.job(0)->editMovie();
    ASSERT_TRUE(playableWith(s, clip));
    click(player(s)->playPauseButton2());
    ASSERT_TRUE(playing(s));
    QPointer<LXPlayerController> before = player(s);
    s.window->beginToEditMovie();
    ASSERT_TRUE(s.window->isEditPageShown());
    EXPECT_TRUE(before.isNull()) << "exactly one of the player and the editor";
    EXPECT_EQ(player(s), nullptr);

    clip->setKeptRange(clip->keptRange().withStart(6.0));
    s.window->backToMainPage();
    ASSERT_FALSE(s.window->isEditPageShown());
    ASSERT_TRUE(playableWith(s, clip));
    EXPECT_FALSE(player(s)->isPlaying());
    EXPECT_TRUE(player(s)->playPauseButton2()->bEnabled());
    ASSERT_TRUE(waitFor([&] { return !player(s)->playView()->isSeeking(); }, kLong));
    EXPECT_NEAR(double(player(s)->playView()->currentTimeUs()) / 1e6, 6.0, 0.1);
}

TEST(WindowPreview, RowsShownAfterAnotherIsRemovedStayConverted) {
    Session s(2);
    // A clip without subtitles and one without sound: the player looks both tracks up.
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("clip.mp4"), fixture("anamorphic.mkv")}));
    const auto quiet = [&] {
        return waitFor(
            [&] {
                if (s.doc().currentSessionCount() != 0)
                    return false;
                for (const auto &r : s.doc().cellArray())
                    if (r->hasSession())
                        return false;
                return !s.doc().wrBConverted();
            },
            240000);
    };
    click(s.window->wrConvertBtn());
    ASSERT_TRUE(quiet());
    const QStringList made = QDir(s.out).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(made, QStringList({"anamorphic.mov", "clip.mov", "short.mov"}));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(s.job(i)->isUpToDate()) << i;

    // The first row, selected since the list was filled, is deleted: the next one, never
    // shown before, is selected and loaded into the player; then the last one is.
    ASSERT_EQ(s.doc().currentIndex(), 0);
    s.key(Qt::Key_Delete);
    ASSERT_EQ(s.doc().numberOfRows(), 2);
    ASSERT_TRUE(playableWith(s, s.job(0)->editMovie()));
    s.key(Qt::Key_Down);
    ASSERT_TRUE(playableWith(s, s.job(1)->editMovie()));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(s.job(i)->isUpToDate()) << "showing row " << i << " changed what it converts to";

    s.questions.clear();
    click(s.window->wrConvertBtn());
    ASSERT_TRUE(quiet());
    EXPECT_EQ(s.questions.join(" | ").toStdString(), "Everything is already converted");
    EXPECT_EQ(QDir(s.out).entryList(QDir::Files, QDir::Name).join(" | ").toStdString(), made.join(" | ").toStdString())
        << "a finished row was converted again";
}
