#!/usr/bin/env python3
"""A saved list that names files whose reads never end (a FIFO here, as /proc/kmsg was in
the field), an empty file and a good clip: the window restores the good clip only, and
Ctrl+Q ends the program within a few seconds instead of waiting on a read forever. The
FIFO is still a FIFO afterwards (the list's save did not replace anything it names).
"""
import os
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
c.finish()
