#include "vcCommon.h"

#include <foundation/Log.h>

#include <QDir>

QString vcCommon::zezazEvuvuvoApplicationSupportDir() {
    const QString dir = QDir(applicationSupportFolder()).filePath(currentApplicationName());
    if (!QDir(dir).exists() && !QDir().mkpath(dir))
        foundation::Log::line(QStringLiteral("Failed create directory: %1 error: %2").arg(dir, "cannot create folder"));
    return dir;
}
