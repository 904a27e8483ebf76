#ifndef ENGINE_BATCH_H
#define ENGINE_BATCH_H

#include <atomic>
#include <cstddef>
#include <functional>

// Many independent pieces of work (one per input file) on a number of threads. Once `stop` is
// set (from any thread, or from a signal handler: the flag is lock-free) no new piece starts;
// the pieces that are running finish, so that none leaves its output half-written.
namespace Batch {

static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from signal handlers");

// Run work(i) for every i below `count` on up to `threads` threads, the calling one among them,
// and wait for all. Returns how many pieces were started.
std::size_t run(std::size_t count, int threads, const std::atomic<bool> &stop,
                 const std::function<void(std::size_t)> &work);

}

#endif
