#include "cli/output.hpp"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "cli/escape.hpp"

namespace taxon::cli {

using Clock = std::chrono::steady_clock;

std::string full_path(const PathPtr& dir, const std::string& name) {
    if (!dir) return name;
    std::vector<const PathNode*> chain;
    std::size_t size = name.size();
    for (const PathNode* n = dir.get(); n != nullptr; n = n->parent.get()) {
        chain.push_back(n);
        size += n->name.size() + 1;
    }
    std::string out;
    out.reserve(size);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!out.empty() && !platform::ends_with_separator(out)) out += platform::SEPARATOR;
        out += (*it)->name;
    }
    if (out.empty() || !platform::ends_with_separator(out)) out += platform::SEPARATOR;
    out += name;
    return out;
}

std::string_view kind_reason(platform::Kind kind, bool given) {
    using platform::Kind;
    switch (kind) {
        case Kind::fifo: return "not a regular file (a FIFO)";
        case Kind::socket: return "not a regular file (a socket)";
        case Kind::char_device: return "not a regular file (a character device)";
        case Kind::block_device: return "not a regular file (a block device)";
        case Kind::directory: return given ? "Is a directory (use -r to walk it)" : "not a regular file (a directory)";
        case Kind::symlink: return "not a regular file (a symbolic link)";
        default: return "not a regular file";
    }
}

std::string error_line(std::string_view path, std::string_view reason) {
    std::string line = "taxon: ";
    append_printable(line, path);
    line += ": ";
    line += reason;
    line += '\n';
    return line;
}

// ---- Output ----------------------------------------------------------------

namespace {

// Lines are written whole and together, in writes no larger than a pipe
// writes at once, so commands sharing a pipe (xargs -P) never mix lines.
// A terminal gets each line as it comes.
constexpr std::size_t BATCH = 4096;
constexpr auto FLUSH_AFTER = std::chrono::milliseconds(50);
constexpr auto PROGRESS_AFTER = std::chrono::seconds(1);
constexpr auto PROGRESS_EVERY = std::chrono::milliseconds(250);

}  // namespace

namespace {

// Erases the progress line: it is always drawn this wide.
constexpr std::string_view ERASE_PROGRESS =
    "\r                                                                               \r";
static_assert(ERASE_PROGRESS.size() == 81);
// Set while the progress line is on the screen, for the signal handler.
std::atomic<bool> progress_on_screen{false};

}  // namespace

void erase_progress_on_interrupt(const Settings& settings) {
    if (settings.progress && platform::is_terminal(platform::Stream::err)) {
        platform::on_interrupt(ERASE_PROGRESS, progress_on_screen);
    }
}

Output::Output(const Settings& settings) : settings_(settings) {
    start_ = last_flush_ = last_draw_ = Clock::now();
    stdout_is_terminal_ = platform::is_terminal(platform::Stream::out);
    progress_ = settings.progress && platform::is_terminal(platform::Stream::err);
}

void Output::flush() {
    if (buffer_.empty()) return;
    if (progress_shown_ && stdout_is_terminal_) erase_progress();
    if (!write_failed_) {
        write_error_ = platform::write_all(platform::Stream::out, buffer_);
        write_failed_ = write_error_ != 0;
    }
    buffer_.clear();
    last_flush_ = Clock::now();
}

void Output::erase_progress() {
    if (!progress_shown_) return;
    progress_on_screen.store(false, std::memory_order_relaxed);
    (void)platform::write_all(platform::Stream::err, ERASE_PROGRESS);
    progress_shown_ = false;
}

void Output::error_line(const std::string& line) {
    flush();  // the error comes after the lines before it
    erase_progress();
    (void)platform::write_all(platform::Stream::err, line);
}

void Output::flush_if_old() {
    if (!buffer_.empty() && Clock::now() - last_flush_ >= FLUSH_AFTER) flush();
}

void Output::tick() {
    const auto now = Clock::now();
    if (!buffer_.empty() && now - last_flush_ >= FLUSH_AFTER) flush();
    // Drawn again a few times a second at most, even where every line of
    // output erases it (standard output on the same terminal).
    if (!progress_ || now - start_ < PROGRESS_AFTER || now - last_draw_ < PROGRESS_EVERY) return;
    if (stdout_is_terminal_) flush();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const std::uint64_t done = named_ + failures_;
    std::string text = "taxon: " + std::to_string(done) + " files, " +
                       std::to_string(static_cast<std::uint64_t>(static_cast<double>(done) / seconds)) + " files/s";
    text.resize(std::max<std::size_t>(text.size(), ERASE_PROGRESS.size() - 2), ' ');
    progress_on_screen.store(true, std::memory_order_relaxed);
    (void)platform::write_all(platform::Stream::err, "\r" + text);
    progress_shown_ = true;
    last_draw_ = now;
}

void Output::emit(Outcome& job) {
    if (job.failed) {
        ++failures_;
        error_line(job.line);
    } else {
        ++named_;
        bytes_ += job.bytes;
        if (settings_.summary) {
            ++counts_[job.type];
        } else {
            if (buffer_.size() + job.line.size() > BATCH) flush();
            buffer_ += job.line;
            if (stdout_is_terminal_) flush();
        }
    }
    tick();
}

void Output::fatal(platform::Error err) {
    error_line("taxon: " + platform::describe(err) + "\n");
    ++failures_;
}

bool Output::close() {
    if (settings_.summary) {
        std::vector<std::pair<const MimeType*, std::uint64_t>> rows(counts_.begin(), counts_.end());
        // Most frequent first; equal counts in byte order of the MIME text.
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first->mime < b.first->mime;
        });
        std::string text;
        if (settings_.format == Format::Json) {
            text = "{\"types\": [";
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (i) text += ", ";
                text += "{\"mime\": ";
                append_json_string(text, rows[i].first->mime);
                text += ", \"count\": " + std::to_string(rows[i].second) + "}";
            }
            text += "], \"named\": " + std::to_string(named_) + ", \"failed\": " + std::to_string(failures_) +
                    ", \"bytes_read\": " + std::to_string(bytes_) + "}\n";
        } else {
            for (const auto& [type, count] : rows) {
                text += std::to_string(count) + '\t';
                text += type->mime;
                text += '\n';
            }
            text += std::to_string(named_) + " named, " + std::to_string(failures_) + " failed, " +
                    std::to_string(bytes_) + " bytes read\n";
        }
        buffer_ += text;
    }
    erase_progress();
    flush();
    if (write_failed_) {
        (void)platform::write_all(platform::Stream::err, "taxon: write error: " + platform::describe(write_error_) + "\n");
        return false;
    }
    return failures_ == 0;
}

}  // namespace taxon::cli
