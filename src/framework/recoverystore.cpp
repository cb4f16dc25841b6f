#include "recoverystore.h"

#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char textSuffix[] = ".txt";
constexpr char pathSuffix[] = ".path";
// Unsaved notes are private: other users of the machine may read a home folder, never this one.
constexpr mode_t folderMode = 0700;
constexpr mode_t fileMode = 0600;

using PosixFile::Descriptor;

Descriptor openOwnFolder(const QString &folder, bool create)
{
    return PosixFile::openPrivateFolder(folder, create);
}

// What an earlier version kept with wider permissions is closed at once: only the user's own plain files with no
// other name, opened without following links, so that no file elsewhere changes.
void tightenFiles(int folder)
{
    DIR *listing = ::fdopendir(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (!listing)
        return;
    while (const dirent *entry = ::readdir(listing)) {
        const Descriptor file(
            ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat info
        {};
        if (file.get() >= 0 && ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1 &&
            info.st_uid == ::geteuid() && (info.st_mode & 07777) != fileMode)
            ::fchmod(file.get(), fileMode);
    }
    ::closedir(listing);
}

QString basePathIn(const QString &folder, const QString &originalPath)
{
    const QByteArray key = FileNames::encodeName(QFileInfo(originalPath).absoluteFilePath());
    return folder + u'/' + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
}

void removeKept(const QString &folder, const QString &originalPath)
{
    const QString base = basePathIn(folder, originalPath);
    QFile::remove(base + QLatin1String(pathSuffix));
    QFile::remove(base + QLatin1String(textSuffix));
}

struct Kept
{
    QString folder;
    // Why the folders before it could not take the text.
    QList<Error> refusals;
};

// Throws Error when no folder takes the text.
Kept keepIn(const QStringList &folders, const QString &originalPath, const ByteParts &bytes)
{
    Kept kept;
    for (const QString &folder : folders) {
        try {
            openOwnFolder(folder, true);
            DurableWriter::Options options;
            options.followLinks = false;
            options.newFileMode = fileMode;
            // The text first: a path without its text is never listed.
            const QString base = basePathIn(folder, originalPath);
            DurableWriter::replace(base + QLatin1String(textSuffix), bytes, options);
            DurableWriter::replace(base + QLatin1String(pathSuffix),
                                   FileNames::encodeName(QFileInfo(originalPath).absoluteFilePath()), options);
        } catch (const Error &error) {
            kept.refusals.append(error);
            continue;
        }
        kept.folder = folder;
        // One copy, the newest: an older one elsewhere would be offered beside it after a crash.
        for (const QString &other : folders) {
            try {
                if (other != folder && openOwnFolder(other, false).get() >= 0)
                    removeKept(other, originalPath);
            } catch (const Error &) {
            }
        }
        return kept;
    }
    QStringList causes;
    for (const Error &refusal : std::as_const(kept.refusals))
        causes.append(refusal.description());
    const int code = kept.refusals.isEmpty() ? ENOENT : kept.refusals.constFirst().code();
    throw Error(
        QString::fromUtf16(ErrorDomain::posix), code,
        RecoveryStore::tr("The text of “%1” cannot be kept for recovery; keep its window open or use Save As…. %2")
            .arg(QFileInfo(originalPath).fileName(), causes.join(u' ')));
}

} // namespace

RecoveryStore::RecoveryStore(QString folder, QStringList fallbacks)
    : m_folders(QStringList{std::move(folder)} + fallbacks)
    , m_reporter(std::make_unique<QObject>())
    , m_keeper(std::make_unique<QThreadPool>())
{
    m_keeper->setMaxThreadCount(1);
    for (const QString &own : m_folders) {
        try {
            tightenFiles(openOwnFolder(own, false).get());
        } catch (const Error &) {
            // Missing, or not the user's: a keep finds the next place and says so.
        }
    }
}

RecoveryStore::~RecoveryStore()
{
    finishKeeping();
}

bool RecoveryStore::finishKeeping(int timeoutMs) const
{
    return m_keeper->waitForDone(timeoutMs);
}

QString RecoveryStore::defaultFolder(const QString &appDirName)
{
    return FileNames::stateFolder(appDirName) + QStringLiteral("/recovery");
}

QStringList RecoveryStore::defaultFallbacks(const QString &appDirName)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || QDir::isRelativePath(runtime))
        return {};
    // Only the user's own, as the XDG base directory rules require of it: a real folder, 0700. In one that is
    // anyone else's, they could rename or replace the recovery folder under it.
    struct stat info
    {};
    if (::lstat(FileNames::encodeName(runtime).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 07777) != folderMode)
        return {};
    return {runtime + u'/' + appDirName + QStringLiteral("/recovery")};
}

QString RecoveryStore::keep(const QString &originalPath, const QByteArray &bytes)
{
    finishKeeping();
    return keepIn(m_folders, originalPath, bytes).folder;
}

void RecoveryStore::keepLater(const QString &originalPath, std::function<ByteParts()> bytesOf, Report report)
{
    // The store outlives its keeps (its destructor waits for them), and so does the reporter.
    m_keeper->start([folders = m_folders, reporter = m_reporter.get(), originalPath, bytesOf = std::move(bytesOf),
                     report = std::move(report)] {
        Error notice;
        try {
            const Kept kept = keepIn(folders, originalPath, bytesOf());
            if (kept.refusals.isEmpty())
                return;
            notice = Error(
                QString::fromUtf16(ErrorDomain::posix), kept.refusals.constFirst().code(),
                RecoveryStore::tr("The text of “%1” is kept in “%2” until it is saved. %3")
                    .arg(QFileInfo(originalPath).fileName(), kept.folder, kept.refusals.constFirst().description()));
        } catch (const Error &error) {
            notice = error;
        }
        if (report)
            QMetaObject::invokeMethod(
                reporter, [report, notice] { report(notice); }, Qt::QueuedConnection);
    });
}

QStringList RecoveryStore::ownFolders() const
{
    QStringList own;
    for (const QString &folder : m_folders) {
        try {
            openOwnFolder(folder, false);
            own.append(folder);
        } catch (const Error &) {
        }
    }
    return own;
}

void RecoveryStore::discard(const QString &originalPath)
{
    finishKeeping();
    for (const QString &folder : ownFolders())
        removeKept(folder, originalPath);
}

bool RecoveryStore::holds(const QString &originalPath) const
{
    finishKeeping();
    const QStringList folders = ownFolders();
    return std::any_of(folders.begin(), folders.end(), [&originalPath](const QString &folder) {
        const QString base = basePathIn(folder, originalPath);
        return QFileInfo::exists(base + QLatin1String(pathSuffix)) &&
               QFileInfo::exists(base + QLatin1String(textSuffix));
    });
}

QList<RecoveryStore::Entry> RecoveryStore::entries() const
{
    finishKeeping();
    QList<Entry> found;
    QSet<QString> originals;
    for (const QString &folder : ownFolders()) {
        const QDir dir(folder);
        const QStringList names =
            dir.entryList({QStringLiteral("*") + QLatin1String(pathSuffix)}, QDir::Files, QDir::Name);
        for (const QString &name : names) {
            QFile pathFile(dir.filePath(name));
            if (!pathFile.open(QIODevice::ReadOnly))
                continue;
            const QString original = FileNames::decodeName(pathFile.readAll());
            const QString text = dir.filePath(name.chopped(int(qstrlen(pathSuffix))) + QLatin1String(textSuffix));
            if (!original.isEmpty() && QFileInfo::exists(text) && !originals.contains(original)) {
                originals.insert(original);
                found.append({original, text});
            }
        }
    }
    return found;
}
