#include "document.h"

#include "framework/filenames.h"
#include "framework/notewatch.h"
#include "framework/writequeue.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cerrno>

// The note's side of other programs' changes: looking at the file, asking which version to keep, reloading, and
// following a file moved away.

using Event = NoteState::Event;

void Document::checkFileOnDisk()
{
    if (m_fileUrl.isEmpty() || m_state == State::Asking || m_state == State::Closed)
        return;
    if (NoteState::isBusy(m_state) || m_writes->isWriting()) {
        // Our own write or read is landing; look again once it has, with its result known.
        m_lookAgain = true;
        return;
    }
    FileIdentity now;
    switch (m_watch->look(isDocumentEdited(), &now)) {
    case NoteWatch::Look::Known:
    case NoteWatch::Look::Ignored:
        return;
    case NoteWatch::Look::Moved:
        followMovedFile();
        return;
    case NoteWatch::Look::Missing:
        reportMissingFile();
        return;
    case NoteWatch::Look::Compare:
        compareContentLater(now);
        return;
    case NoteWatch::Look::Changed:
        changedOnDisk(now, Event::DiskChanged);
        return;
    }
}

void Document::changedOnDisk(const FileIdentity &now, Event event)
{
    const State before = m_state;
    handle(event);
    if (m_state == before) {
        if (NoteState::isBusy(m_state))
            m_lookAgain = true;
        return;
    }
    if (m_state == State::Reloading) {
        reloadFromDisk(now);
        return;
    }
    if (m_state != State::Asking)
        return;
    // Until the answer the window's text lives only in memory: a kept copy survives any end of the process.
    keepForRecovery();
    const auto answer = [self = QPointer<Document>(this), now](NoteQuestions::Conflict given) {
        if (self)
            self->conflictAnswered(now, given);
    };
    if (const auto &ask = m_services->questions.whichVersion) {
        ask(this, answer);
        return;
    }
    // Without a window the text held here is all the user last saw of it: it is kept. The answer comes from the
    // event loop, as the user's would.
    QTimer::singleShot(0, this, [answer] { answer(NoteQuestions::Conflict::KeepMine); });
}

void Document::conflictAnswered(const FileIdentity &now, NoteQuestions::Conflict answer)
{
    if (m_state != State::Asking)
        return; // settled meanwhile (saved elsewhere)
    if (answer == NoteQuestions::Conflict::UseDisk) {
        m_watch->keepOnDisk(now);
        handle(Event::UseDisk);
        // Once the other version is in, the kept copy of the window's text may go.
        reloadFromDisk(now, [this] { discardRecovered(); });
        return;
    }
    // Mine wins: it is written over the other version at once, so the choice sticks. A swapped-in link is replaced
    // by the note's own text even when nothing was typed.
    m_watch->writeOver(now);
    const bool linkSwapped = m_watch->linkSwappedIn();
    handle(Event::KeepMine);
    if (!isDocumentEdited() && !linkSwapped)
        return;
    Write request;
    request.always = true;
    request.completions.append([this](const std::optional<Error> &failure) {
        if (failure)
            presentError(*failure, MessageKind::FileChanged);
    });
    write(request);
}

void Document::reloadFromDisk(const FileIdentity &seen, const std::function<void()> &then)
{
    // Read and decoded on the writer, after our writes: the window goes on while a long note comes in.
    const quint64 generation = m_editGeneration;
    auto loaded = std::make_shared<LoadedFile>();
    m_writes->run(
        [loaded, url = m_fileUrl, decode = decoder()] {
            *loaded = LoadedFile::read(url, decode, false);
            return true;
        },
        [this, loaded, seen, generation, then](bool) {
            const bool lookAgain = std::exchange(m_lookAgain, false);
            if (m_state == State::Closed)
                return;
            if (loaded->readFailure || loaded->refusal) {
                m_watch->refuse(seen);
                handle(Event::ReloadFailed);
                presentError(loaded->readFailure ? *loaded->readFailure : *loaded->refusal, MessageKind::FileChanged);
            } else if (generation != m_editGeneration) {
                // Typed meanwhile: that typing is not replaced unasked.
                handle(Event::Reloaded);
                checkFileOnDisk();
                return;
            } else {
                m_watch->noteReloaded(seen, *loaded);
                takeText(std::move(loaded->text));
                updateChangeCount(ChangeType::Cleared);
                handle(Event::Reloaded);
                Q_EMIT reloadedFromDisk();
                if (then)
                    then();
            }
            // A change seen while the file was read may be a later one.
            if (lookAgain)
                checkFileOnDisk();
        });
}

void Document::compareContentLater(const FileIdentity &now)
{
    const std::function<bool()> compare = m_watch->compareOnce(now);
    if (!compare)
        return;
    // Read on the writer, after our writes: the window never waits for a long note to be read again.
    m_writes->run(compare, [this, now](bool same) {
        if (m_state == State::Asking || m_state == State::Closed)
            return;
        if (NoteState::isBusy(m_state) || m_writes->isWriting() || m_watch->current() != now) {
            // Our write is landing, or the file changed again meanwhile: look afresh.
            checkFileOnDisk();
            return;
        }
        if (same)
            m_watch->acceptSameContent(now);
        else
            changedOnDisk(now, Event::DiskChanged);
    });
}

bool Document::followMovedFile()
{
    const std::optional<QString> moved = m_watch->movedTo();
    if (!moved)
        return false;
    followTo(FileNames::urlOfPath(*moved));
    return true;
}

void Document::reportMissingFile()
{
    // The text stays in the window and counts as unsaved, so the next save writes it again at its place; a window
    // that saves its edits by itself schedules that save as for an edit.
    const QFileInfo file(FileNames::pathOfUrl(m_fileUrl));
    handle(Event::Missing);
    updateChangeCount(ChangeType::Done);
    presentError(Error(QString::fromUtf16(ErrorDomain::posix), ENOENT,
                       tr("“%1” was moved or deleted by another program. Its text is still open here and will be "
                          "saved again in “%2”.")
                           .arg(file.fileName(), file.absolutePath())),
                 MessageKind::FileChanged);
    Q_EMIT saveWanted();
}
