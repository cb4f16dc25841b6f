#pragma once

#include <QCoreApplication>
#include <QString>

class Document;

// Where Rename and Move To put a document's file, checked before the file is touched. Throws Error naming the file
// and why the new place is refused.
class DocumentMover
{
    Q_DECLARE_TR_FUNCTIONS(DocumentMover)

public:
    // The path the file at current gets with the new name; empty when the name is the one it has.
    static QString renamedPath(const QString &current, const QString &name);
    // The path the file at current gets in folder, keeping its name; empty when it is in that folder already.
    static QString movedPath(const QString &current, const QString &folder);

    // The menu's "Rename…" and "Move To…": ask where, write the typing to the old name, move the file, and the note
    // follows it. A failure goes in the note's window.
    static void rename(Document &note);
    static void move(Document &note);
};
