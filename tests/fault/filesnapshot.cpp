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
#include <vector>

namespace {

QMap<QByteArray, QByteArray> extendedAttributes(const QByteArray &path)
{
    QMap<QByteArray, QByteArray> result;
    const ssize_t size = ::llistxattr(path.constData(), nullptr, 0);
    if (size <= 0)
        return result;
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t got = ::llistxattr(path.constData(), names.data(), names.size());
    for (ssize_t at = 0; at < got;) {
        const char *name = names.data() + at;
        at += static_cast<ssize_t>(std::strlen(name)) + 1;
        const ssize_t valueSize = ::lgetxattr(path.constData(), name, nullptr, 0);
        QByteArray value(valueSize > 0 ? valueSize : 0, Qt::Uninitialized);
        if (valueSize > 0)
            ::lgetxattr(path.constData(), name, value.data(), value.size());
        result.insert(name, value);
    }
    return result;
}

} // namespace

FileSnapshot FileSnapshot::take(const QString &path)
{
    FileSnapshot shot;
    const QByteArray encoded = QFile::encodeName(path);
    shot.m_folder = QDir(QFileInfo(path).absolutePath())
                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    struct stat info
    {};
    if (::lstat(encoded.constData(), &info) != 0)
        return shot;
    shot.m_exists = true;
    shot.m_inode = info.st_ino;
    shot.m_links = info.st_nlink;
    shot.m_owner = info.st_uid;
    shot.m_group = info.st_gid;
    shot.m_mode = info.st_mode & 07777;
    shot.m_xattrs = extendedAttributes(encoded);
    if (S_ISLNK(info.st_mode)) {
        shot.m_type = QStringLiteral("link");
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(encoded.constData(), target.data(), target.size());
        shot.m_linkTarget = target.left(length > 0 ? length : 0);
    } else if (S_ISREG(info.st_mode)) {
        shot.m_type = QStringLiteral("file");
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            shot.m_sha256 = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    } else {
        shot.m_type = QStringLiteral("other");
    }
    return shot;
}

QStringList FileSnapshot::changes(const FileSnapshot &before) const
{
    QStringList result;
    const std::pair<bool, const char *> fields[] = {{m_exists != before.m_exists, "exists"},
                                                    {m_type != before.m_type, "type"},
                                                    {m_linkTarget != before.m_linkTarget, "link"},
                                                    {m_sha256 != before.m_sha256, "content"},
                                                    {m_inode != before.m_inode, "inode"},
                                                    {m_links != before.m_links, "links"},
                                                    {m_owner != before.m_owner, "owner"},
                                                    {m_group != before.m_group, "group"},
                                                    {m_mode != before.m_mode, "mode"},
                                                    {m_xattrs != before.m_xattrs, "xattrs"},
                                                    {m_folder != before.m_folder, "folder"}};
    for (const auto &[differs, name] : fields) {
        if (differs)
            result << QString::fromLatin1(name);
    }
    return result;
}
