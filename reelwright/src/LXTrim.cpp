#include "reelwright/LXTrim.h"

#include <algorithm>

void LXTrim::setItem(LXMediaInfoPtr item) {
    _item = std::move(item);
    _begun = _saved = range();
}

LXKeptRange LXTrim::range() const { return _item ? _item->keptRange() : LXKeptRange{}; }

int64_t LXTrim::totalUs() const { return _item ? LXKeptRange::toUs(_item->totalDuration()) : 0; }

std::pair<int64_t, int64_t> LXTrim::playWindow() const {
    if (!_item)
        return {-1, -1};
    const LXKeptRange r = range();
    return {r.startUs, r.endUs - r.startUs};
}

void LXTrim::cutAt(Cut cut, double seconds) {
    if (!_item)
        return;
    const LXKeptRange r = range();
    // The item orders its range: an end before the start lands on the start.
    _item->setKeptRange(cut == Cut::Start ? LXKeptRange{std::min(LXKeptRange::toUs(seconds), r.endUs), r.endUs}
                                          : r.withEnd(seconds));
}

std::optional<int64_t> LXTrim::nudge(Cut cut, int direction) {
    if (!_item)
        return std::nullopt;
    LXKeptRange r = range();
    const int64_t s = r.startUs, e = r.endUs;
    int64_t to = 0;
    if (cut == Cut::Start) {
        if (direction < 0) {
            to = std::max<int64_t>(s - kNudgeUs, 0);
        } else {
            if (e - kMinimumKeptUs <= s)
                return std::nullopt;
            to = std::min(s + kNudgeUs, e - kMinimumKeptUs);
        }
        r.startUs = to;
    } else {
        if (direction < 0) {
            if (e <= s + kMinimumKeptUs)
                return std::nullopt;
            to = std::max(e - kNudgeUs, s + kMinimumKeptUs);
        } else {
            const int64_t total = totalUs();
            to = e >= total ? e : std::min(e + kNudgeUs, total);
        }
        r.endUs = to;
    }
    _item->setKeptRange(r);
    return to;
}

void LXTrim::begin() { _begun = range(); }

void LXTrim::cancel() {
    if (_item)
        _item->setKeptRange(_begun);
}

void LXTrim::markSaved() { _saved = range(); }
