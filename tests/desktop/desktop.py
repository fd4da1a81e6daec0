"""The real program on a real desktop of its own. Desktop is an X one: an Xvfb display, the
openbox window manager (which decorates and places windows, away from the corner, as a
desktop with a panel does), real pointer and key events through XTEST (xdotool), window
geometry read back from the X server (xwininfo), and screenshots (ImageMagick).
WaylandDesktop is a Wayland one: sway's headless backend, run as an unprivileged user
(sway refuses root), pointer events through the wlroots virtual-pointer protocol (the
`cinvora-test-pointer` helper built beside the tests), keys through wtype, geometry read
back from the compositor (swaymsg) and screenshots through grim. session() makes the one
that CINVORA_DESKTOP names ("wayland", else X).

A test script makes one Desktop, starts the program with App, drives it and records its
checks with Checks; the script's last line is Checks.finish(), which prints the count and
sets the exit code. Every process started here is stopped by its process id at the end.
"""

import atexit
import glob
import json
import os
import pwd
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

    def windows(self, pid):
        """A program's mapped windows: id, name and contents' geometry."""
        out = self.x(["xdotool", "search", "--onlyvisible", "--pid", str(pid)])
        wins = []
        for line in out.split():
            wid = int(line)
            g = self.geometry(wid)
            if not g or not g[4]:
                continue
            name = self.x(["xdotool", "getwindowname", str(wid)]).strip()
            wins.append({"id": wid, "name": name, "x": g[0], "y": g[1], "w": g[2], "h": g[3]})
        return wins

    def activate(self, wid):
        self.x(["xdotool", "windowactivate", "--sync", str(wid)])

    def app_env(self):
        return {"QT_QPA_PLATFORM": "xcb"}

    def run_as(self):
        """Popen arguments for a program of the desktop's user (the caller's on X)."""
        return {}

    def own(self, path):
        """Gives a folder the tests made to the desktop's user (nothing to do on X)."""

    def place_report(self, report, pid):
        """The widget report with every rectangle on the screen: X tells the program where
        its windows are, so the report's are right as they stand."""
        return report

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


WAYLAND_USER = "cinvora-test"

# sway as a desktop on which windows float (as under GNOME or KDE), with nothing bound
# to keys, no X server and a plain background that screenshots tell apart from windows.
SWAY_CONFIG = """
output HEADLESS-1 mode --custom %dx%d position 0 0
xwayland disable
focus_follows_mouse no
default_border normal
default_floating_border normal
for_window [app_id=".*"] floating enable
for_window [title=".*"] floating enable
"""


class Unavailable(Exception):
    """The desktop cannot be made here; the message says why."""


def skip(reason):
    """Ends a script as skipped (ctest's SKIP_RETURN_CODE), saying why."""
    print("SKIP %s" % reason, flush=True)
    sys.exit(77)


def _fixed_int(v):
    return int(round(v))


class WaylandDesktop:
    """A Wayland desktop: sway's headless backend with one output, private to one script.
    sway refuses to run as root; as root it runs as the unprivileged user WAYLAND_USER
    (made here when missing), and so does the program."""

    kind = "wayland"

    def __init__(self, width=1280, height=800):
        self.width, self.height = width, height
        self._procs = []
        for tool in ("sway", "swaymsg", "wtype", "grim"):
            if not shutil.which(tool):
                raise Unavailable("%s is not installed (scripts/install-deps installs it)" % tool)
        if not os.access(os.path.join(BIN_DIR, "cinvora-test-pointer"), os.X_OK):
            raise Unavailable("the pointer helper %s was not built (needs wayland-client and wayland-scanner)"
                              % os.path.join(BIN_DIR, "cinvora-test-pointer"))
        self.uid, self.gid = self._user()
        self.tmp = tempfile.mkdtemp(prefix="cinvora-wayland-")
        os.chmod(self.tmp, 0o755)
        atexit.register(self.stop)
        self.runtime = os.path.join(self.tmp, "run")
        os.makedirs(self.runtime, mode=0o700)
        os.makedirs(os.path.join(self.tmp, "sway-home"))
        self.own(self.runtime)
        self.own(os.path.join(self.tmp, "sway-home"))
        self._reach_build()
        self._start_sway()
        self._start_pointer()
        self._start_keyboard()
        self.pointer(self.width // 2, self.height // 2)

    # -- the compositor --------------------------------------------------------------------
    def _user(self):
        if os.geteuid() != 0:
            return os.geteuid(), os.getegid()
        try:
            pw = pwd.getpwnam(WAYLAND_USER)
        except KeyError:
            r = subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", WAYLAND_USER],
                               capture_output=True, text=True)
            try:
                pw = pwd.getpwnam(WAYLAND_USER)
            except KeyError:
                raise Unavailable("sway refuses root and no user %s could be made: %s" % (WAYLAND_USER, r.stderr.strip()))
        return pw.pw_uid, pw.pw_gid

    def _reach_build(self):
        """The program and the fixtures where the desktop's user can read them: a build tree
        under a folder closed to others (a root's home) is copied into the desktop's own."""
        global BIN_DIR, FIXTURES
        if os.geteuid() != 0:
            return

        def readable(path):
            return subprocess.run(["test", "-r", path], **self.run_as()).returncode == 0
        if not readable(os.path.join(BIN_DIR, "cinvora")):
            app = os.path.join(self.tmp, "app")
            os.makedirs(os.path.join(app, "bin"))
            for name in ("cinvora", "cinvora-test-pointer"):
                shutil.copy2(os.path.join(BIN_DIR, name), os.path.join(app, "bin"))
            shutil.copytree(os.path.join(BIN_DIR, "..", "lib"), os.path.join(app, "lib"),
                            ignore=lambda d, names: [n for n in names if ".so" not in n])
            subprocess.run(["chmod", "-R", "a+rX", app], check=True)
            BIN_DIR = os.path.join(app, "bin")
        if not readable(os.path.join(FIXTURES, "clip.mp4")):
            copy = os.path.join(self.tmp, "fixtures")
            shutil.copytree(FIXTURES, copy)
            subprocess.run(["chmod", "-R", "a+rX", copy], check=True)
            FIXTURES = copy

    def run_as(self):
        if os.geteuid() != 0:
            return {}
        return {"user": self.uid, "group": self.gid, "extra_groups": []}

    def own(self, path):
        if os.geteuid() != 0:
            return
        for root, dirs, files in os.walk(path):
            os.chown(root, self.uid, self.gid)
            for f in files:
                os.chown(os.path.join(root, f), self.uid, self.gid)
        # The folders above it stay root's: they must let the user through.
        parent = os.path.dirname(os.path.abspath(path))
        while parent.startswith(self.tmp) and parent != self.tmp:
            os.chmod(parent, os.stat(parent).st_mode | 0o711)
            parent = os.path.dirname(parent)

    def _start_sway(self):
        cfg = os.path.join(self.tmp, "sway.conf")
        with open(cfg, "w") as f:
            f.write(SWAY_CONFIG % (self.width, self.height))
        os.chmod(cfg, 0o644)
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": os.path.join(self.tmp, "sway-home"),
            "XDG_RUNTIME_DIR": self.runtime,
            "WLR_BACKENDS": "headless",
            "WLR_LIBINPUT_NO_DEVICES": "1",
            "WLR_HEADLESS_OUTPUTS": "1",
            "WLR_RENDERER": "pixman",
        }
        self.sway_log = os.path.join(self.tmp, "sway.log")
        log = open(self.sway_log, "w")
        p = subprocess.Popen(["sway", "--config", cfg], env=env, stdout=log, stderr=subprocess.STDOUT,
                             cwd=self.tmp, **self.run_as())
        self._procs.append(p)

        def up():
            if p.poll() is not None:
                return "gone"
            socks = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
            displays = [n for n in glob.glob(os.path.join(self.runtime, "wayland-*")) if not n.endswith(".lock")]
            return (socks[0], displays[0]) if socks and displays else None
        got = _wait(up, 20)
        if not got or got == "gone":
            raise RuntimeError("sway did not start: " + open(self.sway_log).read()[-2000:])
        self.swaysock, self.display = got
        if not _wait(lambda: self._outputs(), 10):
            raise RuntimeError("sway shows no output: " + open(self.sway_log).read()[-2000:])

    def _outputs(self):
        try:
            return [o for o in json.loads(self.msg("-t", "get_outputs")) if o.get("active")]
        except (ValueError, RuntimeError):
            return []

    def env(self):
        e = dict(os.environ)
        e.pop("DISPLAY", None)
        e["WAYLAND_DISPLAY"] = self.display
        e["XDG_RUNTIME_DIR"] = self.runtime
        e["SWAYSOCK"] = self.swaysock
        return e

    def app_env(self):
        return {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": self.display}

    def msg(self, *args):
        r = subprocess.run(["swaymsg", "-s", self.swaysock] + list(args), capture_output=True, text=True, timeout=30)
        if r.returncode != 0:
            raise RuntimeError("swaymsg %s: %s%s" % (args, r.stdout, r.stderr))
        return r.stdout

    def stop(self):
        if getattr(self, "_pointer", None) and self._pointer.poll() is None:
            self._pointer.stdin.close()
        for p in reversed(self._procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self._procs = []
        if getattr(self, "tmp", None):
            shutil.rmtree(self.tmp, ignore_errors=True)

    # -- real input ------------------------------------------------------------------------
    def _start_pointer(self):
        self._pointer = subprocess.Popen([os.path.join(BIN_DIR, "cinvora-test-pointer")], env=self.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, text=True, bufsize=1)
        self._procs.append(self._pointer)
        line = self._pointer.stdout.readline().strip()
        if line != "ready":
            raise RuntimeError("the virtual pointer did not start: %s %s" % (line, self._pointer.stderr.read()))

    def _start_keyboard(self):
        """A keyboard that stays: each wtype is a keyboard of its own, and a seat whose only
        keyboard comes and goes with each key makes a client drop and remake its keyboard,
        losing keys on the way. This one sleeps (an hour, then an unused key) until stopped."""
        p = subprocess.Popen(["wtype", "-s", "3600000", "-k", "F35"], env=self.env(), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        self._procs.append(p)

        def keyboard():
            seats = json.loads(self.msg("-t", "get_seats"))
            return any(dev.get("type") == "keyboard" for seat in seats for dev in seat.get("devices", []))
        if not _wait(keyboard, 10):
            raise RuntimeError("the compositor shows no keyboard")

    def _send(self, command):
        self._pointer.stdin.write(command + "\n")
        self._pointer.stdin.flush()
        answer = self._pointer.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError("virtual pointer: %s -> %s" % (command, answer))

    def pointer(self, x, y):
        self._send("move %d %d %d %d" % (int(x), int(y), self.width, self.height))

    def click(self, x, y, button=1, double=False):
        self.pointer(x, y)
        time.sleep(0.05)
        for i in range(2 if double else 1):
            if i:
                time.sleep(0.08)
            self._send("down")
            self._send("up")

    def drag(self, x0, y0, x1, y1, steps=12, hold=0.15):
        self.pointer(x0, y0)
        time.sleep(0.1)
        self._send("down")
        time.sleep(hold)
        for i in range(1, steps + 1):
            self.pointer(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps)
            time.sleep(0.03)
        time.sleep(hold)
        self._send("up")

    def key(self, *keys):
        """Keys named as xdotool names them ("ctrl+w", "Escape", "Up")."""
        for k in keys:
            parts = k.split("+")
            mods = [m.lower().replace("control", "ctrl") for m in parts[:-1]]
            argv = ["wtype"]
            for m in mods:
                argv += ["-M", m]
            argv += ["-k", parts[-1]]
            for m in reversed(mods):
                argv += ["-m", m]
            subprocess.run(argv, env=self.env(), capture_output=True, timeout=30, check=True)
            time.sleep(0.08)

    def type(self, text):
        subprocess.run(["wtype", "-d", "30", text], env=self.env(), capture_output=True, timeout=60, check=True)

    def move_window(self, wid, x, y):
        """Moves a window through the compositor, as a drag of its title bar would."""
        self.msg("[con_id=%d] move position %d %d" % (wid, int(x), int(y)))

    def activate(self, wid):
        self.msg("[con_id=%d] focus" % wid)
        time.sleep(0.1)

    # -- what the compositor says -----------------------------------------------------------
    def _nodes(self):
        tree = json.loads(self.msg("-t", "get_tree"))
        out = []

        def walk(n):
            if n.get("pid") and n.get("type") in ("con", "floating_con"):
                out.append(n)
            for c in n.get("nodes", []) + n.get("floating_nodes", []):
                walk(c)
        walk(tree)
        return out

    @staticmethod
    def _content(n):
        r, w = n["rect"], n["window_rect"]
        return r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"]

    def geometry(self, wid):
        """(x, y, width, height, visible) of a window's contents in layout coordinates."""
        for n in self._nodes():
            if n["id"] == wid:
                x, y, w, h = self._content(n)
                return x, y, w, h, bool(n.get("visible"))
        return None

    def windows(self, pid):
        wins = []
        for n in self._nodes():
            if n.get("pid") != pid or not n.get("visible"):
                continue
            x, y, w, h = self._content(n)
            wins.append({"id": n["id"], "name": n.get("name") or "", "x": x, "y": y, "w": w, "h": h,
                         "fullscreen": bool(n.get("fullscreen_mode"))})
        return wins

    def place_report(self, report, pid):
        """A Wayland client does not know where its windows are: Qt's "global" rectangles
        are its own guess. Each window of the report is matched with the compositor's
        (by title, then size) and moved by the difference; a pop-up, which the compositor
        places against its parent, moves with its parent."""
        nodes = self.windows(pid)
        offsets = {}
        for i, win in enumerate(report["windows"]):
            qx, qy, qw, qh = win["rect"]
            same = [n for n in nodes if n["name"] == win.get("title")] if win.get("title") else []
            pool = same or [n for n in nodes if abs(n["w"] - qw) <= 2 and abs(n["h"] - qh) <= 2]
            if pool:
                n = min(pool, key=lambda n: abs(n["w"] - qw) + abs(n["h"] - qh))
                offsets[i] = (n["x"] - qx, n["y"] - qy)
        for i, win in enumerate(report["windows"]):
            if i in offsets or not win.get("parentWindow"):
                continue
            parent = next((j for j, w in enumerate(report["windows"])
                           if j in offsets and w.get("title") == win["parentWindow"] and w is not win), None)
            if parent is not None:
                offsets[i] = offsets[parent]
        for i, win in enumerate(report["windows"]):
            dx, dy = offsets.get(i, (0, 0))
            win["placed"] = i in offsets
            for w in [win] + win["widgets"]:
                for key in ("rect", "frame"):
                    if key in w:
                        w[key] = [w[key][0] + dx, w[key][1] + dy, w[key][2], w[key][3]]
        return report

    def screenshot(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name if name.endswith(".png") else name + ".png")
        subprocess.run(["grim", path], env=self.env(), capture_output=True, timeout=30)
        return path

    def pixels(self, x, y, w, h):
        """The screen's RGB bytes of a rectangle, row by row."""
        r = subprocess.run(["grim", "-g", "%d,%d %dx%d" % (x, y, w, h), "-t", "ppm", "-"], env=self.env(),
                           capture_output=True, timeout=30)
        data = r.stdout
        # P6, width, height, maximum, then the bytes.
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        return data[pos + 1:]

    shown_frame_time = Desktop.shown_frame_time
    mean_difference = Desktop.mean_difference


def session(width=1280, height=800):
    """The desktop that CINVORA_DESKTOP names: "wayland" for sway (the script is skipped,
    saying why, where it cannot run), else X."""
    if os.environ.get("CINVORA_DESKTOP") == "wayland":
        try:
            return WaylandDesktop(width, height)
        except Unavailable as e:
            skip("no Wayland desktop here: %s" % e)
    return Desktop(width, height)


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
        os.makedirs(os.path.join(self.home, "run"), mode=0o700, exist_ok=True)
        desktop.own(self.home)
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
        e.update(self.d.app_env())
        e.update(self.extra_env)
        return e

    def start(self, files=()):
        self.log = open(self.log_path, "a")
        self.proc = subprocess.Popen([self.binary] + list(files), env=self.env(),
                                     stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True,
                                     **self.d.run_as())
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
            self.d.activate(w["id"])
        self.d.key("ctrl+q")
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    # -- windows, from the X server or the compositor ----------------------------------------
    def x_windows(self):
        """The program's mapped windows: id, name and contents' geometry."""
        return self.d.windows(self.proc.pid)

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
            return self.d.place_report(json.load(f), self.proc.pid)

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

    def overlay(self, cls):
        """Where an overlay over the program's windows (the floating bar LXConverWin, the
        frame-stepping panel LXCountdownWindow) is on the screen, as x, y, w, h; None while
        it is not shown."""
        w = self.widget(cls=cls)
        if not w:
            return None
        x, y, ww, hh = w["rect"]
        return {"x": x, "y": y, "w": ww, "h": hh}

    def widgets_on(self, area, **kw):
        """The widgets (as widgets() finds them) whose top-left corner lies in area, an
        overlay() or a widget."""
        r = area["rect"] if "rect" in area else (area["x"], area["y"], area["w"], area["h"])
        return [w for w in self.widgets(**kw)
                if r[0] <= w["rect"][0] < r[0] + r[2] and r[1] <= w["rect"][1] < r[1] + r[3]]

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
