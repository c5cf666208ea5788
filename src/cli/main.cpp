// The `taxon` command: names the type of files from their first bytes, with
// the same tree and walk as the Python module (registrations aside, which
// live only inside a Python process).
//
// It reads at most READ_LIMIT bytes of each file, so a huge file costs what a
// small one does; it opens only regular files (and standard input for "-"),
// so a FIFO or a device can never block it or be disturbed by it; and every
// failure becomes one line on standard error, after which it goes on.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tree/mime_type.hpp"

#ifndef TAXON_VERSION
#define TAXON_VERSION "unknown"
#endif

namespace {

using taxon::MimeType;
using taxon::READ_LIMIT;

constexpr std::string_view USAGE =
    "Usage: taxon [OPTION]... FILE...\n"
    "Name the type of each FILE from its content (its first 3072 bytes).\n"
    "A FILE of '-' is standard input. Only regular files are read.\n"
    "\n"
    "Output: one line per file, PATH, MIME type and extension separated by tabs\n"
    "(the extension is empty for types that have none). In PATH, a backslash,\n"
    "a tab, a newline, other control bytes and bytes that are not UTF-8 are\n"
    "written as \\\\, \\t, \\n and \\xHH.\n"
    "\n"
    "  -r, --recursive  walk directories (symbolic links to directories met\n"
    "                   during the walk are not followed)\n"
    "      --mime       print only the MIME type of each file, without its path\n"
    "      --ext        print only the extension of each file, without its path\n"
    "      --json       print one JSON object per file: path, mime, extension\n"
    "                   (path bytes that are not UTF-8 become \\udc80..\\udcff)\n"
    "      --list-types print every known type, in the order the tree is\n"
    "                   walked, as JSON lines (mime, extension, parent, depth)\n"
    "  -h, --help       show this help and exit\n"
    "  -V, --version    show the version and exit\n"
    "\n"
    "Errors (missing or unreadable files, directories without -r, FIFOs and\n"
    "other special files) are reported on standard error as 'taxon: PATH: reason'.\n"
    "Exit status: 0 if every file was named, 1 if any failed, 2 on a usage error.\n";

enum class Format { Line, Mime, Ext, Json };

struct Options {
    Format format = Format::Line;
    bool format_given = false;
    bool recursive = false;
    bool list_types = false;
};

bool any_failed = false;

void put(std::string_view s) { std::fwrite(s.data(), 1, s.size(), stdout); }

void put_hex_byte(std::string& out, std::string_view prefix, unsigned char c) {
    static constexpr char HEX[] = "0123456789abcdef";
    out += prefix;
    out += HEX[c >> 4];
    out += HEX[c & 15];
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when the byte there
// does not begin one (overlong forms, surrogates and values past U+10FFFF
// are not well formed).
std::size_t utf8_sequence(std::string_view s, std::size_t i);

// A path as one line of UTF-8 text: control bytes and bytes that are not
// UTF-8 are escaped, and the backslash too so that the escape can be undone.
std::string printable(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        const std::size_t n = utf8_sequence(path, i);
        if (n == 0) {
            put_hex_byte(out, "\\x", c);
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(path.substr(i, n));
            i += n;
            continue;
        }
        const char ch = path[i++];
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c < 0x20 || c == 0x7F) put_hex_byte(out, "\\x", c);
                else out += ch;
        }
    }
    return out;
}

std::size_t utf8_sequence(std::string_view s, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = at(i);
    const std::size_t left = s.size() - i;
    const auto cont = [&](std::size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) {
        return k < left && at(i + k) >= lo && at(i + k) <= hi;
    };
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return cont(1) ? 2 : 0;
    if (b == 0xE0) return cont(1, 0xA0) && cont(2) ? 3 : 0;
    if (b == 0xED) return cont(1, 0x80, 0x9F) && cont(2) ? 3 : 0;
    if (b >= 0xE1 && b <= 0xEF) return cont(1) && cont(2) ? 3 : 0;
    if (b == 0xF0) return cont(1, 0x90) && cont(2) && cont(3) ? 4 : 0;
    if (b == 0xF4) return cont(1, 0x80, 0x8F) && cont(2) && cont(3) ? 4 : 0;
    if (b >= 0xF1 && b <= 0xF3) return cont(1) && cont(2) && cont(3) ? 4 : 0;
    return 0;
}

// A JSON string for arbitrary bytes. Well-formed UTF-8 is kept; every other
// byte B becomes the escape \udcBB, the same lone surrogate that Python's
// "surrogateescape" uses, so json.loads + os.fsencode gives the bytes back.
void json_string(std::string& out, std::string_view s) {
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = utf8_sequence(s, i);
        if (n == 0) {
            put_hex_byte(out, "\\udc", c);
            ++i;
            continue;
        }
        if (n == 1) {
            switch (c) {
                case '"': out += "\\\""; break;
                case '\\': out += "\\\\"; break;
                case '\b': out += "\\b"; break;
                case '\f': out += "\\f"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\t': out += "\\t"; break;
                default:
                    if (c < 0x20) put_hex_byte(out, "\\u00", c);
                    else out += static_cast<char>(c);
            }
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    out += '"';
}

void fail(std::string_view path, std::string_view reason) {
    std::fflush(stdout);  // keep stdout and stderr in order on a terminal
    std::string line = "taxon: ";
    line += printable(path);
    line += ": ";
    line += reason;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    any_failed = true;
}

void report(const Options& opt, std::string_view path, const MimeType& type) {
    std::string line;
    switch (opt.format) {
        case Format::Line:
            line = printable(path);
            line += '\t';
            line += type.mime;
            line += '\t';
            line += type.extension;
            break;
        case Format::Mime: line = type.mime; break;
        case Format::Ext: line = type.extension; break;
        case Format::Json:
            line = "{\"path\": ";
            json_string(line, path);
            line += ", \"mime\": ";
            json_string(line, type.mime);
            line += ", \"extension\": ";
            json_string(line, type.extension);
            line += '}';
            break;
    }
    line += '\n';
    put(line);
}

// Reads up to READ_LIMIT bytes from `fd`; returns the count, or -1 with errno.
long read_head(int fd, std::uint8_t* buf) {
    std::size_t got = 0;
    while (got < READ_LIMIT) {
        const ssize_t n = ::read(fd, buf + got, READ_LIMIT - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

void detect_fd(const Options& opt, std::string_view path, int fd) {
    std::uint8_t buf[READ_LIMIT];
    const long n = read_head(fd, buf);
    if (n < 0) return fail(path, std::strerror(errno));
    report(opt, path, taxon::detect(buf, static_cast<std::size_t>(n)));
}

const char* kind_of(mode_t mode) {
    if (S_ISFIFO(mode)) return "not a regular file (a FIFO)";
    if (S_ISSOCK(mode)) return "not a regular file (a socket)";
    if (S_ISCHR(mode)) return "not a regular file (a character device)";
    if (S_ISBLK(mode)) return "not a regular file (a block device)";
    if (S_ISDIR(mode)) return "Is a directory (use -r to walk it)";
    return "not a regular file";
}

// A path known (by stat) not to be a directory.
void detect_file(const Options& opt, const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return fail(path, kind_of(st.st_mode));
    // O_NONBLOCK: should the path have been swapped for a FIFO since the
    // stat, the open must not wait for a writer; the fstat below refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(path, std::strerror(errno));
    struct stat now;
    if (::fstat(fd, &now) != 0) {
        fail(path, std::strerror(errno));
    } else if (!S_ISREG(now.st_mode)) {
        fail(path, kind_of(now.st_mode));
    } else {
        detect_fd(opt, path, fd);
    }
    ::close(fd);
}

// stat() of `path`, following symbolic links, with a clearer reason than
// "No such file or directory" for a link whose target is missing.
bool stat_or_fail(const std::string& path, struct stat& st) {
    if (::stat(path.c_str(), &st) == 0) return true;
    const int err = errno;
    struct stat link;
    if (err == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        fail(path, "broken symbolic link");
    } else {
        fail(path, std::strerror(err));
    }
    return false;
}

std::string join(const std::string& dir, const char* name) {
    std::string out = dir;
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

// Sorted names of a directory's entries, or false after reporting why not.
bool list_dir(const std::string& dir, std::vector<std::string>& names) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        fail(dir, std::strerror(errno));
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (e == nullptr) {
            if (errno != 0) fail(dir, std::strerror(errno));
            break;
        }
        const std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        names.emplace_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return true;
}

// Depth-first, entries in byte order of their names. Entries are examined
// without following links; a link is followed to a file but never into a
// directory, so a walk always ends.
void walk(const Options& opt, const std::string& root) {
    struct Frame {
        std::string dir;
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    std::vector<Frame> stack;
    stack.push_back({root, {}, 0});
    if (!list_dir(root, stack.back().names)) return;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.names.size()) {
            stack.pop_back();
            continue;
        }
        const std::string path = join(top.dir, top.names[top.next++].c_str());
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            fail(path, std::strerror(errno));  // vanished since it was listed
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            Frame sub{path, {}, 0};
            if (list_dir(path, sub.names)) stack.push_back(std::move(sub));
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (!stat_or_fail(path, st)) continue;
            if (S_ISDIR(st.st_mode)) continue;
        }
        detect_file(opt, path, st);
    }
}

void handle(const Options& opt, const std::string& path) {
    if (path == "-") return detect_fd(opt, path, STDIN_FILENO);
    struct stat st;
    if (!stat_or_fail(path, st)) return;
    if (S_ISDIR(st.st_mode)) {
        if (opt.recursive) return walk(opt, path);
        return fail(path, kind_of(st.st_mode));
    }
    detect_file(opt, path, st);
}

// Every record, parents before children and children in the order tried.
void list_types() {
    struct Item {
        const MimeType* type;
        const MimeType* parent;
        int depth;
    };
    std::vector<Item> stack{{&taxon::ROOT, nullptr, 0}};
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        std::string line = "{\"mime\": ";
        json_string(line, item.type->mime);
        line += ", \"extension\": ";
        json_string(line, item.type->extension);
        line += ", \"parent\": ";
        if (item.parent != nullptr) json_string(line, item.parent->mime);
        else line += "null";
        line += ", \"depth\": ";
        line += std::to_string(item.depth);
        line += "}\n";
        put(line);
        const auto& kids = item.type->children;
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, item.type, item.depth + 1});
    }
}

[[noreturn]] void usage_error(std::string_view message) {
    std::string line = "taxon: ";
    line += message;
    line += "\nTry 'taxon --help' for more information.\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::exit(2);
}

void set_format(Options& opt, Format f) {
    if (opt.format_given && opt.format != f) usage_error("--mime, --ext and --json exclude each other");
    opt.format = f;
    opt.format_given = true;
}

int finish() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::string line = "taxon: write error: ";
        line += std::strerror(errno);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        return 1;
    }
    return any_failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // One write per line: several commands writing into one pipe (xargs -P)
    // never mix their lines, and a reader sees each answer as it is made.
    static char out_buffer[1 << 13];
    std::setvbuf(stdout, out_buffer, _IOLBF, sizeof out_buffer);

    Options opt;
    std::vector<std::string> files;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options_done || arg == "-" || arg.empty() || arg[0] != '-') {
            files.emplace_back(arg);
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "--help") {
            put(USAGE);
            return finish();
        } else if (arg == "--version") {
            put("taxon " TAXON_VERSION "\n");
            return finish();
        } else if (arg == "--recursive") {
            opt.recursive = true;
        } else if (arg == "--mime") {
            set_format(opt, Format::Mime);
        } else if (arg == "--ext") {
            set_format(opt, Format::Ext);
        } else if (arg == "--json") {
            set_format(opt, Format::Json);
        } else if (arg == "--list-types") {
            opt.list_types = true;
        } else if (arg.starts_with("--")) {
            usage_error("unknown option '" + printable(arg) + "'");
        } else {
            for (char c : arg.substr(1)) {
                if (c == 'r') {
                    opt.recursive = true;
                } else if (c == 'h') {
                    put(USAGE);
                    return finish();
                } else if (c == 'V') {
                    put("taxon " TAXON_VERSION "\n");
                    return finish();
                } else {
                    usage_error("unknown option '-" + printable(std::string_view(&c, 1)) + "'");
                }
            }
        }
    }

    if (opt.list_types) {
        if (!files.empty() || opt.format_given || opt.recursive) usage_error("--list-types takes no other argument");
        list_types();
        return finish();
    }
    if (files.empty()) usage_error("no FILE given (use - for standard input)");
    for (const std::string& path : files) handle(opt, path);
    return finish();
}
