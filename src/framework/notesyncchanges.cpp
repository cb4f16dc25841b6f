#include "notesync.h"

#include "framework/autosave.h"
#include "framework/document.h"
#include "framework/filenames.h"
#include "framework/linediff.h"
#include "framework/loadedfile.h"
#include "framework/noteservices.h"
#include "framework/notefile.h"
#include "framework/syncconflicts.h"
#include "framework/trash.h"
#include "framework/writequeue.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cerrno>

using Event = NoteState::Event;

namespace {

// Sync engines and many programs replace a file by deleting it and renaming another into its place.
constexpr int replacementGraceMs = 1500;

} // namespace

// Other programs' changes: looking at the file, asking which version to keep, reloading, following a move.

void NoteSync::checkFileOnDisk()
{
    if (m_note.fileUrl().isEmpty() || state() == State::Asking || state() == State::Closed)
        return;
    if (m_state.isBusy() || m_writes->isWriting()) {
        // Our own write or read is landing; look again once it has, with its result known.
        m_lookAgain = true;
        return;
    }
    const FileIdentity now = m_file->current();
    if (!now.exists) {
        if (!followMovedFile())
            fileMissing({});
        return;
    }
    if (m_file->isRefused(now))
        return; // told once already
    switch (m_file->knowledgeOf(now)) {
    case NoteFile::Knowledge::Known:
        if (state() == State::Gone || state() == State::Vanished)
            fileIsBack();
        return;
    case NoteFile::Knowledge::ContentToCompare:
        return compareContentLater(now);
    case NoteFile::Knowledge::Unknown:
        break;
    }
    // Typing would make it a question: first see whether the bytes are ours after all. A file where none was
    // expected is another program's, whatever it holds.
    if (m_note.isDocumentEdited() && m_state.fileExpected() && m_file->sameBytesMayBeBack())
        return compareContentLater(now);
    changedOnDisk(now, Event::DiskChanged);
}

void NoteSync::changedOnDisk(const FileIdentity &now, Event event)
{
    const State before = state();
    if (handle(event) == before) {
        if (m_state.isBusy())
            m_lookAgain = true;
        return;
    }
    if (state() == State::Reloading)
        return reloadFromDisk(now);
    if (state() != State::Asking)
        return;
    // Until the answer the window's text lives only in memory: a kept copy survives any end of the process.
    keepForRecovery();
    askWhichVersion(now);
}

void NoteSync::askWhichVersion(const FileIdentity &now)
{
    // What differs is worked out on the writer, from the window's text and the file as they are now. A link put in
    // the note's place shows another file, not a version of the note: nothing of it is shown.
    auto difference = std::make_shared<LineDiff>();
    const auto compare = [difference, ours = m_note.dataTask(), url = m_note.fileUrl(), decode = m_note.decoder(),
                          link = m_file->linkSwappedIn()] {
        const LoadedFile theirs = link ? LoadedFile() : LoadedFile::read(url, decode, false);
        if (link || theirs.readFailure || theirs.refusal)
            return true;
        try {
            *difference = LineDiff::between(decode(ours().joined(), url), theirs.text);
        } catch (const Error &) {
            // Our own text always decodes; nothing to show otherwise.
        }
        return true;
    };
    m_writes->run(compare, [this, now, difference](bool) {
        if (state() != State::Asking)
            return;
        const auto answer = [self = QPointer<NoteSync>(this), now](NoteQuestions::Conflict given) {
            if (self)
                self->conflictAnswered(now, given);
        };
        if (const auto &ask = m_services.questions.whichVersion)
            return ask(&m_note, *difference, answer);
        // Without a window the text held here is all the user last saw of it: it is kept, and theirs beside it.
        // The answer comes from the event loop, as the user's would.
        QTimer::singleShot(0, this, [answer] { answer(NoteQuestions::Conflict::KeepMine); });
    });
}

void NoteSync::conflictAnswered(const FileIdentity &now, NoteQuestions::Conflict given)
{
    if (state() != State::Asking)
        return; // settled meanwhile (saved elsewhere)
    if (given == NoteQuestions::Conflict::UseDisk) {
        m_state.keepOnDisk(now);
        handle(Event::UseDisk);
        // The window's text stays in recovery until the next edit, and one undo away in the window.
        return reloadFromDisk(now);
    }
    // No answer loses a version: theirs goes to a copy of our own beside the note before ours is written over it.
    // A link swapped in is another file, never copied next to the note.
    if (m_file->linkSwappedIn())
        return keepMine(now);
    auto kept = std::make_shared<QString>();
    auto failure = std::make_shared<std::optional<Error>>();
    const auto keepTheirs = [kept, failure, path = FileNames::pathOfUrl(m_note.fileUrl())] {
        try {
            *kept = SyncConflicts::keepBeside(path, QDateTime::currentDateTime());
        } catch (const Error &error) {
            if (error.code() != ENOENT) // gone meanwhile: nothing of theirs is left to keep
                *failure = error;
        }
        return true;
    };
    m_writes->run(keepTheirs, [this, now, given, kept, failure](bool) {
        if (state() != State::Asking)
            return;
        if (*failure) {
            // Nothing is written over their version that could not be kept: the question stays.
            m_note.presentError(**failure);
            return askWhichVersion(now);
        }
        if (!kept->isEmpty())
            Q_EMIT m_note.otherVersionKept(*kept, given == NoteQuestions::Conflict::KeepBoth);
        keepMine(now);
    });
}

void NoteSync::keepMine(const FileIdentity &now)
{
    // Mine wins: it is written over the other version at once, so the choice sticks. A swapped-in link is replaced
    // by the note's own text even when nothing was typed.
    m_state.writeOver(now);
    const bool linkSwapped = m_file->linkSwappedIn();
    handle(Event::KeepMine);
    if (!m_note.isDocumentEdited() && !linkSwapped)
        return;
    Write request;
    request.always = true;
    request.completions.append([note = QPointer<Document>(&m_note)](const std::optional<Error> &failure) {
        if (note && failure)
            note->presentError(*failure, MessageKind::FileChanged);
    });
    write(request);
}

void NoteSync::reloadFromDisk(const FileIdentity &seen)
{
    // Read and decoded on the writer, after our writes: the window goes on while a long note comes in.
    const quint64 generation = m_note.editGeneration();
    auto loaded = std::make_shared<LoadedFile>();
    const auto read = [loaded, url = m_note.fileUrl(), decode = m_note.decoder()] {
        *loaded = LoadedFile::read(url, decode, false);
        return true;
    };
    m_writes->run(read, [this, loaded, seen, generation](bool) {
        const bool lookAgain = std::exchange(m_lookAgain, false);
        if (state() == State::Closed)
            return;
        if (loaded->readFailure || loaded->refusal) {
            m_file->refuse(seen);
            handle(Event::ReloadFailed);
            m_note.presentError(loaded->readFailure ? *loaded->readFailure : *loaded->refusal,
                                MessageKind::FileChanged);
        } else if (generation != m_note.editGeneration()) {
            // Typed meanwhile: that typing is not replaced unasked.
            handle(Event::Reloaded);
            return checkFileOnDisk();
        } else {
            m_file->noteReloaded(seen, *loaded);
            m_versionRead = loaded->version;
            m_note.takeText(std::move(loaded->text));
            m_note.updateChangeCount(Document::ChangeType::Cleared);
            handle(Event::Reloaded);
            Q_EMIT m_note.reloadedFromDisk();
        }
        // A change seen while the file was read may be a later one.
        if (lookAgain)
            checkFileOnDisk();
    });
}

void NoteSync::compareContentLater(const FileIdentity &now)
{
    const std::function<bool()> compare = m_file->compareOnce(now);
    if (!compare)
        return;
    // Read on the writer, after our writes: the window never waits for a long note to be read again.
    m_writes->run(compare, [this, now](bool same) {
        if (state() == State::Asking || state() == State::Closed)
            return;
        if (m_state.isBusy() || m_writes->isWriting() || m_file->current() != now)
            return checkFileOnDisk(); // our write is landing, or the file changed again meanwhile: look afresh
        if (!same)
            return changedOnDisk(now, Event::DiskChanged);
        m_file->acceptSameContent(now);
        if (state() == State::Gone || state() == State::Vanished)
            fileIsBack();
    });
}

bool NoteSync::followMovedFile()
{
    const std::optional<QString> moved = m_file->movedTo();
    if (!moved)
        return false;
    // A note moved to the Trash was thrown away, not moved: it is never saved in there. A rename to a sync engine's
    // conflict copy keeps the other device's version aside; the note stays at its place, where the winner comes.
    const QString path = FileNames::pathOfUrl(m_note.fileUrl());
    if (SyncConflicts::isCopyOf(QFileInfo(*moved).fileName(), QFileInfo(path).fileName()) &&
        QFileInfo(*moved).absolutePath() == QFileInfo(path).absolutePath())
        return false;
    if (!Trash::holds(*moved))
        m_note.followTo(FileNames::urlOfPath(*moved));
    else if (state() != State::Gone)
        fileMissing(*moved);
    return true;
}

void NoteSync::fileIsBack()
{
    handle(Event::Back);
    Q_EMIT m_note.reloadedFromDisk();
}

void NoteSync::fileMissing(const QString &trashedAt)
{
    if (!trashedAt.isEmpty()) {
        // Thrown away by the user: no grace, and the bar offers Put Back.
        const State before = state();
        if (handle(Event::Trashed) != before)
            tellMissing(trashedAt);
        return;
    }
    if (state() == State::Vanished || handle(Event::Missing) != State::Vanished)
        return;
    // The window hears of it only when no file came back within the grace; typing meanwhile is kept for recovery.
    keepForRecovery();
    QTimer::singleShot(replacementGraceMs, this, &NoteSync::graceOver);
}

void NoteSync::graceOver()
{
    if (state() != State::Vanished)
        return;
    if (FileIdentity::of(FileNames::pathOfUrl(m_note.fileUrl())).exists) {
        checkFileOnDisk(); // a file landed at its place, maybe unseen yet
        if (state() != State::Vanished)
            return;
    }
    handle(Event::GraceOver);
    tellMissing({});
}

void NoteSync::tellMissing(const QString &trashedAt)
{
    if (state() == State::Gone) {
        // Nothing typed: the user deleted it, and it stays deleted until they type or say otherwise.
        Q_EMIT m_note.fileGone(trashedAt);
        return;
    }
    if (state() != State::Edited)
        return;
    // Typing is written again at its place by the next pause, where no file has appeared meanwhile.
    const QFileInfo file(FileNames::pathOfUrl(m_note.fileUrl()));
    m_note.presentError(Error(QString::fromUtf16(ErrorDomain::posix), ENOENT,
                              tr("“%1” was moved or deleted by another program. Its text is still open here and will "
                                 "be saved again in “%2”.")
                                  .arg(file.fileName(), file.absolutePath())),
                        MessageKind::FileChanged);
    if (m_note.autosavesInPlace())
        m_autosave->schedule();
}
