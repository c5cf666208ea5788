/* slowfs: a read-only FUSE mirror of a directory whose every lookup,
 * getattr, readlink, opendir, readdir, open and read first waits a fixed
 * time, as cold or remote storage does. It shows how a client's speed
 * follows the number of requests it keeps waiting at once.
 *
 * Build (Debian: apt-get install libfuse3-dev fuse3 pkg-config):
 *   cc -O2 -Wall -Wextra -o slowfs benchmarks/slowfs/slowfs.c $(pkg-config fuse3 --cflags --libs)
 *
 * Use:
 *   slowfs [--delay-us N] [--no-types] [--stats FILE] [--die-with-parent]
 *          [-f] [-d] [-o OPTION,...] SOURCE MOUNTPOINT
 *   ...
 *   fusermount3 -u MOUNTPOINT    (or umount MOUNTPOINT, or SIGTERM to slowfs)
 *
 *   --delay-us N      the wait, in microseconds (default 0)
 *   --no-types        list directories without entry types (every d_type
 *                     DT_UNKNOWN, as some network and older file systems
 *                     do): a client must stat each entry to know its kind
 *   --stats FILE      on SIGUSR1 (and at exit), write the number of
 *                     operations served of each kind to FILE, atomically,
 *                     and the most that were ever waiting at once
 *   --die-with-parent unmount and exit when the process that started
 *                     slowfs dies (with -f), so no mount outlives a harness
 *
 * Defaults given as -o options, each of which a later -o overrides:
 *   entry_timeout=0,attr_timeout=0,negative_timeout=0  the kernel keeps no
 *       name or attribute, so every path walk and stat pays the wait
 *   max_threads=512   threads serving requests: the file system, not the
 *       client, must never be what limits the requests waiting at once
 *   max_background=512,congestion_threshold=384  the kernel's limit on
 *       asynchronous requests (page-cache reads go that way), 12 otherwise
 *   readdirplus=no    listings carry no attributes: each entry the client
 *       looks at costs a lookup, as on plain storage
 *   auto_unmount      fusermount3 takes the mount down should slowfs die,
 *       even by SIGKILL, so no dead mount is left behind
 *   ro,fsname=slowfs,subtype=slowfs (and inode numbers are the source's)
 *
 * Lookups and listings in one directory are served in parallel, as they
 * are in different ones (see writev below).
 *
 * File contents go through the page cache but are dropped at each open
 * (no kernel_cache), so a read after an open pays the wait. FIFOs,
 * sockets and devices are listed and stat'ed as what they are; symbolic
 * links read as their source's targets, unchanged (a relative target stays
 * inside the mirror, an absolute one points outside it). */
#define FUSE_USE_VERSION 312
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

struct options {
    unsigned delay_us;
    int no_types;
    int die_with_parent;
    char *stats;
    char *source;
    int show_help;
};

static struct options opt;
static int source_fd = -1;

enum counter { C_GETATTR, C_READLINK, C_OPENDIR, C_READDIR, C_OPEN, C_READ, C_READ_BYTES, C_MOST_WAITING, C_COUNT };
static const char *const counter_names[C_COUNT] = {
    "getattr", "readlink", "opendir", "readdir", "open", "read", "read_bytes", "most_waiting",
};
static atomic_ullong counters[C_COUNT];
static atomic_ullong waiting; /* operations in their wait right now */

static void wait_until(const struct timespec *until) {
    unsigned long long now = atomic_fetch_add_explicit(&waiting, 1, memory_order_relaxed) + 1;
    unsigned long long most = atomic_load_explicit(&counters[C_MOST_WAITING], memory_order_relaxed);
    while (now > most && !atomic_compare_exchange_weak_explicit(&counters[C_MOST_WAITING], &most, now,
                                                                memory_order_relaxed, memory_order_relaxed)) {
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, until, NULL) == EINTR) {
    }
    atomic_fetch_sub_explicit(&waiting, 1, memory_order_relaxed);
}

/* Counts the operation, then waits: to an absolute deadline, so a signal
 * that cuts the sleep short does not shorten the wait. The most operations
 * ever waiting at once is how many requests the client kept in flight. */
static void slow(enum counter c) {
    atomic_fetch_add_explicit(&counters[c], 1, memory_order_relaxed);
    if (opt.delay_us == 0) return;
    struct timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += opt.delay_us / 1000000;
    until.tv_nsec += (long)(opt.delay_us % 1000000) * 1000;
    if (until.tv_nsec >= 1000000000) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000;
    }
    wait_until(&until);
}

/* FUSE paths start with '/'; the source is reached relative to its fd. */
static const char *relative(const char *path) {
    return path[1] == '\0' ? "." : path + 1;
}

static int sf_getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    slow(C_GETATTR);
    int r = fi != NULL ? fstat((int)fi->fh, st) : fstatat(source_fd, relative(path), st, AT_SYMLINK_NOFOLLOW);
    return r == 0 ? 0 : -errno;
}

static int sf_readlink(const char *path, char *buf, size_t size) {
    slow(C_READLINK);
    ssize_t n = readlinkat(source_fd, relative(path), buf, size - 1);
    if (n < 0) return -errno;
    buf[n] = '\0';
    return 0;
}

static int sf_open(const char *path, struct fuse_file_info *fi) {
    slow(C_OPEN);
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    int fd = openat(source_fd, relative(path), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | (fi->flags & O_NONBLOCK));
    if (fd < 0) return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int sf_read(const char *path, char *buf, size_t size, off_t offset, struct fuse_file_info *fi) {
    (void)path;
    slow(C_READ);
    ssize_t n = pread((int)fi->fh, buf, size, offset);
    if (n < 0) return -errno;
    atomic_fetch_add_explicit(&counters[C_READ_BYTES], (unsigned long long)n, memory_order_relaxed);
    return (int)n;
}

static int sf_release(const char *path, struct fuse_file_info *fi) {
    (void)path;
    close((int)fi->fh);
    return 0;
}

static int sf_opendir(const char *path, struct fuse_file_info *fi) {
    slow(C_OPENDIR);
    int fd = openat(source_fd, relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -errno;
    DIR *d = fdopendir(fd);
    if (d == NULL) {
        int e = errno;
        close(fd);
        return -e;
    }
    fi->fh = (uint64_t)(uintptr_t)d;
    return 0;
}

/* The whole listing in one call (offsets 0): the library keeps it and
 * serves the kernel's later readdir calls from it, so a listing pays one
 * wait, as one round trip to a server would. */
static int sf_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info *fi,
                      enum fuse_readdir_flags flags) {
    (void)path;
    (void)offset;
    (void)flags;
    slow(C_READDIR);
    DIR *d = (DIR *)(uintptr_t)fi->fh;
    rewinddir(d);
    errno = 0;
    struct dirent *e;
    while ((e = readdir(d)) != NULL) {
        if (opt.no_types) {
            if (fill(buf, e->d_name, NULL, 0, 0)) break;
            continue;
        }
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = e->d_ino;
        if (e->d_type != DT_UNKNOWN) st.st_mode = DTTOIF(e->d_type);
        else if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) st.st_mode = 0;
        if (fill(buf, e->d_name, &st, 0, 0)) break;
    }
    return errno == 0 ? 0 : -errno;
}

static int sf_releasedir(const char *path, struct fuse_file_info *fi) {
    (void)path;
    closedir((DIR *)(uintptr_t)fi->fh);
    return 0;
}

static int sf_statfs(const char *path, struct statvfs *st) {
    (void)path;
    return fstatvfs(source_fd, st) == 0 ? 0 : -errno;
}

static struct fuse_conn_info_opts *conn_opts;

/* libfuse 3.14 leaves FUSE_PARALLEL_DIROPS out of its answer to the
 * kernel's INIT even when the kernel offers it and the file system wants
 * it; the kernel then sends one lookup (and one readdir) per directory at a
 * time, and a client with many requests in flight in one directory would
 * be limited here rather than by the wait. libfuse writes that answer,
 * its first write on the device, with writev: this program's writev adds
 * the flag to it and passes everything else through. */
#define INIT_PARALLEL_DIROPS (1u << 18) /* the kernel's flag, not libfuse's */
static int parallel_dirops;
static int device_fd = -1;
static atomic_int init_answered;
static ssize_t (*real_writev)(int, const struct iovec *, int);

ssize_t writev(int fd, const struct iovec *iov, int count) {
    if (real_writev == NULL) real_writev = (ssize_t (*)(int, const struct iovec *, int))dlsym(RTLD_NEXT, "writev");
    if (fd != device_fd || atomic_load(&init_answered) || atomic_exchange(&init_answered, 1)) {
        return real_writev(fd, iov, count);
    }
    /* fuse_out_header, then fuse_init_out: major, minor, max_readahead, flags. */
    unsigned char answer[256];
    if (!parallel_dirops || count != 2 || iov[0].iov_len != 16 || iov[1].iov_len < 16 ||
        iov[1].iov_len > sizeof answer) {
        return real_writev(fd, iov, count);
    }
    memcpy(answer, iov[1].iov_base, iov[1].iov_len);
    uint32_t major, flags;
    memcpy(&major, answer, 4);
    memcpy(&flags, answer + 12, 4);
    if (major != 7) return real_writev(fd, iov, count);
    flags |= INIT_PARALLEL_DIROPS;
    memcpy(answer + 12, &flags, 4);
    struct iovec patched[2] = {iov[0], {answer, iov[1].iov_len}};
    return real_writev(fd, patched, 2);
}

static void *sf_init(struct fuse_conn_info *conn, struct fuse_config *cfg) {
    fuse_apply_conn_info_opts(conn_opts, conn);
    parallel_dirops = (conn->capable & conn->want & FUSE_CAP_PARALLEL_DIROPS) != 0;
    cfg->use_ino = 1;
    cfg->nullpath_ok = 1;  /* read and release use the open fd alone */
    return NULL;
}

static const struct fuse_operations operations = {
    .getattr = sf_getattr,
    .readlink = sf_readlink,
    .open = sf_open,
    .read = sf_read,
    .release = sf_release,
    .opendir = sf_opendir,
    .readdir = sf_readdir,
    .releasedir = sf_releasedir,
    .statfs = sf_statfs,
    .init = sf_init,
};

static void write_stats(void) {
    if (opt.stats == NULL) return;
    static unsigned long long sequence;
    char tmp[4096];
    if (snprintf(tmp, sizeof tmp, "%s.tmp", opt.stats) >= (int)sizeof tmp) return;
    FILE *f = fopen(tmp, "w");
    if (f == NULL) return;
    fprintf(f, "sequence %llu\n", ++sequence);
    for (int c = 0; c < C_COUNT; ++c)
        fprintf(f, "%s %llu\n", counter_names[c], atomic_load_explicit(&counters[c], memory_order_relaxed));
    if (fclose(f) == 0) rename(tmp, opt.stats);
}

/* SIGUSR1 is blocked in every thread but this one, which writes the
 * counters out each time it comes. */
static void *stats_thread(void *arg) {
    sigset_t *set = arg;
    for (;;) {
        int sig;
        if (sigwait(set, &sig) == 0) write_stats();
    }
    return NULL;
}

#define OPT(t, p) {t, offsetof(struct options, p), 1}
static const struct fuse_opt option_spec[] = {
    {"--delay-us=%u", offsetof(struct options, delay_us), 0},
    {"--delay-us %u", offsetof(struct options, delay_us), 0},
    OPT("--no-types", no_types),
    OPT("--die-with-parent", die_with_parent),
    {"--stats=%s", offsetof(struct options, stats), 0},
    {"--stats %s", offsetof(struct options, stats), 0},
    OPT("-h", show_help),
    OPT("--help", show_help),
    FUSE_OPT_END,
};

/* The first argument that is not an option is the source; the second,
 * the mount point, goes on to the library. */
static int take_source(void *data, const char *arg, int key, struct fuse_args *args) {
    (void)data;
    (void)args;
    if (key == FUSE_OPT_KEY_NONOPT && opt.source == NULL) {
        opt.source = strdup(arg);
        return 0;
    }
    return 1;
}

/* Inserted before the caller's arguments, so that a later -o wins. */
#define DEFAULTS                                                                                                \
    "-oro,fsname=slowfs,subtype=slowfs,auto_unmount,entry_timeout=0,attr_timeout=0,negative_timeout=0,"      \
    "max_threads=512,max_background=512,congestion_threshold=384,readdirplus=no"

static void usage(const char *prog) {
    printf("usage: %s [--delay-us N] [--no-types] [--stats FILE] [--die-with-parent]\n"
           "       [-f] [-d] [-s] [-o OPTION,...] SOURCE MOUNTPOINT\n"
           "defaults, before the options given: %s\n\n", prog, DEFAULTS);
}

int main(int argc, char *argv[]) {
    struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
    if (fuse_opt_parse(&args, &opt, option_spec, take_source) != 0) return 2;
    if (opt.show_help) {
        usage(argv[0]);
        fuse_cmdline_help();
        fuse_lib_help(&args);
        return 0;
    }
    if (opt.source == NULL) {
        usage(argv[0]);
        return 2;
    }
    fuse_opt_insert_arg(&args, 1, DEFAULTS);
    source_fd = open(opt.source, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (source_fd < 0) {
        fprintf(stderr, "slowfs: %s: %s\n", opt.source, strerror(errno));
        return 1;
    }
    /* The default timer slack (50 us) would lengthen every short wait. */
    prctl(PR_SET_TIMERSLACK, 1UL);

    struct fuse_cmdline_opts cmd;
    if (fuse_parse_cmdline(&args, &cmd) != 0) return 2;
    /* The kernel connection's options are the file system's to apply. */
    conn_opts = fuse_parse_conn_info_opts(&args);
    if (conn_opts == NULL) return 2;
    if (cmd.mountpoint == NULL) {
        usage(argv[0]);
        return 2;
    }
    if (opt.die_with_parent) {
        /* Set before anything can fail to be cleaned up; checked after, in
         * case the parent died already. SIGTERM unmounts through libfuse's
         * handler. */
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == 1) return 1;
    }
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, NULL);

    struct fuse *fs = fuse_new(&args, &operations, sizeof operations, NULL);
    if (fs == NULL) return 1;
    int status = 1;
    if (fuse_mount(fs, cmd.mountpoint) == 0) {
        device_fd = fuse_session_fd(fuse_get_session(fs));
        if (fuse_daemonize(cmd.foreground) == 0 && fuse_set_signal_handlers(fuse_get_session(fs)) == 0) {
            pthread_t stats;
            if (opt.stats != NULL) pthread_create(&stats, NULL, stats_thread, &usr1);
            if (cmd.singlethread) {
                status = fuse_loop(fs) != 0;
            } else {
                struct fuse_loop_config *loop = fuse_loop_cfg_create();
                fuse_loop_cfg_set_clone_fd(loop, (unsigned)cmd.clone_fd);
                fuse_loop_cfg_set_max_threads(loop, cmd.max_threads);
                if (cmd.max_idle_threads != UINT_MAX) fuse_loop_cfg_set_idle_threads(loop, cmd.max_idle_threads);
                status = fuse_loop_mt(fs, loop) != 0;
                fuse_loop_cfg_destroy(loop);
            }
            fuse_remove_signal_handlers(fuse_get_session(fs));
        }
        fuse_unmount(fs);
    }
    fuse_destroy(fs);
    write_stats();
    free(cmd.mountpoint);
    fuse_opt_free_args(&args);
    return status;
}
