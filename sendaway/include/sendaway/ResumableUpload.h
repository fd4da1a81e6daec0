#pragma once
// The transfer engine under both uploads. It streams a file from disk in requests of a
// protocol's choosing, keeps the number of bytes the server has confirmed, and
//  - pause() holds the transfer: the request in flight is dropped, the confirmed offset kept;
//  - resume() asks the server how much it holds and continues from exactly there;
//  - a dropped connection, a stalled request, a 5xx or a 429 is retried from the server's
//    offset after a back-off that doubles each time (ServiceSettings::uploadRetries()
//    attempts in a row without progress), and only then reported as a failure;
//  - stop() abandons the upload: the request in flight is dropped and nothing more is sent
//    or reported;
//  - credentials that are about to expire (setCredentialCheck) are renewed before a request,
//    and a refusal (401) renews them once and asks the server where to go on from: the
//    engine waits in Authorizing after credentialsNeeded() until credentialsRenewed() or
//    credentialsRefused();
//  - a session the server no longer knows starts over with a new one from the first byte
//    (a few times at most).
// A protocol (YouTube, Facebook) subclasses it and says how to open a session, send a
// range, ask for the offset, read the answers, and what to publish once all bytes are in.
// Main thread only; the signals are emitted from the event loop, never from inside the
// call that caused them.
#include "sendaway/ServiceError.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace sendaway {

class FileRangeDevice;

// What one answer of the server means for the transfer.
struct UploadStep {
    enum class Kind { Confirmed, Complete, Retry, Fail, Unauthorized, SessionGone };
    Kind kind = Kind::Fail;
    qint64 offset = 0;  // Confirmed: the bytes the server holds
    QVariantMap answer; // Complete: the service's answer
    ServiceError error; // Retry, Fail

    static UploadStep confirmed(qint64 offset) { return {Kind::Confirmed, offset, {}, {}}; }
    static UploadStep complete(const QVariantMap &answer) { return {Kind::Complete, 0, answer, {}}; }
    static UploadStep retry(const ServiceError &e) { return {Kind::Retry, 0, {}, e}; }
    static UploadStep fail(const ServiceError &e) { return {Kind::Fail, 0, {}, e}; }
    static UploadStep unauthorized(const ServiceError &e) { return {Kind::Unauthorized, 0, {}, e}; }
    static UploadStep sessionGone(const ServiceError &e) { return {Kind::SessionGone, 0, {}, e}; }
};

class ResumableUpload : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,
        Opening,
        Sending,
        Querying,
        BackingOff,
        Authorizing,
        Publishing,
        Paused,
        Finished,
        Failed,
        Stopped
    };

    ResumableUpload(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~ResumableUpload() override;

    void start(const QString &path);
    void pause();
    void resume();
    void stop();

    // Asked before every request: false when the credentials must be renewed first.
    void setCredentialCheck(std::function<bool()> fresh) { _credentialsFresh = std::move(fresh); }
    // The owner's answers to credentialsNeeded().
    void credentialsRenewed();
    void credentialsRefused(const sendaway::ServiceError &error);

    State state() const { return _state; }
    bool isActive() const;
    qint64 totalBytes() const { return _total; }
    const QString &filePath() const { return _path; }

signals:
    // Bytes that have left for the server (confirmed plus the part of the request in flight).
    void progress(qint64 sentBytes, qint64 totalBytes);
    void finished(const QVariantMap &answer);
    void failed(const sendaway::ServiceError &error);
    // Renew the credentials, then answer credentialsRenewed() or credentialsRefused().
    void credentialsNeeded();

protected:
    // The protocol. Each request is made with the network manager below; the engine owns
    // the replies from then on.
    virtual QNetworkReply *openSession() = 0;
    virtual UploadStep sessionOpened(QNetworkReply *reply, const QByteArray &body) = 0; // confirmed(0): ready
    // `range` is open, positioned at its start, and lives until the reply has finished.
    // An empty range (begin == end == total) asks the server to close the transfer.
    virtual QNetworkReply *sendRange(FileRangeDevice *range) = 0;
    virtual UploadStep rangeSent(QNetworkReply *reply, const QByteArray &body) = 0;
    virtual QNetworkReply *queryOffset() = 0;
    virtual UploadStep offsetQueried(QNetworkReply *reply, const QByteArray &body) = 0;
    // After the last byte: a request that makes the upload public (nullptr: nothing to do,
    // the transfer's answer is the result).
    virtual QNetworkReply *publish(const QVariantMap &transferAnswer) {
        (void)transferAnswer;
        return nullptr;
    }
    virtual UploadStep published(QNetworkReply *reply, const QByteArray &body) {
        (void)reply, (void)body;
        return {};
    }
    // Bytes per request; 0 sends the whole remainder at once.
    virtual qint64 chunkBytes() const { return 0; }
    // A fresh start after stop(): forget the server session.
    virtual void resetSession() {}
    virtual QString domain() const = 0;

    QNetworkAccessManager *network() const { return _network; }
    // A transient failure is worth a retry, anything else ends the upload.
    UploadStep failureOf(QNetworkReply *reply, const QByteArray &body) const;

private:
    enum class Phase { None, Opening, Sending, Querying, Publishing };
    void issue(Phase phase);
    void sendNext();
    void replyFinished(QNetworkReply *reply, Phase phase);
    void apply(const UploadStep &step, Phase phase);
    void scheduleRetry(const ServiceError &error, Phase phase);
    void dropReply();
    void fail(const ServiceError &error);
    void failLater(const ServiceError &error);
    // False (and waiting for new credentials) when they must be renewed before `phase`.
    bool credentialsReady(Phase phase);
    void awaitCredentials(Phase phase);

    QNetworkAccessManager *_network;
    State _state = State::Idle;
    QString _path;
    qint64 _total = 0;
    qint64 _confirmed = 0;
    bool _sessionOpen = false;
    bool _transferDone = false;
    QVariantMap _transferAnswer;
    int _failures = 0;
    Phase _retryPhase = Phase::None;
    Phase _authorizingPhase = Phase::None;
    bool _renewedForThisRequest = false;
    bool _justRenewed = false;
    int _restarts = 0;
    std::function<bool()> _credentialsFresh;
    QPointer<QNetworkReply> _reply;
    FileRangeDevice *_range = nullptr;
    QTimer _backoff;
};

} // namespace sendaway
