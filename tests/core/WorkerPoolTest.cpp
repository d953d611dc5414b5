#include <gtest/gtest.h>

#include <atomic>
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
