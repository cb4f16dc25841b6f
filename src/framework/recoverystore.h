#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

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

    // "$XDG_STATE_HOME/<app>/recovery", by default "~/.local/state/<app>/recovery".
    static QString defaultFolder(const QString &appDirName);

    const QString &folder() const { return m_folder; }

    // Throws Error when the text cannot be kept either.
    void keep(const QString &originalPath, const QByteArray &bytes);
    // Forgets the kept text of a document once its own file holds it.
    void discard(const QString &originalPath);
    bool holds(const QString &originalPath) const;
    QList<Entry> entries() const;

private:
    void tighten() const;
    QString basePathFor(const QString &originalPath) const;

    QString m_folder;
};
