// Fault injection for the file layer, loaded with LD_PRELOAD into a test process.
//
// It wraps the calls a save makes (open, write, close, fsync, rename, renameat2, link), and reads, and for the calls
// chosen by the environment fails them with an errno, kills the process, delays them or holds them:
//   FAULT_CALL         comma list of call families: open, write (write, writev, pwrite), close, fsync, rename (rename,
//                      renameat2), link, any; read and pread only when named
//   FAULT_PATH_SUBSTR  only calls whose path (or the fd's path) contains this text
//   FAULT_AFTER        let this many matching calls through first (default 0)
//   FAULT_TIMES        act on at most this many matching calls (default: all of them)
//   FAULT_ERRNO        fail the call with this errno number; close still closes the fd
//   FAULT_KILL         "before" or "after": SIGKILL the process before the call is made or right after it returns
//   FAULT_DELAY_MS     sleep this long before the call
//   FAULT_WAIT_FILE    hold the call until this file exists (traced as "waiting" first), for a test to act meanwhile
//   FAULT_TRACE        a file to append a trace of every wrapped call to
// Trace lines read "faultinject: <symbol> <path> = <result>" or "faultinject: <symbol> <path> injected <errno>".
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

// killWhen: 1 before the call, 2 after it.
static int configured, injectErrno, killWhen, traceFd = -1;
static const char *callList, *pathSubstr, *waitFile;
static int readListed;
static long after, times = -1, delayMs, matched, acted;

static long number(const char *name, long otherwise)
{
    const char *value = getenv(name);
    return value ? atol(value) : otherwise;
}

static void configure(void)
{
    if (configured)
        return;
    configured = 1;
    callList = getenv("FAULT_CALL");
    pathSubstr = getenv("FAULT_PATH_SUBSTR");
    waitFile = getenv("FAULT_WAIT_FILE");
    after = number("FAULT_AFTER", 0);
    times = number("FAULT_TIMES", -1);
    injectErrno = (int)number("FAULT_ERRNO", 0);
    delayMs = number("FAULT_DELAY_MS", 0);
    const char *value = getenv("FAULT_KILL");
    killWhen = !value ? 0 : strcmp(value, "after") == 0 ? 2 : 1;
    if ((value = getenv("FAULT_TRACE")))
        traceFd = (int)syscall(SYS_openat, AT_FDCWD, value, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    // Reads are many (the event loop's too), so "any" leaves them alone.
    for (const char *at = callList; at && *at;) {
        const char *end = strchr(at, ',');
        const size_t length = end ? (size_t)(end - at) : strlen(at);
        readListed |= (length == 4 && strncmp(at, "read", 4) == 0) || (length == 5 && strncmp(at, "pread", 5) == 0);
        at = end ? end + 1 : "";
    }
}

static void trace(const char *symbol, const char *path, const char *outcome, long result)
{
    char line[4352];
    const int length = outcome ? snprintf(line, sizeof line, "faultinject: %s %s %s\n", symbol, path, outcome)
                               : snprintf(line, sizeof line, "faultinject: %s %s = %ld\n", symbol, path, result);
    if (traceFd >= 0 && length > 0)
        syscall(SYS_write, traceFd, line, (size_t)(length < (int)sizeof line ? length : (int)sizeof line - 1));
}

static int listed(const char *family)
{
    for (const char *at = callList; at && *at;) {
        const char *end = strchr(at, ',');
        const size_t length = end ? (size_t)(end - at) : strlen(at);
        if ((length == 3 && strncmp(at, "any", 3) == 0) ||
            (length == strlen(family) && strncmp(at, family, length) == 0))
            return 1;
        at = end ? end + 1 : "";
    }
    return 0;
}

// The path a descriptor names, for fd calls; "-" when it cannot be read.
static void fdPath(int fd, char *out, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, out, size - 1);
    strcpy(out + (length < 0 ? 0 : length), length < 0 ? "-" : "");
}

// A path relative to a directory descriptor, made absolute so that FAULT_PATH_SUBSTR sees the folder.
static void atPath(int dirFd, const char *path, char *out, size_t size)
{
    char folder[4096] = "";
    if (path[0] != '/') {
        if (dirFd == AT_FDCWD) {
            if (!getcwd(folder, sizeof folder))
                folder[0] = '\0';
        } else {
            fdPath(dirFd, folder, sizeof folder);
        }
    }
    snprintf(out, size, "%s%s%s", folder, folder[0] ? "/" : "", path);
}

// Decides what happens to one call: 0 let it run, 1 fail it (errno set), 2 kill after it.
static int before(const char *symbol, const char *family, const char *path)
{
    configure();
    if (!listed(family) || (pathSubstr && !strstr(path, pathSubstr)))
        return 0;
    if (matched++ < after || (times >= 0 && acted >= times))
        return 0;
    ++acted;
    if (delayMs > 0) {
        trace(symbol, path, "delayed", 0);
        struct timespec pause = {delayMs / 1000, (delayMs % 1000) * 1000000L};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
    if (waitFile) {
        trace(symbol, path, "waiting", 0);
        const struct timespec pause = {0, 10000000L};
        while (access(waitFile, F_OK) != 0)
            nanosleep(&pause, NULL);
    }
    if (killWhen == 1)
        kill(getpid(), SIGKILL);
    if (killWhen == 2)
        return 2;
    if (injectErrno) {
        char outcome[64];
        snprintf(outcome, sizeof outcome, "injected %d", injectErrno);
        trace(symbol, path, outcome, 0);
        errno = injectErrno;
        return 1;
    }
    return 0;
}

static long finish(const char *symbol, const char *path, int decision, long result)
{
    const int saved = errno;
    trace(symbol, path, NULL, result < 0 ? -saved : result);
    if (decision == 2)
        kill(getpid(), SIGKILL);
    errno = saved;
    return result;
}

// The real calls go straight to the kernel, so no wrapper needs the next library's symbol.
static long pathCall(const char *symbol, const char *family, const char *path, long number, long a, long b, long c,
                     long d, long e)
{
    const int decision = before(symbol, family, path);
    if (decision == 1)
        return finish(symbol, path, 0, -1);
    return finish(symbol, path, decision, syscall(number, a, b, c, d, e));
}

static int openAt(const char *symbol, int dirFd, const char *file, int flags, va_list args)
{
    const int mode = flags & O_CREAT ? va_arg(args, int) : 0;
    char path[4096];
    atPath(dirFd, file, path, sizeof path);
    return (int)pathCall(symbol, "open", path, SYS_openat, dirFd, (long)file, flags, mode, 0);
}

// Every open and openat symbol; the parameters before the file, if any, come last.
#define OPEN(name, dir, ...)                                                                                           \
    int name(__VA_ARGS__ const char *file, int flags, ...)                                                             \
    {                                                                                                                  \
        va_list args;                                                                                                  \
        va_start(args, flags);                                                                                         \
        const int fd = openAt(#name, dir, file, flags, args);                                                          \
        va_end(args);                                                                                                  \
        return fd;                                                                                                     \
    }
OPEN(open, AT_FDCWD)
OPEN(open64, AT_FDCWD)
OPEN(__open_2, AT_FDCWD)
OPEN(__open64_2, AT_FDCWD)
OPEN(openat, dirFd, int dirFd, )
OPEN(openat64, dirFd, int dirFd, )

static ssize_t writeCall(const char *symbol, long number, int fd, long data, long size)
{
    configure();
    // The trace's own descriptor and the standard streams are never faults of the file layer.
    if (fd == traceFd || fd <= 2 || !callList)
        return syscall(number, fd, data, size);
    char path[4096];
    fdPath(fd, path, sizeof path);
    return pathCall(symbol, "write", path, number, fd, data, size, 0, 0);
}

ssize_t write(int fd, const void *data, size_t size)
{
    return writeCall("write", SYS_write, fd, (long)data, (long)size);
}

ssize_t writev(int fd, const struct iovec *slices, int count)
{
    return writeCall("writev", SYS_writev, fd, (long)slices, (long)count);
}

static ssize_t readCall(const char *symbol, const char *family, long number, int fd, void *data, size_t size,
                        off_t offset)
{
    configure();
    if (!readListed || fd <= 2 || fd == traceFd)
        return syscall(number, fd, data, size, offset);
    char path[4096];
    fdPath(fd, path, sizeof path);
    return pathCall(symbol, family, path, number, fd, (long)data, (long)size, (long)offset, 0);
}

ssize_t read(int fd, void *data, size_t size)
{
    return readCall("read", "read", SYS_read, fd, data, size, 0);
}

ssize_t pread(int fd, void *data, size_t size, off_t offset)
{
    return readCall("pread", "pread", SYS_pread64, fd, data, size, offset);
}

ssize_t pread64(int fd, void *data, size_t size, off_t offset)
{
    return readCall("pread64", "pread", SYS_pread64, fd, data, size, offset);
}

static ssize_t writeAt(const char *symbol, int fd, const void *data, size_t size, off_t offset)
{
    configure();
    if (!callList)
        return syscall(SYS_pwrite64, fd, data, size, offset);
    char path[4096];
    fdPath(fd, path, sizeof path);
    return pathCall(symbol, "write", path, SYS_pwrite64, fd, (long)data, (long)size, (long)offset, 0);
}

ssize_t pwrite(int fd, const void *data, size_t size, off_t offset)
{
    return writeAt("pwrite", fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void *data, size_t size, off_t offset)
{
    return writeAt("pwrite64", fd, data, size, offset);
}

int close(int fd)
{
    configure();
    if (fd == traceFd || !callList)
        return (int)syscall(SYS_close, fd);
    char path[4096];
    fdPath(fd, path, sizeof path);
    const int decision = before("close", "close", path);
    // Linux always releases the descriptor, even when close reports an error.
    const long result = syscall(SYS_close, fd);
    if (decision == 1)
        errno = injectErrno;
    return (int)finish("close", path, decision == 1 ? 0 : decision, decision == 1 ? -1 : result);
}

int fsync(int fd)
{
    configure();
    char path[4096];
    fdPath(fd, path, sizeof path);
    return (int)pathCall("fsync", "fsync", path, SYS_fsync, fd, 0, 0, 0, 0);
}

// Both paths of a rename or link are matched, as "from>to"; every one is made as renameat2 or linkat.
static int twoPaths(const char *symbol, const char *family, long number, int fromDir, const char *from, int toDir,
                    const char *to, unsigned int flags)
{
    char fromPath[4096], toPath[4096], both[8300];
    atPath(fromDir, from, fromPath, sizeof fromPath);
    atPath(toDir, to, toPath, sizeof toPath);
    snprintf(both, sizeof both, "%s>%s", fromPath, toPath);
    return (int)pathCall(symbol, family, both, number, fromDir, (long)from, toDir, (long)to, flags);
}

int rename(const char *from, const char *to)
{
    return twoPaths("rename", "rename", SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 0);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    return twoPaths("renameat2", "rename", SYS_renameat2, fromDir, from, toDir, to, flags);
}

int link(const char *from, const char *to)
{
    return twoPaths("link", "link", SYS_linkat, AT_FDCWD, from, AT_FDCWD, to, 0);
}
