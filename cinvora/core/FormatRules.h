#pragma once
// How a chosen output format becomes an item's parameter lists and defaults, and how the
// choices made among those lists are kept and put back.
#include "FormatCatalogue.h"

#include <reelwright/LXMediaInfo.h>

#include <QVariantMap>
#include <cstdint>
#include <optional>

namespace FormatRules {

// The choices made among an item's lists (codec, channel, sample-rate, frame-rate and
// frame-size indexes), its quality and its goal (a size to fit in or a quality target).
// Stored in the saved list and the settings as a dictionary of those indexes, the quality's
// number and the goal's bytes or SSIM; an entry that is missing or not a number (or no
// quality) is no choice, so lists written before the quality existed keep converting at
// high quality, and before the goal existed with none.
struct FormatChoices {
    std::optional<int64_t> aCodecIndex, vCodecIndex, channelIndex, sampleRateIndex, frameRateIndex, resolutionIndex;
    std::optional<LXQuality> quality;
    std::optional<LXOutputGoal> goal;

    static FormatChoices fromPropertyList(const QVariantMap &stored);
    QVariantMap toPropertyList() const;
    // What still means the same on another format: the indexes belong to one format's
    // lists, the quality and the goal to none.
    FormatChoices keptAcrossFormats() const {
        FormatChoices kept;
        kept.quality = quality;
        kept.goal = goal;
        return kept;
    }
    bool operator==(const FormatChoices &) const = default;
};

// The format an item is on: the one chosen for it, else its default.
FormatKey formatKeyOf(const LXMediaInfo &item);

// Replaces the item's lists with the record's and picks each default: sample rate of the
// source (else 44100, else the first), frame rate of the source rounded (else 25, else the
// first), the source size (the entry just past the sizes), first codec and channel entries.
// The first load also resets the track choices. No record empties the lists.
void loadDefaults(LXMediaInfo &item, const FormatRecord *record);

// Container, extension and the audio-only flag of a format (the default video format's
// container and extension where the record has none).
void applyFormatRecord(LXMediaInfo &item, const FormatRecord &record);

FormatChoices parametersOf(const LXMediaInfo &item);
// Puts such choices back: each index that lies inside the item's list (the frame size may
// also be the source-size entry just past it); the size follows the chosen entry, or the
// source size. Answers whether anything was applied.
bool applyParameters(LXMediaInfo &item, const FormatChoices &choices);

} // namespace FormatRules
