#include "StandInServer.h"

#include <foundation/Settings.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

namespace standin {

namespace {
QString randomText(int n) {
    static const char a[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString s;
    for (int i = 0; i < n; ++i)
        s += QLatin1Char(a[QRandomGenerator::global()->bounded(int(sizeof(a) - 1))]);
    return s;
}
QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 302:
        return "Found";
    case 308:
        return "Resume Incomplete";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}
} // namespace

StandInServer::StandInServer(QObject *parent) : QObject(parent), _server(new QTcpServer(this)) {
    categories = {{QStringLiteral("1"), QStringLiteral("Film & Animation"), true},
                  {QStringLiteral("2"), QStringLiteral("Autos & Vehicles"), true},
                  {QStringLiteral("10"), QStringLiteral("Music"), true},
                  {QStringLiteral("18"), QStringLiteral("Short Movies"), false},
                  {QStringLiteral("22"), QStringLiteral("People & Blogs"), true}};
    connect(_server, &QTcpServer::newConnection, this, &StandInServer::accept);
    _tick.setInterval(10);
    connect(&_tick, &QTimer::timeout, this, [this] {
        std::vector<QTcpSocket *> sockets;
        for (auto &[s, c] : _conns)
            sockets.push_back(s);
        for (QTcpSocket *s : sockets)
            readFrom(s);
    });
}

StandInServer::~StandInServer() {
    for (auto &[s, c] : _conns) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
}

bool StandInServer::listen() { return _server->listen(QHostAddress::LocalHost, 0); }

QUrl StandInServer::baseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(_server->serverPort())); }

void StandInServer::configureSettings() const {
    using foundation::Settings;
    const QString b = baseUrl().toString();
    Settings::setValue("sendaway/youtube/authorizationUrl", b + "/o/oauth2/auth");
    Settings::setValue("sendaway/youtube/tokenUrl", b + "/token");
    Settings::setValue("sendaway/youtube/apiUrl", b + "/youtube/v3");
    Settings::setValue("sendaway/youtube/uploadUrl", b + "/upload/youtube/v3/videos");
    Settings::setValue("sendaway/youtube/watchUrl", b + "/watch?v=%1");
    Settings::setValue("sendaway/youtube/clientId", youtubeClientId);
    Settings::setValue("sendaway/youtube/regionCode", "GB");
    Settings::setValue("sendaway/youtube/chunkBytes", 256 * 1024);
    Settings::setValue("sendaway/facebook/graphUrl", b + "/graph");
    Settings::setValue("sendaway/facebook/appId", facebookAppId);
    Settings::setValue("sendaway/facebook/clientToken", facebookClientToken);
    Settings::setValue("sendaway/upload/retries", 4);
    Settings::setValue("sendaway/upload/retryDelayMs", 20);
    Settings::setValue("sendaway/signIn/browserTimeoutMs", 20000);
}

void StandInServer::setThrottle(int bytesPerTick) {
    _throttle = bytesPerTick;
    for (auto &[s, c] : _conns)
        s->setReadBufferSize(bytesPerTick);
    if (bytesPerTick > 0)
        _tick.start();
    else
        _tick.stop();
}

int StandInServer::requestCount(const QString &prefix) const {
    int n = 0;
    for (const QString &l : _log)
        n += l.startsWith(prefix) ? 1 : 0;
    return n;
}

QStringList StandInServer::secrets() const { return QStringList(_seenSecrets.cbegin(), _seenSecrets.cend()); }

QUrlQuery StandInServer::lastAuthorization() const { return QUrlQuery(_lastAuthorizationQuery); }

QString StandInServer::issue(const QString &prefix) {
    const QString t = prefix + randomText(24);
    _seenSecrets.insert(t);
    return t;
}

// ---------------------------------------------------------------------------------------
// Connections

void StandInServer::accept() {
    while (QTcpSocket *s = _server->nextPendingConnection()) {
        auto c = std::make_unique<Conn>();
        c->socket = s;
        if (_throttle > 0)
            s->setReadBufferSize(_throttle);
        _conns[s] = std::move(c);
        connect(s, &QTcpSocket::readyRead, this, [this, s] {
            if (_throttle <= 0)
                readFrom(s);
        });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { closeConn(s); });
        if (s->bytesAvailable() > 0 && _throttle <= 0)
            readFrom(s);
    }
}

void StandInServer::closeConn(QTcpSocket *s) {
    auto it = _conns.find(s);
    if (it == _conns.end())
        return;
    if (it->second->stalled)
        --_stalling;
    it->second->stalled = false;
    it->second->dead = true;
    s->disconnect(this);
    // Removed from the event loop, not from inside a handler that may still use it.
    QMetaObject::invokeMethod(
        this,
        [this, s] {
            _conns.erase(s);
            s->deleteLater();
        },
        Qt::QueuedConnection);
}

void StandInServer::readFrom(QTcpSocket *s) {
    auto it = _conns.find(s);
    if (it == _conns.end() || it->second->dead)
        return;
    Conn &c = *it->second;
    const QByteArray bytes = _throttle > 0 ? s->read(_throttle) : s->readAll();
    if (bytes.isEmpty())
        return;
    if (!c.headersParsed) {
        c.head += bytes;
        const int end = c.head.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray rest = c.head.mid(end + 4);
        const QList<QByteArray> lines = c.head.left(end).split('\n');
        c.head.clear();
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        c.method = requestLine.value(0);
        c.url = QUrl(QString::fromLatin1(requestLine.value(1)));
        c.path = c.url.path();
        c.query = QUrlQuery(c.url);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                c.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        c.contentLength = c.headers.value("content-length", "0").toLongLong();
        c.headersParsed = true;
        _log << QString::fromLatin1(c.method) + ' ' + c.path;
        headersDone(c);
        if (c.dead)
            return;
        if (!rest.isEmpty())
            streamBody(c, rest);
        else if (c.contentLength == 0)
            bodyDone(c);
        return;
    }
    streamBody(c, bytes);
}

void StandInServer::streamBody(Conn &c, QByteArray bytes) {
    if (c.dead)
        return;
    const qint64 room = c.contentLength - c.bodyRead;
    if (bytes.size() > room)
        bytes.truncate(room);
    c.bodyRead += bytes.size();
    switch (c.mode) {
    case Conn::Mode::Buffer:
        c.body += bytes;
        break;
    case Conn::Mode::Discard:
        break;
    case Conn::Mode::Stream: {
        Upload &u = *c.upload;
        u.bytesReceived += bytes.size();
        if (c.stalled)
            break; // held: nothing more is taken
        if (_stallAt >= 0 && c.writePos + bytes.size() >= _stallAt && c.writePos <= _stallAt) {
            bytes.truncate(_stallAt - c.writePos);
            u.data.append(bytes);
            c.writePos += bytes.size();
            _stallAt = -1;
            c.stalled = true;
            ++_stalling;
            break;
        }
        if (_dropAt >= 0 && c.writePos + bytes.size() > _dropAt && c.writePos < _dropAt) {
            bytes.truncate(_dropAt - c.writePos);
            u.data.append(bytes);
            c.writePos += bytes.size();
            ++_drops;
            if (_dropsLeft > 0 && --_dropsLeft == 0)
                _dropAt = -1;
            QTcpSocket *s = c.socket;
            closeConn(s);
            s->abort();
            return;
        }
        u.data.append(bytes);
        c.writePos += bytes.size();
        break;
    }
    }
    if (c.bodyRead >= c.contentLength)
        bodyDone(c);
}

void StandInServer::bodyDone(Conn &c) {
    if (c.pendingStatus) {
        respondError(c, c.pendingStatus, c.pendingMessage);
        return;
    }
    if (c.mode == Conn::Mode::Stream) {
        if (!c.stalled)
            finishStream(c);
        return;
    }
    route(c);
}

void StandInServer::respond(Conn &c, int status, const QByteArray &body,
                            const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &contentType) {
    if (c.dead)
        return;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    for (const auto &h : headers)
        out += h.first + ": " + h.second + "\r\n";
    if (!body.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    c.socket->write(out);
    c.socket->disconnectFromHost();
}

void StandInServer::respondJson(Conn &c, int status, const QJsonObject &o,
                                const QList<QPair<QByteArray, QByteArray>> &headers) {
    respond(c, status, QJsonDocument(o).toJson(QJsonDocument::Compact), headers);
}

void StandInServer::respondError(Conn &c, int status, const QString &message) {
    respondJson(c, status, {{"error", QJsonObject{{"code", status}, {"message", message}}}});
}

QString StandInServer::tokenOf(const Conn &c, const QString &service, const QUrlQuery &form) {
    QByteArray auth = c.headers.value("authorization");
    QString token;
    if (auth.startsWith("Bearer ") || auth.startsWith("OAuth "))
        token = QString::fromLatin1(auth.mid(auth.indexOf(' ') + 1));
    else if (c.query.hasQueryItem("access_token"))
        token = c.query.queryItemValue("access_token", QUrl::FullyDecoded);
    else
        token = form.queryItemValue("access_token", QUrl::FullyDecoded);
    const auto it = _accessTokens.constFind(token);
    if (it == _accessTokens.constEnd() || !token.startsWith(service == u"youtube" ? "ya29." : "EAA") ||
        it->expires <= QDateTime::currentDateTimeUtc()) {
        ++_unauthorized;
        return {};
    }
    return token;
}

void StandInServer::expireAccessTokens() {
    const QDateTime past = QDateTime::currentDateTimeUtc().addSecs(-1);
    for (auto it = _accessTokens.begin(); it != _accessTokens.end(); ++it)
        it->expires = past;
}

void StandInServer::expireUploadSessions() {
    for (const auto &u : _uploads)
        _expiredSessions.insert(u->service + ':' + u->id);
}

// ---------------------------------------------------------------------------------------
// Streaming uploads

void StandInServer::headersDone(Conn &c) {
    const bool youtubeTransfer = c.method == "PUT" && c.path == u"/upload/youtube/v3/videos";
    const bool facebookTransfer = c.method == "POST" && c.path.startsWith(u"/graph/upload:");
    if (youtubeTransfer)
        youtubeUploadHeaders(c);
    else if (facebookTransfer)
        facebookUploadHeaders(c);
    else
        c.mode = Conn::Mode::Buffer;
    if (c.mode == Conn::Mode::Stream && _failCount > 0 && c.contentLength > 0) {
        --_failCount;
        c.mode = Conn::Mode::Discard;
        c.pendingStatus = _failStatus;
        c.pendingMessage = QStringLiteral("Backend error (injected).");
    }
}

void StandInServer::youtubeUploadHeaders(Conn &c) {
    c.mode = Conn::Mode::Discard;
    const QString id = c.query.queryItemValue("upload_id");
    std::shared_ptr<Upload> up;
    for (auto &u : _uploads)
        if (u->service == u"youtube" && u->id == id && !_expiredSessions.contains("youtube:" + id))
            up = u;
    if (!up) {
        c.pendingStatus = 404, c.pendingMessage = QStringLiteral("No such upload session.");
        return;
    }
    if (!bearerValid(c, "youtube")) {
        c.pendingStatus = 401, c.pendingMessage = QStringLiteral("Invalid credentials.");
        return;
    }
    const QString range = QString::fromLatin1(c.headers.value("content-range"));
    static const QRegularExpression star(QStringLiteral("^bytes \\*/(\\d+)$"));
    static const QRegularExpression span(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+)$"));
    c.upload = up;
    if (const auto m = star.match(range); m.hasMatch()) {
        if (m.captured(1).toLongLong() != up->total || c.contentLength != 0) {
            c.pendingStatus = 400, c.pendingMessage = QStringLiteral("Bad status query.");
            return;
        }
        c.statusQuery = true;
        c.mode = Conn::Mode::Stream; // an empty body: finishStream answers
        return;
    }
    const auto m = span.match(range);
    if (!m.hasMatch()) {
        c.pendingStatus = 400, c.pendingMessage = QStringLiteral("Missing or malformed Content-Range.");
        return;
    }
    const qint64 first = m.captured(1).toLongLong(), last = m.captured(2).toLongLong(),
                 total = m.captured(3).toLongLong();
    if (total != up->total || last < first || last - first + 1 != c.contentLength || last >= total) {
        c.pendingStatus = 400, c.pendingMessage = QStringLiteral("Content-Range does not match the request.");
        return;
    }
    if (first > up->data.size()) {
        c.pendingStatus = 400, c.pendingMessage = QStringLiteral("Range starts past the bytes received.");
        return;
    }
    if (up->complete) {
        c.statusQuery = true; // already done: answer with the resource
        return;
    }
    up->data.truncate(first);
    c.writePos = first;
    c.mode = Conn::Mode::Stream;
}

void StandInServer::facebookUploadHeaders(Conn &c) {
    c.mode = Conn::Mode::Discard;
    const QString id = c.path.mid(QStringLiteral("/graph/").size());
    std::shared_ptr<Upload> up;
    for (auto &u : _uploads)
        if (u->service == u"facebook" && u->id == id && !_expiredSessions.contains("facebook:" + id))
            up = u;
    if (!up) {
        c.pendingStatus = 404, c.pendingMessage = QStringLiteral("No such upload session.");
        return;
    }
    if (!bearerValid(c, "facebook")) {
        c.pendingStatus = 401, c.pendingMessage = QStringLiteral("Invalid OAuth access token.");
        return;
    }
    bool ok = false;
    const qint64 offset = c.headers.value("file_offset").toLongLong(&ok);
    if (!ok || offset > up->data.size() || offset + c.contentLength > up->total) {
        c.pendingStatus = 400, c.pendingMessage = QStringLiteral("file_offset does not match the upload.");
        return;
    }
    c.upload = up;
    up->data.truncate(offset);
    c.writePos = offset;
    c.mode = Conn::Mode::Stream;
}

void StandInServer::finishStream(Conn &c) {
    Upload &u = *c.upload;
    if (u.service == u"youtube") {
        if (c.statusQuery)
            ++u.statusQueries;
        if (u.data.size() == u.total) {
            if (!u.complete) {
                u.complete = true;
                u.videoId = QStringLiteral("vid%1").arg(++_serial);
            }
            QJsonObject video{{"kind", "youtube#video"}, {"id", u.videoId}};
            video.insert("snippet", u.metadata.value("snippet"));
            video.insert("status", u.metadata.value("status"));
            respondJson(c, c.statusQuery ? 200 : 201, video);
            return;
        }
        QList<QPair<QByteArray, QByteArray>> h;
        if (!u.data.isEmpty())
            h.append({"Range", "bytes=0-" + QByteArray::number(u.data.size() - 1)});
        respond(c, 308, QByteArray(), h);
        return;
    }
    if (u.data.size() == u.total) {
        u.complete = true;
        respondJson(c, 200, {{"h", QStringLiteral("handle-") + u.id.mid(7)}});
    } else {
        respondJson(c, 200, {{"file_offset", QString::number(u.data.size())}});
    }
}

// ---------------------------------------------------------------------------------------
// Everything else

void StandInServer::route(Conn &c) {
    const QString p = c.path;
    const QUrlQuery form(QString::fromUtf8(c.body));
    if (c.method == "GET" && p == u"/o/oauth2/auth")
        return authorize(c, "youtube");
    if (c.method == "POST" && p == u"/token")
        return token(c, form, "youtube");
    if (c.method == "GET" && p == u"/dialog/oauth")
        return authorize(c, "facebook");

    if (c.method == "GET" && p == u"/youtube/v3/channels") {
        if (!bearerValid(c, "youtube"))
            return respondError(c, 401, "Invalid credentials.");
        if (c.query.queryItemValue("mine") != u"true" || !c.query.queryItemValue("part").contains("snippet"))
            return respondError(c, 400, "Bad request.");
        QJsonArray items;
        if (!youtubeAccountWithoutChannel)
            items.append(QJsonObject{{"id", "UCstandin"}, {"snippet", QJsonObject{{"title", channelTitle}}}});
        return respondJson(c, 200, {{"kind", "youtube#channelListResponse"}, {"items", items}});
    }
    if (c.method == "GET" && p == u"/youtube/v3/videoCategories") {
        if (!bearerValid(c, "youtube"))
            return respondError(c, 401, "Invalid credentials.");
        if (failCategories)
            return respondError(c, 503, "The service is unavailable.");
        if (c.query.queryItemValue("regionCode").size() != 2)
            return respondError(c, 400, "No filter selected.");
        QJsonArray items;
        for (const Category &cat : categories)
            items.append(QJsonObject{{"id", cat.id},
                                     {"snippet", QJsonObject{{"title", cat.title}, {"assignable", cat.assignable}}}});
        return respondJson(c, 200, {{"kind", "youtube#videoCategoryListResponse"}, {"items", items}});
    }
    if (c.method == "POST" && p == u"/upload/youtube/v3/videos") {
        if (!bearerValid(c, "youtube"))
            return respondError(c, 401, "Invalid credentials.");
        if (c.query.queryItemValue("uploadType") != u"resumable" || c.query.queryItemValue("part") != u"snippet,status")
            return respondError(c, 400, "Unsupported upload type.");
        const qint64 total = c.headers.value("x-upload-content-length").toLongLong();
        const QJsonObject meta = QJsonDocument::fromJson(c.body).object();
        if (total <= 0)
            return respondError(c, 400, "X-Upload-Content-Length is required.");
        if (meta.value("snippet").toObject().value("title").toString().trimmed().isEmpty())
            return respondError(c, 400, "The video's title is missing.");
        auto u = std::make_shared<Upload>();
        u->service = "youtube";
        u->id = QString::number(++_serial);
        u->total = total;
        u->metadata = meta;
        _uploads.push_back(u);
        const QByteArray location =
            (baseUrl().toString() + "/upload/youtube/v3/videos?uploadType=resumable&upload_id=" + u->id).toLatin1();
        return respond(c, 200, QByteArray(), {{"Location", location}});
    }
    if ((p.startsWith(u"/graph/") || p == u"/device") && facebookRoute(c, form))
        return;
    respondError(c, 404, QStringLiteral("No route for %1 %2").arg(QString::fromLatin1(c.method), p));
}

void StandInServer::authorize(Conn &c, const QString &service) {
    _lastAuthorizationQuery = c.url.query(QUrl::FullyEncoded);
    const QUrlQuery &q = c.query;
    const QString redirect = q.queryItemValue("redirect_uri", QUrl::FullyDecoded);
    const QString clientId = q.queryItemValue("client_id", QUrl::FullyDecoded);
    const QString expected = service == u"youtube" ? youtubeClientId : facebookAppId;
    // Google takes any port on the loopback address from an installed program; Facebook
    // only the addresses registered for the app, exactly.
    const bool registered =
        service == u"youtube"
            ? QUrl(redirect).scheme() == u"http" && QUrl(redirect).host() == u"127.0.0.1" && QUrl(redirect).port() > 0
            : facebookRedirects.contains(redirect);
    if (!registered)
        return respond(c, 400,
                       "<html><body>Error 400: redirect_uri_mismatch. URL blocked: the redirect address is not "
                       "registered for this app.</body></html>",
                       {}, "text/html");
    if (q.queryItemValue("response_type") != u"code" || clientId != expected || q.queryItemValue("state").isEmpty() ||
        q.queryItemValue("code_challenge").isEmpty() || q.queryItemValue("code_challenge_method") != u"S256")
        return respond(c, 400, "<html><body>Invalid authorization request.</body></html>", {}, "text/html");
    const QByteArray state = QUrl::toPercentEncoding(q.queryItemValue("state", QUrl::FullyDecoded));
    QByteArray location = redirect.toUtf8() + (redirect.contains('?') ? '&' : '?');
    if (denyAuthorization) {
        location += "error=access_denied&error_reason=user_denied&error_description=Permissions+error.&state=" + state;
    } else {
        const QString code = QStringLiteral("4/") + randomText(20);
        _codes.insert(code, {service, q.queryItemValue("code_challenge", QUrl::FullyDecoded), redirect, clientId});
        location += "code=" + QUrl::toPercentEncoding(code) + "&state=" + state;
    }
    respond(c, 302, QByteArray(), {{"Location", location}}, "text/html");
}

void StandInServer::token(Conn &c, const QUrlQuery &form, const QString &service) {
    auto value = [&form](const char *k) { return form.queryItemValue(QString::fromLatin1(k), QUrl::FullyDecoded); };
    const QString grant = value("grant_type");
    const QString expected = youtubeClientId;
    auto oauthError = [&](const char *error, const char *description) {
        respondJson(c, 400, {{"error", error}, {"error_description", description}});
    };
    if (value("client_id") != expected)
        return oauthError("invalid_client", "The OAuth client was not found.");
    QJsonObject tokens;
    const QString access = issue(service == u"youtube" ? "ya29." : "EAA");
    if (grant == u"password") {
        // Google has no password grant for its accounts.
        ++_passwordGrants;
        _seenSecrets.insert(value("password"));
        _seenSecrets.remove(access);
        return oauthError("unsupported_grant_type", "Invalid grant_type: password");
    } else if (grant == u"authorization_code") {
        ++_codeGrants;
        const QString code = value("code");
        const Grant g = _codes.take(code);
        const QString challenge =
            QString::fromLatin1(QCryptographicHash::hash(value("code_verifier").toLatin1(), QCryptographicHash::Sha256)
                                    .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        if (g.service != service || g.redirect != value("redirect_uri") || g.clientId != value("client_id") ||
            g.challenge != challenge) {
            _seenSecrets.remove(access);
            return oauthError("invalid_grant", "Malformed auth code.");
        }
    } else if (grant == u"refresh_token") {
        ++_refreshGrants;
        if (!_refreshTokens.contains(value("refresh_token"))) {
            _seenSecrets.remove(access);
            return oauthError("invalid_grant", "Token has been expired or revoked.");
        }
    } else {
        _seenSecrets.remove(access);
        return oauthError("unsupported_grant_type", "Invalid grant_type.");
    }
    _accessTokens.insert(access, {QDateTime::currentDateTimeUtc().addSecs(accessTokenLifetimeSecs), {}, {}});
    tokens.insert("access_token", access);
    tokens.insert("expires_in", accessTokenLifetimeSecs);
    tokens.insert("token_type", "Bearer");
    if (grant != u"refresh_token") {
        const QString refresh = issue("1//");
        _refreshTokens.insert(refresh);
        tokens.insert("refresh_token", refresh);
    }
    respondJson(c, 200, tokens);
}

} // namespace standin
