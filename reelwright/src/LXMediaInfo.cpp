#include "reelwright/LXMediaInfo.h"

#include "reelwright/LXMediaCommon.h"

#include <framewheel/SWMediaInfoManager.h>

#include <algorithm>
#include <cmath>
#include <limits>

LXMediaInfo::LXMediaInfo() = default;

int64_t LXKeptRange::toUs(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    // Past any file's length: a stored list's absurd end stays an end past the file.
    if (seconds >= 9.2e12)
        return std::numeric_limits<int64_t>::max();
    return std::llround(seconds * 1e6);
}

void LXMediaInfo::setKeptRange(LXKeptRange range) {
    range.startUs = std::max<int64_t>(0, range.startUs);
    range.endUs = std::max(range.startUs, range.endUs);
    std::lock_guard l(_lock);
    _f.keptRange = range;
}

std::shared_ptr<LXMediaInfo> LXMediaInfo::initMediaInfoWithPath(const QString &path) {
    return initMediaInfoWithProbe(path, SWMediaInfoManager::initWithFile(path));
}

std::shared_ptr<LXMediaInfo> LXMediaInfo::initMediaInfoWithProbe(const QString &path,
                                                                 std::shared_ptr<SWMediaInfoManager> probe) {
    auto item = std::make_shared<LXMediaInfo>();
    item->setFileName(path);
    const bool video = probe->hasVideo();
    item->setBSourceIsVideo(video);
    // Whole seconds, truncated towards zero.
    const double seconds = static_cast<double>(probe->duration() / 1'000'000);
    item->setTotalDuration(seconds);
    item->setKeptRange(LXKeptRange::fromSeconds(0.0, seconds));
    const uint64_t w = video ? probe->width() : 0, h = video ? probe->height() : 0;
    const LXDefaultFormat &format = LXDefaultFormat::forSource(video);
    item->update([&](LXMediaFields &f) {
        f.width = f.orgWidth = w;
        f.height = f.orgHeight = h;
        f.outputExt = format.ext;
        f.outputFormat = format.format;
        f.outputDesc = format.desc;
        f.baseOutputType = format.baseType;
    });
    item->setOutputQuality(LXQuality::High);
    const QImage thumb = probe->thumbnailImage();
    item->setThumbNailImage(thumb.isNull() ? LXMediaCommon::defaultMovieImage() : thumb);
    item->setMediaInfoManager(probe);
    return item;
}

std::optional<LXQuality> qualityFromStored(int64_t stored) {
    if (stored < int64_t(LXQuality::High) || stored > int64_t(LXQuality::Low))
        return std::nullopt;
    return LXQuality(stored);
}

std::shared_ptr<LXMediaInfo> LXMediaInfo::copyMovie() const {
    auto c = std::make_shared<LXMediaInfo>();
    c->_f = snapshot();
    c->_f.audioVolumn = LXMediaFields().audioVolumn;
    c->_f.srtSubtitleFile.clear();
    return c;
}

const LXDefaultFormat &LXDefaultFormat::forSource(bool sourceIsVideo) {
    static const LXDefaultFormat video{QStringLiteral("Apple Device"), QStringLiteral("Quicktime Movie"),
                                       QStringLiteral("mov"), QStringLiteral(".mov")};
    static const LXDefaultFormat audio{QStringLiteral("Audio"), QStringLiteral("mp3"), QStringLiteral("mp3"),
                                       QStringLiteral(".mp3")};
    return sourceIsVideo ? video : audio;
}
