#include "foundation/Reveal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <mutex>

namespace foundation {
namespace {
std::mutex &handlerLock() {
    static std::mutex m;
    return m;
}
Reveal::Handler &handler() {
    static Reveal::Handler h;
    return h;
}
bool callHandler(const QString &what, const QString &target, bool *handled) {
    std::lock_guard lock(handlerLock());
    *handled = static_cast<bool>(handler());
    return *handled ? handler()(what, target) : false;
}
} // namespace

bool Reveal::showInFileManager(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    bool handled = false;
    const bool r = callHandler("show", info.absoluteFilePath(), &handled);
    if (handled)
        return r;

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
            "org.freedesktop.FileManager1", "ShowItems");
        call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool Reveal::openUrl(const QUrl &url) {
    bool handled = false;
    const bool r = callHandler("open", url.toString(), &handled);
    if (handled)
        return r;
    return QDesktopServices::openUrl(url);
}

void Reveal::setHandlerForTesting(Handler h) {
    std::lock_guard lock(handlerLock());
    handler() = std::move(h);
}

} // namespace foundation
