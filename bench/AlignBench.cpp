// Alignment of a 24 MP pair as the window and the batch run it: features on
// the reduced copies, the fit, and image 2 resampled at full size; then the
// same with both views cut to the picture they share. Counters give the error
// against the transform the pair was made with.
#include <benchmark/benchmark.h>

#include <cmath>

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
    ->Repetitions(5)
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
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Cutting views already aligned: the rectangle from the geometry, both views
// cut in place.
void BM_Crop(benchmark::State& state) {
    const Pair& p = Photos();
    const tsy::AlignTransform t{57.3, 1.7, 1.012, 2999.5, 1999.5};
    tsy::PictureBuffer image1, image2;
    for (auto _ : state) {
        state.PauseTiming();
        image1.copyFrom(p.image1);
        image2.copyFrom(p.image2);
        state.ResumeTiming();
        const tsy::CropRect r = tsy::CommonPicture(6000, 4000, &t, -481, 0);
        tsy::CropViews(image1, image2, r, -481, 0);
        benchmark::DoNotOptimize(image2.bits());
    }
}
BENCHMARK(BM_Crop)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

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
