#include "document.h"

#include "framework/durablewriter.h"
#include "framework/filenames.h"
#include "framework/notewatch.h"
#include "framework/recoverystore.h"
#include "framework/writequeue.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cerrno>

using Event = NoteState::Event;

namespace {

const NoteServices &noServices()
{
    static const NoteServices none;
    return none;
}

void completeAll(const QList<Document::Completion> &completions, const std::optional<Error> &result)
{
    for (const Document::Completion &completion : completions)
        completion(result);
}

} // namespace

Document::Document(const NoteServices *services, QObject *parent)
    : QObject(parent)
    , m_services(services ? services : &noServices())
    , m_writes(new WriteQueue(this))
    , m_watch(new NoteWatch(this))
{
    connect(m_watch, &NoteWatch::fileMayHaveChanged, this, &Document::checkFileOnDisk);
    connect(m_watch, &NoteWatch::readOnlyChanged, this, &Document::readOnlyChanged);
}

Document::~Document()
{
    // A write under way finishes before the note goes; its report back is dropped with the note.
    delete m_writes;
}

void Document::setFileUrl(const QUrl &url)
{
    if (url == m_fileUrl)
        return;
    m_fileUrl = url;
    m_watch->watch(url);
    Q_EMIT fileUrlChanged(url);
}

void Document::followTo(const QUrl &to)
{
    const QUrl from = m_fileUrl;
    setFileUrl(to);
    Q_EMIT fileMoved(from, to);
}

QString Document::displayName() const
{
    return m_fileUrl.isEmpty() ? tr("Untitled") : m_fileUrl.fileName();
}

bool Document::isReadOnly() const
{
    return m_watch->isReadOnly();
}

void Document::handle(Event event)
{
    // A link put in the note's place shows another file: never taken in unasked, as if there were typing.
    const bool typing = isDocumentEdited() ||
                        ((event == Event::DiskChanged || event == Event::KeepMine) && m_watch->linkSwappedIn());
    m_state = NoteState::next(m_state, event, typing);
}

void Document::updateChangeCount(ChangeType change)
{
    const bool wasEdited = isDocumentEdited();
    switch (change) {
    case ChangeType::Done:
    case ChangeType::Redone:
        ++m_changeCount;
        break;
    case ChangeType::Undone:
        --m_changeCount;
        break;
    case ChangeType::Cleared:
        m_changeCount = 0;
        break;
    }
    if (change != ChangeType::Cleared) {
        ++m_editGeneration;
        handle(isDocumentEdited() ? Event::Edit : Event::Unedit);
    }
    if (wasEdited != isDocumentEdited())
        Q_EMIT documentEditedChanged(isDocumentEdited());
}

void Document::takeLoaded(LoadedFile &&loaded)
{
    if (loaded.readFailure)
        throw *loaded.readFailure;
    if (loaded.refusal)
        throw *loaded.refusal;
    // Read before the note stands for the file (opening): the repair is told in its window.
    if (loaded.url != m_fileUrl)
        m_interruptedSave = loaded.repair;
    m_watch->noteRead(loaded);
    takeText(std::move(loaded.text));
}

void Document::autosave(const Completion &completion)
{
    Write request;
    request.quietReadOnly = true;
    if (completion)
        request.completions.append(completion);
    write(request);
}

void Document::saveDocument()
{
    if (m_fileUrl.isEmpty())
        return;
    m_watch->keepOnDisk({}); // an explicit save asks again
    Write request;
    request.always = true;
    request.completions.append([this](const std::optional<Error> &failure) {
        if (failure)
            presentError(*failure);
    });
    write(request);
}

void Document::saveDocumentAs()
{
    const auto &ask = m_services->questions.saveAsPath;
    const std::optional<QString> chosen = ask ? ask(this) : std::nullopt;
    if (!chosen || chosen->isEmpty())
        return;
    const QString target = QFileInfo(*chosen).absoluteFilePath();
    // A replacing write would pass over the file's own mode, so a read-only file is never the copy.
    if (NoteWatch::readOnlyFile(target)) {
        presentError(Error(QString::fromUtf16(ErrorDomain::posix), EACCES,
                           tr("“%1” is read-only. Choose another name or folder.").arg(QFileInfo(target).fileName())));
        return;
    }
    finishWrites();
    Write request;
    request.copyTo = target;
    write(request);
}

void Document::write(Write request)
{
    request.generation = m_editGeneration;
    std::function<bool()> replaceIf;
    if (request.copyTo.isEmpty()) {
        if (m_state == State::Closed || m_fileUrl.isEmpty() || (!request.always && !isDocumentEdited()))
            return completeAll(request.completions, std::nullopt);
        if (m_writes->isWriting()) {
            // One write at a time, in order: this request is served by the write after the current one.
            m_writes->requestAgain({});
            for (const Completion &completion : std::as_const(request.completions))
                m_writes->requestAgain(completion);
            return;
        }
        if (m_state == State::Reloading) {
            // The version on disk is coming in; typing meanwhile is looked at when it is in.
            keepForRecovery();
            return completeAll(request.completions, std::nullopt);
        }
        if (m_watch->refreshReadOnly()) {
            // The window says so once; each pause in typing keeps the text privately instead.
            keepForRecovery();
            handle(Event::Refused);
            return completeAll(request.completions,
                               request.quietReadOnly ? std::nullopt
                                                     : std::optional<Error>(Error(
                                                           QString::fromUtf16(ErrorDomain::posix), EACCES,
                                                           tr("“%1” is read-only. Your changes are kept here and for "
                                                              "recovery; use Save As… to keep them in another file.")
                                                               .arg(displayName()))));
        }
        // Moved away by another program: the text follows the file there.
        if (!FileIdentity::of(FileNames::pathOfUrl(m_fileUrl)).exists)
            followMovedFile();
        FileIdentity now;
        switch (m_watch->beforeWrite(m_state == State::Asking, &now)) {
        case NoteWatch::BeforeWrite::Write:
            break;
        case NoteWatch::BeforeWrite::WriteIfSame:
            replaceIf = m_watch->sameContentTask();
            break;
        case NoteWatch::BeforeWrite::Keep:
            // The open question decides; until then the typing is kept aside, not asked about after every pause.
            keepForRecovery();
            handle(Event::Refused);
            return completeAll(request.completions, std::nullopt);
        case NoteWatch::BeforeWrite::Ask:
            changedOnDisk(now, Event::DiskChanged);
            return completeAll(request.completions, std::nullopt);
        }
        handle(Event::SaveDue);
    }
    DurableWriter::Options options;
    options.interruptedSaves = m_services->interruptedSaves;
    if (request.copyTo.isEmpty())
        options.followLinks = m_watch->writesThroughLink();
    // Only a snapshot of the text is taken here; encoding, writing and syncing run on the writer.
    m_writes->start(request.copyTo.isEmpty() ? FileNames::pathOfUrl(m_fileUrl) : request.copyTo, dataTask(), options,
                    replaceIf, [this, request](const std::optional<Error> &failure, const WriteQueue::Written &result) {
                        written(request, failure, result.digest, result.identity, result.changedOnDisk);
                    });
}

void Document::written(const Write &request, const std::optional<Error> &failure, const QByteArray &digest,
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
            presentError(*failure);
        else
            keepForRecovery();
        handle(Event::SaveFailed);
    } else {
        if (request.generation == m_editGeneration)
            updateChangeCount(ChangeType::Cleared);
        // The text kept for the file the note stood for is no longer needed, whichever file that is now.
        discardRecovered();
        if (copy) {
            // The copy is what the note stands for from now on; its old file is left as it was.
            m_watch->forgetAnswers();
            setFileUrl(FileNames::urlOfPath(request.copyTo));
        }
        m_watch->noteWritten(digest, left);
        handle(copy ? Event::SavedElsewhere : Event::Saved);
        Q_EMIT saved();
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

bool Document::finishWrites()
{
    return m_writes->finish(closeWaitMs);
}

std::optional<Error> Document::writeNow()
{
    const auto stillWriting = [this] {
        return Error(QString::fromUtf16(ErrorDomain::posix), EBUSY,
                     tr("“%1” is still being written; the disk does not answer.").arg(displayName()));
    };
    if (!finishWrites())
        return stillWriting();
    if (!isDocumentEdited() || m_fileUrl.isEmpty() || m_state == State::LetGo)
        return std::nullopt;
    auto result = std::make_shared<std::optional<Error>>();
    Write request;
    request.completions.append([result](const std::optional<Error> &failure) { *result = failure; });
    write(request);
    if (!finishWrites())
        return stillWriting();
    if (*result || !isDocumentEdited())
        return *result;
    return Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileWriteUnknown,
                 tr("“%1” was changed by another program, and which version to keep is not decided yet.")
                     .arg(displayName()));
}

bool Document::shouldClose()
{
    for (;;) {
        const std::optional<Error> failure = writeNow();
        if (!failure)
            return true;
        const auto &ask = m_services->questions.closeUnsaved;
        switch (ask ? ask(this, *failure) : NoteQuestions::UnsavedChoice::CloseWithoutSaving) {
        case NoteQuestions::UnsavedChoice::Cancel:
            return false;
        case NoteQuestions::UnsavedChoice::CloseWithoutSaving:
            letGoUnsaved();
            return true;
        case NoteQuestions::UnsavedChoice::SaveAs:
            // Saved elsewhere, the loop ends; cancelled or failed, the choice comes again.
            saveDocumentAs();
            finishWrites();
            break;
        }
    }
}

void Document::letGoUnsaved()
{
    if (!writeNow())
        return;
    keepForRecovery();
    handle(Event::LetGo);
}

void Document::close()
{
    handle(Event::Close);
    finishWrites();
    // However the note goes (a signal, the end of the session, "Close Without Saving"), unsaved text stays.
    if (isDocumentEdited())
        keepForRecovery();
    m_watch->stop();
    Q_EMIT closed();
}

void Document::keepForRecovery()
{
    RecoveryStore *store = m_services->recovery;
    if (!store || m_fileUrl.isEmpty())
        return;
    // Text kept elsewhere than usual, or nowhere, is told in a bar of its own beside the save's error.
    store->keepLater(FileNames::pathOfUrl(m_fileUrl), dataTask(),
                     [self = QPointer<Document>(this)](const Error &notice) {
                         if (self)
                             self->presentError(notice, MessageKind::Recovery);
                     });
}

void Document::discardRecovered()
{
    const QString path = FileNames::pathOfUrl(m_fileUrl);
    if (RecoveryStore *store = m_services->recovery; store && store->holds(path) && !isDocumentEdited())
        store->discard(path);
}

void Document::presentError(const Error &error, MessageKind kind)
{
    Q_EMIT errorPresented(error, kind);
}
