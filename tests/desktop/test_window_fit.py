#!/usr/bin/env python3
"""What the window shows fits where it is shown: the "not added" message with a 202-character
file name keeps every label's text inside the label and the whole name readable; the format
row shows only whole tiles, at the default size, after its arrows and after resizing.
"""
import os

from desktop import App, Checks, Desktop, wait

c = Checks("window fit")
d = Desktop()
src = os.path.join(d.tmp, "offers")
os.makedirs(src)
name = ("Holiday_at_the_lake_2026_" * 8)[:198] + ".mp4"
assert len(name) == 202
open(os.path.join(src, name), "w").close()
app = App(d, [os.path.join(src, name)])


def messages():
    return [w for w in app.report()["windows"] if w.get("class") == "QMessageBox"]


def inside(r, outer):
    return outer[0] <= r[0] and r[0] + r[2] <= outer[0] + outer[2] and outer[1] <= r[1] and r[1] + r[3] <= outer[1] + outer[3]


boxes = wait(messages, 30)
if c.check(boxes and len(boxes) == 1, "one message says the file was not added"):
    box = boxes[0]
    d.screenshot("window-fit-long-name")
    labels = [w for w in box["widgets"] if w["class"] == "QLabel" and w.get("text") and "textSize" in w]
    c.check(any(name[:16] in w["text"] and name[-12:] in w["text"] for w in labels),
            "a label shows the name's beginning and its end", repr([w["text"] for w in labels]))
    for w in labels:
        c.check(w["textSize"][0] <= w["rect"][2] and inside(w["rect"], box["rect"]),
                "the label's text fits its width, inside the message: %.40s" % w["text"],
                "(needs %d, has %s in %s)" % (w["textSize"][0], w["rect"], box["rect"]))
    whole = [w for w in box["widgets"] if name in w.get("text", "")]
    if not whole:
        details = app.widget(cls="QPushButton", text="Show Details...")
        if details:
            app.click_widget(details)
            whole = wait(lambda: [w for w in app.widgets(window="QMessageBox") if name in w.get("text", "")], 5) or []
            d.screenshot("window-fit-long-name-details")
    c.check(whole, "the whole name can be read in the message")
    for w in whole:
        c.check(w.get("scrollRange", [0])[0] == 0 and w.get("textSize", [0])[0] <= w["rect"][2],
                "it is read without scrolling sideways", str(w))
    ok = app.widget(cls="QPushButton", text="OK")
    if ok:
        app.click_widget(ok)
    c.check(wait(lambda: not messages(), 5), "OK closes the message")


def tiles_whole(when):
    grid = app.widget(cls="LXThumbImageTableView")
    strip = grid and next((w for w in app.widgets(name="qt_scrollarea_viewport")
                           if inside(w["rect"], grid["rect"])), None)
    if not c.check(strip is not None, "%s: the format row is shown" % when):
        return None
    sx, _, sw, _ = strip["rect"]
    cells = app.widgets(cls="LXImageCellView")
    shown = [w for w in cells if w["rect"][0] < sx + sw and w["rect"][0] + w["rect"][2] > sx]
    cut = [w.get("accessibleName") for w in shown if w["rect"][0] < sx or w["rect"][0] + w["rect"][2] > sx + sw]
    c.check(len(shown) >= 2 and not cut, "%s: only whole tiles show (%d shown)" % (when, len(shown)),
            "cut: %s" % cut)
    return grid, strip


def arrows(grid, strip):
    buttons = [b for b in app.widgets(cls="LXButton") if inside(b["rect"], grid["rect"])]
    left = [b for b in buttons if b["rect"][0] + b["rect"][2] <= strip["rect"][0]]
    right = [b for b in buttons if b["rect"][0] >= strip["rect"][0] + strip["rect"][2]]
    return (left[0] if left else None), (right[0] if right else None)


found = tiles_whole("at the default size")
d.screenshot("window-fit-format-row")
if found:
    left, right = arrows(*found)
    if c.check(right is not None, "the row has its right arrow"):
        for i in range(3):
            app.click_widget(right)
            wait(lambda: False, 0.3)
            tiles_whole("after %d presses of the right arrow" % (i + 1))
        app.click_widget(left)
        tiles_whole("after a press of the left arrow")

main = app.main_window()
for w, h in ((1000, 640), (1236, 720)):
    d.x(["xdotool", "windowsize", str(main["id"]), str(w), str(h)])
    wait(lambda: (app.main_window() or {}).get("w") == w, 5)
    wait(lambda: False, 0.5)
    tiles_whole("at %dx%d" % (w, h))
    d.screenshot("window-fit-format-row-%d" % w)
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
