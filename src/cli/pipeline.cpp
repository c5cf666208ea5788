#include "cli/pipeline.hpp"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <utility>

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

Output::Output(const Settings& settings) : settings_(settings) {
    start_ = last_flush_ = last_draw_ = Clock::now();
    stdout_is_terminal_ = platform::is_terminal(platform::Stream::out);
    progress_ = settings.progress && platform::is_terminal(platform::Stream::err);
    if (progress_) platform::on_interrupt(ERASE_PROGRESS, progress_on_screen);
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

void Output::emit(Job& job) {
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

// ---- Pipeline --------------------------------------------------------------

Pipeline::Pipeline(const Settings& settings, unsigned workers, std::size_t window)
    : settings_(settings), out_(std::make_unique<Output>(settings)) {
    if (workers == 0) return;
    // As many files in flight as `window` says, in slots of BATCH files;
    // yet a few slots per worker, and never more slots (directories held)
    // than `window`.
    const std::size_t slots = std::min<std::size_t>(window, std::max<std::size_t>(window / BATCH, 4 * std::size_t{workers}));
    ring_.resize(std::max<std::size_t>(slots, 2));
    threads_.reserve(workers);
    // The workers take their own descriptor tables before the walk opens
    // anything, so that the copies they take hold nothing of it.
    unsigned ready = 0;
    for (unsigned i = 0; i < workers; ++i) {
        // Where no more threads can be made (a limit on processes or on
        // memory), the run goes on with those that could, or on this one.
        try {
            threads_.emplace_back([this, &ready] { work(ready); });
        } catch (const std::system_error&) {
            break;
        }
    }
    std::unique_lock lock(mutex_);
    started_.wait(lock, [&] { return ready == threads_.size(); });
}

Pipeline::~Pipeline() {
    try {
        if (!threads_.empty()) finish();
    } catch (...) {
        // Unwinding already: the workers were joined or never started.
    }
}

void Pipeline::stop() {
    stopped_.store(true, std::memory_order_relaxed);
    has_work_.notify_all();
    has_room_.notify_all();
}

void Pipeline::run_job(Job& job, const platform::DirPtr& dir, const PathPtr& where) const {
    if (job.step == Job::Step::done) return;
    job.step = Job::Step::done;
    std::uint8_t buf[READ_LIMIT];
    platform::File file;
    platform::Error err = 0;
    const bool from_stdin = !where && job.name == "-";
    if (from_stdin) {
        platform::standard_input(file);
    } else {
        platform::Kind kind = platform::Kind::unknown;
        err = platform::open_file(dir, job.name, file, kind);
        if (err == 0 && kind != platform::Kind::regular) {
            job.failed = true;
            job.line = error_line(full_path(where, job.name), kind_reason(kind, !where));
            return;
        }
    }
    std::size_t got = 0;
    if (err == 0) err = platform::read_head(file, buf, READ_LIMIT, got);
    if (err != 0) {
        job.failed = true;
        job.line = error_line(full_path(where, job.name), platform::describe(err));
        return;
    }
    job.bytes = got;
    job.type = &taxon::detect(buf, got);
    const MimeType& type = *job.type;
    std::string& line = job.line;
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

void Pipeline::run_job_or_fail(Job& job, const platform::DirPtr& dir, const PathPtr& where) const {
    try {
        run_job(job, dir, where);
    } catch (const std::bad_alloc&) {
        job.step = Job::Step::done;
        job.failed = true;
        job.line.clear();
        job.line = error_line(full_path(where, job.name), platform::describe(platform::OUT_OF_MEMORY));
    }
}

void Pipeline::submit(Job&& job) {
    if (stopped()) return;
    if (threads_.empty()) {
        run_job_or_fail(job, job.dir, job.where);
        out_->emit(job);
        if (out_->write_failed()) stop();
        return;
    }
    submit_pending();
    Slot one;
    one.dir = std::move(job.dir);
    one.where = std::move(job.where);
    one.jobs.push_back(std::move(job));
    place(one);
}

void Pipeline::submit_entry(const platform::DirPtr& dir, const PathPtr& where, const std::string& name) {
    if (threads_.empty()) {
        Job job;
        job.step = Job::Step::read_file;
        job.dir = dir;
        job.where = where;
        job.name = name;
        return submit(std::move(job));
    }
    if (!pending_.jobs.empty() && (pending_.dir != dir || pending_.where != where)) submit_pending();
    if (pending_.jobs.empty()) {
        pending_.dir = dir;
        pending_.where = where;
    }
    Job& job = pending_.jobs.emplace_back();
    job.step = Job::Step::read_file;
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
    if (submitted_ - written_ == ring_.size()) {
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
    Slot& slot = ring_[index(submitted_)];
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

std::size_t Pipeline::resume_at() const { return ring_.size() - (ring_.size() + 3) / 4; }

void Pipeline::nudge() {
    if (threads_.empty()) return out_->flush_if_old();
    submit_pending();
    std::lock_guard lock(mutex_);
    out_->flush_if_old();
}

void Pipeline::fail(PathPtr where, std::string name, std::string reason) {
    Job job;
    job.failed = true;
    job.line = error_line(full_path(where, name), reason);
    submit(std::move(job));
}

void Pipeline::submit_stdin() {
    Job job;
    job.step = Job::Step::read_file;
    job.name = "-";
    run_job(job, nullptr, nullptr);
    submit(std::move(job));
}

bool Pipeline::claim(std::uint64_t& seq) {
    if (stopped()) return false;
    // Jobs done when submitted may have been written before any thread
    // stepped past them.
    claimed_ = std::max(claimed_, written_);
    while (claimed_ < submitted_ && ring_[index(claimed_)].done) ++claimed_;
    if (claimed_ == submitted_) return false;
    seq = claimed_++;
    return true;
}

void Pipeline::run_slot(std::unique_lock<std::mutex>& lock, std::uint64_t seq, bool own, platform::Borrowed& mine) {
    Slot& slot = ring_[index(seq)];
    lock.unlock();
    platform::Error err = 0;
    if (own && slot.dir) err = platform::borrow_dir(slot.dir, mine);
    for (Job& job : slot.jobs) {
        if (stopped()) {
            job.step = Job::Step::done;  // never written: the run is over
        } else if (err == 0) {
            run_job_or_fail(job, own && slot.dir ? mine.dir : slot.dir, slot.where);
        } else {
            job.step = Job::Step::done;
            job.failed = true;
            job.line = error_line(full_path(slot.where, job.name), platform::describe(err));
        }
    }
    lock.lock();
    slot.done = true;
    if (seq == written_) write_ready();
}

void Pipeline::work(unsigned& ready) {
    try {
        work_on(ready);
    } catch (...) {
        // Out of memory where no single file can take the blame: the run
        // ends, with that reason.
        std::lock_guard lock(mutex_);
        fatal_ = platform::OUT_OF_MEMORY;
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
        std::uint64_t seq = 0;
        if (claim(seq)) {
            spins = 0;
            run_slot(lock, seq, own, mine);
            continue;
        }
        if (closing_ || stopped()) return;
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

void Pipeline::write_ready() {
    const std::uint64_t before = written_;
    while (written_ < submitted_) {
        Slot& slot = ring_[index(written_)];
        if (!slot.done) break;
        for (Job& job : slot.jobs) out_->emit(job);
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
    if (written_ != before && walk_waiting_ && submitted_ - written_ <= resume_at()) has_room_.notify_one();
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
        released_.clear();
    }
    if (fatal_ != 0) out_->fatal(fatal_);
    return out_->close();
}

}  // namespace taxon::cli
