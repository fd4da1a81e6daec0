#pragma once
// File names that never replace what is there.
#include <QString>

namespace foundation {

class Files {
public:
    // Picks the first free name folder/stem.ext, folder/stem(1).ext, folder/stem(2).ext, ...
    // and creates it empty with an exclusive create, so that of two writers racing for a
    // name only one gets it and no existing file (or link) is ever replaced. `ext` carries
    // its dot (".mov") or is empty. Returns the path, or empty when nothing could be
    // created (the folder is missing or not writable).
    static QString reserveNumberedName(const QString &folder, const QString &stem, const QString &ext);
    // The same for a wanted path: its folder, base name and last suffix.
    static QString reserveNumberedPath(const QString &wantedPath);
};

} // namespace foundation
