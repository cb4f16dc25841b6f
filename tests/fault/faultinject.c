/* Fault injection for the file layer, loaded with LD_PRELOAD into a test process.
 *
 * It wraps the calls a save makes and, for the calls chosen by the environment, fails them with an errno, kills the
 * process, or delays them:
 *   FAULT_CALL         comma list of call families or exact symbols: open (every open/openat/creat variant), write,
 *                      close, fsync, fdatasync, rename (rename, renameat, renameat2), linkat (link, linkat), any
 *   FAULT_PATH_SUBSTR  only calls whose path (or the fd's path) contains this text
 *   FAULT_OPEN_FLAGS   "tmpfile", "creat" or "directory": only opens with that flag
 *   FAULT_AFTER        let this many matching calls through first (default 0)
 *   FAULT_TIMES        act on at most this many matching calls (default: all of them)
 *   FAULT_ERRNO        fail the call with this errno (a name such as EIO, or a number); close still closes the fd
 *   FAULT_KILL         "before" or "after": SIGKILL the process before the call is made or right after it returns
 *   FAULT_DELAY_MS     sleep this long before the call
 *   FAULT_SHORT        "1": a chosen write writes only half of what it was given (at least one byte), as a full pipe or
 *                      a signal can make it do
 *   FAULT_TRACE        "1" traces every wrapped call to stderr; any other value names a file to append the trace to
 * Trace lines read "faultinject: <symbol> <path> = <result>" or "faultinject: <symbol> <path> injected <ERRNO>".
 */
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

enum Family { FamilyOpen, FamilyWrite, FamilyClose, FamilyFsync, FamilyFdatasync, FamilyRename, FamilyLink };

static const char *const familyNames[] = {"open", "write", "close", "fsync", "fdatasync", "rename", "linkat"};

static const struct
{
    const char *name;
    int code;
} errnoNames[] = {
    {"EIO", EIO},       {"ENOSPC", ENOSPC}, {"EDQUOT", EDQUOT}, {"EXDEV", EXDEV},   {"EPERM", EPERM},
    {"EBUSY", EBUSY},   {"EACCES", EACCES}, {"EROFS", EROFS},   {"ENOENT", ENOENT}, {"EOPNOTSUPP", EOPNOTSUPP},
    {"EISDIR", EISDIR}, {"EINVAL", EINVAL}, {"EINTR", EINTR},   {"ELOOP", ELOOP},   {"EEXIST", EEXIST},
    {"EFBIG", EFBIG},   {"ENOLCK", ENOLCK}, {"EAGAIN", EAGAIN},
};

static int configured;
static const char *callList;
static const char *pathSubstr;
static const char *openFlags;
static long after;
static long times = -1;
static int injectErrno;
static int killWhen; /* 0 none, 1 before, 2 after */
static long delayMs;
static int shortWrites;
static int traceFd = -1;
static long matched;
static long acted;

static ssize_t rawWrite(int fd, const void *data, size_t size)
{
    return syscall(SYS_write, fd, data, size);
}

static const char *errnoName(int code)
{
    for (size_t i = 0; i < sizeof errnoNames / sizeof errnoNames[0]; ++i)
        if (errnoNames[i].code == code)
            return errnoNames[i].name;
    return "E?";
}

static void configure(void)
{
    if (configured)
        return;
    configured = 1;
    callList = getenv("FAULT_CALL");
    pathSubstr = getenv("FAULT_PATH_SUBSTR");
    openFlags = getenv("FAULT_OPEN_FLAGS");
    const char *value = getenv("FAULT_AFTER");
    after = value ? atol(value) : 0;
    value = getenv("FAULT_TIMES");
    times = value ? atol(value) : -1;
    value = getenv("FAULT_ERRNO");
    if (value) {
        for (size_t i = 0; i < sizeof errnoNames / sizeof errnoNames[0]; ++i)
            if (strcmp(value, errnoNames[i].name) == 0)
                injectErrno = errnoNames[i].code;
        if (!injectErrno)
            injectErrno = atoi(value);
    }
    value = getenv("FAULT_KILL");
    if (value)
        killWhen = strcmp(value, "after") == 0 ? 2 : 1;
    value = getenv("FAULT_SHORT");
    shortWrites = value && strcmp(value, "1") == 0;
    value = getenv("FAULT_DELAY_MS");
    delayMs = value ? atol(value) : 0;
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
    int length;
    if (outcome)
        length = snprintf(line, sizeof line, "faultinject: %s %s %s\n", symbol, path ? path : "-", outcome);
    else
        length = snprintf(line, sizeof line, "faultinject: %s %s = %ld\n", symbol, path ? path : "-", result);
    if (length > (int)sizeof line - 1)
        length = (int)sizeof line - 1;
    if (length > 0)
        rawWrite(traceFd, line, (size_t)length);
}

static int listed(const char *symbol, enum Family family)
{
    if (!callList)
        return 0;
    const char *at = callList;
    while (*at) {
        const char *end = strchr(at, ',');
        const size_t length = end ? (size_t)(end - at) : strlen(at);
        if ((length == 3 && strncmp(at, "any", 3) == 0) ||
            (length == strlen(familyNames[family]) && strncmp(at, familyNames[family], length) == 0) ||
            (length == strlen(symbol) && strncmp(at, symbol, length) == 0))
            return 1;
        if (!end)
            break;
        at = end + 1;
    }
    return 0;
}

static int flagsMatch(enum Family family, int flags)
{
    if (!openFlags || family != FamilyOpen)
        return 1;
    if (strcmp(openFlags, "tmpfile") == 0)
        return (flags & O_TMPFILE) == O_TMPFILE;
    if (strcmp(openFlags, "creat") == 0)
        return (flags & O_CREAT) != 0;
    if (strcmp(openFlags, "directory") == 0)
        return (flags & O_DIRECTORY) != 0 && (flags & O_TMPFILE) != O_TMPFILE;
    return 1;
}

/* The path a descriptor names, for fd calls; "-" when it cannot be read. */
static void fdPath(int fd, char *out, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, out, size - 1);
    if (length < 0) {
        snprintf(out, size, "-");
        return;
    }
    out[length] = '\0';
}

/* A path relative to a directory descriptor, made absolute so that FAULT_PATH_SUBSTR sees the folder. */
static void atPath(int dirFd, const char *path, char *out, size_t size)
{
    if (!path) {
        snprintf(out, size, "-");
        return;
    }
    if (path[0] == '/' || dirFd == AT_FDCWD) {
        if (path[0] != '/' && getcwd(out, size)) {
            const size_t used = strlen(out);
            snprintf(out + used, size - used, "/%s", path);
        } else {
            snprintf(out, size, "%s", path);
        }
        return;
    }
    char folder[4096];
    fdPath(dirFd, folder, sizeof folder);
    /* A path longer than the buffer is cut; it only feeds the path filter and the trace. */
    size_t used = 0;
    for (const char *part = folder; *part && used + 1 < size; ++part)
        out[used++] = *part;
    if (used + 1 < size)
        out[used++] = '/';
    for (const char *part = path; *part && used + 1 < size; ++part)
        out[used++] = *part;
    out[used] = '\0';
}

/* Decides what happens to one call. Returns 1 when the call must fail with errno already set. */
static int before(const char *symbol, enum Family family, const char *path, int flags)
{
    configure();
    if (!listed(symbol, family) || !flagsMatch(family, flags) || (pathSubstr && (!path || !strstr(path, pathSubstr))))
        return 0;
    const long index = matched++;
    if (index < after || (times >= 0 && acted >= times))
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
    if (shortWrites && family == FamilyWrite) {
        trace(symbol, path, "shortened", 0);
        return 3;
    }
    if (injectErrno) {
        char outcome[64];
        snprintf(outcome, sizeof outcome, "injected %s", errnoName(injectErrno));
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

#define REAL(type, name, ...)                                                                                         \
    static type (*real)(__VA_ARGS__);                                                                                  \
    if (!real)                                                                                                         \
        real = (type(*)(__VA_ARGS__))dlsym(RTLD_NEXT, name);

static int modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, int) : 0;
}

static int wrapOpenAt(const char *symbol, int (*real)(int, const char *, int, ...), int dirFd, const char *file,
                      int flags, int mode)
{
    char path[4096];
    atPath(dirFd, file, path, sizeof path);
    const int decision = before(symbol, FamilyOpen, path, flags);
    if (decision == 1)
        return finish(symbol, path, 0, -1);
    return (int)finish(symbol, path, decision, real(dirFd, file, flags, mode));
}

static int wrapOpen(const char *symbol, int (*real)(const char *, int, ...), const char *file, int flags, int mode)
{
    char path[4096];
    atPath(AT_FDCWD, file, path, sizeof path);
    const int decision = before(symbol, FamilyOpen, path, flags);
    if (decision == 1)
        return finish(symbol, path, 0, -1);
    return (int)finish(symbol, path, decision, real(file, flags, mode));
}

int open(const char *file, int flags, ...)
{
    REAL(int, "open", const char *, int, ...)
    va_list args;
    va_start(args, flags);
    const int mode = modeOf(flags, args);
    va_end(args);
    return wrapOpen("open", real, file, flags, mode);
}

int open64(const char *file, int flags, ...)
{
    REAL(int, "open64", const char *, int, ...)
    va_list args;
    va_start(args, flags);
    const int mode = modeOf(flags, args);
    va_end(args);
    return wrapOpen("open64", real, file, flags, mode);
}

int __open_2(const char *file, int flags)
{
    REAL(int, "open", const char *, int, ...)
    return wrapOpen("__open_2", real, file, flags, 0);
}

int __open64_2(const char *file, int flags)
{
    REAL(int, "open64", const char *, int, ...)
    return wrapOpen("__open64_2", real, file, flags, 0);
}

int openat(int dirFd, const char *file, int flags, ...)
{
    REAL(int, "openat", int, const char *, int, ...)
    va_list args;
    va_start(args, flags);
    const int mode = modeOf(flags, args);
    va_end(args);
    return wrapOpenAt("openat", real, dirFd, file, flags, mode);
}

int openat64(int dirFd, const char *file, int flags, ...)
{
    REAL(int, "openat64", int, const char *, int, ...)
    va_list args;
    va_start(args, flags);
    const int mode = modeOf(flags, args);
    va_end(args);
    return wrapOpenAt("openat64", real, dirFd, file, flags, mode);
}

int __openat_2(int dirFd, const char *file, int flags)
{
    REAL(int, "openat", int, const char *, int, ...)
    return wrapOpenAt("__openat_2", real, dirFd, file, flags, 0);
}

int __openat64_2(int dirFd, const char *file, int flags)
{
    REAL(int, "openat64", int, const char *, int, ...)
    return wrapOpenAt("__openat64_2", real, dirFd, file, flags, 0);
}

int creat(const char *file, mode_t mode)
{
    REAL(int, "open", const char *, int, ...)
    return wrapOpen("creat", real, file, O_WRONLY | O_CREAT | O_TRUNC, (int)mode);
}

int creat64(const char *file, mode_t mode)
{
    REAL(int, "open64", const char *, int, ...)
    return wrapOpen("creat64", real, file, O_WRONLY | O_CREAT | O_TRUNC, (int)mode);
}

ssize_t write(int fd, const void *data, size_t size)
{
    REAL(ssize_t, "write", int, const void *, size_t)
    configure();
    /* The trace's own descriptor and the standard streams are never faults of the file layer. */
    if (fd == traceFd || fd <= 2 || !callList)
        return real(fd, data, size);
    char path[4096];
    fdPath(fd, path, sizeof path);
    const int decision = before("write", FamilyWrite, path, 0);
    if (decision == 1)
        return finish("write", path, 0, -1);
    if (decision == 3)
        return finish("write", path, 0, real(fd, data, size > 1 ? size / 2 : size));
    return finish("write", path, decision, real(fd, data, size));
}

int close(int fd)
{
    REAL(int, "close", int)
    configure();
    if (fd == traceFd || !callList)
        return real(fd);
    char path[4096];
    fdPath(fd, path, sizeof path);
    const int decision = before("close", FamilyClose, path, 0);
    /* Linux always releases the descriptor, even when close reports an error. */
    const int result = real(fd);
    if (decision == 1) {
        errno = injectErrno;
        return (int)finish("close", path, 0, -1);
    }
    return (int)finish("close", path, decision, result);
}

static int wrapSync(const char *symbol, enum Family family, int (*real)(int), int fd)
{
    configure();
    char path[4096];
    fdPath(fd, path, sizeof path);
    const int decision = before(symbol, family, path, 0);
    if (decision == 1)
        return (int)finish(symbol, path, 0, -1);
    return (int)finish(symbol, path, decision, real(fd));
}

int fsync(int fd)
{
    REAL(int, "fsync", int)
    return wrapSync("fsync", FamilyFsync, real, fd);
}

int fdatasync(int fd)
{
    REAL(int, "fdatasync", int)
    return wrapSync("fdatasync", FamilyFdatasync, real, fd);
}

/* Both paths of a rename or link are matched; the trace shows "from>to". */
static int twoPathDecision(const char *symbol, enum Family family, int fromDir, const char *from, int toDir,
                          const char *to, char *both, size_t size)
{
    char fromPath[4096];
    char toPath[4096];
    atPath(fromDir, from, fromPath, sizeof fromPath);
    atPath(toDir, to, toPath, sizeof toPath);
    snprintf(both, size, "%s>%s", fromPath, toPath);
    return before(symbol, family, both, 0);
}

int rename(const char *from, const char *to)
{
    REAL(int, "rename", const char *, const char *)
    char both[8300];
    const int decision = twoPathDecision("rename", FamilyRename, AT_FDCWD, from, AT_FDCWD, to, both, sizeof both);
    if (decision == 1)
        return (int)finish("rename", both, 0, -1);
    return (int)finish("rename", both, decision, real(from, to));
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    REAL(int, "renameat", int, const char *, int, const char *)
    char both[8300];
    const int decision = twoPathDecision("renameat", FamilyRename, fromDir, from, toDir, to, both, sizeof both);
    if (decision == 1)
        return (int)finish("renameat", both, 0, -1);
    return (int)finish("renameat", both, decision, real(fromDir, from, toDir, to));
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned int flags)
{
    REAL(int, "renameat2", int, const char *, int, const char *, unsigned int)
    char both[8300];
    const int decision = twoPathDecision("renameat2", FamilyRename, fromDir, from, toDir, to, both, sizeof both);
    if (decision == 1)
        return (int)finish("renameat2", both, 0, -1);
    return (int)finish("renameat2", both, decision, real(fromDir, from, toDir, to, flags));
}

int link(const char *from, const char *to)
{
    REAL(int, "link", const char *, const char *)
    char both[8300];
    const int decision = twoPathDecision("link", FamilyLink, AT_FDCWD, from, AT_FDCWD, to, both, sizeof both);
    if (decision == 1)
        return (int)finish("link", both, 0, -1);
    return (int)finish("link", both, decision, real(from, to));
}

int linkat(int fromDir, const char *from, int toDir, const char *to, int flags)
{
    REAL(int, "linkat", int, const char *, int, const char *, int)
    char both[8300];
    const int decision = twoPathDecision("linkat", FamilyLink, fromDir, from, toDir, to, both, sizeof both);
    if (decision == 1)
        return (int)finish("linkat", both, 0, -1);
    return (int)finish("linkat", both, decision, real(fromDir, from, toDir, to, flags));
}
