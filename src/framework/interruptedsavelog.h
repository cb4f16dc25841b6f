#pragma once

#include "framework/inplacesave.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <optional>

// Notes in a private folder of the user's the rewrites in place under way, so that the next launch repairs one that a
// kill cut short even when its note is not opened again, and keeps what those repairs did for the notes' next open.
// Safe on any thread.
class InterruptedSaveLog
{
public:
    // The log kept in folder; "$XDG_STATE_HOME/<app>/interrupted" is the app's.
    explicit InterruptedSaveLog(const QString &folder);
    Q_DISABLE_COPY_MOVE(InterruptedSaveLog)
    static QString defaultFolder(const QString &appDirName);

    // Notes a rewrite of the file at target; the entry to remove once it is complete, empty when none was made (a
    // backup beside the note still repairs it at its next open).
    QByteArray add(const QByteArray &target);
    void remove(const QByteArray &entry);

    // Repairs every note the log names (at launch, off the window's thread); an entry whose note could not be
    // written stays for the next launch.
    void repairAll();
    // What the launch's repair did to the note at target, once.
    std::optional<InPlaceSave::Repair> takeReport(const QByteArray &target);

private:
    const QString m_folder;
    QMutex m_mutex;
    QHash<QByteArray, InPlaceSave::Repair> m_reports;
};
