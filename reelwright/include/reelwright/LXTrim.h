#pragma once
// The trim of one item as the screens edit it: where its cuts may go, the nudges of the
// precise buttons and keys, and what an edit goes back to when it is cancelled. Every
// change is one setKeptRange on the item; the screens only show what this decides.
//
// Times are microseconds from the file's start; the item's length is its whole seconds.
// Main thread (the item itself may be read from any thread).
#include "reelwright/LXMediaInfo.h"

#include <optional>
#include <utility>

class LXTrim {
public:
    // The least a trim may keep (the cut slider holds its handles this far apart).
    static constexpr int64_t kMinimumKeptUs = 2'000'000;
    // One step of the precise buttons and arrow keys.
    static constexpr int64_t kNudgeUs = 50'000;

    enum class Cut { Start, End };

    // The item whose range is edited (null: none); what it keeps now is both the saved
    // range and the one a cancel goes back to.
    void setItem(LXMediaInfoPtr item);
    const LXMediaInfoPtr &item() const { return _item; }

    LXKeptRange range() const;
    // The item's length.
    int64_t totalUs() const;
    // The kept range as the player's play window (start, length); (-1, -1) without an item.
    std::pair<int64_t, int64_t> playWindow() const;

    // A cut put at a time: a start past the end stops at the end, an end before the start
    // at the start.
    void cutAt(Cut cut, double seconds);
    // One nudge of a cut earlier (direction < 0) or later, within the file and keeping the
    // minimum between the cuts. The cut's new time, or none when the minimum refuses it
    // (a cut already at the file's edge stays there, and that is its time).
    std::optional<int64_t> nudge(Cut cut, int direction);

    // An edit: begin remembers the range, cancel puts it back, apply keeps what is there.
    void begin();
    void cancel();
    void apply() { begin(); }
    LXKeptRange begun() const { return _begun; }

    // The range last saved (a change since then is what asks to be saved).
    void markSaved();
    LXKeptRange saved() const { return _saved; }
    bool changedSinceSaved() const { return _item && range() != _saved; }

private:
    LXMediaInfoPtr _item;
    LXKeptRange _begun;
    LXKeptRange _saved;
};
