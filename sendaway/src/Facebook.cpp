#include "sendaway/Facebook.h"

#include "Http.h"
#include "UploadSessions.h"
#include "sendaway/OAuthSignIn.h"
#include "sendaway/ServiceSettings.h"

#include <QFileInfo>
#include <QNetworkAccessManager>

using namespace sendaway;

Facebook::Facebook(const QString &applicationId, FacebookDelegate *delegate, QObject *parent)
    : QObject(parent), _appId(applicationId), _delegate(delegate), _network(new QNetworkAccessManager(this)),
      _signIn(new OAuthSignIn(_network, this)), _upload(new FacebookUploadSession(_network, this)) {
    connect(_signIn, &OAuthSignIn::finished, this, &Facebook::signInAnswered);
    connect(_upload, &ResumableUpload::progress, this, [this](qint64 sent, qint64 total) {
        if (_delegate && total > 0)
            _delegate->facebookUploading(100.0 * double(sent) / double(total));
    });
    connect(_upload, &ResumableUpload::finished, this, [this](const QVariantMap &video) {
        if (_delegate)
            _delegate->facebookUploadFinised(video);
    });
    connect(_upload, &ResumableUpload::failed, this, [this](const ServiceError &e) {
        if (_delegate)
            _delegate->facebookUploadFailed(e);
    });
}

Facebook::~Facebook() {
    _delegate = nullptr;
    _upload->stop();
    if (_request)
        _request->abort();
}

void Facebook::login() {
    _accessToken.clear();
    if (_appId.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] {
            answerLogin(false, QStringLiteral("No Facebook application identifier is configured."));
        }, Qt::QueuedConnection);
        return;
    }
    OAuthConfig c;
    c.authorizationUrl = ServiceSettings::facebookAuthorizationUrl();
    c.tokenUrl = ServiceSettings::facebookTokenUrl();
    c.clientId = _appId;
    c.scope = ServiceSettings::facebookScope();
    c.tokenRequestByGet = true;
    c.browserTimeoutMs = ServiceSettings::browserSignInTimeoutMs();
    _signIn->browserFlow(c);
}

void Facebook::signInAnswered(const OAuthResult &result) {
    switch (result.outcome) {
    case OAuthResult::Outcome::Granted:
        _accessToken = result.tokens.accessToken;
        answerLogin(true, QString());
        return;
    case OAuthResult::Outcome::Denied:
        answerLogin(false, QString::fromLatin1(kUserDeniedError));
        return;
    default:
        answerLogin(false, result.error.localizedDescription);
        return;
    }
}

void Facebook::answerLogin(bool valid, const QString &error) {
    if (_delegate)
        _delegate->facebookDidLogined({{QStringLiteral("valid"), valid}, {QStringLiteral("error"), error}});
}

void Facebook::cancelLogin() { _signIn->cancel(); }

void Facebook::logout() {
    _signIn->cancel();
    _upload->stop();
    if (_request) {
        QNetworkReply *r = _request;
        _request = nullptr;
        r->abort();
    }
    _accessToken.clear();
    QMetaObject::invokeMethod(this, [this] {
        if (_delegate)
            _delegate->facebookDidLogouted(this);
    }, Qt::QueuedConnection);
}

void Facebook::sendRequest(const QString &path) {
    QUrl url = http::join(ServiceSettings::facebookGraphUrl(), path);
    if (path == u"me")
        url.setQuery(QStringLiteral("fields=id,name"));
    QNetworkRequest req = http::request(url, 60000);
    req.setRawHeader("Authorization", "Bearer " + _accessToken.toUtf8());
    QNetworkReply *reply = _network->get(req);
    _request = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, path] {
        reply->deleteLater();
        if (reply != _request)
            return;
        _request = nullptr;
        QByteArray body = reply->readAll();
        if (body.trimmed().isEmpty() || !body.trimmed().startsWith('{'))
            body = "{}";
        if (_delegate)
            _delegate->facebookDidCompleteRequest({{QStringLiteral("request"), path},
                                                   {QStringLiteral("result"), QString::fromUtf8(body)}});
    });
}

void Facebook::uploadVideo(const QVariantMap &parameters) {
    QString path;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        if (it.key() == u"title" || it.key() == u"description" || it.key() == u"file")
            continue;
        path = it.value().toString();
        break;
    }
    _upload->setApplicationId(_appId);
    _upload->setAccessToken(_accessToken);
    _upload->setPost(parameters.value(QStringLiteral("title")).toString(),
                     parameters.value(QStringLiteral("description")).toString());
    if (_accessToken.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] {
            if (_delegate)
                _delegate->facebookUploadFailed({QStringLiteral("facebook"), 401, QStringLiteral("Sign in to Facebook before uploading.")});
        }, Qt::QueuedConnection);
        return;
    }
    _upload->start(path);
}

void Facebook::pauseUpload() { _upload->pause(); }
void Facebook::resumeUpload() { _upload->resume(); }
void Facebook::stopUpload() { _upload->stop(); }
bool Facebook::isUploading() const { return _upload->isActive(); }
