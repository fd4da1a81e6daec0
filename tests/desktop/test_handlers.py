#!/usr/bin/env python3
"""Help, feedback, the export folder's button and a row's magnifier hand an address or a path
to the desktop (xdg-open). Here xdg-open is a stand-in on PATH that records what it was given
and answers as told: while it fails, each of them says so on the window and shows what it
could not open, selectable; once it answers, each of them calls it with the right address or
path and shows nothing. No file manager is on the session bus, so folders go to xdg-open too.
"""
import os
import shutil
import stat
import urllib.parse

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("handlers")
d = Desktop()
stand_in = os.path.join(d.tmp, "handlers")
os.makedirs(stand_in)
record = os.path.join(d.tmp, "xdg-open.log")
answer = os.path.join(d.tmp, "xdg-open.answers")
with open(os.path.join(stand_in, "xdg-open"), "w") as f:
    f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n[ -e "%s" ] && exit 0\nexit 1\n' % (record, answer))
os.chmod(os.path.join(stand_in, "xdg-open"), stat.S_IRWXU)
src = os.path.join(d.tmp, "sources")
os.makedirs(src)
clip = os.path.join(src, "clip.mp4")
shutil.copy(fixture("short.mp4"), clip)

env = {"PATH": stand_in + ":" + os.environ.get("PATH", "/usr/bin:/bin")}
for k in ("BROWSER", "DEFAULT_BROWSER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"):
    env[k] = ""
app = App(d, [clip], env=env)


def recorded():
    try:
        with open(record) as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def as_path(a):
    return urllib.parse.unquote(a[len("file://"):]) if a.startswith("file://") else a


def messages():
    return [w for w in app.report()["windows"] if w.get("class") == "QMessageBox"]


def row_magnifier():
    rows = app.widgets(cls="vcTableCellWidget")
    if not rows:
        return None
    x, y, w, h = rows[0]["rect"]
    for b in app.widgets(cls="LXButton"):
        bx, by, bw, bh = b["rect"]
        if x <= bx and bx + bw <= x + w and y <= by and by + bh <= y + h and \
                b.get("toolTip") in ("Show in Folder", "show in finder"):
            return b
    return None


c.check(wait(lambda: app.widgets(cls="vcTableCellWidget"), 30), "the clip is a row")
mag = row_magnifier()
if c.check(mag is not None, "the row has its magnifier"):
    c.check(mag.get("toolTip") == "Show in Folder", "its tool tip says Show in Folder", repr(mag.get("toolTip")))
    c.check(mag.get("accessibleName") == "Show in Folder", "and so does its name for screen readers",
            repr(mag.get("accessibleName")))
folder_btn = app.widget(tooltip="Show the export folder")
export_folder = app.widget(cls="LXPopUpButton")
export_folder = export_folder and export_folder.get("toolTip")
os.makedirs(export_folder or os.path.join(d.tmp, "none"), exist_ok=True)

actions = [
    ("help", lambda: app.widget(tooltip="Support page"), lambda a: a == "https://cinvora.org/support"),
    ("feedback", lambda: app.widget(tooltip="Send feedback"),
     lambda a: a.startswith("mailto:support@cinvora.org?subject=Cinvora%20Feedback")),
    ("show in folder", lambda: app.widget(tooltip="Show the export folder"), lambda a: as_path(a) == export_folder),
    ("the row's magnifier", row_magnifier, lambda a: as_path(a) == src),
]

for name, find, right in actions:
    before = len(recorded())
    button = find()
    if not c.check(button is not None, "%s: its button is there" % name):
        continue
    app.click_widget(button)
    boxes = wait(messages, 10)
    asked = recorded()[before:]
    c.check(len(asked) == 1 and right(asked[0]), "%s: xdg-open is asked with the right address" % name, repr(asked))
    if not c.check(boxes and len(boxes) == 1, "%s: when nothing answers, a message says so" % name):
        continue
    texts = [w for w in boxes[0]["widgets"] if w.get("text")]
    shown = [w for w in texts if asked and asked[-1] in w["text"]]
    c.check(shown and all(w.get("selectable") or w.get("readOnly") for w in shown),
            "%s: it shows what it could not open whole, selectable" % name,
            repr([(w["class"], w.get("text")) for w in texts]))
    d.screenshot("handlers-%s" % name.replace(" ", "-").replace("'", ""))
    # The address can be reached from the keyboard to be copied.
    d.key("Tab")
    focus = app.report().get("focus", {})
    c.check(asked and asked[-1] in focus.get("text", "") and focus.get("accessibleName") in ("Address", "Path"),
            "%s: Tab reaches the address" % name, repr(focus))
    ok = app.widget(cls="QPushButton", text="OK")
    if ok:
        app.click_widget(ok)
    c.check(wait(lambda: not messages(), 5), "%s: OK closes the message" % name)

open(answer, "w").close()
for name, find, right in actions:
    before = len(recorded())
    button = find()
    if not button:
        continue
    app.click_widget(button)
    wait(lambda: len(recorded()) > before, 5)
    asked = recorded()[before:]
    c.check(len(asked) == 1 and right(asked[0]), "%s answered: xdg-open is asked with the right address" % name,
            repr(asked))
    c.check(not wait(messages, 2), "%s answered: no message" % name)

c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
