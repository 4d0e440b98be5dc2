/* Slow storage without FUSE, for the end-to-end tests and the slow-storage measurements:
 * preloaded into velmora (LD_PRELOAD), it makes every read() of a regular file under
 * VELMORA_SLOW_PREFIX wait as storage of VELMORA_SLOW_RATE bytes a second would, 64 KiB at a
 * time. With VELMORA_SLOW_ENTRY_MS set, every folder entry read (readdir) and every stat of a
 * path under the prefix waits that many milliseconds, as a network share answers a listing.
 * With VELMORA_FRAME_LOG set it also writes, at exit, the time in milliseconds of every
 * frame put on the screen ("P ms"), and of every entry to and return from the show's event
 * wait ("W ms", "E ms"). */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static int underPrefix(const char* path)
{
    const char* prefix = getenv("VELMORA_SLOW_PREFIX");
    return prefix != NULL && *prefix != '\0' && path != NULL && strncmp(path, prefix, strlen(prefix)) == 0;
}

/* Whether the open file or folder lies under the prefix. */
static int slowed(int fd)
{
    char link[64];
    char target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) {
        return 0;
    }
    target[n] = '\0';
    return underPrefix(target);
}

static void pause_ms(double ms)
{
    usleep((useconds_t)(ms * 1000));
}

static double entryDelayMs(void)
{
    const char* delay = getenv("VELMORA_SLOW_ENTRY_MS");
    return delay != NULL ? atof(delay) : 0.0;
}

/* The next definition of the wrapped function (the C library's or Xlib's), looked up once, as `real`. */
#define REAL(name)                                                   \
    static __typeof__(&name) real = NULL;                            \
    if (real == NULL) {                                              \
        real = (__typeof__(&name))dlsym(RTLD_NEXT, #name);           \
    }

struct dirent* readdir(DIR* dir)
{
    REAL(readdir);
    if (entryDelayMs() > 0 && slowed(dirfd(dir))) {
        pause_ms(entryDelayMs());
    }
    return real(dir);
}

/* A stat relative to a folder (the listing's own) or by path; either names a path under the prefix. */
int fstatat(int dirFd, const char* path, struct stat* info, int flags)
{
    REAL(fstatat);
    if (entryDelayMs() > 0 && (path[0] == '/' ? underPrefix(path) : dirFd != AT_FDCWD && slowed(dirFd))) {
        pause_ms(entryDelayMs());
    }
    return real(dirFd, path, info, flags);
}

int stat(const char* path, struct stat* info)
{
    REAL(stat);
    if (entryDelayMs() > 0 && underPrefix(path)) {
        pause_ms(entryDelayMs());
    }
    return real(path, info);
}

ssize_t read(int fd, void* buffer, size_t count)
{
    REAL(read);
    if (count > 0 && slowed(fd)) {
        const char* rate = getenv("VELMORA_SLOW_RATE");
        const double bytesPerSecond = rate != NULL && atof(rate) > 0 ? atof(rate) : 3e6;
        if (count > 65536) {
            count = 65536;
        }
        pause_ms((double)count * 1000.0 / bytesPerSecond);
    }
    return real(fd, buffer, count);
}

/* ---- frame and event-wait times ---- */

enum { MaxMarks = 1 << 20 };
static char kinds[MaxMarks];
static double marks[MaxMarks];
static int markCount = 0;

static void mark(char kind)
{
    if (getenv("VELMORA_FRAME_LOG") != NULL && markCount < MaxMarks) {
        struct timespec t;
        clock_gettime(CLOCK_MONOTONIC, &t);
        kinds[markCount] = kind;
        marks[markCount++] = (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
    }
}

__attribute__((destructor)) static void writeMarks(void)
{
    const char* path = getenv("VELMORA_FRAME_LOG");
    FILE* out = path != NULL ? fopen(path, "w") : NULL;
    if (out == NULL) {
        return;
    }
    for (int i = 0; i < markCount; ++i) {
        fprintf(out, "%c %.3f\n", kinds[i], marks[i]);
    }
    fclose(out);
}

/* Frames reach the screen through the X presenter, and the show's thread sleeps in poll() with
 * a timeout; other threads' polls, and Xlib's own unbounded ones, are not the show's wait. */
typedef struct _XDisplay Display;
typedef struct _XGC* GC;
typedef struct _XImage XImage;

int XShmPutImage(Display* display, unsigned long drawable, GC gc, XImage* image, int sx, int sy, int dx, int dy,
                 unsigned int w, unsigned int h, int sendEvent)
{
    REAL(XShmPutImage);
    mark('P');
    return real(display, drawable, gc, image, sx, sy, dx, dy, w, h, sendEvent);
}

int XPutImage(Display* display, unsigned long drawable, GC gc, XImage* image, int sx, int sy, int dx, int dy,
              unsigned int w, unsigned int h)
{
    REAL(XPutImage);
    mark('P');
    return real(display, drawable, gc, image, sx, sy, dx, dy, w, h);
}

int poll(struct pollfd* fds, nfds_t count, int timeout)
{
    REAL(poll);
    const int showThread = timeout >= 0 && gettid() == getpid();
    if (showThread) {
        mark('W');
    }
    const int got = real(fds, count, timeout);
    if (showThread) {
        mark('E');
    }
    return got;
}
