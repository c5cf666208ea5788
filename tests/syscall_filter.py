"""A launcher that runs a command with some system calls refused, as a
container's seccomp profile or an older kernel refuses them: the way to make
the command take each of its fallbacks for real.

    refuse = syscall_filter.build(tmp_dir)
    subprocess.run([*refuse("openat2:ENOSYS", "preadv2:EOPNOTSUPP:5:and:8"), CLI, ...])

A rule is NAME:ERRNO, or NAME:ERRNO:ARG:OP:VALUE to refuse only calls whose
argument ARG (0-5) satisfies OP (`and`: shares a bit with VALUE; `ge`: is at
least VALUE; `eq`)."""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import pytest

SOURCE = r"""
#define _GNU_SOURCE
#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__)
#define ARCH AUDIT_ARCH_X86_64
#elif defined(__aarch64__)
#define ARCH AUDIT_ARCH_AARCH64
#else
#error "no seccomp architecture for this machine"
#endif
#ifndef SYS_openat2
#define SYS_openat2 437
#endif

static const struct { const char *name; long nr; } CALLS[] = {
    {"openat2", SYS_openat2}, {"preadv2", SYS_preadv2}, {"statx", SYS_statx},
    {"pidfd_open", SYS_pidfd_open}, {"pidfd_getfd", SYS_pidfd_getfd}, {"unshare", SYS_unshare},
    {"clone", SYS_clone}, {"clone3", SYS_clone3}, {"openat", SYS_openat}, {"getdents64", SYS_getdents64},
};
static const struct { const char *name; int value; } ERRS[] = {
    {"ENOSYS", ENOSYS}, {"EPERM", EPERM}, {"EINVAL", EINVAL}, {"EOPNOTSUPP", EOPNOTSUPP},
    {"EMFILE", EMFILE}, {"EAGAIN", EAGAIN}, {"ENOMEM", ENOMEM},
};

static long lookup_call(const char *name) {
    for (size_t i = 0; i < sizeof CALLS / sizeof *CALLS; ++i) if (!strcmp(CALLS[i].name, name)) return CALLS[i].nr;
    fprintf(stderr, "unknown call %s\n", name);
    exit(2);
}
static int lookup_err(const char *name) {
    for (size_t i = 0; i < sizeof ERRS / sizeof *ERRS; ++i) if (!strcmp(ERRS[i].name, name)) return ERRS[i].value;
    fprintf(stderr, "unknown errno %s\n", name);
    exit(2);
}

int main(int argc, char **argv) {
    struct sock_filter prog[256];
    int n = 0;
    prog[n++] = (struct sock_filter)BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch));
    prog[n++] = (struct sock_filter)BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARCH, 1, 0);
    prog[n++] = (struct sock_filter)BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS);
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--"); ++i) {
        char *rule = strdup(argv[i]);
        char *name = strtok(rule, ":"), *err = strtok(NULL, ":"), *arg = strtok(NULL, ":");
        char *op = strtok(NULL, ":"), *value = strtok(NULL, ":");
        long nr = lookup_call(name);
        int e = lookup_err(err);
        /* Each rule: reload the number; skip the rule unless it matches. */
        prog[n++] = (struct sock_filter)BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr));
        if (!arg) {
            prog[n++] = (struct sock_filter)BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (unsigned)nr, 0, 1);
            prog[n++] = (struct sock_filter)BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (e & SECCOMP_RET_DATA));
            continue;
        }
        unsigned v = (unsigned)strtoul(value, NULL, 0);
        prog[n++] = (struct sock_filter)BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (unsigned)nr, 0, 3);
        prog[n++] = (struct sock_filter)BPF_STMT(BPF_LD | BPF_W | BPF_ABS,
                                                 offsetof(struct seccomp_data, args) + 8 * atoi(arg));
        if (!strcmp(op, "and")) prog[n++] = (struct sock_filter)BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, v, 0, 1);
        else if (!strcmp(op, "ge")) prog[n++] = (struct sock_filter)BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, v, 0, 1);
        else prog[n++] = (struct sock_filter)BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, v, 0, 1);
        prog[n++] = (struct sock_filter)BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (e & SECCOMP_RET_DATA));
    }
    prog[n++] = (struct sock_filter)BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    if (i + 1 >= argc) {
        fprintf(stderr, "usage: %s RULE... -- COMMAND...\n", argv[0]);
        return 2;
    }
    struct sock_fprog fprog = {.len = (unsigned short)n, .filter = prog};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &fprog)) {
        perror("seccomp");
        return 3;
    }
    execv(argv[i + 1], argv + i + 1);
    perror("execv");
    return 4;
}
"""


def build(directory):
    """Compiles the launcher into `directory`; returns a function giving
    the argument list that runs a command under the rules given. None when
    this cannot be done here (not Linux, no compiler, seccomp refused)."""
    cc = shutil.which("cc") or shutil.which("gcc")
    if not sys.platform.startswith("linux") or cc is None:
        return None
    directory = Path(directory)
    source, binary = directory / "refuse.c", directory / "refuse"
    source.write_text(SOURCE)
    if subprocess.run([cc, "-O1", "-o", binary, source], capture_output=True).returncode != 0:
        return None
    os.chmod(directory, 0o755)
    os.chmod(binary, 0o755)
    # Seccomp may itself be refused (a sandbox that filters prctl).
    if subprocess.run([binary, "unshare:EPERM", "--", "/bin/true"], capture_output=True).returncode != 0:
        return None

    def refuse(*rules):
        return [str(binary), *rules, "--"]

    return refuse


@pytest.fixture(scope="module")
def refuse():
    # Where any user may run it: some runs are another user's.
    d = tempfile.mkdtemp()
    try:
        r = build(d)
        if r is None:
            pytest.skip("cannot refuse system calls here (needs Linux, a C compiler and seccomp)")
        yield r
    finally:
        shutil.rmtree(d)
