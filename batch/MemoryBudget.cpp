#include "batch/MemoryBudget.h"

#include <algorithm>

namespace tsy {

MemoryBudget::MemoryBudget(std::uint64_t total) : total_(total) {}

MemoryBudget::Answer MemoryBudget::AskLocked(std::uint64_t& held, std::uint64_t bytes) {
    if (total_ == 0 || bytes <= held) return Answer::Granted;
    if (bytes > total_) return Answer::Never;
    if (used_ - held + bytes > total_) return Answer::Wait;
    used_ += bytes - held;
    held = bytes;
    peak_ = std::max(peak_, used_);
    return Answer::Granted;
}

MemoryBudget::Answer MemoryBudget::Ask(std::uint64_t& held, std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    return AskLocked(held, bytes);
}

bool MemoryBudget::Take(std::uint64_t& held, std::uint64_t bytes,
                        const std::function<void()>& drop) {
    std::unique_lock lock(mutex_);
    Answer answer = AskLocked(held, bytes);
    if (answer != Answer::Wait) return answer == Answer::Granted;
    lock.unlock();
    drop();
    Give(held);
    lock.lock();
    freed_.wait(lock, [&] { return (answer = AskLocked(held, bytes)) != Answer::Wait; });
    return answer == Answer::Granted;
}

void MemoryBudget::Give(std::uint64_t& held) {
    {
        std::lock_guard lock(mutex_);
        if (total_ != 0) used_ -= held;
        held = 0;
    }
    freed_.notify_all();
}

std::uint64_t MemoryBudget::peak() const {
    std::lock_guard lock(mutex_);
    return peak_;
}

}  // namespace tsy
