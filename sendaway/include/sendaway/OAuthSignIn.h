#pragma once
// OAuth 2.0 sign-in steps shared by the upload clients:
//  - the authorization-code flow with PKCE (S256) in the system browser, answered on a
//    loopback port by Qt NetworkAuth's QOAuthHttpServerReplyHandler;
//  - the refresh grant.
// One step runs at a time; starting another ends the running one without an answer.
// Main thread only; `finished` is emitted once per step, never from inside the call that
// started it.
#include "sendaway/ServiceError.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QOAuthHttpServerReplyHandler;

namespace sendaway {

struct OAuthConfig {
    QUrl authorizationUrl;
    QUrl tokenUrl;
    QString clientId;
    QString clientSecret; // an installed program's; empty: not sent
    QString scope;        // sent as given
    QString loginHint;    // empty: not sent
    // Extra query items of the authorization address (for example access_type=offline).
    QList<QPair<QString, QString>> extraAuthorizationParameters;
    // The code is exchanged with a GET carrying the parameters in the query (Graph API)
    // instead of a form POST.
    bool tokenRequestByGet = false;
    int browserTimeoutMs = 5 * 60 * 1000;
};

struct OAuthTokens {
    QString accessToken;
    QString refreshToken;
    QDateTime expiresAt; // invalid: unknown
};

struct OAuthResult {
    enum class Outcome {
        Granted,
        Denied, // the user refused in the browser (access_denied)
        Failed,
    };
    Outcome outcome = Outcome::Failed;
    OAuthTokens tokens;
    ServiceError error; // for every outcome but Granted
};

class OAuthSignIn : public QObject {
    Q_OBJECT
public:
    explicit OAuthSignIn(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~OAuthSignIn() override;

    void browserFlow(const OAuthConfig &config);
    void refreshGrant(const OAuthConfig &config, const QString &refreshToken);
    // Ends the running step; no answer follows.
    void cancel();
    bool isRunning() const { return _running; }
    // The loopback address the running browser flow waits on (empty otherwise).
    QString redirectUri() const { return _redirectUri; }

    // Helpers exposed for the tests of the PKCE pair.
    static QString makeCodeVerifier();
    static QString codeChallenge(const QString &verifier);

signals:
    void finished(const sendaway::OAuthResult &result);

private:
    void callbackReceived(const QVariantMap &values);
    void requestToken(const QList<QPair<QString, QString>> &parameters, bool byGet);
    void tokenReplyFinished(QNetworkReply *reply);
    void finish(OAuthResult result);
    void finishFailed(const QString &text, int code = 0);
    void stopListening();

    QNetworkAccessManager *_network;
    OAuthConfig _config;
    bool _running = false;
    quint64 _serial = 0;
    QString _state;
    QString _verifier;
    QString _redirectUri;
    QOAuthHttpServerReplyHandler *_loopback = nullptr;
    QPointer<QNetworkReply> _reply;
    QTimer _timeout;
};

} // namespace sendaway

Q_DECLARE_METATYPE(sendaway::OAuthResult)
