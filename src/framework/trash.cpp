#include "trash.h"

#include "framework/error.h"
#include "framework/filemover.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <unistd.h>

namespace {

// The trash folder that holds path in its "files" folder, or empty.
QString trashOf(const QString &path)
{
    const QFileInfo file(path);
    const QDir files = file.dir();
    if (files.dirName() != u"files")
        return {};
    const QString trash = QFileInfo(files.absolutePath()).absolutePath();
    const QString name = QFileInfo(trash).fileName();
    const QString uid = QString::number(::getuid());
    if (name == u"Trash" || name == QStringLiteral(".Trash-") + uid ||
        (name == uid && QFileInfo(trash).dir().dirName() == u".Trash"))
        return trash;
    return {};
}

QString infoPath(const QString &trash, const QString &path)
{
    return trash + QStringLiteral("/info/") + QFileInfo(path).fileName() + QStringLiteral(".trashinfo");
}

} // namespace

bool Trash::holds(const QString &path)
{
    return !trashOf(path).isEmpty();
}

std::optional<QString> Trash::originalPath(const QString &path)
{
    const QString trash = trashOf(path);
    if (trash.isEmpty())
        return std::nullopt;
    QByteArray record;
    try {
        record = PosixFile::readWholeFile(infoPath(trash, path));
    } catch (const Error &) {
        return std::nullopt;
    }
    for (const QByteArray &line : record.split('\n')) {
        if (!line.startsWith("Path="))
            continue;
        // Percent-encoded bytes; relative to the top of its file system for a trash that is not the home one.
        const QString original = FileNames::decodeName(QByteArray::fromPercentEncoding(line.mid(5).trimmed()));
        if (QDir::isAbsolutePath(original))
            return QDir::cleanPath(original);
        const QString top = QFileInfo(trash).fileName() == QStringLiteral(".Trash-") + QString::number(::getuid())
                                ? QFileInfo(trash).absolutePath()
                                : QFileInfo(QFileInfo(trash).absolutePath()).absolutePath();
        return QDir::cleanPath(top + u'/' + original);
    }
    return std::nullopt;
}

QString Trash::putBack(const QString &path)
{
    const std::optional<QString> original = originalPath(path);
    if (!original)
        throw Error(QString::fromUtf16(ErrorDomain::posix), ENOENT,
                    tr("Could not put “%1” back: the Trash does not say where it came from.")
                        .arg(FileNames::displayName(QFileInfo(path).fileName())));
    // FileMover never replaces what is at the target now.
    FileMover::move(path, *original);
    ::unlink(FileNames::encodeName(infoPath(trashOf(path), path)).constData());
    return *original;
}
