#!/usr/bin/env python3
"""The conversion queue as a user drives it, with one conversion at a time.

First start: five files, one of which goes away after it was added. Convert admits the
rows top to bottom; a row stopped while it waits says it was stopped, a finished row shows a
done mark and its output's name, a failed row a failure mark and the reason. Pause while
the longest still converts, then Convert again: the paused row resumes, the rows that
were not done start, and the finished ones are not converted again (no numbered copies);
once all are, Convert says so.

Second start: a long conversion paused, then the list cleared with the real button and
its question: the partial output goes at once, and Ctrl+Q quits at once without asking.

Third start: one conversion at a time, and the limit raised to three in the settings sheet
while it converts: the waiting rows start at once.
"""
import hashlib
import os
import re
import shutil
import subprocess
import time

from desktop import App, Checks, Desktop, fixture, make_clip, wait

c = Checks("queue")
d = Desktop()
work = os.path.join(d.tmp, "work")
src = os.path.join(work, "src")
out = os.path.join(work, "out")
os.makedirs(src)
os.makedirs(out)


def clip(name, seconds):
    return make_clip(os.path.join(src, name), seconds)


def settings(limit):
    # Re-encoded, so that a conversion lasts long enough to be paused.
    return ("[General]\nallowConvertingMaxCount=%d\nexportMoviePath=%s\nautoStreamCopyWhenSameCodec=false\n"
            % (limit, out))


def rows():
    """name -> the row as the harness reads it (tool tip, status, outcome mark, buttons)."""
    return {r["name"]: r for r in app.rows()}


def status(name):
    r = rows().get(name)
    return r and r["status"]


def admissions():
    """The rows the gate admitted, in order (the program's own log line)."""
    with open(app.log_path) as f:
        return [int(m.group(1)) for m in re.finditer(r"_currentSessionCount\+\+ = \d+ \[(\d+)\]", f.read())]


def outputs():
    return sorted(f for f in os.listdir(out) if not f.startswith("."))


def convert_button():
    return app.widget(tooltip="Convert every item")


def pause_button():
    return app.widget(tooltip="Pause every conversion")


# ---- First start: order, outcomes, convert after pause ------------------------------------
for name in ("alpha", "bravo", "charlie", "echo"):
    shutil.copy(fixture("short.mp4"), os.path.join(src, name + ".mp4"))
delta = clip("delta.mp4", 120)
files = [os.path.join(src, n) for n in ("alpha.mp4", "bravo.mp4", "charlie.mp4", "delta.mp4", "echo.mp4")]
app = App(d, files, settings=settings(1))
c.check(wait(lambda: len(rows()) == 5, 30), "the five files are listed", str(list(rows())))
# Its source goes away after it was added: its conversion fails.
os.remove(os.path.join(src, "charlie.mp4"))

# Before converting, a row's tool tip tells the size and time to expect (estimated in the
# background from samples); Convert then does not wait for the estimates still under way.
tip = wait(lambda: "\nExpected: about " in (rows().get("alpha.mp4") or {}).get("tip", "") and rows()["alpha.mp4"]["tip"], 60)
c.check(tip and re.search(r"\nExpected: about [\d.]+ [kM]B in about \d+ s$", tip),
        "an unconverted row's tool tip gives its expected size and time", repr(tip))
d.pointer(*app.centre(rows()["alpha.mp4"]["w"]))
time.sleep(1.5)
d.screenshot("queue-row-tip-expected")
app.click_widget(convert_button())
c.check(wait(pause_button, 5) is not None, "Convert turns the button into Pause")
# echo waits at the bottom of the line; its stop button stops it.
r = wait(lambda: (rows().get("echo.mp4") or {}).get("stop"), 10)
if c.check(r is not None, "a waiting row shows its stop button"):
    app.click_widget(r)
    c.check(wait(lambda: status("echo.mp4") == "Stopped", 5), "stopping a waiting row says so at once",
            str(status("echo.mp4")))

c.check(wait(lambda: (status("delta.mp4") or "").startswith("Left time"), 60),
        "the long row converts after the short ones", str(status("delta.mp4")))
# Pause at once while delta converts (a quiet machine converts it in seconds), then look.
admitted = admissions()
pause = wait(pause_button, 5)
if c.check(pause is not None, "the button offers Pause while a row converts"):
    app.click_widget(pause)
c.check(admitted == [0, 1, 2, 3], "one at a time, the rows are admitted top to bottom", str(admitted))
now = rows()
c.check(now["alpha.mp4"]["badge"] == "done" and now["bravo.mp4"]["badge"] == "done",
        "finished rows show the done mark", str({k: v["badge"] for k, v in now.items()}))
tip = now["alpha.mp4"]["tip"]
measured = re.search(r"\nConverted to alpha\.mov\nQuality \(SSIM\): (0\.\d+) \u00b7 PSNR: ([\d.]+) dB$", tip)
c.check(measured is not None, "a finished row's tool tip names its output and its measured quality", repr(tip))
c.check(measured and 0.9 < float(measured.group(1)) <= 1 and float(measured.group(2)) > 25,
        "the measured quality is that of a good re-encode", repr(tip))
c.check(now["alpha.mp4"]["status"] == "", "a finished row's status text stays empty", repr(now["alpha.mp4"]["status"]))
c.check(now["charlie.mp4"]["badge"] == "failed" and now["charlie.mp4"]["status"] == "Failed",
        "a failed row shows the failure mark and \"Failed\"")
tip = now["charlie.mp4"]["tip"]
c.check("\nFailed: " in tip and len(tip.split("\nFailed: ")[1]) > 3, "a failed row's tool tip gives the reason", repr(tip))
c.check(now["echo.mp4"]["badge"] is None and now["echo.mp4"]["status"] == "Stopped",
        "a stopped row says it was stopped: unlike a finished one, or one never converted", repr(now["echo.mp4"]))
c.check("Stopped" in now["echo.mp4"]["tip"].split("\n"), "its tool tip says so too", repr(now["echo.mp4"]["tip"]))
d.screenshot("queue-outcomes")

# Convert again after the pause.
c.check(wait(lambda: status("delta.mp4") == "Paused", 10), "Pause pauses the converting row", str(status("delta.mp4")))
c.check(wait(convert_button, 5) is not None, "the button offers Convert again")
before = admissions()
app.click_widget(convert_button())
c.check(wait(lambda: (status("delta.mp4") or "").startswith("Left time"), 20), "Convert resumes the paused row")


def all_ended():
    rs = rows()
    return all(r["stop"] is None for r in rs.values()) and rs["echo.mp4"]["badge"] == "done"


c.check(wait(all_ended, 180), "the list is converted", str({k: (v["status"], v["badge"]) for k, v in rows().items()}))
d.pointer(*app.centre(rows()["alpha.mp4"]["w"]))
time.sleep(1.5)
d.screenshot("queue-row-tip-measured")
c.check(outputs() == ["alpha.mov", "bravo.mov", "delta.mov", "echo.mov"],
        "every file converted once, no numbered copies of finished ones", str(outputs()))
again = admissions()[len(before):]
c.check(0 not in again and 1 not in again, "the finished rows were not admitted again", str(again))
# (The stopped row's old queueing thread may take and give back a slot of its own first.)
order = [a for a in again if a in (2, 3)][:2] + ([4] if 4 in again[again.index(3) + 1:] else [] if 3 in again else [])
c.check(order == [2, 3, 4], "the rest went top to bottom: failed, resumed, stopped", str(again))
d.screenshot("queue-converted")
# The failed row's source comes back: Convert converts that row alone. After that nothing is
# left to convert: Convert converts nothing, and says why.
shutil.copy(fixture("short.mp4"), os.path.join(src, "charlie.mp4"))
app.click_widget(convert_button())
c.check(wait(lambda: rows()["charlie.mp4"]["badge"] == "done" and convert_button() is not None, 60),
        "the failed row converts once its source is back", str(rows()["charlie.mp4"]))
app.click_widget(convert_button())


def messages():
    return [w for w in app.report()["windows"] if w.get("class") == "QMessageBox"]


boxes = wait(messages, 5)
text = "\n".join(w.get("text", "") for w in boxes[0]["widgets"]) if boxes else ""
c.check("already converted" in text, "Convert on a converted list says that everything is converted", repr(text))
d.screenshot("queue-all-converted")
d.key("Return")
c.check(wait(lambda: not messages(), 5), "Return closes the message")
c.check(outputs() == ["alpha.mov", "bravo.mov", "charlie.mov", "delta.mov", "echo.mov"] and convert_button() is not None,
        "Convert on a converted list converts nothing and stays Convert", str(outputs()))
c.check(wait(lambda: all(r["badge"] == "done" for r in rows().values()), 5), "and the rows keep their done marks")
c.check(app.quit() == 0, "the program quits cleanly")

# ---- Second start: clearing a paused row -------------------------------------------------
for f in os.listdir(out):
    os.remove(os.path.join(out, f))
foxtrot = clip("foxtrot.mp4", 60)
app = App(d, [foxtrot], settings=settings(2))
c.check(wait(lambda: len(rows()) == 1, 30), "the long file is listed")
app.click_widget(convert_button())
c.check(wait(lambda: (status("foxtrot.mp4") or "").startswith("Left time"), 30), "the long file converts")
app.click_widget(pause_button())
c.check(wait(lambda: status("foxtrot.mp4") == "Paused", 10), "and pauses")
# Written aside under a hidden name until it is complete; nothing under the final name yet.
# (named by the first 8 bytes of the SHA-256 of the case-folded final name, in hex)
partial = "." + hashlib.sha256("foxtrot.mov".encode()).hexdigest()[:16] + ".cinvora-part"
# A minute of re-encoded video also keeps its finished parts in a work folder of the same
# hidden name, so that a crash does not lose them.
work = partial[:-len(".cinvora-part")] + ".cinvora-work"
c.check(sorted(os.listdir(out)) in ([partial], sorted([partial, work])), "its partial output is on disk, aside",
        str(os.listdir(out)))
app.click_widget(app.widget(tooltip="Remove every item"))
yes = app.wait_widget(cls="QPushButton", text="Yes")
if c.check(yes is not None, "clearing the list asks first"):
    app.click_widget(yes)
c.check(wait(lambda: len(rows()) == 0, 5), "the list is empty")
c.check(wait(lambda: os.listdir(out) == [], 5), "the paused row's partial output and work are gone at once",
        str(os.listdir(out)))
began = time.monotonic()
code = app.quit(timeout=10)
c.check(code == 0, "Ctrl+Q quits at once, asking nothing, exit code 0", str(code))
c.check(time.monotonic() - began < 5, "promptly", "%.1f s" % (time.monotonic() - began))
c.check(outputs() == [], "nothing is left in the export folder", str(outputs()))

# ---- Third start: the limit raised in the settings sheet while converting ----------------
names = ["golf%d.mp4" % i for i in range(4)]
for n in names:
    shutil.copy(foxtrot, os.path.join(src, n))
app = App(d, [os.path.join(src, n) for n in names], settings=settings(1))
c.check(wait(lambda: len(rows()) == 4, 30), "four long files are listed")
app.click_widget(convert_button())


def converting():
    return sorted(n for n, r in rows().items() if (r["status"] or "").startswith("Left time"))


c.check(wait(lambda: len(converting()) == 1, 30), "with the limit at one, one row converts", str(converting()))
app.click_widget(app.widget(cls="LXButton", tooltip="Preferences"))
stepper = app.wait_widget(name="ODUpDownStepBtn")
if c.check(stepper is not None, "the settings sheet opens while converting"):
    x, y, w, h = stepper["rect"]
    for _ in range(2):
        d.click(x + w * 3 // 4, y + h // 2)
        time.sleep(0.2)
    app.click_widget(app.widget(cls="LXButton", text="Done"))
c.check(wait(lambda: len(converting()) == 3, 15), "raised to three, two waiting rows start at once, without Pause and Convert",
        str({k: v["status"] for k, v in rows().items()}))
app.kill()
c.finish()
