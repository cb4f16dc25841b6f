#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

// What a user could notice about a note and its folder: the bytes (as SHA-256), the inode, link count, owner,
// group, type and mode, extended attributes (ACLs included) and the folder's listing. A symbolic link is recorded
// as a link; it is not followed.
class FileSnapshot
{
public:
    static FileSnapshot take(const QString &path);

    // The names of what differs from before, in name order: "content", "folder", "group", "inode", "link",
    // "links", "mode", "owner", "xattrs".
    QStringList changes(const FileSnapshot &before) const;

private:
    QMap<QString, QVariant> m_fields;
};
