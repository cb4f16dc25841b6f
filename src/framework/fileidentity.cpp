#include "fileidentity.h"

#include "framework/filenames.h"

#include <QFile>

#include <sys/stat.h>

FileIdentity FileIdentity::of(const QString &path)
{
    struct stat info
    {};
    if (::stat(FileNames::encodeName(path).constData(), &info) != 0)
        return {};
    return of(info);
}

FileIdentity FileIdentity::of(const struct stat &info)
{
    constexpr long long nsPerSecond = 1000000000LL;
    return {true,
            info.st_dev,
            info.st_ino,
            info.st_size,
            info.st_mtim.tv_sec * nsPerSecond + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * nsPerSecond + info.st_ctim.tv_nsec};
}
