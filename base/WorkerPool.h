#pragma once

#include <chrono>
#include <functional>

namespace tsy {

// Number of threads the machine runs at once (at least 1).
int HardwareThreads() noexcept;

// Runs task(i) for every i in [0, count) on at most `threads` threads, the
// calling thread included, and returns when all are done. The helper threads
// live for the whole program, so a call costs a wake-up, not a thread start.
// Tasks must not throw. Calls may come from several threads at once and from
// inside a task: each gets the helpers that are free, and the pool grows when
// a call asks for more helpers than are free.
void ParallelFor(int count, int threads, const std::function<void(int)>& task);

// As ParallelFor, but the calling thread takes no task: it calls `waiting`
// every `period` until all are done (to keep a progress display alive). When
// no helper can be had, the caller runs the tasks itself.
void ParallelForWhileWaiting(int count, int threads, const std::function<void(int)>& task,
                             std::chrono::milliseconds period,
                             const std::function<void()>& waiting);

}  // namespace tsy
