#include "TestSupport.h"

#include <foundation/MainThread.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QUuid>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

extern char **environ;

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

Child::~Child() {
    if (_pid > 0 && _status == -1) {
        kill(SIGKILL);
        wait(5000);
    }
    if (!_dir.isEmpty())
        QDir(_dir).removeRecursively();
}

bool Child::start(const QString &program, const QStringList &args) {
    _dir = freshDir("child");
    const QByteArray outPath = QFile::encodeName(_dir + "/out"), errPath = QFile::encodeName(_dir + "/err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString &a : args)
        storage.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : storage)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    _pid = pid;
    return true;
}

int Child::wait(int timeoutMs) {
    if (_pid <= 0)
        return -1;
    QElapsedTimer t;
    t.start();
    while (_status == -1) {
        int st = 0;
        const pid_t r = ::waitpid(pid_t(_pid), &st, WNOHANG);
        if (r == pid_t(_pid)) {
            _status = WIFEXITED(st) ? WEXITSTATUS(st) : 1000;
            break;
        }
        if (r < 0 || (timeoutMs >= 0 && t.elapsed() > timeoutMs))
            return -1;
        QThread::msleep(5);
    }
    return _status == 1000 ? -1 : _status;
}

void Child::kill(int signal) {
    if (_pid > 0 && _status == -1)
        ::kill(pid_t(_pid), signal);
}

QByteArray Child::standardOutput() const {
    QFile f(_dir + "/out");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Child::standardError() const {
    QFile f(_dir + "/err");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int runProgram(const QString &program, const QStringList &args, QByteArray *out, QByteArray *err, int timeoutMs) {
    Child c;
    if (!c.start(program, args))
        return -1;
    const int rc = c.wait(timeoutMs);
    if (out)
        *out = c.standardOutput();
    if (err)
        *err = c.standardError();
    return rc;
}

QJsonObject ffprobe(const QString &path) {
    QByteArray out;
    const int rc =
        runProgram("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path}, &out);
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

namespace damage {

bool make(const QStringList &args, const QString &out) {
    QByteArray err;
    const int rc = runProgram("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y"} + args + QStringList{out}, nullptr,
                              &err, 300000);
    return rc == 0 && QFileInfo(out).size() > 0;
}

bool rewrite(const QString &path, const std::function<void(QByteArray &)> &edit) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = f.readAll();
    f.close();
    edit(bytes);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

double decodedSeconds(const QString &path) {
    QByteArray err;
    runProgram("ffmpeg", {"-nostdin", "-hide_banner", "-i", path, "-f", "null", "-"}, nullptr, &err, 300000);
    static const QRegularExpression re(QStringLiteral("time=(\\d+):(\\d+):(\\d+(?:\\.\\d+)?)"));
    double seconds = 0;
    for (auto it = re.globalMatch(QString::fromUtf8(err)); it.hasNext();) {
        const auto m = it.next();
        seconds = m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble();
    }
    return seconds;
}

bool zeroMovieData(QByteArray &bytes, double from, double to) {
    const qsizetype at = bytes.indexOf("mdat");
    if (at < 4)
        return false;
    const qsizetype start = at + 4, size = bytes.size() - start;
    const qsizetype a = start + qsizetype(double(size) * from), b = start + qsizetype(double(size) * to);
    std::fill(bytes.begin() + a, bytes.begin() + b, '\0');
    return true;
}

bool scaleMovieLength(QByteArray &bytes, const char *atom, int factor) {
    bool any = false;
    for (qsizetype at = bytes.indexOf(atom); at >= 0; at = bytes.indexOf(atom, at + 4)) {
        // version 0: version and flags, two times, the time scale, then the length (32 bits).
        const qsizetype off = at + 4 + 4 + 8 + 4;
        if (bytes[at + 4] != 0 || off + 4 > bytes.size())
            continue;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | uint8_t(bytes[off + i]);
        v *= uint32_t(factor);
        for (int i = 0; i < 4; ++i)
            bytes[off + i] = char(v >> (24 - 8 * i));
        any = true;
    }
    return any;
}

void scribble(QByteArray &bytes, int count) {
    for (int k = 0; k < count; ++k) {
        const qsizetype at = bytes.size() / 4 + bytes.size() * 2 / 5 * k / count;
        for (qsizetype i = at; i < std::min(at + 16, bytes.size()); ++i)
            bytes[i] = char(0xAA);
    }
}

} // namespace damage

} // namespace testsupport
