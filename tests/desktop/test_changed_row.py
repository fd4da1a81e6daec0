#!/usr/bin/env python3
"""A finished row whose item changes says that its output is out of date.

One start: a clip converted (done mark), then opened in the player window (Ctrl+Return)
and its start moved one step later from the floating bar's trim panel. The row in the main
window turns to the out-of-date mark at once, and its tool tip says that Convert makes it
again; one step back (the change undone) gives the done mark back, and a step later again
keeps the out-of-date mark after the trim is kept and the window closed. Convert then makes
the output again, a second file the ffprobe program reads as starting later, and the row
is done once more.
"""
import os
import shutil
import subprocess
import time

from desktop import App, Checks, Desktop, fixture, wait

CHANGED = "Changed since converted: Convert makes it again"

c = Checks("changed row")
d = Desktop()
work = os.path.join(d.tmp, "work")
out = os.path.join(work, "out")
os.makedirs(out)
src = os.path.join(work, "clip.mp4")
shutil.copy(fixture("clip.mp4"), src)
# Encoded again, not copied: a copy would start at the key frame before the new start.
app = App(d, [src], settings="[General]\nexportMoviePath=%s\nautoStreamCopyWhenSameCodec=false\n" % out)
main = app.main_window()


def the_row():
    """(outcome mark's accessible name, tool tip) of the one row."""
    shown = app.rows()
    return (shown[0]["badge"], shown[0]["tip"]) if shown else (None, "")


def outputs():
    return sorted(f for f in os.listdir(out) if not f.startswith("."))


def player_window():
    for w in app.x_windows():
        if w["id"] != main["id"] and w["name"].startswith("clip.mp4"):
            return w
    return None


def show_bar(win):
    for dx in (0, 15, 30):
        d.pointer(win["x"] + win["w"] // 2 + dx, win["y"] + win["h"] // 3)
        time.sleep(0.15)
    return wait(lambda: app.overlay("LXConverWin"), 5)


def duration_of(path):
    r = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "format=duration",
                        "-of", "default=nw=1:nk=1", path], capture_output=True, text=True, timeout=30)
    return float(r.stdout.strip() or "nan")


row = wait(lambda: app.widget(cls="vcTableCellWidget"), 20)
app.click_widget(app.wait_widget(tooltip="Convert every item"))
c.check(wait(lambda: the_row()[0] == "done", 60), "the clip is converted and shows the done mark", str(the_row()))
c.check(CHANGED not in the_row()[1], "its tool tip says nothing of a change", repr(the_row()[1]))
first = outputs()
c.check(first == ["clip.mov"], "one output", str(first))

# The player window's bar, in trim mode, with the left cut's frame-stepping panel.
d.click(*app.centre(app.widget(cls="vcTableCellWidget")))
d.key("ctrl+Return")
win = wait(player_window, 15)
time.sleep(0.5)
bar = show_bar(player_window()) if win else None
export = app.widget(tooltip="export or trim")
panel = None
if c.check(bar is not None and export is not None, "the player window shows its bar"):
    app.click_widget(export)
    time.sleep(0.5)
    d.key("Up", "Return")  # the menu's last entry: Trim
    trim = wait(lambda: app.widget(text="Trim", cls="LXButton"), 5)
    shown = app.overlay("LXConverWin")
    cut = next(iter(app.widgets_on(shown, cls="LXCutSlider") if shown else []), None)
    if c.check(trim is not None and cut is not None, "the bar's menu turns it to trim mode"):
        x, y, cw, ch = cut["rect"]
        for py in range(y + 2, y + ch, 4):
            for px in range(x, x + 24, 4):
                d.pointer(px, py)
                time.sleep(0.05)
                panel = app.overlay("LXCountdownWindow")
                if panel:
                    break
            if panel:
                break
if c.check(panel is not None, "the left cut's frame-stepping panel is up"):
    later, earlier = (panel["x"] + 94, panel["y"] + 12), (panel["x"] + 82, panel["y"] + 12)
    d.click(*later)
    c.check(wait(lambda: the_row()[0] == "changed since converted", 5),
            "a start one step later turns the finished row to the out-of-date mark", str(the_row()))
    c.check(the_row()[1].endswith("\n" + CHANGED), "its tool tip says that Convert makes it again", repr(the_row()[1]))
    d.screenshot("changed-row-out-of-date")
    d.click(*earlier)
    c.check(wait(lambda: the_row()[0] == "done", 5), "one step back, the row is done again", str(the_row()))
    c.check(CHANGED not in the_row()[1], "and its tool tip no longer speaks of a change", repr(the_row()[1]))
    d.click(*later)
    c.check(wait(lambda: the_row()[0] == "changed since converted", 5), "a step later again: out of date again",
            str(the_row()))
    trim = app.widget(text="Trim", cls="LXButton")
    if trim:
        app.click_widget(trim)
        time.sleep(0.5)
d.key("ctrl+w")
c.check(wait(lambda: player_window() is None, 5), "Ctrl+W closes the player window")
c.check(wait(lambda: the_row()[0] == "changed since converted", 5), "the kept trim leaves the row out of date",
        str(the_row()))

# Convert makes it again, from the new start, and the row is done again.
app.click_widget(app.wait_widget(tooltip="Convert every item"))
c.check(wait(lambda: len(outputs()) == 2 and the_row()[0] == "done", 60), "Convert makes the output again",
        str((outputs(), the_row())))
if len(outputs()) == 2:
    again = [f for f in outputs() if f not in first][0]
    whole, cut = duration_of(os.path.join(out, first[0])), duration_of(os.path.join(out, again))
    c.check(whole - cut > 0.02, "ffprobe reads the new output as the shorter one: it starts later",
            "%s %.3f s, %s %.3f s" % (first[0], whole, again, cut))
c.check(CHANGED not in the_row()[1], "the row's tool tip names the new output only", repr(the_row()[1]))
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
