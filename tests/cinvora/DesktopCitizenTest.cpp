// The desktop manners against fake desktop services on a private session bus (the test
// runs under dbus-run-session): what the notification says and what its action does, the
// sleep inhibitor's descriptor held and let go, the fallback to the screen saver, and the
// launcher's progress signal.
#include "DesktopCitizen.h"
#include "vcBatchTally.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace {

bool waitFor(const std::function<bool()> &done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // As the main loop does: answered calls let go of their replies (and descriptors).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Every message sent before this call has been answered by the bus: a round trip behind them.
void roundTrip(QDBusConnection &bus) {
    bus.interface()->call(QStringLiteral("GetId"));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

QDBusConnection fakeSide() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-desktop"));
}

} // namespace

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Sent {
        QString summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Sent> sent;
public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout) {
        (void)app, (void)replaces, (void)icon, (void)timeout;
        sent.append({summary, body, actions, hints});
        return uint(40 + sent.size());
    }
};

class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    int readEnd = -1;
    QStringList asked;
    ~FakeLogind() override {
        if (readEnd >= 0)
            ::close(readEnd);
    }
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode) {
        (void)who, (void)why;
        asked << what << mode;
        int p[2];
        if (::pipe(p) != 0)
            return {};
        readEnd = p[0];
        QDBusUnixFileDescriptor fd(p[1]); // a copy travels with the reply
        ::close(p[1]);
        return fd;
    }
};

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QList<uint> released;
    int inhibits = 0;
public slots:
    uint Inhibit(const QString &app, const QString &why) {
        (void)app, (void)why;
        ++inhibits;
        return 4242;
    }
    void UnInhibit(uint cookie) { released << cookie; }
};

class LauncherListener : public QObject {
    Q_OBJECT
public:
    QList<QPair<QString, QVariantMap>> updates;
public slots:
    void update(const QString &uri, const QVariantMap &props) { updates.append({uri, props}); }
};

// Whether the writer side of the fake's pipe is still open somewhere (no hang-up yet).
static bool writerAlive(int readEnd) {
    pollfd p{readEnd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

TEST(DesktopCitizen, NotificationCarriesTheSummaryAndItsActionOpensTheFolder) {
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) << "run under dbus-run-session";
    QDBusConnection side = fakeSide();
    FakeNotifications server;
    ASSERT_TRUE(side.registerObject("/org/freedesktop/Notifications", &server, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(side.registerService("org.freedesktop.Notifications"));

    DoneNotifier notifier;
    QStringList opened;
    notifier.setFolderOpener([&](const QString &folder) { opened << folder; });
    notifier.notify("Conversion finished", "3 files converted, 1 failed.", "/tmp/out");
    ASSERT_TRUE(waitFor([&] { return notifier.lastId() != 0; }));
    ASSERT_EQ(server.sent.size(), 1);
    EXPECT_EQ(server.sent[0].summary, "Conversion finished");
    EXPECT_EQ(server.sent[0].body, "3 files converted, 1 failed.");
    EXPECT_EQ(server.sent[0].actions, QStringList({"default", "Open Folder"}));
    EXPECT_EQ(server.sent[0].hints.value("desktop-entry").toString(), "org.cinvora.Cinvora");

    auto invoke = [&](uint id, const QString &action) {
        QDBusMessage m = QDBusMessage::createSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                                    "ActionInvoked");
        m << id << action;
        side.send(m);
    };
    // Another program's notification, and an action we did not offer, open nothing.
    invoke(notifier.lastId() + 100, "default");
    invoke(notifier.lastId(), "inline-reply");
    invoke(notifier.lastId(), "default");
    ASSERT_TRUE(waitFor([&] { return !opened.isEmpty(); }));
    roundTrip(side);
    EXPECT_EQ(opened, QStringList({"/tmp/out"}));

    // Once the server says it was closed, a late action opens nothing.
    QDBusMessage closed = QDBusMessage::createSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                                     "NotificationClosed");
    closed << notifier.lastId() << uint(2);
    side.send(closed);
    roundTrip(side);
    invoke(notifier.lastId(), "default");
    roundTrip(side);
    waitFor([] { return false; }, 200);
    EXPECT_EQ(opened.size(), 1);

    side.unregisterService("org.freedesktop.Notifications");
    side.unregisterObject("/org/freedesktop/Notifications");
}

TEST(DesktopCitizen, NoNotificationServiceIsQuiet) {
    DoneNotifier notifier;
    int sent = 0;
    QObject::connect(&notifier, &DoneNotifier::sent, [&] { ++sent; });
    notifier.notify("Conversion finished", "1 file converted.", "/tmp/out");
    QDBusConnection bus = QDBusConnection::sessionBus();
    roundTrip(bus);
    waitFor([] { return false; }, 200);
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(notifier.lastId(), 0u);
}

TEST(DesktopCitizen, LogindInhibitorIsHeldUntilLetGo) {
    QDBusConnection side = fakeSide();
    FakeLogind logind;
    ASSERT_TRUE(side.registerObject("/org/freedesktop/login1", &logind, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(side.registerService("org.freedesktop.login1"));

    {
        // The fake stands on the session bus in the system bus's place.
        SleepInhibitor inhibitor(QDBusConnection::sessionBus(), QDBusConnection::sessionBus());
        inhibitor.setHeld(true);
        ASSERT_TRUE(waitFor([&] { return inhibitor.via() == SleepInhibitor::Via::Logind; }));
        EXPECT_EQ(logind.asked, QStringList({"sleep:idle", "block"}));
        ASSERT_GE(logind.readEnd, 0);
        waitFor([] { return false; }, 100);
        EXPECT_TRUE(writerAlive(logind.readEnd)) << "the inhibitor's descriptor was not kept";

        inhibitor.setHeld(true); // no second lock
        inhibitor.setHeld(false);
        EXPECT_EQ(inhibitor.via(), SleepInhibitor::Via::None);
        EXPECT_FALSE(writerAlive(logind.readEnd)) << "letting go did not close the descriptor";
        EXPECT_EQ(logind.asked.size(), 2);

        // Held again, then the owner goes away while holding it.
        inhibitor.setHeld(true);
        ASSERT_TRUE(waitFor([&] { return inhibitor.via() == SleepInhibitor::Via::Logind; }));
        EXPECT_TRUE(writerAlive(logind.readEnd));
    }
    EXPECT_FALSE(writerAlive(logind.readEnd)) << "the inhibitor outlived its owner";

    side.unregisterService("org.freedesktop.login1");
    side.unregisterObject("/org/freedesktop/login1");
}

TEST(DesktopCitizen, WithoutLogindTheScreenSaverIsAskedAndToldAgain) {
    QDBusConnection side = fakeSide();
    FakeScreenSaver saver;
    ASSERT_TRUE(side.registerObject("/org/freedesktop/ScreenSaver", &saver, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(side.registerService("org.freedesktop.ScreenSaver"));

    // No system bus at all: the screen saver is asked at once.
    SleepInhibitor inhibitor(QDBusConnection(QStringLiteral("no-system-bus")), QDBusConnection::sessionBus());
    inhibitor.setHeld(true);
    ASSERT_TRUE(waitFor([&] { return inhibitor.via() == SleepInhibitor::Via::ScreenSaver; }));
    EXPECT_EQ(saver.inhibits, 1);
    inhibitor.setHeld(false);
    ASSERT_TRUE(waitFor([&] { return !saver.released.isEmpty(); }));
    EXPECT_EQ(saver.released, QList<uint>({4242}));

    // Let go before the answer came: what is granted late is given back.
    inhibitor.setHeld(true);
    inhibitor.setHeld(false);
    ASSERT_TRUE(waitFor([&] { return saver.released.size() == 2; }));
    EXPECT_EQ(saver.inhibits, 2);
    EXPECT_EQ(inhibitor.via(), SleepInhibitor::Via::None);

    // A system bus without logind on it: its refusal leads to the screen saver too.
    SleepInhibitor second(QDBusConnection::sessionBus(), QDBusConnection::sessionBus());
    second.setHeld(true);
    ASSERT_TRUE(waitFor([&] { return second.via() == SleepInhibitor::Via::ScreenSaver; }));
    EXPECT_EQ(saver.inhibits, 3);

    side.unregisterService("org.freedesktop.ScreenSaver");
    side.unregisterObject("/org/freedesktop/ScreenSaver");
}

TEST(DesktopCitizen, LauncherShowsWholePercentsAndClears) {
    QDBusConnection side = fakeSide();
    LauncherListener listener;
    ASSERT_TRUE(side.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update", &listener,
                             SLOT(update(QString, QVariantMap))));
    LauncherProgress launcher("org.cinvora.Cinvora");
    launcher.setProgress(0.25);
    launcher.setProgress(0.251); // the same whole percent: nothing new to draw
    launcher.setProgress(-1);
    ASSERT_TRUE(waitFor([&] { return listener.updates.size() >= 2; }));
    roundTrip(side);
    ASSERT_EQ(listener.updates.size(), 2);
    EXPECT_EQ(listener.updates[0].first, "application://org.cinvora.Cinvora.desktop");
    EXPECT_DOUBLE_EQ(listener.updates[0].second.value("progress").toDouble(), 0.25);
    EXPECT_TRUE(listener.updates[0].second.value("progress-visible").toBool());
    EXPECT_FALSE(listener.updates[1].second.value("progress-visible").toBool());
}

TEST(DesktopCitizen, BatchSummaryWording) {
    EXPECT_EQ((vcBatchTally{1, 0, 0}).summary(), "1 file converted.");
    EXPECT_EQ((vcBatchTally{3, 1, 2}).summary(), "3 files converted, 1 failed.");
    EXPECT_EQ((vcBatchTally{0, 2, 0}).summary(), "0 files converted, 2 failed.");
    EXPECT_EQ((vcBatchTally{0, 0, 2}).summary(), "0 files converted, 2 stopped.");
}

#include "DesktopCitizenTest.moc"
