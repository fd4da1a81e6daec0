#pragma once
// Picture subtitles (DVD, PGS, DVB) for burning into the video: decodes the subtitle
// packets as the demuxer delivers them and keeps, for any moment, a transparent RGBA
// canvas with the subtitle pictures of that moment drawn in. The video graph overlays
// the canvas onto every frame. Internal to engine/.
#include "AvHelpers.h"

#include <QString>
#include <cstdint>
#include <deque>

namespace fw {

class BitmapSubtitles {
public:
    // `st`: the subtitle stream; videoW/H: the coded size of the video it belongs to
    // (the canvas size when the stream does not declare one).
    int open(AVStream *st, int videoW, int videoH, QString *error);
    // A packet of the subtitle stream; `clockOffsetUs` as in PipelineContext.
    void handlePacket(const AVPacket *pkt, int64_t clockOffsetUs);
    // The canvas to show at graph time `us`; owned here, valid until the next call.
    const AVFrame *canvasAt(int64_t us);
    int width() const { return _w; }
    int height() const { return _h; }
    int streamIndex() const { return _stream ? _stream->index : -1; }

private:
    struct Event {
        int64_t startUs, endUs;
        FramePtr canvas;
    };
    FramePtr render(const AVSubtitle &sub) const;
    FramePtr blankCanvas() const;

    AVStream *_stream = nullptr;
    CodecContextPtr _dec;
    int _w = 0, _h = 0;
    std::deque<Event> _events; // in start order
    FramePtr _blank;
    const AVFrame *_shown = nullptr;
};

} // namespace fw
