#include "cli/walk.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace taxon::cli {
namespace {

using platform::DirPtr;
using platform::Entry;
using platform::Error;
using platform::Identity;
using platform::Kind;

// What an entry comes to once its kind is known.
enum class Action : std::uint8_t { read, descend, skip, fail };

struct Item {
    std::string name;
    Action action = Action::skip;
    // A directory whose kind came from a look taken before it is opened:
    // should the open fail, it is looked at again (it may be a file now).
    bool looked = false;
    std::string reason;  // why it failed
};

// A directory listed ahead may hold no more entries than this; a larger
// one is listed when the walk reaches it. And the listings held ahead stop
// growing past a total, so that memory stays bounded however wide the tree.
constexpr std::size_t AHEAD_MOST_ENTRIES = 16384;
constexpr std::size_t HELD_AHEAD_MOST = 262144;
// Kinds asked for in one request to the pool, where the listing gives none.
constexpr std::size_t KINDS_PER_TASK = 2;
// How far up the walk's stack, and how many directories, a look for
// directories to list ahead goes each time.
constexpr std::size_t AHEAD_FRAMES = 64;

// Retries a call that failed for want of descriptors or memory, or was
// interrupted; `wait` lets descriptors come free between attempts.
template <class Call, class Wait>
Error with_retries(Call call, Wait wait) {
    Error err = call();
    for (int attempt = 0; attempt < 10 && err != 0 && platform::is_transient(err); ++attempt) {
        wait(err);
        std::this_thread::sleep_for(std::chrono::milliseconds(1 << std::min(attempt, 7)));
        err = call();
    }
    return err;
}

template <class Call>
Error with_retries(Call call) {
    return with_retries(call, [](Error) {});
}

// What `name` in `dir`, of kind `kind` (unknown when not known yet), comes
// to. With `cached`, false where finding out would wait on the storage.
bool resolve(const DirPtr& dir, Item& item, Kind kind, bool cached) {
    const auto look = [&](bool follow, Kind& out) {
        return cached ? platform::status_cached(dir, item.name, follow, out)
                      : with_retries([&] { return platform::status(dir, item.name, follow, out); });
    };
    const auto failed = [&](std::string_view reason) {
        item.action = Action::fail;
        item.reason = reason;
        return true;
    };
    if (kind == Kind::unknown) {
        const Error err = look(false, kind);
        if (err == platform::WOULD_BLOCK) return false;
        if (err != 0) return failed(platform::describe(err));
    }
    switch (kind) {
        case Kind::directory: item.action = Action::descend; return true;
        case Kind::regular: item.action = Action::read; return true;
        case Kind::symlink: {
            // Followed to a file, never into a directory: a walk ends.
            Kind target = Kind::unknown;
            const Error err = look(true, target);
            if (err == platform::WOULD_BLOCK) return false;
            if (err != 0) return failed(platform::is_not_found(err) ? "broken symbolic link" : platform::describe(err));
            if (target == Kind::directory) item.action = Action::skip;
            else if (target == Kind::regular) item.action = Action::read;
            else return failed(kind_reason(target, false));
            return true;
        }
        default: return failed(kind_reason(kind, false));
    }
}

// A directory of the walk: listed by the pool ahead of the walk or by the
// walk itself, then entered.
struct Node {
    enum State : std::uint8_t { idle, queued, running, ready };
    std::atomic<State> state{idle};
    std::string name;    // in its parent; the path as given for the root
    bool root = false;
    bool looked = false;  // see Item
    bool ahead = false;   // listed ahead (counted until the walk reaches it)
    DirPtr base;          // where `name` is opened, held until it is

    // Set by whoever lists it, before `state` turns ready.
    DirPtr dir;
    Identity id;
    Error err = 0;
    bool too_big = false;     // more entries than a listing ahead may hold
    std::uint64_t parent_device = 0;  // the file system of the directory that holds it
    bool elsewhere = false;   // not to be entered: on another file system (-x), or a made-up one
    bool has_instead = false;  // no longer a directory: `instead` says what it is
    Item instead;
    std::vector<Item> items;  // in byte order of the names
    std::vector<std::uint32_t> subdirs;  // the items to descend into, in order
    std::vector<std::pair<std::uint32_t, Kind>> unknown;  // items whose kind is still to find
    std::atomic<std::size_t> next_batch{0}, batches_left{0};
    std::size_t batches = 0;
    std::atomic<bool> batched{false};  // `batches` and `unknown` are set

    // The walk's own, once the node is in the walk's order.
    std::vector<std::shared_ptr<Node>> kids;  // one per subdirectory; null until needed
    PathPtr path;
    std::size_t next_item = 0, next_kid = 0;
    bool counted = false;    // its items are in the total held ahead; under the mutex
    bool forgotten = false;  // never to be reached: not counted; under the mutex
};

// What the walk shares with the pool's threads, which may outlive it.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;  // a node became ready
    IoPool* pool = nullptr;
    bool one_file_system = false;
    std::uint64_t root_device = 0;
    std::size_t held_ahead = 0;  // items of nodes listed ahead, not yet entered; under `mutex`
    IoPool* io = nullptr;  // the pool, for its word on the storage's pace, even with no listing ahead
};

void publish(Shared& shared, Node& node) {
    std::lock_guard lock(shared.mutex);
    if (node.ahead && !node.too_big && !node.forgotten) {
        shared.held_ahead += node.items.size();
        node.counted = true;
    }
    node.state.store(Node::ready, std::memory_order_release);
    shared.changed.notify_all();
}

void finish_listing(Shared& shared, Node& node) {
    try {
        for (std::uint32_t i = 0; i < node.items.size(); ++i) {
            if (node.items[i].action == Action::descend) node.subdirs.push_back(i);
        }
        node.kids.resize(node.subdirs.size());
    } catch (const std::bad_alloc&) {
        std::vector<Item>().swap(node.items);
        std::vector<std::uint32_t>().swap(node.subdirs);
        node.kids.clear();
        node.dir.reset();
        node.err = platform::OUT_OF_MEMORY;
    }
    std::vector<std::pair<std::uint32_t, Kind>>().swap(node.unknown);
    publish(shared, node);
}

// Finds the kinds of a batch of entries; the thread that finds the last
// makes the node ready. Any thread may help: the pool's or the walk's.
void help(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Node>& node) {
    if (!node->batched.load(std::memory_order_acquire)) return;  // not listed yet
    for (;;) {
        // A batch is taken only if there is one: a number taken beyond the
        // last would be harmless, but it must never be taken before they
        // are counted.
        std::size_t b = node->next_batch.load(std::memory_order_relaxed);
        do {
            if (b >= node->batches) return;
        } while (!node->next_batch.compare_exchange_weak(b, b + 1, std::memory_order_relaxed));
        const std::size_t end = std::min(node->unknown.size(), (b + 1) * KINDS_PER_TASK);
        for (std::size_t i = b * KINDS_PER_TASK; i < end; ++i) {
            const auto [index, kind] = node->unknown[i];
            Item& item = node->items[index];
            try {
                (void)resolve(node->dir, item, kind, false);
            } catch (const std::bad_alloc&) {
                item.action = Action::fail;
                item.reason.clear();
                item.reason = platform::describe(platform::OUT_OF_MEMORY);
            }
        }
        if (node->batches_left.fetch_sub(1, std::memory_order_acq_rel) == 1) finish_listing(*shared, *node);
    }
}

void list_now(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Node>& node);

// Opens and lists a node (claimed by the caller: `running`), and finds the
// kinds its listing does not give, with the pool's help. Out of memory, the
// directory fails alone.
void list(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Node>& node) {
    try {
        list_now(shared, node);
    } catch (const std::bad_alloc&) {
        Node& n = *node;
        if (n.state.load(std::memory_order_acquire) == Node::ready) return;
        if (n.batched.load(std::memory_order_acquire)) {
            // Its kinds are being found: whoever finds the last makes it ready.
            help(shared, node);
            return;
        }
        std::vector<Item>().swap(n.items);
        n.dir.reset();
        n.err = platform::OUT_OF_MEMORY;
        publish(*shared, n);
    }
}

void list_now(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Node>& node) {
    Node& n = *node;
    DirPtr dir;
    Identity id;
    Error err = platform::WOULD_BLOCK;
    // A directory not in memory says the storage makes requests wait:
    // from then on files are read, and directories listed ahead, by the pool.
    if (!n.root && shared->io != nullptr && !shared->io->storage_is_slow() && platform::can_tell_cached()) {
        err = platform::open_dir_cached(n.base, n.name, dir, id);
        // (Not when the system just refused to say: that is no wait.)
        if (err == platform::WOULD_BLOCK && platform::can_tell_cached()) shared->io->storage_was_slow();
    }
    if (err == platform::WOULD_BLOCK) {
        err = with_retries([&] { return platform::open_dir(n.base, n.name, n.root, dir, id); });
    }
    if (err != 0) {
        // Perhaps no longer a directory: then it is taken for what it is now.
        Kind now = Kind::unknown;
        if (!n.root && n.looked && platform::status(n.base, n.name, false, now) == 0 && now != Kind::directory) {
            n.instead.name = n.name;
            n.has_instead = resolve(n.base, n.instead, now, false);
        }
        if (!n.has_instead) n.err = err;
        n.base.reset();
        return publish(*shared, n);
    }
    n.base.reset();
    // Below the roots given, the kernel's own file systems (/proc, /sys,
    // ...) are not entered: found where a walk crosses onto another file
    // system, so one question per mount point.
    if (!n.root && id.device != n.parent_device &&
        ((shared->one_file_system && id.device != shared->root_device) || platform::is_pseudo_file_system(*dir))) {
        n.elsewhere = true;
        return publish(*shared, n);
    }
    std::vector<Entry> entries;
    try {
        err = with_retries([&] {
            entries.clear();
            return platform::list_dir(*dir, entries, n.ahead ? AHEAD_MOST_ENTRIES : SIZE_MAX);
        });
        if (err == 0) {
            std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
            n.items.reserve(entries.size());
            for (Entry& e : entries) {
                Item& item = n.items.emplace_back();
                item.name = std::move(e.name);
                item.looked = true;
                if (e.kind == Kind::unknown || e.kind == Kind::symlink) {
                    // In memory already, mostly: found here, else by the pool.
                    if (!resolve(dir, item, e.kind, true)) {
                        n.unknown.emplace_back(static_cast<std::uint32_t>(n.items.size() - 1), e.kind);
                    }
                } else {
                    (void)resolve(dir, item, e.kind, true);
                }
            }
        }
    } catch (const std::bad_alloc&) {
        // A directory of more names than memory holds: it fails alone.
        std::vector<Entry>().swap(entries);
        std::vector<Item>().swap(n.items);
        std::vector<std::pair<std::uint32_t, Kind>>().swap(n.unknown);
        err = platform::OUT_OF_MEMORY;
    }
    if (err == platform::TOO_MANY) {
        n.too_big = true;
        return publish(*shared, n);
    }
    if (err != 0) {
        n.err = err;
        return publish(*shared, n);
    }
    n.dir = std::move(dir);
    n.id = id;
    if (n.unknown.empty()) return finish_listing(*shared, n);
    n.batches = (n.unknown.size() + KINDS_PER_TASK - 1) / KINDS_PER_TASK;
    n.batches_left.store(n.batches, std::memory_order_relaxed);
    n.batched.store(true, std::memory_order_release);
    if (shared->pool != nullptr) {
        const std::size_t helpers = std::min<std::size_t>(n.batches - 1, shared->pool->limit());
        try {
            for (std::size_t i = 0; i < helpers; ++i) {
                if (!shared->pool->post(IoPool::Lane::walk, [shared, node] { help(shared, node); })) break;
            }
        } catch (const std::bad_alloc&) {
            // Fewer helpers: this thread and the walk's find the rest.
        }
    }
    help(shared, node);
}

// The walk proper: one thread, the order of the output.
class Walker {
public:
    Walker(Pipeline& pipeline, const WalkOptions& options) : pipeline_(pipeline), options_(options) {
        shared_->pool = options.prefetch > 0 ? options.pool : nullptr;
        shared_->io = options.pool;
        shared_->one_file_system = options.one_file_system;
    }

    void run(const std::string& root) {
        auto node = std::make_shared<Node>();
        node->name = root;
        node->root = true;
        pipeline_.nudge();
        if (!obtain(node, nullptr)) return;
        if (node->err != 0) return pipeline_.fail(nullptr, root, platform::describe(node->err));
        shared_->root_device = node->id.device;
        node->path = std::make_shared<const PathNode>(PathNode{nullptr, root});
        enter(std::move(node));
        while (!stack_.empty() && !pipeline_.stopped()) step();
    }

private:
    void enter(std::shared_ptr<Node> node) {
        active_.insert({node->id.device, node->id.node});
        stack_.push_back(std::move(node));
        if (stack_.size() > options_.open_dirs) stack_[stack_.size() - 1 - options_.open_dirs]->dir.reset();
        look_ahead();
    }

    void step() {
        Node& top = *stack_.back();
        if (top.next_item == top.items.size()) return leave();
        const Item& item = top.items[top.next_item++];
        switch (item.action) {
            case Action::read: return pipeline_.submit_entry(top.dir, top.path, item.name);
            case Action::fail: return pipeline_.fail(top.path, item.name, item.reason);
            case Action::skip: return;
            case Action::descend: return descend(top, top.next_kid++);
        }
    }

    std::shared_ptr<Node> kid(Node& parent, std::size_t k) {
        auto& slot = parent.kids[k];
        if (!slot) {
            const Item& item = parent.items[parent.subdirs[k]];
            slot = std::make_shared<Node>();
            slot->name = item.name;
            slot->looked = item.looked;
            slot->parent_device = parent.id.device;
        }
        return slot;
    }

    void descend(Node& top, std::size_t k) {
        std::shared_ptr<Node> node = kid(top, k);
        top.kids[k].reset();
        pipeline_.nudge();
        if (!obtain(node, top.dir)) return;
        if (node->has_instead) {
            const Item& item = node->instead;
            if (item.action == Action::read) return pipeline_.submit_entry(top.dir, top.path, item.name);
            if (item.action == Action::fail) return pipeline_.fail(top.path, item.name, item.reason);
            return;
        }
        if (node->err != 0) return pipeline_.fail(top.path, node->name, platform::describe(node->err));
        if (node->elsewhere || (options_.one_file_system && node->id.device != shared_->root_device)) return;
        if (active_.count({node->id.device, node->id.node})) {
            return pipeline_.fail(top.path, node->name, "directory loop (the same directory as one that holds it)");
        }
        node->path = std::make_shared<const PathNode>(PathNode{top.path, node->name});
        enter(std::move(node));
    }

    // The node's listing, done here if nobody took it, else waited for;
    // false when the run stopped meanwhile.
    bool obtain(const std::shared_ptr<Node>& node, const DirPtr& base) {
        for (;;) {
            Node::State s = node->state.load(std::memory_order_acquire);
            if (s == Node::idle) {
                node->base = base;
                node->state.store(Node::running, std::memory_order_relaxed);
                list(shared_, node);
                continue;
            }
            if (s == Node::queued && node->state.compare_exchange_strong(s, Node::running)) {
                list(shared_, node);
                continue;
            }
            if (s != Node::ready) {
                help(shared_, node);  // kinds still to find: lend a hand
                // While it waits, the walk lists further ahead what the
                // listings done meanwhile have shown.
                if (!stack_.empty()) look_ahead();
                std::unique_lock lock(shared_->mutex);
                shared_->changed.wait_for(lock, std::chrono::milliseconds(50),
                                          [&] { return node->state.load(std::memory_order_acquire) == Node::ready; });
                if (pipeline_.stopped()) return false;
                continue;
            }
            Node& n = *node;
            if (n.ahead) {
                n.ahead = false;
                --ahead_;
                std::lock_guard lock(shared_->mutex);
                if (n.counted) shared_->held_ahead -= n.items.size();
                n.counted = false;
            }
            if (!n.too_big) return true;
            // Too large to be listed ahead: listed now, in full.
            n.too_big = false;
            n.dir.reset();
            n.items.clear();
            n.unknown.clear();
            n.state.store(Node::idle, std::memory_order_relaxed);
        }
    }

    // Directories listed ahead that the walk will never reach (they were
    // under a directory it lost): their share of the budget comes back.
    void forget(Node& node, std::size_t from) {
        for (std::size_t k = from; k < node.kids.size(); ++k) {
            const std::shared_ptr<Node> kid = std::move(node.kids[k]);
            if (!kid || !kid->ahead) continue;
            bool ready = false;
            {
                std::lock_guard lock(shared_->mutex);
                ready = kid->state.load(std::memory_order_acquire) == Node::ready;
                if (!ready) kid->forgotten = true;  // not to be counted when it is
                if (kid->counted) shared_->held_ahead -= kid->items.size();
                kid->counted = false;
            }
            if (ready) forget(*kid, 0);
            --ahead_;
        }
    }

    // Lists ahead the directories the walk will enter next, in the walk's
    // order, as far as the budget goes.
    void look_ahead() {
        // Only once a directory was not in memory: on a warm cache a listing
        // takes microseconds, less than handing it to another thread would.
        if (shared_->pool == nullptr || !shared_->pool->storage_is_slow() || ahead_ >= options_.prefetch) return;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->held_ahead >= HELD_AHEAD_MOST) return;
        }
        looked_ = 0;
        const std::size_t bottom = stack_.size() > AHEAD_FRAMES ? stack_.size() - AHEAD_FRAMES : 0;
        for (std::size_t i = stack_.size(); i-- > bottom;) {
            Node& frame = *stack_[i];
            if (!frame.dir) continue;  // let go: its subdirectories wait until it is back on top
            for (std::size_t k = frame.next_kid; k < frame.kids.size(); ++k) {
                if (!visit(frame, k)) return;
            }
        }
    }

    // False once the budget or the look is spent.
    bool visit(Node& parent, std::size_t k) {
        if (++looked_ > 4 * options_.prefetch + 64) return false;
        std::shared_ptr<Node> node = kid(parent, k);
        switch (node->state.load(std::memory_order_acquire)) {
            case Node::idle: {
                node->base = parent.dir;
                node->ahead = true;
                node->state.store(Node::queued, std::memory_order_release);
                ++ahead_;
                const auto shared = shared_;
                bool posted = false;
                try {
                    posted = shared_->pool->post(IoPool::Lane::walk, [shared, node] {
                        Node::State expected = Node::queued;
                        if (node->state.compare_exchange_strong(expected, Node::running)) list(shared, node);
                    });
                } catch (const std::bad_alloc&) {
                }
                if (!posted) {
                    node->ahead = false;
                    node->base.reset();
                    node->state.store(Node::idle, std::memory_order_relaxed);
                    --ahead_;
                    return false;
                }
                return ahead_ < options_.prefetch;
            }
            case Node::ready: {
                if (node->err != 0 || node->has_instead || node->elsewhere || node->too_big || !node->dir) return true;
                for (std::size_t j = 0; j < node->kids.size(); ++j) {
                    if (!visit(*node, j)) return false;
                }
                return true;
            }
            default: return true;
        }
    }

    void leave() {
        std::shared_ptr<Node> done = std::move(stack_.back());
        stack_.pop_back();
        active_.erase({done->id.device, done->id.node});
        if (stack_.empty()) return;
        Node& parent = *stack_.back();
        if (parent.dir || parent.next_item == parent.items.size()) return;
        // Back to a directory that was let go, with entries left: its
        // child leads back to it; should the tree have moved meanwhile, it
        // is opened again from the nearest directory still open.
        DirPtr dir;
        Identity id;
        if (done->dir && open_retrying([&] { return platform::open_parent(done->dir, dir, id); }) == 0 && id == parent.id) {
            parent.dir = std::move(dir);
            return;
        }
        reopen(stack_.size() - 1);
    }

    void reopen(std::size_t index) {
        std::size_t first = index;
        while (first > 0 && !stack_[first - 1]->dir) --first;
        for (std::size_t k = first; k <= index; ++k) {
            Node& f = *stack_[k];
            DirPtr dir;
            Identity id;
            Error err = open_retrying([&] {
                return k == 0 ? platform::open_dir(nullptr, f.name, true, dir, id)
                              : platform::open_dir(stack_[k - 1]->dir, f.name, false, dir, id);
            });
            if (err == 0 && !(id == f.id)) err = -1;
            if (err != 0) {
                // Its entries left, and those of the directories inside it
                // the walk was in, cannot be reached: one line says so.
                for (std::size_t j = k; j <= index; ++j) {
                    Node& lost = *stack_[j];
                    lost.next_item = lost.items.size();
                    forget(lost, lost.next_kid);
                    lost.next_kid = lost.kids.size();
                }
                const std::string reason = err == -1 ? "replaced during the walk" : platform::describe(err);
                return pipeline_.fail(f.path->parent, f.path->name, reason);
            }
            f.dir = std::move(dir);
        }
    }

    // Out of descriptors, the walk lets the lines in the window be written
    // (and their directories closed) before it tries again.
    template <class Call>
    Error open_retrying(Call call) {
        return with_retries(call, [&](Error err) {
            if (platform::is_out_of_descriptors(err)) pipeline_.drain();
        });
    }

    Pipeline& pipeline_;
    const WalkOptions& options_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::vector<std::shared_ptr<Node>> stack_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> active_;
    std::size_t ahead_ = 0;   // nodes listed ahead, not yet reached
    std::size_t looked_ = 0;  // nodes looked at by this look ahead
};

}  // namespace

void walk(Pipeline& pipeline, const WalkOptions& options, const std::string& root) {
    Walker(pipeline, options).run(root);
}

}  // namespace taxon::cli
