#include "WorkFile.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <QDataStream>
#include <cstring>
#include <fcntl.h>
#include <linux/falloc.h>
#include <unistd.h>

namespace fw {

namespace {

constexpr quint32 kMagic = 0x43575046; // "CWPF"
constexpr quint32 kVersion = 1;
constexpr qint32 kPacket = 1, kEnd = 2;
// A packet larger than this is damage, not a picture (an uncompressed 8K frame is 200 MB).
constexpr qint32 kMaxPacket = 512 << 20;

void putBytes(QDataStream &s, const uint8_t *data, int size) {
    s << qint32(size);
    if (size > 0)
        s.writeRawData(reinterpret_cast<const char *>(data), size);
}

QByteArray takeBytes(QDataStream &s) {
    qint32 size = 0;
    s >> size;
    if (size < 0 || size > kMaxPacket || s.status() != QDataStream::Ok) {
        s.setStatus(QDataStream::ReadCorruptData);
        return {};
    }
    QByteArray b(size, Qt::Uninitialized);
    if (size > 0 && s.readRawData(b.data(), size) != size)
        s.setStatus(QDataStream::ReadPastEnd);
    return b;
}

void putRational(QDataStream &s, AVRational r) { s << qint32(r.num) << qint32(r.den); }
AVRational takeRational(QDataStream &s) {
    qint32 num = 0, den = 0;
    s >> num >> den;
    return {num, den};
}

} // namespace

int WorkFileWriter::open(const QString &path, const AVStream *st) {
    _file.setFileName(path);
    if (!_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return AVERROR(EIO);
    QDataStream s(&_file);
    const AVCodecParameters *p = st->codecpar;
    s << kMagic << kVersion;
    s << qint32(p->codec_type) << qint32(p->codec_id) << quint32(p->codec_tag);
    putBytes(s, p->extradata, p->extradata_size);
    s << qint32(p->format) << qint64(p->bit_rate) << qint32(p->bits_per_coded_sample) << qint32(p->bits_per_raw_sample)
      << qint32(p->profile) << qint32(p->level) << qint32(p->width) << qint32(p->height);
    putRational(s, p->sample_aspect_ratio);
    s << qint32(p->field_order) << qint32(p->color_range) << qint32(p->color_primaries) << qint32(p->color_trc)
      << qint32(p->color_space) << qint32(p->chroma_location) << qint32(p->video_delay);
    s << qint32(p->ch_layout.order) << qint32(p->ch_layout.nb_channels)
      << quint64(p->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? p->ch_layout.u.mask : 0);
    s << qint32(p->sample_rate) << qint32(p->block_align) << qint32(p->frame_size) << qint32(p->initial_padding)
      << qint32(p->trailing_padding) << qint32(p->seek_preroll);
    putRational(s, st->time_base);
    putRational(s, st->avg_frame_rate);
    putRational(s, st->sample_aspect_ratio);
    s << qint32(st->disposition);
    s << qint32(av_dict_count(st->metadata));
    for (const AVDictionaryEntry *e = nullptr; (e = av_dict_get(st->metadata, "", e, AV_DICT_IGNORE_SUFFIX));) {
        putBytes(s, reinterpret_cast<const uint8_t *>(e->key), int(std::strlen(e->key)));
        putBytes(s, reinterpret_cast<const uint8_t *>(e->value), int(std::strlen(e->value)));
    }
    s << qint32(st->nb_side_data);
    for (int i = 0; i < st->nb_side_data; ++i) {
        s << qint32(st->side_data[i].type);
        putBytes(s, st->side_data[i].data, int(st->side_data[i].size));
    }
    return s.status() == QDataStream::Ok ? 0 : AVERROR(EIO);
}

int WorkFileWriter::write(const AVPacket *pkt) {
    QDataStream s(&_file);
    s << kPacket << qint64(pkt->pts) << qint64(pkt->dts) << qint64(pkt->duration) << qint32(pkt->flags);
    putBytes(s, pkt->data, pkt->size);
    s << qint32(pkt->side_data_elems);
    for (int i = 0; i < pkt->side_data_elems; ++i) {
        s << qint32(pkt->side_data[i].type);
        putBytes(s, pkt->side_data[i].data, int(pkt->side_data[i].size));
    }
    ++_packets;
    return s.status() == QDataStream::Ok ? 0 : AVERROR(EIO);
}

int WorkFileWriter::finish() {
    QDataStream s(&_file);
    s << kEnd << qint64(_packets);
    if (s.status() != QDataStream::Ok || !_file.flush() || ::fsync(_file.handle()) != 0) {
        _file.close();
        return AVERROR(EIO);
    }
    _file.close();
    return 0;
}

int WorkFileReader::open(const QString &path, Behind behind) {
    _file.setFileName(path);
    _release = behind == Behind::Release;
    _released = 0;
    // Giving space back takes a descriptor open for writing.
    if (!_file.open(_release ? QIODevice::ReadWrite : QIODevice::ReadOnly))
        return AVERROR(ENOENT);
    QDataStream s(&_file);
    quint32 magic = 0, version = 0;
    s >> magic >> version;
    if (magic != kMagic || version != kVersion)
        return AVERROR_INVALIDDATA;
    _par.reset(avcodec_parameters_alloc());
    if (!_par)
        return AVERROR(ENOMEM);
    AVCodecParameters *p = _par.get();
    qint32 type = 0, id = 0, format = 0, bpcs = 0, bprs = 0, profile = 0, level = 0, w = 0, h = 0;
    quint32 tag = 0;
    qint64 bitRate = 0;
    s >> type >> id >> tag;
    const QByteArray extradata = takeBytes(s);
    s >> format >> bitRate >> bpcs >> bprs >> profile >> level >> w >> h;
    p->codec_type = AVMediaType(type);
    p->codec_id = AVCodecID(id);
    p->codec_tag = tag;
    if (!extradata.isEmpty()) {
        p->extradata = static_cast<uint8_t *>(av_mallocz(size_t(extradata.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!p->extradata)
            return AVERROR(ENOMEM);
        std::memcpy(p->extradata, extradata.constData(), size_t(extradata.size()));
        p->extradata_size = int(extradata.size());
    }
    p->format = format;
    p->bit_rate = bitRate;
    p->bits_per_coded_sample = bpcs;
    p->bits_per_raw_sample = bprs;
    p->profile = profile;
    p->level = level;
    p->width = w;
    p->height = h;
    p->sample_aspect_ratio = takeRational(s);
    qint32 fieldOrder = 0, range = 0, primaries = 0, trc = 0, space = 0, chroma = 0, delay = 0;
    s >> fieldOrder >> range >> primaries >> trc >> space >> chroma >> delay;
    p->field_order = AVFieldOrder(fieldOrder);
    p->color_range = AVColorRange(range);
    p->color_primaries = AVColorPrimaries(primaries);
    p->color_trc = AVColorTransferCharacteristic(trc);
    p->color_space = AVColorSpace(space);
    p->chroma_location = AVChromaLocation(chroma);
    p->video_delay = delay;
    qint32 order = 0, channels = 0;
    quint64 mask = 0;
    s >> order >> channels >> mask;
    if (order == AV_CHANNEL_ORDER_NATIVE)
        av_channel_layout_from_mask(&p->ch_layout, mask);
    else if (channels > 0)
        av_channel_layout_default(&p->ch_layout, channels);
    qint32 rate = 0, blockAlign = 0, frameSize = 0, initialPadding = 0, trailingPadding = 0, preroll = 0;
    s >> rate >> blockAlign >> frameSize >> initialPadding >> trailingPadding >> preroll;
    p->sample_rate = rate;
    p->block_align = blockAlign;
    p->frame_size = frameSize;
    p->initial_padding = initialPadding;
    p->trailing_padding = trailingPadding;
    p->seek_preroll = preroll;
    _timeBase = takeRational(s);
    _avgRate = takeRational(s);
    _sar = takeRational(s);
    qint32 disposition = 0, entries = 0;
    s >> disposition >> entries;
    _disposition = disposition;
    for (qint32 i = 0; i < entries && s.status() == QDataStream::Ok; ++i) {
        const QByteArray key = takeBytes(s);
        _metadata.append({key, takeBytes(s)});
    }
    qint32 sides = 0;
    s >> sides;
    for (qint32 i = 0; i < sides && s.status() == QDataStream::Ok; ++i) {
        qint32 sideType = 0;
        s >> sideType;
        _sideData.append({sideType, takeBytes(s)});
    }
    if (s.status() != QDataStream::Ok || _timeBase.num <= 0 || _timeBase.den <= 0)
        return AVERROR_INVALIDDATA;
    return 0;
}

AVStream *WorkFileReader::addStreamTo(AVFormatContext *out) const {
    AVStream *st = avformat_new_stream(out, nullptr);
    if (!st || avcodec_parameters_copy(st->codecpar, _par.get()) < 0)
        return nullptr;
    st->time_base = _timeBase;
    st->avg_frame_rate = _avgRate;
    st->sample_aspect_ratio = _sar;
    st->disposition = _disposition;
    for (const auto &[key, value] : _metadata)
        av_dict_set(&st->metadata, key.constData(), value.constData(), 0);
    for (const auto &[type, data] : _sideData) {
        uint8_t *to = av_stream_new_side_data(st, AVPacketSideDataType(type), size_t(data.size()));
        if (!to)
            return nullptr;
        std::memcpy(to, data.constData(), size_t(data.size()));
    }
    return st;
}

int WorkFileReader::read(AVPacket *pkt) {
    QDataStream s(&_file);
    qint32 kind = 0;
    s >> kind;
    if (s.status() != QDataStream::Ok)
        return AVERROR_INVALIDDATA;
    if (kind == kEnd)
        return 0;
    if (kind != kPacket)
        return AVERROR_INVALIDDATA;
    qint64 pts = 0, dts = 0, duration = 0;
    qint32 flags = 0;
    s >> pts >> dts >> duration >> flags;
    const QByteArray data = takeBytes(s);
    if (s.status() != QDataStream::Ok)
        return AVERROR_INVALIDDATA;
    av_packet_unref(pkt);
    int rc = av_new_packet(pkt, int(data.size()));
    if (rc < 0)
        return rc;
    if (!data.isEmpty())
        std::memcpy(pkt->data, data.constData(), size_t(data.size()));
    pkt->pts = pts;
    pkt->dts = dts;
    pkt->duration = duration;
    pkt->flags = flags;
    qint32 sides = 0;
    s >> sides;
    for (qint32 i = 0; i < sides && s.status() == QDataStream::Ok; ++i) {
        qint32 type = 0;
        s >> type;
        const QByteArray side = takeBytes(s);
        uint8_t *to = av_packet_new_side_data(pkt, AVPacketSideDataType(type), size_t(side.size()));
        if (!to)
            return AVERROR(ENOMEM);
        std::memcpy(to, side.constData(), size_t(side.size()));
    }
    if (s.status() != QDataStream::Ok)
        return AVERROR_INVALIDDATA;
    releaseRead();
    return 1;
}

void WorkFileReader::releaseRead() {
    // In steps of a MiB, on page edges; what QFile has buffered ahead is already in memory.
    constexpr qint64 kStep = 1 << 20, kPage = 4096;
    const qint64 upTo = _file.pos() / kPage * kPage;
    if (!_release || upTo - _released < kStep)
        return;
    // A file system that cannot punch holes keeps the bytes: the join then needs the sound's
    // size once more, as it did before.
    if (::fallocate(_file.handle(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, _released, upTo - _released) == 0)
        _released = upTo;
    else
        _release = false;
}

} // namespace fw
