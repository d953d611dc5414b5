#include "window/rules/PerfCounter.h"

#include <chrono>

namespace tsy {

namespace {

class SteadyClockSource final : public PerfCounter::Source {
public:
    std::int64_t Frequency() override {
        using P = std::chrono::steady_clock::period;
        return std::int64_t(P::den / P::num);
    }
    std::int64_t Count() override {
        return std::int64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    }
};

}  // namespace

PerfCounter::Source& PerfCounter::SteadySource() {
    static SteadyClockSource source;
    return source;
}

bool PerfCounter::StartCounter() {
    const std::int64_t f = source_->Frequency();
    if (f == 0) {
        frequency_ = 0.0;
        return false;
    }
    frequency_ = double(f);
    start_ = source_->Count();
    return true;
}

double PerfCounter::ElapsedSeconds() {
    if (frequency_ == 0.0) return 0.0;
    const std::int64_t stop = source_->Count();
    return (double(stop) - double(start_)) / frequency_;
}

}  // namespace tsy
