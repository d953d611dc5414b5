// Alignment of a 24 MP pair as the window and the batch run it: features on
// the reduced copies, the fit, and image 2 resampled at full size; then the
// same with both views cut to the picture they share. Counters give the error
// against the transform the pair was made with.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "TestStereoScene.h"
#include "base/WorkerPool.h"
#include "prepare/StereoAlign.h"
#include "prepare/StereoCrop.h"

namespace {

const tsy::test::StereoPairSetup kSetup{6000, 4000, 57.3, 1.7, 1.012, -0.08, 1};

struct Pair {
    tsy::PictureBuffer image1, image2;
};

const Pair& Photos() {
    static const Pair pair = [] {
        Pair p;
        tsy::test::StereoScene(kSetup).Render(p.image1, p.image2);
        return p;
    }();
    return pair;
}

void BM_AlignPair(benchmark::State& state) {
    const Pair& p = Photos();
    const int threads = state.range(0) == 0 ? tsy::HardwareThreads() : int(state.range(0));
    tsy::PictureBuffer aligned;
    tsy::SilentProgress quiet;
    tsy::AlignOutcome o;
    for (auto _ : state) {
        o = tsy::AlignPair(p.image1, p.image2, aligned, std::nullopt, tsy::OffsetSource::Window,
                           true, quiet, threads);
        benchmark::DoNotOptimize(aligned.bits());
    }
    const tsy::AlignTransform& t = o.result.transform;
    state.counters["dV_px"] = t.verticalPx - kSetup.verticalPx;
    state.counters["dRoll_deg"] = t.rollDeg - kSetup.rollDeg;
    state.counters["dScale"] = t.scale - kSetup.scale;
    state.counters["inliers"] = o.result.inliers;
    state.counters["window"] = o.result.windowOffset;
}
BENCHMARK(BM_AlignPair)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Aligned and cut to the stereo window's common picture: image 2 resampled
// only where it is kept, image 1 cut in place.
void BM_AlignPairCrop(benchmark::State& state) {
    const Pair& p = Photos();
    const int threads = state.range(0) == 0 ? tsy::HardwareThreads() : int(state.range(0));
    tsy::PictureBuffer image1, aligned;
    tsy::SilentProgress quiet;
    tsy::CropPlan plan;
    for (auto _ : state) {
        state.PauseTiming();
        image1.copyFrom(p.image1);
        state.ResumeTiming();
        const tsy::AlignOutcome o =
            tsy::AlignPair(p.image1, p.image2, aligned, std::nullopt, tsy::OffsetSource::Window,
                           false, quiet, threads);
        const int dx = o.offsetX.value_or(0);
        plan = tsy::PlanCrop(image1.width(), image1.height(), &o.result, dx, 0);
        if (plan.cut)
            tsy::ResampleAndCrop(image1, p.image2, o.result.transform, plan.rect, dx, 0, aligned,
                                 threads);
        else
            tsy::ResampleView(p.image2, o.result.transform, aligned, threads);
        benchmark::DoNotOptimize(aligned.bits());
    }
    state.counters["kept_pct"] = 100.0 * plan.rect.width * plan.rect.height / (6000.0 * 4000.0);
}
BENCHMARK(BM_AlignPairCrop)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// What cutting adds to the pair step, without the measuring's noise: image 2
// resampled whole against the cut path (the rectangle, image 2 resampled
// where kept, image 1 cut in place), timed in turn on each iteration.
void BM_CropCost(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const Pair& p = Photos();
    tsy::AlignResult r;
    r.aligned = true;
    r.transform = {57.3, 1.7, 1.012, 2999.5, 1999.5};
    const int dx = -481;
    tsy::PictureBuffer image1, aligned;
    std::vector<double> whole, cut;
    for (auto _ : state) {
        image1.copyFrom(p.image1);
        const bool wholeFirst = whole.size() % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            const auto start = Clock::now();
            if ((turn == 0) == wholeFirst) {
                tsy::ResampleView(p.image2, r.transform, aligned);
            } else {
                const tsy::CropPlan plan = tsy::PlanCrop(6000, 4000, &r, dx, 0);
                tsy::ResampleAndCrop(image1, p.image2, r.transform, plan.rect, dx, 0, aligned);
            }
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            ((turn == 0) == wholeFirst ? whole : cut).push_back(ms);
            benchmark::DoNotOptimize(aligned.bits());
        }
    }
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    state.counters["whole_ms"] = median(whole);
    state.counters["cut_ms"] = median(cut);
    state.counters["added_ms"] = median(cut) - median(whole);
}
BENCHMARK(BM_CropCost)->Iterations(15)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Resample(benchmark::State& state) {
    const Pair& p = Photos();
    const int threads = state.range(0) == 0 ? tsy::HardwareThreads() : int(state.range(0));
    tsy::PictureBuffer aligned;
    const tsy::AlignTransform t{57.3, 1.7, 1.012, 2999.5, 1999.5};
    for (auto _ : state) {
        tsy::ResampleView(p.image2, t, aligned, threads);
        benchmark::DoNotOptimize(aligned.bits());
    }
}
BENCHMARK(BM_Resample)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
