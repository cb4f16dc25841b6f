#pragma once

#include <QCoreApplication>
#include <QString>

#include <optional>

// The desktop's Trash: a file moved there by a file manager sits in a "files" folder of a trash, beside an "info"
// folder with a .trashinfo record of where it came from (the home trash under $XDG_DATA_HOME, or a ".Trash/<uid>" or
// ".Trash-<uid>" folder at the top of another file system).
class Trash
{
    Q_DECLARE_TR_FUNCTIONS(Trash)

public:
    // Whether path is a file in a trash's "files" folder.
    static bool holds(const QString &path);
    // Where the trashed file at path came from, as its .trashinfo records it; none when the record is missing or
    // unreadable.
    static std::optional<QString> originalPath(const QString &path);
    // Moves the trashed file at path back to where it came from, and drops its record. Never replaces a file that is
    // there now. Throws Error naming the file and the cause. Returns the path it went back to.
    static QString putBack(const QString &path);
};
