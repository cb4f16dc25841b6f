#pragma once

#include <QCoreApplication>
#include <QString>

// The desktop's Trash: a file moved there by a file manager sits in a "files" folder of a trash, beside an "info"
// folder with a .trashinfo record of where it came from. Only trashes of the user's own count, laid out as the
// desktops' shared (freedesktop.org) Trash layout has them: the home trash "$XDG_DATA_HOME/Trash", and at the top of
// another file system ".Trash/<uid>" inside a sticky ".Trash" or ".Trash-<uid>" with mode 0700. None of them may be a
// link or belong to anyone else: in a folder shared with a group, another member could make a folder of any of those
// names.
class Trash
{
    Q_DECLARE_TR_FUNCTIONS(Trash)

public:
    // Whether path is a file in the "files" folder of a trash of the user's own.
    static bool holds(const QString &path);
    // Whether the trashed file at path was at original, as its trash's record says.
    static bool cameFrom(const QString &path, const QString &original);
    // Moves the trashed file at path back to original, where the app last saw it, and drops its record; only when
    // the record says it came from there, and never over a file that is there now. Throws Error naming the file and
    // the cause.
    static void putBack(const QString &path, const QString &original);
};
