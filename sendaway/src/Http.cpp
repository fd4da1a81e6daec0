#include "Http.h"

#include <QCoreApplication>

#include <QJsonDocument>
#include <QJsonObject>

namespace sendaway::http {

QVariantMap parseBody(const QByteArray &body) {
    const QByteArray trimmed = body.trimmed();
    if (trimmed.startsWith('{')) {
        const QJsonDocument doc = QJsonDocument::fromJson(trimmed);
        return doc.isObject() ? doc.object().toVariantMap() : QVariantMap();
    }
    if (trimmed.isEmpty() || trimmed.contains('<') || !trimmed.contains('='))
        return {};
    QVariantMap map;
    const QUrlQuery q(QString::fromUtf8(trimmed));
    for (const auto &item : q.queryItems(QUrl::FullyDecoded))
        map.insert(item.first, item.second);
    return map;
}

QString errorTextIn(const QVariantMap &body) {
    const QVariant error = body.value(QStringLiteral("error"));
    if (error.typeId() == QMetaType::QVariantMap) {
        const QString message = error.toMap().value(QStringLiteral("message")).toString();
        if (!message.isEmpty())
            return message;
    }
    const QString description = body.value(QStringLiteral("error_description")).toString();
    if (!description.isEmpty())
        return description;
    if (error.typeId() == QMetaType::QString)
        return error.toString();
    return {};
}

int status(const QNetworkReply *reply) { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); }

ServiceError replyError(const QNetworkReply *reply, const QByteArray &body, const QString &domain) {
    ServiceError e;
    e.domain = domain;
    e.code = status(reply);
    QString text = errorTextIn(parseBody(body));
    if (text.isEmpty()) {
        if (e.code >= 400)
            text = QCoreApplication::translate("Http", "The server answered %1 %2.")
                       .arg(e.code)
                       .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                       .replace(QStringLiteral(" ."), QStringLiteral("."));
        else if (reply->error() != QNetworkReply::NoError)
            text = reply->errorString();
        else
            text = QCoreApplication::translate("Http", "The server's answer could not be understood.");
    }
    e.localizedDescription = text;
    if (e.code == 0 && reply->error() != QNetworkReply::NoError)
        e.domain = QStringLiteral("network");
    return e;
}

bool isTransient(const QNetworkReply *reply) {
    const int code = status(reply);
    if (code >= 500 || code == 429 || code == 408)
        return true;
    if (code != 0)
        return false;
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the stall timeout
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return true;
    default:
        return false;
    }
}

QNetworkRequest request(const QUrl &url, int stallTimeoutMs) {
    QNetworkRequest r(url);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (stallTimeoutMs > 0)
        r.setTransferTimeout(stallTimeoutMs);
    r.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Cinvora"));
    return r;
}

QByteArray formBody(const QList<QPair<QString, QString>> &items) {
    QByteArray out;
    for (const auto &item : items) {
        if (!out.isEmpty())
            out += '&';
        out += QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second);
    }
    return out;
}

QUrl join(const QUrl &base, const QString &path) {
    QUrl u(base);
    QString p = u.path();
    while (p.endsWith('/'))
        p.chop(1);
    QString tail = path;
    while (tail.startsWith('/'))
        tail.remove(0, 1);
    u.setPath(p + '/' + tail);
    return u;
}

} // namespace sendaway::http
