#include "interruptedsavelog.h"

#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int maxNameTries = 100;

} // namespace

InterruptedSaveLog::InterruptedSaveLog(const QString &folder)
    : m_folder(folder)
{}

QString InterruptedSaveLog::defaultFolder(const QString &appDirName)
{
    return FileNames::stateFolder(appDirName) + QStringLiteral("/interrupted");
}

QByteArray InterruptedSaveLog::add(const QByteArray &target)
{
    const QString &where = m_folder;
    if (where.isEmpty())
        return {};
    PosixFile::Descriptor folder;
    try {
        // Never through a link: the log's folder is made private, and nothing else.
        folder = PosixFile::openPrivateFolder(where, true);
    } catch (const Error &) {
        return {};
    }
    const QByteArray encoded = FileNames::encodeName(where);
    // A link that names the note: made and synced at once, and read back without parsing anything.
    for (int attempt = 0; attempt < maxNameTries; ++attempt) {
        const QByteArray name = QByteArray::number(QRandomGenerator::global()->generate(), 36);
        if (::symlinkat(target.constData(), folder.get(), name.constData()) == 0)
            return ::fsync(folder.get()) == 0 ? encoded + '/' + name : QByteArray();
        if (errno != EEXIST)
            return {};
    }
    return {};
}

void InterruptedSaveLog::remove(const QByteArray &entry)
{
    if (!entry.isEmpty())
        ::unlink(entry.constData());
}

void InterruptedSaveLog::repairAll()
{
    const QString &where = m_folder;
    if (where.isEmpty())
        return;
    DIR *dir = nullptr;
    try {
        dir = ::fdopendir(::fcntl(PosixFile::openPrivateFolder(where, false).get(), F_DUPFD_CLOEXEC, 0));
    } catch (const Error &) {
    }
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t length = ::readlinkat(dirFd, entry->d_name, target.data(), target.size());
        if (length <= 0)
            continue;
        target.truncate(length);
        const InPlaceSave::Repair repair = InPlaceSave::repair(FileNames::decodeName(target), nullptr);
        if (repair.outcome != InPlaceSave::Repair::Outcome::Nothing) {
            const QMutexLocker lock(&m_mutex);
            m_reports.insert(target, repair);
        }
        if (!repair.failure)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

std::optional<InPlaceSave::Repair> InterruptedSaveLog::takeReport(const QByteArray &target)
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_reports.constFind(target);
    if (found == m_reports.constEnd())
        return std::nullopt;
    const InPlaceSave::Repair repair = *found;
    m_reports.remove(target);
    return repair;
}
