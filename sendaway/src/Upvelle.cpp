#include "sendaway/Upvelle.h"

#include <QCoreApplication>

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
    // Only an address means anything to the sign-in page.
    if (loginHint.contains('@'))
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
      _renew(new OAuthSignIn(_network, this)), _upload(new YoutubeUploadSession(_network, this)) {
    connect(_signIn, &OAuthSignIn::finished, this, &Upvelle::signInAnswered);
    connect(_renew, &OAuthSignIn::finished, this, &Upvelle::renewAnswered);
    _upload->setCredentialCheck([this] { return tokenFresh(); });
    connect(_upload, &ResumableUpload::credentialsNeeded, this, [this] {
        renewToken(true, [this](std::optional<ServiceError> e) {
            if (e) {
                _upload->credentialsRefused(*e);
                return;
            }
            _upload->setAccessToken(_accessToken);
            _upload->credentialsRenewed();
        });
    });
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

bool Upvelle::tokenFresh() const {
    if (_accessToken.isEmpty())
        return false;
    return !_expiresAt.isValid() || QDateTime::currentDateTimeUtc().secsTo(_expiresAt) > 60;
}

void Upvelle::takeTokens(const OAuthResult &result) {
    _accessToken = result.tokens.accessToken;
    _expiresAt = result.tokens.expiresAt;
    if (!result.tokens.refreshToken.isEmpty())
        _refreshToken = result.tokens.refreshToken;
}

void Upvelle::renewToken(bool browserIfRefused, std::function<void(std::optional<ServiceError>)> done) {
    _renewWaiters.push_back(std::move(done));
    _renewBrowserIfRefused = _renewBrowserIfRefused || browserIfRefused;
    if (_renewal != Renewal::None)
        return; // one renewal answers everyone waiting
    if (!_refreshToken.isEmpty()) {
        _renewal = Renewal::Refresh;
        _renew->refreshGrant(youtubeConfig(_userID), _refreshToken);
        return;
    }
    OAuthResult none;
    none.outcome = OAuthResult::Outcome::Failed;
    none.error = {QStringLiteral("youtube"), 401,
                  QCoreApplication::translate("Upvelle", "The sign-in has expired. Sign in again.")};
    _renewal = Renewal::Refresh;
    QMetaObject::invokeMethod(
        this, [this, none] { renewAnswered(none); }, Qt::QueuedConnection);
}

void Upvelle::renewAnswered(const OAuthResult &result) {
    if (result.outcome == OAuthResult::Outcome::Granted) {
        takeTokens(result);
    } else if (_renewal == Renewal::Refresh && _renewBrowserIfRefused) {
        // The refresh token is gone (revoked, expired): the person signs in again.
        _refreshToken.clear();
        _renewal = Renewal::Browser;
        if (_delegate)
            _delegate->uploadNeedsSignIn(this);
        _renew->browserFlow(youtubeConfig(_userID));
        return;
    }
    _renewal = Renewal::None;
    _renewBrowserIfRefused = false;
    std::optional<ServiceError> error;
    if (result.outcome != OAuthResult::Outcome::Granted) {
        error = result.error;
        if (error->localizedDescription.isEmpty())
            error->localizedDescription =
                QCoreApplication::translate("Upvelle", "The sign-in has expired. Sign in again.");
    }
    auto waiters = std::move(_renewWaiters);
    _renewWaiters.clear();
    for (auto &w : waiters)
        w(error);
}

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
        QMetaObject::invokeMethod(
            this,
            [this] {
                failSignIn(QCoreApplication::translate(
                    "Upvelle", "YouTube sign-in is not set up in this build (no client identifier)."));
            },
            Qt::QueuedConnection);
        return;
    }
    if (!_refreshToken.isEmpty()) {
        _step = Step::Refresh;
        _signIn->refreshGrant(youtubeConfig(_userID), _refreshToken);
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
        takeTokens(result);
        checkAccount();
        return;
    }
    switch (step) {
    case Step::Refresh:
        // A revoked or expired refresh token: sign in the usual way.
        if (result.outcome != OAuthResult::Outcome::Failed || result.error.code == 400 || result.error.code == 401) {
            _refreshToken.clear();
            browser();
            return;
        }
        break;
    default:
        break;
    }
    _step = Step::None;
    if (result.outcome == OAuthResult::Outcome::Denied) {
        failSignIn(QCoreApplication::translate("Upvelle", "The sign-in was declined in the web browser."));
        return;
    }
    if (_delegate)
        _delegate->failedConnectError(false, result.error);
}

void Upvelle::checkAccount() {
    _step = Step::Account;
    QNetworkRequest req =
        http::request(apiUrl(QStringLiteral("channels"), {{QStringLiteral("part"), QStringLiteral("snippet")},
                                                          {QStringLiteral("mine"), QStringLiteral("true")}}),
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
            failSignIn(QCoreApplication::translate("Upvelle", "This account has no YouTube channel to upload to."));
            return;
        }
        // The account that signed in, whatever name was typed as a hint.
        const QString channel = items.first()
                                    .toObject()
                                    .value(QStringLiteral("snippet"))
                                    .toObject()
                                    .value(QStringLiteral("title"))
                                    .toString();
        if (!channel.isEmpty())
            _userID = channel;
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
    if (!tokenFresh() && !_refreshToken.isEmpty()) {
        renewToken(false, [this](std::optional<ServiceError>) { requestCategories(true); });
        return;
    }
    requestCategories(false);
}

void Upvelle::requestCategories(bool renewed) {
    QNetworkRequest req = http::request(
        apiUrl(QStringLiteral("videoCategories"), {{QStringLiteral("part"), QStringLiteral("snippet")},
                                                   {QStringLiteral("regionCode"), ServiceSettings::youtubeRegionCode()},
                                                   {QStringLiteral("hl"), QLocale().name()}}),
        60000);
    req.setRawHeader("Authorization", "Bearer " + _accessToken.toUtf8());
    QNetworkReply *reply = _network->get(req);
    _categoryReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, renewed] {
        reply->deleteLater();
        if (reply != _categoryReply)
            return;
        _categoryReply = nullptr;
        const QByteArray body = reply->readAll();
        if (http::status(reply) == 401 && !renewed && !_refreshToken.isEmpty()) {
            renewToken(false, [this](std::optional<ServiceError>) { requestCategories(true); });
            return;
        }
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
                _delegate->updateCategory(
                    ServiceError{QStringLiteral("youtube"), 200,
                                 QCoreApplication::translate("Upvelle", "The service offered no category.")});
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
    QJsonObject snippet{
        {QStringLiteral("title"), _title}, {QStringLiteral("description"), _descStr}, {QStringLiteral("tags"), tags}};
    if (!_category.isEmpty())
        snippet.insert(QStringLiteral("categoryId"), _category);
    const QJsonObject status{
        {QStringLiteral("privacyStatus"), _isPrivate ? QStringLiteral("private") : QStringLiteral("public")}};
    _upload->setAccessToken(_accessToken);
    _upload->setMetadata(QJsonObject{{QStringLiteral("snippet"), snippet}, {QStringLiteral("status"), status}});
    if (_accessToken.isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (_delegate)
                    _delegate->uploadErrorEntryDesc(
                        ServiceError{QStringLiteral("youtube"), 401,
                                     QCoreApplication::translate("Upvelle", "Sign in to YouTube before uploading.")},
                        QString());
            },
            Qt::QueuedConnection);
        return;
    }
    _upload->start(_filePath);
}

void Upvelle::pauseUploadFile() { _upload->pause(); }
void Upvelle::resumeUploadFile() { _upload->resume(); }
void Upvelle::stopUploadFile() { _upload->stop(); }
bool Upvelle::isUploading() const { return _upload->isActive(); }
