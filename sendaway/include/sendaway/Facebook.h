#pragma once
// The Facebook client the upload sheet drives. Facebook takes only redirect addresses
// registered exactly, so a desktop program signs in with Login for Devices: POST
// device/login (app id | client token, the permissions) gives a code that the person
// confirms on Facebook's page in the system browser, while device/login_status is polled
// at the interval the service asks for. Videos are published on Pages only: /me/accounts
// lists the Pages the person manages, with a Page access token each; the file goes up
// through the Resumable Upload API (/{app-id}/uploads with the user token, video/mp4 only)
// and is published with POST /{page-id}/videos and the Page token. Addresses come from
// ServiceSettings (graph.facebook.com by default).
//
// Main thread only. Every delegate message arrives on the main thread from the event loop,
// never from inside the call that caused it.
#include "sendaway/ServiceError.h"

#include <QDateTime>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <optional>
#include <QPointer>
#include <QVariantMap>

class QNetworkAccessManager;
class QNetworkReply;

namespace sendaway {
class OAuthSignIn;
struct OAuthResult;
class FacebookUploadSession;
} // namespace sendaway

class Facebook;

// A Page the signed-in person may publish on.
struct FacebookPage {
    QString id, name;
    QString accessToken; // the Page access token: kept in memory only
};

// Every method is optional: the defaults do nothing.
class FacebookDelegate {
public:
    virtual ~FacebookDelegate() = default;
    // {"valid": bool, "error": text}. A refusal by the user reads Facebook::kUserDeniedError.
    virtual void facebookDidLogined(const QVariantMap &answer) { (void)answer; }
    // The code to confirm on Facebook's page (opened in the web browser meanwhile).
    virtual void facebookDeviceCode(const QString &userCode, const QUrl &page) { (void)userCode, (void)page; }
    // The Pages the person can publish on (CREATE_CONTENT), or why they could not be read.
    virtual void facebookPagesLoaded(const QList<FacebookPage> &pages,
                                     const std::optional<sendaway::ServiceError> &error) {
        (void)pages, (void)error;
    }
    // {"request": the requested path, "result": the JSON text of the answer}.
    virtual void facebookDidCompleteRequest(const QVariantMap &answer) { (void)answer; }
    virtual void facebookDidLogouted(Facebook *client) { (void)client; }
    // Percent of the file sent, 0..100.
    virtual void facebookUploading(double percent) { (void)percent; }
    // The published video's record ({"id": ...}).
    virtual void facebookUploadFinised(const QVariantMap &answer) { (void)answer; }
    // The upload could not be completed (after its retries); nothing was published.
    virtual void facebookUploadFailed(const sendaway::ServiceError &error) { (void)error; }
    virtual void facebookNeedsAuthenticationForPermissions(Facebook *client, const QStringList &permissions) {
        (void)client, (void)permissions;
    }
    virtual void facebookWillShowUI(Facebook *client) { (void)client; }
    virtual void facebookDidDismissUI(Facebook *client) { (void)client; }
};

class Facebook : public QObject {
    Q_OBJECT
public:
    // The error text of a sign-in the user refused.
    static constexpr const char *kUserDeniedError = "The+user+denied+your+request.";

    // initWithApplicationID:delegate:
    Facebook(const QString &applicationId, FacebookDelegate *delegate, QObject *parent = nullptr);
    ~Facebook() override;

    FacebookDelegate *delegate() const { return _delegate; }
    void setDelegate(FacebookDelegate *d) { _delegate = d; }
    const QString &applicationId() const { return _appId; }
    bool isSessionValid() const { return !_accessToken.isEmpty(); }

    // Answers with one facebookDidLogined (facebookDeviceCode first).
    void login();
    // Ends a running sign-in without an answer.
    void cancelLogin();
    // Forgets the signed-in user (and abandons an upload); answers facebookDidLogouted.
    void logout();
    // A Graph request of the signed-in user ("me"); answers facebookDidCompleteRequest.
    void sendRequest(const QString &path);
    // Answers facebookPagesLoaded.
    void fetchPages();
    // The Page the next upload is published on.
    void setTargetPage(const FacebookPage &page) { _page = page; }
    const FacebookPage &targetPage() const { return _page; }
    // "title", "description", "file" ("video") and one entry named after the file whose
    // value is the file's path: the file is streamed from disk, not held in memory. Only
    // MP4 files are taken.
    void uploadVideo(const QVariantMap &parameters);
    void pauseUpload();
    // Abandons the upload: no further message about it.
    void stopUpload();
    bool isUploading() const;

private:
    void answerLogin(bool valid, const QString &error);
    void deviceStarted(QNetworkReply *reply);
    void pollDevice();
    void devicePolled(QNetworkReply *reply);
    QNetworkRequest graphRequest(const QString &path) const;
    QByteArray appToken() const;

    QString _appId;
    FacebookDelegate *_delegate;
    QString _accessToken;
    QNetworkAccessManager *_network;
    sendaway::FacebookUploadSession *_upload;
    QPointer<QNetworkReply> _request;
    QPointer<QNetworkReply> _pagesReply;
    QPointer<QNetworkReply> _login;
    QString _deviceCode;
    QDateTime _deviceDeadline;
    QTimer _poll;
    FacebookPage _page;
};
