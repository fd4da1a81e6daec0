// The YouTube sheet against the stand-in services: through its real controls.
#include "SheetTestSupport.h"
#include "TestSupport.h"

#include <foundation/Settings.h>
#include <sendaway/LXProgressIndicator.h>
#include <sendaway/LXYoutubeShareWindowController.h>
#include <sendaway/SecretStore.h>

#include <glazeform/LXLabel.h>

#include <QSignalSpy>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using foundation::Settings;
using sheettest::click;
using testsupport::waitFor;
using YT = LXYoutubeShareWindowController;

namespace {

class YoutubeSheetTest : public sheettest::SheetTest {
protected:
    // A sheet as the export conversion opens it.
    YT *open(sheettest::FakeExport &exporter) {
        YT *w = YT::shareWindowController();
        w->setExportWinDelegate(&exporter);
        w->enableCancelButton();
        w->beginSheet(sheettest::documentWindow());
        sheets.push_back(w);
        return w;
    }
    void TearDown() override {
        for (auto &w : sheets)
            delete w.data();
        SheetTest::TearDown();
    }
    // The name is only a hint: the stand-in's sign-in page in the "browser" confirms.
    void signIn(YT *w, const QString &user, bool remember) {
        w->userNameField()->clear();
        QTest::keyClicks(w->userNameField(), user);
        if (w->remenberUserNameBtn()->bChecked() != remember)
            QTest::mouseClick(w->remenberUserNameBtn(), Qt::LeftButton, {}, QPoint(8, 10));
        click(w->loginBtn());
    }
    static bool ready(YT *w) { return w->currentPage() == YT::Page::Setting && w->btnPublish()->bEnabled(); }

    std::vector<QPointer<YT>> sheets;
};

QStringList items(YT *w) {
    QStringList out;
    if (const auto *menu = w->categoryMenu())
        for (const auto &i : *menu)
            out << i.title + "=" + i.representedObject;
    return out;
}

} // namespace

TEST_F(YoutubeSheetTest, SignInLoadCategoriesPublishAndOpenTheVideo) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    EXPECT_EQ(w->currentPage(), YT::Page::Login);
    EXPECT_EQ(w->height(), 244);
    EXPECT_FALSE(w->loginIndicator()->isVisible());

    // A name typed with spaces around it is sent, and remembered, without them.
    signIn(w, "  " + server.user + "\t", true);
    EXPECT_FALSE(w->loginBtn()->bEnabled()) << "login controls are off while signing in";
    EXPECT_FALSE(w->userNameField()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(w->height(), 300);
    EXPECT_EQ(w->upvelleLoginedName()->textTitle(), server.channelTitle) << "the signed-in account's name";
    EXPECT_EQ(items(w), (QStringList{"Film & Animation=1", "Autos & Vehicles=2", "Music=10", "People & Blogs=22"}));
    EXPECT_EQ(w->categoryPopupBtn()->drawStr(), "Film & Animation");

    // The account is remembered by name only: no keyring answers here.
    EXPECT_TRUE(Settings::value(YT::kRememberKey).toBool());
    EXPECT_EQ(Settings::value(YT::kUserNameKey).toString(), server.channelTitle);
    EXPECT_FALSE(Settings::contains(YT::kLegacyPasswordKey));

    w->categoryPopupBtn()->selectMenuItemAtIndexStrValue(2, "Music");
    EXPECT_EQ(w->selectedCategoryTerm(), "10");
    w->titleField()->setText("  Sunset trim ");
    w->keyWordField()->setText("sunset, beach");
    w->descStrTextView()->setPlainText("Evening at the sea");
    QTest::mouseClick(w->isPrivateBtn(), Qt::LeftButton, {}, QPoint(8, 10));

    QSignalSpy endedSpy(w, &LXExportWindowController::uploadEnded);
    click(w->btnPublish());
    EXPECT_EQ(w->currentPage(), YT::Page::Building);
    EXPECT_EQ(w->height(), 89);
    EXPECT_EQ(exporter.starts, 1);
    bool sawUpload = false;
    ASSERT_TRUE(waitFor(
        [&] {
            sawUpload = sawUpload || w->isUploading();
            return alerts.shown.size() > 0;
        },
        30000));
    EXPECT_TRUE(sawUpload);
    // The sheet ended at 100 with the stop button off.
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 100);
    EXPECT_FALSE(w->btnstopConvert()->bEnabled());
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
    EXPECT_FALSE(w->isVisible());

    // The service holds exactly the exported file, with the sheet's details.
    auto up = server.lastUpload();
    ASSERT_TRUE(up && up->complete);
    EXPECT_EQ(up->data, uploadtest::readAll(exporter.output));
    const QJsonObject snippet = up->metadata.value("snippet").toObject();
    EXPECT_EQ(snippet.value("title").toString(), "Sunset trim");
    EXPECT_EQ(snippet.value("description").toString(), "Evening at the sea");
    EXPECT_EQ(snippet.value("categoryId").toString(), "10");
    EXPECT_EQ(snippet.value("tags").toArray(), (QJsonArray{"sunset", "beach"}));
    EXPECT_EQ(up->metadata.value("status").toObject().value("privacyStatus").toString(), "private");

    // The success alert carries the video's address; its default button opens it.
    ASSERT_EQ(alerts.shown.size(), 1u);
    const QString link = server.baseUrl().toString() + "/watch?v=" + up->videoId;
    EXPECT_EQ(alerts.shown[0].title, "Upload successful!");
    EXPECT_EQ(alerts.shown[0].message, link);
    ASSERT_FALSE(browser.opened.isEmpty());
    EXPECT_EQ(browser.opened.last().toString(), link);
    // The end is told once to whoever shows it on the desktop, with the address.
    ASSERT_EQ(endedSpy.size(), 1);
    EXPECT_TRUE(endedSpy[0][0].toBool());
    EXPECT_EQ(endedSpy[0][1].toString(), link);

    // Nothing secret reached the settings or any other file of the user.
    EXPECT_EQ(uploadtest::filesContaining(server.secrets() << server.password), QStringList());
}

TEST_F(YoutubeSheetTest, RememberedAccountSignsInAtOnceAndKeepsNoSecretInFiles) {
    // First opening: sign in (in the browser) with the box ticked.
    {
        sheettest::FakeExport exporter(exportSource());
        YT *w = open(exporter);
        signIn(w, server.user, true);
        ASSERT_TRUE(waitFor([&] { return ready(w); }));
        EXPECT_EQ(browser.opened.size(), 1);
        w->closeWindow();
    }
    // Next opening: no click at all.
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    EXPECT_EQ(w->userNameField()->text(), server.channelTitle);
    EXPECT_TRUE(w->remenberUserNameBtn()->bChecked());
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(browser.opened.size(), 2);
    EXPECT_EQ(w->upvelleLoginedName()->textTitle(), server.channelTitle);

    Settings::sync();
    const QStringList leaks = uploadtest::filesContaining(server.secrets() << server.password);
    EXPECT_TRUE(leaks.isEmpty()) << leaks.join("\n").toStdString();
    EXPECT_FALSE(Settings::contains(YT::kLegacyPasswordKey));
}

namespace {
class MemoryKeyring : public sendaway::SecretStore::Backend {
public:
    QHash<QString, QString> entries;
    void write(QObject *, const QString &key, const QString &secret, sendaway::SecretStore::WriteDone done) override {
        entries[key] = secret;
        done(true);
    }
    void read(QObject *, const QString &key, sendaway::SecretStore::ReadDone done) override {
        done(entries.contains(key) ? std::optional<QString>(entries[key]) : std::nullopt);
    }
    void remove(const QString &key) override { entries.remove(key); }
};
} // namespace

TEST_F(YoutubeSheetTest, WithAKeyringTheRememberedAccountSignsInWithoutTheBrowser) {
    auto keyring = std::make_shared<MemoryKeyring>();
    sendaway::SecretStore::setBackendForTesting(keyring);
    {
        sheettest::FakeExport exporter(exportSource());
        YT *w = open(exporter);
        signIn(w, server.user, true);
        ASSERT_TRUE(waitFor([&] { return ready(w); }));
        w->closeWindow();
    }
    ASSERT_TRUE(waitFor([&] { return keyring->entries.contains("youtube:" + server.channelTitle); }));
    const QString entry = keyring->entries.value("youtube:" + server.channelTitle);
    EXPECT_TRUE(entry.contains("refresh_token"));
    EXPECT_FALSE(entry.contains("password")) << "nothing password-like in the keyring";
    const int grantsBefore = server.passwordGrants() + server.codeGrants();
    const auto opensBefore = browser.opened.size();
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(browser.opened.size(), opensBefore) << "no second trip to the browser";
    EXPECT_EQ(server.refreshGrants(), 1) << "the keyring's refresh token signs in";
    EXPECT_EQ(server.passwordGrants() + server.codeGrants(), grantsBefore);
    EXPECT_TRUE(uploadtest::filesContaining(server.secrets() << server.password).isEmpty());
}

TEST_F(YoutubeSheetTest, PasswordsOfAnOlderVersionAreRemovedUnused) {
    auto keyring = std::make_shared<MemoryKeyring>();
    sendaway::SecretStore::setBackendForTesting(keyring);
    Settings::setValue(YT::kRememberKey, true);
    Settings::setValue(YT::kUserNameKey, server.user);
    Settings::setValue(YT::kLegacyPasswordKey, server.password);
    keyring->entries["youtube:" + server.user] = "{\"password\":\"" + server.password + "\"}";
    YT::removeStoredPasswords(); // as at start-up
    EXPECT_FALSE(Settings::contains(YT::kLegacyPasswordKey));
    // The keyring answers later, through the event loop.
    EXPECT_TRUE(waitFor([&] { return !keyring->entries.contains("youtube:" + server.user); }));
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    EXPECT_EQ(server.passwordGrants(), 0);
    EXPECT_EQ(browser.opened.size(), 1);
    EXPECT_TRUE(uploadtest::filesContaining({server.password}).isEmpty());
    for (const QString &e : keyring->entries)
        EXPECT_FALSE(e.contains(server.password));
}

TEST_F(YoutubeSheetTest, FailedSignInShowsTheReasonAndStoresNothing) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    server.denyAuthorization = true;
    signIn(w, server.user, true);
    ASSERT_TRUE(waitFor([&] { return w->loginBtn()->bEnabled(); }));
    EXPECT_EQ(w->currentPage(), YT::Page::Login);
    EXPECT_EQ(w->loginResultMsg()->textTitle(), "The sign-in was declined in the web browser.");
    EXPECT_FALSE(w->loginIndicator()->isVisible());
    EXPECT_TRUE(w->userNameField()->isEnabled());
    EXPECT_FALSE(Settings::contains(YT::kRememberKey));
    EXPECT_FALSE(Settings::contains(YT::kUserNameKey));
}

TEST_F(YoutubeSheetTest, CategoryFailureKeepsPublishingOff) {
    server.failCategories = true;
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return !w->messageField()->textTitle().isEmpty(); }));
    EXPECT_EQ(w->messageField()->textTitle(), "Categories could not be loaded.");
    EXPECT_FALSE(w->btnPublish()->bEnabled());
    EXPECT_TRUE(w->inValidCategory());
    EXPECT_EQ(items(w), QStringList{"Loading...=Loading..."});
    click(w->btnPublish());
    EXPECT_EQ(exporter.starts, 0);
    EXPECT_FALSE(Settings::contains(YT::kRememberKey)) << "the box was clear";
}

TEST_F(YoutubeSheetTest, StopAnsweredNoResumesTheUpload) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    const qint64 size = QFileInfo(exporter.source).size();
    server.stallAtOffset(size / 3);
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    alerts.answer = [](const foundation::AlertRequest &) { return foundation::AlertButton::Alternate; };
    click(w->btnstopConvert());
    ASSERT_GE(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "Do you really want to cancel the movie upload?");
    EXPECT_EQ(alerts.shown[0].defaultButton, "Yes");
    EXPECT_TRUE(w->btnstopConvert()->bEnabled());
    alerts.answer = {};
    ASSERT_TRUE(waitFor([&] { return server.lastUpload()->complete && alerts.shown.size() == 2; }, 30000));
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(exporter.output));
    EXPECT_GE(server.lastUpload()->statusQueries, 1) << "resumed from the server's offset";
    EXPECT_EQ(alerts.shown[1].title, "Upload successful!");
}

TEST_F(YoutubeSheetTest, StopAnsweredYesLeavesNoUploadRunning) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    server.stallAtOffset(300 * 1024);
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    click(w->btnstopConvert()); // answered Yes
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->youtubeUpload()->isUploading());
    ASSERT_TRUE(waitFor([&] { return server.openConnections() == 0; }));
    const int requests = server.requestLog().size();
    waitFor([] { return false; }, 300);
    EXPECT_EQ(server.requestLog().size(), requests);
    EXPECT_EQ(alerts.shown.size(), 1u) << "only the question; no result alert";
    EXPECT_FALSE(server.lastUpload()->complete);
}

// The conversion ends behind an open cancel question: the answer decides about the upload.
TEST_F(YoutubeSheetTest, TheCancelQuestionHoldsTheUploadUntilAnswered) {
    for (const auto button : {foundation::AlertButton::Default, foundation::AlertButton::Alternate}) {
        SCOPED_TRACE(button == foundation::AlertButton::Default ? "Yes" : "No");
        const size_t uploadsBefore = server.uploads().size();
        sheettest::FakeExport exporter(exportSource());
        YT *w = open(exporter);
        signIn(w, server.user, false);
        ASSERT_TRUE(waitFor([&] { return ready(w); }));
        alerts.shown.clear();
        alerts.answer = [&exporter, button](const foundation::AlertRequest &) {
            waitFor([&] { return exporter.finished; }, 10000);
            waitFor([] { return false; }, 100);
            return button;
        };
        click(w->btnPublish());
        click(w->btnstopConvert()); // the question opens while converting
        alerts.answer = {};
        ASSERT_TRUE(exporter.finished);
        if (button == foundation::AlertButton::Default) {
            EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
            waitFor([] { return false; }, 200);
            EXPECT_EQ(server.uploads().size(), uploadsBefore) << "the upload started after Yes";
            EXPECT_FALSE(w->youtubeUpload()->isUploading());
            EXPECT_EQ(alerts.shown.size(), 1u) << "only the question";
        } else {
            ASSERT_TRUE(waitFor([&] { return alerts.has("Upload successful!"); }, 30000));
            ASSERT_EQ(server.uploads().size(), uploadsBefore + 1);
            EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(exporter.output));
        }
    }
}

TEST_F(YoutubeSheetTest, ConnectionDroppedAt40PercentResumesAndCompletes) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    const qint64 size = QFileInfo(exporter.source).size();
    server.dropAtOffset(size * 4 / 10);
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 30000));
    EXPECT_EQ(alerts.shown[0].title, "Upload successful!");
    EXPECT_GE(server.drops(), 1);
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(exporter.output));
}

TEST_F(YoutubeSheetTest, EmptyTitleAndKeywordsUploadTheProgramsDefaults) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    w->titleField()->setText("   ");
    w->keyWordField()->setText("\t");
    w->descStrTextView()->setPlainText("");
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 30000));
    const QJsonObject snippet = server.lastUpload()->metadata.value("snippet").toObject();
    EXPECT_EQ(snippet.value("title").toString(), "My movie, made with Cinvora");
    EXPECT_EQ(snippet.value("tags").toArray(), QJsonArray{"Cinvora"});
    EXPECT_EQ(snippet.value("description").toString(), "A few words about this movie.");
    EXPECT_EQ(server.lastUpload()->metadata.value("status").toObject().value("privacyStatus").toString(), "public");
}

TEST_F(YoutubeSheetTest, FailedUploadClosesTheSheetAndSaysWhy) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    server.failNextUploadRequests(100);
    QSignalSpy endedSpy(w, &LXExportWindowController::uploadEnded);
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return !alerts.shown.empty(); }, 30000));
    EXPECT_EQ(alerts.shown[0].title, "Youtube");
    EXPECT_EQ(alerts.shown[0].message, "Backend error (injected).");
    ASSERT_EQ(endedSpy.size(), 1);
    EXPECT_FALSE(endedSpy[0][0].toBool());
    EXPECT_EQ(endedSpy[0][1].toString(), "Backend error (injected).");
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
}

TEST_F(YoutubeSheetTest, ProgressTextsAndTheStopButtonAtTheEnd) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    w->setIsUploading(true);
    w->setBeginUpload(QDateTime::currentDateTimeUtc().addSecs(-30));
    w->uploadIndicatorWithCurValueMinValueMaxValue(500, 0, 1000);
    EXPECT_EQ(w->leaveTimeTip()->textTitle(), "30(s) past, about 30(s) left");
    w->uploadIndicatorWithCurValueMinValueMaxValue(0, 0, 1000);
    EXPECT_EQ(w->progressText()->textTitle(), "Uploading...");
    EXPECT_TRUE(w->leaveTimeTip()->textTitle().endsWith("about -- left"))
        << w->leaveTimeTip()->textTitle().toStdString();
    EXPECT_TRUE(w->btnstopConvert()->bEnabled());
    w->uploadIndicatorWithCurValueMinValueMaxValue(999, 0, 1000);
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 99);
    EXPECT_TRUE(w->btnstopConvert()->bEnabled());
    w->uploadIndicatorWithCurValueMinValueMaxValue(1000, 0, 1000);
    EXPECT_EQ(w->progressIndicator()->doubleValue(), 100);
    EXPECT_EQ(w->progressText()->textTitle(), "Uploading...");
    EXPECT_FALSE(w->btnstopConvert()->bEnabled());
}

TEST_F(YoutubeSheetTest, ChangeUserGoesBackToTheLoginPage) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    click(w->btnChangeUser());
    EXPECT_EQ(w->currentPage(), YT::Page::Login);
    EXPECT_EQ(w->height(), 244);
    EXPECT_TRUE(w->loginBtn()->bEnabled());
    EXPECT_TRUE(w->userNameField()->isEnabled());
    click(w->cancelLoginBtn());
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
}

TEST_F(YoutubeSheetTest, ClosingDuringABrowserSignInStopsListening) {
    browser.answering = false;
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    QTest::keyClicks(w->userNameField(), server.user); // the browser signs in
    click(w->loginBtn());
    ASSERT_EQ(browser.opened.size(), 1);
    const QUrl redirect(QUrlQuery(browser.opened.first()).queryItemValue("redirect_uri", QUrl::FullyDecoded));
    click(w->cancelLoginBtn());
    EXPECT_EQ(w->exportState(), LXExportWindowController::ExportState::Closed);
    // The user finishes in the browser after all: nobody answers the redirect any more.
    QNetworkAccessManager nam;
    QNetworkRequest page(browser.opened.first());
    page.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *r = nam.get(page);
    ASSERT_TRUE(waitFor([&] { return r->isFinished(); }));
    EXPECT_EQ(r->error(), QNetworkReply::ConnectionRefusedError) << redirect.toString().toStdString();
    r->deleteLater();
    waitFor([] { return false; }, 100);
    EXPECT_EQ(server.codeGrants(), 0);
    EXPECT_EQ(w->currentPage(), YT::Page::Login);
}

// Escape or closing the stop question keeps the upload going, to the end.
TEST_F(YoutubeSheetTest, DismissingTheStopQuestionKeepsUploading) {
    sheettest::FakeExport exporter(exportSource());
    YT *w = open(exporter);
    signIn(w, server.user, false);
    ASSERT_TRUE(waitFor([&] { return ready(w); }));
    server.stallAtOffset(QFileInfo(exporter.source).size() / 3);
    click(w->btnPublish());
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    alerts.answer = [](const foundation::AlertRequest &) { return std::optional<foundation::AlertButton>(); };
    click(w->btnstopConvert());
    ASSERT_TRUE(sheettest::dismissQuestion(w, false));
    EXPECT_NE(w->exportState(), LXExportWindowController::ExportState::Closed);
    alerts.answer = {};
    ASSERT_TRUE(waitFor([&] { return server.lastUpload()->complete && alerts.has("Upload successful!"); }, 30000));
}
