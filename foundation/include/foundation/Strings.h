#pragma once
// Localised texts by key. Tables are property-list dictionaries stored as Qt resources
// under :/strings/<language>/ (any file name); every library adds its own table there.
// Lookup order: the user's language, then "en", then the caller's default, then the key.
#include <QString>

namespace foundation {

class Strings {
public:
    static QString localized(const QString &key, const QString &fallback = {});
};

// Short form used across the code base.
inline QString tr_(const QString &key, const QString &fallback = {}) { return Strings::localized(key, fallback); }

} // namespace foundation
