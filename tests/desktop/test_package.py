#!/usr/bin/env python3
"""The Debian package as a user gets it: packed from the build tree with CPack, unpacked
into a scratch root with dpkg -x, and run from there. Its dependencies name the system's
libraries and not the program's own; the programs find their own libraries beside them
through their run path; the window starts and stays up; software centres find the
metainfo, the launcher entry and the icon together.
"""
import glob
import json
import os
import subprocess
import time

from desktop import BUILD_DIR, App, Checks, Desktop, fixture, wait

c = Checks("package")
d = Desktop()
out = os.path.join(d.tmp, "deb")
root = os.path.join(d.tmp, "root")

r = subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"), "-B", out],
                   capture_output=True, text=True, timeout=240)
debs = glob.glob(os.path.join(out, "*.deb"))
if not c.check(r.returncode == 0 and len(debs) == 1, "cpack makes one .deb", r.stdout[-1500:] + r.stderr[-1500:]):
    c.finish()
deb = debs[0]


def field(name):
    return subprocess.run(["dpkg-deb", "-f", deb, name], capture_output=True, text=True).stdout.strip()


depends = field("Depends")
c.check(field("Package") == "cinvora", "the package is called cinvora", field("Package"))
for lib in ("libavcodec", "libavformat", "libmpv", "libqt6widgets6", "libqt6dbus6", "libpulse"):
    c.check(lib in depends, "it depends on %s (from the linked libraries)" % lib, depends)
c.check("framewheel" not in depends.lower() and "glazeform" not in depends.lower(),
        "its own libraries are no dependencies", depends)

contents = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True).stdout
for path in ("./usr/bin/cinvora", "./usr/bin/cinvora-cli", "./usr/lib/libFramewheel.so",
             "./usr/lib/libFramewheelPlayer.so", "./usr/lib/libReelwrightScreens.so",
             "./usr/lib/libGlazeformVolume.so",
             "./usr/share/applications/org.cinvora.Cinvora.desktop",
             "./usr/share/metainfo/org.cinvora.Cinvora.metainfo.xml",
             "./usr/share/icons/hicolor/256x256/apps/cinvora.png"):
    c.check(any(line.endswith(" " + path) or (" " + path + " -> ") in line for line in contents.splitlines()),
            "the package holds " + path)

subprocess.run(["dpkg", "-x", deb, root], check=True, timeout=60)

# The metainfo, its launcher entry and its icon, as a software centre reads the tree.
v = subprocess.run(["appstreamcli", "validate-tree", "--no-net", os.path.join(root, "usr")],
                   capture_output=True, text=True, cwd=d.tmp, timeout=60)
c.check(v.returncode == 0, "appstreamcli validate-tree passes on the installed tree", v.stdout[-1500:] + v.stderr[-500:])

env = {k: val for k, val in os.environ.items() if k != "LD_LIBRARY_PATH"}
cli = os.path.join(root, "usr", "bin", "cinvora-cli")
ldd = subprocess.run(["ldd", cli], capture_output=True, text=True, env=env).stdout
own = [line for line in ldd.splitlines() if "libFramewheel" in line]
c.check(own and os.path.join(root, "usr", "lib") in os.path.normpath(own[0].split("=>")[1]).replace("/bin/../", "/"),
        "the installed cinvora-cli loads the installed libFramewheel", "".join(own))
c.check("not found" not in ldd, "every library of cinvora-cli is found", ldd)

p = subprocess.run([cli, "probe", fixture("short.mp4")], capture_output=True, text=True, env=env, timeout=60)
try:
    info = json.loads(p.stdout.splitlines()[0])
except (ValueError, IndexError):
    info = {}
c.check(p.returncode == 0 and abs(float(info.get("duration", 0)) - 4.0) < 0.2,
        "the installed cinvora-cli probes a clip", p.stdout[:500] + p.stderr[-500:])

# The installed window program, on a desktop, for a few seconds.
app = App(d, binary=os.path.join(root, "usr", "bin", "cinvora"))
c.check(app.main_window() is not None, "the installed cinvora shows its window")
time.sleep(3)
c.check(app.alive(), "the installed cinvora is still running after three seconds", open(app.log_path).read()[-1500:])
d.screenshot("package-installed")
c.check(app.quit() == 0, "the installed cinvora quits cleanly")
c.finish()
