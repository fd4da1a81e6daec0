#!/usr/bin/env python3
"""No library that works without a window can include a header of one that needs a window:
the include folders each windowless target compiles with (read from the build's
compile_commands.json) hold none of the window libraries' headers, and no Qt Widgets.

usage: include_roots.py COMPILE_COMMANDS WINDOWLESS_TARGETS WINDOW_HEADERS
(the lists separated by ';'; headers as the window libraries list them, paths or names)
"""
import json
import os
import re
import shlex
import sys

commands, windowless, headers = sys.argv[1], sys.argv[2].split(";"), sys.argv[3].split(";")
window_headers = {os.path.basename(h) for h in headers if h.endswith(".h")}
found, faults = set(), []
for entry in json.load(open(commands)):
    args = shlex.split(entry["command"])
    out = args[args.index("-o") + 1] if "-o" in args else ""
    m = re.search(r"CMakeFiles/([^/]+)\.dir/", out)
    if not m or m.group(1) not in windowless:
        continue
    target = m.group(1)
    found.add(target)
    dirs = [a[2:] if a.startswith("-I") and len(a) > 2 else args[i + 1]
            for i, a in enumerate(args) if a.startswith("-I") or a == "-isystem"]
    for d in dirs:
        if "QtWidgets" in d:
            faults.append("%s: compiles with Qt Widgets (%s)" % (target, d))
        if not os.path.isdir(d) or "/usr/" in d or "_autogen" in d:
            continue
        for root, _, files in os.walk(d):
            for f in files:
                if f in window_headers:
                    faults.append("%s: %s reaches the window library's %s" % (target, d, os.path.join(root, f)))
missing = sorted(set(windowless) - found)
if missing:
    faults.append("no compile command for %s" % ", ".join(missing))
for f in sorted(set(faults)):
    print("FAIL", f)
print("%d windowless targets checked against %d window headers" % (len(found), len(window_headers)))
sys.exit(1 if faults else 0)
