#include "framewheel/SWMediaInfoManager.h"

#include "AvHelpers.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <QFile>
#include <QLocale>
#include <QTransform>
#include <cmath>
#include <QCoreApplication>
#include <optional>
#include <sys/stat.h>

namespace {

using namespace fw;

QString languageName(const QString &code) {
    if (code.isEmpty() || code == u"und")
        return {};
    QLocale::Language lang = QLocale::codeToLanguage(code, QLocale::ISO639Part2);
    if (lang == QLocale::AnyLanguage)
        lang = QLocale::codeToLanguage(code);
    if (lang == QLocale::AnyLanguage || lang == QLocale::C)
        return code;
    // The languages tracks are most often in are named in the user's language; Qt names
    // the others only in English.
    static const char *const common[] = {
        QT_TRANSLATE_NOOP("SWMediaInfoManager", "English"),  QT_TRANSLATE_NOOP("SWMediaInfoManager", "German"),
        QT_TRANSLATE_NOOP("SWMediaInfoManager", "French"),   QT_TRANSLATE_NOOP("SWMediaInfoManager", "Spanish"),
        QT_TRANSLATE_NOOP("SWMediaInfoManager", "Italian"),  QT_TRANSLATE_NOOP("SWMediaInfoManager", "Portuguese"),
        QT_TRANSLATE_NOOP("SWMediaInfoManager", "Dutch"),    QT_TRANSLATE_NOOP("SWMediaInfoManager", "Russian"),
        QT_TRANSLATE_NOOP("SWMediaInfoManager", "Polish"),   QT_TRANSLATE_NOOP("SWMediaInfoManager", "Turkish"),
        QT_TRANSLATE_NOOP("SWMediaInfoManager", "Japanese"), QT_TRANSLATE_NOOP("SWMediaInfoManager", "Chinese"),
        QT_TRANSLATE_NOOP("SWMediaInfoManager", "Korean"),   QT_TRANSLATE_NOOP("SWMediaInfoManager", "Arabic")};
    const QString english = QLocale::languageToString(lang);
    for (const char *name : common)
        if (english == QLatin1String(name))
            return QCoreApplication::translate("SWMediaInfoManager", name);
    return english;
}

QString codecLabel(const AVCodecParameters *par) {
    switch (par->codec_id) {
    case AV_CODEC_ID_SUBRIP:
        return QStringLiteral("SubRip");
    case AV_CODEC_ID_ASS:
        return QStringLiteral("ASS");
    case AV_CODEC_ID_MOV_TEXT:
        return QCoreApplication::translate("SWMediaInfoManager", "Timed text");
    case AV_CODEC_ID_DVD_SUBTITLE:
        return QCoreApplication::translate("SWMediaInfoManager", "DVD subtitles");
    case AV_CODEC_ID_HDMV_PGS_SUBTITLE:
        return QCoreApplication::translate("SWMediaInfoManager", "PGS subtitles");
    case AV_CODEC_ID_DVB_SUBTITLE:
        return QCoreApplication::translate("SWMediaInfoManager", "DVB subtitles");
    case AV_CODEC_ID_WEBVTT:
        return QStringLiteral("WebVTT");
    default:
        break;
    }
    const AVCodecDescriptor *d = avcodec_descriptor_get(par->codec_id);
    return d ? QString::fromLatin1(d->name).toUpper() : QStringLiteral("unknown");
}

QString layoutLabel(const AVCodecParameters *par) {
    const int n = par->ch_layout.nb_channels;
    if (n == 1)
        return QCoreApplication::translate("SWMediaInfoManager", "mono");
    if (n == 2)
        return QCoreApplication::translate("SWMediaInfoManager", "stereo");
    if (n <= 0)
        return {};
    char buf[64] = {0};
    if (par->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC &&
        av_channel_layout_describe(&par->ch_layout, buf, sizeof buf) > 0)
        return QString::fromLatin1(buf);
    return QCoreApplication::translate("SWMediaInfoManager", "%1 channels").arg(n);
}

QString metadata(const AVStream *st, const char *key) {
    const AVDictionaryEntry *e = av_dict_get(st->metadata, key, nullptr, 0);
    return e ? QString::fromUtf8(e->value) : QString();
}

// "English – AAC stereo", "Commentary (English) – AC3 5.1(side)", "Track 2 – MP3 mono".
QString streamName(const AVStream *st, int ordinal, bool audio) {
    const QString lang = languageName(metadata(st, "language"));
    const QString title = metadata(st, "title").trimmed();
    QString who;
    if (!title.isEmpty())
        who = lang.isEmpty() ? title : QStringLiteral("%1 (%2)").arg(title, lang);
    else if (!lang.isEmpty())
        who = lang;
    else
        who = QCoreApplication::translate("SWMediaInfoManager", "Track %1").arg(ordinal);
    QString what = codecLabel(st->codecpar);
    if (audio) {
        const QString layout = layoutLabel(st->codecpar);
        if (!layout.isEmpty())
            what += u' ' + layout;
    }
    return who + QStringLiteral(" \u2013 ") + what;
}

bool isBitmapSubtitle(AVCodecID id) {
    const AVCodecDescriptor *d = avcodec_descriptor_get(id);
    return d && (d->props & AV_CODEC_PROP_BITMAP_SUB);
}

// Picture fitted into 156x100 at device pixel ratio 2, in the displayed orientation.
QImage toThumbnail(const AVFrame *frame, AVRational sar, int rotation) {
    if (frame->width <= 0 || frame->height <= 0)
        return {};
    double dispW = frame->width;
    const double dispH = frame->height;
    if (sar.num > 0 && sar.den > 0)
        dispW = dispW * sar.num / sar.den;
    const bool quarter = rotation == 90 || rotation == 270;
    const double showW = quarter ? dispH : dispW;
    const double showH = quarter ? dispW : dispH;
    const double scale = std::min(156.0 / showW, 100.0 / showH);
    int outW = std::max(2, static_cast<int>(std::lround(showW * scale)));
    int outH = std::max(2, static_cast<int>(std::lround(showH * scale)));
    if (quarter)
        std::swap(outW, outH);
    SwsPtr sws(sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), outW, outH,
                              AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!sws)
        return {};
    QImage img(outW, outH, QImage::Format_RGB32);
    uint8_t *dst[4] = {img.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(img.bytesPerLine()), 0, 0, 0};
    sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    if (rotation != 0)
        img = img.transformed(QTransform().rotate(rotation));
    img.setDevicePixelRatio(2.0);
    return img;
}

} // namespace

bool SWMediaInfoManager::canOpenFile(const QString &path) {
    Deadline deadline{std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpenTimeoutMs)};
    QString error;
    // Headers only: the container is recognised and declares a stream we can use.
    InputContextPtr ctx = openInput(path, &deadline, &error, false);
    if (!ctx)
        return false;
    if (ctx->nb_streams == 0) {
        // Formats such as MPEG-PS declare streams only once packets are read.
        if (avformat_find_stream_info(ctx.get(), nullptr) < 0)
            return false;
    }
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVMediaType t = ctx->streams[i]->codecpar->codec_type;
        if (t == AVMEDIA_TYPE_AUDIO || t == AVMEDIA_TYPE_VIDEO)
            return true;
    }
    return false;
}

namespace {
QVariantMap streamFields(const SWStreamDetail &d) {
    return {{QStringLiteral("number"), d.number},     {QStringLiteral("name"), d.name},
            {QStringLiteral("codec"), d.codec},       {QStringLiteral("language"), d.language},
            {QStringLiteral("channels"), d.channels}, {QStringLiteral("sampleRate"), d.sampleRate},
            {QStringLiteral("bitmap"), d.bitmap}};
}

std::optional<QList<SWStreamDetail>> streamsFrom(const QVariant &v) {
    if (v.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<SWStreamDetail> out;
    for (const QVariant &e : v.toList()) {
        if (e.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
        const QVariantMap m = e.toMap();
        SWStreamDetail d;
        d.number = m.value(QStringLiteral("number"), -1).toInt();
        d.name = m.value(QStringLiteral("name")).toString();
        d.codec = m.value(QStringLiteral("codec")).toString();
        d.language = m.value(QStringLiteral("language")).toString();
        d.channels = m.value(QStringLiteral("channels")).toInt();
        d.sampleRate = m.value(QStringLiteral("sampleRate")).toInt();
        d.bitmap = m.value(QStringLiteral("bitmap")).toBool();
        if (d.number < 0)
            return std::nullopt;
        out.append(d);
    }
    return out;
}
} // namespace

QVariantMap SWMediaInfoManager::storedFields() const {
    if (!_valid)
        return {};
    QVariantList audio, subtitles;
    for (const SWStreamDetail &d : _audio)
        audio << streamFields(d);
    for (const SWStreamDetail &d : _subtitles)
        subtitles << streamFields(d);
    return {{QStringLiteral("hasVideo"), _hasVideo},
            {QStringLiteral("duration"), qlonglong(_duration)},
            {QStringLiteral("width"), qulonglong(_width)},
            {QStringLiteral("height"), qulonglong(_height)},
            {QStringLiteral("codedWidth"), qulonglong(_codedWidth)},
            {QStringLiteral("codedHeight"), qulonglong(_codedHeight)},
            {QStringLiteral("rotation"), _rotation},
            {QStringLiteral("samples"), _samples},
            {QStringLiteral("framerate"), _framerate},
            {QStringLiteral("videoStartTime"), qlonglong(_videoStartTime)},
            {QStringLiteral("formatName"), _formatName},
            {QStringLiteral("videoCodec"), _videoCodec},
            {QStringLiteral("videoStream"), _videoStream},
            {QStringLiteral("audio"), audio},
            {QStringLiteral("subtitles"), subtitles},
            {QStringLiteral("fileSize"), qlonglong(_fileSize)},
            {QStringLiteral("fileModified"), qlonglong(_fileModifiedNs)}};
}

std::shared_ptr<SWMediaInfoManager> SWMediaInfoManager::fromStoredFields(const QString &path, const QVariantMap &f) {
    for (const char *key : {"hasVideo", "duration", "width", "height", "formatName", "audio", "subtitles"})
        if (!f.contains(QLatin1String(key)))
            return nullptr;
    const auto audio = streamsFrom(f.value(QStringLiteral("audio")));
    const auto subtitles = streamsFrom(f.value(QStringLiteral("subtitles")));
    if (!audio || !subtitles)
        return nullptr;
    std::shared_ptr<SWMediaInfoManager> p(new SWMediaInfoManager);
    p->_path = path;
    p->_hasVideo = f.value(QStringLiteral("hasVideo")).toBool();
    p->_duration = f.value(QStringLiteral("duration")).toLongLong();
    p->_width = f.value(QStringLiteral("width")).toULongLong();
    p->_height = f.value(QStringLiteral("height")).toULongLong();
    p->_codedWidth = f.value(QStringLiteral("codedWidth")).toULongLong();
    p->_codedHeight = f.value(QStringLiteral("codedHeight")).toULongLong();
    p->_rotation = f.value(QStringLiteral("rotation")).toInt();
    p->_samples = f.value(QStringLiteral("samples")).toUInt();
    p->_framerate = f.value(QStringLiteral("framerate")).toDouble();
    p->_videoStartTime = f.value(QStringLiteral("videoStartTime")).toLongLong();
    p->_formatName = f.value(QStringLiteral("formatName")).toString();
    p->_videoCodec = f.value(QStringLiteral("videoCodec")).toString();
    p->_videoStream = f.value(QStringLiteral("videoStream"), -1).toInt();
    p->_audio = *audio;
    p->_subtitles = *subtitles;
    p->_fileSize = f.value(QStringLiteral("fileSize"), -1).toLongLong();
    p->_fileModifiedNs = f.value(QStringLiteral("fileModified"), -1).toLongLong();
    // A record that could not have come from a valid probe is no record.
    if (p->_duration < 0 || !std::isfinite(p->_framerate) || (p->_hasVideo && (p->_width == 0 || p->_height == 0)) ||
        (!p->_hasVideo && p->_audio.isEmpty()))
        return nullptr;
    p->_valid = true;
    return p;
}

std::shared_ptr<SWMediaInfoManager> SWMediaInfoManager::initWithFile(const QString &path, bool withThumbnail) {
    return std::make_shared<SWMediaInfoManager>(path, withThumbnail);
}

SWMediaInfoManager::SWMediaInfoManager(const QString &path, bool withThumbnail) : _path(path) { probe(withThumbnail); }

SWMediaInfoManager::~SWMediaInfoManager() = default;

QStringList SWMediaInfoManager::subtitles() const {
    QStringList l;
    for (const auto &s : _subtitles)
        l << s.name;
    return l;
}

QStringList SWMediaInfoManager::audioStreamNames() const {
    QStringList l;
    for (const auto &s : _audio)
        l << s.name;
    return l;
}

QList<int> SWMediaInfoManager::subtitleStreamIndexs() const {
    QList<int> l;
    for (const auto &s : _subtitles)
        l << s.number;
    return l;
}

QList<int> SWMediaInfoManager::audioStreamIndexs() const {
    QList<int> l;
    for (const auto &s : _audio)
        l << s.number;
    return l;
}

namespace {

// Decodes one picture for the row: the attached cover of an audio file, or a frame a
// little into the clip (the first frames of many clips are black or a fade-in).
FramePtr decodeThumbnailFrame(AVFormatContext *fmt, int streamIndex, int64_t durationUs) {
    AVStream *st = fmt->streams[streamIndex];
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return nullptr;
    CodecContextPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0)
        return nullptr;
    dec->thread_count = 0;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0)
        return nullptr;

    FramePtr frame = makeFrame();
    PacketPtr pkt = makePacket();

    if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) {
        if (st->attached_pic.size <= 0 || avcodec_send_packet(dec.get(), &st->attached_pic) < 0)
            return nullptr;
        avcodec_send_packet(dec.get(), nullptr);
        return avcodec_receive_frame(dec.get(), frame.get()) >= 0 ? std::move(frame) : nullptr;
    }

    // A moment into the clip: a fifth of it, at most five seconds in.
    const int64_t targetUs = std::min<int64_t>(durationUs / 5, 5'000'000);
    int64_t target = AV_NOPTS_VALUE;
    if (targetUs > 0) {
        int64_t startUs = fmt->start_time != AV_NOPTS_VALUE ? fmt->start_time : 0;
        target = av_rescale_q(startUs + targetUs, AVRational{1, AV_TIME_BASE}, st->time_base);
        if (av_seek_frame(fmt, streamIndex, target, AVSEEK_FLAG_BACKWARD) < 0) {
            av_seek_frame(fmt, -1, 0, AVSEEK_FLAG_BACKWARD);
            target = AV_NOPTS_VALUE;
        }
    }
    // Frames before the target are only decoded as far as needed; bound the work.
    int decodedBeforeTarget = 0;
    constexpr int kMaxFramesBeforeTarget = 60;
    FramePtr best;
    bool flushing = false;
    for (int reads = 0; reads < 4000;) {
        if (!flushing) {
            const int rc = av_read_frame(fmt, pkt.get());
            ++reads;
            if (rc < 0) {
                flushing = true;
                avcodec_send_packet(dec.get(), nullptr);
            } else {
                if (pkt->stream_index == streamIndex)
                    avcodec_send_packet(dec.get(), pkt.get());
                av_packet_unref(pkt.get());
            }
        }
        for (;;) {
            const int rc = avcodec_receive_frame(dec.get(), frame.get());
            if (rc == AVERROR(EAGAIN))
                break;
            if (rc < 0)
                return best; // end of stream
            const int64_t pts = frame->best_effort_timestamp;
            best = makeFrame();
            av_frame_move_ref(best.get(), frame.get());
            if (target == AV_NOPTS_VALUE || pts == AV_NOPTS_VALUE || pts >= target ||
                ++decodedBeforeTarget >= kMaxFramesBeforeTarget)
                return best;
        }
        if (flushing)
            break;
    }
    return best;
}

// Why none of the file's audio streams gives sound, or empty when one does. A header can
// name a codec its data does not hold (a WAV that says MP3, a FLAC whose STREAMINFO is
// broken): only decoding tells, and a few packets are enough.
QString audioDecodeProblem(AVFormatContext *fmt, const QList<SWStreamDetail> &audio) {
    std::vector<CodecContextPtr> decoders(fmt->nb_streams);
    QString problem = QStringLiteral("the audio could not be decoded");
    bool anyOpen = false;
    for (const SWStreamDetail &a : audio) {
        const AVCodecParameters *par = fmt->streams[a.number]->codecpar;
        const AVCodec *codec = avcodec_find_decoder(par->codec_id);
        if (!codec) {
            problem = QStringLiteral("no decoder for its %1 audio").arg(a.codec);
            continue;
        }
        CodecContextPtr dec(avcodec_alloc_context3(codec));
        if (!dec || avcodec_parameters_to_context(dec.get(), par) < 0)
            continue;
        if (const int rc = avcodec_open2(dec.get(), codec, nullptr); rc < 0) {
            problem = QStringLiteral("its %1 audio cannot be decoded: %2").arg(a.codec, avError(rc));
            continue;
        }
        decoders[a.number] = std::move(dec);
        anyOpen = true;
    }
    if (!anyOpen)
        return problem;
    FramePtr frame = makeFrame();
    PacketPtr pkt = makePacket();
    constexpr int kMaxPackets = 64;
    for (int reads = 0; reads < kMaxPackets && av_read_frame(fmt, pkt.get()) >= 0; ++reads) {
        AVCodecContext *dec = pkt->stream_index >= 0 && pkt->stream_index < int(decoders.size())
                                  ? decoders[pkt->stream_index].get()
                                  : nullptr;
        // A packet the decoder refuses is damage to pass over, as the conversion does.
        const bool sent = dec && avcodec_send_packet(dec, pkt.get()) >= 0;
        av_packet_unref(pkt.get());
        if (sent && avcodec_receive_frame(dec, frame.get()) >= 0)
            return {};
    }
    // Short files may hold fewer packets than a decoder's delay.
    for (const CodecContextPtr &dec : decoders) {
        if (dec && avcodec_send_packet(dec.get(), nullptr) >= 0 && avcodec_receive_frame(dec.get(), frame.get()) >= 0)
            return {};
    }
    return problem;
}

} // namespace

void SWMediaInfoManager::probe(bool withThumbnail) {
    if (struct stat st{}; ::stat(QFile::encodeName(_path).constData(), &st) == 0) {
        _fileSize = st.st_size;
        _fileModifiedNs = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    }
    Deadline deadline{std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpenTimeoutMs)};
    InputContextPtr fmt = openInput(_path, &deadline, &_error, true);
    if (!fmt)
        return;
    _formatName = QString::fromLatin1(fmt->iformat->name);

    int videoIndex = -1;
    int coverIndex = -1;
    int audioOrdinal = 0;
    int subtitleOrdinal = 0;
    int64_t streamMaxUs = 0;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        AVStream *st = fmt->streams[i];
        const AVCodecParameters *par = st->codecpar;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            streamMaxUs = std::max(streamMaxUs, av_rescale_q(st->duration, st->time_base, AVRational{1, AV_TIME_BASE}));
        switch (par->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) {
                if (coverIndex < 0)
                    coverIndex = static_cast<int>(i);
            } else if (videoIndex < 0 && par->width > 0 && par->height > 0) {
                videoIndex = static_cast<int>(i);
            }
            break;
        case AVMEDIA_TYPE_AUDIO: {
            SWStreamDetail d;
            d.number = static_cast<int>(i);
            d.codec = QString::fromLatin1(avcodec_get_name(par->codec_id));
            d.language = metadata(st, "language");
            d.channels = par->ch_layout.nb_channels;
            d.sampleRate = par->sample_rate;
            d.name = streamName(st, ++audioOrdinal, true);
            _audio.append(d);
            break;
        }
        case AVMEDIA_TYPE_SUBTITLE: {
            SWStreamDetail d;
            d.number = static_cast<int>(i);
            d.codec = QString::fromLatin1(avcodec_get_name(par->codec_id));
            d.language = metadata(st, "language");
            d.bitmap = isBitmapSubtitle(par->codec_id);
            d.name = streamName(st, ++subtitleOrdinal, false);
            _subtitles.append(d);
            break;
        }
        default:
            break;
        }
    }
    // Prefer libavformat's own choice where it names a real picture stream.
    const int best = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && !(fmt->streams[best]->disposition & AV_DISPOSITION_ATTACHED_PIC) &&
        fmt->streams[best]->codecpar->width > 0)
        videoIndex = best;

    if (videoIndex < 0 && _audio.isEmpty()) {
        _error = QStringLiteral("no audio or video streams");
        return;
    }

    if (videoIndex < 0) {
        if (QString problem = audioDecodeProblem(fmt.get(), _audio); !problem.isEmpty()) {
            _error = problem;
            _audio.clear();
            _subtitles.clear();
            return;
        }
    }

    _duration = fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0 ? fmt->duration : streamMaxUs;
    if (!_audio.isEmpty())
        _samples = static_cast<unsigned>(_audio.first().sampleRate);

    if (videoIndex >= 0) {
        AVStream *st = fmt->streams[videoIndex];
        const AVCodecParameters *par = st->codecpar;
        _hasVideo = true;
        _videoStream = videoIndex;
        _videoCodec = QString::fromLatin1(avcodec_get_name(par->codec_id));
        _codedWidth = static_cast<uint64_t>(par->width);
        _codedHeight = static_cast<uint64_t>(par->height);
        _rotation = streamRotation(st);
        AVRational sar = av_guess_sample_aspect_ratio(fmt.get(), st, nullptr);
        uint64_t w = _codedWidth;
        const uint64_t h = _codedHeight;
        if (sar.num > 0 && sar.den > 0 && sar.num != sar.den)
            w = static_cast<uint64_t>(std::llround(static_cast<double>(w) * sar.num / sar.den));
        if (_rotation == 90 || _rotation == 270) {
            _width = h;
            _height = w;
        } else {
            _width = w;
            _height = h;
        }
        if (st->start_time != AV_NOPTS_VALUE)
            _videoStartTime = av_rescale_q(st->start_time, st->time_base, AVRational{1, AV_TIME_BASE});
        AVRational rate = st->avg_frame_rate;
        if (rate.num <= 0 || rate.den <= 0)
            rate = st->r_frame_rate;
        if (rate.num > 0 && rate.den > 0)
            _framerate = av_q2d(rate);
    }
    _valid = true;

    const int thumbIndex = videoIndex >= 0 ? videoIndex : coverIndex;
    if (withThumbnail && thumbIndex >= 0) {
        if (FramePtr f = decodeThumbnailFrame(fmt.get(), thumbIndex, _duration)) {
            AVStream *st = fmt->streams[thumbIndex];
            _thumbnail = toThumbnail(f.get(), av_guess_sample_aspect_ratio(fmt.get(), st, f.get()),
                                     thumbIndex == videoIndex ? _rotation : 0);
        }
    }
}
