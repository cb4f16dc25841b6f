#include "inplacesave.h"

#include "framework/durablewriter.h"
#include "framework/filenames.h"
#include "framework/interruptedsavelog.h"
#include "framework/posixfile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace PosixFile;

namespace {

constexpr char backupMagic[] = "nolt in-place backup 1\n";
constexpr qsizetype magicLength = sizeof backupMagic - 1;
constexpr int maxNameTries = 100;

QString saveAction()
{
    return QCoreApplication::translate("DurableWriter", "Could not save");
}

QString repairAction()
{
    return QCoreApplication::translate("InPlaceSave", "Could not put back the last complete version of");
}

QByteArray digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

// Which file a backup was made for: its device and inode, and its birth where the file system keeps one, so that an
// inode number used again by a later file is not taken for it.
struct NoteIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 bornNs = 0;

    static NoteIdentity of(int fd)
    {
        struct statx info
        {};
        if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &info) != 0)
            return {};
        const qint64 born = (info.stx_mask & STATX_BTIME) != 0
                                ? qint64(info.stx_btime.tv_sec) * 1000000000LL + info.stx_btime.tv_nsec
                                : 0;
        return {quint64(::makedev(info.stx_dev_major, info.stx_dev_minor)), info.stx_ino, born};
    }
    bool names(const NoteIdentity &now) const
    {
        return inode != 0 && device == now.device && inode == now.inode &&
               (bornNs == 0 || now.bornNs == 0 || bornNs == now.bornNs);
    }
};

// A backup as written since its format records what it is for; an older one holds the old text alone.
struct Backup
{
    bool recorded = false;
    NoteIdentity note;
    qsizetype oldSize = -1;
    QByteArray oldDigest;
    qsizetype newSize = -1;
    QByteArray newDigest;
    QByteArray oldText;

    static QByteArray header(const NoteIdentity &note, const QByteArray &oldText, const QByteArray &newText)
    {
        return backupMagic + QByteArray::number(note.device) + ' ' + QByteArray::number(note.inode) + ' ' +
               QByteArray::number(note.bornNs) + '\n' + QByteArray::number(oldText.size()) + ' ' + digestOf(oldText) +
               '\n' + QByteArray::number(newText.size()) + ' ' + digestOf(newText) + "\n\n";
    }

    static Backup parse(const QByteArray &bytes)
    {
        Backup backup;
        if (!bytes.startsWith(backupMagic)) {
            backup.oldText = bytes;
            return backup;
        }
        backup.recorded = true; // a header cut short proves nothing, and its text is never used
        const qsizetype end = bytes.indexOf("\n\n", magicLength);
        const QList<QByteArray> lines = bytes.mid(magicLength, end - magicLength).split('\n');
        if (end < 0 || lines.size() != 3)
            return backup;
        const QList<QByteArray> note = lines.at(0).split(' '), old = lines.at(1).split(' '),
                                intended = lines.at(2).split(' ');
        if (note.size() != 3 || old.size() != 2 || intended.size() != 2)
            return backup;
        backup.note = {note.at(0).toULongLong(), note.at(1).toULongLong(), note.at(2).toLongLong()};
        backup.oldSize = old.at(0).toLongLong();
        backup.oldDigest = old.at(1);
        backup.newSize = intended.at(0).toLongLong();
        backup.newDigest = intended.at(1);
        backup.oldText = bytes.mid(end + 2);
        return backup;
    }

    bool whole() const { return !recorded || (oldText.size() == oldSize && digestOf(oldText) == oldDigest); }
    // The note holds a complete text this backup knows: the one before the rewrite, or the one it was to write.
    bool outdatedBy(const NoteIdentity &identity, const QByteArray &noteText) const
    {
        if (!recorded)
            return noteText == oldText;
        if (!note.names(identity))
            return false;
        const QByteArray digest = digestOf(noteText);
        return (noteText.size() == newSize && digest == newDigest) ||
               (noteText.size() == oldSize && digest == oldDigest);
    }
    // Proof that the rewrite was cut: shorter than, or other than, the text it was to write. An older backup knows no
    // such text; only a note that is no longer UTF-8 while the backup is counts as cut then.
    bool cuts(const NoteIdentity &identity, const QByteArray &noteText) const
    {
        if (!whole())
            return false;
        if (!recorded)
            return isUtf8(oldText) && !isUtf8(noteText);
        return note.names(identity) && (noteText.size() < newSize || digestOf(noteText) != newDigest);
    }
};

// Puts data in the open file in place of its content and syncs it.
int rewriteFile(int fd, const QByteArray &data)
{
    struct stat info
    {};
    if (::fstat(fd, &info) != 0)
        return errno;
    // Room for a longer text is taken first, so that a full disk fails before the first byte changes.
    if (data.size() > info.st_size && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, data.size()) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    // The whole new text first, in as few calls as the system takes, and the cut of a shorter one last: the file is
    // never shorter than the text it is to hold.
    for (qsizetype at = 0; at < data.size();) {
        const ssize_t put =
            retryEintr([&] { return ::pwrite(fd, data.constData() + at, size_t(data.size() - at), off_t(at)); });
        if (put < 0)
            return errno;
        if (put == 0)
            return EIO;
        at += put;
    }
    if (data.size() < info.st_size && ::ftruncate(fd, data.size()) != 0)
        return errno;
    return ::fsync(fd) != 0 ? errno : 0;
}

// Whether the file holds exactly text, read back.
bool holds(int fd, const QByteArray &text)
{
    QByteArray now;
    return readAllFrom(fd, now) == 0 && now == text;
}

// A visible copy of the note's text beside it, "<name> (interrupted save).<extension>", numbered when taken.
int keepCutCopy(int dirFd, const QByteArray &folder, const QByteArray &name, const QByteArray &text, mode_t mode,
                QByteArray &kept)
{
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray extension = dot > 0 ? name.mid(dot) : QByteArray();
    for (int number = 1; number <= maxNameTries; ++number) {
        const QString mark = number == 1
                                 ? QCoreApplication::translate("InPlaceSave", " (interrupted save)")
                                 : QCoreApplication::translate("InPlaceSave", " (interrupted save %1)").arg(number);
        const QByteArray suffix = FileNames::encodeName(mark) + extension;
        QByteArray stem = dot > 0 ? name.left(dot) : name;
        if (stem.size() + suffix.size() > maxNameBytes) {
            stem.truncate(std::max<qsizetype>(0, maxNameBytes - suffix.size()));
            // Never a character cut in two: its continuation bytes and its lead go.
            while (!stem.isEmpty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80)
                stem.chop(1);
            if (!stem.isEmpty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0xC0)
                stem.chop(1);
        }
        kept = stem + suffix;
        const int fd = retryEintr([&] {
            return ::openat(dirFd, kept.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        });
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return errno;
        ::fchmod(fd, mode & 0666);
        int failure = writeAll(fd, text.constData(), text.size());
        if (failure == 0 && ::fsync(fd) != 0)
            failure = errno;
        if (::close(fd) != 0 && errno != EINTR && failure == 0)
            failure = errno;
        if (failure == 0)
            failure = syncFolder(folder);
        if (failure != 0)
            ::unlinkat(dirFd, kept.constData(), 0);
        return failure;
    }
    return EEXIST;
}

// Removes the backup's name only while it still names the file that was read.
void removeBackup(int dirFd, const char *name, int fd)
{
    struct stat there
    {};
    struct stat held
    {};
    if (::fstatat(dirFd, name, &there, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &held) == 0 &&
        there.st_dev == held.st_dev && there.st_ino == held.st_ino)
        ::unlinkat(dirFd, name, 0);
}

InPlaceSave::Repair repairTarget(const QString &path, const QByteArray &target)
{
    using Repair = InPlaceSave::Repair;
    Repair repair;
    const QByteArray folder = folderOf(target), name = fileNameOf(target);
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return repair;
    const int dirFd = ::dirfd(dir);
    // The note is read only when a backup's name is there: opening a note must not read it twice.
    QList<QByteArray> backups;
    while (const dirent *entry = ::readdir(dir)) {
        if (isTemporaryOf(QByteArray(entry->d_name), name, Temporary::Kind::Backup))
            backups.append(QByteArray(entry->d_name));
    }
    bool writable = true;
    int noteFd = -1;
    if (!backups.isEmpty()) {
        noteFd = retryEintr([&] { return ::open(target.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
        if (noteFd < 0 && errno != ENOENT && errno != ELOOP) {
            writable = false;
            noteFd =
                retryEintr([&] { return ::open(target.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
        }
    }
    const Descriptor note(noteFd);
    struct stat noteInfo
    {};
    QByteArray noteText;
    if (note.get() < 0 || ::fstat(note.get(), &noteInfo) != 0 || !S_ISREG(noteInfo.st_mode) ||
        readAllFrom(note.get(), noteText) != 0) {
        ::closedir(dir);
        return repair; // reading the note says what is wrong with it
    }
    const NoteIdentity identity = NoteIdentity::of(note.get());
    for (const QByteArray &entry : std::as_const(backups)) {
        const Descriptor found(::openat(dirFd, entry.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info
        {};
        // Ours only: made by this user, and writable by nobody else since. A locked one belongs to a rewrite that is
        // still running.
        if (found.get() < 0 || ::fstat(found.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 || info.st_nlink != 1 ||
            ::flock(found.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        QByteArray bytes;
        if (readAllFrom(found.get(), bytes) != 0)
            continue;
        const Backup backup = Backup::parse(bytes);
        bytes.clear();
        const QString backupName = FileNames::decodeName(entry);
        if (backup.outdatedBy(identity, noteText)) {
            removeBackup(dirFd, entry.constData(), found.get());
            continue;
        }
        if (repair.outcome != Repair::Outcome::Nothing || !backup.cuts(identity, noteText)) {
            if (repair.outcome == Repair::Outcome::Nothing)
                repair.outcome = Repair::Outcome::LeftoverKept;
            if (repair.leftover.isEmpty())
                repair.leftover = backupName;
            continue;
        }
        // What the note holds now is kept beside it before anything is put back, and the backup goes only once the
        // note is read back whole.
        QByteArray copy;
        int failure = writable ? keepCutCopy(dirFd, folder, name, noteText, noteInfo.st_mode, copy) : EACCES;
        if (failure == 0)
            failure = rewriteFile(note.get(), backup.oldText);
        if (failure == 0 && !holds(note.get(), backup.oldText))
            failure = EIO;
        repair.cutCopy = copy.isEmpty() ? QString() : FileNames::decodeName(copy);
        if (failure != 0) {
            repair = {Repair::Outcome::LeftoverKept, backupName, repair.cutCopy,
                      Error::fromErrno(failure, repairAction(), path)};
            continue;
        }
        removeBackup(dirFd, entry.constData(), found.get());
        (void)syncFolder(folder);
        repair.outcome = Repair::Outcome::PutBack;
        noteText = backup.oldText;
    }
    ::closedir(dir);
    return repair;
}

} // namespace

FileIdentity InPlaceSave::rewrite(const QString &path, const QByteArray &target, const QByteArray &data,
                                  InterruptedSaveLog *log, const FileIdentity *expected)
{
    const QByteArray folder = folderOf(target);
    const Descriptor note(retryEintr([&] { return ::open(target.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC); }));
    if (note.get() < 0)
        throw Error::fromErrno(errno, saveAction(), path);
    // Every name of the file shows what is written here: another program's version in it is never written over.
    struct stat opened
    {};
    if (expected && expected->exists && (::fstat(note.get(), &opened) != 0 || FileIdentity::of(opened) != *expected))
        throw DurableWriter::OtherVersion{};
    QByteArray oldText;
    if (const int failure = readAllFrom(note.get(), oldText))
        throw Error::fromErrno(failure, saveAction(), path);

    // The backup is synced, name included, before the first byte of the note changes, and stays locked while the
    // note is rewritten: one left unlocked means the rewrite never completed.
    Temporary backup;
    if (const int failure = backup.create(folder, fileNameOf(target), Temporary::Kind::Backup))
        throw DurableWriter::folderError(failure, path);
    const QByteArray header = Backup::header(NoteIdentity::of(note.get()), oldText, data);
    int failure = writeAll(backup.fd(), header.constData(), header.size());
    if (failure == 0)
        failure = writeAll(backup.fd(), oldText.constData(), oldText.size());
    if (failure == 0 && ::fsync(backup.fd()) != 0)
        failure = errno;
    if (failure == 0)
        failure = syncFolder(folder);
    if (failure != 0)
        throw Error::fromErrno(failure, saveAction(), path);
    const QByteArray logged = log ? log->add(target) : QByteArray();

    failure = rewriteFile(note.get(), data);
    if (failure == 0 && !holds(note.get(), data))
        failure = EIO;
    if (failure != 0 && (rewriteFile(note.get(), oldText) != 0 || !holds(note.get(), oldText))) {
        // The note may now be partial; its old text stays in the backup, which is kept and named, and the log
        // brings it back at the next launch.
        backup.close();
        const QString kept = FileNames::decodeName(fileNameOf(backup.path()));
        backup.release();
        const Error error = Error::fromErrno(failure, saveAction(), path);
        throw Error(error.domain(), error.code(),
                    error.description() +
                        QCoreApplication::translate("DurableWriter", ". Its previous text is kept in “%1”.").arg(kept));
    }
    backup.discard();
    if (log)
        log->remove(logged);
    if (failure != 0)
        throw Error::fromErrno(failure, saveAction(), path);
    return ::fstat(note.get(), &opened) == 0 ? FileIdentity::of(opened) : FileIdentity::of(path);
}

InPlaceSave::Repair InPlaceSave::repair(const QString &path, InterruptedSaveLog *log)
{
    QByteArray target;
    try {
        target = FileNames::encodeName(DurableWriter::resolveLinks(path));
    } catch (const Error &) {
        return {}; // reading the file says what is wrong with it
    }
    const Repair repair = repairTarget(path, target);
    const std::optional<Repair> atLaunch = log ? log->takeReport(target) : std::nullopt;
    return repair.outcome == Repair::Outcome::Nothing && atLaunch ? *atLaunch : repair;
}
