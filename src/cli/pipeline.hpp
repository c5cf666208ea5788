// The ordered pipeline: the walk hands over jobs in the order their lines
// must appear; worker threads read and name the files; lines are written in
// job order, whichever worker finished first.
//
// Jobs live in a ring of a fixed number of slots (the reorder window, about
// `window` files): the walk waits when the oldest unwritten slot is that
// many slots behind, so a slow file holds back only the lines after it, and
// memory and open descriptors stay bounded whatever the size of the tree.
// Files of the same
// directory met one after the other share a slot, up to BATCH of them: the
// threads then meet once per slot rather than once per file, and the
// directory is held once per slot, which is what bounds the descriptors.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

struct Job {
    enum class Step : std::uint8_t { read_file, done };
    Step step = Step::done;
    platform::DirPtr dir;  // where `name` is opened; null for a path as given
    PathPtr where;         // the directory printed before `name`; null likewise
    std::string name;
    // The outcome, when done.
    std::string line;         // for standard output, or the reason of a failure
    bool failed = false;
    const MimeType* type = nullptr;
    std::size_t bytes = 0;
};

class Output;

class Pipeline {
public:
    // `workers` 0 runs every job on the calling thread as it is submitted.
    Pipeline(const Settings& settings, unsigned workers, std::size_t window);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    void submit(Job&& job);
    // A regular file of a walked directory; may wait, batched with the next
    // ones of the same directory, until anything else is submitted.
    void submit_entry(const platform::DirPtr& dir, const PathPtr& where, const std::string& name);
    // A failure known without reading anything.
    void fail(PathPtr where, std::string name, std::string reason);
    // Writes the lines waiting since a while: called before work that may
    // take long (listing a directory), so that a reader is not kept waiting.
    void nudge();
    // Reads standard input on the calling thread, then submits its answer.
    void submit_stdin();
    // Waits for every job, writes the rest, and returns whether all succeeded.
    bool finish();
    // Set once the run cannot go on (standard output failed): whatever is
    // submitted then is dropped, and the walk should end.
    bool stopped() const { return stopped_.load(std::memory_order_relaxed); }

private:
    static constexpr std::size_t BATCH = 32;
    static constexpr unsigned SPINS = 100;  // looks for work before sleeping
    struct Slot {
        platform::DirPtr dir;
        PathPtr where;
        std::vector<Job> jobs;
        bool done = false;
    };
    void run_job(Job& job, const platform::DirPtr& dir, const PathPtr& where) const;
    // The same; a file whose reading runs out of memory fails alone.
    void run_job_or_fail(Job& job, const platform::DirPtr& dir, const PathPtr& where) const;
    void stop();
    void place(Slot& from);  // moves a slot's content into the ring
    void submit_pending();
    bool claim(std::uint64_t& seq);  // with the lock held
    void run_slot(std::unique_lock<std::mutex>& lock, std::uint64_t seq, bool own, platform::Borrowed& mine);
    // `ready` counts the threads that took their descriptor table.
    void work(unsigned& ready);
    void work_on(unsigned& ready);
    std::size_t index(std::uint64_t seq) const { return static_cast<std::size_t>(seq % ring_.size()); }
    void write_ready();  // with the lock held
    std::size_t resume_at() const;

    const Settings& settings_;
    std::unique_ptr<Output> out_;
    std::vector<Slot> ring_;
    Slot pending_;  // the walk's batch being filled; the walk's own
    std::vector<platform::DirPtr> released_;  // written slots' directories
    std::uint64_t submitted_ = 0, claimed_ = 0, written_ = 0;
    bool closing_ = false;
    std::atomic<bool> stopped_{false};
    platform::Error fatal_ = 0;  // why the run was ended early, if not a write
    // Threads asleep, woken only when there is something for them: a full
    // window lets the walk go on once a quarter of it is free again, not
    // at every line, which would switch threads once per file.
    unsigned idle_workers_ = 0;
    bool walk_waiting_ = false;
    std::mutex mutex_;
    std::condition_variable has_work_, has_room_, started_;
    std::vector<std::thread> threads_;
};

// Writes lines in order, batched into whole-line writes; draws the progress
// line; keeps the counts of the summary.
class Output {
public:
    explicit Output(const Settings& settings);
    void emit(Job& job);
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
