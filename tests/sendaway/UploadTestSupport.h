#pragma once
// What the upload tests share: a stand-in "browser" that answers the sign-in pages the
// clients open, isolation from the developer's keyring, and a scan of the private home for
// secrets.
#include <QByteArray>
#include <QNetworkAccessManager>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

namespace uploadtest {

// Installs itself as the Reveal handler: every address the program opens is recorded and,
// while `answering` is true, fetched like a browser would (following the service's redirect
// to the program's loopback address).
class Browser {
public:
    Browser();
    ~Browser();
    bool answering = true;
    QList<QUrl> opened;
    // Status of the last page reached (the loopback handler's answer), 0 before.
    int lastStatus = 0;
    int finishedLoads = 0;

private:
    std::unique_ptr<QNetworkAccessManager> _network;
};

// Cuts the test process off the session bus so that no test ever reaches the developer's
// real keyring: the keyring then does not answer, as on a CI machine. Call before any
// keyring use (the test programs do it in a global environment).
void isolateFromSessionBus();

// Files under the private home (settings, data, cache) whose contents hold any of `secrets`.
QStringList filesContaining(const QStringList &secrets);

// A file of `bytes` pseudo-random bytes (seeded) in a fresh folder; returns its path.
QString makeFile(qint64 bytes, const QString &name = QStringLiteral("export.mp4"), quint32 seed = 7);
QByteArray readAll(const QString &path);

} // namespace uploadtest
