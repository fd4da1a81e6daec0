#pragma once
// Small helpers shared by the protocol code: reading JSON or form bodies, turning a reply
// into a user-facing error, telling transient failures from final ones.
#include "sendaway/ServiceError.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>
#include <QVariantMap>

namespace sendaway::http {

// A JSON object body, or an "a=b&c=d" body, as a map; empty when neither.
QVariantMap parseBody(const QByteArray &body);
// The service's own explanation in an error body: OAuth's error_description / error, the
// APIs' {"error": {"message": ...}}; empty when there is none.
QString errorTextIn(const QVariantMap &body);
// HTTP status of a finished reply (0 when no answer came).
int status(const QNetworkReply *reply);
// The user-facing error of a finished reply with the body already read.
ServiceError replyError(const QNetworkReply *reply, const QByteArray &body, const QString &domain);
// A dropped or timed-out connection, a 5xx or a 429: worth trying again.
bool isTransient(const QNetworkReply *reply);
// A request with the redirect handling this code expects (none: a 308 is the resumable
// upload's "resume incomplete", not a redirect) and a stall timeout.
QNetworkRequest request(const QUrl &url, int stallTimeoutMs = 0);
QByteArray formBody(const QList<QPair<QString, QString>> &items);
// "base" + "/" + "path" with exactly one slash between them, keeping base's query empty.
QUrl join(const QUrl &base, const QString &path);

} // namespace sendaway::http
