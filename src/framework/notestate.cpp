#include "notestate.h"

#include <array>

using State = NoteState::State;
using Event = NoteState::Event;
using Guard = NoteState::Guard;

namespace {

// The note's whole life. What the note does on the way is in NoteSync, named after the event.
constexpr std::array rows{
    // Typing. Typing while Saving, Reloading, Asking or Vanished is told by the edit generation when their result
    // lands, and kept for recovery meanwhile.
    NoteState::Row{State::Clean, Event::Edit, Guard::Any, State::Edited},
    NoteState::Row{State::LetGo, Event::Edit, Guard::Any, State::Edited}, // takes the text back from recovery
    NoteState::Row{State::Gone, Event::Edit, Guard::Any, State::Edited},  // writes the note again at its place
    NoteState::Row{State::Edited, Event::Unedit, Guard::Any, State::Settled},
    NoteState::Row{State::LetGo, Event::Unedit, Guard::Any, State::Settled},
    // Writes: a snapshot of the text is taken, encoded, written and synced on the writer.
    NoteState::Row{State::Clean, Event::SaveDue, Guard::Any, State::Saving}, // an explicit save
    NoteState::Row{State::Edited, Event::SaveDue, Guard::Any, State::Saving},
    NoteState::Row{State::Gone, Event::SaveDue, Guard::Any, State::Saving}, // "Save Again"
    NoteState::Row{State::Saving, Event::Saved, Guard::Any, State::Settled},
    // A failed write of a note whose file is gone leaves it gone; typing is kept for recovery and tried again.
    NoteState::Row{State::Saving, Event::SaveFailed, Guard::Any, State::Settled},
    // The writer found another version at the path: nothing was written.
    NoteState::Row{State::Saving, Event::Conflict, Guard::Any, State::Asking},
    // Other programs' versions: read in when nothing would be lost, else asked about. A link swapped in is never
    // taken in unasked.
    NoteState::Row{State::Clean, Event::DiskChanged, Guard::NoTyping, State::Reloading},
    NoteState::Row{State::Clean, Event::DiskChanged, Guard::Typing, State::Asking},
    NoteState::Row{State::Gone, Event::DiskChanged, Guard::NoTyping, State::Reloading},
    NoteState::Row{State::Gone, Event::DiskChanged, Guard::Typing, State::Asking},
    NoteState::Row{State::Vanished, Event::DiskChanged, Guard::NoTyping, State::Reloading},
    NoteState::Row{State::Vanished, Event::DiskChanged, Guard::Typing, State::Asking},
    NoteState::Row{State::Edited, Event::DiskChanged, Guard::Any, State::Asking},
    NoteState::Row{State::LetGo, Event::DiskChanged, Guard::Any, State::Asking},
    NoteState::Row{State::Reloading, Event::Reloaded, Guard::Any, State::Settled},
    NoteState::Row{State::Reloading, Event::ReloadFailed, Guard::Any, State::Settled}, // told in the window's bar
    NoteState::Row{State::Asking, Event::KeepMine, Guard::Any, State::Settled}, // theirs kept beside, ours written
    NoteState::Row{State::Asking, Event::UseDisk, Guard::Any, State::Reloading},
    // The file goes away: a grace decides between a replacement and a delete.
    NoteState::Row{State::Clean, Event::Missing, Guard::Any, State::Vanished},
    NoteState::Row{State::Edited, Event::Missing, Guard::Any, State::Vanished},
    NoteState::Row{State::Vanished, Event::GraceOver, Guard::Any, State::Settled}, // the bar tells; typing is written
    NoteState::Row{State::Vanished, Event::Back, Guard::Any, State::Settled},
    NoteState::Row{State::Clean, Event::Trashed, Guard::Any, State::Settled},
    NoteState::Row{State::Edited, Event::Trashed, Guard::Any, State::Settled},
    NoteState::Row{State::Vanished, Event::Trashed, Guard::Any, State::Settled},
    NoteState::Row{State::Gone, Event::Back, Guard::Any, State::Settled}, // the very file is at its place (put back)
    // Save As: the note stands for the copy from now on, whatever it was doing; the question is settled by it.
    NoteState::Row{State::Clean, Event::SavedElsewhere, Guard::Any, State::Settled},
    NoteState::Row{State::Edited, Event::SavedElsewhere, Guard::Any, State::Settled},
    NoteState::Row{State::Saving, Event::SavedElsewhere, Guard::Any, State::Settled},
    NoteState::Row{State::Reloading, Event::SavedElsewhere, Guard::Any, State::Settled},
    NoteState::Row{State::Asking, Event::SavedElsewhere, Guard::Any, State::Settled},
    NoteState::Row{State::LetGo, Event::SavedElsewhere, Guard::Any, State::Settled},
    NoteState::Row{State::Vanished, Event::SavedElsewhere, Guard::Any, State::Settled},
    NoteState::Row{State::Gone, Event::SavedElsewhere, Guard::Any, State::Settled},
    // Closing without saving: typing kept for recovery.
    NoteState::Row{State::Edited, Event::LetGo, Guard::Any, State::LetGo},
    NoteState::Row{State::Asking, Event::LetGo, Guard::Any, State::LetGo},
    NoteState::Row{State::Vanished, Event::LetGo, Guard::Any, State::LetGo},
};

bool guardHolds(Guard guard, bool typing)
{
    return guard == Guard::Any || (guard == Guard::Typing) == typing;
}

} // namespace

void NoteState::startAt(bool fileExists)
{
    m_state = fileExists ? State::Clean : State::Gone;
    m_fileExpected = fileExists;
    forgetAnswers();
}

State NoteState::on(Event event, bool typing)
{
    // Closing ends everything, from any state.
    if (m_state == State::Closed || event == Event::Close)
        return m_state = State::Closed;
    for (const Row &row : rows) {
        if (row.from != m_state || row.event != event || !guardHolds(row.guard, typing))
            continue;
        switch (event) {
        case Event::Saved:
        case Event::SavedElsewhere:
        case Event::Reloaded:
        case Event::Back:
        case Event::DiskChanged:
            m_fileExpected = true;
            break;
        case Event::Missing:
        case Event::Trashed:
            m_fileExpected = false;
            break;
        default:
            break;
        }
        if (row.to != State::Settled)
            return m_state = row.to;
        return m_state = typing ? State::Edited : m_fileExpected ? State::Clean : State::Gone;
    }
    return m_state;
}

NoteState::Write NoteState::beforeWrite(const OnDisk &disk) const
{
    // An open question, or a grace still deciding whether the file was deleted, comes first: nothing is written.
    if (m_state == State::Asking || m_state == State::Vanished || m_state == State::Reloading)
        return Write::Keep;
    if (!disk.now.exists)
        return m_fileExpected ? Write::Missing : Write::WhereNone;
    // Answered once: the user chose their text over this version (also for a note whose file is new).
    if (disk.now == m_writeOver)
        return Write::Over;
    // A file appeared where none was expected: another program's, never taken for ours.
    if (!m_fileExpected)
        return Write::Ask;
    if (disk.known)
        return Write::Over;
    // The writer compares the bytes right before it replaces them: a long note is not read here after every pause.
    if (disk.compareBytes)
        return Write::OverIfSame;
    // The version the user kept could not be read in: it is not written over unasked.
    if (disk.now == m_keptOnDisk)
        return Write::Keep;
    return disk.sameBytesMayBeBack ? Write::OverIfSame : Write::Ask;
}
