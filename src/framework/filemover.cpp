#include "filemover.h"

#include "framework/posixcall.h"
#include "framework/error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxTempNameTries = 100;
constexpr qsizetype copyChunk = 1 << 16;

enum class Verb
{
    Rename,
    Move
};

QByteArray folderOf(const QByteArray &path)
{
    const int slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The rename has already happened when this runs; a folder that cannot be synced only risks the old name coming
// back after a power cut, with the text intact, so it is not reported.
void syncFolder(const QByteArray &folder)
{
    const int fd = retryEintr([&] { return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

Error failure(Verb verb, int code, const QString &from, const QString &to)
{
    const QFileInfo source(from);
    const QFileInfo target(to);
    const QString domain = QString::fromUtf16(ErrorDomain::posix);
    if (code == EEXIST)
        return Error(domain, code,
                     QStringLiteral("Could not %1 “%2”: a file named “%3” already exists in “%4”.")
                         .arg(verb == Verb::Rename ? QStringLiteral("rename") : QStringLiteral("move"),
                              source.fileName(), target.fileName(), target.absolutePath()));
    const QString cause = QString::fromLocal8Bit(std::strerror(code));
    if (verb == Verb::Rename)
        return Error(domain, code,
                     QStringLiteral("Could not rename “%1” to “%2” in “%3”: %4")
                         .arg(source.fileName(), target.fileName(), source.absolutePath(), cause));
    return Error(domain, code,
                 QStringLiteral("Could not move “%1” from “%2” to “%3”: %4")
                     .arg(source.fileName(), source.absolutePath(), target.absolutePath(), cause));
}

// Returns 0 or the errno. RENAME_NOREPLACE makes taking the name and checking that it is free one step; where the
// file system lacks it, a new hard link is just as exclusive.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    if (::unlink(from.constData()) != 0) {
        const int code = errno;
        ::unlink(to.constData());
        return code;
    }
    return 0;
}

int copyAll(int fromFd, int toFd)
{
    char buffer[copyChunk];
    for (;;) {
        const ssize_t got = ::read(fromFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = ::write(toFd, buffer + done, static_cast<size_t>(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                return errno;
            if (written == 0)
                return EIO;
            done += written;
        }
    }
}

// A hidden temporary named like those of a save (".<name>.nolt-<random>.tmp"), locked while it is written, so that a
// copy left by a killed move is cleared away by the next save of that note, and one in progress is not.
struct Temporary
{
    QByteArray path;
    int fd = -1;

    ~Temporary()
    {
        if (fd >= 0)
            ::close(fd);
        if (!path.isEmpty())
            ::unlink(path.constData());
    }
};

int createTemporary(const QByteArray &target, Temporary &temp)
{
    const QByteArray folder = folderOf(target);
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    for (int attempt = 0; attempt < maxTempNameTries; ++attempt) {
        const QByteArray path =
            folder + "/." + name + ".nolt-" + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        temp.fd = retryEintr([&] { return ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); });
        if (temp.fd >= 0) {
            temp.path = path;
            (void)::flock(temp.fd, LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// Returns 0 or the errno; the destination then does not exist.
int copyDurably(const QByteArray &from, const QByteArray &to)
{
    const int source = retryEintr([&] { return ::open(from.constData(), O_RDONLY | O_CLOEXEC); });
    if (source < 0)
        return errno;
    struct stat info
    {};
    Temporary temp;
    int code = ::fstat(source, &info) != 0 ? errno : 0;
    if (code == 0)
        code = createTemporary(to, temp);
    if (code == 0) {
        // Owner first: changing it may clear set-id bits that the mode then restores.
        (void)::fchown(temp.fd, info.st_uid, info.st_gid);
        if (::fchmod(temp.fd, info.st_mode & 07777) != 0)
            code = errno;
    }
    if (code == 0)
        code = copyAll(source, temp.fd);
    ::close(source);
    if (code == 0 && ::fsync(temp.fd) != 0)
        code = errno;
    if (code == 0)
        code = renameNoReplace(temp.path, to);
    if (code != 0)
        return code;
    temp.path.clear();
    syncFolder(folderOf(to));
    return 0;
}

} // namespace

void FileMover::rename(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (const int code = renameNoReplace(source, target))
        throw failure(Verb::Rename, code, from, to);
    syncFolder(folderOf(target));
}

void FileMover::move(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    const int code = renameNoReplace(source, target);
    if (code == 0) {
        syncFolder(folderOf(target));
        if (folderOf(target) != folderOf(source))
            syncFolder(folderOf(source));
        return;
    }
    if (code != EXDEV)
        throw failure(Verb::Move, code, from, to);
    if (const int copyFailure = copyDurably(source, target))
        throw failure(Verb::Move, copyFailure, from, to);
    // Only a complete, durable copy lets the original go; if it cannot go, the copy goes instead, so the user never
    // finds the note in two places.
    if (::unlink(source.constData()) != 0) {
        const int unlinkFailure = errno;
        ::unlink(target.constData());
        syncFolder(folderOf(target));
        throw failure(Verb::Move, unlinkFailure, from, to);
    }
    syncFolder(folderOf(source));
}
