#include "document.h"

#include "framework/documentasker.h"
#include "framework/durablewriter.h"
#include "framework/filechangetracker.h"
#include "framework/filenames.h"
#include "framework/windowcontroller.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// Closing, read-only notes and saving elsewhere: the ways out for text that its own file cannot take.

namespace {

// Read-only for us: the permission check refuses us, or the mode has no write bit at all (root passes every
// check, yet a note made read-only on purpose stays so). A read-only mount or a locked file is a failed save
// instead: it passes when the disk does.
bool readOnlyFile(const QString &path)
{
    const QByteArray name = FileNames::encodeName(path);
    struct stat info
    {};
    if (path.isEmpty() || ::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
           (::access(name.constData(), W_OK) != 0 && errno == EACCES);
}

} // namespace

bool Document::prepareToClose()
{
    finishWrites();
    m_closeFailure.reset();
    if (!isDocumentEdited() || m_fileUrl.isEmpty() || m_lettingGo)
        return true;
    try {
        if (saveInPlace() || !isDocumentEdited())
            return true;
        m_closeFailure = Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileWriteUnknown,
                               tr("“%1” was changed by another program, and which version to keep is not decided "
                                  "yet.")
                                   .arg(displayName()));
    } catch (const Error &error) {
        m_closeFailure = error;
    }
    return false;
}

bool Document::shouldClose()
{
    while (!prepareToClose()) {
        switch (DocumentAsker::closeUnsaved(this, m_closeFailure.value_or(Error()))) {
        case DocumentAsker::UnsavedChoice::Cancel:
            return false;
        case DocumentAsker::UnsavedChoice::CloseWithoutSaving:
            letGoUnsaved();
            return true;
        case DocumentAsker::UnsavedChoice::SaveAs:
            saveDocumentAs(nullptr);
            break; // saved elsewhere, the loop ends; cancelled or failed, the choice comes again
        }
    }
    return true;
}

void Document::letGoUnsaved()
{
    if (prepareToClose())
        return;
    keepForRecovery();
    m_lettingGo = true;
}

void Document::close()
{
    m_closed = true;
    finishWrites();
    // However the document goes (a signal, the end of the session, "Close Without Saving"), unsaved text stays.
    if (isDocumentEdited())
        keepForRecovery();
    m_tracker->stop();
    const QList<WindowController *> controllers = m_windowControllers;
    m_windowControllers.clear();
    for (WindowController *controller : controllers)
        delete controller;
    Q_EMIT closed();
}

void Document::saveDocumentAs(QObject *sender)
{
    Q_UNUSED(sender);
    const std::optional<QString> chosen = DocumentAsker::saveAsPath(this);
    if (!chosen || chosen->isEmpty())
        return;
    const QString target = QFileInfo(*chosen).absoluteFilePath();
    try {
        // A replacing write would pass over the file's own mode, so a read-only file is never the copy.
        if (readOnlyFile(target))
            throw Error(QString::fromUtf16(ErrorDomain::posix), EACCES,
                        tr("“%1” is read-only. Choose another name or folder.").arg(QFileInfo(target).fileName()));
        finishWrites();
        const QByteArray bytes = data(m_fileType);
        DurableWriter::replace(target, bytes);
        // The copy is what the document stands for from now on; its old file is left as it was, and the text kept
        // for it is no longer needed.
        updateChangeCount(ChangeType::Cleared);
        discardRecovered();
        m_asking = false;
        m_keptOnDiskIdentity = {};
        m_overwriteIdentity = {};
        setFileUrl(FileNames::urlOfPath(target));
        m_tracker->noteContent(bytes);
        m_tracker->noteOwnWrite();
        Q_EMIT saved();
    } catch (const Error &error) {
        presentError(error);
    }
}

bool Document::isReadOnly() const
{
    return m_readOnly;
}

bool Document::refreshReadOnly()
{
    const bool now = readOnlyFile(FileNames::pathOfUrl(m_fileUrl));
    if (now != m_readOnly) {
        m_readOnly = now;
        for (WindowController *controller : std::as_const(m_windowControllers))
            controller->synchronizeWindowTitleWithDocumentName();
        Q_EMIT readOnlyChanged(now);
    }
    return now;
}
