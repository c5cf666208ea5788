// What the command prints, and the words it shares between its parts: the
// output formats, printed paths, the reasons a path is not read, and the
// writer that puts lines out in order, draws the progress line and keeps
// the counts of the summary.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "cli/platform.hpp"
#include "tree/mime_type.hpp"

namespace taxon::cli {

enum class Format { Line, Mime, Ext, Json };

struct Settings {
    Format format = Format::Line;
    bool summary = false;
    bool progress = true;
};

// A printed path: its directory's node and its own name. Nodes are shared by
// everything beneath them, so a deep tree costs one name per directory.
struct PathNode {
    std::shared_ptr<const PathNode> parent;
    std::string name;
};
using PathPtr = std::shared_ptr<const PathNode>;

std::string full_path(const PathPtr& dir, const std::string& name);

// Why a path that is not a regular file is not read; `given`: it was named
// on the command line rather than met in a walk.
std::string_view kind_reason(platform::Kind kind, bool given);

// "taxon: PATH: reason\n", the path escaped as in every line.
std::string error_line(std::string_view path, std::string_view reason);

// What came of one file: its line (empty with --summary), or the error line
// that says why it has none.
struct Outcome {
    std::string line;
    bool failed = false;
    const MimeType* type = nullptr;
    std::size_t bytes = 0;
};

// Where the progress line may be drawn, an interrupt erases it before the
// command ends. Called before any thread is made.
void erase_progress_on_interrupt(const Settings& settings);

// Writes lines in order, batched into whole-line writes; draws the progress
// line; keeps the counts of the summary. Not thread-safe: its owner calls
// it under its own lock.
class Output {
public:
    explicit Output(const Settings& settings);
    void emit(Outcome& outcome);
    void flush();
    void flush_if_old();
    // Summary, progress erased, final flush; false when anything failed.
    bool close();
    bool write_failed() const { return write_failed_; }
    // A failure of the run itself, not of a file: one line, and exit status 1.
    void fatal(platform::Error err);

private:
    void error_line(const std::string& line);
    void tick();
    void erase_progress();

    const Settings& settings_;
    std::string buffer_;
    std::chrono::steady_clock::time_point start_, last_flush_, last_draw_;
    bool stdout_is_terminal_ = false, progress_ = false, progress_shown_ = false;
    std::uint64_t named_ = 0, failures_ = 0, bytes_ = 0;
    std::map<const MimeType*, std::uint64_t> counts_;
    bool write_failed_ = false;
    platform::Error write_error_ = 0;
};

}  // namespace taxon::cli
