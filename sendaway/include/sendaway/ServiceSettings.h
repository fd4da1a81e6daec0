#pragma once
// Where the upload clients find their services. Every address and every tunable of the
// protocols is read from the settings store under "sendaway/..." and falls back to the
// public service, so a test or a private deployment can point the clients elsewhere
// without a rebuild. Nothing secret is read from or written to the settings here.
#include <QString>
#include <QUrl>

namespace sendaway {

class ServiceSettings {
public:
    // YouTube (Google accounts and the YouTube Data API v3).
    static QUrl youtubeAuthorizationUrl(); // "sendaway/youtube/authorizationUrl"
    static QUrl youtubeTokenUrl();         // "sendaway/youtube/tokenUrl"
    static QUrl youtubeApiUrl();           // "sendaway/youtube/apiUrl": base of channels, videoCategories
    static QUrl youtubeUploadUrl();        // "sendaway/youtube/uploadUrl": the resumable upload endpoint
    static QString youtubeWatchUrl();      // "sendaway/youtube/watchUrl": "%1" becomes the video id
    static QString youtubeClientId();      // "sendaway/youtube/clientId"
    static QString youtubeClientSecret();  // "sendaway/youtube/clientSecret" (an installed program's, not a user's)
    static QString youtubeScope();         // "sendaway/youtube/scope"
    static QString youtubeRegionCode();    // "sendaway/youtube/regionCode"; else the locale's country
    // Size of one upload request; a multiple of 256 KiB as the service requires.
    static qint64 youtubeChunkBytes(); // "sendaway/youtube/chunkBytes"

    // Facebook (the Graph API).
    // Every request, uploads included: the dedicated video host is deprecated.
    static QUrl facebookGraphUrl(); // "sendaway/facebook/graphUrl"
    static QString facebookScope(); // "sendaway/facebook/scope": what a Page publish needs
    // The app's client token (for device login): "sendaway/facebook/clientToken", else the
    // program's "FACEBOOK_CLIENT_TOKEN" information value.
    static QString facebookClientToken();
    // The application identifier: "sendaway/facebook/appId" when set, else the program's
    // "FACEBOOK_APPID" information value.
    static QString facebookAppId();

    // Shared by both uploads.
    static int uploadRetries();      // "sendaway/upload/retries": attempts after a failure
    static int uploadRetryDelayMs(); // "sendaway/upload/retryDelayMs": first back-off, doubled each time
    static int
    uploadStallTimeoutMs(); // "sendaway/upload/stallTimeoutMs": a request moving no byte this long is dropped
    // How long a browser sign-in may take before it is given up.
    static int browserSignInTimeoutMs(); // "sendaway/signIn/browserTimeoutMs"

private:
    static QString text(const char *key, const QString &fallback);
    static qint64 number(const char *key, qint64 fallback, qint64 min, qint64 max);
};

} // namespace sendaway
