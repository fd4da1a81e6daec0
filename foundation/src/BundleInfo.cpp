#include "foundation/BundleInfo.h"

namespace foundation {

QString BundleInfo::value(const QString &key) {
    if (key == u"CFBundleName" || key == u"CFBundleExecutable")
        return QStringLiteral("Cinvora");
    if (key == u"FACEBOOK_APPID")
        return QStringLiteral(CINVORA_FACEBOOK_APPID);
    if (key == u"FACEBOOK_CLIENT_TOKEN")
        return QStringLiteral(CINVORA_FACEBOOK_CLIENT_TOKEN);
    if (key == u"CFBundleShortVersionString")
        return QStringLiteral(CINVORA_VERSION);
    return {};
}

} // namespace foundation
