#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

#include "output/png/Raster.h"

namespace tsy::png {

// The smallest zlib stream found so far, over every raster and trial.
struct Best {
    std::mutex mutex;
    std::atomic<std::size_t> size{std::numeric_limits<std::size_t>::max()};
    std::size_t order = 0;
    const Raster* raster = nullptr;
    std::vector<std::uint8_t> idat;
    std::atomic<bool> outOfMemory{false};

    // Ties go to the earlier trial, so the result does not depend on timing.
    void Offer(const Raster* r, std::size_t trial, std::vector<std::uint8_t>& data);
};

// Tries the row-filter plans and coders that effort (0 most thorough .. 4)
// and filter (-1 the effort's choice, 0..4 fixed, 5 adaptive) ask for on one
// raster; trialNo numbers the trials across rasters.
void Search(const Raster& raster, int effort, int filter, int threads, Best& best,
            std::size_t& trialNo);

}  // namespace tsy::png
