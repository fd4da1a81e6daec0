#pragma once
// The program's shared helpers: everything of LXMediaCommon, plus the program's own files
// (the bookmark store; the saved list is vcHistory's) and settings.
#include <reelwright/LXMediaCommon.h>

#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>

class vcCommon : public LXMediaCommon {
public:
    // Application Support / <program name>, created when missing.
    static QString zezazEvuvuvoApplicationSupportDir();

    // Bookmark store, beside the saved list (vcHistory). Linux grants access by path, so only the paths
    // are kept ("bookmarkPath" + n); each path is stored once.
    static QString bookmarkFile();
    static void saveBookmark(const QString &path);
    // Many paths with one read and one write of the store: a long intake's paths at its end.
    static void saveBookmarks(const QStringList &paths);
    static void removeFilePathFromBookmark(const QString &path);
    // The same for many paths, with one read and one write of the store.
    static void removeFilePathsFromBookmark(const QStringList &paths);
    static void removeAllFilePathFromBookmark();
    // The stored paths in pair order.
    static QStringList readBookmark();

    // Where the add-files dialog opens: the folder files were last chosen from while it is
    // still a folder, else the Videos folder.
    static QString addFilesFolder();
    static void setLastAddFilesFolder(const QString &folder);

    // The number of conversions at once. Setting it tells the open documents (notification
    // maxConvertingCountChangedKey(), user-info "count"), which hand it to their queue.
    static void setMaxConvertingCountSameTime(int64_t count);
    static QString maxConvertingCountChangedKey() { return QStringLiteral("maxConvertingCountChanged"); }
};
