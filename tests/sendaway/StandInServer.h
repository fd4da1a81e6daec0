#pragma once
// A local stand-in for the services the upload clients speak to: the Google token and
// authorization endpoints, the YouTube Data API (channels, videoCategories, resumable
// uploads) and the Graph API (OAuth dialog and token, /me, upload sessions, /me/videos).
// It speaks HTTP/1.1 on 127.0.0.1, one request per connection, and checks what a real
// service checks: PKCE, redirect addresses, bearer tokens, ranges and offsets.
// Failures can be injected: a connection cut at a byte offset, a transfer that stops
// taking data at an offset, 5xx answers, a slow link.
// It runs on the thread that created it (the tests' main thread) through the event loop.
#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QMap>
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
    QVariantMap published; // Facebook: the /me/videos form
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
    bool refusePasswordGrant = false;
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
    void respondJson(Conn &c, int status, const QJsonObject &o, const QList<QPair<QByteArray, QByteArray>> &headers = {});
    void respondError(Conn &c, int status, const QString &message);
    void closeConn(QTcpSocket *socket);

    void route(Conn &c);
    void authorize(Conn &c, const QString &service);
    void token(Conn &c, const QUrlQuery &form, const QString &service);
    bool bearerValid(const Conn &c, const QString &service) const;
    void youtubeUploadHeaders(Conn &c);
    void facebookUploadHeaders(Conn &c);
    void finishStream(Conn &c);
    QString issue(const QString &prefix);

    QTcpServer *_server;
    std::map<QTcpSocket *, std::unique_ptr<Conn>> _conns;
    std::vector<std::shared_ptr<Upload>> _uploads;
    QStringList _log;
    QSet<QString> _accessTokens; // valid ones, by service prefix
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
    int _serial = 0;
    QTimer _tick;
};

} // namespace standin
