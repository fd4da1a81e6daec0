#!/usr/bin/env python3
"""The trim editor opened with Ctrl+E takes the keyboard at once and opens at the kept
range's start; the preview of a trimmed item shows and plays from the trim start, not from
the key picture after it. The file has key pictures every 8.4 s and two audio tracks, so a
seek that lands on a key picture, or one that a track switch undoes, shows up as seconds.
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
c.finish()
