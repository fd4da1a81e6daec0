#!/usr/bin/env python3
"""What floats over a window, on X or Wayland (CINVORA_DESKTOP=wayland): a Wayland client
cannot place a window of its own, learns nothing of where its windows are, and a window
that takes the keyboard deactivates the one under it. So the player window's bar must sit
on its picture, centred, 20 points above the bottom, stay while the pointer travels onto
it, follow the window when the compositor moves it, leave the keys (Esc, Ctrl+W) with the
player window, turn to trim mode from its own export menu with the frame-stepping panel on
the window, and sit 25 points above the bottom of a full screen; the player window is
dragged by its picture; and the trim editor's skinned export menu opens below its button
and an entry can be chosen. Geometry comes from the compositor (or the X server), what the
program shows from its widget report placed on the screen.
"""
import glob
import os
import time

from desktop import App, Checks, fixture, session, wait

BAR_W, BAR_H = 603, 59

d = session()
c = Checks("floating bar, menus and window drag on %s" % getattr(d, "kind", "x11"))
app = App(d, [fixture("clip.mp4")])
main = app.main_window()
row = wait(lambda: app.widget(cls="vcTableCellWidget"), 20)


def shot(name):
    d.screenshot("%s-%s" % (getattr(d, "kind", "x11"), name))


def player_window():
    return next((w for w in app.x_windows() if w["id"] != main["id"] and w["name"].startswith("clip.mp4")
                 and not (w["w"] == d.width and w["h"] == d.height)), None)


def full_screen_window():
    return next((w for w in app.x_windows() if w["w"] == d.width and w["h"] == d.height), None)


def bar():
    """The bar's place on the screen, whether it is a part of a window or (as it once was)
    a window of its own."""
    b = app.overlay("LXConverWin")
    if b:
        return b
    for win in app.report()["windows"]:
        if win["class"] == "LXConverWin" and win.get("placed", True):
            x, y, w, h = win["rect"]
            return {"x": x, "y": y, "w": w, "h": h}
    return None


def show_bar(win):
    # The bar comes with pointer movement over the video.
    for dx in (0, 15, 30):
        d.pointer(win["x"] + win["w"] // 2 + dx, win["y"] + win["h"] // 3)
        time.sleep(0.15)
    return wait(bar, 5)


def bar_on_picture(win, b, what):
    if not c.check(b is not None, what + ": the bar is up"):
        return
    c.near(b["x"], win["x"] + (win["w"] - BAR_W) // 2, 2, what + ": the bar is centred on the window")
    c.near(b["y"] + BAR_H, win["y"] + win["h"] - 20, 2, what + ": the bar sits 20 points above the window's bottom")


def open_player():
    d.activate(main["id"])
    d.click(*app.centre(app.widget(cls="vcTableCellWidget")))
    d.key("ctrl+Return")
    w = wait(player_window, 15)
    time.sleep(0.5)
    return player_window() if w else None


# --- The bar on the player window ---------------------------------------------------------
win = open_player()
if not c.check(win is not None, "Ctrl+Return opens the player window"):
    c.finish()
b = show_bar(win)
bar_on_picture(win, b, "after the compositor placed the window")
shot("player-window-bar")

# From the video onto the bar, and along it: the bar stays.
if b:
    sx, sy = win["x"] + win["w"] // 2, b["y"] - 40
    tx, ty = b["x"] + 200, b["y"] + 14
    for i in range(1, 9):
        d.pointer(sx + (tx - sx) * i / 8, sy + (ty - sy) * i / 8)
        time.sleep(0.04)
    for i in range(6):
        d.pointer(tx + i * 40, ty)
        time.sleep(0.05)
    time.sleep(1.2)
    c.check(bar() is not None, "the bar stays up while the pointer travels from the video onto it and along it")
    c.check(app.widget(tooltip="export or trim") is not None, "the bar's export button is there to be clicked")

# The compositor moves the window: the bar goes with it.
target_x, target_y = max(80, win["x"] - 120), max(60, win["y"] - 100)
d.move_window(win["id"], target_x, target_y)
wait(lambda: player_window() and player_window()["x"] != win["x"], 5)
time.sleep(0.3)
moved = player_window()
c.check(moved["x"] != win["x"], "the compositor moved the player window")
b = bar() or show_bar(moved)
bar_on_picture(moved, b, "after the compositor moved the window")
shot("player-window-moved")

# Dragged by its picture (above the bar), the window follows the pointer.
start = player_window()
gx, gy = start["x"] + start["w"] // 2, start["y"] + 60
d.drag(gx, gy, gx + 90, gy + 50, steps=15)
time.sleep(0.5)
dragged = wait(lambda: player_window() if player_window()["x"] != start["x"] else None, 5) or player_window()
# The window manager takes the move over once the pointer has gone the drag distance
# (a press alone is a click on the picture): the window follows the rest of the way.
c.check(90 - 16 <= dragged["x"] - start["x"] <= 92, "a drag of the picture moves the window across",
        str((start, dragged)))
c.check(50 - 16 <= dragged["y"] - start["y"] <= 52, "a drag of the picture moves the window down",
        str((start, dragged)))
d.pointer(gx + 95, gy + 70)
b = show_bar(dragged)
bar_on_picture(dragged, b, "after a drag of the picture")
shot("player-window-dragged")

# Esc after a click on the bar's play button (twice: play, pause) closes the window.
if b:
    d.click(b["x"] + BAR_W // 2, b["y"] + 15)
    time.sleep(0.5)
    d.click(b["x"] + BAR_W // 2, b["y"] + 15)
    time.sleep(0.5)
    c.check(bar() is not None, "the bar stays up after clicks on its play button")
    d.key("Escape")
    c.check(wait(lambda: player_window() is None, 5), "Esc closes the player window after a click on the bar")

# Ctrl+W after the bar showed.
win = open_player()
if c.check(win is not None, "the player window opens again"):
    c.check(show_bar(win) is not None, "the bar shows on the reopened window")
    d.key("ctrl+w")
    c.check(wait(lambda: player_window() is None, 5), "Ctrl+W closes the player window after the bar showed")

# The bar's own export menu (a pop-up of its button) turns it to trim mode; the pointer on
# the left cut lifts the frame-stepping panel, which lies on the window under the bar.
win = open_player()
b = show_bar(win) if win else None
export = app.widget(tooltip="export or trim")
if c.check(b is not None and export is not None, "the bar is up with its export button"):
    app.click_widget(export)
    time.sleep(0.5)
    d.key("Up", "Return")  # the menu's last entry: Trim
    trim = wait(lambda: app.widget(text="Trim", cls="LXButton"), 5)
    shown = app.overlay("LXConverWin")
    cut = next(iter(app.widgets_on(shown, cls="LXCutSlider") if shown else []), None)
    if c.check(trim is not None and cut is not None, "the bar's export menu turns it to trim mode"):
        x, y, cw, ch = cut["rect"]
        panel = None
        for py in range(y + 2, y + ch, 4):
            for px in range(x, x + 24, 4):
                d.pointer(px, py)
                time.sleep(0.05)
                panel = app.overlay("LXCountdownWindow")
                if panel:
                    break
            if panel:
                break
        if c.check(panel is not None, "the pointer on the left cut lifts its frame-stepping panel"):
            w = player_window()
            c.check(w["x"] <= panel["x"] and panel["x"] + panel["w"] <= w["x"] + w["w"] and w["y"] <= panel["y"]
                    and panel["y"] + panel["h"] <= w["y"] + w["h"], "the panel lies on the player window",
                    str((w, panel)))
            shot("player-window-trim-panel")
    d.key("ctrl+w")
    c.check(wait(lambda: player_window() is None, 5), "Ctrl+W closes the player window in trim mode")

# Full screen from the bar: the bar at the bottom of the screen, Esc leaves full screen.
win = open_player()
b = show_bar(win) if win else None
full = app.widget(tooltip="Full Screen")
if c.check(b is not None and full is not None, "the bar has its full-screen button", str((win, b, full))):
    app.click_widget(full)
    fs = wait(full_screen_window, 5)
    if c.check(fs is not None, "the full-screen button fills the screen"):
        c.check((fs["x"], fs["y"], fs["w"], fs["h"]) == (0, 0, d.width, d.height), "it covers the whole screen",
                str(fs))
    d.pointer(d.width // 2, d.height // 3)
    time.sleep(0.2)
    d.pointer(d.width // 2 + 20, d.height // 3 + 10)
    fb = wait(bar, 5)
    if c.check(fb is not None, "the bar shows over the full-screen picture"):
        c.near(fb["x"], (d.width - BAR_W) // 2, 2, "the full-screen bar is centred")
        c.near(fb["y"] + BAR_H, d.height - 25, 2, "the full-screen bar sits 25 points above the screen's bottom")
    shot("player-window-full-screen")
    d.key("Escape")
    c.check(wait(lambda: full_screen_window() is None, 5), "Esc leaves full screen")
    w = wait(player_window, 3)
    if c.check(w is not None, "and the player window stays"):
        d.key("Escape")
        c.check(wait(lambda: player_window() is None, 5), "a second Esc closes the player window")

# --- The trim editor's skinned export menu --------------------------------------------------
d.activate(main["id"])
d.click(*app.centre(app.widget(cls="vcTableCellWidget")))
d.key("ctrl+e")
button = wait(lambda: app.widget(cls="LXPopUpButton"), 10)
if c.check(button is not None, "Ctrl+E opens the trim editor with its export menu button"):
    time.sleep(1.0)  # the page turns
    button = app.widget(cls="LXPopUpButton")
    app.click_widget(button)

    def menu_rows():
        return sorted(app.widgets(cls="LXMenuItem"), key=lambda w: w["rect"][1])
    rows = wait(lambda: menu_rows() if len(menu_rows()) == 4 else None, 5) or []
    shot("trim-editor-export-menu")
    if c.check(len(rows) == 4, "a click on the button opens its menu of four destinations",
               str([r.get("text") for r in rows])):
        bx, by, bw, bh = button["rect"]
        top = rows[0]["rect"]
        c.near(top[0], bx - 1, 2, "the menu hangs from the button's left edge")
        c.check(by + bh - 8 <= top[1] <= by + bh + 8, "the menu opens right below the button",
                str((button["rect"], top)))
        c.check(rows[0].get("text") == "Local", "its first entry is the local export", str(rows[0].get("text")))
        time.sleep(0.4)
        c.check(len(menu_rows()) == 4, "the menu stays open (the window under it keeps the keyboard)")
        before = set(glob.glob(os.path.join(app.home, "**", "clip*"), recursive=True))
        app.click_widget(rows[0])
        c.check(wait(lambda: not menu_rows(), 5), "choosing an entry closes the menu")
        made = wait(lambda: set(glob.glob(os.path.join(app.home, "**", "clip*"), recursive=True)) - before, 60)
        c.check(bool(made), "choosing the local export writes the trimmed clip", str(made))
        shot("trim-editor-exported")

c.check(app.alive() and app.main_window() is not None, "the main window stays")
c.finish()
