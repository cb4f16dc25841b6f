#pragma once

#include "framework/error.h"

#include <QString>

#include <functional>
#include <optional>

class Document;
class FileWatcher;
class InterruptedSaveLog;
class QThreadPool;
class RecoveryStore;
struct LineDiff;

// What a window tells about its note, one message of each kind at a time: a newer one replaces the older.
enum class MessageKind
{
    Conflict,
    ReadOnly,
    SaveFailed,
    FileChanged,
    Restored,
    // Another version of the note lies beside it: a sync engine's conflict copy, or theirs kept by an answer.
    ConflictCopy,
    // Where the text that could not be saved is kept, when not in the usual place, or that it cannot be kept.
    Recovery,
    Error
};

// Every question a note puts to its user. The app answers through the note's window: in its message bar when the
// question comes unasked, in a dialog when it answers a command the user gave. An answer left empty is the one a
// note without a window gets: its own text wins, closing keeps the typing for recovery, the rest is cancelled.
struct NoteQuestions
{
    // Keeping ours, with or without showing theirs, keeps theirs in a copy beside the note.
    enum class Conflict
    {
        KeepMine,
        KeepBoth,
        UseDisk
    };
    enum class UnsavedChoice
    {
        SaveAs,
        CloseWithoutSaving,
        Cancel
    };
    // Which version to keep after another program changed the file under typing, told what differs; answers later,
    // on the note's thread, as the user would.
    std::function<void(Document *note, const LineDiff &difference, const std::function<void(Conflict)> &answer)>
        whichVersion;
    // What to do with an edited note that cannot be written when the user closes it or quits.
    std::function<UnsavedChoice(Document *note, const Error &reason)> closeUnsaved;
    // A new file name (rename), a destination folder (move) or a new path (save as); none when the user cancels.
    std::function<std::optional<QString>(Document *note)> newFileName;
    std::function<std::optional<QString>(Document *note)> destinationFolder;
    std::function<std::optional<QString>(Document *note)> saveAsPath;
};

// The services every open note uses, made once by the app (or a test) and given to each note it makes.
struct NoteServices
{
    // Where typing goes when its own file cannot take it; none keeps nothing.
    RecoveryStore *recovery = nullptr;
    // Where rewrites in place are noted so that a kill cut short is repaired at the next launch; none notes nothing.
    InterruptedSaveLog *interruptedSaves = nullptr;
    NoteQuestions questions;
    // The app's one watch on the file system and one pool of writers, which outlive every note and every write; none:
    // the process's own.
    FileWatcher *watcher = nullptr;
    QThreadPool *writers = nullptr;
};
