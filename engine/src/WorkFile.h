#pragma once
// A work file of a resumable conversion: one stream's encoded packets, with what a muxer
// needs to take them (codec parameters, time base, the stream's metadata and side data),
// kept exactly as the encoder gave them. No container is used for this on purpose:
// Matroska rounds times to milliseconds and NUT shifts negative ones, and either would
// move a sound's samples or a picture's decode time at the join. Internal to engine/.
#include "AvHelpers.h"

#include <QFile>
#include <QString>
#include <memory>

namespace fw {

class WorkFileWriter {
public:
    // Creates `path` (replacing a leftover of that name) and writes the stream's
    // description. Negative AVERROR on failure.
    int open(const QString &path, const AVStream *stream);
    // A packet in the stream's time base.
    int write(const AVPacket *pkt);
    // Writes the end mark and puts the file on the disk: only then is it worth keeping.
    int finish();
    bool isOpen() const { return _file.isOpen(); }

private:
    QFile _file;
    int64_t _packets = 0;
};

class WorkFileReader {
public:
    // How a reader treats what it has read: kept, or given back to the file system as it
    // goes (the file keeps its length but no longer its bytes), so that a join holds the
    // output and the unread rest, not the output and the whole file.
    enum class Behind { Keep, Release };
    // Reads the description. Negative AVERROR when the file is missing or not one of ours.
    int open(const QString &path, Behind behind = Behind::Keep);
    // A new stream of `out` described as the one that was written.
    AVStream *addStreamTo(AVFormatContext *out) const;
    AVRational timeBase() const { return _timeBase; }
    const AVCodecParameters *parameters() const { return _par.get(); }
    // The next packet: 1 with one, 0 at a complete file's end, negative when the file
    // ends before its end mark or holds what no writer wrote.
    int read(AVPacket *pkt);

private:
    struct ParDeleter {
        void operator()(AVCodecParameters *p) const { avcodec_parameters_free(&p); }
    };
    void releaseRead();

    QFile _file;
    bool _release = false;
    qint64 _released = 0; // bytes from the start already given back
    std::unique_ptr<AVCodecParameters, ParDeleter> _par;
    AVRational _timeBase{0, 1}, _avgRate{0, 0}, _sar{0, 1};
    int _disposition = 0;
    QList<QPair<QByteArray, QByteArray>> _metadata;
    QList<QPair<int, QByteArray>> _sideData;
};

} // namespace fw
