#include "posixfile.h"

#include "framework/error.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PosixFile {

namespace {

constexpr int maxTempNameTries = 100;
constexpr qsizetype readChunk = 1 << 20;
constexpr qsizetype writeChunk = 1 << 20;
// The random part of a temporary's name is a 32-bit number in base 36.
constexpr qsizetype maxRandomLength = 7;

} // namespace

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
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

int readAll(const QByteArray &path, QByteArray &out)
{
    const int fd = retryEintr([&] { return ::open(path.constData(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0)
        return errno;
    out.clear();
    // Straight into the result, a large piece at a time: a long note is read in a few calls and copied once.
    for (;;) {
        const qsizetype at = out.size();
        out.resize(at + readChunk);
        const ssize_t got = retryEintr([&] { return ::read(fd, out.data() + at, readChunk); });
        const int failure = got < 0 ? errno : 0;
        out.resize(at + std::max<ssize_t>(got, 0));
        if (got < 0) {
            ::close(fd);
            return failure;
        }
        if (got == 0)
            break;
    }
    ::close(fd);
    return 0;
}

QByteArray readWholeFile(const QString &path)
{
    QByteArray bytes;
    if (const int failure = readAll(QFile::encodeName(path), bytes))
        throw Error::fromErrno(failure, QCoreApplication::translate("PosixFile", "Could not read"), path);
    return bytes;
}

int writeAll(int fd, const char *data, qsizetype size)
{
    // Bounded pieces, so one call never has to hold the whole text in the kernel at once.
    while (size > 0) {
        const ssize_t written =
            retryEintr([&] { return ::write(fd, data, static_cast<size_t>(std::min(size, writeChunk))); });
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO;
        data += written;
        size -= written;
    }
    return 0;
}

void makePath(const QString &path, const QString &action)
{
    const QByteArray encoded = QFile::encodeName(path);
    for (qsizetype end = encoded.indexOf('/', 1);; end = encoded.indexOf('/', end + 1)) {
        const QByteArray part = end < 0 ? encoded : encoded.left(end);
        if (!part.isEmpty() && ::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            throw Error::fromErrno(errno, action, path);
        if (end < 0)
            break;
    }
    struct stat info
    {};
    if (::stat(encoded.constData(), &info) != 0)
        throw Error::fromErrno(errno, action, path);
    if (!S_ISDIR(info.st_mode))
        throw Error::fromErrno(ENOTDIR, action, path);
}

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

Temporary::~Temporary()
{
    discard();
}

int Temporary::create(const QByteArray &folder, const QByteArray &name)
{
    for (int attempt = 0; attempt < maxTempNameTries; ++attempt) {
        m_path = folder + "/." + name + '.' + temporaryMark +
                 QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        // Private until the file's own mode is copied: another user must not open it in between and read on.
        m_fd = retryEintr([&] { return ::open(m_path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); });
        if (m_fd >= 0) {
            (void)::flock(m_fd, LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EEXIST) {
            const int failure = errno;
            m_path.clear();
            return failure;
        }
    }
    m_path.clear();
    return EEXIST;
}

int Temporary::close()
{
    if (m_fd < 0)
        return 0;
    const int result = ::close(m_fd);
    m_fd = -1;
    return result != 0 && errno != EINTR ? errno : 0;
}

void Temporary::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_path.isEmpty())
        ::unlink(m_path.constData());
    m_path.clear();
}

void Temporary::release()
{
    m_path.clear();
}

bool isTemporaryOf(const QByteArray &entry, const QByteArray &name)
{
    const QByteArray prefix = '.' + name + '.' + temporaryMark;
    if (!entry.startsWith(prefix) || !entry.endsWith(".tmp"))
        return false;
    const QByteArray random = entry.mid(prefix.size(), entry.size() - prefix.size() - 4);
    return !random.isEmpty() && random.size() <= maxRandomLength &&
           std::all_of(random.begin(), random.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

} // namespace PosixFile
