#pragma once

#include <QString>

#include <sys/types.h>

struct stat;

// What a file looks like from outside: enough to notice that another program changed or replaced it, even when
// size and modification time stay the same (the change time and the inode still move).
struct FileIdentity
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    long long changedNs = 0;

    static FileIdentity of(const QString &path);
    static FileIdentity of(const struct stat &info);
    bool operator==(const FileIdentity &) const = default;
};
