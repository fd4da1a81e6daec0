#!/usr/bin/env python3
"""The program on a desktop session of its own: a private session bus with a real
notification server (dunst) drawing on the X display, and a bus monitor recording what the
program says on the bus.

A batch of three (one of which fails) converts while another window is active: the
program asks to keep the machine awake, shows its progress on the launcher, then
notifies "2 files converted, 1 failed." A click on the notification opens the output
folder (a stand-in xdg-open records it), and the launcher's bar is cleared. The same
batch again with the program's window active ends without a notification. Last, an export
from the trim editor that ends while another window is active is notified too.
"""
import os
import re
import shutil
import subprocess
import time

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("citizen")
d = Desktop()
work = os.path.join(d.tmp, "work")
src, out, fakebin = (os.path.join(work, n) for n in ("src", "out", "bin"))
for p in (src, out, fakebin):
    os.makedirs(p)

# The session bus, the bus monitor and the notification server.
bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
                       stdout=subprocess.PIPE, text=True)
d._procs.append(bus)
address = bus.stdout.readline().strip()
monitor_log = os.path.join(work, "bus.log")
d._procs.append(subprocess.Popen(["dbus-monitor", "--address", address], stdout=open(monitor_log, "w"),
                                 stderr=subprocess.DEVNULL))
dunstrc = os.path.join(work, "dunstrc")
with open(dunstrc, "w") as f:
    f.write("[global]\n  font = DejaVu Sans 10\n  width = 380\n  origin = top-right\n  offset = 16x56\n"
            "  frame_width = 2\n  frame_color = \"#38c0f5\"\n  mouse_left_click = do_action, close_current\n"
            "[urgency_normal]\n  background = \"#23272e\"\n  foreground = \"#dfe3e8\"\n  timeout = 0\n")
denv = d.env()
denv["DBUS_SESSION_BUS_ADDRESS"] = address
d._procs.append(subprocess.Popen(["dunst", "-config", dunstrc], env=denv,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))


def has_owner(name):
    r = subprocess.run(["dbus-send", "--bus=" + address, "--print-reply", "--dest=org.freedesktop.DBus", "/",
                        "org.freedesktop.DBus.NameHasOwner", "string:" + name], capture_output=True, text=True)
    return "boolean true" in r.stdout


c.check(wait(lambda: has_owner("org.freedesktop.Notifications"), 15), "dunst serves notifications on the bus")

# What the desktop would run to open a folder.
opened_log = os.path.join(work, "opened")
with open(os.path.join(fakebin, "xdg-open"), "w") as f:
    f.write("#!/bin/sh\necho \"$@\" >> %s\n" % opened_log)
os.chmod(os.path.join(fakebin, "xdg-open"), 0o755)


def messages():
    """The monitor's messages: (header line, body text)."""
    with open(monitor_log) as f:
        text = f.read()
    found = []
    for block in re.split(r"\n(?=\S)", text):
        head, _, body = block.partition("\n")
        found.append((head, body))
    return found


def calls(member, interface=None):
    return [b for h, b in messages() if h.startswith("method call") and "member=%s" % member in h
            and (interface is None or "interface=%s;" % interface in h)]


def launcher_updates():
    return [b for h, b in messages() if h.startswith("signal") and "interface=com.canonical.Unity.LauncherEntry" in h]


def visible(update):
    m = re.search(r'"progress-visible"\s*\n\s*variant\s+boolean (\w+)', update)
    return m and m.group(1) == "true"


def clip(name, seconds, codec="libx264"):
    path = os.path.join(src, name)
    subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                    "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=%d" % seconds,
                    "-c:v", codec, "-pix_fmt", "yuv420p", path], check=True, timeout=120)
    return path


# alpha is MPEG-4 video: its export to the default H.264 is encoded, not copied, and so lasts
# long enough for the user to turn away.
files = [clip("alpha.mp4", 12, "mpeg4"), os.path.join(src, "gone.mp4"), clip("bravo.mp4", 6)]
shutil.copy(fixture("short.mp4"), files[1])
settings = ("[General]\nallowConvertingMaxCount=1\nexportMoviePath=%s\nautoStreamCopyWhenSameCodec=false\n" % out)
app = App(d, files, settings=settings, env={
    "DBUS_SESSION_BUS_ADDRESS": address,
    "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(work, "no-system-bus"),
    "PATH": fakebin + os.pathsep + os.environ.get("PATH", ""),
})
c.check(wait(lambda: len(app.widgets(cls="vcTableCellWidget")) == 3, 30), "the three files are listed")
os.remove(files[1])  # its conversion fails

# Another window takes the focus as soon as the batch starts.
other = subprocess.Popen(["xmessage", "-geometry", "+300+300", "Somewhere else"], env=d.env(),
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
d._procs.append(other)
other_id = wait(lambda: d.x(["xdotool", "search", "--onlyvisible", "--class", "Xmessage"]).split(), 10)
c.check(bool(other_id), "another window is on the screen")
d.x(["xdotool", "windowactivate", "--sync", str(app.main_id)])
app.click_widget(app.widget(tooltip="Convert every item"))
d.x(["xdotool", "windowactivate", "--sync", other_id[-1]])
c.check(d.x(["xdotool", "getactivewindow"]).strip() != str(app.main_id), "another window is active")

c.check(wait(lambda: calls("Inhibit"), 10), "the program asks to keep the machine awake",
        str(calls("Inhibit")))
inhibit = calls("Inhibit")
c.check(inhibit and "Cinvora" in inhibit[0], "it names itself when it asks", inhibit and inhibit[0])
c.check(wait(lambda: any(visible(u) for u in launcher_updates()), 10), "the launcher shows a progress bar")
c.check(all("application://org.cinvora.Cinvora.desktop" in u for u in launcher_updates()),
        "the launcher signal names the program's desktop entry")

c.check(wait(lambda: calls("Notify"), 120), "a notification is sent when the batch ends unseen")
notify = calls("Notify")
c.check(notify and "Conversion finished" in notify[0] and "2 files converted, 1 failed." in notify[0],
        "it says how many finished and how many failed", notify and notify[0])
c.check(notify and '"Open Folder"' in notify[0], "it offers to open the output folder")
updates = launcher_updates()
c.check(updates and not visible(updates[-1]), "the launcher's bar is cleared at the end")

popup = wait(lambda: d.x(["xdotool", "search", "--onlyvisible", "--class", "Dunst"]).split(), 10)
c.check(bool(popup), "dunst shows the notification on the screen")
if popup:
    time.sleep(0.3)
    d.screenshot("citizen-notification")
    g = d.geometry(int(popup[-1]))
    d.click(g[0] + g[2] // 2, g[1] + g[3] // 2)
    c.check(wait(lambda: os.path.exists(opened_log), 10), "a click on the notification opens a folder")
    if os.path.exists(opened_log):
        with open(opened_log) as f:
            opened = f.read()
        c.check(os.path.realpath(out) in opened or out in opened, "the folder opened is the output folder", opened)

# The same batch again, watched: no notification.
for name in os.listdir(out):
    os.remove(os.path.join(out, name))
ends_before = sum(1 for u in launcher_updates() if not visible(u))
d.x(["xdotool", "windowactivate", "--sync", str(app.main_id)])
app.click_widget(app.widget(tooltip="Convert every item"))
c.check(wait(lambda: sum(1 for u in launcher_updates() if not visible(u)) > ends_before, 120),
        "the watched batch ends")
time.sleep(0.5)
c.check(len(calls("Notify")) == 1, "nothing is sent while the window is active", str(len(calls("Notify"))))

# An export from the trim editor that ends while the user is elsewhere is told as well.
d.key("ctrl+e")
export_menu = app.wait_widget(timeout=15, tooltip="export this item")
if c.check(export_menu is not None, "the trim editor offers its export menu"):
    time.sleep(1.0)  # the page turns over to the editor first
    export_menu = app.widget(tooltip="export this item")
    app.click_widget(export_menu)
    local = wait(lambda: next((w for w in app.widgets(cls="LXMenuItem") if w.get("text") == "Local"), None), 10)
    if not local:
        d.screenshot("citizen-export-menu-missing")
    if c.check(local is not None, "the export menu lists Local",
               str(sorted({w["class"] for w in app.widgets()}))):
        app.click_widget(local)
        # The user turns away once the export's sheet is up.
        c.check(wait(lambda: any(w["class"] == "LXExportWindowController" for w in app.report()["windows"]), 10),
                "the export's sheet shows")
        d.x(["xdotool", "windowactivate", "--sync", other_id[-1]])
        if not c.check(wait(lambda: len(calls("Notify")) == 2, 60), "a notification is sent when the export ends unseen"):
            d.screenshot("citizen-export-unseen")
            print(open(app.log_path).read()[-3000:])
        notify = calls("Notify")
        c.check(len(notify) == 2 and "Export finished" in notify[1] and "is written." in notify[1],
                "it says the export's file is written", notify[-1] if notify else "")
        time.sleep(0.5)
        d.screenshot("citizen-export-notification")
        later = app.wait_widget(timeout=5, text="Later")
        if c.check(later is not None, "the export's sheet offers Later"):
            d.x(["xdotool", "windowactivate", "--sync", str(app.main_id)])
            app.click_widget(later)
c.check(app.quit() == 0, "the program quits")
c.finish()
