#include "reelwright/LXSessionFill.h"

#include <framewheel/SWConvertSession.h>
#include <framewheel/SWMediaInfoManager.h>

#include <cmath>

namespace {

template <class List> int64_t inside(const List &list, int64_t i) { return i >= 0 && i < list.size() ? i : -1; }

} // namespace

double qscaleForQuality(LXQuality quality) {
    switch (quality) {
    case LXQuality::Low:
        return 15.0;
    case LXQuality::Middle:
        return 7.0;
    case LXQuality::High:
        break;
    }
    return 1.0;
}

void fillSessionOption(const LXMediaInfo &source, SWConvertOption &option, const LXFillRules &rules) {
    const LXMediaFields item = source.snapshot();
    const auto &probe = item.mediaInfoManager;
    // The item's length is whole seconds (what the rows show), so an end at or past it is
    // the end of the file: the conversion reads to the last frame instead of stopping at
    // the last whole second. Ends inside the file are cut to the microsecond.
    const LXKeptRange kept = item.keptRange;
    const bool toTheEnd = kept.endUs >= LXKeptRange::toUs(item.totalDuration);
    option.setStart_time(kept.startUs > 0 ? kept.startUs : -1);
    option.setRecording_time(toTheEnd ? -1 : kept.endUs - kept.startUs);
    option.setAudio_disable(item.audioStreamIndex == -1);
    option.setSubtitle_disable(item.subTitleIndex == -1);
    option.setAudio_volume(item.audioVolumn);
    option.setUsePluginSubtitle(!item.srtSubtitleFile.isEmpty());

    // The chosen audio track and codec reach the file whether or not the source has video:
    // an audio file with two tracks converts the one the user picked.
    const QList<int> audioNumbers = probe ? probe->audioStreamIndexs() : QList<int>();
    const int64_t ai = inside(audioNumbers, item.audioStreamIndex);
    option.setAudioStreamIndex(ai < 0 ? -1 : audioNumbers.at(ai));
    if (!item.aCodecs.isEmpty()) {
        const int64_t i = inside(item.aCodecs, item.aCodecIndex);
        option.setAudioCodeName(item.aCodecs.at(i < 0 ? 0 : i));
    }
    if (rules.audioShape) {
        if (const int64_t i = inside(item.sampleRates, item.sampleRateIndex); i >= 0)
            option.setSample_rate(static_cast<int>(item.sampleRates.at(i)));
        if (const int64_t i = inside(item.channels, item.channelIndex); i >= 0)
            option.setChannels(static_cast<int>(item.channels.at(i)));
    }

    if (item.bSourceIsVideo) {
        if (item.bOutputIsVideo) {
            option.setAuto_streamcopy(rules.streamCopy);
            option.setWidth(item.width);
            option.setHeight(item.height);
            option.setInputWidth(probe ? probe->width() : 0);
            option.setInputHeight(probe ? probe->height() : 0);
            const QList<int> subtitleNumbers = probe ? probe->subtitleStreamIndexs() : QList<int>();
            option.setSubtitleCount(static_cast<int>(subtitleNumbers.size()));
            if (const int64_t i = inside(item.frameRates, item.frameRateIndex); i >= 0)
                option.setFrame_rate(static_cast<int32_t>(item.frameRates.at(i)), 1);
            const int64_t si = inside(subtitleNumbers, item.subTitleIndex);
            option.setSubtitleStreamIndex(si < 0 ? -1 : subtitleNumbers.at(si));
            if (!item.vCodecs.isEmpty()) {
                const int64_t i = inside(item.vCodecs, item.vCodecIndex);
                option.setVideoCodeName(item.vCodecs.at(i < 0 ? 0 : i));
            }
            option.setQscale(qscaleForQuality(item.outputQuality));
            option.setMaxSizeBytes(item.outputGoal.fitInBytes);
            option.setTargetSsim(item.outputGoal.targetSsim);
        } else {
            option.setVideo_disable(true);
        }
    } else if (rules.streamCopyWithoutVideo) {
        option.setAuto_streamcopy(rules.streamCopy);
    }
    if (!item.outputFormat.isEmpty())
        option.setFormat(item.outputFormat);
    if (rules.containerRules)
        processingSpecialFormat(item, option);
    if (rules.evenLoudness)
        option.setLoudnessTarget(SWConvertOption::kLoudnessDefault);
}

void processingSpecialFormat(const LXMediaFields &item, SWConvertOption &option) {
    const QString &ext = item.outputExt;
    const QString &format = item.outputFormat;
    // The user kept the source size in at least one dimension.
    const bool sameSize = option.width() == item.orgWidth || option.height() == item.orgHeight;
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

void prepareSession(SWConvertSession &session, const LXMediaInfo &item, const LXFillRules &rules, int threadCount) {
    SWConvertOption &option = session.option();
    fillSessionOption(item, option, rules);
    option.setThreadCount(threadCount);
    session.addInputFile(item.fileName());
    // After the option says so: the session reads the file only for a subtitle it burns in.
    if (option.usePluginSubtitle())
        session.loadPluginSubtitle(item.srtSubtitleFile());
}
