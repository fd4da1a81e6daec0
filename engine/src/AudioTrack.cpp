// Audio: decode -> [sample-exact trim] -> [volume] -> format/rate/layout -> encoder.
#include "Pipeline.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace fw {

namespace {
QString layoutName(const AVChannelLayout &l) {
    char buf[128] = {0};
    if (l.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_describe(&l, buf, sizeof buf) < 0)
        return QStringLiteral("%1c").arg(l.nb_channels);
    return QString::fromLatin1(buf);
}
QString seconds(int64_t us) { return QString::number(double(us) / 1e6, 'f', 6); }
} // namespace

AudioTrack::~AudioTrack() {
    av_channel_layout_uninit(&_target.layout);
    av_channel_layout_uninit(&_graphLayout);
}

int AudioTrack::setup(const AudioSetup &setup) {
    _setup = setup;
    int rc = openDecoder();
    if (rc < 0)
        return rc;
    const int srcRate = _dec->sample_rate;
    const int srcChannels = _dec->ch_layout.nb_channels;
    _target = audioTarget(_setup.encoder, _ctx.out->oformat, srcRate, srcChannels, _setup.requestRate,
                          _setup.requestChannels);
    _encFmt = _setup.encoder->sample_fmts ? _setup.encoder->sample_fmts[0] : _dec->sample_fmt;
    if (_setup.encoder->sample_fmts)
        for (const AVSampleFormat *f = _setup.encoder->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == _dec->sample_fmt)
                _encFmt = *f;
    if (_encFmt == AV_SAMPLE_FMT_NONE)
        _encFmt = AV_SAMPLE_FMT_S16;

    _enc.reset(avcodec_alloc_context3(_setup.encoder));
    if (!_enc)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    _enc->sample_rate = _target.sampleRate;
    rc = av_channel_layout_copy(&_enc->ch_layout, &_target.layout);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("out of memory"));
    _enc->sample_fmt = _encFmt;
    _enc->time_base = {1, _target.sampleRate};
    AVDictionary *opts = nullptr;
    applyEncoderDefaults(_enc.get(), &opts, _ctx.threads);
    applyQuality(_enc.get(), _setup.quality, &opts);
    rc = openEncoder(_setup.encoder, &opts);
    if (rc < 0)
        return rc;
    return createOutputStream();
}

int AudioTrack::buildGraph(const AVFrame *frame) {
    _graph.reset(avfilter_graph_alloc());
    if (!_graph)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    _graph->nb_threads = _ctx.threads;
    GraphBuilder b(_graph.get());
    const char *fmtName = av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format));
    if (!fmtName)
        return _ctx.refuse(QStringLiteral("the audio has an unknown sample format"));
    const bool known = frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC;
    _src = known ? b.create("abuffer",
                            {{"time_base", QStringLiteral("1/%1").arg(frame->sample_rate)},
                             {"sample_rate", QString::number(frame->sample_rate)},
                             {"sample_fmt", QLatin1String(fmtName)},
                             {"channel_layout", layoutName(frame->ch_layout)}},
                            "in")
                 : b.create("abuffer",
                            {{"time_base", QStringLiteral("1/%1").arg(frame->sample_rate)},
                             {"sample_rate", QString::number(frame->sample_rate)},
                             {"sample_fmt", QLatin1String(fmtName)},
                             {"channels", QString::number(frame->ch_layout.nb_channels)}},
                            "in");
    if (!_src)
        return _ctx.refuse(b.error());
    b.setTail(_src);
    bool ok = true;
    if (_ctx.trimsStart() && _ctx.trimsEnd())
        ok = b.append("atrim", {{"start", seconds(_ctx.trimStartUs)}, {"end", seconds(_ctx.trimEndUs)}});
    else if (_ctx.trimsStart())
        ok = b.append("atrim", {{"start", seconds(_ctx.trimStartUs)}});
    else if (_ctx.trimsEnd())
        ok = b.append("atrim", {{"end", seconds(_ctx.trimEndUs)}});
    if (ok && _setup.volume != 256)
        ok = b.append("volume", {{"volume", QString::number(std::max(0, _setup.volume) / 256.0, 'f', 6)}});
    if (ok)
        ok = b.append("aformat", {{"sample_fmts", QLatin1String(av_get_sample_fmt_name(_encFmt))},
                                  {"sample_rates", QString::number(_target.sampleRate)},
                                  {"channel_layouts", layoutName(_target.layout)}});
    if (ok) {
        _sink = b.create("abuffersink", {}, "out");
        ok = _sink && b.link(b.tail(), 0, _sink, 0);
    }
    if (!ok)
        return _ctx.refuse(b.error());
    const int rc = avfilter_graph_config(_graph.get(), nullptr);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot set up the audio filters"));
    if (!(_enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && _enc->frame_size > 0)
        av_buffersink_set_frame_size(_sink, static_cast<unsigned>(_enc->frame_size));
    _graphRate = frame->sample_rate;
    _graphFmt = frame->format;
    av_channel_layout_uninit(&_graphLayout);
    av_channel_layout_copy(&_graphLayout, &frame->ch_layout);
    return 0;
}

int AudioTrack::filterFrame(AVFrame *frame) {
    if (frame->sample_rate <= 0 || frame->nb_samples <= 0)
        return 0;
    const AVRational in = inStream->time_base;
    const AVRational samples{1, frame->sample_rate};
    int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    if (pts != AV_NOPTS_VALUE)
        pts = av_rescale_q(pts - clockOffsetIn(in), in, samples);
    else
        pts = _nextPts != AV_NOPTS_VALUE ? _nextPts : 0;
    _nextPts = pts + frame->nb_samples;
    if (_ctx.trimsStart() && av_rescale_q(pts + frame->nb_samples, samples, AV_TIME_BASE_Q) <= _ctx.trimStartUs)
        return 0;
    if (_ctx.trimsEnd() && av_rescale_q(pts, samples, AV_TIME_BASE_Q) >= _ctx.trimEndUs) {
        inputDone = true;
        return 0;
    }
    frame->pts = pts;
    if (!_graph || frame->sample_rate != _graphRate || frame->format != _graphFmt ||
        av_channel_layout_compare(&frame->ch_layout, &_graphLayout) != 0) {
        int rc = closeGraph();
        if (rc < 0)
            return rc;
        _graph.reset();
        _src = _sink = nullptr;
        rc = buildGraph(frame);
        if (rc < 0)
            return rc;
    }
    const int rc = av_buffersrc_add_frame(_src, frame);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot filter the audio"));
    return drainGraph(false);
}

int AudioTrack::drainGraph(bool flushing) {
    (void)flushing;
    const AVRational sinkTb = av_buffersink_get_time_base(_sink);
    const int64_t start = av_rescale_q(_ctx.trimStartUs, AV_TIME_BASE_Q, sinkTb);
    for (;;) {
        int rc = av_buffersink_get_frame(_sink, _filtered.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return 0;
        if (rc < 0)
            return _ctx.fail(rc, QStringLiteral("cannot filter the audio"));
        int64_t out = _filtered->pts != AV_NOPTS_VALUE ? av_rescale_q(_filtered->pts - start, sinkTb, _enc->time_base)
                                                       : _nextOutPts;
        if (out == AV_NOPTS_VALUE)
            out = 0;
        // Overlapping timestamps from the source would make the encoder's output
        // go backwards; samples follow each other instead.
        if (_nextOutPts != AV_NOPTS_VALUE && out < _nextOutPts)
            out = _nextOutPts;
        _nextOutPts = out + _filtered->nb_samples;
        _filtered->pts = out;
        rc = encode(_filtered.get());
        av_frame_unref(_filtered.get());
        if (rc < 0)
            return rc;
    }
}

} // namespace fw
