#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tsy {

// The memory a run may take, shared by its workers: what was available when
// it started. Each worker holds a share (what its pictures take) from file to
// file; a file that needs more waits until the others leave room, and one that
// needs more than the whole budget is refused before anything is allocated.
class MemoryBudget {
public:
    explicit MemoryBudget(std::uint64_t total);  // 0: not known, no limit

    enum class Answer { Granted, Wait, Never };
    // Whether a worker holding `held` may hold `bytes` now; Granted raises
    // its share (and held) to them.
    Answer Ask(std::uint64_t& held, std::uint64_t bytes);

    // Ask, waiting while the answer is Wait. Before the first wait, drop()
    // gives back what the worker holds (its pictures), so that workers never
    // wait for each other's memory. False when the answer is Never.
    bool Take(std::uint64_t& held, std::uint64_t bytes, const std::function<void()>& drop);

    // Gives back a worker's whole share.
    void Give(std::uint64_t& held);

    std::uint64_t total() const { return total_; }
    std::uint64_t peak() const;  // the most held at once

private:
    Answer AskLocked(std::uint64_t& held, std::uint64_t bytes);

    const std::uint64_t total_;
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    std::uint64_t used_ = 0;
    std::uint64_t peak_ = 0;
};

}  // namespace tsy
