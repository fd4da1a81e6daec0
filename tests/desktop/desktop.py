"""The real program on a real X desktop: an Xvfb display of its own, the openbox window
manager (which decorates and places windows, away from the corner, as a desktop with a
panel does), real pointer and key events through XTEST (xdotool), window geometry read
back from the X server (xwininfo), and screenshots (ImageMagick).

A test script makes one Desktop, starts the program with App, drives it and records its
checks with Checks; the script's last line is Checks.finish(), which prints the count and
sets the exit code. Every process started here is stopped by its process id at the end.
"""

import atexit
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BUILD_DIR = os.environ.get("CINVORA_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
BIN_DIR = os.environ.get("CINVORA_BIN_DIR", os.path.join(BUILD_DIR, "bin"))
FIXTURES = os.environ.get("CINVORA_FIXTURE_DIR", os.path.join(BUILD_DIR, "fixtures"))
SHOTS = os.path.join(BUILD_DIR, "shots", "desktop")

# Openbox as a desktop with a panel: the top and left edges are taken, so nothing the
# window manager places lands at (0, 0).
MARGIN_TOP = 40
MARGIN_LEFT = 56

OPENBOX_RC = """<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy><center>yes</center></placement>
  <theme><name>Clearlooks</name><titleLayout>NLIMC</titleLayout></theme>
  <desktops><number>1</number></desktops>
  <margins><top>%d</top><bottom>0</bottom><left>%d</left><right>0</right></margins>
  <keyboard></keyboard>
  <mouse><dragThreshold>3</dragThreshold></mouse>
</openbox_config>
""" % (MARGIN_TOP, MARGIN_LEFT)


def _wait(pred, timeout, step=0.05):
    end = time.monotonic() + timeout
    while True:
        v = pred()
        if v:
            return v
        if time.monotonic() > end:
            return v
        time.sleep(step)


class Desktop:
    """An X display with a window manager, private to one test script."""

    def __init__(self, width=1280, height=800):
        self.width, self.height = width, height
        self.tmp = tempfile.mkdtemp(prefix="cinvora-desktop-")
        self._procs = []
        self.display = None
        atexit.register(self.stop)
        self._start_x()
        self._start_wm()

    def _start_x(self):
        for n in range(40, 140):
            if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
                continue
            p = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % (self.width, self.height),
                                  "-nolisten", "tcp", "-noreset"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if _wait(lambda: os.path.exists("/tmp/.X11-unix/X%d" % n) or p.poll() is not None, 10) and p.poll() is None:
                self.display = ":%d" % n
                self._procs.append(p)
                return
            p.kill()
            p.wait()
        raise RuntimeError("no free X display")

    def env(self):
        e = dict(os.environ)
        e["DISPLAY"] = self.display
        e.pop("WAYLAND_DISPLAY", None)
        return e

    def _start_wm(self):
        rc = os.path.join(self.tmp, "rc.xml")
        with open(rc, "w") as f:
            f.write(OPENBOX_RC)
        p = subprocess.Popen(["openbox", "--config-file", rc], env=self.env(),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._procs.append(p)
        ok = _wait(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]), 15)
        if not ok:
            raise RuntimeError("openbox did not start")
        self.pointer(self.width // 2, self.height // 2)

    def stop(self):
        for p in reversed(self._procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self._procs = []
        shutil.rmtree(self.tmp, ignore_errors=True)

    def x(self, argv, check=False):
        r = subprocess.run(argv, env=self.env(), capture_output=True, text=True, timeout=30)
        if check and r.returncode != 0:
            raise RuntimeError("%s: %s" % (argv, r.stderr))
        return r.stdout

    # -- real input (XTEST) ---------------------------------------------------------------
    def pointer(self, x, y):
        self.x(["xdotool", "mousemove", str(int(x)), str(int(y))])

    def click(self, x, y, button=1, double=False):
        self.pointer(x, y)
        time.sleep(0.05)
        self.x(["xdotool", "click"] + (["--repeat", "2", "--delay", "80"] if double else []) + [str(button)])

    def drag(self, x0, y0, x1, y1, steps=12, hold=0.15):
        self.pointer(x0, y0)
        time.sleep(0.1)
        self.x(["xdotool", "mousedown", "1"])
        time.sleep(hold)
        for i in range(1, steps + 1):
            self.pointer(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps)
            time.sleep(0.03)
        time.sleep(hold)
        self.x(["xdotool", "mouseup", "1"])

    def key(self, *keys):
        for k in keys:
            self.x(["xdotool", "key", "--clearmodifiers", k])
            time.sleep(0.08)

    def type(self, text):
        self.x(["xdotool", "type", "--delay", "30", text])

    def move_window(self, wid, x, y):
        """Moves a window the way a user drags its title bar: through the window manager."""
        self.x(["xdotool", "windowmove", str(wid), str(int(x)), str(int(y))])

    # -- what the X server says -------------------------------------------------------------
    def geometry(self, wid):
        """(x, y, width, height, viewable) of a window's contents in root coordinates."""
        out = self.x(["xwininfo", "-id", str(wid)])
        vals = {}
        for line in out.splitlines():
            if ":" in line:
                k, _, v = line.strip().partition(":")
                vals[k.strip()] = v.strip()
        try:
            return (int(vals["Absolute upper-left X"]), int(vals["Absolute upper-left Y"]),
                    int(vals["Width"]), int(vals["Height"]), vals.get("Map State") == "IsViewable")
        except KeyError:
            return None

    def screenshot(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name if name.endswith(".png") else name + ".png")
        self.x(["import", "-window", "root", path])
        return path

    def pixels(self, x, y, w, h):
        """The screen's RGB bytes of a rectangle, row by row."""
        r = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "-depth", "8", "rgb:-"],
                           env=self.env(), capture_output=True, timeout=30)
        return r.stdout

    def shown_frame_time(self, rect, src, size, candidates):
        """Which of the candidate times of src the picture in rect (a player's area, the
        video fitted in it keeping its size ratio) shows: (best time, its mean difference,
        all differences). The reference frames are decoded exactly by the ffmpeg program."""
        x, y, w, h = rect
        sw, sh = size
        scale = min(w / sw, h / sh)
        dw, dh = int(sw * scale), int(sh * scale)
        dx, dy = x + (w - dw) // 2, y + (h - dh) // 2
        # The middle of the picture: away from edges that scaling treats differently.
        cw, ch = dw * 6 // 10, dh * 6 // 10
        cx, cy = (dw - cw) // 2, (dh - ch) // 2
        shown = self.pixels(dx + cx, dy + cy, cw, ch)
        diffs = {}
        for t in candidates:
            ref = subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-i", src, "-ss", "%.3f" % t,
                                  "-frames:v", "1", "-vf", "scale=%d:%d,crop=%d:%d:%d:%d" % (dw, dh, cw, ch, cx, cy),
                                  "-f", "rawvideo", "-pix_fmt", "rgb24", "-"], capture_output=True, timeout=60).stdout
            diffs[t] = self.mean_difference(shown, ref)
        best = min(diffs, key=diffs.get)
        return best, diffs[best], diffs

    def mean_difference(self, a, b):
        n = min(len(a), len(b))
        return sum(abs(a[i] - b[i]) for i in range(n)) / max(n, 1)


class App:
    """The real cinvora program on a Desktop, with a private home."""

    def __init__(self, desktop, files=(), home=None, settings=None, binary=None, env=None):
        self.d = desktop
        # Another build of the program (an installed package) may stand in for the tree's.
        self.binary = binary or os.path.join(BIN_DIR, "cinvora")
        self.extra_env = dict(env or {})
        self.home = home or tempfile.mkdtemp(prefix="home-", dir=desktop.tmp)
        self.report_path = os.path.join(self.home, "widgets.json")
        if settings:
            self.write_settings(settings)
        self.proc = None
        self.log_path = os.path.join(self.home, "cinvora.log")
        self.start(files)

    def settings_path(self):
        return os.path.join(self.home, ".config", "Cinvora", "Cinvora.conf")

    def write_settings(self, text):
        os.makedirs(os.path.dirname(self.settings_path()), exist_ok=True)
        with open(self.settings_path(), "w") as f:
            f.write(text)

    def data_dir(self):
        return os.path.join(self.home, ".local", "share", "Cinvora")

    def env(self):
        e = self.d.env()
        run = os.path.join(self.home, "run")
        os.makedirs(run, mode=0o700, exist_ok=True)
        e.update({
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_RUNTIME_DIR": run,
            "QT_QPA_PLATFORM": "xcb",
            "CINVORA_WIDGET_REPORT": self.report_path,
            "PULSE_SERVER": "unix:" + os.path.join(run, "no-pulse"),
            "NO_AT_BRIDGE": "1",
            # English unless a test asks for another language (the texts the tests look
            # for are English).
            "LANGUAGE": "en",
        })
        e.pop("SESSION_MANAGER", None)
        # The window runs once per session bus: scripts that run side by side must not meet
        # on a bus the test run inherited. Without one, each display gets its own.
        e.pop("DBUS_SESSION_BUS_ADDRESS", None)
        e.update(self.extra_env)
        return e

    def start(self, files=()):
        self.log = open(self.log_path, "a")
        self.proc = subprocess.Popen([self.binary] + list(files), env=self.env(),
                                     stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        atexit.register(self.kill)
        self.main_id = None
        first = _wait(self._find_main_window, 30)
        if not first:
            raise RuntimeError("the main window did not appear; log: " + open(self.log_path).read()[-2000:])
        self.main_id = first["id"]
        # The window manager reparents, places and maps it; let that settle.
        time.sleep(0.5)

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def alive(self):
        return self.proc.poll() is None

    def quit(self, timeout=20):
        """Ends the program as a user does (Ctrl+Q); returns its exit code, or None when it hung."""
        w = self.main_window()
        if w:
            self.d.x(["xdotool", "windowactivate", "--sync", str(w["id"])])
        self.d.key("ctrl+q")
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    # -- windows, from the X server ----------------------------------------------------------
    def x_windows(self):
        """The program's mapped windows: id, name and contents' geometry."""
        out = self.d.x(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)])
        wins = []
        for line in out.split():
            wid = int(line)
            g = self.d.geometry(wid)
            if not g or not g[4]:
                continue
            name = self.d.x(["xdotool", "getwindowname", str(wid)]).strip()
            wins.append({"id": wid, "name": name, "x": g[0], "y": g[1], "w": g[2], "h": g[3]})
        return wins

    def _find_main_window(self):
        for w in self.x_windows():
            if w["w"] >= 600 and w["h"] >= 400 and w["name"] == "Cinvora":
                return w
        return None

    def main_window(self, timeout=5):
        """The main window's geometry, or None once it has gone."""
        def look():
            if self.proc.poll() is not None:
                return "gone"
            g = self.d.geometry(self.main_id)
            return {"id": self.main_id, "x": g[0], "y": g[1], "w": g[2], "h": g[3]} if g and g[4] else None
        w = _wait(look, timeout)
        return None if w in (None, "gone") else w

    def window_sized(self, w, h, tolerance=0):
        for win in self.x_windows():
            if abs(win["w"] - w) <= tolerance and abs(win["h"] - h) <= tolerance:
                return win
        return None

    # -- what the program shows -------------------------------------------------------------
    def report(self, timeout=10):
        try:
            before = os.stat(self.report_path).st_mtime_ns
        except FileNotFoundError:
            before = None

        def fresh():
            try:
                return os.stat(self.report_path).st_mtime_ns != before
            except FileNotFoundError:
                return False
        os.kill(self.proc.pid, signal.SIGUSR1)
        if not _wait(fresh, timeout):
            raise RuntimeError("no widget report")
        with open(self.report_path) as f:
            return json.load(f)

    def widgets(self, cls=None, name=None, text=None, tooltip=None, window=None):
        found = []
        for win in self.report()["windows"]:
            if window and window not in (win.get("name"), win.get("class")):
                continue
            for w in win["widgets"]:
                if cls and w["class"] != cls:
                    continue
                if name and w.get("name") != name:
                    continue
                if text is not None and w.get("text") != text:
                    continue
                if tooltip is not None and w.get("toolTip") != tooltip:
                    continue
                w["window"] = win
                found.append(w)
        return found

    def widget(self, **kw):
        found = self.widgets(**kw)
        return found[0] if found else None

    def wait_widget(self, timeout=10, **kw):
        return _wait(lambda: self.widget(**kw), timeout, 0.2)

    def rows(self):
        """The list's rows on screen, top to bottom, as a user reads them: each the source's
        name, the tool tip, the status text (None while hidden), the outcome mark's name,
        the progress bar's position, whether it is picked, its stop and trash buttons and
        the row's own widget."""
        found = []
        for win in self.report()["windows"]:
            ws = win["widgets"]
            for w in ws:
                if w["class"] != "vcTableCellWidget":
                    continue
                x, y, ww, hh = w["rect"]
                inside = [v for v in ws if v is not w and x <= v["rect"][0] < x + ww and y <= v["rect"][1] < y + hh]
                tip = w.get("toolTip", "")
                found.append({
                    "name": os.path.basename(tip.split("\n")[0]), "tip": tip, "w": w,
                    "selected": w.get("selected"),
                    "status": next((v.get("text", "") for v in inside if v["class"] == "LXLabel" and v["rect"][2] == 100),
                                   None),
                    "badge": next((v.get("text", "") for v in inside if v.get("name") == "outcomeBadge"), None),
                    "bar": next((v.get("value") for v in inside if "value" in v), None),
                    "stop": next((v for v in inside if v.get("toolTip") == "stop convert"), None),
                    "delete": next((v for v in inside if v.get("toolTip") == "delete current item"), None)})
        return sorted(found, key=lambda r: r["w"]["rect"][1])

    def centre(self, w):
        x, y, ww, hh = w["rect"]
        return x + ww // 2, y + hh // 2

    def click_widget(self, w, double=False):
        self.d.click(*self.centre(w), double=double)


class Checks:
    def __init__(self, title):
        self.title = title
        self.passed = 0
        self.failed = []

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print("ok   %s" % what, flush=True)
        else:
            self.failed.append(what)
            print("FAIL %s %s" % (what, detail), flush=True)
        return ok

    def near(self, a, b, tol, what):
        return self.check(a is not None and abs(a - b) <= tol, what, "(%s vs %s, tolerance %s)" % (a, b, tol))

    def finish(self):
        print("== %s" % self.title)
        print("%d passed, %d failed" % (self.passed, len(self.failed)))
        sys.exit(1 if self.failed else 0)


def wait(pred, timeout=10, step=0.1):
    return _wait(pred, timeout, step)


def fixture(name):
    return os.path.join(FIXTURES, name)


def make_clip(path, seconds, sound=True):
    """A 640x360 H.264 clip of the given length (with a tone unless sound is False), made
    with the ffmpeg program: long enough to be watched converting, unlike the fixtures."""
    args = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
            "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=%d" % seconds]
    if sound:
        args += ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=%d" % seconds,
                 "-c:a", "aac", "-b:a", "64k", "-ac", "2"]
    args += ["-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-pix_fmt", "yuv420p", path]
    subprocess.run(args, check=True, timeout=120)
    return path
