#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/WorkerPool.h"

TEST(WorkerPool, RunsEveryTaskOnceWhateverTheThreadCount) {
    for (int threads : {1, 2, 3, 16})
        for (int count : {0, 1, 2, 7, 100}) {
            std::vector<std::atomic<int>> hits(std::size_t(count) + 1);
            for (int round = 0; round < 20; ++round)
                tsy::ParallelFor(count, threads, [&](int i) { hits[std::size_t(i)]++; });
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(hits[std::size_t(i)].load(), 20);
            EXPECT_EQ(hits[std::size_t(count)].load(), 0);
        }
    EXPECT_GE(tsy::HardwareThreads(), 1);
}

// Tasks that call ParallelFor themselves (a batch's files, each with its own
// parallel work) and a caller that only waits, calling back meanwhile.
TEST(WorkerPool, NestedCallsAndACallerThatOnlyWaits) {
    std::atomic<int> inner{0};
    tsy::ParallelFor(4, 4, [&](int) { tsy::ParallelFor(8, 3, [&](int) { inner++; }); });
    EXPECT_EQ(inner.load(), 32);

    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> done{0}, onCaller{0};
    int waits = 0;
    tsy::ParallelForWhileWaiting(
        3, 3,
        [&](int) {
            if (std::this_thread::get_id() == caller) onCaller++;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            done++;
        },
        std::chrono::milliseconds(5), [&] { ++waits; });
    EXPECT_EQ(done.load(), 3);
    EXPECT_EQ(onCaller.load(), 0);
    EXPECT_GT(waits, 0);
}
