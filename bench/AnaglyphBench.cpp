// Speed of the anaglyph engine on a 24 MP pair, every method of the method
// table (the least-squares ones included), next to the memory limit (a loop
// that only moves the bytes the engine must touch) and a plain per-pixel table
// loop.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"
#include "render/Anaglyph.h"

namespace {

constexpr int kW = 6000;
constexpr int kH = 4000;
constexpr double kMegapixels = kW * double(kH) / 1e6;

// Smooth gradients with a little noise, like a photo: the table methods see
// realistic locality, not uniform random pixels.
void MakeView(tsy::PictureBuffer& p, std::uint32_t seed, int shift) {
    std::uint8_t* d = p.assign(kW, kH);
    std::uint32_t s = seed;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            const int xs = x + shift;
            std::uint8_t* q = d + (std::size_t(y) * kW + x) * 4;
            q[0] = std::uint8_t(xs / 24 + y / 32 + (s & 7));
            q[1] = std::uint8_t(128 + 100 * std::sin(xs * 0.003 + y * 0.002) + (s >> 8 & 7));
            q[2] = std::uint8_t((xs ^ y) / 40 + (s >> 16 & 15));
            q[3] = 0xFF;
        }
}

struct Pair {
    tsy::PictureBuffer right, left, out;
    Pair() {
        MakeView(right, 1, 0);
        MakeView(left, 2, 9);
        out.assignBlack(kW, kH);  // first touch of the result outside the timing
    }
};

Pair& Scene() {
    static Pair pair;
    return pair;
}

int ThreadsArg(std::int64_t v) {
    return v == 0 ? tsy::HardwareThreads() : int(v);
}

void Finish(benchmark::State& state) {
    state.counters["MP/s"] =
        benchmark::Counter(kMegapixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

// As the window runs it: the result buffer is cleared before every build.
void BM_Anaglyph(benchmark::State& state) {
    Pair& p = Scene();
    const int method = int(state.range(0)), ox = int(state.range(1)), oy = int(state.range(2));
    const int threads = ThreadsArg(state.range(3));
    tsy::SilentProgress quiet;
    for (auto _ : state) {
        p.out.clear();
        if (!tsy::Anaglyph(p.right, p.left, p.out, {method, 0, 0, ox, oy}, quiet, threads))
            state.SkipWithError("engine failed");
        benchmark::DoNotOptimize(p.out.bits());
    }
    Finish(state);
}

// The physical limit: read both views, write the result, nothing else.
void Yardstick(const std::uint8_t* r, const std::uint8_t* l, std::uint8_t* out, int y0, int y1) {
    const std::size_t n = std::size_t(y1 - y0) * kW, first = std::size_t(y0) * kW;
    const auto* rp = reinterpret_cast<const std::uint32_t*>(r) + first;
    const auto* lp = reinterpret_cast<const std::uint32_t*>(l) + first;
    auto* op = reinterpret_cast<std::uint32_t*>(out) + first;
    for (std::size_t i = 0; i < n; ++i)
        op[i] = (rp[i] & 0x0000FFFFu) | (lp[i] & 0x00FF0000u) | 0xFF000000u;
}

void BM_Yardstick(benchmark::State& state) {
    Pair& p = Scene();
    const int threads = ThreadsArg(state.range(0));
    const int bands = threads * 4;
    for (auto _ : state) {
        tsy::ParallelFor(bands, threads, [&](int i) {
            Yardstick(p.right.bits(), p.left.bits(), p.out.bits(), kH * i / bands,
                      kH * (i + 1) / bands);
        });
        benchmark::DoNotOptimize(p.out.bits());
    }
    Finish(state);
}

// The engine as first written down: index tables, bounds checks, a switch
// on the method and a clamp table for every pixel.
void Naive(const tsy::PictureBuffer& R, const tsy::PictureBuffer& L, tsy::PictureBuffer& O,
           int method, int brightness, int ox, int oy) {
    std::int16_t lumR[256], lumG[256], lumB[256], clampStore[769];
    const std::int16_t* clamp = clampStore + 256;
    for (int i = 0; i < 256; ++i) {
        lumR[i] = std::int16_t(std::nearbyint(i * 0.299));
        lumG[i] = std::int16_t(std::nearbyint(i * 0.587));
        lumB[i] = std::int16_t(std::nearbyint(i * 0.114));
    }
    for (int v = -256; v <= 512; ++v)
        clampStore[v + 256] = std::int16_t(std::clamp(v, 0, 255));
    std::vector<int> colR(kW), colL(kW), rowR(kH), rowL(kH);
    for (int x = 0; x < kW; ++x) {
        colR[x] = int(std::nearbyint(x - ox / 2.0));
        colL[x] = int(std::nearbyint(x + ox / 2.0));
    }
    for (int y = 0; y < kH; ++y) {
        rowR[y] = int(std::nearbyint(y - oy / 2.0));
        rowL[y] = int(std::nearbyint(y + oy / 2.0));
    }
    const std::uint8_t* r = R.bits();
    const std::uint8_t* l = L.bits();
    std::uint8_t* o = O.bits();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            int rr = 0, rg = 0, rb = 0, lr = 0, lg = 0, lb = 0;
            if (colR[x] >= 0 && colR[x] < kW && rowR[y] >= 0 && rowR[y] < kH) {
                const std::uint8_t* q = r + (std::size_t(rowR[y]) * kW + colR[x]) * 4;
                rb = q[0], rg = q[1], rr = q[2];
            }
            if (colL[x] >= 0 && colL[x] < kW && rowL[y] >= 0 && rowL[y] < kH) {
                const std::uint8_t* q = l + (std::size_t(rowL[y]) * kW + colL[x]) * 4;
                lb = q[0], lg = q[1], lr = q[2];
            }
            const int lumL = lumR[lr] + lumG[lg] + lumB[lb];
            const int lumRt = lumR[rr] + lumG[rg] + lumB[rb];
            const int mix = int(std::nearbyint(lg * 0.7 + lb * 0.3));
            int outR = 0, outG = 0, outB = 0;
            switch (method) {
                case 1:
                    outR = lumL, outG = lumRt, outB = lumRt;
                    break;
                case 2:
                    outR = lumL, outG = rg, outB = rb;
                    break;
                case 3:
                    outR = lr, outG = rg, outB = rb;
                    break;
                case 4:
                    outR = mix, outG = rg, outB = rb;
                    break;
                case 17:
                    outR = lumRt, outG = lumL, outB = lumRt;
                    break;
                case 18:
                    outR = rr, outG = lumL, outB = rb;
                    break;
                case 19:
                    outR = rr, outG = lg, outB = rb;
                    break;
                case 20:
                    outR = rr, outG = mix, outB = rb;
                    break;
            }
            std::uint8_t* q = o + (std::size_t(y) * kW + x) * 4;
            q[0] = std::uint8_t(clamp[outB + brightness]);
            q[1] = std::uint8_t(clamp[outG + brightness]);
            q[2] = std::uint8_t(clamp[outR + brightness]);
        }
}

void BM_Naive(benchmark::State& state) {
    Pair& p = Scene();
    const int method = int(state.range(0));
    for (auto _ : state) {
        Naive(p.right, p.left, p.out, method, 0, int(state.range(1)), int(state.range(2)));
        benchmark::DoNotOptimize(p.out.bits());
    }
    Finish(state);
}

const int kMethods[] = {1, 2, 3, 4, 17, 18, 19, 20};

void EngineArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"method", "ox", "oy", "threads"});
    for (int threads : {1, 0})  // 0: every hardware thread
        for (int g = 0; g < tsy::kGlassesCount; ++g)
            for (int c = 0; c < tsy::kColourMethodCount; ++c)
                for (auto [ox, oy] : {std::pair{0, 0}, {7, -3}})
                    if (const int method = tsy::MethodNumberFor(g, c))
                        b->Args({method, ox, oy, threads});
}

void NaiveArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"method", "ox", "oy"});
    for (int method : kMethods)
        b->Args({method, 0, 0});
    b->Args({3, 7, -3});
}

}  // namespace

BENCHMARK(BM_Yardstick)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Anaglyph)->Apply(EngineArgs)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Naive)->Apply(NaiveArgs)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
