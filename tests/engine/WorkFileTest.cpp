// A work file read back for the join: every packet as it was written, and, when the reader
// gives back what it has read, the disk holds little more than the unread rest.
#include "WorkFile.h"

#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace fw;

namespace {

constexpr int kPackets = 600, kPacketBytes = 7000; // about 4 MiB of sound

// Packets whose bytes say which they are, so that a hole in the wrong place shows.
void fill(AVPacket *pkt, int n) {
    ASSERT_EQ(av_new_packet(pkt, kPacketBytes), 0);
    for (int i = 0; i < kPacketBytes; ++i)
        pkt->data[i] = uint8_t((n * 31 + i) & 0xff);
    pkt->pts = pkt->dts = int64_t(n) * 1024;
    pkt->duration = 1024;
}

QString writeSound(const QString &dir) {
    const QString path = dir + "/sound";
    AVFormatContext *ctx = avformat_alloc_context();
    AVStream *st = avformat_new_stream(ctx, nullptr);
    st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    st->codecpar->codec_id = AV_CODEC_ID_AAC;
    st->codecpar->sample_rate = 48000;
    av_channel_layout_default(&st->codecpar->ch_layout, 2);
    st->time_base = {1, 48000};
    WorkFileWriter w;
    EXPECT_EQ(w.open(path, st), 0);
    AVPacket *pkt = av_packet_alloc();
    for (int n = 0; n < kPackets; ++n) {
        fill(pkt, n);
        EXPECT_EQ(w.write(pkt), 0);
        av_packet_unref(pkt);
    }
    EXPECT_EQ(w.finish(), 0);
    av_packet_free(&pkt);
    avformat_free_context(ctx);
    return path;
}

qint64 onDisk(const QString &path) {
    struct stat sb {};
    return ::stat(QFile::encodeName(path).constData(), &sb) == 0 ? qint64(sb.st_blocks) * 512 : -1;
}

// Reads the whole file; the most the disk held for it after any packet.
qint64 readAll(const QString &path, WorkFileReader::Behind behind, int *read) {
    WorkFileReader r;
    EXPECT_EQ(r.open(path, behind), 0);
    AVPacket *pkt = av_packet_alloc();
    AVPacket *want = av_packet_alloc();
    qint64 held = 0;
    *read = 0;
    int rc = 0;
    while ((rc = r.read(pkt)) == 1) {
        fill(want, *read);
        EXPECT_EQ(pkt->size, want->size);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(pkt->data), pkt->size),
                  QByteArray(reinterpret_cast<const char *>(want->data), want->size))
            << "packet " << *read;
        EXPECT_EQ(pkt->pts, want->pts);
        av_packet_unref(want);
        ++*read;
        if (*read == kPackets - 10)
            held = onDisk(path);
    }
    EXPECT_EQ(rc, 0) << "a complete file ends with its end mark";
    av_packet_free(&pkt);
    av_packet_free(&want);
    return held;
}

TEST(WorkFile, AReaderThatReleasesKeepsOnlyTheUnreadRestOnTheDisk) {
    const QString dir = testsupport::freshDir("workfile");
    const QString path = writeSound(dir);
    const qint64 whole = onDisk(path), length = QFile(path).size();
    ASSERT_GT(whole, qint64(kPackets) * kPacketBytes);

    int read = 0;
    EXPECT_GE(readAll(path, WorkFileReader::Behind::Keep, &read), whole);
    EXPECT_EQ(read, kPackets);

    // Near the end only the last MiB or two is left; every packet still reads back intact.
    const qint64 held = readAll(path, WorkFileReader::Behind::Release, &read);
    EXPECT_EQ(read, kPackets);
    EXPECT_LE(held, qint64(2) << 20) << "of " << whole;
    EXPECT_EQ(QFile(path).size(), length) << "the file keeps its length";
}

} // namespace
