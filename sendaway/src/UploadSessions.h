#pragma once
// The two services' resumable upload protocols on the shared transfer engine.
#include "sendaway/ResumableUpload.h"

#include <QJsonObject>
#include <QNetworkRequest>
#include <QUrl>

namespace sendaway {

// YouTube Data API v3: POST the metadata to the upload endpoint with uploadType=resumable
// and get the session address in Location; PUT the file in ranges with Content-Range; a
// 308 with "Range: bytes=0-N" confirms N + 1 bytes; a PUT with "Content-Range: bytes */T"
// and no body asks for the offset; 200/201 carries the new video resource.
class YoutubeUploadSession final : public ResumableUpload {
    Q_OBJECT
public:
    using ResumableUpload::ResumableUpload;
    void setAccessToken(const QString &token) { _token = token; }
    void setMetadata(const QJsonObject &metadata) { _metadata = metadata; }
    QUrl sessionUrl() const { return _sessionUrl; }

protected:
    QNetworkReply *openSession() override;
    UploadStep sessionOpened(QNetworkReply *reply, const QByteArray &body) override;
    QNetworkReply *sendRange(FileRangeDevice *range) override;
    UploadStep rangeSent(QNetworkReply *reply, const QByteArray &body) override { return interpret(reply, body); }
    QNetworkReply *queryOffset() override;
    UploadStep offsetQueried(QNetworkReply *reply, const QByteArray &body) override { return interpret(reply, body); }
    qint64 chunkBytes() const override;
    void resetSession() override { _sessionUrl.clear(); }
    QString domain() const override { return QStringLiteral("youtube"); }

private:
    UploadStep interpret(QNetworkReply *reply, const QByteArray &body) const;
    QNetworkRequest sessionRequest() const;
    QString _token;
    QJsonObject _metadata;
    QUrl _sessionUrl;
};

// Graph API resumable upload: POST /{app-id}/uploads?file_name&file_length&file_type opens
// a session ("upload:..."); POST /upload:... with a file_offset header carries the bytes
// from there and answers {"h": handle} once the file is complete (or the offset reached);
// GET /upload:... tells the offset (an unknown session starts over); POST /{page-id}/videos
// with the handle and the Page access token publishes the video on the Page.
class FacebookUploadSession final : public ResumableUpload {
    Q_OBJECT
public:
    using ResumableUpload::ResumableUpload;
    void setApplicationId(const QString &id) { _appId = id; }
    void setAccessToken(const QString &token) { _token = token; }
    void setPost(const QString &title, const QString &description) { _title = title, _description = description; }
    void setPage(const QString &id, const QString &token) { _pageId = id, _pageToken = token; }

protected:
    QNetworkReply *openSession() override;
    UploadStep sessionOpened(QNetworkReply *reply, const QByteArray &body) override;
    QNetworkReply *sendRange(FileRangeDevice *range) override;
    UploadStep rangeSent(QNetworkReply *reply, const QByteArray &body) override;
    QNetworkReply *queryOffset() override;
    UploadStep offsetQueried(QNetworkReply *reply, const QByteArray &body) override;
    QNetworkReply *publish(const QVariantMap &transferAnswer) override;
    UploadStep published(QNetworkReply *reply, const QByteArray &body) override;
    void resetSession() override { _uploadId.clear(); }
    QString domain() const override { return QStringLiteral("facebook"); }

private:
    QUrl sessionUrl() const;
    QString _appId;
    QString _token;
    QString _title;
    QString _description;
    QString _uploadId;
    QString _pageId;
    QString _pageToken;
};

// The MIME type a service expects for a video file, by its suffix.
QString videoMimeType(const QString &path);

} // namespace sendaway
