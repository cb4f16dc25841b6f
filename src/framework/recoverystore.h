#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QThreadPool;

// Keeps the text of documents that could not be written to their files (full disk, read-only, folder gone) in a
// folder of its own, with the same durable writer, until the document is saved. After a crash the next launch
// finds them here and offers them to the user.
class RecoveryStore
{
public:
    struct Entry
    {
        QString originalPath;
        QString recoveryPath;
    };

    // Makes an existing folder private (0700, its files 0600), as every new one is.
    explicit RecoveryStore(QString folder);
    // Waits for the keeps under way.
    ~RecoveryStore();

    // "$XDG_STATE_HOME/<app>/recovery", by default "~/.local/state/<app>/recovery".
    static QString defaultFolder(const QString &appDirName);

    const QString &folder() const { return m_folder; }

    // Throws Error when the text cannot be kept either.
    void keep(const QString &originalPath, const QByteArray &bytes);
    // Keeps what bytesOf gives on a thread of the store's own, in order, so that a document's window never waits
    // for the disk; a keep that fails is let go, as the save's own error has told the user. Every other call waits
    // for the keeps under way first, so it sees them done.
    void keepLater(const QString &originalPath, std::function<QByteArray()> bytesOf);
    void finishKeeping() const;
    // Forgets the kept text of a document once its own file holds it.
    void discard(const QString &originalPath);
    bool holds(const QString &originalPath) const;
    QList<Entry> entries() const;

private:
    void tighten() const;
    QString basePathFor(const QString &originalPath) const;
    static void write(const QString &folder, const QString &base, const QString &originalPath, const QByteArray &bytes);

    QString m_folder;
    std::unique_ptr<QThreadPool> m_keeper;
};
