// The thumbnails are rescaled from the full picture on every rebuild; this
// compares the scaler with the cost of merely reading that picture once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/WorkerPool.h"
#include "prepare/AreaScale.h"

namespace {

const tsy::PictureBuffer& Photo() {
    static const tsy::PictureBuffer photo = [] {
        tsy::PictureBuffer p;
        std::uint8_t* bits = p.assign(6000, 4000);
        std::uint32_t seed = 12345;
        for (std::size_t i = 0; i < p.byteCount(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            bits[i] = std::uint8_t(seed >> 24);
        }
        return p;
    }();
    return photo;
}

int Threads(const benchmark::State& state) {
    return state.range(2) == 0 ? tsy::HardwareThreads() : int(state.range(2));
}

void BM_AreaScale(benchmark::State& state) {
    const tsy::PictureBuffer& src = Photo();
    const int threads = Threads(state);
    tsy::PictureBuffer dst;
    for (auto _ : state) {
        tsy::ScalePicture(src, int(state.range(0)), int(state.range(1)), dst, threads);
        benchmark::DoNotOptimize(dst.bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(src.byteCount()));
    state.counters["threads"] = threads;
}

// The floor: every source byte read once and nothing else.
void BM_ReadPhoto(benchmark::State& state) {
    const tsy::PictureBuffer& src = Photo();
    const int threads = Threads(state);
    const int bands = threads * 3;
    const std::size_t words = src.byteCount() / 8;
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(bands));
    for (auto _ : state) {
        tsy::ParallelFor(bands, threads, [&](int b) {
            const std::size_t lo = words * std::size_t(b) / std::size_t(bands);
            const std::size_t hi = words * std::size_t(b + 1) / std::size_t(bands);
            std::uint64_t sum = 0;
            for (std::size_t i = lo; i < hi; ++i) {
                std::uint64_t w;
                std::memcpy(&w, src.bits() + i * 8, 8);
                sum += w;
            }
            sums[std::size_t(b)] = sum;
        });
        benchmark::DoNotOptimize(sums.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(src.byteCount()));
    state.counters["threads"] = threads;
}

}  // namespace

// Arguments: destination width, height, threads (0 = all).
BENCHMARK(BM_AreaScale)
    ->Args({440, 330, 1})
    ->Args({440, 330, 0})
    ->Args({214, 160, 1})
    ->Args({214, 160, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadPhoto)
    ->Args({0, 0, 1})
    ->Args({0, 0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
