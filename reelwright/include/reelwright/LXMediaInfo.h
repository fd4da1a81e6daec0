#pragma once
// The record of one media item: the source file, what its probe found, the kept range,
// its place in the list and every output parameter chosen for it.
//
// Threading: every accessor takes the record's own lock, so the conversion thread may read
// an item while the main thread edits it. Lists are returned by value. A reader that needs
// several fields together takes snapshot(); a writer that changes several, update().
// Ownership: shared (std::shared_ptr); the probe is shared with copies.
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

class SWMediaInfoManager;

// The part of the source an item keeps, in microseconds from the file's start. Where it
// sits on a slider (a fraction of the item's length) is derived from it, never stored.
struct LXKeptRange {
    int64_t startUs = 0;
    int64_t endUs = 0;

    // Seconds to the nearest microsecond; a non-finite or negative time is 0.
    static int64_t toUs(double seconds);
    static double toSeconds(int64_t us) { return double(us) / 1e6; }
    static LXKeptRange fromSeconds(double start, double end) { return {toUs(start), toUs(end)}; }

    double start() const { return toSeconds(startUs); }
    double end() const { return toSeconds(endUs); }
    double length() const { return toSeconds(endUs - startUs); }
    // The start's and end's places on a slider over `totalSeconds` (0 when it is empty).
    double startFraction(double totalSeconds) const { return totalSeconds > 0 ? start() / totalSeconds : 0.0; }
    double endFraction(double totalSeconds) const { return totalSeconds > 0 ? end() / totalSeconds : 0.0; }
    // With a new start or end, the other kept.
    LXKeptRange withStart(double seconds) const { return {toUs(seconds), endUs}; }
    LXKeptRange withEnd(double seconds) const { return {startUs, toUs(seconds)}; }
    bool operator==(const LXKeptRange &) const = default;
};

// A picture size in pixels: one of a format's sizes, or a source's.
struct LXFrameSize {
    uint64_t width = 0;
    uint64_t height = 0;
    bool operator==(const LXFrameSize &) const = default;
};

// How much picture and sound a conversion keeps against the file's size. The values are
// what the saved list and the settings store (0, 1, 2), so their order never changes.
enum class LXQuality : int64_t { High = 0, Middle = 1, Low = 2 };
// The quality a stored number stands for; none for a number that names no quality.
std::optional<LXQuality> qualityFromStored(int64_t stored);

// What an item's video aims at beyond its quality level, one thing or none: a size the file
// must fit in, or the smallest file that still measures a quality (SSIM against the
// source). The conversion cannot honour both, so an item never holds both.
struct LXOutputGoal {
    int64_t fitInBytes = 0; // 0: no size limit
    double targetSsim = 0;  // 0: no quality target
    static LXOutputGoal fitIn(int64_t bytes) { return {bytes > 0 ? bytes : 0, 0}; }
    static LXOutputGoal quality(double ssim) { return {0, ssim > 0 ? ssim : 0}; }
    bool isNone() const { return fitInBytes == 0 && targetSsim == 0; }
    bool operator==(const LXOutputGoal &) const = default;
};

// Every field of an item as one plain value: what a conversion reads at once, so that a
// list and its index always come from the same edit.
struct LXMediaFields {
    double totalDuration = 0.0; // whole seconds, as the rows show it
    LXKeptRange keptRange;
    uint64_t editMovieIndex = 0;
    uint64_t editMovieCount = 0;
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t orgWidth = 0;
    uint64_t orgHeight = 0;
    int64_t subTitleIndex = 0;
    int64_t audioStreamIndex = 0;
    int64_t aCodecIndex = 0;
    int64_t vCodecIndex = 0;
    int64_t resolutionIndex = 0;
    int64_t frameRateIndex = 0;
    int64_t sampleRateIndex = 0;
    int64_t channelIndex = 0;
    bool bSourceIsVideo = true;
    bool bOutputIsVideo = true;
    bool bLoaded = false;
    int32_t audioVolumn = 256;
    LXQuality outputQuality = LXQuality::High;
    LXOutputGoal outputGoal;
    std::shared_ptr<SWMediaInfoManager> mediaInfoManager;
    QString fileName;
    QString outputFormat;
    QString outputExt;
    QString outputDesc;
    QString baseOutputType;
    QImage thumbNailImage;
    QStringList vCodecs;
    QStringList aCodecs;
    QList<LXFrameSize> resolutions;
    QList<double> frameRates;
    QList<double> sampleRates;
    QList<double> channels;
    QString srtSubtitleFile; // an external subtitle to burn in; empty = none
    // Picks the frame size at `index` of `resolutions`; the index just past them (or any other
    // outside them) keeps the source's own size.
    void chooseResolution(int64_t index) {
        resolutionIndex = index;
        const bool inside = index >= 0 && index < resolutions.size();
        width = inside ? resolutions.at(index).width : orgWidth;
        height = inside ? resolutions.at(index).height : orgHeight;
    }

    // Not a field of the saved record: the key path of the format chosen for the item,
    // kept so that a restored item gets the lists of that format (empty = the default).
    QString chosenKeyPath;
};

// The format a new item starts with, by what its source holds.
struct LXDefaultFormat {
    QString baseType; // the grid's category, "Apple Device"
    QString desc;     // the format's name in that category, "Quicktime Movie"
    QString format;   // the container, "mov"
    QString ext;      // with its dot, ".mov"
    QString keyPath() const { return baseType + QLatin1Char('.') + desc; }
    static const LXDefaultFormat &forSource(bool sourceIsVideo);
};

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

    // Every field as of one moment.
    LXMediaFields snapshot() const {
        std::lock_guard l(_lock);
        return _f;
    }
    // Changes several fields as one edit (a list and its index together); `change` runs
    // under the record's lock and must not call back into this item.
    template <class F> void update(F &&change) {
        std::lock_guard l(_lock);
        change(_f);
    }

#define LX_FIELD(Type, getter, setter)                                                                                 \
    Type getter() const {                                                                                              \
        std::lock_guard l(_lock);                                                                                      \
        return _f.getter;                                                                                              \
    }                                                                                                                  \
    void setter(const Type &v) {                                                                                       \
        std::lock_guard l(_lock);                                                                                      \
        _f.getter = v;                                                                                                 \
    }
    LX_FIELD(double, totalDuration, setTotalDuration)
    // The one way to change the kept range: as one edit, ordered (0 <= start <= end).
    void setKeptRange(LXKeptRange range);
    LXKeptRange keptRange() const {
        std::lock_guard l(_lock);
        return _f.keptRange;
    }
    // The kept range in seconds, and its start's place on the item's slider.
    double trackStart() const { return keptRange().start(); }
    double trackEnd() const { return keptRange().end(); }
    double trackStartPos() const {
        std::lock_guard l(_lock);
        return _f.keptRange.startFraction(_f.totalDuration);
    }
    LX_FIELD(uint64_t, editMovieIndex, setEditMovieIndex)
    LX_FIELD(uint64_t, editMovieCount, setEditMovieCount)
    LX_FIELD(uint64_t, width, setWidth)
    LX_FIELD(uint64_t, height, setHeight)
    LX_FIELD(uint64_t, orgWidth, setOrgWidth)
    LX_FIELD(uint64_t, orgHeight, setOrgHeight)
    LX_FIELD(int64_t, subTitleIndex, setSubTitleIndex)
    LX_FIELD(int64_t, audioStreamIndex, setAudioStreamIndex)
    LX_FIELD(int64_t, aCodecIndex, setACodecIndex)
    LX_FIELD(int64_t, vCodecIndex, setVCodecIndex)
    LX_FIELD(int64_t, resolutionIndex, setResolutionIndex)
    LX_FIELD(int64_t, frameRateIndex, setFrameRateIndex)
    LX_FIELD(int64_t, sampleRateIndex, setSampleRateIndex)
    LX_FIELD(int64_t, channelIndex, setChannelIndex)
    LX_FIELD(bool, bSourceIsVideo, setBSourceIsVideo)
    LX_FIELD(bool, bOutputIsVideo, setBOutputIsVideo)
    LX_FIELD(bool, bLoaded, setBLoaded)
    LX_FIELD(int32_t, audioVolumn, setAudioVolumn)
    LX_FIELD(LXQuality, outputQuality, setOutputQuality)
    LX_FIELD(LXOutputGoal, outputGoal, setOutputGoal)
    LX_FIELD(std::shared_ptr<SWMediaInfoManager>, mediaInfoManager, setMediaInfoManager)
    LX_FIELD(QString, fileName, setFileName)
    LX_FIELD(QString, outputFormat, setOutputFormat)
    LX_FIELD(QString, outputExt, setOutputExt)
    LX_FIELD(QString, outputDesc, setOutputDesc)
    LX_FIELD(QString, baseOutputType, setBaseOutputType)
    LX_FIELD(QImage, thumbNailImage, setThumbNailImage)
    LX_FIELD(QStringList, vCodecs, setVCodecs)
    LX_FIELD(QStringList, aCodecs, setACodecs)
    LX_FIELD(QList<LXFrameSize>, resolutions, setResolutions)
    LX_FIELD(QList<double>, frameRates, setFrameRates)
    LX_FIELD(QList<double>, sampleRates, setSampleRates)
    LX_FIELD(QList<double>, channels, setChannels)
    LX_FIELD(QString, srtSubtitleFile, setSrtSubtitleFile)
    LX_FIELD(QString, chosenKeyPath, setChosenKeyPath)
#undef LX_FIELD

private:
    mutable std::mutex _lock;
    LXMediaFields _f;
};

using LXMediaInfoPtr = std::shared_ptr<LXMediaInfo>;
