#pragma once

#include <QMetaType>

// What a note is doing with its file, and how each event moves it. The note asks next() and acts on the state it
// gets; nothing else decides what it does next. "typing" means the window holds text its file does not.
//
//  From        Event           [guard]             To          What the note does on the way
//  ----------  --------------  ------------------  ----------  ------------------------------------------------
//  Clean       Edit                                Edited      restarts the 0.3 s save timer
//  Edited      Unedit                              Clean       (undone back to the text on disk)
//  LetGo       Edit                                Edited      takes the text back from recovery
//  LetGo       Unedit                              Clean
//  Clean       SaveDue                             Saving      an explicit save writes even unchanged text
//  Edited      SaveDue                             Saving      snapshot here, encode and write on the writer
//  Saving      SaveDue                             Saving      served by one more write after this one
//  Saving      Saved           [no typing since]   Clean       the written bytes become the known version
//  Saving      Saved           [typing since]      Edited      the next pause writes the rest
//  Saving      SaveFailed                          Edited      typing kept for recovery; the window may retry
//  Clean       Refused                             Clean       (read-only file, changed file: nothing written)
//  Edited      Refused                             Edited      typing kept for recovery
//  Clean       DiskChanged                         Reloading   reads the other version on the writer
//  Edited      DiskChanged                         Asking      typing kept for recovery, the bar asks
//  LetGo       DiskChanged                         Asking
//  Saving      DiskChanged                         Saving      looked at again once the write is in
//  Reloading   DiskChanged                         Reloading   looked at again once the read is in
//  Saving      Conflict                            Asking      the writer found another version: nothing written
//  Reloading   Reloaded        [no typing since]   Clean       the window shows the other version
//  Reloading   Reloaded        [typing since]      Edited      the read is dropped; the file is looked at again
//  Reloading   ReloadFailed    [typing]            Edited      the error goes in the window's bar
//  Reloading   ReloadFailed    [no typing]         Clean
//  Asking      KeepMine                            Saving      the window's text is written over the other one
//  Asking      UseDisk                             Reloading   the other version is read in
//  Clean       Missing                             Edited      the bar says so; the next save writes the file again
//  Edited      Missing                             Edited
//  any open    SavedElsewhere                      Clean       the note now stands for the copy
//  Edited      LetGo                               LetGo       closing without saving: typing kept for recovery
//  Asking      LetGo                               LetGo
//  any         Close                               Closed      typing kept for recovery; the watch stops
//
// Any pair not listed leaves the state as it is: typing while Saving, Reloading or Asking is told by the edit
// generation when their result lands, and a note in Asking neither saves nor looks at its file until the answer.
class NoteState
{
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
        Closed
    };
    enum class Event
    {
        Edit,
        Unedit,
        SaveDue,
        Saved,
        SaveFailed,
        Refused,
        Conflict,
        DiskChanged,
        Reloaded,
        ReloadFailed,
        KeepMine,
        UseDisk,
        Missing,
        SavedElsewhere,
        LetGo,
        Close
    };

    // The state after event in from; typing: whether the window holds text its file does not, as it is once the
    // event happened.
    static State next(State from, Event event, bool typing);
    // Whether a note in this state may start a write or a look at its file now; otherwise it comes later.
    static bool isBusy(State state) { return state == State::Saving || state == State::Reloading; }
    static const char *name(State state);
    static const char *name(Event event);
};

Q_DECLARE_METATYPE(NoteState::State)
Q_DECLARE_METATYPE(NoteState::Event)
