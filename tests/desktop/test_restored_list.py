#!/usr/bin/env python3
"""A saved list that names files whose reads never end (a FIFO here, as /proc/kmsg was in
the field), an empty file and a good clip: the window restores the good clip only, and
Ctrl+Q ends the program within a few seconds instead of waiting on a read forever. The
FIFO is still a FIFO afterwards (the list's save did not replace anything it names).

Second start: two clips converted, Ctrl+Q, the program started again: the rows come back
finished (done mark, output in the tool tip) and Convert makes no numbered copies.
"""
import os
import shutil
import stat
import tempfile
import time

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("restored list")
d = Desktop()
home = tempfile.mkdtemp(prefix="home-", dir=d.tmp)
data = os.path.join(home, ".local", "share", "Cinvora")
os.makedirs(data)
fifo = os.path.join(d.tmp, "endless.mp4")
os.mkfifo(fifo)
empty = os.path.join(d.tmp, "empty.mp4")
open(empty, "w").close()
entry = "<dict><key>currentFilePath</key><string>%s</string></dict>"
with open(os.path.join(data, "FileList.plist"), "w") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><array>%s</array></plist>\n'
            % "".join(entry % p for p in (fifo, empty, fixture("short.mp4"))))

app = App(d, home=home)
rows = wait(lambda: app.widgets(cls="vcTableCellWidget"), 20)
time.sleep(1)  # anything else the restore would add has arrived by now
rows = app.widgets(cls="vcTableCellWidget")
c.check(len(rows) == 1, "only the good clip is restored", str(len(rows)))
started = time.monotonic()
code = app.quit(timeout=8)
took = time.monotonic() - started
c.check(code is not None, "Ctrl+Q ends the program", "still running after 8 s")
c.check(code is None or took < 5, "within a few seconds", "%.1f s" % took)
c.check(stat.S_ISFIFO(os.lstat(fifo).st_mode), "the FIFO is still a FIFO")

# ---- Converted, quit, started again -------------------------------------------------------
work = os.path.join(d.tmp, "again")
out = os.path.join(work, "out")
os.makedirs(out)
clips = []
for name in ("good.mov", "other.mp4"):
    clips.append(os.path.join(work, name))
    shutil.copy(fixture("short.mp4"), clips[-1])
settings = "[General]\nallowConvertingMaxCount=2\nexportMoviePath=%s\n" % out
home = tempfile.mkdtemp(prefix="home-", dir=d.tmp)


def rows(app):
    """source name -> (outcome mark, tool tip) of each row."""
    found = {}
    for win in app.report()["windows"]:
        ws = win["widgets"]
        for w in ws:
            if w["class"] != "vcTableCellWidget":
                continue
            x, y, ww, hh = w["rect"]
            badge = next((v.get("text", "") for v in ws if v.get("name") == "outcomeBadge"
                          and x <= v["rect"][0] < x + ww and y <= v["rect"][1] < y + hh), None)
            tip = w.get("toolTip", "")
            found[os.path.basename(tip.split("\n")[0])] = (badge, tip)
    return found


def outputs():
    return sorted(f for f in os.listdir(out) if not f.startswith("."))


def finished(app, names):
    rs = rows(app)
    return all(rs.get(n, (None,))[0] == "done" for n in names)


app = App(d, clips, home=home, settings=settings)
c.check(wait(lambda: len(rows(app)) == 2, 30), "the two clips are listed", str(rows(app)))
app.click_widget(app.wait_widget(tooltip="Convert every item"))
c.check(wait(lambda: finished(app, ["good.mov", "other.mp4"]), 60), "both are converted", str(rows(app)))
c.check(outputs() == ["good.mov", "other.mov"], "the outputs are in the export folder", str(outputs()))
first = outputs()
c.check(app.quit() == 0, "Ctrl+Q ends the program")

app = App(d, home=home)
c.check(wait(lambda: len(rows(app)) == 2, 30), "the list comes back", str(rows(app)))
rs = rows(app)
c.check(finished(app, ["good.mov", "other.mp4"]), "its rows come back finished", str(rs))
c.check(all(("\nConverted to " in tip) for _, tip in rs.values()), "each names its output in its tool tip", str(rs))
app.click_widget(app.wait_widget(tooltip="Convert every item"))
boxes = wait(lambda: [w for w in app.report()["windows"] if w.get("class") == "QMessageBox"], 5)
text = "\n".join(w.get("text", "") for w in boxes[0]["widgets"]) if boxes else ""
c.check("already converted" in text, "Convert says the restored rows are converted", repr(text))
d.key("Return")
time.sleep(1)
c.check(outputs() == first, "Convert makes no numbered copies", str(outputs()))
c.check(finished(app, ["good.mov", "other.mp4"]), "the rows stay finished", str(rows(app)))
c.check(app.quit() == 0, "Ctrl+Q ends the program again")
c.finish()
