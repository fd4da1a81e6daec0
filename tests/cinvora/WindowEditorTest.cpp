// The editor page of the main window: opened on a job with the page flip, trimmed and given
// other tracks through its own controls, moved through the list, left by its back button
// (the history then holds the trim and the tracks), and an export from it that lands in the
// export folder beside an earlier file without touching it, its sheet on the main window.
#include "ODEditPage.h"
#include "WindowDriver.h"

#include "../glazeform/GuiEvents.h"

#include <FlipController.h>
#include <glazeform/LXImage.h>
#include <reelwright/LXMediaConvertController.h>
#include <sendaway/LXProgressIndicator.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <gtest/gtest.h>

using namespace windowtest;
using testsupport::fixture;
using testsupport::waitFor;

namespace {

constexpr int kLong = 30000;

void press(QWidget *w) { gui::click(w, QPointF(w->width() / 2.0, w->height() / 2.0)); }

bool flipDone(Session &s) {
    return waitFor([&] { return !FlipController::runningFlip(s.window->editPanelView()->parentWidget()); }, 5000);
}

QVariantMap savedEntry(int i) { return vcHistory().read().value(i).toMap(); }

double videoDuration(const QString &path) {
    for (const auto &st : testsupport::ffprobe(path).value("streams").toArray())
        if (st.toObject().value("codec_type").toString() == "video")
            return st.toObject().value("duration").toString().toDouble();
    return -1;
}

} // namespace

TEST(WindowEditor, TrimAndTracksChosenInTheEditorAreInTheHistoryAfterReturning) {
    SWPlayer::setDefaultAudioOutput("null");
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("multi.mkv")}));
    click(s.row(1), QPointF(200, 20));
    ASSERT_EQ(s.doc().currentIndex(), 1);
    const LXMediaInfoPtr multi = s.doc().itemAt(1);

    // Ctrl+E, the menu entry's key, opens the editor page on the selected job.
    EXPECT_EQ(s.window->openInTrimEditorAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    QTest::keyClick(s.window.get(), Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(s.window->isEditPageShown());
    QPointer<LXMediaEditController> editor = s.window->mediaEditController();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->editMovie(), multi);
    EXPECT_TRUE(s.window->editPanelView()->isAncestorOf(editor));
    EXPECT_EQ(editor->nibName(), LXMediaEditController::kODNibName);
    FlipController *flip = FlipController::runningFlip(s.window->editPanelView()->parentWidget());
    ASSERT_NE(flip, nullptr);
    EXPECT_EQ(flip->durationMs(), 750);
    ASSERT_TRUE(flipDone(s));
    EXPECT_EQ(editor->size(), s.window->editPanelView()->size());
    // Dressed by the program: its own pictures, not the library's.
    EXPECT_EQ(editor->firstButton()->normalImage().cacheKey(), LXImage::named("ODEditFirstNormal.png").cacheKey());
    ASSERT_TRUE(waitFor([&] { return editor->playView()->isPlayable(); }, kLong));
    // The window's space bar plays the editor; its list keys are not taken on this page.
    EXPECT_TRUE(s.window->hotKeysRegistered());
    s.key(Qt::Key_Space);
    EXPECT_TRUE(waitFor([&] { return editor->isPlaying(); }, kLong));
    s.key(Qt::Key_Space);
    EXPECT_TRUE(waitFor([&] { return !editor->isPlaying(); }, kLong));
    s.key(Qt::Key_Delete);
    EXPECT_EQ(s.doc().numberOfRows(), 2);

    // The kept range from the play position, 2.0 s to 6.5 s.
    const double T = multi->totalDuration();
    editor->seekframe(2.0 / T);
    press(editor->leftCutApplyBtn());
    editor->seekframe(6.5 / T);
    press(editor->rightCutApplyBtn());
    EXPECT_NEAR(multi->trackStart(), 2.0, 1e-9);
    EXPECT_NEAR(multi->trackEnd(), 6.5, 1e-9);

    // Tracks: kept in the history the moment they are chosen.
    QTest::keyClick(editor->audioTracksBtn(), Qt::Key_Down);
    EXPECT_EQ(multi->audioStreamIndex(), 1);
    EXPECT_EQ(savedEntry(1).value("currentAudioTrackIdxKey").toInt(), 1);
    QTest::keyClick(editor->subTitlesBtn(), Qt::Key_Down); // "Disable SubTitle"
    QTest::keyClick(editor->subTitlesBtn(), Qt::Key_Down); // "Plugin SubTitle"
    ASSERT_TRUE(editor->subtitleChooser());
    editor->subtitleChooser()->selectFile(fixture("subs.srt"));
    static_cast<QDialog *>(editor->subtitleChooser())->accept();
    QApplication::processEvents();
    EXPECT_EQ(multi->srtSubtitleFile(), fixture("subs.srt"));
    EXPECT_EQ(savedEntry(1).value("currentPluginSubTitleKey").toString(), fixture("subs.srt"));

    // Previous item and back: the list's selection follows the editor.
    EXPECT_TRUE(editor->firstButton()->bEnabled());
    EXPECT_FALSE(editor->lastButton()->bEnabled());
    press(editor->firstButton());
    EXPECT_EQ(editor->editMovie(), s.doc().itemAt(0));
    EXPECT_EQ(s.doc().currentIndex(), 0);
    press(editor->lastButton());
    EXPECT_EQ(editor->editMovie(), multi);
    EXPECT_EQ(s.doc().currentIndex(), 1);
    editor->pauseWhenPlay();

    // Back to the list: the editor goes, the page flips, the row and the history show the trim.
    press(editor->backToHome());
    EXPECT_FALSE(s.window->isEditPageShown());
    EXPECT_EQ(s.window->mediaEditController(), nullptr);
    EXPECT_TRUE(waitFor([&] { return !editor; }, 5000)) << "the editor is released";
    EXPECT_TRUE(flipDone(s));
    EXPECT_EQ(s.window->mainPreviewView()->item(), multi);
    EXPECT_EQ(s.row(1)->durationLabel()->textTitle(), "00:04");
    const QVariantMap saved = savedEntry(1);
    EXPECT_EQ(saved.value("currentFilePath").toString(), fixture("multi.mkv"));
    EXPECT_DOUBLE_EQ(saved.value("currentTrackStartKey").toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(saved.value("currentTrackEndKey").toDouble(), 6.5);
    EXPECT_EQ(saved.value("currentAudioTrackIdxKey").toInt(), 1);
    EXPECT_EQ(saved.value("currentPluginSubTitleKey").toString(), fixture("subs.srt"));

    // The editor can be opened again on the same job, with its choices.
    s.window->beginToEditMovie();
    ASSERT_TRUE(s.window->mediaEditController());
    EXPECT_EQ(s.window->mediaEditController()->audioTracksBtn()->currentIndex(), 1);
    EXPECT_EQ(s.window->mediaEditController()->subTitlesBtn()->currentText(), "Plugin SubTitle");
    s.window->backToMainPage();
    EXPECT_FALSE(s.window->isEditPageShown());
}

TEST(WindowEditor, AnExportFromTheEditorIsNumberedInTheExportFolderWithItsSheetOnTheWindow) {
    SWPlayer::setDefaultAudioOutput("null");
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4")}));
    click(s.row(0), QPointF(200, 20));
    const LXMediaInfoPtr item = s.doc().itemAt(0);
    const QString ext = item->outputExt();
    ASSERT_FALSE(ext.isEmpty());
    const QString taken = QDir(s.out).filePath("short" + ext);
    {
        QFile f(taken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an earlier output");
    }
    item->setKeptRange(LXKeptRange::fromSeconds(1.0, 3.0));
    s.window->beginToEditMovie();
    LXMediaEditController *editor = s.window->mediaEditController();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(flipDone(s));
    EXPECT_EQ(editor->outputPath(), s.out);
    EXPECT_EQ(editor->editorWindow(), s.window.get());

    LXPopUpButton *menu = editor->exportTypePopupBtn();
    gui::press(menu, {10, 10});
    gui::release(menu, {10, 10});
    ASSERT_TRUE(menu->menuWindow());
    gui::press(menu->menuWindow()->rows()[0], {30, 10}); // "Local"
    gui::release(menu->menuWindow()->rows()[0], {30, 10});
    const auto exportRun = editor->lastExport();
    ASSERT_TRUE(exportRun);
    QPointer<LXExportWindowController> sheet = exportRun->exportWindow();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->parentWidget(), s.window.get());
    EXPECT_TRUE(sheet->isVisible());
    ASSERT_TRUE(
        waitFor([&] { return sheet->exportState() == LXExportWindowController::ExportState::Finished; }, 120000));

    const QString made = QDir(s.out).filePath("short(1)" + ext);
    EXPECT_EQ(exportRun->outputPath(), made);
    EXPECT_NEAR(videoDuration(made), 2.0, 0.04 + 1e-6);
    QFile old(taken);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "an earlier output");
    press(sheet->closeButton());
    EXPECT_TRUE(waitFor([] { return LXMediaConvertController::liveCount() == 0; }));

    // The picture of the editor page inside the main window.
    editor->seekframe(1.5 / item->totalDuration());
    waitFor([&] { return !editor->playView()->isSeeking() && !editor->playView()->currentFrame().isNull(); }, kLong);
    QDir().mkpath(QStringLiteral(CINVORA_BUILD_DIR "/shots"));
    EXPECT_TRUE(s.window->grab().save(QStringLiteral(CINVORA_BUILD_DIR "/shots/window-editor-page.png")));
    s.window->backToMainPage();
}
