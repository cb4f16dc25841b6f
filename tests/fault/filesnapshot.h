#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// What a user could notice about a note and its folder: the bytes (as SHA-256), the inode, link count, owner,
// group, mode, extended attributes (ACLs included) and the folder's listing. A symbolic link is recorded as a link;
// it is not followed.
class FileSnapshot
{
public:
    static FileSnapshot take(const QString &path);

    // The names of what differs from before: "exists", "type", "link", "content", "inode", "links", "owner",
    // "group", "mode", "xattrs", "folder".
    QStringList changes(const FileSnapshot &before) const;

    QStringList folder() const { return m_folder; }

private:
    bool m_exists = false;
    QString m_type;
    QByteArray m_linkTarget;
    QByteArray m_sha256;
    ino_t m_inode = 0;
    nlink_t m_links = 0;
    uid_t m_owner = 0;
    gid_t m_group = 0;
    mode_t m_mode = 0;
    QMap<QByteArray, QByteArray> m_xattrs;
    QStringList m_folder;
};
