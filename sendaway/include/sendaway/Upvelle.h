#pragma once
// The YouTube client the upload sheet drives: sign-in (OAuth 2.0), the standard categories,
// and a resumable upload of one file with its title, keywords, description, category and
// privacy. It speaks the YouTube Data API v3 against the addresses of ServiceSettings.
//
// Sign-in (clientLogin): with a refresh token, the refresh grant; else with a password, the
// password grant at the token endpoint; where the service refuses that grant (or there is
// no password) the authorization-code flow with PKCE in the system browser, the user name
// as login_hint, answered on a loopback port. The account is then checked with
// channels?part=snippet&mine=true.
//
// Main thread only. Every delegate message arrives on the main thread from the event loop,
// never from inside the call that caused it.
#include "sendaway/ServiceError.h"

#include <QObject>
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
    virtual void failedConnectError(bool connected, const sendaway::ServiceError &error) { (void)connected, (void)error; }
    virtual void failedConnectErrorMsg(bool connected, const QString &message) { (void)connected, (void)message; }
    // No error: categoryArr() holds the categories.
    virtual void updateCategory(const std::optional<sendaway::ServiceError> &error) { (void)error; }
    // Bytes sent so far, 0 and the file's size.
    virtual void uploadIndicatorWithCurValueMinValueMaxValue(double cur, double min, double max) {
        (void)cur, (void)min, (void)max;
    }
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

    void setUserID(const QString &user) { _userID = user; }
    const QString &userID() const { return _userID; }
    void setPsw(const QString &password) { _psw = password; }
    const QString &psw() const { return _psw; }
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

private:
    void signInAnswered(const sendaway::OAuthResult &result);
    void passwordOrBrowser();
    void browser();
    void checkAccount();
    void failSignIn(const QString &message);

    YoutubeUploadDelegate *_delegate = nullptr;
    QString _userID, _psw, _refreshToken, _accessToken;
    std::vector<UpvelleCategory> _categoryArr;
    QString _filePath, _title, _keyWords, _descStr, _category;
    bool _isPrivate = false;
    enum class Step { None, Refresh, Password, Browser, Account } _step = Step::None;

    QNetworkAccessManager *_network;
    sendaway::OAuthSignIn *_signIn;
    sendaway::YoutubeUploadSession *_upload;
    QPointer<QNetworkReply> _accountReply;
    QPointer<QNetworkReply> _categoryReply;
};
