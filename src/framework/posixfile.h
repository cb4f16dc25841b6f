#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cerrno>
#include <functional>
#include <unistd.h>
#include <utility>

struct stat;

// The few file system calls that saving, moving and reading files share, in one place so that they cannot drift
// apart. Paths are in the file system's encoding. Functions that return int give 0 or the errno of the failure.
namespace PosixFile {

// A file descriptor closed when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Runs a system call again when a signal interrupted it (our termination signals do, by design).
template<typename Call> auto retryEintr(Call call)
{
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// The mark in the hidden names of temporaries written beside a file (".<name>.nolt-<random>.tmp"); the sweep of
// leftovers of killed saves recognises them by it. A backup of the old text of a file rewritten in place carries
// "backup-" after the mark, so that the sweep never takes it: it is the only whole copy until the file is complete.
inline constexpr char temporaryMark[] = "nolt-";
inline constexpr char backupMark[] = "backup-";
// What a file name may take in bytes on Linux file systems.
inline constexpr qsizetype maxNameBytes = 255;

// The folder part of path: "." for a bare name, "/" for a file at the root.
QByteArray folderOf(const QByteArray &path);
QByteArray fileNameOf(const QByteArray &path);

// The longest file the app takes in: a quarter of the memory available now, since its text needs several times
// its size once decoded and shown.
qsizetype readLimit();
// Reads the whole file at path without ever waiting on it: a FIFO, a device or a folder is refused (ENODEV for
// anything that is not a regular file), and a file longer than limit bytes gives EFBIG. Never reads more than
// limit bytes, even from a file that grows while it is read.
// With steady, it gets the status of the version read; all zero when the file was replaced or written while it was
// read (what was read may then be a mix of two versions).
// With kept as well, the descriptor of the version read is handed over instead of closed.
int readAll(const QByteArray &path, QByteArray &out, qsizetype limit = readLimit(), struct stat *steady = nullptr,
            Descriptor *kept = nullptr);
// The same from an open regular file, from its start.
int readAllFrom(int fd, QByteArray &out, qsizetype limit = readLimit());
// The same, throwing an Error that names path and the real cause. With steady, a file that changes while it is read
// is read again, a few times; steady then tells the version read, or is all zero when the file never held still.
QByteArray readWholeFile(const QString &path, struct stat *steady = nullptr, Descriptor *kept = nullptr);
// Has the pages of a big buffer about to be filled, whose bytes do not matter yet, made ready ahead of the pass
// that fills it, on two processors for a very big one.
void prefault(void *data, qsizetype size);
// Gives blocks of a megabyte or more mappings of their own, whatever was freed before: a big text then grows by
// remapping instead of by a copy that stalls the window, and what is let go goes back to the system. Once, first
// thing in a program.
void mapLargeBlocks();
// Writes all of data, in bounded pieces, retrying interrupted writes.
int writeAll(int fd, const char *data, qsizetype size);
// Writes all of parts, one after the other, in calls of a megabyte at most, each as full as the parts allow: big
// enough for the kernel to take its cache in large blocks however small the parts are. Then done(part) for each
// part once it is all written.
int writeAll(int fd, const QList<QByteArray> &parts, const std::function<void(const QByteArray &)> &done);
// Creates the folder at path and the folders above it that are missing. Throws an Error that starts with action and
// gives the real cause (a file in the way reads "Not a directory").
void makePath(const QString &path, const QString &action);
// Opens folder, made if create, as a private folder of the user's: folders above it that existed are the user's
// layout and are followed; the ones made here and folder itself are never links, so nothing but that folder is ever
// made private. It must belong to the user (root may write anywhere, so its rights prove nothing), and is made 0700.
// Throws an Error that names the folder and why it cannot be used.
Descriptor openPrivateFolder(const QString &folder, bool create);
// Makes a rename or a new name in folder survive a power cut. A file system that cannot sync a folder at all
// (EINVAL) is not a failure.
int syncFolder(const QByteArray &folder);

// The part of a temporary's name that stands for the file's name: the name itself, or for a long one its first
// bytes and a hash of the whole, so that the temporary's name fits in maxNameBytes.
QByteArray temporaryStem(const QByteArray &name);

// A hidden sibling ".<stem>.nolt-<random>.tmp" of a file in folder: never taken for a document, and on the same file
// system so that renaming it into place is atomic. Created private (0600) and locked while it is written, so that a
// later save can tell the leftover of a killed process (lock free) from one still being written. Removed when it
// goes out of scope unless released.
class Temporary
{
public:
    Temporary() = default;
    ~Temporary();
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;

    enum class Kind
    {
        Temporary,
        Backup
    };
    int create(const QByteArray &folder, const QByteArray &name, Kind kind = Kind::Temporary);
    const QByteArray &path() const { return m_path; }
    int fd() const { return m_fd; }
    // Closes the file, keeping it; the close's errno or 0 (an interrupted close has still closed it).
    int close();
    // Closes and removes it.
    void discard();
    // The file has become something else (renamed into place, or kept on purpose): it is no longer removed.
    void release();

private:
    QByteArray m_path;
    int m_fd = -1;
};

// Whether entry is exactly a name Temporary::create makes for name, so that no file of the user's is taken for one.
bool isTemporaryOf(const QByteArray &entry, const QByteArray &name, Temporary::Kind kind = Temporary::Kind::Temporary);

} // namespace PosixFile
