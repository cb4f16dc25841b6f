#pragma once

#include <QString>

// Where Rename and Move To put a document's file, checked before the file is touched. Throws Error naming the file
// and why the new place is refused.
class DocumentMover
{
public:
    // The path the file at current gets with the new name; empty when the name is the one it has.
    static QString renamedPath(const QString &current, const QString &name);
    // The path the file at current gets in folder, keeping its name; empty when it is in that folder already.
    static QString movedPath(const QString &current, const QString &folder);
};
