#!/usr/bin/env python3
"""The Debian package as a user gets it: packed from the build tree with CPack, judged by
lintian, unpacked into a scratch root with dpkg -x, and run from there. Its dependencies
name the system's libraries and not the program's own; the programs load their own
libraries from the package's private folder through their run path, never from the build
tree; the window starts and stays up; software centres find the metainfo, the launcher
entry and the icon together; the manual page of cinvora-cli names the options its --help
names.
"""
import glob
import gzip
import json
import os
import re
import subprocess
import time

from desktop import BUILD_DIR, App, Checks, Desktop, fixture

c = Checks("package")
d = Desktop()
out = os.path.join(d.tmp, "deb")
root = os.path.join(d.tmp, "root")

started = time.monotonic()
r = subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"), "-B", out],
                   capture_output=True, text=True, timeout=240)
debs = glob.glob(os.path.join(out, "*.deb"))
if not c.check(r.returncode == 0 and len(debs) == 1, "cpack makes one .deb", r.stdout[-1500:] + r.stderr[-1500:]):
    c.finish()
deb = debs[0]
print("cpack: %.1f s" % (time.monotonic() - started), flush=True)

# lintian at its default level, whatever a machine's lintianrc says: any error or warning
# fails, and every line it printed is shown.
started = time.monotonic()
lint = subprocess.run(["lintian", "--no-cfg", "--default-display-level", "--tag-display-limit", "0",
                       "--fail-on", "error,warning", deb], capture_output=True, text=True, timeout=300)
print("lintian: %.1f s" % (time.monotonic() - started), flush=True)
tags = [line for line in lint.stdout.splitlines() if re.match(r"[EW]: ", line)]
c.check(lint.returncode == 0 and not tags,
        "lintian finds no error and no warning (%d errors, %d warnings)" %
        (sum(t.startswith("E:") for t in tags), sum(t.startswith("W:") for t in tags)),
        "(exit status %d)\n%s\n%s" % (lint.returncode, lint.stdout, lint.stderr[-1500:]))


def field(name):
    return subprocess.run(["dpkg-deb", "-f", deb, name], capture_output=True, text=True).stdout.strip()


depends = field("Depends")
c.check(field("Package") == "cinvora", "the package is called cinvora", field("Package"))
for lib in ("libavcodec", "libavformat", "libmpv", "libqt6widgets6", "libqt6dbus6", "libpulse"):
    c.check(lib in depends, "it depends on %s (from the linked libraries)" % lib, depends)
# Nothing links the Wayland platform plugin: Qt loads it by name on a Wayland session.
c.check(re.search(r"(^|, )qt6-wayland( |,|$)", depends) is not None, "it depends on qt6-wayland", depends)
c.check("framewheel" not in depends.lower() and "glazeform" not in depends.lower(),
        "its own libraries are no dependencies", depends)

multiarch = subprocess.run(["dpkg-architecture", "-qDEB_HOST_MULTIARCH"], capture_output=True,
                           text=True).stdout.strip()
private = "usr/lib/%s/cinvora" % multiarch
contents = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True).stdout
for path in ("usr/bin/cinvora", "usr/bin/cinvora-cli", private + "/libFramewheel.so",
             private + "/libFramewheelPlayer.so", private + "/libReelwrightScreens.so",
             private + "/libGlazeformVolume.so",
             "usr/share/applications/org.cinvora.Cinvora.desktop",
             "usr/share/metainfo/org.cinvora.Cinvora.metainfo.xml",
             "usr/share/icons/hicolor/256x256/apps/cinvora.png",
             "usr/share/man/man1/cinvora.1.gz", "usr/share/man/man1/cinvora-cli.1.gz",
             "usr/share/doc/cinvora/copyright", "usr/share/doc/cinvora/changelog.gz"):
    c.check(any(line.endswith(" ./" + path) or (" ./" + path + " -> ") in line for line in contents.splitlines()),
            "the package holds /" + path)

subprocess.run(["dpkg", "-x", deb, root], check=True, timeout=60)
private_dir = os.path.join(root, private)
# The program's own libraries: every shared library the package holds, wherever it is.
own = sorted({os.path.basename(p) for p in glob.glob(os.path.join(root, "**", "*.so*"), recursive=True)})
in_private = sorted(os.path.basename(p) for p in glob.glob(os.path.join(private_dir, "*.so*")))
c.check(len(own) >= 4 and own == in_private, "the package's shared libraries are all in /" + private,
        "held: %s; in the private folder: %s" % (own, in_private))

# The metainfo, its launcher entry and its icon, as a software centre reads the tree.
v = subprocess.run(["appstreamcli", "validate-tree", "--no-net", os.path.join(root, "usr")],
                   capture_output=True, text=True, cwd=d.tmp, timeout=60)
c.check(v.returncode == 0, "appstreamcli validate-tree passes on the installed tree", v.stdout[-1500:] + v.stderr[-500:])
desktop_file = os.path.join(root, "usr", "share", "applications", "org.cinvora.Cinvora.desktop")
v = subprocess.run(["desktop-file-validate", desktop_file], capture_output=True, text=True, timeout=60)
c.check(v.returncode == 0 and not v.stdout.strip(), "desktop-file-validate passes the launcher entry",
        v.stdout + v.stderr)

env = {k: val for k, val in os.environ.items() if k != "LD_LIBRARY_PATH"}
build_tree = os.path.realpath(BUILD_DIR)


def resolved(ldd_output):
    """Each library the loader resolved, by name: where it found it (None: not found)."""
    found = {}
    for line in ldd_output.splitlines():
        m = re.match(r"\s*(\S+) => (not found|(\S+) \(0x[0-9a-f]+\))", line)
        if m:
            found[m.group(1)] = None if m.group(2) == "not found" else os.path.realpath(m.group(3))
    return found


# Every Cinvora library either program or any of the libraries needs comes from the unpacked
# private folder (the run paths work from where the package put them); nothing at all comes
# from the build tree.
for elf in [os.path.join(root, "usr", "bin", p) for p in ("cinvora", "cinvora-cli")] + \
        [os.path.join(private_dir, lib) for lib in in_private]:
    name = os.path.relpath(elf, root)
    found = resolved(subprocess.run(["ldd", elf], capture_output=True, text=True, env=env).stdout)
    missing = [lib for lib, where in found.items() if where is None]
    astray = ["%s => %s" % (lib, where) for lib, where in found.items()
              if lib in own and where != os.path.realpath(os.path.join(private_dir, lib))]
    leaks = [where for where in found.values() if where and where.startswith(build_tree + os.sep)]
    c.check(found and not missing and not astray and not leaks,
            "/%s finds every library it needs, its own in /%s" % (name, private),
            "not found: %s; elsewhere: %s; from the build tree: %s" % (missing, astray, leaks))
cli_needs = resolved(subprocess.run(["ldd", os.path.join(root, "usr", "bin", "cinvora-cli")],
                                    capture_output=True, text=True, env=env).stdout)
c.check("libFramewheel.so" in cli_needs, "cinvora-cli needs libFramewheel (the check above looked at it)",
        " ".join(cli_needs))

cli = os.path.join(root, "usr", "bin", "cinvora-cli")
p = subprocess.run([cli, "probe", fixture("short.mp4")], capture_output=True, text=True, env=env, timeout=60)
try:
    info = json.loads(p.stdout.splitlines()[0])
except (ValueError, IndexError):
    info = {}
c.check(p.returncode == 0 and abs(float(info.get("duration", 0)) - 4.0) < 0.2,
        "the installed cinvora-cli probes a clip", p.stdout[:500] + p.stderr[-500:])

# The manual page and --help name the same options (roff writes a dash as "\-").
OPTION = re.compile(r"(?<![\w-])(--?[a-z][a-z0-9-]*)")
usage = subprocess.run([cli, "--help"], capture_output=True, text=True, env=env, timeout=60).stdout
try:
    with gzip.open(os.path.join(root, "usr", "share", "man", "man1", "cinvora-cli.1.gz"), "rt") as f:
        page = f.read()
except OSError:
    page = ""
page = "\n".join(line for line in page.replace("\\-", "-").splitlines() if not line.startswith('.\\"'))
in_help, in_page = set(OPTION.findall(usage)), set(OPTION.findall(page))
c.check(len(in_help) > 20 and in_help == in_page, "cinvora-cli's manual page names the options of its --help",
        "only in --help: %s; only in the page: %s" % (sorted(in_help - in_page), sorted(in_page - in_help)))

# The installed window program, on a desktop, for a few seconds; every file it maps (also
# the plugins Qt loads later) comes from the system or the unpacked root.
app = App(d, binary=os.path.join(root, "usr", "bin", "cinvora"))
c.check(app.main_window() is not None, "the installed cinvora shows its window")
time.sleep(3)
c.check(app.alive(), "the installed cinvora is still running after three seconds", open(app.log_path).read()[-1500:])
with open("/proc/%d/maps" % app.proc.pid) as f:
    mapped = {line.split(None, 5)[5].strip() for line in f if len(line.split(None, 5)) == 6}
own_mapped = {m for m in mapped if os.path.basename(m) in own}
c.check(len(own_mapped) >= 4 and all(m.startswith(os.path.realpath(private_dir) + os.sep) for m in own_mapped),
        "the running cinvora maps its own libraries from the unpacked private folder", sorted(own_mapped))
c.check(not [m for m in mapped if m.startswith(build_tree + os.sep)], "it maps nothing from the build tree",
        sorted(m for m in mapped if m.startswith(build_tree + os.sep)))
d.screenshot("package-installed")
c.check(app.quit() == 0, "the installed cinvora quits cleanly")
c.finish()
