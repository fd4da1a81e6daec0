#include "QualityMeter.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

namespace fw {

namespace {

// The pixel formats measured: every component in a plane of its own, one or two bytes a
// sample, nothing packed, paletted or shifted.
const AVPixFmtDescriptor *planarLayout(int format) {
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    if (!d || (d->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)) ||
        d->nb_components == 0)
        return nullptr;
    for (int i = 0; i < d->nb_components; ++i) {
        const AVComponentDescriptor &c = d->comp[i];
        const int bytes = c.depth > 8 ? 2 : 1;
        if (c.plane != i || c.step != bytes || c.offset != 0 || c.shift != 0 || c.depth > 16)
            return nullptr;
    }
    return d;
}

bool sameLayout(const AVPixFmtDescriptor *a, const AVPixFmtDescriptor *b) {
    if (a->nb_components != b->nb_components || a->log2_chroma_w != b->log2_chroma_w ||
        a->log2_chroma_h != b->log2_chroma_h || (a->flags & AV_PIX_FMT_FLAG_RGB) != (b->flags & AV_PIX_FMT_FLAG_RGB))
        return false;
    for (int i = 0; i < a->nb_components; ++i)
        if (a->comp[i].depth != b->comp[i].depth)
            return false;
    return true;
}

struct Sums {
    int64_t s1, s2, ss, s12;
};

double ssimEnd(const Sums &s, double max) {
    // 64 samples in the window made of four 4x4 blocks; the constants are SSIM's
    // (0.01 max)^2 and (0.03 max)^2 scaled to those sums.
    const double c1 = .01 * .01 * max * max * 64;
    const double c2 = .03 * .03 * max * max * 64 * 63;
    const double f1 = double(s.s1), f2 = double(s.s2);
    const double vars = double(s.ss) * 64 - f1 * f1 - f2 * f2;
    const double covar = double(s.s12) * 64 - f1 * f2;
    return (2 * f1 * f2 + c1) * (2 * covar + c2) / ((f1 * f1 + f2 * f2 + c1) * (vars + c2));
}

// Sums of one row of 4x4 blocks.
template <class T>
void blockRow(const uint8_t *a, ptrdiff_t aStride, const uint8_t *b, ptrdiff_t bStride, int blocks, Sums *out) {
    // 16 samples of up to 16 bits: the squares' sums fit in 64 bits, an 8-bit block's in 32,
    // which the compiler turns into vector code.
    using Acc = std::conditional_t<sizeof(T) == 1, uint32_t, uint64_t>;
    for (int z = 0; z < blocks; ++z) {
        Acc s1 = 0, s2 = 0, ss = 0, s12 = 0;
        for (int y = 0; y < 4; ++y) {
            const T *pa = reinterpret_cast<const T *>(a + y * aStride) + 4 * z;
            const T *pb = reinterpret_cast<const T *>(b + y * bStride) + 4 * z;
            for (int x = 0; x < 4; ++x) {
                const Acc va = pa[x], vb = pb[x];
                s1 += va;
                s2 += vb;
                ss += va * va + vb * vb;
                s12 += va * vb;
            }
        }
        out[z] = Sums{int64_t(s1), int64_t(s2), int64_t(ss), int64_t(s12)};
    }
}

// The mean SSIM of a plane over 8x8 windows on a 4-pixel grid, as x264 and the ssim
// filter compute it: each window the sum of four neighbouring 4x4 blocks.
template <class T>
double planeSsim(const uint8_t *a, ptrdiff_t aStride, const uint8_t *b, ptrdiff_t bStride, int w, int h, double max) {
    const int bw = w >> 2, bh = h >> 2;
    if (bw < 2 || bh < 2)
        return 1.0;
    std::vector<Sums> above(static_cast<size_t>(bw)), below(static_cast<size_t>(bw));
    blockRow<T>(a, aStride, b, bStride, bw, above.data());
    double total = 0;
    for (int y = 1; y < bh; ++y) {
        blockRow<T>(a + 4 * y * aStride, aStride, b + 4 * y * bStride, bStride, bw, below.data());
        for (int x = 0; x + 1 < bw; ++x) {
            const Sums &p = above[size_t(x)], &q = above[size_t(x) + 1], &r = below[size_t(x)],
                       &t = below[size_t(x) + 1];
            total += ssimEnd({p.s1 + q.s1 + r.s1 + t.s1, p.s2 + q.s2 + r.s2 + t.s2, p.ss + q.ss + r.ss + t.ss,
                              p.s12 + q.s12 + r.s12 + t.s12},
                             max);
        }
        std::swap(above, below);
    }
    return total / (double(bh - 1) * double(bw - 1));
}

template <class T>
double planeMse(const uint8_t *a, ptrdiff_t aStride, const uint8_t *b, ptrdiff_t bStride, int w, int h) {
    uint64_t sum = 0;
    for (int y = 0; y < h; ++y) {
        const T *pa = reinterpret_cast<const T *>(a + y * aStride);
        const T *pb = reinterpret_cast<const T *>(b + y * bStride);
        uint64_t row = 0;
        for (int x = 0; x < w; ++x) {
            const int64_t d = int64_t(pa[x]) - int64_t(pb[x]);
            row += uint64_t(d * d);
        }
        sum += row;
    }
    return double(sum) / (double(w) * double(h));
}

} // namespace

std::optional<PictureLikeness> comparePictures(const AVFrame *a, const AVFrame *b) {
    const AVPixFmtDescriptor *da = planarLayout(a->format), *db = planarLayout(b->format);
    if (!da || !db || !sameLayout(da, db) || a->width != b->width || a->height != b->height)
        return std::nullopt;
    const int n = da->nb_components;
    int pw[4], ph[4];
    double samples = 0;
    for (int i = 0; i < n; ++i) {
        const bool chroma = (i == 1 || i == 2) && !(da->flags & AV_PIX_FMT_FLAG_RGB);
        pw[i] = chroma ? AV_CEIL_RSHIFT(a->width, da->log2_chroma_w) : a->width;
        ph[i] = chroma ? AV_CEIL_RSHIFT(a->height, da->log2_chroma_h) : a->height;
        samples += double(pw[i]) * ph[i];
    }
    PictureLikeness out;
    double weightedMax = 0;
    for (int i = 0; i < n; ++i) {
        const double weight = double(pw[i]) * ph[i] / samples;
        const int depth = da->comp[i].depth;
        const double max = double((1 << depth) - 1);
        const bool wide = depth > 8;
        const double ssim =
            wide ? planeSsim<uint16_t>(a->data[i], a->linesize[i], b->data[i], b->linesize[i], pw[i], ph[i], max)
                 : planeSsim<uint8_t>(a->data[i], a->linesize[i], b->data[i], b->linesize[i], pw[i], ph[i], max);
        const double mse =
            wide ? planeMse<uint16_t>(a->data[i], a->linesize[i], b->data[i], b->linesize[i], pw[i], ph[i])
                 : planeMse<uint8_t>(a->data[i], a->linesize[i], b->data[i], b->linesize[i], pw[i], ph[i]);
        out.ssim += weight * ssim;
        out.mse += weight * mse;
        weightedMax += weight * max;
    }
    out.maxSq = weightedMax * weightedMax;
    return out;
}

int qualitySampleStride(int width, int height) {
    constexpr double kWholeUpTo = 120000.0;
    const double pixels = double(std::max(width, 1)) * std::max(height, 1);
    return std::max(1, int(std::ceil(pixels / kWholeUpTo)));
}

QualityMeter::QualityMeter(const AVCodecContext *enc, int threads)
    : _enc(enc), _threads(threads), _stride(qualitySampleStride(enc->width, enc->height)) {}

QualityMeter::~QualityMeter() = default;

bool QualityMeter::openDecoder() {
    if (_dec || _broken)
        return !_broken;
    const AVCodec *codec = avcodec_find_decoder(_enc->codec_id);
    CodecContextPtr dec(codec ? avcodec_alloc_context3(codec) : nullptr);
    AVCodecParameters *par = avcodec_parameters_alloc();
    bool ok = dec && par && avcodec_parameters_from_context(par, _enc) >= 0 &&
              avcodec_parameters_to_context(dec.get(), par) >= 0;
    avcodec_parameters_free(&par);
    if (ok) {
        dec->pkt_timebase = _enc->time_base;
        dec->thread_count = _threads;
        dec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        ok = avcodec_open2(dec.get(), codec, nullptr) >= 0;
    }
    if (!ok) {
        // A measurement is a report, never a reason to fail the conversion.
        _broken = true;
        _waiting.clear();
        return false;
    }
    _dec = std::move(dec);
    return true;
}

void QualityMeter::noteSource(const AVFrame *frame) {
    if (_broken || frame->pts == AV_NOPTS_VALUE || _seen++ % _stride != 0)
        return;
    FramePtr copy(av_frame_clone(frame));
    if (copy)
        _waiting[frame->pts] = std::move(copy);
}

void QualityMeter::notePacket(const AVPacket *pkt) {
    if (!openDecoder())
        return;
    // Pictures that are not sampled and that no other picture refers to need no decoding:
    // with B-frames that is about half of them, most of the measurement's cost.
    const bool sampled = pkt->pts != AV_NOPTS_VALUE && _waiting.count(pkt->pts) > 0;
    _dec->skip_frame = sampled ? AVDISCARD_DEFAULT : AVDISCARD_NONREF;
    // A packet the decoder refuses leaves a gap in the measurement, not in the file.
    if (avcodec_send_packet(_dec.get(), pkt) == AVERROR(EAGAIN)) {
        receive();
        avcodec_send_packet(_dec.get(), pkt);
    }
    receive();
}

void QualityMeter::finish() {
    if (!_dec)
        return;
    avcodec_send_packet(_dec.get(), nullptr);
    receive();
    _waiting.clear();
}

void QualityMeter::receive() {
    while (avcodec_receive_frame(_dec.get(), _out.get()) >= 0) {
        compare(_out.get());
        av_frame_unref(_out.get());
    }
}

void QualityMeter::compare(const AVFrame *decoded) {
    const int64_t pts =
        decoded->best_effort_timestamp != AV_NOPTS_VALUE ? decoded->best_effort_timestamp : decoded->pts;
    if (pts == AV_NOPTS_VALUE)
        return;
    // Pictures come out of the decoder in display order: a source picture before this one
    // that has not been matched was dropped by the encoder and will not come.
    _waiting.erase(_waiting.begin(), _waiting.lower_bound(pts));
    const auto it = _waiting.find(pts);
    if (it == _waiting.end())
        return;
    if (const auto like = comparePictures(decoded, it->second.get())) {
        _ssimSum += like->ssim;
        _mseSum += like->mse;
        _maxSq = like->maxSq;
        ++_frames;
    }
    _waiting.erase(it);
}

std::optional<MeasuredQuality> QualityMeter::result() const {
    if (_frames == 0)
        return std::nullopt;
    MeasuredQuality q;
    q.frames = _frames;
    q.ssim = _ssimSum / double(_frames);
    const double mse = _mseSum / double(_frames);
    q.psnrDb = mse > 0 ? std::min(kPsnrCapDb, 10.0 * std::log10(_maxSq / mse)) : kPsnrCapDb;
    q.mse = mse;
    q.maxSq = _maxSq;
    return q;
}

std::optional<MeasuredQuality> combineMeasured(const std::vector<MeasuredQuality> &pieces) {
    MeasuredQuality q;
    double ssimSum = 0, mseSum = 0;
    for (const MeasuredQuality &p : pieces) {
        q.frames += p.frames;
        ssimSum += p.ssim * double(p.frames);
        mseSum += p.mse * double(p.frames);
        q.maxSq = std::max(q.maxSq, p.maxSq);
    }
    if (q.frames == 0)
        return std::nullopt;
    q.ssim = ssimSum / double(q.frames);
    q.mse = mseSum / double(q.frames);
    q.psnrDb = q.mse > 0 ? std::min(kPsnrCapDb, 10.0 * std::log10(q.maxSq / q.mse)) : kPsnrCapDb;
    return q;
}

} // namespace fw
