#!/usr/bin/env python3
"""The translations are whole and fit the sources they translate.

- lupdate, run over today's sources into copies of the .ts files, finds no text that
  is not translated: a text added with tr() and forgotten in the .ts fails here.
- every translation carries the placeholders (%1..%9, %n, %@) of its source, and a plural
  text has every form of its language filled;
- every "Lan_" key that the code names has an English text in a string table (without
  one, what is shown is a built-in default that no translator sees).

Arguments: LUPDATE CMAKE SOURCE_DIR FOLDER... (the folders whose sources are translated).
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

lupdate, cmake, source_dir = sys.argv[1:4]
dirs = sys.argv[4:]
failures = []


def fail(what):
    failures.append(what)


def placeholders(text):
    return sorted(set(re.findall(r"%(?:[1-9]|n|@)", text or "")))


tmp = tempfile.mkdtemp(prefix="ts-check-")
try:
    table_texts = os.path.join(tmp, "StringTableTexts.cpp")
    subprocess.run([cmake, "-DTABLES_DIR=" + os.path.join(source_dir, "resources", "strings", "en"),
                    "-DOUT=" + table_texts, "-P", os.path.join(source_dir, "cmake", "StringTableTexts.cmake")],
                   check=True)
    for ts in sorted(glob.glob(os.path.join(source_dir, "translations", "cinvora_*.ts"))):
        lang = re.search(r"cinvora_(\w+)\.ts$", ts).group(1)
        copy = os.path.join(tmp, os.path.basename(ts))
        shutil.copy(ts, copy)
        extra = ["-pluralonly"] if lang == "en" else []
        subprocess.run([lupdate, "-silent", "-locations", "none", "-extensions", "cpp,h"] + extra + dirs +
                       [table_texts, "-target-language", lang, "-ts", copy], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        root = ET.parse(copy).getroot()
        count = 0
        for ctx in root.findall("context"):
            cname = ctx.find("name").text
            for m in ctx.findall("message"):
                tr = m.find("translation")
                kind = tr.get("type")
                if kind in ("vanished", "obsolete"):
                    continue
                count += 1
                src = m.find("source").text
                where = "%s: %s: %r" % (os.path.basename(ts), cname, src)
                if kind == "unfinished":
                    fail(where + " is not translated (run the update_translations target, then translate it)")
                    continue
                forms = [f.text for f in tr.findall("numerusform")] if m.get("numerus") == "yes" else [tr.text]
                if not forms or any(not f for f in forms):
                    fail(where + " has an empty translation")
                    continue
                want = placeholders(src)
                for f in forms:
                    got = placeholders(f)
                    # A singular form may say its number in words ("eine Datei").
                    if got != want and not (m.get("numerus") == "yes" and got == [p for p in want if p != "%n"]):
                        fail("%s: %r has placeholders %s, the source %s" % (where, f, got, want))
        print("%s: %d texts" % (os.path.basename(ts), count))
        if lang != "en" and count < 100:
            fail("%s holds only %d texts: lupdate found no sources?" % (ts, count))
finally:
    shutil.rmtree(tmp, ignore_errors=True)

# The keys the code names, against the keys the tables give.
tables = set()
for plist in glob.glob(os.path.join(source_dir, "resources", "strings", "en", "*.plist")):
    tables |= set(re.findall(r"<key>([^<]+)</key>", open(plist, encoding="utf-8").read()))
for d in dirs:
    for path in glob.glob(os.path.join(d, "**", "*.cpp"), recursive=True):
        for key in re.findall(r"\"(Lan_[A-Za-z_ ]+)\"", open(path, encoding="utf-8").read()):
            if key not in tables:
                fail("%s names %s, which no string table holds" % (os.path.relpath(path, source_dir), key))

for f in failures:
    print("FAIL: " + f)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
