#include "prepare/SideBySide.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/PictureBuffer.h"

namespace tsy {

namespace {

// Fills out with the half that starts at source column `start`; cols maps each
// output column to a column of the half.
void FillHalf(const PictureBuffer& sbs, int start, const std::vector<int>& cols, bool identity,
              bool doubling, int picH, PictureBuffer& out) {
    const int outW = int(cols.size());
    out.assign(outW, picH);
    const int rows = sbs.hasImage() ? std::min(picH, sbs.height()) : 0;
    const int avail = sbs.hasImage() ? sbs.width() : 0;
    // Output columns [0, inside) come from within sbs; the rest is black.
    int inside = outW;
    while (inside > 0 && start + cols[std::size_t(inside - 1)] >= avail)
        --inside;
    for (int y = 0; y < picH; ++y) {
        std::uint8_t* dst = out.row(y);
        if (y >= rows || inside == 0) {
            FillBlack(dst, std::size_t(outW));
            continue;
        }
        const std::uint8_t* src = sbs.row(y) + std::size_t(start) * 4;
        if (identity) {
            std::memcpy(dst, src, std::size_t(inside) * 4);
        } else if (doubling) {
            // Each column twice: the same pixels as the general map, written
            // in pairs that the compiler turns into vector stores.
            const auto* s = reinterpret_cast<const std::uint32_t*>(src);
            auto* d = reinterpret_cast<std::uint32_t*>(dst);
            for (int k = 0; k < inside / 2; ++k)
                d[2 * k] = d[2 * k + 1] = s[k];
            if (inside % 2) d[inside - 1] = s[inside / 2];
        } else {
            for (int x = 0; x < inside; ++x)
                std::memcpy(dst + std::size_t(x) * 4, src + std::size_t(cols[std::size_t(x)]) * 4,
                            4);
        }
        FillBlack(dst + std::size_t(inside) * 4, std::size_t(outW - inside));
    }
}

}  // namespace

int HalfWidth(int picW) {
    return picW < 1 ? 0 : picW / 2 + picW % 2;
}

void SplitSideBySideView(const PictureBuffer& sbs, int picW, int picH, bool stretch, bool second,
                         PictureBuffer& out) {
    picW = std::max(picW, 0);
    picH = std::max(picH, 0);
    const int half = HalfWidth(picW);
    std::vector<int> cols(std::size_t(stretch ? picW : half));
    for (std::size_t x = 0; x < cols.size(); ++x)
        cols[x] = stretch ? int(std::int64_t(x) * half / picW) : int(x);
    const bool identity = !stretch || half == picW;
    const bool doubling = stretch && picW == 2 * half;  // cols[x] == x / 2
    FillHalf(sbs, second ? picW - half : 0, cols, identity, doubling, picH, out);
}

void SplitSideBySide(const PictureBuffer& sbs, int picW, int picH, bool stretch,
                     PictureBuffer& left, PictureBuffer& right) {
    if (&left == &sbs || &right == &sbs) {
        PictureBuffer whole;
        whole.copyFrom(sbs);
        SplitSideBySide(whole, picW, picH, stretch, left, right);
        return;
    }
    SplitSideBySideView(sbs, picW, picH, stretch, false, left);
    SplitSideBySideView(sbs, picW, picH, stretch, true, right);
}

}  // namespace tsy
