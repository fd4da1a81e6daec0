// The stand-ins refuse what the documented services refuse, and the clients get through
// them: expiring tokens, expiring upload sessions, Page publishing, MP4 only.
#include "StandInServer.h"
#include "TestSupport.h"
#include "UploadTestSupport.h"

#include <foundation/Settings.h>
#include <sendaway/Facebook.h>
#include <sendaway/Upvelle.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <gtest/gtest.h>

using namespace sendaway;
using standin::StandInServer;
using testsupport::waitFor;

namespace {

struct Answer {
    int status = 0;
    QJsonObject json;
    QByteArray body;
    int graphCode() const { return json.value("error").toObject().value("code").toInt(); }
};

// Requests as a client would send them, answered synchronously.
class Raw {
public:
    explicit Raw(StandInServer &s) : _base(s.baseUrl().toString()) {}
    Answer post(const QString &path, const QByteArray &form, const QByteArray &auth = {}) {
        QNetworkRequest r(QUrl(_base + path));
        r.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        if (!auth.isEmpty())
            r.setRawHeader("Authorization", auth);
        return wait(_nam.post(r, form));
    }
    Answer get(const QString &path, const QByteArray &auth = {}) {
        QNetworkRequest r(QUrl(_base + path));
        if (!auth.isEmpty())
            r.setRawHeader("Authorization", auth);
        r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        return wait(_nam.get(r));
    }
    // A Facebook user token through device login, the code confirmed in the "browser".
    QString facebookUserToken(StandInServer &s, const QString &scope) {
        const QByteArray app = (s.facebookAppId + '|' + s.facebookClientToken).toUtf8();
        const Answer start = post("/graph/device/login", "access_token=" + QUrl::toPercentEncoding(app) +
                                                             "&scope=" + QUrl::toPercentEncoding(scope));
        get("/device?user_code=" + start.json.value("user_code").toString().toUtf8());
        const Answer done =
            post("/graph/device/login_status", "access_token=" + QUrl::toPercentEncoding(app) +
                                                   "&code=" + start.json.value("code").toString().toUtf8());
        return done.json.value("access_token").toString();
    }

private:
    Answer wait(QNetworkReply *reply) {
        EXPECT_TRUE(waitFor([&] { return reply->isFinished(); }));
        Answer a;
        a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.body = reply->readAll();
        a.json = QJsonDocument::fromJson(a.body).object();
        reply->deleteLater();
        return a;
    }
    QString _base;
    QNetworkAccessManager _nam;
};

class Isolation : public ::testing::Environment {
public:
    void SetUp() override { uploadtest::isolateFromSessionBus(); }
};
const auto *isolation = ::testing::AddGlobalTestEnvironment(new Isolation);

class StrictServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Cinvora", "Cinvora");
        store.clear();
        store.sync();
        ASSERT_TRUE(server.listen());
        server.configureSettings();
    }
    StandInServer server;
    uploadtest::Browser browser;
};

struct YoutubeRecorder : YoutubeUploadDelegate {
    int signedIn = 0;
    QStringList failures;
    int uploadEnds = 0;
    std::optional<ServiceError> uploadError;
    void successSignedIn(bool) override { ++signedIn; }
    void failedConnectError(bool, const ServiceError &e) override { failures << e.localizedDescription; }
    void failedConnectErrorMsg(bool, const QString &m) override { failures << m; }
    void uploadErrorEntryDesc(const std::optional<ServiceError> &e, const QString &) override {
        ++uploadEnds, uploadError = e;
    }
};

} // namespace

// ---------------------------------------------------------------------------------------
// The stand-ins themselves: each request the clients used to make is refused, as the
// services document it.

TEST_F(StrictServiceTest, GoogleRefusesPasswordsUnregisteredRedirectsAndExpiredTokens) {
    Raw raw(server);
    const Answer password = raw.post("/token", "grant_type=password&client_id=" + server.youtubeClientId.toUtf8() +
                                                   "&username=ada&password=x");
    EXPECT_EQ(password.status, 400);
    EXPECT_EQ(password.json.value("error").toString(), "unsupported_grant_type");

    const QByteArray auth = "/o/oauth2/auth?response_type=code&client_id=" + server.youtubeClientId.toUtf8() +
                            "&state=s&code_challenge=c&code_challenge_method=S256&redirect_uri=";
    EXPECT_EQ(raw.get(auth + QUrl::toPercentEncoding("https://example.org/cb")).status, 400);
    EXPECT_EQ(raw.get(auth + QUrl::toPercentEncoding("http://127.0.0.1:4711/callback")).status, 302);

    // A token stops working when it expires; the refresh token gets a new one.
    server.accessTokenLifetimeSecs = 3599;
    const Answer grant = raw.post("/token", "grant_type=refresh_token&client_id=" + server.youtubeClientId.toUtf8() +
                                                "&refresh_token=1//unknown");
    EXPECT_EQ(grant.status, 400);
    EXPECT_EQ(grant.json.value("error").toString(), "invalid_grant");
}

TEST_F(StrictServiceTest, GraphRefusesTheOldRequests) {
    Raw raw(server);
    // The loopback redirect is not a registered address.
    const Answer dialog = raw.get("/dialog/oauth?response_type=code&client_id=" + server.facebookAppId.toUtf8() +
                                  "&state=s&code_challenge=c&code_challenge_method=S256&redirect_uri=" +
                                  QUrl::toPercentEncoding("http://127.0.0.1:4711/callback"));
    EXPECT_EQ(dialog.status, 400);
    // publish_video is no permission an app can ask for.
    const QByteArray app = QUrl::toPercentEncoding(server.facebookAppId + '|' + server.facebookClientToken);
    const Answer scope = raw.post("/graph/device/login", "access_token=" + app + "&scope=public_profile,publish_video");
    EXPECT_EQ(scope.status, 400);
    EXPECT_EQ(scope.graphCode(), 100);
    EXPECT_TRUE(
        scope.json.value("error").toObject().value("message").toString().startsWith("Invalid Scopes: publish_video"));

    const QString user = raw.facebookUserToken(server, "pages_show_list,pages_read_engagement,pages_manage_posts");
    ASSERT_FALSE(user.isEmpty());
    const QByteArray bearer = "OAuth " + user.toUtf8();
    // A QuickTime file opens no upload session.
    const Answer mov =
        raw.post("/graph/" + server.facebookAppId +
                     "/uploads?file_name=a.mov&file_length=10&file_type=" + QUrl::toPercentEncoding("video/quicktime"),
                 {}, bearer);
    EXPECT_EQ(mov.status, 400);
    EXPECT_EQ(mov.graphCode(), 100);
    // Unknown and expired sessions are not found.
    EXPECT_EQ(raw.get("/graph/upload:999", bearer).status, 404);
    const Answer mp4 =
        raw.post("/graph/" + server.facebookAppId +
                     "/uploads?file_name=a.mp4&file_length=10&file_type=" + QUrl::toPercentEncoding("video/mp4"),
                 {}, bearer);
    ASSERT_EQ(mp4.status, 200);
    EXPECT_EQ(raw.get("/graph/" + mp4.json.value("id").toString(), bearer).status, 200);
    server.expireUploadSessions();
    EXPECT_EQ(raw.get("/graph/" + mp4.json.value("id").toString(), bearer).status, 404);
    // Videos go on Pages, with a Page token.
    const Answer timeline = raw.post("/graph/me/videos", "fbuploader_video_file_chunk=h&access_token=" + user.toUtf8());
    EXPECT_EQ(timeline.status, 400);
    EXPECT_EQ(timeline.graphCode(), 200);
    const Answer userToken =
        raw.post("/graph/2001/videos", "fbuploader_video_file_chunk=h&access_token=" + user.toUtf8());
    EXPECT_EQ(userToken.graphCode(), 210);
    // Without pages_manage_posts the Page token cannot publish.
    const QString reader = raw.facebookUserToken(server, "pages_show_list");
    const Answer pages = raw.get("/graph/me/accounts?fields=id,name,access_token,tasks", "OAuth " + reader.toUtf8());
    ASSERT_EQ(pages.status, 200);
    const QString pageToken = pages.json.value("data").toArray().first().toObject().value("access_token").toString();
    const Answer weak =
        raw.post("/graph/2001/videos", "fbuploader_video_file_chunk=h&access_token=" + pageToken.toUtf8());
    EXPECT_EQ(weak.status, 403);
    EXPECT_EQ(weak.graphCode(), 200);
    // Expired tokens are refused everywhere.
    server.expireAccessTokens();
    EXPECT_EQ(raw.get("/graph/me", bearer).graphCode(), 190);
}

// ---------------------------------------------------------------------------------------
// YouTube: an upload that outlives its token, and one whose session expires.

namespace {
std::unique_ptr<Upvelle> browserSignedIn(YoutubeRecorder &rec) {
    auto yt = std::make_unique<Upvelle>();
    yt->setDelegate(&rec);
    yt->clientLogin();
    EXPECT_TRUE(waitFor([&] { return rec.signedIn + rec.failures.size() > 0; }));
    EXPECT_EQ(rec.signedIn, 1) << rec.failures.join("; ").toStdString();
    return yt;
}
} // namespace

TEST_F(StrictServiceTest, YoutubeUploadOutlivesItsAccessToken) {
    YoutubeRecorder rec;
    auto yt = browserSignedIn(rec);
    const qint64 size = 6 * 256 * 1024 + 321;
    const QString path = uploadtest::makeFile(size);
    server.setThrottle(64 * 1024);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    // The token runs out in the middle of the transfer.
    ASSERT_TRUE(
        waitFor([&] { return server.lastUpload() && server.lastUpload()->data.size() > 2 * 256 * 1024; }, 30000));
    server.expireAccessTokens();
    server.setThrottle(0);
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    EXPECT_GE(server.refreshGrants(), 1);
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(path));
    EXPECT_LT(server.lastUpload()->bytesReceived, size + 2 * 256 * 1024) << "went on from the server's offset";
}

TEST_F(StrictServiceTest, YoutubeTokenIsRefreshedAheadOfItsExpiry) {
    // Tokens that live only half a minute: each request finds one that is about to expire.
    server.accessTokenLifetimeSecs = 30;
    YoutubeRecorder rec;
    auto yt = browserSignedIn(rec);
    const QString path = uploadtest::makeFile(2 * 256 * 1024 + 5);
    yt->setFilePath(path);
    yt->setTitle("t");
    const int refusedBefore = server.unauthorizedAnswers();
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 10000)) << server.requestLog().join("\n").toStdString();
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    EXPECT_GE(server.refreshGrants(), 1);
    EXPECT_EQ(server.unauthorizedAnswers(), refusedBefore) << "no request went out with a stale token";
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(path));
}

TEST_F(StrictServiceTest, YoutubeRefreshThatFailsAsksForTheBrowserAndResumes) {
    YoutubeRecorder rec;
    auto yt = browserSignedIn(rec);
    const QString path = uploadtest::makeFile(4 * 256 * 1024 + 9);
    server.stallAtOffset(300 * 1024);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    const int pagesBefore = browser.opened.size();
    server.revokeRefreshTokens();
    server.expireAccessTokens();
    yt->pauseUploadFile();
    yt->resumeUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    EXPECT_EQ(browser.opened.size(), pagesBefore + 1) << "signed in again in the browser";
    EXPECT_EQ(server.uploads().size(), 1u) << "the same session went on";
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(path));
}

TEST_F(StrictServiceTest, YoutubeSessionThatExpiresRestartsFromZero) {
    YoutubeRecorder rec;
    auto yt = browserSignedIn(rec);
    const qint64 size = 4 * 256 * 1024 + 77;
    const QString path = uploadtest::makeFile(size);
    server.stallAtOffset(2 * 256 * 1024 + 100);
    yt->setFilePath(path);
    yt->setTitle("t");
    yt->startUploadFile();
    ASSERT_TRUE(waitFor([&] { return server.isStalling(); }, 30000));
    server.expireUploadSessions();
    yt->pauseUploadFile();
    yt->resumeUploadFile();
    ASSERT_TRUE(waitFor([&] { return rec.uploadEnds > 0; }, 30000));
    ASSERT_FALSE(rec.uploadError.has_value()) << rec.uploadError->localizedDescription.toStdString();
    ASSERT_EQ(server.uploads().size(), 2u) << "a new session";
    EXPECT_TRUE(server.lastUpload()->complete);
    EXPECT_EQ(server.lastUpload()->data, uploadtest::readAll(path));
    EXPECT_EQ(server.uploads().front()->metadata, server.lastUpload()->metadata);
}

// ---------------------------------------------------------------------------------------
// Facebook: the sign-in a registered desktop app can use.

TEST_F(StrictServiceTest, FacebookSignsInWithDeviceLoginAndThePagePermissions) {
    foundation::Settings::setValue("sendaway/signIn/browserTimeoutMs", 3000);
    struct Rec : FacebookDelegate {
        std::vector<QVariantMap> logins;
        void facebookDidLogined(const QVariantMap &a) override { logins.push_back(a); }
    } rec;
    Facebook fb(server.facebookAppId, &rec);
    fb.login();
    ASSERT_TRUE(waitFor([&] { return !rec.logins.empty(); }, 10000));
    ASSERT_TRUE(rec.logins.front().value("valid").toBool())
        << rec.logins.front().value("error").toString().toStdString();
    EXPECT_EQ(server.deviceLogins(), 1);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.first().path(), "/device");
}
