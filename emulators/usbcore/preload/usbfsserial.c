/*
 * libovra-usbfs-serial.so: makes processes that share an open usbfs node take
 * turns with their usbfs requests. Load it in front of libumockdev-preload:
 *
 *   LD_PRELOAD=/path/libovra-usbfs-serial.so:libumockdev-preload.so.0
 *
 * umockdev carries the requests of one open node over one socket; after a
 * fork the parent and the child share that socket, and a reply can reach the
 * process that did not ask for it (the data of a bulk read written into the
 * other process's memory). Here every usbfs request on a node of the testbed
 * holds an exclusive flock() on a lock file of that node for its whole
 * duration; every process opens the lock files itself, so the lock keeps
 * processes apart. Threads of one process are already serialized by umockdev.
 *
 * A process killed in the middle of a request leaves the shared socket in the
 * middle of an exchange, which breaks it for the others. So SIGKILL and
 * SIGTERM sent from a process running with this library (a program, or the
 * shell its system() starts) first make the nodes that the target has open
 * end their waiting reads (OVRA_USBFS_DRAIN, sent on a handle of the sender's
 * own), then wait until the target holds none of their lock files: the sender
 * takes them, sends the signal, and lets go.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/ioctl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ovraemu/usbcore/usbfsprivate.h"

#define USBFS_IOCTL_TYPE 'U'
#define MAX_NODES 64

typedef int (*ioctl_function)(int, unsigned long, ...);
typedef int (*kill_function)(pid_t, int);

struct node_lock {
    char name[16]; /* "BBB-DDD" */
    int fd;
};

static pthread_mutex_t table_mutex = PTHREAD_MUTEX_INITIALIZER;
static struct node_lock table[MAX_NODES];
static int table_size;
static pid_t table_owner;

/* "BBB-DDD" of the usbfs node that the link /proc/PID/fd/N names; 0 when it
 * names none. */
static int node_name_of_link(const char* link, char* name, size_t size)
{
    char target[4096];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return 0;
    target[length] = '\0';
    const char* node = strstr(target, "/dev/bus/usb/");
    unsigned bus = 0;
    unsigned device = 0;
    if (!node || sscanf(node, "/dev/bus/usb/%3u/%3u", &bus, &device) != 2)
        return 0;
    snprintf(name, size, "%03u-%03u", bus, device);
    return 1;
}

static int node_name(int fd, char* name, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    return node_name_of_link(link, name, size);
}

static int open_lock_file(const char* name)
{
    const char* root = getenv("UMOCKDEV_DIR");
    if (!root || !*root)
        return -1;
    char path[4096];
    snprintf(path, sizeof path, "%s/usbfs-locks", root);
    mkdir(path, 0755);
    snprintf(path, sizeof path, "%s/usbfs-locks/%s", root, name);
    return open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

/* The lock file of the node behind fd for this process, or -1. */
static int lock_for(int fd)
{
    char name[16];
    if (!node_name(fd, name, sizeof name))
        return -1;
    pthread_mutex_lock(&table_mutex);
    if (table_owner != getpid()) {
        /* Inherited lock files share their lock with the parent: open our own. */
        for (int i = 0; i < table_size; ++i)
            close(table[i].fd);
        table_size = 0;
        table_owner = getpid();
    }
    int lock = -1;
    for (int i = 0; i < table_size && lock < 0; ++i) {
        if (strcmp(table[i].name, name) == 0)
            lock = table[i].fd;
    }
    if (lock < 0 && table_size < MAX_NODES) {
        lock = open_lock_file(name);
        if (lock >= 0) {
            strcpy(table[table_size].name, name);
            table[table_size++].fd = lock;
        }
    }
    pthread_mutex_unlock(&table_mutex);
    return lock;
}

static ioctl_function next_ioctl(void)
{
    static ioctl_function next;
    if (!next)
        next = (ioctl_function)dlsym(RTLD_NEXT, "ioctl");
    return next;
}

static void take(int lock, int operation)
{
    while (flock(lock, operation) != 0 && errno == EINTR) {
    }
}

int ioctl(int fd, unsigned long request, ...)
{
    const ioctl_function next = next_ioctl();
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (_IOC_TYPE(request) != USBFS_IOCTL_TYPE)
        return next(fd, request, arg);
    const int lock = lock_for(fd);
    if (lock < 0)
        return next(fd, request, arg);
    take(lock, LOCK_EX);
    const int result = next(fd, request, arg);
    const int saved = errno;
    take(lock, LOCK_UN);
    errno = saved;
    return result;
}

/* Opens node "BBB-DDD" and asks it to drain; the handle, or -1. */
static int start_drain(const char* name)
{
    unsigned bus = 0;
    unsigned device = 0;
    if (sscanf(name, "%u-%u", &bus, &device) != 2)
        return -1;
    char path[64];
    snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", bus, device);
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd >= 0)
        next_ioctl()(fd, OVRA_USBFS_DRAIN, NULL);
    return fd;
}

static void end_drain(int fd)
{
    if (fd < 0)
        return;
    next_ioctl()(fd, OVRA_USBFS_DRAIN_END, NULL);
    close(fd);
}

static int compare_names(const void* a, const void* b) { return strcmp((const char*)a, (const char*)b); }

/* The distinct nodes that process pid has open, sorted; returns their count. */
static int nodes_of_process(pid_t pid, char names[][16], int capacity)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/fd", (int)pid);
    DIR* dir = opendir(path);
    if (!dir)
        return 0;
    int count = 0;
    const struct dirent* entry;
    while ((entry = readdir(dir)) != NULL && count < capacity) {
        char link[512];
        char name[16];
        snprintf(link, sizeof link, "%s/%s", path, entry->d_name);
        if (!node_name_of_link(link, name, sizeof name))
            continue;
        int known = 0;
        for (int i = 0; i < count && !known; ++i)
            known = strcmp(names[i], name) == 0;
        if (!known)
            strcpy(names[count++], name);
    }
    closedir(dir);
    qsort(names, (size_t)count, sizeof names[0], compare_names);
    return count;
}

int kill(pid_t pid, int sig)
{
    static kill_function next;
    if (!next)
        next = (kill_function)dlsym(RTLD_NEXT, "kill");
    if (pid <= 0 || (sig != SIGKILL && sig != SIGTERM))
        return next(pid, sig);
    char names[MAX_NODES][16];
    const int count = nodes_of_process(pid, names, MAX_NODES);
    int drains[MAX_NODES];
    int locks[MAX_NODES];
    for (int i = 0; i < count; ++i)
        drains[i] = start_drain(names[i]);
    for (int i = 0; i < count; ++i) {
        locks[i] = open_lock_file(names[i]);
        if (locks[i] >= 0)
            take(locks[i], LOCK_EX);
    }
    const int result = next(pid, sig);
    const int saved = errno;
    for (int i = 0; i < count; ++i) {
        if (locks[i] >= 0)
            close(locks[i]);
        end_drain(drains[i]);
    }
    errno = saved;
    return result;
}
