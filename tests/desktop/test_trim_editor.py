#!/usr/bin/env python3
"""The trim editor opened with Ctrl+E takes the keyboard at once and opens at the kept
range's start; the preview of a trimmed item shows and plays from the trim start, not from
the key picture after it. The file has key pictures every 8.4 s and two audio tracks, so a
seek that lands on a key picture, or one that a track switch undoes, shows up as seconds.
The editor's three time labels each show one thing whatever was done last: the left the
picture on screen, counted from the first picture (also in an MP4 whose sound starts before
its picture), the middle that picture's second and the kept length, the right the end cut.
"""
import os
import re
import subprocess
import time

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("trim editor")
d = Desktop()
src = os.path.join(d.tmp, "keys.mkv")
subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=24",
                "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=24",
                "-f", "lavfi", "-i", "sine=frequency=880:sample_rate=44100:duration=24",
                "-i", fixture("subs.srt"),
                "-map", "0:v", "-map", "1:a", "-map", "2:a", "-map", "3:s", "-c:s", "srt",
                "-c:v", "libx264", "-preset", "veryfast", "-g", "210", "-keyint_min", "210", "-sc_threshold", "0",
                "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "2",
                "-metadata:s:a:0", "language=eng", "-metadata:s:a:1", "language=fre", src], check=True)

app = App(d, [src])
row = wait(lambda: app.widget(cls="vcTableCellWidget"), 20)


def seconds(text):
    """'0:00:05.20' or '00:05' as seconds."""
    parts = [float(p) for p in re.split(r"[:]", text)]
    s = 0.0
    for p in parts:
        s = s * 60 + p
    return s


def editor_time():
    w = app.widget(tooltip="current time")
    return seconds(w["text"]) if w and w.get("text") else None


def preview_time():
    # The list page's player shows "elapsed/total".
    for w in app.widgets(cls="LXLabel"):
        t = w.get("text", "")
        if re.fullmatch(r"\d\d:\d\d/\d\d:\d\d", t):
            return seconds(t.split("/")[0])
    return None


def settle(read, timeout=5):
    """The value once it stops changing."""
    last, same = None, 0
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        v = read()
        same = same + 1 if v == last and v is not None else 0
        last = v
        if same >= 3:
            break
        time.sleep(0.15)
    return last


# The first selection of an untrimmed file shows its start.
d.click(*app.centre(row))
c.near(settle(preview_time), 0, 0, "the preview of an untrimmed file opens at its start")

# Ctrl+E: the editor takes the keyboard at once and sits at the start.
d.key("ctrl+e")
c.check(wait(lambda: app.widget(tooltip="current time"), 10) is not None, "Ctrl+E opens the trim editor")
time.sleep(1.0)  # the page turns
c.near(settle(editor_time), 0.0, 0.041, "the editor opens at the kept range's start (0 s)")
d.key("Right")
c.near(settle(editor_time), 0.04, 0.001, "Right steps one frame without a click first, shown as 0.04")
d.screenshot("trim-editor-ctrl-e-right")
d.key("End")
c.near(settle(editor_time), 24.0, 0.05, "End goes to the kept range's end")

# Park a little after 5 s with the keys (Left goes back a second, Right a frame) and cut there.
for _ in range(19):
    d.key("Left")
for _ in range(5):
    d.key("Right")
cut = settle(editor_time)
c.check(cut is not None and 5.0 < cut < 5.3, "the keys park the cursor a little after 5 s", str(cut))
app.click_widget(app.widget(tooltip="apply current to left cut"))
time.sleep(0.3)
app.click_widget(app.widget(tooltip="done"))
c.check(wait(lambda: app.widget(tooltip="current time") is None, 10), "the check mark returns to the list")
time.sleep(1.0)
# The preview of the trimmed item shows its trim start, not the key picture after it (8.4 s).
c.near(settle(preview_time), 0, 0, "the preview counts from the kept range's start")
player = app.widget(cls="SWPlayer")
best, diff, diffs = d.shown_frame_time(player["rect"], src, (320, 240), [0.0, cut, 8.4])
c.check(best == cut, "the preview shows the frame at the trim start", str(diffs))
d.screenshot("preview-trimmed")

# Back in the editor: at the kept range's start, exactly.
d.key("ctrl+e")
wait(lambda: app.widget(tooltip="current time"), 10)
time.sleep(1.0)
c.near(settle(editor_time), cut, 0.041, "the editor opens again at the trim start")

# A switch to the second audio track keeps the picture where it is.
audio = app.widget(cls="LXPopupButtonCell", text=None)
tracks = [w for w in app.widgets(cls="LXPopupButtonCell") if "AAC" in w.get("text", "")]
if c.check(len(tracks) == 1, "the audio pop-up is there"):
    app.click_widget(tracks[0])
    time.sleep(0.4)
    d.key("Down", "Return")
    time.sleep(0.5)
    c.near(settle(editor_time), cut, 0.041, "an audio-track switch keeps the position")
app.click_widget(app.widget(tooltip="done"))
c.check(app.quit() == 0, "the program quits cleanly")

# The labels. An MP4 whose sound starts 0.021 s before its first picture (as a copy out of
# Matroska leaves it), 40 s long.
late = os.path.join(d.tmp, "late-picture.mkv")
subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=40",
                "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=40",
                "-c:v", "libx264", "-preset", "veryfast", "-g", "50", "-pix_fmt", "yuv420p",
                "-c:a", "aac", "-ac", "2", late], check=True)
src2 = os.path.join(d.tmp, "late-picture.mp4")
subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", late, "-c", "copy", src2], check=True)
first = float(subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "stream=start_time",
                              "-of", "csv=p=0", src2], capture_output=True, text=True).stdout)
c.check(0.01 < first < 0.05, "the MP4's first picture comes after its sound", str(first))

app = App(d, [src2])
row = wait(lambda: app.widget(cls="vcTableCellWidget"), 20)
d.click(*app.centre(row))
time.sleep(1.0)
d.key("ctrl+e")
wait(lambda: app.widget(tooltip="current time"), 10)
time.sleep(1.0)


def labels():
    """(left, middle, right) once they stop changing."""
    def read():
        left, right = app.widget(tooltip="current time"), app.widget(tooltip="end time")
        mids = [w.get("text") for w in app.widgets(cls="LXLabel") if re.fullmatch(r"\d\d:\d\d/\d\d:\d\d", w.get("text", ""))]
        return (left and left.get("text"), mids[0] if len(mids) == 1 else None, right and right.get("text"))
    return settle(read)


def consistent(what):
    """The middle shows the left's second; the right the end cut."""
    left, mid, right = labels()
    ok = left is not None and mid is not None and int(seconds(left)) == int(seconds(mid.split("/")[0]))
    c.check(ok, what + ": the middle label shows the second of the picture on screen", str((left, mid, right)))
    return left, mid, right


left, mid, whole = labels()
c.check(left == "0:00:00.00", "the first picture reads 0.00", str(left))
d.key("Right")
left, _, right = labels()
c.check(left == "0:00:00.04", "the second picture reads 0.04", str(left))
c.check(right == whole, "the right label keeps the end cut", str((whole, right)))

# The cursor to 10 s (End, then a second back thirty times) and the left cut there.
d.key("End")
for _ in range(30):
    d.key("Left")
left, mid, right = consistent("at 10 s")
c.near(seconds(left), 10.0, 0.05, "the keys park the picture at 10 s")
cut_start = left
app.click_widget(app.widget(tooltip="apply current to left cut"))
time.sleep(0.3)
d.key("Right")
left, mid, right = consistent("a frame after the left cut")
c.check(right == whole, "the right label still shows the end cut after a left cut", str((whole, right)))
kept = seconds(whole) - seconds(cut_start)
c.check(0 <= kept - seconds(mid.split("/")[1]) < 1.05, "the middle label's second part is the kept length", str((mid, kept)))

# The cursor to 30 s and the right cut there.
d.key("End")
for _ in range(10):
    d.key("Left")
left, mid, right = consistent("at 30 s")
app.click_widget(app.widget(tooltip="apply current to right cut"))
time.sleep(0.3)
left, mid, right = consistent("after the right cut")
cut_end = right
c.near(seconds(right), 30.0, 0.05, "the right label shows the new end cut")
c.check(mid.endswith("/00:20"), "the kept length follows the cuts", mid)
d.key("Home")
left, mid, right = consistent("Home, at the left cut")
c.near(seconds(left), 10.0, 0.05, "Home goes to the left cut")
c.check(right == cut_end, "the right label keeps the end cut on Home", str((cut_end, right)))

# Playing the whole file and pausing it: still the end cut at the right.
d.key("space")
time.sleep(1.2)
left, mid, right = labels()
c.check(right == cut_end, "the right label keeps the end cut while the whole file plays", str((cut_end, right)))
d.key("space")
left, mid, right = consistent("paused")
c.check(right == cut_end, "the right label keeps the end cut after a pause", str((cut_end, right)))
player = app.widget(cls="SWPlayer")
shown = seconds(left)
best, diff, diffs = d.shown_frame_time(player["rect"], src2, (320, 240), [shown - 0.04 + first, shown + first, shown + 0.04 + first])
c.check(best == shown + first, "the left label names the picture on screen", str((left, diffs)))
app.click_widget(app.widget(tooltip="done"))
c.check(app.quit() == 0, "the program quits cleanly after the labels")
c.finish()
