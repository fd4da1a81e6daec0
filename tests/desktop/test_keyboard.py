#!/usr/bin/env python3
"""Cinvora without a mouse: a file named on the command line, then only keys. Tab walks
every control of the window in order and each shows a focus ring; Space and the arrows
choose a category and a format in each of the four; Tab and Space open the chosen format's
parameter editor, whose quality pop-up the arrows change; Ctrl+, opens the settings sheet, whose
controls Tab walks and whose stepper the arrows change; F10 opens the program's menu;
Ctrl+Shift+Return converts, and ffprobe reads the output; in the trim editor Tab reaches
the cut slider, whose start handle an arrow moves. Pictures of the rings on a button, a
tile, a row and a handle go to build/shots/desktop/.
"""
import configparser
import json
import os
import subprocess
import tempfile
import time

from desktop import App, Checks, Desktop, make_clip, wait

CATEGORIES = ["Apple Device", "Web Video", "Common Video", "Audio"]

c = Checks("keyboard")
d = Desktop()
work = tempfile.mkdtemp(prefix="keyboard-", dir=d.tmp)
out = os.path.join(work, "out")
os.makedirs(out)
clip = make_clip(os.path.join(work, "walk.mp4"), 3)
app = App(d, [clip], settings="[General]\nexportMoviePath=%s\nallowConvertingMaxCount=2\n" % out)
row = wait(lambda: app.widget(cls="vcTableCellWidget"), 20)
c.check(row is not None, "the file from the command line is listed")
d.x(["xdotool", "windowactivate", "--sync", str(app.main_id)])
time.sleep(0.3)


def setting(key):
    cp = configparser.ConfigParser()
    cp.read(app.settings_path())
    return cp.get("General", key, fallback=None)


def focus():
    return app.report().get("focus") or {}


def label(f):
    """A focused widget as the checks name it."""
    return "%s %s" % (f.get("class"), f.get("toolTip") or f.get("text") or f.get("name") or "")


def grab(rect):
    x, y, w, h = rect
    return d.pixels(x, y, w, h)


def changed(a, b):
    """How many pixels differ clearly between two grabs of one rectangle."""
    n = 0
    for i in range(0, min(len(a), len(b)) - 2, 3):
        if abs(a[i] - b[i]) + abs(a[i + 1] - b[i + 1]) + abs(a[i + 2] - b[i + 2]) > 60:
            n += 1
    return n


def tab_to(pred, limit=40, key="Tab"):
    for _ in range(limit):
        f = focus()
        if pred(f):
            return f
        d.key(key)
    f = focus()
    return f if pred(f) else None


# ---- Tab walks the window's controls in order --------------------------------------------
d.key("Down")  # the window's key for the list: the row becomes the current one
time.sleep(0.3)
row = app.widget(cls="vcTableCellWidget")
add = app.widget(cls="LXButton", tooltip="Add files")
add_before = grab(add["rect"])
row_before = grab(row["rect"])
walk = []
for _ in range(30):
    d.key("Tab")
    f = focus()
    walk.append(label(f))
    if f.get("toolTip") == "Add files" and len(walk) > 1 and walk.count(label(f)) == 1:
        time.sleep(0.2)
        add_after = grab(add["rect"])
        d.screenshot("keyboard-ring-button")
        c.check(changed(add_before, add_after) >= 40, "the focused Add button draws a ring",
                "%d pixels changed" % changed(add_before, add_after))
    if f.get("class") == "vcTableView" and walk.count(label(f)) == 1:
        time.sleep(0.2)
        row_after = grab(row["rect"])
        d.screenshot("keyboard-ring-row")
        c.check(changed(row_before, row_after) >= 100, "the focused list rings its current row",
                "%d pixels changed" % changed(row_before, row_after))
print("Tab order:", json.dumps(walk, indent=1))


def first(pred):
    return next((i for i, w in enumerate(walk) if pred(w)), None)


stops = {
    "add": first(lambda w: w.endswith("Add files")),
    "list": first(lambda w: w.startswith("vcTableView")),
    "category": first(lambda w: w.startswith("LXButton") and w.split(" ", 1)[1] in CATEGORIES),
    "grid": first(lambda w: w.startswith("LXThumbImageTableView")),
    "format settings": first(lambda w: w.endswith("Settings of this format")),
    "export folder": first(lambda w: w.startswith("LXPopUpButton")),
    "switch": first(lambda w: w.startswith("LXSwitchButton")),
    "convert": first(lambda w: w.endswith("Convert every item")),
    "settings": first(lambda w: w.endswith("Preferences")),
    "help": first(lambda w: w.endswith("Support page")),
}
c.check(all(v is not None for v in stops.values()), "Tab reaches add, the list, the categories, the grid, the "
        "format's settings, the export folder, the switch, Convert, the settings and help", str(stops))
order = [stops[k] for k in ("add", "list", "category", "grid", "format settings", "convert", "settings", "help")]
c.check(None not in order and order == sorted(order), "in that order", str(order))
distinct = len(set(walk))
c.check(distinct >= 16, "Tab visits every control, each once a round", "%d distinct stops" % distinct)

# ---- A format in each category, by keys -----------------------------------------------------
chosen = {}
for k, name in enumerate(CATEGORIES):
    f = tab_to(lambda f: f.get("class") == "LXButton" and f.get("text") == name)
    if not c.check(f is not None, "Tab reaches the %s category" % name):
        continue
    d.key("space")
    on = wait(lambda: (app.widget(cls="LXButton", text=name) or {}).get("selected"), 5)
    c.check(bool(on), "Space on %s shows its formats" % name)
    grid = tab_to(lambda f: f.get("class") == "LXThumbImageTableView", limit=6)
    if not c.check(grid is not None, "Tab goes on from the categories to the grid (%s)" % name):
        continue
    d.key("Home")
    if k == 0:
        time.sleep(0.2)
        before = grab(grid["rect"])
    d.key("Right")
    if k == 0:
        time.sleep(0.2)
        d.screenshot("keyboard-ring-tile")
        c.check(changed(before, grab(grid["rect"])) >= 100, "the tile under the keyboard draws a ring")
    d.key("Return")
    cells = sorted(app.widgets(cls="LXImageCellView"), key=lambda w: w["rect"][0])
    picked = [w for w in cells if w.get("selected")]
    c.check(len(picked) == 1 and len(cells) > 1 and picked[0] is cells[1],
            "Right then Return chooses the second tile of %s" % name,
            str([(w.get("accessibleName"), w.get("selected")) for w in cells]))
    if picked:
        chosen[name] = picked[0].get("accessibleName")
print("chosen:", chosen)
# Further along the strip than it shows: the focused tile stays whole in view.
for _ in range(12):
    d.key("Right")
strip = app.widget(cls="LXThumbImageTableView")
ringed = [w for w in app.widgets(cls="LXImageCellView") if w.get("focusRing")]
if c.check(len(ringed) == 1 and strip is not None, "one tile carries the keyboard's ring"):
    px, pw = ringed[0]["rect"][0], ringed[0]["rect"][2]
    gx, gw = strip["rect"][0], strip["rect"][2]
    c.check(gx + 90 <= px and px + pw <= gx + gw - 90, "the tile twelve to the right is whole between the arrows",
            "%s in %s" % (ringed[0]["rect"], strip["rect"]))

# ---- The parameter editor by keys: the quality pop-up ----------------------------------------
gear = tab_to(lambda f: f.get("toolTip") == "Settings of this format", limit=12)
if c.check(gear is not None, "Tab goes on from the grid to the chosen format's settings button"):
    d.key("space")
    if c.check(wait(lambda: app.widget(window="ODMediaInfoEdit", cls="QComboBox"), 10) is not None,
               "Space on it opens the parameter editor"):
        time.sleep(0.5)
        q = tab_to(lambda f: f.get("accessibleName") == "Quality", limit=12)
        if c.check(q is not None, "Tab reaches the pop-up named Quality"):
            d.key("Down")
            c.check(wait(lambda: focus().get("text") == "Medium", 5), "Down on it chooses Medium",
                    str(focus().get("text")))
        save = tab_to(lambda f: f.get("text") == "Save", limit=12)
        if c.check(save is not None, "Tab reaches Save"):
            d.key("Return")
        c.check(wait(lambda: not app.widgets(window="ODMediaInfoEdit"), 5), "Return on Save closes the editor")

        def stored_quality():
            import plistlib
            try:
                with open(os.path.join(app.data_dir(), "FileList.plist"), "rb") as f:
                    entries = plistlib.load(f)
            except (OSError, ValueError):
                return None
            return entries[0].get("currentParametersKey", {}).get("quality") if entries else None

        c.check(wait(lambda: stored_quality() == 1, 5), "the saved list keeps the row's quality",
                str(stored_quality()))

# ---- The settings sheet by keys ----------------------------------------------------------------
d.key("ctrl+comma")
sheet = wait(lambda: next((w for w in app.report()["windows"] if w.get("class") == "ODSettingController"), None), 5)
if c.check(sheet is not None, "Ctrl+, opens the settings sheet"):
    seen = []
    for _ in range(12):
        seen.append(label(focus()))
        d.key("Tab")
    c.check(len(set(seen)) >= 8, "Tab walks the sheet's controls, not just the folder field", str(seen))
    f = tab_to(lambda f: f.get("name") == "ODUpDownStepBtn", limit=12)
    if c.check(f is not None, "Tab reaches the stepper"):
        d.key("Right")
        c.check(wait(lambda: setting("allowConvertingMaxCount") == "3", 5), "Right raises the limit to 3",
                str(setting("allowConvertingMaxCount")))
    f = tab_to(lambda f: f.get("name") == "keepAwakeSwitch", limit=12)
    if c.check(f is not None, "Tab reaches the keep-awake switch"):
        d.key("space")
        c.check(wait(lambda: setting("keepAwakeWhileConverting") == "false", 5), "Space turns it off",
                str(setting("keepAwakeWhileConverting")))
    f = tab_to(lambda f: f.get("text") == "Done", limit=12)
    if c.check(f is not None, "Tab reaches Done"):
        d.key("Return")
        c.check(wait(lambda: not any(w.get("class") == "ODSettingController" for w in app.report()["windows"]), 5),
                "Return on Done closes the sheet")

# ---- The program's menu ------------------------------------------------------------------------
d.key("F10")
menu = wait(lambda: next((w for w in app.report()["windows"] if w.get("class") == "QMenu"), None), 5)
c.check(menu is not None, "F10 opens the program's menu")
d.key("Escape")
c.check(wait(lambda: not any(w.get("class") == "QMenu" for w in app.report()["windows"]), 5), "Escape closes it")

# ---- Convert by its key, and the output ----------------------------------------------------------
convert = app.widget(cls="LXButton", tooltip="Convert every item")
c.check(convert is not None and "Ctrl+Shift+Return" in convert.get("shownToolTip", ""),
        "Convert's tool tip names its key", str(convert and convert.get("shownToolTip")))
d.key("ctrl+shift+Return")
done = wait(lambda: [n for n in os.listdir(out) if not n.startswith(".")], 90, 0.5)
if c.check(bool(done), "Ctrl+Shift+Return converts the file", str(os.listdir(out))):
    path = os.path.join(out, done[0])
    time.sleep(0.5)
    probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration:stream=codec_type",
                            "-of", "json", path], capture_output=True, text=True, timeout=60)
    info = json.loads(probe.stdout or "{}")
    duration = float(info.get("format", {}).get("duration", 0))
    kinds = [s.get("codec_type") for s in info.get("streams", [])]
    c.check(abs(duration - 3) < 0.5 and "audio" in kinds, "ffprobe reads a 3 s output with sound (%s)" % done[0],
            "%s %s" % (duration, kinds))
# ---- The trim editor by keys: Tab through its controls, a handle moved by an arrow ---------------
d.key("ctrl+e")
if c.check(wait(lambda: app.widget(cls="LXCutSlider"), 10) is not None, "Ctrl+E opens the trim editor"):
    time.sleep(1.0)
    seen = []
    for _ in range(14):
        d.key("Tab")
        seen.append(label(focus()))
    c.check(len(set(seen)) >= 8, "Tab walks the editor's controls", str(seen))
    f = tab_to(lambda f: f.get("class") == "LXCutSlider", limit=20)
    if c.check(f is not None, "Tab reaches the cut slider"):
        d.key("Right")
        time.sleep(0.3)
        d.screenshot("keyboard-ring-cut-handle")
    done_btn = tab_to(lambda f: f.get("toolTip") == "done", limit=20)
    if c.check(done_btn is not None, "Tab reaches the editor's check mark"):
        d.key("space")
        c.check(wait(lambda: app.widget(cls="LXCutSlider") is None, 10), "Space on it returns to the list")
        durations = wait(lambda: [w.get("text") for w in app.widgets(cls="LXLabel") if w.get("text") == "00:02"], 5)
        c.check(bool(durations), "Right on the focused start handle cut a second off: the row lasts 00:02",
                str([w.get("text") for w in app.widgets(cls="LXLabel") if str(w.get("text", "")).startswith("00:0")]))
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
