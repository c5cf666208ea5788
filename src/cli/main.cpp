// The `taxon` command: names the type of files from their first bytes, with
// the same tree and walk as the Python module (registrations aside, which
// live only inside a Python process).
//
// It reads at most READ_LIMIT bytes of each file, so a huge file costs what a
// small one does; it opens only regular files (and standard input for "-"),
// so a FIFO or a device can never block it or be disturbed by it; and every
// failure becomes one line on standard error, after which it goes on. Files
// are read on several threads, and the output is the same as on one.
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/budget.hpp"
#include "cli/escape.hpp"
#include "cli/io_pool.hpp"
#include "cli/path_list.hpp"
#include "cli/pipeline.hpp"
#include "cli/platform.hpp"
#include "cli/walk.hpp"
#include "tree/mime_type.hpp"

#ifndef TAXON_VERSION
#define TAXON_VERSION "unknown"
#endif

namespace {

using namespace taxon::cli;
using taxon::MimeType;

constexpr std::string_view USAGE =
    "Usage: taxon [OPTION]... FILE...\n"
    "Name the type of each FILE from its content (its first 3072 bytes).\n"
    "A FILE of '-' is standard input. Only regular files are read.\n"
    "\n"
    "Output: one line per file, PATH, MIME type and extension separated by tabs\n"
    "(the extension is empty for types that have none). In PATH, a backslash,\n"
    "a tab, a newline and a carriage return are written as \\\\, \\t, \\n and \\r;\n"
    "other control bytes and bytes that are not UTF-8 as \\xHH.\n"
    "\n"
    "  -r, --recursive  walk directories; met during the walk, symbolic links\n"
    "                   to directories are not followed, and the kernel's own\n"
    "                   file systems (/proc, /sys, cgroup, debugfs, ...), whose\n"
    "                   files are made up as they are read, are not entered:\n"
    "                   name one as FILE to walk it\n"
    "  -x, --one-file-system\n"
    "                   with -r (needed), do not enter directories on another\n"
    "                   file system than the FILE the walk started from\n"
    "  -j, --jobs N     name files on N threads (default: the number of\n"
    "                   processors this process may use); the output is the\n"
    "                   same, in the same order, for every N\n"
    "      --in-flight N  keep up to N opens, reads and directory listings\n"
    "                   waiting on the storage at once, whatever -j is: what\n"
    "                   hides the latency of a cold disk, a network file system\n"
    "                   or a slow device (default: 64 once the storage makes a\n"
    "                   request wait, and up to 512 where none is answered in\n"
    "                   under 4 ms); 1: the -j threads wait for their own reads\n"
    "      --files-from LIST\n"
    "                   name the files listed in LIST (- for standard input),\n"
    "                   one per line, in the list's order, instead of FILE\n"
    "                   arguments; in a list, - is a file of that name\n"
    "  -0, --null       the names in LIST end with a NUL byte, not a newline,\n"
    "                   so that any name can be listed (what find's -print0\n"
    "                   writes)\n"
    "      --mime       print only the MIME type of each file, without its path\n"
    "      --ext        print only the extension of each file, without its path\n"
    "      --json       print one JSON object per file: path, mime, extension\n"
    "                   (path bytes that are not UTF-8 become \\udc80..\\udcff)\n"
    "      --summary    print, instead of a line per file, one line per MIME type:\n"
    "                   count, tab, type, most frequent first (equal counts in\n"
    "                   byte order of the type); then 'N named, N failed, N bytes\n"
    "                   read'; with --json, all of it as one JSON object\n"
    "      --no-progress  never show the progress line (otherwise shown on\n"
    "                   standard error when it is a terminal and the run lasts\n"
    "                   over a second)\n"
    "      --list-types print every known type, in the order the tree is\n"
    "                   walked, as JSON lines (mime, extension, parent, depth,\n"
    "                   mime_aliases, extension_aliases)\n"
    "  -h, --help       show this help and exit\n"
    "  -V, --version    show the version and exit\n"
    "\n"
    "Errors (missing or unreadable files, directories without -r, FIFOs and\n"
    "other special files) are reported on standard error as 'taxon: PATH: reason'.\n"
    "Exit status: 0 if every file was named, 1 if any failed or output could not\n"
    "be written, 2 on a usage error or with too few file descriptors to work.\n";

// Requests waiting on the storage at once: enough to keep a fast disk busy;
// more, up to the most, where each takes long (a network file system, FUSE,
// a spinning disk), as measured during the run.
constexpr unsigned DEFAULT_IN_FLIGHT = 64;
constexpr unsigned MOST_IN_FLIGHT_BY_DEFAULT = 512;

struct Options {
    Settings settings;
    bool format_given = false;
    bool recursive = false;
    bool one_file_system = false;
    bool list_types = false;
    unsigned jobs = 0;  // 0: one per processor
    unsigned in_flight = 0;  // 0: DEFAULT_IN_FLIGHT, more where the storage is slow
    std::string files_from;  // empty: none
    bool null = false;
};

// Writes all of `s` and returns the exit status: 1 when it could not.
int put(std::string_view s) {
    const auto err = platform::write_all(platform::Stream::out, s);
    if (err == 0) return 0;
    (void)platform::write_all(platform::Stream::err, "taxon: write error: " + platform::describe(err) + "\n");
    return 1;
}

[[noreturn]] void usage_error(std::string_view message) {
    std::string line = "taxon: ";
    line += message;
    line += "\nTry 'taxon --help' for more information.\n";
    (void)platform::write_all(platform::Stream::err, line);
    std::exit(2);
}

void set_format(Options& opt, Format f) {
    if (opt.format_given && opt.settings.format != f) usage_error("--mime, --ext and --json exclude each other");
    opt.settings.format = f;
    opt.format_given = true;
}

unsigned parse_count(std::string_view text, std::string_view what, unsigned most) {
    unsigned n = 0;
    bool ok = !text.empty() && text.size() <= 4;
    for (char c : text) {
        if (c < '0' || c > '9') ok = false;
        else n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (!ok || n == 0 || n > most) {
        usage_error("invalid number of " + std::string(what) + " '" + printable(text) + "' (1 to " + std::to_string(most) + ")");
    }
    return n;
}

unsigned parse_jobs(std::string_view text) { return parse_count(text, "jobs", 1024); }

void append_list(std::string& line, std::span<const std::string_view> items) {
    line += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) line += ", ";
        append_json_string(line, items[i]);
    }
    line += ']';
}

// Every record, parents before children and children in the order tried.
int list_types() {
    struct Item {
        const MimeType* type;
        const MimeType* parent;
        int depth;
    };
    std::vector<Item> stack{{&taxon::ROOT, nullptr, 0}};
    std::string out;
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        out += "{\"mime\": ";
        append_json_string(out, item.type->mime);
        out += ", \"extension\": ";
        append_json_string(out, item.type->extension);
        out += ", \"parent\": ";
        if (item.parent != nullptr) append_json_string(out, item.parent->mime);
        else out += "null";
        out += ", \"depth\": ";
        out += std::to_string(item.depth);
        out += ", \"mime_aliases\": ";
        append_list(out, item.type->mime_aliases);
        out += ", \"extension_aliases\": ";
        append_list(out, item.type->extension_aliases);
        out += "}\n";
        const auto& kids = item.type->children;
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, item.type, item.depth + 1});
    }
    return put(out);
}

// A path named on the command line or in a list.
void handle(Pipeline& pipeline, const Options& opt, const WalkOptions& walk_options, const std::string& path, bool listed) {
    if (path == "-" && !listed) return pipeline.submit_stdin();
    // Not walked: the path is looked at with the others, where waiting on
    // the storage is shared out.
    if (!opt.recursive) return pipeline.submit_path(path);
    platform::Kind kind = platform::Kind::unknown;
    if (const auto err = platform::status(nullptr, path, true, kind)) {
        platform::Kind link = platform::Kind::unknown;
        const bool broken = platform::is_not_found(err) && platform::status(nullptr, path, false, link) == 0 &&
                            link == platform::Kind::symlink;
        return pipeline.fail(nullptr, path, broken ? "broken symbolic link" : platform::describe(err));
    }
    if (kind == platform::Kind::directory) return walk(pipeline, walk_options, path);
    if (kind != platform::Kind::regular) return pipeline.fail(nullptr, path, kind_reason(kind, true));
    pipeline.submit_path(path);
}

void handle_list(Pipeline& pipeline, const Options& opt, const WalkOptions& walk_options) {
    PathList list(opt.files_from, opt.null ? '\0' : '\n');
    if (const auto err = list.open()) return pipeline.fail(nullptr, list.name(), platform::describe(err));
    std::string path;
    for (;;) {
        // Before the list is waited for, the paths taken so far go ahead.
        if (!list.ready()) pipeline.nudge();
        if (pipeline.stopped() || !list.next(path)) break;
        if (path.empty()) {
            pipeline.fail(nullptr, list.name() + ":" + std::to_string(list.count()), "invalid zero-length file name");
        } else {
            handle(pipeline, opt, walk_options, path, true);
        }
    }
    if (list.error() != 0) pipeline.fail(nullptr, list.name(), platform::describe(list.error()));
}

int run(int argc, char** argv) {
    const std::vector<std::string> args = platform::arguments(argc, argv);
    Options opt;
    std::vector<std::string> files;
    bool options_done = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto value = [&](std::string_view option) -> std::string_view {
            if (i + 1 == args.size()) usage_error("option '" + std::string(option) + "' needs a value");
            return args[++i];
        };
        if (options_done || arg == "-" || arg.empty() || arg[0] != '-') {
            files.emplace_back(arg);
        } else if (arg == "--") {
            options_done = true;
        } else if (arg == "--help") {
            return put(USAGE);
        } else if (arg == "--version") {
            return put("taxon " TAXON_VERSION "\n");
        } else if (arg == "--recursive") {
            opt.recursive = true;
        } else if (arg == "--one-file-system") {
            opt.one_file_system = true;
        } else if (arg == "--jobs") {
            opt.jobs = parse_jobs(value(arg));
        } else if (arg.starts_with("--jobs=")) {
            opt.jobs = parse_jobs(arg.substr(7));
        } else if (arg == "--in-flight") {
            opt.in_flight = parse_count(value(arg), "requests in flight", 4096);
        } else if (arg.starts_with("--in-flight=")) {
            opt.in_flight = parse_count(arg.substr(12), "requests in flight", 4096);
        } else if (arg == "--files-from") {
            opt.files_from = value(arg);
            if (opt.files_from.empty()) usage_error("--files-from needs a LIST");
        } else if (arg.starts_with("--files-from=")) {
            opt.files_from = arg.substr(13);
            if (opt.files_from.empty()) usage_error("--files-from needs a LIST");
        } else if (arg == "--null") {
            opt.null = true;
        } else if (arg == "--mime") {
            set_format(opt, Format::Mime);
        } else if (arg == "--ext") {
            set_format(opt, Format::Ext);
        } else if (arg == "--json") {
            set_format(opt, Format::Json);
        } else if (arg == "--summary") {
            opt.settings.summary = true;
        } else if (arg == "--no-progress") {
            opt.settings.progress = false;
        } else if (arg == "--list-types") {
            opt.list_types = true;
        } else if (arg.starts_with("--")) {
            usage_error("unknown option '" + printable(arg) + "'");
        } else {
            for (std::size_t k = 1; k < arg.size(); ++k) {
                const char c = arg[k];
                if (c == 'r') {
                    opt.recursive = true;
                } else if (c == 'x') {
                    opt.one_file_system = true;
                } else if (c == '0') {
                    opt.null = true;
                } else if (c == 'j') {
                    opt.jobs = parse_jobs(k + 1 < arg.size() ? arg.substr(k + 1) : value("-j"));
                    break;
                } else if (c == 'h') {
                    return put(USAGE);
                } else if (c == 'V') {
                    return put("taxon " TAXON_VERSION "\n");
                } else {
                    usage_error("unknown option '-" + printable(std::string_view(&c, 1)) + "'");
                }
            }
        }
    }

    if (opt.list_types) {
        if (!files.empty() || opt.format_given || opt.recursive || opt.settings.summary || !opt.files_from.empty()) {
            usage_error("--list-types takes no other argument");
        }
        return list_types();
    }
    if (opt.settings.summary && opt.format_given && opt.settings.format != Format::Json) {
        usage_error("--summary takes --json only, not --mime or --ext");
    }
    if (!opt.files_from.empty() && !files.empty()) usage_error("FILE arguments and --files-from exclude each other");
    if (opt.null && opt.files_from.empty()) usage_error("-0 (--null) needs --files-from");
    if (opt.one_file_system && !opt.recursive) usage_error("-x (--one-file-system) needs -r");
    if (files.empty() && opt.files_from.empty()) usage_error("no FILE given (use - for standard input)");

    // Threads, the reorder window and the directories held open are sized
    // to fit the descriptors the process may hold.
    const std::size_t limit = platform::descriptor_limit();
    if (limit < LEAST_DESCRIPTORS) {
        (void)platform::write_all(platform::Stream::err, "taxon: too few file descriptors: the limit is " + std::to_string(limit) +
                                                             ", at least " + std::to_string(LEAST_DESCRIPTORS) + " are needed\n");
        return 2;
    }
    erase_progress_on_interrupt(opt.settings);
    Plan plan = plan_descriptors(limit, opt.jobs ? opt.jobs : platform::cpu_count(),
                                 opt.in_flight ? opt.in_flight : MOST_IN_FLIGHT_BY_DEFAULT);
    fit_address_space(plan, platform::address_space_limit(), Pipeline::STACK, IoPool::STACK);
    Pipeline* running = nullptr;
    // Given, the number is kept to, from the start; by default the pool is
    // used once the storage was seen to make a request wait, and grows past
    // the default only where requests take long.
    IoPool pool(plan.in_flight, opt.in_flight ? opt.in_flight : DEFAULT_IN_FLIGHT, opt.in_flight != 0, [&running] {
        if (running != nullptr) running->abort(platform::OUT_OF_MEMORY);
    });
    IoPool* io = plan.in_flight > 0 ? &pool : nullptr;
    Pipeline pipeline(opt.settings, plan.workers, plan.slots, io);
    running = &pipeline;
    WalkOptions walk_options;
    walk_options.one_file_system = opt.one_file_system;
    walk_options.open_dirs = plan.open_dirs;
    walk_options.prefetch = plan.prefetch;
    walk_options.pool = io;
    if (!opt.files_from.empty()) {
        handle_list(pipeline, opt, walk_options);
    } else {
        for (const std::string& path : files) {
            if (pipeline.stopped()) break;
            handle(pipeline, opt, walk_options, path, false);
        }
    }
    return pipeline.finish() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard stream must not become
    // the descriptor of a directory or a file.
    platform::reserve_standard_streams();
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        (void)platform::write_all(platform::Stream::err, "taxon: " + platform::describe(platform::OUT_OF_MEMORY) + "\n");
    } catch (const std::exception& e) {
        (void)platform::write_all(platform::Stream::err, std::string("taxon: ") + e.what() + "\n");
    }
    return 1;
}
