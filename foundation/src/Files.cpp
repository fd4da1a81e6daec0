#include "foundation/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace foundation {

QString Files::reserveNumberedName(const QString &folder, const QString &stem, const QString &ext) {
    if (folder.isEmpty())
        return {};
    for (int n = 0; n < 100000; ++n) {
        const QString name = n == 0 ? stem + ext : QStringLiteral("%1(%2)%3").arg(stem).arg(n).arg(ext);
        const QString candidate = QDir(folder).filePath(name);
        QFile f(candidate);
        // NewOnly is an exclusive create (O_EXCL): it also refuses a dangling link.
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return candidate;
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink())
            return {}; // not taken, yet not creatable: the folder is missing or read-only
    }
    return {};
}

QString Files::reserveNumberedPath(const QString &wantedPath) {
    const QFileInfo info(wantedPath);
    const QString suffix = info.suffix();
    const QString name = info.fileName();
    const QString stem = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    return reserveNumberedName(info.absolutePath(), stem, suffix.isEmpty() ? QString() : "." + suffix);
}

} // namespace foundation
