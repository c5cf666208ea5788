// How the command shares out the descriptors the process may hold. Every
// directory held open and every file being read takes one; a run that ran
// out in the middle would fail at random places, so the parts that hold
// descriptors are sized at start to fit together under the limit, whatever
// it is: a small limit means fewer threads and a shorter reorder window,
// never a different output.
#pragma once

#include <cstddef>

namespace taxon::cli {

struct Plan {
    unsigned workers = 0;         // detecting threads; 0: all on the calling thread
    unsigned in_flight = 0;       // threads that wait on the storage; 0: none
    std::size_t slots = 0;        // reorder window, in groups of files of one directory
    std::size_t open_dirs = 0;    // innermost directories of a walk that keep their descriptor
    std::size_t prefetch = 0;     // directories listed ahead of the walk
};

// Below this limit the command cannot work: the standard streams, one
// directory, the one it enters or comes back to, its listing and a file.
inline constexpr std::size_t LEAST_DESCRIPTORS = 10;

// The plan for `limit` descriptors (at least LEAST_DESCRIPTORS), `jobs`
// detecting threads and `in_flight` requests waiting on the storage, as
// asked; each is cut down as the limit requires.
Plan plan_descriptors(std::size_t limit, unsigned jobs, unsigned in_flight);

// Cuts the plan's threads so that their stacks take no more than a quarter
// of the `address_space` bytes still to be had (`ulimit -v`; 0: no limit):
// what is left is for the work itself, directory listings above all.
void fit_address_space(Plan& plan, std::size_t address_space, std::size_t worker_stack, std::size_t waiting_stack);

}  // namespace taxon::cli
