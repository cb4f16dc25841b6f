#include "posixfile.h"

#include "framework/error.h"
#include "framework/fileidentity.h"
#include "framework/filenames.h"
#include "framework/offthread.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace PosixFile {

namespace {

constexpr int maxTempNameTries = 100;
constexpr qsizetype readChunk = 1 << 26;
constexpr qsizetype writeChunk = 1 << 20;
// The random part of a temporary's name is a 32-bit number in base 36.
constexpr qsizetype maxRandomLength = 7;
// What a temporary's name adds to its stem: ".", ".", the marks, the random part and ".tmp".
constexpr qsizetype nameOverhead = 2 + sizeof temporaryMark - 1 + sizeof backupMark - 1 + maxRandomLength + 4;
// A long name's stem ends in "~" and eight hexadecimal digits of its hash.
constexpr qsizetype hashLength = 9;

QByteArray markOf(Temporary::Kind kind)
{
    return QByteArray(temporaryMark) + (kind == Temporary::Kind::Backup ? backupMark : "");
}

qsizetype availableMemory()
{
    QFile info(QStringLiteral("/proc/meminfo"));
    if (info.open(QIODevice::ReadOnly)) {
        for (QByteArray line = info.readLine(); !line.isEmpty(); line = info.readLine()) {
            if (line.startsWith("MemAvailable:"))
                return line.mid(13).trimmed().split(' ').first().toLongLong() * 1024;
        }
    }
    return qsizetype(::sysconf(_SC_AVPHYS_PAGES)) * ::sysconf(_SC_PAGESIZE);
}

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

void prefault(void *data, qsizetype size)
{
    constexpr quintptr page = 4096;
    const quintptr begin = (quintptr(data) + page - 1) & ~(page - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(page - 1);
    if (size < (1 << 20) || end <= begin)
        return;
    // A byte written to each page, not madvise(MADV_POPULATE_WRITE): that holds the process's memory map locked
    // while it fills a 40 MB buffer, and the window's thread, growing its heap meanwhile, waited for it.
    const auto populate = [](quintptr from, quintptr to) {
        for (quintptr at = from; at < to; at += page)
            *reinterpret_cast<volatile char *>(at) = 0;
    };
    // Most of the time goes to zeroing pages: a big buffer is made ready in halves, on two processors at once.
    if (size < (8 << 20))
        return populate(begin, end);
    const quintptr middle = (begin + (end - begin) / 2) & ~(page - 1);
    runSideBySide([&] { populate(begin, middle); }, [&] { populate(middle, end); });
}

void mapLargeBlocks()
{
#ifdef __GLIBC__ // a fixed threshold also turns off the one glibc raises after each big block is freed
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

int readAllFrom(int fd, QByteArray &out, qsizetype limit)
{
    struct stat info
    {};
    if (::fstat(fd, &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return ENODEV;
    if (info.st_size > limit)
        return EFBIG;
    // Straight into one buffer of the file's size (one more byte to see its end): a long note is read in a few
    // calls and never copied. A file growing meanwhile is read on, but never past the limit.
    out.clear();
    qsizetype capacity = qsizetype(info.st_size) + 1;
    out.resize(capacity);
    prefault(out.data(), capacity);
    qsizetype at = 0;
    for (;;) {
        if (at == capacity) {
            if (capacity > limit) {
                out.clear();
                return EFBIG;
            }
            capacity = std::min(limit + 1, capacity + std::max(capacity, readChunk));
            out.resize(capacity);
        }
        const qsizetype want = std::min(capacity - at, readChunk);
        const ssize_t got = retryEintr([&] { return ::pread(fd, out.data() + at, size_t(want), off_t(at)); });
        if (got < 0) {
            const int failure = errno;
            out.clear();
            return failure;
        }
        if (got == 0)
            break;
        at += got;
    }
    out.truncate(at);
    return 0;
}

int readAll(const QByteArray &path, QByteArray &out, qsizetype limit, struct stat *steady, Descriptor *kept)
{
    // Non-blocking, so that a FIFO without a writer or a device answers at once instead of holding the app.
    const int fd = retryEintr([&] { return ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0)
        return errno;
    struct stat before
    {};
    const int failure = ::fstat(fd, &before) != 0 ? errno : readAllFrom(fd, out, limit);
    if (failure == 0 && steady) {
        // Written in place meanwhile, the times or the size moved; replaced, the name leads to another file.
        struct stat after
        {};
        struct stat there
        {};
        const FileIdentity read = FileIdentity::of(before);
        const bool held = ::fstat(fd, &after) == 0 && FileIdentity::of(after) == read &&
                          ::stat(path.constData(), &there) == 0 && FileIdentity::of(there) == read;
        *steady = {};
        if (held)
            *steady = before;
        if (held && kept) {
            *kept = Descriptor(fd);
            return failure;
        }
    }
    ::close(fd);
    return failure;
}

qsizetype readLimit()
{
    return availableMemory() / 4;
}

QByteArray readWholeFile(const QString &path, struct stat *steady, Descriptor *kept)
{
    QByteArray bytes;
    int failure = 0;
    // A sync engine or an editor that saves a big note while it is read would otherwise hand over the old text, or
    // a mix of both, as if it were what the file holds.
    for (int attempt = 0; attempt < 3; ++attempt) {
        failure = readAll(FileNames::encodeName(path), bytes, readLimit(), steady, kept);
        if (failure != 0 || !steady || steady->st_ino != 0)
            break;
    }
    if (failure == 0)
        return bytes;
    const QFileInfo file(path);
    const QString domain = QString::fromUtf16(ErrorDomain::posix);
    if (failure == ENODEV)
        throw Error(domain, failure,
                    QCoreApplication::translate("PosixFile", "Could not read “%1” in “%2”: it is not a regular file.")
                        .arg(file.fileName(), file.absolutePath()));
    if (failure == EFBIG) {
        const QLocale locale;
        struct stat info
        {};
        ::stat(FileNames::encodeName(path).constData(), &info);
        throw Error(domain, failure,
                    QCoreApplication::translate("PosixFile", "Could not read “%1” in “%2”: it is too large to open "
                                                             "(%3; %4 of memory is free for it).")
                        .arg(file.fileName(), file.absolutePath(), locale.formattedDataSize(info.st_size),
                             locale.formattedDataSize(readLimit())));
    }
    throw Error::fromErrno(failure, QCoreApplication::translate("PosixFile", "Could not read"), path);
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

int writeAll(int fd, const QList<QByteArray> &parts, const std::function<void(const QByteArray &)> &done)
{
    constexpr size_t maxSlices = 256;
    std::vector<iovec> batch;
    // The next byte to go: parts[part] from at.
    qsizetype part = 0;
    qsizetype at = 0;
    while (part < parts.size()) {
        batch.clear();
        const qsizetype firstPart = part;
        for (qsizetype size = 0; part < parts.size() && batch.size() < maxSlices && size < writeChunk;) {
            const qsizetype take = std::min(parts[part].size() - at, writeChunk - size);
            batch.push_back({const_cast<char *>(parts[part].constData()) + at, size_t(take)});
            size += take;
            at += take;
            if (at == parts[part].size()) {
                ++part;
                at = 0;
            }
        }
        for (iovec *next = batch.data(), *const last = next + batch.size(); next != last;) {
            ssize_t written = retryEintr([&] { return ::writev(fd, next, int(last - next)); });
            if (written < 0)
                return errno;
            if (written == 0 && next->iov_len > 0)
                return EIO;
            // What a short write left: the slices not begun, and the rest of the one it stopped in.
            for (; next != last && size_t(written) >= next->iov_len; ++next)
                written -= ssize_t(next->iov_len);
            if (next != last) {
                next->iov_base = static_cast<char *>(next->iov_base) + written;
                next->iov_len -= size_t(written);
            }
        }
        for (qsizetype whole = firstPart; whole < part; ++whole)
            done(parts[whole]);
    }
    return 0;
}

void makePath(const QString &path, const QString &action)
{
    const QByteArray encoded = FileNames::encodeName(path);
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

QByteArray temporaryStem(const QByteArray &name)
{
    if (name.size() + nameOverhead <= maxNameBytes)
        return name;
    qsizetype keep = maxNameBytes - nameOverhead - hashLength;
    while (keep > 0 && (static_cast<unsigned char>(name.at(keep)) & 0xC0) == 0x80)
        --keep; // never cut a character in two
    return name.left(keep) + '~' + QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex().left(8);
}

int Temporary::create(const QByteArray &folder, const QByteArray &name, Kind kind)
{
    const QByteArray prefix = folder + "/." + temporaryStem(name) + '.' + markOf(kind);
    for (int attempt = 0; attempt < maxTempNameTries; ++attempt) {
        m_path = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
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

bool isTemporaryOf(const QByteArray &entry, const QByteArray &name, Temporary::Kind kind)
{
    const QByteArray prefix = '.' + temporaryStem(name) + '.' + markOf(kind);
    if (!entry.startsWith(prefix) || !entry.endsWith(".tmp"))
        return false;
    const QByteArray random = entry.mid(prefix.size(), entry.size() - prefix.size() - 4);
    return !random.isEmpty() && random.size() <= maxRandomLength &&
           std::all_of(random.begin(), random.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

namespace {

constexpr mode_t privateFolderMode = 0700;

Error unusable(const QString &folder, int code, const QString &cause)
{
    return Error(QString::fromUtf16(ErrorDomain::posix), code,
                 QCoreApplication::translate("PosixFile", "“%1” cannot be used: %2.").arg(folder, cause));
}

// Why name in parent could not be opened as a folder without following a link.
Error openFailure(const QString &folder, int parent, const QByteArray &name, int code)
{
    struct stat info
    {};
    if (::fstatat(parent, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode))
            return unusable(folder, code, QCoreApplication::translate("PosixFile", "it is a symbolic link"));
        if (!S_ISDIR(info.st_mode))
            return unusable(folder, code, QCoreApplication::translate("PosixFile", "it is not a folder"));
    }
    return unusable(folder, code, QString::fromLocal8Bit(std::strerror(code)));
}

} // namespace

Descriptor openPrivateFolder(const QString &folder, bool create)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QList<QByteArray> names = FileNames::encodeName(absolute).split('/');
    Descriptor current(PosixFile::retryEintr([] { return ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    bool madeAbove = false;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray &name = names.at(i);
        if (name.isEmpty())
            continue;
        if (current.get() < 0)
            throw unusable(absolute, errno, QString::fromLocal8Bit(std::strerror(errno)));
        const bool last = i == names.size() - 1;
        int makeFailure = 0;
        bool made = false;
        if (create) {
            made = ::mkdirat(current.get(), name.constData(), privateFolderMode) == 0;
            if (!made && errno != EEXIST)
                makeFailure = errno;
        }
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (last || made || madeAbove ? O_NOFOLLOW : 0);
        Descriptor next(PosixFile::retryEintr([&] { return ::openat(current.get(), name.constData(), flags); }));
        if (next.get() < 0) {
            const int code = errno == ENOENT && makeFailure ? makeFailure : errno;
            throw openFailure(absolute, current.get(), name, code);
        }
        madeAbove = madeAbove || made;
        current = std::move(next);
    }
    struct stat info
    {};
    if (::fstat(current.get(), &info) != 0)
        throw unusable(absolute, errno, QString::fromLocal8Bit(std::strerror(errno)));
    if (info.st_uid != ::geteuid())
        throw unusable(absolute, EPERM, QCoreApplication::translate("PosixFile", "it belongs to another user"));
    if ((info.st_mode & 07777) != privateFolderMode && ::fchmod(current.get(), privateFolderMode) != 0)
        throw unusable(absolute, errno, QString::fromLocal8Bit(std::strerror(errno)));
    return current;
}

} // namespace PosixFile
