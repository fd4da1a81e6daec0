#include "foundation/Strings.h"

#include "foundation/PropertyList.h"

#include <QDir>
#include <QHash>
#include <QLocale>
#include <mutex>

namespace foundation {
namespace {

struct Tables {
    std::mutex lock;
    bool loaded = false;
    QHash<QString, QString> preferred; // the user's language
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
    const QString lang = QLocale().name().section('_', 0, 0);
    if (!lang.isEmpty() && lang != "en")
        loadDir(":/strings/" + lang, t.preferred);
    loadDir(":/strings/en", t.english);
}

} // namespace

QString Strings::localized(const QString &key, const QString &fallback) {
    Tables &t = tables();
    std::lock_guard lock(t.lock);
    ensureLoaded(t);
    if (auto it = t.preferred.constFind(key); it != t.preferred.cend())
        return *it;
    if (auto it = t.english.constFind(key); it != t.english.cend())
        return *it;
    return fallback.isNull() ? key : fallback;
}

} // namespace foundation
