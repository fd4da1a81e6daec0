#include "foundation/Reveal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
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

// Never from inside the caller's own call: the caller may still be setting itself up.
void tellLater(const Reveal::Unanswered &unanswered) {
    if (!unanswered)
        return;
    if (QCoreApplication *app = QCoreApplication::instance())
        QTimer::singleShot(0, app, unanswered);
    else
        unanswered();
}

// QDesktopServices only says whether it could start a handler, and on a desktop without one
// it starts xdg-open, which fails: xdg-open's exit status is the only word on whether
// anything took the address, so it is run here and waited for without blocking.
bool launch(const QUrl &url, const Reveal::Unanswered &unanswered) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || !QCoreApplication::instance()) {
        const bool ok = QDesktopServices::openUrl(url);
        if (!ok)
            tellLater(unanswered);
        return ok;
    }
    // No parent: xdg-open may wait for the program it started (a browser), which must
    // outlive this one; the process object goes when xdg-open ends.
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, unanswered](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             tellLater(unanswered);
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, unanswered](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        tellLater(unanswered);
        process->deleteLater();
    });
    process->start(opener, {Reveal::handedOverText(url)});
    return true;
}
} // namespace

QString Reveal::handedOverText(const QUrl &url) {
    return url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
}

bool Reveal::showInFileManager(const QString &path, Unanswered unanswered) {
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    bool handled = false;
    const bool r = callHandler("show", info.absoluteFilePath(), &handled);
    if (handled) {
        if (!r)
            tellLater(unanswered);
        return r;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call =
            QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                           "org.freedesktop.FileManager1", "ShowItems");
        call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    return launch(QUrl::fromLocalFile(folder), unanswered);
}

bool Reveal::openUrl(const QUrl &url, Unanswered unanswered) {
    bool handled = false;
    const bool r = callHandler("open", url.toString(), &handled);
    if (handled) {
        if (!r)
            tellLater(unanswered);
        return r;
    }
    return launch(url, unanswered);
}

void Reveal::setHandlerForTesting(Handler h) {
    std::lock_guard lock(handlerLock());
    handler() = std::move(h);
}

} // namespace foundation
