#include "cli/budget.hpp"

#include <algorithm>

namespace taxon::cli {

Plan plan_descriptors(std::size_t limit, unsigned jobs, unsigned in_flight) {
    Plan plan;
    // Held whatever the plan: the three standard streams, the descriptor of
    // the process (for threads with tables of their own), a directory being
    // entered or come back to beside the one held, the listing's own
    // descriptor, a list of paths, and a little for the C library.
    constexpr std::size_t FIXED = 3 + 1 + 2 + 1 + 1 + 2;
    static_assert(FIXED == LEAST_DESCRIPTORS);
    std::size_t left = limit > FIXED ? limit - FIXED : 0;

    // The walk's innermost directories: an eighth, so that a deep tree is
    // not reopened from the top at every turn.
    plan.open_dirs = std::clamp<std::size_t>(left / 8, 1, 256);
    left -= std::min(left, plan.open_dirs);
    // Without another thread: one file at a time, as the walk meets it.
    if (jobs <= 1 && in_flight <= 1) return plan;

    // A detecting thread may hold a file and a path descriptor in the shared
    // table (where it cannot have a table of its own); a window of slots
    // holds a directory per slot written or not yet written (two each); at
    // least two slots, else there is no overlap at all.
    constexpr std::size_t MIN_SLOTS = 2;
    if (left < 2 * MIN_SLOTS + 2) return plan;  // too tight for threads: all on one
    plan.workers = static_cast<unsigned>(std::min<std::size_t>(jobs, (left - 2 * MIN_SLOTS) / 2));
    left -= 2 * std::size_t{plan.workers};

    // Requests waiting on the storage: a file or a directory each.
    plan.in_flight = static_cast<unsigned>(std::min<std::size_t>(in_flight, left / 3));
    if (plan.in_flight <= 1) plan.in_flight = 0;
    left -= plan.in_flight;

    // As many slots as fit a quarter of what is left, at most 128 (4,096
    // files at 32 a slot): a window that short directories (a few files a
    // slot) do not fill at once; what remains lists directories ahead, each
    // holding its own and, while listed, a copy.
    plan.slots = std::clamp<std::size_t>(left / 4, MIN_SLOTS, 128);
    left -= std::min(left, 2 * plan.slots);
    plan.prefetch = plan.in_flight == 0 ? 0 : std::min<std::size_t>(left / 2, 256);
    return plan;
}

void fit_address_space(Plan& plan, std::size_t address_space, std::size_t worker_stack, std::size_t waiting_stack) {
    if (address_space == 0) return;
    std::size_t room = address_space / 4;
    // Thread stacks come with a guard page and some bookkeeping each.
    worker_stack += 64 * 1024;
    waiting_stack += 64 * 1024;
    plan.workers = static_cast<unsigned>(std::min<std::size_t>(plan.workers, room / worker_stack));
    room -= plan.workers * worker_stack;
    // The pool has one more thread, which makes the others.
    const std::size_t waiting = room / waiting_stack;
    plan.in_flight = waiting > 2 && plan.workers > 0 ? static_cast<unsigned>(std::min<std::size_t>(plan.in_flight, waiting - 1)) : 0;
    if (plan.in_flight == 0) plan.prefetch = 0;
}

}  // namespace taxon::cli
