#!/usr/bin/env python3
"""Long lists: thousands of files (hard links to one short clip) offered, restored, quit.

1. 1,500 files on the command line: the empty list's tip goes with the first rows, while
   the add sheet is still up; Tab and Space on the sheet's Cancel stop the add and keep
   the rows; Ctrl+Q saves them with what their probe found.
2. A saved list of 3,000 such rows (the first run's entry, cloned for each link): the
   restarted window shows them all within seconds, without reading each file again.
3. A saved list of 3,000 entries of the older kind (paths only, every file to be probed):
   Ctrl+Q during the restore ends the program at once, and the saved list still names
   every file, in order.
4. Started again on that list: Esc on the restoring sheet stops the restore and keeps the
   rows restored so far.
"""
import os
import plistlib
import time

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("long list")
d = Desktop()
src = os.path.join(d.tmp, "clips")
os.makedirs(src)
links = []
for i in range(3000):
    links.append(os.path.join(src, "clip%04d.mp4" % i))
    os.link(fixture("short.mp4"), links[-1])
TIP = "Drop video or audio files here"


def state(app):
    """(items counted, progress sheet up, tip shown) as the window shows them."""
    count, sheet, tip = 0, False, False
    for win in app.report()["windows"]:
        sheet = sheet or win["class"] == "ODProgressController"
        for w in win["widgets"]:
            text = w.get("text", "")
            tip = tip or text == TIP
            if text.endswith(" items") and text.split()[0].isdigit():
                count = int(text.split()[0])
            elif text == "1 item":
                count = 1
    return count, sheet, tip


def saved(app):
    with open(os.path.join(app.data_dir(), "FileList.plist"), "rb") as f:
        return plistlib.load(f)


def press_on_sheet(app, *keys):
    sheet = app.window_sized(380, 124)
    if sheet:
        d.x(["xdotool", "windowactivate", "--sync", str(sheet["id"])])
        d.key(*keys)
    return sheet is not None


# ---- 1. Adding: the tip, Cancel by keyboard, the save ------------------------------------------
app = App(d, links[:1500])
first = wait(lambda: (lambda s: s if s[0] > 0 else None)(state(app)), 30)
c.check(first is not None, "the first rows arrive")
if first:
    count, sheet, tip = first
    c.check(sheet, "while the add sheet is still up", str(first))
    c.check(not tip, "the empty list's tip has gone with the first rows", str(first))
cancel = app.widget(window="ODProgressController", cls="QPushButton")
c.check(cancel is not None and cancel.get("text") == "Cancel", "the add sheet has a Cancel button", str(cancel))
c.check(press_on_sheet(app, "Tab", "space"), "the sheet is a window of its own")
stopped = wait(lambda: not state(app)[1], 10)
c.check(stopped, "Tab and Space on Cancel end the add")
kept = state(app)[0]
time.sleep(1)
c.check(0 < kept < 1500 and state(app)[0] == kept, "the rows added so far stay, and no more come", str(kept))
c.check(app.quit(timeout=10) == 0, "Ctrl+Q ends the program")
entries = saved(app)
c.check(len(entries) == kept, "the saved list holds the rows", "%d of %d" % (len(entries), kept))
c.check(bool(entries) and "sourceProbeKey" in entries[0], "with what their probe found")

# ---- 2. Restoring 3,000 rows that are as they were -----------------------------------------------
home = os.path.join(d.tmp, "home-restore")
data = os.path.join(home, ".local", "share", "Cinvora")
os.makedirs(data)
if entries:
    with open(os.path.join(data, "FileList.plist"), "wb") as f:
        plistlib.dump([dict(entries[0], currentFilePath=p) for p in links], f)
t = time.monotonic()
app = App(d, home=home)
shown = wait(lambda: state(app)[0] == 3000, 60, 0.2)
took = time.monotonic() - t
c.check(shown, "the restarted window shows its 3,000 rows", str(state(app)))
c.check(shown and took < 10, "within seconds", "%.1f s" % took)
c.check(bool(app.widgets(cls="vcTableCellWidget")), "the rows are drawn")
c.check(app.quit(timeout=10) == 0, "Ctrl+Q ends the program")

# ---- 3. Ctrl+Q during a long restore of older entries ------------------------------------------------
home = os.path.join(d.tmp, "home-old")
data = os.path.join(home, ".local", "share", "Cinvora")
os.makedirs(data)
with open(os.path.join(data, "FileList.plist"), "wb") as f:
    plistlib.dump([{"currentFilePath": p, "currentExtKey": ".mov"} for p in links], f)
app = App(d, home=home)
during = wait(lambda: (lambda s: s if s[0] > 0 and s[1] else None)(state(app)), 30)
c.check(during is not None, "the restore is under way", str(state(app)))
t = time.monotonic()
code = app.quit(timeout=15)
took = time.monotonic() - t
c.check(code == 0, "Ctrl+Q during the restore ends the program", str(code))
c.check(code is not None and took < 3, "at once", "%.1f s" % took)
after = saved(app)
c.check([e.get("currentFilePath") for e in after] == links, "the saved list still names every file, in order",
        "%d entries" % len(after))

# ---- 4. Esc on the restoring sheet ----------------------------------------------------------------
app = App(d, home=home)
during = wait(lambda: (lambda s: s if s[1] else None)(state(app)), 30)
c.check(during is not None, "the restore of the rest is under way", str(state(app)))
cancel = app.widget(window="ODProgressController", cls="QPushButton")
c.check(cancel is not None and cancel.get("text") == "Cancel", "the restoring sheet has a Cancel button", str(cancel))
c.check(press_on_sheet(app, "Escape"), "the restoring sheet is a window of its own")
c.check(wait(lambda: not state(app)[1], 10), "Esc ends the restore")
kept = state(app)[0]
time.sleep(1)
c.check(0 < kept < 3000 and state(app)[0] == kept, "the rows restored so far stay", str(kept))
c.check(app.quit(timeout=10) == 0, "Ctrl+Q ends the program")
c.check(len(saved(app)) == kept, "the saved list holds what the window shows", str(len(saved(app))))
c.finish()
