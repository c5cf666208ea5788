#include "cli/walk.hpp"

#include <algorithm>
#include <new>
#include <set>
#include <utility>
#include <vector>

namespace taxon::cli {
namespace {

using platform::DirPtr;
using platform::Entry;
using platform::Identity;
using platform::Kind;

struct Frame {
    PathPtr path;
    DirPtr dir;  // null while let go
    Identity id;
    std::vector<Entry> entries;
    std::size_t next = 0;
};

class Walker {
public:
    Walker(Pipeline& pipeline, const WalkOptions& options) : pipeline_(pipeline), options_(options) {}

    void run(const std::string& root) {
        DirPtr dir;
        Identity id;
        if (const auto err = platform::open_dir(nullptr, root, true, dir, id)) {
            return pipeline_.fail(nullptr, root, platform::describe(err));
        }
        root_device_ = id.device;
        auto path = std::make_shared<const PathNode>(PathNode{nullptr, root});
        if (!enter(std::move(path), std::move(dir), id, nullptr, root)) return;
        while (!stack_.empty() && !pipeline_.stopped()) step();
    }

private:
    // Lists a directory and pushes it; false after reporting why not.
    bool enter(PathPtr path, DirPtr dir, const Identity& id, const PathPtr& where, const std::string& name) {
        std::vector<Entry> entries;
        pipeline_.nudge();
        platform::Error err = 0;
        try {
            err = platform::list_dir(*dir, entries);
        } catch (const std::bad_alloc&) {
            // A directory of more names than memory holds: it fails alone.
            std::vector<Entry>().swap(entries);
            err = platform::OUT_OF_MEMORY;
        }
        if (err != 0) {
            pipeline_.fail(where, name, platform::describe(err));
            return false;
        }
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
        active_.insert({id.device, id.node});
        stack_.push_back({std::move(path), std::move(dir), id, std::move(entries), 0});
        if (stack_.size() > options_.open_dirs) stack_[stack_.size() - 1 - options_.open_dirs].dir.reset();
        return true;
    }

    void step() {
        Frame& top = stack_.back();
        if (top.next == top.entries.size()) return leave();
        const Entry& entry = top.entries[top.next++];
        handle(top, entry.name, entry.kind, true);
    }

    void leave() {
        Frame done = std::move(stack_.back());
        stack_.pop_back();
        active_.erase({done.id.device, done.id.node});
        if (stack_.empty()) return;
        Frame& parent = stack_.back();
        if (parent.dir || parent.next == parent.entries.size()) return;
        // Back to a directory that was let go, with entries left: its
        // child leads back to it; should the tree have moved meanwhile, it
        // is opened again from the nearest directory still open.
        DirPtr dir;
        Identity id;
        if (done.dir && platform::open_parent(done.dir, dir, id) == 0 && id == parent.id) {
            parent.dir = std::move(dir);
            return;
        }
        reopen(stack_.size() - 1);
    }

    void reopen(std::size_t index) {
        std::size_t first = index;
        while (first > 0 && !stack_[first - 1].dir) --first;
        for (std::size_t k = first; k <= index; ++k) {
            Frame& f = stack_[k];
            DirPtr dir;
            Identity id;
            auto err = k == 0 ? platform::open_dir(nullptr, f.path->name, true, dir, id)
                              : platform::open_dir(stack_[k - 1].dir, f.path->name, false, dir, id);
            if (err == 0 && !(id == f.id)) err = -1;
            if (err != 0) {
                Frame& lost = stack_[index];
                lost.next = lost.entries.size();  // its other entries cannot be reached
                const std::string reason = err == -1 ? "replaced during the walk" : platform::describe(err);
                return pipeline_.fail(f.path->parent, f.path->name, reason);
            }
            f.dir = std::move(dir);
        }
    }

    // One entry of `top`; `listed`: its kind comes from the listing, which
    // may be out of date by now.
    void handle(Frame& top, const std::string& name, Kind kind, bool listed) {
        if (kind == Kind::unknown) {
            if (const auto err = platform::status(top.dir, name, false, kind)) {
                return pipeline_.fail(top.path, name, platform::describe(err));
            }
        }
        switch (kind) {
            case Kind::directory: return descend(top, name, listed);
            case Kind::regular: return read(top, name);
            case Kind::symlink: {
                // Followed to a file, never into a directory: a walk ends.
                Kind target = Kind::unknown;
                if (const auto err = platform::status(top.dir, name, true, target)) {
                    return pipeline_.fail(top.path, name,
                                          platform::is_not_found(err) ? "broken symbolic link" : platform::describe(err));
                }
                if (target == Kind::directory) return;
                if (target == Kind::regular) return read(top, name);
                return pipeline_.fail(top.path, name, std::string(kind_reason(target, false)));
            }
            default: return pipeline_.fail(top.path, name, std::string(kind_reason(kind, false)));
        }
    }

    void read(const Frame& top, const std::string& name) { pipeline_.submit_entry(top.dir, top.path, name); }

    void descend(Frame& top, const std::string& name, bool listed) {
        DirPtr dir;
        Identity id;
        if (const auto err = platform::open_dir(top.dir, name, false, dir, id)) {
            // Perhaps no longer a directory: then it is taken for what it is now.
            Kind now = Kind::unknown;
            if (listed && platform::status(top.dir, name, false, now) == 0 && now != Kind::directory) {
                return handle(top, name, now, false);
            }
            return pipeline_.fail(top.path, name, platform::describe(err));
        }
        if (options_.one_file_system && id.device != root_device_) return;
        if (active_.count({id.device, id.node})) {
            return pipeline_.fail(top.path, name, "directory loop (the same directory as one that holds it)");
        }
        auto path = std::make_shared<const PathNode>(PathNode{top.path, name});
        const PathPtr where = top.path;  // `top` may move when the stack grows
        enter(std::move(path), std::move(dir), id, where, name);
    }

    Pipeline& pipeline_;
    const WalkOptions& options_;
    std::uint64_t root_device_ = 0;
    std::vector<Frame> stack_;
    std::set<std::pair<std::uint64_t, std::uint64_t>> active_;
};

}  // namespace

void walk(Pipeline& pipeline, const WalkOptions& options, const std::string& root) {
    Walker(pipeline, options).run(root);
}

}  // namespace taxon::cli
