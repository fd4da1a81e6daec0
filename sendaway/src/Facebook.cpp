#include "sendaway/Facebook.h"

#include <QCoreApplication>

#include "Http.h"
#include "UploadSessions.h"
#include "sendaway/ServiceSettings.h"

#include <foundation/Reveal.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QUrlQuery>

using namespace sendaway;

Facebook::Facebook(const QString &applicationId, FacebookDelegate *delegate, QObject *parent)
    : QObject(parent), _appId(applicationId), _delegate(delegate), _network(new QNetworkAccessManager(this)),
      _upload(new FacebookUploadSession(_network, this)) {
    _poll.setSingleShot(true);
    connect(&_poll, &QTimer::timeout, this, &Facebook::pollDevice);
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
    cancelLogin();
    for (QNetworkReply *r : {_request.data(), _pagesReply.data()})
        if (r)
            r->abort();
}

QByteArray Facebook::appToken() const {
    // The client token is no secret: it ships with the program, as the device flow expects.
    return (_appId + '|' + ServiceSettings::facebookClientToken()).toUtf8();
}

QNetworkRequest Facebook::graphRequest(const QString &path) const {
    QNetworkRequest req = http::request(http::join(ServiceSettings::facebookGraphUrl(), path), 60000);
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    return req;
}

void Facebook::login() {
    cancelLogin();
    _accessToken.clear();
    if (_appId.isEmpty() || ServiceSettings::facebookClientToken().isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                answerLogin(false,
                            QCoreApplication::translate(
                                "Facebook", "No Facebook application identifier or client token is configured."));
            },
            Qt::QueuedConnection);
        return;
    }
    const QByteArray form = http::formBody({{QStringLiteral("access_token"), QString::fromUtf8(appToken())},
                                            {QStringLiteral("scope"), ServiceSettings::facebookScope()}});
    QNetworkReply *reply = _network->post(graphRequest(QStringLiteral("device/login")), form);
    _login = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { deviceStarted(reply); });
}

void Facebook::deviceStarted(QNetworkReply *reply) {
    reply->deleteLater();
    if (reply != _login)
        return;
    _login = nullptr;
    const QByteArray body = reply->readAll();
    const QVariantMap answer = http::parseBody(body);
    _deviceCode = answer.value(QStringLiteral("code")).toString();
    const QString userCode = answer.value(QStringLiteral("user_code")).toString();
    QUrl page(answer.value(QStringLiteral("verification_uri")).toString());
    if (http::status(reply) != 200 || _deviceCode.isEmpty() || userCode.isEmpty() || !page.isValid()) {
        answerLogin(false, http::replyError(reply, body, QStringLiteral("facebook")).localizedDescription);
        return;
    }
    const int expiresIn = std::max(1, answer.value(QStringLiteral("expires_in")).toInt());
    _deviceDeadline = QDateTime::currentDateTimeUtc().addSecs(expiresIn);
    // The code goes with the page so that the person only has to confirm it.
    QUrlQuery q(page);
    q.addQueryItem(QStringLiteral("user_code"), userCode);
    page.setQuery(q);
    if (_delegate)
        _delegate->facebookDeviceCode(userCode, page);
    foundation::Reveal::openUrl(page);
    _poll.setInterval(std::max(250, answer.value(QStringLiteral("interval")).toInt() * 1000));
    _poll.start();
}

void Facebook::pollDevice() {
    if (_deviceCode.isEmpty())
        return;
    if (QDateTime::currentDateTimeUtc() > _deviceDeadline) {
        _deviceCode.clear();
        answerLogin(false, QCoreApplication::translate(
                               "Facebook", "The sign-in code expired before it was confirmed on Facebook."));
        return;
    }
    const QByteArray form = http::formBody(
        {{QStringLiteral("access_token"), QString::fromUtf8(appToken())}, {QStringLiteral("code"), _deviceCode}});
    QNetworkReply *reply = _network->post(graphRequest(QStringLiteral("device/login_status")), form);
    _login = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { devicePolled(reply); });
}

void Facebook::devicePolled(QNetworkReply *reply) {
    reply->deleteLater();
    if (reply != _login)
        return;
    _login = nullptr;
    const QByteArray body = reply->readAll();
    const QVariantMap answer = http::parseBody(body);
    const QString token = answer.value(QStringLiteral("access_token")).toString();
    if (http::status(reply) == 200 && !token.isEmpty()) {
        _deviceCode.clear();
        _accessToken = token;
        answerLogin(true, QString());
        return;
    }
    const int subcode = answer.value(QStringLiteral("error")).toMap().value(QStringLiteral("error_subcode")).toInt();
    if (subcode == 1349174 || subcode == 1349172 || http::isTransient(reply)) {
        // Not confirmed yet, or asked too often: wait another interval (longer when told).
        if (subcode == 1349172)
            _poll.setInterval(_poll.interval() * 2);
        _poll.start();
        return;
    }
    _deviceCode.clear();
    answerLogin(false, subcode == 1349152
                           ? QCoreApplication::translate(
                                 "Facebook", "The sign-in code expired before it was confirmed on Facebook.")
                           : http::replyError(reply, body, QStringLiteral("facebook")).localizedDescription);
}

void Facebook::answerLogin(bool valid, const QString &error) {
    if (_delegate)
        _delegate->facebookDidLogined({{QStringLiteral("valid"), valid}, {QStringLiteral("error"), error}});
}

void Facebook::cancelLogin() {
    _poll.stop();
    _deviceCode.clear();
    if (QNetworkReply *r = _login) {
        _login = nullptr;
        r->abort();
    }
}

void Facebook::logout() {
    cancelLogin();
    _page = {};
    _upload->stop();
    if (_request) {
        QNetworkReply *r = _request;
        _request = nullptr;
        r->abort();
    }
    _accessToken.clear();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (_delegate)
                _delegate->facebookDidLogouted(this);
        },
        Qt::QueuedConnection);
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
            _delegate->facebookDidCompleteRequest(
                {{QStringLiteral("request"), path}, {QStringLiteral("result"), QString::fromUtf8(body)}});
    });
}

void Facebook::fetchPages() {
    if (_pagesReply)
        _pagesReply->abort();
    QUrl url = http::join(ServiceSettings::facebookGraphUrl(), QStringLiteral("me/accounts"));
    url.setQuery(QStringLiteral("fields=id,name,access_token,tasks&limit=100"));
    QNetworkRequest req = http::request(url, 60000);
    req.setRawHeader("Authorization", "Bearer " + _accessToken.toUtf8());
    QNetworkReply *reply = _network->get(req);
    _pagesReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply != _pagesReply)
            return;
        _pagesReply = nullptr;
        const QByteArray body = reply->readAll();
        QList<FacebookPage> pages;
        if (http::status(reply) != 200) {
            if (_delegate)
                _delegate->facebookPagesLoaded(pages, http::replyError(reply, body, QStringLiteral("facebook")));
            return;
        }
        for (const QJsonValue &v : QJsonDocument::fromJson(body).object().value(QStringLiteral("data")).toArray()) {
            const QJsonObject o = v.toObject();
            // Only Pages the person may create content on can take a video.
            const QJsonArray tasks = o.value(QStringLiteral("tasks")).toArray();
            if (!tasks.isEmpty() && !tasks.contains(QStringLiteral("CREATE_CONTENT")))
                continue;
            FacebookPage p{o.value(QStringLiteral("id")).toString(), o.value(QStringLiteral("name")).toString(),
                           o.value(QStringLiteral("access_token")).toString()};
            if (!p.id.isEmpty() && !p.accessToken.isEmpty())
                pages.append(p);
        }
        if (_delegate)
            _delegate->facebookPagesLoaded(pages, std::nullopt);
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
    _upload->setPage(_page.id, _page.accessToken);
    _upload->setPost(parameters.value(QStringLiteral("title")).toString(),
                     parameters.value(QStringLiteral("description")).toString());
    QString refusal;
    if (_accessToken.isEmpty())
        refusal = QCoreApplication::translate("Facebook", "Sign in to Facebook before uploading.");
    else if (_page.id.isEmpty() || _page.accessToken.isEmpty())
        refusal = QCoreApplication::translate("Facebook", "Choose a Facebook Page to publish the video on.");
    else if (videoMimeType(path) != u"video/mp4")
        refusal = QCoreApplication::translate("Facebook", "Facebook takes MP4 video files only.");
    if (!refusal.isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this, refusal] {
                if (_delegate)
                    _delegate->facebookUploadFailed({QStringLiteral("facebook"), 0, refusal});
            },
            Qt::QueuedConnection);
        return;
    }
    _upload->start(path);
}

void Facebook::pauseUpload() { _upload->pause(); }
void Facebook::stopUpload() { _upload->stop(); }
bool Facebook::isUploading() const { return _upload->isActive(); }
