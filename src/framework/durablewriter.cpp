#include "durablewriter.h"

#include "framework/posixcall.h"
#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int maxLinkHops = 40;
constexpr int maxTempNameTries = 100;
constexpr qsizetype writeChunk = 1 << 20;
// Temporaries are named ".<note>.nolt-<random>.tmp"; the random part is a 32-bit number in base 36.
constexpr char temporaryMark[] = "nolt-";
constexpr qsizetype maxRandomLength = 7;

QString saveAction()
{
    return QStringLiteral("Could not save");
}

// Folder syncs make a rename or a new name survive a power cut. Some file systems cannot sync a folder at all
// (EINVAL); that is not a failure of ours.
int syncFolder(const QByteArray &folder)
{
    const int fd = retryEintr([&] { return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0)
        return errno;
    int failure = 0;
    if (::fsync(fd) != 0 && errno != EINVAL)
        failure = errno;
    ::close(fd);
    return failure;
}

QByteArray folderOf(const QByteArray &path)
{
    const int slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray fileNameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

void copyExtendedAttributes(const QByteArray &from, int toFd)
{
    const ssize_t size = ::llistxattr(from.constData(), nullptr, 0);
    if (size <= 0)
        return;
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t got = ::llistxattr(from.constData(), names.data(), names.size());
    if (got <= 0)
        return;
    for (ssize_t at = 0; at < got;) {
        const char *name = names.data() + at;
        at += static_cast<ssize_t>(std::strlen(name)) + 1;
        const ssize_t valueSize = ::lgetxattr(from.constData(), name, nullptr, 0);
        if (valueSize < 0)
            continue;
        std::vector<char> value(static_cast<size_t>(valueSize));
        if (::lgetxattr(from.constData(), name, value.data(), value.size()) == valueSize)
            ::fsetxattr(toFd, name, value.data(), value.size(), 0); // best effort: the text matters more
    }
}

// Large texts go down in bounded pieces, so one call never has to hold the whole text in the kernel at once.
int writeAll(int fd, const QByteArray &data)
{
    const char *at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, static_cast<size_t>(std::min(left, writeChunk)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        at += written;
        left -= written;
    }
    return 0;
}

int readAll(const QByteArray &path, QByteArray &out)
{
    const int fd = retryEintr([&] { return ::open(path.constData(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0)
        return errno;
    out.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int failure = errno;
            ::close(fd);
            return failure;
        }
        if (got == 0)
            break;
        out.append(buffer, got);
    }
    ::close(fd);
    return 0;
}

// Puts data at the start of an open file, cuts what was longer, and syncs.
int overwrite(int fd, const QByteArray &data)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return errno;
    if (const int failure = writeAll(fd, data))
        return failure;
    if (::ftruncate(fd, data.size()) != 0)
        return errno;
    return ::fsync(fd) != 0 ? errno : 0;
}

mode_t currentUmask()
{
    // Reading it from the kernel avoids setting it, which would race with other threads creating files.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:"))
                return static_cast<mode_t>(line.mid(6).trimmed().toUInt(nullptr, 8));
        }
    }
    return 022;
}

// A hidden sibling ".<note>.nolt-<random>.tmp": never taken for a note, and on the note's own file system so that the
// rename is atomic. While a save runs it holds a lock on it, so a later save can tell a temporary of a killed
// process (lock free) from one still being written.
struct Temporary
{
    QByteArray path;
    int fd = -1;

    void discard()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (!path.isEmpty())
            ::unlink(path.constData());
        path.clear();
    }
};

int createTemporary(const QByteArray &folder, const QByteArray &name, Temporary &temp)
{
    for (int attempt = 0; attempt < maxTempNameTries; ++attempt) {
        temp.path = folder + "/." + name + '.' + temporaryMark +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        // Private until the note's own mode is copied: another user must not open it in between and read on.
        temp.fd =
            retryEintr([&] { return ::open(temp.path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); });
        if (temp.fd >= 0) {
            (void)::flock(temp.fd, LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EEXIST) {
            temp.path.clear();
            return errno;
        }
    }
    temp.path.clear();
    return EEXIST;
}

bool isTemporaryOf(const char *entry, const QByteArray &name)
{
    const QByteArray candidate(entry);
    const QByteArray prefix = '.' + name + '.' + temporaryMark;
    if (!candidate.startsWith(prefix) || !candidate.endsWith(".tmp"))
        return false;
    // Exactly what createTemporary makes, so that no file of the user's is ever taken for one.
    const QByteArray random = candidate.mid(prefix.size(), candidate.size() - prefix.size() - 4);
    return !random.isEmpty() && random.size() <= maxRandomLength &&
           std::all_of(random.begin(), random.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

// Temporaries that a killed or crashed save left beside the note are removed once the note holds a complete new
// text; one whose lock is still held belongs to a save in progress and stays.
void sweepStaleTemporaries(const QByteArray &folder, const QByteArray &name)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (!isTemporaryOf(entry->d_name, name))
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info
        {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// A temporary that cannot be made means the folder refuses new files, even where the note itself is writable:
// say so, since "Permission denied" alone reads as if the note were locked.
Error folderError(int code, const QString &path)
{
    const Error error = Error::fromErrno(code, saveAction(), path);
    if (code != EACCES && code != EPERM)
        return error;
    return Error(error.domain(), error.code(),
                 error.description() +
                     QStringLiteral(". The folder does not allow new files, and a note is saved by writing a new copy "
                                    "beside it."));
}

// Why the note could not be replaced, where the errno alone would puzzle: the note is locked against changes, or a
// sticky folder lets only its owner replace it.
Error replaceError(int code, const QString &path, const QByteArray &target, const QByteArray &folder)
{
    const Error error = Error::fromErrno(code, saveAction(), path);
    if (code != EPERM && code != EACCES)
        return error;
    QString hint;
    int flags = 0;
    const int fd = ::open(target.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat note
    {};
    struct stat dir
    {};
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0)
        hint = QStringLiteral(". The note is locked against changes.");
    else if (::stat(folder.constData(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0 &&
             ::stat(target.constData(), &note) == 0 && note.st_uid != ::geteuid())
        hint = QStringLiteral(
            ". In this folder only a file's owner may replace it, and the note belongs to someone else.");
    if (fd >= 0)
        ::close(fd);
    return Error(error.domain(), error.code(), error.description() + hint);
}

void replaceInPlace(const QString &path, const QByteArray &target, const QByteArray &data)
{
    const QByteArray folder = folderOf(target);
    QByteArray oldText;
    if (const int failure = readAll(target, oldText))
        throw Error::fromErrno(failure, saveAction(), path);

    // The backup is synced, name included, before the first byte of the note changes.
    Temporary backup;
    if (const int failure = createTemporary(folder, fileNameOf(target), backup))
        throw folderError(failure, path);
    int failure = writeAll(backup.fd, oldText);
    if (failure == 0 && ::fsync(backup.fd) != 0)
        failure = errno;
    if (failure == 0)
        failure = syncFolder(folder);
    if (failure != 0) {
        backup.discard();
        throw Error::fromErrno(failure, saveAction(), path);
    }

    const int fd = retryEintr([&] { return ::open(target.constData(), O_WRONLY | O_CLOEXEC); });
    if (fd < 0) {
        const int code = errno;
        backup.discard();
        throw Error::fromErrno(code, saveAction(), path);
    }
    failure = overwrite(fd, data);
    if (failure != 0 && overwrite(fd, oldText) != 0) {
        // The note may now be partial; its old text stays in the backup, which is kept and named.
        ::close(fd);
        ::close(backup.fd);
        backup.fd = -1;
        const Error error = Error::fromErrno(failure, saveAction(), path);
        throw Error(
            error.domain(), error.code(),
            error.description() +
                QStringLiteral(". Its previous text is kept in “%1”.").arg(QFile::decodeName(fileNameOf(backup.path))));
    }
    if (::close(fd) != 0 && errno != EINTR && failure == 0)
        failure = errno;
    backup.discard();
    if (failure != 0)
        throw Error::fromErrno(failure, saveAction(), path);
}

// Leftovers of a killed save can only come from an earlier process, or from a failed save of this one, so a note's
// folder is looked through once per process and again after a failure: listing a crowded folder on every autosave
// would cost more than the save.
bool needsSweep(const QByteArray &target, bool failed)
{
    static QMutex mutex;
    static QSet<QByteArray> swept;
    const QMutexLocker lock(&mutex);
    if (failed) {
        swept.remove(target);
        return false;
    }
    if (swept.contains(target))
        return false;
    swept.insert(target);
    return true;
}

void replaceResolved(const QString &path, const QByteArray &target, const QByteArray &data)
{
    const QByteArray folder = folderOf(target);
    const QByteArray name = fileNameOf(target);

    struct stat old
    {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        throw Error::fromErrno(errno, saveAction(), path);

    // Renaming a new copy over a file with other hard links would silently split them: the other names would keep
    // the old text. Such a file is rewritten where it is, with a synced backup of its old text beside it.
    if (exists && S_ISREG(old.st_mode) && old.st_nlink > 1) {
        replaceInPlace(path, target, data);
        return;
    }

    Temporary temp;
    if (const int failure = createTemporary(folder, name, temp))
        throw folderError(failure, path);

    auto fail = [&](int code) {
        temp.discard();
        throw Error::fromErrno(code, saveAction(), path);
    };

    if (exists) {
        // Owner and group first: changing them may clear set-id bits that the mode then restores.
        if (::fchown(temp.fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(temp.fd, static_cast<uid_t>(-1), old.st_gid);
        ::fchmod(temp.fd, old.st_mode & 07777);
        copyExtendedAttributes(target, temp.fd);
    } else {
        ::fchmod(temp.fd, 0666 & ~currentUmask());
    }
    if (const int failure = writeAll(temp.fd, data))
        fail(failure);
    if (::fsync(temp.fd) != 0)
        fail(errno);
    const int closeResult = ::close(temp.fd);
    temp.fd = -1;
    if (closeResult != 0 && errno != EINTR)
        fail(errno);
    if (::rename(temp.path.constData(), target.constData()) != 0) {
        const int code = errno;
        temp.discard();
        throw replaceError(code, path, target, folder);
    }
    temp.path.clear();
    if (const int failure = syncFolder(folder))
        throw Error::fromErrno(failure, saveAction(), path);
}

} // namespace

QString DurableWriter::resolveLinks(const QString &path)
{
    QByteArray current = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    for (int hop = 0; hop <= maxLinkHops; ++hop) {
        struct stat info
        {};
        if (::lstat(current.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return QFile::decodeName(current);
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(current.constData(), target.data(), target.size());
        if (length < 0)
            throw Error::fromErrno(errno, saveAction(), path);
        target.truncate(length);
        current = target.startsWith('/') ? target : folderOf(current) + '/' + target;
    }
    throw Error::fromErrno(ELOOP, saveAction(), path);
}

void DurableWriter::replace(const QString &path, const QByteArray &data)
{
    const QByteArray target = QFile::encodeName(resolveLinks(path));
    try {
        replaceResolved(path, target, data);
    } catch (const Error &) {
        needsSweep(target, true);
        throw;
    }
    // Once the note holds its complete new text, what killed saves left beside it is of no more use.
    if (needsSweep(target, false))
        sweepStaleTemporaries(folderOf(target), fileNameOf(target));
}

bool DurableWriter::isTemporaryName(const QString &fileName)
{
    const QByteArray encoded = QFile::encodeName(fileName);
    const int mark = encoded.lastIndexOf(QByteArray(".") + temporaryMark);
    return mark > 1 && isTemporaryOf(encoded.constData(), encoded.mid(1, mark - 1));
}

int DurableWriter::createNew(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const int fd =
        retryEintr([&] { return ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    if (fd < 0)
        return errno;
    int failure = ::fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 && errno != EINTR && failure == 0)
        failure = errno;
    if (failure == 0)
        failure = syncFolder(folderOf(encoded));
    if (failure != 0)
        ::unlink(encoded.constData());
    return failure;
}
