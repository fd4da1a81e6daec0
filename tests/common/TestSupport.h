#pragma once
// Helpers shared by the test programs: fixture paths, the ffprobe judge, temporary folders.
#include <QByteArray>
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
int runProgram(const QString &program, const QStringList &args, QByteArray *out = nullptr, QByteArray *err = nullptr,
               int timeoutMs = 120000);
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

// Damaged media, made at test time: a clip from the ffmpeg program, then byte edits.
namespace damage {
// Runs `ffmpeg -nostdin -v error -y ARGS OUT`; false when it fails or writes nothing.
bool make(const QStringList &args, const QString &out);
// Reads the file, lets `edit` change its bytes and writes them back; false on I/O errors.
bool rewrite(const QString &path, const std::function<void(QByteArray &)> &edit);
// Seconds of the file the ffmpeg program decodes (its last "time=" report); 0 when none.
double decodedSeconds(const QString &path);
// Zeros the part [from, to) (fractions) of an MP4's media data: an overwritten stretch.
bool zeroMovieData(QByteArray &bytes, double from, double to);
// Multiplies the length in every version-0 `atom` ("mvhd", "mdhd") by `factor`.
bool scaleMovieLength(QByteArray &bytes, const char *atom, int factor);
// Overwrites `count` runs of 16 bytes spread from a quarter to two thirds into the file.
void scribble(QByteArray &bytes, int count);
} // namespace damage

} // namespace testsupport
