#include "UploadSessions.h"

#include <QCoreApplication>

#include "Http.h"
#include "sendaway/FileRangeDevice.h"
#include "sendaway/ServiceSettings.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QRegularExpression>

namespace sendaway {

QString videoMimeType(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"mp4" || suffix == u"m4v")
        return QStringLiteral("video/mp4");
    if (suffix == u"mov")
        return QStringLiteral("video/quicktime");
    if (suffix == u"webm")
        return QStringLiteral("video/webm");
    if (suffix == u"mkv")
        return QStringLiteral("video/x-matroska");
    if (suffix == u"avi")
        return QStringLiteral("video/x-msvideo");
    if (suffix == u"flv")
        return QStringLiteral("video/x-flv");
    if (suffix == u"3gp")
        return QStringLiteral("video/3gpp");
    if (suffix == u"mpg" || suffix == u"mpeg")
        return QStringLiteral("video/mpeg");
    if (suffix == u"wmv")
        return QStringLiteral("video/x-ms-wmv");
    return QStringLiteral("application/octet-stream");
}

// ---------------------------------------------------------------------------------------
// YouTube

qint64 YoutubeUploadSession::chunkBytes() const { return ServiceSettings::youtubeChunkBytes(); }

QNetworkReply *YoutubeUploadSession::openSession() {
    QUrl url = ServiceSettings::youtubeUploadUrl();
    QUrlQuery q(url);
    q.addQueryItem(QStringLiteral("uploadType"), QStringLiteral("resumable"));
    q.addQueryItem(QStringLiteral("part"), QStringLiteral("snippet,status"));
    url.setQuery(q);
    QNetworkRequest req = http::request(url, ServiceSettings::uploadStallTimeoutMs());
    req.setRawHeader("Authorization", "Bearer " + _token.toUtf8());
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json; charset=UTF-8"));
    req.setRawHeader("X-Upload-Content-Length", QByteArray::number(totalBytes()));
    req.setRawHeader("X-Upload-Content-Type", videoMimeType(filePath()).toUtf8());
    return network()->post(req, QJsonDocument(_metadata).toJson(QJsonDocument::Compact));
}

UploadStep YoutubeUploadSession::sessionOpened(QNetworkReply *reply, const QByteArray &body) {
    const int code = http::status(reply);
    if (code == 401)
        return UploadStep::unauthorized(http::replyError(reply, body, domain()));
    if (code >= 200 && code < 300) {
        const QUrl location = QUrl(QString::fromUtf8(reply->rawHeader("Location")));
        if (!location.isValid() || location.isEmpty())
            return UploadStep::fail(
                {domain(), code,
                 QCoreApplication::translate("UploadSessions", "The service opened no upload session.")});
        _sessionUrl = reply->url().resolved(location);
        return UploadStep::confirmed(0);
    }
    return failureOf(reply, body);
}

QNetworkRequest YoutubeUploadSession::sessionRequest() const {
    QNetworkRequest req = http::request(_sessionUrl, ServiceSettings::uploadStallTimeoutMs());
    req.setRawHeader("Authorization", "Bearer " + _token.toUtf8());
    return req;
}

QNetworkReply *YoutubeUploadSession::sendRange(FileRangeDevice *range) {
    if (range->size() == 0)
        return queryOffset();
    QNetworkRequest req = sessionRequest();
    req.setHeader(QNetworkRequest::ContentLengthHeader, range->size());
    req.setHeader(QNetworkRequest::ContentTypeHeader, videoMimeType(filePath()).toUtf8());
    req.setRawHeader(
        "Content-Range",
        QStringLiteral("bytes %1-%2/%3").arg(range->begin()).arg(range->end() - 1).arg(totalBytes()).toLatin1());
    return network()->put(req, range);
}

QNetworkReply *YoutubeUploadSession::queryOffset() {
    QNetworkRequest req = sessionRequest();
    req.setHeader(QNetworkRequest::ContentLengthHeader, 0);
    req.setRawHeader("Content-Range", "bytes */" + QByteArray::number(totalBytes()));
    return network()->put(req, QByteArray());
}

UploadStep YoutubeUploadSession::interpret(QNetworkReply *reply, const QByteArray &body) const {
    const int code = http::status(reply);
    if (code == 308) {
        // "bytes=0-N": the server holds N + 1 bytes; no Range header: it holds none.
        static const QRegularExpression range(QStringLiteral("^bytes=0-(\\d+)$"));
        const auto m = range.match(QString::fromLatin1(reply->rawHeader("Range")).trimmed());
        return UploadStep::confirmed(m.hasMatch() ? m.captured(1).toLongLong() + 1 : 0);
    }
    if (code == 200 || code == 201)
        return UploadStep::complete(http::parseBody(body));
    if (code == 404 || code == 410)
        return UploadStep::sessionGone(
            {domain(), code,
             QCoreApplication::translate("UploadSessions", "The upload session has expired on the server.")});
    if (code == 401)
        return UploadStep::unauthorized(http::replyError(reply, body, domain()));
    return failureOf(reply, body);
}

// ---------------------------------------------------------------------------------------
// Facebook

QUrl FacebookUploadSession::sessionUrl() const {
    // The session id may carry its own query ("upload:...?sig=..."): appended as text.
    QString base = ServiceSettings::facebookGraphUrl().toString();
    while (base.endsWith('/'))
        base.chop(1);
    return QUrl(base + '/' + _uploadId);
}

QNetworkReply *FacebookUploadSession::openSession() {
    QUrl url = http::join(ServiceSettings::facebookGraphUrl(), _appId + QStringLiteral("/uploads"));
    const QList<QPair<QString, QString>> items{{QStringLiteral("file_name"), QFileInfo(filePath()).fileName()},
                                               {QStringLiteral("file_length"), QString::number(totalBytes())},
                                               {QStringLiteral("file_type"), videoMimeType(filePath())},
                                               {QStringLiteral("access_token"), _token}};
    url.setQuery(QString::fromLatin1(http::formBody(items)), QUrl::StrictMode);
    QNetworkRequest req = http::request(url, ServiceSettings::uploadStallTimeoutMs());
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    return network()->post(req, QByteArray());
}

UploadStep FacebookUploadSession::sessionOpened(QNetworkReply *reply, const QByteArray &body) {
    const int code = http::status(reply);
    if (code >= 200 && code < 300) {
        _uploadId = http::parseBody(body).value(QStringLiteral("id")).toString();
        if (_uploadId.isEmpty() || _uploadId.contains('/') || _uploadId.startsWith('.'))
            return UploadStep::fail(
                {domain(), code,
                 QCoreApplication::translate("UploadSessions", "The service opened no upload session.")});
        return UploadStep::confirmed(0);
    }
    return failureOf(reply, body);
}

QNetworkReply *FacebookUploadSession::sendRange(FileRangeDevice *range) {
    QNetworkRequest req = http::request(sessionUrl(), ServiceSettings::uploadStallTimeoutMs());
    req.setRawHeader("Authorization", "OAuth " + _token.toUtf8());
    req.setRawHeader("file_offset", QByteArray::number(range->begin()));
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/octet-stream"));
    req.setHeader(QNetworkRequest::ContentLengthHeader, range->size());
    return network()->post(req, range);
}

UploadStep FacebookUploadSession::rangeSent(QNetworkReply *reply, const QByteArray &body) {
    const int code = http::status(reply);
    if (code >= 200 && code < 300) {
        const QVariantMap answer = http::parseBody(body);
        if (!answer.value(QStringLiteral("h")).toString().isEmpty())
            return UploadStep::complete(answer);
        bool ok = false;
        const qint64 offset = answer.value(QStringLiteral("file_offset")).toLongLong(&ok);
        if (ok)
            return UploadStep::confirmed(offset);
        return UploadStep::fail({domain(), code,
                                 QCoreApplication::translate(
                                     "UploadSessions", "The service's answer to the upload could not be understood.")});
    }
    return failureOf(reply, body);
}

QNetworkReply *FacebookUploadSession::queryOffset() {
    QNetworkRequest req = http::request(sessionUrl(), ServiceSettings::uploadStallTimeoutMs());
    req.setRawHeader("Authorization", "OAuth " + _token.toUtf8());
    return network()->get(req);
}

UploadStep FacebookUploadSession::offsetQueried(QNetworkReply *reply, const QByteArray &body) {
    const int code = http::status(reply);
    if (code >= 200 && code < 300) {
        bool ok = false;
        const qint64 offset = http::parseBody(body).value(QStringLiteral("file_offset")).toLongLong(&ok);
        if (ok)
            return UploadStep::confirmed(offset);
        return UploadStep::fail(
            {domain(), code,
             QCoreApplication::translate("UploadSessions", "The service did not tell how much of the file it holds.")});
    }
    if (code == 404)
        return UploadStep::sessionGone(
            {domain(), code,
             QCoreApplication::translate("UploadSessions", "The upload session has expired on the server.")});
    return failureOf(reply, body);
}

QNetworkReply *FacebookUploadSession::publish(const QVariantMap &transferAnswer) {
    QNetworkRequest req =
        http::request(http::join(ServiceSettings::facebookGraphUrl(), _pageId + QStringLiteral("/videos")),
                      ServiceSettings::uploadStallTimeoutMs());
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const QList<QPair<QString, QString>> items{
        {QStringLiteral("title"), _title},
        {QStringLiteral("description"), _description},
        {QStringLiteral("fbuploader_video_file_chunk"), transferAnswer.value(QStringLiteral("h")).toString()},
        {QStringLiteral("access_token"), _pageToken}};
    return network()->post(req, http::formBody(items));
}

UploadStep FacebookUploadSession::published(QNetworkReply *reply, const QByteArray &body) {
    const int code = http::status(reply);
    if (code >= 200 && code < 300) {
        const QVariantMap answer = http::parseBody(body);
        if (!answer.value(QStringLiteral("id")).toString().isEmpty())
            return UploadStep::complete(answer);
        return UploadStep::fail(
            {domain(), code, QCoreApplication::translate("UploadSessions", "The service did not publish the video.")});
    }
    return failureOf(reply, body);
}

} // namespace sendaway
