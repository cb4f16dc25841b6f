#include "notesync.h"

#include "framework/document.h"
#include "framework/durablewriter.h"
#include "framework/filenames.h"
#include "framework/loadedfile.h"
#include "framework/noteservices.h"
#include "framework/notewatch.h"
#include "framework/recoverystore.h"
#include "framework/syncconflicts.h"
#include "framework/trash.h"
#include "framework/writequeue.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cerrno>

using Event = NoteState::Event;

namespace {

constexpr int replacementGraceMs = 1500;

void completeAll(const QList<NoteSync::Completion> &completions, const std::optional<Error> &result)
{
    for (const NoteSync::Completion &completion : completions)
        completion(result);
}

} // namespace

NoteSync::NoteSync(Document &note, const NoteServices &services)
    : QObject(&note)
    , m_note(note)
    , m_services(services)
    , m_writes(new WriteQueue(this))
    , m_watch(new NoteWatch(this))
{
    connect(m_watch, &NoteWatch::fileMayHaveChanged, this, &NoteSync::checkFileOnDisk);
    connect(m_watch, &NoteWatch::readOnlyChanged, &note, &Document::readOnlyChanged);
}

NoteSync::~NoteSync()
{
    // A write under way finishes before the note goes; its report back is dropped with the note.
    delete m_writes;
}

void NoteSync::handle(Event event)
{
    // A link put in the note's place shows another file: never taken in unasked, as if there were typing.
    const bool typing = m_note.isDocumentEdited() ||
                        ((event == Event::DiskChanged || event == Event::KeepMine) && m_watch->linkSwappedIn());
    m_state = NoteState::next(m_state, event, typing);
}

void NoteSync::edited()
{
    handle(m_note.isDocumentEdited() ? Event::Edit : Event::Unedit);
}

void NoteSync::save(bool explicitly, const Completion &completion)
{
    Write request;
    request.always = explicitly;
    request.quietReadOnly = !explicitly;
    if (completion)
        request.completions.append(completion);
    if (explicitly)
        m_watch->keepOnDisk({}); // an explicit save asks again
    write(request);
}

void NoteSync::saveAs(const QString &target)
{
    finishWrites();
    Write request;
    request.copyTo = target;
    write(request);
}

bool NoteSync::mayWrite(Write &request, std::function<bool()> *replaceIf)
{
    const QUrl url = m_note.fileUrl();
    if (m_state == State::Closed || url.isEmpty() || (!request.always && !m_note.isDocumentEdited())) {
        completeAll(request.completions, std::nullopt);
        return false;
    }
    if (m_writes->isWriting()) {
        // One write at a time, in order: this request is served by the write after the current one.
        m_writes->requestAgain({});
        for (const Completion &completion : std::as_const(request.completions))
            m_writes->requestAgain(completion);
        return false;
    }
    std::optional<Error> refusal;
    if (m_state == State::Reloading) {
        // The version on disk is coming in; typing meanwhile is looked at when it is in.
        keepForRecovery();
    } else if (m_watch->refreshReadOnly()) {
        // The window says so once; each pause in typing keeps the text privately instead.
        keepForRecovery();
        if (!request.quietReadOnly)
            refusal = Error(QString::fromUtf16(ErrorDomain::posix), EACCES,
                            tr("“%1” is read-only. Your changes are kept here and for recovery; use Save As… to keep "
                               "them in another file.")
                                .arg(m_note.displayName()));
    } else {
        // Moved away by another program: the text follows the file there.
        if (!FileIdentity::of(FileNames::pathOfUrl(url)).exists)
            followMovedFile();
        FileIdentity now;
        switch (m_watch->beforeWrite(m_state == State::Asking, &now)) {
        case NoteWatch::BeforeWrite::WriteIfAbsent:
            *replaceIf = m_watch->absentTask();
            return true;
        case NoteWatch::BeforeWrite::WriteIfSame:
            *replaceIf = m_watch->sameContentTask();
            [[fallthrough]];
        case NoteWatch::BeforeWrite::Write:
            return true;
        case NoteWatch::BeforeWrite::Keep:
            // The open question decides; until then the typing is kept aside, not asked about after every pause.
            keepForRecovery();
            break;
        case NoteWatch::BeforeWrite::Ask:
            changedOnDisk(now, Event::DiskChanged);
            break;
        }
    }
    completeAll(request.completions, refusal);
    return false;
}

void NoteSync::write(Write request)
{
    request.generation = m_note.editGeneration();
    std::function<bool()> replaceIf;
    const bool own = request.copyTo.isEmpty();
    if (own && !mayWrite(request, &replaceIf))
        return;
    if (own)
        handle(Event::SaveDue);
    DurableWriter::Options options;
    options.interruptedSaves = m_services.interruptedSaves;
    if (own)
        options.followLinks = m_watch->writesThroughLink();
    // Only a snapshot of the text is taken here; encoding, writing and syncing run on the writer.
    m_writes->start(own ? FileNames::pathOfUrl(m_note.fileUrl()) : request.copyTo, m_note.dataTask(), options,
                    replaceIf, [this, request](const std::optional<Error> &failure, const WriteQueue::Written &result) {
                        written(request, failure, result.digest, result.identity, result.changedOnDisk);
                    });
}

void NoteSync::written(const Write &request, const std::optional<Error> &failure, const QByteArray &digest,
                       const FileIdentity &left, bool otherVersion)
{
    const bool copy = !request.copyTo.isEmpty();
    if (otherVersion) {
        // Another program wrote the file in the same tick of its clock as our last write: nothing was written over
        // it, the window's text is kept, and the user says which version to keep.
        changedOnDisk(m_watch->current(), Event::Conflict);
    } else if (failure) {
        // The text the user sees must survive even when its file cannot take it.
        if (copy)
            m_note.presentError(*failure);
        else
            keepForRecovery();
        handle(Event::SaveFailed);
    } else {
        if (request.generation == m_note.editGeneration())
            m_note.updateChangeCount(Document::ChangeType::Cleared);
        // The text kept for the file the note stood for is no longer needed, whichever file that is now.
        discardRecovered();
        if (copy) {
            // The copy is what the note stands for from now on; its old file is left as it was.
            m_watch->forgetAnswers();
            m_note.setFileUrl(FileNames::urlOfPath(request.copyTo));
        }
        m_watch->noteWritten(digest, left);
        handle(copy ? Event::SavedElsewhere : Event::Saved);
        Q_EMIT m_note.saved();
    }
    completeAll(request.completions, failure);
    if (std::exchange(m_lookAgain, false))
        checkFileOnDisk();
    QList<Completion> waiting;
    if (m_writes->isWriting() || !m_writes->takeRequest(waiting))
        return;
    Write again;
    again.completions = waiting;
    write(again);
}

bool NoteSync::finishWrites()
{
    return m_writes->finish(Document::closeWaitMs);
}

std::optional<Error> NoteSync::writeNow()
{
    const auto stillWriting = [this] {
        return Error(QString::fromUtf16(ErrorDomain::posix), EBUSY,
                     tr("“%1” is still being written; the disk does not answer.").arg(m_note.displayName()));
    };
    if (!finishWrites())
        return stillWriting();
    if (!m_note.isDocumentEdited() || m_note.fileUrl().isEmpty() || m_state == State::LetGo)
        return std::nullopt;
    auto result = std::make_shared<std::optional<Error>>();
    Write request;
    request.completions.append([result](const std::optional<Error> &failure) { *result = failure; });
    write(request);
    if (!finishWrites())
        return stillWriting();
    if (*result || !m_note.isDocumentEdited())
        return *result;
    return Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileWriteUnknown,
                 tr("“%1” was changed by another program, and which version to keep is not decided yet.")
                     .arg(m_note.displayName()));
}

void NoteSync::letGo()
{
    if (!writeNow())
        return;
    keepForRecovery();
    handle(Event::LetGo);
}

void NoteSync::close()
{
    handle(Event::Close);
    finishWrites();
    // However the note goes (a signal, the end of the session, "Close Without Saving"), unsaved text stays.
    if (m_note.isDocumentEdited())
        keepForRecovery();
    m_watch->stop();
}

void NoteSync::keepForRecovery()
{
    RecoveryStore *store = m_services.recovery;
    if (!store || m_note.fileUrl().isEmpty())
        return;
    // Text kept elsewhere than usual, or nowhere, is told in a bar of its own beside the save's error.
    store->keepLater(FileNames::pathOfUrl(m_note.fileUrl()), m_note.dataTask(),
                     [note = QPointer<Document>(&m_note)](const Error &notice) {
                         if (note)
                             note->presentError(notice, MessageKind::Recovery);
                     });
}

void NoteSync::discardRecovered()
{
    const QString path = FileNames::pathOfUrl(m_note.fileUrl());
    if (RecoveryStore *store = m_services.recovery; store && store->holds(path) && !m_note.isDocumentEdited())
        store->discard(path);
}

// Other programs' changes: looking at the file, asking which version to keep, reloading, following a move.

void NoteSync::checkFileOnDisk()
{
    if (m_note.fileUrl().isEmpty() || m_state == State::Asking || m_state == State::Closed)
        return;
    if (NoteState::isBusy(m_state) || m_writes->isWriting()) {
        // Our own write or read is landing; look again once it has, with its result known.
        m_lookAgain = true;
        return;
    }
    FileIdentity now;
    const NoteWatch::Look look = m_watch->look(m_note.isDocumentEdited(), &now);
    if (m_state == State::Gone && look != NoteWatch::Look::Changed && look != NoteWatch::Look::Compare) {
        // Already told; only the file coming back at its place is news.
        if (look == NoteWatch::Look::Known)
            fileIsBack();
        return;
    }
    switch (look) {
    case NoteWatch::Look::Known:
    case NoteWatch::Look::Ignored:
        return;
    case NoteWatch::Look::Moved:
        if (!followMovedFile())
            reportMissingFile({});
        return;
    case NoteWatch::Look::Missing:
        reportMissingFile({});
        return;
    case NoteWatch::Look::Compare:
        compareContentLater(now);
        return;
    case NoteWatch::Look::Changed:
        changedOnDisk(now, Event::DiskChanged);
        return;
    }
}

void NoteSync::changedOnDisk(const FileIdentity &now, Event event)
{
    const State before = m_state;
    handle(event);
    if (m_state == before) {
        if (NoteState::isBusy(m_state))
            m_lookAgain = true;
        return;
    }
    if (m_state == State::Reloading)
        return reloadFromDisk(now);
    if (m_state != State::Asking)
        return;
    // Until the answer the window's text lives only in memory: a kept copy survives any end of the process.
    keepForRecovery();
    const auto answer = [self = QPointer<NoteSync>(this), now](NoteQuestions::Conflict given) {
        if (self)
            self->conflictAnswered(now, given == NoteQuestions::Conflict::KeepMine);
    };
    if (const auto &ask = m_services.questions.whichVersion)
        return ask(&m_note, answer);
    // Without a window the text held here is all the user last saw of it: it is kept. The answer comes from the
    // event loop, as the user's would.
    QTimer::singleShot(0, this, [answer] { answer(NoteQuestions::Conflict::KeepMine); });
}

void NoteSync::conflictAnswered(const FileIdentity &now, bool keepMine)
{
    if (m_state != State::Asking)
        return; // settled meanwhile (saved elsewhere)
    if (!keepMine) {
        m_watch->keepOnDisk(now);
        handle(Event::UseDisk);
        // The window's text stays in recovery until the next edit, and one undo away in the window.
        return reloadFromDisk(now);
    }
    // Mine wins: it is written over the other version at once, so the choice sticks. A swapped-in link is replaced
    // by the note's own text even when nothing was typed.
    m_watch->writeOver(now);
    const bool linkSwapped = m_watch->linkSwappedIn();
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
        if (m_state == State::Closed)
            return;
        if (loaded->readFailure || loaded->refusal) {
            m_watch->refuse(seen);
            handle(Event::ReloadFailed);
            m_note.presentError(loaded->readFailure ? *loaded->readFailure : *loaded->refusal,
                                MessageKind::FileChanged);
        } else if (generation != m_note.editGeneration()) {
            // Typed meanwhile: that typing is not replaced unasked.
            handle(Event::Reloaded);
            return checkFileOnDisk();
        } else {
            m_watch->noteReloaded(seen, *loaded);
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
    const std::function<bool()> compare = m_watch->compareOnce(now);
    if (!compare)
        return;
    // Read on the writer, after our writes: the window never waits for a long note to be read again.
    m_writes->run(compare, [this, now](bool same) {
        if (m_state == State::Asking || m_state == State::Closed)
            return;
        if (NoteState::isBusy(m_state) || m_writes->isWriting() || m_watch->current() != now)
            return checkFileOnDisk(); // our write is landing, or the file changed again meanwhile: look afresh
        if (!same)
            return changedOnDisk(now, Event::DiskChanged);
        m_watch->acceptSameContent(now);
        if (m_state == State::Gone)
            fileIsBack();
    });
}

bool NoteSync::followMovedFile()
{
    const std::optional<QString> moved = m_watch->movedTo();
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
    else if (m_state != State::Gone)
        reportMissingFile(*moved);
    return true;
}

void NoteSync::fileIsBack()
{
    handle(Event::Back);
    Q_EMIT m_note.reloadedFromDisk();
}

void NoteSync::reportMissingFile(const QString &trashedAt)
{
    handle(Event::Missing);
    if (trashedAt.isEmpty()) {
        // Sync engines and many programs replace a file by deleting it and renaming another into its place: the
        // window hears of it only when no file came back within a moment.
        QTimer::singleShot(replacementGraceMs, this, [this] {
            if (FileIdentity::of(FileNames::pathOfUrl(m_note.fileUrl())).exists)
                checkFileOnDisk();
            else
                tellMissing({});
        });
        return;
    }
    tellMissing(trashedAt);
}

void NoteSync::tellMissing(const QString &trashedAt)
{
    if (m_state == State::Gone) {
        // Nothing typed: the user deleted it, and it stays deleted until they type or say otherwise.
        Q_EMIT m_note.fileGone(trashedAt);
        return;
    }
    if (m_state == State::Closed)
        return;
    // Typing is written again at its place by the next save; a window that saves its edits by itself schedules
    // that save as for an edit.
    const QFileInfo file(FileNames::pathOfUrl(m_note.fileUrl()));
    m_note.presentError(Error(QString::fromUtf16(ErrorDomain::posix), ENOENT,
                              tr("“%1” was moved or deleted by another program. Its text is still open here and will "
                                 "be saved again in “%2”.")
                                  .arg(file.fileName(), file.absolutePath())),
                        MessageKind::FileChanged);
    Q_EMIT m_note.saveWanted();
}
