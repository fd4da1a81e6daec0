#include "vcCommon.h"

#include <foundation/Log.h>
#include <foundation/NotificationCenter.h>
#include <foundation/PropertyList.h>
#include <foundation/Settings.h>
#include <reelwright/LXMediaInfo.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QRegularExpression>
#include <mutex>

using foundation::Log;
using foundation::PropertyList;

QString vcCommon::zezazEvuvuvoApplicationSupportDir() {
    const QString dir = QDir(applicationSupportFolder()).filePath(currentApplicationName());
    if (!QDir(dir).exists() && !QDir().mkpath(dir))
        Log::line(QStringLiteral("Failed create directory: %1 error: %2").arg(dir, "cannot create folder"));
    return dir;
}

// ---- Bookmarks ----

namespace {
// The store is read, changed and written by whichever thread adds a file.
std::mutex &bookmarkLock() {
    static std::mutex m;
    return m;
}

QVariantMap readStore() {
    const auto root = PropertyList::readFile(vcCommon::bookmarkFile());
    return root ? root->toMap() : QVariantMap();
}

// Pair numbers present in the store, in ascending order.
QList<int> pairNumbers(const QVariantMap &store) {
    static const QRegularExpression re(QStringLiteral("^bookmarkPath(0|[1-9][0-9]{0,8})$"));
    QList<int> ns;
    for (auto it = store.cbegin(); it != store.cend(); ++it) {
        const auto m = re.match(it.key());
        if (m.hasMatch())
            ns << m.captured(1).toInt();
    }
    std::sort(ns.begin(), ns.end());
    return ns;
}
} // namespace

QString vcCommon::bookmarkFile() {
    return QDir(zezazEvuvuvoApplicationSupportDir()).filePath("convertBookmarkFile.plist");
}

void vcCommon::saveBookmark(const QString &path) { saveBookmarks({path}); }

void vcCommon::saveBookmarks(const QStringList &paths) {
    std::lock_guard l(bookmarkLock());
    QVariantMap store = readStore();
    QSet<QString> stored;
    for (int n : pairNumbers(store))
        stored.insert(store.value(QStringLiteral("bookmarkPath%1").arg(n)).toString());
    int n = 0;
    QStringList added;
    for (const QString &path : paths) {
        if (path.isEmpty() || stored.contains(path))
            continue;
        stored.insert(path);
        while (store.contains(QStringLiteral("bookmark%1").arg(n)) ||
               store.contains(QStringLiteral("bookmarkPath%1").arg(n)))
            ++n;
        store.insert(QStringLiteral("bookmarkPath%1").arg(n), path);
        added << path;
    }
    if (!added.isEmpty() && !PropertyList::writeFile(bookmarkFile(), store))
        for (const QString &path : added)
            Log::line(QStringLiteral("Failed to save book mark: %1").arg(path));
}

void vcCommon::removeFilePathFromBookmark(const QString &path) {
    if (path.isEmpty())
        return;
    std::lock_guard l(bookmarkLock());
    QVariantMap store = readStore();
    for (int n : pairNumbers(store)) {
        const QString key = QStringLiteral("bookmarkPath%1").arg(n);
        if (store.value(key).toString() != path)
            continue;
        store.remove(key);
        store.remove(QStringLiteral("bookmark%1").arg(n));
        if (!PropertyList::writeFile(bookmarkFile(), store))
            Log::line(QStringLiteral("Failed to remove book mark: %1").arg(path));
        return;
    }
}

void vcCommon::removeFilePathsFromBookmark(const QStringList &paths) {
    QSet<QString> wanted;
    for (const QString &p : paths)
        if (!p.isEmpty())
            wanted.insert(p);
    if (wanted.isEmpty())
        return;
    std::lock_guard l(bookmarkLock());
    QVariantMap store = readStore();
    bool changed = false;
    for (int n : pairNumbers(store)) {
        const QString key = QStringLiteral("bookmarkPath%1").arg(n);
        // Each path takes one pair with it, as a removal of that path alone would.
        if (!wanted.remove(store.value(key).toString()))
            continue;
        store.remove(key);
        store.remove(QStringLiteral("bookmark%1").arg(n));
        changed = true;
    }
    if (changed && !PropertyList::writeFile(bookmarkFile(), store))
        Log::line(QStringLiteral("Failed to remove book mark: %1").arg(paths.join(QStringLiteral(", "))));
}

void vcCommon::removeAllFilePathFromBookmark() {
    std::lock_guard l(bookmarkLock());
    if (!PropertyList::writeFile(bookmarkFile(), QVariantMap()))
        Log::line(QStringLiteral("Failed to write book mark"));
}

QStringList vcCommon::readBookmark() {
    std::lock_guard l(bookmarkLock());
    const QVariantMap store = readStore();
    QStringList paths;
    for (int n : pairNumbers(store))
        paths << store.value(QStringLiteral("bookmarkPath%1").arg(n)).toString();
    return paths;
}

// ---- Settings ----

QString vcCommon::addFilesFolder() {
    const QString last = foundation::Settings::value("lastAddFilesFolder").toString();
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : movieFolder();
}

void vcCommon::setLastAddFilesFolder(const QString &folder) {
    foundation::Settings::setValue("lastAddFilesFolder", folder);
}

void vcCommon::setMaxConvertingCountSameTime(int64_t count) {
    LXMediaCommon::setMaxConvertingCountSameTime(count);
    foundation::NotificationCenter::defaultCenter().post(
        maxConvertingCountChangedKey(),
        {{QStringLiteral("count"), static_cast<qlonglong>(maxConvertingCountSameTime())}});
}
