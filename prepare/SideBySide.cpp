#include "prepare/SideBySide.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/WorkerPool.h"

namespace tsy {

namespace {

// Where one view's pixels come from: the half that starts at source column
// `start`, cols mapping each output column to a column of the half.
struct Half {
    int start = 0;
    std::vector<int> cols;
    bool identity = false, doubling = false;
    int inside = 0;  // output columns [0, inside) lie within sbs; the rest is black
};

Half MapHalf(const PictureBuffer& sbs, int picW, bool stretch, bool second) {
    Half h;
    const int half = HalfWidth(picW);
    h.start = second ? picW - half : 0;
    h.cols.resize(std::size_t(stretch ? picW : half));
    for (std::size_t x = 0; x < h.cols.size(); ++x)
        h.cols[x] = stretch ? int(std::int64_t(x) * half / picW) : int(x);
    h.identity = !stretch || half == picW;
    h.doubling = stretch && picW == 2 * half;  // cols[x] == x / 2
    const int avail = sbs.hasImage() ? sbs.width() : 0;
    h.inside = int(h.cols.size());
    while (h.inside > 0 && h.start + h.cols[std::size_t(h.inside - 1)] >= avail)
        --h.inside;
    return h;
}

// Row y of one view, out already sized.
void FillRow(const PictureBuffer& sbs, const Half& h, int y, PictureBuffer& out) {
    const int outW = int(h.cols.size()), inside = h.inside;
    std::uint8_t* dst = out.row(y);
    if (!sbs.hasImage() || y >= sbs.height() || inside == 0) {
        FillBlack(dst, std::size_t(outW));
        return;
    }
    const std::uint8_t* src = sbs.row(y) + std::size_t(h.start) * 4;
    if (h.identity) {
        std::memcpy(dst, src, std::size_t(inside) * 4);
    } else if (h.doubling) {
        // Each column twice: the same pixels as the general map, written
        // in pairs that the compiler turns into vector stores.
        const auto* s = reinterpret_cast<const std::uint32_t*>(src);
        auto* d = reinterpret_cast<std::uint32_t*>(dst);
        for (int k = 0; k < inside / 2; ++k)
            d[2 * k] = d[2 * k + 1] = s[k];
        if (inside % 2) d[inside - 1] = s[inside / 2];
    } else {
        for (int x = 0; x < inside; ++x)
            std::memcpy(dst + std::size_t(x) * 4, src + std::size_t(h.cols[std::size_t(x)]) * 4,
                        4);
    }
    FillBlack(dst + std::size_t(inside) * 4, std::size_t(outW - inside));
}

}  // namespace

int HalfWidth(int picW) {
    return picW < 1 ? 0 : picW / 2 + picW % 2;
}

void SplitSideBySide(const PictureBuffer& sbs, int picW, int picH, bool stretch,
                     PictureBuffer& left, PictureBuffer& right, int threads) {
    if (&left == &sbs || &right == &sbs) {
        PictureBuffer whole;
        whole.copyFrom(sbs);
        SplitSideBySide(whole, picW, picH, stretch, left, right, threads);
        return;
    }
    picW = std::max(picW, 0);
    picH = std::max(picH, 0);
    const Half halves[2] = {MapHalf(sbs, picW, stretch, false), MapHalf(sbs, picW, stretch, true)};
    left.assign(int(halves[0].cols.size()), picH);
    try {
        right.assign(int(halves[1].cols.size()), picH);
    } catch (...) {
        left.clear();  // no view half made
        throw;
    }
    // Both views row by row: each row of sbs is read once, while the cache
    // still holds it, which makes a 24 MP split a third faster than one view
    // after the other. Bands of rows go to the threads.
    const int bands = std::min(picH, threads > 1 ? 4 * threads : 1);
    ParallelFor(bands, threads, [&](int b) {
        for (int y = int(std::int64_t(picH) * b / bands),
                 end = int(std::int64_t(picH) * (b + 1) / bands);
             y < end; ++y) {
            FillRow(sbs, halves[0], y, left);
            FillRow(sbs, halves[1], y, right);
        }
    });
}

}  // namespace tsy
