#include "documentmover.h"

#include "framework/document.h"
#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/filemover.h"
#include "framework/filenames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace {

// A name that would put the file into another folder or that the system cannot hold is refused.
void checkNewName(const QString &current, const QString &name)
{
    QString why;
    if (name.isEmpty())
        why = DocumentMover::tr("the new name is empty");
    else if (name.contains(u'/'))
        why = DocumentMover::tr("a name cannot contain “/”");
    else if (name.contains(QChar(u'\0')))
        why = DocumentMover::tr("a name cannot contain a null character");
    else if (name == u"." || name == u"..")
        why = DocumentMover::tr("“%1” is not a file name").arg(name);
    else if (DurableWriter::isTemporaryName(name))
        // Such a file would be taken for a leftover of a killed save and cleared away.
        why = DocumentMover::tr("names of this form are kept for the temporary copies written while saving");
    if (!why.isEmpty())
        throw Error(QString::fromUtf16(ErrorDomain::posix), EINVAL,
                    DocumentMover::tr("Could not rename “%1” to “%2”: %3.").arg(current, name, why));
}

} // namespace

QString DocumentMover::renamedPath(const QString &current, const QString &name)
{
    const QFileInfo file(current);
    // The name as shown, unchanged, is the same file even when its bytes are not UTF-8.
    if (name == file.fileName() || name == FileNames::displayName(file.fileName()))
        return {};
    checkNewName(file.fileName(), name);
    return file.absolutePath() + u'/' + name;
}

QString DocumentMover::movedPath(const QString &current, const QString &folder)
{
    const QFileInfo file(current);
    const QFileInfo destination(folder);
    const QString domain = QString::fromUtf16(ErrorDomain::posix);
    if (!destination.exists())
        throw Error(domain, ENOENT,
                    DocumentMover::tr("Could not move “%1”: the folder “%2” does not exist.")
                        .arg(file.fileName(), destination.absoluteFilePath()));
    if (!destination.isDir())
        throw Error(domain, ENOTDIR,
                    DocumentMover::tr("Could not move “%1”: “%2” is not a folder.")
                        .arg(file.fileName(), destination.absoluteFilePath()));
    if (destination.canonicalFilePath() == FileNames::canonicalPath(file.absolutePath()))
        return {};
    return QDir(destination.absoluteFilePath()).filePath(file.fileName());
}

namespace {

void relocate(Document &note, const QString &target, bool sameFolder)
{
    if (target.isEmpty())
        return;
    // A write still landing would recreate the file under its old name; unsaved text goes to the old name first, so
    // nothing typed is left behind if the move fails.
    if (const std::optional<Error> failure = note.writeNow())
        throw *failure;
    const QString current = QFileInfo(FileNames::pathOfUrl(note.fileUrl())).absoluteFilePath();
    if (sameFolder)
        FileMover::rename(current, target);
    else
        FileMover::move(current, target);
    note.followTo(FileNames::urlOfPath(target));
}

} // namespace

void DocumentMover::rename(Document &note)
{
    if (!note.fileUrl().isLocalFile())
        return;
    try {
        const auto &ask = note.services().questions.newFileName;
        if (const std::optional<QString> name = ask ? ask(&note) : std::nullopt)
            relocate(note, renamedPath(FileNames::pathOfUrl(note.fileUrl()), *name), true);
    } catch (const Error &error) {
        note.presentError(error);
    }
}

void DocumentMover::move(Document &note)
{
    if (!note.fileUrl().isLocalFile())
        return;
    try {
        const auto &ask = note.services().questions.destinationFolder;
        if (const std::optional<QString> folder = ask ? ask(&note) : std::nullopt)
            relocate(note, movedPath(FileNames::pathOfUrl(note.fileUrl()), *folder), false);
    } catch (const Error &error) {
        note.presentError(error);
    }
}
