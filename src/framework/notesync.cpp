#include "notesync.h"

#include "framework/autosave.h"
#include "framework/document.h"
#include "framework/durablewriter.h"
#include "framework/filenames.h"
#include "framework/filewatcher.h"
#include "framework/loadedfile.h"
#include "framework/notefile.h"
#include "framework/recoverystore.h"
#include "framework/writequeue.h"

#include <QFileInfo>
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
    , m_writes(new WriteQueue(services.writers, this))
    , m_file(new NoteFile(services.watcher ? *services.watcher : FileWatcher::forProcess(), this))
    , m_autosave(new AutoSave([this](const Completion &done) { saveCatching(done); },
                              [this](const Error &failure) { m_note.presentError(failure, MessageKind::SaveFailed); },
                              [this] { return m_note.isDocumentEdited(); }, this))
{
    connect(m_file, &NoteFile::fileMayHaveChanged, this, &NoteSync::checkFileOnDisk);
    connect(m_file, &NoteFile::readOnlyChanged, &note, &Document::readOnlyChanged);
}

NoteSync::~NoteSync() = default;

NoteSync::State NoteSync::handle(Event event)
{
    // A link put in the note's place shows another file: never taken in unasked, as if there were typing.
    const bool typing = m_note.isDocumentEdited() ||
                        ((event == Event::DiskChanged || event == Event::KeepMine) && m_file->linkSwappedIn());
    return m_state.on(event, typing);
}

bool NoteSync::isReadOnly() const
{
    return m_file->isReadOnly();
}

void NoteSync::watch(const QUrl &url)
{
    const QString path = url.isLocalFile() ? FileNames::pathOfUrl(url) : QString();
    m_file->watch(path);
    // The first file the note stands for sets where it starts; a move or a copy keeps what it is doing.
    if (!std::exchange(m_placed, !path.isEmpty()) && !path.isEmpty())
        m_state.startAt(m_file->current().exists);
}

void NoteSync::noteRead(const LoadedFile &loaded)
{
    m_file->noteRead(loaded);
    m_versionRead = loaded.version;
}

void NoteSync::textShownWhole(std::vector<ContentDigest::BlockHash> shown)
{
    if (m_versionRead)
        m_writes->seed(std::exchange(m_versionRead, nullptr), m_note.dataTask(), std::move(shown));
}

void NoteSync::edited()
{
    handle(m_note.isDocumentEdited() ? Event::Edit : Event::Unedit);
    if (m_note.autosavesInPlace())
        m_autosave->schedule();
}

void NoteSync::saveCatching(const Completion &completion)
{
    try {
        save(false, completion);
    } catch (const Error &error) {
        completion(error);
    } catch (const std::exception &unexpected) {
        // Anything else (no memory left to take the text) is still a failed save the user must hear of.
        completion(
            Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileWriteUnknown,
                  tr("Could not save “%1”: %2").arg(m_note.displayName(), QString::fromLocal8Bit(unexpected.what()))));
    }
}

void NoteSync::save(bool explicitly, const Completion &completion)
{
    Write request;
    request.always = explicitly;
    request.quietReadOnly = !explicitly;
    if (completion)
        request.completions.append(completion);
    if (explicitly)
        m_state.keepOnDisk({}); // an explicit save asks again
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
    if (state() == State::Closed || url.isEmpty() || (!request.always && !m_note.isDocumentEdited())) {
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
    // Moved away by another program: the text follows the file there.
    if (state() != State::Gone && !FileIdentity::of(FileNames::pathOfUrl(url)).exists)
        followMovedFile();
    std::optional<Error> result;
    if (m_file->refreshReadOnly()) {
        // The window says so once; each pause in typing keeps the text privately instead.
        keepForRecovery();
        const QString why = tr("“%1” is read-only. Your changes are kept here and for recovery; use Save As… to keep "
                               "them in another file.")
                                .arg(m_note.displayName());
        result =
            request.quietReadOnly ? Error::deferred(why) : Error(QString::fromUtf16(ErrorDomain::posix), EACCES, why);
        completeAll(request.completions, result);
        return false;
    }
    NoteState::OnDisk disk;
    disk.now = m_file->current();
    if (disk.now.exists) {
        const NoteFile::Knowledge knowledge = m_file->knowledgeOf(disk.now);
        disk.known = knowledge == NoteFile::Knowledge::Known;
        disk.compareBytes = knowledge == NoteFile::Knowledge::ContentToCompare;
        disk.sameBytesMayBeBack = m_file->sameBytesMayBeBack();
    }
    // The writer looks again right before our text goes in: a version put there meanwhile is asked about.
    *expected = disk.now;
    switch (m_state.beforeWrite(disk)) {
    case NoteState::Write::OverIfSame:
        *replaceIf = m_file->sameContentTask();
        return true;
    case NoteState::Write::Over:
    case NoteState::Write::WhereNone:
        return true;
    case NoteState::Write::Keep:
        keepForRecovery();
        result = putOff();
        break;
    case NoteState::Write::Missing:
        keepForRecovery();
        fileMissing({});
        result = putOff();
        break;
    case NoteState::Write::Ask:
        changedOnDisk(disk.now, Event::DiskChanged);
        result = putOff();
        break;
    }
    completeAll(request.completions, result);
    return false;
}

Error NoteSync::putOff() const
{
    const QString name = m_note.displayName();
    switch (state()) {
    case State::Reloading:
        return Error::deferred(tr("“%1” is being read again from its file; your typing is kept.").arg(name));
    case State::Vanished:
        return Error::deferred(tr("“%1” was just removed from its folder; your typing is kept until it is clear "
                                  "whether another program is replacing it.")
                                   .arg(name));
    default:
        return Error::deferred(
            tr("“%1” was changed by another program, and which version to keep is not decided yet.").arg(name));
    }
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
        options.followLinks = m_file->writesThroughLink();
        options.guarded = true;
        options.expected = expected;
    }
    // Only a snapshot of the text is taken here; encoding, writing and syncing run on the writer.
    m_writes->start(own ? FileNames::pathOfUrl(m_note.fileUrl()) : request.copyTo, m_note.dataTask(), options,
                    replaceIf, [this, request](const std::optional<Error> &failure, const WriteQueue::Written &result) {
                        written(request, failure, result.digest, result.identity, result.changedOnDisk,
                                result.theirsKept);
                    });
}

void NoteSync::written(const Write &request, const std::optional<Error> &failure, const QByteArray &digest,
                       const FileIdentity &left, bool otherVersion, const QString &theirsKept)
{
    const bool copy = !request.copyTo.isEmpty();
    std::optional<Error> result = failure;
    if (otherVersion) {
        // Another program put its version at the path since we looked: nothing was written over it, the window's
        // text is kept, and the user says which version to keep.
        changedOnDisk(m_file->current(), Event::Conflict);
        result = putOff();
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
            m_state.forgetAnswers();
            m_note.setFileUrl(FileNames::urlOfPath(request.copyTo));
        }
        m_file->noteWritten(digest, left);
        handle(copy ? Event::SavedElsewhere : Event::Saved);
        Q_EMIT m_note.saved();
        if (!theirsKept.isEmpty())
            Q_EMIT m_note.otherVersionKept(theirsKept, false);
    }
    completeAll(request.completions, result);
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
    if (!m_note.isDocumentEdited() || m_note.fileUrl().isEmpty() || state() == State::LetGo)
        return std::nullopt;
    auto result = std::make_shared<std::optional<Error>>();
    Write request;
    request.completions.append([result](const std::optional<Error> &failure) { *result = failure; });
    write(request);
    if (!finishWrites())
        return stillWriting();
    if (*result || !m_note.isDocumentEdited())
        return *result;
    return Error::deferred(tr("“%1” could not be written yet.").arg(m_note.displayName()));
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
    m_file->stop();
}

void NoteSync::keepForRecovery()
{
    RecoveryStore *store = m_services.recovery;
    if (!store || m_note.fileUrl().isEmpty() || !m_note.isDocumentEdited())
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
