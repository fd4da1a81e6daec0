#!/usr/bin/env python3
"""Files offered on the command line, good and bad together: the good ones become rows, and
one message names every file that was not added and why, instead of dropping them silently,
a name that no file answers to among them.
"""
import os
import shutil

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("intake")
d = Desktop()
src = os.path.join(d.tmp, "offers")
os.makedirs(os.path.join(src, "a folder"))
good = ["first.mp4", "tune.mp3"]
bad = {"empty.mp4": "empty", "text.mkv": "not a readable video or audio file", "random.mp4": "not a readable video or audio file",
       "corrupt.mp4": "not a readable video or audio file", "a folder": "folder", "gone.mp4": "does not exist"}
shutil.copy(fixture("short.mp4"), os.path.join(src, "first.mp4"))
shutil.copy(fixture("audio.mp3"), os.path.join(src, "tune.mp3"))
for name in ("empty.mp4", "text.mkv", "random.mp4", "corrupt.mp4"):
    shutil.copy(fixture(name), os.path.join(src, name))
offers = [os.path.join(src, n) for n in ("first.mp4", "empty.mp4", "text.mkv", "a folder", "gone.mp4", "random.mp4",
                                         "corrupt.mp4", "tune.mp3")]
app = App(d, offers)


def messages():
    return [w for w in app.report()["windows"] if w.get("class") == "QMessageBox"]


def row_names():
    return sorted(os.path.basename(w.get("toolTip", "").split("\n")[0])
                  for w in app.widgets(cls="vcTableCellWidget"))


boxes = wait(messages, 30)
c.check(boxes is not None and len(boxes) == 1, "one message appears after the intake", str(boxes and len(boxes)))
c.check(row_names() == sorted(good), "the good files are added", str(row_names()))
if boxes:
    text = "\n".join(w.get("text", "") for w in boxes[0]["widgets"])
    for name, why in bad.items():
        line = next((l for l in text.splitlines() if l.startswith(name + ":")), "")
        c.check(why in line, "the message names %s and why (%s)" % (name, why), repr(line or text))
    c.check(not any(l.startswith(g + ":") for g in good for l in text.splitlines()), "and no good file")
    c.check("6 files were not added" in text, "its title counts them", repr(text))
    # The X server shows it as a window of the program, over the main window.
    main = app.main_window()
    others = [w for w in app.x_windows() if w["id"] != main["id"]]
    c.check(len(others) == 1, "one window besides the main one", str(others))
    d.screenshot("intake-skipped")
    ok = app.widget(cls="QPushButton", text="OK")
    if c.check(ok is not None, "the message has an OK button"):
        app.click_widget(ok)
        c.check(wait(lambda: not messages(), 5), "OK closes it")
c.check(row_names() == sorted(good), "the list keeps the good files", str(row_names()))
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
