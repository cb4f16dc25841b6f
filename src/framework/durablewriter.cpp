#include "durablewriter.h"

#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int maxLinkHops = 40;
constexpr int maxTempNameTries = 100;

QString saveAction()
{
    return QStringLiteral("Could not save");
}

int retryEintr(auto call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
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

int writeAll(int fd, const QByteArray &data)
{
    const char *at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, static_cast<size_t>(left));
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
    const QByteArray folder = folderOf(target);

    struct stat old
    {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        throw Error::fromErrno(errno, saveAction(), path);

    // A named sibling, so the rename below stays on one file system and is atomic.
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < maxTempNameTries && fd < 0; ++attempt) {
        temp = folder + "/." + fileNameOf(target) + '.' +
               QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd = retryEintr([&] { return ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
        if (fd < 0 && errno != EEXIST)
            throw Error::fromErrno(errno, saveAction(), path);
    }
    if (fd < 0)
        throw Error::fromErrno(EEXIST, saveAction(), path);

    auto fail = [&](int code) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.constData());
        throw Error::fromErrno(code, saveAction(), path);
    };

    if (exists) {
        // Owner and group first: changing them may clear set-id bits that the mode then restores.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
        copyExtendedAttributes(target, fd);
    }
    if (const int failure = writeAll(fd, data))
        fail(failure);
    if (::fsync(fd) != 0)
        fail(errno);
    const int closeResult = ::close(fd);
    fd = -1;
    if (closeResult != 0 && errno != EINTR)
        fail(errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        fail(errno);
    if (const int failure = syncFolder(folder))
        throw Error::fromErrno(failure, saveAction(), path);
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
