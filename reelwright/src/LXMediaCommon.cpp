#include "reelwright/LXMediaCommon.h"

#include "reelwright/LXMediaInfo.h"

#include <algorithm>

#include <foundation/BundleInfo.h>
#include <foundation/Reveal.h>
#include <foundation/Settings.h>
#include <foundation/Strings.h>
#include <framewheel/SWMediaInfoManager.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

using foundation::Settings;

int64_t LXMediaCommon::maxConvertingCountSameTime() {
    bool ok = false;
    const qlonglong n = Settings::value("allowConvertingMaxCount", 2).toLongLong(&ok);
    // A limit below one would admit nothing and leave every job waiting for ever.
    return ok ? std::clamp<int64_t>(n, kMinConvertingCount, kMaxConvertingCount) : 2;
}

void LXMediaCommon::setMaxConvertingCountSameTime(int64_t count) {
    Settings::setValue("allowConvertingMaxCount",
                       static_cast<qlonglong>(std::clamp<int64_t>(count, kMinConvertingCount, kMaxConvertingCount)));
}

bool LXMediaCommon::autoCheckStreamCopyWhenSameCodec() {
    return Settings::value("autoStreamCopyWhenSameCodec", true).toBool();
}

void LXMediaCommon::setAutoCheckStreamCopyWhenSameCodec(bool on) {
    Settings::setValue("autoStreamCopyWhenSameCodec", on);
}

bool LXMediaCommon::evenLoudness() { return Settings::value("evenLoudness", false).toBool(); }

void LXMediaCommon::setEvenLoudness(bool on) { Settings::setValue("evenLoudness", on); }

QString LXMediaCommon::exportMovieFolder() {
    const QString stored = Settings::value("exportMoviePath").toString();
    if (!stored.isEmpty())
        return stored;
    const QString movies = movieFolder();
    const QString folder = QDir(movies.isEmpty() ? QDir::homePath() : movies).filePath(currentApplicationName());
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);
    return folder;
}

void LXMediaCommon::setExportMovieFolder(const QString &path) { Settings::setValue("exportMoviePath", path); }

bool LXMediaCommon::showTipAgainWhenChangeOutputFmt() { return Settings::value("applyToAllTipAgain", true).toBool(); }

void LXMediaCommon::setShowTipAgainWhenChangeOutputFmt(bool on) { Settings::setValue("applyToAllTipAgain", on); }

QString LXMediaCommon::currentApplicationName() { return foundation::BundleInfo::name(); }

QString LXMediaCommon::movieFolder() { return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation); }

QString LXMediaCommon::applicationSupportFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

void LXMediaCommon::selectFileInFinder(const QString &path) {
    if (!path.isEmpty() && QFileInfo::exists(path))
        foundation::Reveal::showInFileManager(path);
}

QString LXMediaCommon::yesStr() { return foundation::Strings::localized("YES_MSG", "Yes"); }
QString LXMediaCommon::noStr() { return foundation::Strings::localized("NO_MSG", "No"); }
QString LXMediaCommon::okStr() { return foundation::Strings::localized("NO_OK", "OK"); }

namespace {
// Only a question: the player asks it for every item it shows, and an answer that wrote the
// item would change what a finished row converts to merely by showing it.
int streamNumber(const LXMediaInfo &item, bool subtitle) {
    const int64_t index = subtitle ? item.subTitleIndex() : item.audioStreamIndex();
    if (index < 0)
        return static_cast<int>(index);
    const auto probe = item.mediaInfoManager();
    const QList<int> numbers =
        probe ? (subtitle ? probe->subtitleStreamIndexs() : probe->audioStreamIndexs()) : QList<int>();
    if (index >= numbers.size())
        return -1;
    return numbers.at(static_cast<qsizetype>(index));
}
} // namespace

int LXMediaCommon::subTitleIndex(const LXMediaInfo &item) { return streamNumber(item, true); }
int LXMediaCommon::audioStreamIndex(const LXMediaInfo &item) { return streamNumber(item, false); }

QRectF LXMediaCommon::flowRectForScreenWidth(double screenWidth) {
    return QRectF((screenWidth - 603.0) / 2.0, 59.0, 603.0, 59.0);
}

QRectF LXMediaCommon::flowRect() {
    const QScreen *screen =
        qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
    return flowRectForScreenWidth(screen ? screen->geometry().width() : 0.0);
}

QImage LXMediaCommon::defaultMovieImage() {
    // Decoded once and shared: every item without a picture of its own holds this one, and
    // a decode per item cost a list of 10,000 files its own copy each (about 140 KB apiece).
    static const QImage image(QStringLiteral(":/pictures/defaultMovieImage.png"));
    return image;
}
