#include "output/png/RowFilter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "base/WorkerPool.h"

namespace tsy::png {

namespace {

int PaethPredict(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

}  // namespace

void FilterRow(int type, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n,
               std::size_t bpp, std::uint8_t* out) {
    const std::size_t lead = std::min(bpp, n);
    switch (type) {
        case 0:
            std::memcpy(out, cur, n);
            break;
        case 1:
            std::memcpy(out, cur, lead);
            for (std::size_t i = lead; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - cur[i - bpp]);
            break;
        case 2:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - prev[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < lead; ++i)
                out[i] = std::uint8_t(cur[i] - (prev[i] >> 1));
            for (std::size_t i = lead; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - ((cur[i - bpp] + prev[i]) >> 1));
            break;
        default:
            for (std::size_t i = 0; i < lead; ++i)
                out[i] = std::uint8_t(cur[i] - prev[i]);
            for (std::size_t i = lead; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - PaethPredict(cur[i - bpp], prev[i], prev[i - bpp]));
            break;
    }
}

// The cost plan starts from each row's own entropy and is refined against the
// histogram of the whole filtered picture, which is what a Huffman coder pays
// for.
void AdaptivePlans(const Raster& r, int threads, Plan& minSum, Plan& cost) {
    const std::size_t rows = std::size_t(r.height);
    minSum.assign(rows, 0);
    cost.assign(rows, 0);
    constexpr std::size_t kHist = 5 * 256;
    const bool keep = rows * kHist * sizeof(std::uint32_t) <= (std::size_t(256) << 20);
    std::vector<std::uint32_t> hists(keep ? rows * kHist : 0);
    const std::vector<std::uint8_t> zeros(r.rowBytes, 0);
    const int bands = std::max(threads, 1) * 4;
    const std::size_t perBand = (rows + std::size_t(bands) - 1) / std::size_t(bands);
    std::atomic<bool> outOfMemory{false};
    ParallelFor(bands, threads, [&](int index) {
        const std::size_t band = std::size_t(index);
        std::vector<std::uint8_t> tmp;
        std::vector<std::uint32_t> local;
        try {
            tmp.resize(r.rowBytes);
            local.resize(kHist);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            return;
        }
        for (std::size_t y = band * perBand; y < std::min(rows, (band + 1) * perBand); ++y) {
            const std::uint8_t* cur = r.rows + y * r.rowBytes;
            const std::uint8_t* prev = y ? cur - r.rowBytes : zeros.data();
            std::uint32_t* h = keep ? hists.data() + y * kHist : local.data();
            std::fill(h, h + kHist, 0);
            double bestSum = 0, bestBits = 0;
            for (int f = 0; f < 5; ++f) {
                FilterRow(f, cur, prev, r.rowBytes, r.bpp, tmp.data());
                std::uint32_t* hf = h + f * 256;
                for (std::size_t i = 0; i < r.rowBytes; ++i)
                    ++hf[tmp[i]];
                double sum = 0, bits = 0;
                for (int v = 0; v < 256; ++v) {
                    if (!hf[v]) continue;
                    sum += double(hf[v]) * std::min(v, 256 - v);
                    bits -= hf[v] * std::log2(double(hf[v]) / double(r.rowBytes));
                }
                if (f == 0 || sum < bestSum) bestSum = sum, minSum[y] = std::uint8_t(f);
                if (f == 0 || bits < bestBits) bestBits = bits, cost[y] = std::uint8_t(f);
            }
        }
    });
    if (outOfMemory) throw std::bad_alloc();
    if (!keep) return;
    for (int round = 0; round < 2; ++round) {
        std::array<double, 256> count{};
        for (std::size_t y = 0; y < rows; ++y) {
            const std::uint32_t* h = hists.data() + y * kHist + cost[y] * 256;
            for (int v = 0; v < 256; ++v)
                count[v] += h[v];
        }
        double total = 0;
        for (double& c : count)
            total += (c += 0.5);
        std::array<double, 256> bitsOf;
        for (int v = 0; v < 256; ++v)
            bitsOf[v] = -std::log2(count[v] / total);
        bool changed = false;
        for (std::size_t y = 0; y < rows; ++y) {
            double best = std::numeric_limits<double>::max();
            std::uint8_t choice = cost[y];
            for (int f = 0; f < 5; ++f) {
                const std::uint32_t* h = hists.data() + y * kHist + f * 256;
                double bits = 0;
                for (int v = 0; v < 256; ++v)
                    bits += h[v] * bitsOf[v];
                if (bits < best) best = bits, choice = std::uint8_t(f);
            }
            changed = changed || choice != cost[y];
            cost[y] = choice;
        }
        if (!changed) break;
    }
}

FilteredRows::FilteredRows(const Raster& raster, const Plan& plan)
    : raster_(raster), plan_(plan), zeros_(raster.rowBytes, 0), line_(raster.rowBytes + 1) {
    rewind();
}

void FilteredRows::rewind() {
    row_ = 0;
    used_ = line_.size();
}

std::size_t FilteredRows::read(std::uint8_t* out, std::size_t n) {
    const Raster& r = raster_;
    std::size_t done = 0;
    while (done < n) {
        if (used_ == line_.size()) {
            if (row_ == std::size_t(r.height)) break;
            const std::uint8_t* cur = r.rows + row_ * r.rowBytes;
            line_[0] = plan_[row_];
            FilterRow(plan_[row_], cur, row_ ? cur - r.rowBytes : zeros_.data(), r.rowBytes, r.bpp,
                      line_.data() + 1);
            ++row_;
            used_ = 0;
        }
        const std::size_t take = std::min(n - done, line_.size() - used_);
        std::memcpy(out + done, line_.data() + used_, take);
        used_ += take;
        done += take;
    }
    return done;
}

std::vector<std::uint8_t> SampleStream(const Raster& r, const Plan& plan, std::size_t maxBytes) {
    constexpr std::size_t kBands = 8;
    const std::size_t line = r.rowBytes + 1;
    const std::size_t rows = std::max<std::size_t>(1, maxBytes / kBands / line);
    const std::size_t height = std::size_t(r.height);
    std::vector<std::uint8_t> out;
    const std::vector<std::uint8_t> zeros(r.rowBytes, 0);
    for (std::size_t b = 0; b < kBands; ++b) {
        const std::size_t first = (height - std::min(rows, height)) * b / (kBands - 1);
        for (std::size_t y = first; y < std::min(height, first + rows); ++y) {
            const std::uint8_t* cur = r.rows + y * r.rowBytes;
            out.push_back(plan[y]);
            out.resize(out.size() + r.rowBytes);
            FilterRow(plan[y], cur, y ? cur - r.rowBytes : zeros.data(), r.rowBytes, r.bpp,
                      out.data() + out.size() - r.rowBytes);
        }
    }
    return out;
}

}  // namespace tsy::png
