#pragma once

#include "framework/byteparts.h"
#include "framework/error.h"
#include "framework/fileidentity.h"
#include "framework/inplacesave.h"
#include "framework/loadedfile.h"
#include "framework/noteservices.h"
#include "framework/notestate.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class NoteSync;
class QTimer;

// One open note: where its file is, whether the window holds typing the file does not, and what its user and other
// programs do to it. Its file and its text are kept in step by its NoteSync, whose state says what happens next;
// the window that shows the note listens to its signals, and the note knows no window.
class Document : public QObject
{
    Q_OBJECT

public:
    using State = NoteState::State;
    using Completion = std::function<void(const std::optional<Error> &)>;
    enum class ChangeType
    {
        Done,
        // The text the file holds (written or read in).
        Cleared,
        // Undone or redone back to the text the file holds.
        Reverted
    };
    // How long closing and quitting wait for a write that is under way.
    static constexpr int closeWaitMs = 10000;

    // services stay with the app (or the test) that made the note, and outlive it; none: no recovery, no questions.
    explicit Document(const NoteServices *services = nullptr, QObject *parent = nullptr);
    ~Document() override;

    const NoteServices &services() const { return *m_services; }
    QUrl fileUrl() const { return m_fileUrl; }
    void setFileUrl(const QUrl &url);
    // The file is at to now, renamed or moved by us or by another program: the note, its window and its watch
    // follow it.
    void followTo(const QUrl &to);
    // The file name, or "Untitled" without a file.
    QString displayName() const;
    State state() const;
    void updateChangeCount(ChangeType change);
    bool isDocumentEdited() const { return m_edits.count != 0; }
    // Moves on with every edit, undo and redo: a write or a read that began before it is not the window's text.
    quint64 editGeneration() const { return m_edits.generation; }
    // A note the user may not write is open read-only: its typing is kept for recovery instead, until it is saved
    // elsewhere. Looked at again at every save.
    bool isReadOnly() const;
    // What opening found of an in-place save of the file that was cut short, and did about it.
    const InPlaceSave::Repair &interruptedSave() const { return m_interruptedSave; }

    // Whether the note writes its typing by itself after a pause in typing (AutoSave), as notes in windows do.
    virtual bool autosavesInPlace() const { return false; }
    // The pause's timer, none before the first edit; the retry after a failed save, none while saves succeed.
    QTimer *pendingSave() const;
    QTimer *pendingRetry() const;
    // How the file's bytes become the note's text, on the reader's thread.
    virtual LoadedFile::Decoder decoder() const = 0;
    // Takes a loaded file as its text; throws the file error or the refusal, changing nothing.
    void takeLoaded(LoadedFile &&loaded);
    // The whole text read is shown; shown: the block hashes (ContentDigest) of its bytes as the text holds them.
    void textShownWhole(std::vector<ContentDigest::BlockHash> shown);

    // A pause in typing: writes the typing in place on the writer, then calls completion with the error or none.
    void autosave(const Completion &completion);
    // The menu's "Save": writes now, even unchanged text; a failure goes in the window's bar.
    void saveDocument();
    // "Save As…": writes the text to a file the user names, which the note then stands for.
    void saveDocumentAs();
    // Waits (up to closeWaitMs) for the writes, reads and comparisons under way and takes their results in; false
    // when they have not finished.
    bool finishWrites();
    // Writes the typing now and waits for it (up to closeWaitMs): why it could not, or none. Before a window
    // closes or the app quits; a failure means the note must stay open, or be let go.
    std::optional<Error> writeNow();
    // The close the user asked for: writes, or when that fails asks "Save As…", "Close Without Saving" or
    // "Cancel". False when the note must stay open.
    bool shouldClose();
    // Closing without a question (a signal, the end of the session, "Close Without Saving"): text that could not
    // be written is kept for recovery, and the note may close.
    void letGoUnsaved();
    // Lets the note go; its window goes with it, and unsaved text is kept for recovery first.
    void close();
    // Looks at the file after another program may have changed it.
    void checkFileOnDisk();
    // An error about the note, for its window's bar.
    void presentError(const Error &error, MessageKind kind = MessageKind::Error);

Q_SIGNALS:
    void fileUrlChanged(const QUrl &url);
    void documentEditedChanged(bool edited);
    void readOnlyChanged(bool readOnly);
    void closed();
    // Another version from disk is now the note's text.
    void reloadedFromDisk();
    void errorPresented(const Error &error, MessageKind kind);
    // The file was renamed or moved, by this note or by another program.
    void fileMoved(const QUrl &from, const QUrl &to);
    // The note's text reached its own file.
    void saved();
    // Another program deleted the note's file, or moved it to the Trash (trashedAt), while nothing was typed: nothing
    // is written until the user types or saves.
    void fileGone(const QString &trashedAt);
    // Answering which version to keep, the other one was kept in a copy at path; show: the user wants to see it.
    void otherVersionKept(const QString &path, bool show);
    // A pause in typing starts its save.
    void autosaveRequested();

protected:
    // The text read from the file; the window shows it from now on.
    virtual void takeText(QString &&text) = 0;
    // The note's bytes: a snapshot taken here at little cost, encoded on the writer.
    virtual std::function<ByteParts()> dataTask() const = 0;

private:
    // Reads and writes the note's text through these two.
    friend class NoteSync;

    const NoteServices *m_services;
    QUrl m_fileUrl;
    struct Edits
    {
        int count = 0;
        quint64 generation = 0;
    };
    Edits m_edits;
    InPlaceSave::Repair m_interruptedSave;
    NoteSync *m_sync;
};
