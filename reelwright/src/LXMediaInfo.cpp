#include "reelwright/LXMediaInfo.h"

#include "reelwright/LXMediaCommon.h"

#include <framewheel/SWMediaInfoManager.h>

LXMediaInfo::LXMediaInfo() = default;

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
    item->setTrackEnd(seconds);
    item->setTrackStart(0.0);
    if (video) {
        item->setWidth(probe->width());
        item->setOrgWidth(probe->width());
        item->setHeight(probe->height());
        item->setOrgHeight(probe->height());
        item->setOutputExt(".mov");
        item->setOutputFormat("mov");
        item->setOutputDesc("Quicktime Movie");
        item->setBaseOutputType("Apple Device");
    } else {
        item->setWidth(0);
        item->setHeight(0);
        item->setOrgWidth(0);
        item->setOrgHeight(0);
        item->setOutputExt(".mp3");
        item->setOutputFormat("mp3");
        item->setOutputDesc("mp3");
        item->setBaseOutputType("Audio");
    }
    item->setOutputQuality(0);
    const QImage thumb = probe->thumbnailImage();
    item->setThumbNailImage(thumb.isNull() ? LXMediaCommon::defaultMovieImage() : thumb);
    item->setMediaInfoManager(probe);
    return item;
}

std::shared_ptr<LXMediaInfo> LXMediaInfo::copyMovie() const {
    auto c = std::make_shared<LXMediaInfo>();
    std::lock_guard l(_lock);
    c->_totalDuration = _totalDuration;
    c->_trackStart = _trackStart;
    c->_trackEnd = _trackEnd;
    c->_trackStartPos = _trackStartPos;
    c->_orgHeight = _orgHeight;
    c->_orgWidth = _orgWidth;
    c->_width = _width;
    c->_height = _height;
    c->_thumbNailImage = _thumbNailImage;
    c->_fileName = _fileName;
    c->_outputFormat = _outputFormat;
    c->_outputExt = _outputExt;
    c->_outputDesc = _outputDesc;
    c->_baseOutputType = _baseOutputType;
    c->_outputQuality = _outputQuality;
    c->_mediaInfoManager = _mediaInfoManager;
    c->_subTitleIndex = _subTitleIndex;
    c->_audioStreamIndex = _audioStreamIndex;
    c->_aCodecs = _aCodecs;
    c->_aCodecIndex = _aCodecIndex;
    c->_vCodecs = _vCodecs;
    c->_vCodecIndex = _vCodecIndex;
    c->_resolutions = _resolutions;
    c->_resolutionIndex = _resolutionIndex;
    c->_frameRates = _frameRates;
    c->_frameRateIndex = _frameRateIndex;
    c->_sampleRates = _sampleRates;
    c->_sampleRateIndex = _sampleRateIndex;
    c->_channels = _channels;
    c->_channelIndex = _channelIndex;
    c->_bSourceIsVideo = _bSourceIsVideo;
    c->_bOutputIsVideo = _bOutputIsVideo;
    c->_editMovieIndex = _editMovieIndex;
    c->_editMovieCount = _editMovieCount;
    c->_bLoaded = _bLoaded;
    c->_chosenKeyPath = _chosenKeyPath;
    return c;
}
