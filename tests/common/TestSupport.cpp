#include "TestSupport.h"

#include <foundation/MainThread.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <QUuid>

namespace testsupport {

QString fixture(const QString &name) {
    QString dir = qEnvironmentVariable("CINVORA_FIXTURES");
    if (dir.isEmpty())
        dir = QStringLiteral(CINVORA_FIXTURE_DIR);
    return QDir(dir).filePath(name);
}

QString freshDir(const QString &hint) {
    const QString base = QDir::home().filePath("scratch");
    const QString dir = QDir(base).filePath(hint + "-" + QUuid::createUuid().toString(QUuid::Id128).left(8));
    QDir().mkpath(dir);
    return dir;
}

int runProgram(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return -1;
    }
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QJsonObject ffprobe(const QString &path) {
    QByteArray out;
    const int rc = runProgram("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path},
                              &out);
    if (rc != 0)
        return {};
    return QJsonDocument::fromJson(out).object();
}

bool waitFor(const std::function<bool()> &cond, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return cond();
        foundation::MainThread::drain();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

QString binary(const QString &name) { return QDir(QStringLiteral(CINVORA_BIN_DIR)).filePath(name); }

} // namespace testsupport
