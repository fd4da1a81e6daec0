#include "FormatRules.h"

#include <framewheel/SWMediaInfoManager.h>
#include <framewheel/SWQualityTarget.h>
#include <reelwright/LXMediaCommon.h>
#include <reelwright/LXMediaInfo.h>

#include <cmath>

namespace FormatRules {
namespace {

int64_t indexOfValue(const QList<double> &list, double value) {
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i] == value)
            return i;
    return -1;
}

// The stored keys, each with its field of the choices.
struct ChoiceKey {
    const char *key;
    std::optional<int64_t> FormatChoices::*field;
};
constexpr ChoiceKey kChoiceKeys[] = {
    {"aCodecIndex", &FormatChoices::aCodecIndex},       {"vCodecIndex", &FormatChoices::vCodecIndex},
    {"channelIndex", &FormatChoices::channelIndex},     {"sampleRateIndex", &FormatChoices::sampleRateIndex},
    {"frameRateIndex", &FormatChoices::frameRateIndex}, {"resolutionIndex", &FormatChoices::resolutionIndex}};
constexpr const char *kQualityKey = "quality";
constexpr const char *kFitInKey = "fitInBytes";
constexpr const char *kTargetSsimKey = "targetSsim";

} // namespace

FormatChoices FormatChoices::fromPropertyList(const QVariantMap &stored) {
    FormatChoices c;
    for (const ChoiceKey &k : kChoiceKeys) {
        bool ok = false;
        const qlonglong i = stored.value(QLatin1String(k.key)).toLongLong(&ok);
        if (ok)
            c.*k.field = i;
    }
    bool ok = false;
    const qlonglong q = stored.value(QLatin1String(kQualityKey)).toLongLong(&ok);
    if (ok)
        c.quality = qualityFromStored(q);
    // Both are stored, the one not chosen as 0; a stored pair that holds both (written by
    // hand) keeps the size limit, which is the promise easier to check.
    bool fitOk = false, ssimOk = false;
    const qlonglong fit = stored.value(QLatin1String(kFitInKey)).toLongLong(&fitOk);
    const double ssim = stored.value(QLatin1String(kTargetSsimKey)).toDouble(&ssimOk);
    if (fitOk && fit > 0)
        c.goal = LXOutputGoal::fitIn(fit);
    else if (ssimOk && ssim >= kMinTargetSsim && ssim <= kMaxTargetSsim)
        c.goal = LXOutputGoal::quality(ssim);
    else if (fitOk || ssimOk)
        c.goal = LXOutputGoal();
    return c;
}

QVariantMap FormatChoices::toPropertyList() const {
    QVariantMap m;
    for (const ChoiceKey &k : kChoiceKeys)
        if (const auto &v = this->*k.field)
            m.insert(QLatin1String(k.key), qlonglong(*v));
    if (quality)
        m.insert(QLatin1String(kQualityKey), qlonglong(*quality));
    if (goal) {
        m.insert(QLatin1String(kFitInKey), qlonglong(goal->fitInBytes));
        m.insert(QLatin1String(kTargetSsimKey), goal->targetSsim);
    }
    return m;
}

FormatKey formatKeyOf(const LXMediaInfo &item) {
    const LXMediaFields f = item.snapshot();
    if (!f.chosenKeyPath.isEmpty())
        return FormatKey::fromKeyPath(f.chosenKeyPath);
    return FormatKey(f.baseOutputType, f.outputDesc);
}

void loadDefaults(LXMediaInfo &item, const FormatRecord *record) {
    const FormatRecord none;
    const FormatRecord &r = record ? *record : none;
    const auto probe = item.mediaInfoManager();
    const double sourceRate = std::round(probe ? double(probe->samples()) : 0.0);
    const double sourceFps = std::round(probe ? probe->framerate() : 0.0);
    // One edit: a conversion filled meanwhile sees the old lists or the new, never a mix.
    item.update([&](LXMediaFields &f) {
        f.aCodecs = r.audioCodecs;
        f.channels = r.channels;
        f.aCodecIndex = 0;
        f.vCodecIndex = 0;
        f.channelIndex = 0;

        f.sampleRates = r.sampleRates;
        int64_t si = indexOfValue(f.sampleRates, sourceRate);
        if (si < 0)
            si = indexOfValue(f.sampleRates, 44100);
        f.sampleRateIndex = si < 0 ? 0 : si;

        if (f.bSourceIsVideo) {
            f.vCodecs = r.videoCodecs;
            f.resolutions = r.frameSizes;
            f.resolutionIndex = f.resolutions.size();
            f.frameRates = r.frameRates;
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

void applyFormatRecord(LXMediaInfo &item, const FormatRecord &record) {
    // A record without a container (a damaged catalogue) falls back to the default format.
    const LXDefaultFormat &fallback = LXDefaultFormat::forSource(true);
    item.update([&](LXMediaFields &f) {
        f.outputFormat = record.container.isEmpty() ? fallback.format : record.container;
        f.outputExt = record.ext.isEmpty() ? fallback.ext : record.ext;
        f.bOutputIsVideo = !record.isAudio;
    });
}

FormatChoices parametersOf(const LXMediaInfo &item) {
    const LXMediaFields f = item.snapshot();
    return {f.aCodecIndex,    f.vCodecIndex,     f.channelIndex,  f.sampleRateIndex,
            f.frameRateIndex, f.resolutionIndex, f.outputQuality, f.outputGoal};
}

bool applyParameters(LXMediaInfo &item, const FormatChoices &choices) {
    bool applied = false;
    item.update([&](LXMediaFields &f) {
        // Index and list size, with where the index goes.
        const auto put = [&](const std::optional<int64_t> &i, qsizetype size, int64_t &to) {
            if (i && *i >= 0 && *i < size) {
                to = *i;
                applied = true;
            }
        };
        put(choices.aCodecIndex, f.aCodecs.size(), f.aCodecIndex);
        put(choices.vCodecIndex, f.vCodecs.size(), f.vCodecIndex);
        put(choices.channelIndex, f.channels.size(), f.channelIndex);
        put(choices.sampleRateIndex, f.sampleRates.size(), f.sampleRateIndex);
        put(choices.frameRateIndex, f.frameRates.size(), f.frameRateIndex);
        if (choices.quality) {
            f.outputQuality = *choices.quality;
            applied = true;
        }
        if (choices.goal) {
            f.outputGoal = *choices.goal;
            applied = true;
        }
        const auto &r = choices.resolutionIndex;
        if (r && f.bSourceIsVideo && *r >= 0 && *r <= f.resolutions.size()) {
            f.chooseResolution(*r);
            applied = true;
        }
    });
    return applied;
}

} // namespace FormatRules
