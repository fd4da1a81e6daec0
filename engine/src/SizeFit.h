#pragma once
// Conversions that must fit a size, and estimates of a conversion's size and time. Both
// learn from samples: short pieces of the kept range converted with the real settings into
// a temporary folder. Internal to engine/.
//
// A size limit: one sample of a second tells the sound's and the container's share; the
// video gets the rest (aiming at kSizeAim of the limit), refused when that is under
// SWConvertOption::kMinBitsPerPixel. Encoders with two passes run a first pass into the
// output's partial file, whose real sound and container bytes then correct the video's
// rate; the final pass is checked and encoded again with a corrected rate while the file
// is over the limit or, for 10 s and more, under kSizeFloor of it.
#include "Transcoder.h"

#include "framewheel/SWConvertSession.h"

#include <functional>

namespace fw {

// The share of the limit a size-limited output aims at, and the least it may fill.
constexpr double kSizeAim = 0.975;
constexpr double kSizeFloor = 0.95;

struct SizeBudget {
    int64_t videoBitRate = 0;  // 0: the limit leaves the video too little
    int64_t smallestBytes = 0; // the smallest limit that gives the video its floor
};
// The video's rate for `limitBytes` over `seconds`, when `otherBytes` (sound and container)
// come with it, for pictures of w x h at fps.
SizeBudget sizeBudget(int64_t limitBytes, double aim, double seconds, int64_t otherBytes, int w, int h, double fps);

// The length of what `req` converts (its kept range), from the input's header; 0 when the
// file does not say.
int64_t keptLengthUs(const ConvertRequest &req, SessionControl &control);

// Runs a size-limited conversion of `req` (its option's maxSizeBytes) into req.writeTo.
class SizeFitter {
public:
    using Progress = std::function<void(double percent)>;
    SizeFitter(ConvertRequest req, SessionControl &control, Progress progress);
    bool run(QString *error);
    // As Transcoder's, for the last pass that wrote the output.
    bool outputOpened() const { return _opened; }
    dev_t outputDevice() const { return _dev; }
    ino_t outputInode() const { return _ino; }
    // As Transcoder's, for the pass that made the file.
    const QStringList &notes() const { return _notes; }
    std::optional<MeasuredQuality> measuredQuality() const { return _measured; }

private:
    bool pass(const VideoRate &rate, double from, double to, TranscodeTally *tally, QString *error);

    ConvertRequest _req;
    SessionControl &_control;
    Progress _progress;
    bool _opened = false;
    dev_t _dev = 0;
    ino_t _ino = 0;
    QStringList _notes;
    std::optional<MeasuredQuality> _measured;
};

SWConvertEstimate estimateConversion(const ConvertRequest &req, SessionControl &control);

} // namespace fw
