#pragma once

#include "framework/documentasker.h"
#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/fileidentity.h"
#include "framework/inplacesave.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <any>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class FileChangeTracker;
class RecoveryStore;
class WindowController;
class WriteQueue;

// One open file: its location, whether it has unsaved changes, its windows, and reading and writing it.
// Subclasses say how bytes become their content (read) and back (data). Coordinates the background writes
// (WriteQueue), the watch for other programs' changes (FileChangeTracker), rename and move (DocumentMover) and the
// questions to the user (DocumentAsker).
class Document : public QObject
{
    Q_OBJECT

public:
    enum class ChangeType
    {
        Done,
        Cleared,
        Undone,
        Redone
    };
    enum class SaveOperation
    {
        // Writes the document's own file: the written bytes become the known version.
        Save,
        // Writes a copy elsewhere; the document's own file stays as it was.
        SaveTo
    };
    using Completion = std::function<void(const std::optional<Error> &)>;

    explicit Document(QObject *parent = nullptr);
    ~Document() override;

    QUrl fileUrl() const;
    void setFileUrl(const QUrl &url);
    QString fileType() const;
    void setFileType(const QString &typeName);
    // The file name, or "Untitled" without a file.
    QString displayName() const;

    void updateChangeCount(ChangeType change);
    bool isDocumentEdited() const;

    // The document owns its window controllers, in the order they were added.
    void addWindowController(WindowController *controller);
    QList<WindowController *> windowControllers() const;
    virtual void makeWindowControllers();
    void showWindows();

    // Throws Error. read() must change nothing when it throws.
    virtual void read(const QByteArray &data, const QString &typeName) = 0;
    // Reading in two steps, so that a file is read and decoded away from the window: the decoder runs on a worker
    // thread, touches nothing of the document and throws Error when it refuses the bytes; takeDecoded() takes its
    // result on the document's thread. By default the decoder passes the bytes on and takeDecoded() calls read().
    using Decoder = std::function<std::any(const QByteArray &bytes)>;
    virtual Decoder decoder(const QString &typeName) const;
    virtual void takeDecoded(std::any &&content, const QString &typeName);

    // A file read and decoded off the main thread, waiting for its document to take it.
    struct LoadedFile
    {
        QUrl url;
        InPlaceSave::Repair repair;
        QByteArray digest;
        // The version read (none when the file kept changing while it was read), and whether a change within the
        // same tick of the file system's clock could have passed unseen, so that its content is compared before
        // the first write.
        FileIdentity identity;
        bool compareBeforeWrite = false;
        std::any content;
        // The file could not be read, or the decoder refused its bytes.
        std::optional<Error> readFailure;
        std::optional<Error> refusal;
    };
    // Safe on any thread. restore: repair an in-place save that was cut short (opening).
    static LoadedFile load(const QUrl &url, const Decoder &decoder, bool restore);
    // Takes a loaded file as its content; throws the file error or the refusal, changing nothing.
    void takeLoaded(LoadedFile &&loaded, const QString &typeName);
    virtual QByteArray data(const QString &typeName) const = 0;
    // What a background write runs to get the bytes: by default data(), taken at once. A document whose content is
    // big overrides it to take a snapshot that costs little here and to encode it on the writer thread.
    virtual std::function<QByteArray()> dataTask(const QString &typeName) const;
    // Reads the file at url through read(); throws the file error or read()'s error.
    void readFromUrl(const QUrl &url, const QString &typeName);
    // What opening found of an in-place save of the file that was cut short, and did about it.
    const InPlaceSave::Repair &interruptedSave() const { return m_interruptedSave; }

    // Writes data(typeName) to url with the durable all-or-nothing writer. Throws Error.
    void writeSafely(const QUrl &url, const QString &typeName, SaveOperation operation);
    // Documents that autosave in place write straight into their own file.
    virtual bool autosavesInPlace() const { return false; }
    // Writes the document in place on a background writer, then calls completion on this thread with the
    // error or none. Writes of one document run one at a time and in order; the window stays responsive.
    void autosave(const Completion &completion);
    // Waits for a background write under way (closing, quitting and explicit saves come after it).
    void finishWrites();

    // A note the user may not write (no write permission, or no write bit in its mode) is open read-only: its
    // typing is kept for recovery instead of written, until it is saved elsewhere. Looked at again at every save.
    bool isReadOnly() const;

    // Writes an edited document before its last window closes or the app quits. False when it could not be
    // written (or which version to keep is still open); the document must then stay open, or be let go.
    bool prepareToClose();
    // The close the user asked for: writes, or when that fails asks "Save As…", "Close Without Saving" or
    // "Cancel". False when the document must stay open.
    bool shouldClose();
    // Closing without a question (a signal, the end of the session, "Close Without Saving"): text that could not
    // be written is kept for recovery, and the document may close.
    void letGoUnsaved();
    // Closes all windows and lets the document go; unsaved text is kept for recovery first.
    void close();

    // Reads the file again after another program changed it (no-op while the file is unchanged).
    void checkFileOnDisk();

    using Conflict = DocumentAsker::Conflict;
    // Replaceable answers to the document's questions, so that tests and other front ends need no dialog: which
    // version to keep after a change on disk (the answer arrives later, as the user's would), a new file name
    // (rename) and a destination folder (move).
    using ConflictResolver = DocumentAsker::ConflictResolver;
    using Asker = DocumentAsker::Asker;
    static void setConflictResolver(ConflictResolver resolver)
    {
        DocumentAsker::setConflictResolver(std::move(resolver));
    }
    static void setFileNameAsker(Asker asker) { DocumentAsker::setFileNameAsker(std::move(asker)); }
    static void setFolderAsker(Asker asker) { DocumentAsker::setFolderAsker(std::move(asker)); }
    // Where the text of a document goes when its own file cannot be written; none keeps nothing.
    static void setRecoveryStore(RecoveryStore *store);

public Q_SLOTS:
    // The menu's "Save": writes now.
    void saveDocument(QObject *sender);
    // The menu's "Rename…": renames the file in its folder; the document, its windows and its watch follow.
    void renameDocument(QObject *sender);
    // The menu's "Move To…": moves the file to another folder, keeping its name; the document stays open.
    void moveDocument(QObject *sender);
    // "Save As…": writes the text to a file the user names, which the document then stands for.
    void saveDocumentAs(QObject *sender);

Q_SIGNALS:
    void fileUrlChanged(const QUrl &url);
    void documentEditedChanged(bool edited);
    void closed();
    // After a reload from disk (another program changed the file).
    void reloadedFromDisk();
    // An error that a window controller presented for this document.
    void errorPresented(const Error &error);
    // After the file was renamed or moved on disk, by this document or by another program.
    void fileMoved(const QUrl &from, const QUrl &to);
    // After the document's text reached its own file (a save, an autosave, the write before closing).
    void saved();
    void readOnlyChanged(bool readOnly);

protected:
    // Presents through the first window controller, or nowhere when there is none.
    void presentError(const Error &error, MessageKind kind = MessageKind::Error);
    // What a refusal of read() says once the file it came from is known.
    virtual Error readError(const Error &error, const QUrl &) const { return error; }

private:
    void fileMayHaveChanged();
    // Throws Error; false when the user chose the version on disk instead (it was read in).
    bool saveInPlace();
    void startBackgroundWrite(const QList<Completion> &completions);
    void finishBackgroundWrite(const std::optional<Error> &failure, quint64 generation,
                               const QList<Completion> &completions, bool changedOnDisk);
    void keepForRecovery();
    void discardRecovered();
    // With replaceIf, a comparison of the file's content that is still to be made may be left to the writer, which
    // then replaces the file only if replaceIf() holds.
    bool confirmOverwrite(std::function<bool()> *replaceIf = nullptr);
    // True when the note is read-only now; tells its windows when that changed.
    bool refreshReadOnly();
    // The answer comes later; until then nothing is written over the other version.
    void askAboutConflict(const FileIdentity &now);
    void conflictAnswered(const FileIdentity &now, Conflict answer);
    // Reads the file again off this thread, then takes it in and runs then; typing meanwhile cancels it.
    void reloadFromDisk(const FileIdentity &identity, const std::function<void()> &then = {});
    // The file is another version than ours: taken in, or asked about when there is typing to lose.
    void changedOnDisk(const FileIdentity &now);
    // Whether a version we do not know by its identity is worth comparing by content.
    bool sameBytesMayBeBack() const;
    // The identity cannot tell: the content is compared off this thread, and acted on then.
    void compareContentLater(const FileIdentity &now);
    void reportMissingFile();
    // True when the file was renamed or moved by another program and the document now follows it.
    bool followMovedFile();
    DurableWriter::Options writeOptions() const;
    // Throws Error.
    void relocate(const QString &target, bool sameFolder);

    QUrl m_fileUrl;
    QString m_fileType;
    int m_changeCount = 0;
    quint64 m_editGeneration = 0;
    QList<WindowController *> m_windowControllers;
    WriteQueue *m_writes;
    FileChangeTracker *m_tracker;
    // A background write finished while a look at the file waited for it.
    bool m_checkAfterWrite = false;
    // A question about a conflict is open; saves and looks at the file wait for its answer.
    bool m_asking = false;
    bool m_readOnly = false;
    // The file is being read again; a change seen meanwhile is looked at once it is in.
    bool m_reloading = false;
    bool m_checkAfterReload = false;
    bool m_closed = false;
    // The last comparison of the file's content put on the writer.
    struct QueuedCompare
    {
        FileIdentity identity;
        std::atomic<bool> started = false;
    };
    std::shared_ptr<QueuedCompare> m_queuedCompare;
    InPlaceSave::Repair m_interruptedSave;
    // The user (or the end of the session) let the unsaved text go to recovery; the next edit takes it back.
    bool m_lettingGo = false;
    // Why the last prepareToClose() could not write the document.
    std::optional<Error> m_closeFailure;
    // Versions on disk the user chose to keep over the window's text, or to write over.
    FileIdentity m_keptOnDiskIdentity;
    FileIdentity m_overwriteIdentity;
    // A digest of the bytes the background write under way writes, and the file it left.
    QByteArray m_writingDigest;
    FileIdentity m_writtenIdentity;
    // The digest and version of a file read before it became the document's file.
    struct ReadVersion
    {
        QUrl url;
        QByteArray digest;
        FileIdentity identity;
        bool compareBeforeWrite = false;
    };
    ReadVersion m_readVersion;
};
