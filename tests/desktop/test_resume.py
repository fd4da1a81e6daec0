#!/usr/bin/env python3
"""A conversion killed in the middle is taken up where it stopped.

A two-minute clip converts; once its work folder lists finished parts the program is
killed (SIGKILL: no chance to clean up). Nothing is under the output's name, the work is
beside it. Started again, the row comes back showing the progress that was kept; Convert
takes it up: the parts kept are not written again, the finished output has every picture,
and the work folder is gone.
"""
import os
import re
import subprocess

from desktop import App, Checks, Desktop, wait

c = Checks("resume")
d = Desktop()
work = os.path.join(d.tmp, "work")
out = os.path.join(work, "out")
os.makedirs(out)
src = os.path.join(work, "long.mp4")
subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                "-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=120",
                "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=120",
                "-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-c:a", "aac", src],
               check=True, timeout=120)
settings = "[General]\nallowConvertingMaxCount=1\nexportMoviePath=%s\nautoStreamCopyWhenSameCodec=false\n" % out


def work_folders():
    return [os.path.join(out, f) for f in os.listdir(out) if f.endswith(".cinvora-work")]


def kept_parts():
    """part file -> (inode, time) of the parts the journal lists as finished."""
    parts = {}
    for folder in work_folders():
        try:
            with open(os.path.join(folder, "journal")) as f:
                for n in re.findall(r"^part (\d+) ", f.read(), re.M):
                    p = os.path.join(folder, "video-%05d" % int(n))
                    if os.path.exists(p):
                        st = os.stat(p)
                        parts[p] = (st.st_ino, st.st_mtime_ns)
        except FileNotFoundError:
            pass
    return parts


def outputs():
    return [f for f in os.listdir(out) if not f.startswith(".")]


def status_texts(app):
    return [w.get("text", "") for w in app.widgets() if "Interrupted at" in w.get("text", "")]


app = App(d, [src], settings=settings)
c.check(wait(lambda: app.widgets(cls="vcTableCellWidget"), 30), "the clip is listed")
app.click_widget(app.widget(tooltip="Convert every item"))
c.check(wait(lambda: len(kept_parts()) >= 2, 120), "the conversion keeps finished parts", str(kept_parts()))
app.kill()
kept = kept_parts()
c.check(outputs() == [], "nothing under the output's name after the kill", str(outputs()))
c.check(len(work_folders()) == 1, "the work is kept beside it", str(os.listdir(out)))

app = App(d, home=app.home)
shown = wait(lambda: status_texts(app), 30)
c.check(shown, "the row comes back showing the progress it kept", str([w.get("text") for w in app.widgets()]))
percent = int(re.search(r"(\d+)", shown[0]).group(1)) if shown else 0
c.check(percent >= 40, "about the part that was done", str(shown))
app.click_widget(app.widget(tooltip="Convert every item"))
# The next part written shows what the conversion did with the kept ones: taken up, they are
# the same files; started over, they would be gone or written anew.
c.check(wait(lambda: len(kept_parts()) > len(kept) or outputs(), 120), "Convert goes on", str(os.listdir(out)))
now = kept_parts()
c.check(outputs() != [] or all(now.get(p) == v for p, v in kept.items()),
        "it takes the kept parts up instead of writing them again", "%s -> %s" % (kept, now))
c.check(wait(lambda: outputs() != [], 180), "Convert finishes it", str(os.listdir(out)))
# The folder goes right after the file takes its name: a look in between may still see it.
c.check(wait(lambda: work_folders() == [], 10), "the work folder goes with the finished conversion",
        str(os.listdir(out)))
frames = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                         "stream=nb_read_frames", "-of", "csv=p=0", os.path.join(out, outputs()[0])],
                        capture_output=True, text=True).stdout.strip() if outputs() else ""
c.check(frames == "3000", "every picture is in the output", frames)
c.finish()
