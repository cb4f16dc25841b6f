#include "document.h"

#include "framework/durablewriter.h"
#include "framework/filemover.h"
#include "framework/recoverystore.h"
#include "framework/windowcontroller.h"

#include <QCoreApplication>
#include <QDir>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMessageBox>
#include <QPushButton>
#include <QThreadPool>
#include <QWidget>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

Document::ConflictResolver &conflictResolver()
{
    static Document::ConflictResolver resolver;
    return resolver;
}

Document::Asker &fileNameAsker()
{
    static Document::Asker asker;
    return asker;
}

Document::Asker &folderAsker()
{
    static Document::Asker asker;
    return asker;
}

// A document without a window has nowhere to ask; the menu reaches documents only through their windows anyway.
WindowController *firstController(Document *document)
{
    return document->windowControllers().isEmpty() ? nullptr : document->windowControllers().constFirst();
}

// A name that would put the file into another folder or that the system cannot hold is refused before the file is
// touched.
void checkNewName(const QString &current, const QString &name)
{
    QString why;
    if (name.isEmpty())
        why = QStringLiteral("the new name is empty");
    else if (name.contains(u'/'))
        why = QStringLiteral("a name cannot contain “/”");
    else if (name.contains(QChar(u'\0')))
        why = QStringLiteral("a name cannot contain a null character");
    else if (name == u"." || name == u"..")
        why = QStringLiteral("“%1” is not a file name").arg(name);
    else if (DurableWriter::isTemporaryName(name))
        // Such a file would be taken for a leftover of a killed save and cleared away.
        why = QStringLiteral("names of this form are kept for the temporary copies written while saving");
    if (!why.isEmpty())
        throw Error(QString::fromUtf16(ErrorDomain::posix), EINVAL,
                    QStringLiteral("Could not rename “%1” to “%2”: %3.").arg(current, name, why));
}

RecoveryStore *&recoveryStore()
{
    static RecoveryStore *store = nullptr;
    return store;
}

Document::Conflict askWhichVersion(Document *document)
{
    QWidget *parent =
        document->windowControllers().isEmpty() ? nullptr : document->windowControllers().first()->window();
    QMessageBox box(QMessageBox::Warning, document->displayName(),
                    QStringLiteral("“%1” was changed by another program while it had unsaved changes here.")
                        .arg(document->displayName()),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral("Which version do you want to keep?"));
    QPushButton *mine = box.addButton(QStringLiteral("Keep My Version"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Use Version on Disk"), QMessageBox::DestructiveRole);
    box.setDefaultButton(mine);
    box.exec();
    return box.clickedButton() == mine ? Document::Conflict::KeepMine : Document::Conflict::UseDisk;
}

QByteArray readWholeFile(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw Error::fromErrno(errno, QStringLiteral("Could not read"), path);
    QByteArray bytes;
    constexpr qsizetype chunk = 1 << 20;
    for (;;) {
        const qsizetype at = bytes.size();
        bytes.resize(at + chunk);
        const ssize_t got = ::read(fd, bytes.data() + at, chunk);
        if (got < 0 && errno == EINTR) {
            bytes.resize(at);
            continue;
        }
        if (got < 0) {
            const int failure = errno;
            ::close(fd);
            throw Error::fromErrno(failure, QStringLiteral("Could not read"), path);
        }
        bytes.resize(at + got);
        if (got == 0)
            break;
    }
    ::close(fd);
    return bytes;
}

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Within this long of a file's last change another change may have left its times as they were: some file systems
// keep times in whole seconds, or two.
constexpr long long racyWindowNs = 2'000'000'000LL;

} // namespace

Document::Document(QObject *parent)
    : QObject(parent)
    , m_writer(std::make_unique<QThreadPool>())
{
    m_writer->setMaxThreadCount(1);
}

Document::~Document()
{
    // A write under way finishes before the document goes; its report back is dropped with the document.
    m_writer->waitForDone();
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
    watchFile();
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
    return m_fileUrl.isEmpty() ? QStringLiteral("Untitled") : m_fileUrl.fileName();
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
    if (change != ChangeType::Cleared)
        ++m_editGeneration;
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

void Document::readFromUrl(const QUrl &url, const QString &typeName)
{
    const QByteArray bytes = readWholeFile(url.toLocalFile());
    read(bytes, typeName);
    if (url == m_fileUrl)
        m_knownDigest = digestOf(bytes);
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
    DurableWriter::replace(url.toLocalFile(), bytes);
    if (url == m_fileUrl && operation != SaveOperation::SaveTo) {
        m_knownDigest = digestOf(bytes);
        noteOwnWrite();
    }
}

void Document::autosave(bool implicitlyCancellable, const Completion &completion)
{
    Q_UNUSED(implicitlyCancellable);
    if (!autosavesInPlace() || m_fileUrl.isEmpty() || !isDocumentEdited()) {
        if (completion)
            completion(std::nullopt);
        return;
    }
    if (m_writing) {
        // One write at a time, in order: this request is served by the write after the current one.
        m_writeAgain = true;
        if (completion)
            m_waitingCompletions.append(completion);
        return;
    }
    startBackgroundWrite(completion ? QList<Completion>{completion} : QList<Completion>{});
}

void Document::startBackgroundWrite(const QList<Completion> &completions)
{
    auto finishAll = [&completions](const std::optional<Error> &result) {
        for (const Completion &completion : completions)
            completion(result);
    };
    try {
        if (!confirmOverwrite()) {
            finishAll(std::nullopt);
            return;
        }
    } catch (const Error &error) {
        finishAll(error);
        return;
    }
    // The content is taken now, on this thread; encoding, writing and syncing run on the writer.
    const QString path = m_fileUrl.toLocalFile();
    const std::function<QByteArray()> bytesOf = dataTask(m_fileType);
    const quint64 generation = m_editGeneration;
    m_writing = true;
    m_writer->start([this, path, bytesOf, generation, completions] {
        std::optional<Error> failure;
        QByteArray digest;
        try {
            const QByteArray bytes = bytesOf();
            digest = digestOf(bytes);
            DurableWriter::replace(path, bytes);
        } catch (const Error &error) {
            failure = error;
        }
        QMetaObject::invokeMethod(
            this,
            [this, failure, digest, generation, completions] {
                m_writingDigest = digest;
                finishBackgroundWrite(failure, generation, completions);
            },
            Qt::QueuedConnection);
    });
}

void Document::finishBackgroundWrite(const std::optional<Error> &failure, quint64 generation,
                                     const QList<Completion> &completions)
{
    m_writing = false;
    const QString path = m_fileUrl.toLocalFile();
    if (failure) {
        keepForRecovery();
    } else {
        m_knownDigest = m_writingDigest;
        noteOwnWrite();
        if (generation == m_editGeneration)
            updateChangeCount(ChangeType::Cleared);
        if (RecoveryStore *store = recoveryStore(); store && store->holds(path) && !isDocumentEdited())
            store->discard(path);
    }
    for (const Completion &completion : completions)
        completion(failure);
    if (std::exchange(m_checkAfterWrite, false))
        fileMayHaveChanged();
    if (m_writeAgain && !m_writing) {
        m_writeAgain = false;
        const QList<Completion> waiting = std::exchange(m_waitingCompletions, {});
        if (isDocumentEdited()) {
            startBackgroundWrite(waiting);
        } else {
            for (const Completion &completion : waiting)
                completion(std::nullopt);
        }
    }
}

void Document::finishWrites()
{
    while (m_writing) {
        m_writer->waitForDone();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

void Document::keepForRecovery()
{
    RecoveryStore *store = recoveryStore();
    if (!store)
        return;
    try {
        store->keep(m_fileUrl.toLocalFile(), data(m_fileType));
    } catch (const Error &) {
        // Nothing more can be done here; the save's own error is what the user needs to read.
    }
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

void Document::renameDocument(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_fileUrl.isEmpty() || !m_fileUrl.isLocalFile())
        return;
    try {
        std::optional<QString> name;
        if (const Asker &asker = fileNameAsker())
            name = asker(this);
        else if (WindowController *controller = firstController(this))
            name = controller->askForFileName(displayName());
        if (name)
            renameTo(*name);
    } catch (const Error &error) {
        presentError(error);
    }
}

void Document::moveDocument(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_fileUrl.isEmpty() || !m_fileUrl.isLocalFile())
        return;
    try {
        std::optional<QString> folder;
        if (const Asker &asker = folderAsker())
            folder = asker(this);
        else if (WindowController *controller = firstController(this))
            folder = controller->askForFolder(QFileInfo(m_fileUrl.toLocalFile()).absolutePath());
        if (folder)
            moveTo(*folder);
    } catch (const Error &error) {
        presentError(error);
    }
}

void Document::renameTo(const QString &name)
{
    const QFileInfo current(m_fileUrl.toLocalFile());
    if (name == current.fileName())
        return;
    checkNewName(current.fileName(), name);
    writeBeforeMoving();
    const QString target = current.absolutePath() + u'/' + name;
    FileMover::rename(current.absoluteFilePath(), target);
    followMovedFile(target);
}

void Document::moveTo(const QString &folder)
{
    const QFileInfo current(m_fileUrl.toLocalFile());
    const QFileInfo destination(folder);
    const QString domain = QString::fromUtf16(ErrorDomain::posix);
    if (!destination.exists())
        throw Error(domain, ENOENT,
                    QStringLiteral("Could not move “%1”: the folder “%2” does not exist.")
                        .arg(current.fileName(), destination.absoluteFilePath()));
    if (!destination.isDir())
        throw Error(domain, ENOTDIR,
                    QStringLiteral("Could not move “%1”: “%2” is not a folder.")
                        .arg(current.fileName(), destination.absoluteFilePath()));
    if (destination.canonicalFilePath() == QFileInfo(current.absolutePath()).canonicalFilePath())
        return;
    writeBeforeMoving();
    const QString target = QDir(destination.absoluteFilePath()).filePath(current.fileName());
    FileMover::move(current.absoluteFilePath(), target);
    followMovedFile(target);
}

void Document::writeBeforeMoving()
{
    // A write still landing would recreate the file under its old name; unsaved text goes to the old name first, so
    // nothing typed is left behind if the move fails.
    finishWrites();
    if (isDocumentEdited())
        saveInPlace();
}

void Document::followMovedFile(const QString &path)
{
    const QUrl from = m_fileUrl;
    setFileUrl(QUrl::fromLocalFile(path));
    Q_EMIT fileMoved(from, m_fileUrl);
}

bool Document::prepareToClose()
{
    finishWrites();
    if (!isDocumentEdited() || m_fileUrl.isEmpty())
        return true;
    try {
        saveInPlace();
        return !isDocumentEdited();
    } catch (const Error &error) {
        presentError(error);
        return false;
    }
}

bool Document::saveInPlace()
{
    finishWrites();
    if (!confirmOverwrite())
        return false;
    const QString path = m_fileUrl.toLocalFile();
    RecoveryStore *store = recoveryStore();
    try {
        writeSafely(m_fileUrl, m_fileType, SaveOperation::Save);
    } catch (const Error &) {
        // The text the user sees must survive even when its file cannot take it.
        keepForRecovery();
        throw;
    }
    updateChangeCount(ChangeType::Cleared);
    if (store && store->holds(path))
        store->discard(path);
    return true;
}

bool Document::confirmOverwrite()
{
    // Checked again right before replacing the file: another program may have written it since we last looked.
    const FileIdentity now = FileIdentity::of(QFileInfo(m_fileUrl.toLocalFile()).absoluteFilePath());
    if (!now.exists || !m_knownIdentity.exists || sameAsKnown(now))
        return true;
    if (m_asking)
        return false; // the open question decides; this save waits for its answer
    if (now == m_keptOnDiskIdentity) {
        // The user chose this version on disk and it could not be read in: it is not overwritten unasked, and the
        // window's text is kept for recovery instead of asking after every pause in typing.
        keepForRecovery();
        return false;
    }
    if (now == m_overwriteIdentity)
        return true; // answered once: a retry after a failed write does not ask again
    if (askAboutConflict() == Conflict::KeepMine) {
        m_overwriteIdentity = now;
        return true;
    }
    m_keptOnDiskIdentity = now;
    reloadFromDisk(now);
    return false;
}

Document::Conflict Document::askAboutConflict()
{
    m_asking = true;
    const ConflictResolver &resolver = conflictResolver();
    const Conflict answer = resolver ? resolver(this) : askWhichVersion(this);
    m_asking = false;
    return answer;
}

void Document::reloadFromDisk(const FileIdentity &identity)
{
    try {
        readFromUrl(m_fileUrl, m_fileType);
    } catch (const Error &) {
        // Remembered so that a version we refuse is reported once, not on every change in the folder.
        m_refusedIdentity = identity;
        throw;
    }
    m_knownIdentity = identity;
    m_missingReported = false;
    updateChangeCount(ChangeType::Cleared);
    Q_EMIT reloadedFromDisk();
}

bool Document::sameAsKnown(const FileIdentity &now) const
{
    if (now != m_knownIdentity)
        return false;
    const long long clockNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
    if (m_knownDigest.isEmpty() || clockNs - now.changedNs > racyWindowNs)
        return true;
    try {
        return digestOf(readWholeFile(m_fileUrl.toLocalFile())) == m_knownDigest;
    } catch (const Error &) {
        return true; // gone or unreadable: the next look at its identity tells
    }
}

void Document::close()
{
    finishWrites();
    delete m_watcher;
    m_watcher = nullptr;
    const QList<WindowController *> controllers = m_windowControllers;
    m_windowControllers.clear();
    for (WindowController *controller : controllers)
        delete controller;
    Q_EMIT closed();
}

void Document::presentError(const Error &error)
{
    if (!m_windowControllers.isEmpty())
        m_windowControllers.first()->presentError(error);
    Q_EMIT errorPresented(error);
}

void Document::setRecoveryStore(RecoveryStore *store)
{
    recoveryStore() = store;
}

void Document::setFileNameAsker(Asker asker)
{
    fileNameAsker() = std::move(asker);
}

void Document::setFolderAsker(Asker asker)
{
    folderAsker() = std::move(asker);
}

void Document::setConflictResolver(ConflictResolver resolver)
{
    conflictResolver() = std::move(resolver);
}

void Document::watchFile()
{
    delete m_watcher;
    m_watcher = nullptr;
    if (m_fileUrl.isEmpty() || !m_fileUrl.isLocalFile())
        return;
    m_watcher = new QFileSystemWatcher(this);
    // The folder too: a file replaced by rename (as most editors save) drops out of the file watch.
    const QFileInfo info(m_fileUrl.toLocalFile());
    m_watcher->addPath(info.absolutePath());
    m_watcher->addPath(info.absoluteFilePath());
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &Document::fileMayHaveChanged);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &Document::fileMayHaveChanged);
    m_knownIdentity = FileIdentity::of(info.absoluteFilePath());
    m_knownDigest.clear(); // known again once read or written
}

void Document::noteOwnWrite()
{
    if (m_fileUrl.isEmpty())
        return;
    const QString path = m_fileUrl.toLocalFile();
    m_knownIdentity = FileIdentity::of(path);
    m_missingReported = false;
    if (m_watcher && !m_watcher->files().contains(QFileInfo(path).absoluteFilePath()))
        m_watcher->addPath(QFileInfo(path).absoluteFilePath());
}

void Document::fileMayHaveChanged()
{
    try {
        checkFileOnDisk();
    } catch (const Error &error) {
        presentError(error);
    }
}

void Document::checkFileOnDisk()
{
    if (m_fileUrl.isEmpty() || m_asking)
        return;
    if (m_writing) {
        // Our own write is landing; look again once it has, with its result known.
        m_checkAfterWrite = true;
        return;
    }
    const QString path = QFileInfo(m_fileUrl.toLocalFile()).absoluteFilePath();
    const FileIdentity now = FileIdentity::of(path);
    if (m_watcher && now.exists && !m_watcher->files().contains(path))
        m_watcher->addPath(path);
    if (!now.exists) {
        // The text stays in the window and counts as unsaved, so the next save writes it again at its place.
        if (m_knownIdentity.exists && !m_missingReported) {
            m_missingReported = true;
            updateChangeCount(ChangeType::Done);
            presentError(Error(QString::fromUtf16(ErrorDomain::posix), ENOENT,
                               QStringLiteral("“%1” was moved or deleted by another program. Its text is still "
                                              "open here and will be saved again in “%2”.")
                                   .arg(QFileInfo(path).fileName(), QFileInfo(path).absolutePath())));
        }
        return;
    }
    if (now == m_refusedIdentity || sameAsKnown(now))
        return;
    if (isDocumentEdited()) {
        if (askAboutConflict() == Conflict::KeepMine) {
            // Mine wins: it is written over the other version at once, so the choice sticks.
            m_overwriteIdentity = now;
            saveInPlace();
            return;
        }
        m_keptOnDiskIdentity = now;
    }
    reloadFromDisk(now);
}
