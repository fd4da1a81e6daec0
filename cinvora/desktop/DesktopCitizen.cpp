#include "DesktopCitizen.h"

#include <foundation/Settings.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>

namespace {
const QString kNotifyService = QStringLiteral("org.freedesktop.Notifications");
const QString kNotifyPath = QStringLiteral("/org/freedesktop/Notifications");

// Runs `done` with the reply when it arrives, as long as `owner` lives.
void whenAnswered(QObject *owner, const QDBusPendingCall &call, std::function<void(const QDBusMessage &)> done) {
    auto *watcher = new QDBusPendingCallWatcher(call, owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        done(watcher->reply());
    });
}
} // namespace

// ---- DoneNotifier ----

DoneNotifier::DoneNotifier(const QDBusConnection &bus, QObject *parent) : QObject(parent), _bus(bus) {}

void DoneNotifier::notify(const QString &title, const QString &body, const QString &folder) {
    if (!_bus.isConnected())
        return;
    if (!_listening) {
        _listening = true;
        _bus.connect(kNotifyService, kNotifyPath, kNotifyService, QStringLiteral("ActionInvoked"), this,
                     SLOT(actionInvoked(uint, QString)));
        _bus.connect(kNotifyService, kNotifyPath, kNotifyService, QStringLiteral("NotificationClosed"), this,
                     SLOT(notificationClosed(uint, uint)));
    }
    QDBusMessage m =
        QDBusMessage::createMethodCall(kNotifyService, kNotifyPath, kNotifyService, QStringLiteral("Notify"));
    QStringList actions;
    if (!folder.isEmpty())
        actions << openFolderAction() << QStringLiteral("Open Folder");
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.cinvora.Cinvora"));
    hints.insert(QStringLiteral("category"), QStringLiteral("transfer.complete"));
    m << QStringLiteral("Cinvora") << uint(0) << QStringLiteral("cinvora") << title << body << actions << hints
      << int(-1);
    whenAnswered(this, _bus.asyncCall(m), [this, folder](const QDBusMessage &reply) {
        // No notification service: the batch simply ends without a word.
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return;
        _lastId = reply.arguments().constFirst().toUInt();
        if (!folder.isEmpty())
            _folders.insert(_lastId, folder);
        emit sent(_lastId);
    });
}

void DoneNotifier::actionInvoked(uint id, const QString &action) {
    const auto it = _folders.constFind(id);
    if (it == _folders.cend())
        return; // another program's notification
    if (action == openFolderAction() && _opener)
        _opener(it.value());
}

void DoneNotifier::notificationClosed(uint id, uint reason) {
    (void)reason;
    _folders.remove(id);
}

// ---- SleepInhibitor ----

SleepInhibitor::SleepInhibitor(const QDBusConnection &system, const QDBusConnection &session, QObject *parent)
    : QObject(parent), _system(system), _session(session) {}

SleepInhibitor::~SleepInhibitor() { release(); }

bool SleepInhibitor::keepAwakeWhileConverting() {
    return foundation::Settings::value(QStringLiteral("keepAwakeWhileConverting"), true).toBool();
}

void SleepInhibitor::setKeepAwakeWhileConverting(bool on) {
    foundation::Settings::setValue(QStringLiteral("keepAwakeWhileConverting"), on);
}

void SleepInhibitor::setHeld(bool held) {
    if (held == _wanted)
        return;
    _wanted = held;
    ++_generation;
    if (held)
        tryLogind();
    else
        release();
}

void SleepInhibitor::tryLogind() {
    if (!_system.isConnected()) {
        trySession(Via::ScreenSaver);
        return;
    }
    QDBusMessage m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    m << QStringLiteral("sleep:idle") << QStringLiteral("Cinvora") << QStringLiteral("Converting video")
      << QStringLiteral("block");
    const quint64 gen = _generation;
    whenAnswered(this, _system.asyncCall(m), [this, gen](const QDBusMessage &reply) {
        if (gen != _generation)
            return; // asked for and let go meanwhile: the descriptor closes with the reply
        const QVariant fd = reply.arguments().value(0);
        if (reply.type() == QDBusMessage::ReplyMessage && fd.canConvert<QDBusUnixFileDescriptor>()) {
            _fd = fd.value<QDBusUnixFileDescriptor>();
            if (_fd.isValid()) {
                _via = Via::Logind;
                emit changed();
                return;
            }
        }
        trySession(Via::ScreenSaver);
    });
}

void SleepInhibitor::trySession(Via via) {
    if (!_session.isConnected())
        return;
    QDBusMessage m;
    if (via == Via::ScreenSaver) {
        m = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                           QStringLiteral("/org/freedesktop/ScreenSaver"),
                                           QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
        m << QStringLiteral("Cinvora") << QStringLiteral("Converting video");
    } else {
        // Flags 4 | 8: suspending and going idle.
        m = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.SessionManager"),
                                           QStringLiteral("/org/gnome/SessionManager"),
                                           QStringLiteral("org.gnome.SessionManager"), QStringLiteral("Inhibit"));
        m << QStringLiteral("org.cinvora.Cinvora") << uint(0) << QStringLiteral("Converting video") << uint(4 | 8);
    }
    const quint64 gen = _generation;
    whenAnswered(this, _session.asyncCall(m), [this, gen, via](const QDBusMessage &reply) {
        const bool ok = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
        if (gen != _generation) {
            // Let go meanwhile: give back what was granted late.
            if (ok) {
                const uint cookie = reply.arguments().constFirst().toUInt();
                const bool ss = via == Via::ScreenSaver;
                QDBusMessage un = QDBusMessage::createMethodCall(
                    reply.service(),
                    ss ? QStringLiteral("/org/freedesktop/ScreenSaver") : QStringLiteral("/org/gnome/SessionManager"),
                    ss ? QStringLiteral("org.freedesktop.ScreenSaver") : QStringLiteral("org.gnome.SessionManager"),
                    ss ? QStringLiteral("UnInhibit") : QStringLiteral("Uninhibit"));
                un << cookie;
                _session.asyncCall(un);
            }
            return;
        }
        if (ok) {
            _cookie = reply.arguments().constFirst().toUInt();
            _via = via;
            emit changed();
        } else if (via == Via::ScreenSaver) {
            trySession(Via::SessionManager);
        }
    });
}

void SleepInhibitor::release() {
    const Via was = _via;
    _via = Via::None;
    if (was == Via::Logind) {
        // Closing our copy of the descriptor ends the lock.
        _fd = QDBusUnixFileDescriptor();
    } else if (was == Via::ScreenSaver || was == Via::SessionManager) {
        const bool ss = was == Via::ScreenSaver;
        QDBusMessage m = QDBusMessage::createMethodCall(
            ss ? QStringLiteral("org.freedesktop.ScreenSaver") : QStringLiteral("org.gnome.SessionManager"),
            ss ? QStringLiteral("/org/freedesktop/ScreenSaver") : QStringLiteral("/org/gnome/SessionManager"),
            ss ? QStringLiteral("org.freedesktop.ScreenSaver") : QStringLiteral("org.gnome.SessionManager"),
            ss ? QStringLiteral("UnInhibit") : QStringLiteral("Uninhibit"));
        m << _cookie;
        _session.asyncCall(m);
        _cookie = 0;
    }
    if (was != Via::None)
        emit changed();
}

// ---- LauncherProgress ----

LauncherProgress::LauncherProgress(const QString &desktopId, const QDBusConnection &bus)
    : _bus(bus), _appUri(QStringLiteral("application://") + desktopId + QStringLiteral(".desktop")) {}

void LauncherProgress::setProgress(double fraction) {
    const int percent = fraction < 0 ? -1 : int(qBound(0.0, fraction, 1.0) * 100.0);
    if (percent == _lastPercent || !_bus.isConnected())
        return;
    _lastPercent = percent;
    QVariantMap props;
    props.insert(QStringLiteral("progress"), percent < 0 ? 0.0 : percent / 100.0);
    props.insert(QStringLiteral("progress-visible"), percent >= 0);
    QDBusMessage m = QDBusMessage::createSignal(objectPath(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                QStringLiteral("Update"));
    m << _appUri << props;
    _bus.send(m);
}
