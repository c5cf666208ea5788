// The ordered pipeline: the walk hands over jobs in the order their lines
// must appear; worker threads read and name the files; lines are written in
// job order, whichever worker finished first.
//
// Jobs live in a ring of a fixed number of slots (the reorder window): the
// walk waits when the oldest unwritten slot is that many slots behind, so a
// slow file holds back only the lines after it, and memory and open
// descriptors stay bounded whatever the size of the tree. Files of the same
// directory met one after the other share a slot, up to BATCH of them: the
// threads then meet once per slot rather than once per file, and the
// directory is held once per slot, which is what bounds the descriptors.
//
// A worker reads a file itself when all it needs is in memory (a warm
// cache costs no hand-over); anything that would wait on the storage goes to
// the I/O pool, whose threads keep many such requests outstanding, and comes
// back to a worker to be named. Without a pool, workers wait themselves.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "cli/io_pool.hpp"
#include "cli/output.hpp"
#include "cli/platform.hpp"
#include "tree/mime_type.hpp"

namespace taxon::cli {

struct Job {
    enum class Step : std::uint8_t {
        read_entry,  // a regular file met in a walk: `name` in the slot's directory
        read_path,   // a path as given, of any kind until looked at
        read_stdin,  // standard input, read on the thread that submits it
        done,
    };
    Step step = Step::done;
    std::string name;
    Outcome outcome;
    // The head, when read by a pool thread for a worker to name.
    std::unique_ptr<std::uint8_t[]> head;
    std::size_t got = 0;
};

class Pipeline {
public:
    // `workers` 0 runs every job on the calling thread as it is submitted.
    // `pool`, when not null, waits on the storage for the workers.
    Pipeline(const Settings& settings, unsigned workers, std::size_t slots, IoPool* pool);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // A regular file of a walked directory; may wait, batched with the next
    // ones of the same directory, until anything else is submitted.
    void submit_entry(const platform::DirPtr& dir, const PathPtr& where, const std::string& name);
    // A path named by the user, looked at as such (not walked).
    void submit_path(const std::string& path);
    // A failure known without reading anything.
    void fail(const PathPtr& where, const std::string& name, std::string_view reason);
    // Reads standard input on the calling thread, then submits its answer.
    void submit_stdin();
    // Writes the lines waiting since a while: called before work that may
    // take long (listing a directory), so that a reader is not kept waiting.
    void nudge();
    // Waits until every job submitted so far is written, so that nothing of
    // it holds a directory open: for a walk out of descriptors.
    void drain();
    // Waits for every job, writes the rest, and returns whether all succeeded.
    bool finish();
    // Set once the run cannot go on (standard output failed, memory ran
    // out): whatever is submitted then is dropped, and the walk should end.
    bool stopped() const { return stopped_.load(std::memory_order_relaxed); }
    // Ends the run early with `err` as its reason, printed once.
    void abort(platform::Error err);
    unsigned workers() const { return static_cast<unsigned>(threads_.size()); }
    // Each worker's stack: naming a file takes little.
    static constexpr std::size_t STACK = 1024 * 1024;

private:
    static constexpr std::size_t BATCH = 32;
    static constexpr unsigned SPINS = 100;  // looks for work before sleeping
    struct Slot {
        platform::DirPtr dir;
        PathPtr where;
        std::vector<Job> jobs;
        // Jobs not yet named, plus one while a worker goes through the
        // slot: whoever brings it to zero marks the slot done.
        std::atomic<std::size_t> pending{0};
        bool done = false;
    };
    // What a worker has for a job: all in memory, or it must wait.
    enum class Try : std::uint8_t { done, would_block };

    Try read(Job& job, const platform::DirPtr& dir, const PathPtr& where, bool cached, std::uint8_t* buf,
             std::size_t& got) const;
    void name(Job& job, const PathPtr& where, const std::uint8_t* buf, std::size_t got) const;
    // The whole job on this thread, waiting as long as it takes.
    void run_waiting(Job& job, const platform::DirPtr& dir, const PathPtr& where) const;
    void run_in_pool(std::uint64_t seq, std::size_t index);
    void submit_job(Job&& job);
    void place(Slot& from);  // moves a slot's content into the ring
    void submit_pending();
    bool claim(std::uint64_t& seq);  // with the lock held
    void run_slot(std::unique_lock<std::mutex>& lock, std::uint64_t seq, bool own, platform::Borrowed& mine);
    void name_returned(std::unique_lock<std::mutex>& lock, std::uint64_t seq, std::size_t index);
    void slot_done(std::uint64_t seq);  // with the lock held
    // `ready` counts the threads that took their descriptor table.
    void work(unsigned& ready);
    void work_on(unsigned& ready);
    void stop();  // with the lock held
    void write_ready();  // with the lock held
    std::size_t resume_at() const;
    std::size_t index(std::uint64_t seq) const { return static_cast<std::size_t>(seq % ring_size_); }
    Slot& slot_at(std::uint64_t seq) { return ring_[index(seq)]; }

    const Settings& settings_;
    IoPool* pool_;
    std::unique_ptr<Output> out_;
    std::unique_ptr<Slot[]> ring_;
    std::size_t ring_size_ = 0;
    Slot pending_;  // the walk's batch being filled; the walk's own
    std::vector<platform::DirPtr> released_;  // written slots' directories
    std::uint64_t submitted_ = 0, claimed_ = 0, written_ = 0;
    // Jobs back from the pool, to be named by a worker.
    std::deque<std::pair<std::uint64_t, std::size_t>> returned_;
    std::atomic<std::size_t> in_pool_{0};  // jobs handed to the pool and not yet named
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
    std::vector<platform::Thread> threads_;
};

}  // namespace taxon::cli
