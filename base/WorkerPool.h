#pragma once

#include <functional>

namespace tsy {

// Number of threads the machine runs at once (at least 1).
int HardwareThreads() noexcept;

// Runs task(i) for every i in [0, count) on at most `threads` threads, the
// calling thread included, and returns when all are done. The helper threads
// live for the whole program, so a call costs a wake-up, not a thread start.
// Tasks must not throw. Calls from several threads at once are serialised.
void ParallelFor(int count, int threads, const std::function<void(int)>& task);

}  // namespace tsy
