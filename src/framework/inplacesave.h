#pragma once

#include "framework/error.h"
#include "framework/fileidentity.h"

#include <QByteArray>
#include <QString>

#include <optional>

class InterruptedSaveLog;

// A note with other hard links is rewritten where it is, so that every name shows the new text. A kill midway would
// leave it cut, so a synced backup of its old text goes beside it first, and says which file it was made for and
// what that file holds before and after the rewrite. A rewrite cut short is repaired from it only when the backup is
// provably ours and the note provably cut, and what the note held then is kept beside it first.
class InPlaceSave
{
public:
    // What a look for an interrupted rewrite of a note found and did.
    struct Repair
    {
        enum class Outcome
        {
            Nothing,
            // The note holds its last complete version again; cutCopy holds what it held before.
            PutBack,
            // A backup of ours was found and left where it is (leftover), since the note could not be proved cut or
            // could not be written (failure).
            LeftoverKept
        };
        Outcome outcome = Outcome::Nothing;
        QString leftover;
        QString cutCopy;
        std::optional<Error> failure;
    };

    // Rewrites the regular file at target with data, in place; path names it in errors; log (if any) notes the
    // rewrite while it is under way. Throws Error; with expected, DurableWriter::OtherVersion when the file opened
    // is another version than that one, and then nothing is written.
    // Returns the file as it is once rewritten.
    static FileIdentity rewrite(const QString &path, const QByteArray &target, const QByteArray &data,
                                InterruptedSaveLog *log, const FileIdentity *expected = nullptr);

    // Looks beside the note at path for what an interrupted rewrite left, and repairs the note when that is sound.
    // A backup that is not ours (another owner, writable by others, a link) is never read, used or removed; ours
    // goes only once the note provably holds complete text. With log, what the launch's repair did to the note is
    // reported when nothing is left to repair now. Safe on any thread; never throws.
    static Repair repair(const QString &path, InterruptedSaveLog *log);
};
