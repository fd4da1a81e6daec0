#include "FormatRules.h"

#include <framewheel/SWMediaInfoManager.h>
#include <reelwright/LXMediaCommon.h>
#include <reelwright/LXMediaInfo.h>

#include <cmath>

namespace FormatRules {
namespace {

QList<double> numbers(const QVariant &v) {
    QList<double> out;
    for (const QVariant &e : v.toList()) {
        bool ok = false;
        const double d = e.toDouble(&ok);
        if (ok)
            out << d;
    }
    return out;
}

int64_t indexOfValue(const QList<double> &list, double value) {
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i] == value)
            return i;
    return -1;
}

// Decimal number at the start of text after leading blanks; 0 when there is none.
uint64_t leadingNumber(const QString &text) {
    const QString t = text.trimmed();
    qsizetype n = 0;
    while (n < t.size() && t[n].isDigit())
        ++n;
    return n == 0 ? 0 : t.left(n).toULongLong();
}

} // namespace

void loadDefaults(LXMediaInfo &item, const QVariantMap &record) {
    const QVariantMap audio = record.value("Audio").toMap();
    const QVariantMap video = record.value("Video").toMap();
    const auto probe = item.mediaInfoManager();
    const double sourceRate = std::round(probe ? double(probe->samples()) : 0.0);
    const double sourceFps = std::round(probe ? probe->framerate() : 0.0);
    // One edit: a conversion filled meanwhile sees the old lists or the new, never a mix.
    item.update([&](LXMediaFields &f) {
        f.aCodecs = audio.value("Codec").toStringList();
        f.channels = numbers(audio.value("channel"));
        f.aCodecIndex = 0;
        f.vCodecIndex = 0;
        f.channelIndex = 0;

        f.sampleRates = numbers(audio.value("samplerate"));
        int64_t si = indexOfValue(f.sampleRates, sourceRate);
        if (si < 0)
            si = indexOfValue(f.sampleRates, 44100);
        f.sampleRateIndex = si < 0 ? 0 : si;

        if (f.bSourceIsVideo) {
            f.vCodecs = video.value("Codec").toStringList();
            f.resolutions = video.value("Resolution").toStringList();
            f.resolutionIndex = f.resolutions.size();
            f.frameRates = numbers(video.value("framerate"));
            int64_t fi = indexOfValue(f.frameRates, sourceFps);
            if (fi < 0)
                fi = indexOfValue(f.frameRates, 25);
            f.frameRateIndex = fi < 0 ? 0 : fi;
        }
        if (!f.bLoaded) {
            if (f.bSourceIsVideo)
                f.subTitleIndex = 0;
            f.audioStreamIndex = 0;
        }
        f.bLoaded = true;
    });
}

void applyFormatRecord(LXMediaInfo &item, const QVariantMap &record) {
    const QString format = record.value("format").toString();
    const QString ext = record.value("Ext").toString();
    // A record without a container (a damaged catalogue) falls back to the default format.
    const LXDefaultFormat &fallback = LXDefaultFormat::forSource(true);
    item.setOutputFormat(format.isEmpty() ? fallback.format : format);
    item.setOutputExt(ext.isEmpty() ? fallback.ext : ext);
    item.setBOutputIsVideo(!record.value("IsAudio", false).toBool());
}

namespace {
const char *const kIndexKeys[] = {"aCodecIndex",     "vCodecIndex",    "channelIndex",
                                  "sampleRateIndex", "frameRateIndex", "resolutionIndex"};
} // namespace

QVariantMap parametersOf(const LXMediaInfo &item) {
    return {
        {"aCodecIndex", qlonglong(item.aCodecIndex())},       {"vCodecIndex", qlonglong(item.vCodecIndex())},
        {"channelIndex", qlonglong(item.channelIndex())},     {"sampleRateIndex", qlonglong(item.sampleRateIndex())},
        {"frameRateIndex", qlonglong(item.frameRateIndex())}, {"resolutionIndex", qlonglong(item.resolutionIndex())}};
}

bool applyParameters(LXMediaInfo &item, const QVariantMap &parameters) {
    bool applied = false;
    for (const char *key : kIndexKeys) {
        bool ok = false;
        const qlonglong i = parameters.value(QLatin1String(key)).toLongLong(&ok);
        if (!ok || i < 0)
            continue;
        const QLatin1String k(key);
        if (k == QLatin1String("aCodecIndex") && i < item.aCodecs().size())
            item.setACodecIndex(i);
        else if (k == QLatin1String("vCodecIndex") && i < item.vCodecs().size())
            item.setVCodecIndex(i);
        else if (k == QLatin1String("channelIndex") && i < item.channels().size())
            item.setChannelIndex(i);
        else if (k == QLatin1String("sampleRateIndex") && i < item.sampleRates().size())
            item.setSampleRateIndex(i);
        else if (k == QLatin1String("frameRateIndex") && i < item.frameRates().size())
            item.setFrameRateIndex(i);
        else if (k == QLatin1String("resolutionIndex") && item.bSourceIsVideo() && i <= item.resolutions().size()) {
            item.setResolutionIndex(i);
            uint64_t w = item.orgWidth(), h = item.orgHeight();
            if (i < item.resolutions().size())
                parseFrameSize(item.resolutions().at(i), w, h);
            item.setWidth(w);
            item.setHeight(h);
        } else
            continue;
        applied = true;
    }
    return applied;
}

QString defaultsEntry(uint64_t width, uint64_t height) {
    return QStringLiteral("(Defaults) %1*%2").arg(width).arg(height);
}

bool parseFrameSize(const QString &text, uint64_t &width, uint64_t &height) {
    QString t = text;
    static const QString kDefaults = QStringLiteral("(Defaults)");
    if (t.contains(kDefaults)) {
        t = t.mid(kDefaults.size());
        if (t.size() < 3)
            return false;
    }
    const qsizetype star = t.indexOf('*');
    if (star < 0)
        return false;
    width = leadingNumber(t.left(star));
    height = leadingNumber(t.mid(star + 1));
    return true;
}

QString lastKeyFromKeyPath(const QString &keyPath) {
    const qsizetype p = keyPath.indexOf(QStringLiteral("--"));
    if (p < 1)
        return keyPath;
    return keyPath.left(p - 1) + keyPath.mid(p + 2);
}

} // namespace FormatRules
