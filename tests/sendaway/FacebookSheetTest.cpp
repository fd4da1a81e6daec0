// The Facebook sheet against the stand-in services.
#include "SheetTestSupport.h"
#include "TestSupport.h"

#include <foundation/Settings.h>
#include <sendaway/LXFaceBookShareWindowController.h>
#include <sendaway/LXProgressIndicator.h>

#include <glazeform/LXLabel.h>
#include <glazeform/LXPopUpButton.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QUrlQuery>

using sheettest::click;
using testsupport::waitFor;
using FB = LXFaceBookShareWindowController;

namespace {

class FacebookSheetTest : public sheettest::SheetTest {
protected:
    // As the export conversion opens it: no sheet yet, only the sign-in.
    FB *open(sheettest::FakeExport &exporter) {
        FB *w = FB::shareWindowController();
        w->setExportWinDelegate(&exporter);
        w->setParrentWin(sheettest::documentWindow());
        sheets.push_back(w);
        return w;
    }
    void TearDown() override {
        for (auto &w : sheets)
            delete w.data();
        SheetTest::TearDown();
    }
    static bool ready(FB *w) {
        return w->isVisible() && w->currentPage() == FB::Page::Setting && w->btnPublish()->bEnabled();
    }
    // Answers the cancel question only once the conversion has ended behind it.
    void answerAfterTheConversionEnded(sheettest::FakeExport &exporter, foundation::AlertButton button) {
        alerts.answer = [&exporter, button](const foundation::AlertRequest &) {
            waitFor([&] { return exporter.finished; }, 10000);
            waitFor([] { return false; }, 100); // whatever the end set going runs now
            return button;
        };
    }
    std::vector<QPointer<FB>> sheets;
};

} // namespace

TEST_F(FacebookSheetTest, ShowsTheCodeThenSettingsAfterSignInThenPublishes) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    EXPECT_FALSE(w->isVisible()) << "nothing to show before Facebook has issued a code";
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    ASSERT_EQ(browser.opened.size(), 1) << "Facebook's device page opens in the browser";
    EXPECT_EQ(w->curUserName()->textTitle(), server.facebookName);
    EXPECT_EQ(w->height(), FB::kSettingHeight);
    EXPECT_EQ(w->titleField()->text(), "My movie, made with Cinvora");

    w->titleField()->setText(" Harbour ");
    w->descStrTextView()->setPlainText("\tboats ");
    const qint64 size = QFileInfo(exporter.source).size();
    server.dropAtOffset(size * 4 / 10);
    QSignalSpy endedSpy(w, &LXExportWindowController::uploadEnded);
    click(w->btnPublish());
    EXPECT_EQ(w->currentPage(), FB::Page::Building);
    EXPECT_EQ(w->height(), 89);
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 30000));
    EXPECT_EQ(alerts.shown[0].title, "FaceBook");
    EXPECT_EQ(alerts.shown[0].message, "Upload successful!");
    auto up = server.lastUpload();
    ASSERT_TRUE(up && up->complete);
    EXPECT_EQ(up->data, uploadtest::readAll(exporter.output));
    EXPECT_GE(server.drops(), 1);
    EXPECT_EQ(up->published.value("title").toString(), "Harbour");
    EXPECT_EQ(up->published.value("description").toString(), "boats");
    EXPECT_FALSE(up->videoId.isEmpty());
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 100);
    EXPECT_TRUE(uploadtest::filesContaining(server.secrets()).isEmpty());
    ASSERT_EQ(endedSpy.size(), 1);
    EXPECT_TRUE(endedSpy[0][0].toBool());
}

TEST_F(FacebookSheetTest, TheSignInPageShowsTheCodeAndWhereToEnterIt) {
    browser.answering = false; // the person has not confirmed yet
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return w->isVisible() && !browser.opened.isEmpty(); }));
    EXPECT_EQ(w->currentPage(), FB::Page::SignIn);
    EXPECT_EQ(w->height(), FB::kSignInHeight);
    const QString code = QUrlQuery(browser.opened[0]).queryItemValue("user_code");
    ASSERT_FALSE(code.isEmpty());
    EXPECT_EQ(w->deviceCodeField()->textTitle(), code);
    EXPECT_EQ(w->deviceAddressField()->textTitle(), server.baseUrl().toString() + "/device");
    EXPECT_FALSE(w->btnPublish()->isVisible());

    // Cancelled there, the sign-in ends without a word.
    QSignalSpy closed(w, &LXExportWindowController::exportWindowClosed);
    click(w->cancelSignInBtn());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(w->isVisible());
    waitFor([] { return false; }, 100);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_FALSE(w->fb()->isSessionValid());
}

TEST_F(FacebookSheetTest, RefusedSignInShowsNothing) {
    server.denyAuthorization = true; // the person never confirms the code
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    QSignalSpy closed(w, &LXExportWindowController::exportWindowClosed);
    ASSERT_TRUE(waitFor([&] { return w->isVisible(); }));
    // The client's answer for a refusal.
    w->facebookDidLogined({{"valid", false}, {"error", QString::fromLatin1(Facebook::kUserDeniedError)}});
    ASSERT_TRUE(waitFor([&] { return closed.count() == 1; }));
    waitFor([] { return false; }, 100);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->fb()->isSessionValid());
}

TEST_F(FacebookSheetTest, OtherSignInFailuresAreTold) {
    foundation::Settings::setValue("sendaway/facebook/appId", "999"); // not the service's
    foundation::Settings::setValue("sendaway/signIn/browserTimeoutMs", 300);
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 10000));
    EXPECT_EQ(alerts.shown[0].title, "Sign-in failed");
    EXPECT_FALSE(alerts.shown[0].message.isEmpty());
    EXPECT_FALSE(w->isVisible());
}

TEST_F(FacebookSheetTest, AUserWithoutANameStillPublishes) {
    server.facebookNameMissing = true;
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(w->curUserName()->textTitle(), "Unknow");
    w->titleField()->clear();
    w->descStrTextView()->clear();
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 30000));
    // Empty texts stay empty: no defaults are put in at upload time.
    EXPECT_EQ(server.lastUpload()->published.value("title").toString(), "");
    EXPECT_EQ(server.lastUpload()->published.value("description").toString(), "");
}

TEST_F(FacebookSheetTest, StopAnsweredYesEndsTheUpload) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    server.stallAtOffset(200 * 1024);
    QSignalSpy endedSpy(w, &LXExportWindowController::uploadEnded);
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    click(w->btnstopConvert());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "Do you really want to cancel the movie upload?");
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
    EXPECT_FALSE(w->fb()->isUploading());
    ASSERT_TRUE(waitFor([&] { return server.openConnections() == 0; }));
    EXPECT_FALSE(server.lastUpload()->complete);
    EXPECT_TRUE(server.lastUpload()->published.isEmpty());
    EXPECT_EQ(endedSpy.size(), 0) << "a stopped upload is not an ended one";
}

TEST_F(FacebookSheetTest, ChangeUserSignsInAgain) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    QSignalSpy closed(w, &LXExportWindowController::exportWindowClosed);
    click(w->changeUser());
    EXPECT_EQ(w->currentPage(), FB::Page::SignIn) << "the sheet shows the new sign-in's code";
    EXPECT_FALSE(w->btnPublish()->bEnabled());
    ASSERT_TRUE(waitFor([&] { return browser.opened.size() == 2; }));
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(closed.count(), 0) << "the window's part goes on";
    EXPECT_EQ(server.deviceLogins(), 2);
}

TEST_F(FacebookSheetTest, HalfwayAfterThirtySecondsLeavesAboutThirty) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    w->setIsUploading(true);
    w->setBeginUpload(QDateTime::currentDateTimeUtc().addSecs(-30));
    w->facebookUploading(50);
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 50);
    EXPECT_EQ(w->progressText()->textTitle(), "Uploading...");
    EXPECT_EQ(w->leaveTimeTip()->textTitle(), "30(s) past, about 30(s) left");
    w->facebookUploading(0);
    EXPECT_EQ(w->leaveTimeTip()->textTitle(), "30(s) past, about -- left");
}

TEST_F(FacebookSheetTest, ThePagePopUpPublishesOnTheChosenPageAndRemembersIt) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_TRUE(w->pagePopupBtn()->isVisible());
    EXPECT_FALSE(w->pageMessage()->isVisible());
    EXPECT_EQ(w->pagePopupBtn()->menuItems(), (QStringList{"Ada's Harbour", "Engine Notes"}));
    EXPECT_EQ(w->pagePopupBtn()->drawStr(), "Ada's Harbour");

    w->pagePopupBtn()->selectMenuItemAtIndexStrValue(1, "Engine Notes");
    EXPECT_EQ(foundation::Settings::value(FB::kLastPageKey).toString(), "2002");
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 30000));
    ASSERT_EQ(alerts.shown[0].message, "Upload successful!");
    EXPECT_EQ(server.lastUpload()->pageId, "2002");

    // The next sheet starts on the Page chosen last.
    sheettest::FakeExport second(exportSource());
    FB *next = open(second);
    ASSERT_TRUE(waitFor([&] { return ready(next); }));
    EXPECT_EQ(next->pagePopupBtn()->selectIndex(), 1);
    EXPECT_EQ(next->pagePopupBtn()->drawStr(), "Engine Notes");
    EXPECT_EQ(next->fb()->targetPage().id, "2002");
}

TEST_F(FacebookSheetTest, WithoutAPageTheSheetSaysSoAndPublishingStaysOff) {
    server.facebookPages.clear();
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] {
        return w->isVisible() && w->currentPage() == FB::Page::Setting && w->changeUser()->bEnabled() &&
               w->pageMessage()->isVisible();
    }));
    EXPECT_EQ(w->pageMessage()->textTitle(), "You manage no Facebook Page to publish the video on.");
    EXPECT_FALSE(w->pagePopupBtn()->isVisible());
    EXPECT_FALSE(w->btnPublish()->bEnabled());
    click(w->btnPublish());
    EXPECT_EQ(exporter.starts, 0);
    EXPECT_EQ(w->currentPage(), FB::Page::Setting);
}

TEST_F(FacebookSheetTest, YesToTheCancelQuestionWhileTheConversionEndsStartsNoUpload) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    answerAfterTheConversionEnded(exporter, foundation::AlertButton::Default);
    click(w->btnPublish());
    click(w->btnstopConvert()); // the question opens while converting
    ASSERT_TRUE(exporter.finished);
    EXPECT_EQ(exporter.cancels, 1);
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
    waitFor([] { return false; }, 200);
    EXPECT_TRUE(server.uploads().empty()) << "the upload started after Yes";
    EXPECT_FALSE(w->fb()->isUploading());
    EXPECT_FALSE(alerts.has("FaceBook"));
}

TEST_F(FacebookSheetTest, NoToTheCancelQuestionWhileTheConversionEndsUploads) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    answerAfterTheConversionEnded(exporter, foundation::AlertButton::Alternate);
    click(w->btnPublish());
    click(w->btnstopConvert());
    alerts.answer = nullptr;
    ASSERT_TRUE(waitFor([&] { return alerts.has("FaceBook"); }, 30000));
    auto up = server.lastUpload();
    ASSERT_TRUE(up && up->complete);
    EXPECT_EQ(up->data, uploadtest::readAll(exporter.output));
    EXPECT_EQ(exporter.cancels, 0);
}

// Closing the stop question (or Escape) keeps the upload going.
TEST_F(FacebookSheetTest, DismissingTheStopQuestionKeepsUploading) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    server.stallAtOffset(200 * 1024);
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    alerts.answer = [](const foundation::AlertRequest &) { return std::optional<foundation::AlertButton>(); };
    for (bool byClosing : {true, false}) {
        click(w->btnstopConvert());
        ASSERT_TRUE(sheettest::dismissQuestion(w, byClosing));
        EXPECT_TRUE(w->fb()->isUploading());
        EXPECT_NE(w->exportState(), LXExportWindowController::ExportState::Closed);
        QApplication::processEvents();
    }
}
