#include "document.h"

#include "framework/autosave.h"
#include "framework/notesync.h"
#include "framework/notefile.h"

#include <QFileInfo>

#include <cerrno>

namespace {

const NoteServices &noServices()
{
    static const NoteServices none;
    return none;
}

} // namespace

Document::Document(const NoteServices *services, QObject *parent)
    : QObject(parent)
    , m_services(services ? services : &noServices())
    , m_sync(new NoteSync(*this, *m_services))
{
    connect(m_sync->autosave(), &AutoSave::requested, this, &Document::autosaveRequested);
}

QTimer *Document::pendingSave() const
{
    return m_sync->autosave()->pending();
}

QTimer *Document::pendingRetry() const
{
    return m_sync->autosave()->retry();
}

Document::~Document() = default;

void Document::setFileUrl(const QUrl &url)
{
    if (url == m_fileUrl)
        return;
    m_fileUrl = url;
    m_sync->watch(url);
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

Document::State Document::state() const
{
    return m_sync->state();
}

bool Document::isReadOnly() const
{
    return m_sync->isReadOnly();
}

void Document::updateChangeCount(ChangeType change)
{
    const bool wasEdited = isDocumentEdited();
    switch (change) {
    case ChangeType::Done:
        ++m_edits.count;
        break;
    case ChangeType::Cleared:
        m_edits.count = 0;
        break;
    case ChangeType::Reverted:
        // While other text is being written the file will not hold this one until it is written again.
        m_edits.count = state() == State::Saving ? m_edits.count + 1 : 0;
        break;
    }
    if (change != ChangeType::Cleared) {
        ++m_edits.generation;
        m_sync->edited();
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
    m_sync->noteRead(loaded);
    takeText(std::move(loaded.text));
}

void Document::textShownWhole(std::vector<ContentDigest::BlockHash> shown)
{
    m_sync->textShownWhole(std::move(shown));
}

void Document::autosave(const Completion &completion)
{
    m_sync->save(false, completion);
}

void Document::saveDocument()
{
    if (m_fileUrl.isEmpty())
        return;
    m_sync->save(true, [this](const std::optional<Error> &failure) {
        // A read-only note is refused for the reason its window tells already; a save put off says why.
        if (failure)
            presentError(*failure, isReadOnly() ? MessageKind::ReadOnly : MessageKind::Error);
    });
}

void Document::saveDocumentAs()
{
    const auto &ask = m_services->questions.saveAsPath;
    const std::optional<QString> chosen = ask ? ask(this) : std::nullopt;
    if (!chosen || chosen->isEmpty())
        return;
    const QString target = QFileInfo(*chosen).absoluteFilePath();
    // A replacing write would pass over the file's own mode, so a read-only file is never the copy.
    if (NoteFile::readOnlyFile(target)) {
        presentError(Error(QString::fromUtf16(ErrorDomain::posix), EACCES,
                           tr("“%1” is read-only. Choose another name or folder.").arg(QFileInfo(target).fileName())));
        return;
    }
    m_sync->saveAs(target);
}

bool Document::finishWrites()
{
    return m_sync->finishWrites();
}

std::optional<Error> Document::writeNow()
{
    return m_sync->writeNow();
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
    m_sync->letGo();
}

void Document::close()
{
    m_sync->close();
    Q_EMIT closed();
}

void Document::checkFileOnDisk()
{
    m_sync->checkFileOnDisk();
}

void Document::presentError(const Error &error, MessageKind kind)
{
    Q_EMIT errorPresented(error, kind);
}
