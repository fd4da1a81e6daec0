#pragma once
// Texts by key. The tables are property-list dictionaries stored as Qt resources under
// :/strings/en/ (any file name); every library adds its own table there. A key names its
// English text (else the caller's default, else the key itself), and that English text is
// what Qt's translators translate, in the context "Strings": the .ts files hold these texts
// beside those of tr(), so there is one way to translate. The build lists the tables'
// texts for lupdate (cmake/StringTableTexts.cmake).
#include <QString>

namespace foundation {

class Strings {
public:
    static QString localized(const QString &key, const QString &fallback = {});
};

// Short form used across the code base.
inline QString tr_(const QString &key, const QString &fallback = {}) { return Strings::localized(key, fallback); }

} // namespace foundation
