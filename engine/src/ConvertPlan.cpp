#include "ConvertPlan.h"

extern "C" {
#include <libavcodec/dv_profile.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace fw {

namespace {

bool isOneOf(const char *name, std::initializer_list<const char *> names) {
    for (const char *n : names)
        if (std::strcmp(name, n) == 0)
            return true;
    return false;
}

bool idIn(AVCodecID id, std::initializer_list<AVCodecID> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Muxers that answer neither through a query nor a tag table: what they carry.
int acceptsByTable(const AVOutputFormat *fmt, AVCodecID id) {
    const char *n = fmt->name;
    if (isOneOf(n, {"mpegts"}))
        return idIn(id, {AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG4, AV_CODEC_ID_H264,
                         AV_CODEC_ID_HEVC, AV_CODEC_ID_VC1, AV_CODEC_ID_DIRAC, AV_CODEC_ID_MP2, AV_CODEC_ID_MP3,
                         AV_CODEC_ID_AAC, AV_CODEC_ID_AC3, AV_CODEC_ID_EAC3, AV_CODEC_ID_DTS, AV_CODEC_ID_OPUS,
                         AV_CODEC_ID_TRUEHD});
    if (isOneOf(n, {"vcd"}))
        return idIn(id, {AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MP2});
    if (isOneOf(n, {"svcd"}))
        return idIn(id, {AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2});
    if (isOneOf(n, {"vob", "dvd"}))
        return idIn(id, {AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MP2, AV_CODEC_ID_AC3,
                         AV_CODEC_ID_MP3, AV_CODEC_ID_DTS, AV_CODEC_ID_PCM_DVD});
    if (isOneOf(n, {"mpeg"}))
        return idIn(id, {AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_H264, AV_CODEC_ID_MP2,
                         AV_CODEC_ID_MP3, AV_CODEC_ID_AC3});
    if (isOneOf(n, {"ogg"}))
        return idIn(id, {AV_CODEC_ID_THEORA, AV_CODEC_ID_VP8, AV_CODEC_ID_VORBIS, AV_CODEC_ID_OPUS, AV_CODEC_ID_FLAC,
                         AV_CODEC_ID_SPEEX});
    if (isOneOf(n, {"oga"}))
        return idIn(id, {AV_CODEC_ID_VORBIS, AV_CODEC_ID_OPUS, AV_CODEC_ID_FLAC, AV_CODEC_ID_SPEEX});
    if (isOneOf(n, {"mp3"}))
        return idIn(id, {AV_CODEC_ID_MP3, AV_CODEC_ID_MP2, AV_CODEC_ID_MP1});
    return 0;
}

// Encoders whose library default would take hours on a feature film.
bool isSlowByDefault(const AVCodec *c) { return isOneOf(c->name, {"libvpx", "libvpx-vp9"}); }

int nearestOf(int value, std::initializer_list<int> allowed) {
    int best = *allowed.begin();
    for (int a : allowed)
        if (std::abs(a - value) < std::abs(best - value) || (std::abs(a - value) == std::abs(best - value) && a > best))
            best = a;
    return best;
}

int alignTo(int v, int align) {
    if (align <= 1)
        return std::max(1, v);
    const int r = (v + align / 2) / align * align;
    return std::max(align, r);
}

AVRational aspectPreservingSar(int aspectW, int aspectH, int w, int h) {
    AVRational sar{1, 1};
    av_reduce(&sar.num, &sar.den, int64_t(aspectW) * h, int64_t(aspectH) * w, 65535);
    return sar;
}

bool validRate(AVRational r) { return r.num > 0 && r.den > 0 && av_q2d(r) > 0.5 && av_q2d(r) <= 1000.0; }

} // namespace

Quality qualityFromQscale(double qscale) {
    if (qscale < 4.0)
        return Quality::High;
    if (qscale < 11.0)
        return Quality::Middle;
    return Quality::Low;
}

QString canonicalContainerName(const QString &name) {
    QString n = name.trimmed().toLower();
    while (n.startsWith(u'.'))
        n.remove(0, 1);
    static const QHash<QString, QString> aliases = {
        {"mkv", "matroska"}, {"mka", "matroska"}, {"wmv", "asf"},       {"wma", "asf"},    {"m4v", "mp4"},
        {"m4a", "ipod"},     {"ts", "mpegts"},    {"m2ts", "mpegts"},   {"mts", "mpegts"}, {"mpg", "mpeg"},
        {"mpeg1", "mpeg"},   {"mpeg2", "vob"},    {"dvd", "dvd"},       {"aac", "adts"},   {"ogv", "ogg"},
        {"oga", "oga"},      {"qt", "mov"},       {"quicktime", "mov"}, {"aif", "aiff"},   {"aifc", "aiff"},
        {"divx", "avi"},     {"xvid", "avi"},     {"3gpp", "3gp"},      {"3g2", "3g2"},    {"wave", "wav"},
    };
    return aliases.value(n, n);
}

const AVOutputFormat *resolveContainer(const QString &name, const QString &outputPath, QString *error) {
    const QString canon = canonicalContainerName(name);
    const AVOutputFormat *fmt = nullptr;
    if (canon.isEmpty()) {
        const QString ext = QFileInfo(outputPath).suffix();
        if (ext.isEmpty()) {
            *error = QStringLiteral("no container given and the output name has no extension");
            return nullptr;
        }
        return resolveContainer(ext, outputPath, error);
    }
    const QByteArray latin = canon.toLatin1();
    fmt = av_guess_format(latin.constData(), nullptr, nullptr);
    if (!fmt) {
        // A name such as "mp4a" may be an extension rather than a muxer name.
        const QByteArray file = "x." + latin;
        fmt = av_guess_format(nullptr, file.constData(), nullptr);
    }
    if (!fmt || (fmt->flags & AVFMT_NOFILE)) {
        *error = QStringLiteral("unknown container '%1'").arg(name);
        return nullptr;
    }
    if (isOneOf(fmt->name, {"image2pipe", "fifo", "tee", "segment", "hls", "dash", "framemd5", "framecrc", "md5", "crc",
                            "hash", "framehash", "streamhash", "null"})) {
        *error = QStringLiteral("'%1' is not a file container").arg(name);
        return nullptr;
    }
    return fmt;
}

bool containerAccepts(const AVOutputFormat *fmt, AVCodecID id) {
    if (!fmt || id == AV_CODEC_ID_NONE)
        return false;
    const int r = avformat_query_codec(fmt, id, FF_COMPLIANCE_NORMAL);
    if (r == 1)
        return true;
    if (r == 0)
        return false;
    return acceptsByTable(fmt, id) != 0;
}

bool containerHoldsType(const AVOutputFormat *fmt, AVMediaType type) {
    if (type == AVMEDIA_TYPE_VIDEO)
        // Audio containers that list a picture codec carry only cover art.
        return fmt->video_codec != AV_CODEC_ID_NONE && fmt->video_codec != AV_CODEC_ID_PNG &&
               fmt->video_codec != AV_CODEC_ID_MJPEG;
    if (type == AVMEDIA_TYPE_AUDIO)
        return fmt->audio_codec != AV_CODEC_ID_NONE;
    return false;
}

const AVCodec *encoderForCodec(AVCodecID id) {
    static const QHash<int, const char *> preferred = {
        {AV_CODEC_ID_H264, "libx264"},     {AV_CODEC_ID_HEVC, "libx265"},   {AV_CODEC_ID_AV1, "libsvtav1"},
        {AV_CODEC_ID_VP8, "libvpx"},       {AV_CODEC_ID_VP9, "libvpx-vp9"}, {AV_CODEC_ID_MP3, "libmp3lame"},
        {AV_CODEC_ID_VORBIS, "libvorbis"}, {AV_CODEC_ID_OPUS, "libopus"},   {AV_CODEC_ID_THEORA, "libtheora"},
        {AV_CODEC_ID_AAC, "aac"},          {AV_CODEC_ID_MPEG4, "mpeg4"},    {AV_CODEC_ID_AMR_NB, "libopencore_amrnb"},
    };
    if (const char *name = preferred.value(id, nullptr)) {
        if (const AVCodec *c = avcodec_find_encoder_by_name(name))
            return c;
        if (id == AV_CODEC_ID_AMR_NB)
            return nullptr;
    }
    // Any software encoder for the id; hardware wrappers need devices we cannot assume.
    void *it = nullptr;
    const AVCodec *fallback = nullptr;
    while (const AVCodec *c = av_codec_iterate(&it)) {
        if (c->id != id || !av_codec_is_encoder(c))
            continue;
        if (c->capabilities & (AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_HYBRID))
            continue;
        if (std::strstr(c->name, "_v4l2m2m") || std::strstr(c->name, "_vaapi") || std::strstr(c->name, "_qsv") ||
            std::strstr(c->name, "_omx") || std::strstr(c->name, "_nvenc") || std::strstr(c->name, "_amf"))
            continue;
        if (c->capabilities & AV_CODEC_CAP_EXPERIMENTAL) {
            if (!fallback)
                fallback = c;
            continue;
        }
        return c;
    }
    (void)fallback; // experimental encoders are not used unasked
    return nullptr;
}

const AVCodec *encoderForName(const QString &name, AVMediaType type) {
    const QString n = name.trimmed().toLower();
    if (n.isEmpty())
        return nullptr;
    static const QHash<QString, QString> aliases = {
        {"h264", "libx264"},
        {"x264", "libx264"},
        {"avc", "libx264"},
        {"hevc", "libx265"},
        {"h265", "libx265"},
        {"x265", "libx265"},
        {"av1", "libsvtav1"},
        {"libfaac", "aac"},
        {"faac", "aac"},
        {"libfdk_aac", "aac"},
        {"libvo_aacenc", "aac"},
        {"mp3", "libmp3lame"},
        {"lame", "libmp3lame"},
        {"xvid", "libxvid"},
        {"vp8", "libvpx"},
        {"vp9", "libvpx-vp9"},
        {"vorbis", "libvorbis"},
        {"opus", "libopus"},
        {"amr_nb", "libopencore_amrnb"},
        {"amrnb", "libopencore_amrnb"},
        {"amr_wb", "libvo_amrwbenc"},
        {"theora", "libtheora"},
        {"divx", "mpeg4"},
        {"wmv", "wmv2"},
        {"wma", "wmav2"},
    };
    const QByteArray encName = aliases.value(n, n).toLatin1();
    const AVCodec *c = avcodec_find_encoder_by_name(encName.constData());
    if (!c) {
        if (encName.startsWith("libopencore") || encName.startsWith("libvo_"))
            return nullptr; // not in this build; the container's default takes over
        const AVCodecDescriptor *d = avcodec_descriptor_get_by_name(n.toLatin1().constData());
        if (d)
            c = encoderForCodec(d->id);
    }
    if (!c || c->type != type)
        return nullptr;
    if (c->capabilities & AV_CODEC_CAP_EXPERIMENTAL)
        return nullptr;
    return c;
}

const AVCodec *chooseEncoder(const AVOutputFormat *fmt, AVMediaType type, const QString &requestedName) {
    if (!containerHoldsType(fmt, type))
        return nullptr;
    if (const AVCodec *c = encoderForName(requestedName, type); c && containerAccepts(fmt, c->id))
        return c;
    const AVCodecID def = type == AVMEDIA_TYPE_VIDEO ? fmt->video_codec : fmt->audio_codec;
    if (const AVCodec *c = encoderForCodec(def); c && containerAccepts(fmt, def))
        return c;
    static const AVCodecID videoPrefs[] = {AV_CODEC_ID_H264,       AV_CODEC_ID_MPEG4, AV_CODEC_ID_HEVC,
                                           AV_CODEC_ID_VP9,        AV_CODEC_ID_VP8,   AV_CODEC_ID_MPEG2VIDEO,
                                           AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_H263,  AV_CODEC_ID_FLV1,
                                           AV_CODEC_ID_WMV2,       AV_CODEC_ID_THEORA};
    static const AVCodecID audioPrefs[] = {AV_CODEC_ID_AAC,    AV_CODEC_ID_MP3,       AV_CODEC_ID_OPUS,
                                           AV_CODEC_ID_VORBIS, AV_CODEC_ID_AC3,       AV_CODEC_ID_MP2,
                                           AV_CODEC_ID_FLAC,   AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_WMAV2};
    if (type == AVMEDIA_TYPE_VIDEO) {
        for (AVCodecID id : videoPrefs)
            if (containerAccepts(fmt, id))
                if (const AVCodec *c = encoderForCodec(id))
                    return c;
    } else {
        for (AVCodecID id : audioPrefs)
            if (containerAccepts(fmt, id))
                if (const AVCodec *c = encoderForCodec(id))
                    return c;
    }
    return nullptr;
}

VideoTarget videoTarget(const AVCodec *enc, const AVOutputFormat *fmt, int displayW, int displayH, int reqW, int reqH,
                        AVRational srcRate, AVRational reqRate, AVPixelFormat srcFmt) {
    (void)fmt;
    VideoTarget t;
    displayW = std::max(displayW, 2);
    displayH = std::max(displayH, 2);
    int w = reqW, h = reqH;
    if (w <= 0 && h <= 0) {
        w = displayW;
        h = displayH;
    } else if (w <= 0) {
        w = static_cast<int>(std::lround(double(h) * displayW / displayH));
    } else if (h <= 0) {
        h = static_cast<int>(std::lround(double(w) * displayH / displayW));
    }
    // Absurd requests are not worth a failed conversion.
    w = std::clamp(w, 2, 16384);
    h = std::clamp(h, 2, 16384);
    const int aspectW = w, aspectH = h;

    AVRational rate = validRate(reqRate) ? reqRate : validRate(srcRate) ? srcRate : AVRational{25, 1};
    t.forceRate = validRate(reqRate) && (!validRate(srcRate) || av_cmp_q(reqRate, srcRate) != 0);

    if (enc->id == AV_CODEC_ID_DVVIDEO) {
        // DV has two standard-definition shapes; pick the one nearer the asked height.
        const bool ntsc = std::abs(h - 480) < std::abs(h - 576);
        t.width = 720;
        t.height = ntsc ? 480 : 576;
        t.frameRate = ntsc ? AVRational{30000, 1001} : AVRational{25, 1};
        t.pixFmt = ntsc ? AV_PIX_FMT_YUV411P : AV_PIX_FMT_YUV420P;
        if (!av_dv_codec_profile2(t.width, t.height, t.pixFmt, t.frameRate))
            t.pixFmt = AV_PIX_FMT_YUV422P;
        t.sar = aspectPreservingSar(aspectW, aspectH, t.width, t.height);
        t.forceRate = true;
        return t;
    }

    if (enc->id == AV_CODEC_ID_H263) {
        // Plain H.263 knows five picture sizes only.
        static const int sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
        const double area = double(w) * h;
        int best = 0;
        for (int i = 1; i < 5; ++i)
            if (std::abs(std::log(double(sizes[i][0]) * sizes[i][1] / area)) <
                std::abs(std::log(double(sizes[best][0]) * sizes[best][1] / area)))
                best = i;
        t.width = sizes[best][0];
        t.height = sizes[best][1];
        t.sar = aspectPreservingSar(aspectW, aspectH, t.width, t.height);
    } else {
        int maxDim = 16384;
        if (enc->id == AV_CODEC_ID_MPEG1VIDEO || enc->id == AV_CODEC_ID_FLV1 || enc->id == AV_CODEC_ID_WMV2 ||
            enc->id == AV_CODEC_ID_MSMPEG4V3)
            maxDim = 4095;
        else if (enc->id == AV_CODEC_ID_MPEG4 || enc->id == AV_CODEC_ID_MPEG2VIDEO)
            maxDim = 8190;
        if (w > maxDim || h > maxDim) {
            const double s = double(maxDim) / std::max(w, h);
            w = static_cast<int>(w * s);
            h = static_cast<int>(h * s);
        }
        t.width = w;
        t.height = h;
        t.sar = {1, 1};
    }

    // Pixel format: 4:2:0 where the encoder takes it, for players' sake; else the
    // encoder's closest match to the source. HEVC and AV1 keep a source's 10 bits (every
    // player of those codecs decodes their Main 10 profiles, and HDR needs them); H.264 and
    // VP9 stay at 8, which is what devices play.
    if (enc->pix_fmts) {
        bool has420 = false, has420p10 = false;
        for (const AVPixelFormat *p = enc->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
            has420 = has420 || *p == AV_PIX_FMT_YUV420P;
            has420p10 = has420p10 || *p == AV_PIX_FMT_YUV420P10;
        }
        const AVPixFmtDescriptor *src = av_pix_fmt_desc_get(srcFmt);
        const bool deepSource = src && src->comp[0].depth > 8;
        const bool keepsDepth = enc->id == AV_CODEC_ID_HEVC || enc->id == AV_CODEC_ID_AV1;
        t.pixFmt = deepSource && keepsDepth && has420p10 ? AV_PIX_FMT_YUV420P10
                   : has420                              ? AV_PIX_FMT_YUV420P
                                                         : avcodec_find_best_pix_fmt_of_list(
                                                               enc->pix_fmts, srcFmt == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV420P : srcFmt, 0, nullptr);
    } else {
        t.pixFmt = srcFmt == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV420P : srcFmt;
    }
    // Chroma subsampling decides the alignment of the picture size.
    if (const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(t.pixFmt)) {
        t.width = alignTo(t.width, 1 << d->log2_chroma_w);
        t.height = alignTo(t.height, 1 << d->log2_chroma_h);
    }

    if (enc->id == AV_CODEC_ID_MPEG1VIDEO || enc->id == AV_CODEC_ID_MPEG2VIDEO) {
        // The encoder's list also holds non-standard rates it then refuses.
        static const AVRational standard[] = {{24000, 1001}, {24, 1},       {25, 1}, {30000, 1001}, {30, 1},
                                              {50, 1},       {60000, 1001}, {60, 1}, {0, 0}};
        const int idx = av_find_nearest_q_idx(rate, standard);
        if (av_cmp_q(standard[idx], rate) != 0)
            rate = standard[idx];
    } else if (enc->supported_framerates) {
        const int idx = av_find_nearest_q_idx(rate, enc->supported_framerates);
        if (av_cmp_q(enc->supported_framerates[idx], rate) != 0) {
            rate = enc->supported_framerates[idx];
            t.forceRate = true;
        }
    }
    if (enc->id == AV_CODEC_ID_MPEG1VIDEO || enc->id == AV_CODEC_ID_MPEG2VIDEO)
        t.forceRate = true; // the stream format has no timestamps of its own
    // MPEG-4 part 2 and H.263 store the time base in 16 bits.
    if (enc->id == AV_CODEC_ID_MPEG4 || enc->id == AV_CODEC_ID_H263 || enc->id == AV_CODEC_ID_FLV1 ||
        enc->id == AV_CODEC_ID_MSMPEG4V3 || enc->id == AV_CODEC_ID_WMV2) {
        if (rate.num > 65535 || rate.den > 65535) {
            rate = av_d2q(av_q2d(rate), 65535);
            t.forceRate = true;
        }
    }
    t.frameRate = rate;
    return t;
}

AudioTarget audioTarget(const AVCodec *enc, const AVOutputFormat *fmt, int srcRate, int srcChannels, int reqRate,
                        int reqChannels) {
    AudioTarget t;
    int rate = reqRate > 0 ? reqRate : srcRate > 0 ? srcRate : 44100;
    rate = std::clamp(rate, 4000, 384000);
    if (enc->supported_samplerates) {
        int best = enc->supported_samplerates[0];
        for (const int *r = enc->supported_samplerates; *r; ++r)
            if (std::abs(*r - rate) < std::abs(best - rate) ||
                (std::abs(*r - rate) == std::abs(best - rate) && *r > best))
                best = *r;
        rate = best;
    }
    // Containers with their own short lists.
    if (std::strcmp(fmt->name, "flv") == 0 && enc->id != AV_CODEC_ID_AAC && enc->id != AV_CODEC_ID_SPEEX)
        rate = nearestOf(rate, {44100, 22050, 11025});
    else if (std::strcmp(fmt->name, "mmf") == 0)
        rate = nearestOf(rate, {8000, 11025, 22050, 44100});
    else if (std::strcmp(fmt->name, "dv") == 0)
        rate = nearestOf(rate, {48000, 44100, 32000});
    else if (isOneOf(fmt->name, {"vcd", "svcd", "vob", "dvd"}))
        rate = nearestOf(rate, {44100, 48000});
    t.sampleRate = rate;

    int channels = reqChannels > 0 ? reqChannels : srcChannels > 0 ? srcChannels : 2;
    channels = std::clamp(channels, 1, 8);
    if (std::strcmp(fmt->name, "dv") == 0)
        channels = 2;
    else if (std::strcmp(fmt->name, "mmf") == 0)
        channels = 1; // stereo SMAF is marked experimental
    else if (isOneOf(fmt->name, {"vcd", "svcd"}))
        channels = std::min(channels, 2);

    av_channel_layout_default(&t.layout, channels);
    if (enc->ch_layouts) {
        const AVChannelLayout *exact = nullptr, *below = nullptr, *above = nullptr;
        for (const AVChannelLayout *l = enc->ch_layouts; l->nb_channels; ++l) {
            if (l->nb_channels == channels) {
                if (!exact || av_channel_layout_compare(l, &t.layout) == 0)
                    exact = l;
            } else if (l->nb_channels < channels) {
                if (!below || l->nb_channels > below->nb_channels)
                    below = l;
            } else if (!above || l->nb_channels < above->nb_channels) {
                above = l;
            }
        }
        const AVChannelLayout *pick = exact ? exact : below ? below : above;
        if (pick) {
            av_channel_layout_uninit(&t.layout);
            av_channel_layout_copy(&t.layout, pick);
        }
    }
    t.sampleFmts = enc->sample_fmts;
    return t;
}

// SVT-AV1's speed preset. Measured on 2 s of 1080p (bench/av1_hevc_bench.py has the
// method): 6 took 1.8 times as long as 8 for a file 15 % smaller at the same SSIM, 10 was
// 1.9 times as fast as 8 but 6.5 % larger and visibly softer, 12 lost a further 0.005 of
// SSIM. 8 is the knee: 1080p stays practical on a laptop's few cores.
constexpr int kSvtAv1Preset = 8;

void applyEncoderDefaults(AVCodecContext *enc, AVDictionary **opts, int threads) {
    enc->thread_count = threads; // 0: as many as the machine has
    const char *n = enc->codec->name;
    if (isSlowByDefault(enc->codec)) {
        av_dict_set(opts, "deadline", "good", 0);
        av_dict_set(opts, "cpu-used", "4", 0);
        if (std::strcmp(n, "libvpx-vp9") == 0)
            av_dict_set(opts, "row-mt", "1", 0);
    }
    if (std::strcmp(n, "libx265") == 0)
        av_dict_set(opts, "x265-params", "log-level=error", 0);
    if (std::strcmp(n, "libsvtav1") == 0)
        av_dict_set_int(opts, "preset", kSvtAv1Preset, 0);
    if (std::strcmp(n, "libaom-av1") == 0) {
        // Asked for by name only; its default speed takes minutes a second of picture.
        av_dict_set(opts, "cpu-used", "6", 0);
        av_dict_set(opts, "row-mt", "1", 0);
    }
}

bool twoPassEncoder(const AVCodec *enc) {
    return enc && isOneOf(enc->name, {"libx264", "libx265", "libvpx", "libvpx-vp9"});
}

void applyVideoRate(AVCodecContext *enc, const VideoRate &rate, AVDictionary **opts) {
    if (rate.bitRate <= 0)
        return;
    const char *n = enc->codec->name;
    av_dict_set(opts, "crf", nullptr, 0);
    enc->flags &= ~AV_CODEC_FLAG_QSCALE;
    enc->global_quality = 0;
    enc->bit_rate = rate.bitRate;
    if (rate.pass == 0 || !twoPassEncoder(enc->codec))
        return;
    enc->flags |= rate.pass == 1 ? AV_CODEC_FLAG_PASS1 : AV_CODEC_FLAG_PASS2;
    const QByteArray stats = rate.statsFile.toLocal8Bit();
    if (std::strcmp(n, "libx264") == 0) {
        av_dict_set(opts, "stats", stats.constData(), 0);
    } else if (std::strcmp(n, "libx265") == 0) {
        // This libavcodec passes no pass flags to x265: its own parameters say it.
        const AVDictionaryEntry *e = av_dict_get(*opts, "x265-params", nullptr, 0);
        QByteArray params = e ? QByteArray(e->value) + ':' : QByteArray();
        params += "pass=" + QByteArray::number(rate.pass) + ":stats=" + stats;
        av_dict_set(opts, "x265-params", params.constData(), 0);
    } else if (rate.pass == 2 && rate.stats) {
        // Borrowed: libvpx decodes it while it opens, and the caller lets go of it then.
        enc->stats_in = const_cast<char *>(rate.stats->constData());
    }
}

std::optional<CrfRange> crfRange(const AVCodec *encoder) {
    if (!encoder)
        return std::nullopt;
    // Below the best end the pictures are no better to the eye. The worst end is the
    // encoder's own: whether a picture still looks good enough is the target's to say, and
    // flat colours keep an SSIM of 0.96 far past the factors that blur a filmed picture.
    const char *n = encoder->name;
    if (std::strcmp(n, "libx264") == 0 || std::strcmp(n, "libx265") == 0)
        return CrfRange{10, 51};
    if (std::strcmp(n, "libsvtav1") == 0 || std::strcmp(n, "libvpx-vp9") == 0)
        return CrfRange{10, 60};
    return std::nullopt;
}

void applyCrf(AVCodecContext *enc, int crf, AVDictionary **opts) {
    applyQuality(enc, Quality::High, opts);
    av_dict_set_int(opts, "crf", crf, 0);
}

void applyQuality(AVCodecContext *enc, Quality q, AVDictionary **opts) {
    const char *n = enc->codec->name;
    const int level = q == Quality::High ? 0 : q == Quality::Middle ? 1 : 2;
    auto qscale = [&](int high, int middle, int low) {
        const int v = level == 0 ? high : level == 1 ? middle : low;
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * v;
    };
    auto setOpt = [&](const char *key, int high, int middle, int low) {
        av_dict_set_int(opts, key, level == 0 ? high : level == 1 ? middle : low, 0);
    };
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        if (std::strcmp(n, "libx264") == 0) {
            setOpt("crf", 18, 23, 28);
        } else if (std::strcmp(n, "libx265") == 0) {
            setOpt("crf", 20, 26, 30);
        } else if (std::strcmp(n, "libsvtav1") == 0) {
            setOpt("crf", 30, 37, 45);
        } else if (std::strcmp(n, "libaom-av1") == 0) {
            setOpt("crf", 30, 37, 45);
            enc->bit_rate = 0; // constant quality
        } else if (std::strcmp(n, "libvpx-vp9") == 0) {
            setOpt("crf", 24, 33, 40);
            enc->bit_rate = 0; // constant quality
        } else if (std::strcmp(n, "libvpx") == 0) {
            // VP8's quality mode still wants a ceiling; bits per pixel per frame.
            const double fps = enc->framerate.num > 0 ? av_q2d(enc->framerate) : 25.0;
            const double bpp = level == 0 ? 0.20 : level == 1 ? 0.10 : 0.05;
            enc->bit_rate = static_cast<int64_t>(bpp * enc->width * enc->height * fps);
            setOpt("crf", 10, 20, 32);
        } else if (std::strcmp(n, "libtheora") == 0) {
            qscale(9, 6, 3); // theora counts upwards, 10 best
        } else if (idIn(enc->codec_id,
                        {AV_CODEC_ID_MPEG4, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_H263,
                         AV_CODEC_ID_H263P, AV_CODEC_ID_FLV1, AV_CODEC_ID_WMV1, AV_CODEC_ID_WMV2, AV_CODEC_ID_MSMPEG4V2,
                         AV_CODEC_ID_MSMPEG4V3, AV_CODEC_ID_MJPEG})) {
            qscale(2, 5, 10);
        }
        // dvvideo and the lossless encoders have a fixed rate or need nothing.
        return;
    }
    if (enc->codec_type != AVMEDIA_TYPE_AUDIO)
        return;
    const int ch = std::max(1, enc->ch_layout.nb_channels);
    // Per pair of channels; mono gets a little more than half.
    auto perPair = [&](int high, int middle, int low) -> int64_t {
        const int v = level == 0 ? high : level == 1 ? middle : low;
        return ch == 1 ? int64_t(v) * 6 / 10 * 1000 : int64_t(v) * ch / 2 * 1000;
    };
    auto nearestTable = [](int64_t want, std::initializer_list<int> kbps) -> int64_t {
        int best = *kbps.begin();
        for (int k : kbps)
            if (std::llabs(int64_t(k) * 1000 - want) < std::llabs(int64_t(best) * 1000 - want))
                best = k;
        return int64_t(best) * 1000;
    };
    switch (enc->codec_id) {
    case AV_CODEC_ID_AAC:
        enc->bit_rate = std::min<int64_t>(perPair(192, 128, 96), int64_t(6144) * enc->sample_rate / 1024 * ch);
        break;
    case AV_CODEC_ID_MP3: {
        int64_t br = perPair(192, 128, 96);
        if (enc->sample_rate < 32000)
            br = std::min<int64_t>(br, 128000); // MPEG-2 layer 3 stops at 160 kbit/s
        enc->bit_rate = std::min<int64_t>(br, 320000);
        break;
    }
    case AV_CODEC_ID_MP2:
        if (enc->sample_rate < 32000)
            enc->bit_rate =
                nearestTable(perPair(160, 128, 96), {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160});
        else
            enc->bit_rate =
                nearestTable(perPair(224, 192, 128), {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384});
        break;
    case AV_CODEC_ID_AC3:
        enc->bit_rate = nearestTable(perPair(256, 192, 128), {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256,
                                                              320, 384, 448, 512, 576, 640});
        break;
    case AV_CODEC_ID_OPUS:
        enc->bit_rate = perPair(160, 96, 64);
        break;
    case AV_CODEC_ID_VORBIS:
        qscale(6, 4, 2);
        break;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
        enc->bit_rate = perPair(192, 128, 96);
        break;
    default:
        break; // PCM, FLAC, ALAC, ADPCM: no quality setting
    }
}

} // namespace fw
