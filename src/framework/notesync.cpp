#include "notesync.h"

#include "framework/document.h"
#include "framework/durablewriter.h"
#include "framework/filenames.h"
#include "framework/loadedfile.h"
#include "framework/noteservices.h"
#include "framework/notewatch.h"
#include "framework/recoverystore.h"
#include "framework/writequeue.h"

#include <QPointer>

#include <cerrno>

using Event = NoteState::Event;

namespace {

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

bool NoteSync::mayWrite(Write &request, std::function<bool()> *replaceIf, FileIdentity *expected)
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
            // The writer looks again right before our text goes in: a version renamed in meanwhile is asked about.
            *expected = now;
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
    FileIdentity expected;
    const bool own = request.copyTo.isEmpty();
    if (own && !mayWrite(request, &replaceIf, &expected))
        return;
    if (own)
        handle(Event::SaveDue);
    DurableWriter::Options options;
    options.interruptedSaves = m_services.interruptedSaves;
    if (own) {
        options.followLinks = m_watch->writesThroughLink();
        options.expected = expected;
    }
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
