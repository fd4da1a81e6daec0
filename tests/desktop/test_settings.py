#!/usr/bin/env python3
"""The settings sheet's stepper for the number of conversions at once, clicked with the
pointer: each half steps the limit, which is shown, stored, and kept within 1..10, and the
spin control beside it follows. Then the trim editor's audio menu opens wide enough for
its track names.
"""
import configparser
import time

from desktop import App, Checks, Desktop, fixture, wait

c = Checks("settings")
d = Desktop()
app = App(d, [fixture("multi.mkv")], settings="[General]\nallowConvertingMaxCount=2\n")


def setting(key):
    cp = configparser.ConfigParser()
    cp.read(app.settings_path())
    return cp.get("General", key, fallback=None)


def count_label():
    tip = app.widget(cls="LXLabel", text="Allow converting videos at the same time")
    if not tip:
        return None
    same_line = [w for w in app.widgets(cls="LXLabel") if w is not tip and abs(w["rect"][1] - tip["rect"][1]) < 12
                 and w["rect"][0] > tip["rect"][0] + tip["rect"][2] - 4]
    return same_line[0].get("text") if same_line else None


wait(lambda: app.widget(cls="vcTableCellWidget"), 20)
app.click_widget(app.widget(cls="LXButton", tooltip="Preferences"))
c.check(wait(lambda: count_label() == "2", 5), "the sheet shows the stored limit", str(count_label()))
stepper = app.widget(name="ODUpDownStepBtn")
if c.check(stepper is not None, "the sheet has a stepper beside the limit"):
    x, y, w, h = stepper["rect"]
    spin = app.widget(cls="LXSpinButton")
    c.check(spin is not None and abs(spin["rect"][1] + spin["rect"][3] / 2 - (y + h / 2)) <= 3
            and spin["rect"][0] + spin["rect"][2] <= x, "it sits on the spin control's line, to its right")
    plus, minus = (x + w * 3 // 4, y + h // 2), (x + w // 4, y + h // 2)
    d.click(*plus)
    c.check(wait(lambda: count_label() == "3" and setting("allowConvertingMaxCount") == "3", 5),
            "its plus half raises the limit, shown and stored", "%s %s" % (count_label(), setting("allowConvertingMaxCount")))
    d.screenshot("settings-sheet-stepper")
    for _ in range(4):
        d.click(*minus)
        time.sleep(0.1)
    c.check(wait(lambda: count_label() == "1" and setting("allowConvertingMaxCount") == "1", 5),
            "its minus half lowers it, never below one", "%s %s" % (count_label(), setting("allowConvertingMaxCount")))
    # The spin control steps from what the stepper left.
    if spin:
        sx, sy, sw, sh = spin["rect"]
        d.click(sx + sw // 2, sy + sh // 4)
        c.check(wait(lambda: count_label() == "2" and setting("allowConvertingMaxCount") == "2", 5),
                "the spin control's upper half steps on from the stepper's value", str(count_label()))
app.click_widget(app.widget(cls="LXButton", text="Done"))
wait(lambda: count_label() is None, 5)

# The trim editor's audio menu: the French Vorbis track's name is not cut off.
app.click_widget(app.widget(cls="vcTableCellWidget"))
d.key("ctrl+e")
menus = wait(lambda: [w for w in app.widgets(cls="LXPopupButtonCell")], 15)
if c.check(bool(menus), "the trim editor shows its track menus"):
    time.sleep(1.0)
    audio = max(app.widgets(cls="LXPopupButtonCell"), key=lambda w: w["rect"][0])
    app.click_widget(audio)
    popup = wait(lambda: next((w for w in app.report()["windows"] if w["class"] == "QComboBoxPrivateContainer"), None), 5)
    if c.check(popup is not None, "the audio menu opens"):
        d.screenshot("trim-editor-audio-menu")
        # The list shows every name whole; the button, showing one of them, is as wide
        # (less the room the list keeps for a scroll bar).
        c.check(audio["rect"][2] >= popup["frame"][2] - 16, "the audio button is as wide as its list of names",
                "%s vs %s" % (audio["rect"][2], popup["frame"][2]))
        d.key("Down")
        d.key("Return")
        time.sleep(0.5)
        d.screenshot("trim-editor-audio-button")
c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
