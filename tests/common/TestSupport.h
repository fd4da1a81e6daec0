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
// Polls cond while pumping the main thread's queue and events; false on timeout.
bool waitFor(const std::function<bool()> &cond, int timeoutMs = 10000);
QString binary(const QString &name);

} // namespace testsupport
