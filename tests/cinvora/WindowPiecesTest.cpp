// The main window's pieces: rows at their frames, selection, keys, the recycled list, the
// format browser and its lock, the export folder, feedback, pages, sheets.
#include "FlipController.h"
#include "ODPreviewView.h"
#include "WindowDriver.h"

#include <foundation/NotificationCenter.h>
#include <foundation/Strings.h>
#include <glazeform/LXCustomScroller.h>
#include <glazeform/LXGeometry.h>
#include <glazeform/LXImage.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXPopUpButton.h>
#include <glazeform/LXSlider.h>
#include <glazeform/LXConverWin.h>
#include <reelwright/LXPlayerPlusEditorController.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWheelEvent>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace windowtest;
using testsupport::fixture;
using testsupport::waitFor;

namespace {

QRect qt(double x, double y, double w, double h) { return LXGeometry::qtRect(QRectF(x, y, w, h), 58); }

LXMediaInfoPtr probed(const QString &name) { return LXMediaInfo::initMediaInfoWithPath(fixture(name)); }

} // namespace

TEST(WindowRow, ControlsSitAtTheirFramesAndShowTheItem) {
    LXMediaInfoPtr item = probed("hd1080.mp4");
    item->setKeptRange(LXKeptRange::fromSeconds(0, 90));
    item->setOutputExt(".mp4");
    const vcTableCellViewPtr job = vcTableCellView::create(item);
    vcTableCellWidget row(412, nullptr);
    row.setJob(job);
    EXPECT_EQ(row.height(), 58);
    EXPECT_EQ(row.orgThumbView()->geometry(), qt(10, 5, 78, 50));
    EXPECT_EQ(row.orgNameLabel()->geometry(), qt(96, 36, 276, 18));
    EXPECT_EQ(row.fmtInfoBaseView()->geometry(), qt(96, 5, 276, 20));
    EXPECT_EQ(row.prgSlider()->geometry(), qt(96, 16, 276, 12));
    EXPECT_EQ(row.finishedLbl()->geometry(), qt(300, 1, 100, 13));
    EXPECT_EQ(row.odBrowserBtn()->geometry(), qt(380, 33, 24, 16));
    EXPECT_EQ(row.deleteItemBtn()->geometry(), qt(388, 15, 16, 16));
    EXPECT_EQ(row.stopConvert()->geometry(), qt(384, 15, 16, 16));
    EXPECT_EQ(row.odBrowserBtn()->toolTip(), "Show in Folder");
    EXPECT_EQ(row.deleteItemBtn()->toolTip(), "delete current item");
    EXPECT_EQ(row.stopConvert()->toolTip(), "stop convert");
    // The info line of a video: size, duration, format, each icon 14 points wide.
    ASSERT_EQ(row.resolutionIcon()->width(), 14);
    EXPECT_EQ(LXGeometry::frameOf(row.resolutionIcon()), QRectF(5, 6, 14, 12));
    EXPECT_EQ(LXGeometry::frameOf(row.resolutionLabel()), QRectF(21, 2, 60, 15));
    EXPECT_EQ(LXGeometry::frameOf(row.durationIcon()).x(), 14 + 5 + 2 + 60 + 2);
    EXPECT_EQ(LXGeometry::frameOf(row.durationLabel()).x(), 83 + 14 + 2);
    EXPECT_EQ(LXGeometry::frameOf(row.fmtIcon()).x(), 99 + 60 + 2);
    EXPECT_EQ(LXGeometry::frameOf(row.fmtLabel()).x(), 161 + 14 + 2);
    EXPECT_EQ(row.resolutionLabel()->textTitle(), "1920*1080");
    EXPECT_EQ(row.durationLabel()->textTitle(), "01:30");
    EXPECT_EQ(row.fmtLabel()->textTitle(), "mp4");
    EXPECT_EQ(row.orgNameLabel()->textTitle(), "hd1080.mp4");
    EXPECT_FALSE(row.orgThumbView()->pixmap().isNull());
    // A new row: unselected, idle controls.
    EXPECT_FALSE(row.isSelectedRow());
    EXPECT_TRUE(row.prgSlider()->isHidden());
    EXPECT_TRUE(row.finishedLbl()->isHidden());
    EXPECT_TRUE(row.stopConvert()->isHidden());
    EXPECT_FALSE(row.deleteItemBtn()->isHidden());
    EXPECT_EQ(row.backGroundImage().toImage(), LXImage::named("ODCellBarNormal.png").toImage());
    row.selectCurItem(true);
    EXPECT_EQ(row.backGroundImage().toImage(), LXImage::named("ODCellBarPress.png").toImage());

    // The row follows its job's controls, and a widget bound later gets them at once.
    job->turnToConvertingView();
    EXPECT_FALSE(row.stopConvert()->isHidden());
    EXPECT_TRUE(row.deleteItemBtn()->isHidden());
    EXPECT_TRUE(row.fmtInfoBaseView()->isHidden());
    EXPECT_EQ(row.finishedLbl()->textTitle(), vcTableCellView::waitingText());
    vcTableCellWidget other(412, nullptr);
    other.setJob(job);
    EXPECT_FALSE(other.stopConvert()->isHidden());
    EXPECT_EQ(other.finishedLbl()->textTitle(), vcTableCellView::waitingText());
    job->stopConvert();
    EXPECT_FALSE(other.finishedLbl()->isHidden());
    EXPECT_EQ(other.finishedLbl()->textTitle(), vcTableCellView::stoppedText());
    EXPECT_EQ(row.finishedLbl()->textTitle(), vcTableCellView::waitingText()); // no longer bound to that job
    other.setJob(nullptr);
}

TEST(WindowRow, AudioOnlyItemHasNoSizeAndRevealFallsBackToTheSource) {
    LXMediaInfoPtr item = probed("audio.mp3");
    ASSERT_FALSE(item->bSourceIsVideo());
    const vcTableCellViewPtr job = vcTableCellView::create(item);
    vcTableCellWidget row(412, nullptr);
    row.setJob(job);
    EXPECT_TRUE(row.resolutionIcon()->isHidden());
    EXPECT_TRUE(row.resolutionLabel()->isHidden());
    EXPECT_EQ(LXGeometry::frameOf(row.durationIcon()).x(), 5);
    EXPECT_EQ(LXGeometry::frameOf(row.durationLabel()).x(), 21);
    EXPECT_EQ(LXGeometry::frameOf(row.fmtIcon()).x(), 83);
    EXPECT_EQ(row.fmtLabel()->textTitle(), "mp3");
    // Never converted: the source is what the reveal button shows.
    EXPECT_EQ(vcTableCellWidget::revealTarget(*job), fixture("audio.mp3"));
    EXPECT_EQ(vcTableCellWidget::resolutionStr(1280, 720), "1280*720");
}

TEST(WindowList, ClicksSelectAndKeysMoveOnlyWhileTheWindowIsActive) {
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("mpeg4.avi"), fixture("hd1080.mp4")}));
    ASSERT_EQ(s.doc().currentIndex(), 0);
    click(s.row(1), QPointF(200, 20));
    EXPECT_EQ(s.doc().currentIndex(), 1);
    EXPECT_TRUE(s.row(1)->isSelectedRow());
    EXPECT_FALSE(s.row(0)->isSelectedRow());
    EXPECT_EQ(s.window->mainPreviewView()->item(), s.doc().itemAt(1));
    // A press on the thumbnail or a label is a press on the row.
    click(s.row(2), s.row(2)->orgThumbView()->geometry().center());
    EXPECT_EQ(s.doc().currentIndex(), 2);
    doubleClick(s.row(0), QPointF(200, 40));
    EXPECT_EQ(s.doc().currentIndex(), 0);

    ASSERT_TRUE(s.window->hotKeysRegistered());
    s.key(Qt::Key_Up);
    EXPECT_EQ(s.doc().currentIndex(), 2);
    s.key(Qt::Key_Down);
    EXPECT_EQ(s.doc().currentIndex(), 0);
    s.key(Qt::Key_Down);
    EXPECT_EQ(s.doc().currentIndex(), 1);
    int spaces = 0;
    QObject context;
    foundation::NotificationCenter::defaultCenter().addObserver(
        &context, "globalSpaceDownKey", [&](const QString &, const QVariantMap &) { ++spaces; });
    s.key(Qt::Key_Space);
    EXPECT_EQ(spaces, 1);

    // Another window becomes active: the keys stop; back again, they work.
    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(waitFor([&] { return !s.window->hotKeysRegistered(); }, 2000));
    s.key(Qt::Key_Down);
    EXPECT_EQ(s.doc().currentIndex(), 1);
    s.activate();
    ASSERT_TRUE(s.window->hotKeysRegistered());
    s.key(Qt::Key_Down);
    EXPECT_EQ(s.doc().currentIndex(), 2);
    // Delete on a row that does not convert removes it without asking.
    s.questions.clear();
    s.key(Qt::Key_Delete);
    EXPECT_TRUE(s.questions.isEmpty());
    EXPECT_EQ(s.doc().numberOfRows(), 2);
    EXPECT_EQ(s.doc().currentIndex(), 1);
    EXPECT_TRUE(s.row(1)->isSelectedRow());
}

TEST(WindowList, AThousandRowsLiveInAScreenfulOfWidgets) {
    Session s;
    const LXMediaInfoPtr probe = probed("short.mp4");
    for (int i = 0; i < 1000; ++i) {
        LXMediaInfoPtr item = probe->copyMovie();
        item->setFileName(QStringLiteral("/media/film%1.mp4").arg(i, 4, 10, QChar('0')));
        s.doc().addMovie(item);
    }
    vcTableView *table = s.window->comboBoxTableView();
    ASSERT_EQ(table->numberOfRows(), 1000);
    const int onScreen = table->height() / vcTableView::tableCellRowHgt + 2;
    EXPECT_LE(table->rowWidgetCount(), onScreen);
    EXPECT_EQ(table->verticalScroller()->maximum(), 1000 * 58 - table->viewport()->height());
    // Selecting rows far down scrolls them into view, bound to the right jobs.
    for (int i : {999, 500, 3, 998}) {
        s.doc().fetchEditMovieAtIndex(i);
        vcTableCellWidget *w = table->widgetAtRow(i);
        ASSERT_NE(w, nullptr) << i;
        EXPECT_EQ(w->orgNameLabel()->textTitle(), QStringLiteral("film%1.mp4").arg(i, 4, 10, QChar('0')));
        EXPECT_TRUE(w->isSelectedRow());
        const QRect g = w->geometry();
        EXPECT_GE(g.top(), 0);
        EXPECT_LE(g.bottom(), table->viewport()->height());
    }
    EXPECT_LE(table->rowWidgetCount(), onScreen);
    // Every visible row shows its own job, once.
    QSet<const vcTableCellView *> shown;
    for (int64_t r = table->firstVisibleRow(); r <= table->lastVisibleRow(); ++r) {
        vcTableCellWidget *w = table->widgetAtRow(r);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->job().get(), s.job(int(r)).get());
        EXPECT_EQ(w->geometry().top(), int(r * 58 - table->scrollOffset()));
        shown.insert(w->job().get());
    }
    EXPECT_EQ(shown.size(), table->lastVisibleRow() - table->firstVisibleRow() + 1);
    // The wheel scrolls by pixels and rebinds the rows that come into view.
    const int before = table->scrollOffset();
    QWheelEvent wheel(QPointF(100, 100), table->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(table, &wheel);
    EXPECT_GT(table->scrollOffset(), before);
    vcTableCellWidget *top = table->widgetAtRow(table->firstVisibleRow());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->job().get(), s.job(int(table->firstVisibleRow())).get());
    EXPECT_LE(table->rowWidgetCount(), onScreen);
    // Removing every row asks first.
    click(s.window->wrRemoveAllBtn());
    EXPECT_EQ(s.doc().numberOfRows(), 1000); // "No"
    s.answers = {foundation::AlertButton::Alternate};
    click(s.window->wrRemoveAllBtn());
    EXPECT_EQ(s.doc().numberOfRows(), 0);
    EXPECT_TRUE(s.window->tipView()->isVisible());
    EXPECT_FALSE(s.window->wrConvertBtn()->bEnabled());
    EXPECT_EQ(s.window->mainPreviewView()->item(), nullptr);
    EXPECT_EQ(table->lastVisibleRow() - table->firstVisibleRow(), -1);
    EXPECT_EQ(s.window->itemCountLbl()->textTitle(), "");
}

TEST(WindowBrowser, EveryFormatHasItsPictureAndTheGridChoosesForEveryJob) {
    Session s;
    const FormatCatalogue &catalogue = FormatCatalogue::shared();
    ASSERT_FALSE(catalogue.categories().isEmpty());
    LXThumbImageTableView *grid = s.window->thumbImageTableView();
    for (const QString &category : catalogue.categories()) {
        const std::vector<FormatRecord> &formats = catalogue.formatsIn(category);
        for (const FormatRecord &f : formats)
            EXPECT_TRUE(LXImage::exists(LXThumbImageTableView::pictureNameForKey("OD", f.key.catalogueKey()) + ".png"))
                << f.key.catalogueKey().toStdString();
        grid->loadCategoryByMainKeyWithPrefix(category, "OD");
        ASSERT_EQ(grid->cells().size(), formats.size());
        for (LXImageCellView *cell : grid->cells())
            EXPECT_FALSE(cell->image().isNull()) << cell->cellTitle().toStdString();
    }
    // At start: Apple Device, with Quicktime Movie highlighted.
    s.window->showCategory(s.doc().mainKey(), s.doc().selectMediaType());
    s.window->selectLastExportType();
    ASSERT_NE(s.cell("Quicktime Movie"), nullptr);
    EXPECT_TRUE(s.cell("Quicktime Movie")->bSelected());
    EXPECT_EQ(s.window->categoryButtons()[0]->normalImage().toImage(), LXImage::named("ODMediaTypeBtn.png").toImage());
    EXPECT_TRUE(s.window->categoryButtons()[1]->normalImage().isNull());

    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("audio.mp3")}));
    // "Web Video" / "WebM" goes to both jobs; a job's frame size survives its selection.
    click(s.category("Web Video"));
    EXPECT_EQ(grid->currentKey(), "Web Video");
    click(s.cell("WebM"), QPointF(30, 60));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(s.row(i)->fmtLabel()->textTitle(), "webm") << i;
    const LXMediaInfoPtr video = s.doc().itemAt(0);
    video->setWidth(640);
    video->setHeight(360);
    s.window->refreshRow(s.job(0));
    click(s.row(1), QPointF(200, 20));
    // The audio-only job locks the browser to its category.
    EXPECT_EQ(grid->currentKey(), "Audio");
    EXPECT_FALSE(grid->canChangeCategory());
    click(s.category("Web Video"));
    EXPECT_EQ(grid->currentKey(), "Audio");
    EXPECT_EQ(s.window->categoryButtons()[3]->normalImage().toImage(), LXImage::named("ODMediaTypeBtn.png").toImage());
    click(s.row(0), QPointF(200, 20));
    EXPECT_TRUE(grid->canChangeCategory());
    // The grid follows the selected row: the video job's format is Web Video / WebM.
    EXPECT_EQ(grid->currentKey(), "Web Video");
    ASSERT_NE(s.cell("WebM"), nullptr);
    EXPECT_TRUE(s.cell("WebM")->bSelected());
    click(s.category("Web Video"));
    EXPECT_EQ(grid->currentKey(), "Web Video");
    EXPECT_EQ(video->width(), 640u);
    EXPECT_EQ(video->height(), 360u);
    EXPECT_EQ(s.row(0)->resolutionLabel()->textTitle(), "640*360");
}

namespace {
struct EditorHookWindow : ODMyDocumentWindow {
    QStringList opened;
    void showMediaInfoEdit(int index, const QString &key) override {
        opened << QStringLiteral("%1 %2").arg(index).arg(key);
    }
};
} // namespace

TEST(WindowBrowser, ACellsSettingsButtonChoosesTheFormatAndOpensTheEditorHook) {
    vcHistory().write({});
    vcFormatChoice::clearStored();
    EditorHookWindow w;
    w.show();
    LXImageCellView *quicktime = nullptr;
    for (LXImageCellView *c : w.thumbImageTableView()->cells())
        if (c->cellTitle() == "Quicktime Movie")
            quicktime = c;
    ASSERT_NE(quicktime, nullptr);
    ASSERT_TRUE(quicktime->bSelected());
    ASSERT_FALSE(quicktime->settingBtn()->isHidden());
    click(quicktime->settingBtn());
    EXPECT_EQ(w.opened, QStringList({"0 Quicktime Movie"}));
}

TEST(WindowExportFolder, PopupOffersTheFolderAndOthersAndStoresTheChoice) {
    Session s;
    LXPopUpButton *popup = s.window->selectDirectoryBtn();
    EXPECT_EQ(popup->menuItems(), QStringList({s.out, "Others..."}));
    EXPECT_EQ(s.window->wrVideoPathLbl()->textTitle(), s.out);
    const QString chosen = testsupport::freshDir("chosen");
    QString startedAt;
    ODMyDocumentWindow::setFolderChooserForTesting([&](const QString &start) {
        startedAt = start;
        return std::optional(chosen);
    });
    click(popup);
    ASSERT_NE(popup->menuWindow(), nullptr);
    LXMenuItem *others = popup->menuWindow()->rows().at(1);
    click(others);
    EXPECT_EQ(startedAt, s.out);
    EXPECT_EQ(vcCommon::exportMovieFolder(), chosen);
    EXPECT_EQ(s.window->wrVideoPathLbl()->textTitle(), chosen);
    EXPECT_EQ(popup->menuItems(), QStringList({chosen, "Others..."}));
    EXPECT_TRUE(vcCommon::readBookmark().contains(chosen));
    // A cancelled chooser changes nothing; the pop-up is rebuilt all the same.
    ODMyDocumentWindow::setFolderChooserForTesting([](const QString &) { return std::optional<QString>(); });
    s.window->exportFolderItemChosen(1);
    EXPECT_EQ(vcCommon::exportMovieFolder(), chosen);
    EXPECT_EQ(popup->menuItems(), QStringList({chosen, "Others..."}));
    EXPECT_EQ(popup->selectIndex(), 0);
}

TEST(WindowFeedback, MailLinkAndSupportPage) {
    EXPECT_EQ(ODMyDocumentWindow::mailLink("help@example.org", "Cinvora Feedback", "Hello there"),
              "mailto:help@example.org?subject=Cinvora%20Feedback&body=Hello%20there");
    EXPECT_EQ(ODMyDocumentWindow::mailLink("", "s", "b"), "");
    EXPECT_EQ(ODMyDocumentWindow::mailLink("no address", "s", "b"), "");
    EXPECT_EQ(ODMyDocumentWindow::mailLink("@example.org", "s", "b"), "");
    Session s;
    click(s.window->feedbackBtn());
    ASSERT_EQ(s.revealed.size(), 1);
    const QString link =
        ODMyDocumentWindow::mailLink(s.window->mailbox(), "Cinvora Feedback", foundation::tr_("MAILBODY"));
    ASSERT_FALSE(link.isEmpty());
    EXPECT_EQ(s.revealed[0], "open " + QUrl(link, QUrl::TolerantMode).toString());
    EXPECT_TRUE(link.startsWith("mailto:support@"));
    EXPECT_FALSE(link.contains(' '));
    click(s.window->supportBtn());
    ASSERT_EQ(s.revealed.size(), 2);
    EXPECT_EQ(s.revealed[1], "open " + ODMyDocumentWindow::facebookLink());
    EXPECT_EQ(ODMyDocumentWindow::applicationMenuTitles(),
              QStringList({"Cinvora", "About Cinvora", "Hide Cinvora", "Quit Cinvora"}));
    QStringList actions;
    for (QAction *a : s.window->appMenu()->actions())
        if (!a->isSeparator())
            actions << a->text();
    EXPECT_EQ(actions, QStringList({"About Cinvora", "Open in Player Window", "Open in Trim Editor", "Hide Cinvora",
                                    "Quit Cinvora"}));
}

TEST(WindowPages, TheFlipLastsThreeQuartersOfASecondAndReturningSavesTheList) {
    Session s;
    s.window->beginToEditMovie();
    EXPECT_FALSE(s.window->isEditPageShown()); // nothing selected, nothing to edit
    ASSERT_TRUE(s.add({fixture("short.mp4")}));
    s.window->beginToEditMovie();
    EXPECT_TRUE(s.window->isEditPageShown());
    EXPECT_TRUE(s.window->mainPanelView()->isHidden());
    FlipController *flip = FlipController::runningFlip(s.window->editPanelView()->parentWidget());
    ASSERT_NE(flip, nullptr);
    EXPECT_EQ(flip->durationMs(), 750);
    ASSERT_TRUE(waitFor([&] { return !FlipController::runningFlip(s.window->editPanelView()->parentWidget()); }, 5000));
    // Keys do not move the list under the editor.
    s.key(Qt::Key_Delete);
    EXPECT_EQ(s.doc().numberOfRows(), 1);
    s.doc().itemAt(0)->setKeptRange(s.doc().itemAt(0)->keptRange().withStart(1.5));
    s.window->backToMainPage();
    EXPECT_FALSE(s.window->isEditPageShown());
    const QVariantList saved = vcHistory().read();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_DOUBLE_EQ(saved[0].toMap().value("currentTrackStartKey").toDouble(), 1.5);
    EXPECT_EQ(s.window->mainPreviewView()->item(), s.doc().itemAt(0));
}

namespace {
struct CancelRecorder : ProgressControllerDelegate {
    int cancels = 0;
    void cancelAddFiles(bool cancel) override { cancels += cancel; }
};
} // namespace

TEST(WindowSheets, IntakeSheetShowsProgressAndCancels) {
    QWidget parent;
    parent.resize(800, 600);
    parent.show();
    ODProgressController sheet(&parent, true);
    CancelRecorder recorder;
    sheet.setDelegate(&recorder);
    sheet.showOnWindow(&parent);
    EXPECT_TRUE(sheet.isVisible());
    // It blocks nothing: the window closes and quits while files come in.
    EXPECT_EQ(sheet.windowModality(), Qt::NonModal);
    sheet.updateAddProgressPercent(33.3);
    EXPECT_NEAR(sheet.prgIndicator()->sliderPos(), 0.333, 0.01);
    EXPECT_EQ(sheet.textField()->textTitle(), "loading...");
    ASSERT_NE(sheet.cancelButton(), nullptr);
    click(sheet.cancelButton());
    EXPECT_EQ(recorder.cancels, 1);
    EXPECT_TRUE(sheet.bCancelAdd());
    sheet.endSheet();
    EXPECT_FALSE(sheet.isVisible());
    // The rebuild's sheet cancels too, by its button or by Esc.
    ODProgressController rebuild(&parent, false);
    rebuild.setDelegate(&recorder);
    rebuild.showOnWindow(&parent);
    ASSERT_NE(rebuild.cancelButton(), nullptr);
    EXPECT_EQ(rebuild.cancelButton()->text(), "Cancel");
    EXPECT_EQ(rebuild.cancelButton()->accessibleName(), "Cancel");
    QTest::keyClick(&rebuild, Qt::Key_Escape);
    EXPECT_EQ(recorder.cancels, 2);
    rebuild.endSheet();

    // The window's sheet is the document's: shown, updated, closed.
    Session s;
    s.window->showAddProgress(true);
    ASSERT_NE(s.window->addProgressController(), nullptr);
    EXPECT_EQ(s.window->addProgressController()->delegate(), static_cast<ProgressControllerDelegate *>(s.window.get()));
    s.window->updateAddProgress(50);
    EXPECT_EQ(s.window->addProgressController()->percent(), 50);
    s.window->stopAddProgress();
    EXPECT_EQ(s.window->addProgressController(), nullptr);
}

TEST(WindowSheets, SettingsSheetIsAnsweredByTheDocument) {
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4")}));
    click(s.window->settingBtn());
    ODSettingController *sheet = s.window->settingController();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->settingControllerDelegate(), static_cast<SettingControllerDelegate *>(s.window.get()));
    // A folder chosen in the sheet is kept (bookmark) and shown by the window.
    const QString chosen = testsupport::freshDir("sheet");
    SettingController::setFolderChooserForTesting([&](const QString &) { return std::optional(chosen); });
    click(sheet->browserBtn());
    SettingController::setFolderChooserForTesting({});
    EXPECT_TRUE(vcCommon::readBookmark().contains(chosen));
    EXPECT_EQ(s.window->wrVideoPathLbl()->textTitle(), chosen);
    // Clearing the history empties the list.
    click(sheet->clearHistoryBtn());
    EXPECT_EQ(s.doc().numberOfRows(), 0);
    EXPECT_TRUE(vcHistory().read().isEmpty());
    // A second press replaces the sheet.
    QPointer<ODSettingController> first(sheet);
    click(s.window->settingBtn());
    EXPECT_NE(s.window->settingController(), nullptr);
    EXPECT_TRUE(first.isNull());
}

TEST(WindowList, HalfOfAThousandRowsGoTogetherInOnePass) {
    Session s;
    const LXMediaInfoPtr probe = probed("short.mp4");
    auto name = [](int i) { return QStringLiteral("film%1.mp4").arg(i, 4, 10, QChar('0')); };
    for (int i = 0; i < 1000; ++i) {
        LXMediaInfoPtr item = probe->copyMovie();
        item->setFileName(QStringLiteral("/media/") + name(i));
        s.doc().addMovie(item);
    }
    s.doc().saveHistoryFile();
    // One save of the whole list, to weigh the removal against.
    QElapsedTimer one;
    one.start();
    s.doc().saveHistoryFile();
    const qint64 oneSaveMs = std::max<qint64>(one.elapsed(), 1);
    // Every even row, picked with Ctrl from the first.
    s.doc().selectItemAtIndex(0);
    for (int i = 2; i < 1000; i += 2)
        s.doc().selectIndexWithMode(i, vcSelectMode::Toggle);
    ASSERT_EQ(s.doc().selectedCount(), 500);
    QElapsedTimer t;
    t.start();
    s.key(Qt::Key_Delete);
    const qint64 tookMs = t.elapsed();
    ASSERT_EQ(s.doc().numberOfRows(), 500);
    // A save per row would take hundreds of saves' time; one pass takes a few.
    EXPECT_LT(tookMs, 20 * oneSaveMs + 200) << "one save: " << oneSaveMs << " ms";
    const QVariantList saved = vcHistory().read();
    ASSERT_EQ(saved.size(), 500);
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(s.job(i)->idx(), i);
        EXPECT_EQ(s.doc().itemAt(i)->editMovieIndex(), uint64_t(i));
        EXPECT_EQ(QFileInfo(saved[i].toMap().value("currentFilePath").toString()).fileName(), name(2 * i + 1));
    }
    // The row that moved into the first gap is the selection and the current item.
    EXPECT_EQ(s.doc().currentIndex(), 0);
    EXPECT_EQ(s.doc().selectedCount(), 1);
    EXPECT_EQ(s.window->mainPreviewView()->item(), s.doc().itemAt(0));
    vcTableView *table = s.window->comboBoxTableView();
    for (int64_t r = table->firstVisibleRow(); r <= table->lastVisibleRow(); ++r) {
        vcTableCellWidget *w = table->widgetAtRow(r);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->orgNameLabel()->textTitle(), name(int(2 * r + 1)));
        EXPECT_EQ(w->isSelectedRow(), r == 0) << r;
    }
}

TEST(WindowList, FilesDroppedOnARowJoinTheListAndOtherDragsAreRefused) {
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4")}));
    vcTableCellWidget *row = s.row(0);
    ASSERT_TRUE(dropFiles(row, {fixture("mpeg4.avi")}));
    ASSERT_TRUE(waitFor([&] { return s.doc().numberOfRows() == 2; }, 60000));
    ASSERT_TRUE(s.idle());
    EXPECT_EQ(s.doc().itemAt(1)->fileName(), fixture("mpeg4.avi"));
    // A drag that carries text and no file is not taken, on a row or on the list.
    QMimeData text;
    text.setText("just words");
    const QPoint at = row->mapTo(s.window.get(), QPoint(200, 20));
    QDragEnterEvent enter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(s.window->windowHandle(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST(WindowStart, FilesFromTheCommandLineJoinTheRestoredListOnce) {
    const QString rel = QDir::current().relativeFilePath(fixture("hd1080.mp4"));
    EXPECT_EQ(ODMyDocumentWindow::filesFromArguments(
                  {"--verbose", "/no/such/file.mp4", QUrl::fromLocalFile(fixture("audio.mp3")).toString(), rel}),
              QStringList({"/no/such/file.mp4", fixture("audio.mp3"), fixture("hd1080.mp4")}));
    Session s;
    ASSERT_TRUE(s.add({fixture("short.mp4")}));
    // A new start: the rebuild runs while the arguments wait for it.
    s.window.reset();
    s.window = std::make_unique<ODMyDocumentWindow>();
    s.window->show();
    s.doc().loadHistoryAtLuanch();
    s.window->addFilesAfterRestore(
        ODMyDocumentWindow::filesFromArguments({fixture("short.mp4"), fixture("mpeg4.avi")}));
    ASSERT_TRUE(waitFor([&] { return s.doc().numberOfRows() == 2; }, 60000));
    ASSERT_TRUE(s.idle());
    QTest::qWait(200);
    EXPECT_EQ(s.doc().numberOfRows(), 2);
    EXPECT_EQ(s.doc().itemAt(0)->fileName(), fixture("short.mp4"));
    EXPECT_EQ(s.doc().itemAt(1)->fileName(), fixture("mpeg4.avi"));
}

TEST(WindowBrowser, TheSettingsButtonOpensTheParameterEditorWhoseSaveGoesToEveryJob) {
    Session s;
    // Without a selected job nothing opens.
    LXImageCellView *quicktime = s.cell("Quicktime Movie");
    ASSERT_NE(quicktime, nullptr);
    click(quicktime->settingBtn());
    EXPECT_EQ(s.window->mediaInfoEdit(), nullptr);

    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("mpeg4.avi")}));
    s.window->selectLastExportType();
    quicktime = s.cell("Quicktime Movie");
    ASSERT_TRUE(quicktime->bSelected());
    click(quicktime->settingBtn());
    ODMediaInfoEdit *editor = s.window->mediaInfoEdit();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->mediaInfoEditDelegate(), static_cast<ODMediaInfoEditDelegate *>(s.window.get()));
    EXPECT_EQ(editor->editMovie()->fileName(), fixture("short.mp4"));
    const int hd = int(editor->editMovie()->resolutions().indexOf(LXFrameSize{1280, 720}));
    ASSERT_GE(hd, 0);
    editor->selectVideoResolution(hd);
    editor->saveMedia();
    ASSERT_TRUE(waitFor([&] { return s.window->mediaInfoEdit() == nullptr; }, 2000));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(s.doc().itemAt(i)->width(), 1280u) << i;
        EXPECT_EQ(s.row(i)->resolutionLabel()->textTitle(), "1280*720") << i;
    }
    // Selecting another job keeps the size the editor gave it.
    click(s.row(1), QPointF(200, 20));
    EXPECT_EQ(s.doc().itemAt(1)->height(), 720u);
}

TEST(WindowPlayer, CtrlReturnOpensTheSelectedJobInThePlayerWindowWhoseTrimsTheListKeeps) {
    SWPlayer::setDefaultAudioOutput("null");
    Session s;
    // Nothing selected, nothing opens.
    QTest::keyClick(s.window.get(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(s.window->playerWindow(), nullptr);
    ASSERT_TRUE(s.add({fixture("short.mp4"), fixture("clip.mp4")}));
    click(s.row(1), QPointF(200, 20));
    ASSERT_TRUE(s.row(1)->isSelectedRow());
    EXPECT_EQ(s.window->openInPlayerWindowAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Return));

    QTest::keyClick(s.window.get(), Qt::Key_Return, Qt::ControlModifier);
    QPointer<LXPlayerPlusEditorController> plus = s.window->playerWindow();
    ASSERT_NE(plus, nullptr);
    const LXMediaInfoPtr item = s.job(1)->editMovie();
    EXPECT_EQ(plus->editMovie(), item);
    QPointer<LXDragWindow> win = plus->dragWindow();
    ASSERT_NE(win, nullptr);
    EXPECT_TRUE(win->isVisible());
    EXPECT_TRUE(win->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(win->parentWidget(), s.window.get()) << "it goes with the main window";
    ASSERT_TRUE(waitFor([&] { return plus->playView()->isPlayable(); }, 30000));

    // A trim made there is the job's, and the list is saved when the window goes back.
    plus->enterPlayerArea(plus->playView());
    ASSERT_TRUE(plus->isFullControlShown());
    plus->trimVideo();
    plus->leftCutPosition(5.0 / item->totalDuration());
    click(plus->trimButton());
    EXPECT_NEAR(item->trackStart(), 5.0, 1e-6);
    click(plus->backButton());
    EXPECT_FALSE(win->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(plus.isNull());
    EXPECT_EQ(LXConverWin::convertWin(), nullptr);
    const QVariantList saved = vcHistory().read();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_NEAR(saved[1].toMap().value("currentTrackStartKey").toDouble(), 5.0, 1e-6);

    // Through the menu's entry, and again: one player window at a time.
    s.window->openInPlayerWindowAction()->trigger();
    QPointer<LXPlayerPlusEditorController> first = s.window->playerWindow();
    ASSERT_NE(first, nullptr);
    click(s.row(0), QPointF(200, 20));
    s.window->openInPlayerWindowAction()->trigger();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(s.window->playerWindow(), nullptr);
    EXPECT_EQ(s.window->playerWindow()->editMovie(), s.job(0)->editMovie());
    // Closing the main window takes the player window with it.
    QPointer<LXDragWindow> last = s.window->playerWindow()->dragWindow();
    s.window.reset();
    EXPECT_TRUE(last.isNull());
}
