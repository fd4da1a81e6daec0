<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Facebook</name>
    <message>
        <source>No Facebook application identifier or client token is configured.</source>
        <translation>Es ist keine Facebook-Anwendungskennung und kein Client-Token eingerichtet.</translation>
    </message>
    <message>
        <source>The sign-in code expired before it was confirmed on Facebook.</source>
        <translation>Der Anmeldecode ist abgelaufen, bevor er auf Facebook bestätigt wurde.</translation>
    </message>
    <message>
        <source>Sign in to Facebook before uploading.</source>
        <translation>Melden Sie sich vor dem Hochladen bei Facebook an.</translation>
    </message>
    <message>
        <source>Choose a Facebook Page to publish the video on.</source>
        <translation>Wählen Sie eine Facebook-Seite, auf der das Video veröffentlicht werden soll.</translation>
    </message>
    <message>
        <source>Facebook takes MP4 video files only.</source>
        <translation>Facebook nimmt nur MP4-Videodateien an.</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>no folder to write into</source>
        <translation>kein Ordner zum Schreiben</translation>
    </message>
    <message>
        <source>%1 is not a file name</source>
        <translation>%1 ist kein Dateiname</translation>
    </message>
    <message>
        <source>this drive does not allow %1 in file names</source>
        <translation>dieses Laufwerk erlaubt %1 nicht in Dateinamen</translation>
    </message>
    <message>
        <source>a name made from %1 cannot be made short enough: this drive takes %2 bytes at most</source>
        <translation>ein aus %1 gebildeter Name lässt sich nicht genug kürzen: dieses Laufwerk erlaubt höchstens %2 Bytes</translation>
    </message>
    <message>
        <source>shortened to the %1-byte name limit</source>
        <translation>auf die Namensgrenze von %1 Bytes gekürzt</translation>
    </message>
    <message>
        <source>named %1: %2</source>
        <translation>benannt als %1: %2</translation>
    </message>
    <message>
        <source>cannot create %1: %2</source>
        <translation>%1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>every numbered name of %1 is taken</source>
        <translation>alle nummerierten Namen von %1 sind vergeben</translation>
    </message>
    <message>
        <source>cannot create %1: this drive does not allow %2 in file names</source>
        <translation>%1 kann nicht angelegt werden: dieses Laufwerk erlaubt %2 nicht in Dateinamen</translation>
    </message>
    <message>
        <source>cannot create %1: the name is longer than the %2 bytes this drive takes</source>
        <translation>%1 kann nicht angelegt werden: der Name ist länger als die %2 Bytes, die dieses Laufwerk erlaubt</translation>
    </message>
    <message>
        <source>%1 exists; not overwriting it</source>
        <translation>%1 ist bereits vorhanden und wird nicht überschrieben</translation>
    </message>
    <message>
        <source>%1 is being written by another conversion</source>
        <translation>%1 wird gerade von einer anderen Konvertierung geschrieben</translation>
    </message>
    <message>
        <source>its name is not valid UTF-8, and %1 files in its folder read the same</source>
        <translation>ihr Name ist kein gültiges UTF-8, und %1 Dateien in ihrem Ordner lesen sich gleich</translation>
    </message>
</context>
<context>
    <name>FormatCaption</name>
    <message>
        <source>Android Phone</source>
        <translation>Android-Smartphone</translation>
    </message>
    <message>
        <source>Android Tablet</source>
        <translation>Android-Tablet</translation>
    </message>
    <message>
        <source>TV Box</source>
        <translation>TV-Box</translation>
    </message>
</context>
<context>
    <name>Http</name>
    <message>
        <source>The server answered %1 %2.</source>
        <translation>Der Server antwortete mit %1 %2.</translation>
    </message>
    <message>
        <source>The server&apos;s answer could not be understood.</source>
        <translation>Die Antwort des Servers war unverständlich.</translation>
    </message>
</context>
<context>
    <name>LXButton</name>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>LXCutSlider</name>
    <message>
        <source>Start of the kept range</source>
        <translation>Anfang des behaltenen Bereichs</translation>
    </message>
    <message>
        <source>End of the kept range</source>
        <translation>Ende des behaltenen Bereichs</translation>
    </message>
    <message>
        <source>Kept range</source>
        <translation>Behaltener Bereich</translation>
    </message>
</context>
<context>
    <name>LXExportConversion</name>
    <message>
        <source>cannot create an output file for %1: %2</source>
        <translation>für %1 kann keine Ausgabedatei angelegt werden: %2</translation>
    </message>
</context>
<context>
    <name>LXExportWindowController</name>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Export successfully</source>
        <translation>Export erfolgreich</translation>
    </message>
    <message>
        <source>Quality (SSIM): %1</source>
        <translation>Qualität (SSIM): %1</translation>
    </message>
</context>
<context>
    <name>LXFaceBookShareWindowController</name>
    <message>
        <source>Unknow</source>
        <translation>Unbekannt</translation>
    </message>
</context>
<context>
    <name>LXImageCellView</name>
    <message>
        <source>Settings of this format</source>
        <translation>Einstellungen dieses Formats</translation>
    </message>
</context>
<context>
    <name>LXMediaController</name>
    <message>
        <source>next frame</source>
        <translation>Nächstes Bild</translation>
    </message>
    <message>
        <source>apply current to left cut</source>
        <translation>Aktuelle Position als Anfang setzen</translation>
    </message>
    <message>
        <source>apply current to right cut</source>
        <translation>Aktuelle Position als Ende setzen</translation>
    </message>
    <message>
        <source>pause trim</source>
        <translation>Auswahl anhalten</translation>
    </message>
    <message>
        <source>pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>play trim</source>
        <translation>Auswahl abspielen</translation>
    </message>
    <message>
        <source>play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
</context>
<context>
    <name>LXMediaConvertController</name>
    <message>
        <source>the media library</source>
        <translation>Medienbibliothek</translation>
    </message>
    <message>
        <source>a file</source>
        <translation>Datei</translation>
    </message>
</context>
<context>
    <name>LXMediaEditController</name>
    <message>
        <source>current time</source>
        <translation>Aktuelle Zeit</translation>
    </message>
    <message>
        <source>end time</source>
        <translation>Endzeit</translation>
    </message>
    <message>
        <source>Subtitle</source>
        <translation>Untertitel</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>goto previous media</source>
        <translation>Zum vorherigen Medium</translation>
    </message>
    <message>
        <source>goto next media</source>
        <translation>Zum nächsten Medium</translation>
    </message>
    <message>
        <source>previous frame</source>
        <translation>Vorheriges Bild</translation>
    </message>
    <message>
        <source>done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Disable SubTitle</source>
        <translation>Untertitel aus</translation>
    </message>
    <message>
        <source>Plugin SubTitle</source>
        <translation>Untertiteldatei laden</translation>
    </message>
    <message>
        <source>Disable Audio</source>
        <translation>Ton aus</translation>
    </message>
    <message>
        <source>Choose a subtitle file</source>
        <translation>Untertiteldatei auswählen</translation>
    </message>
    <message>
        <source>SubRip subtitles (*.srt *.SRT)</source>
        <translation>SubRip-Untertitel (*.srt *.SRT)</translation>
    </message>
    <message>
        <source>Local</source>
        <translation>Lokal</translation>
    </message>
    <message>
        <source>Media library</source>
        <translation>Medienbibliothek</translation>
    </message>
    <message>
        <source>export this item</source>
        <translation>Dieses Element exportieren</translation>
    </message>
</context>
<context>
    <name>LXPlayerController</name>
    <message>
        <source>volume down</source>
        <translation>Leiser</translation>
    </message>
    <message>
        <source>volume up</source>
        <translation>Lauter</translation>
    </message>
    <message>
        <source>trim</source>
        <translation>Zuschneiden</translation>
    </message>
    <message>
        <source>pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>exit full screen</source>
        <translation>Vollbild verlassen</translation>
    </message>
    <message>
        <source>full screen</source>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
</context>
<context>
    <name>LXPlayerPlusEditorController</name>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>back to main window</source>
        <translation>Zurück zum Hauptfenster</translation>
    </message>
    <message>
        <source>export or trim</source>
        <translation>Exportieren oder zuschneiden</translation>
    </message>
    <message>
        <source>Exit Full Screen</source>
        <translation>Vollbild verlassen</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>seek to begin of triming</source>
        <translation>Zum Anfang der Auswahl springen</translation>
    </message>
    <message>
        <source>seek to end of triming</source>
        <translation>Zum Ende der Auswahl springen</translation>
    </message>
</context>
<context>
    <name>LXThumbImageTableView</name>
    <message>
        <source>Formats</source>
        <translation>Formate</translation>
    </message>
</context>
<context>
    <name>MyDocument</name>
    <message>
        <source>it is not a media file: it holds no picture or sound that can be read</source>
        <translation>keine Mediendatei: sie enthält kein lesbares Bild und keinen lesbaren Ton</translation>
    </message>
    <message>
        <source>there is nothing to convert: it has no length</source>
        <translation>nichts zu konvertieren: die Datei hat keine Länge</translation>
    </message>
    <message>
        <source>refused by rule: DVD files</source>
        <translation>laut Regel abgelehnt: DVD-Dateien</translation>
    </message>
    <message>
        <source>files of this kind are not converted</source>
        <translation>Dateien dieser Art werden nicht konvertiert</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) were not added</source>
        <translation>
            <numerusform>%n Datei wurde nicht hinzugefügt</numerusform>
            <numerusform>%n Dateien wurden nicht hinzugefügt</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>OAuthSignIn</name>
    <message>
        <source>The sign-in in the web browser did not finish in time.</source>
        <translation>Die Anmeldung im Webbrowser wurde nicht rechtzeitig abgeschlossen.</translation>
    </message>
    <message>
        <source>The sign-in is not configured (no client identifier).</source>
        <translation>Die Anmeldung ist nicht eingerichtet (keine Client-Kennung).</translation>
    </message>
    <message>
        <source>No local port could be opened for the sign-in.</source>
        <translation>Für die Anmeldung konnte kein lokaler Port geöffnet werden.</translation>
    </message>
    <message>
        <source>No web browser could be opened for the sign-in.</source>
        <translation>Für die Anmeldung konnte kein Webbrowser geöffnet werden.</translation>
    </message>
    <message>
        <source>The sign-in page answered without an authorization code.</source>
        <translation>Die Anmeldeseite antwortete ohne Autorisierungscode.</translation>
    </message>
    <message>
        <source>The sign-in service answered without an access token.</source>
        <translation>Der Anmeldedienst antwortete ohne Zugriffstoken.</translation>
    </message>
</context>
<context>
    <name>ODDocument</name>
    <message>
        <source>Apple Device</source>
        <translation>Apple-Geräte</translation>
    </message>
    <message>
        <source>Web Video</source>
        <translation>Web-Video</translation>
    </message>
    <message>
        <source>Common Video</source>
        <translation>Gängige Videos</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>Everything is already converted</source>
        <translation>Alles ist bereits konvertiert</translation>
    </message>
    <message>
        <source>Every item has been converted and has not changed since. Change an item&apos;s format or settings to convert it again.</source>
        <translation>Jedes Element wurde konvertiert und hat sich seitdem nicht geändert. Ändern Sie Format oder Einstellungen eines Elements, um es erneut zu konvertieren.</translation>
    </message>
</context>
<context>
    <name>ODMediaInfoEdit</name>
    <message>
        <source>Audio Information</source>
        <translation>Audio-Informationen</translation>
    </message>
    <message>
        <source>Video Information</source>
        <translation>Video-Informationen</translation>
    </message>
    <message>
        <source>Frame size</source>
        <translation>Bildgröße</translation>
    </message>
    <message>
        <source>Frame rate</source>
        <translation>Bildrate</translation>
    </message>
    <message>
        <source>Sample rate</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>QUALITY</source>
        <translation>QUALITÄT</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>High: larger file</source>
        <translation>Hoch: größere Datei</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Low: smallest file</source>
        <translation>Niedrig: kleinste Datei</translation>
    </message>
    <message>
        <source>(Defaults) %1*%2</source>
        <translation>(Standard) %1*%2</translation>
    </message>
    <message>
        <source>VIDEO</source>
        <translation>VIDEO</translation>
    </message>
    <message>
        <source>AUDIO</source>
        <translation>AUDIO</translation>
    </message>
    <message>
        <source>Codec</source>
        <translation>Codec</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Kanäle</translation>
    </message>
    <message>
        <source>SIZE OR QUALITY TARGET</source>
        <translation>GRÖSSE ODER QUALITÄTSZIEL</translation>
    </message>
    <message>
        <source>Fit in</source>
        <translation>Passend in</translation>
    </message>
    <message>
        <source>The largest size the converted file may have, in megabytes</source>
        <translation>Die größte Größe, die die umgewandelte Datei haben darf, in Megabyte</translation>
    </message>
    <message>
        <source> MB</source>
        <translation> MB</translation>
    </message>
    <message>
        <source>No limit</source>
        <translation>Keine Grenze</translation>
    </message>
    <message>
        <source>Target quality</source>
        <translation>Zielqualität</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Visually lossless (SSIM 0.99)</source>
        <translation>Visuell verlustfrei (SSIM 0,99)</translation>
    </message>
    <message>
        <source>Good (SSIM 0.98)</source>
        <translation>Gut (SSIM 0,98)</translation>
    </message>
    <message>
        <source>Small (SSIM 0.96)</source>
        <translation>Klein (SSIM 0,96)</translation>
    </message>
    <message>
        <source>SSIM %1</source>
        <translation>SSIM %1</translation>
    </message>
</context>
<context>
    <name>ODMyDocumentWindow</name>
    <message>
        <source>Cinvora menu</source>
        <translation>Cinvora-Menü</translation>
    </message>
    <message>
        <source>Send feedback</source>
        <translation>Rückmeldung senden</translation>
    </message>
    <message>
        <source>Support page</source>
        <translation>Hilfeseite</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Add files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Drop video or audio files here</source>
        <translation>Video- oder Audiodateien hierher ziehen</translation>
    </message>
    <message>
        <source>or click to choose them</source>
        <translation>oder klicken, um sie auszuwählen</translation>
    </message>
    <message>
        <source>Remove every item</source>
        <translation>Alle Elemente entfernen</translation>
    </message>
    <message>
        <source>Save to</source>
        <translation>Speichern in</translation>
    </message>
    <message>
        <source>Show the export folder</source>
        <translation>Exportordner anzeigen</translation>
    </message>
    <message>
        <source>Copy unchanged streams</source>
        <translation>Unveränderte Spuren kopieren</translation>
    </message>
    <message>
        <source>Copy a stream instead of encoding it again when its codec stays the same</source>
        <translation>Eine Spur kopieren statt neu kodieren, wenn ihr Codec gleich bleibt</translation>
    </message>
    <message numerus="yes">
        <source>%n item(s)</source>
        <translation>
            <numerusform>%n Element</numerusform>
            <numerusform>%n Elemente</numerusform>
        </translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Pause every conversion</source>
        <translation>Alle Konvertierungen anhalten</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konvertieren</translation>
    </message>
    <message>
        <source>Convert every item</source>
        <translation>Alle Elemente konvertieren</translation>
    </message>
    <message>
        <source>Others...</source>
        <translation>Anderer Ordner …</translation>
    </message>
    <message>
        <source>Choose the export folder</source>
        <translation>Exportordner auswählen</translation>
    </message>
    <message>
        <source>Media files (%1)</source>
        <translation>Mediendateien (%1)</translation>
    </message>
    <message>
        <source>%1 Feedback</source>
        <translation>Rückmeldung zu %1</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>Hide %1</source>
        <translation>%1 ausblenden</translation>
    </message>
    <message>
        <source>Quit %1</source>
        <translation>%1 beenden</translation>
    </message>
    <message>
        <source>A video and audio converter.</source>
        <translation>Ein Video- und Audiokonverter.</translation>
    </message>
    <message>
        <source>Open in Trim Editor</source>
        <translation>Im Schnitteditor öffnen</translation>
    </message>
    <message>
        <source>Apply this format to every item?</source>
        <translation>Dieses Format auf alle Elemente anwenden?</translation>
    </message>
    <message>
        <source>The output format and its parameters will change for all %1 items in the list.</source>
        <translation>Das Ausgabeformat und seine Parameter ändern sich für alle %1 Elemente der Liste.</translation>
    </message>
    <message>
        <source>Apply to All</source>
        <translation>Auf alle anwenden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Do not ask again</source>
        <translation>Nicht mehr fragen</translation>
    </message>
    <message>
        <source>Conversion failed</source>
        <translation>Konvertierung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Conversion finished</source>
        <translation>Konvertierung abgeschlossen</translation>
    </message>
    <message>
        <source>Upload finished</source>
        <translation>Hochladen abgeschlossen</translation>
    </message>
    <message>
        <source>Upload failed</source>
        <translation>Hochladen fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 is on %2.</source>
        <translation>%1 ist jetzt auf %2.</translation>
    </message>
    <message>
        <source>%1 was not uploaded to %2: %3</source>
        <translation>%1 wurde nicht auf %2 hochgeladen: %3</translation>
    </message>
    <message>
        <source>Export finished</source>
        <translation>Export abgeschlossen</translation>
    </message>
    <message>
        <source>Export failed</source>
        <translation>Export fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 is written.</source>
        <translation>%1 wurde geschrieben.</translation>
    </message>
    <message>
        <source>The export failed: %1</source>
        <translation>Der Export ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Open in Player Window</source>
        <translation>Im Player-Fenster öffnen</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
</context>
<context>
    <name>ODPreviewView</name>
    <message>
        <source>Select an item to preview it</source>
        <translation>Element für die Vorschau auswählen</translation>
    </message>
</context>
<context>
    <name>ODProgressController</name>
    <message>
        <source>Adding files</source>
        <translation>Dateien werden hinzugefügt</translation>
    </message>
    <message>
        <source>Restoring the list</source>
        <translation>Liste wird wiederhergestellt</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Stop adding files; the files added so far stay in the list</source>
        <translation>Hinzufügen beenden; die bisher hinzugefügten Dateien bleiben in der Liste</translation>
    </message>
    <message>
        <source>Stop restoring the list; the items restored so far stay</source>
        <translation>Wiederherstellen beenden; die bisher wiederhergestellten Elemente bleiben</translation>
    </message>
    <message>
        <source>loading...</source>
        <translation>Wird geladen …</translation>
    </message>
</context>
<context>
    <name>ODSettingController</name>
    <message>
        <source>Fewer or more conversions at the same time</source>
        <translation>Weniger oder mehr Konvertierungen gleichzeitig</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Copy streams when the codec stays the same</source>
        <translation>Spuren kopieren, wenn der Codec gleich bleibt</translation>
    </message>
    <message>
        <source>Ask before applying a format to every item</source>
        <translation>Fragen, bevor ein Format für alle gilt</translation>
    </message>
    <message>
        <source>Export folder</source>
        <translation>Exportordner</translation>
    </message>
    <message>
        <source>Keep awake while converting</source>
        <translation>Standby beim Konvertieren verhindern</translation>
    </message>
    <message>
        <source>Choose the export folder</source>
        <translation>Exportordner auswählen</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Verlauf leeren</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Allow converting videos at the same time</source>
        <translation>Gleichzeitig konvertierte Videos</translation>
    </message>
    <message>
        <source>Conversions at the same time</source>
        <translation>Gleichzeitige Konvertierungen</translation>
    </message>
    <message>
        <source>Even loudness (EBU R128, %1 LUFS)</source>
        <translation>Gleiche Lautheit (EBU R128, %1 LUFS)</translation>
    </message>
    <message>
        <source>Brings every output&apos;s sound to the same loudness; the sound is then always encoded, never copied</source>
        <translation>Bringt den Ton jeder Ausgabe auf dieselbe Lautheit; der Ton wird dann immer neu kodiert, nie kopiert</translation>
    </message>
    <message>
        <source>Even loudness</source>
        <translation>Gleiche Lautheit</translation>
    </message>
</context>
<context>
    <name>ResumableUpload</name>
    <message>
        <source>The upload request could not be made.</source>
        <translation>Die Upload-Anfrage konnte nicht gestellt werden.</translation>
    </message>
    <message>
        <source>The server did not take the data that was sent.</source>
        <translation>Der Server hat die gesendeten Daten nicht angenommen.</translation>
    </message>
</context>
<context>
    <name>SWMediaInfoManager</name>
    <message>
        <source>English</source>
        <translation>Englisch</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Französisch</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Spanisch</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Italienisch</translation>
    </message>
    <message>
        <source>Portuguese</source>
        <translation>Portugiesisch</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Niederländisch</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Russisch</translation>
    </message>
    <message>
        <source>Polish</source>
        <translation>Polnisch</translation>
    </message>
    <message>
        <source>Turkish</source>
        <translation>Türkisch</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Japanisch</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinesisch</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>Koreanisch</translation>
    </message>
    <message>
        <source>Arabic</source>
        <translation>Arabisch</translation>
    </message>
    <message>
        <source>Timed text</source>
        <translation>Zeitgesteuerter Text</translation>
    </message>
    <message>
        <source>DVD subtitles</source>
        <translation>DVD-Untertitel</translation>
    </message>
    <message>
        <source>PGS subtitles</source>
        <translation>PGS-Untertitel</translation>
    </message>
    <message>
        <source>DVB subtitles</source>
        <translation>DVB-Untertitel</translation>
    </message>
    <message>
        <source>mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>%1 channels</source>
        <translation>%1 Kanäle</translation>
    </message>
    <message>
        <source>Track %1</source>
        <translation>Spur %1</translation>
    </message>
</context>
<context>
    <name>Strings</name>
    <message>
        <source>Conversions are still running. Quit Cinvora and stop them?</source>
        <translation>Es laufen noch Konvertierungen. Cinvora beenden und sie abbrechen?</translation>
    </message>
    <message>
        <source>This item is being converted.</source>
        <translation>Dieses Element wird gerade konvertiert.</translation>
    </message>
    <message>
        <source>Conversions are running.</source>
        <translation>Es laufen Konvertierungen.</translation>
    </message>
    <message>
        <source>Hello, here is my feedback about Cinvora:</source>
        <translation>Hallo, hier ist meine Rückmeldung zu Cinvora:</translation>
    </message>
    <message>
        <source>support@cinvora.org</source>
        <translation>support@cinvora.org</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Remove every item from the list?</source>
        <translation>Alle Elemente aus der Liste entfernen?</translation>
    </message>
    <message>
        <source>Do you want to stop its conversion and remove it from the list?</source>
        <translation>Die Konvertierung abbrechen und das Element aus der Liste entfernen?</translation>
    </message>
    <message>
        <source>The history can be cleared once every conversion has finished.</source>
        <translation>Der Verlauf kann geleert werden, sobald alle Konvertierungen abgeschlossen sind.</translation>
    </message>
    <message>
        <source>This item is waiting to be converted.</source>
        <translation>Dieses Element wartet auf die Konvertierung.</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Export to local</source>
        <translation>Als Datei exportieren</translation>
    </message>
    <message>
        <source>Export to media library</source>
        <translation>In die Medienbibliothek exportieren</translation>
    </message>
    <message>
        <source>Export to Facebook</source>
        <translation>Zu Facebook exportieren</translation>
    </message>
    <message>
        <source>Export to Youtube</source>
        <translation>Zu YouTube exportieren</translation>
    </message>
    <message>
        <source>Trim</source>
        <translation>Zuschneiden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner anzeigen</translation>
    </message>
    <message>
        <source>Show the exported movie in the file manager?</source>
        <translation>Den exportierten Film in der Dateiverwaltung anzeigen?</translation>
    </message>
    <message>
        <source>Exporting the movie...</source>
        <translation>Der Film wird exportiert …</translation>
    </message>
    <message>
        <source>Choosing &apos;Yes&apos; stops the export and removes the unfinished file.</source>
        <translation>Mit „Ja“ wird der Export abgebrochen und die unfertige Datei gelöscht.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>The export failed.</source>
        <translation>Der Export ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Exporting to %@ is not available in this version.</source>
        <translation>Das Exportziel „%@“ ist in dieser Version nicht verfügbar.</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Später</translation>
    </message>
    <message>
        <source>The movie is ready</source>
        <translation>Der Film ist fertig</translation>
    </message>
    <message>
        <source>%@ past, about %@ left</source>
        <translation>%@ vergangen, noch etwa %@</translation>
    </message>
    <message>
        <source>Stop the export?</source>
        <translation>Export abbrechen?</translation>
    </message>
    <message>
        <source>A few words about this movie.</source>
        <translation>Ein paar Worte zu diesem Film.</translation>
    </message>
    <message>
        <source>Best</source>
        <translation>Beste</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>Change User</source>
        <translation>Benutzer wechseln</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Do you really want to cancel the movie %@?</source>
        <translation>Möchten Sie den Film %@ wirklich abbrechen?</translation>
    </message>
    <message>
        <source>Categories could not be loaded.</source>
        <translation>Die Kategorien konnten nicht geladen werden.</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Keywords</source>
        <translation>Stichwörter</translation>
    </message>
    <message>
        <source>Sign In</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Sign-in failed</source>
        <translation>Anmeldung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Open Video Page</source>
        <translation>Videoseite öffnen</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Preparing the upload...</source>
        <translation>Hochladen wird vorbereitet …</translation>
    </message>
    <message>
        <source>Private</source>
        <translation>Privat</translation>
    </message>
    <message>
        <source>Publish</source>
        <translation>Veröffentlichen</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Remember my account</source>
        <translation>Mein Konto merken</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Waiting for the browser...</source>
        <translation>Warten auf den Browser …</translation>
    </message>
    <message>
        <source>Page</source>
        <translation>Seite</translation>
    </message>
    <message>
        <source>You manage no Facebook Page to publish the video on.</source>
        <translation>Sie verwalten keine Facebook-Seite, auf der das Video veröffentlicht werden könnte.</translation>
    </message>
    <message>
        <source>Sign in to Facebook</source>
        <translation>Bei Facebook anmelden</translation>
    </message>
    <message>
        <source>Go to this address and enter the code below:</source>
        <translation>Öffnen Sie diese Adresse und geben Sie den folgenden Code ein:</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>My movie, made with %@</source>
        <translation>Mein Film, erstellt mit %@</translation>
    </message>
    <message>
        <source>Upload successful!</source>
        <translation>Erfolgreich hochgeladen!</translation>
    </message>
    <message>
        <source>Uploading...</source>
        <translation>Wird hochgeladen …</translation>
    </message>
    <message>
        <source>User name</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Loading...</source>
        <translation>Wird geladen …</translation>
    </message>
    <message>
        <source>Signing in...</source>
        <translation>Anmeldung läuft …</translation>
    </message>
    <message>
        <source>upload</source>
        <translation>Hochladen</translation>
    </message>
    <message>
        <source>Your web browser opens for the Google sign-in.</source>
        <translation>Ihr Webbrowser öffnet sich für die Google-Anmeldung.</translation>
    </message>
    <message>
        <source>Choosing &apos;Yes&apos; ends the movie %@; what was sent so far is discarded.</source>
        <translation>Mit „Ja“ wird der Film %@ beendet; was bisher gesendet wurde, wird verworfen.</translation>
    </message>
</context>
<context>
    <name>UploadSessions</name>
    <message>
        <source>The service opened no upload session.</source>
        <translation>Der Dienst hat keine Upload-Sitzung geöffnet.</translation>
    </message>
    <message>
        <source>The upload session has expired on the server.</source>
        <translation>Die Upload-Sitzung ist auf dem Server abgelaufen.</translation>
    </message>
    <message>
        <source>The service&apos;s answer to the upload could not be understood.</source>
        <translation>Die Antwort des Dienstes auf das Hochladen war unverständlich.</translation>
    </message>
    <message>
        <source>The service did not tell how much of the file it holds.</source>
        <translation>Der Dienst hat nicht mitgeteilt, wie viel von der Datei er bereits hat.</translation>
    </message>
    <message>
        <source>The service did not publish the video.</source>
        <translation>Der Dienst hat das Video nicht veröffentlicht.</translation>
    </message>
</context>
<context>
    <name>Upvelle</name>
    <message>
        <source>The sign-in has expired. Sign in again.</source>
        <translation>Die Anmeldung ist abgelaufen. Melden Sie sich erneut an.</translation>
    </message>
    <message>
        <source>YouTube sign-in is not set up in this build (no client identifier).</source>
        <translation>Die YouTube-Anmeldung ist in diesem Build nicht eingerichtet (keine Client-Kennung).</translation>
    </message>
    <message>
        <source>The sign-in was declined in the web browser.</source>
        <translation>Die Anmeldung wurde im Webbrowser abgelehnt.</translation>
    </message>
    <message>
        <source>This account has no YouTube channel to upload to.</source>
        <translation>Dieses Konto hat keinen YouTube-Kanal zum Hochladen.</translation>
    </message>
    <message>
        <source>The service offered no category.</source>
        <translation>Der Dienst bot keine Kategorie an.</translation>
    </message>
    <message>
        <source>Sign in to YouTube before uploading.</source>
        <translation>Melden Sie sich vor dem Hochladen bei YouTube an.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>cinvora: Cinvora is already running (process %1) and keeps the list %2; only one window may write it.</source>
        <translation>cinvora: Cinvora läuft bereits (Prozess %1) und führt die Liste %2; nur ein Fenster darf sie schreiben.</translation>
    </message>
    <message>
        <source>cinvora: the list %1 is in use by another Cinvora window (%2).</source>
        <translation>cinvora: Die Liste %1 wird von einem anderen Cinvora-Fenster verwendet (%2).</translation>
    </message>
</context>
<context>
    <name>vcAccessible</name>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Video</translation>
    </message>
</context>
<context>
    <name>vcBatchTally</name>
    <message numerus="yes">
        <source>%n file(s) converted, %1 failed.</source>
        <translation>
            <numerusform>%n Datei konvertiert, %1 fehlgeschlagen.</numerusform>
            <numerusform>%n Dateien konvertiert, %1 fehlgeschlagen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>0 files converted, %n stopped.</source>
        <translation>
            <numerusform>0 Dateien konvertiert, %n abgebrochen.</numerusform>
            <numerusform>0 Dateien konvertiert, %n abgebrochen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) converted.</source>
        <translation>
            <numerusform>%n Datei konvertiert.</numerusform>
            <numerusform>%n Dateien konvertiert.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vcOpenElsewhere</name>
    <message>
        <source>No program on this computer opened this address. You can copy it from here:</source>
        <translation>Kein Programm auf diesem Rechner hat diese Adresse geöffnet. Sie können sie hier kopieren:</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>No file manager showed this item. You can copy its path from here:</source>
        <translation>Keine Dateiverwaltung hat dieses Element angezeigt. Sie können seinen Pfad hier kopieren:</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Pfad</translation>
    </message>
</context>
<context>
    <name>vcOutcomeBadge</name>
    <message>
        <source>changed since converted</source>
        <translation>seit der Konvertierung geändert</translation>
    </message>
    <message>
        <source>done</source>
        <translation>konvertiert</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>vcTableCellView</name>
    <message>
        <source>Stopped</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Left time: %1</source>
        <translation>Restzeit: %1</translation>
    </message>
    <message>
        <source>cannot create the output file in %1</source>
        <translation>die Ausgabedatei kann in %1 nicht angelegt werden</translation>
    </message>
    <message>
        <source>the conversion did not finish</source>
        <translation>die Konvertierung wurde nicht abgeschlossen</translation>
    </message>
    <message>
        <source>Waiting for convert...</source>
        <translation>Wartet auf Konvertierung …</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Interrupted at %1%</source>
        <translation>Unterbrochen bei %1 %</translation>
    </message>
</context>
<context>
    <name>vcTableCellWidget</name>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner anzeigen</translation>
    </message>
    <message>
        <source>delete current item</source>
        <translation>Dieses Element entfernen</translation>
    </message>
    <message>
        <source>stop convert</source>
        <translation>Konvertierung abbrechen</translation>
    </message>
    <message>
        <source>Selected</source>
        <translation>Ausgewählt</translation>
    </message>
    <message>
        <source>Changed since converted: Convert makes it again</source>
        <translation>Seit der Konvertierung geändert: „Konvertieren“ erstellt es neu</translation>
    </message>
    <message>
        <source>%1
Converted to %2</source>
        <translation>%1
Konvertiert nach %2</translation>
    </message>
    <message>
        <source>%1
Failed: %2</source>
        <translation>%1
Fehlgeschlagen: %2</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>wartet</translation>
    </message>
    <message>
        <source>converting %1 %</source>
        <translation>wird konvertiert, %1 %</translation>
    </message>
    <message>
        <source>paused</source>
        <translation>angehalten</translation>
    </message>
    <message>
        <source>converted</source>
        <translation>konvertiert</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>No estimate: %1</source>
        <translation>Keine Schätzung: %1</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>Expected: about %1 in about %2</source>
        <translation>Erwartet: etwa %1 in etwa %2</translation>
    </message>
    <message>
        <source>Quality (SSIM): %1</source>
        <translation>Qualität (SSIM): %1</translation>
    </message>
    <message>
        <source>PSNR: %1 dB</source>
        <translation>PSNR: %1 dB</translation>
    </message>
</context>
<context>
    <name>vcTableView</name>
    <message>
        <source>Files to convert</source>
        <translation>Zu konvertierende Dateien</translation>
    </message>
</context>
</TS>
