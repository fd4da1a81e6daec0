#include "foundation/Settings.h"

#include <QSettings>
#include <mutex>

namespace foundation {
namespace {
// QSettings objects are reentrant but not thread-safe; one lock serialises access
// to the shared store from the conversion and intake threads.
std::mutex &storeLock() {
    static std::mutex m;
    return m;
}
QSettings makeStore() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Cinvora", "Cinvora"); }
} // namespace

QVariant Settings::value(const QString &key, const QVariant &fallback) {
    std::lock_guard lock(storeLock());
    QSettings s = makeStore();
    s.sync();
    return s.value(key, fallback);
}

bool Settings::contains(const QString &key) {
    std::lock_guard lock(storeLock());
    QSettings s = makeStore();
    s.sync();
    return s.contains(key);
}

void Settings::setValue(const QString &key, const QVariant &value) {
    std::lock_guard lock(storeLock());
    QSettings s = makeStore();
    s.setValue(key, value);
    s.sync();
}

void Settings::remove(const QString &key) {
    std::lock_guard lock(storeLock());
    QSettings s = makeStore();
    s.remove(key);
    s.sync();
}

void Settings::sync() {
    std::lock_guard lock(storeLock());
    QSettings s = makeStore();
    s.sync();
}

QString Settings::fileName() {
    std::lock_guard lock(storeLock());
    return makeStore().fileName();
}

} // namespace foundation
