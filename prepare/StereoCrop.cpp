#include "prepare/StereoCrop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tsy {

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;

// Where the engine takes a view's pixel for output index i along one axis:
// i + a, or for an odd offset (i + a) rounded down to even, which is
// i -/+ offset / 2 rounded to nearest, ties to even (render/Anaglyph.cpp).
struct Source {
    std::int64_t a = 0;
    bool odd = false;
    std::int64_t At(std::int64_t i) const { return odd ? (i + a) & ~std::int64_t(1) : i + a; }
    // Output indices in [0, n) whose source lies in [lo, hi]: [first, last].
    std::array<std::int64_t, 2> Within(std::int64_t lo, std::int64_t hi, std::int64_t n) const {
        return {FirstAtLeast(lo, n), FirstAtLeast(hi + 1, n) - 1};
    }
    std::int64_t FirstAtLeast(std::int64_t v, std::int64_t n) const {
        std::int64_t lo = 0, hi = n;
        while (lo < hi) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            if (At(mid) >= v)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
};

// The engine is given -offset; image 2 is its right view, image 1 its left.
std::array<Source, 2> Sources(int offset) {
    const std::int64_t e = -std::int64_t(offset), k = e >> 1;
    const bool odd = (e & 1) != 0;
    return {Source{k + (odd ? 1 : 0), odd}, Source{-k, odd}};
}

struct Corner {
    double x, y;
};

// Image 2's picture after resampling: the source's pixel centres moved by t,
// which bilinear weights fill without black.
std::array<Corner, 4> PictureCorners(int w, int h, const AlignTransform* t) {
    std::array<Corner, 4> c = {{{0, 0}, {w - 1.0, 0}, {w - 1.0, h - 1.0}, {0, h - 1.0}}};
    if (!t) return c;
    const double a = t->rollDeg * kRadiansPerDegree;
    const double cs = t->scale * std::cos(a), sn = t->scale * std::sin(a);
    for (Corner& p : c) {
        const double dx = p.x - t->cx, dy = p.y - t->cy;
        p = {t->cx + cs * dx + sn * dy, t->cy - sn * dx + cs * dy + t->verticalPx};
    }
    return c;
}

// Where the horizontal line y crosses the convex quad; false if it misses.
bool Across(const std::array<Corner, 4>& q, double y, double& from, double& to) {
    from = 1e300, to = -1e300;
    for (std::size_t i = 0; i < 4; ++i) {
        const Corner p = q[i], n = q[(i + 1) % 4];
        if (y < std::min(p.y, n.y) || y > std::max(p.y, n.y)) continue;
        const double x = p.y == n.y ? p.x : p.x + (n.x - p.x) * (y - p.y) / (n.y - p.y);
        const double other = p.y == n.y ? n.x : x;
        from = std::min({from, x, other});
        to = std::max({to, x, other});
    }
    return from <= to;
}

}  // namespace

CropRect CommonPicture(int width, int height, const AlignTransform* resampled, int offsetX,
                       int offsetY) {
    if (width <= 0 || height <= 0) return {};
    // Coordinates within this of a pixel's edge count as on it: far below
    // the resampler's 1/32 pixel, far above rounding.
    constexpr double kEps = 1e-6;
    const auto cols = Sources(offsetX), rows = Sources(offsetY);
    const std::int64_t w = width, h = height;
    const std::array<Corner, 4> quad = PictureCorners(width, height, resampled);
    const auto cols1 = cols[0].Within(0, w - 1, w);
    // Each output row's columns [left, right] with both views' picture.
    std::vector<std::int64_t> left(std::size_t(h), 0), right(std::size_t(h), -1);
    for (std::int64_t j = 0; j < h; ++j) {
        const std::int64_t r1 = rows[0].At(j), r2 = rows[1].At(j);
        double from, to;
        if (r1 < 0 || r1 >= h || r2 < 0 || r2 >= h || !Across(quad, double(r2), from, to)) continue;
        const double a = std::ceil(std::max(from, 0.0) - kEps);
        const double b = std::floor(std::min(to, w - 1.0) + kEps);
        if (a > b) continue;
        const auto cols2 = cols[1].Within(std::int64_t(a), std::int64_t(b), w);
        left[std::size_t(j)] = std::max(cols1[0], cols2[0]);
        right[std::size_t(j)] = std::min(cols1[1], cols2[1]);
    }
    // The picture is convex in each view and the engine's placing keeps
    // order, so a rectangle has picture wherever its corners have: its top
    // and bottom rows decide. Largest area wins, the first found on a tie.
    std::int64_t best = 0;
    CropRect rect;
    for (std::int64_t top = 0; top < h; ++top) {
        const std::int64_t l0 = left[std::size_t(top)], r0 = right[std::size_t(top)];
        const std::int64_t across = r0 - l0 + 1;
        if (across <= 0 || across * (h - top) <= best) continue;
        for (std::int64_t bottom = h - 1; bottom >= top; --bottom) {
            if (across * (bottom - top + 1) <= best) break;
            const std::int64_t l = std::max(l0, left[std::size_t(bottom)]),
                               r = std::min(r0, right[std::size_t(bottom)]);
            if (r < l || (r - l + 1) * (bottom - top + 1) <= best) continue;
            best = (r - l + 1) * (bottom - top + 1);
            rect = {int(l), int(top), int(r - l + 1), int(bottom - top + 1)};
        }
    }
    return rect;
}

CropPlan PlanCrop(int width, int height, const AlignResult* alignment, int offsetX, int offsetY) {
    CropPlan plan;
    plan.rect = {0, 0, width, height};
    if (alignment && !alignment->aligned) {
        plan.refusal = "not cropped: the pair could not be aligned";
        return plan;
    }
    const CropRect common =
        CommonPicture(width, height, alignment ? &alignment->transform : nullptr, offsetX, offsetY);
    const double whole = double(width) * height;
    const double kept = double(common.width) * common.height;
    if (common == plan.rect) return plan;
    if (kept * 4 < whole) {
        plan.refusal = kept == 0 ? "not cropped: the views do not overlap"
                                 : "not cropped: only " + std::to_string(int(kept * 100 / whole)) +
                                       " % of the picture would be left";
        return plan;
    }
    plan.cut = true;
    plan.rect = common;
    return plan;
}

namespace {

void CutView(PictureBuffer& view, const CropRect& r, const Source& col, const Source& row,
             PictureBuffer& scratch, int threads) {
    std::uint8_t* out = scratch.assign(r.width, r.height);
    const std::size_t outStride = std::size_t(r.width) * PictureBuffer::kBytesPerPixel;
    const std::int64_t x0 = col.At(r.x);
    const int bands = std::max(1, std::min(r.height, 8 * threads));
    ParallelFor(bands, threads, [&](int band) {
        for (int y = r.height * band / bands; y < r.height * (band + 1) / bands; ++y) {
            const std::uint8_t* src = view.row(int(row.At(r.y + y)));
            std::uint8_t* dst = out + std::size_t(y) * outStride;
            if (!col.odd) {
                std::memcpy(dst, src + x0 * PictureBuffer::kBytesPerPixel, outStride);
                continue;
            }
            // An odd offset shows each even column twice, as the engine does.
            for (int x = 0; x < r.width; ++x)
                std::memcpy(dst + std::size_t(x) * 4, src + col.At(r.x + x) * 4, 4);
        }
    });
    view.swap(scratch);
    view.touch();
}

}  // namespace

bool CropViews(PictureBuffer& image1, PictureBuffer& image2, const CropRect& r, int offsetX,
               int offsetY, PictureBuffer& scratch, int threads) {
    const int w = image1.width(), h = image1.height();
    if (!image1.hasImage() || !image2.hasImage() || image2.width() != w || image2.height() != h ||
        r.width <= 0 || r.height <= 0 || r.x < 0 || r.y < 0)
        return false;
    const auto cols = Sources(offsetX), rows = Sources(offsetY);
    const std::int64_t right = std::int64_t(r.x) + r.width - 1,
                       bottom = std::int64_t(r.y) + r.height - 1;
    for (int v = 0; v < 2; ++v)
        if (cols[v].At(r.x) < 0 || cols[v].At(right) >= w || rows[v].At(r.y) < 0 ||
            rows[v].At(bottom) >= h)
            return false;
    CutView(image1, r, cols[0], rows[0], scratch, threads);
    CutView(image2, r, cols[1], rows[1], scratch, threads);
    return true;
}

}  // namespace tsy
