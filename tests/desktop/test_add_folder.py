#!/usr/bin/env python3
"""The add-files dialog opens in the folder files were last added from, also after a restart,
and in ~/Videos while there is none or once that folder has gone. Files are chosen as a user
does: Ctrl+O, the file's path typed into the dialog, Return.
"""
import os
import shutil

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("add folder")
d = Desktop()
home = os.path.join(d.tmp, "home")
videos = os.path.join(home, "Videos")
elsewhere = os.path.join(home, "clips from the camera")
os.makedirs(videos)
os.makedirs(elsewhere)
clip = os.path.join(elsewhere, "clip.mp4")
shutil.copy(fixture("short.mp4"), clip)


def dialog_folder(app):
    """Opens the dialog with Ctrl+O and says which folder it shows (None: no dialog)."""
    main = app.main_window()
    if main:
        d.x(["xdotool", "windowactivate", "--sync", str(main["id"])])
    d.key("ctrl+o")
    look = wait(lambda: app.widget(cls="QComboBox", name="lookInCombo"), 10)
    return look and os.path.normpath(look.get("text", ""))


def close_dialog(app):
    d.key("Escape")
    return wait(lambda: not app.widget(cls="QComboBox", name="lookInCombo"), 5)


app = App(d, home=home)
c.check(dialog_folder(app) == videos, "with nothing added yet it opens in ~/Videos")
d.type(clip)
d.key("Return")
c.check(wait(lambda: app.widgets(cls="vcTableCellWidget"), 30), "the typed file is added")
shown = dialog_folder(app)
c.check(shown == elsewhere, "it opens next in the folder the file came from", repr(shown))
c.check(close_dialog(app), "Escape closes it")
c.check(app.quit() == 0, "the program quits cleanly")

app = App(d, home=home)
shown = dialog_folder(app)
c.check(shown == elsewhere, "after a restart it still opens there", repr(shown))
c.check(close_dialog(app), "Escape closes it")
shutil.rmtree(elsewhere)
shown = dialog_folder(app)
c.check(shown == videos, "once that folder has gone it opens in ~/Videos", repr(shown))
c.check(close_dialog(app), "Escape closes it")
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
