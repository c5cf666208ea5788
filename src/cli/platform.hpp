// What the command needs from the operating system, in its own terms: open
// directories and read their entries, open files beneath them without ever
// blocking, read a file's first bytes, write output, and a few facts about
// the process. platform_posix.cpp and platform_windows.cpp implement it; the
// rest of the command holds no system calls.
//
// Names and paths are bytes: on POSIX the system's own, on Windows UTF-8
// made from the system's UTF-16 (an unpaired surrogate becomes the three
// bytes that encode it, which are not well-formed UTF-8).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace taxon::cli::platform {

// 0 on success, else the system's own code (errno, or a Win32 error).
using Error = int;

// The system's code for "out of memory".
extern const Error OUT_OF_MEMORY;
// Given by the *_cached calls below when the answer needs the storage: the
// caller hands that work to a thread that may wait for it.
extern const Error WOULD_BLOCK;

// The reason for `e`, as one line of text.
std::string describe(Error e);
// True when `e` says that the path does not exist.
bool is_not_found(Error e);
// True when `e` may go away if tried again a little later: out of
// descriptors or memory for now, interrupted, busy.
bool is_transient(Error e);
// True when `e` says that this process has no descriptor left (as opposed
// to the whole system).
bool is_out_of_descriptors(Error e);

enum class Kind : std::uint8_t { unknown, regular, directory, symlink, fifo, socket, char_device, block_device, other };

// Which file system object a path leads to, and on which file system.
struct Identity {
    std::uint64_t device = 0;
    std::uint64_t node = 0;
    bool operator==(const Identity&) const = default;
};

// An open directory: its entries are opened through it, whatever the length
// of the path that leads to it. Shared, so that work in flight keeps the
// directory it reads from open.
class Dir;
using DirPtr = std::shared_ptr<const Dir>;

struct Entry {
    std::string name;
    Kind kind;  // unknown when the listing does not say
};

// Opens the directory `name` in `parent`, or the path `name` when `parent`
// is null. `follow`: whether a symbolic link is followed to a directory.
Error open_dir(const DirPtr& parent, const std::string& name, bool follow, DirPtr& out, Identity& id);
// Opens the directory that holds `child` (its parent), for walks that let go
// of a directory while they were deeper in the tree.
Error open_parent(const DirPtr& child, DirPtr& out, Identity& id);
// Every entry of `dir` but "." and "..", in no particular order; TOO_MANY
// as soon as there are more than `most`.
Error list_dir(const Dir& dir, std::vector<Entry>& out, std::size_t most = SIZE_MAX);
extern const Error TOO_MANY;

// Whether `dir` is on a file system whose files the kernel makes up as
// they are read (/proc, /sys, debugfs, cgroup, ...): reading them can have
// effects (/proc/kmsg consumes the kernel's messages) and tells nothing
// about stored content, so a walk does not enter them.
bool is_pseudo_file_system(const Dir& dir);

// The kind of `name` in `parent` (of the path `name` when `parent` is null),
// following a symbolic link or not.
Error status(const DirPtr& parent, const std::string& name, bool follow, Kind& kind);

// An open file, closed when it goes.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();
    void close();
    std::intptr_t handle = -1;
    bool owned = false;
    // The size the file had when opened, when it is known and not zero:
    // reading stops there rather than asking again for the end. (Files
    // that claim no size, as under /proc, are read to their end.)
    std::uint64_t size = 0;
    std::uint64_t device = 0;
};

// Opens `name` in `parent` (the path `name` when `parent` is null) for
// reading, without waiting should it be a FIFO or a device, and tells what
// was opened: the caller reads it only when `kind` is regular.
Error open_file(const DirPtr& parent, const std::string& name, File& out, Kind& kind);
// Opens the path `name` to be read to its end, waiting for a writer if it
// is a FIFO: a list of paths, which may come through a pipe.
Error open_stream(const std::string& name, File& out);
// Standard input, not closed by its File.
void standard_input(File& out);
// Reads up to `size` bytes, as many as the file has: `got` is less than
// `size` only at its end.
Error read_head(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got);
// Reads what comes, at most `size` bytes: `got` is 0 only at the end.
Error read_some(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got);
// Tells the system that no more than the first bytes will be read, so that
// reading them fetches no more than they need from the storage.
void advise_head_only(const File& file);

// The same calls, done only when nothing they need waits on the storage
// (names, metadata and data already in memory); WOULD_BLOCK otherwise, and
// always where the system cannot tell. Any other answer is final.
Error open_file_cached(const DirPtr& parent, const std::string& name, File& out, Kind& kind);
Error open_dir_cached(const DirPtr& parent, const std::string& name, DirPtr& out, Identity& id);
Error status_cached(const DirPtr& parent, const std::string& name, bool follow, Kind& kind);
Error read_head_cached(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got);
// False where the calls above always give WOULD_BLOCK: found out at the
// first call, or refused by the system (an old kernel, a sandbox).
bool can_tell_cached();

enum class Stream { out, err };
// A stream that was closed when the command started fails every write with
// the system's "bad descriptor" error, as it would have.
Error write_all(Stream s, std::string_view bytes);
bool is_terminal(Stream s);

// Called first: makes sure the standard streams' descriptors are taken, so
// that nothing the command opens lands on one that was closed and is then
// written to or read from as if it were that stream. A closed stream stays
// closed to the command.
void reserve_standard_streams();

// On an interrupt or a request to terminate (Ctrl-C, SIGTERM), writes
// `text` to standard error while `armed` is set, then ends the process as
// the signal would have. `text` and `armed` must outlive the process.
// Called before any other thread is made.
void on_interrupt(std::string_view text, const std::atomic<bool>& armed);

// The command's arguments as bytes (on Windows, UTF-8 of the wide command line).
std::vector<std::string> arguments(int argc, char** argv);
// How many processors this process may run on (at least 1).
unsigned cpu_count();
// How many descriptors the process may hold at once (its limit, raised as
// far as it may be), or 0 when there is no such limit worth counting.
std::size_t descriptor_limit();

// How many times the calling thread has waited so far (gave up the
// processor for a blocking call: a read from the storage, say); false where
// the system does not count them.
bool thread_waits(std::uint64_t& count);

// How much more address space the process may take (`ulimit -v`, less
// what it maps already), or 0 when there is no such limit.
std::size_t address_space_limit();

// A thread with a stack of a given size: small for work that mostly waits
// on the system, so that many fit where address space is limited.
class Thread {
public:
    Thread();
    Thread(Thread&&) noexcept;
    Thread& operator=(Thread&&) noexcept;
    ~Thread();  // joins
    // False when the system refuses another thread.
    bool start(std::function<void()> body, std::size_t stack_size);
    void join();
    struct State;  // the system's own

private:
    std::unique_ptr<State> state_;
};

// Gives the calling thread a descriptor table of its own, so that opening
// and closing its files does not contend in the kernel with the other
// threads' (a shared table costs every open, read and close a lock or a
// reference count). Its directories then come from borrow_dir, and it must
// not let go of a directory opened by another thread: that descriptor is not
// in its table. False where not possible: the table stays shared.
bool own_descriptors();

// The calling thread's own descriptor of `dir` (opened by another thread),
// kept in `mine` while `dir` is the one last borrowed.
struct Borrowed {
    std::uint64_t serial = 0;
    DirPtr dir;
};
Error borrow_dir(const DirPtr& dir, Borrowed& mine);

// Paths printed for entries are their directory's path, this separator
// (unless that path already ends with one) and their name.
bool ends_with_separator(std::string_view path);
inline constexpr char SEPARATOR =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

}  // namespace taxon::cli::platform
