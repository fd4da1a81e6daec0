#pragma once
// The Facebook client the upload sheet drives: sign-in through Facebook's own authorisation
// page in the system browser (authorization code with PKCE, answered on a loopback port),
// the user record, and a resumable video upload (the Graph API's upload sessions, then the
// video published on the user's timeline). Addresses come from ServiceSettings.
//
// Main thread only. Every delegate message arrives on the main thread from the event loop,
// never from inside the call that caused it.
#include "sendaway/ServiceError.h"

#include <QObject>
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

// Every method is optional: the defaults do nothing.
class FacebookDelegate {
public:
    virtual ~FacebookDelegate() = default;
    // {"valid": bool, "error": text}. A refusal by the user reads Facebook::kUserDeniedError.
    virtual void facebookDidLogined(const QVariantMap &answer) { (void)answer; }
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

    // Answers with one facebookDidLogined.
    void login();
    // Ends a running sign-in without an answer.
    void cancelLogin();
    // Forgets the signed-in user (and abandons an upload); answers facebookDidLogouted.
    void logout();
    // A Graph request of the signed-in user ("me"); answers facebookDidCompleteRequest.
    void sendRequest(const QString &path);
    // "title", "description", "file" ("video") and one entry named after the file whose
    // value is the file's path: the file is streamed from disk, not held in memory.
    void uploadVideo(const QVariantMap &parameters);
    void pauseUpload();
    void resumeUpload();
    // Abandons the upload: no further message about it.
    void stopUpload();
    bool isUploading() const;

private:
    void signInAnswered(const sendaway::OAuthResult &result);
    void answerLogin(bool valid, const QString &error);

    QString _appId;
    FacebookDelegate *_delegate;
    QString _accessToken;
    QNetworkAccessManager *_network;
    sendaway::OAuthSignIn *_signIn;
    sendaway::FacebookUploadSession *_upload;
    QPointer<QNetworkReply> _request;
};
