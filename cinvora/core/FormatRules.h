#pragma once
// How a chosen output format becomes an item's parameter lists and defaults, how a
// frame-size entry reads, and how an item's choices fill a conversion session.
#include <QString>
#include <QVariantMap>
#include <cstdint>

class LXMediaInfo;
class SWConvertOption;

namespace FormatRules {

// Replaces the item's lists with the record's and picks each default: sample rate of the
// source (else 44100, else the first), frame rate of the source rounded (else 25, else the
// first), the source size ("(Defaults)"), first codec and channel entries. The first load
// also resets the track choices. An empty record empties the lists.
void loadDefaults(LXMediaInfo &item, const QVariantMap &record);

// Container, extension and the audio-only flag of a format record ("mov"/".mov" when absent).
void applyFormatRecord(LXMediaInfo &item, const QVariantMap &record);

// The choices made among an item's lists (codec, channel, sample-rate, frame-rate and
// frame-size indexes), as kept in the saved list and the settings.
QVariantMap parametersOf(const LXMediaInfo &item);
// Puts such choices back: each index that lies inside the item's list (the frame size may
// also be the "(Defaults)" entry just past it); the size follows the chosen entry, or the
// source size for "(Defaults)". Answers whether anything was applied.
bool applyParameters(LXMediaInfo &item, const QVariantMap &parameters);

// "(Defaults) 1920*1080": the extra frame-size entry meaning the source size, written as
// the catalogue writes its sizes.
QString defaultsEntry(uint64_t width, uint64_t height);
// Reads "800*600" or "(Defaults) 1920*1080" (spaces around "*" allowed) into width and height. A "(Defaults)" text
// with fewer than three characters after it, or a text without "*", leaves both unchanged
// and answers false.
bool parseFrameSize(const QString &text, uint64_t &width, uint64_t &height);

// Key path without its one-character ordering prefix: "Audio.7--mp3" -> "Audio.mp3".
QString lastKeyFromKeyPath(const QString &keyPath);

} // namespace FormatRules
