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
        <source>Plain Text (%1)</source>
        <translation type="unfinished"></translation>
    </message>
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
</context>
<context>
    <name>DocumentController</name>
    <message>
        <source>The document “%1” could not be opened: Nolt Nolt cannot open files of this kind.</source>
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
    <name>PlainTextDocument</name>
    <message>
        <source>This file is not UTF-8 plain text.</source>
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
        <source>Open Recovered Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Later</source>
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
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Nolt Nolt has no action “%1”.</source>
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
        <source>Could not create</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not find an available document name.</source>
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
</context>
</TS>
