// The export progress sheet: its states, texts, time texts, the cancel question, the
// finished and failed states, window classes by name; and a picture of it.
#include <sendaway/LXExportWindowController.h>
#include <sendaway/LXProgressIndicator.h>

#include <foundation/Alerts.h>

#include <glazeform/LXGeometry.h>
#include <glazeform/LXLabel.h>

#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using Alert = foundation::AlertButton;
using State = LXExportWindowController::ExportState;

namespace {

void click(QWidget *w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

struct Owner : LXExportWindowControllerDelegate {
    QStringList calls;
    LXButton *browsed = nullptr;
    void startPublish(LXExportWindowController *) override { calls << "start"; }
    void pauseExport(LXExportWindowController *) override { calls << "pause"; }
    void continueExport(LXExportWindowController *) override { calls << "continue"; }
    void cancelExport(LXExportWindowController *) override { calls << "cancel"; }
    void browseExport(LXButton *sender) override {
        calls << "browse";
        browsed = sender;
    }
};

class Sheet : public ::testing::Test {
protected:
    QWidget window;
    Owner owner;
    std::vector<foundation::AlertRequest> asked;
    std::optional<Alert> answer;

    void SetUp() override {
        window.resize(800, 500);
        window.show();
        foundation::Alerts::setResponderForTesting([this](const foundation::AlertRequest &r) {
            asked.push_back(r);
            return answer;
        });
    }
    void TearDown() override { foundation::Alerts::setResponderForTesting({}); }

    // A sheet as the export conversion sets it up.
    std::unique_ptr<LXExportWindowController> converting() {
        std::unique_ptr<LXExportWindowController> w(LXExportWindowController::shareWindowController());
        w->setExportWinDelegate(&owner);
        w->enableCancelButton();
        w->beginSheet(&window);
        w->conversionStarted();
        return w;
    }
};

} // namespace

TEST(ExportTexts, DurationsAreUnpaddedWithTheirUnit) {
    EXPECT_EQ(LXExportWindowController::timeToFormatString(0), "0(s)");
    EXPECT_EQ(LXExportWindowController::timeToFormatString(9), "9(s)");
    EXPECT_EQ(LXExportWindowController::timeToFormatString(59), "59(s)");
    EXPECT_EQ(LXExportWindowController::timeToFormatString(60), "1:0(s)");
    EXPECT_EQ(LXExportWindowController::timeToFormatString(65), "1:5(s)");
    EXPECT_EQ(LXExportWindowController::timeToFormatString(3600), "1:0:0(s)");
    EXPECT_EQ(LXExportWindowController::timeToFormatString(3725), "1:2:5(s)");
    EXPECT_EQ(LXExportWindowController::timeToFormatString(-5), "0(s)");
}

TEST(ExportTexts, PlaceholdersAreFilledInOrder) {
    EXPECT_EQ(LXExportWindowController::formatString("%@ past, about %@", {"1(s)", "2(s)"}), "1(s) past, about 2(s)");
    EXPECT_EQ(LXExportWindowController::formatString("Uploading ( %d %@ )", {"42", "%"}), "Uploading ( 42 % )");
    EXPECT_EQ(LXExportWindowController::formatString("100%% of %@", {"x"}), "100% of x");
    EXPECT_EQ(LXExportWindowController::formatString("%@ and %@", {"one"}), "one and ");
}

TEST(ExportTexts, TheLibrarysTableGivesTheWordingAndMissingKeysTheirDefaults) {
    std::unique_ptr<LXExportWindowController> w(LXExportWindowController::shareWindowController());
    EXPECT_EQ(w->cancelButton()->textTitle(), "Cancel"); // the built-in default would be "Login."
    EXPECT_EQ(w->progressText()->textTitle(), "Exporting the movie...");
    EXPECT_EQ(LXExportWindowController::localizedString("Lan_TimeNeed", "x"), "%@ past, about %@ left");
    EXPECT_EQ(LXExportWindowController::localizedString("Lan_No_Such_Key", "Fallback."), "Fallback.");
    EXPECT_EQ(LXExportWindowController::bundle(), "com.Vantrel.Sendaway");
    EXPECT_EQ(w->windowNibName(), "MovieBuildingWin");
}

TEST_F(Sheet, ShowsOnItsWindowWithProgressAndTimes) {
    auto w = converting();
    EXPECT_EQ(w->parentWidget(), &window);
    EXPECT_EQ(w->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->exportState(), State::Converting);
    EXPECT_TRUE(w->cancelButton()->isVisible());
    EXPECT_TRUE(w->cancelButton()->bEnabled());
    EXPECT_FALSE(w->browseButton()->isVisible());
    EXPECT_FALSE(w->closeButton()->isVisible());
    // It hangs from the top of its window, centred.
    EXPECT_EQ(w->geometry().center().x(), window.geometry().center().x());

    w->exportAtPercent(42.5);
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 42.5);
    w->exportAtPercent(250);
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 100.0);
    w->exportAtPercent(-3);
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 0.0);
    w->exportTimePastAndLeave(65.9, 3725.2);
    EXPECT_EQ(w->leaveTimeTip()->textTitle(), "1:5(s) past, about 1:2:5(s) left");
    w->exportTimePastAndLeave(3.0, std::numeric_limits<double>::infinity());
    EXPECT_EQ(w->leaveTimeTip()->textTitle(), "3(s) past, about 0(s) left");
}

TEST_F(Sheet, AnsweringNoResumesAndYesCancelsThenCloses) {
    auto w = converting();
    answer = Alert::Alternate;
    click(w->cancelButton());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Stop the export?");
    EXPECT_EQ(asked[0].defaultButton, "Yes");
    EXPECT_EQ(asked[0].alternateButton, "No");
    EXPECT_EQ(owner.calls, (QStringList{"pause", "continue"}));
    EXPECT_EQ(w->exportState(), State::Converting);
    EXPECT_TRUE(w->cancelButton()->bEnabled());

    int closedSignals = 0;
    QObject::connect(w.get(), &LXExportWindowController::exportWindowClosed, [&] { ++closedSignals; });
    w->setExportFilePath("/tmp/x.mov");
    w->setExportFormat("mov");
    answer = Alert::Default;
    click(w->cancelButton());
    EXPECT_EQ(owner.calls, (QStringList{"pause", "continue", "pause", "cancel"}));
    EXPECT_EQ(w->exportState(), State::Cancelling);
    EXPECT_TRUE(w->isVisible()); // until the owner reports the cancelled conversion
    w->canceledConvert();
    EXPECT_EQ(w->exportState(), State::Closed);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->exportFilePath().isEmpty());
    EXPECT_TRUE(w->exportFormat().isEmpty());
    w->closeWindow();
    EXPECT_EQ(closedSignals, 1);
}

TEST_F(Sheet, OneQuestionAtATimeAndEscapeAsksInsteadOfClosing) {
    auto w = converting();
    answer.reset(); // the question opens and waits for the user
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &escape);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(w->exportState(), State::Confirming);
    EXPECT_TRUE(w->isVisible());
    click(w->cancelButton());
    w->reject();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(owner.calls, QStringList{"pause"});
    auto boxes = w->findChildren<QMessageBox *>();
    ASSERT_EQ(boxes.size(), 1);
    // The question is a sheet on the export sheet; "No" goes on converting.
    EXPECT_EQ(boxes[0]->windowModality(), Qt::WindowModal);
    QAbstractButton *no = nullptr;
    for (QAbstractButton *b : boxes[0]->buttons())
        if (b->text() == "No")
            no = b;
    ASSERT_TRUE(no);
    no->click();
    EXPECT_EQ(owner.calls, (QStringList{"pause", "continue"}));
    EXPECT_EQ(w->exportState(), State::Converting);
}

TEST_F(Sheet, AnAnswerAfterTheExportEndedChangesNothing) {
    auto w = converting();
    answer.reset();
    click(w->cancelButton());
    auto boxes = w->findChildren<QMessageBox *>();
    ASSERT_EQ(boxes.size(), 1);
    w->turnToFinishedState(); // the last frames were written before the hold
    QAbstractButton *yes = nullptr;
    for (QAbstractButton *b : boxes[0]->buttons())
        if (b->text() == "Yes")
            yes = b;
    ASSERT_TRUE(yes);
    yes->click();
    EXPECT_EQ(owner.calls, QStringList{"pause"});
    EXPECT_EQ(w->exportState(), State::Finished);
}

TEST_F(Sheet, FinishedStateOffersBrowseAndLater) {
    auto w = converting();
    const QRectF browseBefore = LXGeometry::frameOf(w->browseButton());
    const QRectF closeBefore = LXGeometry::frameOf(w->closeButton());
    ASSERT_NE(browseBefore, closeBefore);
    w->exportTimePastAndLeave(3, 4);
    w->turnToFinishedState();
    EXPECT_EQ(w->exportState(), State::Finished);
    EXPECT_EQ(LXGeometry::frameOf(w->browseButton()), closeBefore);
    EXPECT_EQ(LXGeometry::frameOf(w->closeButton()), browseBefore);
    EXPECT_TRUE(w->browseButton()->isVisible());
    EXPECT_TRUE(w->closeButton()->isVisible());
    EXPECT_EQ(w->closeButton()->textTitle(), "Later");
    EXPECT_EQ(w->browseButton()->textTitle(), "Show in Folder");
    EXPECT_FALSE(w->cancelButton()->isVisible());
    EXPECT_FALSE(w->leaveTimeTip()->isVisible());
    EXPECT_EQ(w->progressText()->textTitle(), "Export successfully");

    click(w->browseButton());
    EXPECT_EQ(owner.calls, QStringList{"browse"});
    EXPECT_EQ(owner.browsed, w->browseButton());
    EXPECT_TRUE(w->isVisible()); // closing is the owner's part of browsing
    click(w->closeButton());
    EXPECT_EQ(w->exportState(), State::Closed);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(Sheet, FailedStateOnlyCloses) {
    auto w = converting();
    w->failedConvert("no video encoder for the avi container");
    EXPECT_EQ(w->exportState(), State::Failed);
    EXPECT_EQ(w->progressText()->textTitle(), "The export failed.");
    EXPECT_EQ(w->leaveTimeTip()->textTitle(), "no video encoder for the avi container");
    EXPECT_FALSE(w->cancelButton()->isVisible());
    EXPECT_FALSE(w->browseButton()->isVisible());
    EXPECT_TRUE(w->closeButton()->isVisible());
    EXPECT_EQ(w->closeButton()->textTitle(), "Close");
    click(w->cancelButton()); // hidden: nothing to cancel
    EXPECT_TRUE(asked.empty());
    w->reject(); // Escape closes a failed sheet
    EXPECT_EQ(w->exportState(), State::Closed);
}

// A finished export says how like its source the picture measured, where the time was.
TEST_F(Sheet, FinishedStateSaysTheMeasuredQuality) {
    auto w = converting();
    w->exportTimePastAndLeave(3, 4);
    w->turnToFinishedState(0.98712);
    EXPECT_TRUE(w->leaveTimeTip()->isVisible());
    EXPECT_EQ(w->leaveTimeTip()->textTitle(), "Quality (SSIM): 0.987");
}

TEST_F(Sheet, WithoutADelegateTheQuestionStillShowsAndNothingElseHappens) {
    std::unique_ptr<LXExportWindowController> w(LXExportWindowController::shareWindowController());
    w->beginSheet(&window);
    w->conversionStarted();
    answer = Alert::Default;
    click(w->cancelButton());
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(w->exportState(), State::Cancelling);
    w->turnToFinishedState();
    click(w->browseButton()); // no owner to ask
    EXPECT_TRUE(w->isVisible());
}

TEST_F(Sheet, TwoExportsHaveTwoWindowsAndClosingOneLeavesTheOther) {
    auto first = converting();
    auto second = converting();
    EXPECT_NE(first.get(), second.get());
    first->closeWindow();
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->exportState(), State::Converting);
    second->exportAtPercent(10);
    EXPECT_EQ(second->progressIndicator()->doubleValue(), 10.0);
}

TEST(ExportWindowClasses, KnownClassesAreBuiltAndUnknownOnesAreAbsent) {
    EXPECT_TRUE(LXExportWindowController::hasWindowClass("LXExportWindowController"));
    EXPECT_TRUE(LXExportWindowController::hasWindowClass("LXiTunesExportWindowController"));
    EXPECT_FALSE(LXExportWindowController::hasWindowClass("LXNoSuchWindowController"));
    EXPECT_EQ(LXExportWindowController::shareWindowControllerOfClass("LXNoSuchWindowController"), nullptr);
    std::unique_ptr<LXExportWindowController> local(
        LXExportWindowController::shareWindowControllerOfClass("LXExportWindowController"));
    ASSERT_TRUE(local);
    EXPECT_TRUE(local->isWindowLoaded());
    EXPECT_EQ(local->exportState(), State::Idle);
    EXPECT_EQ(local->parentWidget(), nullptr);

    // A class registered later is found by name; a null factory takes it away again.
    LXExportWindowController::registerWindowClass("LXTestShareWindowController",
                                                  [] { return LXExportWindowController::shareWindowController(); });
    std::unique_ptr<LXExportWindowController> extra(
        LXExportWindowController::shareWindowControllerOfClass("LXTestShareWindowController"));
    EXPECT_TRUE(extra);
    LXExportWindowController::registerWindowClass("LXTestShareWindowController", nullptr);
    EXPECT_FALSE(LXExportWindowController::hasWindowClass("LXTestShareWindowController"));
}

TEST_F(Sheet, RendersToTheBuildTree) {
    const QString dir = QStringLiteral(CINVORA_BUILD_DIR "/shots");
    QDir().mkpath(dir);
    auto w = converting();
    w->exportAtPercent(42);
    w->exportTimePastAndLeave(12, 17);
    QApplication::processEvents();
    const QImage shot = w->grab().toImage();
    ASSERT_TRUE(shot.save(dir + "/export-sheet.png"));
    EXPECT_EQ(shot.size(), QSize(460, 150));
    // The filled part of the bar is the accent, the rest the sunken track.
    const QRect bar = w->progressIndicator()->geometry();
    const QColor filled = shot.pixelColor(bar.left() + bar.width() / 5, bar.center().y());
    const QColor empty = shot.pixelColor(bar.left() + bar.width() * 4 / 5, bar.center().y());
    EXPECT_GT(filled.blue(), filled.red() + 60);
    EXPECT_LT(empty.lightness(), 60);

    w->turnToFinishedState();
    QApplication::processEvents();
    ASSERT_TRUE(w->grab().toImage().save(dir + "/export-sheet-finished.png"));
    auto failed = converting();
    failed->exportAtPercent(63);
    failed->failedConvert("cannot read the input: unrecognised or damaged media file");
    QApplication::processEvents();
    ASSERT_TRUE(failed->grab().toImage().save(dir + "/export-sheet-failed.png"));
}

// Escape, or closing the question, must not be read as "Yes": that would end the export
// and delete what it wrote.
TEST_F(Sheet, EscapeOrClosingTheCancelQuestionKeepsTheExport) {
    auto w = converting();
    for (bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "closed" : "escape");
        owner.calls.clear();
        click(w->cancelButton());
        ASSERT_EQ(w->exportState(), State::Confirming);
        QMessageBox *box = nullptr;
        for (QMessageBox *b : w->findChildren<QMessageBox *>())
            if (b->isVisible())
                box = b;
        ASSERT_NE(box, nullptr) << "the real question is open";
        if (byClosing)
            box->close();
        else
            QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_EQ(owner.calls, QStringList({"pause", "continue"}));
        EXPECT_EQ(w->exportState(), State::Converting);
        QApplication::processEvents(); // the closed box is deleted
    }
}
