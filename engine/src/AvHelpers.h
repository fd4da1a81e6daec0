#pragma once
// RAII owners and small helpers for the FFmpeg objects the engine uses. Internal to engine/.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <QString>
#include <chrono>
#include <memory>

namespace fw {

struct FormatInputDeleter {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
using InputContextPtr = std::unique_ptr<AVFormatContext, FormatInputDeleter>;

struct CodecContextDeleter {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FrameDeleter {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

struct SwsDeleter {
    void operator()(SwsContext *s) const { sws_freeContext(s); }
};
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;

struct SwrDeleter {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;

struct FilterGraphDeleter {
    void operator()(AVFilterGraph *g) const { avfilter_graph_free(&g); }
};
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;

inline FramePtr makeFrame() { return FramePtr(av_frame_alloc()); }
inline PacketPtr makePacket() { return PacketPtr(av_packet_alloc()); }

QString avError(int code);

// A deadline for blocking demuxer calls, checked by libavformat's interrupt callback.
struct Deadline {
    std::chrono::steady_clock::time_point until;
    static int callback(void *opaque);
};

// Opens a regular file for demuxing with a bounded open time. Returns null and sets
// `error` when the path is not a regular non-empty file or libavformat refuses it.
InputContextPtr openInput(const QString &path, Deadline *deadline, QString *error, bool findStreamInfo = true);
// The same with any interrupt callback (a conversion's cancel flag, for instance).
InputContextPtr openInput(const QString &path, const AVIOInterruptCB &interrupt, QString *error,
                          bool findStreamInfo = true);

struct OutputContextDeleter {
    void operator()(AVFormatContext *c) const {
        if (c->pb && !(c->oformat->flags & AVFMT_NOFILE))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;

// Rotation of a stream's display matrix, in degrees clockwise, normalised to 0, 90, 180, 270.
int streamRotation(const AVStream *st);

} // namespace fw
