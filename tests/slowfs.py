"""Mounts slowfs (benchmarks/slowfs/slowfs.c), a read-only FUSE mirror of a
directory that waits a fixed time on every operation and may list entries
without their types, for tests and benchmarks.

    with mounted(source, mount_point, delay_us=100, types=False) as top:
        ...  # top is mount_point, now a slow mirror of source

(Mount is the same as an object, with slowfs's process id and operation
counts, for the benchmarks.)
The program is compiled once per version of its source into
${XDG_CACHE_HOME:-~/.cache}/taxon/slowfs/, outside the checkout. What the
mount needs and may lack here (a C compiler, libfuse3's headers, /dev/fuse,
the right to mount) raises Unavailable with the reason, for a test to skip
on. The mount is always taken down on the way out, and slowfs is started
with --die-with-parent, so a killed caller leaves no mount behind either."""

import contextlib
import hashlib
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent / "benchmarks" / "slowfs" / "slowfs.c"
CACHE = Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "taxon" / "slowfs"
# Debian's packages for building and mounting it.
PACKAGES = "libfuse3-dev fuse3 pkg-config"


class Unavailable(Exception):
    """This machine cannot build or mount slowfs; the reason is the message."""


def _plain_env():
    """The environment without preloaded sanitizer runtimes: slowfs and its
    compiler are the instrument here, not the code under test."""
    env = dict(os.environ)
    for name in ("LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS", "PYTHONMALLOC"):
        env.pop(name, None)
    return env


def build():
    """The path of the compiled program, compiling it if this version of the
    source has not been yet."""
    source = SOURCE.read_bytes()
    binary = CACHE / f"slowfs-{hashlib.sha256(source).hexdigest()[:16]}"
    if binary.exists():
        return binary
    cc = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    if not cc:
        raise Unavailable(f"no C compiler (Debian: apt-get install gcc {PACKAGES})")
    if not shutil.which("pkg-config"):
        raise Unavailable(f"no pkg-config (Debian: apt-get install {PACKAGES})")
    flags = subprocess.run(["pkg-config", "fuse3", "--cflags", "--libs"], capture_output=True, text=True,
                           env=_plain_env())
    if flags.returncode != 0:
        raise Unavailable(f"no libfuse3 headers (Debian: apt-get install {PACKAGES})")
    CACHE.mkdir(parents=True, exist_ok=True)
    fd, tmp = tempfile.mkstemp(dir=CACHE, prefix=".slowfs-")
    os.close(fd)
    try:
        r = subprocess.run([cc, "-O2", "-Wall", "-Wextra", "-o", tmp, str(SOURCE), *flags.stdout.split()],
                           capture_output=True, text=True, env=_plain_env())
        if r.returncode != 0:
            raise RuntimeError(f"slowfs.c does not compile:\n{r.stderr}")
        os.replace(tmp, binary)  # another process may have built it meanwhile: the same bytes
    finally:
        with contextlib.suppress(FileNotFoundError):
            os.unlink(tmp)
    return binary


def _unescape(field):
    # /proc/self/mountinfo writes space, tab, newline and backslash as \ooo.
    out, i = bytearray(), 0
    raw = os.fsencode(field)
    while i < len(raw):
        if raw[i:i + 1] == b"\\" and raw[i + 1:i + 4].isdigit():
            out.append(int(raw[i + 1:i + 4], 8))
            i += 4
        else:
            out.append(raw[i])
            i += 1
    return os.fsdecode(bytes(out))


def is_mounted(mount_point):
    """Whether a slowfs mount sits on mount_point, from the mount table
    alone: no call into the file system, which could hang if it is sick."""
    target = os.path.realpath(mount_point)
    with open("/proc/self/mountinfo") as table:
        for line in table:
            fields = line.split(" - ")
            if len(fields) == 2 and fields[1].startswith("fuse.slowfs ") \
                    and _unescape(fields[0].split()[4]) == target:
                return True
    return False


def unmount(mount_point):
    """Takes a slowfs mount down: a plain unmount, else a lazy one (some
    process still has a file open there), else the raw umount calls."""
    for command in (["fusermount3", "-u", "-q"], ["fusermount3", "-u", "-z", "-q"], ["umount"], ["umount", "-l"]):
        if not is_mounted(mount_point):
            return
        if shutil.which(command[0]):
            with contextlib.suppress(subprocess.TimeoutExpired):
                subprocess.run([*command, str(mount_point)], capture_output=True, timeout=30)


class Mount:
    """A slowfs mount as a context: entered, it is up (or Unavailable was
    raised); left, it is down and slowfs has exited. `pid` is slowfs's
    process, for its /proc/PID/io; counts() reads its operation counts."""

    def __init__(self, source, mount_point, *, delay_us=0, types=True, options=()):
        self.source, self.mount_point = Path(source), Path(mount_point)
        self.args = ["-f", "--die-with-parent", "--delay-us", str(delay_us), *options]
        if not types:
            self.args.append("--no-types")
        self.process = None

    @property
    def pid(self):
        return self.process.pid

    def __enter__(self):
        if not os.path.exists("/dev/fuse"):
            raise Unavailable("no /dev/fuse (FUSE is not available here)")
        binary = build()
        self._work = tempfile.TemporaryDirectory(prefix="slowfs-")
        self.stats = Path(self._work.name) / "stats"
        log_path = Path(self._work.name) / "log"
        args = [str(binary), *self.args, "--stats", str(self.stats), str(self.source), str(self.mount_point)]
        with open(log_path, "wb") as log:
            self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                            env=_plain_env())
        try:
            deadline = time.monotonic() + 20
            while not is_mounted(self.mount_point):
                if self.process.poll() is not None:
                    message = log_path.read_text(errors="replace").strip()
                    raise Unavailable(f"slowfs could not mount (exit status {self.process.returncode}): {message}")
                if time.monotonic() > deadline:
                    raise RuntimeError("slowfs did not mount within 20 s")
                time.sleep(0.01)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        unmount(self.mount_point)
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            unmount(self.mount_point)  # a killed slowfs leaves its mount without a server
        self._work.cleanup()

    def counts(self, timeout=10):
        """The operations served so far: {"getattr": n, "readlink": n,
        "opendir": n, "readdir": n, "open": n, "read": n, "read_bytes": n}
        (a lookup counts as a getattr), and "most_waiting": the most that
        were in their wait at once (with a delay), the requests a client kept
        in flight."""
        def load():
            try:
                return {k: int(v) for k, v in (line.split() for line in self.stats.read_text().splitlines())}
            except (FileNotFoundError, ValueError):
                return {"sequence": 0}
        before = load()["sequence"]
        self.process.send_signal(signal.SIGUSR1)
        deadline = time.monotonic() + timeout
        while True:
            now = load()
            if now["sequence"] > before:
                del now["sequence"]
                return now
            if time.monotonic() > deadline:
                raise RuntimeError("slowfs did not write its counts")
            time.sleep(0.005)


@contextlib.contextmanager
def mounted(source, mount_point, *, delay_us=0, types=True, options=()):
    """Mounts a slow mirror of source on mount_point (an existing, empty
    directory) and yields mount_point. options: more slowfs arguments, e.g.
    ["-o", "entry_timeout=1"]."""
    with Mount(source, mount_point, delay_us=delay_us, types=types, options=options):
        yield Path(mount_point)
