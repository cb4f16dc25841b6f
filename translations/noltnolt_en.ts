<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>ActionDispatcher</name>
    <message>
        <source>The command could not be completed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>About Nolt Nolt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Nolt Nolt&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;Plain-text notes, saved as you type.&lt;/p&gt;&lt;p&gt;&lt;a href=&quot;%2&quot;&gt;%2&lt;/a&gt;&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not create the folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plain text files (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%Ln new notes were not opened: Nolt Nolt makes at most %1 at once. The first of them is “%2” in “%3”.</source>
        <translation>
            <numerusform>%Ln new note was not opened: Nolt Nolt makes at most %1 at once. It is “%2” in “%3”.</numerusform>
            <numerusform>%Ln new notes were not opened: Nolt Nolt makes at most %1 at once. The first of them is “%2” in “%3”.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>AutoCorrector</name>
    <message>
        <source>Change Back to “%1”</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>unknown option “%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: %1 [OPTION]... [--] [FILE]...
Plain-text notes, saved as you type. Opens each FILE, or a new note on the Desktop.

  -h, --help     show this help and exit
      --version  show the version and exit
      --self-test  check note naming, saving and reading in a temporary folder
  --             every argument after this is a file, even one that starts with &quot;-&quot;
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nolt Nolt %1
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2
To open a file whose name starts with &quot;-&quot;, put &quot;--&quot; before it.
Try &quot;%1 --help&quot; for more.
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Document</name>
    <message>
        <source>Untitled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is read-only. Choose another name or folder.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DocumentController</name>
    <message>
        <source>Could not open “%1”: it does not name a file on this computer.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DocumentMover</name>
    <message>
        <source>Could not move “%1”: the folder “%2” does not exist.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not move “%1”: “%2” is not a folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the new name is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a name cannot contain “/”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a name cannot contain a null character</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is not a file name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>names of this form are kept for the temporary copies written while saving</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not rename “%1” to “%2”: %3.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DurableWriter</name>
    <message>
        <source>Could not save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>. The folder does not allow new files, and a note is saved by writing a new copy beside it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>. The note is locked against changes.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>. In this folder only a file&apos;s owner may replace it, and the note belongs to someone else.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>. Its previous text is kept in “%1”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not create</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Editor</name>
    <message>
        <source>New Note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Document text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plain text. Changes save automatically.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Word count</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Error</name>
    <message>
        <source>%1 “%2” in “%3”: %4</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileManager</name>
    <message>
        <source>No program to open it is installed (xdg-open was not found).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No program answered: xdg-open ended with status %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>xdg-open could not be started: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No program could open “%1”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Install a web browser and a file manager, or choose default programs in your desktop&apos;s settings.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileMover</name>
    <message>
        <source>Could not rename “%1”: a file named “%2” already exists in “%3”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not move “%1”: a file named “%2” already exists in “%3”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not rename “%1” to “%2” in “%3”: %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not move “%1” from “%2” to “%3”: %4</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FindBar</name>
    <message>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous match</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next match</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Match count</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Match Case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 match</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InPlaceSave</name>
    <message>
        <source>Could not put back the last complete version of</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (interrupted save)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (interrupted save %1)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MenuTable</name>
    <message>
        <source>Show in Finder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Services</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Nolt Nolt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide Others</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide Nolt Nolt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Nolt Nolt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Recent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move To…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find and Replace…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Previous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use Selection for Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Jump to Selection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Spelling and Grammar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Document Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Spelling While Typing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spelling and Grammar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Upper Case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make Lower Case</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capitalize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transformations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Redo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paste</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paste and Match Style</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring All to Front</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nolt Nolt Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download Latest Version…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nolt Nolt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MessageBar</name>
    <message>
        <source>Close Message</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NotePrinter</name>
    <message>
        <source>“%1” is empty: there is nothing to print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” could not be printed: the printer did not take it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NoteSync</name>
    <message>
        <source>“%1” is read-only. Your changes are kept here and for recovery; use Save As… to keep them in another file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is still being written; the disk does not answer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” was changed by another program, and which version to keep is not decided yet.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” was moved or deleted by another program. Its text is still open here and will be saved again in “%2”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not save “%1”: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is being read again from its file; your typing is kept.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” was just removed from its folder; your typing is kept until it is clear whether another program is replacing it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” could not be written yet.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NoteWindow</name>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NotesFolder</name>
    <message>
        <source>Choose a Folder for New Notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose Desktop to keep new notes there, or choose another folder. Nolt Nolt remembers this choice and saves new notes automatically.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not remember the folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not find the notes folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The choice of notes folder could not be saved in the settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The remembered notes folder is damaged.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OpenErrorReport</name>
    <message numerus="yes">
        <source>%Ln files could not be opened.</source>
        <translation>
            <numerusform>%Ln file could not be opened.</numerusform>
            <numerusform>%Ln files could not be opened.</numerusform>
        </translation>
    </message>
    <message>
        <source>“%1” could not be opened. %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1”: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>…and %Ln more.</source>
        <translation>
            <numerusform>…and %Ln more.</numerusform>
            <numerusform>…and %Ln more.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>OpenRecentMenu</name>
    <message>
        <source>No Recent Documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear Menu</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OtherVersions</name>
    <message>
        <source>The other version is kept beside this note as “%1”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Another version of this note, from another device, is beside it: “%1”. Nothing of it is in this window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compare</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>It holds the same text as this note.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PlainTextDocument</name>
    <message>
        <source>This file is not UTF-8 plain text.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is not UTF-8 plain text.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PosixFile</name>
    <message>
        <source>Could not read “%1” in “%2”: it is not a regular file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not read “%1” in “%2”: it is too large to open (%3; %4 of memory is free for it).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” cannot be used: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a symbolic link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it belongs to another user</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QGuiApplication</name>
    <message>
        <source>QT_LAYOUT_DIRECTION</source>
        <extracomment>&quot;RTL&quot; in a right-to-left language, &quot;LTR&quot; in any other: the windows are laid out by it.</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>The update information at “%1” could not be read: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecoveryOffer</name>
    <message>
        <source>“%1” in “%2” has text that could not be saved before Nolt Nolt last quit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The note itself is left as it is. The recovered text opens as a new note beside it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not read the recovered text of</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not create</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open Recovered Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Discard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recovered text of “%1” could not be written beside it in “%2”. It is in “%3” in “%4”.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecoveryStore</name>
    <message>
        <source>The text of “%1” cannot be kept for recovery; keep its window open or use Save As…. %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The text of “%1” is kept in “%2” until it is saved. %3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReplaceRow</name>
    <message>
        <source>Replace</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Replacement text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>it is not a plain file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is longer than %1 MB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” beside it is not a plain file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nolt Nolt could not read its settings in “%1” in “%2”: %3. It goes on with its defaults, and what is changed now is not kept.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Nolt Nolt has no action “%1”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nolt Nolt is already running but does not answer (%1). Quit it, then try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no answer within %1 seconds</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SpellingPanel</name>
    <message>
        <source>Spelling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checks spelling only: no grammar checker is available.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Misspelled word</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Suggestions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Learn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No dictionary is installed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No misspelled words found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not in the dictionary:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SpellingTools</name>
    <message>
        <source>No Guesses Found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ignore Spelling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Learn Spelling</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TextFiles</name>
    <message>
        <source>Could not find an available document name.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Trash</name>
    <message>
        <source>Could not put “%1” back: the Trash does not say it came from “%2”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not put back</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UpdateChecker</name>
    <message>
        <source>No address is set for update information.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not an RSS feed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (line %2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it lists no release.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server answered %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it links to “%1”, which is not a secure web address. The link was refused.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>the server did not answer within %n second(s).</source>
        <translation>
            <numerusform>the server did not answer within %n second.</numerusform>
            <numerusform>the server did not answer within %n seconds.</numerusform>
        </translation>
    </message>
    <message>
        <source>it is larger than %1 KiB, far more than update information needs.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UpdatePrompt</name>
    <message>
        <source>Checking for updates…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Software Update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You&apos;re up to date.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 is the newest version available.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 is available.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You have version %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The update check failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release Notes…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WindowController</name>
    <message>
        <source> — Read-Only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is read-only: what you type is not saved to it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” was put back to its last complete version: a save was interrupted before it finished. What it held then is kept beside it in “%2”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A copy of “%1” left by an interrupted save was found beside it and kept as “%2”; “%1” was not changed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1. Its last complete version is kept beside it in “%2”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” was deleted by another program. Its text is still open here; typing saves it again in “%2”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” was moved to the Trash. Its text is still open here; typing saves it again in “%2”.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WindowQuestions</name>
    <message>
        <source>Keep My Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New name for “%1”:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move To</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” could not be saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If you close it without saving, its text is kept for recovery.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close Without Saving</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” was changed by another program while you were editing it. Until you choose, your text is not saved over it. Keep Both or Keep My Text keeps theirs in a copy beside it; Reload puts their text in place of yours, and Undo brings yours back.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nothing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more line(s)</source>
        <translation>
            <numerusform>%1 and %n more line</numerusform>
            <numerusform>%1 and %n more lines</numerusform>
        </translation>
    </message>
    <message>
        <source>From line %1, yours: %2; theirs: %3.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
