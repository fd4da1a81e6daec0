#include "BitmapSubtitles.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace fw {

int BitmapSubtitles::open(AVStream *st, int videoW, int videoH, QString *error) {
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) {
        *error = QStringLiteral("no decoder for the subtitle stream");
        return AVERROR_DECODER_NOT_FOUND;
    }
    _dec.reset(avcodec_alloc_context3(codec));
    if (!_dec) {
        *error = QStringLiteral("out of memory");
        return AVERROR(ENOMEM);
    }
    int rc = avcodec_parameters_to_context(_dec.get(), st->codecpar);
    if (rc >= 0) {
        _dec->pkt_timebase = st->time_base;
        rc = avcodec_open2(_dec.get(), codec, nullptr);
    }
    if (rc < 0) {
        *error = QStringLiteral("cannot open the subtitle decoder: ") + avError(rc);
        return rc;
    }
    _stream = st;
    // DVD subtitles declare their canvas ("size:" in the extradata); others draw on the
    // video's own picture.
    _w = _dec->width > 0 ? _dec->width : videoW;
    _h = _dec->height > 0 ? _dec->height : videoH;
    if (_w <= 0 || _h <= 0) {
        *error = QStringLiteral("the subtitle stream has no picture size");
        return AVERROR(EINVAL);
    }
    _blank = blankCanvas();
    if (!_blank) {
        *error = QStringLiteral("out of memory");
        return AVERROR(ENOMEM);
    }
    return 0;
}

FramePtr BitmapSubtitles::blankCanvas() const {
    FramePtr f = makeFrame();
    if (!f)
        return nullptr;
    f->format = AV_PIX_FMT_RGB32;
    f->width = _w;
    f->height = _h;
    if (av_frame_get_buffer(f.get(), 0) < 0)
        return nullptr;
    for (int y = 0; y < _h; ++y)
        std::memset(f->data[0] + std::ptrdiff_t(y) * f->linesize[0], 0, size_t(_w) * 4);
    return f;
}

FramePtr BitmapSubtitles::render(const AVSubtitle &sub) const {
    FramePtr f = blankCanvas();
    if (!f)
        return nullptr;
    for (unsigned i = 0; i < sub.num_rects; ++i) {
        const AVSubtitleRect *r = sub.rects[i];
        if (r->type != SUBTITLE_BITMAP || !r->data[0] || !r->data[1])
            continue;
        const auto *palette = reinterpret_cast<const uint32_t *>(r->data[1]);
        const int colours = std::max(1, std::min(r->nb_colors, 256));
        for (int y = 0; y < r->h; ++y) {
            const int dy = r->y + y;
            if (dy < 0 || dy >= _h)
                continue;
            const uint8_t *src = r->data[0] + std::ptrdiff_t(y) * r->linesize[0];
            auto *dst = reinterpret_cast<uint32_t *>(f->data[0] + std::ptrdiff_t(dy) * f->linesize[0]);
            for (int x = 0; x < r->w; ++x) {
                const int dx = r->x + x;
                if (dx < 0 || dx >= _w)
                    continue;
                dst[dx] = palette[std::min<int>(src[x], colours - 1)];
            }
        }
    }
    return f;
}

void BitmapSubtitles::handlePacket(const AVPacket *pkt, int64_t clockOffsetUs) {
    if (!_dec)
        return;
    PacketPtr copy(av_packet_clone(pkt));
    if (!copy)
        return;
    AVSubtitle sub{};
    int got = 0;
    if (avcodec_decode_subtitle2(_dec.get(), &sub, &got, copy.get()) < 0 || !got)
        return;
    int64_t base = sub.pts;
    if (base == AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE)
        base = av_rescale_q(pkt->pts, _stream->time_base, AV_TIME_BASE_Q);
    if (base == AV_NOPTS_VALUE) {
        avsubtitle_free(&sub);
        return;
    }
    base -= clockOffsetUs;
    const int64_t start = base + int64_t(sub.start_display_time) * 1000;
    int64_t end = INT64_MAX;
    if (sub.end_display_time > sub.start_display_time && sub.end_display_time != UINT32_MAX)
        end = base + int64_t(sub.end_display_time) * 1000;
    else if (pkt->duration > 0)
        end = start + av_rescale_q(pkt->duration, _stream->time_base, AV_TIME_BASE_Q);
    // A new picture replaces what was shown.
    for (Event &e : _events)
        e.endUs = std::min(e.endUs, start);
    if (sub.num_rects > 0) {
        if (FramePtr canvas = render(sub))
            _events.push_back({start, end, std::move(canvas)});
    }
    avsubtitle_free(&sub);
}

const AVFrame *BitmapSubtitles::canvasAt(int64_t us) {
    _events.erase(std::remove_if(_events.begin(), _events.end(), [us](const Event &e) { return e.endUs <= us; }),
                  _events.end());
    const AVFrame *shown = _blank.get();
    for (const Event &e : _events)
        if (e.startUs <= us && us < e.endUs)
            shown = e.canvas.get();
    _shown = shown;
    return shown;
}

} // namespace fw
