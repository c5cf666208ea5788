// The platform layer on POSIX systems: directories are descriptors and every
// entry is reached from its directory's descriptor (openat, fstatat), so no
// path the kernel is handed is longer than one name.
#include "cli/platform.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#if defined(__linux__)
#include <sched.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#elif defined(__APPLE__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__DragonFly__)
#include <sys/mount.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string_view>
#include <utility>

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

const Error OUT_OF_MEMORY = ENOMEM;
// Not an errno value: never described, only told apart.
const Error WOULD_BLOCK = -1000;
const Error TOO_MANY = -1001;

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
// O_NONBLOCK: should the entry have become a FIFO since it was listed, the
// open must not wait for a writer; the kind checked after it refuses it.
constexpr int FILE_FLAGS = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

void set_kind_and_size(File& out, Kind& kind, mode_t mode, std::uint64_t size, std::uint64_t device) {
    kind = kind_of_mode(mode);
    if (kind == Kind::regular && size > 0) out.size = size;
    out.device = device;
}


}  // namespace

std::string describe(Error e) { return std::strerror(e); }
bool is_not_found(Error e) { return e == ENOENT; }
bool is_transient(Error e) {
    return e == EMFILE || e == ENFILE || e == ENOMEM || e == EINTR || e == EAGAIN || e == ENOBUFS;
}
bool is_out_of_descriptors(Error e) { return e == EMFILE; }

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

bool is_pseudo_file_system(const Dir& dir) {
#if defined(__linux__)
    // By the file system's magic number (linux/magic.h); devtmpfs says it is
    // tmpfs and is not told apart: its devices are not read anyway.
    static constexpr unsigned long PSEUDO[] = {
        0x9fa0,      // proc
        0x62656572,  // sysfs
        0x64626720,  // debugfs
        0x74726163,  // tracefs
        0x73636673,  // securityfs
        0x27e0eb,    // cgroup
        0x63677270,  // cgroup2
        0xcafe4a11,  // bpf
        0x6165676c,  // pstore
        0xde5e81e4,  // efivarfs
        0x62656570,  // configfs
        0x65735543,  // fusectl
        0x1cd1,      // devpts
        0x19800202,  // mqueue
        0x42494e4d,  // binfmt_misc
        0xf97cff8c,  // selinuxfs
        0x43415d53,  // smackfs
        0x6e736673,  // nsfs
        0x0187,      // autofs: entering it would mount what it stands for
    };
    struct statfs fs;
    if (::fstatfs(dir.fd(), &fs) != 0) return false;
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xffffffffUL;
    return std::find(std::begin(PSEUDO), std::end(PSEUDO), type) != std::end(PSEUDO);
#elif defined(__APPLE__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__DragonFly__)
    static constexpr std::string_view PSEUDO[] = {"devfs", "fdesc", "fdescfs", "procfs", "linprocfs", "linsysfs", "kernfs", "autofs"};
    struct statfs fs;
    if (::fstatfs(dir.fd(), &fs) != 0) return false;
    const std::string_view name(fs.f_fstypename);
    return std::find(std::begin(PSEUDO), std::end(PSEUDO), name) != std::end(PSEUDO);
#else
    (void)dir;
    return false;
#endif
}

Error list_dir(const Dir& dir, std::vector<Entry>& out, std::size_t most) {
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
            if (out.size() == most) {
                result = TOO_MANY;
                break;
            }
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

File::~File() { close(); }

void File::close() {
    if (owned) ::close(static_cast<int>(handle));
    owned = false;
    handle = -1;
}

namespace {
Error stat_opened(int fd, struct stat& st);

// Makes `out` own the descriptor just opened, and tells what it is.
Error take_opened(int fd, File& out, Kind& kind) {
    out.handle = fd;
    out.owned = true;
    struct stat st;
    if (const Error err = stat_opened(fd, st)) return err;
    set_kind_and_size(out, kind, st.st_mode, static_cast<std::uint64_t>(st.st_size), static_cast<std::uint64_t>(st.st_dev));
    return 0;
}
}  // namespace

Error open_file(const DirPtr& parent, const std::string& name, File& out, Kind& kind) {
    const int fd = ::openat(base_of(parent), name.c_str(), FILE_FLAGS);
    if (fd < 0) return errno;
    return take_opened(fd, out, kind);
}

Error open_stream(const std::string& name, File& out) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    out.handle = fd;
    out.owned = true;
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

Error read_some(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got) {
    got = 0;
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(file.handle), buf, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

void advise_head_only(const File& file) {
    // The read-ahead a first read starts (16 KB and more) would be fetched
    // for nothing: the head is all that is read.
#if defined(__linux__) || defined(__FreeBSD__)
    if (file.size > 4096) (void)::posix_fadvise(static_cast<int>(file.handle), 0, 0, POSIX_FADV_RANDOM);
#elif defined(__APPLE__)
    if (file.size > 4096) (void)::fcntl(static_cast<int>(file.handle), F_RDAHEAD, 0);
#else
    (void)file;
#endif
}

// ---- Calls that never wait on the storage (Linux) --------------------------

namespace {

#if defined(__linux__)
#ifndef SYS_openat2
#define SYS_openat2 437  // the same number on every architecture
#endif
#ifndef RWF_NOWAIT
#define RWF_NOWAIT 0x00000008
#endif
struct OpenHow {
    std::uint64_t flags;
    std::uint64_t mode;
    std::uint64_t resolve;
};
constexpr std::uint64_t RESOLVE_CACHED = 0x20;  // the lookup fails with EAGAIN where it would wait

std::atomic<bool> cached_open_works{true};
std::atomic<bool> nowait_read_works{true};

// A sandbox or an old kernel refuses the call outright, for every file.
bool refused(int err) { return err == ENOSYS || err == EINVAL || err == EPERM; }

Error open_cached(const DirPtr& parent, const std::string& name, int flags, int& fd) {
    if (!cached_open_works.load(std::memory_order_relaxed)) return WOULD_BLOCK;
    OpenHow how{static_cast<std::uint64_t>(flags), 0, RESOLVE_CACHED};
    fd = static_cast<int>(::syscall(SYS_openat2, base_of(parent), name.c_str(), &how, sizeof how));
    if (fd >= 0) return 0;
    const int err = errno;
    if (err == EAGAIN) return WOULD_BLOCK;
    if (refused(err)) {
        cached_open_works.store(false, std::memory_order_relaxed);
        return WOULD_BLOCK;
    }
    return err;
}

#endif

// The kind and size of a file just opened, as the open left them known: a
// remote file system is not asked again (the open itself asked).
Error stat_opened(int fd, struct stat& st) {
#if defined(STATX_TYPE) && defined(AT_STATX_DONT_SYNC)
    struct statx sx;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_SIZE, &sx) == 0) {
        st.st_mode = sx.stx_mode;
        st.st_size = static_cast<off_t>(sx.stx_size);
        st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        return 0;
    }
    // Without statx, the C library's stand-in refuses AT_STATX_DONT_SYNC
    // (EINVAL); a sandbox may refuse it (EPERM).
    if (errno != ENOSYS && errno != EPERM && errno != EINVAL) return errno;
#endif
    return ::fstat(fd, &st) == 0 ? 0 : errno;
}

#if defined(__linux__)
// Whether a file system keeps its files in memory (tmpfs, ramfs): reading
// them never waits on a device, though they refuse RWF_NOWAIT. Asked once
// per file system.
bool in_memory(const File& file) {
    constexpr long TMPFS = 0x01021994, RAMFS = static_cast<long>(0x858458f6);
    static std::mutex mutex;
    static std::vector<std::pair<std::uint64_t, bool>> known;
    std::lock_guard lock(mutex);
    for (const auto& [device, memory] : known) {
        if (device == file.device) return memory;
    }
    struct statfs fs;
    const bool memory = ::fstatfs(static_cast<int>(file.handle), &fs) == 0 &&
                        (static_cast<long>(fs.f_type) == TMPFS || static_cast<long>(fs.f_type) == RAMFS);
    if (known.size() < 64) known.emplace_back(file.device, memory);
    return memory;
}
#endif

}  // namespace

Error open_file_cached(const DirPtr& parent, const std::string& name, File& out, Kind& kind) {
#if defined(__linux__)
    int fd = -1;
    if (const Error err = open_cached(parent, name, FILE_FLAGS, fd)) return err;
    return take_opened(fd, out, kind);
#else
    (void)parent, (void)name, (void)out, (void)kind;
    return WOULD_BLOCK;
#endif
}

Error open_dir_cached(const DirPtr& parent, const std::string& name, DirPtr& out, Identity& id) {
#if defined(__linux__)
    int fd = -1;
    if (const Error err = open_cached(parent, name, DIR_FLAGS | O_NOFOLLOW, fd)) return err;
    return adopt_dir(fd, out, id);
#else
    (void)parent, (void)name, (void)out, (void)id;
    return WOULD_BLOCK;
#endif
}

Error status_cached(const DirPtr& parent, const std::string& name, bool follow, Kind& kind) {
#if defined(__linux__) && defined(O_PATH)
    // A path descriptor: the object is looked up, not opened (a device is
    // not touched).
    int fd = -1;
    if (const Error err = open_cached(parent, name, O_PATH | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW), fd)) return err;
    struct stat st;
    const Error err = stat_opened(fd, st);
    ::close(fd);
    if (err == 0) kind = kind_of_mode(st.st_mode);
    return err;
#else
    (void)parent, (void)name, (void)follow, (void)kind;
    return WOULD_BLOCK;
#endif
}

Error read_head_cached(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got) {
#if defined(__linux__)
    got = 0;
    if (!nowait_read_works.load(std::memory_order_relaxed)) return WOULD_BLOCK;
    while (got < size) {
        iovec iov{buf + got, size - got};
        // Offset -1: from the file's position, which moves on as read() would.
        const ssize_t n = ::preadv2(static_cast<int>(file.handle), &iov, 1, -1, RWF_NOWAIT);
        if (n < 0) {
            const int err = errno;
            if (err == EINTR) continue;
            // Not in memory yet: asked for with the first bytes already
            // read, the rest would come from a file that may have changed.
            if (err == EAGAIN) return WOULD_BLOCK;
            if (err == EOPNOTSUPP) {
                if (!in_memory(file)) return WOULD_BLOCK;
                std::size_t more = 0;
                const Error e = read_head(file, buf + got, size - got, more);
                got += more;
                return e;
            }
            if (err == ENOSYS) {
                nowait_read_works.store(false, std::memory_order_relaxed);
                return WOULD_BLOCK;
            }
            return err;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (file.size != 0 && got >= file.size) break;
    }
    return 0;
#else
    (void)file, (void)buf, (void)size;
    got = 0;
    return WOULD_BLOCK;
#endif
}

bool can_tell_cached() {
#if defined(__linux__)
    return cached_open_works.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

// ---- Standard streams and signals ------------------------------------------

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
sigset_t interrupt_signals;

extern "C" void* wait_for_interrupt(void*) {
    int sig = 0;
    while (::sigwait(&interrupt_signals, &sig) != 0) {
    }
    if (interrupt_armed->load(std::memory_order_relaxed)) {
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, interrupt_text.data(), interrupt_text.size());
    }
    // As the signal would have: its default action ends every thread, even
    // one waiting on a file system that stopped answering.
    ::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(sig);
    return nullptr;
}

}  // namespace

void on_interrupt(std::string_view text, const std::atomic<bool>& armed) {
    interrupt_text = text;
    interrupt_armed = &armed;
    sigemptyset(&interrupt_signals);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        // A signal ignored by whoever started the command stays ignored.
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaddset(&interrupt_signals, sig);
    }
    // Blocked in this thread and in every thread made after it; one thread
    // of its own takes them. A handler would run only when some thread came
    // back from the kernel, which one stuck in a file system may never do.
    // Called before any other thread is made.
    sigset_t old;
    if (::pthread_sigmask(SIG_BLOCK, &interrupt_signals, &old) != 0) return;
    pthread_attr_t attr;
    pthread_t thread;
    bool started = false;
    if (::pthread_attr_init(&attr) == 0) {
        (void)::pthread_attr_setstacksize(&attr, std::max<std::size_t>(64 * 1024, PTHREAD_STACK_MIN));
        (void)::pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        started = ::pthread_create(&thread, &attr, wait_for_interrupt, nullptr) == 0;
        ::pthread_attr_destroy(&attr);
    }
    // No thread for them: they keep their default action.
    if (!started) ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

// ---- The process -----------------------------------------------------------

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

std::size_t descriptor_limit() {
    // The soft limit may be raised up to the hard one without privilege.
    rlimit lim;
    if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return 64;
    if (lim.rlim_cur != RLIM_INFINITY && (lim.rlim_max == RLIM_INFINITY || lim.rlim_cur < lim.rlim_max)) {
        rlimit raised = lim;
        raised.rlim_cur = lim.rlim_max == RLIM_INFINITY ? 65536 : lim.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) lim = raised;
    }
    constexpr std::size_t CAP = 1 << 16;
    return lim.rlim_cur == RLIM_INFINITY || lim.rlim_cur > CAP ? CAP : static_cast<std::size_t>(lim.rlim_cur);
}

bool thread_waits(std::uint64_t& count) {
#if defined(RUSAGE_THREAD)
    rusage usage;
    if (::getrusage(RUSAGE_THREAD, &usage) == 0) {
        count = static_cast<std::uint64_t>(usage.ru_nvcsw);
        return true;
    }
#endif
    (void)count;
    return false;
}

std::size_t address_space_limit() {
    rlimit lim;
    if (::getrlimit(RLIMIT_AS, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return 0;
    const auto limit = static_cast<std::size_t>(std::min<rlim_t>(lim.rlim_cur, SIZE_MAX));
    std::size_t used = 0;
#if defined(__linux__)
    // What the process maps already (its code and libraries, a few MB) is
    // not to be had again: under a small limit it is most of it.
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char text[64] = {};
        if (::read(fd, text, sizeof text - 1) > 0) {
            used = static_cast<std::size_t>(std::strtoull(text, nullptr, 10)) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        }
        ::close(fd);
    }
#endif
    return used >= limit ? 1 : limit - used;
}

// ---- Threads ---------------------------------------------------------------

struct Thread::State {
    pthread_t id{};
    std::function<void()> body;
};

namespace {

extern "C" void* thread_main(void* arg) {
    static_cast<Thread::State*>(arg)->body();
    return nullptr;
}

}  // namespace

Thread::Thread() = default;
Thread::Thread(Thread&&) noexcept = default;
Thread& Thread::operator=(Thread&&) noexcept = default;
Thread::~Thread() { join(); }

bool Thread::start(std::function<void()> body, std::size_t stack_size) {
    auto state = std::make_unique<State>();
    state->body = std::move(body);
    pthread_attr_t attr;
    if (::pthread_attr_init(&attr) != 0) return false;
    (void)::pthread_attr_setstacksize(&attr, std::max<std::size_t>(stack_size, PTHREAD_STACK_MIN));
    const int err = ::pthread_create(&state->id, &attr, thread_main, state.get());
    ::pthread_attr_destroy(&attr);
    if (err != 0) return false;
    state_ = std::move(state);
    return true;
}

void Thread::join() {
    if (!state_) return;
    ::pthread_join(state_->id, nullptr);
    state_.reset();
}

// ---- Descriptor tables of their own (Linux) --------------------------------

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
