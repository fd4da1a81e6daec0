#pragma once
// One conversion: demux -> decode -> filter -> encode -> mux, in process, on the FFmpeg
// libraries. A session is used for exactly one conversion.
//
// Order of use: setDelegate(); fill option(); addInputFile(); loadPluginSubtitle() (only
// after option().setUsePluginSubtitle(true)); setOutputFileName(); start().
//
// Threading: start() runs the whole conversion on the calling thread and returns true on
//   success, false on failure or cancellation. While it runs, pause(), cancel() and the
//   queries may be called from any other thread. The delegate is called on the thread
//   that runs start().
// Files: the session never writes under the output name itself. It writes the partial
//   file beside it (foundation::Files::partialPathFor: ".HASH.cinvora-part") and renames
//   that into place, after syncing it, only when the conversion is complete; so a crash or
//   kill leaves no file under the output name. An empty partial file there is taken as the
//   caller's reservation (foundation::Files::reserve...); without one the session claims
//   the name itself. A non-empty file, a non-regular file or the input itself at the output
//   path, or a partial file another writer is filling, makes start() fail without touching
//   it; an empty regular file at the output path (a name reserved the older way) is
//   replaced. When start() returns false, what it wrote and the empty names reserved for it
//   are removed; nothing else is. The input is never modified.
// Kept work: with setResume(), a long conversion that re-encodes the video is written in
//   parts into a hidden work folder beside the output (foundation::Files::workPathFor:
//   ".HASH.cinvora-work"), joined into the partial file at the end. The folder lives until
//   the conversion is done, cancelled or fails; a kill, a crash or suspend() leaves it, and
//   the next session of the same conversion (same unchanged source, same option, same
//   output name) encodes only the parts that are missing. Copies, audio-only conversions,
//   frame-rate changes and conversions shorter than a minute are written in one piece.
// Errors: start() answers false, says how it ended in outcome() and why in lastError(), and
//   writes one log line (a cancel is not a failure: nothing is logged). It never throws.
// Limits: the subtitles filter reads an embedded text subtitle track in one go while the
//   filters are set up; on a very large file that step does not observe cancel().
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class SWConvertSession;

// Every field of a conversion's option, declared once here: the members, and the fingerprint
// that says whether a finished file is still what the option would make, both come from
// this list, so no field can be added to one and not the other. (type, member, initial
// value, whether it is a choice that shapes the file). The order is the fingerprint's, and
// stored lists keep fingerprints of finished rows: new fields go at the end.
#define SW_CONVERT_OPTION_FIELDS(X)                                                                                    \
    X(int64_t, _startTime, 0, true)                                                                                    \
    X(int64_t, _recordingTime, 0, true)                                                                                \
    X(bool, _audioDisable, false, true)                                                                                \
    X(bool, _subtitleDisable, false, true)                                                                             \
    X(bool, _videoDisable, false, true)                                                                                \
    X(int, _audioVolume, 256, true)                                                                                    \
    X(bool, _autoStreamCopy, false, true)                                                                              \
    X(uint64_t, _width, 0, true)                                                                                       \
    X(uint64_t, _height, 0, true)                                                                                      \
    X(int32_t, _frameRateNum, 0, true)                                                                                 \
    X(int32_t, _frameRateDen, 0, true)                                                                                 \
    X(int, _subtitleStreamIndex, -1, true)                                                                             \
    X(int, _audioStreamIndex, -1, true)                                                                                \
    X(int, _sampleRate, 0, true)                                                                                       \
    X(int, _channels, 0, true)                                                                                         \
    X(bool, _usePluginSubtitle, false, true)                                                                           \
    X(QString, _audioCodeName, {}, true)                                                                               \
    X(QString, _videoCodeName, {}, true)                                                                               \
    X(double, _qscale, 1.0, true)                                                                                      \
    X(QString, _format, {}, true)                                                                                      \
    X(uint64_t, _inputWidth, 0, false)                                                                                 \
    X(uint64_t, _inputHeight, 0, false)                                                                                \
    X(int, _subtitleCount, 0, false)                                                                                   \
    X(int, _threadCount, 0, false)                                                                                     \
    X(double, _loudnessTarget, 0.0, true)                                                                              \
    X(int64_t, _maxSizeBytes, 0, true)                                                                                 \
    X(double, _targetSsim, 0.0, true)

class SWConvertOption {
public:
    // Trim, microseconds. Start 0 and recording time <= 0 mean the whole file.
    void setStart_time(int64_t us) { _startTime = us; }
    void setRecording_time(int64_t us) { _recordingTime = us; }
    void setAudio_disable(bool v) { _audioDisable = v; }
    // No subtitles burned in, neither an embedded track nor a loaded external file.
    void setSubtitle_disable(bool v) { _subtitleDisable = v; }
    void setVideo_disable(bool v) { _videoDisable = v; }
    // 0..256; 256 leaves the level unchanged.
    void setAudio_volume(int v) { _audioVolume = v; }
    // Copy streams whose codec already fits and that need no processing (no scaling,
    // rate change, volume or burned subtitles). A trimmed start copies video only when it
    // falls on a key picture, and never copies audio (the cut is sample-exact).
    void setAuto_streamcopy(bool v) { _autoStreamCopy = v; }
    // Output frame size; 0 keeps the source size. Sizes an encoder cannot take are rounded.
    void setWidth(uint64_t v) { _width = v; }
    void setHeight(uint64_t v) { _height = v; }
    void setInputWidth(uint64_t v) { _inputWidth = v; }
    void setInputHeight(uint64_t v) { _inputHeight = v; }
    void setSubtitleCount(int v) { _subtitleCount = v; }
    // Output frame rate; 0/0 keeps the source rate.
    void setFrame_rate(int32_t num, int32_t den) {
        _frameRateNum = num;
        _frameRateDen = den;
    }
    // FFmpeg stream numbers. Subtitles: -1 = none; a text track (SubRip, ASS, timed
    // text) or a picture track (DVD, PGS) is burned into the picture. Audio: -1 or a number
    // that is not an audio stream = the best audio stream (setAudio_disable leaves it out).
    void setSubtitleStreamIndex(int v) { _subtitleStreamIndex = v; }
    void setAudioStreamIndex(int v) { _audioStreamIndex = v; }
    // Threads each decoder and encoder of this conversion may use; 0 = as many as the
    // machine has. Conversions that run side by side share the machine this way instead
    // of each starting a thread per core.
    void setThreadCount(int v) { _threadCount = v < 0 ? 0 : v; }
    int threadCount() const { return _threadCount; }
    // Catalogue codec names ("h264", "libfaac", "mp3", ...); empty or unknown: the
    // container's default encoder.
    void setAudioCodeName(const QString &v) { _audioCodeName = v; }
    void setVideoCodeName(const QString &v) { _videoCodeName = v; }
    // 1.0 high, 7.0 middle, 15.0 low (below 4 / below 11 / above); mapped onto each
    // encoder's own scale: x264 CRF 18/23/28, x265 CRF 20/26/30, VP9 CRF 24/33/40,
    // MPEG-4 & co. qscale 2/5/10; audio bit rates 192/128/96 kbit/s per stereo pair.
    void setQscale(double v) { _qscale = v; }
    // Container name ("mov", "mp4", "mkv", "avi", "mp3", "vob", "svcd", "vcd", ...).
    // Empty: chosen from the output file's extension.
    void setFormat(const QString &v) { _format = v; }
    // Hz; 0 keeps the source rate (or the nearest the encoder takes).
    void setSample_rate(int v) { _sampleRate = v; }
    // Audio channel count; 0 keeps the source layout (or the nearest the encoder takes).
    void setChannels(int v) { _channels = v; }
    void setUsePluginSubtitle(bool v) { _usePluginSubtitle = v; }
    // Even loudness: the integrated loudness (EBU R128, LUFS) every output's sound is
    // brought to, its true peak held at or below kLoudnessPeakDbtp. 0 leaves the level as
    // it is; otherwise kLoudnessMin..kLoudnessMax. The sound is then always encoded, never
    // copied.
    static constexpr double kLoudnessDefault = -16.0;
    static constexpr double kLoudnessMin = -70.0;
    static constexpr double kLoudnessMax = -5.0;
    static constexpr double kLoudnessPeakDbtp = -1.0;
    void setLoudnessTarget(double lufs) { _loudnessTarget = lufs; }
    double loudnessTarget() const { return _loudnessTarget; }
    bool evensLoudness() const { return _loudnessTarget < 0; }
    // The most bytes the output may have; 0 = no limit. A limit re-encodes the video at the
    // rate that fills it (two passes on H.264, HEVC, VP8 and VP9), copies no stream and
    // takes the place of the quality setting for the video; the sound keeps its quality.
    // A limit that would leave the video fewer than kMinBitsPerPixel bits per pixel is
    // refused before anything is converted, saying the smallest size that works.
    void setMaxSizeBytes(int64_t v) { _maxSizeBytes = v < 0 ? 0 : v; }
    int64_t maxSizeBytes() const { return _maxSizeBytes; }
    static constexpr double kMinBitsPerPixel = 0.02;
    // "Smallest file at a quality": the SSIM the video should measure against its source
    // (framewheel/SWQualityTarget.h names the usual points). The encoder's constant-rate
    // factor is searched on samples of the kept range, the file is converted, measured and
    // converted once more with a better factor when it misses; the quality level (qscale)
    // then has no say over the picture. Only encoders with such a factor take a target
    // (x264, x265, SVT-AV1, VP9); start() refuses the others. 0: no target.
    void setTargetSsim(double v) { _targetSsim = v; }

    int64_t start_time() const { return _startTime; }
    int64_t recording_time() const { return _recordingTime; }
    bool audio_disable() const { return _audioDisable; }
    bool subtitle_disable() const { return _subtitleDisable; }
    bool video_disable() const { return _videoDisable; }
    int audio_volume() const { return _audioVolume; }
    bool auto_streamcopy() const { return _autoStreamCopy; }
    uint64_t width() const { return _width; }
    uint64_t height() const { return _height; }
    uint64_t inputWidth() const { return _inputWidth; }
    uint64_t inputHeight() const { return _inputHeight; }
    int subtitleCount() const { return _subtitleCount; }
    int32_t frameRateNum() const { return _frameRateNum; }
    int32_t frameRateDen() const { return _frameRateDen; }
    int subtitleStreamIndex() const { return _subtitleStreamIndex; }
    int audioStreamIndex() const { return _audioStreamIndex; }
    QString audioCodeName() const { return _audioCodeName; }
    QString videoCodeName() const { return _videoCodeName; }
    double qscale() const { return _qscale; }
    QString format() const { return _format; }
    int sample_rate() const { return _sampleRate; }
    int channels() const { return _channels; }
    bool usePluginSubtitle() const { return _usePluginSubtitle; }
    double targetSsim() const { return _targetSsim; }

    // What the file made from an option depends on: every field that is a choice, in a fixed
    // order, as text. Two options with the same fingerprint make the same file from the same
    // input. Facts of the input (its size, its subtitle count) and the thread count are not
    // choices and are left out.
    QString fingerprint() const;
    // Whether this build can encode `name` for pictures (`video`) or sound: a codec's short
    // name ("hevc", "av1", "aac") or an encoder's own ("libx265"). An empty name is the
    // container's default and always fits. The names offered to users, of those this build
    // encodes, for help and refusal messages.
    static bool encodesCodecName(const QString &name, bool video);
    static QStringList offeredCodecNames(bool video);
    // Calls visit(name, field, isChoice) for every field, in the fingerprint's order.
    template <class Visit> void visitFields(Visit &&visit) {
#define SW_VISIT(Type, name, init, choice) visit(#name, name, choice);
        SW_CONVERT_OPTION_FIELDS(SW_VISIT)
#undef SW_VISIT
    }
    template <class Visit> void visitFields(Visit &&visit) const {
#define SW_VISIT(Type, name, init, choice) visit(#name, name, choice);
        SW_CONVERT_OPTION_FIELDS(SW_VISIT)
#undef SW_VISIT
    }

private:
#define SW_DECLARE(Type, name, init, choice) Type name = init;
    SW_CONVERT_OPTION_FIELDS(SW_DECLARE)
#undef SW_DECLARE
};

// What a session does about kept work (see the file comment).
enum class SWResume {
    Off,    // one piece, nothing kept
    Resume, // keep finished parts, and take up those an earlier run of the same conversion left
    Afresh, // keep finished parts, but begin anew: what an earlier run left is removed
};

// What a finished conversion measured of its picture: the re-encoded video decoded again and
// compared with the picture the encoder was given (the source at the output's size), the
// way the ffmpeg program's ssim ("All") and psnr ("average") filters compare two files.
// Large pictures are measured on a regular sample of their frames.
struct SWConvertResult {
    std::optional<double> ssim;   // 0..1; nothing when no video was re-encoded
    std::optional<double> psnrDb; // capped at 100 dB for identical pictures
    int64_t framesMeasured = 0;
    // The constant-rate factor a quality target chose (the one the file was made with).
    std::optional<int> crf;
    bool operator==(const SWConvertResult &) const = default;
};

// How a session's start() ended. Done: the complete file is in place under the output name
// (even when a cancel came after its last frame); Failed: it is not, lastError() says why;
// Cancelled: cancel() stopped it, nothing was left.
enum class SWConvertOutcome { NotRun, Done, Failed, Cancelled };

class SWConvertSessionDelegate {
public:
    virtual ~SWConvertSessionDelegate() = default;
    // Several times a second on the converting thread: percent 0..100 over the trimmed
    // length, elapsed and estimated remaining microseconds (paused time excluded).
    // The last report of a successful conversion is 100.
    virtual void sessionProgressPastLeft(SWConvertSession *session, double percent, int64_t pastUs, int64_t leftUs) {
        (void)session;
        (void)percent;
        (void)pastUs;
        (void)leftUs;
    }
    // Once, before the first progress report, when the session takes up the work of an
    // earlier run: the percent of the conversion that was already done.
    virtual void sessionResumed(SWConvertSession *session, double keptPercent) {
        (void)session;
        (void)keptPercent;
    }
};

// What a conversion is expected to give: the output's size and the time it takes on this
// machine with the session's threads.
struct SWConvertEstimate {
    int64_t bytes = 0;
    double seconds = 0;
    QString error; // why there is no estimate; empty when there is one
    bool valid() const { return error.isEmpty() && bytes > 0; }
    bool operator==(const SWConvertEstimate &) const = default;
};

class SWConvertSession {
public:
    SWConvertSession();
    ~SWConvertSession();
    SWConvertSession(const SWConvertSession &) = delete;
    SWConvertSession &operator=(const SWConvertSession &) = delete;

    void setDelegate(SWConvertSessionDelegate *delegate);
    SWConvertOption &option() { return _option; }
    const SWConvertOption &option() const { return _option; }
    void addInputFile(const QString &path);
    void loadPluginSubtitle(const QString &path);
    void setOutputFileName(const QString &path);
    QString outputFileName() const;
    // Off unless set; before start().
    void setResume(SWResume mode);

    // Blocks for the whole conversion (see the file comment).
    bool start();
    // What start() would make, from a few short samples of the kept range encoded with this
    // session's settings into a temporary folder, scaled to the whole range; with a size
    // limit, the size the limit aims at and the time of its passes. Blocks; runs on the
    // calling thread at the lowest priority (and its codecs' threads with it), so call it
    // off the main thread. cancel() ends it within 0.5 s (the answer then has an error).
    // Writes nothing under the output name; the session may start() afterwards.
    SWConvertEstimate estimate();
    // Toggles between paused and running; takes effect within 100 ms. A paused session
    // uses no CPU.
    void pause();
    // Any thread, any state (paused included): start() returns false within 0.5 s.
    void cancel(bool unused = false);
    // A cancel that leaves the finished parts for a later session (the program is quitting,
    // not the user stopping this conversion).
    void suspend();

    // The percent an earlier, interrupted conversion of `input` into `output` left done
    // beside the output; 0 when it left nothing.
    static double keptPercent(const QString &input, const QString &output);
    // Removes the work folders in `folder` that no conversion holds and whose source is
    // gone; returns how many.
    static int removeStaleWork(const QString &folder);
    // Removes the work kept beside `output`, unless a conversion is using it.
    static void removeWork(const QString &output);

    // Thread-safe queries. cancelSession(): cancel() was called (a plain failure leaves it
    // false; lastError() tells failures apart).
    bool paused() const;
    bool aleadyStart() const;
    bool cancelSession() const;
    // How start() ended (NotRun before it has).
    SWConvertOutcome outcome() const;
    // Why start() failed, for the log and the user ("" unless the outcome is Failed).
    QString lastError() const;
    // What a finished conversion left out of the output that the user would expect in it
    // (a subtitle track its container cannot hold; a size limit's file well under the
    // limit, and why), one sentence each; also in the log.
    QStringList notes() const;
    // What the conversion measured; empty until start() returned true.
    SWConvertResult result() const;

private:
    struct Impl;
    std::unique_ptr<Impl> _d;
    SWConvertOption _option;
};
