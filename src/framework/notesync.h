#pragma once

#include "framework/contentdigest.h"
#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/fileidentity.h"
#include "framework/noteservices.h"
#include "framework/notestate.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AutoSave;
class Document;
class NoteFile;
class WriteQueue;
struct LoadedFile;

// Keeps one note's file and its text in step: every write and every read of the file, other programs' changes, and
// the questions they raise. It reports each event to the note's NoteState, which decides, and does what the state
// it reaches asks. Every write goes one way: the text is snapshot here and encoded, written and synced on the
// note's writer thread. A write's completion gets none (written), a deferred error (put off: why) or the failure.
class NoteSync : public QObject
{
    Q_OBJECT

public:
    using State = NoteState::State;
    using Completion = std::function<void(const std::optional<Error> &)>;

    NoteSync(Document &note, const NoteServices &services);
    ~NoteSync() override;

    State state() const { return m_state.state(); }
    bool isReadOnly() const;
    // The note stands for the file at url now (none: no file); a version read for it before is its known version.
    void watch(const QUrl &url);
    void noteRead(const LoadedFile &loaded);
    // The whole text read is shown; shown: the block hashes of its bytes as the note's text holds them.
    void textShownWhole(std::vector<ContentDigest::BlockHash> shown);
    // The note's text changed by an edit, an undo or a redo; a note that saves by itself writes it after the pause.
    void edited();
    AutoSave *autosave() const { return m_autosave; }

    // A pause in typing, or an explicit save, which writes even unchanged text and asks about another version again.
    void save(bool explicitly, const Completion &completion);
    // Save As: writes the text to target, which the note then stands for.
    void saveAs(const QString &target);
    bool finishWrites();
    std::optional<Error> writeNow();
    // Closing without a question: typing that could not be written is kept for recovery, and stays there.
    void letGo();
    void close();
    void checkFileOnDisk();

private:
    // A write asked of the note's writer.
    struct Write
    {
        // Empty: the note's own file; else the file Save As writes, which the note then stands for.
        QString copyTo;
        // Writes even unchanged text (an explicit save, a link swapped in for the note).
        bool always = false;
        // A pause in typing: a read-only file is told once in the window, not as the failure of every pause.
        bool quietReadOnly = false;
        QList<Completion> completions;
        quint64 generation = 0;
    };
    // A pause in typing, its failures given back as errors.
    void saveCatching(const Completion &completion);
    // The one place that moves the state: the note's typing (or a link swapped in) is the guard.
    State handle(NoteState::Event event);
    // Every write of the note, to its own file or (Save As) to another one.
    void write(Write request);
    // Whether a write of the note's own file may start now; otherwise request is answered (deferred or failed).
    bool mayWrite(Write &request, std::function<bool()> *replaceIf, FileIdentity *expected);
    void written(const Write &request, const std::optional<Error> &failure, const QByteArray &digest,
                 const FileIdentity &left, bool otherVersion, const QString &theirsKept);
    // Why a write of the note waits, as its state says.
    Error putOff() const;
    void keepForRecovery();
    void discardRecovered();
    // Another version than ours is at the path: read in, or asked about when there is typing to lose.
    void changedOnDisk(const FileIdentity &now, NoteState::Event event);
    // Asks once what differs is known; the answer keeps both versions unless the user takes theirs.
    void askWhichVersion(const FileIdentity &now);
    void conflictAnswered(const FileIdentity &now, NoteQuestions::Conflict given);
    void keepMine(const FileIdentity &now);
    // Reads the file again on the writer; typing meanwhile drops what was read.
    void reloadFromDisk(const FileIdentity &seen);
    void compareContentLater(const FileIdentity &now);
    // The file is gone from its place: trashedAt, where it lies in the Trash, or none (deleted, or being replaced).
    void fileMissing(const QString &trashedAt);
    void graceOver();
    void tellMissing(const QString &trashedAt);
    // The very file is at the note's place again.
    void fileIsBack();
    // True when the file was renamed or moved by another program and the note now follows it (or it was trashed).
    bool followMovedFile();

    Document &m_note;
    const NoteServices &m_services;
    NoteState m_state;
    bool m_placed = false;
    // A change on disk seen while a write or a read was under way: looked at once it is in.
    bool m_lookAgain = false;
    WriteQueue *m_writes;
    NoteFile *m_file;
    AutoSave *m_autosave;
    // The long file last read, until its text is shown whole: the first save may copy from it.
    std::shared_ptr<DurableWriter::LastWritten> m_versionRead;
};
