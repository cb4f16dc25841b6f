// Fault injection for the file layer, loaded with LD_PRELOAD into a test process.
//
// It wraps the calls a save makes (open, write, close, fsync, rename, renameat2, link) and, for the calls chosen by
// the environment, fails them with an errno, kills the process, or delays them:
//   FAULT_CALL         comma list of call families: open, write, close, fsync, rename (rename, renameat2), link, any
//   FAULT_PATH_SUBSTR  only calls whose path (or the fd's path) contains this text
//   FAULT_AFTER        let this many matching calls through first (default 0)
//   FAULT_TIMES        act on at most this many matching calls (default: all of them)
//   FAULT_ERRNO        fail the call with this errno number; close still closes the fd
//   FAULT_KILL         "before" or "after": SIGKILL the process before the call is made or right after it returns
//   FAULT_DELAY_MS     sleep this long before the call
//   FAULT_SHORT        "1": a chosen write writes only half of what it was given, as a signal can make it do
//   FAULT_TRACE        "1" traces every wrapped call to stderr; any other value names a file to append the trace to
// Trace lines read "faultinject: <symbol> <path> = <result>" or "faultinject: <symbol> <path> injected <errno>".
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

// killWhen: 1 before the call, 2 after it.
static int configured, injectErrno, killWhen, shortWrites, traceFd = -1;
static const char *callList, *pathSubstr;
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
    after = number("FAULT_AFTER", 0);
    times = number("FAULT_TIMES", -1);
    injectErrno = (int)number("FAULT_ERRNO", 0);
    delayMs = number("FAULT_DELAY_MS", 0);
    shortWrites = number("FAULT_SHORT", 0) == 1;
    const char *value = getenv("FAULT_KILL");
    killWhen = !value ? 0 : strcmp(value, "after") == 0 ? 2 : 1;
    value = getenv("FAULT_TRACE");
    if (value && strcmp(value, "1") == 0)
        traceFd = 2;
    else if (value && *value)
        traceFd = (int)syscall(SYS_openat, AT_FDCWD, value, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
}

static void trace(const char *symbol, const char *path, const char *outcome, long result)
{
    if (traceFd < 0)
        return;
    char line[4352];
    int length = outcome ? snprintf(line, sizeof line, "faultinject: %s %s %s\n", symbol, path, outcome)
                         : snprintf(line, sizeof line, "faultinject: %s %s = %ld\n", symbol, path, result);
    if (length > 0)
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
    if (length < 0)
        snprintf(out, size, "-");
    else
        out[length] = '\0';
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

// Decides what happens to one call: 0 let it run, 1 fail it (errno set), 2 kill after it, 3 shorten it.
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
    if (killWhen == 1) {
        trace(symbol, path, "killed before", 0);
        kill(getpid(), SIGKILL);
    }
    if (killWhen == 2)
        return 2;
    if (shortWrites && strcmp(family, "write") == 0) {
        trace(symbol, path, "shortened", 0);
        return 3;
    }
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
    if (decision == 2) {
        trace(symbol, path, "killed after", 0);
        kill(getpid(), SIGKILL);
    }
    errno = saved;
    return result;
}

#define REAL(type, name, ...)                                                                                          \
    static type (*real)(__VA_ARGS__);                                                                                  \
    if (!real)                                                                                                         \
        real = (type(*)(__VA_ARGS__))dlsym(RTLD_NEXT, name);

// A path call: decide, then fail it or make it.
#define PATH_CALL(symbol, family, path, call)                                                                          \
    const int decision = before(symbol, family, path);                                                                 \
    if (decision == 1)                                                                                                 \
        return (int)finish(symbol, path, 0, -1);                                                                       \
    return (int)finish(symbol, path, decision, call);

static int modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, int) : 0;
}

#define OPEN(name, realName)                                                                                           \
    int name(const char *file, int flags, ...)                                                                         \
    {                                                                                                                  \
        REAL(int, realName, const char *, int, ...)                                                                    \
        va_list args;                                                                                                  \
        va_start(args, flags);                                                                                         \
        const int mode = modeOf(flags, args);                                                                          \
        va_end(args);                                                                                                  \
        char path[4096];                                                                                               \
        atPath(AT_FDCWD, file, path, sizeof path);                                                                     \
        PATH_CALL(#name, "open", path, real(file, flags, mode))                                                        \
    }
OPEN(open, "open")
OPEN(open64, "open64")
OPEN(__open_2, "open")
OPEN(__open64_2, "open64")

#define OPENAT(name)                                                                                                   \
    int name(int dirFd, const char *file, int flags, ...)                                                              \
    {                                                                                                                  \
        REAL(int, #name, int, const char *, int, ...)                                                                  \
        va_list args;                                                                                                  \
        va_start(args, flags);                                                                                         \
        const int mode = modeOf(flags, args);                                                                          \
        va_end(args);                                                                                                  \
        char path[4096];                                                                                               \
        atPath(dirFd, file, path, sizeof path);                                                                        \
        PATH_CALL(#name, "open", path, real(dirFd, file, flags, mode))                                                 \
    }
OPENAT(openat)
OPENAT(openat64)

ssize_t write(int fd, const void *data, size_t size)
{
    REAL(ssize_t, "write", int, const void *, size_t)
    configure();
    // The trace's own descriptor and the standard streams are never faults of the file layer.
    if (fd == traceFd || fd <= 2 || !callList)
        return real(fd, data, size);
    char path[4096];
    fdPath(fd, path, sizeof path);
    const int decision = before("write", "write", path);
    if (decision == 1)
        return finish("write", path, 0, -1);
    return finish("write", path, decision == 3 ? 0 : decision,
                  real(fd, data, decision == 3 && size > 1 ? size / 2 : size));
}

int close(int fd)
{
    REAL(int, "close", int)
    configure();
    if (fd == traceFd || !callList)
        return real(fd);
    char path[4096];
    fdPath(fd, path, sizeof path);
    const int decision = before("close", "close", path);
    // Linux always releases the descriptor, even when close reports an error.
    const int result = real(fd);
    if (decision == 1)
        errno = injectErrno;
    return (int)finish("close", path, decision == 1 ? 0 : decision, decision == 1 ? -1 : result);
}

int fsync(int fd)
{
    REAL(int, "fsync", int)
    configure();
    char path[4096];
    fdPath(fd, path, sizeof path);
    PATH_CALL("fsync", "fsync", path, real(fd))
}

// Both paths of a rename or link are matched; the trace shows "from>to".
static void bothPaths(int fromDir, const char *from, int toDir, const char *to, char *both, size_t size)
{
    char fromPath[4096];
    char toPath[4096];
    atPath(fromDir, from, fromPath, sizeof fromPath);
    atPath(toDir, to, toPath, sizeof toPath);
    snprintf(both, size, "%s>%s", fromPath, toPath);
}

int rename(const char *from, const char *to)
{
    REAL(int, "rename", const char *, const char *)
    char both[8300];
    bothPaths(AT_FDCWD, from, AT_FDCWD, to, both, sizeof both);
    PATH_CALL("rename", "rename", both, real(from, to))
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    REAL(int, "renameat2", int, const char *, int, const char *, unsigned int)
    char both[8300];
    bothPaths(fromDir, from, toDir, to, both, sizeof both);
    PATH_CALL("renameat2", "rename", both, real(fromDir, from, toDir, to, flags))
}

int link(const char *from, const char *to)
{
    REAL(int, "link", const char *, const char *)
    char both[8300];
    bothPaths(AT_FDCWD, from, AT_FDCWD, to, both, sizeof both);
    PATH_CALL("link", "link", both, real(from, to))
}
