#include "filemover.h"

#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace PosixFile;

namespace {

constexpr qsizetype copyChunk = 1 << 16;

enum class Verb
{
    Rename,
    Move
};

// The rename has already happened when this runs; a folder that cannot be synced only risks the old name coming
// back after a power cut, with the text intact, so it is not reported.
void syncAfterRename(const QByteArray &folder)
{
    (void)syncFolder(folder);
}

Error failure(Verb verb, int code, const QString &from, const QString &to)
{
    const QFileInfo source(from);
    const QFileInfo target(to);
    const QString domain = QString::fromUtf16(ErrorDomain::posix);
    if (code == EEXIST) {
        const QString taken = verb == Verb::Rename
                                  ? FileMover::tr("Could not rename “%1”: a file named “%2” already exists in “%3”.")
                                  : FileMover::tr("Could not move “%1”: a file named “%2” already exists in “%3”.");
        return Error(domain, code, taken.arg(source.fileName(), target.fileName(), target.absolutePath()));
    }
    const QString cause = QString::fromLocal8Bit(std::strerror(code));
    if (verb == Verb::Rename)
        return Error(domain, code,
                     FileMover::tr("Could not rename “%1” to “%2” in “%3”: %4")
                         .arg(source.fileName(), target.fileName(), source.absolutePath(), cause));
    return Error(domain, code,
                 FileMover::tr("Could not move “%1” from “%2” to “%3”: %4")
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
        const ssize_t got = retryEintr([&] { return ::read(fromFd, buffer, sizeof buffer); });
        if (got <= 0)
            return got < 0 ? errno : 0;
        if (const int failure = writeAll(toFd, buffer, got))
            return failure;
    }
}

// Returns 0 or the errno; the destination then does not exist.
int copyDurably(const QByteArray &from, const QByteArray &to)
{
    const int source = retryEintr([&] { return ::open(from.constData(), O_RDONLY | O_CLOEXEC); });
    if (source < 0)
        return errno;
    struct stat info
    {};
    // Named like the temporaries of a save, so that a copy left by a killed move is cleared away by the next save
    // of that file, and one in progress is not.
    Temporary temp;
    int code = ::fstat(source, &info) != 0 ? errno : 0;
    if (code == 0)
        code = temp.create(folderOf(to), fileNameOf(to));
    if (code == 0) {
        // Owner first: changing it may clear set-id bits that the mode then restores.
        std::ignore = ::fchown(temp.fd(), info.st_uid, info.st_gid);
        if (::fchmod(temp.fd(), info.st_mode & 07777) != 0)
            code = errno;
    }
    if (code == 0)
        code = copyAll(source, temp.fd());
    ::close(source);
    if (code == 0 && ::fsync(temp.fd()) != 0)
        code = errno;
    if (code == 0)
        code = renameNoReplace(temp.path(), to);
    if (code != 0)
        return code;
    temp.release();
    syncAfterRename(folderOf(to));
    return 0;
}

} // namespace

void FileMover::rename(const QString &from, const QString &to)
{
    const QByteArray source = FileNames::encodeName(from);
    const QByteArray target = FileNames::encodeName(to);
    if (const int code = renameNoReplace(source, target))
        throw failure(Verb::Rename, code, from, to);
    syncAfterRename(folderOf(target));
}

void FileMover::move(const QString &from, const QString &to)
{
    const QByteArray source = FileNames::encodeName(from);
    const QByteArray target = FileNames::encodeName(to);
    const int code = renameNoReplace(source, target);
    if (code == 0) {
        syncAfterRename(folderOf(target));
        if (folderOf(target) != folderOf(source))
            syncAfterRename(folderOf(source));
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
        syncAfterRename(folderOf(target));
        throw failure(Verb::Move, unlinkFailure, from, to);
    }
    syncAfterRename(folderOf(source));
}
