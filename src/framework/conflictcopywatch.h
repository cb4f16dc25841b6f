#pragma once

#include <QObject>
#include <QSet>
#include <QString>

class FileWatcher;
class QTimer;

// Watches the folder of a note for the copies a sync engine leaves beside it when another device changed the note
// at the same time (see SyncConflicts), and tells each copy once: the user's other version waits there unseen
// otherwise. A copy told that is no longer there (the engine took it away again) is told gone. The folder is listed
// off the window's thread.
class ConflictCopyWatch : public QObject
{
    Q_OBJECT

public:
    ConflictCopyWatch(FileWatcher &watcher, QObject *parent);
    ~ConflictCopyWatch() override;

    // Watches the folder of the note at notePath (empty: nothing) and looks at once: copies already there count.
    void watch(const QString &notePath);
    // A copy this app made itself: the user knows of it.
    void ignore(const QString &copyPath);

Q_SIGNALS:
    void found(const QString &copyPath);
    void gone(const QString &copyPath);

private:
    void look();
    void listed(const QString &notePath, const QStringList &copies);

    FileWatcher &m_watcher;
    int m_folder = 0;
    // Many changes to copies in the folder (a sync engine at work) make one look, once it settles.
    QTimer *m_settle;
    QString m_note;
    QSet<QString> m_told;
};
