#include "notefile.h"

#include "framework/contentdigest.h"
#include "framework/filenames.h"
#include "framework/filewatcher.h"
#include "framework/loadedfile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Within this long of a file's last change another change may have left its times as they were: some file systems
// keep times in whole seconds, or two.
constexpr long long racyWindowNs = 2'000'000'000LL;
constexpr int settleMarginMs = 100;

// The target of the link at path, or nothing when it is no link.
QByteArray linkText(const QString &path)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(FileNames::encodeName(path).constData(), target.data(), target.size());
    return length > 0 ? target.left(length) : QByteArray();
}

// The last hold on a file replaced meanwhile lets go of its cached pages, a while for a big note: not on the
// window's thread.
void releaseHold(int fd)
{
    if (fd >= 0)
        QThreadPool::globalInstance()->start([fd] { ::close(fd); });
}

} // namespace

NoteFile::NoteFile(FileWatcher &watcher, QObject *parent)
    : QObject(parent)
    , m_watcher(watcher)
{}

NoteFile::~NoteFile()
{
    stop();
    releaseHold(m_held);
}

void NoteFile::watch(const QString &path)
{
    stop();
    m_path.clear();
    takeHold();
    m_knownDigest.clear(); // known again once read or written
    m_compareBeforeWrite = false;
    m_refused = {};
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        m_path = info.absoluteFilePath();
        // The name in its folder: a file replaced by rename (as most editors save) is another file at the same place.
        m_folderWatch =
            m_watcher.watchFolder(FileNames::encodeName(info.absolutePath()), FileNames::encodeName(info.fileName()),
                                  this, [this](const QByteArray &) { changeSeen(); });
        m_known = FileIdentity::of(m_path);
        takeHold();
        watchFile(m_known);
        m_linkAtOpen = m_knownLink;
    }
    if (const ReadVersion read = std::exchange(m_readVersion, {}); read.path == m_path && !m_path.isEmpty()) {
        noteVersion(read.digest, read.identity, read.compareBeforeWrite);
        // The file changed after it was read (or while): looked at as another program's change once the note has
        // its window.
        if (current() != read.identity)
            QMetaObject::invokeMethod(this, &NoteFile::fileMayHaveChanged, Qt::QueuedConnection);
    }
    refreshReadOnly();
}

void NoteFile::stop()
{
    m_watcher.unwatch(std::exchange(m_folderWatch, 0));
    m_watcher.unwatch(std::exchange(m_fileWatch, 0));
    m_watchedFile = {};
}

void NoteFile::noteRead(const LoadedFile &loaded)
{
    const QString path =
        loaded.url.isEmpty() ? QString() : QFileInfo(FileNames::pathOfUrl(loaded.url)).absoluteFilePath();
    if (path != m_path || m_path.isEmpty()) {
        m_readVersion = {path, loaded.digest, loaded.identity, loaded.compareBeforeWrite};
        return;
    }
    noteVersion(loaded.digest, loaded.identity, loaded.compareBeforeWrite);
}

void NoteFile::noteReloaded(const FileIdentity &, const LoadedFile &loaded)
{
    // What was read is the known version, which a change during the read makes another than the one seen.
    noteVersion(loaded.digest, loaded.identity, loaded.compareBeforeWrite);
    takeHold();
}

void NoteFile::noteWritten(const QByteArray &digest, const FileIdentity &left)
{
    if (m_path.isEmpty())
        return;
    noteVersion(digest, left.exists ? left : FileIdentity::of(m_path), false);
    m_ownWrite = left.exists;
    takeHold();
    watchFile(m_known);
}

void NoteFile::noteVersion(const QByteArray &digest, const FileIdentity &identity, bool compareBeforeWrite)
{
    if (m_path.isEmpty())
        return;
    m_knownDigest = digest;
    m_known = identity;
    m_compareBeforeWrite = compareBeforeWrite;
    m_ownWrite = false;
    // The bytes are compared once the clock has left the change's tick, while the note is likely idle: the first
    // save after opening a file just written then writes at once instead of reading all of it back first.
    if (compareBeforeWrite) {
        const long long nowNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
        const long long leftNs = std::clamp(racyWindowNs - (nowNs - identity.changedNs), 0LL, racyWindowNs);
        QTimer::singleShot(int(leftNs / 1'000'000) + settleMarginMs, this, &NoteFile::changeSeen);
    }
}

void NoteFile::takeHold()
{
    releaseHold(m_held);
    // A path-only descriptor: it reads nothing, needs no permission and never waits, yet follows the file (the link
    // itself, for a link) wherever it is renamed to.
    m_held = m_path.isEmpty() ? -1 : ::open(FileNames::encodeName(m_path).constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    m_knownLink = linkText(m_path);
}

void NoteFile::watchFile(const FileIdentity &now)
{
    if (m_folderWatch == 0 || !now.exists ||
        (m_fileWatch != 0 && now.device == m_watchedFile.device && now.inode == m_watchedFile.inode))
        return;
    m_watcher.unwatch(m_fileWatch);
    m_fileWatch = m_watcher.watchFile(FileNames::encodeName(m_path), this, [this] { changeSeen(); });
    m_watchedFile = now;
}

void NoteFile::changeSeen()
{
    // A save by rename changes the folder and the file at once: one look answers both, and a look at a recent big
    // file reads all of it.
    if (std::exchange(m_changeQueued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_changeQueued = false;
            Q_EMIT fileMayHaveChanged();
        },
        Qt::QueuedConnection);
}

FileIdentity NoteFile::current()
{
    const FileIdentity now = FileIdentity::of(m_path);
    watchFile(now);
    return now;
}

NoteFile::Knowledge NoteFile::knowledgeOf(const FileIdentity &now) const
{
    FileIdentity sameTimes = now;
    sameTimes.changedNs = m_known.changedNs;
    if (now != m_known) {
        // Only the change time moved (a chmod, a chown, a new hard link): ours still, if the bytes are.
        return sameTimes == m_known && !m_knownDigest.isEmpty() ? Knowledge::ContentToCompare : Knowledge::Unknown;
    }
    // What our own write left, on a file system whose times tell two changes in one second apart: no other
    // program changed it since, so its bytes are never read back. Whole-second times leave the bytes to tell.
    if (m_ownWrite && now.modifiedNs % 1'000'000'000LL != 0)
        return Knowledge::Known;
    if (m_compareBeforeWrite && !m_knownDigest.isEmpty())
        return Knowledge::ContentToCompare;
    if (m_knownDigest.isEmpty() || !changedLately(now))
        return Knowledge::Known;
    return Knowledge::ContentToCompare;
}

std::function<bool()> NoteFile::sameContentTask() const
{
    return [path = m_path, known = m_knownDigest] {
        const std::optional<QByteArray> digest = ContentDigest::ofFile(path);
        return !digest || *digest == known;
    };
}

void NoteFile::acceptSameContent(const FileIdentity &now)
{
    m_known = now;
    // Compared once the clock has moved past the last change's tick: a later change would move the times.
    if (!changedLately(now))
        m_compareBeforeWrite = false;
}

std::function<bool()> NoteFile::compareOnce(const FileIdentity &version)
{
    // A comparison of this very version that has not begun to read answers for this look too (a save is seen by the
    // watch and by the look after the write).
    if (m_queuedCompare && m_queuedCompare->identity == version && !m_queuedCompare->started)
        return {};
    auto queued = std::make_shared<QueuedCompare>();
    queued->identity = version;
    m_queuedCompare = queued;
    return [queued, same = sameContentTask()] {
        queued->started = true;
        return same();
    };
}

bool NoteFile::changedLately(const FileIdentity &version, long long nowNs)
{
    if (nowNs == 0)
        nowNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
    return nowNs - version.changedNs <= racyWindowNs;
}

std::optional<QString> NoteFile::movedTo() const
{
    struct stat held
    {};
    struct stat there
    {};
    if (m_held < 0 || ::lstat(FileNames::encodeName(m_path).constData(), &there) == 0 || ::fstat(m_held, &held) != 0 ||
        held.st_nlink == 0)
        return std::nullopt;
    const QByteArray now = linkText(QStringLiteral("/proc/self/fd/%1").arg(m_held));
    // A deleted file still has a name here, with " (deleted)" after it; its link count above is then 0.
    if (!now.startsWith('/') || ::lstat(now.constData(), &there) != 0 || there.st_dev != held.st_dev ||
        there.st_ino != held.st_ino)
        return std::nullopt;
    const QString path = FileNames::decodeName(now);
    return path == m_path ? std::nullopt : std::optional<QString>(path);
}

bool NoteFile::linkSwappedIn() const
{
    const QByteArray now = linkText(m_path);
    return !now.isEmpty() && now != m_knownLink;
}

bool NoteFile::writesThroughLink() const
{
    return !m_linkAtOpen.isEmpty() && linkText(m_path) == m_linkAtOpen;
}

bool NoteFile::readOnlyFile(const QString &path)
{
    // Root passes every permission check, yet a note made read-only on purpose stays so. A read-only mount or a
    // locked file is a failed save instead: it passes when the disk does.
    const QByteArray name = FileNames::encodeName(path);
    struct stat info
    {};
    if (path.isEmpty() || ::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
           (::access(name.constData(), W_OK) != 0 && errno == EACCES);
}

bool NoteFile::refreshReadOnly()
{
    const bool now = readOnlyFile(m_path);
    if (now != m_readOnly) {
        m_readOnly = now;
        Q_EMIT readOnlyChanged(now);
    }
    return now;
}
