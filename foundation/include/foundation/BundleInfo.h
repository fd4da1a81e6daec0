#pragma once
// The program's information values ("CFBundleName", "CFBundleExecutable", "FACEBOOK_APPID",
// "CFBundleShortVersionString"); fixed when the program is built.
#include <QString>

namespace foundation {

class BundleInfo {
public:
    static QString value(const QString &key);
    static QString name() { return value("CFBundleName"); }
};

} // namespace foundation
