// The threads that wait on the storage for the rest of the command: they
// open and read files whose data is not in memory, list directories and ask
// for the kind of entries, so that many such requests are outstanding at
// once whatever the number of processors. They are made as work comes, up to
// a limit: a run on a warm cache makes none.
#pragma once

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
    // `failed` is called should a task throw (out of memory where it could
    // not say so itself): its work is lost, and the run must end.
    explicit IoPool(unsigned limit, std::function<void()> failed = {});
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
    // How many threads were made (for tests and figures).
    std::size_t threads() const;

private:
    void run();
    void make_threads();
    std::size_t queued() const;  // with the lock held

    const unsigned limit_;
    std::function<void()> failed_;
    mutable std::mutex mutex_;
    std::condition_variable has_task_, wants_thread_;
    std::deque<Task> lanes_[2];
    std::vector<platform::Thread> threads_;
    platform::Thread maker_;
    unsigned idle_ = 0, walking_ = 0, starting_ = 0;
    bool stopping_ = false, cannot_grow_ = false, maker_runs_tasks_ = false;
};

}  // namespace taxon::cli
