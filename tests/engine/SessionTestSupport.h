#pragma once
// Helpers for the conversion tests: run a session, judge its output with the ffprobe
// and ffmpeg programs, and make the one fixture the ffmpeg program cannot make (a
// movie with picture subtitles).
#include <framewheel/SWConvertSession.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace sessiontest {

// Collects the progress reports of one session.
class Recorder final : public SWConvertSessionDelegate {
public:
    void sessionProgressPastLeft(SWConvertSession *session, double percent, int64_t pastUs, int64_t leftUs) override;
    std::vector<double> percents() const;
    // The conversion time of each report (pauses left out), as the session gave it.
    std::vector<int64_t> pastUs() const;
    int count() const { return _count.load(); }
    double last() const;

private:
    mutable std::mutex _m;
    std::vector<double> _percents;
    std::vector<int64_t> _pastUs;
    std::atomic<int> _count{0};
};

struct Outcome {
    bool ok = false;
    QString error;
    std::vector<double> percents;
    std::vector<int64_t> pastUs; // beside each percent
};

// Converts `in` into `out` with the options `configure` sets (auto stream copy off
// unless it turns it on). `subtitleFile`: an external subtitle to burn.
Outcome convert(const QString &in, const QString &out, const std::function<void(SWConvertOption &)> &configure = {},
                const QString &subtitleFile = {});

struct StreamInfo {
    bool present = false;
    QString codec;
    int width = 0, height = 0;
    QString sar;    // "1:1"
    double fps = 0; // r_frame_rate
    int sampleRate = 0, channels = 0;
    double duration = 0; // of the stream, seconds (the container's when the stream has none)
    int packets = 0;
    int rotation = 0;
};

struct MediaInfo {
    bool valid = false;
    QString format;
    double duration = 0;
    StreamInfo video, audio;
    int audioStreams = 0, videoStreams = 0;
};

// ffprobe's view of a file (packets counted).
MediaInfo probe(const QString &path);

// Packet sizes and checksums of the file's first video ('v') or audio ('a') stream, as
// `ffmpeg -c copy -f framemd5` lists them.
QStringList packetHashes(const QString &path, char type);

// One picture of the file, scaled to 80x60 grey: picture number `index` (0-based, in
// display order).
QByteArray grayPicture(const QString &path, int index);
// The first picture shown at or after `seconds` (seeks rather than decoding from the start).
QByteArray grayPictureAt(const QString &path, double seconds);
// Mean absolute difference of two grey pictures (0..255); rows [fromRow, toRow).
double pictureDifference(const QByteArray &a, const QByteArray &b, int fromRow = 0, int toRow = 60);

// ffmpeg's volumedetect mean volume in dB; NaN when it cannot tell.
double meanVolume(const QString &path);

// A copy of the first seconds of `videoSource`'s video with a DVD subtitle stream whose
// one picture (an opaque white bar over the lower part of the frame) shows from 0.5 s
// to 3.5 s. False with `error` set when the FFmpeg libraries refuse.
bool makeBitmapSubtitleMovie(const QString &videoSource, const QString &out, QString *error);

// CPU time used by this process so far, microseconds.
int64_t processCpuMicros();

// Factor for time limits: sanitizer builds run several times slower.
double slowness();

} // namespace sessiontest
