#!/usr/bin/env python3
"""The output format and its parameters, chosen with the pointer in the format grid and the
parameter editor, on a real desktop: rows show what was chosen, files added later take the
same choice, the choice and every row's parameters survive a restart, and the grid always
shows the selected row's format (category and highlighted cell). With two or more rows a
choice that changes them asks first, and "Do not ask again" stops the question.
"""
import configparser
import re
import time

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("formats")
d = Desktop()
app = App(d, [fixture("clip.mp4")])
SIZE = re.compile(r"^\d+\*\d+$")


def inside(inner, outer):
    x, y, w, h = inner["rect"]
    X, Y, W, H = outer["rect"]
    return X <= x and Y <= y and x + w <= X + W and y + h <= Y + H


def rows():
    """Each row as (file name, format text, size text), top to bottom."""
    out = []
    widgets = app.widgets()
    labels = [w for w in widgets if w["class"] == "LXLabel" and w.get("text")]
    for r in sorted((w for w in widgets if w["class"] == "vcTableCellWidget"), key=lambda w: w["rect"][1]):
        texts = [l["text"] for l in labels if inside(l, r)]
        name = next((t for t in texts if "." in t and not SIZE.match(t)), None)
        size = next((t for t in texts if SIZE.match(t)), None)
        fmt = next((t for t in texts if re.match(r"^[a-z0-9]{2,5}$", t)), None)
        out.append((name, fmt, size, r))
    return out


def row(name):
    return next((r for r in rows() if r[0] == name), None)


def category_on():
    on = [w["text"] for w in app.widgets(cls="LXButton") if w.get("selected")]
    return on[0] if len(on) == 1 else on


def highlighted():
    return [w["text"] for w in app.widgets(cls="LXImageCellView") if w.get("selected")]


def cell(title):
    return app.widget(cls="LXImageCellView", text=title)


def question():
    return next((w for w in app.report()["windows"] if w.get("name") == "applyToAllQuestion"), None)


def setting(key):
    cp = configparser.ConfigParser()
    cp.read(app.settings_path())
    return cp.get("General", key, fallback=None)


wait(lambda: row("clip.mp4"), 20)
c.check(category_on() == "Apple Device" and highlighted() == ["Quicktime Movie"],
        "at first the grid shows the default format", "%s %s" % (category_on(), highlighted()))

# Common Video / MKV, then the frame size 854*480 in the parameter editor.
app.click_widget(app.widget(cls="LXButton", text="Common Video"))
wait(lambda: cell("MKV"), 5)
app.click_widget(cell("MKV"))
c.check(wait(lambda: row("clip.mp4")[1] == "mkv", 5), "a click on MKV gives the row mkv", str(row("clip.mp4")))
mkv = cell("MKV")
gear = [w for w in app.widgets(cls="LXButton") if inside(w, mkv) and w["rect"][2] < 40]
if c.check(len(gear) == 1, "the highlighted cell shows its settings button"):
    app.click_widget(gear[0])
editor = wait(lambda: app.widget(window="ODMediaInfoEdit", cls="QComboBox"), 10)
if c.check(editor is not None, "the settings button opens the parameter editor"):
    sizes = [w for w in app.widgets(window="ODMediaInfoEdit", cls="QComboBox") if "Defaults" in w.get("text", "")]
    c.check(len(sizes) == 1 and sizes[0]["text"] == "(Defaults) 320*240",
            "the source size is offered as the catalogue writes sizes", str([w.get("text") for w in sizes]))
    if sizes:
        app.click_widget(sizes[0])
        time.sleep(0.4)
        d.type("854")
        d.key("Return")
        c.check(wait(lambda: app.widget(window="ODMediaInfoEdit", cls="QComboBox", text="854*480"), 5) is not None,
                "854*480 is chosen in the editor")
    app.click_widget(app.widget(window="ODMediaInfoEdit", cls="LXButton", text="Save"))
    wait(lambda: not app.widgets(window="ODMediaInfoEdit"), 5)
c.check(wait(lambda: row("clip.mp4")[1:3] == ("mkv", "854*480"), 5), "the row says mkv at 854*480", str(row("clip.mp4")[:3]))

# Restart with more files: the restored row keeps its choice, new rows take it too (an
# audio-only file cannot take a video format and keeps its own).
c.check(app.quit() == 0, "the program quits")
app = App(d, [fixture("short.mp4"), fixture("audio.mp3")], home=app.home)
wait(lambda: len(rows()) == 3, 30)
got = {r[0]: r[1:3] for r in rows()}
c.check(got.get("clip.mp4") == ("mkv", "854*480"), "after a restart the saved row is still mkv at 854*480", str(got))
c.check(got.get("short.mp4") == ("mkv", "854*480"), "a file added later takes the chosen format and size", str(got))
c.check(got.get("audio.mp3", (None,))[0] == "mp3", "an audio-only file keeps an audio format", str(got))
app.click_widget(row("clip.mp4")[3])
c.check(wait(lambda: category_on() == "Common Video" and highlighted() == ["MKV"], 5),
        "after a restart the grid shows the selected row's format", "%s %s" % (category_on(), highlighted()))
d.screenshot("formats-after-restart")

# An audio row puts the grid on Audio; a video row brings its own category back.
app.click_widget(row("audio.mp3")[3])
c.check(wait(lambda: category_on() == "Audio" and highlighted() == ["mp3"], 5), "an audio row shows Audio / mp3",
        "%s %s" % (category_on(), highlighted()))
app.click_widget(row("short.mp4")[3])
c.check(wait(lambda: category_on() == "Common Video" and highlighted() == ["MKV"], 5),
        "a video row selected after it shows Common Video / MKV again", "%s %s" % (category_on(), highlighted()))

# MP4 for three rows asks first; Cancel keeps everything.
if cell("MP4") is None:
    app.click_widget(app.widget(cls="LXButton", text="Common Video"))
    wait(lambda: cell("MP4"), 5)
app.click_widget(cell("MP4"))
c.check(wait(question, 5) is not None, "a choice that changes several rows asks first")
app.click_widget(app.widget(cls="QPushButton", text="Cancel"))
wait(lambda: question() is None, 5)
c.check(rows()[0][1] == "mkv" and highlighted() == ["MKV"], "Cancel changes nothing and the grid shows MKV again",
        "%s %s" % ([r[1] for r in rows()], highlighted()))
# Again, ticking "Do not ask again" and applying.
app.click_widget(cell("MP4"))
if c.check(wait(question, 5) is not None, "the question comes again"):
    d.screenshot("formats-question")
    app.click_widget(app.widget(cls="QCheckBox", text="Do not ask again"))
    app.click_widget(app.widget(cls="QPushButton", text="Apply to All"))
c.check(wait(lambda: [r[1] for r in rows()] == ["mp4"] * 3, 5), "Apply to All gives every row mp4",
        str([r[1:3] for r in rows()]))
c.check(setting("applyToAllTipAgain") == "false", "the setting is off", str(setting("applyToAllTipAgain")))
app.click_widget(cell("AVI"))
c.check(wait(lambda: [r[1] for r in rows()] == ["avi"] * 3, 5), "the next choice applies at once", str([r[1] for r in rows()]))
c.check(question() is None, "without asking")

# The settings sheet's switch turns the question back on.
app.click_widget(app.widget(cls="LXButton", tooltip="Preferences"))
label = wait(lambda: app.widget(cls="LXLabel", text="Ask before applying a format to every item"), 5)
switch = None
if c.check(label is not None, "the settings sheet opens"):
    switches = [w for w in app.widgets(cls="LXSwitchButton") if abs(w["rect"][1] - label["rect"][1]) < 20]
    switch = switches[0] if switches else None
if c.check(switch is not None, "the sheet has the question's switch"):
    app.click_widget(switch)
    c.check(wait(lambda: setting("applyToAllTipAgain") == "true", 5), "its switch turns the question back on",
            str(setting("applyToAllTipAgain")))
    app.click_widget(app.widget(cls="LXButton", text="Done"))
    wait(lambda: app.widget(cls="LXLabel", text="Ask before applying a format to every item") is None, 5)
    app.click_widget(cell("MKV"))
    c.check(wait(question, 5) is not None, "and the next choice asks again")
    app.click_widget(app.widget(cls="QPushButton", text="Cancel"))

# The newer codecs' tiles lie further along Common Video's strip: the wheel brings them in.
NEWER = ("HEVC MP4", "AV1 MP4", "AV1 MKV")


def in_view(title):
    strip, tile = app.widget(cls="LXThumbImageTableView"), cell(title)
    return strip is not None and tile is not None and inside(tile, strip)


if cell("MKV") is None:
    app.click_widget(app.widget(cls="LXButton", text="Common Video"))
    wait(lambda: cell("MKV"), 5)
for wheel in [5] * 12 + [4] * 24:
    if all(in_view(t) for t in NEWER):
        break
    x, y, w, h = app.widget(cls="LXThumbImageTableView")["rect"]
    d.click(x + w // 2, y + h // 2, button=wheel)
    time.sleep(0.2)
if c.check(all(in_view(t) for t in NEWER), "Common Video shows the HEVC and AV1 tiles whole",
           str([(t, in_view(t)) for t in NEWER])):
    d.screenshot("formats-grid-hevc-av1")
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
