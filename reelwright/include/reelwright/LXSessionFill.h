#pragma once
// How a media item fills a conversion session: the one way both the list's conversions
// and the editor's exports turn an item into engine settings. What differs between the
// two is said by LXFillRules, nothing else.
#include <reelwright/LXMediaInfo.h>

class SWConvertOption;
class SWConvertSession;

struct LXFillRules {
    // Copy a stream whose codec already matches the output's instead of encoding it.
    bool streamCopy = true;
    // The same for a source without video (an audio file to another audio format).
    bool streamCopyWithoutVideo = true;
    // The item's sample rate and channel count; without them the engine keeps the source's.
    bool audioShape = true;
    // The containers' fixed sizes, frame rates, sample rates and codecs (processingSpecialFormat).
    bool containerRules = true;
    // Even loudness: the sound brought to the default target loudness.
    bool evenLoudness = false;

    // The list's conversions: stream copy and even loudness as the user set them, every
    // choice of the item.
    static LXFillRules forQueue(bool autoStreamCopy, bool evenLoudness = false) {
        return {autoStreamCopy, autoStreamCopy, true, true, evenLoudness};
    }
    // An export from the editor keeps the source's sound and copies matching video
    // streams; an audio source is always encoded.
    static LXFillRules forExport() { return {true, false, false, false, false}; }
};

// Trim range (microseconds), audio and subtitle switches, volume, the chosen audio track
// and codec (-1 for a track outside the probe's list); for video output from a video
// source also frame size, input size, subtitle count and track, frame rate (only for an
// index inside the list), video codec and quality; for audio-only output from a video
// source video off; the container when one is named; whether an external subtitle is
// burned in; then what `rules` add. Every field is read from one snapshot of the item.
void fillSessionOption(const LXMediaInfo &item, SWConvertOption &option, const LXFillRules &rules);

// The one way a conversion of an item is prepared, for the list and the exports alike: the
// option filled as above, the item's file as the input, its external subtitle loaded, and
// `threadCount` threads for each codec (0: every core). What is left to the caller is the
// output's name and start().
void prepareSession(SWConvertSession &session, const LXMediaInfo &item, const LXFillRules &rules, int threadCount);

// The engine's quality scale for a quality (high for a value that names none).
double qscaleForQuality(LXQuality quality);

// What a container demands whatever was chosen: the size rule (forced only when the user
// kept the source's size in at least one dimension), frame and sample rates, codecs.
void processingSpecialFormat(const LXMediaFields &item, SWConvertOption &option);
