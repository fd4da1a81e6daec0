#pragma once
// The user settings store. Every write is synchronised to disk at once, every read
// synchronises first, so two processes (the window and the command line) see each
// other's changes.
#include <QString>
#include <QVariant>

namespace foundation {

class Settings {
public:
    // Thread-safe. Returns `fallback` when the key is absent.
    static QVariant value(const QString &key, const QVariant &fallback = {});
    static bool contains(const QString &key);
    static void setValue(const QString &key, const QVariant &value);
    static void remove(const QString &key);
    static void sync();
    // Path of the backing file (for tests and diagnostics).
    static QString fileName();
};

} // namespace foundation
