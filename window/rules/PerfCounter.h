#pragma once

#include <cstdint>

namespace tsy {

// Elapsed time of one piece of work (the blend), on a monotonic clock.
class PerfCounter {
public:
    // Where the counts come from; the default is std::chrono::steady_clock.
    class Source {
    public:
        virtual ~Source() = default;
        // Counts per second; 0 when there is no such counter.
        virtual std::int64_t Frequency() = 0;
        virtual std::int64_t Count() = 0;
    };
    static Source& SteadySource();

    explicit PerfCounter(Source& source = SteadySource()) : source_(&source) {}

    // Takes the start count. False when the source has no counter: the caller
    // tells the user, and ElapsedSeconds() then gives 0.
    bool StartCounter();

    // Seconds since the last StartCounter(); each call measures from that start.
    double ElapsedSeconds();

private:
    Source* source_;
    double frequency_ = 0.0;
    std::int64_t start_ = 0;
};

}  // namespace tsy
