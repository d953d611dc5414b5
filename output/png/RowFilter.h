#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/png/ByteSource.h"
#include "output/png/Raster.h"

namespace tsy::png {

using Plan = std::vector<std::uint8_t>;  // filter type per row

constexpr int kMinSumPlan = 5;  // per row the smallest sum of |residual|
constexpr int kCostPlan = 6;    // per row the fewest bits under the picture's residual statistics

// PNG filter type (0..4) of one row of n bytes; prev is a row of zeros for
// the first row.
void FilterRow(int type, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n,
               std::size_t bpp, std::uint8_t* out);

// Both adaptive plans from one filtering pass on up to `threads` threads.
void AdaptivePlans(const Raster& r, int threads, Plan& minSum, Plan& cost);

// The filtered picture, each row with its filter byte in front, made row by
// row as a coder reads it.
class FilteredRows final : public ByteSource {
public:
    FilteredRows(const Raster& raster, const Plan& plan);
    std::size_t size() const override { return line_.size() * std::size_t(raster_.height); }
    void rewind() override;
    std::size_t read(std::uint8_t* out, std::size_t n) override;

private:
    const Raster& raster_;
    const Plan& plan_;
    std::vector<std::uint8_t> zeros_;
    std::vector<std::uint8_t> line_;  // filter byte and the filtered row
    std::size_t row_ = 0;             // next row to filter
    std::size_t used_ = 0;            // bytes of line_ handed out
};

// Rows from a few places spread over the picture, about maxBytes of filtered
// stream in all: enough to tell which coder wins, at a fraction of the cost.
std::vector<std::uint8_t> SampleStream(const Raster& r, const Plan& plan, std::size_t maxBytes);

}  // namespace tsy::png
