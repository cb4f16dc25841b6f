#pragma once

#include "framework/fileidentity.h"

#include <QObject>

// What a note is doing with its file, what it remembers of it, and how each event moves it. The note reports events
// and what its file looks like; on() and beforeWrite() decide, from the table `rows` in notestate.cpp, which is the
// one place to read what a note does next. Every pair the table does not name leaves the state as it is.
class NoteState
{
    Q_GADGET

public:
    enum class State
    {
        // The window's text is the file's.
        Clean,
        // Typing not yet written.
        Edited,
        // A write of the note is on the writer.
        Saving,
        // Another version of the file is being read in.
        Reloading,
        // Another program changed the file under typing: which version to keep is asked in the window. Nothing is
        // written and the typing is kept for recovery until the answer.
        Asking,
        // The user closed without saving, or the session ended: the typing is in recovery until the next edit.
        LetGo,
        // The file went away a moment ago. Sync engines replace a file by deleting it and renaming another in, so
        // for a grace nothing is written (typing is kept for recovery) and a file that lands is another version.
        Vanished,
        // No file is at the note's place (deleted, trashed, or not made yet) and nothing was typed since: nothing is
        // written until the user types or says "Save Again".
        Gone,
        Closed,
        // Only in the table: where the note settles after a write, a read or an answer. Edited with typing, Clean
        // when its file is at its place, else Gone.
        Settled
    };
    Q_ENUM(State)
    enum class Event
    {
        Edit,
        // Undone back to the text the file holds.
        Unedit,
        SaveDue,
        Saved,
        SaveFailed,
        Conflict,
        DiskChanged,
        Reloaded,
        ReloadFailed,
        KeepMine,
        UseDisk,
        Missing,
        Trashed,
        GraceOver,
        Back,
        SavedElsewhere,
        LetGo,
        Close
    };
    Q_ENUM(Event)
    // [typing]: the window holds text its file does not, once the event happened (a link swapped in for the file
    // counts: the file at the path is another one).
    enum class Guard
    {
        Any,
        Typing,
        NoTyping
    };
    struct Row
    {
        State from;
        Event event;
        Guard guard;
        State to;
    };

    // What a look right before a write found at the note's path.
    struct OnDisk
    {
        FileIdentity now;
        // The identity alone tells the version is ours, or tells it only with its bytes compared.
        bool known = false;
        bool compareBytes = false;
        // Its bytes may be ours again (a sync engine or backup put the same text back as a new file).
        bool sameBytesMayBeBack = false;
    };
    // What a write must do about the file at the path: write over the version found, write only if it still holds
    // our bytes, write only where no file is (a note whose file is gone or not made yet), keep the typing for
    // recovery until the open question or a grace decides, report the file missing, or ask which version to keep.
    enum class Write
    {
        Over,
        OverIfSame,
        WhereNone,
        Keep,
        Missing,
        Ask
    };

    State state() const { return m_state; }
    // Whether the note takes a file to be at its place (false once it went away, or before a new note's first write).
    bool fileExpected() const { return m_fileExpected; }
    // The state after event; the note acts on it.
    State on(Event event, bool typing);
    Write beforeWrite(const OnDisk &disk) const;
    // A note starts Clean at a file that exists, else Gone; its answers are forgotten.
    void startAt(bool fileExists);
    // The user's answers about another version: keep it on disk (it could not be read in), or write over it. Each
    // holds for that version only, and an explicit save asks again.
    void keepOnDisk(const FileIdentity &version) { m_keptOnDisk = version; }
    void writeOver(const FileIdentity &version) { m_writeOver = version; }
    void forgetAnswers() { m_keptOnDisk = m_writeOver = {}; }
    // Whether a write or a read of the file is under way.
    bool isBusy() const { return m_state == State::Saving || m_state == State::Reloading; }

private:
    State m_state = State::Clean;
    bool m_fileExpected = true;
    FileIdentity m_keptOnDisk;
    FileIdentity m_writeOver;
};
