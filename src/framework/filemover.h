#pragma once

#include <QCoreApplication>
#include <QString>

// Renames and moves files without ever replacing a file that is already there, even one made at the same moment.
// Every failure throws an Error naming the file and the cause; the file then stays where it was.
class FileMover
{
    Q_DECLARE_TR_FUNCTIONS(FileMover)

public:
    // Gives the file at from the new path to on the same file system.
    static void rename(const QString &from, const QString &to);
    // Moves the file at from to the path to. Across file systems the file is copied durably (a synced hidden
    // temporary beside the destination, renamed into place, folder synced; mode and owner kept), and only then is
    // the original removed.
    static void move(const QString &from, const QString &to);
};
