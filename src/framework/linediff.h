#pragma once

#include <QString>
#include <QStringList>

// What differs between two versions of a note, line by line, short enough for a message bar: the lines both share
// at the start and at the end are cut away, and only the first few differing lines of each side are kept.
struct LineDiff
{
    // The first line (from 1) where the versions part.
    qsizetype firstLine = 0;
    // How many lines differ on each side, and the first of them, each cut to a readable length.
    qsizetype oursCount = 0;
    qsizetype theirsCount = 0;
    QStringList ours;
    QStringList theirs;

    bool isSame() const { return oursCount == 0 && theirsCount == 0; }
    // Work proportional to both texts: run off the window's thread for a long note.
    static LineDiff between(const QString &ours, const QString &theirs, int kept = 3);
};
