#include "sendaway/ServiceSettings.h"

#include <foundation/BundleInfo.h>
#include <foundation/Settings.h>

#include <QLocale>
#include <algorithm>

namespace sendaway {

QString ServiceSettings::text(const char *key, const QString &fallback) {
    const QString v = foundation::Settings::value(QString::fromLatin1(key)).toString().trimmed();
    return v.isEmpty() ? fallback : v;
}

qint64 ServiceSettings::number(const char *key, qint64 fallback, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 v = foundation::Settings::value(QString::fromLatin1(key)).toLongLong(&ok);
    return ok ? std::clamp(v, min, max) : fallback;
}

QUrl ServiceSettings::youtubeAuthorizationUrl() {
    return QUrl(
        text("sendaway/youtube/authorizationUrl", QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth")));
}
QUrl ServiceSettings::youtubeTokenUrl() {
    return QUrl(text("sendaway/youtube/tokenUrl", QStringLiteral("https://oauth2.googleapis.com/token")));
}
QUrl ServiceSettings::youtubeApiUrl() {
    return QUrl(text("sendaway/youtube/apiUrl", QStringLiteral("https://www.googleapis.com/youtube/v3")));
}
QUrl ServiceSettings::youtubeUploadUrl() {
    return QUrl(
        text("sendaway/youtube/uploadUrl", QStringLiteral("https://www.googleapis.com/upload/youtube/v3/videos")));
}
QString ServiceSettings::youtubeWatchUrl() {
    return text("sendaway/youtube/watchUrl", QStringLiteral("https://www.youtube.com/watch?v=%1"));
}
QString ServiceSettings::youtubeClientId() {
    return text("sendaway/youtube/clientId", QStringLiteral(CINVORA_YOUTUBE_CLIENT_ID));
}
QString ServiceSettings::youtubeClientSecret() {
    return text("sendaway/youtube/clientSecret", QStringLiteral(CINVORA_YOUTUBE_CLIENT_SECRET));
}
QString ServiceSettings::youtubeScope() {
    return text("sendaway/youtube/scope", QStringLiteral("https://www.googleapis.com/auth/youtube.upload "
                                                         "https://www.googleapis.com/auth/youtube.readonly"));
}
QString ServiceSettings::youtubeRegionCode() {
    QString fallback = QLocale::territoryToCode(QLocale().territory());
    if (fallback.size() != 2)
        fallback = QStringLiteral("US");
    return text("sendaway/youtube/regionCode", fallback);
}
qint64 ServiceSettings::youtubeChunkBytes() {
    constexpr qint64 unit = 256 * 1024;
    const qint64 v = number("sendaway/youtube/chunkBytes", 32 * unit, unit, 4096 * unit);
    return std::max(unit, v / unit * unit);
}

QUrl ServiceSettings::facebookGraphUrl() {
    return QUrl(text("sendaway/facebook/graphUrl", QStringLiteral("https://graph.facebook.com/v19.0")));
}
QString ServiceSettings::facebookScope() {
    return text("sendaway/facebook/scope", QStringLiteral("pages_show_list,pages_read_engagement,pages_manage_posts"));
}
QString ServiceSettings::facebookClientToken() {
    return text("sendaway/facebook/clientToken",
                foundation::BundleInfo::value(QStringLiteral("FACEBOOK_CLIENT_TOKEN")));
}
QString ServiceSettings::facebookAppId() {
    return text("sendaway/facebook/appId", foundation::BundleInfo::value(QStringLiteral("FACEBOOK_APPID")));
}

int ServiceSettings::uploadRetries() { return int(number("sendaway/upload/retries", 4, 0, 20)); }
int ServiceSettings::uploadRetryDelayMs() { return int(number("sendaway/upload/retryDelayMs", 1000, 0, 60000)); }
int ServiceSettings::uploadStallTimeoutMs() {
    return int(number("sendaway/upload/stallTimeoutMs", 60000, 100, 600000));
}
int ServiceSettings::browserSignInTimeoutMs() {
    return int(number("sendaway/signIn/browserTimeoutMs", 5 * 60 * 1000, 100, 60 * 60 * 1000));
}

} // namespace sendaway
