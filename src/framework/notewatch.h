#pragma once

#include "framework/fileidentity.h"

#include <QObject>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class FileChangeTracker;
struct LoadedFile;

// A note's view of its file on disk: which version it last read or wrote, what another version found there means,
// the versions the user answered about, and whether the file lets us write. It tells; the note decides.
class NoteWatch : public QObject
{
    Q_OBJECT

public:
    explicit NoteWatch(QObject *parent = nullptr);
    ~NoteWatch() override;

    // Watches the note's file at url (none: forgets it); a version read for url before is taken as known.
    void watch(const QUrl &url);
    void stop();
    // A file read for the note: known at once when it is the watched one, else once the note stands for it.
    void noteRead(const LoadedFile &loaded);
    // Another version was taken in: seen is the version that was found changed.
    void noteReloaded(const FileIdentity &seen, const LoadedFile &loaded);
    // A version the note could not take in is reported once.
    void refuse(const FileIdentity &version);
    // The note's own write landed with these bytes, leaving the file as the writer saw it right after.
    void noteWritten(const QByteArray &digest, const FileIdentity &left);

    // What a look at the file found.
    enum class Look
    {
        Known,
        // Known only if its bytes are ours, which is to be compared off the window's thread.
        Compare,
        Changed,
        // Gone, reported once; or moved, and the watch now follows it (movedTo).
        Missing,
        Moved,
        // Seen before, refused, nothing new.
        Ignored
    };
    Look look(bool typing, FileIdentity *now);
    // What a write must do about the file at the path now: write, write only if it still holds our bytes or, for a
    // note whose file is still to be made, only if none appeared (the writer looks right before), keep the typing
    // aside for the open answer, or ask first.
    enum class BeforeWrite
    {
        Write,
        WriteIfSame,
        WriteIfAbsent,
        Keep,
        Ask
    };
    BeforeWrite beforeWrite(bool asking, FileIdentity *now);
    // Whether the file still holds the bytes we know: runs on the writer; a version found the same is then known.
    std::function<bool()> sameContentTask() const;
    std::function<bool()> absentTask() const;
    void acceptSameContent(const FileIdentity &now);
    // The one comparison queued for version, made on the writer: none when one that has not started answers for it.
    std::function<bool()> compareOnce(const FileIdentity &version);
    FileIdentity current();
    std::optional<QString> movedTo() const;
    bool linkSwappedIn() const;
    bool writesThroughLink() const;

    // The user's answers about another version: keep it on disk, or write over it (once asked, not again).
    void keepOnDisk(const FileIdentity &version) { m_keptOnDisk = version; }
    void writeOver(const FileIdentity &version) { m_writeOver = version; }
    void forgetAnswers();

    // Read-only for us: the permission check refuses us, or the mode has no write bit at all. Looked at again at
    // every save.
    bool isReadOnly() const { return m_readOnly; }
    bool refreshReadOnly();
    static bool readOnlyFile(const QString &path);

Q_SIGNALS:
    void fileMayHaveChanged();
    void readOnlyChanged(bool readOnly);

private:
    // Another version of the file may hold our very bytes: sync engines and backup tools put the same text back as
    // a new file. A link put in its place is another file whatever it holds.
    bool sameBytesMayBeBack() const;

    FileChangeTracker *m_tracker;
    QUrl m_url;
    // The digest and version of a file read before the note stood for it.
    struct ReadVersion
    {
        QUrl url;
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
    FileIdentity m_keptOnDisk;
    FileIdentity m_writeOver;
    bool m_readOnly = false;
};
