#include "prepare/CellGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/PictureBuffer.h"

namespace tsy {

namespace {

int Edge(int i, int extent, int cells) {
    return int(std::int64_t(i) * extent / cells);
}

}  // namespace

CellGrid ReduceToCells(const PictureBuffer& picture, int cellsX, int cellsY) {
    CellGrid g;
    g.width = cellsX, g.height = cellsY;
    const std::size_t n = std::size_t(cellsX) * std::size_t(cellsY);
    g.red.assign(n, 0), g.green.assign(n, 0), g.blue.assign(n, 0);
    const int W = picture.width(), H = picture.height();
    // The columns sampled in every row and the cell each belongs to.
    std::vector<int> xs, cellOf;
    std::vector<int> perCell(std::size_t(cellsX), 0);
    for (int i = 0; i < cellsX; ++i) {
        const int x0 = Edge(i, W, cellsX), x1 = Edge(i + 1, W, cellsX);
        const int step = std::max(1, (x1 - x0) / 8);
        for (int x = x0 + step / 2; x < x1; x += step)
            xs.push_back(x), cellOf.push_back(i), ++perCell[std::size_t(i)];
    }
    std::vector<std::uint32_t> sum(std::size_t(cellsX) * 3);
    for (int j = 0; j < cellsY; ++j) {
        const int y0 = Edge(j, H, cellsY), y1 = Edge(j + 1, H, cellsY);
        const int rows = std::min(y1 - y0, 2);
        std::fill(sum.begin(), sum.end(), 0u);
        for (int k = 0; k < rows; ++k) {
            const std::uint8_t* row = picture.row(y0 + (2 * k + 1) * (y1 - y0) / (2 * rows));
            for (std::size_t s = 0; s < xs.size(); ++s) {
                const std::uint8_t* p = row + std::size_t(xs[s]) * 4;
                std::uint32_t* c = &sum[std::size_t(cellOf[s]) * 3];
                c[0] += p[2], c[1] += p[1], c[2] += p[0];
            }
        }
        for (int i = 0; i < cellsX; ++i) {
            const float scale = 1.0f / float(perCell[std::size_t(i)] * rows);
            const std::size_t at = std::size_t(j) * std::size_t(cellsX) + std::size_t(i);
            g.red[at] = float(sum[std::size_t(i) * 3]) * scale;
            g.green[at] = float(sum[std::size_t(i) * 3 + 1]) * scale;
            g.blue[at] = float(sum[std::size_t(i) * 3 + 2]) * scale;
        }
    }
    return g;
}

Plane::Plane(const CellGrid& grid, int x0, int y0, int w, int h) : w_(w), h_(h) {
    const auto at = [w](int x, int y) { return std::size_t(y) * std::size_t(w) + std::size_t(x); };
    std::vector<float> gray(std::size_t(w) * std::size_t(h)), tmp(gray.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t g =
                std::size_t(y0 + y) * std::size_t(grid.width) + std::size_t(x0 + x);
            gray[at(x, y)] = (grid.red[g] + 2 * grid.green[g] + grid.blue[g]) / 4;
        }
    // Box means, along rows then along columns, the window clamped inside.
    const auto mean = [](const float* p, int n, std::ptrdiff_t step, int i) {
        const int lo = std::max(0, i - 2), hi = std::min(n - 1, i + 2);
        float s = 0;
        for (int c = lo; c <= hi; ++c)
            s += p[c * step];
        return s / float(hi - lo + 1);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            tmp[at(x, y)] = mean(&gray[at(0, y)], w, 1, x);
    v_.resize(gray.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            v_[at(x, y)] =
                std::int16_t(std::lround(4 * (gray[at(x, y)] - mean(&tmp[at(x, 0)], h, w, y))));
    sum_.assign(std::size_t(w + 1) * std::size_t(h + 1), 0);
    sq_.assign(sum_.size(), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y + 1) * std::size_t(w + 1) + std::size_t(x + 1);
            const std::int64_t v = v_[at(x, y)];
            sum_[i] = v + sum_[i - 1] + sum_[i - std::size_t(w + 1)] - sum_[i - std::size_t(w + 2)];
            sq_[i] = v * v + sq_[i - 1] + sq_[i - std::size_t(w + 1)] - sq_[i - std::size_t(w + 2)];
        }
}

void Plane::Sums(int x, int y, std::int64_t& sum, std::int64_t& squares) const {
    const std::size_t row = std::size_t(w_ + 1);
    const std::size_t a = std::size_t(y) * row + std::size_t(x), b = a + kTile, c = a + kTile * row,
                      d = c + kTile;
    sum = sum_[d] - sum_[b] - sum_[c] + sum_[a];
    squares = sq_[d] - sq_[b] - sq_[c] + sq_[a];
}

double Plane::Spread(int x, int y) const {
    std::int64_t s, q;
    Sums(x, y, s, q);
    const double n = kTile * kTile;
    return std::sqrt(std::max(0.0, (double(q) - double(s) * double(s) / n) / n)) / 4;
}

double Plane::Correlate(int x, int y, const Plane& b, int bx, int by) const {
    std::int32_t cross = 0;
    for (int r = 0; r < kTile; ++r) {
        const std::int16_t* pa = &v_[std::size_t(y + r) * std::size_t(w_) + std::size_t(x)];
        const std::int16_t* pb = &b.v_[std::size_t(by + r) * std::size_t(b.w_) + std::size_t(bx)];
        for (int c = 0; c < kTile; ++c)
            cross += std::int32_t(pa[c]) * pb[c];
    }
    std::int64_t sa, qa, sb, qb;
    Sums(x, y, sa, qa);
    b.Sums(bx, by, sb, qb);
    const double n = kTile * kTile;
    const double va = double(qa) - double(sa) * double(sa) / n,
                 vb = double(qb) - double(sb) * double(sb) / n;
    if (va < n || vb < n) return 0;
    return (double(cross) - double(sa) * double(sb) / n) / std::sqrt(va * vb);
}

}  // namespace tsy
