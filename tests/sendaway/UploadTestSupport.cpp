#include "UploadTestSupport.h"

#include "TestSupport.h"

#include <foundation/Reveal.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QNetworkReply>
#include <QRandomGenerator>

namespace uploadtest {

Browser::Browser() : _network(std::make_unique<QNetworkAccessManager>()) {
    foundation::Reveal::setHandlerForTesting([this](const QString &what, const QString &target) {
        if (what != u"open")
            return true;
        const QUrl url(target);
        opened.append(url);
        if (!answering)
            return true;
        QNetworkRequest req(url);
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkReply *reply = _network->get(req);
        QObject::connect(reply, &QNetworkReply::finished, [this, reply] {
            lastStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            ++finishedLoads;
            reply->deleteLater();
        });
        return true;
    });
}

Browser::~Browser() { foundation::Reveal::setHandlerForTesting({}); }

void isolateFromSessionBus() {
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    const QString runtime = QDir::home().filePath(".runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
}

QStringList filesContaining(const QStringList &secrets) {
    QStringList hits;
    QDirIterator it(QDir::homePath(), QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.size() > 64 * 1024 * 1024 || !f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray data = f.readAll();
        for (const QString &s : secrets)
            if (!s.isEmpty() && (data.contains(s.toUtf8()) || data.contains(QUrl::toPercentEncoding(s)))) {
                hits << path + " holds " + s.left(6) + "...";
                break;
            }
    }
    return hits;
}

QString makeFile(qint64 bytes, const QString &name, quint32 seed) {
    const QString path = QDir(testsupport::freshDir("upload")).filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QRandomGenerator rng(seed);
    QByteArray block(64 * 1024, '\0');
    for (qint64 left = bytes; left > 0;) {
        for (int i = 0; i < block.size(); i += 4) {
            const quint32 v = rng.generate();
            memcpy(block.data() + i, &v, 4);
        }
        const qint64 n = std::min<qint64>(left, block.size());
        f.write(block.constData(), n);
        left -= n;
    }
    return path;
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace uploadtest
