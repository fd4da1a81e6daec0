// Video: decode -> [HDR tone mapping] -> [subtitle pictures] -> [rate] -> [rotation] ->
// [scale] -> [text subtitles] -> pixel format -> pixel aspect -> encoder.
#include "BitmapSubtitles.h"
#include "Pipeline.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <foundation/Log.h>

#include <cmath>
#include <cstring>

namespace fw {

namespace {
QString q2s(AVRational r) { return QStringLiteral("%1/%2").arg(r.num).arg(r.den); }
QString num(int64_t v) { return QString::number(v); }
} // namespace

int VideoTrack::setup(const VideoSetup &setup) {
    _setup = setup;
    int rc = openDecoder();
    if (rc < 0)
        return rc;
    const AVCodecParameters *par = inStream->codecpar;
    const AVRational sar = av_guess_sample_aspect_ratio(_ctx.in, inStream, nullptr);
    int dispW = par->width, dispH = par->height;
    if (sar.num > 0 && sar.den > 0 && av_cmp_q(sar, {1, 1}) != 0)
        dispW = static_cast<int>(std::lround(double(par->width) * sar.num / sar.den));
    if (_setup.rotation == 90 || _setup.rotation == 270)
        std::swap(dispW, dispH);
    const AVRational srcRate = av_guess_frame_rate(_ctx.in, inStream, nullptr);
    _target = videoTarget(_setup.encoder, _ctx.out->oformat, dispW, dispH, _setup.requestWidth, _setup.requestHeight,
                          srcRate, _setup.requestRate, static_cast<AVPixelFormat>(par->format));
    if (srcRate.num > 0 && srcRate.den > 0)
        _frameDuration = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(srcRate), inStream->time_base));

    _enc.reset(avcodec_alloc_context3(_setup.encoder));
    if (!_enc)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    _enc->width = _target.width;
    _enc->height = _target.height;
    _enc->pix_fmt = _target.pixFmt;
    _enc->sample_aspect_ratio = _target.sar;
    _enc->framerate = _target.frameRate;
    _enc->time_base = av_inv_q(_target.frameRate);
    // HDR into 8 bits cannot keep its transfer: such a picture is tone mapped and tagged as
    // the BT.709 it then is. Into 10 bits (HEVC, AV1) it keeps its primaries and transfer.
    const bool hdr = par->color_trc == AVCOL_TRC_SMPTE2084 || par->color_trc == AVCOL_TRC_ARIB_STD_B67;
    const AVPixFmtDescriptor *outDesc = av_pix_fmt_desc_get(_target.pixFmt);
    _toneMap = hdr && outDesc && outDesc->comp[0].depth <= 8;
    _enc->color_range = _toneMap ? AVCOL_RANGE_MPEG : par->color_range;
    _enc->color_primaries = _toneMap ? AVCOL_PRI_BT709 : par->color_primaries;
    _enc->color_trc = _toneMap ? AVCOL_TRC_BT709 : par->color_trc;
    _enc->colorspace = _toneMap ? AVCOL_SPC_BT709 : par->color_space;
    _enc->chroma_sample_location = par->chroma_location;
    AVDictionary *opts = nullptr;
    applyEncoderDefaults(_enc.get(), &opts, _ctx.threads);
    if (_setup.crf)
        applyCrf(_enc.get(), *_setup.crf, &opts);
    else
        applyQuality(_enc.get(), _setup.quality, &opts);
    applyVideoRate(_enc.get(), _setup.rate, &opts);
    rc = openEncoder(_setup.encoder, &opts);
    _enc->stats_in = nullptr; // lent by applyVideoRate
    if (rc < 0)
        return rc;
    _meter = std::make_unique<QualityMeter>(_enc.get(), _ctx.threads);
    if ((rc = createOutputStream()) < 0)
        return rc;
    return _toneMap ? 0 : passHdrMetadata();
}

int VideoTrack::finish(bool inputEnded) {
    const int rc = EncodeTrack::finish(inputEnded);
    // libvpx hands its first pass's statistics over once it has drained.
    if (rc >= 0 && _setup.rate.pass == 1 && _setup.rate.stats && _enc->stats_out)
        *_setup.rate.stats = QByteArray(_enc->stats_out);
    return rc;
}

int VideoTrack::passHdrMetadata() {
    // On the output stream, the muxer writes them into the container (Matroska's colour
    // element, MP4's mdcv and clli boxes), where players look for them.
    const auto put = [this](AVPacketSideDataType type, const void *data, size_t size) {
        uint8_t *to = av_stream_new_side_data(outStream, type, size);
        if (to)
            std::memcpy(to, data, size);
        return to != nullptr;
    };
    if (_setup.mastering &&
        !put(AV_PKT_DATA_MASTERING_DISPLAY_METADATA, &*_setup.mastering, sizeof(AVMasteringDisplayMetadata)))
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    if (_setup.lightLevel && !put(AV_PKT_DATA_CONTENT_LIGHT_LEVEL, &*_setup.lightLevel, sizeof(AVContentLightMetadata)))
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    return 0;
}

int VideoTrack::buildGraph(const AVFrame *frame) {
    _graph.reset(avfilter_graph_alloc());
    if (!_graph)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    _graph->nb_threads = _ctx.threads;
    // The same scaler settings the ffmpeg program uses for its automatic conversions.
    _graph->scale_sws_opts = av_strdup("flags=bicubic");
    GraphBuilder b(_graph.get());
    const AVRational sar = frame->sample_aspect_ratio.num > 0 ? frame->sample_aspect_ratio : AVRational{1, 1};
    const char *fmtName = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format));
    if (!fmtName)
        return _ctx.refuse(QStringLiteral("the video has an unknown pixel format"));
    const AVRational rate = _dec->framerate.num > 0 ? _dec->framerate : AVRational{25, 1};
    _src = b.create("buffer",
                    {{"width", num(frame->width)},
                     {"height", num(frame->height)},
                     {"pix_fmt", QLatin1String(fmtName)},
                     {"time_base", q2s(inStream->time_base)},
                     {"pixel_aspect", q2s(sar)},
                     {"frame_rate", q2s(rate)}},
                    "in");
    if (!_src)
        return _ctx.refuse(b.error());
    b.setTail(_src);
    bool ok = true;

    if (_toneMap) {
        // In linear light, with SDR's 100 cd/m2 as the nominal peak; Hable's curve keeps the
        // highlights' detail without the grey cast of the simpler curves.
        ok = b.append("zscale", {{"transfer", "linear"}, {"npl", "100"}}) &&
             b.append("format", {{"pix_fmts", "gbrpf32le"}}) && b.append("zscale", {{"primaries", "bt709"}}) &&
             b.append("tonemap", {{"tonemap", "hable"}, {"desat", "0"}}) &&
             b.append("zscale", {{"transfer", "bt709"}, {"matrix", "bt709"}, {"range", "tv"}});
    }

    if (BitmapSubtitles *subs = _setup.bitmapSubtitles) {
        _subSrc = b.create("buffer",
                           {{"width", num(subs->width())},
                            {"height", num(subs->height())},
                            {"pix_fmt", QLatin1String(av_get_pix_fmt_name(AV_PIX_FMT_RGB32))},
                            {"time_base", q2s(inStream->time_base)},
                            {"pixel_aspect", QStringLiteral("1/1")}},
                           "subtitles_in");
        ok = _subSrc != nullptr;
        AVFilterContext *subTail = _subSrc;
        if (ok && (subs->width() != frame->width || subs->height() != frame->height)) {
            AVFilterContext *fit = b.create("scale", {{"w", num(frame->width)}, {"h", num(frame->height)}});
            ok = fit && b.link(_subSrc, 0, fit, 0);
            subTail = fit;
        }
        AVFilterContext *overlay = ok ? b.create("overlay", {{"eof_action", "pass"}, {"format", "auto"}}) : nullptr;
        ok = ok && overlay && b.link(b.tail(), 0, overlay, 0) && b.link(subTail, 0, overlay, 1);
        if (ok)
            b.setTail(overlay);
    }
    if (ok && _target.forceRate)
        ok = b.append("fps", {{"fps", q2s(_target.frameRate)}});

    int w = frame->width, h = frame->height;
    if (ok) {
        switch (_setup.rotation) {
        case 90:
            ok = b.append("transpose", {{"dir", "clock"}});
            break;
        case 270:
            ok = b.append("transpose", {{"dir", "cclock"}});
            break;
        case 180:
            ok = b.append("hflip", {}) && b.append("vflip", {});
            break;
        default:
            break;
        }
        if (_setup.rotation == 90 || _setup.rotation == 270)
            std::swap(w, h);
    }
    if (ok && (w != _target.width || h != _target.height))
        ok = b.append("scale", {{"w", num(_target.width)}, {"h", num(_target.height)}, {"flags", "bicubic"}});
    if (ok && !_setup.textSubtitlePath.isEmpty()) {
        if (_setup.textSubtitleIndex >= 0)
            ok = b.append("subtitles", {{"filename", _setup.textSubtitlePath}, {"si", num(_setup.textSubtitleIndex)}});
        else
            ok = b.append("subtitles", {{"filename", _setup.textSubtitlePath}});
    }
    if (ok)
        ok = b.append("format", {{"pix_fmts", QLatin1String(av_get_pix_fmt_name(_target.pixFmt))}});
    if (ok)
        ok = b.append("setsar", {{"sar", q2s(_target.sar)}});
    if (ok) {
        _sink = b.create("buffersink", {}, "out");
        ok = _sink && b.link(b.tail(), 0, _sink, 0);
    }
    if (!ok)
        return _ctx.refuse(b.error());
    const int rc = avfilter_graph_config(_graph.get(), nullptr);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot set up the video filters"));
    _graphW = frame->width;
    _graphH = frame->height;
    _graphFmt = frame->format;
    _graphSar = frame->sample_aspect_ratio;
    return 0;
}

void VideoTrack::closeExtraInputs() {
    // An error here only means the input had ended already.
    if (_subSrc && av_buffersrc_add_frame(_subSrc, nullptr) < 0)
        foundation::Log::debug(QStringLiteral("subtitle input was closed already"));
}

int VideoTrack::filterFrame(AVFrame *frame) {
    const AVRational tb = inStream->time_base;
    int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    if (pts != AV_NOPTS_VALUE)
        pts -= clockOffsetIn(tb);
    else
        pts = _lastPts != AV_NOPTS_VALUE ? _lastPts + _frameDuration : 0;
    const int64_t duration = frame->pkt_duration > 0 ? frame->pkt_duration : _frameDuration;
    // Frame accuracy: a picture belongs to the range when its time, rounded to the
    // nearest picture edge, does; a 2 s cut at 25 fps keeps exactly 50 pictures, the
    // first being the one nearest to the start time (the earlier one on a tie).
    const int64_t mid = av_rescale_q(2 * pts + duration, {tb.num, tb.den * 2}, AV_TIME_BASE_Q);
    if (_ctx.trimsStart() && mid < _ctx.trimStartUs)
        return 0;
    if (_ctx.trimsEnd() && mid >= _ctx.trimEndUs) {
        inputDone = true;
        return 0;
    }
    _lastPts = pts;
    frame->pts = pts;

    if (!_graph || frame->width != _graphW || frame->height != _graphH || frame->format != _graphFmt ||
        av_cmp_q(frame->sample_aspect_ratio, _graphSar) != 0) {
        // A mid-stream change of picture size or format: finish the old graph, start anew.
        int rc = closeGraph();
        if (rc < 0)
            return rc;
        _graph.reset();
        _src = _sink = _subSrc = nullptr;
        rc = buildGraph(frame);
        if (rc < 0)
            return rc;
    }
    if (_subSrc) {
        const AVFrame *canvas = _setup.bitmapSubtitles->canvasAt(av_rescale_q(pts, tb, AV_TIME_BASE_Q));
        FramePtr ref(av_frame_clone(canvas));
        if (!ref)
            return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
        ref->pts = pts;
        const int rc = av_buffersrc_add_frame(_subSrc, ref.get());
        if (rc < 0)
            return _ctx.fail(rc, QStringLiteral("cannot draw the subtitles"));
    }
    const int rc = av_buffersrc_add_frame(_src, frame);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot filter the video"));
    return drainGraph(false);
}

int VideoTrack::drainGraph(bool flushing) {
    (void)flushing;
    const AVRational sinkTb = av_buffersink_get_time_base(_sink);
    const int64_t start = av_rescale_q(_ctx.trimStartUs, AV_TIME_BASE_Q, sinkTb);
    for (;;) {
        int rc = av_buffersink_get_frame(_sink, _filtered.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return 0;
        if (rc < 0)
            return _ctx.fail(rc, QStringLiteral("cannot filter the video"));
        if (_filtered->pts == AV_NOPTS_VALUE) {
            av_frame_unref(_filtered.get());
            continue;
        }
        int64_t out = av_rescale_q_rnd(_filtered->pts - start, sinkTb, _enc->time_base,
                                       static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
        if (_lastOutPts == AV_NOPTS_VALUE) {
            out = std::max<int64_t>(out, 0);
        } else if (out <= _lastOutPts) {
            // Two pictures on one tick of the output rate: keep the first.
            av_frame_unref(_filtered.get());
            continue;
        }
        _lastOutPts = out;
        _filtered->pts = out;
        _filtered->pict_type = AV_PICTURE_TYPE_NONE;
        rc = encode(_filtered.get());
        av_frame_unref(_filtered.get());
        if (rc < 0)
            return rc;
    }
}

} // namespace fw
