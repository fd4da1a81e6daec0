#include "Pipeline.h"

#include "WorkFile.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <sys/resource.h>

namespace fw {

int PipelineContext::fail(int code, const QString &what) {
    if (error.isEmpty())
        error = code < 0 && code != AVERROR_EXIT ? QStringLiteral("%1: %2").arg(what, avError(code)) : what;
    return code < 0 ? code : AVERROR_UNKNOWN;
}

int PipelineContext::refuse(const QString &what) {
    if (error.isEmpty())
        error = what;
    return AVERROR(EINVAL);
}

// ---------------------------------------------------------------------------------------

AVFilterContext *GraphBuilder::create(const char *filter, Options options, const char *label) {
    const AVFilter *f = avfilter_get_by_name(filter);
    if (!f) {
        _error = QStringLiteral("this FFmpeg has no '%1' filter").arg(QLatin1String(filter));
        return nullptr;
    }
    const QByteArray name = label ? QByteArray(label) : QByteArray(filter) + '_' + QByteArray::number(_count++);
    AVFilterContext *ctx = avfilter_graph_alloc_filter(_graph, f, name.constData());
    if (!ctx) {
        _error = QStringLiteral("out of memory");
        return nullptr;
    }
    AVDictionary *dict = nullptr;
    for (const auto &[key, value] : options)
        av_dict_set(&dict, key, value.toUtf8().constData(), 0);
    const int rc = avfilter_init_dict(ctx, &dict);
    const bool leftovers = av_dict_count(dict) > 0;
    av_dict_free(&dict);
    if (rc < 0 || leftovers) {
        _error = QStringLiteral("cannot set up the '%1' filter%2")
                     .arg(QLatin1String(filter), rc < 0 ? QStringLiteral(": ") + avError(rc) : QString());
        return nullptr; // the graph frees the half-made filter
    }
    return ctx;
}

bool GraphBuilder::link(AVFilterContext *from, int fromPad, AVFilterContext *to, int toPad) {
    const int rc = avfilter_link(from, fromPad, to, toPad);
    if (rc < 0) {
        _error = QStringLiteral("cannot link %1 to %2: %3")
                     .arg(QLatin1String(from->name), QLatin1String(to->name), avError(rc));
        return false;
    }
    return true;
}

bool GraphBuilder::append(const char *filter, Options options) {
    AVFilterContext *f = create(filter, options);
    if (!f)
        return false;
    if (_tail && !link(_tail, 0, f, 0))
        return false;
    _tail = f;
    return true;
}

// ---------------------------------------------------------------------------------------

namespace {
// A day and a bit of output: a timestamp beyond it is damage, never a reason to grow.
constexpr int64_t kMaxBins = 1'000'000;
} // namespace

void Coverage::add(int64_t startUs, int64_t durationUs) {
    const int64_t endUs = startUs + std::max<int64_t>(durationUs, 0);
    if (endUs < 0)
        return;
    const int64_t first = std::max<int64_t>(startUs, 0) / kBinUs;
    // An interval covers the bins it overlaps; a point covers its own.
    const int64_t last = std::min<int64_t>(durationUs > 0 ? (endUs - 1) / kBinUs : first, kMaxBins - 1);
    if (first > last)
        return;
    if (int64_t(_bins.size()) <= last)
        _bins.resize(size_t(last + 1), 0);
    std::fill(_bins.begin() + first, _bins.begin() + last + 1, uint8_t(1));
}

double processCpuSeconds() {
    rusage u{};
    if (::getrusage(RUSAGE_SELF, &u) != 0)
        return 0;
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int64_t Coverage::coveredUs(int64_t fillUs) const {
    const int64_t fillBins = fillUs / kBinUs;
    int64_t bins = 0, hole = 0;
    bool seen = false;
    for (const uint8_t b : _bins) {
        if (!b) {
            ++hole;
            continue;
        }
        // A hole before the first covered bin is the output's start, not a hole.
        if (seen && hole <= fillBins)
            bins += hole;
        hole = 0;
        seen = true;
        ++bins;
    }
    return bins * kBinUs;
}

int64_t Coverage::notIn(const Coverage &other, int64_t untilUs) const {
    const int64_t end = std::min<int64_t>(int64_t(_bins.size()), untilUs / kBinUs);
    // What comes before the other's first bin is a lead-in: a stream cut inside a group of
    // pictures decodes from its next key picture on.
    const auto first = std::find(other._bins.begin(), other._bins.end(), uint8_t(1));
    if (first == other._bins.end())
        return 0;
    int64_t bins = 0;
    for (int64_t i = first - other._bins.begin(); i < end; ++i)
        if (_bins[size_t(i)] && (i >= int64_t(other._bins.size()) || !other._bins[size_t(i)]))
            ++bins;
    return bins * kBinUs;
}

void Track::noteSpan(Coverage &c, int64_t ts, int64_t duration) const {
    if (ts == AV_NOPTS_VALUE)
        return;
    const AVRational tb = inStream->time_base;
    const int64_t start = av_rescale_q(ts, tb, AV_TIME_BASE_Q) - _ctx.clockOffsetUs - _ctx.trimStartUs;
    // Past the kept range nothing is owed.
    if (_ctx.trimsEnd() && start >= _ctx.trimEndUs - _ctx.trimStartUs)
        return;
    c.add(start, duration > 0 ? av_rescale_q(duration, tb, AV_TIME_BASE_Q) : 0);
}

int64_t Track::nominalDuration(const AVPacket *pkt) const {
    const AVCodecParameters *par = inStream->codecpar;
    const AVRational tb = inStream->time_base;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0) {
        const int samples = av_get_audio_frame_duration2(const_cast<AVCodecParameters *>(par), pkt ? pkt->size : 0);
        if (samples > 0)
            return av_rescale_q(samples, AVRational{1, par->sample_rate}, tb);
    }
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        const AVRational rate = av_guess_frame_rate(_ctx.in, inStream, nullptr);
        if (rate.num > 0 && rate.den > 0)
            return av_rescale_q(1, av_inv_q(rate), tb);
    }
    return 0;
}

void Track::noteSent(const AVPacket *pkt) {
    if (inputDone)
        return;
    noteSpan(sent, pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts,
             pkt->duration > 0 ? pkt->duration : nominalDuration(pkt));
}

int Track::writePacket(AVPacket *pkt, AVRational tb) {
    pkt->stream_index = outStream->index;
    av_packet_rescale_ts(pkt, tb, outStream->time_base);
    pkt->pos = -1;
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts != AV_NOPTS_VALUE)
        positionUs = std::max(
            positionUs, av_rescale_q(ts + std::max<int64_t>(pkt->duration, 0), outStream->time_base, AV_TIME_BASE_Q));
    const int64_t size = pkt->size;
    const int rc = _ctx.workFile ? _ctx.workFile->write(pkt) : av_interleaved_write_frame(_ctx.out, pkt);
    if (_ctx.workFile)
        av_packet_unref(pkt);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot write the output file"));
    if (packetsWritten == 0)
        firstPacketBytes = size;
    ++packetsWritten;
    bytesWritten += size;
    if (_ctx.written)
        _ctx.written();
    return 0;
}

// ---------------------------------------------------------------------------------------

int CopyTrack::setup() {
    outStream = avformat_new_stream(_ctx.out, nullptr);
    if (!outStream)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("cannot add an output stream"));
    int rc = avcodec_parameters_copy(outStream->codecpar, inStream->codecpar);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot copy the stream parameters"));
    // Keep the source's codec tag only where the container knows it for this codec.
    const AVCodecTag *const *tags = _ctx.out->oformat->codec_tag;
    const uint32_t tag = inStream->codecpar->codec_tag;
    unsigned int known = 0;
    if (tags && av_codec_get_id(tags, tag) != inStream->codecpar->codec_id &&
        av_codec_get_tag2(tags, inStream->codecpar->codec_id, &known))
        outStream->codecpar->codec_tag = 0;
    outStream->time_base = inStream->time_base;
    outStream->sample_aspect_ratio = inStream->sample_aspect_ratio;
    outStream->avg_frame_rate = inStream->avg_frame_rate;
    outStream->r_frame_rate = inStream->r_frame_rate;
    outStream->disposition = inStream->disposition & (AV_DISPOSITION_DEFAULT | AV_DISPOSITION_FORCED);
    for (const char *key : {"language", "title"})
        if (const AVDictionaryEntry *e = av_dict_get(inStream->metadata, key, nullptr, 0))
            av_dict_set(&outStream->metadata, key, e->value, 0);
    // Rotation and the like travel with the stream.
    for (int i = 0; i < inStream->nb_side_data; ++i) {
        const AVPacketSideData &sd = inStream->side_data[i];
        uint8_t *dst = av_stream_new_side_data(outStream, sd.type, sd.size);
        if (!dst)
            return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
        std::memcpy(dst, sd.data, sd.size);
    }
    return 0;
}

namespace {
// Overwritten stretches of a file read back as zeros. A compressed packet is never all
// zeros (it has headers, sync words, lengths); uncompressed silence or black is.
bool uncompressed(AVCodecID id) {
    return (id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT) || id == AV_CODEC_ID_RAWVIDEO ||
           id == AV_CODEC_ID_V210 || id == AV_CODEC_ID_R210 || id == AV_CODEC_ID_V308 || id == AV_CODEC_ID_V408 ||
           id == AV_CODEC_ID_Y41P || id == AV_CODEC_ID_YUV4 || id == AV_CODEC_ID_AYUV;
}

bool allZero(const AVPacket *pkt) {
    for (int i = 0; i < pkt->size; ++i)
        if (pkt->data[i])
            return false;
    return true;
}
} // namespace

void CopyTrack::tryDecoding(const AVPacket *pkt) {
    if (_decodes || !_unusable.isEmpty())
        return;
    if (!_trial && _trialPackets == 0) {
        const AVCodec *codec = avcodec_find_decoder(inStream->codecpar->codec_id);
        _trial.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
        if (_trial) {
            _trial->pkt_timebase = inStream->time_base;
            _trial->thread_count = 1;
            if (avcodec_parameters_to_context(_trial.get(), inStream->codecpar) < 0 ||
                avcodec_open2(_trial.get(), codec, nullptr) < 0)
                _trial.reset();
        }
        if (!_trial) {
            _decodes = true; // no decoder here to judge by: the copy is taken on trust
            return;
        }
    }
    if (!_trial)
        return;
    ++_trialPackets;
    FramePtr frame = makeFrame();
    avcodec_send_packet(_trial.get(), pkt);
    if (avcodec_receive_frame(_trial.get(), frame.get()) >= 0) {
        _decodes = true;
        stopTrying();
        return;
    }
    // Decoders hold a few packets back (threads, reordering); a few hundred without one
    // picture or sound is a stream that does not decode.
    constexpr int kTrialPackets = 300;
    if (!pkt || _trialPackets >= kTrialPackets) {
        _unusable = QStringLiteral("its %1 %2 stream could not be decoded")
                        .arg(QLatin1String(avcodec_get_name(inStream->codecpar->codec_id)),
                             type() == AVMEDIA_TYPE_VIDEO ? QStringLiteral("video") : QStringLiteral("audio"));
        stopTrying();
    }
}

int CopyTrack::finish(bool inputEnded) {
    if (inputEnded && !_decodes && _unusable.isEmpty() && _trial)
        tryDecoding(nullptr);
    return 0;
}

int CopyTrack::handlePacket(AVPacket *pkt) {
    if (inputDone)
        return 0;
    tryDecoding(pkt);
    const AVRational tb = inStream->time_base;
    const int64_t off = clockOffsetIn(tb);
    if (pkt->pts != AV_NOPTS_VALUE)
        pkt->pts -= off;
    if (pkt->dts != AV_NOPTS_VALUE)
        pkt->dts -= off;
    if (_ctx.trimsEnd()) {
        // Decode order decides, so that nothing a kept picture refers to is cut away.
        const int64_t t = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
        const bool endKey = _ctx.copyEndsAtKey && type() == AVMEDIA_TYPE_VIDEO && (pkt->flags & AV_PKT_FLAG_KEY) &&
                            pkt->pts != AV_NOPTS_VALUE &&
                            av_rescale_q(pkt->pts, tb, AV_TIME_BASE_Q) >= _ctx.trimEndUs - _ctx.copyEndSlackUs;
        if (endKey || (t != AV_NOPTS_VALUE && av_rescale_q(t, tb, AV_TIME_BASE_Q) >= _ctx.trimEndUs)) {
            inputDone = true;
            return 0;
        }
    }
    if (type() == AVMEDIA_TYPE_VIDEO) {
        // A copy can only begin at a picture that decodes on its own.
        if (!_sawKey && !(pkt->flags & AV_PKT_FLAG_KEY)) {
            if (_ctx.sample && pkt->pts != AV_NOPTS_VALUE &&
                av_rescale_q(pkt->pts, tb, AV_TIME_BASE_Q) >= _ctx.trimStartUs)
                bytesWritten += pkt->size;
            return 0;
        }
        _sawKey = true;
        // Leading pictures of an open GOP that show before the cut.
        if (_ctx.trimsStart() && pkt->pts != AV_NOPTS_VALUE &&
            av_rescale_q(pkt->pts + std::max<int64_t>(pkt->duration, 1), tb, AV_TIME_BASE_Q) <= _ctx.trimStartUs)
            return 0;
    }
    if (uncompressed(inStream->codecpar->codec_id) || !allZero(pkt))
        noteSpan(sound, (pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts) + off,
                 pkt->duration > 0 ? pkt->duration : nominalDuration(pkt));
    const int64_t start = av_rescale_q(_ctx.trimStartUs, AV_TIME_BASE_Q, tb);
    if (pkt->pts != AV_NOPTS_VALUE)
        pkt->pts -= start;
    if (pkt->dts != AV_NOPTS_VALUE)
        pkt->dts -= start;
    return writePacket(pkt, tb);
}

// ---------------------------------------------------------------------------------------

int EncodeTrack::openDecoder() {
    const AVCodecParameters *par = inStream->codecpar;
    const AVCodec *codec = avcodec_find_decoder(par->codec_id);
    if (!codec)
        return _ctx.fail(
            AVERROR_DECODER_NOT_FOUND,
            QStringLiteral("no decoder for the %1 stream").arg(QLatin1String(avcodec_get_name(par->codec_id))));
    _dec.reset(avcodec_alloc_context3(codec));
    if (!_dec)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    int rc = avcodec_parameters_to_context(_dec.get(), par);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot set up the decoder"));
    _dec->pkt_timebase = inStream->time_base;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO)
        _dec->framerate = av_guess_frame_rate(_ctx.in, inStream, nullptr);
    _dec->thread_count = _ctx.threads;
    _dec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    rc = avcodec_open2(_dec.get(), codec, nullptr);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot open the %1 decoder").arg(QLatin1String(codec->name)));
    return 0;
}

int EncodeTrack::openEncoder(const AVCodec *codec, AVDictionary **opts) {
    if (_ctx.out->oformat->flags & AVFMT_GLOBALHEADER)
        _enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int rc = avcodec_open2(_enc.get(), codec, opts);
    av_dict_free(opts);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot open the %1 encoder").arg(QLatin1String(codec->name)));
    return 0;
}

int EncodeTrack::createOutputStream() {
    outStream = avformat_new_stream(_ctx.out, nullptr);
    if (!outStream)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("cannot add an output stream"));
    const int rc = avcodec_parameters_from_context(outStream->codecpar, _enc.get());
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot describe the output stream"));
    outStream->time_base = _enc->time_base;
    if (_enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        outStream->sample_aspect_ratio = _enc->sample_aspect_ratio;
        outStream->avg_frame_rate = _enc->framerate;
        // Apple players want the parameter sets out of band for HEVC.
        const char *mux = _ctx.out->oformat->name;
        if (_enc->codec_id == AV_CODEC_ID_HEVC &&
            (!std::strcmp(mux, "mp4") || !std::strcmp(mux, "mov") || !std::strcmp(mux, "ipod")))
            outStream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    }
    for (const char *key : {"language", "title"})
        if (const AVDictionaryEntry *e = av_dict_get(inStream->metadata, key, nullptr, 0))
            av_dict_set(&outStream->metadata, key, e->value, 0);
    return 0;
}

int EncodeTrack::handlePacket(AVPacket *pkt) {
    if (inputDone)
        return 0;
    int rc = avcodec_send_packet(_dec.get(), pkt);
    if (rc == AVERROR(ENOMEM))
        return _ctx.fail(rc, QStringLiteral("decoding"));
    if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF)
        ++_decodeErrors; // a damaged packet; the decoder resynchronises on the next ones
    return decodeLoop();
}

int EncodeTrack::decodeLoop() {
    for (;;) {
        const int rc = avcodec_receive_frame(_dec.get(), _frame.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return 0;
        if (rc == AVERROR(ENOMEM))
            return _ctx.fail(rc, QStringLiteral("decoding"));
        if (rc < 0) {
            ++_decodeErrors;
            return 0;
        }
        ++_framesDecoded;
        noteFrame(_frame.get());
        const int frc = inputDone ? 0 : filterFrame(_frame.get());
        av_frame_unref(_frame.get());
        if (frc < 0)
            return frc;
        if (!_ctx.control->checkpoint())
            return AVERROR_EXIT;
    }
}

void EncodeTrack::noteFrame(const AVFrame *frame) {
    int64_t duration = frame->pkt_duration;
    if (duration <= 0 && frame->nb_samples > 0 && frame->sample_rate > 0)
        duration = av_rescale_q(frame->nb_samples, AVRational{1, frame->sample_rate}, inStream->time_base);
    if (duration <= 0)
        duration = nominalDuration(nullptr);
    noteSpan(sound, frame->best_effort_timestamp, duration);
}

int EncodeTrack::encode(AVFrame *frame) {
    if (frame && !_ctx.firstEncodeAt)
        _ctx.firstEncodeAt = std::chrono::steady_clock::now();
    if (!frame) {
        if (_encoderFlushed)
            return 0;
        _encoderFlushed = true;
    }
    if (frame && _ctx.sample && !_clock.firstIn)
        _clock.firstIn = processCpuSeconds();
    if (frame && _meter)
        _meter->noteSource(frame);
    int rc = avcodec_send_frame(_enc.get(), frame);
    if (rc < 0 && rc != AVERROR_EOF)
        return _ctx.fail(rc, QStringLiteral("the %1 encoder failed").arg(QLatin1String(_enc->codec->name)));
    for (;;) {
        rc = avcodec_receive_packet(_enc.get(), _pkt.get());
        if (rc == AVERROR_EOF && _meter)
            _meter->finish();
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return 0;
        if (rc < 0)
            return _ctx.fail(rc, QStringLiteral("the %1 encoder failed").arg(QLatin1String(_enc->codec->name)));
        if (_ctx.sample) {
            ++_clock.packets;
            if (frame)
                _clock.fed.push_back(processCpuSeconds());
        }
        if (_meter)
            _meter->notePacket(_pkt.get()); // before the muxer's time base replaces the encoder's
        rc = writePacket(_pkt.get(), _enc->time_base);
        av_packet_unref(_pkt.get());
        if (rc < 0)
            return rc;
        if (!frame && !_ctx.control->checkpoint())
            return AVERROR_EXIT; // a long encoder flush stays pausable and cancellable
    }
}

int EncodeTrack::closeGraph() {
    if (!_graph)
        return 0;
    closeExtraInputs();
    int rc = av_buffersrc_add_frame(_src, nullptr);
    if (rc < 0 && rc != AVERROR_EOF)
        return _ctx.fail(rc, QStringLiteral("cannot end the filter graph"));
    rc = drainGraph(true);
    return rc;
}

int EncodeTrack::finish(bool inputEnded) {
    int rc = 0;
    if (inputEnded && !inputDone && _dec) {
        avcodec_send_packet(_dec.get(), nullptr);
        rc = decodeLoop();
        if (rc < 0)
            return rc;
    }
    inputDone = true;
    rc = closeGraph();
    if (rc < 0)
        return rc;
    return encode(nullptr);
}

} // namespace fw
