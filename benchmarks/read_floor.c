/* The floor for naming files: open each path of a list, read its first
 * 3072 bytes, close it; nothing else. The list is one path per line, or
 * NUL-separated with -0. With -t N, N threads of this one process share
 * the list (file i goes to thread i mod N), which shows what threads cost
 * the kernel against as many processes. With -d, each thread opens a file's
 * directory once for the run of its files there and opens the file by its
 * name in it, as a walk does: on a file system where every lookup costs a
 * round trip, a full path would pay one per component. Prints the number
 * of files read. */
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

struct share {
    char **paths;
    long count, first, step, read;
    int by_dir;
};

/* The descriptor to open `path` from, and in *name the part to open: with
 * by_dir, the directory of path, opened unless it is the one before. */
static int base_for(const struct share *s, const char *path, const char **name, char *dir, int *dir_fd) {
    const char *slash = strrchr(path, '/');
    if (!s->by_dir || slash == NULL || slash == path || (size_t)(slash - path) >= PATH_MAX) {
        *name = path;
        return AT_FDCWD;
    }
    size_t len = (size_t)(slash - path);
    *name = slash + 1;
    if (*dir_fd >= 0 && strlen(dir) == len && memcmp(dir, path, len) == 0) return *dir_fd;
    if (*dir_fd >= 0) close(*dir_fd);
    memcpy(dir, path, len);
    dir[len] = '\0';
    *dir_fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return *dir_fd;
}

static void *read_some(void *arg) {
    struct share *s = arg;
    unsigned char buf[3072];
    char dir[PATH_MAX];
    int dir_fd = -1;
    for (long i = s->first; i < s->count; i += s->step) {
        const char *name;
        int base = base_for(s, s->paths[i], &name, dir, &dir_fd);
        if (base < 0 && base != AT_FDCWD) continue;
        int fd = openat(base, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        size_t got = 0;
        ssize_t n;
        while (got < sizeof buf && (n = read(fd, buf + got, sizeof buf - got)) > 0) got += (size_t)n;
        close(fd);
        ++s->read;
    }
    if (dir_fd >= 0) close(dir_fd);
    return NULL;
}

int main(int argc, char **argv) {
    int nul = 0, by_dir = 0;
    long threads = 1;
    int i = 1;
    for (; i < argc - 1; ++i) {
        if (strcmp(argv[i], "-0") == 0) nul = 1;
        else if (strcmp(argv[i], "-d") == 0) by_dir = 1;
        else if (strcmp(argv[i], "-t") == 0 && i + 1 < argc - 1) threads = atol(argv[++i]);
        else break;
    }
    FILE *in = i == argc - 1 ? fopen(argv[i], "rb") : NULL;
    if (in == NULL || threads < 1 || threads > 256) {
        fprintf(stderr, "usage: read_floor [-0] [-d] [-t THREADS] LIST\n");
        return 2;
    }
    char **paths = NULL;
    long count = 0, cap = 0;
    char *line = NULL;
    size_t size = 0;
    ssize_t len;
    while ((len = getdelim(&line, &size, nul ? '\0' : '\n', in)) > 0) {
        if (line[len - 1] == (nul ? '\0' : '\n')) line[len - 1] = '\0';
        if (count == cap) {
            cap = cap ? 2 * cap : 1024;
            char **more = realloc(paths, (size_t)cap * sizeof *paths);
            if (more == NULL) return 1;
            paths = more;
        }
        paths[count] = strdup(line);
        if (paths[count] == NULL) return 1;
        ++count;
    }
    free(line);
    fclose(in);
    struct share shares[256];
    pthread_t ids[256];
    for (long t = 0; t < threads; ++t) {
        shares[t] = (struct share){paths, count, t, threads, 0, by_dir};
        if (t > 0 && pthread_create(&ids[t], NULL, read_some, &shares[t]) != 0) return 1;
    }
    read_some(&shares[0]);
    long total = shares[0].read;
    for (long t = 1; t < threads; ++t) {
        pthread_join(ids[t], NULL);
        total += shares[t].read;
    }
    for (long k = 0; k < count; ++k) free(paths[k]);
    free(paths);
    printf("%ld\n", total);
    return 0;
}
