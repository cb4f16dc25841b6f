#include "durablewriter.h"

#include "framework/contentdigest.h"
#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/inplacesave.h"
#include "framework/posixfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

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
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace PosixFile;

namespace {

constexpr int maxLinkHops = 40;

QString saveAction()
{
    return QCoreApplication::translate("DurableWriter", "Could not save");
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

// Temporaries that a killed or crashed save left beside the note are removed once the note holds a complete new
// text; one whose lock is still held belongs to a save in progress and stays. Backups of rewrites in place are not
// the sweep's: one may hold the only complete copy of a note, and only the repair, which compares, removes them.
void sweepStaleTemporaries(const QByteArray &folder, const QByteArray &name)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        if (!isTemporaryOf(entryName, name))
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

} // namespace

// A temporary that cannot be made means the folder refuses new files, even where the note itself is writable:
// say so, since "Permission denied" alone reads as if the note were locked.
Error DurableWriter::folderError(int code, const QString &path)
{
    const Error error = Error::fromErrno(code, saveAction(), path);
    if (code != EACCES && code != EPERM)
        return error;
    return Error(error.domain(), error.code(),
                 error.description() +
                     QCoreApplication::translate("DurableWriter",
                                                 ". The folder does not allow new files, and a note is saved "
                                                 "by writing a new copy beside it."));
}

namespace {

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
        hint = QCoreApplication::translate("DurableWriter", ". The note is locked against changes.");
    else if (::stat(folder.constData(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0 &&
             ::stat(target.constData(), &note) == 0 && note.st_uid != ::geteuid())
        hint = QCoreApplication::translate(
            "DurableWriter",
            ". In this folder only a file's owner may replace it, and the note belongs to someone else.");
    if (fd >= 0)
        ::close(fd);
    return Error(error.domain(), error.code(), error.description() + hint);
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

// Whether the file at target (links followed) is still the version expected. A rename moves the change time of the
// file it moves, so that is left out when it may have been swapped.
bool isExpected(const QByteArray &target, const FileIdentity &expected, bool swapped)
{
    struct stat info
    {};
    if (::stat(target.constData(), &info) != 0)
        return false;
    FileIdentity now = FileIdentity::of(info);
    if (swapped)
        now.changedNs = expected.changedNs;
    return now == expected;
}

// Puts the new file at temporary in place of target. Guarded with a version, the two are swapped in one step and the
// one taken out is looked at: a version another program renamed in meanwhile is swapped back and never lost. Guarded
// with none, a file that appeared at target meanwhile is never replaced.
void putInPlace(Temporary &temp, const QByteArray &target, const DurableWriter::Options &options, const QString &path,
                const QByteArray &folder)
{
    const FileIdentity &expected = options.expected;
    if (options.guarded && !expected.exists) {
        if (::renameat2(AT_FDCWD, temp.path().constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
            temp.release();
            return;
        }
        if (errno == EEXIST)
            throw DurableWriter::OtherVersion{};
        if (errno != EINVAL && errno != ENOSYS)
            throw replaceError(errno, path, target, folder);
        // A file system without the flag: a hard link never replaces a file either.
        if (::link(temp.path().constData(), target.constData()) != 0) {
            if (errno == EEXIST)
                throw DurableWriter::OtherVersion{};
            throw replaceError(errno, path, target, folder);
        }
        return; // the temporary's name goes with it
    }
    if (options.guarded) {
        if (!isExpected(target, expected, false))
            throw DurableWriter::OtherVersion{};
        if (::renameat2(AT_FDCWD, temp.path().constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
            if (isExpected(temp.path(), expected, true)) {
                ::unlink(temp.path().constData());
                temp.release();
                return;
            }
            if (::renameat2(AT_FDCWD, temp.path().constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0)
                throw DurableWriter::OtherVersion{};
            // Theirs could not go back: ours stays in place, theirs is handed on under its hidden name.
            const QString theirs = FileNames::decodeName(temp.path());
            temp.release();
            throw DurableWriter::OtherVersion{theirs};
        }
        if (errno != EINVAL && errno != ENOSYS && errno != ENOENT)
            throw replaceError(errno, path, target, folder);
    }
    if (::rename(temp.path().constData(), target.constData()) != 0)
        throw replaceError(errno, path, target, folder);
    temp.release();
}

bool unchangedSince(const DurableWriter::LastWritten &last)
{
    struct stat info
    {};
    return ::fstat(last.file.get(), &info) == 0 && FileIdentity::of(info) == last.identity;
}

// How many bytes at the start of data the last save wrote as they are, in whole blocks of the digest; they are
// copied from its file into out's first bytes. None when the file changed since or cannot be copied from: out's
// offset is then still at its start, and writing all of data overwrites whatever was copied.
qsizetype copyUnchangedStart(const DurableWriter::LastWritten &last, const ByteParts &data, int out)
{
    if (last.file.get() < 0)
        return 0;
    qsizetype same = 0;
    for (qsizetype n = 0; n < std::min(last.bytes.parts.size(), data.parts.size()); ++n) {
        // Memory of its own that a kept part still holds cannot have changed since it was written.
        const QByteArray &kept = last.bytes.parts[n];
        if (kept.isEmpty() && data.parts[n].isEmpty())
            continue;
        if (kept.capacity() == 0 || !kept.isSharedWith(data.parts[n]))
            break;
        same += kept.size();
    }
    const qsizetype length =
        std::min(same / ContentDigest::blockSize, qsizetype(last.blocks.size())) * ContentDigest::blockSize;
    if (length == 0 || !unchangedSince(last))
        return 0;
    loff_t from = 0;
    loff_t to = 0;
    while (from < length) {
        const ssize_t copied =
            retryEintr([&] { return ::copy_file_range(last.file.get(), &from, out, &to, size_t(length - from), 0); });
        if (copied <= 0)
            return 0;
    }
    // Another program wrote to it during the copy: what came over may be theirs.
    if (!unchangedSince(last) || ::lseek(out, length, SEEK_SET) != length)
        return 0;
    return length;
}

FileIdentity replaceResolved(const QString &path, const QByteArray &target, const ByteParts &data,
                             const DurableWriter::Options &options)
{
    DurableWriter::LastWritten last = options.lastWritten
                                          ? std::exchange(*options.lastWritten, DurableWriter::LastWritten())
                                          : DurableWriter::LastWritten();
    const int newFileMode = options.newFileMode;
    const QByteArray folder = folderOf(target);
    const QByteArray name = fileNameOf(target);

    struct stat old
    {};
    const bool exists = ::lstat(target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        throw Error::fromErrno(errno, saveAction(), path);

    // A link that is not followed is replaced by the file itself; lstat above saw it as a link, not as its target.
    // Renaming a new copy over a file with other hard links would silently split them: the other names would keep
    // the old text. Such a file is rewritten where it is, with a synced backup of its old text beside it.
    if (exists && S_ISREG(old.st_mode) && old.st_nlink > 1) {
        const QByteArray whole = data.joined();
        if (options.digest)
            options.digest->add(whole);
        return InPlaceSave::rewrite(path, target, whole, options.interruptedSaves,
                                    options.guarded ? &options.expected : nullptr);
    }

    Temporary temp;
    if (const int failure = temp.create(folder, name))
        throw DurableWriter::folderError(failure, path);
    const auto fail = [&path](int code) {
        throw Error::fromErrno(code, saveAction(), path);
    };

    if (exists && S_ISLNK(old.st_mode)) {
        ::fchmod(temp.fd(), newFileMode >= 0 ? mode_t(newFileMode) : 0666 & ~currentUmask());
    } else if (exists) {
        // Owner and group first: changing them may clear set-id bits that the mode then restores.
        if (::fchown(temp.fd(), old.st_uid, old.st_gid) != 0)
            std::ignore = ::fchown(temp.fd(), static_cast<uid_t>(-1), old.st_gid);
        ::fchmod(temp.fd(), old.st_mode & 07777);
        copyExtendedAttributes(target, temp.fd());
    } else {
        ::fchmod(temp.fd(), newFileMode >= 0 ? mode_t(newFileMode) : 0666 & ~currentUmask());
    }
    const qsizetype copied = options.digest ? copyUnchangedStart(last, data, temp.fd()) : 0;
    if (copied > 0)
        options.digest->addHashed(last.blocks, copied / ContentDigest::blockSize);
    const ByteParts rest = copied > 0 ? data.from(copied) : ByteParts();
    if (const int failure =
            writeAll(temp.fd(), copied > 0 ? rest.parts : data.parts, [&options](const QByteArray &part) {
                if (options.digest)
                    options.digest->add(part);
            }))
        fail(failure);
    if (::fsync(temp.fd()) != 0)
        fail(errno);
    // What the note's file is once ours is in place, told by our own descriptor: another program's file put there
    // right after is never taken for it. Kept for the next save to copy from, it is open for reading only: closing a
    // descriptor open for writing tells whoever watches the note that it was written.
    const QByteArray ownLink = "/proc/self/fd/" + QByteArray::number(temp.fd());
    Descriptor ours(retryEintr([&] { return ::open(ownLink.constData(), O_RDONLY | O_CLOEXEC); }));
    const bool reading = ours.get() >= 0;
    if (!reading)
        ours = Descriptor(::dup(temp.fd()));
    if (const int failure = temp.close())
        fail(failure);
    putInPlace(temp, target, options, path, folder);
    if (const int failure = syncFolder(folder))
        throw Error::fromErrno(failure, saveAction(), path);
    struct stat left
    {};
    if (ours.get() < 0 || ::fstat(ours.get(), &left) != 0)
        return FileIdentity::of(path);
    if (options.lastWritten && options.digest && reading) {
        *options.lastWritten = {std::move(ours), FileIdentity::of(left), DurableWriter::LastWritten::sharedStart(data),
                                options.digest->blocks()};
    }
    return FileIdentity::of(left);
}

} // namespace

ByteParts DurableWriter::LastWritten::sharedStart(const ByteParts &bytes)
{
    const auto made = std::find_if(bytes.parts.cbegin(), bytes.parts.cend(),
                                   [](const QByteArray &part) { return part.isDetached(); });
    return made == bytes.parts.cend() ? bytes : ByteParts(QList<QByteArray>(bytes.parts.cbegin(), made));
}

QString DurableWriter::resolveLinks(const QString &path)
{
    QByteArray current = FileNames::encodeName(QFileInfo(path).absoluteFilePath());
    for (int hop = 0; hop <= maxLinkHops; ++hop) {
        struct stat info
        {};
        if (::lstat(current.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return FileNames::decodeName(current);
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(current.constData(), target.data(), target.size());
        if (length < 0)
            throw Error::fromErrno(errno, saveAction(), path);
        target.truncate(length);
        current = target.startsWith('/') ? target : folderOf(current) + '/' + target;
    }
    throw Error::fromErrno(ELOOP, saveAction(), path);
}

FileIdentity DurableWriter::replace(const QString &path, const ByteParts &data, const Options &options)
{
    const QByteArray target =
        FileNames::encodeName(options.followLinks ? resolveLinks(path) : QFileInfo(path).absoluteFilePath());
    FileIdentity left;
    try {
        left = replaceResolved(path, target, data, options);
    } catch (const Error &) {
        needsSweep(target, true);
        throw;
    }
    // Once the note holds its complete new text, what killed saves left beside it is of no more use.
    if (needsSweep(target, false))
        sweepStaleTemporaries(folderOf(target), fileNameOf(target));
    return left;
}

bool DurableWriter::isTemporaryName(const QString &fileName)
{
    const QByteArray encoded = FileNames::encodeName(fileName);
    const qsizetype mark = encoded.lastIndexOf(QByteArray(".") + temporaryMark);
    if (mark <= 1)
        return false;
    const QByteArray stem = encoded.mid(1, mark - 1);
    return isTemporaryOf(encoded, stem) || isTemporaryOf(encoded, stem, Temporary::Kind::Backup);
}

void DurableWriter::createNew(const QString &path)
{
    const QByteArray encoded = FileNames::encodeName(path);
    const int fd =
        retryEintr([&] { return ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    int failure = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (::fsync(fd) != 0)
            failure = errno;
        if (::close(fd) != 0 && errno != EINTR && failure == 0)
            failure = errno;
        if (failure == 0)
            failure = syncFolder(folderOf(encoded));
        if (failure != 0)
            ::unlink(encoded.constData());
    }
    if (failure != 0)
        throw Error::fromErrno(failure, QCoreApplication::translate("DurableWriter", "Could not create"), path);
}
