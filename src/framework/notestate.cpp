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
        return (from == State::Clean || from == State::Edited || from == State::LetGo) ? settled : from;
    case Event::SaveDue:
        return (from == State::Clean || from == State::Edited || from == State::Saving) ? State::Saving : from;
    case Event::Saved:
    case Event::SaveFailed:
        return from == State::Saving ? settled : from;
    case Event::Refused:
        return (from == State::Clean || from == State::Edited) ? settled : from;
    case Event::Conflict:
        return from == State::Saving ? State::Asking : from;
    case Event::DiskChanged:
        switch (from) {
        case State::Clean:
            return State::Reloading;
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
        return from == State::Asking ? State::Saving : from;
    case Event::UseDisk:
        return from == State::Asking ? State::Reloading : from;
    case Event::Missing:
        return (from == State::Clean || from == State::Edited) ? State::Edited : from;
    case Event::SavedElsewhere:
        return State::Clean;
    case Event::LetGo:
        return (from == State::Edited || from == State::Asking) ? State::LetGo : from;
    case Event::Close:
        break;
    }
    return from;
}

const char *NoteState::name(State state)
{
    static constexpr const char *names[] = {"Clean", "Edited", "Saving", "Reloading", "Asking", "LetGo", "Closed"};
    return names[static_cast<int>(state)];
}

const char *NoteState::name(Event event)
{
    static constexpr const char *names[] = {"Edit",     "Unedit",       "SaveDue",  "Saved",   "SaveFailed", "Refused",
                                            "Conflict", "DiskChanged",  "Reloaded", "ReloadFailed",
                                            "KeepMine", "UseDisk",      "Missing",  "SavedElsewhere",
                                            "LetGo",    "Close"};
    return names[static_cast<int>(event)];
}
