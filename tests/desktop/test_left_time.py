#!/usr/bin/env python3
"""The remaining time a row shows, as a user reads it in the window: two long clips converting
side by side (the limit at two), the shorter one's end speeding up the other, then a short one. Each look at a row (the time read
from its status text, its progress bar's position) is judged once the row has ended against
the time that did remain, measured in the same run. From 10 % on, the looks at the long rows
are typically within a quarter of it and none is off threefold; no row, long or short, shows
00:00:00 before its end.

It judges time, so ctest runs it alone (no other test's load beside it).
"""
import os
import re
import time

from desktop import App, Checks, Desktop, make_clip, wait

c = Checks("left time")
d = Desktop()
work = os.path.join(d.tmp, "work")
src = os.path.join(work, "src")
out = os.path.join(work, "out")
os.makedirs(src)
os.makedirs(out)
# Of unlike lengths: when the first ends, the second speeds up, and its figure must follow.
longs = [make_clip(os.path.join(src, "long%d.mp4" % i), s) for i, s in enumerate((40, 100))]
short = make_clip(os.path.join(src, "short.mp4"), 6)
app = App(d, longs + [short], settings=(
    "[General]\nallowConvertingMaxCount=2\nexportMoviePath=%s\nautoStreamCopyWhenSameCodec=false\n" % out))

SHOWN = re.compile(r"^Left time: (\d+):(\d\d):(\d\d)$")


def rows():
    """name -> (status text or None, progress 0..1 or None, outcome mark or None)."""
    return {r["name"]: (r["status"], r["bar"], r["badge"]) for r in app.rows()}


names = [os.path.basename(p) for p in longs + [short]]
c.check(wait(lambda: sorted(rows()) == sorted(names), 30), "the three files are listed", str(list(rows())))
app.click_widget(app.widget(tooltip="Convert every item"))

looks = {n: [] for n in names}  # (seconds since the press, progress, shown seconds)
ended = {}
pressed = time.monotonic()
while len(ended) < len(names) and time.monotonic() - pressed < 240:
    at = time.monotonic() - pressed
    for name, (status, bar, badge) in rows().items():
        if name in ended:
            continue
        if badge is not None:
            ended[name] = at
            continue
        m = SHOWN.match(status or "")
        if m and bar is not None:
            looks[name].append((at, bar, int(m.group(1)) * 3600 + int(m.group(2)) * 60 + int(m.group(3))))
    time.sleep(0.4)
c.check(len(ended) == len(names), "every row ends", str(ended))
c.check(all(rows()[n][2] == "done" for n in ended), "and is converted", str(rows()))

errors, far, zero = [], [], []
for name in names:
    if name not in ended:
        continue
    for at, progress, shown in looks[name]:
        remained = ended[name] - at
        where = "%s at %.0f %%: shown %d s, %.1f s remained" % (name, progress * 100, shown, remained)
        # The end is seen up to one look (about half a second) after it came.
        if shown == 0 and remained > 1.0:
            zero.append(where)
        if name == "short.mp4" or progress < 0.10 or remained < 2.0:
            continue
        error = (shown - remained) / remained
        errors.append(error)
        if error < -2.0 / 3.0 or error > 2.0:
            far.append(where)
c.check(len(errors) >= 16, "the long rows were looked at often enough from 10 % on", str(len(errors)))
errors.sort()
median = errors[len(errors) // 2] if errors else None
c.check(median is not None and abs(median) <= 0.25, "the shown time is typically within a quarter of what remained",
        "median %s; %s" % (median, ["%.2f" % e for e in errors]))
c.check(not far, "no look is off threefold", "; ".join(far))
print("median error %s over %d looks" % (median, len(errors)))
c.check(not zero, "no row shows 00:00:00 before its end", "; ".join(zero))
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
