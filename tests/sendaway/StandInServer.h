#pragma once
// A local stand-in for the services the upload clients speak to: the Google token and
// authorization endpoints, the YouTube Data API (channels, videoCategories, resumable
// uploads) and the Graph API (login dialog, device login, /me, /me/accounts, upload
// sessions, Page videos). It speaks HTTP/1.1 on 127.0.0.1, one request per connection,
// and is as strict as the services' documentation: PKCE, registered redirect addresses,
// no password grant, bearer tokens that expire, permissions per token, Page access tokens
// for publishing, video/mp4 only for Graph upload sessions, upload sessions that expire.
// Failures can be injected: a connection cut at a byte offset, a transfer that stops
// taking data at an offset, 5xx answers, a slow link.
// It runs on the thread that created it (the tests' main thread) through the event loop.
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QTcpSocket>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVariantMap>
#include <map>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace standin {

struct Upload {
    QString service; // "youtube" or "facebook"
    QString id;      // session id
    qint64 total = 0;
    QByteArray data; // what the server holds
    bool complete = false;
    QJsonObject metadata;  // YouTube: the posted resource
    QVariantMap published; // Facebook: the /{page-id}/videos form
    QString pageId;        // Facebook: the Page it was published on
    QString videoId;       // once complete (YouTube) or published (Facebook)
    int statusQueries = 0;
    qint64 bytesReceived = 0; // every body byte that arrived, kept or not
};

class StandInServer : public QObject {
    Q_OBJECT
public:
    explicit StandInServer(QObject *parent = nullptr);
    ~StandInServer() override;

    bool listen();
    QUrl baseUrl() const;
    // Points every "sendaway/..." setting at this server, with short retry delays.
    void configureSettings() const;

    // Accounts.
    QString user = QStringLiteral("ada@example.org");
    QString password = QStringLiteral("correct horse battery staple");
    QString channelTitle = QStringLiteral("Ada's Channel");
    QString facebookName = QStringLiteral("Ada Lovelace");
    bool facebookNameMissing = false;
    QString youtubeClientId = QStringLiteral("cinvora-test-client");
    QString facebookAppId = QStringLiteral("424242");
    QString facebookClientToken = QStringLiteral("ct-5150");
    // The redirect addresses registered for the Facebook app (matched exactly).
    QStringList facebookRedirects{QStringLiteral("https://www.facebook.com/connect/login_success.html")};
    // The Pages the Facebook user manages, with the tasks the user may perform there.
    struct Page {
        QString id, name;
        QStringList tasks{QStringLiteral("CREATE_CONTENT"), QStringLiteral("MANAGE")};
    };
    QList<Page> facebookPages{{QStringLiteral("2001"), QStringLiteral("Ada's Harbour")},
                              {QStringLiteral("2002"), QStringLiteral("Engine Notes")}};
    // Seconds between device login polls the service asks for (and enforces).
    int deviceInterval = 0;
    // Seconds a device login code stays valid.
    int deviceCodeLifetime = 420;
    // Lifetime of every access token issued (answered as expires_in, and enforced).
    int accessTokenLifetimeSecs = 3599;
    bool denyAuthorization = false;
    bool youtubeAccountWithoutChannel = false;

    // Categories (id, title, assignable).
    struct Category {
        QString id, title;
        bool assignable = true;
    };
    QList<Category> categories;
    bool failCategories = false;

    // Failure injection. A drop cuts every transfer that would carry the upload across
    // `offset` (the bytes before it are kept), `times` times (-1: until cleared with -1 as
    // offset): only a client that asks for the offset and goes on from exactly there gets
    // past it. The network stack's own silent resends of a request are cut too.
    void dropAtOffset(qint64 offset, int times = -1) { _dropAt = offset, _dropsLeft = times; }
    int drops() const { return _drops; }
    // The stall and the 5xx answers apply once / `count` times.
    void stallAtOffset(qint64 offset) { _stallAt = offset; }
    void failNextUploadRequests(int count, int status = 503) { _failCount = count, _failStatus = status; }
    // Bytes taken from each connection per 10 ms (0: as fast as they come).
    void setThrottle(int bytesPerTick);
    // Every access token issued so far stops being valid now (refresh tokens stay valid).
    void expireAccessTokens();
    // Every upload session opened so far is forgotten: its address answers 404.
    void expireUploadSessions();
    // Refresh tokens issued so far are revoked.
    void revokeRefreshTokens() { _refreshTokens.clear(); }

    // What happened.
    const std::vector<std::shared_ptr<Upload>> &uploads() const { return _uploads; }
    std::shared_ptr<Upload> lastUpload() const { return _uploads.empty() ? nullptr : _uploads.back(); }
    const QStringList &requestLog() const { return _log; }
    int requestCount(const QString &prefix) const;
    int openConnections() const { return int(_conns.size()); }
    // An upload request is being held at the stall offset.
    bool isStalling() const { return _stalling > 0; }
    // Every password, access token and refresh token this server has seen or issued.
    QStringList secrets() const;
    QUrlQuery lastAuthorization() const;
    int passwordGrants() const { return _passwordGrants; }
    int unauthorizedAnswers() const { return _unauthorized; }
    int deviceLogins() const { return _deviceLogins; }
    int codeGrants() const { return _codeGrants; }
    int refreshGrants() const { return _refreshGrants; }

private:
    struct Conn;
    void accept();
    void readFrom(QTcpSocket *socket);
    void process(Conn &c);
    void headersDone(Conn &c);
    void bodyDone(Conn &c);
    void streamBody(Conn &c, QByteArray bytes);
    void respond(Conn &c, int status, const QByteArray &body, const QList<QPair<QByteArray, QByteArray>> &headers = {},
                 const QByteArray &contentType = "application/json; charset=UTF-8");
    void respondJson(Conn &c, int status, const QJsonObject &o,
                     const QList<QPair<QByteArray, QByteArray>> &headers = {});
    void respondError(Conn &c, int status, const QString &message);
    void closeConn(QTcpSocket *socket);

    void route(Conn &c);
    void authorize(Conn &c, const QString &service);
    void token(Conn &c, const QUrlQuery &form, const QString &service);
    // The valid token a request carries (Authorization header or access_token in the query
    // or form), of the service; empty when there is none. An expired or unknown token is
    // counted as unauthorized.
    QString tokenOf(const Conn &c, const QString &service, const QUrlQuery &form = {});
    bool bearerValid(Conn &c, const QString &service) { return !tokenOf(c, service).isEmpty(); }
    bool facebookRoute(Conn &c, const QUrlQuery &form);
    void deviceLogin(Conn &c, const QUrlQuery &form);
    void deviceLoginStatus(Conn &c, const QUrlQuery &form);
    void respondGraphError(Conn &c, int status, int code, const QString &message, int subcode = 0);
    void youtubeUploadHeaders(Conn &c);
    void facebookUploadHeaders(Conn &c);
    void finishStream(Conn &c);
    QString issue(const QString &prefix);

    QTcpServer *_server;
    std::map<QTcpSocket *, std::unique_ptr<Conn>> _conns;
    std::vector<std::shared_ptr<Upload>> _uploads;
    QStringList _log;
    struct Token {
        QDateTime expires;
        QStringList scopes; // Facebook: the permissions granted
        QString pageId;     // Facebook: set for a Page access token
    };
    QHash<QString, Token> _accessTokens; // by service prefix
    struct DeviceCode {
        QString userCode, scope;
        bool confirmed = false;
        QDateTime lastPoll;
    };
    QHash<QString, DeviceCode> _deviceCodes;
    QSet<QString> _expiredSessions;
    QSet<QString> _refreshTokens;
    QSet<QString> _seenSecrets;
    struct Grant {
        QString service, challenge, redirect, clientId;
    };
    QHash<QString, Grant> _codes;
    QString _lastAuthorizationQuery;
    qint64 _dropAt = -1;
    int _dropsLeft = -1;
    int _drops = 0;
    qint64 _stallAt = -1;
    int _stalling = 0;
    int _failCount = 0;
    int _failStatus = 503;
    int _throttle = 0;
    int _passwordGrants = 0, _codeGrants = 0, _refreshGrants = 0;
    int _unauthorized = 0, _deviceLogins = 0;
    int _serial = 0;
    QTimer _tick;
};

// One connection: the request as it arrives, and what is done with its body.
struct StandInServer::Conn {
    QTcpSocket *socket = nullptr;
    QByteArray head;
    bool headersParsed = false;
    bool dead = false;
    QByteArray method;
    QUrl url;
    QString path;
    QUrlQuery query;
    QHash<QByteArray, QByteArray> headers; // lower-case names
    qint64 contentLength = 0;
    qint64 bodyRead = 0;
    QByteArray body;
    enum class Mode { Buffer, Stream, Discard } mode = Mode::Buffer;
    int pendingStatus = 0; // answered once the body is in (failure injection, refusals)
    QString pendingMessage;
    std::shared_ptr<Upload> upload;
    qint64 writePos = 0;
    bool statusQuery = false;
    bool stalled = false;
    QByteArray pending; // throttled bytes not yet taken
};

} // namespace standin
