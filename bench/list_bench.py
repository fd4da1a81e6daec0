#!/usr/bin/env python3
"""A long list in the window: N files (hard links to one short fixture clip) offered to
`cinvora` on its command line, as a file manager's "Open with" does, against
`cinvora-cli probe` of the same files in the same run; then a restart that restores the
N saved rows. Prints the wall times, the ratio window / command line, the time until the
restarted window shows its rows and the peak memory (VmHWM) of each run.

    bench/list_bench.py [--files 10000] [--build build]

The window runs on the offscreen platform with a private home; it is watched through its
widget report (SIGUSR1) and ended with SIGTERM, which quits it the way Ctrl+Q does.
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
ap = argparse.ArgumentParser()
ap.add_argument("--files", type=int, default=10000)
ap.add_argument("--build", default=os.path.join(here, "..", "build"))
ap.add_argument("--fixtures", help="where the fixture clips are made (default BUILD/fixtures)")
ap.add_argument("--timeout", type=float, default=1800)
args = ap.parse_args()
build = os.path.abspath(args.build)
bindir = os.path.join(build, "bin")
fixtures = os.path.abspath(args.fixtures or os.path.join(build, "fixtures"))
subprocess.run([os.path.join(here, "..", "scripts", "make-fixtures"), fixtures], check=True, stdout=subprocess.DEVNULL)
clip = os.path.join(fixtures, "short.mp4")

tmp = tempfile.mkdtemp(prefix="cinvora-list-bench-")
files = []
src = os.path.join(tmp, "files")
os.makedirs(src)
for i in range(args.files):
    files.append(os.path.join(src, "clip%05d.mp4" % i))
    os.link(clip, files[-1])


def peak_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


# ---- the command line's listing ---------------------------------------------------------
t = time.monotonic()
cli = subprocess.run(["/usr/bin/time", "-f", "%M", os.path.join(bindir, "cinvora-cli"), "probe"] + files,
                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
cli_s = time.monotonic() - t
cli_mb = int(cli.stderr.strip().splitlines()[-1]) / 1024

# ---- the window ---------------------------------------------------------------------------
home = os.path.join(tmp, "home")
report = os.path.join(home, "widgets.json")
env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
           XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
           XDG_RUNTIME_DIR=os.path.join(home, "run"), QT_QPA_PLATFORM="offscreen",
           CINVORA_WIDGET_REPORT=report, NO_AT_BRIDGE="1", PULSE_SERVER="unix:/nonexistent")
env.pop("DBUS_SESSION_BUS_ADDRESS", None)
os.makedirs(os.path.join(home, "run"), mode=0o700)


def shown(proc):
    """(item count shown, rows drawn, a progress sheet up) from the widget report."""
    try:
        before = os.stat(report).st_mtime_ns
    except FileNotFoundError:
        before = None
    os.kill(proc.pid, signal.SIGUSR1)
    end = time.monotonic() + 10
    while time.monotonic() < end:
        try:
            if os.stat(report).st_mtime_ns != before:
                break
        except FileNotFoundError:
            pass
        time.sleep(0.02)
    try:
        with open(report) as f:
            r = json.load(f)
    except (OSError, ValueError):
        return 0, 0, True
    count, rows, sheet = 0, 0, False
    for win in r["windows"]:
        if win["class"] == "ODProgressController":
            sheet = True
        for w in win["widgets"]:
            if w["class"] == "vcTableCellWidget":
                rows += 1
            text = w.get("text", "")
            if text.endswith(" items") and text.split()[0].isdigit():
                count = int(text.split()[0])
    return count, rows, sheet


def run_window(argv, settle):
    t = time.monotonic()
    proc = subprocess.Popen([os.path.join(bindir, "cinvora")] + argv, env=env, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(tmp, "window.log"), "a"))
    time.sleep(0.5)
    took = None
    while time.monotonic() - t < args.timeout:
        if proc.poll() is not None:
            break
        if settle(*shown(proc)):
            took = time.monotonic() - t
            break
        time.sleep(0.1)
    peak = peak_kb(proc.pid)
    os.kill(proc.pid, signal.SIGTERM)
    proc.wait(120)
    return took, peak / 1024 if peak else None


n = args.files
add_s, add_mb = run_window(files, lambda count, rows, sheet: count == n and not sheet)
restore_s, restore_mb = run_window([], lambda count, rows, sheet: count == n and rows > 0)
shutil.rmtree(tmp, ignore_errors=True)

fmt = lambda v, unit: "%.1f %s" % (v, unit) if v is not None else "did not finish"
print("files                          %d" % n)
print("cinvora-cli probe              %s, peak %s" % (fmt(cli_s, "s"), fmt(cli_mb, "MB")))
print("window, adding on its command  %s, peak %s" % (fmt(add_s, "s"), fmt(add_mb, "MB")))
if add_s:
    print("ratio window / command line    %.2f (target <= 1.5)" % (add_s / cli_s))
print("restart, rows shown            %s, peak %s (target <= 3 s)" % (fmt(restore_s, "s"), fmt(restore_mb, "MB")))
ok = add_s is not None and add_s / cli_s <= 1.5 and restore_s is not None and restore_s <= 3 and \
    add_mb is not None and add_mb <= 300
sys.exit(0 if ok else 1)
