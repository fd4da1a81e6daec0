#!/usr/bin/env python3
"""One window per user, on a session bus of its own.

The window runs with one file; a second start (as a file manager's "Open with" makes it,
with a name relative to its own working folder) ends at once with status 0, its file lands
in the running window's list, which comes to the front over another window, and the saved
list holds both; a start without files brings the minimised window back. A second start
with no bus to reach the window cannot open a window of its own on the same list: it says
so and ends with a failure, and the list keeps its rows.
"""
import os
import re
import shutil
import subprocess
import time

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("one window")
d = Desktop()
work = os.path.join(d.tmp, "work")
elsewhere = os.path.join(work, "elsewhere")
os.makedirs(elsewhere)
first, second = os.path.join(work, "first.mp4"), os.path.join(elsewhere, "second.mp4")
shutil.copy(fixture("short.mp4"), first)
shutil.copy(fixture("short.mp4"), second)

bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
                       stdout=subprocess.PIPE, text=True)
d._procs.append(bus)
address = bus.stdout.readline().strip()
app = App(d, [first], env={"DBUS_SESSION_BUS_ADDRESS": address})


def listed():
    return sorted(w.get("toolTip", "").split("\n")[0] for w in app.widgets(cls="vcTableCellWidget"))


def saved():
    path = os.path.join(app.data_dir(), "FileList.plist")
    try:
        with open(path) as f:
            text = f.read()
    except FileNotFoundError:
        return []
    return sorted(re.findall(r"<key>currentFilePath</key>\s*<string>([^<]*)</string>", text))


def start_again(env, args=("second.mp4",), timeout=20):
    """`cinvora second.mp4` from the second file's folder: (exit code or None, seconds, output)."""
    began = time.monotonic()
    p = subprocess.Popen([app.binary] + list(args), cwd=elsewhere, env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        text, _ = p.communicate(timeout=timeout)
        return p.returncode, time.monotonic() - began, text
    except subprocess.TimeoutExpired:
        # A window of its own: what the list must never get.
        p.kill()
        text, _ = p.communicate()
        return None, time.monotonic() - began, text


c.check(wait(lambda: listed() == [first], 20), "the first file is listed", str(listed()))

other = subprocess.Popen(["xmessage", "-geometry", "+200+200", "Somewhere else"], env=d.env(),
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
d._procs.append(other)
other_id = wait(lambda: d.x(["xdotool", "search", "--onlyvisible", "--class", "Xmessage"]).split(), 10)
if other_id:
    d.x(["xdotool", "windowactivate", "--sync", other_id[-1]])
    # The user works there (a real click, which the window manager counts against focus
    # stealing) before the second start.
    g = d.geometry(int(other_id[-1]))
    d.click(g[0] + 10, g[1] + 8)
    time.sleep(0.7)
c.check(other_id and d.x(["xdotool", "getactivewindow"]).strip() == other_id[-1], "another window is active")

code, took, text = start_again(app.env())
c.check(code == 0, "a second start ends with status 0", "%s: %s" % (code, text[-500:]))
c.check(code is not None and took < 8, "quickly", "%.1f s" % took)
c.check(wait(lambda: listed() == sorted([first, second]), 20),
        "its file (named relative to its own folder) is in the running window's list", str(listed()))
c.check(wait(lambda: d.x(["xdotool", "getactivewindow"]).strip() == str(app.main_id), 5),
        "the running window comes to the front", d.x(["xdotool", "getactivewindow"]))
c.check(wait(lambda: saved() == sorted([first, second]), 10), "the saved list holds both", str(saved()))

# Minimised, as from the launcher with no file: it comes back out of the task bar.
d.x(["xdotool", "windowminimize", "--sync", str(app.main_id)])
c.check(wait(lambda: not d.geometry(app.main_id)[4], 5), "the window is minimised")
code, took, text = start_again(app.env(), args=())
c.check(code == 0, "a start without files ends with status 0 too", "%s: %s" % (code, text[-500:]))
c.check(wait(lambda: d.geometry(app.main_id)[4] and
             d.x(["xdotool", "getactivewindow"]).strip() == str(app.main_id), 5),
        "and the window is shown again, in front", str(d.geometry(app.main_id)))

# No bus to reach the running window: the list's lock refuses the second window.
lone = app.env()
lone["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(work, "no-bus")
code, took, text = start_again(lone)
c.check(code is not None and code != 0, "without a bus a second start fails instead of opening a window",
        "%s: %s" % (code, text[-500:]))
c.check("already running" in text, "and says why", text[-500:])
c.check(code is not None and took < 8, "quickly", "%.1f s" % took)
time.sleep(0.5)
c.check(saved() == sorted([first, second]) and listed() == sorted([first, second]),
        "the list keeps its rows", "%s / %s" % (saved(), listed()))
c.check(app.quit() == 0, "the program quits")
c.check(saved() == sorted([first, second]), "and the saved list still holds both", str(saved()))
c.finish()
