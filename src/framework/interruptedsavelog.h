#pragma once

#include "framework/inplacesave.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Notes in a private folder of the user's the rewrites in place under way, so that the next launch repairs one that a
// kill cut short even when its note is not opened again, and keeps what those repairs did for the notes' next open.
class InterruptedSaveLog
{
public:
    // Empty: rewrites are not noted (a tool that is not the app).
    static void setFolder(const QString &folder);
    // "$XDG_STATE_HOME/<app>/interrupted", by default under "~/.local/state".
    static QString defaultFolder(const QString &appDirName);

    // Notes a rewrite of the file at target; the entry to remove once it is complete, empty when none was made (a
    // backup beside the note still repairs it at its next open).
    static QByteArray add(const QByteArray &target);
    static void remove(const QByteArray &entry);

    // Repairs every note the log names (at launch, off the window's thread); an entry whose note could not be
    // written stays for the next launch.
    static void repairAll();
    // What the launch's repair did to the note at target, once.
    static std::optional<InPlaceSave::Repair> takeReport(const QByteArray &target);
};
