#!/usr/bin/env python3
"""Several rows picked and removed together, with the real pointer and keys.

One start, sixteen rows (a long clip first). Shift+click picks a range from the row clicked
before, Ctrl+click adds or takes out one row, Delete removes them all at once and the saved
list says so; the row that moved into the first gap is the one selected afterwards.
Shift+Down/Up grow and shrink the range, Ctrl+A picks every row, and rows scrolled into
view show whether they are selected (their widgets are reused). A row's trash button acts
on the selection it is part of. Then Convert: a selection holding the converting row and
rows waiting for a slot asks once before it goes; "No" keeps them all, "Yes" removes them,
and the converting row's partial output goes with it.
"""
import hashlib
import os
import plistlib
import shutil
import time

from desktop import App, Checks, Desktop, fixture, make_clip, wait

c = Checks("select rows")
d = Desktop()
work = os.path.join(d.tmp, "work")
src = os.path.join(work, "src")
out = os.path.join(work, "out")
os.makedirs(src)
os.makedirs(out)

names = ["long.mp4"] + ["r%02d.mp4" % i for i in range(1, 16)]
make_clip(os.path.join(src, "long.mp4"), 60)
for n in names[1:]:
    shutil.copy(fixture("short.mp4"), os.path.join(src, n))
settings = ("[General]\nallowConvertingMaxCount=1\nexportMoviePath=%s\nautoStreamCopyWhenSameCodec=false\n" % out)
app = App(d, [os.path.join(src, n) for n in names], settings=settings)


def rows():
    """The rows on screen, top to bottom (name, selected, status, trash button, widget)."""
    return app.rows()


def row(name):
    return next((r for r in rows() if r["name"] == name), None)


def selected():
    return [r["name"] for r in rows() if r["selected"]]


def count_label():
    return next((w.get("text") for w in app.widgets(cls="LXLabel") if w.get("text", "").endswith("items")), None)


def press(name, modifier=None):
    """A click on the row's name, with Shift or Ctrl held down the way a user holds them."""
    x, y, w, h = row(name + ".mp4")["w"]["rect"]
    if modifier:
        d.x(["xdotool", "keydown", modifier])
    d.click(x + 200, y + 40)
    if modifier:
        d.x(["xdotool", "keyup", modifier])
    time.sleep(0.2)


def saved_list():
    path = os.path.join(app.data_dir(), "FileList.plist")
    with open(path, "rb") as f:
        return [os.path.basename(e["currentFilePath"]) for e in plistlib.load(f)]


def wheel(button, notches):
    x, y, w, h = rows()[0]["w"]["rect"]
    d.pointer(x + 200, y + 30)
    for _ in range(notches):
        d.x(["xdotool", "click", str(button)])
        time.sleep(0.05)
    time.sleep(0.3)


wait(lambda: app.widget(cls="vcTableCellWidget"), 40)
c.check(wait(lambda: count_label() == "16 items", 40), "the sixteen files are listed", str(count_label()))

# ---- Pointer: a range, then one row added and one taken out; Delete removes them together ----
press("r01")
c.check(selected() == ["r01.mp4"], "a click selects that row alone", str(selected()))
press("r04", "shift")
c.check(selected() == ["r01.mp4", "r02.mp4", "r03.mp4", "r04.mp4"], "Shift+click selects the range from it",
        str(selected()))
press("r06", "ctrl")
press("r02", "ctrl")
c.check(selected() == ["r01.mp4", "r03.mp4", "r04.mp4", "r06.mp4"], "Ctrl+click adds a row and takes one out",
        str(selected()))
d.screenshot("select-rows-picked")
d.key("Delete")
c.check(wait(lambda: count_label() == "12 items", 5), "Delete removes the four selected rows at once", str(count_label()))
left = ["long.mp4", "r02.mp4", "r05.mp4"] + ["r%02d.mp4" % i for i in range(7, 16)]
c.check([r["name"] for r in rows()][:3] == left[:3], "the others stay, in order", str([r["name"] for r in rows()]))
c.check(wait(lambda: saved_list() == left, 5), "the saved list holds the rows that stayed", str(saved_list()))
c.check(selected() == ["r02.mp4"], "the row that took the first removed row's place is the selection",
        str(selected()))

# ---- Keys: Shift+Down grows the range, Shift+Up shrinks it; Ctrl+A takes every row ----------
d.key("shift+Down", "shift+Down")
c.check(wait(lambda: selected() == ["r02.mp4", "r05.mp4", "r07.mp4"], 3), "Shift+Down extends the selection",
        str(selected()))
d.key("shift+Up")
c.check(wait(lambda: selected() == ["r02.mp4", "r05.mp4"], 3), "Shift+Up takes the last row back out", str(selected()))
d.key("ctrl+a")
c.check(wait(lambda: len(selected()) == len(rows()), 3), "Ctrl+A selects every row on screen", str(selected()))
wheel(5, 6)
shown = rows()
c.check(shown[-1]["name"] == "r15.mp4" and all(r["selected"] for r in shown),
        "rows scrolled into view show that they are selected", str([(r["name"], r["selected"]) for r in shown]))
d.screenshot("select-rows-all-scrolled")
press("r15")
c.check(selected() == ["r15.mp4"], "a plain click makes one row the selection again", str(selected()))
wheel(4, 6)
shown = rows()
c.check(shown[0]["name"] == "long.mp4" and not any(r["selected"] for r in shown),
        "rows scrolled back show that they are no longer selected", str([(r["name"], r["selected"]) for r in shown]))

# ---- The trash button of a row in the selection removes the selection ----------------------
press("r09")
press("r11", "shift")
trash = row("r10.mp4")["delete"]
if c.check(trash is not None, "a row of the selection shows its trash button"):
    app.click_widget(trash)
c.check(wait(lambda: count_label() == "9 items", 5), "its trash button removes the three selected rows",
        str(count_label()))
left = [n for n in left if n not in ("r09.mp4", "r10.mp4", "r11.mp4")]
c.check(wait(lambda: saved_list() == left, 5), "and the saved list follows",
        str(saved_list()))

# ---- Converting and waiting rows: one question for all of them ------------------------------
app.click_widget(app.widget(tooltip="Convert every item"))
c.check(wait(lambda: (row("long.mp4")["status"] or "").startswith("Left time"), 30), "the long clip converts first",
        str(row("long.mp4")))
c.check(row("r05.mp4")["status"] == "Waiting for convert...", "the others wait for the slot", str(row("r05.mp4")))
press("long")
press("r05", "shift")
c.check(selected() == ["long.mp4", "r02.mp4", "r05.mp4"], "the converting row and two waiting ones are selected",
        str(selected()))


def question():
    return next((w for w in app.report()["windows"] if w.get("class") == "QMessageBox"), None)


d.key("Delete")
box = wait(question, 5)
c.check(box is not None, "Delete asks before it removes rows that convert")
no = app.wait_widget(cls="QPushButton", text="No")
if no:
    app.click_widget(no)
c.check(wait(lambda: question() is None, 5) and count_label() == "9 items", "\"No\" keeps every row", str(count_label()))
c.check((row("long.mp4")["status"] or "").startswith("Left time"), "and the long clip converts on", str(row("long.mp4")))
partial = "." + hashlib.sha256("long.mov".encode()).hexdigest()[:16] + ".cinvora-part"
c.check(partial in os.listdir(out), "its partial output is being written", str(os.listdir(out)))
d.key("Delete")
c.check(wait(question, 5) is not None, "Delete asks again")
yes = app.wait_widget(cls="QPushButton", text="Yes")
if yes:
    app.click_widget(yes)
c.check(wait(lambda: count_label() == "6 items", 5), "\"Yes\" removes the three together", str(count_label()))
c.check(wait(lambda: partial not in os.listdir(out) and "long.mov" not in os.listdir(out), 10),
        "the converting row's partial output goes with it", str(os.listdir(out)))
c.check(wait(lambda: len(selected()) == 1 and selected()[0] == "r07.mp4", 3),
        "the row that moved up is the selection", str(selected()))
c.check(wait(lambda: os.path.exists(os.path.join(out, "r07.mov")), 60), "the rows that stayed convert on",
        str(os.listdir(out)))
d.screenshot("select-rows-converting-removed")
app.kill()
c.finish()
