#include "sendaway/OAuthSignIn.h"

#include <QCoreApplication>

#include "Http.h"

#include <foundation/Reveal.h>

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QOAuthHttpServerReplyHandler>
#include <QRandomGenerator>

namespace sendaway {
namespace {

QString randomToken(int length) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
    QString out;
    out.reserve(length);
    auto *rng = QRandomGenerator::system();
    for (int i = 0; i < length; ++i)
        out += QLatin1Char(alphabet[rng->bounded(int(sizeof(alphabet) - 1))]);
    return out;
}

// Values arrive as the browser sent them; '+' stands for a space in a form-encoded query.
QString queryValue(const QVariantMap &values, const char *key, bool text = false) {
    QString v = values.value(QString::fromLatin1(key)).toString();
    if (text)
        v.replace('+', ' ');
    return QUrl::fromPercentEncoding(v.toUtf8());
}

} // namespace

OAuthSignIn::OAuthSignIn(QNetworkAccessManager *network, QObject *parent) : QObject(parent), _network(network) {
    qRegisterMetaType<sendaway::OAuthResult>();
    _timeout.setSingleShot(true);
    connect(&_timeout, &QTimer::timeout, this, [this] {
        finishFailed(
            QCoreApplication::translate("OAuthSignIn", "The sign-in in the web browser did not finish in time."));
    });
}

OAuthSignIn::~OAuthSignIn() { cancel(); }

QString OAuthSignIn::makeCodeVerifier() { return randomToken(64); }

QString OAuthSignIn::codeChallenge(const QString &verifier) {
    const QByteArray digest = QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

void OAuthSignIn::cancel() {
    ++_serial;
    _running = false;
    _timeout.stop();
    if (_reply) {
        QNetworkReply *r = _reply;
        _reply = nullptr;
        r->abort();
        r->deleteLater();
    }
    stopListening();
}

void OAuthSignIn::stopListening() {
    if (_loopback) {
        // No new connection is taken; the page being answered gets a few seconds to reach
        // the browser before the handler and its sockets go.
        disconnect(_loopback, nullptr, this, nullptr);
        _loopback->close();
        QTimer::singleShot(5000, _loopback, &QObject::deleteLater);
        _loopback = nullptr;
    }
    _redirectUri.clear();
}

void OAuthSignIn::browserFlow(const OAuthConfig &config) {
    cancel();
    _config = config;
    _running = true;
    const quint64 serial = _serial;
    if (config.clientId.isEmpty() || !config.authorizationUrl.isValid() || !config.tokenUrl.isValid()) {
        // Answer later, like every other outcome.
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (serial == _serial)
                    finishFailed(QCoreApplication::translate("OAuthSignIn",
                                                             "The sign-in is not configured (no client identifier)."));
            },
            Qt::QueuedConnection);
        return;
    }
    // Only this machine may answer the redirect.
    _loopback = new QOAuthHttpServerReplyHandler(QHostAddress(QHostAddress::LocalHost), 0, this);
    _loopback->setCallbackPath(QStringLiteral("callback"));
    _loopback->setCallbackText(QStringLiteral(
        "Cinvora has received the answer of the sign-in. You can close this page and return to the program."));
    if (!_loopback->isListening()) {
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (serial == _serial)
                    finishFailed(
                        QCoreApplication::translate("OAuthSignIn", "No local port could be opened for the sign-in."));
            },
            Qt::QueuedConnection);
        return;
    }
    _redirectUri = _loopback->callback();
    connect(_loopback, &QAbstractOAuthReplyHandler::callbackReceived, this, &OAuthSignIn::callbackReceived);

    _state = randomToken(32);
    _verifier = makeCodeVerifier();
    QUrl url(config.authorizationUrl);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("client_id"), config.clientId);
    query.addQueryItem(QStringLiteral("redirect_uri"), _redirectUri);
    if (!config.scope.isEmpty())
        query.addQueryItem(QStringLiteral("scope"), config.scope);
    query.addQueryItem(QStringLiteral("state"), _state);
    query.addQueryItem(QStringLiteral("code_challenge"), codeChallenge(_verifier));
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    if (!config.loginHint.isEmpty())
        query.addQueryItem(QStringLiteral("login_hint"), config.loginHint);
    for (const auto &extra : config.extraAuthorizationParameters)
        query.addQueryItem(extra.first, extra.second);
    // Reserved characters in values (the redirect address, scopes) must be encoded.
    QString encoded;
    for (const auto &item : query.queryItems(QUrl::FullyDecoded)) {
        if (!encoded.isEmpty())
            encoded += '&';
        encoded +=
            QString::fromLatin1(QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second));
    }
    url.setQuery(encoded, QUrl::StrictMode);

    _timeout.start(std::max(100, config.browserTimeoutMs));
    if (!foundation::Reveal::openUrl(url)) {
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (serial == _serial)
                    finishFailed(
                        QCoreApplication::translate("OAuthSignIn", "No web browser could be opened for the sign-in."));
            },
            Qt::QueuedConnection);
    }
}

void OAuthSignIn::callbackReceived(const QVariantMap &values) {
    if (!_running || !_loopback)
        return;
    // A request without our state is not the answer to this sign-in (a stray page load,
    // or a forged redirect); keep waiting for the real one.
    if (queryValue(values, "state") != _state)
        return;
    const QString error = queryValue(values, "error");
    const QString code = queryValue(values, "code");
    const QString redirectUri = _redirectUri;
    stopListening();
    if (!error.isEmpty()) {
        OAuthResult r;
        const QString reason = queryValue(values, "error_reason");
        r.outcome = (error == u"access_denied" || reason == u"user_denied") ? OAuthResult::Outcome::Denied
                                                                            : OAuthResult::Outcome::Failed;
        r.error.domain = QStringLiteral("oauth");
        r.error.localizedDescription = queryValue(values, "error_description", true);
        if (r.error.localizedDescription.isEmpty())
            r.error.localizedDescription = error;
        finish(r);
        return;
    }
    if (code.isEmpty()) {
        finishFailed(
            QCoreApplication::translate("OAuthSignIn", "The sign-in page answered without an authorization code."));
        return;
    }
    QList<QPair<QString, QString>> p{{QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
                                     {QStringLiteral("code"), code},
                                     {QStringLiteral("redirect_uri"), redirectUri},
                                     {QStringLiteral("client_id"), _config.clientId},
                                     {QStringLiteral("code_verifier"), _verifier}};
    requestToken(p, _config.tokenRequestByGet);
}

void OAuthSignIn::refreshGrant(const OAuthConfig &config, const QString &refreshToken) {
    cancel();
    _config = config;
    _running = true;
    requestToken({{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                  {QStringLiteral("refresh_token"), refreshToken},
                  {QStringLiteral("client_id"), config.clientId}},
                 false);
}

void OAuthSignIn::requestToken(const QList<QPair<QString, QString>> &parameters, bool byGet) {
    QList<QPair<QString, QString>> p;
    for (const auto &item : parameters)
        if (!(item.first == u"scope" && item.second.isEmpty()))
            p.append(item);
    if (!_config.clientSecret.isEmpty())
        p.append({QStringLiteral("client_secret"), _config.clientSecret});
    QNetworkReply *reply = nullptr;
    if (byGet) {
        QUrl url(_config.tokenUrl);
        url.setQuery(QString::fromLatin1(http::formBody(p)), QUrl::StrictMode);
        reply = _network->get(http::request(url, 60000));
    } else {
        QNetworkRequest req = http::request(_config.tokenUrl, 60000);
        req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        req.setRawHeader("Accept", "application/json");
        reply = _network->post(req, http::formBody(p));
    }
    _reply = reply;
    const quint64 serial = _serial;
    connect(reply, &QNetworkReply::finished, this, [this, reply, serial] {
        reply->deleteLater();
        if (serial != _serial || reply != _reply)
            return;
        _reply = nullptr;
        tokenReplyFinished(reply);
    });
}

void OAuthSignIn::tokenReplyFinished(QNetworkReply *reply) {
    const QByteArray body = reply->readAll();
    const QVariantMap values = http::parseBody(body);
    const QString token = values.value(QStringLiteral("access_token")).toString();
    if (reply->error() == QNetworkReply::NoError && !token.isEmpty()) {
        OAuthResult r;
        r.outcome = OAuthResult::Outcome::Granted;
        r.tokens.accessToken = token;
        r.tokens.refreshToken = values.value(QStringLiteral("refresh_token")).toString();
        bool ok = false;
        const qint64 expiresIn = values.value(QStringLiteral("expires_in")).toLongLong(&ok);
        if (ok && expiresIn > 0)
            r.tokens.expiresAt = QDateTime::currentDateTimeUtc().addSecs(expiresIn);
        finish(r);
        return;
    }
    OAuthResult r;
    r.error = http::replyError(reply, body, QStringLiteral("oauth"));
    r.outcome = OAuthResult::Outcome::Failed;
    if (reply->error() == QNetworkReply::NoError && token.isEmpty() && r.error.code < 400)
        r.error.localizedDescription =
            QCoreApplication::translate("OAuthSignIn", "The sign-in service answered without an access token.");
    finish(r);
}

void OAuthSignIn::finishFailed(const QString &text, int code) {
    OAuthResult r;
    r.outcome = OAuthResult::Outcome::Failed;
    r.error.domain = QStringLiteral("oauth");
    r.error.code = code;
    r.error.localizedDescription = text;
    finish(r);
}

void OAuthSignIn::finish(OAuthResult result) {
    if (!_running)
        return;
    _running = false;
    _timeout.stop();
    stopListening();
    ++_serial;
    emit finished(result);
}

} // namespace sendaway
