#include "trash.h"

#include "framework/error.h"
#include "framework/filemover.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using PosixFile::Descriptor;
using PosixFile::retryEintr;

namespace {

constexpr qsizetype maxRecordBytes = 64 * 1024;
constexpr char infoSuffix[] = ".trashinfo";

QString homeTrash()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/Trash"));
}

Descriptor openFolder(const QString &path)
{
    return Descriptor(retryEintr(
        [&] { return ::open(FileNames::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
}

// A folder in at, never through a link.
Descriptor openFolderIn(int at, const QString &name)
{
    return Descriptor(retryEintr([&] {
        return ::openat(at, FileNames::encodeName(name).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }));
}

// The user's, and writable by nobody else.
bool isOwn(const Descriptor &folder, mode_t exactMode = 0)
{
    struct stat info
    {};
    return folder.get() >= 0 && ::fstat(folder.get(), &info) == 0 && info.st_uid == ::geteuid() &&
           (exactMode ? (info.st_mode & 07777) == exactMode : (info.st_mode & (S_IWGRP | S_IWOTH)) == 0);
}

struct OpenTrash
{
    Descriptor files;
    Descriptor info;
    // What a relative path in a record starts from; none for the home trash, whose records are absolute.
    QString top;
};

// The trash whose "files" folder holds path, opened and checked folder by folder, or none.
std::optional<OpenTrash> openTrashOf(const QString &path)
{
    const QString files = QFileInfo(path).absolutePath();
    if (QFileInfo(files).fileName() != u"files")
        return std::nullopt;
    const QString trash = QFileInfo(files).absolutePath();
    const QString name = QFileInfo(trash).fileName();
    const QString above = QFileInfo(trash).absolutePath();
    const QString uid = QString::number(::getuid());
    OpenTrash opened;
    Descriptor folder;
    if (trash == homeTrash()) {
        // The folders above it are the user's own layout, links and all.
        folder = openFolderIn(openFolder(above).get(), name);
        if (!isOwn(folder))
            return std::nullopt;
    } else if (name == QStringLiteral(".Trash-") + uid) {
        folder = openFolderIn(openFolder(above).get(), name);
        if (!isOwn(folder, 0700))
            return std::nullopt;
        opened.top = above;
    } else if (name == uid && QFileInfo(above).fileName() == u".Trash") {
        // Shared by the users of the file system: only its sticky bit keeps others from replacing the user's folder.
        opened.top = QFileInfo(above).absolutePath();
        const Descriptor shared = openFolderIn(openFolder(opened.top).get(), QStringLiteral(".Trash"));
        struct stat info
        {};
        if (shared.get() < 0 || ::fstat(shared.get(), &info) != 0 || (info.st_mode & S_ISVTX) == 0)
            return std::nullopt;
        folder = openFolderIn(shared.get(), name);
        if (!isOwn(folder))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    opened.files = openFolderIn(folder.get(), QStringLiteral("files"));
    opened.info = openFolderIn(folder.get(), QStringLiteral("info"));
    if (!isOwn(opened.files) || !isOwn(opened.info))
        return std::nullopt;
    return opened;
}

// Where the trashed file named name came from, as its record says; none when the record is missing, not the
// user's, or says nothing usable.
std::optional<QString> recordedPath(const OpenTrash &trash, const QString &name)
{
    const Descriptor record(retryEintr([&] {
        return ::openat(trash.info.get(), FileNames::encodeName(name + QLatin1String(infoSuffix)).constData(),
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }));
    struct stat info
    {};
    QByteArray bytes;
    if (record.get() < 0 || ::fstat(record.get(), &info) != 0 || info.st_uid != ::geteuid() ||
        PosixFile::readAllFrom(record.get(), bytes, maxRecordBytes) != 0)
        return std::nullopt;
    for (const QByteArray &line : bytes.split('\n')) {
        if (!line.startsWith("Path="))
            continue;
        // Percent-encoded bytes; relative to the top of its file system for a trash that is not the home one.
        const QString original = FileNames::decodeName(QByteArray::fromPercentEncoding(line.mid(5).trimmed()));
        if (QDir::isAbsolutePath(original))
            return QDir::cleanPath(original);
        if (trash.top.isEmpty())
            return std::nullopt;
        return QDir::cleanPath(trash.top + u'/' + original);
    }
    return std::nullopt;
}

// The same name in the same folder, however each path reaches it.
bool samePlace(const QString &one, const QString &other)
{
    const QFileInfo a(one);
    const QFileInfo b(other);
    struct stat first
    {};
    struct stat second
    {};
    return a.fileName() == b.fileName() && ::stat(FileNames::encodeName(a.absolutePath()).constData(), &first) == 0 &&
           ::stat(FileNames::encodeName(b.absolutePath()).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool recordsPlace(const std::optional<OpenTrash> &trash, const QString &path, const QString &original)
{
    if (!trash)
        return false;
    const std::optional<QString> recorded = recordedPath(*trash, QFileInfo(path).fileName());
    return recorded && samePlace(*recorded, original);
}

} // namespace

bool Trash::holds(const QString &path)
{
    return openTrashOf(path).has_value();
}

bool Trash::cameFrom(const QString &path, const QString &original)
{
    return recordsPlace(openTrashOf(path), path, original);
}

void Trash::putBack(const QString &path, const QString &original)
{
    const QString name = QFileInfo(path).fileName();
    const QFileInfo target(original);
    const std::optional<OpenTrash> trash = openTrashOf(path);
    if (!recordsPlace(trash, path, original))
        throw Error(QString::fromUtf16(ErrorDomain::posix), ENOENT,
                    tr("Could not put “%1” back: the Trash does not say it came from “%2”.")
                        .arg(FileNames::displayName(name), FileNames::displayName(target.absolutePath())));
    // Out of the folder that was checked, never over what is at the note's place now.
    const Descriptor folder = openFolder(target.absolutePath());
    const QByteArray from = FileNames::encodeName(name);
    const QByteArray to = FileNames::encodeName(target.fileName());
    if (folder.get() < 0)
        throw Error::fromErrno(errno, tr("Could not put back"), original);
    if (::renameat2(trash->files.get(), from.constData(), folder.get(), to.constData(), RENAME_NOREPLACE) == 0) {
        (void)::fsync(folder.get());
    } else if (errno == EXDEV || errno == EINVAL) {
        // A home trash on another disk than the note, or a file system without the exclusive rename.
        FileMover::move(path, original);
    } else {
        throw Error::fromErrno(errno, tr("Could not put back"), original);
    }
    ::unlinkat(trash->info.get(), FileNames::encodeName(name + QLatin1String(infoSuffix)).constData(), 0);
}
