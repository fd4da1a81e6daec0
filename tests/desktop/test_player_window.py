#!/usr/bin/env python3
"""The player window (Ctrl+Return) on a desktop whose window manager places and moves it:
the floating bar sits on the window's picture, centred, 20 points above its bottom edge,
follows the window when the window manager moves it, stays up while the pointer travels
from the video to it, can be dragged by its free area, and Esc or Ctrl+W close the window,
also right after a click on the bar, which (with its frame-stepping panel) is a part of the
window, not a window that a task bar would list. Full screen is the window manager's own,
over its panels.
"""
import time

from desktop import App, Checks, Desktop, fixture, wait

BAR_W, BAR_H = 603, 59

c = Checks("player window")
d = Desktop()
app = App(d, [fixture("clip.mp4")])
main = app.main_window()
c.check(main["x"] >= 40 and main["y"] >= 30, "the window manager placed the main window away from the corner", str(main))
wait(lambda: app.widget(cls="vcTableCellWidget"), 20)


def player_window():
    for w in app.x_windows():
        if w["id"] != main["id"] and w["name"].startswith("clip.mp4"):
            return w
    return None


def bar():
    b = app.overlay("LXConverWin")
    return b if b and (b["w"], b["h"]) == (BAR_W, BAR_H) else None


def bar_on_picture(win, b, what):
    if not c.check(b is not None, what + ": the bar is up"):
        return
    c.near(b["x"], win["x"] + (win["w"] - BAR_W) // 2, 2, what + ": the bar is centred on the window")
    c.near(b["y"] + BAR_H, win["y"] + win["h"] - 20, 2, what + ": the bar sits 20 points above the window's bottom")


def show_bar(win):
    # The bar comes with pointer movement over the video.
    for dx in (0, 15, 30):
        d.pointer(win["x"] + win["w"] // 2 + dx, win["y"] + win["h"] // 3)
        time.sleep(0.15)
    return wait(bar, 5)


# Open the selected row in the player window.
d.click(*app.centre(app.widget(cls="vcTableCellWidget")))
d.key("ctrl+Return")
win = wait(player_window, 15)
c.check(win is not None, "Ctrl+Return opens the player window")
time.sleep(0.5)
win = player_window()
b = show_bar(win)
bar_on_picture(win, b, "after the window manager placed it")
d.screenshot("player-window-bar")
# With no sound server to ask (none runs here), the bar's volume is the player's own: full,
# not a muted speaker.
bar_sliders = app.widgets_on(b, cls="LXSliderA") if b else []
volume = [w for w in bar_sliders if w["rect"][2] == 80]
c.check(len(volume) == 1 and volume[0].get("value", 0) > 0.95, "the bar's volume reads the player's full level",
        str([w.get("value") for w in volume]))

# The window manager moves the window (as a drag of its title bar would).
# Up and to the left, so that all of it stays on the screen.
target_x, target_y = max(80, win["x"] - 120), max(60, win["y"] - 100)
d.move_window(win["id"], target_x, target_y)
wait(lambda: player_window() and player_window()["x"] != win["x"], 5)
time.sleep(0.3)
moved = player_window()
c.check(moved["x"] != win["x"], "the window manager moved the player window")
b = bar() or show_bar(moved)
bar_on_picture(moved, b, "after a window-manager move")
d.screenshot("player-window-moved")

# From the video to the bar: the bar stays up and its buttons can be reached.
b = show_bar(moved)
if b:
    sx, sy = moved["x"] + moved["w"] // 2, b["y"] - 40
    tx, ty = b["x"] + 200, b["y"] + 14
    for i in range(1, 9):
        d.pointer(sx + (tx - sx) * i / 8, sy + (ty - sy) * i / 8)
        time.sleep(0.04)
    time.sleep(1.2)
    c.check(bar() is not None, "the bar stays up while the pointer travels from the video onto it")
    export = app.widget(tooltip="export or trim")
    c.check(export is not None, "the bar's export button is there to be clicked")

# Drag the bar by its free area (between the volume and the play button, above the progress).
b = show_bar(player_window())
if b:
    d.screenshot("floating-bar-before-drag")
    grab_x, grab_y = b["x"] + 220, b["y"] + 12
    # The bar is 603 wide on a 640 window: a little room across, plenty upwards.
    d.drag(grab_x, grab_y, grab_x - 12, grab_y - 70)
    time.sleep(0.3)
    after = bar()
    c.check(after is not None, "the bar is still up after a drag")
    if after:
        c.near(after["x"], b["x"] - 12, 2, "a drag of the bar's free area moves it across")
        c.near(after["y"], b["y"] - 70, 2, "a drag of the bar's free area moves it up")
    d.screenshot("floating-bar-after-drag")
    # Dragged further left than there is room, it stops at the window's edge.
    w = player_window()
    d.drag(grab_x - 12, grab_y - 70, w["x"] + 5, grab_y - 70)
    time.sleep(0.3)
    after = bar()
    if c.check(after is not None, "the bar is still up after a drag past the window's edge"):
        c.near(after["x"], w["x"], 1, "the bar stops at the window's left edge")

# Full screen from the bar's button: the bar sits 25 points above the screen's bottom, and
# Esc leaves full screen (the bar is the key window there) before it closes anything.
def wm_state(wid):
    return d.x(["xprop", "-id", str(wid), "_NET_WM_STATE"])


def bar_windows_in_task_bars():
    """The program's windows other than the main, player and full-screen windows (the bar
    and its panels) that a task bar would list."""
    listed = []
    for w in app.x_windows():
        if w["id"] == main["id"] or w["name"].startswith("clip.mp4"):
            continue
        if "_NET_WM_STATE_SKIP_TASKBAR" not in wm_state(w["id"]):
            listed.append(w)
    return listed


def full_screen_window():
    return next((w for w in app.x_windows() if w["w"] == d.width and w["h"] == d.height), None)


b = show_bar(player_window())
full = app.widget(tooltip="Full Screen")
if c.check(b is not None and full is not None, "the bar has its full-screen button"):
    app.click_widget(full)
    fs = wait(full_screen_window, 5)
    c.check(fs is not None, "the full-screen button fills the screen")
    if fs:
        # Asked of the window manager, so it covers the panels' margins too.
        c.check("_NET_WM_STATE_FULLSCREEN" in wm_state(fs["id"]), "the full-screen window is full screen for the window manager",
                wm_state(fs["id"]))
        c.check((fs["x"], fs["y"], fs["w"], fs["h"]) == (0, 0, d.width, d.height), "it covers the whole screen", str(fs))
    d.pointer(d.width // 2, d.height // 3)
    time.sleep(0.2)
    d.pointer(d.width // 2 + 20, d.height // 3 + 10)
    fb = wait(bar, 5)
    if c.check(fb is not None, "the bar shows over the full-screen picture"):
        c.near(fb["x"], (d.width - BAR_W) // 2, 2, "the full-screen bar is centred")
        c.near(fb["y"] + BAR_H, d.height - 25, 2, "the full-screen bar sits 25 points above the screen's bottom")
    d.screenshot("player-window-full-screen")
    d.key("Escape")
    c.check(wait(lambda: full_screen_window() is None, 5), "Esc leaves full screen")
    c.check(player_window() is not None, "and the player window stays")

# The keys stay with the player window after a click on its bar: on play, in trim mode, on
# the frame-stepping panel and after full screen.
def click_bar_play(b):
    d.click(b["x"] + BAR_W // 2, b["y"] + 15)


def reopen():
    w = player_window()
    if w is None:
        d.key("ctrl+Return")
        w = wait(player_window, 15)
        time.sleep(0.5)
    return w


w = player_window()
b = show_bar(w)
c.check(bar_windows_in_task_bars() == [], "the bar stays out of task bars", str(bar_windows_in_task_bars()))
if b:
    click_bar_play(b)
    time.sleep(0.5)
    click_bar_play(b)
    time.sleep(0.5)
    d.key("Escape")
    c.check(wait(lambda: player_window() is None, 5), "Esc closes the player window after a click on the bar's play button")

w = reopen()
b = show_bar(w) if w else None
export = app.widget(tooltip="export or trim")
if c.check(b is not None and export is not None, "the bar is back on the reopened window"):
    app.click_widget(export)
    time.sleep(0.5)
    d.key("Up", "Return")  # the menu's last entry: Trim
    trim = wait(lambda: app.widget(text="Trim", cls="LXButton"), 5)
    cut = next(iter(app.widgets_on(bar(), cls="LXCutSlider") if bar() else []), None)
    if c.check(trim is not None and cut is not None, "the bar's menu turns it to trim mode"):
        # The pointer over the left cut's handle lifts its frame-stepping panel.
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
            d.click(panel["x"] + 94, panel["y"] + 12)  # one step later
            time.sleep(0.4)
        c.check(bar_windows_in_task_bars() == [], "the bar and its panel stay out of task bars",
                str(bar_windows_in_task_bars()))
        app.click_widget(trim)
        time.sleep(0.5)
    d.key("ctrl+w")
    c.check(wait(lambda: player_window() is None, 5), "Ctrl+W closes the player window after a click in trim mode")

w = reopen()
b = show_bar(w) if w else None
full = app.widget(tooltip="Full Screen")
if c.check(b is not None and full is not None, "the bar is back once more"):
    app.click_widget(full)
    wait(full_screen_window, 5)
    d.pointer(d.width // 2, d.height // 3)
    time.sleep(0.2)
    d.pointer(d.width // 2 + 20, d.height // 3 + 10)
    fb = wait(bar, 5)
    c.check(fb is not None and bar_windows_in_task_bars() == [], "the full-screen bar stays out of task bars",
            str(bar_windows_in_task_bars()))
    leave = app.widget(tooltip="Exit Full Screen")
    if c.check(fb is not None and leave is not None, "the full-screen bar has its button to leave"):
        click_bar_play(fb)
        time.sleep(0.5)
        fb = bar() or show_bar(player_window())
        leave = app.widget(tooltip="Exit Full Screen")
        app.click_widget(leave)
        c.check(wait(lambda: full_screen_window() is None, 5), "the bar's button leaves full screen")
        time.sleep(0.5)
        d.key("Escape")
        c.check(wait(lambda: player_window() is None, 5), "Esc closes the player window after full screen from the bar")

# Esc closes the player window; Ctrl+W does too.
w = reopen()
d.x(["xdotool", "windowactivate", "--sync", str(w["id"])])
d.key("Escape")
c.check(wait(lambda: player_window() is None, 5), "Esc closes the player window")
c.check(wait(lambda: bar() is None, 3), "its bar goes with it")
d.key("ctrl+Return")
w = wait(player_window, 15)
if c.check(w is not None, "the player window opens again"):
    d.x(["xdotool", "windowactivate", "--sync", str(w["id"])])
    d.key("ctrl+w")
    c.check(wait(lambda: player_window() is None, 5), "Ctrl+W closes the player window")
c.check(app.alive() and app.main_window() is not None, "the main window stays")
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
