#pragma once
// The program's manners on a Linux desktop, spoken over D-Bus: a notification when a batch
// ends while the user is elsewhere, a sleep inhibitor while conversions run, and the
// list's progress on the launcher. Each piece works against connections it is given, so
// tests can put fake services on a private bus, and each one quietly does nothing where
// the desktop offers no such service.
//
// Threads: main thread only. Every bus call is asynchronous: a slow or absent service
// never stalls the window.
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QHash>
#include <QObject>
#include <functional>

// org.freedesktop.Notifications, with an action that opens the output folder.
class DoneNotifier : public QObject {
    Q_OBJECT
public:
    explicit DoneNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    // The default action, so that a click on the notification itself opens the folder too.
    static QString openFolderAction() { return QStringLiteral("default"); }
    // Sends the notification; `folder` is handed to the opener when the user picks "Open Folder".
    void notify(const QString &title, const QString &body, const QString &folder);
    void setFolderOpener(std::function<void(const QString &)> opener) { _opener = std::move(opener); }
    // The id the server gave the last notification (0 before a reply).
    uint lastId() const { return _lastId; }

signals:
    void sent(uint id);

private slots:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection _bus;
    bool _listening = false;
    std::function<void(const QString &)> _opener;
    QHash<uint, QString> _folders;
    uint _lastId = 0;
};

// Keeps the machine from sleeping: logind's Inhibit on the system bus (the descriptor it
// hands back holds the lock, and dies with the process), else the session's screen-saver
// or session-manager inhibit.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    enum class Via { None, Logind, ScreenSaver, SessionManager };
    explicit SleepInhibitor(const QDBusConnection &system = QDBusConnection::systemBus(),
                            const QDBusConnection &session = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~SleepInhibitor() override;
    // The settings sheet's switch (on unless turned off).
    static bool keepAwakeWhileConverting();
    static void setKeepAwakeWhileConverting(bool on);
    // Asks for the inhibitor or lets it go; repeated calls with the same value do nothing.
    void setHeld(bool held);
    bool wanted() const { return _wanted; }
    // Which service holds it now (None while asking, released, or where none answered).
    Via via() const { return _via; }

signals:
    void changed();

private:
    void tryLogind();
    void trySession(Via via);
    void release();

    QDBusConnection _system;
    QDBusConnection _session;
    bool _wanted = false;
    // Bumped by every change of mind, so that a late reply to an old request is let go.
    quint64 _generation = 0;
    Via _via = Via::None;
    QDBusUnixFileDescriptor _fd;
    uint _cookie = 0;
};

// com.canonical.Unity.LauncherEntry: the docks and task bars that read it draw a progress
// bar on the program's launcher.
class LauncherProgress {
public:
    explicit LauncherProgress(const QString &desktopId, const QDBusConnection &bus = QDBusConnection::sessionBus());
    static QString objectPath() { return QStringLiteral("/org/cinvora/Cinvora/launcher"); }
    // 0..1 shows the bar; a negative value clears it. Only changes of a whole percent are sent.
    void setProgress(double fraction);

private:
    QDBusConnection _bus;
    QString _appUri;
    int _lastPercent = -2;
};
