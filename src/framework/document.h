#pragma once

#include "framework/error.h"
#include "framework/fileidentity.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QFileSystemWatcher;
class QThreadPool;
class RecoveryStore;
class WindowController;

// One open file: its location, whether it has unsaved changes, its windows, and reading and writing it.
// Subclasses say how bytes become their content (read) and back (data). Knows nothing of notes.
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
        Save = 0,
        SaveAs = 1,
        SaveTo = 2,
        Autosave = 3
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
    virtual QByteArray data(const QString &typeName) const = 0;
    // What a background write runs to get the bytes: by default data(), taken at once. A document whose content is
    // big overrides it to take a snapshot that costs little here and to encode it on the writer thread.
    virtual std::function<QByteArray()> dataTask(const QString &typeName) const;
    // Reads the file at url through read(); throws the file error or read()'s error.
    void readFromUrl(const QUrl &url, const QString &typeName);

    // Writes data(typeName) to url with the durable all-or-nothing writer. Throws Error.
    void writeSafely(const QUrl &url, const QString &typeName, SaveOperation operation);
    // Documents that autosave in place write straight into their own file.
    virtual bool autosavesInPlace() const { return false; }
    // Writes the document in place on a background writer, then calls completion on this thread with the
    // error or none. Writes of one document run one at a time and in order; the window stays responsive.
    void autosave(bool implicitlyCancellable, const Completion &completion);
    // Waits for a background write under way (closing, quitting and explicit saves come after it).
    void finishWrites();

    // Writes an edited document before its last window closes or the app quits. False when the write failed;
    // the error has then been presented and the document must stay open.
    bool prepareToClose();
    // Closes all windows and lets the document go.
    void close();

    // Reads the file again after another program changed it (no-op while the file is unchanged).
    void checkFileOnDisk();

    enum class Conflict
    {
        KeepMine,
        UseDisk
    };
    // Asks which version to keep when the file changed on disk while the document has unsaved edits.
    // Replaceable so that tests and other front ends can answer without a dialog.
    using ConflictResolver = std::function<Conflict(Document *document)>;
    static void setConflictResolver(ConflictResolver resolver);
    // Where the text of a document goes when its own file cannot be written; none keeps nothing.
    static void setRecoveryStore(RecoveryStore *store);

    // Asks for a new file name (rename) or a destination folder (move); none when the user cancels. Replaceable so
    // that tests and other front ends can answer without a dialog; by default the first window asks.
    using Asker = std::function<std::optional<QString>(Document *document)>;
    static void setFileNameAsker(Asker asker);
    static void setFolderAsker(Asker asker);

public Q_SLOTS:
    // The menu's "Save": writes now.
    void saveDocument(QObject *sender);
    // The menu's "Rename…": renames the file in its folder; the document, its windows and its watch follow.
    void renameDocument(QObject *sender);
    // The menu's "Move To…": moves the file to another folder, keeping its name; the document stays open.
    void moveDocument(QObject *sender);

Q_SIGNALS:
    void fileUrlChanged(const QUrl &url);
    void documentEditedChanged(bool edited);
    void closed();
    // After a reload from disk (another program changed the file).
    void reloadedFromDisk();
    // An error that a window controller presented for this document.
    void errorPresented(const Error &error);
    // After the file was renamed or moved on disk by this document.
    void fileMoved(const QUrl &from, const QUrl &to);

protected:
    // Presents through the first window controller, or nowhere when there is none.
    void presentError(const Error &error);

private:
    void watchFile();
    void noteOwnWrite();
    void fileMayHaveChanged();
    // Throws Error; false when the user chose the version on disk instead (it was read in).
    bool saveInPlace();
    void startBackgroundWrite(const QList<Completion> &completions);
    void finishBackgroundWrite(const std::optional<Error> &failure, quint64 generation,
                               const QList<Completion> &completions);
    void keepForRecovery();
    bool confirmOverwrite();
    Conflict askAboutConflict();
    void reloadFromDisk(const FileIdentity &identity);
    // Throw Error.
    void renameTo(const QString &name);
    void moveTo(const QString &folder);
    void writeBeforeMoving();
    void followMovedFile(const QString &path);
    // Whether the file still holds what we last read or wrote. The identity alone misses a change that fell into
    // the same tick of the file system's clock as the one before it, so a recent file is compared by content too.
    bool sameAsKnown(const FileIdentity &now) const;

    QUrl m_fileUrl;
    QString m_fileType;
    int m_changeCount = 0;
    quint64 m_editGeneration = 0;
    std::unique_ptr<QThreadPool> m_writer;
    bool m_writing = false;
    bool m_writeAgain = false;
    bool m_checkAfterWrite = false;
    QList<Completion> m_waitingCompletions;
    QList<WindowController *> m_windowControllers;
    QFileSystemWatcher *m_watcher = nullptr;
    // The file as we last read or wrote it, and a version we refused to read.
    FileIdentity m_knownIdentity;
    FileIdentity m_refusedIdentity;
    // Versions on disk the user chose to keep over the window's text, or to write over.
    FileIdentity m_keptOnDiskIdentity;
    FileIdentity m_overwriteIdentity;
    // A digest of the bytes we last read or wrote, and of the bytes the background write under way writes.
    QByteArray m_knownDigest;
    QByteArray m_writingDigest;
    bool m_missingReported = false;
    bool m_asking = false;
};
