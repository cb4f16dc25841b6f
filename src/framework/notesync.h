#pragma once

#include "framework/error.h"
#include "framework/noteservices.h"
#include "framework/fileidentity.h"
#include "framework/notestate.h"
#include "framework/notewatch.h"

#include <QList>
#include <QObject>

#include <functional>
#include <optional>

class Document;
class WriteQueue;
struct LoadedFile;
struct NoteServices;

// Keeps one note's file and its text in step: every write and every read of the file, other programs' changes, and
// the questions they raise. What it does next is its State (see NoteState for the table), moved in handle() only.
// Every write goes one way: the text is snapshot here and encoded, written and synced on the note's writer thread.
class NoteSync : public QObject
{
    Q_OBJECT

public:
    using State = NoteState::State;
    using Completion = std::function<void(const std::optional<Error> &)>;

    NoteSync(Document &note, const NoteServices &services);
    ~NoteSync() override;

    State state() const { return m_state; }
    bool isReadOnly() const { return m_watch->isReadOnly(); }
    // The note stands for the file at url now (none: no file); a version read for it before is its known version.
    void watch(const QUrl &url) { m_watch->watch(url); }
    void noteRead(const LoadedFile &loaded) { m_watch->noteRead(loaded); }
    // The note's text changed by an edit, an undo or a redo.
    void edited();

    // A pause in typing (quietReadOnly: a read-only file is told once in the window, not by every pause), or an
    // explicit save, which writes even unchanged text.
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
    // The one place that moves the state.
    void handle(NoteState::Event event);
    // Every write of the note, to its own file or (Save As) to another one.
    void write(Write request);
    // Why a write of the note's own file cannot start now, or none when it may; request is then answered. expected:
    // the version at the path the write may replace.
    bool mayWrite(Write &request, std::function<bool()> *replaceIf, FileIdentity *expected);
    void written(const Write &request, const std::optional<Error> &failure, const QByteArray &digest,
                 const FileIdentity &left, bool otherVersion);
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
    // trashedAt: where it lies in the Trash, when it was moved there.
    void reportMissingFile(const QString &trashedAt);
    void tellMissing(const QString &trashedAt);
    // The very file is at the note's place again.
    void fileIsBack();
    // True when the file was renamed or moved by another program and the note now follows it.
    bool followMovedFile();

    Document &m_note;
    const NoteServices &m_services;
    State m_state = State::Clean;
    // A change on disk seen while a write or a read was under way: looked at once it is in.
    bool m_lookAgain = false;
    WriteQueue *m_writes;
    NoteWatch *m_watch;
};
