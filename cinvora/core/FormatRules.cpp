#include "FormatRules.h"

#include <framewheel/SWConvertSession.h>
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

    item.setACodecs(audio.value("Codec").toStringList());
    item.setChannels(numbers(audio.value("channel")));
    item.setACodecIndex(0);
    item.setVCodecIndex(0);
    item.setChannelIndex(0);

    const QList<double> rates = numbers(audio.value("samplerate"));
    item.setSampleRates(rates);
    const double r = std::round(probe ? double(probe->samples()) : 0.0);
    int64_t si = indexOfValue(rates, r);
    if (si < 0)
        si = indexOfValue(rates, 44100);
    item.setSampleRateIndex(si < 0 ? 0 : si);

    if (item.bSourceIsVideo()) {
        item.setVCodecs(video.value("Codec").toStringList());
        const QStringList sizes = video.value("Resolution").toStringList();
        item.setResolutions(sizes);
        item.setResolutionIndex(sizes.size());
        const QList<double> fps = numbers(video.value("framerate"));
        item.setFrameRates(fps);
        const double f = std::round(probe ? probe->framerate() : 0.0);
        int64_t fi = indexOfValue(fps, f);
        if (fi < 0)
            fi = indexOfValue(fps, 25);
        item.setFrameRateIndex(fi < 0 ? 0 : fi);
    }
    if (!item.bLoaded()) {
        if (item.bSourceIsVideo())
            item.setSubTitleIndex(0);
        item.setAudioStreamIndex(0);
    }
    item.setBLoaded(true);
}

void applyFormatRecord(LXMediaInfo &item, const QVariantMap &record) {
    const QString format = record.value("format").toString();
    const QString ext = record.value("Ext").toString();
    item.setOutputFormat(format.isEmpty() ? QStringLiteral("mov") : format);
    item.setOutputExt(ext.isEmpty() ? QStringLiteral(".mov") : ext);
    item.setBOutputIsVideo(!record.value("IsAudio", false).toBool());
}

namespace {
const char *const kIndexKeys[] = {"aCodecIndex", "vCodecIndex", "channelIndex", "sampleRateIndex", "frameRateIndex",
                                  "resolutionIndex"};
} // namespace

QVariantMap parametersOf(const LXMediaInfo &item) {
    return {{"aCodecIndex", qlonglong(item.aCodecIndex())},         {"vCodecIndex", qlonglong(item.vCodecIndex())},
            {"channelIndex", qlonglong(item.channelIndex())},       {"sampleRateIndex", qlonglong(item.sampleRateIndex())},
            {"frameRateIndex", qlonglong(item.frameRateIndex())},   {"resolutionIndex", qlonglong(item.resolutionIndex())}};
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

double qscaleForQuality(int64_t quality) {
    if (quality == 2)
        return 15.0;
    if (quality == 1)
        return 7.0;
    return 1.0;
}

void fillSessionOption(const LXMediaInfo &item, SWConvertOption &option, bool autoStreamCopy) {
    const auto probe = item.mediaInfoManager();
    const double start = item.trackStart();
    const double end = item.trackEnd();
    option.setStart_time(static_cast<int64_t>(start * 1'000'000));
    option.setRecording_time(static_cast<int64_t>((end - start) * 1'000'000));
    option.setAudio_disable(item.audioStreamIndex() == -1);
    option.setSubtitle_disable(item.subTitleIndex() == -1);
    option.setAudio_volume(item.audioVolumn());

    // Audio choices apply to every source that has audio lists: a codec, rate or channel
    // count picked in the editor must reach the file, whether or not the source has video.
    const QStringList aCodecs = item.aCodecs();
    if (!aCodecs.isEmpty()) {
        const int64_t i = item.aCodecIndex();
        option.setAudioCodeName(i >= 0 && i < aCodecs.size() ? aCodecs.at(i) : aCodecs.first());
    }
    const QList<double> rates = item.sampleRates();
    if (const int64_t i = item.sampleRateIndex(); i >= 0 && i < rates.size())
        option.setSample_rate(static_cast<int>(rates.at(i)));
    const QList<double> channels = item.channels();
    if (const int64_t i = item.channelIndex(); i >= 0 && i < channels.size())
        option.setChannels(static_cast<int>(channels.at(i)));

    const QList<int> audioNumbers = probe ? probe->audioStreamIndexs() : QList<int>();
    const QList<int> subtitleNumbers = probe ? probe->subtitleStreamIndexs() : QList<int>();
    const int64_t ai = item.audioStreamIndex();
    option.setAudioStreamIndex(ai >= 0 && ai < audioNumbers.size() ? audioNumbers.at(ai) : -1);

    if (item.bSourceIsVideo()) {
        if (item.bOutputIsVideo()) {
            option.setAuto_streamcopy(autoStreamCopy);
            option.setWidth(item.width());
            option.setHeight(item.height());
            option.setInputWidth(probe ? probe->width() : 0);
            option.setInputHeight(probe ? probe->height() : 0);
            option.setSubtitleCount(probe ? static_cast<int>(subtitleNumbers.size()) : 0);
            const QList<double> fps = item.frameRates();
            if (const int64_t i = item.frameRateIndex(); i >= 0 && i < fps.size())
                option.setFrame_rate(static_cast<int32_t>(fps.at(i)), 1);
            const int64_t si = item.subTitleIndex();
            option.setSubtitleStreamIndex(si >= 0 && si < subtitleNumbers.size() ? subtitleNumbers.at(si) : -1);
            const QStringList vCodecs = item.vCodecs();
            if (!vCodecs.isEmpty()) {
                const int64_t i = item.vCodecIndex();
                option.setVideoCodeName(i >= 0 && i < vCodecs.size() ? vCodecs.at(i) : vCodecs.first());
            }
            option.setQscale(qscaleForQuality(item.outputQuality()));
        } else {
            option.setVideo_disable(true);
        }
    } else {
        option.setAuto_streamcopy(autoStreamCopy);
    }
    const QString format = item.outputFormat();
    if (!format.isEmpty())
        option.setFormat(format);
    processingSpecialFormat(item, option);
}

void processingSpecialFormat(const LXMediaInfo &item, SWConvertOption &option) {
    const QString ext = item.outputExt();
    const QString format = item.outputFormat();
    // The user kept the source size in at least one dimension.
    const bool sameSize = option.width() == item.orgWidth() || option.height() == item.orgHeight();
    auto sizeAndRate = [&](uint64_t w, uint64_t h, uint64_t ntscHeight) {
        if (sameSize) {
            option.setWidth(w);
            option.setHeight(h);
        }
        if (option.height() == ntscHeight)
            option.setFrame_rate(30000, 1001);
        else
            option.setFrame_rate(25, 1);
    };
    if (ext == u".flv") {
        option.setSample_rate(44100);
        option.setSubtitle_disable(true);
    } else if (ext == u".dv") {
        sizeAndRate(720, 576, 480);
        option.setSample_rate(48000);
    } else if (ext == u".m4v") {
        if (option.videoCodeName().isEmpty())
            option.setVideoCodeName("h264");
        if (option.audioCodeName().isEmpty())
            option.setAudioCodeName("libfaac");
    } else if (format == u"vob" || format == u"svcd") {
        sizeAndRate(720, 480, 480);
        option.setSample_rate(48000);
    } else if (format == u"vcd") {
        sizeAndRate(352, 240, 240);
        option.setSample_rate(44100);
    } else if (ext == u".mmf") {
        option.setSample_rate(44100);
    }
}

} // namespace FormatRules
