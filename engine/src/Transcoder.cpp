#include "Transcoder.h"

#include "BitmapSubtitles.h"

#include <foundation/Log.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fw {

namespace {

constexpr auto kOpenTimeout = std::chrono::seconds(15);
// Below this much missing, an early end is the usual rounding of stated lengths.
constexpr int64_t kShortInputSlackUs = 1000000;
constexpr int64_t kJumpSlackUs = 30000000;

bool isOneOf(const char *name, std::initializer_list<const char *> names) {
    for (const char *n : names)
        if (std::strcmp(name, n) == 0)
            return true;
    return false;
}

bool movFamily(const AVOutputFormat *fmt) { return isOneOf(fmt->name, {"mov", "mp4", "ipod", "3gp", "3g2", "psp"}); }

// Containers people use for whatever codec they hold; a copy into them needs no
// particular codec. The others (WAV, ASF, AVI, ...) get their own codec.
bool multiCodec(const AVOutputFormat *fmt) {
    return isOneOf(fmt->name, {"matroska", "webm", "mov", "mp4", "ipod", "3gp", "3g2", "mpegts", "flv", "ogg", "nut"});
}

// Whether a source stream of codec `id` already is what the output wants.
bool codecFits(const AVOutputFormat *fmt, AVMediaType type, const QString &requested, AVCodecID id) {
    if (!containerAccepts(fmt, id))
        return false;
    if (const AVCodec *target = chooseEncoder(fmt, type, requested); target && target->id == id)
        return true;
    return !encoderForName(requested, type) && multiCodec(fmt);
}

bool isBitmapSubtitle(AVCodecID id) {
    const AVCodecDescriptor *d = avcodec_descriptor_get(id);
    return d && (d->props & AV_CODEC_PROP_BITMAP_SUB);
}

bool isTextSubtitle(AVCodecID id) {
    const AVCodecDescriptor *d = avcodec_descriptor_get(id);
    return d && (d->props & AV_CODEC_PROP_TEXT_SUB);
}

// Tracks only in the containers people keep subtitle tracks in; the others (AVI, the
// MPEG program streams of the disc formats, audio files) keep none.
bool keepsSubtitleTracks(const AVOutputFormat *fmt) {
    return isOneOf(fmt->name, {"matroska", "webm"}) || movFamily(fmt);
}

// A track that is not a subtitle one is what the read loop waits for and the judge counts.
bool isSubtitle(const Track &t) { return t.type() == AVMEDIA_TYPE_SUBTITLE; }

int clampDim(uint64_t v) { return v > 16384 ? 16384 : static_cast<int>(v); }

bool isHdrTransfer(AVColorTransferCharacteristic trc) {
    return trc == AVCOL_TRC_SMPTE2084 || trc == AVCOL_TRC_ARIB_STD_B67;
}

// An HDR source's mastering display and light levels: the container's, else (HEVC and AV1
// carry them in the stream, where only decoding finds them) its first picture's, read
// through a second, short-lived reader so the conversion's own is left where it is.
void findHdrMetadata(const QString &path, const AVStream *st, const AVIOInterruptCB &interrupt, VideoSetup &vs) {
    if (const uint8_t *d = av_stream_get_side_data(st, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, nullptr))
        vs.mastering = *reinterpret_cast<const AVMasteringDisplayMetadata *>(d);
    if (const uint8_t *d = av_stream_get_side_data(st, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, nullptr))
        vs.lightLevel = *reinterpret_cast<const AVContentLightMetadata *>(d);
    if (vs.mastering || vs.lightLevel)
        return;
    QString err;
    InputContextPtr in = openInput(path, interrupt, &err, false);
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!in || !codec || st->index >= int(in->nb_streams))
        return;
    CodecContextPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0 ||
        avcodec_open2(dec.get(), codec, nullptr) < 0)
        return;
    PacketPtr pkt = makePacket();
    FramePtr frame = makeFrame();
    // The first picture is enough; a stream that shows none within its first packets has
    // nothing to say.
    for (int read = 0; pkt && frame && read < 256 && av_read_frame(in.get(), pkt.get()) >= 0; ++read) {
        const bool ours = pkt->stream_index == st->index;
        const int sent = ours ? avcodec_send_packet(dec.get(), pkt.get()) : 0;
        av_packet_unref(pkt.get());
        if (!ours || sent < 0)
            continue;
        if (avcodec_receive_frame(dec.get(), frame.get()) < 0)
            continue;
        if (const AVFrameSideData *m = av_frame_get_side_data(frame.get(), AV_FRAME_DATA_MASTERING_DISPLAY_METADATA))
            vs.mastering = *reinterpret_cast<const AVMasteringDisplayMetadata *>(m->data);
        if (const AVFrameSideData *l = av_frame_get_side_data(frame.get(), AV_FRAME_DATA_CONTENT_LIGHT_LEVEL))
            vs.lightLevel = *reinterpret_cast<const AVContentLightMetadata *>(l->data);
        return;
    }
}

} // namespace

Transcoder::Transcoder(ConvertRequest request, SessionControl &control, Progress progress)
    : _req(std::move(request)), _opt(_req.option), _control(control), _progress(std::move(progress)) {
    _ctx.control = &_control;
    _ctx.threads = _opt.threadCount();
    _ctx.sample = _req.sample;
    _ctx.written = [this] {
        if (_progress)
            _progress(percentDone());
    };
}

Transcoder::~Transcoder() {
    if (_writeBehindFd >= 0)
        ::close(_writeBehindFd);
    // Tracks hold codec contexts and graphs that refer to the files' streams: they go first.
    _tracks.clear();
    _bitmapSubs.reset();
    _out.reset();
    _in.reset();
}

int Transcoder::openAndChoose() {
    QString containerError;
    _fmt = resolveContainer(_opt.format(), _req.output, &containerError);
    if (!_fmt)
        return refuse(containerError);
    const int rc = openInputFile();
    return rc < 0 ? rc : selectStreams();
}

bool Transcoder::run(QString *error) {
    bool inputEnded = false;
    int rc = openAndChoose();
    if (rc >= 0) {
        computeClock();
        seekToStart();
        rc = setUpOutput();
    }
    if (rc >= 0)
        rc = measureLoudness();
    if (rc >= 0)
        rc = openOutputFile();
    if (rc >= 0)
        rc = subtitleLeadIn();
    if (rc >= 0)
        rc = readLoop(&inputEnded);
    if (rc >= 0)
        rc = finishTracks(inputEnded);
    if (rc >= 0)
        rc = checkInputLength(inputEnded);
    if (rc >= 0)
        rc = closeOutput();
    if (rc < 0 || _control.cancelled()) {
        // A cancel is no error: the session tells it apart by its control.
        *error = _control.cancelled() ? QString() : _ctx.error.isEmpty() ? avError(rc) : _ctx.error;
        _tracks.clear();
        _out.reset(); // closes the file; the session removes it
        return false;
    }
    error->clear();
    for (const QString &note : _notes)
        foundation::Log::line(QStringLiteral("%1 -> %2: %3").arg(_req.input, _req.output, note));
    return true;
}

TranscodeTally Transcoder::tally() const {
    TranscodeTally t;
    t.lengthUs = _totalUs;
    t.firstEncodeAt = _ctx.firstEncodeAt;
    for (const auto &track : _tracks) {
        if (track->type() == AVMEDIA_TYPE_AUDIO) {
            t.audioBytes += track->bytesWritten;
            continue;
        }
        t.videoBytes += track->bytesWritten;
        t.videoFirstPacketBytes = track->firstPacketBytes;
        if (const auto *v = dynamic_cast<const VideoTrack *>(track.get())) {
            t.width = v->target().width;
            t.height = v->target().height;
            t.fps = av_q2d(v->target().frameRate);
            t.videoEncoder = v->encoder();
            t.videoClock = v->outputClock();
        }
    }
    return t;
}

std::optional<MeasuredQuality> Transcoder::measuredQuality() const {
    for (const auto &t : _tracks)
        if (const auto *v = dynamic_cast<const VideoTrack *>(t.get()))
            return v->measuredQuality();
    return std::nullopt;
}

int Transcoder::openInputFile() {
    QString err;
    AVIOInterruptCB cb{&SessionControl::interrupt, &_control};
    _control.setDeadline(SessionControl::Clock::now() + kOpenTimeout);
    _in = openInput(_req.input, cb, &err, true);
    _control.clearDeadline();
    if (!_in) {
        if (_control.cancelled())
            return AVERROR_EXIT;
        return refuse(QStringLiteral("cannot read the input: ") + err);
    }
    _ctx.in = _in.get();
    return 0;
}

namespace {

bool streamIsOfType(const AVFormatContext *in, int number, AVMediaType type) {
    return number >= 0 && number < int(in->nb_streams) && in->streams[number]->codecpar->codec_type == type;
}

// A stream number that was asked for and is not there: the reason names the ones that are,
// so that the user can pick again instead of getting another track without a word.
QString missingStream(const AVFormatContext *in, int asked, AVMediaType type) {
    const QString kind = type == AVMEDIA_TYPE_AUDIO ? QStringLiteral("audio") : QStringLiteral("subtitle");
    QStringList there;
    for (unsigned i = 0; i < in->nb_streams; ++i)
        if (streamIsOfType(in, int(i), type))
            there << QString::number(i);
    const QString head = QStringLiteral("there is no %1 stream %2").arg(kind).arg(asked);
    if (there.isEmpty())
        return head + QStringLiteral("; the input has no %1 stream").arg(kind);
    return head + QStringLiteral("; its %1 streams are %2").arg(kind, there.join(QStringLiteral(", ")));
}

} // namespace

int Transcoder::selectStreams() {
    AVFormatContext *in = _in.get();
    bool sourceHasMedia = false;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream *st = in->streams[i];
        const AVMediaType t = st->codecpar->codec_type;
        if (t == AVMEDIA_TYPE_AUDIO || (t == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)))
            sourceHasMedia = true;
    }
    if (!sourceHasMedia)
        return refuse(QStringLiteral("the input holds no audio or video"));

    if (!_opt.video_disable() && containerHoldsType(_fmt, AVMEDIA_TYPE_VIDEO)) {
        const int best = av_find_best_stream(in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (best >= 0 && !(in->streams[best]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            _video = best;
        for (unsigned i = 0; _video < 0 && i < in->nb_streams; ++i)
            if (in->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(in->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
                _video = static_cast<int>(i);
    }
    if (!_opt.audio_disable() && containerHoldsType(_fmt, AVMEDIA_TYPE_AUDIO)) {
        const int asked = _opt.audioStreamIndex();
        if (asked >= 0 && !streamIsOfType(in, asked, AVMEDIA_TYPE_AUDIO))
            return refuse(missingStream(in, asked, AVMEDIA_TYPE_AUDIO));
        if (asked >= 0)
            _audio = asked;
        else
            _audio = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, _video, nullptr, 0);
        if (_audio < 0)
            _audio = -1;
    }
    if (_video >= 0 && !_opt.subtitle_disable()) {
        const int asked = _opt.subtitleStreamIndex();
        if (_opt.usePluginSubtitle() && !_req.pluginSubtitle.isEmpty()) {
            const QFileInfo fi(_req.pluginSubtitle);
            if (!fi.isFile() || !fi.isReadable())
                return refuse(QStringLiteral("cannot read the subtitle file %1").arg(_req.pluginSubtitle));
            _subtitleKind = SubtitleKind::Text;
        } else if (asked >= 0 && !streamIsOfType(in, asked, AVMEDIA_TYPE_SUBTITLE)) {
            return refuse(missingStream(in, asked, AVMEDIA_TYPE_SUBTITLE));
        } else if (asked >= 0) {
            _subtitle = asked;
            _subtitleKind =
                isBitmapSubtitle(in->streams[asked]->codecpar->codec_id) ? SubtitleKind::Bitmap : SubtitleKind::Text;
        }
    }
    // A part of a resumable conversion holds its one stream only.
    if (_video >= 0 && _req.pass == WorkPass::Whole)
        chooseKeptSubtitles();
    if (_video < 0 && _audio < 0) {
        if (QLatin1String(_fmt->name) == QLatin1String("dv"))
            return refuse(QStringLiteral("a DV file needs a video stream"));
        return refuse(QStringLiteral("nothing to convert: the %1 container cannot hold what the input has, "
                                     "or every stream is switched off")
                          .arg(QLatin1String(_fmt->name)));
    }
    if (_video >= 0)
        _rotation = streamRotation(in->streams[_video]);
    return 0;
}

void Transcoder::chooseKeptSubtitles() {
    if (!keepsSubtitleTracks(_fmt))
        return;
    const AVFormatContext *in = _in.get();
    // The container's own text codec: MP4's timed text, WebM's WebVTT, Matroska's ASS.
    const AVCodecID textCodec = movFamily(_fmt)                 ? AV_CODEC_ID_MOV_TEXT
                                : isOneOf(_fmt->name, {"webm"}) ? AV_CODEC_ID_WEBVTT
                                                                : AV_CODEC_ID_ASS;
    const AVCodec *textEncoder = avcodec_find_encoder(textCodec);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        if (!streamIsOfType(in, int(i), AVMEDIA_TYPE_SUBTITLE) || int(i) == _subtitle)
            continue;
        const AVCodecID id = in->streams[i]->codecpar->codec_id;
        // MP4 can carry DVD pictures ('mp4s'), but next to no player shows them.
        const bool fits = containerAccepts(_fmt, id) && !(movFamily(_fmt) && isBitmapSubtitle(id));
        if (fits) {
            _keptSubtitles.push_back({int(i), nullptr});
        } else if (isTextSubtitle(id) && textEncoder && avcodec_find_decoder(id)) {
            _keptSubtitles.push_back({int(i), textEncoder});
        } else {
            _notes << QStringLiteral("subtitle stream %1 (%2) left out: the %3 container cannot hold %4 subtitles")
                          .arg(i)
                          .arg(QLatin1String(avcodec_get_name(id)), QLatin1String(_fmt->name),
                               isBitmapSubtitle(id) ? QStringLiteral("picture") : QStringLiteral("these"));
        }
    }
}

void Transcoder::computeClock() {
    AVFormatContext *in = _in.get();
    const int64_t fileStart = in->start_time != AV_NOPTS_VALUE ? in->start_time : 0;
    // An embedded text track is read again by the subtitles filter with its raw
    // timestamps, so the picture keeps its raw clock too.
    const bool rawClock = _subtitleKind == SubtitleKind::Text && _subtitle >= 0;
    _ctx.clockOffsetUs = rawClock ? 0 : fileStart;
    const int64_t askedStart = std::max<int64_t>(0, _opt.start_time());
    _startTrimmed = askedStart > 0;
    _ctx.trimStartUs = askedStart + (fileStart - _ctx.clockOffsetUs);
    _ctx.trimEndUs = _opt.recording_time() > 0 ? _ctx.trimStartUs + _opt.recording_time() : INT64_MAX;

    const int64_t fileLength = in->duration > 0 ? in->duration : 0;
    // The length judged against is the one the file promises for what is converted.
    const Stated stated = statedLength();
    int64_t length = std::max<int64_t>(0, stated.us - askedStart);
    if (_opt.recording_time() > 0)
        length = stated.us > 0 ? std::min(length, _opt.recording_time()) : _opt.recording_time();
    _totalUs = length;
    _lengthPromised = stated.promised;

    // A length guessed from the bit rate is no promise, so nothing is judged against it.
    // Otherwise a packet may run somewhat past the stated end (headers round, muxers
    // disagree), but not by as much again or half a minute, whichever is more.
    if (fileLength > 0 && in->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE)
        _jumpLimitUs = fileStart + fileLength + std::max<int64_t>(fileLength, kJumpSlackUs);
}

namespace {

// What a WAV header promises: its data chunk's size at its byte rate. FFmpeg reports a raw
// PCM file's length from the file's size, which is just what a cut file has lost.
// (The chunk walk stops at the data chunk, which a 1 MiB head always reaches in practice.)
int64_t wavHeaderLengthUs(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = f.read(1 << 20);
    auto le32 = [&head](qsizetype at) {
        return uint32_t(uint8_t(head[at])) | uint32_t(uint8_t(head[at + 1])) << 8 |
               uint32_t(uint8_t(head[at + 2])) << 16 | uint32_t(uint8_t(head[at + 3])) << 24;
    };
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return 0;
    uint32_t byteRate = 0;
    for (qsizetype at = 12; at + 8 <= head.size();) {
        const QByteArray id = head.mid(at, 4);
        const uint32_t size = le32(at + 4);
        if (id == "fmt " && at + 16 <= head.size())
            byteRate = le32(at + 16);
        if (id == "data") {
            // 0 and 0xFFFFFFFF: written while streaming, no length was known.
            if (byteRate == 0 || size == 0 || size == 0xFFFFFFFFu)
                return 0;
            return int64_t(double(size) * 1e6 / byteRate);
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return 0;
}

// The same for a CAF file of fixed-size packets: its data chunk's size (less the edit
// count before the data) over the packet size its description gives.
int64_t cafHeaderLengthUs(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = f.read(1 << 20);
    auto be = [&head](qsizetype at, int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | uint8_t(head[at + i]);
        return v;
    };
    if (head.size() < 8 || !head.startsWith("caff"))
        return 0;
    double rate = 0;
    uint64_t bytesPerPacket = 0, framesPerPacket = 0;
    for (qsizetype at = 8; at + 12 <= head.size();) {
        const QByteArray type = head.mid(at, 4);
        const uint64_t size = be(at + 4, 8);
        const qsizetype body = at + 12;
        if (type == "desc" && body + 32 <= head.size()) {
            const uint64_t bits = be(body, 8);
            std::memcpy(&rate, &bits, sizeof rate);
            bytesPerPacket = be(body + 16, 4);
            framesPerPacket = be(body + 20, 4);
        }
        if (type == "data") {
            // All ones: written while streaming, the data runs to the end of the file.
            if (size == ~uint64_t(0) || size <= 4 || bytesPerPacket == 0 || framesPerPacket == 0 || !(rate > 0))
                return 0;
            const double frames = double((size - 4) / bytesPerPacket) * double(framesPerPacket);
            return int64_t(frames / rate * 1e6);
        }
        if (size > uint64_t(head.size()))
            return 0;
        at = body + qsizetype(size);
    }
    return 0;
}

} // namespace

Transcoder::Stated Transcoder::statedLength() const {
    const AVFormatContext *in = _in.get();
    // A stream's own length comes from its index (an MP4's sample table): it lists the
    // packets the file holds, where the container's summary may say anything.
    int64_t streams = 0;
    bool everyStream = true;
    for (const int i : {_video, _audio}) {
        if (i < 0)
            continue;
        const AVStream *st = in->streams[i];
        if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
            streams = std::max(streams, av_rescale_q(st->duration, st->time_base, AV_TIME_BASE_Q));
        else
            everyStream = false;
    }
    const QLatin1String demuxer(in->iformat->name);
    const int64_t header = demuxer == QLatin1String("wav")   ? wavHeaderLengthUs(_req.input)
                           : demuxer == QLatin1String("caf") ? cafHeaderLengthUs(_req.input)
                                                             : 0;
    if (header > 0)
        return {header, true};
    if (everyStream && streams > 0 && in->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE)
        return {streams, true};
    const int64_t fileLength = in->duration > 0 ? in->duration : 0;
    return {fileLength, fileLength > 0 && in->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE};
}

bool Transcoder::farPastStatedLength(const AVPacket *pkt) const {
    if (_jumpLimitUs == INT64_MAX || pkt->stream_index < 0 || pkt->stream_index >= int(_in->nb_streams))
        return false;
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts == AV_NOPTS_VALUE)
        return false;
    return av_rescale_q(ts, _in->streams[pkt->stream_index]->time_base, AV_TIME_BASE_Q) > _jumpLimitUs;
}

void Transcoder::seekToStart() {
    if (!_startTrimmed)
        return;
    const int64_t ts = _ctx.trimStartUs + _ctx.clockOffsetUs;
    const int rc = avformat_seek_file(_in.get(), -1, INT64_MIN, ts, ts, 0);
    if (rc < 0)
        foundation::Log::debug(
            QStringLiteral("seek to %1 failed (%2); reading from the start").arg(ts).arg(avError(rc)));
}

bool Transcoder::canCopyVideo() const {
    // A quality target is met by encoding; a copy keeps whatever quality it had.
    if (!_opt.auto_streamcopy() || _opt.targetSsim() > 0 || _req.crf || _video < 0 ||
        _subtitleKind != SubtitleKind::None)
        return false;
    const AVStream *st = _in->streams[_video];
    const AVCodecParameters *par = st->codecpar;
    const AVCodecID id = par->codec_id;
    if (!codecFits(_fmt, AVMEDIA_TYPE_VIDEO, _opt.videoCodeName(), id))
        return false;
    // AVI wants H.264/HEVC with start codes; MP4-style packets would need rewriting.
    if (isOneOf(_fmt->name, {"avi"}) && (id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_HEVC))
        return false;
    // Containers with a fixed picture format take only their own codec as it comes.
    if (isOneOf(_fmt->name, {"dv", "vcd", "svcd", "vob", "dvd", "mpeg"}) && id != _fmt->video_codec)
        return false;
    if (_rotation != 0 && !movFamily(_fmt))
        return false;
    const AVRational sar = av_guess_sample_aspect_ratio(_in.get(), const_cast<AVStream *>(st), nullptr);
    int dispW = par->width, dispH = par->height;
    if (sar.num > 0 && sar.den > 0)
        dispW = static_cast<int>(std::lround(double(par->width) * sar.num / sar.den));
    int codedW = par->width, codedH = par->height;
    if (_rotation == 90 || _rotation == 270) {
        std::swap(dispW, dispH);
        std::swap(codedW, codedH);
    }
    const int reqW = clampDim(_opt.width()), reqH = clampDim(_opt.height());
    if (reqW != 0 && reqW != dispW && reqW != codedW)
        return false;
    if (reqH != 0 && reqH != dispH && reqH != codedH)
        return false;
    const AVRational reqRate{_opt.frameRateNum(), _opt.frameRateDen()};
    if (reqRate.num > 0 && reqRate.den > 0) {
        const AVRational src = av_guess_frame_rate(_in.get(), const_cast<AVStream *>(st), nullptr);
        if (src.num <= 0 || std::fabs(av_q2d(src) - av_q2d(reqRate)) > 0.001)
            return false;
    }
    return true;
}

bool Transcoder::canCopyAudio() const {
    // A copy cuts at packet edges; a trimmed start wants sample accuracy.
    // Even loudness changes the level, so the sound is encoded.
    if (!_opt.auto_streamcopy() || _audio < 0 || _startTrimmed || _opt.evensLoudness())
        return false;
    const AVCodecParameters *par = _in->streams[_audio]->codecpar;
    const AVCodecID id = par->codec_id;
    if (!codecFits(_fmt, AVMEDIA_TYPE_AUDIO, _opt.audioCodeName(), id) || _opt.audio_volume() != 256)
        return false;
    // A FLAC header names the stream's length; copied into a shortened file it would claim
    // the source's length. Re-encoding is lossless and writes a true header.
    if (id == AV_CODEC_ID_FLAC && _opt.recording_time() > 0)
        return false;
    const int rate = par->sample_rate, channels = par->ch_layout.nb_channels;
    if ((_opt.sample_rate() > 0 && _opt.sample_rate() != rate) || (_opt.channels() > 0 && _opt.channels() != channels))
        return false;
    if (const AVCodec *enc = encoderForCodec(id)) {
        AudioTarget t = audioTarget(enc, _fmt, rate, channels, 0, 0);
        const bool same = t.sampleRate == rate && t.layout.nb_channels == channels;
        av_channel_layout_uninit(&t.layout);
        if (!same)
            return false;
    }
    return true;
}

bool Transcoder::keyframeAtStart() {
    // Read ahead to the first video packet after the seek and keep what was read.
    const AVStream *st = _in->streams[_video];
    for (int n = 0; n < 20000; ++n) {
        PacketPtr pkt = makePacket();
        if (!pkt || av_read_frame(_in.get(), pkt.get()) < 0)
            return false;
        const bool isVideo = pkt->stream_index == _video;
        const bool key = pkt->flags & AV_PKT_FLAG_KEY;
        const int64_t pts = pkt->pts;
        _pending.push_back(std::move(pkt));
        if (!isVideo)
            continue;
        if (!key || pts == AV_NOPTS_VALUE)
            return false;
        const int64_t ptsUs = av_rescale_q(pts, st->time_base, AV_TIME_BASE_Q) - _ctx.clockOffsetUs;
        return std::llabs(ptsUs - _ctx.trimStartUs) < halfFrameUs();
    }
    return false;
}

int64_t Transcoder::halfFrameUs() const {
    AVStream *st = _in->streams[_video];
    const AVRational rate = av_guess_frame_rate(_in.get(), st, nullptr);
    return rate.num > 0 ? std::max<int64_t>(1000, av_rescale(AV_TIME_BASE / 2, rate.den, rate.num)) : 20000;
}

bool Transcoder::keyframeAt(int64_t us) {
    // Looked up on a second reader so that the main one keeps its place and its read-ahead.
    QString err;
    AVIOInterruptCB cb{&SessionControl::interrupt, &_control};
    _control.setDeadline(SessionControl::Clock::now() + kOpenTimeout);
    InputContextPtr probe = openInput(_req.input, cb, &err, false);
    bool found = false;
    if (probe && unsigned(_video) < probe->nb_streams) {
        const AVStream *st = probe->streams[_video];
        const int64_t half = halfFrameUs();
        const int64_t from = us + _ctx.clockOffsetUs - AV_TIME_BASE;
        if (avformat_seek_file(probe.get(), -1, INT64_MIN, std::max<int64_t>(0, from), std::max<int64_t>(0, from), 0) >=
            0) {
            for (int n = 0; n < 5000; ++n) {
                PacketPtr pkt = makePacket();
                if (!pkt || av_read_frame(probe.get(), pkt.get()) < 0)
                    break;
                if (pkt->stream_index != _video || pkt->pts == AV_NOPTS_VALUE)
                    continue;
                const int64_t ptsUs = av_rescale_q(pkt->pts, st->time_base, AV_TIME_BASE_Q) - _ctx.clockOffsetUs;
                if ((pkt->flags & AV_PKT_FLAG_KEY) && std::llabs(ptsUs - us) < half) {
                    found = true;
                    break;
                }
                if (ptsUs > us + AV_TIME_BASE)
                    break;
            }
        }
    }
    _control.clearDeadline();
    return found;
}

int Transcoder::copyChapters(AVFormatContext *out) {
    // Chapters follow the kept range: moved onto the output's clock, cut at its ends, left
    // out where nothing of them is kept. A container that holds no chapters ignores them.
    const int64_t keptEnd = _ctx.trimEndUs == INT64_MAX ? INT64_MAX : _ctx.trimEndUs - _ctx.trimStartUs;
    const int64_t shift = _ctx.clockOffsetUs + _ctx.trimStartUs;
    for (unsigned i = 0; i < _in->nb_chapters; ++i) {
        const AVChapter *c = _in->chapters[i];
        const int64_t start = std::max<int64_t>(0, av_rescale_q(c->start, c->time_base, AV_TIME_BASE_Q) - shift);
        const int64_t end = std::min(keptEnd, av_rescale_q(c->end, c->time_base, AV_TIME_BASE_Q) - shift);
        if (end <= start)
            continue;
        auto *chapter = static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter)));
        if (!chapter)
            return AVERROR(ENOMEM);
        chapter->id = c->id;
        chapter->time_base = AV_TIME_BASE_Q;
        chapter->start = start;
        chapter->end = end;
        // Owned by the output context from here on; avformat_free_context frees both.
        int count = int(out->nb_chapters);
        if (av_dict_copy(&chapter->metadata, c->metadata, 0) < 0 ||
            av_dynarray_add_nofree(&out->chapters, &count, chapter) < 0) {
            av_dict_free(&chapter->metadata);
            av_free(chapter);
            return AVERROR(ENOMEM);
        }
        out->nb_chapters = unsigned(count);
    }
    return 0;
}

int Transcoder::createOutputContext() {
    const QByteArray path = QFile::encodeName(_req.writeTo);
    AVFormatContext *raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, _fmt, nullptr, path.constData());
    if (rc < 0 || !raw)
        return fail(rc < 0 ? rc : AVERROR(ENOMEM), QStringLiteral("cannot set up the output container"));
    _out.reset(raw);
    _ctx.out = raw;
    raw->interrupt_callback = {&SessionControl::interrupt, &_control};
    av_dict_copy(&raw->metadata, _in->metadata, 0);
    for (const char *key : {"major_brand", "minor_version", "compatible_brands", "encoder", "duration"})
        av_dict_set(&raw->metadata, key, nullptr, 0);
    if ((rc = copyChapters(raw)) < 0)
        return fail(rc, QStringLiteral("cannot carry the chapters over"));
    return 0;
}

int Transcoder::setUpOutput() {
    int rc = createOutputContext();
    if (rc < 0)
        return rc;

    // A video part is always encoded: the parts are planned only for such conversions, and
    // a copy could not begin each part on a key picture of the output.
    _videoCopy = _req.pass != WorkPass::VideoPart && canCopyVideo();
    // A sample copies from the first key picture in its range, as the whole file would.
    if (_videoCopy && _startTrimmed && !_req.sample)
        _videoCopy = keyframeAtStart(); // frame accuracy wins over copying
    // With reordered pictures (B-frames) a copy can only end exactly where a key picture
    // begins the next group; any other end cut inside the file is encoded.
    if (_videoCopy && !_req.sample && _in->streams[_video]->codecpar->video_delay > 0 && _opt.recording_time() > 0) {
        const int64_t askedEnd = std::max<int64_t>(0, _opt.start_time()) + _opt.recording_time();
        const int64_t fileLength = _in->duration > 0 ? _in->duration : INT64_MAX;
        if (askedEnd < fileLength - 20000) {
            _videoCopy = keyframeAt(_ctx.trimEndUs);
            _ctx.copyEndsAtKey = _videoCopy;
            _ctx.copyEndSlackUs = halfFrameUs();
        }
    }
    _audioCopy = canCopyAudio();

    const Quality quality = qualityFromQscale(_opt.qscale());
    _trackFor.assign(_in->nb_streams, nullptr);
    if (_video >= 0) {
        AVStream *st = _in->streams[_video];
        if (_videoCopy) {
            auto t = std::make_unique<CopyTrack>(_ctx, st);
            if ((rc = t->setup()) < 0)
                return rc;
            _tracks.push_back(std::move(t));
        } else {
            VideoSetup vs;
            vs.encoder = chooseEncoder(_fmt, AVMEDIA_TYPE_VIDEO, _opt.videoCodeName());
            if (!vs.encoder)
                return refuse(QStringLiteral("no video encoder for the %1 container").arg(QLatin1String(_fmt->name)));
            vs.quality = quality;
            vs.crf = _req.crf;
            vs.requestWidth = clampDim(_opt.width());
            vs.requestHeight = clampDim(_opt.height());
            vs.requestRate = {_opt.frameRateNum(), _opt.frameRateDen()};
            vs.rotation = _rotation;
            vs.rate = _req.rate;
            if (isHdrTransfer(st->codecpar->color_trc))
                findHdrMetadata(_req.input, st, {&SessionControl::interrupt, &_control}, vs);
            if (_subtitleKind == SubtitleKind::Text) {
                vs.textSubtitlePath = QStringLiteral("file:") +
                                      QFileInfo(_subtitle >= 0 ? _req.input : _req.pluginSubtitle).absoluteFilePath();
                if (_subtitle >= 0) {
                    int rank = 0;
                    for (int i = 0; i < _subtitle; ++i)
                        if (_in->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
                            ++rank;
                    vs.textSubtitleIndex = rank;
                }
            } else if (_subtitleKind == SubtitleKind::Bitmap) {
                _bitmapSubs = std::make_unique<BitmapSubtitles>();
                QString err;
                if ((rc = _bitmapSubs->open(_in->streams[_subtitle], st->codecpar->width, st->codecpar->height, &err)) <
                    0)
                    return refuse(err);
                vs.bitmapSubtitles = _bitmapSubs.get();
            }
            auto t = std::make_unique<VideoTrack>(_ctx, st);
            if ((rc = t->setup(vs)) < 0)
                return rc;
            _tracks.push_back(std::move(t));
        }
        _trackFor[_video] = _tracks.back().get();
    }
    if (_audio >= 0) {
        AVStream *st = _in->streams[_audio];
        if (_audioCopy) {
            auto t = std::make_unique<CopyTrack>(_ctx, st);
            if ((rc = t->setup()) < 0)
                return rc;
            _tracks.push_back(std::move(t));
        } else {
            AudioSetup as;
            as.encoder = chooseEncoder(_fmt, AVMEDIA_TYPE_AUDIO, _opt.audioCodeName());
            if (!as.encoder)
                return refuse(QStringLiteral("no audio encoder for the %1 container").arg(QLatin1String(_fmt->name)));
            as.quality = quality;
            as.requestRate = _opt.sample_rate();
            as.requestChannels = _opt.channels();
            as.volume = _opt.audio_volume();
            auto t = std::make_unique<AudioTrack>(_ctx, st);
            if ((rc = t->setup(as)) < 0)
                return rc;
            _audioTrack = t.get();
            _tracks.push_back(std::move(t));
        }
        _trackFor[_audio] = _tracks.back().get();
    }
    for (const KeptSubtitle &k : _keptSubtitles) {
        auto t = std::make_unique<SubtitleTrack>(_ctx, _in->streams[k.stream]);
        if ((rc = t->setup(k.encoder)) < 0)
            return rc;
        _trackFor[k.stream] = t.get();
        _tracks.push_back(std::move(t));
    }
    // Measuring reads only the sound and runs many times faster than encoding pictures;
    // next to sound alone it takes about a third of the time.
    if (_audioTrack && _opt.evensLoudness())
        _measureShare = _video >= 0 && !_videoCopy ? 0.1 : 0.35;
    // The demuxer can skip what nobody reads.
    for (unsigned i = 0; i < _in->nb_streams; ++i)
        if (!_trackFor[i] && !(_bitmapSubs && int(i) == _subtitle))
            _in->streams[i]->discard = AVDISCARD_ALL;
    foundation::Log::debug(QStringLiteral("convert %1 -> %2 [%3]: video %4, audio %5, subtitle tracks %6")
                               .arg(_req.input, _req.output, QLatin1String(_fmt->name))
                               .arg(_video < 0   ? "none"
                                    : _videoCopy ? "copy"
                                                 : "encode")
                               .arg(_audio < 0   ? "none"
                                    : _audioCopy ? "copy"
                                                 : "encode")
                               .arg(_keptSubtitles.size()));
    return 0;
}

int Transcoder::openOutputFile() {
    AVFormatContext *out = _out.get();
    if (_req.pass != WorkPass::Whole) {
        // A part holds one stream, described by the encoder as it will be in the output;
        // the muxer sees it only at the join.
        if (out->nb_streams != 1)
            return refuse(QStringLiteral("a part of a conversion holds exactly one stream"));
        const int rc = _workFile.open(_req.writeTo, out->streams[0]);
        if (rc < 0)
            return fail(rc, QStringLiteral("cannot create the work file %1").arg(_req.writeTo));
        _ctx.workFile = &_workFile;
        return 0;
    }
    if (!(_fmt->flags & AVFMT_NOFILE)) {
        // "file:" keeps a name such as "a:b.mp4" from being read as a protocol.
        const QByteArray url = "file:" + QFile::encodeName(_req.writeTo);
        const int rc = avio_open2(&out->pb, url.constData(), AVIO_FLAG_WRITE, &out->interrupt_callback, nullptr);
        if (rc < 0)
            return fail(rc, QStringLiteral("cannot create the output file %1").arg(_req.output));
        _outputOpened = true;
        struct stat sb {};
        if (::stat(QFile::encodeName(_req.writeTo).constData(), &sb) == 0) {
            _outDev = sb.st_dev;
            _outIno = sb.st_ino;
            _writeBehindFd = ::open(QFile::encodeName(_req.writeTo).constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
            struct stat same {};
            if (_writeBehindFd >= 0 &&
                (::fstat(_writeBehindFd, &same) != 0 || same.st_dev != _outDev || same.st_ino != _outIno)) {
                ::close(_writeBehindFd);
                _writeBehindFd = -1;
            }
        }
    }
    const int rc = avformat_write_header(out, nullptr);
    if (rc < 0)
        return fail(rc, QStringLiteral("the %1 container refused the streams").arg(QLatin1String(_fmt->name)));
    _headerWritten = true;
    return 0;
}

double Transcoder::percentDone() const {
    // The pictures being encoded carry the work: the sound runs ahead of them by what the
    // video encoder holds back (its look-ahead), so it would leap at the start and then
    // stand near the end while the encoder drains.
    int64_t pos = -1;
    for (const auto &t : _tracks)
        if (!t->copies() && t->type() == AVMEDIA_TYPE_VIDEO)
            pos = std::max(pos, t->positionUs);
    if (pos < 0)
        pos = reachedUs();
    double percent = 0;
    if (_totalUs > 0) {
        percent = 100.0 * double(pos) / double(_totalUs);
    } else {
        // Unknown length: how far into the file the demuxer is.
        AVIOContext *pb = _in->pb;
        const int64_t size = pb ? avio_size(pb) : -1;
        percent = size > 0 ? 100.0 * double(avio_tell(pb)) / double(size) : 0.0;
    }
    // The measuring pass of even loudness came first.
    return 100.0 * _measureShare + (1.0 - _measureShare) * percent;
}

int Transcoder::measureLoudness() {
    if (!_audioTrack || !_opt.evensLoudness())
        return 0;
    return _audioTrack->measureLoudness(_req.input, _opt.loudnessTarget(), [this](double done) {
        if (_progress)
            _progress(100.0 * _measureShare * done);
    });
}

int Transcoder::subtitleLeadIn() {
    if (!_startTrimmed || _keptSubtitles.empty())
        return 0;
    // Longer than any cue a film shows; bounds what is read again of a long file.
    constexpr int64_t kLongestCueUs = 60'000'000;
    QString err;
    AVIOInterruptCB cb{&SessionControl::interrupt, &_control};
    _control.setDeadline(SessionControl::Clock::now() + kOpenTimeout);
    InputContextPtr in = openInput(_req.input, cb, &err, false);
    _control.clearDeadline();
    if (!in || in->nb_streams != _in->nb_streams)
        return _control.cancelled() ? AVERROR_EXIT : 0; // the cues across the start are lost, nothing else
    for (unsigned i = 0; i < in->nb_streams; ++i)
        in->streams[i]->discard = AVDISCARD_ALL;
    for (const KeptSubtitle &k : _keptSubtitles) {
        in->streams[k.stream]->discard = AVDISCARD_DEFAULT;
        static_cast<SubtitleTrack *>(_trackFor[k.stream])->beginLeadIn();
    }
    const int64_t from = _ctx.trimStartUs + _ctx.clockOffsetUs - kLongestCueUs;
    if (from > 0)
        avformat_seek_file(in.get(), -1, INT64_MIN, from, from, 0);
    PacketPtr pkt = makePacket();
    if (!pkt)
        return fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    while (av_read_frame(in.get(), pkt.get()) >= 0) {
        if (!_control.checkpoint())
            return AVERROR_EXIT;
        const AVStream *st = in->streams[pkt->stream_index];
        const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        // Files keep their streams in time order: past the start, the rest is the loop's.
        if (ts != AV_NOPTS_VALUE &&
            av_rescale_q(ts, st->time_base, AV_TIME_BASE_Q) - _ctx.clockOffsetUs >= _ctx.trimStartUs)
            break;
        Track *t = _trackFor[pkt->stream_index];
        const int rc = t && isSubtitle(*t) ? static_cast<SubtitleTrack *>(t)->handleLeadIn(pkt.get()) : 0;
        av_packet_unref(pkt.get());
        if (rc < 0)
            return rc;
    }
    return 0;
}

int Transcoder::readLoop(bool *inputEnded) {
    PacketPtr pkt = makePacket();
    if (!pkt)
        return fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    for (;;) {
        if (!_control.checkpoint())
            return AVERROR_EXIT;
        // A subtitle track may hold no cue after the kept range: it never says it is done.
        if (std::all_of(_tracks.begin(), _tracks.end(), [](const auto &t) { return t->inputDone || isSubtitle(*t); }))
            return 0;
        int rc = 0;
        if (!_pending.empty()) {
            av_packet_move_ref(pkt.get(), _pending.front().get());
            _pending.pop_front();
        } else {
            rc = av_read_frame(_in.get(), pkt.get());
        }
        if (rc == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (rc < 0) {
            if (_control.cancelled())
                return AVERROR_EXIT;
            // A file that cannot be read any more is a failure, not an end. Data the
            // demuxer cannot make sense of ends the input; whether too early is then judged
            // by the length reached (checkInputLength).
            if (rc != AVERROR_EOF && rc != AVERROR_INVALIDDATA)
                return fail(rc, QStringLiteral("reading the input failed at %1 s: %2")
                                    .arg(double(reachedUs()) / 1e6, 0, 'f', 1)
                                    .arg(avError(rc)));
            if (rc != AVERROR_EOF)
                foundation::Log::debug(QStringLiteral("reading %1 stopped: %2").arg(_req.input, avError(rc)));
            *inputEnded = true;
            return 0;
        }
        const int idx = pkt->stream_index;
        if (farPastStatedLength(pkt.get())) {
            // Dropped rather than failing the job: the rest of the file is sound, and a
            // file that is damaged throughout ends short and is judged by its length.
            if (_jumpsDropped++ == 0)
                foundation::Log::line(QStringLiteral("Dropping packets of %1 timed far past its stated %2 s")
                                          .arg(_req.input)
                                          .arg(double(_in->duration) / 1e6, 0, 'f', 2));
            av_packet_unref(pkt.get());
            continue;
        }
        if (idx >= 0 && idx < int(_trackFor.size()) && _trackFor[idx]) {
            _trackFor[idx]->noteSent(pkt.get());
            rc = _trackFor[idx]->handlePacket(pkt.get());
        } else if (_bitmapSubs && idx == _subtitle) {
            _bitmapSubs->handlePacket(pkt.get(), _ctx.clockOffsetUs);
        }
        av_packet_unref(pkt.get());
        if (rc < 0)
            return rc;
        writeBehind();
        if (_progress)
            _progress(percentDone());
    }
}

int Transcoder::finishTracks(bool inputEnded) {
    for (const auto &t : _tracks) {
        const int rc = t->finish(inputEnded);
        if (rc < 0)
            return rc;
    }
    int64_t written = 0;
    for (const auto &t : _tracks) {
        if (const QString why = t->unusable(); !why.isEmpty())
            return refuse(QStringLiteral("the input cannot be converted: %1").arg(why));
        if (!isSubtitle(*t))
            written += t->packetsWritten;
        if (const auto *enc = dynamic_cast<const EncodeTrack *>(t.get());
            enc && enc->framesDecoded() == 0 && t->type() == AVMEDIA_TYPE_VIDEO && !_startTrimmed)
            return refuse(QStringLiteral("the video could not be decoded"));
    }
    // A piece of a copied stream may hold no key picture to begin at; its bytes were counted.
    // A video part at the very end may hold nothing: the stated length ran a little long.
    if (written == 0 && !_req.sample && !_req.mayBeEmpty)
        return refuse(_startTrimmed ? QStringLiteral("nothing to convert in the chosen range")
                                    : QStringLiteral("the input could not be decoded"));
    return 0;
}

int64_t Transcoder::reachedUs() const {
    int64_t pos = 0;
    for (const auto &t : _tracks)
        if (!isSubtitle(*t))
            pos = std::max(pos, t->positionUs);
    return pos;
}

int Transcoder::checkInputLength(bool inputEnded) {
    // Below this much, missing time is the rounding of stated lengths and frame edges.
    const auto slack = [](int64_t of) { return std::max<int64_t>(kShortInputSlackUs, of / 20); };
    // Packets that came and did not prove sound: overwritten or undecodable stretches.
    // Before the input's end only what lies before the last sound part is judged; the
    // rest may still sit in a decoder. Subtitles are not judged: a few cues over a long
    // film cover next to nothing of it, and their gaps are no damage.
    for (const auto &t : _tracks) {
        if (isSubtitle(*t))
            continue;
        const int64_t until = inputEnded ? INT64_MAX : t->sound.endUs();
        const int64_t lost = t->sent.notIn(t->sound, until);
        if (lost > slack(t->sent.coveredUs()))
            return refuse(
                QStringLiteral("%1 s of the input's %2 could not be read: it is damaged")
                    .arg(double(lost) / 1e6, 0, 'f', 1)
                    .arg(t->type() == AVMEDIA_TYPE_VIDEO ? QStringLiteral("video") : QStringLiteral("audio")));
    }
    // The sound made on its own beside the pictures' parts: the parts judge the length, as
    // the pictures do beside a sound that begins late or ends early in one piece.
    if (!inputEnded || _totalUs <= 0 || !_lengthPromised || _req.pass == WorkPass::Sound)
        return 0;
    // What the streams covered, not the furthest time stamp: a damaged packet may claim
    // any time. Holes under a second are stills and jitter.
    int64_t reached = 0;
    for (const auto &t : _tracks)
        if (!isSubtitle(*t))
            reached = std::max(reached, std::min(t->sound.coveredUs(kShortInputSlackUs), _totalUs));
    if (_totalUs - reached <= slack(_totalUs))
        return 0;
    return refuse(QStringLiteral("the input ends after %1 s of the %2 s it states: it is cut short or damaged")
                      .arg(double(reached) / 1e6, 0, 'f', 1)
                      .arg(double(_totalUs) / 1e6, 0, 'f', 1));
}

void Transcoder::writeBehind() {
    // Large enough that the calls cost nothing next to the copying, small enough that the
    // disk works alongside the muxer instead of after it.
    constexpr int64_t kChunk = 8 << 20;
    const AVIOContext *pb = _out ? _out->pb : nullptr;
    if (_writeBehindFd < 0 || !pb || pb->pos - _writtenBehind < kChunk)
        return;
    if (::sync_file_range(_writeBehindFd, _writtenBehind, pb->pos - _writtenBehind, SYNC_FILE_RANGE_WRITE) != 0) {
        // A file system without it: the final fsync does all the work, as before.
        ::close(_writeBehindFd);
        _writeBehindFd = -1;
        return;
    }
    _writtenBehind = pb->pos;
}

int Transcoder::closeOutput() {
    AVFormatContext *out = _out.get();
    if (_req.pass != WorkPass::Whole) {
        const int rc = _workFile.finish();
        return rc < 0 ? fail(rc, QStringLiteral("cannot write the work file %1").arg(_req.writeTo)) : 0;
    }
    int rc = av_write_trailer(out);
    if (rc < 0)
        return fail(rc, QStringLiteral("cannot finish the output file"));
    if (out->pb && !(_fmt->flags & AVFMT_NOFILE)) {
        avio_flush(out->pb);
        const int err = out->pb->error;
        rc = avio_closep(&out->pb);
        if (err < 0)
            return fail(err, QStringLiteral("cannot write the output file"));
        if (rc < 0)
            return fail(rc, QStringLiteral("cannot close the output file"));
    }
    return 0;
}

} // namespace fw

namespace fw {

bool Transcoder::survey(Survey *out, QString *error) {
    const int rc = openAndChoose();
    if (rc < 0) {
        *error = _ctx.error.isEmpty() ? avError(rc) : _ctx.error;
        return false;
    }
    computeClock();
    *out = Survey{};
    out->hasSound = _audio >= 0;
    out->soundStream = _audio;
    out->lengthUs = _lengthPromised ? _totalUs : 0;
    out->keepsSubtitleTracks = !_keptSubtitles.empty();
    out->notes = _notes;
    if (_video < 0 || canCopyVideo())
        return true;
    AVStream *st = _in->streams[_video];
    const AVCodec *encoder = chooseEncoder(_fmt, AVMEDIA_TYPE_VIDEO, _opt.videoCodeName());
    if (!encoder)
        return true;
    out->encodesVideo = true;
    const AVRational srcRate = av_guess_frame_rate(_in.get(), st, nullptr);
    const VideoTarget t = videoTarget(encoder, _fmt, st->codecpar->width, st->codecpar->height, clampDim(_opt.width()),
                                      clampDim(_opt.height()), srcRate, {_opt.frameRateNum(), _opt.frameRateDen()},
                                      static_cast<AVPixelFormat>(st->codecpar->format));
    out->frameRate = t.frameRate;
    out->changesRate = t.forceRate || av_cmp_q(t.frameRate, srcRate) != 0;
    return true;
}

bool Transcoder::join(const JoinPlan &plan, const std::function<void(double)> &progress, QString *error) {
    int rc = 0;
    QString containerError;
    _fmt = resolveContainer(_opt.format(), _req.output, &containerError);
    if (!_fmt)
        rc = refuse(containerError);
    if (rc >= 0 && plan.videoParts.isEmpty())
        rc = refuse(QStringLiteral("nothing to join"));
    // The input gives the file's metadata and chapters, as a conversion in one piece does.
    if (rc >= 0)
        rc = openInputFile();
    if (rc >= 0)
        rc = selectStreams();
    if (rc >= 0) {
        computeClock();
        rc = createOutputContext();
    }
    auto part = std::make_unique<WorkFileReader>();
    WorkFileReader sound;
    AVStream *videoOut = nullptr, *soundOut = nullptr;
    if (rc >= 0 && (rc = part->open(plan.videoParts.first())) < 0)
        rc = fail(rc, QStringLiteral("cannot read the work file %1").arg(plan.videoParts.first()));
    if (rc >= 0 && !(videoOut = part->addStreamTo(_out.get())))
        rc = fail(AVERROR(ENOMEM), QStringLiteral("cannot add an output stream"));
    if (rc >= 0 && !plan.sound.isEmpty()) {
        if ((rc = sound.open(plan.sound, WorkFileReader::Behind::Release)) < 0)
            rc = fail(rc, QStringLiteral("cannot read the work file %1").arg(plan.sound));
        else if (!(soundOut = sound.addStreamTo(_out.get())))
            rc = fail(AVERROR(ENOMEM), QStringLiteral("cannot add an output stream"));
    }
    const AVRational videoTb = part->timeBase();
    const AVCodecID videoCodec = part->parameters() ? part->parameters()->codec_id : AV_CODEC_ID_NONE;
    if (rc >= 0)
        rc = openOutputFile();

    PacketPtr video = makePacket(), audio = makePacket();
    bool videoReady = false, audioReady = false, videoEnded = false, audioEnded = soundOut == nullptr;
    qsizetype partIndex = 0;
    // Part k was encoded on its own clock, starting at 0: it begins k parts of frames later.
    const auto offset = [&] {
        return av_rescale_q(int64_t(partIndex) * plan.framesPerPart, av_inv_q(plan.frameRate), videoTb);
    };
    const auto nextVideo = [&]() -> int {
        for (;;) {
            int r = part->read(video.get());
            if (r < 0)
                return fail(r, QStringLiteral("the work file %1 is damaged").arg(plan.videoParts[partIndex]));
            if (r == 1) {
                const int64_t shift = offset();
                if (video->pts != AV_NOPTS_VALUE)
                    video->pts += shift;
                if (video->dts != AV_NOPTS_VALUE)
                    video->dts += shift;
                return 1;
            }
            // Copied: the disk need not hold it beside the output any more.
            part.reset();
            ::unlink(QFile::encodeName(plan.videoParts[partIndex]).constData());
            if (++partIndex >= plan.videoParts.size())
                return 0;
            if (progress)
                progress(double(partIndex) / double(plan.videoParts.size()));
            part = std::make_unique<WorkFileReader>();
            if ((r = part->open(plan.videoParts[partIndex])) < 0)
                return fail(r, QStringLiteral("cannot read the work file %1").arg(plan.videoParts[partIndex]));
            if (av_cmp_q(part->timeBase(), videoTb) != 0 || part->parameters()->codec_id != videoCodec)
                return refuse(QStringLiteral("the parts of the conversion do not fit together"));
        }
    };
    const auto put = [&](AVPacket *pkt, AVRational tb, AVStream *st) {
        pkt->stream_index = st->index;
        av_packet_rescale_ts(pkt, tb, st->time_base);
        pkt->pos = -1;
        const int r = av_interleaved_write_frame(_out.get(), pkt);
        if (r < 0)
            return fail(r, QStringLiteral("cannot write the output file"));
        writeBehind();
        return 0;
    };
    const auto when = [](const AVPacket *pkt) { return pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts; };
    while (rc >= 0 && (!videoEnded || !audioEnded)) {
        if (!_control.checkpoint()) {
            rc = AVERROR_EXIT;
            break;
        }
        if (!videoReady && !videoEnded) {
            const int r = nextVideo();
            if (r < 0) {
                rc = r;
                break;
            }
            videoReady = r == 1;
            videoEnded = r == 0;
        }
        if (!audioReady && !audioEnded) {
            const int r = sound.read(audio.get());
            if (r < 0) {
                rc = fail(r, QStringLiteral("the work file %1 is damaged").arg(plan.sound));
                break;
            }
            audioReady = r == 1;
            audioEnded = r == 0;
        }
        // In time order, so that the muxer's interleaving holds little.
        const bool takeVideo = videoReady && (!audioReady || av_compare_ts(when(video.get()), videoTb,
                                                                           when(audio.get()), sound.timeBase()) <= 0);
        if (takeVideo) {
            rc = put(video.get(), videoTb, videoOut);
            videoReady = false;
        } else if (audioReady) {
            rc = put(audio.get(), sound.timeBase(), soundOut);
            audioReady = false;
        }
    }
    if (rc >= 0)
        rc = closeOutput();
    if (rc < 0 || _control.cancelled()) {
        *error = _control.cancelled() ? QString() : _ctx.error.isEmpty() ? avError(rc) : _ctx.error;
        _out.reset();
        return false;
    }
    error->clear();
    return true;
}

} // namespace fw
