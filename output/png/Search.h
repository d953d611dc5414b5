#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include "output/png/Coders.h"
#include "output/png/Raster.h"
#include "output/png/RowFilter.h"

namespace tsy::png {

// The trial whose zlib stream came out smallest so far, over every raster.
// Trials only measure; the winner alone is coded again to keep, so memory
// holds one stream, not one per trial.
struct Best {
    std::mutex mutex;
    std::atomic<std::size_t> size{std::numeric_limits<std::size_t>::max()};
    std::size_t order = 0;
    const Raster* raster = nullptr;
    Coder coder = Coder::kHuffmanSplit;
    Plan plan;
    std::atomic<bool> outOfMemory{false};

    // Ties go to the earlier trial, so the result does not depend on timing.
    void Offer(const Raster* r, const Plan& p, Coder c, std::size_t trial, std::size_t bytes);
    // The winner's zlib stream; false when memory ran out.
    bool Code(std::vector<std::uint8_t>& idat) const;

    // How far the search has come: trials done of those planned (skipped
    // ones count as done), reported as a rising percentage below 100.
    const std::function<void(int)>* progress = nullptr;
    std::atomic<std::size_t> trialsDone{0};
    std::size_t trialsPlanned = 1;
    int percentShown = -1;
    void CountTrials(std::size_t n);
};

// How many trials Search plans on the raster, for the progress count.
std::size_t PlannedTrials(const Raster& raster, int effort, int filter);

// Tries the row-filter plans and coders that effort (0 most thorough .. 4)
// and filter (-1 the effort's choice, 0..4 fixed, 5 adaptive) ask for on one
// raster; trialNo numbers the trials across rasters.
void Search(const Raster& raster, int effort, int filter, int threads, Best& best,
            std::size_t& trialNo);

}  // namespace tsy::png
