// The platform layer on POSIX systems: directories are descriptors and every
// entry is reached from its directory's descriptor (openat, fstatat), so no
// path the kernel is handed is longer than one name.
#include "cli/platform.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sched.h>
#include <sys/syscall.h>
#endif

#include <atomic>

#include <cerrno>
#include <cstring>

namespace taxon::cli::platform {

class Dir {
public:
    explicit Dir(int fd) : fd_(fd), serial_(next_serial_.fetch_add(1, std::memory_order_relaxed)) {}
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;
    ~Dir() { ::close(fd_); }
    int fd() const { return fd_; }
    // Never the same for two directories, even at the same address.
    std::uint64_t serial() const { return serial_; }

private:
    int fd_;
    std::uint64_t serial_;
    static inline std::atomic<std::uint64_t> next_serial_{1};
};

namespace {

Kind kind_of_mode(mode_t mode) {
    if (S_ISREG(mode)) return Kind::regular;
    if (S_ISDIR(mode)) return Kind::directory;
    if (S_ISLNK(mode)) return Kind::symlink;
    if (S_ISFIFO(mode)) return Kind::fifo;
    if (S_ISSOCK(mode)) return Kind::socket;
    if (S_ISCHR(mode)) return Kind::char_device;
    if (S_ISBLK(mode)) return Kind::block_device;
    return Kind::other;
}

Kind kind_of_dirent(unsigned char type) {
#ifdef DT_UNKNOWN
    switch (type) {
        case DT_REG: return Kind::regular;
        case DT_DIR: return Kind::directory;
        case DT_LNK: return Kind::symlink;
        case DT_FIFO: return Kind::fifo;
        case DT_SOCK: return Kind::socket;
        case DT_CHR: return Kind::char_device;
        case DT_BLK: return Kind::block_device;
        default: return Kind::unknown;
    }
#else
    (void)type;
    return Kind::unknown;
#endif
}

int base_of(const DirPtr& parent) { return parent ? parent->fd() : AT_FDCWD; }

Error adopt_dir(int fd, DirPtr& out, Identity& id) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    try {
        out = std::make_shared<const Dir>(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    return 0;
}

constexpr int DIR_FLAGS = O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC;

}  // namespace

const Error OUT_OF_MEMORY = ENOMEM;

std::string describe(Error e) { return std::strerror(e); }
bool is_not_found(Error e) { return e == ENOENT; }

Error open_dir(const DirPtr& parent, const std::string& name, bool follow, DirPtr& out, Identity& id) {
    const int fd = ::openat(base_of(parent), name.c_str(), DIR_FLAGS | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0) return errno;
    return adopt_dir(fd, out, id);
}

Error open_parent(const DirPtr& child, DirPtr& out, Identity& id) {
    const int fd = ::openat(child->fd(), "..", DIR_FLAGS);
    if (fd < 0) return errno;
    return adopt_dir(fd, out, id);
}

Error list_dir(const Dir& dir, std::vector<Entry>& out) {
    // The stream gets its own descriptor: closedir closes it, and the
    // directory's own stays open for the entries' openat.
    const int fd = ::dup(dir.fd());
    if (fd < 0) return errno;
    DIR* d = ::fdopendir(fd);
    if (d == nullptr) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    ::rewinddir(d);
    Error result = 0;
    try {
        for (;;) {
            errno = 0;
            const dirent* e = ::readdir(d);
            if (e == nullptr) {
                result = errno;
                break;
            }
            const std::string_view name = e->d_name;
            if (name == "." || name == "..") continue;
            out.push_back({std::string(name), kind_of_dirent(e->d_type)});
        }
    } catch (...) {
        ::closedir(d);
        throw;
    }
    ::closedir(d);
    return result;
}

Error status(const DirPtr& parent, const std::string& name, bool follow, Kind& kind) {
    struct stat st;
    if (::fstatat(base_of(parent), name.c_str(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return errno;
    kind = kind_of_mode(st.st_mode);
    return 0;
}

File::~File() {
    if (owned) ::close(static_cast<int>(handle));
}

Error open_file(const DirPtr& parent, const std::string& name, File& out, Kind& kind) {
    // O_NONBLOCK: should the entry have become a FIFO since it was listed,
    // the open must not wait for a writer; the fstat below then refuses it.
    const int fd = ::openat(base_of(parent), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    out.handle = fd;
    out.owned = true;
    struct stat st;
    if (::fstat(fd, &st) != 0) return errno;
    kind = kind_of_mode(st.st_mode);
    if (kind == Kind::regular && st.st_size > 0) out.size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

namespace {

// Which standard streams were closed at start (their descriptors now hold
// /dev/null, only to keep them taken).
bool closed_at_start[3] = {false, false, false};

}  // namespace

void reserve_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor: this one, as the ones below are taken.
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null != fd && null >= 0) ::close(null);
        closed_at_start[fd] = true;
    }
}

void standard_input(File& out) {
    out.handle = closed_at_start[STDIN_FILENO] ? -1 : STDIN_FILENO;
    out.owned = false;
}

Error read_head(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(static_cast<int>(file.handle), buf + got, size - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (file.size != 0 && got >= file.size) break;
    }
    return 0;
}

Error write_all(Stream s, std::string_view bytes) {
    const int fd = s == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
    if (closed_at_start[fd]) return EBADF;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

bool is_terminal(Stream s) {
    const int fd = s == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
    return !closed_at_start[fd] && ::isatty(fd) == 1;
}

namespace {

std::string_view interrupt_text;
const std::atomic<bool>* interrupt_armed = nullptr;

extern "C" void on_signal(int sig) {
    const int saved = errno;
    if (interrupt_armed != nullptr && interrupt_armed->load(std::memory_order_relaxed)) {
        // write() is safe in a signal handler; a short write is left as is.
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, interrupt_text.data(), interrupt_text.size());
    }
    errno = saved;
    // The handler was reset on entry (SA_RESETHAND): the signal, pending
    // until this returns, now ends the process as it would have.
    ::raise(sig);
}

}  // namespace

void on_interrupt(std::string_view text, const std::atomic<bool>& armed) {
    interrupt_text = text;
    interrupt_armed = &armed;
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        // A signal ignored by whoever started the command stays ignored.
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction act {};
        act.sa_handler = on_signal;
        act.sa_flags = SA_RESETHAND;
        ::sigemptyset(&act.sa_mask);
        ::sigaction(sig, &act, nullptr);
    }
}

std::vector<std::string> arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

unsigned cpu_count() {
#if defined(__linux__)
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return static_cast<unsigned>(n);
    }
#endif
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned>(n) : 1u;
}

std::size_t open_dir_budget() {
    // The soft limit may be raised up to the hard one without privilege.
    rlimit lim;
    if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return 64;
    if (lim.rlim_cur != RLIM_INFINITY && (lim.rlim_max == RLIM_INFINITY || lim.rlim_cur < lim.rlim_max)) {
        rlimit raised = lim;
        raised.rlim_cur = lim.rlim_max == RLIM_INFINITY ? 65536 : lim.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) lim = raised;
    }
    constexpr std::size_t CAP = 1 << 16;
    const std::size_t total = lim.rlim_cur == RLIM_INFINITY || lim.rlim_cur > CAP ? CAP : static_cast<std::size_t>(lim.rlim_cur);
    // Standard streams, a listing's extra descriptor, one file per worker
    // and whatever the C library holds: keep a margin.
    constexpr std::size_t RESERVED = 64;
    return total > 2 * RESERVED ? total - RESERVED : total / 2;
}

namespace {

#if defined(__linux__) && defined(SYS_pidfd_open) && defined(SYS_pidfd_getfd)
// This process, as a descriptor opened before any thread leaves the shared
// table, so that every table has it; -1 when the kernel refuses it or
// cannot copy a descriptor from it.
int process_descriptor() {
    static const int pidfd = [] {
        const int fd = static_cast<int>(::syscall(SYS_pidfd_open, ::getpid(), 0));
        if (fd < 0) return -1;
        const int copy = static_cast<int>(::syscall(SYS_pidfd_getfd, fd, fd, 0));
        if (copy < 0) {
            ::close(fd);
            return -1;
        }
        ::close(copy);
        return fd;
    }();
    return pidfd;
}
#endif

}  // namespace

bool own_descriptors() {
#if defined(__linux__) && defined(SYS_pidfd_open) && defined(SYS_pidfd_getfd)
    return process_descriptor() >= 0 && ::unshare(CLONE_FILES) == 0;
#else
    return false;
#endif
}

Error borrow_dir(const DirPtr& dir, Borrowed& mine) {
    if (mine.dir && mine.serial == dir->serial()) return 0;
    mine.dir.reset();
#if defined(__linux__) && defined(SYS_pidfd_open) && defined(SYS_pidfd_getfd)
    // A copy from the process's first table, which the walk's directories
    // are opened in; it is close-on-exec.
    const int fd = static_cast<int>(::syscall(SYS_pidfd_getfd, process_descriptor(), dir->fd(), 0));
    if (fd < 0) return errno;
    try {
        mine.dir = std::make_shared<const Dir>(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
#else
    mine.dir = dir;
#endif
    mine.serial = dir->serial();
    return 0;
}

bool ends_with_separator(std::string_view path) { return !path.empty() && path.back() == '/'; }

}  // namespace taxon::cli::platform
