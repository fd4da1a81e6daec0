#include "SessionTestSupport.h"

#include "TestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/resource.h>

namespace sessiontest {

void Recorder::sessionProgressPastLeft(SWConvertSession *, double percent, int64_t pastUs, int64_t) {
    std::lock_guard lock(_m);
    _percents.push_back(percent);
    _pastUs.push_back(pastUs);
    _count.fetch_add(1);
}

std::vector<double> Recorder::percents() const {
    std::lock_guard lock(_m);
    return _percents;
}

std::vector<int64_t> Recorder::pastUs() const {
    std::lock_guard lock(_m);
    return _pastUs;
}

double Recorder::last() const {
    std::lock_guard lock(_m);
    return _percents.empty() ? -1.0 : _percents.back();
}

Outcome convert(const QString &in, const QString &out, const std::function<void(SWConvertOption &)> &configure,
                const QString &subtitleFile) {
    SWConvertSession session;
    Recorder recorder;
    session.setDelegate(&recorder);
    session.option().setAuto_streamcopy(false);
    if (configure)
        configure(session.option());
    session.addInputFile(in);
    if (!subtitleFile.isEmpty()) {
        session.option().setUsePluginSubtitle(true);
        session.loadPluginSubtitle(subtitleFile);
    }
    session.setOutputFileName(out);
    Outcome o;
    o.ok = session.start();
    o.error = session.lastError();
    o.percents = recorder.percents();
    o.pastUs = recorder.pastUs();
    return o;
}

namespace {
double rational(const QString &r) {
    const QStringList p = r.split(u'/');
    if (p.size() != 2 || p[1].toDouble() == 0)
        return 0;
    return p[0].toDouble() / p[1].toDouble();
}
} // namespace

MediaInfo probe(const QString &path) {
    QByteArray out;
    const int rc = testsupport::runProgram(
        "ffprobe", {"-v", "error", "-count_packets", "-print_format", "json", "-show_format", "-show_streams", path},
        &out);
    MediaInfo m;
    if (rc != 0)
        return m;
    const QJsonObject j = QJsonDocument::fromJson(out).object();
    const QJsonObject f = j["format"].toObject();
    m.valid = !f.isEmpty();
    m.format = f["format_name"].toString();
    m.duration = f["duration"].toString().toDouble();
    for (const auto &sv : j["streams"].toArray()) {
        const QJsonObject s = sv.toObject();
        const QString type = s["codec_type"].toString();
        StreamInfo *info = nullptr;
        if (type == "video") {
            ++m.videoStreams;
            if (!m.video.present)
                info = &m.video;
        } else if (type == "audio") {
            ++m.audioStreams;
            if (!m.audio.present)
                info = &m.audio;
        }
        if (!info)
            continue;
        info->present = true;
        info->codec = s["codec_name"].toString();
        info->width = s["width"].toInt();
        info->height = s["height"].toInt();
        info->sar = s["sample_aspect_ratio"].toString();
        info->fps = rational(s["r_frame_rate"].toString());
        info->sampleRate = s["sample_rate"].toString().toInt();
        info->channels = s["channels"].toInt();
        info->duration = s.contains("duration") ? s["duration"].toString().toDouble() : m.duration;
        info->packets = s["nb_read_packets"].toString().toInt();
        for (const auto &sd : s["side_data_list"].toArray())
            if (sd.toObject().contains("rotation"))
                info->rotation = sd.toObject()["rotation"].toInt();
    }
    return m;
}

QStringList packetHashes(const QString &path, char type) {
    QByteArray out;
    const QString map = QStringLiteral("0:%1:0").arg(QLatin1Char(type));
    if (testsupport::runProgram(
            "ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-map", map, "-c", "copy", "-f", "framemd5", "-"},
            &out) != 0)
        return {};
    QStringList hashes;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> f = line.split(',');
        if (f.size() >= 6)
            hashes << QString::fromLatin1(f[4].trimmed() + " " + f[5].trimmed());
    }
    return hashes;
}

QByteArray grayPicture(const QString &path, int index) {
    QByteArray out;
    const QString vf = QStringLiteral("select=eq(n\\,%1),scale=80:60:flags=area,format=gray").arg(index);
    testsupport::runProgram(
        "ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-vf", vf, "-frames:v", "1", "-f", "rawvideo", "-"}, &out);
    return out;
}

QByteArray grayPictureAt(const QString &path, double seconds) {
    QByteArray out;
    testsupport::runProgram("ffmpeg",
                            {"-nostdin", "-v", "error", "-ss", QString::number(seconds, 'f', 6), "-i", path, "-vf",
                             "scale=80:60:flags=area,format=gray", "-frames:v", "1", "-f", "rawvideo", "-"},
                            &out);
    return out;
}

double pictureDifference(const QByteArray &a, const QByteArray &b, int fromRow, int toRow) {
    if (a.size() != 80 * 60 || b.size() != 80 * 60)
        return std::numeric_limits<double>::infinity();
    double sum = 0;
    int n = 0;
    for (int y = fromRow; y < toRow; ++y)
        for (int x = 0; x < 80; ++x, ++n)
            sum += std::abs(int(uint8_t(a[y * 80 + x])) - int(uint8_t(b[y * 80 + x])));
    return n ? sum / n : 0;
}

double meanVolume(const QString &path) {
    QByteArray err;
    testsupport::runProgram(
        "ffmpeg", {"-nostdin", "-hide_banner", "-i", path, "-af", "volumedetect", "-f", "null", "-"}, nullptr, &err);
    const auto m = QRegularExpression(QStringLiteral("mean_volume: (-?[0-9.]+) dB")).match(QString::fromUtf8(err));
    return m.hasMatch() ? m.captured(1).toDouble() : std::nan("");
}

namespace {
struct InputCloser {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct OutputCloser {
    void operator()(AVFormatContext *c) const {
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecCloser {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
} // namespace

bool makeBitmapSubtitleMovie(const QString &videoSource, const QString &out, QString *error) {
    AVFormatContext *rawIn = nullptr;
    const QByteArray inPath = QFile::encodeName(videoSource), outPath = QFile::encodeName(out);
    if (avformat_open_input(&rawIn, inPath.constData(), nullptr, nullptr) < 0) {
        *error = "cannot open the video source";
        return false;
    }
    std::unique_ptr<AVFormatContext, InputCloser> in(rawIn);
    if (avformat_find_stream_info(in.get(), nullptr) < 0) {
        *error = "no stream info";
        return false;
    }
    const int vIdx = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (vIdx < 0) {
        *error = "no video";
        return false;
    }
    AVStream *vin = in->streams[vIdx];

    const AVCodec *subCodec = avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
    std::unique_ptr<AVCodecContext, CodecCloser> enc(avcodec_alloc_context3(subCodec));
    enc->width = vin->codecpar->width;
    enc->height = vin->codecpar->height;
    enc->time_base = {1, 1000};
    if (!subCodec || avcodec_open2(enc.get(), subCodec, nullptr) < 0) {
        *error = "no DVD subtitle encoder";
        return false;
    }

    AVFormatContext *rawOut = nullptr;
    if (avformat_alloc_output_context2(&rawOut, nullptr, "matroska", outPath.constData()) < 0) {
        *error = "no matroska muxer";
        return false;
    }
    std::unique_ptr<AVFormatContext, OutputCloser> outCtx(rawOut);
    AVStream *vout = avformat_new_stream(outCtx.get(), nullptr);
    avcodec_parameters_copy(vout->codecpar, vin->codecpar);
    vout->codecpar->codec_tag = 0;
    vout->time_base = vin->time_base;
    AVStream *sout = avformat_new_stream(outCtx.get(), nullptr);
    avcodec_parameters_from_context(sout->codecpar, enc.get());
    sout->time_base = {1, 1000};
    if (avio_open(&outCtx->pb, outPath.constData(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(outCtx.get(), nullptr) < 0) {
        *error = "cannot write the movie";
        return false;
    }

    // One opaque white bar over the lower part of the picture.
    AVSubtitle sub{};
    sub.format = 0;
    sub.start_display_time = 0;
    sub.end_display_time = 3000;
    sub.pts = 500000;
    sub.num_rects = 1;
    sub.rects = static_cast<AVSubtitleRect **>(av_mallocz(sizeof(AVSubtitleRect *)));
    AVSubtitleRect *r = sub.rects[0] = static_cast<AVSubtitleRect *>(av_mallocz(sizeof(AVSubtitleRect)));
    r->type = SUBTITLE_BITMAP;
    r->w = enc->width * 3 / 4;
    r->h = enc->height / 6;
    r->x = enc->width / 8;
    r->y = enc->height * 3 / 4;
    r->nb_colors = 4;
    r->linesize[0] = r->w;
    r->data[0] = static_cast<uint8_t *>(av_malloc(size_t(r->w) * r->h));
    std::memset(r->data[0], 1, size_t(r->w) * r->h);
    auto *pal = static_cast<uint32_t *>(av_mallocz(4 * sizeof(uint32_t)));
    pal[0] = 0x00000000;
    pal[1] = 0xFFFFFFFF;
    pal[2] = 0xFF000000;
    pal[3] = 0xFF808080;
    r->data[1] = reinterpret_cast<uint8_t *>(pal);
    std::vector<uint8_t> buf(1 << 20);
    const int size = avcodec_encode_subtitle(enc.get(), buf.data(), int(buf.size()), &sub);
    avsubtitle_free(&sub);
    if (size <= 0) {
        *error = "the DVD subtitle encoder refused the picture";
        return false;
    }

    AVPacket *pkt = av_packet_alloc();
    bool subWritten = false;
    bool ok = true;
    while (ok && av_read_frame(in.get(), pkt) >= 0) {
        if (pkt->stream_index != vIdx) {
            av_packet_unref(pkt);
            continue;
        }
        const double t = pkt->dts * av_q2d(vin->time_base);
        if (!subWritten && t >= 0.3) {
            AVPacket *sp = av_packet_alloc();
            av_new_packet(sp, size);
            std::memcpy(sp->data, buf.data(), size_t(size));
            sp->pts = sp->dts = 500;
            sp->duration = 3000;
            sp->stream_index = sout->index;
            sp->flags |= AV_PKT_FLAG_KEY;
            av_packet_rescale_ts(sp, {1, 1000}, sout->time_base);
            ok = av_interleaved_write_frame(outCtx.get(), sp) >= 0;
            av_packet_free(&sp);
            subWritten = true;
        }
        pkt->stream_index = vout->index;
        av_packet_rescale_ts(pkt, vin->time_base, vout->time_base);
        pkt->pos = -1;
        ok = ok && av_interleaved_write_frame(outCtx.get(), pkt) >= 0;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    ok = ok && av_write_trailer(outCtx.get()) >= 0;
    if (!ok)
        *error = "cannot write the movie";
    return ok;
}

int64_t processCpuMicros() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return int64_t(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000 + ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
}

double slowness() {
#ifdef CINVORA_SANITIZER_BUILD
    return 4.0;
#else
    return 1.0;
#endif
}

} // namespace sessiontest
