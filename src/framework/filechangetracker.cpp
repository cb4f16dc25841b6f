#include "filechangetracker.h"

#include "framework/error.h"
#include "framework/posixfile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace {

// Within this long of a file's last change another change may have left its times as they were: some file systems
// keep times in whole seconds, or two.
constexpr long long racyWindowNs = 2'000'000'000LL;

} // namespace

FileChangeTracker::FileChangeTracker(QObject *parent)
    : QObject(parent)
{}

void FileChangeTracker::watch(const QString &path)
{
    stop();
    m_path.clear();
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    m_path = info.absoluteFilePath();
    m_watcher = new QFileSystemWatcher(this);
    // The folder too: a file replaced by rename (as most editors save) drops out of the file watch.
    m_watcher->addPath(info.absolutePath());
    m_watcher->addPath(m_path);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &FileChangeTracker::fileMayHaveChanged);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileChangeTracker::fileMayHaveChanged);
    m_known = FileIdentity::of(m_path);
    m_knownDigest.clear(); // known again once read or written
}

void FileChangeTracker::stop()
{
    delete m_watcher;
    m_watcher = nullptr;
}

FileIdentity FileChangeTracker::current()
{
    const FileIdentity now = FileIdentity::of(m_path);
    if (m_watcher && now.exists && !m_watcher->files().contains(m_path))
        m_watcher->addPath(m_path);
    return now;
}

bool FileChangeTracker::isKnown(const FileIdentity &now) const
{
    if (now != m_known)
        return false;
    const long long clockNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000LL;
    if (m_knownDigest.isEmpty() || clockNs - now.changedNs > racyWindowNs)
        return true;
    try {
        return digestOf(PosixFile::readWholeFile(m_path)) == m_knownDigest;
    } catch (const Error &) {
        return true; // gone or unreadable: the next look at its identity tells
    }
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
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

void FileChangeTracker::noteOwnWrite()
{
    if (m_path.isEmpty())
        return;
    m_known = FileIdentity::of(m_path);
    m_missingReported = false;
    if (m_watcher && !m_watcher->files().contains(m_path))
        m_watcher->addPath(m_path);
}

void FileChangeTracker::accept(const FileIdentity &identity)
{
    m_known = identity;
    m_missingReported = false;
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
