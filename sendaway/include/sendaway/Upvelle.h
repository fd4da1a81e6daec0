#pragma once
// The YouTube client the upload sheet drives: sign-in (OAuth 2.0), the standard categories,
// and a resumable upload of one file with its title, keywords, description, category and
// privacy. It speaks the YouTube Data API v3 against the addresses of ServiceSettings.
//
// Sign-in (clientLogin): with a refresh token, the refresh grant; else the installed-app
// authorization-code flow with PKCE in the system browser, answered on a loopback port
// (the typed name, when it is an address, as login_hint). Google accounts have no password
// grant: no password is ever asked for, sent or kept. The account is then checked with
// channels?part=snippet&mine=true, and its channel names the signed-in user.
//
// The access token is renewed with the refresh token a minute before it expires, before
// any request, and once when a request is refused with 401 (the upload's chunks too).
// When the refresh is refused the browser sign-in runs again and the upload goes on from
// what the server holds (uploadNeedsSignIn tells the sheet meanwhile).
//
// Main thread only. Every delegate message arrives on the main thread from the event loop,
// never from inside the call that caused it.
#include "sendaway/ServiceError.h"

#include <QDateTime>
#include <QObject>
#include <functional>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

namespace sendaway {
class OAuthSignIn;
struct OAuthResult;
class YoutubeUploadSession;
} // namespace sendaway

// One YouTube category as offered to the user.
struct UpvelleCategory {
    QString labelDesc; // the text shown
    QString termDesc;  // the category id sent with the upload
};

class Upvelle;

// Every method is optional: the defaults do nothing.
class YoutubeUploadDelegate {
public:
    virtual ~YoutubeUploadDelegate() = default;
    virtual void successSignedIn(bool signedIn) { (void)signedIn; }
    virtual void failedConnectError(bool connected, const sendaway::ServiceError &error) {
        (void)connected, (void)error;
    }
    virtual void failedConnectErrorMsg(bool connected, const QString &message) { (void)connected, (void)message; }
    // No error: categoryArr() holds the categories.
    virtual void updateCategory(const std::optional<sendaway::ServiceError> &error) { (void)error; }
    // Bytes sent so far, 0 and the file's size.
    virtual void uploadIndicatorWithCurValueMinValueMaxValue(double cur, double min, double max) {
        (void)cur, (void)min, (void)max;
    }
    // The refresh token was refused during an upload: the web browser asks the person to
    // sign in again, and the upload waits for it.
    virtual void uploadNeedsSignIn(Upvelle *client) { (void)client; }
    // The end of an upload: an error, or none and the new video's address.
    virtual void uploadErrorEntryDesc(const std::optional<sendaway::ServiceError> &error, const QString &link) {
        (void)error, (void)link;
    }
    virtual void invalidFile(Upvelle *client) { (void)client; }
    virtual void youtubeUploadDidFinished(Upvelle *client) { (void)client; }
};

class Upvelle : public QObject {
    Q_OBJECT
public:
    explicit Upvelle(QObject *parent = nullptr);
    ~Upvelle() override;

    YoutubeUploadDelegate *delegate() const { return _delegate; }
    void setDelegate(YoutubeUploadDelegate *d) { _delegate = d; }

    // Before the sign-in: a hint for the sign-in page; after it: the signed-in account.
    void setUserID(const QString &user) { _userID = user; }
    const QString &userID() const { return _userID; }
    // A refresh token from an earlier sign-in (kept in the keyring by the caller); replaced
    // when the service issues a new one.
    void setRefreshToken(const QString &token) { _refreshToken = token; }
    const QString &refreshToken() const { return _refreshToken; }
    bool isSignedIn() const { return !_accessToken.isEmpty(); }

    // Answers with exactly one of successSignedIn, failedConnectError, failedConnectErrorMsg.
    void clientLogin();
    // Ends a running sign-in or category request without an answer (the browser's page
    // then finds no one listening).
    void cancelLogin();
    // Answers with updateCategory.
    void fetchStandardCategories();
    const std::vector<UpvelleCategory> &categoryArr() const { return _categoryArr; }

    void setFilePath(const QString &path) { _filePath = path; }
    void setTitle(const QString &title) { _title = title; }
    void setKeyWords(const QString &keywords) { _keyWords = keywords; }
    void setDescStr(const QString &description) { _descStr = description; }
    void setCategory(const QString &term) { _category = term; }
    void setIsPrivate(bool on) { _isPrivate = on; }
    const QString &filePath() const { return _filePath; }

    // Progress with uploadIndicatorWithCurValueMinValueMaxValue, the end with one
    // uploadErrorEntryDesc.
    void startUploadFile();
    void pauseUploadFile();
    void resumeUploadFile();
    // Abandons the upload: no further message about it.
    void stopUploadFile();
    bool isUploading() const;

    // The token is good for at least another minute.
    bool tokenFresh() const;

private:
    void signInAnswered(const sendaway::OAuthResult &result);
    void browser();
    void takeTokens(const sendaway::OAuthResult &result);
    // Renews the access token (refresh grant; with `browserIfRefused` the browser sign-in
    // when that is refused), then runs `done` with the error, if any.
    void renewToken(bool browserIfRefused, std::function<void(std::optional<sendaway::ServiceError>)> done);
    void renewAnswered(const sendaway::OAuthResult &result);
    void requestCategories(bool renewed);
    void checkAccount();
    void failSignIn(const QString &message);

    YoutubeUploadDelegate *_delegate = nullptr;
    QString _userID, _refreshToken, _accessToken;
    QDateTime _expiresAt;
    std::vector<UpvelleCategory> _categoryArr;
    QString _filePath, _title, _keyWords, _descStr, _category;
    bool _isPrivate = false;
    enum class Step { None, Refresh, Browser, Account } _step = Step::None;
    enum class Renewal { None, Refresh, Browser } _renewal = Renewal::None;
    bool _renewBrowserIfRefused = false;
    std::vector<std::function<void(std::optional<sendaway::ServiceError>)>> _renewWaiters;

    QNetworkAccessManager *_network;
    sendaway::OAuthSignIn *_signIn;
    sendaway::OAuthSignIn *_renew;
    sendaway::YoutubeUploadSession *_upload;
    QPointer<QNetworkReply> _accountReply;
    QPointer<QNetworkReply> _categoryReply;
};
