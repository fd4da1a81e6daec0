#!/usr/bin/env python3
"""The signals that end a session end the window as its Quit does, asking nothing.

Two long conversions run when SIGTERM (what a logout sends) arrives: the program ends with
status 0 within seconds, no partial output is left in the export folder (only the work the
conversions keep for the next start) and the saved list still holds both rows. Then SIGINT, SIGHUP and SIGQUIT, one start each on the restored
list: status 0 every time and the list kept.
"""
import os
import re
import signal
import subprocess
import time

from desktop import App, Checks, Desktop, make_clip, wait

c = Checks("signals")
d = Desktop()
work = os.path.join(d.tmp, "work")
src, out = os.path.join(work, "src"), os.path.join(work, "out")
os.makedirs(src)
os.makedirs(out)


def clip(name, seconds):
    return make_clip(os.path.join(src, name), seconds, sound=False)


files = sorted([clip("long-a.mp4", 90), clip("long-b.mp4", 90)])
settings = ("[General]\nallowConvertingMaxCount=2\nexportMoviePath=%s\nautoStreamCopyWhenSameCodec=false\n" % out)
app = App(d, files, settings=settings)


def listed():
    return sorted(w.get("toolTip", "").split("\n")[0] for w in app.widgets(cls="vcTableCellWidget"))


def saved():
    try:
        with open(os.path.join(app.data_dir(), "FileList.plist")) as f:
            return sorted(re.findall(r"<key>currentFilePath</key>\s*<string>([^<]*)</string>", f.read()))
    except FileNotFoundError:
        return []


def partials():
    """The outputs being written: a partial file with bytes, or the work folder of a long
    conversion that has begun to fill it."""
    found = []
    for f in os.listdir(out):
        p = os.path.join(out, f)
        if f.endswith(".cinvora-part") and os.path.getsize(p) > 0:
            found.append(f)
        elif f.endswith(".cinvora-work") and set(os.listdir(p)) - {"journal", "lock"}:
            found.append(f)
    return found


def ended_by(sig, timeout=15):
    os.kill(app.proc.pid, sig)
    try:
        return app.proc.wait(timeout)
    except subprocess.TimeoutExpired:
        return None


c.check(wait(lambda: listed() == files, 30), "both clips are listed", str(listed()))
app.click_widget(app.widget(tooltip="Convert every item"))
c.check(wait(lambda: len(partials()) == 2, 30), "both convert, into partial files or work folders", str(os.listdir(out)))
began = time.monotonic()
code = ended_by(signal.SIGTERM)
c.check(code == 0, "SIGTERM while converting ends the program with status 0", str(code))
c.check(time.monotonic() - began < 10, "within seconds", "%.1f s" % (time.monotonic() - began))
left = [f for f in os.listdir(out) if not f.endswith(".cinvora-work")]
c.check(left == [], "no partial or unfinished output is left", str(os.listdir(out)))
c.check(len(os.listdir(out)) == 2, "each conversion's finished work is kept for the next start", str(os.listdir(out)))
c.check(saved() == files, "the saved list holds both rows", str(saved()))

for sig in (signal.SIGINT, signal.SIGHUP, signal.SIGQUIT):
    app = App(d, home=app.home)
    listed_now = wait(lambda: listed() == files, 30)
    code = ended_by(sig)
    c.check(listed_now and code == 0, "%s ends the window with status 0" % sig.name, str(code))
    c.check(saved() == files, "and the list is kept", str(saved()))
c.finish()
