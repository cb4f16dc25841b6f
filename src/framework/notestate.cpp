#include "notestate.h"

using State = NoteState::State;
using Event = NoteState::Event;

State NoteState::next(State from, Event event, bool typing)
{
    if (from == State::Closed || event == Event::Close)
        return State::Closed;
    const State settled = typing ? State::Edited : State::Clean;
    switch (event) {
    case Event::Edit:
    case Event::Unedit:
        // Typing while a write, a read or a question is under way is told by the edit generation when it lands.
        if (from != State::Clean && from != State::Edited && from != State::LetGo && from != State::Gone)
            return from;
        if (event == Event::Edit)
            return State::Edited;
        return from == State::Gone ? from : State::Clean;
    case Event::SaveDue:
        return (from == State::Clean || from == State::Edited || from == State::Saving || from == State::Gone)
                   ? State::Saving
                   : from;
    case Event::Saved:
    case Event::SaveFailed:
        return from == State::Saving ? settled : from;
    case Event::Conflict:
        return from == State::Saving ? State::Asking : from;
    case Event::DiskChanged:
        switch (from) {
        case State::Clean:
        case State::Gone:
            return typing ? State::Asking : State::Reloading;
        case State::Edited:
        case State::LetGo:
            return State::Asking;
        default:
            return from;
        }
    case Event::Reloaded:
    case Event::ReloadFailed:
        return from == State::Reloading ? settled : from;
    case Event::KeepMine:
        return from == State::Asking ? settled : from;
    case Event::UseDisk:
        return from == State::Asking ? State::Reloading : from;
    case Event::Missing:
        return from == State::Clean ? State::Gone : from;
    case Event::Back:
        return from == State::Gone ? settled : from;
    case Event::SavedElsewhere:
        return settled;
    case Event::LetGo:
        return (from == State::Edited || from == State::Asking) ? State::LetGo : from;
    case Event::Close:
        break;
    }
    return from;
}
