#include "prepare/Orientation.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/PictureBuffer.h"

namespace tsy {

namespace {

// Where the upright picture's pixel (x, y) comes from in the stored one:
// stored column = cx + ax * x + bx * y, stored row = cy + ay * x + by * y.
struct Mapping {
    bool turned;  // width and height trade places
    int ax, bx, ay, by;
    bool fromRight, fromBottom;  // cx = W - 1, cy = H - 1
};

constexpr Mapping kMappings[9] = {
    {false, 1, 0, 0, 1, false, false},  // 0: unknown, as stored
    {false, 1, 0, 0, 1, false, false},  // 1: as stored
    {false, -1, 0, 0, 1, true, false},  // 2: mirrored left-right
    {false, -1, 0, 0, -1, true, true},  // 3: half a turn
    {false, 1, 0, 0, -1, false, true},  // 4: mirrored top-bottom
    {true, 0, 1, 1, 0, false, false},   // 5: mirrored along the main diagonal
    {true, 0, 1, -1, 0, false, true},   // 6: a quarter turn clockwise
    {true, 0, -1, -1, 0, true, true},   // 7: mirrored along the other diagonal
    {true, 0, -1, 1, 0, true, false},   // 8: a quarter turn anticlockwise
};

}  // namespace

void ApplyOrientation(PictureBuffer& picture, int orientation) {
    if (orientation < 2 || orientation > 8 || !picture.hasImage()) return;
    const Mapping& m = kMappings[orientation];
    const int w = picture.width(), h = picture.height();
    const int outW = m.turned ? h : w, outH = m.turned ? w : h;
    PictureBuffer out;
    std::uint8_t* dst = out.assign(outW, outH);

    const auto* src = reinterpret_cast<const std::uint32_t*>(picture.bits());
    const std::ptrdiff_t stepX = m.ax + std::ptrdiff_t(m.ay) * w;  // per output column
    const std::ptrdiff_t stepY = m.bx + std::ptrdiff_t(m.by) * w;  // per output row
    const std::ptrdiff_t origin =
        (m.fromRight ? w - 1 : 0) + (m.fromBottom ? std::ptrdiff_t(h - 1) * w : 0);
    // Blocks keep both the rows read and the rows written in the cache when
    // the picture is turned.
    constexpr int kBlock = 64;
    for (int y0 = 0; y0 < outH; y0 += kBlock)
        for (int x0 = 0; x0 < outW; x0 += kBlock) {
            const int y1 = std::min(y0 + kBlock, outH), x1 = std::min(x0 + kBlock, outW);
            for (int y = y0; y < y1; ++y) {
                auto* row = reinterpret_cast<std::uint32_t*>(dst + std::size_t(y) * out.stride());
                std::ptrdiff_t i = origin + stepY * y + stepX * x0;
                for (int x = x0; x < x1; ++x, i += stepX)
                    row[x] = src[i];
            }
        }
    picture.swap(out);
}

}  // namespace tsy
