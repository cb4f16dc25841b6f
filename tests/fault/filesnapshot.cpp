#include "filesnapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// Every name=value pair, in the order the file system lists them.
QByteArray extendedAttributes(const QByteArray &path)
{
    QByteArray names(65536, Qt::Uninitialized);
    const ssize_t size = ::llistxattr(path.constData(), names.data(), names.size());
    QByteArray result;
    for (ssize_t at = 0; at < size; at += ssize_t(std::strlen(names.constData() + at)) + 1) {
        QByteArray value(65536, Qt::Uninitialized);
        const ssize_t length = ::lgetxattr(path.constData(), names.constData() + at, value.data(), value.size());
        result += QByteArray(names.constData() + at) + '=' + value.left(qMax<ssize_t>(length, 0)) + '\n';
    }
    return result;
}

} // namespace

FileSnapshot FileSnapshot::take(const QString &path)
{
    FileSnapshot shot;
    shot.m_fields[QStringLiteral("folder")] =
        QDir(QFileInfo(path).absolutePath())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info
    {};
    if (::lstat(encoded.constData(), &info) != 0)
        return shot;
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    target.truncate(qMax<ssize_t>(::readlink(encoded.constData(), target.data(), target.size()), 0));
    QFile file(path);
    const bool regular = S_ISREG(info.st_mode) && file.open(QIODevice::ReadOnly);
    shot.m_fields.insert(QMap<QString, QVariant>{
        {QStringLiteral("content"),
         regular ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256) : QByteArray()},
        {QStringLiteral("group"), qulonglong(info.st_gid)},
        {QStringLiteral("inode"), qulonglong(info.st_ino)},
        {QStringLiteral("link"), target},
        {QStringLiteral("links"), qulonglong(info.st_nlink)},
        {QStringLiteral("mode"), uint(info.st_mode)},
        {QStringLiteral("owner"), qulonglong(info.st_uid)},
        {QStringLiteral("xattrs"), extendedAttributes(encoded)}});
    return shot;
}

QStringList FileSnapshot::changes(const FileSnapshot &before) const
{
    QMap<QString, QVariant> all = m_fields;
    all.insert(before.m_fields);
    QStringList result;
    for (auto field = all.cbegin(); field != all.cend(); ++field) {
        if (m_fields.value(field.key()) != before.m_fields.value(field.key()))
            result << field.key();
    }
    return result;
}
