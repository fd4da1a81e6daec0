// Audio: decode -> [sample-exact trim] -> [volume] -> format/rate/layout -> [loudness gain,
// true-peak limiter] -> encoder.
#include "Pipeline.h"

#include "framewheel/SWConvertSession.h"

#include <foundation/Log.h>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

namespace {
// Where even loudness aims the true peak: a decibel under the promised ceiling, because the
// lossy encoders' own error puts up to about that much back between the samples.
constexpr double kPeakAimMargin = 1.0;
// Measured as less than this, a stream is silence (ebur128 gives -70 when no block is
// above the absolute gate): its level is left alone instead of lifting the noise floor.
constexpr double kSilentLufs = -69.5;
constexpr int kLimiterOversampling = 4;

QString decibels(double db) { return QString::number(db, 'f', 3) + QStringLiteral("dB"); }
} // namespace

int AudioTrack::buildChain(FilterGraphPtr &graphPtr, const AVFrame *frame, bool measuring, AVFilterContext **src,
                           AVFilterContext **sink) {
    graphPtr.reset(avfilter_graph_alloc());
    AVFilterGraph *graph = graphPtr.get();
    if (!graph)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    graph->nb_threads = _ctx.threads;
    GraphBuilder b(graph);
    const char *fmtName = av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format));
    if (!fmtName)
        return _ctx.refuse(QStringLiteral("the audio has an unknown sample format"));
    const bool known = frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC;
    *src = known ? b.create("abuffer",
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
    if (!*src)
        return _ctx.refuse(b.error());
    b.setTail(*src);
    bool ok = true;
    if (_ctx.trimsStart() && _ctx.trimsEnd())
        ok = b.append("atrim", {{"start", seconds(_ctx.trimStartUs)}, {"end", seconds(_ctx.trimEndUs)}});
    else if (_ctx.trimsStart())
        ok = b.append("atrim", {{"start", seconds(_ctx.trimStartUs)}});
    else if (_ctx.trimsEnd())
        ok = b.append("atrim", {{"end", seconds(_ctx.trimEndUs)}});
    if (ok && _setup.volume != 256)
        ok = b.append("volume", {{"volume", QString::number(std::max(0, _setup.volume) / 256.0, 'f', 6)}});
    const GraphBuilder::Options encoderFormat{{"sample_fmts", QLatin1String(av_get_sample_fmt_name(_encFmt))},
                                              {"sample_rates", QString::number(_target.sampleRate)},
                                              {"channel_layouts", layoutName(_target.layout)}};
    // Loudness is measured and evened on the sound as the encoder gets it: a downmix
    // changes it.
    if (ok)
        ok = b.append("aformat", encoderFormat);
    if (ok && measuring)
        ok = b.append("ebur128", {{"peak", QStringLiteral("true")}, {"metadata", QStringLiteral("1")}});
    if (ok && !measuring && _loudness.targetLufs < 0) {
        // Two passes and one linear gain, not loudnorm: its linear mode turns into its
        // dynamic compressor whenever the gain would push the true peak over the ceiling,
        // wants the gating threshold that the measuring filter does not report, and runs
        // everything at 192 kHz. Here the gain keeps the programme's dynamics, and a
        // limiter, oversampled so that it sees the peaks between the samples, catches only
        // the peaks the gain would push over the ceiling.
        const double aim = SWConvertOption::kLoudnessPeakDbtp - kPeakAimMargin;
        ok = b.append("volume", {{"volume", decibels(_loudness.gainDb())}, {"precision", QStringLiteral("double")}});
        if (ok && _loudness.measuredPeakDb + _loudness.gainDb() > aim)
            ok = b.append("aresample", {{"sample_rate", QString::number(_target.sampleRate * kLimiterOversampling)}}) &&
                 b.append("alimiter", {{"limit", QString::number(std::pow(10.0, aim / 20.0), 'f', 6)},
                                       {"level", QStringLiteral("false")},
                                       {"latency", QStringLiteral("true")}});
        // Back to what the encoder takes: the gain works in doubles, the limiter oversampled.
        if (ok)
            ok = b.append("aformat", encoderFormat);
    }
    if (ok) {
        *sink = b.create("abuffersink", {}, "out");
        ok = *sink && b.link(b.tail(), 0, *sink, 0);
    }
    if (!ok)
        return _ctx.refuse(b.error());
    const int rc = avfilter_graph_config(graph, nullptr);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot set up the audio filters"));
    return 0;
}

int AudioTrack::buildGraph(const AVFrame *frame) {
    const int rc = buildChain(_graph, frame, false, &_src, &_sink);
    if (rc < 0)
        return rc;
    if (!(_enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && _enc->frame_size > 0)
        av_buffersink_set_frame_size(_sink, static_cast<unsigned>(_enc->frame_size));
    _graphRate = frame->sample_rate;
    _graphFmt = frame->format;
    av_channel_layout_uninit(&_graphLayout);
    av_channel_layout_copy(&_graphLayout, &frame->ch_layout);
    return 0;
}

int AudioTrack::measureLoudness(const QString &path, double targetLufs, const std::function<void(double)> &progress) {
    QString err;
    InputContextPtr in = openInput(path, AVIOInterruptCB{&SessionControl::interrupt, _ctx.control}, &err, false);
    if (!in)
        return _ctx.control->cancelled()
                   ? AVERROR_EXIT
                   : _ctx.refuse(QStringLiteral("cannot read the input to measure its loudness: ") + err);
    const int index = inStream->index;
    if (index >= int(in->nb_streams))
        return _ctx.refuse(QStringLiteral("cannot read the input to measure its loudness"));
    for (unsigned i = 0; i < in->nb_streams; ++i)
        in->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    if (_ctx.trimsStart()) {
        const int64_t ts = _ctx.trimStartUs + _ctx.clockOffsetUs;
        avformat_seek_file(in.get(), -1, INT64_MIN, ts, ts, 0);
    }
    const AVCodec *codec = avcodec_find_decoder(inStream->codecpar->codec_id);
    CodecContextPtr dec(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!dec || avcodec_parameters_to_context(dec.get(), inStream->codecpar) < 0)
        return _ctx.refuse(QStringLiteral("cannot decode the audio to measure its loudness"));
    dec->pkt_timebase = inStream->time_base;
    dec->thread_count = _ctx.threads;
    int rc = avcodec_open2(dec.get(), codec, nullptr);
    if (rc < 0)
        return _ctx.fail(rc, QStringLiteral("cannot open the %1 decoder").arg(QLatin1String(codec->name)));

    const int64_t fileEnd = in->duration > 0 ? in->duration : 0;
    const int64_t rangeEnd = _ctx.trimsEnd() ? _ctx.trimEndUs : fileEnd;
    const int64_t rangeUs = rangeEnd - _ctx.trimStartUs;
    FilterGraphPtr graph;
    AVFilterContext *src = nullptr, *sink = nullptr;
    int graphRate = 0, graphFmt = -1, graphChannels = 0;
    FramePtr frame = makeFrame(), measured = makeFrame();
    PacketPtr pkt = makePacket();
    if (!frame || !measured || !pkt)
        return _ctx.fail(AVERROR(ENOMEM), QStringLiteral("out of memory"));
    double integrated = kSilentLufs - 1, peak = 0;
    int64_t nextPts = AV_NOPTS_VALUE;
    bool done = false;

    auto drain = [&]() -> int {
        for (;;) {
            const int got = av_buffersink_get_frame(sink, measured.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return 0;
            if (got < 0)
                return _ctx.fail(got, QStringLiteral("cannot measure the loudness"));
            if (const AVDictionaryEntry *e = av_dict_get(measured->metadata, "lavfi.r128.I", nullptr, 0))
                integrated = std::strtod(e->value, nullptr);
            if (const AVDictionaryEntry *e = av_dict_get(measured->metadata, "lavfi.r128.true_peak", nullptr, 0))
                peak = std::max(peak, std::strtod(e->value, nullptr));
            av_frame_unref(measured.get());
        }
    };
    // The same clock and cut as filterFrame: the measure covers exactly what is encoded.
    auto take = [&](AVFrame *f) -> int {
        if (f->sample_rate <= 0 || f->nb_samples <= 0)
            return 0;
        const AVRational samples{1, f->sample_rate};
        int64_t pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        pts = pts != AV_NOPTS_VALUE
                  ? av_rescale_q(pts - clockOffsetIn(inStream->time_base), inStream->time_base, samples)
              : nextPts != AV_NOPTS_VALUE ? nextPts
                                          : 0;
        nextPts = pts + f->nb_samples;
        const int64_t atUs = av_rescale_q(pts, samples, AV_TIME_BASE_Q);
        if (_ctx.trimsStart() && av_rescale_q(nextPts, samples, AV_TIME_BASE_Q) <= _ctx.trimStartUs)
            return 0;
        if (_ctx.trimsEnd() && atUs >= _ctx.trimEndUs) {
            done = true;
            return 0;
        }
        f->pts = pts;
        if (!graph) {
            const int built = buildChain(graph, f, true, &src, &sink);
            if (built < 0)
                return built;
            graphRate = f->sample_rate;
            graphFmt = f->format;
            graphChannels = f->ch_layout.nb_channels;
        }
        // The rare stream that changes its shape midway is measured on its first shape.
        if (f->sample_rate != graphRate || f->format != graphFmt || f->ch_layout.nb_channels != graphChannels)
            return 0;
        const int added = av_buffersrc_add_frame(src, f);
        if (added < 0)
            return _ctx.fail(added, QStringLiteral("cannot measure the loudness"));
        if (progress && rangeUs > 0)
            progress(std::clamp(double(atUs - _ctx.trimStartUs) / double(rangeUs), 0.0, 1.0));
        return drain();
    };
    auto receive = [&]() -> int {
        for (;;) {
            const int got = avcodec_receive_frame(dec.get(), frame.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return 0;
            if (got == AVERROR(ENOMEM))
                return _ctx.fail(got, QStringLiteral("decoding"));
            if (got < 0)
                return 0; // a damaged stretch; the conversion itself judges damage
            const int taken = done ? 0 : take(frame.get());
            av_frame_unref(frame.get());
            if (taken < 0)
                return taken;
        }
    };
    while (!done) {
        if (!_ctx.control->checkpoint())
            return AVERROR_EXIT;
        rc = av_read_frame(in.get(), pkt.get());
        if (rc == AVERROR(EAGAIN))
            continue;
        if (rc < 0) {
            if (_ctx.control->cancelled())
                return AVERROR_EXIT;
            break; // the end, or what the conversion will judge as damage
        }
        if (pkt->stream_index == index)
            avcodec_send_packet(dec.get(), pkt.get());
        av_packet_unref(pkt.get());
        if ((rc = receive()) < 0)
            return rc;
    }
    if (!done) {
        avcodec_send_packet(dec.get(), nullptr);
        if ((rc = receive()) < 0)
            return rc;
    }
    if (graph) {
        rc = av_buffersrc_add_frame(src, nullptr);
        if (rc < 0 && rc != AVERROR_EOF)
            return _ctx.fail(rc, QStringLiteral("cannot measure the loudness"));
        if ((rc = drain()) < 0)
            return rc;
    }
    _loudness.measuredLufs = integrated;
    _loudness.measuredPeakDb = peak > 0 ? 20.0 * std::log10(peak) : -144.0;
    _loudness.targetLufs = integrated >= kSilentLufs ? targetLufs : 0;
    foundation::Log::debug(QStringLiteral("even loudness: %1 LUFS, true peak %2 dBTP; gain %3 dB")
                               .arg(integrated, 0, 'f', 1)
                               .arg(_loudness.measuredPeakDb, 0, 'f', 1)
                               .arg(_loudness.targetLufs < 0 ? _loudness.gainDb() : 0.0, 0, 'f', 1));
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
