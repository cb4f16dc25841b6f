#pragma once

#include "framework/byteparts.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Error;
class QObject;
class QThreadPool;

// Keeps the text of documents that could not be written to their files (full disk, read-only, folder gone) in a
// folder of its own, with the same durable writer, until the document is saved. After a crash the next launch
// finds them here and offers them to the user.
//
// The folder is the user's alone: a real folder (never a link, which would hand its files' modes to whatever it
// points at) owned by the user, 0700 with files 0600. A folder that is not, or that cannot be written, gives way to
// the next place in line, and the document's window is told where its text went, or that it went nowhere.
class RecoveryStore
{
    Q_DECLARE_TR_FUNCTIONS(RecoveryStore)

public:
    struct Entry
    {
        QString originalPath;
        QString recoveryPath;
    };

    // folder first, then each of fallbacks in turn. Makes the existing ones private, as every new one is.
    explicit RecoveryStore(QString folder, QStringList fallbacks = {});
    // Waits for the keeps under way.
    ~RecoveryStore();

    // "$XDG_STATE_HOME/<app>/recovery", by default "~/.local/state/<app>/recovery".
    static QString defaultFolder(const QString &appDirName);
    // "$XDG_RUNTIME_DIR/<app>/recovery": private to the user and kept until the machine shuts down, so typing
    // still survives a crash of the app. None without a runtime folder that is the user's and 0700.
    static QStringList defaultFallbacks(const QString &appDirName);

    const QString &folder() const { return m_folders.constFirst(); }

    // Returns the folder the text went to. Throws Error when it cannot be kept anywhere.
    QString keep(const QString &originalPath, const QByteArray &bytes);
    // What a document is told when its text went elsewhere than folder(), or nowhere; on the store's thread.
    using Report = std::function<void(const Error &notice)>;
    // Keeps what bytesOf gives on a thread of the store's own, in order, so that a document's window never waits
    // for the disk. Every other call waits for the keeps under way first, so it sees them done.
    void keepLater(const QString &originalPath, std::function<ByteParts()> bytesOf, Report report = {});
    // Waits for the keeps under way, up to timeoutMs (-1: as long as they take); false when some still run.
    bool finishKeeping(int timeoutMs = -1) const;
    // Forgets the kept text of a document once its own file holds it.
    void discard(const QString &originalPath);
    bool holds(const QString &originalPath) const;
    QList<Entry> entries() const;

private:
    // The folders that are the user's own now, in order; none is made.
    QStringList ownFolders() const;

    QStringList m_folders;
    // Lives on the store's thread, so that reports reach it there.
    std::unique_ptr<QObject> m_reporter;
    std::unique_ptr<QThreadPool> m_keeper;
};
