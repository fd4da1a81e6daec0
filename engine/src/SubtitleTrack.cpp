// Subtitle tracks kept as tracks: copied, or decoded and encoded into the container's text
// codec, each cue moved onto the output's clock.
#include "Pipeline.h"

#include <algorithm>
#include <cstring>

namespace fw {

int SubtitleTrack::setup(const AVCodec *encoder) {
    int rc = 0;
    if (encoder) {
        const AVCodec *codec = avcodec_find_decoder(inStream->codecpar->codec_id);
        if (!codec)
            return _ctx.fail(AVERROR_DECODER_NOT_FOUND,
                             QStringLiteral("no decoder for the %1 subtitles")
                                 .arg(QLatin1String(avcodec_get_name(inStream->codecpar->codec_id))));
        _dec.reset(avcodec_alloc_context3(codec));
        if (!_dec || (rc = avcodec_parameters_to_context(_dec.get(), inStream->codecpar)) < 0)
            return _ctx.fail(rc < 0 ? rc : AVERROR(ENOMEM), QStringLiteral("cannot set up the subtitle decoder"));
        _dec->pkt_timebase = inStream->time_base;
        if ((rc = avcodec_open2(_dec.get(), codec, nullptr)) < 0)
            return _ctx.fail(rc, QStringLiteral("cannot open the %1 decoder").arg(QLatin1String(codec->name)));
        _enc.reset(avcodec_alloc_context3(encoder));
        if (!_enc)
            return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
        _enc->time_base = AV_TIME_BASE_Q;
        // The text encoders read the styles the decoder describes its cues with.
        if (_dec->subtitle_header && _dec->subtitle_header_size > 0) {
            _enc->subtitle_header = static_cast<uint8_t *>(av_mallocz(size_t(_dec->subtitle_header_size) + 1));
            if (!_enc->subtitle_header)
                return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
            std::memcpy(_enc->subtitle_header, _dec->subtitle_header, size_t(_dec->subtitle_header_size));
            _enc->subtitle_header_size = _dec->subtitle_header_size;
        }
        if (_ctx.out->oformat->flags & AVFMT_GLOBALHEADER)
            _enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((rc = avcodec_open2(_enc.get(), encoder, nullptr)) < 0)
            return _ctx.fail(rc, QStringLiteral("cannot open the %1 encoder").arg(QLatin1String(encoder->name)));
    }
    outStream = avformat_new_stream(_ctx.out, nullptr);
    if (!outStream)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("cannot add an output stream"));
    rc = _enc ? avcodec_parameters_from_context(outStream->codecpar, _enc.get())
              : avcodec_parameters_copy(outStream->codecpar, inStream->codecpar);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot describe the subtitle stream"));
    // The source container's tag may mean nothing in this one; the muxer picks its own.
    outStream->codecpar->codec_tag = 0;
    outStream->time_base = _enc ? _enc->time_base : inStream->time_base;
    outStream->disposition = inStream->disposition & (AV_DISPOSITION_DEFAULT | AV_DISPOSITION_FORCED);
    for (const char *key : {"language", "title"})
        if (const AVDictionaryEntry *e = av_dict_get(inStream->metadata, key, nullptr, 0))
            av_dict_set(&outStream->metadata, key, e->value, 0);
    return 0;
}

int SubtitleTrack::handlePacket(AVPacket *pkt) { return take(pkt, false); }

int SubtitleTrack::take(AVPacket *pkt, bool fromLeadIn) {
    const AVRational tb = inStream->time_base;
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts == AV_NOPTS_VALUE || pkt->size <= 0)
        return 0;
    // Graph clock, like the trim range.
    int64_t start = av_rescale_q(ts, tb, AV_TIME_BASE_Q) - _ctx.clockOffsetUs;
    int64_t duration = pkt->duration > 0 ? av_rescale_q(pkt->duration, tb, AV_TIME_BASE_Q) : 0;
    // A cue that ends before the kept range, or (without a length) begins before it, is not
    // shown in it; one that begins at or after its end neither.
    if (duration > 0 ? start + duration <= _ctx.trimStartUs : start < _ctx.trimStartUs)
        return 0;
    if (_ctx.trimsEnd() && start >= _ctx.trimEndUs)
        return 0;
    // Each cue from one reader only.
    if (_leadIn && (start < _ctx.trimStartUs) != fromLeadIn)
        return 0;
    if (start < _ctx.trimStartUs) {
        duration -= _ctx.trimStartUs - start;
        start = _ctx.trimStartUs;
    }
    if (_ctx.trimsEnd() && duration > 0 && start + duration > _ctx.trimEndUs)
        duration = _ctx.trimEndUs - start;
    const int64_t outUs = start - _ctx.trimStartUs;
    if (_enc)
        return convert(pkt, outUs, duration);
    pkt->pts = pkt->dts = av_rescale_q(outUs, AV_TIME_BASE_Q, tb);
    pkt->duration = duration > 0 ? av_rescale_q(duration, AV_TIME_BASE_Q, tb) : 0;
    return writePacket(pkt, tb);
}

int SubtitleTrack::convert(AVPacket *pkt, int64_t outUs, int64_t durationUs) {
    AVSubtitle sub{};
    int got = 0;
    // A cue that does not decode is one cue lost, not a failed conversion.
    if (avcodec_decode_subtitle2(_dec.get(), &sub, &got, pkt) < 0 || !got)
        return 0;
    if (durationUs <= 0 && sub.end_display_time > sub.start_display_time)
        durationUs = int64_t(sub.end_display_time - sub.start_display_time) * 1000;
    sub.pts = outUs;
    sub.start_display_time = 0;
    sub.end_display_time = uint32_t(std::max<int64_t>(0, durationUs) / 1000);
    // Far more than a screenful of text; a cue that does not fit is left out.
    constexpr int kMaxCueBytes = 1 << 20;
    PacketPtr out = makePacket();
    int size = -1;
    if (out && av_new_packet(out.get(), kMaxCueBytes) >= 0)
        size = avcodec_encode_subtitle(_enc.get(), out->data, kMaxCueBytes, &sub);
    avsubtitle_free(&sub);
    if (!out)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    if (size <= 0)
        return 0;
    av_shrink_packet(out.get(), size);
    out->pts = out->dts = av_rescale_q(outUs, AV_TIME_BASE_Q, _enc->time_base);
    out->duration = av_rescale_q(std::max<int64_t>(0, durationUs), AV_TIME_BASE_Q, _enc->time_base);
    return writePacket(out.get(), _enc->time_base);
}

} // namespace fw
