#include "sendaway/Upvelle.h"

#include "Http.h"
#include "UploadSessions.h"
#include "sendaway/OAuthSignIn.h"
#include "sendaway/ServiceSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkAccessManager>

using namespace sendaway;

namespace {

OAuthConfig youtubeConfig(const QString &loginHint) {
    OAuthConfig c;
    c.authorizationUrl = ServiceSettings::youtubeAuthorizationUrl();
    c.tokenUrl = ServiceSettings::youtubeTokenUrl();
    c.clientId = ServiceSettings::youtubeClientId();
    c.clientSecret = ServiceSettings::youtubeClientSecret();
    c.scope = ServiceSettings::youtubeScope();
    c.loginHint = loginHint;
    // A refresh token lets a remembered account sign in again without the browser.
    c.extraAuthorizationParameters = {{QStringLiteral("access_type"), QStringLiteral("offline")}};
    c.browserTimeoutMs = ServiceSettings::browserSignInTimeoutMs();
    return c;
}

QUrl apiUrl(const QString &resource, const QList<QPair<QString, QString>> &query) {
    QUrl url = http::join(ServiceSettings::youtubeApiUrl(), resource);
    QUrlQuery q;
    for (const auto &item : query)
        q.addQueryItem(item.first, item.second);
    url.setQuery(q);
    return url;
}

} // namespace

Upvelle::Upvelle(QObject *parent)
    : QObject(parent), _network(new QNetworkAccessManager(this)), _signIn(new OAuthSignIn(_network, this)),
      _upload(new YoutubeUploadSession(_network, this)) {
    connect(_signIn, &OAuthSignIn::finished, this, &Upvelle::signInAnswered);
    connect(_upload, &ResumableUpload::progress, this, [this](qint64 sent, qint64 total) {
        if (_delegate)
            _delegate->uploadIndicatorWithCurValueMinValueMaxValue(double(sent), 0.0, double(total));
    });
    connect(_upload, &ResumableUpload::finished, this, [this](const QVariantMap &video) {
        const QString id = video.value(QStringLiteral("id")).toString();
        const QString link = id.isEmpty() ? QString() : ServiceSettings::youtubeWatchUrl().arg(id);
        if (_delegate)
            _delegate->uploadErrorEntryDesc(std::nullopt, link);
    });
    connect(_upload, &ResumableUpload::failed, this, [this](const ServiceError &e) {
        if (_delegate)
            _delegate->uploadErrorEntryDesc(e, QString());
    });
}

Upvelle::~Upvelle() {
    _delegate = nullptr;
    _upload->stop();
    if (_accountReply)
        _accountReply->abort();
    if (_categoryReply)
        _categoryReply->abort();
}

// ---------------------------------------------------------------------------------------
// Sign-in

void Upvelle::cancelLogin() {
    _signIn->cancel();
    _step = Step::None;
    for (QPointer<QNetworkReply> *p : {&_accountReply, &_categoryReply}) {
        if (QNetworkReply *r = *p) {
            *p = nullptr;
            r->abort();
        }
    }
}

void Upvelle::clientLogin() {
    cancelLogin();
    _accessToken.clear();
    if (ServiceSettings::youtubeClientId().isEmpty()) {
        QMetaObject::invokeMethod(this, [this] {
            failSignIn(QStringLiteral("YouTube sign-in is not set up in this build (no client identifier)."));
        }, Qt::QueuedConnection);
        return;
    }
    if (!_refreshToken.isEmpty()) {
        _step = Step::Refresh;
        _signIn->refreshGrant(youtubeConfig(_userID), _refreshToken);
    } else {
        passwordOrBrowser();
    }
}

void Upvelle::passwordOrBrowser() {
    if (!_psw.isEmpty() && !_userID.isEmpty()) {
        _step = Step::Password;
        _signIn->passwordGrant(youtubeConfig(_userID), _userID, _psw);
    } else {
        browser();
    }
}

void Upvelle::browser() {
    _step = Step::Browser;
    _signIn->browserFlow(youtubeConfig(_userID));
}

void Upvelle::signInAnswered(const OAuthResult &result) {
    const Step step = _step;
    if (result.outcome == OAuthResult::Outcome::Granted) {
        _accessToken = result.tokens.accessToken;
        if (!result.tokens.refreshToken.isEmpty())
            _refreshToken = result.tokens.refreshToken;
        checkAccount();
        return;
    }
    switch (step) {
    case Step::Refresh:
        // A revoked or expired refresh token: sign in the usual way.
        if (result.outcome != OAuthResult::Outcome::Failed || result.error.code == 400 || result.error.code == 401) {
            _refreshToken.clear();
            passwordOrBrowser();
            return;
        }
        break;
    case Step::Password:
        if (result.outcome == OAuthResult::Outcome::GrantRefused) {
            browser();
            return;
        }
        break;
    default:
        break;
    }
    _step = Step::None;
    if (result.outcome == OAuthResult::Outcome::Denied) {
        failSignIn(QStringLiteral("The sign-in was declined in the web browser."));
        return;
    }
    if (_delegate)
        _delegate->failedConnectError(false, result.error);
}

void Upvelle::checkAccount() {
    _step = Step::Account;
    QNetworkRequest req = http::request(
        apiUrl(QStringLiteral("channels"), {{QStringLiteral("part"), QStringLiteral("snippet")}, {QStringLiteral("mine"), QStringLiteral("true")}}),
        60000);
    req.setRawHeader("Authorization", "Bearer " + _accessToken.toUtf8());
    QNetworkReply *reply = _network->get(req);
    _accountReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply != _accountReply)
            return;
        _accountReply = nullptr;
        _step = Step::None;
        const QByteArray body = reply->readAll();
        if (reply->error() != QNetworkReply::NoError || http::status(reply) != 200) {
            _accessToken.clear();
            if (_delegate)
                _delegate->failedConnectError(false, http::replyError(reply, body, QStringLiteral("youtube")));
            return;
        }
        const QJsonArray items = QJsonDocument::fromJson(body).object().value(QStringLiteral("items")).toArray();
        if (items.isEmpty()) {
            _accessToken.clear();
            failSignIn(QStringLiteral("This account has no YouTube channel to upload to."));
            return;
        }
        if (_userID.isEmpty())
            _userID = items.first().toObject().value(QStringLiteral("snippet")).toObject().value(QStringLiteral("title")).toString();
        if (_delegate)
            _delegate->successSignedIn(true);
    });
}

void Upvelle::failSignIn(const QString &message) {
    if (_delegate)
        _delegate->failedConnectErrorMsg(false, message);
}

// ---------------------------------------------------------------------------------------
// Categories

void Upvelle::fetchStandardCategories() {
    if (_categoryReply) {
        QNetworkReply *r = _categoryReply;
        _categoryReply = nullptr;
        r->abort();
    }
    QNetworkRequest req = http::request(apiUrl(QStringLiteral("videoCategories"),
                                               {{QStringLiteral("part"), QStringLiteral("snippet")},
                                                {QStringLiteral("regionCode"), ServiceSettings::youtubeRegionCode()},
                                                {QStringLiteral("hl"), QLocale().name()}}),
                                        60000);
    req.setRawHeader("Authorization", "Bearer " + _accessToken.toUtf8());
    QNetworkReply *reply = _network->get(req);
    _categoryReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply != _categoryReply)
            return;
        _categoryReply = nullptr;
        const QByteArray body = reply->readAll();
        if (reply->error() != QNetworkReply::NoError || http::status(reply) != 200) {
            if (_delegate)
                _delegate->updateCategory(http::replyError(reply, body, QStringLiteral("youtube")));
            return;
        }
        std::vector<UpvelleCategory> categories;
        const QJsonArray items = QJsonDocument::fromJson(body).object().value(QStringLiteral("items")).toArray();
        for (const QJsonValue &v : items) {
            const QJsonObject item = v.toObject();
            const QJsonObject snippet = item.value(QStringLiteral("snippet")).toObject();
            // Only assignable categories can be given to a new video.
            if (!snippet.value(QStringLiteral("assignable")).toBool(true))
                continue;
            const QString id = item.value(QStringLiteral("id")).toString();
            const QString title = snippet.value(QStringLiteral("title")).toString();
            if (!id.isEmpty() && !title.isEmpty())
                categories.push_back({title, id});
        }
        if (categories.empty()) {
            if (_delegate)
                _delegate->updateCategory(ServiceError{QStringLiteral("youtube"), 200,
                                                       QStringLiteral("The service offered no category.")});
            return;
        }
        _categoryArr = std::move(categories);
        if (_delegate)
            _delegate->updateCategory(std::nullopt);
    });
}

// ---------------------------------------------------------------------------------------
// Upload

void Upvelle::startUploadFile() {
    QJsonArray tags;
    for (const QString &t : _keyWords.split(',', Qt::SkipEmptyParts))
        if (!t.trimmed().isEmpty())
            tags.append(t.trimmed());
    QJsonObject snippet{{QStringLiteral("title"), _title},
                        {QStringLiteral("description"), _descStr},
                        {QStringLiteral("tags"), tags}};
    if (!_category.isEmpty())
        snippet.insert(QStringLiteral("categoryId"), _category);
    const QJsonObject status{{QStringLiteral("privacyStatus"), _isPrivate ? QStringLiteral("private") : QStringLiteral("public")}};
    _upload->setAccessToken(_accessToken);
    _upload->setMetadata(QJsonObject{{QStringLiteral("snippet"), snippet}, {QStringLiteral("status"), status}});
    if (_accessToken.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] {
            if (_delegate)
                _delegate->uploadErrorEntryDesc(ServiceError{QStringLiteral("youtube"), 401,
                                                             QStringLiteral("Sign in to YouTube before uploading.")},
                                                QString());
        }, Qt::QueuedConnection);
        return;
    }
    _upload->start(_filePath);
}

void Upvelle::pauseUploadFile() { _upload->pause(); }
void Upvelle::resumeUploadFile() { _upload->resume(); }
void Upvelle::stopUploadFile() { _upload->stop(); }
bool Upvelle::isUploading() const { return _upload->isActive(); }
