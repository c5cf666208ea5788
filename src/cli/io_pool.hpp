// The threads that wait on the storage for the rest of the command: they
// open and read files whose data is not in memory, list directories and ask
// for the kind of entries, so that many such requests are outstanding at
// once whatever the number of processors. They are made as work comes, up to
// a limit: a run on a warm cache makes none.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "cli/platform.hpp"

namespace taxon::cli {

class IoPool {
public:
    // Work of the walk (listings, kinds) and the reading of files each get
    // their turn: neither starves the other.
    enum class Lane : unsigned char { read, walk };
    using Task = std::function<void()>;
    // Each thread's stack: enough for a directory listing and an error
    // line, far less than the usual 8 MB.
    static constexpr std::size_t STACK = 256 * 1024;

    // `limit`: the most threads, each one request waiting on the storage.
    // Past `base` threads the pool grows only while its requests take long
    // (a network file system, a spinning disk): there more requests in
    // flight are what gets more done, where on a fast disk they would only
    // queue up and cost processor time. `failed` is called should a task
    // throw (out of memory where it could not say so itself): its work is
    // lost, and the run must end.
    // `waiting_from_start`: the storage is taken to be slow from the start
    // (see storage_is_slow).
    IoPool(unsigned limit, unsigned base, bool waiting_from_start, std::function<void()> failed = {});
    // The storage is slow when even the quickest of JUDGED_OVER requests in
    // a row (a file opened and read, a directory listed, kinds looked up)
    // took this long: a network file system or FUSE, where every request
    // waits for an answer. On a busy local disk some request always comes
    // back at once (its blocks already read with a neighbour's), however
    // long the queue makes the others wait.
    static constexpr double SLOW_SECONDS = 0.004;
    static constexpr unsigned JUDGED_OVER = 32;
    ~IoPool();
    IoPool(const IoPool&) = delete;
    IoPool& operator=(const IoPool&) = delete;

    // Queues `task`, which must not throw. False when no thread runs it or
    // can be made to (none could ever be made, or the pool is shut down):
    // the caller then does the work itself.
    bool post(Lane lane, Task task);
    // Drops what is queued, lets what runs end, and joins every thread.
    void shutdown();
    unsigned limit() const { return limit_; }
    // Whether the storage has been seen to keep requests waiting (a
    // directory or a file not in memory). Until then the rest of the command
    // does its own reads, as on a warm cache that is the quickest; from then
    // on, what would wait comes here. Once set, it stays.
    bool storage_is_slow() const { return storage_slow_.load(std::memory_order_relaxed); }
    void storage_was_slow() { storage_slow_.store(true, std::memory_order_relaxed); }
    // How many threads were made (for tests and figures).
    std::size_t threads() const;

private:
    void run();
    void make_threads();
    std::size_t queued() const;  // with the lock held
    std::size_t room() const;    // with the lock held: the threads it may have now

    const unsigned limit_, base_;
    std::atomic<bool> storage_slow_{false};
    std::function<void()> failed_;
    mutable std::mutex mutex_;
    std::condition_variable has_task_, wants_thread_;
    std::deque<Task> lanes_[2];
    std::vector<platform::Thread> threads_;
    platform::Thread maker_;
    unsigned idle_ = 0, walking_ = 0, starting_ = 0;
    double quickest_ = 1e9;  // of the requests timed since the last judgement
    unsigned timed_ = 0;
    bool slow_ = false;
    bool stopping_ = false, cannot_grow_ = false, maker_runs_tasks_ = false;
};

}  // namespace taxon::cli
