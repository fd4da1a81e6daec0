#include "sendaway/ResumableUpload.h"

#include <QCoreApplication>

#include "Http.h"
#include "sendaway/FileRangeDevice.h"
#include "sendaway/ServiceSettings.h"

#include <foundation/Log.h>

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <algorithm>

namespace sendaway {

ResumableUpload::ResumableUpload(QNetworkAccessManager *network, QObject *parent) : QObject(parent), _network(network) {
    qRegisterMetaType<sendaway::ServiceError>();
    _backoff.setSingleShot(true);
    connect(&_backoff, &QTimer::timeout, this, [this] {
        if (_state == State::BackingOff)
            issue(_retryPhase);
    });
}

ResumableUpload::~ResumableUpload() { dropReply(); }

bool ResumableUpload::isActive() const {
    switch (_state) {
    case State::Opening:
    case State::Sending:
    case State::Querying:
    case State::BackingOff:
    case State::Authorizing:
    case State::Publishing:
    case State::Paused:
        return true;
    default:
        return false;
    }
}

void ResumableUpload::start(const QString &path) {
    dropReply();
    _backoff.stop();
    resetSession();
    _path = path;
    _sessionOpen = false;
    _transferDone = false;
    _transferAnswer.clear();
    _confirmed = 0;
    _failures = 0;
    _restarts = 0;
    _renewedForThisRequest = false;
    const QFileInfo info(path);
    _total = info.isFile() ? info.size() : 0;
    ServiceError e;
    e.domain = QStringLiteral("file");
    if (!info.isFile() || !info.isReadable()) {
        e.localizedDescription = QStringLiteral("The file \"%1\" cannot be read.").arg(info.fileName());
        _state = State::Opening;
        failLater(e);
        return;
    }
    if (_total == 0) {
        e.localizedDescription = QStringLiteral("The file \"%1\" is empty.").arg(info.fileName());
        _state = State::Opening;
        failLater(e);
        return;
    }
    issue(Phase::Opening);
}

void ResumableUpload::pause() {
    switch (_state) {
    case State::Opening:
    case State::Sending:
    case State::Querying:
    case State::BackingOff:
    case State::Authorizing:
        break;
    default:
        // Publishing is one short request that may already have taken effect: it is let
        // finish rather than repeated.
        return;
    }
    dropReply();
    _backoff.stop();
    _state = State::Paused;
}

void ResumableUpload::resume() {
    if (_state != State::Paused)
        return;
    if (!_sessionOpen)
        issue(Phase::Opening);
    else if (_transferDone)
        issue(Phase::Publishing);
    else
        issue(Phase::Querying); // the server says where to go on from
}

void ResumableUpload::stop() {
    if (!isActive())
        return;
    dropReply();
    _backoff.stop();
    _state = State::Stopped;
}

void ResumableUpload::dropReply() {
    if (_reply) {
        // Cleared first: abort() reports the reply finished at once, and that report is not
        // an answer of the server.
        QNetworkReply *r = _reply;
        _reply = nullptr;
        r->abort();
        r->deleteLater();
    }
}

bool ResumableUpload::credentialsReady(Phase phase) {
    // Just renewed: they are as fresh as the service makes them.
    if (_justRenewed) {
        _justRenewed = false;
        return true;
    }
    if (!_credentialsFresh || _credentialsFresh())
        return true;
    awaitCredentials(phase);
    return false;
}

void ResumableUpload::awaitCredentials(Phase phase) {
    _state = State::Authorizing;
    _authorizingPhase = phase;
    // From the event loop: the owner may renew them at once.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (_state == State::Authorizing)
                emit credentialsNeeded();
        },
        Qt::QueuedConnection);
}

void ResumableUpload::credentialsRenewed() {
    if (_state != State::Authorizing)
        return;
    _justRenewed = true;
    issue(_authorizingPhase);
}

void ResumableUpload::credentialsRefused(const ServiceError &error) {
    if (_state == State::Authorizing)
        fail(error);
}

void ResumableUpload::issue(Phase phase) {
    if (phase != Phase::None && phase != Phase::Sending && !credentialsReady(phase))
        return;
    QNetworkReply *reply = nullptr;
    switch (phase) {
    case Phase::Opening:
        _state = State::Opening;
        reply = openSession();
        break;
    case Phase::Querying:
        _state = State::Querying;
        reply = queryOffset();
        break;
    case Phase::Publishing:
        _state = State::Publishing;
        reply = publish(_transferAnswer);
        if (!reply) {
            _state = State::Finished;
            const QVariantMap answer = _transferAnswer;
            QMetaObject::invokeMethod(
                this, [this, answer] { emit finished(answer); }, Qt::QueuedConnection);
            return;
        }
        break;
    case Phase::Sending:
        sendNext();
        return;
    case Phase::None:
        return;
    }
    if (!reply) {
        ServiceError e{domain(), 0,
                       QCoreApplication::translate("ResumableUpload", "The upload request could not be made.")};
        failLater(e);
        return;
    }
    _reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, phase] { replyFinished(reply, phase); });
}

void ResumableUpload::sendNext() {
    if (!credentialsReady(Phase::Sending))
        return;
    _state = State::Sending;
    const qint64 chunk = chunkBytes();
    const qint64 begin = std::min(_confirmed, _total);
    const qint64 end = chunk > 0 ? std::min(_total, begin + chunk) : _total;
    auto *range = new FileRangeDevice(_path, begin, end);
    if (!range->open(QIODevice::ReadOnly)) {
        delete range;
        fail({QStringLiteral("file"), 0,
              QStringLiteral("The file \"%1\" can no longer be read.").arg(QFileInfo(_path).fileName())});
        return;
    }
    QNetworkReply *reply = sendRange(range);
    if (!reply) {
        delete range;
        fail({domain(), 0, QCoreApplication::translate("ResumableUpload", "The upload request could not be made.")});
        return;
    }
    range->setParent(reply); // read by the reply until it has finished, then gone with it
    _reply = reply;
    // Bytes handed to the connection are not yet the server's: the last one counts only
    // when the server has confirmed the whole file.
    connect(reply, &QNetworkReply::uploadProgress, this, [this, reply, begin](qint64 sent, qint64) {
        if (reply == _reply && sent > 0)
            emit progress(std::min(_total - 1, begin + sent), _total);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replyFinished(reply, Phase::Sending); });
}

void ResumableUpload::replyFinished(QNetworkReply *reply, Phase phase) {
    if (reply != _reply)
        return; // dropped by pause or stop: not an answer
    _reply = nullptr;
    reply->deleteLater();
    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    UploadStep step;
    switch (phase) {
    case Phase::Opening:
        step = sessionOpened(reply, body);
        break;
    case Phase::Sending:
        step = rangeSent(reply, body);
        break;
    case Phase::Querying:
        step = offsetQueried(reply, body);
        break;
    case Phase::Publishing:
        step = published(reply, body);
        break;
    case Phase::None:
        return;
    }
    apply(step, phase);
}

void ResumableUpload::apply(const UploadStep &step, Phase phase) {
    switch (step.kind) {
    case UploadStep::Kind::Confirmed:
        _renewedForThisRequest = false;
        if (phase == Phase::Opening) {
            _sessionOpen = true;
            _failures = 0;
            _confirmed = 0;
        } else {
            const qint64 offset = std::clamp<qint64>(step.offset, 0, _total);
            if (phase == Phase::Sending && offset <= _confirmed) {
                // A request that moved nothing: counted like a failure, or it would repeat forever.
                scheduleRetry(
                    {domain(), 0,
                     QCoreApplication::translate("ResumableUpload", "The server did not take the data that was sent.")},
                    phase);
                return;
            }
            if (offset > _confirmed)
                _failures = 0;
            _confirmed = offset; // the server's word, also when it holds less than was sent
            emit progress(_confirmed, _total);
        }
        sendNext();
        return;
    case UploadStep::Kind::Complete:
        _failures = 0;
        _renewedForThisRequest = false;
        if (phase == Phase::Publishing) {
            _state = State::Finished;
            emit finished(step.answer);
            return;
        }
        _confirmed = _total;
        _transferDone = true;
        _transferAnswer = step.answer;
        emit progress(_total, _total);
        issue(Phase::Publishing);
        return;
    case UploadStep::Kind::Retry:
        scheduleRetry(step.error, phase);
        return;
    case UploadStep::Kind::Fail:
        fail(step.error);
        return;
    case UploadStep::Kind::Unauthorized:
        // Renewed once per request: a second refusal with fresh credentials is final. The
        // server may hold part of a refused transfer, so it is asked where to go on from.
        if (!_credentialsFresh || _renewedForThisRequest) {
            fail(step.error);
            return;
        }
        _renewedForThisRequest = true;
        awaitCredentials(phase == Phase::Opening      ? Phase::Opening
                         : phase == Phase::Publishing ? Phase::Publishing
                                                      : Phase::Querying);
        return;
    case UploadStep::Kind::SessionGone:
        if (phase == Phase::Publishing || ++_restarts > 3) {
            fail(step.error);
            return;
        }
        foundation::Log::debug(QStringLiteral("upload: the session is gone; starting over"));
        resetSession();
        _sessionOpen = false;
        _confirmed = 0;
        _failures = 0;
        emit progress(0, _total);
        issue(Phase::Opening);
        return;
    }
}

void ResumableUpload::scheduleRetry(const ServiceError &error, Phase phase) {
    if (++_failures > ServiceSettings::uploadRetries()) {
        fail(error);
        return;
    }
    foundation::Log::debug(QStringLiteral("upload: %1; retry %2").arg(error.localizedDescription).arg(_failures));
    _retryPhase = phase == Phase::Opening      ? Phase::Opening
                  : phase == Phase::Publishing ? Phase::Publishing
                                               : Phase::Querying;
    _renewedForThisRequest = false;
    _state = State::BackingOff;
    const qint64 delay = qint64(ServiceSettings::uploadRetryDelayMs()) << std::min(_failures - 1, 10);
    _backoff.start(int(std::min<qint64>(delay, 5 * 60 * 1000)));
}

void ResumableUpload::fail(const ServiceError &error) {
    dropReply();
    _backoff.stop();
    _state = State::Failed;
    emit failed(error);
}

void ResumableUpload::failLater(const ServiceError &error) {
    QMetaObject::invokeMethod(
        this,
        [this, error] {
            if (_state != State::Stopped && _state != State::Paused)
                fail(error);
        },
        Qt::QueuedConnection);
}

UploadStep ResumableUpload::failureOf(QNetworkReply *reply, const QByteArray &body) const {
    const ServiceError e = http::replyError(reply, body, domain());
    return http::isTransient(reply) ? UploadStep::retry(e) : UploadStep::fail(e);
}

} // namespace sendaway
