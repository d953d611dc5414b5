#include "output/png/Search.h"

#include <algorithm>
#include <memory>
#include <new>

#include "base/WorkerPool.h"

namespace tsy::png {

void Best::Offer(const Raster* r, const Plan& p, Coder c, std::size_t trial, std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    const std::size_t current = size.load();
    if (bytes > current || (bytes == current && trial > order)) return;
    plan = p;
    coder = c;
    size.store(bytes);
    order = trial;
    raster = r;
}

bool Best::Code(std::vector<std::uint8_t>& idat) const {
    if (!raster) return false;
    FilteredRows rows(*raster, plan);
    return Compress(coder, rows, std::numeric_limits<std::size_t>::max(), &idat) > 0;
}

namespace {

// A plan and how well its quick trials did.
struct PlanWork {
    const Plan* plan = nullptr;
    std::atomic<std::size_t> smallest{std::numeric_limits<std::size_t>::max()};
    std::atomic<int> smallestCoder{0};
};

struct Level {
    std::vector<Coder> quick;
    std::vector<Coder> thorough;
    std::size_t thoroughPlans;  // how many of the best plans get the thorough coders
};

Level LevelFor(int effort) {
    using C = Coder;
    switch (effort) {
        case 0:
            return {{C::kHuffmanSplit, C::kHuffman8, C::kHuffman9, C::kRle, C::kDeflate6},
                    {C::kDeflate12, C::kZlibFiltered, C::kZlibDefault},
                    7};
        case 1:
            return {{C::kHuffmanSplit, C::kHuffman8, C::kHuffman9, C::kRle, C::kDeflate6},
                    {C::kDeflate12, C::kZlibFiltered},
                    3};
        case 2:
            return {{C::kHuffmanSplit, C::kRle, C::kDeflate6}, {C::kDeflate12}, 2};
        case 3:
            return {{C::kHuffmanSplit, C::kRle, C::kDeflate9}, {}, 0};
        default:
            return {{C::kHuffmanSplit, C::kDeflate6}, {}, 0};
    }
}

std::vector<int> PlanKinds(const Raster& r, int effort, int filter) {
    if (filter >= 0 && filter <= 4) return {filter};
    // Packed and palette rows rarely gain from filtering.
    const int usual = r.depth < 8 || r.colorType == kIndexed ? 0 : kCostPlan;
    if (filter == 5)
        return effort >= 3 ? std::vector<int>{kCostPlan} : std::vector<int>{kCostPlan, kMinSumPlan};
    if (effort >= 3) return {usual};
    if (effort == 2) return {kCostPlan, kMinSumPlan, 0};
    return {kCostPlan, kMinSumPlan, 0, 1, 2, 3, 4};
}

void RunTrials(std::vector<std::unique_ptr<PlanWork>>& works, const Raster& raster,
               const std::vector<Coder>& coders, int threads, Best& best, std::size_t& trialNo) {
    struct Trial {
        PlanWork* work;
        Coder coder;
        std::size_t order;
    };
    std::vector<Trial> trials;
    for (auto& w : works) {
        for (Coder c : coders)
            trials.push_back({w.get(), c, trialNo++});
    }
    ParallelFor(int(trials.size()), threads, [&](int i) {
        Trial& t = trials[std::size_t(i)];
        try {
            FilteredRows rows(raster, *t.work->plan);
            if (const std::size_t n = Compress(t.coder, rows, best.size.load(), nullptr)) {
                {
                    std::lock_guard<std::mutex> lock(best.mutex);
                    if (n < t.work->smallest.load()) {
                        t.work->smallest = n;
                        t.work->smallestCoder = int(t.coder);
                    }
                }
                best.Offer(&raster, *t.work->plan, t.coder, t.order, n);
            }
        } catch (const std::bad_alloc&) {
            best.outOfMemory = true;
        }
        best.CountTrials(1);
    });
}

// The slow coders run on a large picture only when a sample says they can win.
constexpr std::size_t kSampleAbove = std::size_t(16) << 20;
constexpr std::size_t kSampleBytes = std::size_t(4) << 20;

bool WorthTrying(const Raster& r, const PlanWork& work, Coder coder, int threads) {
    const std::size_t full = (r.rowBytes + 1) * std::size_t(r.height);
    if (full <= kSampleAbove) return true;
    const std::vector<std::uint8_t> sample = SampleStream(r, *work.plan, kSampleBytes);
    const Coder quick = Coder(work.smallestCoder.load());
    std::size_t sizes[2] = {0, 0};
    ParallelFor(2, threads, [&](int i) {
        MemorySource source(sample.data(), sample.size());
        try {
            sizes[i] = Compress(i == 0 ? quick : coder, source,
                                std::numeric_limits<std::size_t>::max(), nullptr);
        } catch (const std::bad_alloc&) {
            sizes[i] = 0;
        }
    });
    // A little slack: the sample misses the context between its bands.
    return sizes[1] > 0 && (sizes[0] == 0 || sizes[1] < sizes[0] + sizes[0] / 200);
}

}  // namespace

void Search(const Raster& raster, int effort, int filter, int threads, Best& best,
            std::size_t& trialNo) {
    const std::vector<int> kinds = PlanKinds(raster, effort, filter);
    std::vector<Plan> plans(kinds.size());
    Plan minSum, cost;
    if (std::find_if(kinds.begin(), kinds.end(), [](int k) { return k >= kMinSumPlan; }) !=
        kinds.end())
        AdaptivePlans(raster, threads, minSum, cost);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (kinds[i] == kMinSumPlan)
            plans[i] = minSum;
        else if (kinds[i] == kCostPlan)
            plans[i] = cost;
        else
            plans[i].assign(std::size_t(raster.height), std::uint8_t(kinds[i]));
    }
    const Level level = LevelFor(effort);
    std::vector<std::unique_ptr<PlanWork>> quick;
    for (const Plan& p : plans) {
        quick.push_back(std::make_unique<PlanWork>());
        quick.back()->plan = &p;
    }
    RunTrials(quick, raster, level.quick, threads, best, trialNo);
    if (level.thorough.empty() || level.thoroughPlans == 0) return;

    std::vector<std::size_t> order(plans.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return quick[a]->smallest.load() < quick[b]->smallest.load();
    });
    const std::size_t count = std::min(level.thoroughPlans, order.size());
    for (Coder coder : level.thorough) {
        std::vector<std::unique_ptr<PlanWork>> thorough;
        for (std::size_t i = 0; i < count; ++i) {
            if (effort > 0 && !WorthTrying(raster, *quick[order[i]], coder, threads)) continue;
            thorough.push_back(std::make_unique<PlanWork>());
            thorough.back()->plan = &plans[order[i]];
        }
        best.CountTrials(count - thorough.size());
        RunTrials(thorough, raster, {coder}, threads, best, trialNo);
    }
}

std::size_t PlannedTrials(const Raster& raster, int effort, int filter) {
    const std::size_t plans = PlanKinds(raster, effort, filter).size();
    const Level level = LevelFor(effort);
    return plans * level.quick.size() +
           std::min(level.thoroughPlans, plans) * level.thorough.size();
}

void Best::CountTrials(std::size_t n) {
    if (!progress || !*progress || n == 0) return;
    const std::size_t done = trialsDone += n;
    const int percent = int(std::min<std::size_t>(99, done * 100 / trialsPlanned));
    std::lock_guard<std::mutex> lock(mutex);
    if (percent <= percentShown) return;
    percentShown = percent;
    (*progress)(percent);
}

}  // namespace tsy::png
