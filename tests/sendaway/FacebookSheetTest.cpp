// The Facebook sheet against the stand-in services.
#include "SheetTestSupport.h"
#include "TestSupport.h"

#include <foundation/Settings.h>
#include <sendaway/LXFaceBookShareWindowController.h>
#include <sendaway/LXProgressIndicator.h>

#include <glazeform/LXLabel.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>

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
    static bool ready(FB *w) { return w->isVisible() && w->btnPublish()->bEnabled(); }
    std::vector<QPointer<FB>> sheets;
};

} // namespace

TEST_F(FacebookSheetTest, ShowsOnlyAfterSignInThenPublishes) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    EXPECT_FALSE(w->isVisible());
    ASSERT_EQ(browser.opened.size(), 1) << "Facebook's authorisation opens at once";
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(w->curUserName()->textTitle(), server.facebookName);
    EXPECT_EQ(w->height(), 264);
    EXPECT_EQ(w->titleField()->text(), "My movie, made with Cinvora");

    w->titleField()->setText(" Harbour ");
    w->descStrTextView()->setPlainText("\tboats ");
    const qint64 size = QFileInfo(exporter.source).size();
    server.dropAtOffset(size * 4 / 10);
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
}

TEST_F(FacebookSheetTest, RefusedSignInShowsNothing) {
    server.denyAuthorization = true;
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    QSignalSpy closed(w, &LXExportWindowController::exportWindowClosed);
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
}

TEST_F(FacebookSheetTest, ChangeUserSignsInAgain) {
    sheettest::FakeExport exporter(exportSource());
    FB *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    QSignalSpy closed(w, &LXExportWindowController::exportWindowClosed);
    click(w->changeUser());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(browser.opened.size(), 2);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(closed.count(), 0) << "the window's part goes on";
    EXPECT_EQ(server.codeGrants(), 2);
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
