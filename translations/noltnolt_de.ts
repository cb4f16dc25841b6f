<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>ActionDispatcher</name>
    <message>
        <source>The command could not be completed.</source>
        <translation>Der Befehl konnte nicht ausgeführt werden.</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Could not create the folder</source>
        <translation>Fehler beim Anlegen des Ordners</translation>
    </message>
    <message>
        <source>About Nolt Nolt</source>
        <translation>Über Nolt Nolt</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Nolt Nolt&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;Plain-text notes, saved as you type.&lt;/p&gt;&lt;p&gt;&lt;a href=&quot;%2&quot;&gt;%2&lt;/a&gt;&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Nolt Nolt&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;Notizen als reiner Text, gespeichert beim Tippen.&lt;/p&gt;&lt;p&gt;&lt;a href=&quot;%2&quot;&gt;%2&lt;/a&gt;&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Plain text files (%1)</source>
        <translation>Textdateien (%1)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message numerus="yes">
        <source>%Ln new notes were not opened: Nolt Nolt makes at most %1 at once. The first of them is “%2” in “%3”.</source>
        <translation>
            <numerusform>%Ln neue Notiz wurde nicht geöffnet: Nolt Nolt legt höchstens %1 auf einmal an. Es ist „%2“ in „%3“.</numerusform>
            <numerusform>%Ln neue Notizen wurden nicht geöffnet: Nolt Nolt legt höchstens %1 auf einmal an. Die erste davon ist „%2“ in „%3“.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>AutoCorrector</name>
    <message>
        <source>Change Back to “%1”</source>
        <translation>Zurückändern in „%1“</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>unknown option “%1”</source>
        <translation>unbekannte Option „%1“</translation>
    </message>
    <message>
        <source>Usage: %1 [OPTION]... [--] [FILE]...
Plain-text notes, saved as you type. Opens each FILE, or a new note on the Desktop.

  -h, --help     show this help and exit
      --version  show the version and exit
      --self-test  check note naming, saving and reading in a temporary folder
  --             every argument after this is a file, even one that starts with &quot;-&quot;
</source>
        <translation>Aufruf: %1 [OPTION]... [--] [DATEI]...
Notizen als reiner Text, gespeichert beim Tippen. Öffnet jede DATEI oder eine neue Notiz auf dem Schreibtisch.

  -h, --help     diese Hilfe anzeigen und beenden
      --version  die Version anzeigen und beenden
      --self-test  Benennen, Speichern und Lesen von Notizen in einem temporären Ordner prüfen
  --             jedes weitere Argument ist eine Datei, auch wenn es mit „-“ beginnt
</translation>
    </message>
    <message>
        <source>Nolt Nolt %1
</source>
        <translation>Nolt Nolt %1
</translation>
    </message>
    <message>
        <source>%1: %2
To open a file whose name starts with &quot;-&quot;, put &quot;--&quot; before it.
Try &quot;%1 --help&quot; for more.
</source>
        <translation>%1: %2
Um eine Datei zu öffnen, deren Name mit „-“ beginnt, setzen Sie „--“ davor.
„%1 --help“ liefert weitere Informationen.
</translation>
    </message>
</context>
<context>
    <name>Document</name>
    <message>
        <source>Untitled</source>
        <translation>Unbenannt</translation>
    </message>
    <message>
        <source>“%1” is read-only. Choose another name or folder.</source>
        <translation>„%1“ ist schreibgeschützt. Wählen Sie einen anderen Namen oder Ordner.</translation>
    </message>
</context>
<context>
    <name>DocumentController</name>
    <message>
        <source>Could not open “%1”: it does not name a file on this computer.</source>
        <translation>„%1“ konnte nicht geöffnet werden: Es bezeichnet keine Datei auf diesem Rechner.</translation>
    </message>
</context>
<context>
    <name>DocumentMover</name>
    <message>
        <source>the new name is empty</source>
        <translation>Der neue Name ist leer</translation>
    </message>
    <message>
        <source>a name cannot contain “/”</source>
        <translation>Ein Name darf kein „/“ enthalten</translation>
    </message>
    <message>
        <source>a name cannot contain a null character</source>
        <translation>Ein Name darf kein Nullzeichen enthalten</translation>
    </message>
    <message>
        <source>“%1” is not a file name</source>
        <translation>„%1“ ist kein Dateiname</translation>
    </message>
    <message>
        <source>names of this form are kept for the temporary copies written while saving</source>
        <translation>Namen dieser Form sind den temporären Kopien vorbehalten, die beim Speichern entstehen</translation>
    </message>
    <message>
        <source>Could not rename “%1” to “%2”: %3.</source>
        <translation>„%1“ konnte nicht in „%2“ umbenannt werden: %3.</translation>
    </message>
    <message>
        <source>Could not move “%1”: the folder “%2” does not exist.</source>
        <translation>„%1“ konnte nicht verschoben werden: Der Ordner „%2“ existiert nicht.</translation>
    </message>
    <message>
        <source>Could not move “%1”: “%2” is not a folder.</source>
        <translation>„%1“ konnte nicht verschoben werden: „%2“ ist kein Ordner.</translation>
    </message>
</context>
<context>
    <name>DurableWriter</name>
    <message>
        <source>Could not save</source>
        <translation>Fehler beim Speichern von</translation>
    </message>
    <message>
        <source>. The folder does not allow new files, and a note is saved by writing a new copy beside it.</source>
        <translation>. Der Ordner erlaubt keine neuen Dateien, und eine Notiz wird gespeichert, indem eine neue Kopie daneben geschrieben wird.</translation>
    </message>
    <message>
        <source>. The note is locked against changes.</source>
        <translation>. Die Notiz ist gegen Änderungen gesperrt.</translation>
    </message>
    <message>
        <source>. In this folder only a file&apos;s owner may replace it, and the note belongs to someone else.</source>
        <translation>. In diesem Ordner darf nur der Eigentümer eine Datei ersetzen, und die Notiz gehört jemand anderem.</translation>
    </message>
    <message>
        <source>Could not create</source>
        <translation>Fehler beim Anlegen von</translation>
    </message>
    <message>
        <source>. Its previous text is kept in “%1”.</source>
        <translation>. Der vorherige Text ist in „%1“ erhalten.</translation>
    </message>
</context>
<context>
    <name>Editor</name>
    <message>
        <source>New Note</source>
        <translation>Neue Notiz</translation>
    </message>
    <message>
        <source>Document text</source>
        <translation>Dokumenttext</translation>
    </message>
    <message>
        <source>Plain text. Changes save automatically.</source>
        <translation>Reiner Text. Änderungen werden automatisch gespeichert.</translation>
    </message>
    <message>
        <source>Word count</source>
        <translation>Wortanzahl</translation>
    </message>
    <message>
        <source>…</source>
        <translation>…</translation>
    </message>
</context>
<context>
    <name>Error</name>
    <message>
        <source>%1 “%2” in “%3”: %4</source>
        <translation>%1 „%2“ in „%3“: %4</translation>
    </message>
</context>
<context>
    <name>FileManager</name>
    <message>
        <source>No program to open it is installed (xdg-open was not found).</source>
        <translation>Es ist kein Programm installiert, das es öffnen kann (xdg-open wurde nicht gefunden).</translation>
    </message>
    <message>
        <source>No program answered: xdg-open ended with status %1.</source>
        <translation>Kein Programm hat geantwortet: xdg-open endete mit Status %1.</translation>
    </message>
    <message>
        <source>xdg-open could not be started: %1</source>
        <translation>xdg-open konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>No program could open “%1”.</source>
        <translation>Kein Programm konnte „%1“ öffnen.</translation>
    </message>
    <message>
        <source>Install a web browser and a file manager, or choose default programs in your desktop&apos;s settings.</source>
        <translation>Installieren Sie einen Webbrowser und einen Dateimanager oder wählen Sie Standardprogramme in den Einstellungen Ihrer Arbeitsumgebung.</translation>
    </message>
</context>
<context>
    <name>FileMover</name>
    <message>
        <source>Could not rename “%1”: a file named “%2” already exists in “%3”.</source>
        <translation>„%1“ konnte nicht umbenannt werden: In „%3“ gibt es bereits eine Datei namens „%2“.</translation>
    </message>
    <message>
        <source>Could not move “%1”: a file named “%2” already exists in “%3”.</source>
        <translation>„%1“ konnte nicht verschoben werden: In „%3“ gibt es bereits eine Datei namens „%2“.</translation>
    </message>
    <message>
        <source>Could not rename “%1” to “%2” in “%3”: %4</source>
        <translation>„%1“ in „%3“ konnte nicht in „%2“ umbenannt werden: %4</translation>
    </message>
    <message>
        <source>Could not move “%1” from “%2” to “%3”: %4</source>
        <translation>„%1“ konnte nicht von „%2“ nach „%3“ verschoben werden: %4</translation>
    </message>
</context>
<context>
    <name>FindBar</name>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Search text</source>
        <translation>Suchtext</translation>
    </message>
    <message>
        <source>Previous match</source>
        <translation>Vorheriger Treffer</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Vorheriger</translation>
    </message>
    <message>
        <source>Next match</source>
        <translation>Nächster Treffer</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Nächster</translation>
    </message>
    <message>
        <source>Match count</source>
        <translation>Anzahl der Treffer</translation>
    </message>
    <message>
        <source>Match Case</source>
        <translation>Groß-/Kleinschreibung beachten</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>%1…</source>
        <translation>%1…</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>1 match</source>
        <translation>1 Treffer</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>%1 Treffer</translation>
    </message>
</context>
<context>
    <name>InPlaceSave</name>
    <message>
        <source>Could not put back the last complete version of</source>
        <translation>Fehler beim Wiederherstellen der letzten vollständigen Version von</translation>
    </message>
    <message>
        <source> (interrupted save)</source>
        <translation> (Speichern unterbrochen)</translation>
    </message>
    <message>
        <source> (interrupted save %1)</source>
        <translation> (Speichern unterbrochen %1)</translation>
    </message>
</context>
<context>
    <name>MenuTable</name>
    <message>
        <source>Show in Finder</source>
        <translation>Im &amp;Finder zeigen</translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation>&amp;Im Dateimanager anzeigen</translation>
    </message>
    <message>
        <source>Services</source>
        <translation>&amp;Dienste</translation>
    </message>
    <message>
        <source>About Nolt Nolt</source>
        <translation>&amp;Über Nolt Nolt</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Nach &amp;Aktualisierungen suchen …</translation>
    </message>
    <message>
        <source>Hide Others</source>
        <translation>A&amp;ndere ausblenden</translation>
    </message>
    <message>
        <source>Hide Nolt Nolt</source>
        <translation>Nolt Nolt a&amp;usblenden</translation>
    </message>
    <message>
        <source>Show All</source>
        <translation>Alle &amp;einblenden</translation>
    </message>
    <message>
        <source>Quit Nolt Nolt</source>
        <translation>Nolt Nolt &amp;beenden</translation>
    </message>
    <message>
        <source>Open Recent</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>Open…</source>
        <translation>&amp;Öffnen …</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation>Speichern &amp;unter …</translation>
    </message>
    <message>
        <source>Rename…</source>
        <translation>U&amp;mbenennen …</translation>
    </message>
    <message>
        <source>Move To…</source>
        <translation>&amp;Verschieben nach …</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>S&amp;chließen</translation>
    </message>
    <message>
        <source>Find…</source>
        <translation>&amp;Suchen …</translation>
    </message>
    <message>
        <source>Find and Replace…</source>
        <translation>Suchen und &amp;Ersetzen …</translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation>&amp;Weitersuchen</translation>
    </message>
    <message>
        <source>Find Previous</source>
        <translation>&amp;Rückwärts suchen</translation>
    </message>
    <message>
        <source>Use Selection for Find</source>
        <translation>&amp;Auswahl zum Suchen verwenden</translation>
    </message>
    <message>
        <source>Jump to Selection</source>
        <translation>&amp;Zur Auswahl springen</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <source>Show Spelling and Grammar</source>
        <translation>&amp;Rechtschreibung und Grammatik anzeigen</translation>
    </message>
    <message>
        <source>Check Document Now</source>
        <translation>&amp;Dokument jetzt prüfen</translation>
    </message>
    <message>
        <source>Check Spelling While Typing</source>
        <translation>Rechtschreibung &amp;während der Eingabe prüfen</translation>
    </message>
    <message>
        <source>Spelling and Grammar</source>
        <translation>Rech&amp;tschreibung und Grammatik</translation>
    </message>
    <message>
        <source>Make Upper Case</source>
        <translation>In &amp;Großbuchstaben</translation>
    </message>
    <message>
        <source>Make Lower Case</source>
        <translation>In &amp;Kleinbuchstaben</translation>
    </message>
    <message>
        <source>Capitalize</source>
        <translation>&amp;Wortanfänge großschreiben</translation>
    </message>
    <message>
        <source>Transformations</source>
        <translation>&amp;Groß-/Kleinschreibung</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>&amp;Ausschneiden</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>Paste and Match Style</source>
        <translation>Einfügen und Stil an&amp;passen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles a&amp;uswählen</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>&amp;Minimieren</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Ma&amp;ximieren</translation>
    </message>
    <message>
        <source>Bring All to Front</source>
        <translation>&amp;Alle nach vorne bringen</translation>
    </message>
    <message>
        <source>Nolt Nolt Help</source>
        <translation>&amp;Nolt-Nolt-Hilfe</translation>
    </message>
    <message>
        <source>Download Latest Version…</source>
        <translation>Neueste &amp;Version herunterladen …</translation>
    </message>
    <message>
        <source>Nolt Nolt</source>
        <translation>&amp;Nolt Nolt</translation>
    </message>
    <message>
        <source>File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>&amp;Fenster</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Print…</source>
        <translation>&amp;Drucken …</translation>
    </message>
</context>
<context>
    <name>MessageBar</name>
    <message>
        <source>Close Message</source>
        <translation>Meldung schließen</translation>
    </message>
</context>
<context>
    <name>NotePrinter</name>
    <message>
        <source>“%1” is empty: there is nothing to print.</source>
        <translation>„%1“ ist leer: Es gibt nichts zu drucken.</translation>
    </message>
    <message>
        <source>“%1” could not be printed: the printer did not take it.</source>
        <translation>„%1“ konnte nicht gedruckt werden: Der Drucker hat den Auftrag nicht angenommen.</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
</context>
<context>
    <name>NoteSync</name>
    <message>
        <source>“%1” is read-only. Your changes are kept here and for recovery; use Save As… to keep them in another file.</source>
        <translation>„%1“ ist schreibgeschützt. Ihre Änderungen bleiben hier und für die Wiederherstellung erhalten; mit „Speichern unter …“ sichern Sie sie in einer anderen Datei.</translation>
    </message>
    <message>
        <source>“%1” is still being written; the disk does not answer.</source>
        <translation>„%1“ wird noch geschrieben; der Datenträger antwortet nicht.</translation>
    </message>
    <message>
        <source>“%1” was changed by another program, and which version to keep is not decided yet.</source>
        <translation>„%1“ wurde von einem anderen Programm geändert, und es ist noch nicht entschieden, welche Fassung bleibt.</translation>
    </message>
    <message>
        <source>“%1” was moved or deleted by another program. Its text is still open here and will be saved again in “%2”.</source>
        <translation>„%1“ wurde von einem anderen Programm verschoben oder gelöscht. Der Text ist hier noch geöffnet und wird erneut in „%2“ gespeichert.</translation>
    </message>
    <message>
        <source>Could not save “%1”: %2</source>
        <translation>„%1“ konnte nicht gespeichert werden: %2</translation>
    </message>
    <message>
        <source>“%1” is being read again from its file; your typing is kept.</source>
        <translation>„%1“ wird gerade neu aus seiner Datei gelesen; Ihre Eingaben bleiben erhalten.</translation>
    </message>
    <message>
        <source>“%1” was just removed from its folder; your typing is kept until it is clear whether another program is replacing it.</source>
        <translation>„%1“ wurde gerade aus seinem Ordner entfernt; Ihre Eingaben bleiben erhalten, bis klar ist, ob ein anderes Programm die Datei ersetzt.</translation>
    </message>
    <message>
        <source>“%1” could not be written yet.</source>
        <translation>„%1“ konnte noch nicht geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>NoteWindow</name>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
</context>
<context>
    <name>NotesFolder</name>
    <message>
        <source>The remembered notes folder is damaged.</source>
        <translation>Die gespeicherte Angabe des Notizordners ist beschädigt.</translation>
    </message>
    <message>
        <source>Choose a Folder for New Notes</source>
        <translation>Ordner für neue Notizen wählen</translation>
    </message>
    <message>
        <source>Choose Desktop to keep new notes there, or choose another folder. Nolt Nolt remembers this choice and saves new notes automatically.</source>
        <translation>Wählen Sie den Schreibtisch, um neue Notizen dort abzulegen, oder einen anderen Ordner. Nolt Nolt merkt sich diese Wahl und speichert neue Notizen automatisch.</translation>
    </message>
    <message>
        <source>Use Folder</source>
        <translation>Ordner verwenden</translation>
    </message>
    <message>
        <source>Could not remember the folder</source>
        <translation>Fehler beim Merken des Ordners</translation>
    </message>
    <message>
        <source>Could not find the notes folder</source>
        <translation>Fehler beim Öffnen des Notizordners</translation>
    </message>
    <message>
        <source>The choice of notes folder could not be saved in the settings.</source>
        <translation>Die Wahl des Notizordners konnte nicht in den Einstellungen gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>OpenErrorReport</name>
    <message numerus="yes">
        <source>%Ln files could not be opened.</source>
        <translation>
            <numerusform>%Ln Datei konnte nicht geöffnet werden.</numerusform>
            <numerusform>%Ln Dateien konnten nicht geöffnet werden.</numerusform>
        </translation>
    </message>
    <message>
        <source>“%1” could not be opened. %2</source>
        <translation>„%1“ konnte nicht geöffnet werden. %2</translation>
    </message>
    <message>
        <source>“%1”: %2</source>
        <translation>„%1“: %2</translation>
    </message>
    <message numerus="yes">
        <source>…and %Ln more.</source>
        <translation>
            <numerusform>… und %Ln weitere.</numerusform>
            <numerusform>… und %Ln weitere.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>OpenRecentMenu</name>
    <message>
        <source>No Recent Documents</source>
        <translation>Keine zuletzt geöffneten Dokumente</translation>
    </message>
    <message>
        <source>Clear Menu</source>
        <translation>Menü leeren</translation>
    </message>
</context>
<context>
    <name>OtherVersions</name>
    <message>
        <source>The other version is kept beside this note as “%1”.</source>
        <translation>Die andere Fassung liegt neben dieser Notiz als „%1“.</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Another version of this note, from another device, is beside it: “%1”. Nothing of it is in this window.</source>
        <translation>Neben dieser Notiz liegt eine andere Fassung von einem anderen Gerät: „%1“. Nichts davon ist in diesem Fenster.</translation>
    </message>
    <message>
        <source>Compare</source>
        <translation>Vergleichen</translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation>Beide behalten</translation>
    </message>
    <message>
        <source>It holds the same text as this note.</source>
        <translation>Sie enthält denselben Text wie diese Notiz.</translation>
    </message>
</context>
<context>
    <name>PlainTextDocument</name>
    <message>
        <source>This file is not UTF-8 plain text.</source>
        <translation>Diese Datei ist kein reiner UTF-8-Text.</translation>
    </message>
    <message>
        <source>“%1” is not UTF-8 plain text.</source>
        <translation>„%1“ ist kein reiner UTF-8-Text.</translation>
    </message>
</context>
<context>
    <name>PosixFile</name>
    <message>
        <source>Could not read “%1” in “%2”: it is not a regular file.</source>
        <translation>„%1“ in „%2“ konnte nicht gelesen werden: Es ist keine reguläre Datei.</translation>
    </message>
    <message>
        <source>Could not read “%1” in “%2”: it is too large to open (%3; %4 of memory is free for it).</source>
        <translation>„%1“ in „%2“ konnte nicht gelesen werden: Die Datei ist zu groß zum Öffnen (%3; dafür sind %4 Speicher frei).</translation>
    </message>
    <message>
        <source>Could not read</source>
        <translation>Fehler beim Lesen von</translation>
    </message>
    <message>
        <source>“%1” cannot be used: %2.</source>
        <translation>„%1“ kann nicht verwendet werden: %2.</translation>
    </message>
    <message>
        <source>it is a symbolic link</source>
        <translation>Es ist eine symbolische Verknüpfung</translation>
    </message>
    <message>
        <source>it is not a folder</source>
        <translation>Es ist kein Ordner</translation>
    </message>
    <message>
        <source>it belongs to another user</source>
        <translation>Es gehört einem anderen Benutzer</translation>
    </message>
</context>
<context>
    <name>QGuiApplication</name>
    <message>
        <source>QT_LAYOUT_DIRECTION</source>
        <extracomment>&quot;RTL&quot; in a right-to-left language, &quot;LTR&quot; in any other: the windows are laid out by it.</extracomment>
        <translation>LTR</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>The update information at “%1” could not be read: %2</source>
        <translation>Die Aktualisierungsinformationen unter „%1“ konnten nicht gelesen werden: %2</translation>
    </message>
</context>
<context>
    <name>RecoveryOffer</name>
    <message>
        <source>“%1” in “%2” has text that could not be saved before Nolt Nolt last quit.</source>
        <translation>„%1“ in „%2“ enthält Text, der nicht gespeichert werden konnte, bevor Nolt Nolt zuletzt beendet wurde.</translation>
    </message>
    <message>
        <source>The note itself is left as it is. The recovered text opens as a new note beside it.</source>
        <translation>Die Notiz selbst bleibt unverändert. Der wiederhergestellte Text wird als neue Notiz daneben geöffnet.</translation>
    </message>
    <message>
        <source>&amp;Open Recovered Text</source>
        <translation>Wiederhergestellten Text &amp;öffnen</translation>
    </message>
    <message>
        <source>&amp;Discard</source>
        <translation>&amp;Verwerfen</translation>
    </message>
    <message>
        <source>&amp;Later</source>
        <translation>&amp;Später</translation>
    </message>
    <message>
        <source>Could not read the recovered text of</source>
        <translation>Fehler beim Lesen des wiederhergestellten Textes von</translation>
    </message>
    <message>
        <source>Could not create</source>
        <translation>Fehler beim Anlegen von</translation>
    </message>
    <message>
        <source>The recovered text of “%1” could not be written beside it in “%2”. It is in “%3” in “%4”.</source>
        <translation>Der wiederhergestellte Text von „%1“ konnte nicht daneben in „%2“ geschrieben werden. Er liegt in „%3“ in „%4“.</translation>
    </message>
</context>
<context>
    <name>RecoveryStore</name>
    <message>
        <source>The text of “%1” cannot be kept for recovery; keep its window open or use Save As…. %2</source>
        <translation>Der Text von „%1“ kann nicht für die Wiederherstellung aufbewahrt werden; lassen Sie das Fenster offen oder verwenden Sie „Speichern unter …“. %2</translation>
    </message>
    <message>
        <source>The text of “%1” is kept in “%2” until it is saved. %3</source>
        <translation>Der Text von „%1“ wird in „%2“ aufbewahrt, bis er gespeichert ist. %3</translation>
    </message>
</context>
<context>
    <name>ReplaceRow</name>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>Replacement text</source>
        <translation>Ersetzungstext</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>it is not a plain file</source>
        <translation>sie ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>it is longer than %1 MB</source>
        <translation>sie ist größer als %1 MB</translation>
    </message>
    <message>
        <source>“%1” beside it is not a plain file</source>
        <translation>„%1“ daneben ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>Nolt Nolt could not read its settings in “%1” in “%2”: %3. It goes on with its defaults, and what is changed now is not kept.</source>
        <translation>Nolt Nolt konnte seine Einstellungen in „%1“ in „%2“ nicht lesen: %3. Es arbeitet mit den Standardeinstellungen weiter, und was jetzt geändert wird, wird nicht gespeichert.</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Nolt Nolt is already running but does not answer (%1). Quit it, then try again.</source>
        <translation>Nolt Nolt läuft bereits, antwortet aber nicht (%1). Beenden Sie es und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Nolt Nolt has no action “%1”.</source>
        <translation>Nolt Nolt hat keine Aktion „%1“.</translation>
    </message>
    <message>
        <source>no answer within %1 seconds</source>
        <translation>keine Antwort innerhalb von %1 Sekunden</translation>
    </message>
</context>
<context>
    <name>SpellingPanel</name>
    <message>
        <source>Spelling</source>
        <translation>Rechtschreibung</translation>
    </message>
    <message>
        <source>Checks spelling only: no grammar checker is available.</source>
        <translation>Prüft nur die Rechtschreibung: Es ist keine Grammatikprüfung verfügbar.</translation>
    </message>
    <message>
        <source>Misspelled word</source>
        <translation>Falsch geschriebenes Wort</translation>
    </message>
    <message>
        <source>Suggestions</source>
        <translation>Vorschläge</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation>Weitersuchen</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignorieren</translation>
    </message>
    <message>
        <source>Learn</source>
        <translation>Lernen</translation>
    </message>
    <message>
        <source>No dictionary is installed.</source>
        <translation>Es ist kein Wörterbuch installiert.</translation>
    </message>
    <message>
        <source>No misspelled words found.</source>
        <translation>Keine falsch geschriebenen Wörter gefunden.</translation>
    </message>
    <message>
        <source>Not in the dictionary:</source>
        <translation>Nicht im Wörterbuch:</translation>
    </message>
</context>
<context>
    <name>SpellingTools</name>
    <message>
        <source>No Guesses Found</source>
        <translation>Keine Vorschläge gefunden</translation>
    </message>
    <message>
        <source>Ignore Spelling</source>
        <translation>Rechtschreibung ignorieren</translation>
    </message>
    <message>
        <source>Learn Spelling</source>
        <translation>Schreibweise lernen</translation>
    </message>
</context>
<context>
    <name>TextFiles</name>
    <message>
        <source>Could not find an available document name.</source>
        <translation>Es wurde kein freier Dokumentname gefunden.</translation>
    </message>
</context>
<context>
    <name>Trash</name>
    <message>
        <source>Could not put “%1” back: the Trash does not say it came from “%2”.</source>
        <translation>„%1“ konnte nicht wiederhergestellt werden: Laut Papierkorb stammt es nicht aus „%2“.</translation>
    </message>
    <message>
        <source>Could not put back</source>
        <translation>Wiederherstellen nicht möglich</translation>
    </message>
</context>
<context>
    <name>UpdateChecker</name>
    <message>
        <source>it links to “%1”, which is not a secure web address. The link was refused.</source>
        <translation>Es verweist auf „%1“, das keine sichere Webadresse ist. Der Link wurde abgelehnt.</translation>
    </message>
    <message numerus="yes">
        <source>the server did not answer within %n second(s).</source>
        <translation>
            <numerusform>Der Server antwortete nicht innerhalb von %n Sekunde.</numerusform>
            <numerusform>Der Server antwortete nicht innerhalb von %n Sekunden.</numerusform>
        </translation>
    </message>
    <message>
        <source>No address is set for update information.</source>
        <translation>Für Aktualisierungsinformationen ist keine Adresse festgelegt.</translation>
    </message>
    <message>
        <source>it is larger than %1 KiB, far more than update information needs.</source>
        <translation>Es ist größer als %1 KiB, weit mehr, als Aktualisierungsinformationen brauchen.</translation>
    </message>
    <message>
        <source>it is not an RSS feed.</source>
        <translation>Es ist kein RSS-Feed.</translation>
    </message>
    <message>
        <source>%1 (line %2).</source>
        <translation>%1 (Zeile %2).</translation>
    </message>
    <message>
        <source>it lists no release.</source>
        <translation>Es führt keine Version auf.</translation>
    </message>
    <message>
        <source>the server answered %1.</source>
        <translation>Der Server antwortete mit %1.</translation>
    </message>
</context>
<context>
    <name>UpdatePrompt</name>
    <message>
        <source>Checking for updates…</source>
        <translation>Nach Aktualisierungen wird gesucht …</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Software Update</source>
        <translation>Softwareaktualisierung</translation>
    </message>
    <message>
        <source>You&apos;re up to date.</source>
        <translation>Sie sind auf dem neuesten Stand.</translation>
    </message>
    <message>
        <source>%1 %2 is the newest version available.</source>
        <translation>%1 %2 ist die neueste verfügbare Version.</translation>
    </message>
    <message>
        <source>%1 %2 is available.</source>
        <translation>%1 %2 ist verfügbar.</translation>
    </message>
    <message>
        <source>You have version %1.</source>
        <translation>Sie haben Version %1.</translation>
    </message>
    <message>
        <source>Download…</source>
        <translation>Herunterladen …</translation>
    </message>
    <message>
        <source>Release Notes…</source>
        <translation>Versionshinweise …</translation>
    </message>
    <message>
        <source>Not Now</source>
        <translation>Nicht jetzt</translation>
    </message>
    <message>
        <source>The update check failed.</source>
        <translation>Die Suche nach Aktualisierungen ist fehlgeschlagen.</translation>
    </message>
</context>
<context>
    <name>WindowController</name>
    <message>
        <source>“%1” was put back to its last complete version: a save was interrupted before it finished. What it held then is kept beside it in “%2”.</source>
        <translation>„%1“ wurde auf die letzte vollständige Fassung zurückgesetzt: Ein Speichervorgang wurde vor dem Ende unterbrochen. Was die Datei zu diesem Zeitpunkt enthielt, liegt daneben in „%2“.</translation>
    </message>
    <message>
        <source>%1. Its last complete version is kept beside it in “%2”.</source>
        <translation>%1. Die letzte vollständige Fassung liegt daneben in „%2“.</translation>
    </message>
    <message>
        <source>A copy of “%1” left by an interrupted save was found beside it and kept as “%2”; “%1” was not changed.</source>
        <translation>Neben „%1“ wurde eine Kopie aus einem unterbrochenen Speichervorgang gefunden und als „%2“ aufbewahrt; „%1“ wurde nicht verändert.</translation>
    </message>
    <message>
        <source> — Read-Only</source>
        <translation> — Schreibgeschützt</translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation>Speichern unter …</translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Put Back</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Save Again</source>
        <translation>Erneut speichern</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>“%1” was deleted by another program. Its text is still open here; typing saves it again in “%2”.</source>
        <translation>„%1“ wurde von einem anderen Programm gelöscht. Der Text ist hier noch geöffnet; sobald Sie tippen, wird er wieder in „%2“ gespeichert.</translation>
    </message>
    <message>
        <source>“%1” was moved to the Trash. Its text is still open here; typing saves it again in “%2”.</source>
        <translation>„%1“ wurde in den Papierkorb verschoben. Der Text ist hier noch geöffnet; sobald Sie tippen, wird er wieder in „%2“ gespeichert.</translation>
    </message>
    <message>
        <source>“%1” is read-only: what you type is not saved to it.</source>
        <translation>„%1“ ist schreibgeschützt: Was Sie tippen, wird nicht darin gespeichert.</translation>
    </message>
</context>
<context>
    <name>WindowQuestions</name>
    <message>
        <source>“%1” was changed by another program while you were editing it. Until you choose, your text is not saved over it. Keep Both or Keep My Text keeps theirs in a copy beside it; Reload puts their text in place of yours, and Undo brings yours back.</source>
        <translation>„%1“ wurde von einem anderen Programm geändert, während Sie es bearbeitet haben. Bis Sie wählen, wird Ihr Text nicht darüber gespeichert. „Beide behalten“ oder „Meinen Text behalten“ bewahrt die andere Fassung in einer Kopie daneben auf; „Neu laden“ setzt deren Text an die Stelle Ihres Textes, und „Rückgängig“ holt Ihren zurück.</translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation>Beide behalten</translation>
    </message>
    <message>
        <source>Keep My Text</source>
        <translation>Meinen Text behalten</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>Neu laden</translation>
    </message>
    <message>
        <source>nothing</source>
        <translation>nichts</translation>
    </message>
    <message>
        <source>“%1”</source>
        <translation>„%1“</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more line(s)</source>
        <translation>
            <numerusform>%1 und %n weitere Zeile</numerusform>
            <numerusform>%1 und %n weitere Zeilen</numerusform>
        </translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>New name for “%1”:</source>
        <translation>Neuer Name für „%1“:</translation>
    </message>
    <message>
        <source>Move To</source>
        <translation>Verschieben nach</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Speichern unter</translation>
    </message>
    <message>
        <source>“%1” could not be saved.</source>
        <translation>„%1“ konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>If you close it without saving, its text is kept for recovery.</source>
        <translation>Wenn Sie die Notiz ohne Speichern schließen, wird ihr Text für die Wiederherstellung aufbewahrt.</translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation>Speichern unter …</translation>
    </message>
    <message>
        <source>Close Without Saving</source>
        <translation>Ohne Speichern schließen</translation>
    </message>
    <message>
        <source>From line %1, yours: %2; theirs: %3.</source>
        <translation>Ab Zeile %1, Ihre Fassung: %2; die andere: %3.</translation>
    </message>
</context>
</TS>
