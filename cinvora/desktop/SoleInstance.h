#pragma once
// One window program per user session. The first start owns the well-known name
// org.cinvora.Cinvora on the session bus; a later start (a file manager's "Open with", the
// launcher) hands its files to that window over the bus and ends, and the window adds them
// and comes to the front. Without a session bus every start is alone, and the list's own
// lock (ListLock) keeps a second window from writing the list.
//
// Threads: main thread only. claim() is the one blocking bus call of the program: it runs
// before any window exists, in a start that is about to end.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <functional>

class SoleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.cinvora.Cinvora")
public:
    enum class Role {
        First,     // this process owns the name and receives later starts' files
        HandedOff, // the running window took the files: this start is done
        Alone,     // no session bus, or no answer from the name's owner
    };
    explicit SoleInstance(const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~SoleInstance() override;
    static QString serviceName() { return QStringLiteral("org.cinvora.Cinvora"); }
    static QString objectPath() { return QStringLiteral("/org/cinvora/Cinvora"); }

    // Takes the name, or hands `files` (absolute paths) to the process that has it.
    Role claim(const QStringList &files);
    // Gives up the name (a first start that may not run after all).
    void release();
    // What runs for each later start; the files of a start that came before it was set are
    // handed to it at once.
    void setReceiver(std::function<void(const QStringList &files)> receiver);

public slots:
    // The bus method: a later start's files (possibly none: it only asks for the window).
    Q_SCRIPTABLE void Open(const QStringList &files);

private:
    QDBusConnection _bus;
    bool _registered = false;
    bool _owner = false;
    std::function<void(const QStringList &)> _receiver;
    QList<QStringList> _early;
};
