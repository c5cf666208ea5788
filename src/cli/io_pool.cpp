#include "cli/io_pool.hpp"

#include <algorithm>
#include <new>
#include <utility>

namespace taxon::cli {

// Threads are made by a thread of the pool's own, never by the thread that
// posts: a detecting thread may have a descriptor table of its own, which a
// thread it made would share, and the pool's threads must share the first
// table, where the walk's directories are.
IoPool::IoPool(unsigned limit, unsigned base, bool waiting_from_start, std::function<void()> failed)
    : limit_(limit), base_(std::min(base, limit)), storage_slow_(waiting_from_start), failed_(std::move(failed)) {
    if (limit_ == 0) return;
    try {
        if (!maker_.start([this] { make_threads(); }, STACK)) cannot_grow_ = true;
    } catch (const std::bad_alloc&) {
        cannot_grow_ = true;
    }
}

IoPool::~IoPool() { shutdown(); }

std::size_t IoPool::queued() const { return lanes_[0].size() + lanes_[1].size(); }

std::size_t IoPool::room() const {
    return slow_ ? limit_ : base_;
}

bool IoPool::post(Lane lane, Task task) {
    std::lock_guard lock(mutex_);
    if (stopping_ || (cannot_grow_ && threads_.empty() && !maker_runs_tasks_)) return false;
    lanes_[static_cast<int>(lane)].push_back(std::move(task));
    if (idle_ > 0) {
        has_task_.notify_one();
    } else if (!cannot_grow_ && threads_.size() + starting_ < room()) {
        // A thread for every request not yet taken, up to the limit.
        wants_thread_.notify_one();
    }
    return true;
}

void IoPool::make_threads() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wants_thread_.wait(lock, [&] {
            return stopping_ || (queued() > idle_ + starting_ && threads_.size() + starting_ < room());
        });
        if (stopping_) return;
        ++starting_;
        lock.unlock();
        platform::Thread thread;
        bool made = false;
        // Out of threads or memory: the run goes on with those made so far.
        try {
            made = thread.start([this] { run(); }, STACK);
        } catch (const std::bad_alloc&) {
        }
        lock.lock();
        --starting_;
        if (made) {
            threads_.push_back(std::move(thread));
            continue;
        }
        cannot_grow_ = true;
        if (!threads_.empty()) return;
        // Not even one: this thread does the work itself.
        maker_runs_tasks_ = true;
        lock.unlock();
        run();
        return;
    }
}

void IoPool::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        auto& reads = lanes_[static_cast<int>(Lane::read)];
        auto& walk = lanes_[static_cast<int>(Lane::walk)];
        if (stopping_) return;
        if (reads.empty() && walk.empty()) {
            ++idle_;
            has_task_.wait(lock);
            --idle_;
            continue;
        }
        // The walk may take half the threads while files wait to be read:
        // it feeds the reads, and the reads are what the output waits for.
        const std::size_t running = threads_.size() + (maker_runs_tasks_ ? 1 : 0);
        const bool take_walk = !walk.empty() && (reads.empty() || 2 * walking_ < running);
        Task task = std::move(take_walk ? walk.front() : reads.front());
        (take_walk ? walk : reads).pop_front();
        if (take_walk) ++walking_;
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        try {
            task();
        } catch (...) {
            if (failed_) failed_();
        }
        task = nullptr;  // what it holds goes before the lock is taken again
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        lock.lock();
        if (take_walk) --walking_;
        // The quickest of a few requests tells the storage's own pace: the
        // others may have waited behind each other, the quickest did not.
        quickest_ = std::min(quickest_, seconds);
        if (++timed_ == JUDGED_OVER) {
            const std::size_t before = room();
            slow_ = quickest_ >= SLOW_SECONDS;
            quickest_ = 1e9;
            timed_ = 0;
            if (room() > before && queued() > idle_) wants_thread_.notify_one();
        }
    }
}

void IoPool::shutdown() {
    std::deque<Task> dropped[2];
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped[0].swap(lanes_[0]);
        dropped[1].swap(lanes_[1]);
        has_task_.notify_all();
        wants_thread_.notify_all();
    }
    // The maker first: it adds no thread once it has seen `stopping_`.
    maker_.join();
    std::vector<platform::Thread> threads;
    {
        std::lock_guard lock(mutex_);
        threads.swap(threads_);
    }
    for (auto& t : threads) t.join();
    // What the dropped tasks hold goes last, outside the lock.
}

std::size_t IoPool::threads() const {
    std::lock_guard lock(mutex_);
    return threads_.size();
}

}  // namespace taxon::cli
