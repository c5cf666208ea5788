/* The floor for naming files: open each path of a list, read its first
 * 3072 bytes, close it; nothing else. The list is one path per line, or
 * NUL-separated with -0. Prints the number of files read. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char **argv) {
    int nul = argc > 2 && strcmp(argv[1], "-0") == 0;
    const char *list = argv[argc - 1];
    FILE *in = fopen(list, "rb");
    if (argc < 2 || in == NULL) {
        fprintf(stderr, "usage: read_floor [-0] LIST\n");
        return 2;
    }
    char *line = NULL;
    size_t cap = 0;
    ssize_t len;
    long count = 0;
    unsigned char buf[3072];
    while ((len = getdelim(&line, &cap, nul ? '\0' : '\n', in)) > 0) {
        if (line[len - 1] == (nul ? '\0' : '\n')) line[len - 1] = '\0';
        int fd = open(line, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        size_t got = 0;
        ssize_t n;
        while (got < sizeof buf && (n = read(fd, buf + got, sizeof buf - got)) > 0) got += (size_t)n;
        close(fd);
        ++count;
    }
    free(line);
    fclose(in);
    printf("%ld\n", count);
    return 0;
}
