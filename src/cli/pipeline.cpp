#include "cli/pipeline.hpp"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>
#include <utility>

#include "cli/escape.hpp"

namespace taxon::cli {

namespace {

// Retries a call that failed for want of descriptors or memory, or was
// interrupted, a few times with a growing pause; gives the last answer.
template <class Call>
platform::Error with_retries(Call call) {
    platform::Error err = call();
    for (int attempt = 0; attempt < 8 && err != 0 && platform::is_transient(err); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1 << attempt));
        err = call();
    }
    return err;
}

void fail_job(Job& job, const PathPtr& where, std::string_view reason) {
    job.outcome.failed = true;
    job.outcome.line = error_line(full_path(where, job.name), reason);
}

}  // namespace

Pipeline::Pipeline(const Settings& settings, unsigned workers, std::size_t slots, IoPool* pool)
    : settings_(settings), pool_(pool), out_(std::make_unique<Output>(settings)) {
    if (workers == 0) return;
    ring_size_ = std::max<std::size_t>(slots, 2);
    ring_ = std::make_unique<Slot[]>(ring_size_);
    threads_.reserve(workers);
    // The workers take their own descriptor tables before the walk opens
    // anything, so that the copies they take hold nothing of it.
    unsigned ready = 0;
    for (unsigned i = 0; i < workers; ++i) {
        // Where no more threads can be made (a limit on processes or on
        // memory), the run goes on with those that could, or on this one.
        platform::Thread thread;
        try {
            if (!thread.start([this, &ready] { work(ready); }, STACK)) break;
        } catch (const std::bad_alloc&) {
            break;
        }
        threads_.push_back(std::move(thread));
    }
    std::unique_lock lock(mutex_);
    started_.wait(lock, [&] { return ready == threads_.size(); });
}

Pipeline::~Pipeline() {
    try {
        if (!threads_.empty() || pool_ != nullptr) finish();
    } catch (...) {
        // Unwinding already: the threads were joined or never started.
    }
}

// ---- One job ---------------------------------------------------------------

Pipeline::Try Pipeline::read(Job& job, const platform::DirPtr& dir, const PathPtr& where, bool cached,
                             std::uint8_t* buf, std::size_t& got) const {
    using platform::Kind;
    got = 0;
    platform::File file;
    Kind kind = Kind::unknown;
    const bool given = job.step != Job::Step::read_entry;
    if (job.step == Job::Step::read_stdin) {
        platform::standard_input(file);
        kind = Kind::regular;
    } else {
        if (job.step == Job::Step::read_path) {
            // Looked at before it is opened: a device named by the user is
            // never opened.
            platform::Error err = cached ? platform::status_cached(nullptr, job.name, true, kind)
                                         : with_retries([&] { return platform::status(nullptr, job.name, true, kind); });
            if (err == platform::WOULD_BLOCK) return Try::would_block;
            if (err != 0) {
                Kind link = Kind::unknown;
                platform::Error lerr = 0;
                if (platform::is_not_found(err)) {
                    lerr = cached ? platform::status_cached(nullptr, job.name, false, link)
                                  : platform::status(nullptr, job.name, false, link);
                    if (lerr == platform::WOULD_BLOCK) return Try::would_block;
                }
                const bool broken = platform::is_not_found(err) && lerr == 0 && link == Kind::symlink;
                fail_job(job, where, broken ? "broken symbolic link" : platform::describe(err));
                return Try::done;
            }
            if (kind != Kind::regular) {
                fail_job(job, where, kind_reason(kind, true));
                return Try::done;
            }
        }
        platform::Error err = cached ? platform::open_file_cached(dir, job.name, file, kind)
                                     : with_retries([&] {
                                           file.close();
                                           return platform::open_file(dir, job.name, file, kind);
                                       });
        if (err == platform::WOULD_BLOCK) return Try::would_block;
        if (err == 0 && kind != Kind::regular) {
            fail_job(job, where, kind_reason(kind, given));
            return Try::done;
        }
        if (err != 0) {
            fail_job(job, where, platform::describe(err));
            return Try::done;
        }
        platform::advise_head_only(file);
    }
    const platform::Error err = cached ? platform::read_head_cached(file, buf, READ_LIMIT, got)
                                       : platform::read_head(file, buf, READ_LIMIT, got);
    if (err == platform::WOULD_BLOCK) return Try::would_block;
    if (err != 0) fail_job(job, where, platform::describe(err));
    return Try::done;
}

void Pipeline::name(Job& job, const PathPtr& where, const std::uint8_t* buf, std::size_t got) const {
    Outcome& out = job.outcome;
    out.bytes = got;
    out.type = &taxon::detect(buf, got);
    const MimeType& type = *out.type;
    std::string& line = out.line;
    switch (settings_.summary ? Format::Mime : settings_.format) {
        case Format::Line:
            append_printable(line, full_path(where, job.name));
            line += '\t';
            line += type.mime;
            line += '\t';
            line += type.extension;
            break;
        case Format::Mime: line = type.mime; break;
        case Format::Ext: line = type.extension; break;
        case Format::Json:
            line = "{\"path\": ";
            append_json_string(line, full_path(where, job.name));
            line += ", \"mime\": ";
            append_json_string(line, type.mime);
            line += ", \"extension\": ";
            append_json_string(line, type.extension);
            line += '}';
            break;
    }
    if (settings_.summary) line.clear();
    else line += '\n';
}

void Pipeline::run_waiting(Job& job, const platform::DirPtr& dir, const PathPtr& where) const {
    if (job.step == Job::Step::done) return;
    try {
        std::uint8_t buf[READ_LIMIT];
        std::size_t got = 0;
        (void)read(job, dir, where, false, buf, got);
        if (!job.outcome.failed) name(job, where, buf, got);
    } catch (const std::bad_alloc&) {
        // Out of memory for this file alone: it fails, the run goes on.
        job.outcome = {};
        fail_job(job, where, platform::describe(platform::OUT_OF_MEMORY));
    }
    job.step = Job::Step::done;
}

// ---- Submitting ------------------------------------------------------------

void Pipeline::submit_job(Job&& job) {
    if (stopped()) return;
    if (threads_.empty()) {
        run_waiting(job, nullptr, nullptr);
        std::lock_guard lock(mutex_);
        out_->emit(job.outcome);
        if (out_->write_failed()) stop();
        return;
    }
    if (!pending_.jobs.empty() && (pending_.dir || pending_.where)) submit_pending();
    pending_.jobs.push_back(std::move(job));
    if (pending_.jobs.size() == BATCH) submit_pending();
}

void Pipeline::submit_path(const std::string& path) {
    Job job;
    job.step = Job::Step::read_path;
    job.name = path;
    submit_job(std::move(job));
}

void Pipeline::submit_stdin() {
    // What came before is not held back while standard input is awaited.
    nudge();
    if (!threads_.empty()) {
        std::lock_guard lock(mutex_);
        out_->flush();
    }
    Job job;
    job.step = Job::Step::read_stdin;
    job.name = "-";
    run_waiting(job, nullptr, nullptr);
    submit_job(std::move(job));
}

void Pipeline::fail(const PathPtr& where, const std::string& name, std::string_view reason) {
    Job job;
    job.name = name;
    fail_job(job, where, reason);
    submit_job(std::move(job));
}

void Pipeline::submit_entry(const platform::DirPtr& dir, const PathPtr& where, const std::string& name) {
    if (threads_.empty()) {
        if (stopped()) return;
        Job job;
        job.step = Job::Step::read_entry;
        job.name = name;
        run_waiting(job, dir, where);
        std::lock_guard lock(mutex_);
        out_->emit(job.outcome);
        if (out_->write_failed()) stop();
        return;
    }
    if (!pending_.jobs.empty() && (pending_.dir != dir || pending_.where != where)) submit_pending();
    if (pending_.jobs.empty()) {
        pending_.dir = dir;
        pending_.where = where;
    }
    Job& job = pending_.jobs.emplace_back();
    job.step = Job::Step::read_entry;
    job.name = name;
    if (pending_.jobs.size() == BATCH) submit_pending();
}

void Pipeline::submit_pending() {
    if (!pending_.jobs.empty()) place(pending_);
}

void Pipeline::place(Slot& from) {
    std::vector<platform::DirPtr> released;  // closed once the lock is let go
    std::unique_lock lock(mutex_);
    released.swap(released_);
    if (submitted_ - written_ == ring_size_) {
        walk_waiting_ = true;
        has_room_.wait(lock, [&] { return submitted_ - written_ <= resume_at() || stopped(); });
        walk_waiting_ = false;
    }
    if (stopped()) {
        from.jobs.clear();
        from.dir.reset();
        from.where.reset();
        return;
    }
    Slot& slot = slot_at(submitted_);
    slot.dir = std::move(from.dir);
    slot.where = std::move(from.where);
    // The vectors swap, so that both keep their room for the next batches.
    std::swap(slot.jobs, from.jobs);
    from.jobs.clear();
    from.dir.reset();
    from.where.reset();
    slot.done = std::all_of(slot.jobs.begin(), slot.jobs.end(), [](const Job& j) { return j.step == Job::Step::done; });
    ++submitted_;
    if (slot.done) write_ready();
    else if (idle_workers_ > 0) has_work_.notify_one();
}

std::size_t Pipeline::resume_at() const { return ring_size_ - (ring_size_ + 3) / 4; }

void Pipeline::nudge() {
    if (threads_.empty()) {
        std::lock_guard lock(mutex_);
        return out_->flush_if_old();
    }
    submit_pending();
    std::lock_guard lock(mutex_);
    out_->flush_if_old();
}

void Pipeline::drain() {
    if (threads_.empty()) return;
    submit_pending();
    std::vector<platform::DirPtr> released;
    {
        std::unique_lock lock(mutex_);
        walk_waiting_ = true;
        has_room_.wait(lock, [&] { return written_ == submitted_ || stopped(); });
        walk_waiting_ = false;
        released.swap(released_);
    }
}

// ---- Workers ---------------------------------------------------------------

bool Pipeline::claim(std::uint64_t& seq) {
    if (stopped()) return false;
    // Jobs done when submitted may have been written before any thread
    // stepped past them.
    claimed_ = std::max(claimed_, written_);
    while (claimed_ < submitted_ && slot_at(claimed_).done) ++claimed_;
    if (claimed_ == submitted_) return false;
    seq = claimed_++;
    return true;
}

void Pipeline::run_slot(std::unique_lock<std::mutex>& lock, std::uint64_t seq, bool own, platform::Borrowed& mine) {
    Slot& slot = slot_at(seq);
    slot.pending.store(1, std::memory_order_relaxed);  // this worker's hold
    lock.unlock();
    platform::Error borrowed = 0;
    if (own && slot.dir) borrowed = with_retries([&] { return platform::borrow_dir(slot.dir, mine); });
    const platform::DirPtr& here = own && slot.dir ? mine.dir : slot.dir;
    // Once the storage was seen to make requests wait, files that would wait
    // go to the pool and the others are read here; until then all are read
    // here, as on a warm cache that costs least (a read that cannot wait
    // costs more than one that may). The pool's threads share the first
    // descriptor table, so it also takes the files of a directory this
    // thread could not borrow.
    const bool slow = pool_ != nullptr && pool_->storage_is_slow();
    const bool try_here = slow && platform::can_tell_cached();
    std::uint64_t waits = 0;
    const bool counted = !slow && platform::thread_waits(waits);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < slot.jobs.size(); ++i) {
        Job& job = slot.jobs[i];
        if (job.step == Job::Step::done) continue;
        if (stopped()) {
            job.step = Job::Step::done;  // never written: the run is over
            continue;
        }
        if (pool_ != nullptr && (slow || borrowed != 0)) {
            if (borrowed == 0 && try_here) {
                try {
                    std::uint8_t buf[READ_LIMIT];
                    std::size_t got = 0;
                    if (read(job, here, slot.where, true, buf, got) == Try::done) {
                        if (!job.outcome.failed) name(job, slot.where, buf, got);
                        job.step = Job::Step::done;
                        continue;
                    }
                } catch (const std::bad_alloc&) {
                    job.outcome = {};  // tried again where it may wait
                }
            }
            slot.pending.fetch_add(1, std::memory_order_relaxed);
            in_pool_.fetch_add(1, std::memory_order_relaxed);
            bool posted = false;
            try {
                posted = pool_->post(IoPool::Lane::read, [this, seq, i] { run_in_pool(seq, i); });
            } catch (const std::bad_alloc&) {
            }
            if (posted) continue;
            slot.pending.fetch_sub(1, std::memory_order_relaxed);
            in_pool_.fetch_sub(1, std::memory_order_relaxed);
        }
        if (borrowed != 0) {
            fail_job(job, slot.where, platform::describe(borrowed));
            job.step = Job::Step::done;
        } else {
            run_waiting(job, here, slot.where);
        }
    }
    // Read here while the storage was thought fast: this thread waiting
    // meanwhile means that a file was not in memory (only its reads can
    // make it wait here; it holds no lock then). Where waits are not
    // counted, a group that took far longer than its files would from
    // memory says the same, less surely (the thread may have been kept
    // from the processor).
    if (pool_ != nullptr && !slow) {
        std::uint64_t now = 0;
        const bool waited = counted ? platform::thread_waits(now) && now != waits
                                    : std::chrono::steady_clock::now() - start >
                                          std::chrono::milliseconds(5) + slot.jobs.size() * std::chrono::microseconds(100);
        if (waited) pool_->storage_was_slow();
    }
    lock.lock();
    if (slot.pending.fetch_sub(1, std::memory_order_acq_rel) == 1) slot_done(seq);
}

void Pipeline::run_in_pool(std::uint64_t seq, std::size_t index) {
    Slot& slot = slot_at(seq);
    Job& job = slot.jobs[index];
    if (!stopped()) {
        try {
            job.head = std::make_unique<std::uint8_t[]>(READ_LIMIT);
            (void)read(job, slot.dir, slot.where, false, job.head.get(), job.got);
        } catch (const std::bad_alloc&) {
            job.head.reset();
            job.outcome = {};
            fail_job(job, slot.where, platform::describe(platform::OUT_OF_MEMORY));
        }
    }
    std::lock_guard lock(mutex_);
    returned_.emplace_back(seq, index);
    if (idle_workers_ > 0) has_work_.notify_one();
}

void Pipeline::name_returned(std::unique_lock<std::mutex>& lock, std::uint64_t seq, std::size_t index) {
    Slot& slot = slot_at(seq);
    Job& job = slot.jobs[index];
    lock.unlock();
    if (!job.outcome.failed && job.head && !stopped()) {
        try {
            name(job, slot.where, job.head.get(), job.got);
        } catch (const std::bad_alloc&) {
            job.outcome = {};
            fail_job(job, slot.where, platform::describe(platform::OUT_OF_MEMORY));
        }
    }
    job.head.reset();
    job.step = Job::Step::done;
    lock.lock();
    in_pool_.fetch_sub(1, std::memory_order_relaxed);
    if (slot.pending.fetch_sub(1, std::memory_order_acq_rel) == 1) slot_done(seq);
}

void Pipeline::slot_done(std::uint64_t seq) {
    slot_at(seq).done = true;
    if (seq == written_) write_ready();
    // The last job of a closing run: the workers asleep may now end.
    if (closing_ && in_pool_.load(std::memory_order_relaxed) == 0) has_work_.notify_all();
}

void Pipeline::work(unsigned& ready) {
    try {
        work_on(ready);
    } catch (...) {
        // Out of memory where no single file can take the blame: the run
        // ends, with that reason.
        std::lock_guard lock(mutex_);
        if (fatal_ == 0) fatal_ = platform::OUT_OF_MEMORY;
        stop();
    }
}

void Pipeline::work_on(unsigned& ready) {
    const bool own = platform::own_descriptors();
    {
        std::lock_guard lock(mutex_);
        ++ready;
    }
    started_.notify_all();
    platform::Borrowed mine;
    unsigned spins = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!returned_.empty()) {
            const auto [seq, index] = returned_.front();
            returned_.pop_front();
            spins = 0;
            name_returned(lock, seq, index);
            continue;
        }
        std::uint64_t seq = 0;
        if (claim(seq)) {
            spins = 0;
            run_slot(lock, seq, own, mine);
            continue;
        }
        if (stopped()) return;
        if (closing_ && in_pool_.load(std::memory_order_relaxed) == 0) return;
        // The walk places the next slot soon after the last, mostly: a few
        // looks before sleeping spare a sleep and a wake-up per slot.
        if (spins < SPINS) {
            ++spins;
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
            continue;
        }
        spins = 0;
        mine.dir.reset();  // no directory held while idle
        ++idle_workers_;
        has_work_.wait(lock);
        --idle_workers_;
    }
}

void Pipeline::stop() {
    stopped_.store(true, std::memory_order_relaxed);
    has_work_.notify_all();
    has_room_.notify_all();
}

void Pipeline::abort(platform::Error err) {
    std::lock_guard lock(mutex_);
    if (fatal_ == 0) fatal_ = err;
    stop();
}

void Pipeline::write_ready() {
    const std::uint64_t before = written_;
    while (written_ < submitted_) {
        Slot& slot = slot_at(written_);
        if (!slot.done) break;
        for (Job& job : slot.jobs) out_->emit(job.outcome);
        if (out_->write_failed()) {
            // Nobody reads what comes next: the run ends now.
            stop();
            return;
        }
        // Lets go of its directory now, not when the slot is reused; its
        // descriptor is closed by the walk's thread, in whose table it is.
        slot.jobs.clear();
        if (slot.dir) released_.push_back(std::move(slot.dir));
        slot.dir.reset();
        slot.where.reset();
        slot.done = false;
        ++written_;
    }
    if (written_ != before && walk_waiting_ && (submitted_ - written_ <= resume_at() || written_ == submitted_)) {
        has_room_.notify_one();
    }
}

bool Pipeline::finish() {
    if (!threads_.empty()) {
        if (!stopped()) submit_pending();
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        has_work_.notify_all();
        for (auto& t : threads_) t.join();
        threads_.clear();
    }
    // Stopped early, the pool may still be reading into the ring: it ends
    // before the ring does.
    if (pool_ != nullptr) pool_->shutdown();
    pool_ = nullptr;
    released_.clear();
    std::lock_guard lock(mutex_);
    if (fatal_ != 0) out_->fatal(fatal_);
    fatal_ = 0;
    return out_->close();
}

}  // namespace taxon::cli
