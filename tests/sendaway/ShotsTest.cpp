// Renders the upload sheets, page by page, to build/shots/ for a look.
#include "SheetTestSupport.h"
#include "TestSupport.h"

#include <sendaway/LXFaceBookShareWindowController.h>
#include <sendaway/LXYoutubeShareWindowController.h>

#include <glazeform/LXPopUpButton.h>

#include <QDir>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QTest>

using testsupport::waitFor;

namespace {

QString shotPath(const QString &name) {
    const QString dir = QStringLiteral(CINVORA_BUILD_DIR) + "/shots";
    QDir().mkpath(dir);
    return dir + "/" + name + ".png";
}

// After the page fade has run its course.
bool shoot(QWidget *w, const QString &name) {
    waitFor([] { return false; }, 250);
    return w->grab().save(shotPath(name));
}

class ShotsTest : public sheettest::SheetTest {};

} // namespace

TEST_F(ShotsTest, YoutubeSheet) {
    sheettest::FakeExport exporter(exportSource());
    auto *w = LXYoutubeShareWindowController::shareWindowController();
    std::unique_ptr<LXYoutubeShareWindowController> owner(w);
    w->setExportWinDelegate(&exporter);
    w->beginSheet(sheettest::documentWindow());
    QTest::keyClicks(w->userNameField(), server.user);
    EXPECT_TRUE(shoot(w, "youtube-1-login"));

    browser.answering = false; // hold the sign-in to show it waiting for the browser
    sheettest::click(w->loginBtn());
    ASSERT_TRUE(waitFor([&] { return !browser.opened.isEmpty(); }));
    EXPECT_TRUE(shoot(w, "youtube-browser-signin"));
    w->youtubeUpload()->cancelLogin();
    w->failedConnectErrorMsg(false, "The sign-in was declined in the web browser.");
    EXPECT_TRUE(shoot(w, "youtube-3-sign-in-failed"));

    browser.answering = true;
    sheettest::click(w->loginBtn());
    ASSERT_TRUE(waitFor([&] {
        return w->currentPage() == LXYoutubeShareWindowController::Page::Setting && w->btnPublish()->bEnabled();
    }));
    w->categoryPopupBtn()->selectMenuItemAtIndexStrValue(2, "Music");
    EXPECT_TRUE(shoot(w, "youtube-4-settings"));

    server.stallAtOffset(QFileInfo(exporter.source).size() * 4 / 10);
    sheettest::click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return w->progressIndicator() && w->isUploading() && server.isStalling(); }, 30000));
    // Held, so that the picture shows the numbers set here.
    w->youtubeUpload()->pauseUploadFile();
    w->setBeginUpload(QDateTime::currentDateTimeUtc().addSecs(-12));
    w->uploadIndicatorWithCurValueMinValueMaxValue(0.4, 0, 1);
    EXPECT_TRUE(shoot(w, "youtube-5-uploading"));
    w->youtubeUpload()->stopUploadFile();
}

TEST_F(ShotsTest, FacebookSheet) {
    sheettest::FakeExport exporter(exportSource());
    browser.answering = false; // the code waits on screen until the person confirms it
    auto *w = LXFaceBookShareWindowController::shareWindowController();
    std::unique_ptr<LXFaceBookShareWindowController> owner(w);
    w->setExportWinDelegate(&exporter);
    w->setParrentWin(sheettest::documentWindow());
    ASSERT_TRUE(waitFor([&] { return w->isVisible() && !browser.opened.isEmpty(); }));
    EXPECT_TRUE(shoot(w, "facebook-0-sign-in-code"));

    // The person confirms the code on Facebook's page.
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> confirm(network.get(QNetworkRequest(browser.opened[0])));
    ASSERT_TRUE(waitFor([&] {
        return w->currentPage() == LXFaceBookShareWindowController::Page::Setting && w->btnPublish()->bEnabled();
    }));
    EXPECT_TRUE(shoot(w, "facebook-1-settings"));
    // The Page pop-up open: its menu is a window of its own, drawn onto the sheet's picture.
    w->pagePopupBtn()->showMenuWindow();
    ASSERT_TRUE(
        waitFor([&] { return w->pagePopupBtn()->menuWindow() && w->pagePopupBtn()->menuWindow()->isVisible(); }));
    waitFor([] { return false; }, 250);
    QPixmap picture = w->grab();
    {
        QWidget *menu = w->pagePopupBtn()->menuWindow();
        QPainter p(&picture);
        p.drawPixmap(menu->mapToGlobal(QPoint(0, 0)) - w->mapToGlobal(QPoint(0, 0)), menu->grab());
    }
    EXPECT_TRUE(picture.save(shotPath("facebook-pages")));
    w->pagePopupBtn()->closeMenus();
    server.stallAtOffset(QFileInfo(exporter.source).size() * 4 / 10);
    sheettest::click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return w->isUploading() && server.isStalling(); }, 30000));
    w->fb()->pauseUpload();
    w->setBeginUpload(QDateTime::currentDateTimeUtc().addSecs(-12));
    w->facebookUploading(40);
    EXPECT_TRUE(shoot(w, "facebook-2-uploading"));
    w->fb()->stopUpload();
}
