#pragma once
// Helpers shared by the test programs: fixture paths, the ffprobe judge, temporary folders.
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace testsupport {

// Absolute path of a generated fixture ("clip.mp4").
QString fixture(const QString &name);
// A fresh folder under the test's private home, removed with the process's home.
QString freshDir(const QString &hint = "t");
// `ffprobe -show_format -show_streams` as JSON; empty object when ffprobe fails.
QJsonObject ffprobe(const QString &path);
// Runs a program; returns its exit status (-1 when it did not finish within timeoutMs).
int runProgram(const QString &program, const QStringList &args, QByteArray *out = nullptr,
               QByteArray *err = nullptr, int timeoutMs = 120000);
// A child program started with posix_spawn, its output collected in files. Tests do not
// use QProcess for children: its vfork-like start runs library code in the child while it
// shares the test's memory, which ThreadSanitizer cannot follow in the sanitizer builds.
class Child {
public:
    Child() = default;
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child();
    bool start(const QString &program, const QStringList &args);
    qint64 pid() const { return _pid; }
    // Exit status once it ended within timeoutMs; -1 on timeout or when killed by a signal.
    int wait(int timeoutMs);
    void kill(int signal);
    QByteArray standardOutput() const;
    QByteArray standardError() const;

private:
    qint64 _pid = -1;
    int _status = -1;
    QString _dir;
};
// Polls cond while pumping the main thread's queue and events; false on timeout.
bool waitFor(const std::function<bool()> &cond, int timeoutMs = 10000);
QString binary(const QString &name);

} // namespace testsupport
