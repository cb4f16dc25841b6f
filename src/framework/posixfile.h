#pragma once

#include <QByteArray>
#include <QString>

#include <cerrno>

// The few file system calls that saving, moving and reading files share, in one place so that they cannot drift
// apart. Paths are in the file system's encoding. Functions that return int give 0 or the errno of the failure.
namespace PosixFile {

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
// leftovers of killed saves recognises them by it.
inline constexpr char temporaryMark[] = "nolt-";

// The folder part of path: "." for a bare name, "/" for a file at the root.
QByteArray folderOf(const QByteArray &path);
QByteArray fileNameOf(const QByteArray &path);

// Reads the whole file at path.
int readAll(const QByteArray &path, QByteArray &out);
// The same, throwing an Error that names path and the cause.
QByteArray readWholeFile(const QString &path);
// Writes all of data, in bounded pieces, retrying interrupted writes.
int writeAll(int fd, const char *data, qsizetype size);
// Creates the folder at path and the folders above it that are missing. Throws an Error that starts with action and
// gives the real cause (a file in the way reads "Not a directory").
void makePath(const QString &path, const QString &action);
// Makes a rename or a new name in folder survive a power cut. A file system that cannot sync a folder at all
// (EINVAL) is not a failure.
int syncFolder(const QByteArray &folder);

// A hidden sibling ".<name>.nolt-<random>.tmp" of a file in folder: never taken for a document, and on the same file
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

    int create(const QByteArray &folder, const QByteArray &name);
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
bool isTemporaryOf(const QByteArray &entry, const QByteArray &name);

} // namespace PosixFile
