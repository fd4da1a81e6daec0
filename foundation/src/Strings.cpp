#include "foundation/Strings.h"

#include "foundation/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <mutex>

namespace foundation {
namespace {

struct Tables {
    std::mutex lock;
    bool loaded = false;
    QHash<QString, QString> english;
};

Tables &tables() {
    static Tables t;
    return t;
}

void loadDir(const QString &dirPath, QHash<QString, QString> &into) {
    QDir dir(dirPath);
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &f : files) {
        const auto root = PropertyList::readFile(dir.filePath(f));
        if (!root)
            continue;
        const QVariantMap map = root->toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            if (!into.contains(it.key()))
                into.insert(it.key(), it.value().toString());
    }
}

void ensureLoaded(Tables &t) {
    if (t.loaded)
        return;
    t.loaded = true;
    loadDir(":/strings/en", t.english);
}

} // namespace

QString Strings::localized(const QString &key, const QString &fallback) {
    QString english;
    {
        Tables &t = tables();
        std::lock_guard lock(t.lock);
        ensureLoaded(t);
        if (auto it = t.english.constFind(key); it != t.english.cend())
            english = *it;
        else
            english = fallback.isNull() ? key : fallback;
    }
    // Outside the lock: the translators are the application's, and answer on any thread.
    return QCoreApplication::translate("Strings", english.toUtf8().constData());
}

} // namespace foundation
