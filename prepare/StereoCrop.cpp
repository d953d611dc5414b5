#include "prepare/StereoCrop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

namespace tsy {

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;

// Where a view's pixel for output index i along one axis comes from once
// cut: i + a (see PartsFor).
struct AxisSource {
    std::int64_t a = 0;
    std::int64_t At(std::int64_t i) const { return i + a; }
    // Output indices in [0, n) whose source lies in [lo, hi]: [first, last].
    std::array<std::int64_t, 2> Within(std::int64_t lo, std::int64_t hi, std::int64_t n) const {
        return {std::max<std::int64_t>(0, lo - a), std::min(n - 1, hi - a)};
    }
};

// Image 1's source, then image 2's.
std::array<AxisSource, 2> Sources(int offset) {
    const std::int64_t half = std::int64_t(offset) >> 1, odd = offset & 1;
    return {AxisSource{-half}, AxisSource{half + odd}};
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
    // The picture is convex in each view and the offsets keep the
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

ViewParts PartsFor(const CropRect& r, int offsetX, int offsetY) {
    const auto cols = Sources(offsetX), rows = Sources(offsetY);
    ViewParts p;
    for (int v = 0; v < 2; ++v)
        (v ? p.image2 : p.image1) = {int(cols[std::size_t(v)].At(r.x)),
                                     int(rows[std::size_t(v)].At(r.y)), r.width, r.height};
    return p;
}

namespace {

bool Inside(const CropRect& r, const PictureBuffer& p) {
    return r.width > 0 && r.height > 0 && r.x >= 0 && r.y >= 0 && r.x <= p.width() - r.width &&
           r.y <= p.height() - r.height;
}

}  // namespace

bool CropViews(PictureBuffer& image1, PictureBuffer& image2, const CropRect& rect, int offsetX,
               int offsetY) {
    const ViewParts p = PartsFor(rect, offsetX, offsetY);
    if (!image1.hasImage() || !image2.hasImage() || !Inside(p.image1, image1) ||
        !Inside(p.image2, image2))
        return false;
    image1.crop(p.image1.x, p.image1.y, p.image1.width, p.image1.height);
    image2.crop(p.image2.x, p.image2.y, p.image2.width, p.image2.height);
    return true;
}

bool CutCopies(const PictureBuffer& image1, const PictureBuffer& image2, const CropRect& rect,
               int offsetX, int offsetY, PictureBuffer& cut1, PictureBuffer& cut2) {
    const ViewParts p = PartsFor(rect, offsetX, offsetY);
    if (!image1.hasImage() || !image2.hasImage() || !Inside(p.image1, image1) ||
        !Inside(p.image2, image2))
        return false;
    for (const auto& [from, part, to] :
         {std::tuple{&image1, p.image1, &cut1}, std::tuple{&image2, p.image2, &cut2}}) {
        to->assign(part.width, part.height);
        const std::size_t bytes = to->stride();
        for (int y = 0; y < part.height; ++y)
            std::memcpy(to->row(y),
                        from->row(part.y + y) + std::size_t(part.x) * PictureBuffer::kBytesPerPixel,
                        bytes);
        to->touch();
    }
    return true;
}

bool ResampleAndCrop(PictureBuffer& image1, const PictureBuffer& unaligned2,
                     const AlignTransform& t, const CropRect& rect, int offsetX, int offsetY,
                     PictureBuffer& image2, int threads) {
    const ViewParts p = PartsFor(rect, offsetX, offsetY);
    if (!image1.hasImage() || !Inside(p.image1, image1) || !Inside(p.image2, unaligned2) ||
        !ResampleViewPart(unaligned2, t, p.image2.x, p.image2.y, p.image2.width, p.image2.height,
                          image2, threads))
        return false;
    image1.crop(p.image1.x, p.image1.y, p.image1.width, p.image1.height);
    return true;
}

}  // namespace tsy
