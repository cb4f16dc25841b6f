/* Makes one wrapped call on a scratch file in a folder and prints what came back, so a test can prove that the fault
 * injection library really sees each call (glibc may route a call through another symbol).
 * Usage: faultprobe CALL FOLDER, where CALL is one of the names in the table below.
 * Prints "ok" and exits 0, or prints the errno's number and exits 1. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static char folder[4096];

static void at(char *out, size_t size, const char *name)
{
    snprintf(out, size, "%s/%s", folder, name);
}

static int prepared(const char *name)
{
    char path[4400];
    at(path, sizeof path, name);
    return open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

static int run(const char *call)
{
    char a[4400];
    char b[4400];
    at(a, sizeof a, "a");
    at(b, sizeof b, "b");
    if (strcmp(call, "open") == 0)
        return open(a, O_WRONLY | O_CREAT | O_CLOEXEC, 0644) < 0 ? -1 : 0;
    if (strcmp(call, "openat") == 0) {
        const int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return openat(dir, "a", O_WRONLY | O_CREAT | O_CLOEXEC, 0644) < 0 ? -1 : 0;
    }
    if (strcmp(call, "tmpfile") == 0)
        return open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) < 0 ? -1 : 0;
    if (strcmp(call, "creat") == 0)
        return creat(a, 0644) < 0 ? -1 : 0;
    const int fd = prepared("a");
    if (fd < 0)
        return -1;
    if (strcmp(call, "write") == 0)
        return write(fd, "x", 1) == 1 ? 0 : -1;
    if (strcmp(call, "close") == 0)
        return close(fd);
    if (strcmp(call, "fsync") == 0)
        return fsync(fd);
    if (strcmp(call, "fdatasync") == 0)
        return fdatasync(fd);
    if (strcmp(call, "rename") == 0)
        return rename(a, b);
    if (strcmp(call, "renameat") == 0)
        return renameat(AT_FDCWD, a, AT_FDCWD, b);
    if (strcmp(call, "renameat2") == 0)
        return renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_NOREPLACE);
    if (strcmp(call, "link") == 0)
        return link(a, b);
    if (strcmp(call, "linkat") == 0)
        return linkat(AT_FDCWD, a, AT_FDCWD, b, 0);
    errno = EINVAL;
    return -1;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: faultprobe CALL FOLDER\n");
        return 2;
    }
    snprintf(folder, sizeof folder, "%s", argv[2]);
    if (run(argv[1]) != 0) {
        printf("%d\n", errno);
        return 1;
    }
    printf("ok\n");
    return 0;
}
