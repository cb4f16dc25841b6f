#pragma once

#include <QObject>

// What a note is doing with its file, and how each event moves it. The note asks next() and acts on the state it
// gets; nothing else decides what it does next. [typing]: the window holds text its file does not, once the event
// happened (a link swapped in for the file counts: the file at the path is another one).
//
//  From        Event           Guard          To          What the note does on the way
//  ----------  --------------  -------------  ----------  -----------------------------------------------------
//  Clean       Edit                           Edited      the window restarts its 0.3 s save timer
//  Edited      Unedit                         Clean       (undone back to the text on disk)
//  LetGo       Edit                           Edited      takes the text back from recovery
//  LetGo       Unedit                         Clean
//  Gone        Edit                           Edited      typing writes the note again at its place
//  Clean       SaveDue                        Saving      an explicit save writes even unchanged text
//  Edited      SaveDue                        Saving      snapshot here; encode, write and sync on the writer
//  Gone        SaveDue                        Saving      "Save Again" writes the note again at its place
//  Saving      Saved          [no typing]     Clean       the written bytes become the known version
//  Saving      Saved          [typing]        Edited      typed during the write: the next pause writes it
//  Saving      SaveFailed     [no typing]     Clean
//  Saving      SaveFailed     [typing]        Edited      typing kept for recovery; the window retries
//  Saving      Conflict                       Asking      the writer found another version: nothing written
//  Clean       DiskChanged    [no typing]     Reloading   reads the other version on the writer
//  Clean       DiskChanged    [typing]        Asking      a link swapped in is never taken in unasked
//  Edited      DiskChanged                    Asking      typing kept for recovery, the bar asks
//  LetGo       DiskChanged                    Asking
//  Gone        DiskChanged    [no typing]     Reloading   another program put a file at its place: read in
//  Gone        DiskChanged    [typing]        Asking
//  Gone        Back           [no typing]     Clean       the very file is at its place again (put back)
//  Gone        Back           [typing]        Edited
//  Reloading   Reloaded       [no typing]     Clean       the window shows the other version
//  Reloading   Reloaded       [typing]        Edited      typed during the read: dropped, the file looked at again
//  Reloading   ReloadFailed   [no typing]     Clean       the error goes in the window's bar
//  Reloading   ReloadFailed   [typing]        Edited
//  Asking      KeepMine       [no typing]     Clean       (a link swapped in is written over at once)
//  Asking      KeepMine       [typing]        Edited      the window's text is written over the other one at once
//  Asking      UseDisk                        Reloading   the other version is read in
//  Clean       Missing                        Gone        deleted or trashed: the bar says so, nothing is written
//  Clean       SavedElsewhere [typing]        Edited      the note stands for the copy from now on
//  Edited      SavedElsewhere [no typing]     Clean
//  Saving      SavedElsewhere [no typing]     Clean
//  Saving      SavedElsewhere [typing]        Edited
//  Reloading   SavedElsewhere [no typing]     Clean
//  Reloading   SavedElsewhere [typing]        Edited
//  Asking      SavedElsewhere [no typing]     Clean       the question is settled by the copy
//  Asking      SavedElsewhere [typing]        Edited
//  LetGo       SavedElsewhere [no typing]     Clean
//  LetGo       SavedElsewhere [typing]        Edited
//  Gone        SavedElsewhere [no typing]     Clean
//  Gone        SavedElsewhere [typing]        Edited
//  Edited      LetGo                          LetGo       closing without saving: typing kept for recovery
//  Asking      LetGo                          LetGo
//  any         Close                          Closed      typing kept for recovery; the watch stops
//
// Every pair not listed leaves the state as it is: typing while Saving, Reloading or Asking is told by the edit
// generation when their result lands; a SaveDue while Saving is served by one more write after this one; a refused
// write (a read-only file, an open question) keeps the typing for recovery; a note in Asking neither saves nor
// looks at its file until the answer. Typing when the file went away (Edited, Missing) writes it again at its place.
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
        // Another program changed the file under typing: which version to keep is asked in the window.
        Asking,
        // The user closed without saving, or the session ended: the typing is in recovery, and stays there until
        // the next edit.
        LetGo,
        // Another program deleted the file, or moved it to the Trash, and nothing was typed since: the text stays
        // in the window and nothing is written until the user types or says "Save Again".
        Gone,
        Closed
    };
    Q_ENUM(State)
    enum class Event
    {
        Edit,
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
        Back,
        SavedElsewhere,
        LetGo,
        Close
    };
    Q_ENUM(Event)

    // The state after event in from; typing: the guard of the table above.
    static State next(State from, Event event, bool typing);
    // Whether a note in this state may start a write or a look at its file now; otherwise it comes later.
    static bool isBusy(State state) { return state == State::Saving || state == State::Reloading; }
};
