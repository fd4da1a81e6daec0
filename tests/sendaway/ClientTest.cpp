// The service clients against the stand-in servers, without windows.
#include "StandInServer.h"
#include "TestSupport.h"
#include "UploadTestSupport.h"

#include <foundation/Settings.h>
#include <sendaway/Facebook.h>
#include <sendaway/FileRangeDevice.h>
#include <sendaway/OAuthSignIn.h>
#include <sendaway/SecretStore.h>
#include <sendaway/Upvelle.h>

#include <QFile>
#include <QSettings>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <gtest/gtest.h>

using namespace sendaway;
using standin::StandInServer;
using testsupport::waitFor;

namespace {

class Isolation : public ::testing::Environment {
public:
    void SetUp() override { uploadtest::isolateFromSessionBus(); }
};
const auto *isolation = ::testing::AddGlobalTestEnvironment(new Isolation);

struct YoutubeRecorder : YoutubeUploadDelegate {
    int signedIn = 0;
    QStringList failures;
    int categoryAnswers = 0;
    std::optional<ServiceError> categoryError;
    std::vector<double> progress;
    double max = 0;
    int uploadEnds = 0;
    std::optional<ServiceError> uploadError;
    QString link;

    void successSignedIn(bool) override { ++signedIn; }
    void failedConnectError(bool, const ServiceError &e) override { failures << e.localizedDescription; }
    void failedConnectErrorMsg(bool, const QString &m) override { failures << m; }
    void updateCategory(const std::optional<ServiceError> &e) override { ++categoryAnswers, categoryError = e; }
    void uploadIndicatorWithCurValueMinValueMaxValue(double cur, double, double mx) override {
        progress.push_back(cur);
        max = mx;
    }
    void uploadErrorEntryDesc(const std::optional<ServiceError> &e, const QString &l) override {
        ++uploadEnds, uploadError = e, link = l;
    }
    bool signInAnswered() const { return signedIn + failures.size() > 0; }
};

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Cinvora", "Cinvora");
        store.clear();
        store.sync();
        ASSERT_TRUE(server.listen());
        server.configureSettings();
    }
    void TearDown() override { SecretStore::setBackendForTesting(nullptr); }

    // A client signed in through the browser (the stand-in's page confirms at once).
    std::unique_ptr<Upvelle> signedInYoutube(YoutubeRecorder &rec) {
        auto yt = std::make_unique<Upvelle>();
        yt->setDelegate(&rec);
        yt->setUserID(server.user);
        yt->clientLogin();
        EXPECT_TRUE(waitFor([&] { return rec.signInAnswered(); }));
        EXPECT_EQ(rec.signedIn, 1) << rec.failures.join("; ").toStdString();
        return yt;
    }

    StandInServer server;
    uploadtest::Browser browser;
};

} // namespace

TEST(PkceTest, ChallengeIsTheS256OfTheVerifier) {
    const QString a = OAuthSignIn::makeCodeVerifier(), b = OAuthSignIn::makeCodeVerifier();
    // Judged by an independent tool: base64url(sha256(verifier)) without padding.
    QByteArray out;
    ASSERT_EQ(testsupport::runProgram("sh",
                                      {"-c",
                                       "printf %s \"$0\" | openssl dgst -sha256 -binary | base64 -w0 "
                                       "| tr '+/' '-_' | tr -d '='",
                                       a},
                                      &out),
              0);
    EXPECT_EQ(OAuthSignIn::codeChallenge(a), QString::fromLatin1(out.trimmed()));
    EXPECT_NE(a, b);
    EXPECT_GE(a.size(), 43);
    EXPECT_LE(a.size(), 128);
    for (QChar ch : a)
        EXPECT_TRUE(ch.isLetterOrNumber() || QStringLiteral("-._~").contains(ch)) << ch.toLatin1();
}

TEST(FileRangeDeviceTest, ReadsExactlyItsWindowAndRewinds) {
    const QString path = uploadtest::makeFile(100000);
    const QByteArray all = uploadtest::readAll(path);
    FileRangeDevice d(path, 1000, 71000);
    ASSERT_TRUE(d.open(QIODevice::ReadOnly));
    EXPECT_EQ(d.size(), 70000);
    QByteArray got;
    while (!d.atEnd())
        got += d.read(4096);
    EXPECT_EQ(got, all.mid(1000, 70000));
    ASSERT_TRUE(d.reset());
    EXPECT_EQ(d.read(10), all.mid(1000, 10));
    ASSERT_TRUE(d.seek(69990));
    EXPECT_EQ(d.readAll(), all.mid(70990, 10));
    // A window past the end of the file, or a missing file, cannot be opened.
    FileRangeDevice past(path, 90000, 100001);
    EXPECT_FALSE(past.open(QIODevice::ReadOnly));
    FileRangeDevice missing(path + ".gone", 0, 10);
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
}

TEST_F(ClientTest, SignInThenAssignableCategoriesInOrder) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    EXPECT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(server.passwordGrants(), 0);
    yt->fetchStandardCategories();
    ASSERT_TRUE(waitFor([&] { return rec.categoryAnswers > 0; }));
    ASSERT_FALSE(rec.categoryError.has_value());
    QStringList labels, terms;
    for (const auto &c : yt->categoryArr())
        labels << c.labelDesc, terms << c.termDesc;
    EXPECT_EQ(labels, (QStringList{"Film & Animation", "Autos & Vehicles", "Music", "People & Blogs"}));
    EXPECT_EQ(terms, (QStringList{"1", "2", "10", "22"}));

    server.failCategories = true;
    yt->fetchStandardCategories();
    ASSERT_TRUE(waitFor([&] { return rec.categoryAnswers > 1; }));
    ASSERT_TRUE(rec.categoryError.has_value());
    EXPECT_EQ(rec.categoryError->code, 503);
}

TEST_F(ClientTest, BrowserSignInWithLoginHintAndPkce) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    EXPECT_EQ(server.passwordGrants(), 0) << "Google has no password grant";
    EXPECT_EQ(server.codeGrants(), 1); // PKCE and redirect checked by the server
    ASSERT_EQ(browser.opened.size(), 1);
    const QUrlQuery q(browser.opened.first());
    EXPECT_EQ(q.queryItemValue("login_hint", QUrl::FullyDecoded), server.user);
    EXPECT_EQ(q.queryItemValue("code_challenge_method"), "S256");
    EXPECT_TRUE(q.queryItemValue("redirect_uri", QUrl::FullyDecoded).startsWith("http://127.0.0.1:"));
    EXPECT_TRUE(waitFor([&] { return browser.finishedLoads > 0; }));
    EXPECT_EQ(browser.lastStatus, 200) << "the loopback page answers the browser";
    EXPECT_FALSE(yt->refreshToken().isEmpty());
}

TEST_F(ClientTest, TheSignedInAccountNamesItselfWhateverWasTyped) {
    // The typed name is only a hint to the sign-in page; the account that signed in is
    // the one shown.
    YoutubeRecorder rec;
    Upvelle yt;
    yt.setDelegate(&rec);
    yt.setUserID("someone.else@example.org");
    yt.clientLogin();
    ASSERT_TRUE(waitFor([&] { return rec.signInAnswered(); }));
    EXPECT_EQ(rec.signedIn, 1) << rec.failures.join("; ").toStdString();
    EXPECT_EQ(yt.userID(), server.channelTitle);
    EXPECT_EQ(server.passwordGrants(), 0);
    EXPECT_TRUE(yt.isSignedIn());
}

TEST_F(ClientTest, BrowserSignInThatIsDeclinedOrNeverAnsweredFails) {
    server.denyAuthorization = true;
    YoutubeRecorder rec;
    Upvelle yt;
    yt.setDelegate(&rec);
    yt.clientLogin(); // no password: straight to the browser
    ASSERT_TRUE(waitFor([&] { return rec.signInAnswered(); }));
    EXPECT_EQ(rec.signedIn, 0);
    ASSERT_EQ(rec.failures.size(), 1);
    EXPECT_EQ(server.codeGrants(), 0);

    foundation::Settings::setValue("sendaway/signIn/browserTimeoutMs", 300);
    browser.answering = false;
    YoutubeRecorder late;
    yt.setDelegate(&late);
    yt.clientLogin();
    ASSERT_TRUE(waitFor([&] { return late.signInAnswered(); }, 10000));
    EXPECT_EQ(late.signedIn, 0);
    EXPECT_EQ(late.failures.size(), 1);
}

TEST_F(ClientTest, WithoutAClientIdentifierTheSignInSaysSo) {
    foundation::Settings::remove("sendaway/youtube/clientId");
    YoutubeRecorder rec;
    Upvelle yt;
    yt.setDelegate(&rec);
    yt.setUserID(server.user);
    yt.clientLogin();
    EXPECT_FALSE(rec.signInAnswered()) << "answers come later";
    ASSERT_TRUE(waitFor([&] { return rec.signInAnswered(); }));
    ASSERT_EQ(rec.failures.size(), 1);
    EXPECT_TRUE(rec.failures.first().contains("client identifier"));
    EXPECT_EQ(server.passwordGrants(), 0);
    EXPECT_TRUE(browser.opened.isEmpty());
}

TEST_F(ClientTest, ForgedOrStrayLoopbackRequestsAreIgnored) {
    // A page that reaches the loopback port with the wrong state must not sign anyone in,
    // and must not end the wait for the real answer.
    browser.answering = false;
    YoutubeRecorder rec;
    Upvelle yt;
    yt.setDelegate(&rec);
    yt.clientLogin();
    ASSERT_TRUE(waitFor([&] { return !browser.opened.isEmpty(); }));
    const QUrlQuery q(browser.opened.first());
    QUrl forged(q.queryItemValue("redirect_uri", QUrl::FullyDecoded));
    forged.setQuery("code=4/forged&state=wrong");
    QNetworkAccessManager nam;
    QNetworkReply *r = nam.get(QNetworkRequest(forged));
    ASSERT_TRUE(waitFor([&] { return r->isFinished(); }));
    r->deleteLater();
    // The stand-in redirects to the loopback address; following it completes the sign-in.
    QNetworkRequest page(browser.opened.first());
    page.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    nam.get(page)->setParent(&nam);
    ASSERT_TRUE(waitFor([&] { return rec.signInAnswered(); }));
    EXPECT_EQ(rec.signedIn, 1) << rec.failures.join("; ").toStdString();
    EXPECT_EQ(server.codeGrants(), 1);
}

TEST_F(ClientTest, RefreshTokenSignsInWithoutPasswordOrBrowser) {
    YoutubeRecorder first;
    auto yt = signedInYoutube(first);
    const QString refresh = yt->refreshToken();
    ASSERT_FALSE(refresh.isEmpty());
    browser.opened.clear();

    YoutubeRecorder rec;
    Upvelle again;
    again.setDelegate(&rec);
    again.setUserID(server.user);
    again.setRefreshToken(refresh);
    again.clientLogin();
    ASSERT_TRUE(waitFor([&] { return rec.signInAnswered(); }));
    EXPECT_EQ(rec.signedIn, 1);
    EXPECT_EQ(server.refreshGrants(), 1);
    EXPECT_EQ(server.passwordGrants(), 0);
    EXPECT_TRUE(browser.opened.isEmpty());

    // A revoked token falls back to the browser.
    YoutubeRecorder third;
    Upvelle revoked;
    revoked.setDelegate(&third);
    revoked.setRefreshToken("1//revoked");
    revoked.clientLogin();
    ASSERT_TRUE(waitFor([&] { return third.signInAnswered(); }));
    EXPECT_EQ(third.signedIn, 1);
    EXPECT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(revoked.userID(), server.channelTitle) << "a browser sign-in names the account after its channel";
}

TEST_F(ClientTest, UploadStreamsTheFileWithItsMetadataAndAnswersTheLink) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    const QString path = uploadtest::makeFile(1000 * 1000 + 17);
    yt->setFilePath(path);
    yt->setTitle("A title");
    yt->setKeyWords("one, two ,three");
    yt->setDescStr("Some words");
    yt->setCategory("10");
    yt->setIsPrivate(true);
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    auto up = server.lastUpload();
    ASSERT_TRUE(up);
    EXPECT_TRUE(up->complete);
    EXPECT_EQ(up->data, uploadtest::readAll(path));
    EXPECT_EQ(rec.link, server.baseUrl().toString() + "/watch?v=" + up->videoId);
    const QJsonObject snippet = up->metadata.value("snippet").toObject();
    EXPECT_EQ(snippet.value("title").toString(), "A title");
    EXPECT_EQ(snippet.value("description").toString(), "Some words");
    EXPECT_EQ(snippet.value("categoryId").toString(), "10");
    EXPECT_EQ(snippet.value("tags").toArray(), (QJsonArray{"one", "two", "three"}));
    EXPECT_EQ(up->metadata.value("status").toObject().value("privacyStatus").toString(), "private");
    // Four 256 KiB requests: progress in bytes of the file, ending at its size.
    EXPECT_EQ(server.requestCount("PUT /upload/youtube/v3/videos"), 4);
    ASSERT_FALSE(rec.progress.empty());
    EXPECT_EQ(rec.max, double(up->total));
    EXPECT_EQ(rec.progress.back(), double(up->total));
    // Only the server's confirmation of the whole file reaches the total.
    EXPECT_EQ(std::count(rec.progress.begin(), rec.progress.end(), double(up->total)), 1);
    EXPECT_EQ(rec.uploadEnds, 1);
}

TEST_F(ClientTest, DroppedConnectionResumesFromTheServersOffset) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    const qint64 size = 3 * 256 * 1024 + 999;
    const QString path = uploadtest::makeFile(size);
    server.dropAtOffset(size * 4 / 10);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    auto up = server.lastUpload();
    EXPECT_EQ(up->data, uploadtest::readAll(path));
    EXPECT_GE(server.drops(), 1);
    EXPECT_GE(up->statusQueries, 1) << "the client asked where to go on from";
    // Only the part after the cut was sent again, not the file from its start.
    EXPECT_LT(up->bytesReceived, size + 256 * 1024);
}

TEST_F(ClientTest, ServerErrorsAreRetriedAFewTimesThenReported) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    const QString path = uploadtest::makeFile(300 * 1024);
    server.failNextUploadRequests(2);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value());
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(path));

    // More failures in a row than retries: one failure answer, with the server's words.
    YoutubeRecorder rec2;
    yt->setDelegate(&rec2);
    server.failNextUploadRequests(100);
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec2.uploadEnds > 0; }, 30000));
    ASSERT_TRUE(rec2.uploadError.has_value());
    EXPECT_EQ(rec2.uploadError->code, 503);
    EXPECT_EQ(rec2.uploadError->localizedDescription, "Backend error (injected).");
    EXPECT_TRUE(rec2.link.isEmpty());
    EXPECT_FALSE(server.lastUpload()->complete);
    testsupport::waitFor([] { return false; }, 200);
    EXPECT_EQ(rec2.uploadEnds, 1);
}

TEST_F(ClientTest, PauseHoldsAndResumeContinuesFromTheConfirmedByte) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    const qint64 size = 4 * 256 * 1024;
    const QString path = uploadtest::makeFile(size);
    server.stallAtOffset(256 * 1024 + 1000);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    yt->pauseUploadFile();
    ASSERT_TRUE(waitFor([&] { return server.openConnections() == 0; })) << "pause drops the request in flight";
    const int requests = server.requestLog().size();
    testsupport::waitFor([] { return false; }, 200);
    EXPECT_EQ(server.requestLog().size(), requests) << "nothing is sent while paused";
    EXPECT_TRUE(yt->isUploading());
    EXPECT_EQ(rec.uploadEnds, 0);

    yt->resumeUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value());
    auto up = server.lastUpload();
    EXPECT_EQ(up->data, uploadtest::readAll(path));
    EXPECT_GE(up->statusQueries, 1);
}

TEST_F(ClientTest, PauseInTheMiddleOfASlowTransfer) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    const qint64 size = 2 * 256 * 1024 + 77;
    const QString path = uploadtest::makeFile(size);
    server.setThrottle(8 * 1024);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    // Paused while the first request is being taken: the server keeps what arrived (how
    // much depends on what was in flight), and the client goes on from there.
    ASSERT_TRUE(waitFor([&] { return server.lastUpload() && server.lastUpload()->data.size() > 100 * 1024; }, 30000));
    yt->pauseUploadFile();
    ASSERT_TRUE(waitFor([&] { return server.openConnections() == 0; }));
    EXPECT_EQ(rec.uploadEnds, 0);
    server.setThrottle(0);
    yt->resumeUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    auto up = server.lastUpload();
    EXPECT_EQ(up->data, uploadtest::readAll(path));
    EXPECT_GE(up->statusQueries, 1);
    // Only what the server lacked was sent again.
    EXPECT_LE(up->bytesReceived, size + 256 * 1024);
}

TEST_F(ClientTest, StopLeavesNothingRunning) {
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    const QString path = uploadtest::makeFile(4 * 256 * 1024);
    server.stallAtOffset(300 * 1024);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    yt->stopUploadFile();
    EXPECT_FALSE(yt->isUploading());
    ASSERT_TRUE(waitFor([&] { return server.openConnections() == 0; }));
    const int requests = server.requestLog().size();
    testsupport::waitFor([] { return false; }, 300);
    EXPECT_EQ(server.requestLog().size(), requests);
    EXPECT_EQ(rec.uploadEnds, 0);
    EXPECT_FALSE(server.lastUpload()->complete);
}

TEST_F(ClientTest, StalledTransferIsDroppedAndRetried) {
    foundation::Settings::setValue("sendaway/upload/stallTimeoutMs", 400);
    YoutubeRecorder rec;
    auto yt = signedInYoutube(rec);
    const QString path = uploadtest::makeFile(2 * 256 * 1024 + 5);
    server.stallAtOffset(100 * 1024);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(path));
}

TEST_F(ClientTest, UnreadableFileAndMissingSignInEndTheUploadWithAnError) {
    YoutubeRecorder rec;
    Upvelle yt;
    yt.setDelegate(&rec);
    yt.setFilePath(uploadtest::makeFile(1000));
    yt.startUploadFile(); // never signed in
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }));
    ASSERT_TRUE(rec.uploadError.has_value());

    YoutubeRecorder rec2;
    auto signedIn = signedInYoutube(rec2);
    signedIn->setFilePath("/nonexistent/export.mp4");
    signedIn->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec2.uploadEnds > 0; }));
    ASSERT_TRUE(rec2.uploadError.has_value());
    EXPECT_EQ(rec2.uploadError->domain, "file");
    EXPECT_EQ(server.requestCount("POST /upload"), 0);
}

// ---------------------------------------------------------------------------------------

namespace {
struct FacebookRecorder : FacebookDelegate {
    std::vector<QVariantMap> logins;
    std::vector<QVariantMap> requests;
    std::vector<double> progress;
    int finished = 0;
    QVariantMap video;
    std::optional<ServiceError> failure;
    int logouts = 0;
    std::optional<QList<FacebookPage>> pages;
    void facebookPagesLoaded(const QList<FacebookPage> &p, const std::optional<ServiceError> &) override { pages = p; }
    void facebookDidLogined(const QVariantMap &a) override { logins.push_back(a); }
    void facebookDidCompleteRequest(const QVariantMap &a) override { requests.push_back(a); }
    void facebookDidLogouted(Facebook *) override { ++logouts; }
    void facebookUploading(double p) override { progress.push_back(p); }
    void facebookUploadFinised(const QVariantMap &v) override { ++finished, video = v; }
    void facebookUploadFailed(const ServiceError &e) override { failure = e; }
};
} // namespace

TEST_F(ClientTest, FacebookSignsInOnItsDevicePageAndPublishesOnAPageAfterADroppedConnection) {
    FacebookRecorder rec;
    Facebook fb(server.facebookAppId, &rec);
    fb.login();
    ASSERT_TRUE(waitFor([&] { return !rec.logins.empty(); }));
    ASSERT_TRUE(rec.logins.front().value("valid").toBool())
        << rec.logins.front().value("error").toString().toStdString();
    EXPECT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(server.deviceLogins(), 1);

    fb.fetchPages();
    ASSERT_TRUE(waitFor([&] { return rec.pages.has_value(); }));
    ASSERT_EQ(rec.pages->size(), 2);
    EXPECT_EQ(rec.pages->at(1).name, "Engine Notes");
    fb.setTargetPage(rec.pages->at(1));

    fb.sendRequest("me");
    ASSERT_TRUE(waitFor([&] { return !rec.requests.empty(); }));
    EXPECT_EQ(rec.requests.front().value("request").toString(), "me");
    const QJsonObject me = QJsonDocument::fromJson(rec.requests.front().value("result").toString().toUtf8()).object();
    EXPECT_EQ(me.value("name").toString(), server.facebookName);

    const qint64 size = 700 * 1024 + 3;
    const QString path = uploadtest::makeFile(size, "clip (2).mp4");
    server.dropAtOffset(size * 4 / 10);
    fb.uploadVideo({{"title", "My title"}, {"description", ""}, {"file", "video"}, {"clip (2).mp4", path}});
    ASSERT_TRUE(waitFor([&] { return rec.finished > 0 || rec.failure; }, 30000));
    ASSERT_FALSE(rec.failure.has_value()) << rec.failure->localizedDescription.toStdString();
    auto up = server.lastUpload();
    EXPECT_EQ(up->data, uploadtest::readAll(path));
    EXPECT_GE(server.drops(), 1);
    EXPECT_GE(up->statusQueries, 1);
    EXPECT_EQ(up->published.value("title").toString(), "My title");
    EXPECT_EQ(up->published.value("description").toString(), "");
    EXPECT_EQ(up->pageId, "2002");
    EXPECT_EQ(rec.video.value("id").toString(), up->videoId);
    ASSERT_FALSE(rec.progress.empty());
    EXPECT_DOUBLE_EQ(rec.progress.back(), 100.0);

    fb.logout();
    ASSERT_TRUE(waitFor([&] { return rec.logouts == 1; }));
    EXPECT_FALSE(fb.isSessionValid());
}

TEST_F(ClientTest, FacebookCodeNeverConfirmedAndMissingApplicationId) {
    // The person never confirms the code: the sign-in ends when the code expires.
    server.denyAuthorization = true;
    server.deviceCodeLifetime = 1;
    FacebookRecorder rec;
    Facebook fb(server.facebookAppId, &rec);
    fb.login();
    ASSERT_TRUE(waitFor([&] { return !rec.logins.empty(); }));
    EXPECT_FALSE(rec.logins.front().value("valid").toBool());
    EXPECT_TRUE(rec.logins.front().value("error").toString().contains("expired"));

    FacebookRecorder rec2;
    Facebook none(QString(), &rec2);
    none.login();
    ASSERT_TRUE(waitFor([&] { return !rec2.logins.empty(); }));
    EXPECT_FALSE(rec2.logins.front().value("valid").toBool());
    EXPECT_FALSE(rec2.logins.front().value("error").toString().isEmpty());
    EXPECT_EQ(browser.opened.size(), 1);
}

TEST_F(ClientTest, KeyringWithoutSecretServiceStoresNothing) {
    // The real keyring backend, cut off the session bus: it must refuse, not fall back to
    // a file.
    std::optional<bool> stored;
    QObject context;
    SecretStore::write(&context, "youtube:test", "s3cret-value-for-the-keyring", [&](bool ok) { stored = ok; });
    EXPECT_FALSE(stored.has_value()) << "answers come later";
    ASSERT_TRUE(waitFor([&] { return stored.has_value(); }, 30000));
    EXPECT_FALSE(*stored);
    std::optional<std::optional<QString>> read;
    SecretStore::read(&context, "youtube:test", [&](std::optional<QString> s) { read = s; });
    ASSERT_TRUE(waitFor([&] { return read.has_value(); }, 30000));
    EXPECT_FALSE(read->has_value());
    EXPECT_TRUE(uploadtest::filesContaining({"s3cret-value-for-the-keyring"}).isEmpty());
}
