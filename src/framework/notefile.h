#pragma once

#include "framework/fileidentity.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class FileWatcher;
struct LoadedFile;

// One note's file as it is on disk: watched for other programs' changes, remembered as the note last read or wrote
// it (so that its own writes are never taken for someone else's), followed when renamed, and looked at for links
// swapped in and for write permission. It reports what it finds; the note's state decides what that means.
class NoteFile : public QObject
{
    Q_OBJECT

public:
    NoteFile(FileWatcher &watcher, QObject *parent);
    ~NoteFile() override;

    // Watches the file at path (none: forgets it) and takes it as known, its content not yet; a version read for
    // path before is then its known version.
    void watch(const QString &path);
    void stop();
    // A file read for the note: known at once when it is the watched one, else once the note stands for it.
    void noteRead(const LoadedFile &loaded);
    // Another version was taken in: seen is the version that was found changed.
    void noteReloaded(const FileIdentity &seen, const LoadedFile &loaded);
    // The note's own write landed with these bytes, leaving the file as the writer saw it right after.
    void noteWritten(const QByteArray &digest, const FileIdentity &left);
    // A version the note could not take in is reported once, not on every change in the folder.
    void refuse(const FileIdentity &version) { m_refused = version; }
    bool isRefused(const FileIdentity &version) const { return version.exists && version == m_refused; }

    // The file at the path now; watched again when it came back after being replaced.
    FileIdentity current();
    // What the identity alone tells, without reading the file: known, not known, or known only if its bytes are
    // ours (a version changed so lately that another change could have left its times as they are, or one whose
    // change time alone moved), which is then compared on the writer.
    enum class Knowledge
    {
        Known,
        Unknown,
        ContentToCompare
    };
    Knowledge knowledgeOf(const FileIdentity &now) const;
    // Another version of the file may hold our very bytes: sync engines and backup tools put the same text back as
    // a new file. A link put in its place is another file whatever it holds.
    bool sameBytesMayBeBack() const { return !m_knownDigest.isEmpty() && !linkSwappedIn(); }
    // Whether the file at the path holds the bytes we know (a file gone or unreadable counts as the same: the next
    // look at its identity tells). Runs on the writer.
    std::function<bool()> sameContentTask() const;
    // The content of now was found the same: now is the known file.
    void acceptSameContent(const FileIdentity &now);
    // The one comparison queued for version: none when one that has not started reading answers for it too.
    std::function<bool()> compareOnce(const FileIdentity &version);

    // Where the file went when another program renamed or moved it within its file system: found through a
    // descriptor held open on it. None while something is at the path, or when the file is really gone.
    std::optional<QString> movedTo() const;
    // Whether the path has become a symbolic link, or a link to somewhere else, since we last knew the file.
    bool linkSwappedIn() const;
    // Whether a write goes through a link at the path: only a link that was there when the file was opened and still
    // points where it did. Any other link is replaced by the file, never written through.
    bool writesThroughLink() const;

    // Read-only for us: the permission check refuses us, or the mode has no write bit at all. Looked at again at
    // every save.
    bool isReadOnly() const { return m_readOnly; }
    bool refreshReadOnly();
    static bool readOnlyFile(const QString &path);
    // Whether a version changed so lately (by the clock at nowNs, none: now) that another change could still leave
    // its times as they are: its content then tells more than its identity.
    static bool changedLately(const FileIdentity &version, long long nowNs = 0);

Q_SIGNALS:
    void fileMayHaveChanged();
    void readOnlyChanged(bool readOnly);

private:
    void changeSeen();
    void noteVersion(const QByteArray &digest, const FileIdentity &identity, bool compareBeforeWrite);
    // Remembers the file's link state and holds it open, as it is now.
    void takeHold();
    // Watches the file at the path now: one replaced by rename is another file, watched anew.
    void watchFile(const FileIdentity &now);

    FileWatcher &m_watcher;
    QString m_path;
    int m_held = -1;
    QByteArray m_linkAtOpen;
    QByteArray m_knownLink;
    // The watch on the folder, for the note's name in it, and on the file itself, for changes through its other
    // names; the file watched.
    int m_folderWatch = 0;
    int m_fileWatch = 0;
    FileIdentity m_watchedFile;
    FileIdentity m_known;
    FileIdentity m_refused;
    QByteArray m_knownDigest;
    bool m_compareBeforeWrite = false;
    // The known version is the one our own write left, as its descriptor told.
    bool m_ownWrite = false;
    bool m_changeQueued = false;
    bool m_readOnly = false;
    // A version read before the note stood for its file.
    struct ReadVersion
    {
        QString path;
        QByteArray digest;
        FileIdentity identity;
        bool compareBeforeWrite = false;
    };
    ReadVersion m_readVersion;
    struct QueuedCompare
    {
        FileIdentity identity;
        std::atomic<bool> started = false;
    };
    std::shared_ptr<QueuedCompare> m_queuedCompare;
};
