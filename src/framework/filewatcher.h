#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QSocketNotifier;

// The one watch on the file system for the whole app. Inotify instances are the user's, shared with the file manager,
// the sync engine and every other program, so the app holds one: each folder and file is watched once however many
// notes look at it, and each event goes only to the watches it concerns. Events arrive on the thread that made it.
class FileWatcher : public QObject
{
    Q_OBJECT

public:
    explicit FileWatcher(QObject *parent = nullptr);
    ~FileWatcher() override;
    // The watcher of notes made without an app (the self-test, tools): the app passes its own to its notes.
    static FileWatcher &forProcess();

    // changed(name) for every change to an entry of folder: made, written, removed, renamed in or out, its mode or
    // links changed. With name, only changes to that entry (as the user would say: to that file at that place).
    // Every change is told when the watch had to give up telling them apart (the kernel's queue overflowed). Returns
    // an id for unwatch(), 0 when the folder cannot be watched. Nothing is called once receiver is gone.
    int watchFolder(const QByteArray &folder, const QByteArray &name, QObject *receiver,
                    const std::function<void(const QByteArray &name)> &changed);
    // changed() for every change to the file itself, whichever of its names it is changed through; the watch stays on
    // the file, not on its name.
    int watchFile(const QByteArray &path, QObject *receiver, const std::function<void()> &changed);
    void unwatch(int id);

private:
    struct Watch
    {
        int descriptor = -1;
        QByteArray name;
        QPointer<QObject> receiver;
        std::function<void(const QByteArray &)> changed;
    };
    int add(const QByteArray &path, quint32 mask, Watch watch);
    void readEvents();
    void tell(const Watch &watch, const QByteArray &name) const;

    int m_inotify = -1;
    QSocketNotifier *m_notifier = nullptr;
    int m_nextId = 1;
    QHash<int, Watch> m_watches;
    // The watches of each kernel watch descriptor, and whether it is a folder's.
    QMultiHash<int, int> m_byDescriptor;
};
