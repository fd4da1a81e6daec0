#pragma once
// The record of one media item: the source file, what its probe found, the kept range,
// its place in the list and every output parameter chosen for it.
//
// Threading: every accessor takes the record's own lock, so the conversion thread may read
// an item while the main thread edits it. Lists are returned by value.
// Ownership: shared (std::shared_ptr); the probe is shared with copies.
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>

class SWMediaInfoManager;

class LXMediaInfo {
public:
    LXMediaInfo();
    // Probes the file and fills the record with the defaults of a new item.
    static std::shared_ptr<LXMediaInfo> initMediaInfoWithPath(const QString &path);
    // The same steps on a probe made by the caller (the command line probes without a picture).
    static std::shared_ptr<LXMediaInfo> initMediaInfoWithProbe(const QString &path,
                                                               std::shared_ptr<SWMediaInfoManager> probe);
    // A copy: shares the probe, strings and picture, has its own lists; volume and
    // external subtitle are not copied (256 and none).
    std::shared_ptr<LXMediaInfo> copyMovie() const;

#define LX_FIELD(Type, getter, setter, member)                                                                      \
    Type getter() const {                                                                                           \
        std::lock_guard l(_lock);                                                                                   \
        return member;                                                                                              \
    }                                                                                                               \
    void setter(const Type &v) {                                                                                    \
        std::lock_guard l(_lock);                                                                                   \
        member = v;                                                                                                 \
    }
    LX_FIELD(double, totalDuration, setTotalDuration, _totalDuration)
    LX_FIELD(double, trackStart, setTrackStart, _trackStart)
    LX_FIELD(double, trackStartPos, setTrackStartPos, _trackStartPos)
    LX_FIELD(double, trackEnd, setTrackEnd, _trackEnd)
    LX_FIELD(uint64_t, editMovieIndex, setEditMovieIndex, _editMovieIndex)
    LX_FIELD(uint64_t, editMovieCount, setEditMovieCount, _editMovieCount)
    LX_FIELD(uint64_t, width, setWidth, _width)
    LX_FIELD(uint64_t, height, setHeight, _height)
    LX_FIELD(uint64_t, orgWidth, setOrgWidth, _orgWidth)
    LX_FIELD(uint64_t, orgHeight, setOrgHeight, _orgHeight)
    LX_FIELD(int64_t, subTitleIndex, setSubTitleIndex, _subTitleIndex)
    LX_FIELD(int64_t, audioStreamIndex, setAudioStreamIndex, _audioStreamIndex)
    LX_FIELD(int64_t, aCodecIndex, setACodecIndex, _aCodecIndex)
    LX_FIELD(int64_t, vCodecIndex, setVCodecIndex, _vCodecIndex)
    LX_FIELD(int64_t, resolutionIndex, setResolutionIndex, _resolutionIndex)
    LX_FIELD(int64_t, frameRateIndex, setFrameRateIndex, _frameRateIndex)
    LX_FIELD(int64_t, sampleRateIndex, setSampleRateIndex, _sampleRateIndex)
    LX_FIELD(int64_t, channelIndex, setChannelIndex, _channelIndex)
    LX_FIELD(bool, bSourceIsVideo, setBSourceIsVideo, _bSourceIsVideo)
    LX_FIELD(bool, bOutputIsVideo, setBOutputIsVideo, _bOutputIsVideo)
    LX_FIELD(bool, bLoaded, setBLoaded, _bLoaded)
    LX_FIELD(int32_t, audioVolumn, setAudioVolumn, _audioVolumn)
    LX_FIELD(int64_t, outputQuality, setOutputQuality, _outputQuality)
    LX_FIELD(std::shared_ptr<SWMediaInfoManager>, mediaInfoManager, setMediaInfoManager, _mediaInfoManager)
    LX_FIELD(QString, fileName, setFileName, _fileName)
    LX_FIELD(QString, outputFormat, setOutputFormat, _outputFormat)
    LX_FIELD(QString, outputExt, setOutputExt, _outputExt)
    LX_FIELD(QString, outputDesc, setOutputDesc, _outputDesc)
    LX_FIELD(QString, baseOutputType, setBaseOutputType, _baseOutputType)
    LX_FIELD(QImage, thumbNailImage, setThumbNailImage, _thumbNailImage)
    LX_FIELD(QStringList, vCodecs, setVCodecs, _vCodecs)
    LX_FIELD(QStringList, aCodecs, setACodecs, _aCodecs)
    LX_FIELD(QStringList, resolutions, setResolutions, _resolutions)
    LX_FIELD(QList<double>, frameRates, setFrameRates, _frameRates)
    LX_FIELD(QList<double>, sampleRates, setSampleRates, _sampleRates)
    LX_FIELD(QList<double>, channels, setChannels, _channels)
    // QString is a value type, so assignment already takes a copy that later changes to
    // the caller's string cannot reach. Empty = none.
    LX_FIELD(QString, srtSubtitleFile, setSrtSubtitleFile, _srtSubtitleFile)
#undef LX_FIELD

    // Not part of the record's fields: the key path of the format chosen for the item,
    // kept so that a restored item gets the lists of that format (empty = the default).
    QString chosenKeyPath() const {
        std::lock_guard l(_lock);
        return _chosenKeyPath;
    }
    void setChosenKeyPath(const QString &v) {
        std::lock_guard l(_lock);
        _chosenKeyPath = v;
    }

private:
    mutable std::mutex _lock;
    double _totalDuration = 0.0;
    double _trackStart = 0.0;
    double _trackStartPos = 0.0;
    double _trackEnd = 0.0;
    uint64_t _editMovieIndex = 0;
    uint64_t _editMovieCount = 0;
    uint64_t _width = 0, _height = 0, _orgWidth = 0, _orgHeight = 0;
    int64_t _subTitleIndex = 0;
    int64_t _audioStreamIndex = 0;
    int64_t _aCodecIndex = 0, _vCodecIndex = 0, _resolutionIndex = 0, _frameRateIndex = 0, _sampleRateIndex = 0;
    int64_t _channelIndex = 0;
    bool _bSourceIsVideo = true;
    bool _bOutputIsVideo = true;
    bool _bLoaded = false;
    int32_t _audioVolumn = 256;
    int64_t _outputQuality = 0;
    std::shared_ptr<SWMediaInfoManager> _mediaInfoManager;
    QString _fileName, _outputFormat, _outputExt, _outputDesc, _baseOutputType;
    QImage _thumbNailImage;
    QStringList _vCodecs, _aCodecs, _resolutions;
    QList<double> _frameRates, _sampleRates, _channels;
    QString _srtSubtitleFile;
    QString _chosenKeyPath;
};

using LXMediaInfoPtr = std::shared_ptr<LXMediaInfo>;
