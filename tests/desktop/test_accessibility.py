#!/usr/bin/env python3
"""Cinvora as a screen reader meets it: a session bus of its own with the accessibility
bus and its registry (at-spi2-core), the program with Qt's bridge switched on, and its
tree read over AT-SPI (pyatspi). Every interactive element of the main window, the
settings sheet, the trim editor and the player window must have a name and a role that
says what it is (not a nameless pane); the counts are printed per window. Pressing
Convert through AT-SPI's action converts the file.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

# AT-SPI's Python binding is the system's: run under the interpreter that has it, on a
# private session bus where the accessibility bus is started on demand.
try:
    import pyatspi
except ImportError:
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise
if not os.environ.get("CINVORA_A11Y_BUS"):
    os.environ["CINVORA_A11Y_BUS"] = "1"
    os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable] + sys.argv)

from desktop import App, Checks, Desktop, make_clip, wait  # noqa: E402

# Roles a control may have; a pane, a filler or an unknown role says nothing of what it does.
VAGUE = {pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL, pyatspi.ROLE_UNKNOWN, pyatspi.ROLE_REDUNDANT_OBJECT,
         pyatspi.ROLE_INVALID}
INTERACTIVE_ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
                     pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SLIDER,
                     pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_MENU_ITEM,
                     pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT}

c = Checks("accessibility")
d = Desktop()
work = tempfile.mkdtemp(prefix="a11y-", dir=d.tmp)
out = os.path.join(work, "out")
os.makedirs(out)
clip = make_clip(os.path.join(work, "spoken.mp4"), 3)
app = App(d, [clip], settings="[General]\nexportMoviePath=%s\n" % out,
          env={"DBUS_SESSION_BUS_ADDRESS": os.environ["DBUS_SESSION_BUS_ADDRESS"],
               "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1", "NO_AT_BRIDGE": "0"})
wait(lambda: app.widget(cls="vcTableCellWidget"), 20)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name.lower() == "cinvora":
            return a
    return None


def states(acc):
    try:
        return acc.getState()
    except Exception:
        return None


def actions(acc):
    try:
        act = acc.queryAction()
    except NotImplementedError:
        return []
    return [act.getName(i) for i in range(act.nActions)]


def walk(acc, depth=0):
    if acc is None or depth > 40:
        return
    yield acc
    for i in range(acc.childCount):
        yield from walk(acc.getChildAtIndex(i), depth + 1)


def interactive(acc):
    s = states(acc)
    if s is None or not s.contains(pyatspi.STATE_VISIBLE):
        return False
    acts = [a for a in actions(acc) if a not in ("SetFocus", "setFocus")]
    return s.contains(pyatspi.STATE_FOCUSABLE) or acc.getRole() in INTERACTIVE_ROLES or bool(acts)


def survey(window, what):
    """Counts the window's interactive elements and those named with a telling role."""
    found = [a for a in walk(window) if interactive(a)]
    good = [a for a in found if a.name.strip() and a.getRole() not in VAGUE]
    print("%s: %d of %d interactive elements are named with the right role" % (what, len(good), len(found)))
    for a in found:
        if a not in good:
            x, y = a.queryComponent().getPosition(pyatspi.DESKTOP_COORDS)
            print("   nameless or vague: %s %r (%s) at %d,%d in %s %r" % (a.getRoleName(), a.name, a.description, x, y,
                                                                      a.parent.getRoleName(), a.parent.name))
    c.check(found and len(good) == len(found), "%s: every interactive element is named with its role" % what,
            "%d of %d" % (len(good), len(found)))
    return found


def window_named(pred, timeout=10):
    def look():
        a = application()
        if not a:
            return None
        for i in range(a.childCount):
            w = a.getChildAtIndex(i)
            if w is not None and pred(w):
                return w
        return None
    return wait(look, timeout, 0.3)


def find(root, role, name=None):
    for a in walk(root):
        if a.getRole() == role and (name is None or a.name == name):
            return a
    return None


appl = wait(application, 20, 0.5)
if not c.check(appl is not None, "the program is on the accessibility bus"):
    c.finish()
main = window_named(lambda w: w.name == "Cinvora")
c.check(main is not None, "its main window is a frame named Cinvora")
elements = survey(main, "main window")

# What a reader says of the pieces the window draws itself.
rows = [a for a in walk(main) if a.getRole() == pyatspi.ROLE_LIST_ITEM and a.name.startswith("spoken.mp4")]
c.check(bool(rows) and "MP4" in rows[0].name.upper(), "the job row is a list item named by its file and format",
        rows[0].name if rows else "")
convert = find(main, pyatspi.ROLE_PUSH_BUTTON, "Convert")
c.check(convert is not None and "Press" in actions(convert), "Convert is a button with a Press action")
tiles = [a for a in walk(main) if a.getRole() == pyatspi.ROLE_LIST_ITEM and a.parent is not None
         and a.parent.name == "Formats"]
c.check(len(tiles) > 3 and sum(1 for t in tiles if states(t).contains(pyatspi.STATE_SELECTED)) == 1,
        "the format grid is a list whose chosen tile is selected", str([(t.name) for t in tiles][:6]))
categories = [a for a in walk(main) if a.getRole() == pyatspi.ROLE_RADIO_BUTTON]
c.check(len(categories) == 4 and sum(1 for a in categories if states(a).contains(pyatspi.STATE_CHECKED)) == 1,
        "the categories are four radio buttons, one checked", str([a.name for a in categories]))
count = [a for a in walk(main) if a.getRole() == pyatspi.ROLE_LABEL and a.name == "1 item"]
c.check(bool(count), "the item count is read as text")
folder = find(main, pyatspi.ROLE_COMBO_BOX, "Save to")
c.check(folder is not None, "the export folder is a combo box named by its caption")

# The settings sheet, opened by its button's action.
prefs = find(main, pyatspi.ROLE_PUSH_BUTTON, "Preferences")
if c.check(prefs is not None, "the settings button is named"):
    prefs.queryAction().doAction(actions(prefs).index("Press"))
    sheet = window_named(lambda w: w.name == "Preferences" and w.getRole() != pyatspi.ROLE_FRAME or
                         find(w, pyatspi.ROLE_SPIN_BUTTON) is not None)
    if c.check(sheet is not None, "its Press action opens the settings sheet"):
        survey(sheet, "settings sheet")
        spin = find(sheet, pyatspi.ROLE_SPIN_BUTTON)
        c.check(spin is not None and spin.queryValue().currentValue == 2, "the limit is a spin button worth 2")
        done = find(sheet, pyatspi.ROLE_PUSH_BUTTON, "Done")
        if done:
            done.queryAction().doAction(actions(done).index("Press"))
            wait(lambda: window_named(lambda w: find(w, pyatspi.ROLE_SPIN_BUTTON) is not None, 0.5) is None, 5)

# Convert, pressed through AT-SPI.
main = window_named(lambda w: w.name == "Cinvora")
convert = find(main, pyatspi.ROLE_PUSH_BUTTON, "Convert")
if c.check(convert is not None, "Convert is found again"):
    convert.queryAction().doAction(actions(convert).index("Press"))
    made = wait(lambda: [n for n in os.listdir(out) if not n.startswith(".")], 90, 0.5)
    c.check(bool(made), "Convert's Press action converts: the output appears", str(os.listdir(out)))
    spoken = wait(lambda: [a.name for a in walk(main) if a.getRole() == pyatspi.ROLE_LIST_ITEM
                           and a.name.startswith("spoken.mp4") and a.name.endswith("converted")], 10, 0.5)
    c.check(bool(spoken), "the row's name says it is converted", str(spoken))

# The player window and the trim editor, opened by their keys.
rows = [a for a in walk(main) if a.getRole() == pyatspi.ROLE_LIST_ITEM and a.name.startswith("spoken.mp4")]
if rows:
    rows[0].queryAction().doAction(actions(rows[0]).index("Press"))
    c.check(wait(lambda: states(rows[0]).contains(pyatspi.STATE_SELECTED), 5), "a row's Press action selects it")
d.x(["xdotool", "windowactivate", "--sync", str(app.main_id)])
d.key("ctrl+Return")
shown = wait(lambda: any(w["name"].startswith("spoken.mp4") for w in app.x_windows()), 15)
player = window_named(lambda w: w.name.startswith("spoken.mp4"), 10) if shown else None
if c.check(player is not None, "Ctrl+Return opens the player window"):
    time.sleep(1.0)
    survey(player, "player window")
    d.key("ctrl+w")
    time.sleep(1.0)
d.x(["xdotool", "windowactivate", "--sync", str(app.main_id)])
d.key("ctrl+e")
editor = wait(lambda: app.widget(cls="LXCutSlider"), 10)
if c.check(editor is not None, "Ctrl+E opens the trim editor"):
    time.sleep(1.0)
    main = window_named(lambda w: w.name == "Cinvora")
    survey(main, "trim editor")
    cut = find(main, pyatspi.ROLE_SLIDER, "Kept range")
    c.check(cut is not None and cut.childCount == 2 and all(cut.getChildAtIndex(i).getRole() == pyatspi.ROLE_SLIDER
                                                              for i in range(2)),
            "the cut slider has its two handles as sliders")
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
