#!/usr/bin/env python3
"""The window in German: with LANGUAGE=de (and LANG=de_DE.UTF-8, a locale the machine need
not have: Qt reads the language from the variables, not from the C library), every text of
the main window, the settings sheet, the parameter editor, the trim editor, the player
window, a question and Qt's own file chooser is German, and none is cut off. A shown text
(text, tool tip, accessible name, window title) passes when it is one of the German
translations (its placeholders filled in), or is the same in both languages (a small list
of words, file names, times and numbers, format names); anything else, an English text
above all, fails. A picture of each screen goes to build/shots/desktop/german-*.png.
"""
import os
import re
import subprocess
import time
import xml.etree.ElementTree as ET

from desktop import App, BIN_DIR, Checks, Desktop, fixture, wait

HERE = os.path.dirname(os.path.abspath(__file__))
TS = os.path.join(HERE, "..", "..", "translations", "cinvora_de.ts")

# Words that read the same in German and English.
SAME = {"Audio", "AUDIO", "VIDEO", "Codec", "Pause", "Position", "OK", "Normal", "Cinvora", "Facebook", "Youtube", "YouTube", "#",
        }
# Qt's own texts of its file chooser, which must not be English either.
QT_ENGLISH = {"Look in:", "File name:", "Files of type:", "Open", "Cancel", "Back", "Forward", "Parent Directory",
              "Create New Folder", "List View", "Detail View", "Name", "Size", "Type", "Date Modified"}


def pattern(text):
    """A translation or source as a pattern: its placeholders stand for any text."""
    parts = re.split(r"(%[1-9n@])", text)
    return "".join(".+" if re.fullmatch(r"%[1-9n@]", p) else re.escape(p) for p in parts)


def load_texts():
    german, english = [], []
    for m in ET.parse(TS).getroot().iter("message"):
        src = m.find("source").text
        tr = m.find("translation")
        forms = [f.text for f in tr.findall("numerusform")] or [tr.text]
        for f in forms:
            if f and f != src:
                german.append(re.compile(pattern(f), re.S))
        if src not in SAME:
            english.append(re.compile(pattern(src), re.S))
    return german, english


GERMAN, ENGLISH = load_texts()
NUMBERS = re.compile(r"[\d\s:./*%()x+\-–]*")
# Extensions and codec names ("mov", "h264", "aac"), and paths (the export folder).
NAMES = re.compile(r"[a-z0-9]{2,6}|/.*")

c = Checks("german")
d = Desktop()
src = fixture("short.mp4")
captions = set()
out = subprocess.run([os.path.join(BIN_DIR, "cinvora-cli"), "formats"], capture_output=True, text=True).stdout
for line in out.splitlines():
    if line.strip():
        key = line.split("\t")[0]
        captions.add(re.sub(r"^.--", "", key.split(".", 1)[-1]))


def judge(texts, data):
    """(German, same in both, foreign): the texts sorted; data are the texts that come
    from the user's files and folders."""
    german, same, foreign = [], [], []
    for t in texts:
        s = t.strip()
        if not s or NUMBERS.fullmatch(s) or NAMES.fullmatch(s) or s in SAME or s in captions or any(x and x in s for x in data):
            if any(g.fullmatch(s) for g in GERMAN):
                german.append(s)
            else:
                same.append(s)
        elif any(g.fullmatch(s) for g in GERMAN):
            german.append(s)
        else:
            foreign.append(s)
    return german, same, foreign


def shown(windows):
    texts = []
    for win in windows:
        for k in ("title", "text", "toolTip", "accessibleName"):
            if win.get(k):
                texts.append(win[k])
        for w in win["widgets"]:
            for k in ("text", "toolTip", "accessibleName"):
                if w.get(k):
                    texts.append(w[k])
    return texts


def cut(windows):
    """Texts that their labels cut off: a drawn label's text wider than the label, a
    Qt label's text wider or taller than its contents."""
    found = []
    for win in windows:
        for w in win["widgets"]:
            if w.get("textFits") is False:
                found.append(w.get("text"))
            size = w.get("textSize")
            if size and w["class"] == "QLabel" and (size[0] > w["rect"][2] + 1 or size[1] > w["rect"][3] + 1):
                found.append(w.get("text"))
    return found


def screen(name, windows, data=()):
    texts = shown(windows)
    clipped = cut(windows)
    c.check(not clipped, "no text of the %s is cut off" % name, repr(clipped))
    german, same, foreign = judge(texts, list(data))
    english = [t for t in foreign if any(e.fullmatch(t.strip()) for e in ENGLISH)]
    print("%s: %d texts, %d German, %d the same in both languages" % (name, len(texts), len(german), len(same)))
    c.check(len(german) > 0 and not foreign, "every text of the %s is German" % name,
            "English: %r; neither German nor the same in both: %r" % (english, [t for t in foreign if t not in english]))
    d.screenshot("german-" + name.replace(" ", "-"))
    return german


app = App(d, [src], env={"LANGUAGE": "de", "LANG": "de_DE.UTF-8", "LC_ALL": ""})
export_folder = os.path.join(app.home, "Videos")
data = [os.path.basename(src), src, "short", export_folder]
row = wait(lambda: app.widget(cls="vcTableCellWidget"), 20)
app.click_widget(row)
time.sleep(1.0)
main = app.report()["windows"]
screen("main window", main, data)

# The settings sheet.
app.click_widget(app.widget(cls="LXButton", tooltip="Einstellungen"))
sheet = wait(lambda: app.widget(cls="LXButton", text="Fertig"), 5)
if c.check(sheet is not None, "the settings sheet opens"):
    time.sleep(0.5)
    wins = app.report()["windows"]
    # The sheet's own widgets: those not on the main window's list of a moment ago.
    before = {(w["class"], w.get("text"), tuple(w["rect"])) for win in main for w in win["widgets"]}
    for win in wins:
        win["widgets"] = [w for w in win["widgets"] if (w["class"], w.get("text"), tuple(w["rect"])) not in before]
    screen("settings sheet", wins, data)
    app.click_widget(app.widget(cls="LXButton", text="Fertig"))
    wait(lambda: app.widget(cls="LXButton", text="Fertig") is None, 5)

# The parameter editor, from the chosen format's settings button.
def inside(w, box):
    x, y, ww, hh = box["rect"]
    return x <= w["rect"][0] < x + ww and y <= w["rect"][1] < y + hh


tile = next((w for w in app.widgets(cls="LXImageCellView") if w.get("selected")), None)
gear = [w for w in app.widgets(cls="LXButton") if tile and inside(w, tile) and w["rect"][2] < 40]
if c.check(len(gear) == 1, "the chosen format shows its settings button"):
    app.click_widget(gear[0])
    editor = wait(lambda: app.widget(window="ODMediaInfoEdit", cls="QComboBox"), 10)
    if c.check(editor is not None, "the settings button opens the parameter editor"):
        time.sleep(0.5)
        screen("parameter editor", [w for w in app.report()["windows"] if w.get("class") == "ODMediaInfoEdit"
                                    or w.get("name") == "ODMediaInfoEdit"], data)
        app.click_widget(app.widget(window="ODMediaInfoEdit", cls="LXButton", text="Abbrechen"))
        wait(lambda: not app.widgets(window="ODMediaInfoEdit"), 5)

# A question: removing every item asks first; Escape answers "Nein".
app.click_widget(app.widget(tooltip="Alle Elemente entfernen"))
box = wait(lambda: next((w for w in app.report()["windows"] if w.get("class") == "QMessageBox"), None), 5)
if c.check(box is not None, "removing every item asks first"):
    screen("question", [box], data)
    c.check(any(w.get("text") == "Ja" for w in box["widgets"]) and any(w.get("text") == "Nein" for w in box["widgets"]),
            "its buttons are \"Ja\" and \"Nein\"")
    d.key("Escape")
    wait(lambda: not any(w.get("class") == "QMessageBox" for w in app.report()["windows"]), 5)
c.check(app.widget(cls="vcTableCellWidget") is not None, "\"Nein\" keeps the list")

# Qt's own file chooser, from the add button: Qt's translation is loaded too.
app.click_widget(app.widget(cls="LXButton", tooltip="Dateien hinzufügen"))
chooser = wait(lambda: next((w for w in app.report()["windows"] if w.get("class") == "QFileDialog"), None), 8)
if c.check(chooser is not None, "the add button opens the file chooser"):
    time.sleep(0.5)
    chooser = next(w for w in app.report()["windows"] if w.get("class") == "QFileDialog")
    texts = [t.strip() for t in shown([chooser])]
    c.check(not (set(texts) & QT_ENGLISH) and ("Abbrechen" in texts or "Öffnen" in texts),
            "the file chooser speaks German too", repr(sorted(set(texts) & QT_ENGLISH)))
    d.screenshot("german-file-chooser")
    d.key("Escape")
    wait(lambda: not any(w.get("class") == "QFileDialog" for w in app.report()["windows"]), 5)

# The trim editor.
app.click_widget(app.widget(cls="vcTableCellWidget"))
d.key("ctrl+e")
done = wait(lambda: app.widget(tooltip="Fertig"), 15)
if c.check(done is not None, "Ctrl+E opens the trim editor"):
    time.sleep(1.5)
    screen("trim editor", app.report()["windows"], data)
    app.click_widget(app.widget(tooltip="Fertig"))
    wait(lambda: app.widget(tooltip="Fertig") is None, 10)

# The player window, with its bar over the video.
app.click_widget(app.widget(cls="vcTableCellWidget"))
d.key("ctrl+Return")
player = wait(lambda: next((w for w in app.x_windows() if w["name"].startswith("short.mp4")), None), 15)
if c.check(player is not None, "Ctrl+Return opens the player window"):
    time.sleep(0.5)
    for dx in (0, 15, 30):
        d.pointer(player["x"] + player["w"] // 2 + dx, player["y"] + player["h"] // 3)
        time.sleep(0.15)
    time.sleep(0.5)
    screen("player window", [w for w in app.report()["windows"] if w.get("class") != "ODMyDocumentWindow"], data)
    d.key("Escape")
    wait(lambda: not any(w["name"].startswith("short.mp4") for w in app.x_windows()), 10)

c.check(app.quit() == 0, "the program quits cleanly")
c.finish()
