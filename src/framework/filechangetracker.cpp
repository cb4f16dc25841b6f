#include "filechangetracker.h"

#include "framework/contentdigest.h"
#include "framework/filenames.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include <climits>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Within this long of a file's last change another change may have left its times as they were: some file systems
// keep times in whole seconds, or two.
constexpr long long racyWindowNs = 2'000'000'000LL;

// The target of the link at path, or nothing when it is no link.
QByteArray linkText(const QString &path)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(FileNames::encodeName(path).constData(), target.data(), target.size());
    return length > 0 ? target.left(length) : QByteArray();
}

} // namespace

FileChangeTracker::FileChangeTracker(QObject *parent)
    : QObject(parent)
{}

FileChangeTracker::~FileChangeTracker()
{
    if (m_held >= 0)
        ::close(m_held);
}

void FileChangeTracker::takeHold()
{
    if (m_held >= 0)
        ::close(m_held);
    // A path-only descriptor: it reads nothing, needs no permission and never waits, yet follows the file (the link
    // itself, for a link) wherever it is renamed to.
    m_held = m_path.isEmpty() ? -1 : ::open(FileNames::encodeName(m_path).constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    m_knownLink = linkText(m_path);
    // The toolkit's watcher cannot name a file whose name is not UTF-8, but it can name the descriptor held on it;
    // that watch is on the file itself, so it is renewed with the hold.
    if (m_watcher && FileNames::hasEscapes(m_path)) {
        if (!m_heldWatch.isEmpty())
            m_watcher->removePath(std::exchange(m_heldWatch, QString()));
        const QString held = QStringLiteral("/proc/self/fd/%1").arg(m_held);
        if (m_held >= 0 && m_watcher->addPath(held))
            m_heldWatch = held;
    }
}

std::optional<QString> FileChangeTracker::movedTo() const
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

bool FileChangeTracker::linkSwappedIn() const
{
    const QByteArray now = linkText(m_path);
    return !now.isEmpty() && now != m_knownLink;
}

bool FileChangeTracker::writesThroughLink() const
{
    return !m_linkAtOpen.isEmpty() && linkText(m_path) == m_linkAtOpen;
}

void FileChangeTracker::watch(const QString &path)
{
    stop();
    m_path.clear();
    takeHold();
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    m_path = info.absoluteFilePath();
    m_watcher = new QFileSystemWatcher(this);
    // The folder too: a file replaced by rename (as most editors save) drops out of the file watch.
    if (!FileNames::hasEscapes(info.absolutePath()))
        m_watcher->addPath(info.absolutePath());
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &FileChangeTracker::changeSeen);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileChangeTracker::changeSeen);
    m_known = FileIdentity::of(m_path);
    m_knownDigest.clear(); // known again once read or written
    m_compareBeforeWrite = false;
    takeHold();
    watchFile();
    m_linkAtOpen = m_knownLink;
}

void FileChangeTracker::changeSeen()
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

void FileChangeTracker::stop()
{
    if (!m_watcher)
        return;
    // Later: this may run from the watcher's own signal, when the document follows its file to a new place.
    m_watcher->disconnect(this);
    m_watcher->deleteLater();
    m_watcher = nullptr;
    m_heldWatch.clear();
}

FileIdentity FileChangeTracker::current()
{
    const FileIdentity now = FileIdentity::of(m_path);
    if (now.exists)
        watchFile();
    return now;
}

FileChangeTracker::Knowledge FileChangeTracker::knowledgeOf(const FileIdentity &now) const
{
    FileIdentity sameTimes = now;
    sameTimes.changedNs = m_known.changedNs;
    if (now != m_known) {
        // Only the change time moved (a chmod, a chown, a new hard link): ours still, if the bytes are.
        return sameTimes == m_known && !m_knownDigest.isEmpty() ? Knowledge::ContentToCompare : Knowledge::Unknown;
    }
    if (m_compareBeforeWrite && !m_knownDigest.isEmpty())
        return Knowledge::ContentToCompare;
    if (m_knownDigest.isEmpty() || !changedLately(now))
        return Knowledge::Known;
    return Knowledge::ContentToCompare;
}

bool FileChangeTracker::isKnown(const FileIdentity &now)
{
    switch (knowledgeOf(now)) {
    case Knowledge::Known:
        return true;
    case Knowledge::Unknown:
        return false;
    case Knowledge::ContentToCompare:
        break;
    }
    if (!sameContentTask()())
        return false;
    acceptSameContent(now);
    return true;
}

std::function<bool()> FileChangeTracker::sameContentTask() const
{
    return [path = m_path, known = m_knownDigest] {
        const std::optional<QByteArray> digest = ContentDigest::ofFile(path);
        return !digest || *digest == known;
    };
}

void FileChangeTracker::acceptSameContent(const FileIdentity &now)
{
    m_known = now;
    // Compared once the clock has moved past the last change's tick: a later change would move the times.
    if (!changedLately(now))
        m_compareBeforeWrite = false;
}

bool FileChangeTracker::changedLately(const FileIdentity &version, long long nowNs)
{
    if (nowNs == 0)
        nowNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
    return nowNs - version.changedNs <= racyWindowNs;
}

void FileChangeTracker::noteReadVersion(const FileIdentity &identity, bool compareBeforeWrite)
{
    if (m_path.isEmpty())
        return;
    m_known = identity;
    m_compareBeforeWrite = compareBeforeWrite;
}

bool FileChangeTracker::knewFile() const
{
    return m_known.exists;
}

void FileChangeTracker::noteContent(const QByteArray &bytes)
{
    m_knownDigest = digestOf(bytes);
}

void FileChangeTracker::noteContentDigest(const QByteArray &digest)
{
    m_knownDigest = digest;
}

QByteArray FileChangeTracker::digestOf(const QByteArray &bytes)
{
    return ContentDigest::of(bytes);
}

void FileChangeTracker::noteOwnWrite(const FileIdentity &written)
{
    if (m_path.isEmpty())
        return;
    m_known = written.exists ? written : FileIdentity::of(m_path);
    m_compareBeforeWrite = false;
    m_missingReported = false;
    takeHold();
    watchFile();
}

void FileChangeTracker::watchFile()
{
    if (m_watcher && !FileNames::hasEscapes(m_path) && !m_watcher->files().contains(m_path))
        m_watcher->addPath(m_path);
}

void FileChangeTracker::accept(const FileIdentity &identity)
{
    m_known = identity;
    m_compareBeforeWrite = false;
    m_missingReported = false;
    takeHold();
}

void FileChangeTracker::refuse(const FileIdentity &identity)
{
    m_refused = identity;
}

bool FileChangeTracker::isRefused(const FileIdentity &identity) const
{
    return identity == m_refused;
}

bool FileChangeTracker::firstTimeMissing()
{
    if (!m_known.exists || m_missingReported)
        return false;
    m_missingReported = true;
    return true;
}
