#pragma once
// How like its source a converted picture is: SSIM and PSNR of the encoder's output,
// decoded again inside the conversion, against the very picture the encoder was given
// (the source after every filter: same size, same pixel format). Internal to engine/.
//
// The figures are those the ffmpeg program's ssim and psnr filters report for the same
// two pictures ("All" and "average"): planes weighted by their share of the samples,
// SSIM on 8x8 windows stepped by 4 pixels, PSNR from the mean of the frames' squared
// errors. Large pictures are sampled (every Nth frame) so the measurement stays a small
// part of the conversion's time; the encoder's every packet is still decoded, since its
// pictures refer to each other.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include "AvHelpers.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace fw {

struct PictureLikeness {
    double ssim = 0;  // weighted over the planes, 0..1
    double mse = 0;   // weighted mean squared error, in samples of the picture's depth
    double maxSq = 0; // the weighted square of the largest sample value, for PSNR
};

// One pair of pictures of the same size and planar layout; nullopt when the layout is one
// the measurement does not read (packed or paletted formats) or the sizes differ.
std::optional<PictureLikeness> comparePictures(const AVFrame *a, const AVFrame *b);

// Every Nth frame is measured: every one up to 0.12 megapixels (320x240 and below), every
// eighth of 720p, every eighteenth of 1080p.
int qualitySampleStride(int width, int height);

struct MeasuredQuality {
    double ssim = 0;
    double psnrDb = 0; // capped at kPsnrCapDb for identical pictures
    int64_t frames = 0;
    // The means PSNR is made from, so that measurements of consecutive pieces of one
    // stream can be put together.
    double mse = 0, maxSq = 0;
};
constexpr double kPsnrCapDb = 100.0;

// The figures the pieces' frames give together, as one measurement of them all would
// (SSIM the mean over the frames, PSNR from the mean squared error); nothing when no
// frame was measured.
std::optional<MeasuredQuality> combineMeasured(const std::vector<MeasuredQuality> &pieces);

class QualityMeter {
public:
    // enc: the opened encoder whose packets are measured (its time base names the packets').
    explicit QualityMeter(const AVCodecContext *enc, int threads);
    ~QualityMeter();
    QualityMeter(const QualityMeter &) = delete;
    QualityMeter &operator=(const QualityMeter &) = delete;

    // A picture about to be sent to the encoder, pts in the encoder's time base.
    void noteSource(const AVFrame *frame);
    // A packet the encoder made, before it is rescaled for the muxer.
    void notePacket(const AVPacket *pkt);
    // The encoder has drained: the decoder gives up what it still holds.
    void finish();
    // Nothing when no frame could be compared (or the decoder would not open).
    std::optional<MeasuredQuality> result() const;

private:
    void receive();
    void compare(const AVFrame *decoded);
    bool openDecoder();

    const AVCodecContext *_enc;
    int _threads;
    CodecContextPtr _dec;
    bool _broken = false;
    FramePtr _out = makeFrame();
    int _stride = 1;
    int64_t _seen = 0;
    std::map<int64_t, FramePtr> _waiting; // sampled source pictures by pts
    double _ssimSum = 0, _mseSum = 0, _maxSq = 0;
    int64_t _frames = 0;
};

} // namespace fw
