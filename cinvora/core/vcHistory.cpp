#include "vcHistory.h"

#include "FormatRules.h"
#include "vcCommon.h"
#include "vcTableCellView.h"

#include <foundation/Log.h>
#include <foundation/PropertyList.h>
#include <framewheel/SWMediaInfoManager.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <limits>

using foundation::Log;
using foundation::PropertyList;

namespace {
// The keys of a stored entry. Never renamed: lists of every earlier release use them.
const QString kPath = QStringLiteral("currentFilePath");
const QString kExt = QStringLiteral("currentExtKey");
const QString kFormat = QStringLiteral("currentFormatKey");
const QString kDesc = QStringLiteral("currentDescKey");
const QString kBaseType = QStringLiteral("currentBaseTypeDescKey");
const QString kTrackStart = QStringLiteral("currentTrackStartKey");
const QString kTrackEnd = QStringLiteral("currentTrackEndKey");
const QString kSubtitleIndex = QStringLiteral("currentSubTitleIdxKey");
const QString kAudioTrackIndex = QStringLiteral("currentAudioTrackIdxKey");
const QString kSubtitleFile = QStringLiteral("currentPluginSubTitleKey");
const QString kKeyPath = QStringLiteral("currentOutputKeyPathKey");
const QString kParameters = QStringLiteral("currentParametersKey");
const QString kProbe = QStringLiteral("sourceProbeKey");
const QString kConvertedOutput = QStringLiteral("convertedOutputFileKey");
const QString kInterruptedOutput = QStringLiteral("interruptedOutputKey");
const QString kConvertedDigest = QStringLiteral("convertedFingerprintKey");

std::optional<double> finiteSeconds(const QVariantMap &e, const QString &key) {
    if (!e.contains(key))
        return std::nullopt;
    bool ok = false;
    const double d = e.value(key).toDouble(&ok);
    return ok && std::isfinite(d) ? std::optional(d) : std::nullopt;
}

// A stored track choice: a list index, or -1 for none. A number outside that (or too big
// for an int, which a plain conversion would cut down to some other track) is refused.
std::optional<int> trackIndex(const QVariantMap &e, const QString &key, const QString &path) {
    if (!e.contains(key))
        return std::nullopt;
    bool ok = false;
    const qlonglong n = e.value(key).toLongLong(&ok);
    if (!ok || n < -1 || n > std::numeric_limits<int>::max()) {
        Log::line(QStringLiteral("Refused %1 = %2 for %3").arg(key, e.value(key).toString(), path));
        return std::nullopt;
    }
    return static_cast<int>(n);
}

std::optional<QString> textIfStored(const QVariantMap &e, const QString &key) {
    return e.contains(key) ? std::optional(e.value(key).toString()) : std::nullopt;
}
} // namespace

LXKeptRange vcHistoryEntry::keptRangeWithin(double totalSeconds) const {
    double start = trackStart.value_or(0.0);
    double end = trackEnd.value_or(totalSeconds);
    if (start < 0 || end > totalSeconds || start > end) {
        start = 0.0;
        end = totalSeconds;
    }
    return LXKeptRange::fromSeconds(start, end);
}

bool vcHistoryEntry::probeMatches(int64_t size, int64_t modifiedNs) const {
    return size > 0 && probe.value(QStringLiteral("fileSize")).toLongLong() == size &&
           probe.value(QStringLiteral("fileModified")).toLongLong() == modifiedNs;
}

// ---- The file ----

vcHistory::vcHistory() : vcHistory(defaultFile()) {}

vcHistory::vcHistory(QString file) : _file(std::move(file)) {}

QString vcHistory::defaultFile() {
    return QDir(vcCommon::zezazEvuvuvoApplicationSupportDir()).filePath(QStringLiteral("FileList.plist"));
}

namespace {
// A missing list starts as the empty template, so that the file is always there to be
// locked beside and looked at.
void makeFromTemplateWhenMissing(const QString &path) {
    if (QFileInfo::exists(path))
        return;
    const QString tmpl = QStringLiteral(":/FileList.plist");
    QString error;
    const auto content = PropertyList::readFile(tmpl, &error);
    if (!content || !PropertyList::writeFile(path, *content, &error))
        Log::line(QStringLiteral("Failed copy File: %1 error: %2").arg(tmpl, error));
}
} // namespace

QVariantList vcHistory::read() const {
    makeFromTemplateWhenMissing(_file);
    const auto root = PropertyList::readFile(_file);
    if (root && root->typeId() == QMetaType::QVariantList)
        return root->toList();
    // A regular file that is not a list would be overwritten by the next save: keep the
    // last such file beside it, for the user or for us to look at. A link to such a file
    // is moved aside itself (rename moves the link, never what it points to), so the file
    // keeps its content and a new list takes the name. Nothing else is moved.
    if (QFileInfo(_file).isFile()) {
        const QString aside = _file + QStringLiteral(".unreadable");
        if (::rename(QFile::encodeName(_file).constData(), QFile::encodeName(aside).constData()) == 0)
            Log::line(QStringLiteral("Unreadable history kept as %1").arg(aside));
    }
    return {};
}

bool vcHistory::write(const QVariantList &entries) const {
    makeFromTemplateWhenMissing(_file);
    // A save through a link replaces the file it points to. Only a list may be replaced so:
    // a link made (or changed) while the program runs to any other file leaves it alone.
    const QFileInfo info(_file);
    if (info.isSymLink() && info.isFile()) {
        const auto root = PropertyList::readFile(_file);
        if (!root || root->typeId() != QMetaType::QVariantList) {
            Log::line(
                QStringLiteral("Not saving the list through %1: it points to a file that is not a list").arg(_file));
            return false;
        }
    }
    return PropertyList::writeFile(_file, entries);
}

bool vcHistory::contains(const QString &path) const {
    for (const QVariant &e : read())
        if (e.toMap().value(kPath).toString() == path)
            return true;
    return false;
}

// ---- Entries ----

vcHistoryEntry vcHistory::entryOf(const LXMediaInfo &item, const vcTableCellView *job) {
    const LXMediaFields f = item.snapshot();
    vcHistoryEntry e;
    e.path = f.fileName;
    e.ext = f.outputExt;
    e.format = f.outputFormat;
    e.desc = f.outputDesc;
    e.baseType = f.baseOutputType;
    e.trackStart = f.keptRange.start();
    e.trackEnd = f.keptRange.end();
    e.subtitleIndex = static_cast<int>(f.subTitleIndex);
    e.audioTrackIndex = static_cast<int>(f.audioStreamIndex);
    e.subtitleFile = f.srtSubtitleFile;
    e.keyPath = f.chosenKeyPath;
    e.parameters = FormatRules::parametersOf(item);
    // What the probe found, with the file's size and time then: a restart whose files
    // still show both gives the rows back without reading them again.
    if (f.mediaInfoManager && f.mediaInfoManager->isValid())
        e.probe = f.mediaInfoManager->storedFields();
    // What a finished row needs to stay finished after a restart: its output, and the
    // digest of what made it (source with its size and time, trim, tracks, format,
    // parameters, folder).
    if (job) {
        e.convertedDigest = job->doneFingerprintDigest();
        if (!e.convertedDigest.isEmpty())
            e.convertedOutput = job->lastOutcome().outputFile;
        else
            e.interruptedOutput = job->interruptedOutput();
    }
    return e;
}

QVariantMap vcHistory::toStored(const vcHistoryEntry &e) {
    QVariantMap m;
    m.insert(kPath, e.path);
    m.insert(kExt, e.ext);
    m.insert(kFormat, e.format);
    m.insert(kParameters, e.parameters.toPropertyList());
    // A row's entry has every one of these; an entry read from an older list keeps
    // without them what it was stored without.
    if (e.desc)
        m.insert(kDesc, *e.desc);
    if (e.baseType)
        m.insert(kBaseType, *e.baseType);
    if (e.trackStart)
        m.insert(kTrackStart, *e.trackStart);
    if (e.trackEnd)
        m.insert(kTrackEnd, *e.trackEnd);
    if (e.subtitleIndex)
        m.insert(kSubtitleIndex, *e.subtitleIndex);
    if (e.audioTrackIndex)
        m.insert(kAudioTrackIndex, *e.audioTrackIndex);
    // Written only with a value: every release reads an absent key as "none".
    if (!e.subtitleFile.isEmpty())
        m.insert(kSubtitleFile, e.subtitleFile);
    if (!e.keyPath.isEmpty())
        m.insert(kKeyPath, e.keyPath);
    if (!e.probe.isEmpty())
        m.insert(kProbe, e.probe);
    // Lists without these keys load as rows not yet converted.
    if (!e.convertedDigest.isEmpty()) {
        m.insert(kConvertedOutput, e.convertedOutput);
        m.insert(kConvertedDigest, e.convertedDigest);
    }
    if (!e.interruptedOutput.isEmpty())
        m.insert(kInterruptedOutput, e.interruptedOutput);
    return m;
}

std::optional<vcHistoryEntry> vcHistory::fromStored(const QVariant &stored, QString *why) {
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (stored.typeId() != QMetaType::QVariantMap)
        return refuse(QStringLiteral("it is not a dictionary"));
    const QVariantMap m = stored.toMap();
    vcHistoryEntry e;
    e.path = m.value(kPath).toString();
    if (e.path.isEmpty())
        return refuse(QStringLiteral("it names no file"));
    e.ext = m.value(kExt).toString();
    e.format = m.value(kFormat).toString();
    e.desc = textIfStored(m, kDesc);
    e.baseType = textIfStored(m, kBaseType);
    e.trackStart = finiteSeconds(m, kTrackStart);
    e.trackEnd = finiteSeconds(m, kTrackEnd);
    e.subtitleIndex = trackIndex(m, kSubtitleIndex, e.path);
    e.audioTrackIndex = trackIndex(m, kAudioTrackIndex, e.path);
    e.subtitleFile = m.value(kSubtitleFile).toString();
    e.keyPath = m.value(kKeyPath).toString();
    e.parameters = FormatRules::FormatChoices::fromPropertyList(m.value(kParameters).toMap());
    e.probe = m.value(kProbe).toMap();
    e.convertedOutput = m.value(kConvertedOutput).toString();
    e.convertedDigest = m.value(kConvertedDigest).toString();
    e.interruptedOutput = m.value(kInterruptedOutput).toString();
    return e;
}

// The one place where a restored entry meets the format catalogue.
QString vcHistory::restore(const vcHistoryEntry &e, LXMediaInfo &item, const ListLoader &loadLists) {
    const bool video = item.bSourceIsVideo();
    const FormatCatalogue &catalogue = FormatCatalogue::shared();
    if (!e.ext.isEmpty() && !catalogue.hasExtension(e.ext))
        return QStringLiteral("%1 \"%2\" is no format of the catalogue").arg(kExt, e.ext);
    // An audio row's container is made from its extension: only the extension counts there.
    if (video && !e.format.isEmpty() && !catalogue.hasContainer(e.format))
        return QStringLiteral("%1 \"%2\" is no format of the catalogue").arg(kFormat, e.format);
    const LXDefaultFormat &fallback = LXDefaultFormat::forSource(video);
    item.setOutputExt(e.ext.isEmpty() ? fallback.ext : e.ext);
    // An audio row keeps no container of its own: its extension names it.
    const QString format = video ? e.format : e.ext.mid(1);
    item.setOutputFormat(format.isEmpty() ? fallback.format : format);
    if (e.desc)
        item.setOutputDesc(*e.desc);
    if (e.baseType)
        item.setBaseOutputType(*e.baseType);
    item.setKeptRange(e.keptRangeWithin(item.totalDuration()));
    item.setChosenKeyPath(e.keyPath);
    loadLists(item);
    if (const FormatRecord *record = catalogue.find(e.keyPath))
        item.setBOutputIsVideo(!record->isAudio);
    FormatRules::applyParameters(item, e.parameters);
    if (e.subtitleIndex)
        item.setSubTitleIndex(*e.subtitleIndex);
    if (e.audioTrackIndex)
        item.setAudioStreamIndex(*e.audioTrackIndex);
    if (!e.subtitleFile.isEmpty())
        item.setSrtSubtitleFile(e.subtitleFile);
    return {};
}
