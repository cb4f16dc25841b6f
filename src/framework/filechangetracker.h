#pragma once

#include "framework/fileidentity.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QFileSystemWatcher;

// Watches a document's file for changes by other programs and remembers the file as the document last read or
// wrote it, so that the document's own writes are never taken for someone else's.
class FileChangeTracker : public QObject
{
    Q_OBJECT

public:
    explicit FileChangeTracker(QObject *parent = nullptr);
    ~FileChangeTracker() override;

    // Starts watching the file at path (none: forgets it) and takes it as known, its content not yet.
    void watch(const QString &path);
    // Stops watching; the file is still looked at when asked.
    void stop();

    // The file as it is now; watched again when it came back after being replaced.
    FileIdentity current();
    // Whether the file still holds what we last read or wrote. The identity alone misses a change that fell into
    // the same tick of the file system's clock as the one before it, so a recent file is compared by content too.
    // A file whose change time alone moved is compared by content, and taken as known when it holds the same.
    bool isKnown(const FileIdentity &now);
    // What the identity alone tells, without reading the file: known, not known, or known only if the content is
    // the same (a recent file, or one whose change time alone moved), which is then compared elsewhere.
    enum class Knowledge
    {
        Known,
        Unknown,
        ContentToCompare
    };
    Knowledge knowledgeOf(const FileIdentity &now) const;
    // Compared elsewhere: whether the file's bytes have the known digest (a file gone or unreadable counts as the
    // same: the next look at its identity tells). Safe on any thread.
    std::function<bool()> sameContentTask() const;
    // Whether the digest of what we last read or wrote is known, so that another version can be compared with it.
    bool hasKnownContent() const { return !m_knownDigest.isEmpty(); }
    // The content of now was found the same: now is the known file.
    void acceptSameContent(const FileIdentity &now);
    // Whether the file existed when we last looked at it as ours.
    bool knewFile() const;

    // The document read these bytes from the file, or wrote them to it.
    void noteContent(const QByteArray &bytes);
    void noteContentDigest(const QByteArray &digest);
    // The content noted was read from this version of the file, which need not be the one at the path now; with
    // compareBeforeWrite, a change that left its times as they were could have passed unseen during the read, and
    // the content is compared before the first write.
    void noteReadVersion(const FileIdentity &identity, bool compareBeforeWrite);
    static QByteArray digestOf(const QByteArray &bytes);
    // Whether a version changed so lately (by the clock at nowNs, none: now) that another change could still leave
    // its times as they are: its content then tells more than its identity.
    static bool changedLately(const FileIdentity &version, long long nowNs = 0);
    // The document's own write landed: its result is the known file, as the writer saw it right after writing (by
    // default: as it is at the path now).
    void noteOwnWrite(const FileIdentity &written = {});
    // The document took this version of the file in.
    void accept(const FileIdentity &identity);

    // A version the document refused to read is reported once, not on every change in the folder.
    void refuse(const FileIdentity &identity);
    bool isRefused(const FileIdentity &identity) const;
    // True the first time the file is found missing since it was last known.
    bool firstTimeMissing();

    // Where the file went when another program renamed or moved it within its file system: found through a
    // descriptor held open on it. None while something is at the path, or when the file is really gone.
    std::optional<QString> movedTo() const;
    // Whether the path has become a symbolic link, or a link to somewhere else, since we last knew the file: some
    // other file has been put in its place.
    bool linkSwappedIn() const;
    // Whether a write goes through a link at the path: only a link that was there when the file was opened and still
    // points where it did. Any other link is replaced by the file, never written through.
    bool writesThroughLink() const;

Q_SIGNALS:
    void fileMayHaveChanged();

private:
    void changeSeen();
    // Remembers the file's link state and holds it open, as it is now.
    void takeHold();
    // Adds the file to the toolkit's watch when it is not in it (a file replaced by rename drops out).
    void watchFile();

    QString m_path;
    int m_held = -1;
    // The watch on the held descriptor, for a file the toolkit cannot name.
    QString m_heldWatch;
    QByteArray m_linkAtOpen;
    QByteArray m_knownLink;
    QFileSystemWatcher *m_watcher = nullptr;
    FileIdentity m_known;
    FileIdentity m_refused;
    QByteArray m_knownDigest;
    bool m_compareBeforeWrite = false;
    bool m_missingReported = false;
    bool m_changeQueued = false;
};
