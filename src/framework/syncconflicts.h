#pragma once

#include <QDateTime>
#include <QString>

// The names that file-sync engines give the losing side of a conflict, left beside the note: a rename of a note to
// one of these is the engine keeping the other device's version, never the user moving the note. One table, easy
// to extend.
class SyncConflicts
{
public:
    // Whether the file name is a conflict copy of the note named note (file names, no folders).
    static bool isCopyOf(const QString &name, const QString &note);
    // The name of a conflict copy of our own, beside the note: "one (conflict 2026-12-07 0215).txt", and with
    // number 2 and up "one (conflict 2026-12-07 0215 2).txt", for a name already taken.
    static QString ownCopyName(const QString &note, const QDateTime &when, int number = 1);
    // Keeps what the file at notePath holds now in a new copy of our own beside it, never over another file, and
    // returns its path. Throws Error naming the file and the cause (ENOENT: nothing is at notePath). On the writer.
    static QString keepBeside(const QString &notePath, const QDateTime &when);
    // Gives the file at hidden, beside the note at notePath, the first free name of a conflict copy of our own, never
    // over another file, and returns its path. Throws Error.
    static QString nameBeside(const QString &hidden, const QString &notePath, const QDateTime &when);
};
