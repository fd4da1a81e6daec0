#pragma once
// One conversion from start to end, on the calling thread: open the input, choose the
// streams, decide per stream between copying and re-encoding, open the output, run the
// read loop, flush decoders, filters and encoders, write the trailer. Internal to
// engine/; SWConvertSession wraps it with the file-safety rules and the delegate.
#include "Pipeline.h"
#include "WorkFile.h"

#include "framewheel/SWConvertSession.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <sys/types.h>

namespace fw {

// What one run of a Transcoder makes: the whole output file, or a part of a resumable
// conversion written into a work file (see WorkFile.h, Resumable.h).
enum class WorkPass { Whole, VideoPart, Sound };

struct ConvertRequest {
    QString input;
    QString output;  // the final name: names the container when no format is set
    QString writeTo; // where the bytes go (the partial file beside it, or a work file)
    QString pluginSubtitle;
    SWConvertOption option;
    VideoRate rate;      // a size limit's video rate and pass; none: the option's quality
    bool sample = false; // a piece for an estimate: a copy may begin at its first key picture
    // The video encoder's constant-rate factor, chosen by a quality target's search.
    std::optional<int> crf;
    WorkPass pass = WorkPass::Whole;
    // A pass that may hold nothing: a video part at the very end (the stated length ran a
    // little long), or a sample of a sound that begins later.
    bool mayBeEmpty = false;
};

// What a resumable conversion needs to know of its input before it plans its parts.
struct Survey {
    bool encodesVideo = false; // a video stream is re-encoded (not copied, not left out)
    bool hasSound = false;
    int soundStream = -1;     // the input's audio stream a conversion in one piece would take
    bool changesRate = false; // the output's frame rate differs from the source's
    AVRational frameRate{0, 0};
    int64_t lengthUs = 0;             // of what is converted, as the file promises it; 0 when unknown
    bool keepsSubtitleTracks = false; // subtitle tracks go into the output beside the picture
    QStringList notes;                // what the output will lack (see notes())
};

// The finished parts, joined by stream copy into the output file.
struct JoinPlan {
    QStringList videoParts; // in order; part k starts at frame k * framesPerPart
    QString sound;          // empty when there is none
    AVRational frameRate{0, 0};
    int64_t framesPerPart = 0;
};

// What a run wrote, for fitting a size and for estimates.
struct TranscodeTally {
    int64_t videoBytes = 0, audioBytes = 0; // the streams' packets
    int64_t videoFirstPacketBytes = 0;
    int64_t lengthUs = 0; // of the range converted, as the file states it
    int width = 0, height = 0;
    double fps = 0;
    const AVCodec *videoEncoder = nullptr; // null when the video was copied or left out
    std::optional<std::chrono::steady_clock::time_point> firstEncodeAt;
    // When a sample's video encoder gave its packets out.
    EncodeTrack::OutputClock videoClock;
};

class Transcoder {
public:
    using Progress = std::function<void(double percent)>;
    Transcoder(ConvertRequest request, SessionControl &control, Progress progress);
    ~Transcoder();
    Transcoder(const Transcoder &) = delete;
    Transcoder &operator=(const Transcoder &) = delete;

    // The whole conversion, or the pass the request names. False on failure or cancel,
    // with the reason in *error.
    bool run(QString *error);
    // Opens the input and decides what a conversion would do with it, writing nothing.
    bool survey(Survey *out, QString *error);
    // Writes the output file from the parts (each removed once it has been copied, so the
    // disk holds the output and one part at most). False on failure or cancel.
    bool join(const JoinPlan &plan, const std::function<void(double)> &progress, QString *error);

    // Set once the output file has been created or truncated; its identity then, so
    // that a clean-up removes this file and no other.
    bool outputOpened() const { return _outputOpened; }
    TranscodeTally tally() const;
    // The re-encoded video's likeness to its source, after a successful run(); nothing when
    // the video was copied or left out.
    std::optional<MeasuredQuality> measuredQuality() const;
    dev_t outputDevice() const { return _outDev; }
    ino_t outputInode() const { return _outIno; }
    // What the output lacks that the input had (see SWConvertSession::notes).
    const QStringList &notes() const { return _notes; }

private:
    enum class SubtitleKind { None, Text, Bitmap };

    int openInputFile();
    int selectStreams();
    // The subtitle tracks that stay tracks: all but the burned one, where the container
    // holds them; what it cannot hold goes into the notes.
    void chooseKeptSubtitles();
    void computeClock();
    struct Stated {
        int64_t us = 0;
        bool promised = false; // a header's or an index's length, not a guess
    };
    // The length of the streams converted, as the file states it.
    Stated statedLength() const;
    void seekToStart();
    bool canCopyVideo() const;
    bool canCopyAudio() const;
    bool keyframeAtStart();
    // Whether a key picture of the video stream shows at `us` (graph clock).
    bool keyframeAt(int64_t us);
    int64_t halfFrameUs() const;
    int setUpOutput();
    // The output context with the input's metadata and chapters, no streams yet.
    int createOutputContext();
    int copyChapters(AVFormatContext *out);
    int openOutputFile();
    // Even loudness's measuring pass, before anything is written.
    int measureLoudness();
    // The cues of kept subtitle tracks that begin before a trimmed start and show into
    // the kept range (see SubtitleTrack::beginLeadIn).
    int subtitleLeadIn();
    int readLoop(bool *inputEnded);
    // Whether the packet's time lies far past the length the file states: a damaged
    // timestamp that would stretch the output to days.
    bool farPastStatedLength(const AVPacket *pkt) const;
    int finishTracks(bool inputEnded);
    // Fails when a stream's packets proved unreadable for more than a moment, and, after
    // the input ended by itself, when what the streams covered falls well short of the
    // length the file states (or of the trimmed range), which a cut or overwritten file does.
    int checkInputLength(bool inputEnded);
    int64_t reachedUs() const; // output time written so far, over all tracks
    int closeOutput();
    // Starts the disk writes of what the muxer has written since the last call once enough
    // has gathered, without waiting for them: the fsync before the output takes its name
    // then waits only for the tail, not for the whole file.
    void writeBehind();
    double percentDone() const;
    int fail(int code, const QString &what) { return _ctx.fail(code, what); }
    int refuse(const QString &what) { return _ctx.refuse(what); }
    // The container, the input and the streams to convert: what run() and survey() start with.
    int openAndChoose();

    ConvertRequest _req;
    const SWConvertOption &_opt;
    SessionControl &_control;
    Progress _progress;
    PipelineContext _ctx;

    InputContextPtr _in;
    OutputContextPtr _out;
    const AVOutputFormat *_fmt = nullptr;
    int _video = -1, _audio = -1, _subtitle = -1;
    SubtitleKind _subtitleKind = SubtitleKind::None;
    int _rotation = 0;
    bool _startTrimmed = false;
    bool _videoCopy = false, _audioCopy = false;
    int64_t _totalUs = 0;
    bool _lengthPromised = false;
    int64_t _jumpLimitUs = INT64_MAX; // raw stream time beyond which a packet is damaged
    int64_t _jumpsDropped = 0;
    std::deque<PacketPtr> _pending; // read ahead while deciding on a copy
    std::vector<std::unique_ptr<Track>> _tracks;
    std::vector<Track *> _trackFor; // by input stream index
    std::unique_ptr<BitmapSubtitles> _bitmapSubs;
    struct KeptSubtitle {
        int stream = -1;
        const AVCodec *encoder = nullptr; // null: copied
    };
    std::vector<KeptSubtitle> _keptSubtitles;
    QStringList _notes;
    AudioTrack *_audioTrack = nullptr; // when the sound is encoded
    // The part of the progress bar the measuring pass of even loudness takes.
    double _measureShare = 0;
    bool _outputOpened = false, _headerWritten = false;
    dev_t _outDev = 0;
    ino_t _outIno = 0;
    int _writeBehindFd = -1;    // the output file, for sync_file_range; -1 when unused
    WorkFileWriter _workFile;   // a pass other than Whole writes here
    int64_t _writtenBehind = 0; // bytes whose disk writes have been started
};

} // namespace fw
