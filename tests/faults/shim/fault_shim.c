/* Preloaded into a program under test: counts its sync points and regular-file writes, and
 * fails or kills it on request. Controlled by the environment:
 *   VLT_FAULT_COUNT=PATH          append "N CALL DUMPABLE PATH" for every sync point
 *   VLT_FAULT_SYNC_KILL=N:SIG     raise SIG just before the N-th sync point (1-based)
 *   VLT_FAULT_SYNC_FAIL=N         the N-th sync point fails with EIO, syncing nothing
 *   VLT_FAULT_ENOSPC_AFTER=BYTES  regular-file writes past BYTES in all fail with ENOSPC
 * Built without sanitizers: it runs before the sanitizer runtime is set up. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

static long g_syncs;
static long long g_written;

static long long envNumber(const char* name, long long fallback) {
    const char* v = getenv(name);
    return v && *v ? strtoll(v, NULL, 10) : fallback;
}

static void *next(const char* name) { return dlsym(RTLD_NEXT, name); }

static void record(long n, const char* call, int fd) {
    const char* log = getenv("VLT_FAULT_COUNT");
    if (!log) return;
    char link[64], path[512], line[700];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t len = readlink(link, path, sizeof path - 1);
    path[len > 0 ? len : 0] = '\0';
    const int len2 = snprintf(line, sizeof line, "%ld %s %d %s\n", n, call, prctl(PR_GET_DUMPABLE), path);
    const int out = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (out < 0) return;
    if (len2 > 0) (void)!syscall(SYS_write, out, line, (size_t)len2);
    close(out);
}

/* Nonzero when this sync point is to fail. */
static int syncPoint(const char* call, int fd) {
    const long n = __atomic_add_fetch(&g_syncs, 1, __ATOMIC_SEQ_CST);
    record(n, call, fd);
    const char* kill = getenv("VLT_FAULT_SYNC_KILL");
    if (kill && atol(kill) == n) {
        const char* colon = strchr(kill, ':');
        raise(colon ? atoi(colon + 1) : SIGKILL);
    }
    if (envNumber("VLT_FAULT_SYNC_FAIL", 0) == n) {
        errno = EIO;
        return 1;
    }
    return 0;
}

/* How many of size bytes a write to fd may write; 0 with errno set when none. */
static size_t allowed(int fd, size_t size) {
    const long long limit = envNumber("VLT_FAULT_ENOSPC_AFTER", -1);
    struct stat st;
    if (limit < 0 || size == 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return size;
    const long long before = __atomic_fetch_add(&g_written, (long long)size, __ATOMIC_SEQ_CST);
    const long long room = limit - before;
    if (room <= 0) {
        errno = ENOSPC;
        return 0;
    }
    return (long long)size < room ? size : (size_t)room;
}

int fsync(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))next("fsync");
    return syncPoint("fsync", fd) ? -1 : real(fd);
}

int fdatasync(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))next("fdatasync");
    return syncPoint("fdatasync", fd) ? -1 : real(fd);
}

ssize_t write(int fd, const void* data, size_t size) {
    static ssize_t (*real)(int, const void*, size_t);
    if (!real) real = (ssize_t (*)(int, const void*, size_t))next("write");
    const size_t n = allowed(fd, size);
    return n == 0 && size > 0 ? -1 : real(fd, data, n);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off_t);
    if (!real) real = (ssize_t (*)(int, const void*, size_t, off_t))next("pwrite");
    const size_t n = allowed(fd, size);
    return n == 0 && size > 0 ? -1 : real(fd, data, n, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    static ssize_t (*real)(int, const void*, size_t, off64_t);
    if (!real) real = (ssize_t (*)(int, const void*, size_t, off64_t))next("pwrite64");
    const size_t n = allowed(fd, size);
    return n == 0 && size > 0 ? -1 : real(fd, data, n, offset);
}

/* A short vectored write fails whole: callers of writev on regular files retry the rest. */
ssize_t writev(int fd, const struct iovec* iov, int count) {
    static ssize_t (*real)(int, const struct iovec*, int);
    if (!real) real = (ssize_t (*)(int, const struct iovec*, int))next("writev");
    size_t size = 0;
    for (int i = 0; i < count; ++i) size += iov[i].iov_len;
    if (allowed(fd, size) < size) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, iov, count);
}
