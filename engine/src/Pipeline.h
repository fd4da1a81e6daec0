#pragma once
// The per-stream halves of a conversion: a copied stream, and a decoded -> filtered ->
// encoded one for video and for audio. The Transcoder owns the files and the read loop;
// each Track turns the packets of one input stream into packets of one output stream.
// Internal to engine/.
//
// Clocks. Raw stream timestamps minus PipelineContext::clockOffsetUs give the "graph
// clock", in which the trim range is expressed and in which frames enter the filter
// graphs (the subtitles filter matches its events against these times). Output time is
// graph clock minus trimStartUs, so every output starts at 0.
#include "AvHelpers.h"
#include "ConvertPlan.h"
#include "QualityMeter.h"
#include "SessionControl.h"

extern "C" {
#include <libavutil/mastering_display_metadata.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <QString>
#include <chrono>
#include <optional>
#include <climits>
#include <deque>
#include <initializer_list>
#include <memory>
#include <functional>
#include <vector>
#include <utility>

namespace fw {

class BitmapSubtitles;
class WorkFileWriter;

struct PipelineContext {
    AVFormatContext *in = nullptr;
    AVFormatContext *out = nullptr;
    SessionControl *control = nullptr;
    int64_t clockOffsetUs = 0;
    int threads = 0; // per codec; 0 = as many as the machine has
    int64_t trimStartUs = 0;
    int64_t trimEndUs = INT64_MAX;
    // The copied video ends at the key picture that shows at trimEndUs: everything before
    // it in decode order shows before the end, everything from it on after.
    bool copyEndsAtKey = false;
    int64_t copyEndSlackUs = 0;
    QString error;
    // After each packet written: the progress goes on while the encoders drain at the end.
    std::function<void()> written;
    // When the first picture or sound of the kept range reached an encoder: what came
    // before is setting up (opening, seeking), which a sample's timing leaves out.
    std::optional<std::chrono::steady_clock::time_point> firstEncodeAt;
    // A piece converted for an estimate: a copied stream also counts the bytes of the
    // packets in the range that it cannot write before its first key picture.
    bool sample = false;
    // Set for a part of a resumable conversion: packets go there, in the encoder's time
    // base, instead of to a muxer.
    WorkFileWriter *workFile = nullptr;

    bool trimsStart() const { return trimStartUs > 0; }
    bool trimsEnd() const { return trimEndUs != INT64_MAX; }
    // Records the first failure ("what: FFmpeg's reason") and hands the code back.
    int fail(int code, const QString &what);
    // Records a failure that our own words describe fully.
    int refuse(const QString &what);
};

// Builds a filter graph link by link. Options are set by name through AVOptions, so
// values such as file paths need no filtergraph escaping.
class GraphBuilder {
public:
    using Options = std::initializer_list<std::pair<const char *, QString>>;
    explicit GraphBuilder(AVFilterGraph *graph) : _graph(graph) {}
    AVFilterContext *create(const char *filter, Options options, const char *label = nullptr);
    // Creates the filter and links the current tail's output 0 to it.
    bool append(const char *filter, Options options);
    bool link(AVFilterContext *from, int fromPad, AVFilterContext *to, int toPad);
    void setTail(AVFilterContext *f) { _tail = f; }
    AVFilterContext *tail() const { return _tail; }
    const QString &error() const { return _error; }

private:
    AVFilterGraph *_graph;
    AVFilterContext *_tail = nullptr;
    QString _error;
    int _count = 0;
};

// Which parts of the output's time line a stream really delivered, in bins of 100 ms.
// A file's timestamps can lie (a damaged packet may claim any time), so what counts is
// the time covered, not the furthest timestamp seen.
class Coverage {
public:
    static constexpr int64_t kBinUs = 100000;
    // [startUs, startUs + durationUs) of output time; a zero duration marks one point.
    void add(int64_t startUs, int64_t durationUs);
    // The covered time, holes up to fillUs counted as covered (stills, jitter).
    int64_t coveredUs(int64_t fillUs = 0) const;
    // Time covered here and not in `other`, from other's first covered bin up to (not
    // including) `untilUs`.
    int64_t notIn(const Coverage &other, int64_t untilUs = INT64_MAX) const;
    // End of the last covered bin; 0 when nothing is covered.
    int64_t endUs() const { return int64_t(_bins.size()) * kBinUs; }

private:
    std::vector<uint8_t> _bins;
};

// CPU seconds the process has used, all its threads (those that ended too).
double processCpuSeconds();

class Track {
public:
    Track(PipelineContext &ctx, AVStream *in) : inStream(in), _ctx(ctx) {}
    virtual ~Track() = default;
    Track(const Track &) = delete;
    Track &operator=(const Track &) = delete;

    AVMediaType type() const { return inStream->codecpar->codec_type; }
    // One demuxed packet of inStream. Negative AVERROR only for failures that end the
    // conversion; damaged packets are skipped.
    virtual int handlePacket(AVPacket *pkt) = 0;
    // Drains everything still buffered; `inputEnded` is true when the demuxer reached
    // the end (decoders are flushed) rather than the trim end.
    virtual int finish(bool inputEnded) = 0;
    virtual bool copies() const = 0;

    AVStream *const inStream;
    AVStream *outStream = nullptr;
    bool inputDone = false; // takes nothing more from the demuxer
    int64_t positionUs = 0; // output time written so far
    int64_t packetsWritten = 0;
    int64_t bytesWritten = 0;     // of the packets' data, without the container's share
    int64_t firstPacketBytes = 0; // for video a key picture, which a sample over-represents
    // Packets the demuxer gave this stream, and what of them proved sound: decoded
    // pictures or sound, or for a copy packets that hold data.
    Coverage sent, sound;
    // A demuxed packet of inStream, before the track sees it.
    void noteSent(const AVPacket *pkt);
    // A reason when the stream proved unusable (nothing of it decodes); empty otherwise.
    virtual QString unusable() const { return {}; }

protected:
    // Adds [ts, ts + duration) in inStream's time base (raw stream time) to `c`.
    void noteSpan(Coverage &c, int64_t ts, int64_t duration) const;
    // A packet's length in inStream's time base when it names none.
    int64_t nominalDuration(const AVPacket *pkt) const;
    int writePacket(AVPacket *pkt, AVRational tb);
    int64_t clockOffsetIn(AVRational tb) const { return av_rescale_q(_ctx.clockOffsetUs, AV_TIME_BASE_Q, tb); }
    PipelineContext &_ctx;
};

class CopyTrack final : public Track {
public:
    using Track::Track;
    int setup();
    int handlePacket(AVPacket *pkt) override;
    int finish(bool inputEnded) override;
    bool copies() const override { return true; }
    QString unusable() const override { return _unusable; }

private:
    // A copy decodes nothing, so the first packets are tried on a decoder: a stream whose
    // data no decoder can read is not copied into a file that plays nothing.
    void tryDecoding(const AVPacket *pkt);
    void stopTrying() { _trial.reset(); }

    bool _sawKey = false;
    CodecContextPtr _trial;
    int _trialPackets = 0;
    bool _decodes = false;
    QString _unusable;
};

class EncodeTrack : public Track {
public:
    using Track::Track;
    int handlePacket(AVPacket *pkt) override;
    int finish(bool inputEnded) override;
    bool copies() const override { return false; }
    int64_t framesDecoded() const { return _framesDecoded; }
    // When the encoder's packets came out, in the process's CPU seconds (processCpuSeconds),
    // for a sample's timing (only while PipelineContext::sample). Until the encoder's
    // look-ahead and threads fill, nothing comes out, and its first packets after that cost
    // more than the rest; once frames stop coming in, it drains: the later packets given
    // while it was still fed measure its steady cost.
    struct OutputClock {
        std::optional<double> firstIn; // the first frame given
        std::vector<double> fed;       // packets out while fed
        int64_t packets = 0;           // all of them
    };
    const OutputClock &outputClock() const { return _clock; }

protected:
    int openDecoder();
    int openEncoder(const AVCodec *codec, AVDictionary **opts);
    int createOutputStream();
    int decodeLoop(); // receives every frame the decoder has ready
    void noteFrame(const AVFrame *frame);
    // Trim, (re)build the graph when needed, push the frame and drain the graph.
    virtual int filterFrame(AVFrame *frame) = 0;
    virtual int drainGraph(bool flushing) = 0;
    int encode(AVFrame *frame); // null flushes the encoder
    int closeGraph();           // pushes end of stream into the graph and drains it
    virtual void closeExtraInputs() {}

    CodecContextPtr _dec, _enc;
    FilterGraphPtr _graph;
    AVFilterContext *_src = nullptr, *_sink = nullptr;
    FramePtr _frame = makeFrame(), _filtered = makeFrame();
    PacketPtr _pkt = makePacket();
    int64_t _framesDecoded = 0;
    int _decodeErrors = 0;
    bool _encoderFlushed = false;
    OutputClock _clock;
    // Set by tracks whose output is measured against what they feed the encoder.
    std::unique_ptr<QualityMeter> _meter;
};

struct VideoSetup {
    const AVCodec *encoder = nullptr;
    Quality quality = Quality::High;
    int requestWidth = 0, requestHeight = 0;
    AVRational requestRate{0, 0};
    int rotation = 0; // clockwise degrees the source asks to be displayed at
    // Text subtitles burned with libass: a file and the subtitle stream inside it.
    QString textSubtitlePath;
    int textSubtitleIndex = -1; // among the file's subtitle streams; -1 the file's only/best
    BitmapSubtitles *bitmapSubtitles = nullptr;
    // An HDR source's mastering display and light levels, passed on where HDR is kept.
    std::optional<AVMasteringDisplayMetadata> mastering;
    std::optional<AVContentLightMetadata> lightLevel;
    VideoRate rate; // instead of `quality` when its bit rate is set
    // The encoder's constant-rate factor, in place of the quality level (a quality target).
    std::optional<int> crf;
};

class VideoTrack final : public EncodeTrack {
public:
    using EncodeTrack::EncodeTrack;
    int setup(const VideoSetup &setup);
    int finish(bool inputEnded) override;
    const VideoTarget &target() const { return _target; }
    const AVCodec *encoder() const { return _setup.encoder; }
    // SSIM and PSNR of what the encoder made against what it was given; after finish().
    std::optional<MeasuredQuality> measuredQuality() const { return _meter ? _meter->result() : std::nullopt; }

private:
    int filterFrame(AVFrame *frame) override;
    int drainGraph(bool flushing) override;
    int buildGraph(const AVFrame *frame);
    int passHdrMetadata();
    void closeExtraInputs() override;

    VideoSetup _setup;
    VideoTarget _target;
    AVFilterContext *_subSrc = nullptr;
    int _graphW = 0, _graphH = 0, _graphFmt = -1;
    // An HDR source (PQ or HLG) bound for an 8-bit picture: tone mapped to BT.709.
    bool _toneMap = false;
    AVRational _graphSar{0, 1};
    int64_t _lastPts = AV_NOPTS_VALUE, _lastOutPts = AV_NOPTS_VALUE;
    int64_t _frameDuration = 1; // in inStream->time_base
};

// Even loudness: what the measuring pass found and what the sound is to become.
struct LoudnessPlan {
    double targetLufs = 0;     // 0: the level is left alone
    double measuredLufs = 0;   // integrated loudness of the kept range
    double measuredPeakDb = 0; // its true peak, dBTP
    double gainDb() const { return targetLufs - measuredLufs; }
};

struct AudioSetup {
    const AVCodec *encoder = nullptr;
    Quality quality = Quality::High;
    int requestRate = 0, requestChannels = 0;
    int volume = 256;
};

class AudioTrack final : public EncodeTrack {
public:
    using EncodeTrack::EncodeTrack;
    ~AudioTrack() override;
    int setup(const AudioSetup &setup);
    int sampleRate() const { return _target.sampleRate; }
    int channels() const { return _target.layout.nb_channels; }
    // The first of even loudness's two passes: reads the kept range of this track's stream
    // through a second reader of `path`, shaped as the encoder will get it (trim, volume,
    // rate, channels), and measures it by EBU R128. The gain is then applied by the
    // conversion itself. `progress` gets 0..1 of the range read. Pausable and cancellable.
    int measureLoudness(const QString &path, double targetLufs, const std::function<void(double)> &progress);
    const LoudnessPlan &loudness() const { return _loudness; }

private:
    int filterFrame(AVFrame *frame) override;
    int drainGraph(bool flushing) override;
    int buildGraph(const AVFrame *frame);
    // The chain between the source and the sink: trim, volume, loudness gain, format.
    // `measuring`: no loudness gain, ebur128 at the end instead. Makes `graph` anew.
    int buildChain(FilterGraphPtr &graph, const AVFrame *frame, bool measuring, AVFilterContext **src,
                   AVFilterContext **sink);

    AudioSetup _setup;
    AudioTarget _target;
    LoudnessPlan _loudness;
    AVSampleFormat _encFmt = AV_SAMPLE_FMT_NONE;
    int _graphRate = 0, _graphFmt = -1;
    AVChannelLayout _graphLayout{};
    int64_t _nextPts = AV_NOPTS_VALUE;    // in the input's 1/rate, to fill missing timestamps
    int64_t _nextOutPts = AV_NOPTS_VALUE; // in the encoder's 1/rate
};

// A subtitle track kept as a track: copied, or turned into the text codec the container
// takes (SubRip into MP4's timed text). Cues outside the kept range are dropped, those
// across its ends cut to it, all moved onto the output's clock like the other streams.
// Subtitles are sparse: a track may go quiet for minutes, so it neither holds the read loop
// open at a trimmed end nor counts towards the judged coverage.
class SubtitleTrack final : public Track {
public:
    using Track::Track;
    // `encoder` null: copied as it is.
    int setup(const AVCodec *encoder);
    int handlePacket(AVPacket *pkt) override;
    int finish(bool) override { return 0; }
    bool copies() const override { return !_enc; }
    // A cue that begins before a trimmed start and shows into the kept range lies before
    // the point the reader seeks to. A second reader brings those (and only those) here
    // before the read loop; the loop's own packets then give the cues from the start on.
    void beginLeadIn() { _leadIn = true; }
    int handleLeadIn(AVPacket *pkt) { return take(pkt, true); }

private:
    int take(AVPacket *pkt, bool fromLeadIn);
    int convert(AVPacket *pkt, int64_t startUs, int64_t durationUs);
    CodecContextPtr _dec, _enc;
    bool _leadIn = false;
};

} // namespace fw
