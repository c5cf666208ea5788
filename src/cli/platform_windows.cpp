// The platform layer on Windows (Win32). A directory is its absolute path in
// the "\\?\" form, which lifts the MAX_PATH limit and takes names as they
// are; entries are reached by appending their name to it. Paths cross this
// layer as UTF-8 (unpaired surrogates as their three-byte form, so that every
// name survives the round trip).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <bit>
#include <cwchar>
#include <cstring>
#include <system_error>
#include <thread>

#include "cli/platform.hpp"

namespace taxon::cli::platform {

class Dir {
public:
    explicit Dir(std::wstring p) : path(std::move(p)) {}
    const std::wstring path;
};

namespace {

// UTF-8 (surrogates allowed) to UTF-16; a byte that begins no character
// becomes U+FFFD, which names no file.
std::wstring widen(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1Fu) : len == 3 ? (b & 0x0Fu) : (b & 0x07u);
        bool ok = len != 0 && len <= s.size() - i;
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (!ok) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}

// UTF-16 to UTF-8, an unpaired surrogate as its own three bytes.
std::string narrow(const wchar_t* s, std::size_t n) {
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        char32_t cp = static_cast<char16_t>(s[i]);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n) {
            const char32_t lo = static_cast<char16_t>(s[i + 1]);
            if (lo >= 0xDC00 && lo < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

Error last_error() { return static_cast<Error>(::GetLastError()); }

// The absolute "\\?\" form of a path as given.
Error absolute(const std::string& given, std::wstring& out) {
    const std::wstring path = widen(given);
    if (path.starts_with(L"\\\\?\\")) {
        out = path;
        return 0;
    }
    const DWORD need = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return last_error();
    std::wstring full(need, L'\0');
    const DWORD got = ::GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return last_error();
    full.resize(got);
    if (full.starts_with(L"\\\\.\\")) {
        out = full;  // a device namespace path stays as it is
    } else if (full.starts_with(L"\\\\")) {
        out = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        out = L"\\\\?\\" + full;
    }
    return 0;
}

Error full_path(const DirPtr& parent, const std::string& name, std::wstring& out) {
    if (!parent) return absolute(name, out);
    out = parent->path;
    if (out.back() != L'\\') out += L'\\';
    out += widen(name);
    return 0;
}

bool is_link_tag(DWORD tag) { return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT; }

// Opens for its attributes only (directories too), following links or not.
HANDLE open_meta(const std::wstring& path, bool follow) {
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
}

Kind kind_of_handle(HANDLE h, bool follow) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
        if (!follow && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && is_link_tag(tag.ReparseTag)) {
            return Kind::symlink;
        }
        if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Kind::directory;
    }
    switch (::GetFileType(h)) {
        case FILE_TYPE_DISK: return Kind::regular;
        case FILE_TYPE_CHAR: return Kind::char_device;
        case FILE_TYPE_PIPE: return Kind::fifo;
        default: return Kind::other;
    }
}

Error open_dir_at(std::wstring path, bool follow, DirPtr& out, Identity& id) {
    const HANDLE h = open_meta(path, follow);
    if (h == INVALID_HANDLE_VALUE) return last_error();
    BY_HANDLE_FILE_INFORMATION info{};
    Error err = 0;
    if (!::GetFileInformationByHandle(h, &info)) {
        err = last_error();
    } else if (kind_of_handle(h, follow) != Kind::directory) {
        err = ERROR_DIRECTORY;
    } else {
        id = {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    }
    ::CloseHandle(h);
    if (err == 0) out = std::make_shared<const Dir>(std::move(path));
    return err;
}

HANDLE stream_handle(Stream s) { return ::GetStdHandle(s == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE); }

}  // namespace

const Error OUT_OF_MEMORY = ERROR_NOT_ENOUGH_MEMORY;
// Not a Win32 error code: never described, only told apart.
const Error WOULD_BLOCK = -1000;
const Error TOO_MANY = -1001;

std::string describe(Error e) {
    // The texts the POSIX build gives, for the reasons met most.
    switch (static_cast<DWORD>(e)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return "No such file or directory";
        case ERROR_ACCESS_DENIED: return "Permission denied";
        case ERROR_DIRECTORY: return "Not a directory";
        case ERROR_FILENAME_EXCED_RANGE: return "File name too long";
        case ERROR_CANT_RESOLVE_FILENAME: return "Too many levels of symbolic links";
        default: break;
    }
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, static_cast<DWORD>(e), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n ? narrow(text, n) : "error " + std::to_string(static_cast<DWORD>(e));
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' ')) out.pop_back();
    return out;
}

bool is_not_found(Error e) {
    return static_cast<DWORD>(e) == ERROR_FILE_NOT_FOUND || static_cast<DWORD>(e) == ERROR_PATH_NOT_FOUND;
}

bool is_transient(Error e) {
    switch (static_cast<DWORD>(e)) {
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_NO_SYSTEM_RESOURCES:
        case ERROR_SHARING_VIOLATION: return true;
        default: return false;
    }
}

bool is_out_of_descriptors(Error e) { return static_cast<DWORD>(e) == ERROR_TOO_MANY_OPEN_FILES; }

Error open_dir(const DirPtr& parent, const std::string& name, bool follow, DirPtr& out, Identity& id) {
    std::wstring path;
    if (const Error err = full_path(parent, name, path)) return err;
    while (path.size() > 7 && path.back() == L'\\' && path[path.size() - 2] != L':') path.pop_back();
    return open_dir_at(std::move(path), follow, out, id);
}

Error open_parent(const DirPtr& child, DirPtr& out, Identity& id) {
    const std::wstring& path = child->path;
    const std::size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut < 4) return ERROR_PATH_NOT_FOUND;
    std::wstring up = path.substr(0, cut);
    if (up.back() == L':') up += L'\\';  // a drive's root keeps its backslash
    return open_dir_at(std::move(up), true, out, id);
}

// No file system of Windows makes its files up as they are read.
bool is_pseudo_file_system(const Dir&) { return false; }

Error list_dir(const Dir& dir, std::vector<Entry>& out, std::size_t most) {
    std::wstring pattern = dir.path;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    const HANDLE h = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                        FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
        const Error err = last_error();
        return static_cast<DWORD>(err) == ERROR_FILE_NOT_FOUND ? 0 : err;
    }
    Error result = 0;
    try {
        do {
            const std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (out.size() == most) {
                result = TOO_MANY;
                break;
            }
            Kind kind = Kind::regular;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && is_link_tag(data.dwReserved0)) {
                kind = Kind::symlink;
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                kind = Kind::directory;
            }
            out.push_back({narrow(name.data(), name.size()), kind});
        } while (::FindNextFileW(h, &data));
        const DWORD err = ::GetLastError();
        if (result == 0 && err != ERROR_NO_MORE_FILES) result = static_cast<Error>(err);
    } catch (...) {
        ::FindClose(h);
        throw;
    }
    ::FindClose(h);
    return result;
}

Error status(const DirPtr& parent, const std::string& name, bool follow, Kind& kind) {
    std::wstring path;
    // A path given as such keeps its own form, so that device names (NUL,
    // CON, \\.\pipe\...) are what they are.
    if (!parent) path = widen(name);
    else if (const Error err = full_path(parent, name, path)) return err;
    const HANDLE h = open_meta(path, follow);
    if (h == INVALID_HANDLE_VALUE) return last_error();
    kind = kind_of_handle(h, follow);
    ::CloseHandle(h);
    return 0;
}

File::~File() { close(); }

void File::close() {
    if (owned) ::CloseHandle(reinterpret_cast<HANDLE>(handle));
    owned = false;
    handle = -1;
}

Error open_file(const DirPtr& parent, const std::string& name, File& out, Kind& kind) {
    std::wstring path;
    if (!parent) path = widen(name);
    else if (const Error err = full_path(parent, name, path)) return err;
    // Opening never waits: a busy pipe fails at once, and a directory opens
    // (backup semantics) only to be told apart below. Random access: no
    // read-ahead beyond the head that is read.
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return last_error();
    out.handle = reinterpret_cast<std::intptr_t>(h);
    out.owned = true;
    kind = kind_of_handle(h, true);
    LARGE_INTEGER size;
    if (kind == Kind::regular && ::GetFileSizeEx(h, &size) && size.QuadPart > 0) {
        out.size = static_cast<std::uint64_t>(size.QuadPart);
    }
    return 0;
}

Error open_stream(const std::string& name, File& out) {
    const std::wstring path = widen(name);
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return last_error();
    out.handle = reinterpret_cast<std::intptr_t>(h);
    out.owned = true;
    return 0;
}

void standard_input(File& out) {
    out.handle = reinterpret_cast<std::intptr_t>(::GetStdHandle(STD_INPUT_HANDLE));
    out.owned = false;
}

Error read_head(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got) {
    got = 0;
    const HANDLE h = reinterpret_cast<HANDLE>(file.handle);
    while (got < size) {
        DWORD n = 0;
        if (!::ReadFile(h, buf + got, static_cast<DWORD>(size - got), &n, nullptr)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF) break;  // the writer is gone: the end
            return static_cast<Error>(err);
        }
        if (n == 0) break;
        got += n;
        if (file.size != 0 && got >= file.size) break;
    }
    return 0;
}

Error read_some(const File& file, std::uint8_t* buf, std::size_t size, std::size_t& got) {
    got = 0;
    DWORD n = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(file.handle), buf, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &n,
                    nullptr)) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF) return 0;  // the writer is gone: the end
        return static_cast<Error>(err);
    }
    got = n;
    return 0;
}

// The files are opened for random access, which already keeps the cache
// from reading ahead.
void advise_head_only(const File&) {}

// Windows cannot say whether an open or a read would wait on the storage:
// every file goes to the threads that may wait.
Error open_file_cached(const DirPtr&, const std::string&, File&, Kind&) { return WOULD_BLOCK; }
Error open_dir_cached(const DirPtr&, const std::string&, DirPtr&, Identity&) { return WOULD_BLOCK; }
Error status_cached(const DirPtr&, const std::string&, bool, Kind&) { return WOULD_BLOCK; }
Error read_head_cached(const File&, std::uint8_t*, std::size_t, std::size_t& got) {
    got = 0;
    return WOULD_BLOCK;
}
bool can_tell_cached() { return false; }

Error write_all(Stream s, std::string_view bytes) {
    const HANDLE h = stream_handle(s);
    DWORD mode;
    if (::GetConsoleMode(h, &mode)) {
        // A console shows UTF-16: the lines are UTF-8.
        const std::wstring text = widen(bytes);
        DWORD n = 0;
        return ::WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr) ? 0 : last_error();
    }
    while (!bytes.empty()) {
        DWORD n = 0;
        if (!::WriteFile(h, bytes.data(), static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30)), &n, nullptr)) {
            return last_error();
        }
        bytes.remove_prefix(n);
    }
    return 0;
}

bool is_terminal(Stream s) {
    DWORD mode;
    return ::GetConsoleMode(stream_handle(s), &mode) != 0;
}

// A handle is not reused as a descriptor number is: a missing standard
// handle stays missing, and writing to it fails.
void reserve_standard_streams() {}

namespace {

std::string_view interrupt_text;
const std::atomic<bool>* interrupt_armed = nullptr;

BOOL WINAPI on_control(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        if (interrupt_armed != nullptr && interrupt_armed->load(std::memory_order_relaxed)) {
            (void)write_all(Stream::err, interrupt_text);
        }
    }
    return FALSE;  // the next handler, the system's, ends the process
}

}  // namespace

void on_interrupt(std::string_view text, const std::atomic<bool>& armed) {
    interrupt_text = text;
    interrupt_armed = &armed;
    ::SetConsoleCtrlHandler(on_control, TRUE);
}

std::vector<std::string> arguments(int, char**) {
    int n = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    std::vector<std::string> out;
    if (wide == nullptr) return out;
    for (int i = 1; i < n; ++i) out.push_back(narrow(wide[i], std::wcslen(wide[i])));
    ::LocalFree(wide);
    return out;
}

unsigned cpu_count() {
    DWORD_PTR process = 0, system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0) {
        return static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process)));
    }
    const DWORD n = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return n ? static_cast<unsigned>(n) : 1u;
}

// A directory here is a path, not a handle, and a process may hold millions
// of handles: nothing to count.
std::size_t descriptor_limit() { return 1 << 16; }

bool thread_waits(std::uint64_t&) { return false; }

std::size_t address_space_limit() { return 0; }

struct Thread::State {
    std::thread thread;
};

Thread::Thread() = default;
Thread::Thread(Thread&&) noexcept = default;
Thread& Thread::operator=(Thread&&) noexcept = default;
Thread::~Thread() { join(); }

// The stack's size is the system's default: a limit on address space is not
// a thing here.
bool Thread::start(std::function<void()> body, std::size_t) {
    auto state = std::make_unique<State>();
    try {
        state->thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    state_ = std::move(state);
    return true;
}

void Thread::join() {
    if (!state_) return;
    state_->thread.join();
    state_.reset();
}

bool own_descriptors() { return false; }

Error borrow_dir(const DirPtr& dir, Borrowed& mine) {
    mine.dir = dir;
    return 0;
}

bool ends_with_separator(std::string_view path) { return !path.empty() && (path.back() == '\\' || path.back() == '/'); }

}  // namespace taxon::cli::platform
