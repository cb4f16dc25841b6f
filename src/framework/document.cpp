#include "document.h"

#include "framework/durablewriter.h"
#include "framework/filechangetracker.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"
#include "framework/recoverystore.h"
#include "framework/windowcontroller.h"
#include "framework/writequeue.h"

#include <QFileInfo>
#include <QPointer>

#include <cerrno>

namespace {

RecoveryStore *&recoveryStore()
{
    static RecoveryStore *store = nullptr;
    return store;
}

void completeAll(const QList<Document::Completion> &completions, const std::optional<Error> &result)
{
    for (const Document::Completion &completion : completions)
        completion(result);
}

} // namespace

Document::Document(QObject *parent)
    : QObject(parent)
    , m_writes(new WriteQueue(this))
    , m_tracker(new FileChangeTracker(this))
{
    connect(m_tracker, &FileChangeTracker::fileMayHaveChanged, this, &Document::fileMayHaveChanged);
}

Document::~Document()
{
    // A write under way finishes before the document goes; its report back is dropped with the document.
    delete m_writes;
}

QUrl Document::fileUrl() const
{
    return m_fileUrl;
}

void Document::setFileUrl(const QUrl &url)
{
    if (url == m_fileUrl)
        return;
    m_fileUrl = url;
    m_tracker->watch(url.isLocalFile() ? FileNames::pathOfUrl(url) : QString());
    if (const ReadVersion read = std::exchange(m_readVersion, {}); read.url == url) {
        m_tracker->noteContentDigest(read.digest);
        m_tracker->noteReadVersion(read.identity, read.compareBeforeWrite);
        // The file changed after it was read (or while): looked at as another program's change once the document
        // has its windows.
        if (m_tracker->current() != read.identity)
            QMetaObject::invokeMethod(this, &Document::fileMayHaveChanged, Qt::QueuedConnection);
    }
    refreshReadOnly();
    for (WindowController *controller : std::as_const(m_windowControllers))
        controller->synchronizeWindowTitleWithDocumentName();
    Q_EMIT fileUrlChanged(url);
}

QString Document::fileType() const
{
    return m_fileType;
}

void Document::setFileType(const QString &typeName)
{
    m_fileType = typeName;
}

QString Document::displayName() const
{
    return m_fileUrl.isEmpty() ? tr("Untitled") : m_fileUrl.fileName();
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
        m_lettingGo = false;
    }
    if (wasEdited != isDocumentEdited())
        Q_EMIT documentEditedChanged(isDocumentEdited());
}

bool Document::isDocumentEdited() const
{
    return m_changeCount != 0;
}

void Document::addWindowController(WindowController *controller)
{
    if (!controller || m_windowControllers.contains(controller))
        return;
    controller->setParent(this);
    m_windowControllers.append(controller);
    // A controller deleted some other way than close() must not stay listed.
    connect(controller, &QObject::destroyed, this, [this, controller] { m_windowControllers.removeOne(controller); });
    controller->setDocument(this);
    controller->synchronizeWindowTitleWithDocumentName();
}

QList<WindowController *> Document::windowControllers() const
{
    return m_windowControllers;
}

void Document::makeWindowControllers()
{}

void Document::showWindows()
{
    for (WindowController *controller : std::as_const(m_windowControllers))
        controller->showWindow();
}

DurableWriter::Options Document::writeOptions() const
{
    DurableWriter::Options options;
    options.followLinks = m_tracker->writesThroughLink();
    return options;
}

std::function<QByteArray()> Document::dataTask(const QString &typeName) const
{
    return [bytes = data(typeName)] {
        return bytes;
    };
}

void Document::writeSafely(const QUrl &url, const QString &typeName, SaveOperation operation)
{
    const QByteArray bytes = data(typeName);
    DurableWriter::replace(FileNames::pathOfUrl(url), bytes,
                           url == m_fileUrl ? writeOptions() : DurableWriter::Options());
    if (url == m_fileUrl && operation == SaveOperation::Save) {
        m_tracker->noteContent(bytes);
        m_tracker->noteOwnWrite();
    }
}

void Document::autosave(const Completion &completion)
{
    if (!autosavesInPlace() || m_fileUrl.isEmpty() || !isDocumentEdited()) {
        if (completion)
            completion(std::nullopt);
        return;
    }
    if (m_writes->isWriting()) {
        // One write at a time, in order: this request is served by the write after the current one.
        m_writes->requestAgain(completion);
        return;
    }
    startBackgroundWrite(completion ? QList<Completion>{completion} : QList<Completion>{});
}

void Document::startBackgroundWrite(const QList<Completion> &completions)
{
    std::function<bool()> replaceIf;
    try {
        if (refreshReadOnly()) {
            // The window says so once; each pause in typing keeps the text privately instead.
            keepForRecovery();
            completeAll(completions, std::nullopt);
            return;
        }
        if (!confirmOverwrite(&replaceIf)) {
            completeAll(completions, std::nullopt);
            return;
        }
    } catch (const Error &error) {
        completeAll(completions, error);
        return;
    }
    // The content is taken now, on this thread, as cheaply as the document can; encoding, writing and syncing run
    // on the writer.
    const quint64 generation = m_editGeneration;
    m_writes->start(
        FileNames::pathOfUrl(m_fileUrl), dataTask(m_fileType), writeOptions(), replaceIf,
        [this, generation, completions](const std::optional<Error> &failure, const WriteQueue::Written &written) {
            m_writingDigest = written.digest;
            m_writtenIdentity = written.identity;
            finishBackgroundWrite(failure, generation, completions, written.changedOnDisk);
        });
}

void Document::finishBackgroundWrite(const std::optional<Error> &failure, quint64 generation,
                                     const QList<Completion> &completions, bool changedOnDisk)
{
    if (changedOnDisk) {
        // Another program wrote the file in the same tick of its clock as our last write: nothing was written
        // over it, the window's text is kept, and the user says which version to keep.
        keepForRecovery();
        if (!m_asking)
            askAboutConflict(m_tracker->current());
    } else if (failure) {
        keepForRecovery();
    } else {
        m_tracker->noteContentDigest(m_writingDigest);
        m_tracker->noteOwnWrite(m_writtenIdentity);
        if (generation == m_editGeneration)
            updateChangeCount(ChangeType::Cleared);
        discardRecovered();
        Q_EMIT saved();
    }
    completeAll(completions, failure);
    if (std::exchange(m_checkAfterWrite, false))
        fileMayHaveChanged();
    QList<Completion> waiting;
    if (m_writes->isWriting() || !m_writes->takeRequest(waiting))
        return;
    if (isDocumentEdited())
        startBackgroundWrite(waiting);
    else
        completeAll(waiting, std::nullopt);
}

void Document::finishWrites()
{
    m_writes->finish();
}

void Document::keepForRecovery()
{
    RecoveryStore *store = recoveryStore();
    if (!store || m_fileUrl.isEmpty())
        return;
    // Text kept elsewhere than usual, or nowhere, is told in a bar of its own beside the save's error.
    store->keepLater(FileNames::pathOfUrl(m_fileUrl), dataTask(m_fileType),
                     [self = QPointer<Document>(this)](const Error &notice) {
                         if (self)
                             self->presentError(notice, MessageKind::Recovery);
                     });
}

void Document::discardRecovered()
{
    const QString path = FileNames::pathOfUrl(m_fileUrl);
    if (RecoveryStore *store = recoveryStore(); store && store->holds(path) && !isDocumentEdited())
        store->discard(path);
}

void Document::saveDocument(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_fileUrl.isEmpty())
        return;
    m_keptOnDiskIdentity = {}; // an explicit save asks again
    try {
        saveInPlace();
    } catch (const Error &error) {
        presentError(error);
    }
}

bool Document::saveInPlace()
{
    finishWrites();
    if (refreshReadOnly()) {
        keepForRecovery();
        throw Error(QString::fromUtf16(ErrorDomain::posix), EACCES,
                    tr("“%1” is read-only. Your changes are kept here and for recovery; use Save As… to keep them "
                       "in another file.")
                        .arg(displayName()));
    }
    if (!confirmOverwrite())
        return false;
    try {
        writeSafely(m_fileUrl, m_fileType, SaveOperation::Save);
    } catch (const Error &) {
        // The text the user sees must survive even when its file cannot take it.
        keepForRecovery();
        throw;
    }
    updateChangeCount(ChangeType::Cleared);
    discardRecovered();
    Q_EMIT saved();
    return true;
}

void Document::presentError(const Error &error, MessageKind kind)
{
    if (!m_windowControllers.isEmpty())
        m_windowControllers.first()->presentError(error, kind);
    Q_EMIT errorPresented(error);
}

void Document::setRecoveryStore(RecoveryStore *store)
{
    recoveryStore() = store;
}
