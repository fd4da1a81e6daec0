#pragma once
// Decisions a conversion makes before it touches a packet: which muxer a container name
// means, which encoder a codec name means, what an encoder and its container can take
// (sizes, rates, pixel and sample formats, channel layouts) and how a quality level turns
// into each encoder's own settings. No I/O here, so every rule can be tested on its own.
// Internal to engine/.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}
#include <QString>
#include <optional>

namespace fw {

// Quality steps behind the session's quantiser (1.0 high, 7.0 middle, 15.0 low).
enum class Quality { High, Middle, Low };
Quality qualityFromQscale(double qscale);

// "mkv" -> "matroska", "wmv" -> "asf", "m4v" -> "mp4", "ts" -> "mpegts", ...
QString canonicalContainerName(const QString &name);
// The muxer for a container name, or, when the name is empty, for the output file's
// extension. Null when libavformat has no such muxer (error says which).
const AVOutputFormat *resolveContainer(const QString &name, const QString &outputPath, QString *error);

// Whether the container can carry the codec (answers from the muxer where it knows,
// from a table for muxers that do not say).
bool containerAccepts(const AVOutputFormat *fmt, AVCodecID id);

// The encoder a catalogue codec name stands for in this build ("h264" -> libx264,
// "libfaac" -> aac, ...); null for an empty or unknown name or an encoder this build lacks.
const AVCodec *encoderForName(const QString &name, AVMediaType type);
// The software encoder we use for a codec id (libx264 for H.264, ...); null if none.
const AVCodec *encoderForCodec(AVCodecID id);
// The encoder for one output stream: the named one when it exists and the container
// takes it, else the container's default, else the first of a preference list that the
// container takes. Null when the container holds no stream of this type.
const AVCodec *chooseEncoder(const AVOutputFormat *fmt, AVMediaType type, const QString &requestedName);

// Whether a muxer can hold a stream of this type at all (mp3 holds no video, dv no
// audio-only file, ...).
bool containerHoldsType(const AVOutputFormat *fmt, AVMediaType type);

struct VideoTarget {
    int width = 0, height = 0;
    AVRational sar{1, 1};
    AVRational frameRate{0, 1};
    AVPixelFormat pixFmt = AV_PIX_FMT_NONE;
    bool forceRate = false; // the encoder or container needs a constant rate
};

// Output size, rate and pixel format for a video encoder.
// displayW/H: the source's displayed size (rotation and pixel aspect applied).
// reqW/reqH: the size asked for (0 = source size). reqRate: asked rate (num 0 = source).
VideoTarget videoTarget(const AVCodec *enc, const AVOutputFormat *fmt, int displayW, int displayH, int reqW, int reqH,
                        AVRational srcRate, AVRational reqRate, AVPixelFormat srcFmt);

struct AudioTarget {
    int sampleRate = 0;
    AVChannelLayout layout{};
    // Sample formats the encoder takes, AV_SAMPLE_FMT_NONE-terminated (encoder's list).
    const AVSampleFormat *sampleFmts = nullptr;
};

// Output rate and layout for an audio encoder inside a container.
// reqRate/reqChannels: 0 keeps the source's.
AudioTarget audioTarget(const AVCodec *enc, const AVOutputFormat *fmt, int srcRate, int srcChannels, int reqRate,
                        int reqChannels);

// Encoder settings for a quality level: rate control fields on the context and private
// options in `opts`. Width, height, rate and channels must already be set.
void applyQuality(AVCodecContext *enc, Quality q, AVDictionary **opts);

// A video rate in bits per second instead of the quality setting, for an output that must
// fit a size. Encoders that keep statistics between passes (twoPassEncoder) run twice: the
// first pass writes them (to statsFile, or for libvpx into `stats`), the second reads them.
struct VideoRate {
    int pass = 0; // 0: one pass; 1, 2: first or second of two
    int64_t bitRate = 0;
    QString statsFile;           // x264's and x265's statistics
    QByteArray *stats = nullptr; // libvpx's, kept in memory between the passes
};
bool twoPassEncoder(const AVCodec *enc);
// Replaces applyQuality's rate control with `rate` (when its bitRate is set). libvpx's
// statistics are lent through stats_in: set it to null once the encoder is open.
void applyVideoRate(AVCodecContext *enc, const VideoRate &rate, AVDictionary **opts);
// The constant-rate factors a quality target searches for an encoder, best to smallest;
// nullopt for an encoder without one (a quality target refuses those).
struct CrfRange {
    int best = 0, worst = 0;
};
std::optional<CrfRange> crfRange(const AVCodec *encoder);
// applyQuality with the encoder's CRF set to `crf` instead of the level's.
void applyCrf(AVCodecContext *enc, int crf, AVDictionary **opts);

// Settings every encoder gets that are not about quality: threads, speed presets for
// the encoders whose library default is impractically slow, log silence.
void applyEncoderDefaults(AVCodecContext *enc, AVDictionary **opts, int threads = 0);

} // namespace fw
