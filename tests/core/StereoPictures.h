#pragma once

#include <cstdint>
#include <cstring>

#include "OutputTestFiles.h"
#include "prepare/StereoLayout.h"

namespace tsy::test {

// A plain reference for the pictures stereo files hold: the two views put
// side by side or one above the other, first the one the layout names, half
// layouts squeezed by averaging neighbouring columns (rows) as TVs do, and
// the given padding (black) between side-by-side views.
inline PictureBuffer Compose(const PictureBuffer& left, const PictureBuffer& right,
                             const StereoLayout& l) {
    const PictureBuffer& a = l.leftFirst ? left : right;
    const PictureBuffer& b = l.leftFirst ? right : left;
    const bool sbs = l.arrangement == Arrangement::SideBySide;
    const int w = a.width(), h = a.height();
    const int vw = sbs && l.half ? w / 2 : w, vh = !sbs && l.half ? h / 2 : h;
    const int W = sbs ? 2 * vw + l.padding : vw, H = sbs ? vh : 2 * vh;
    const auto squeezed = [&](const PictureBuffer& v, int x, int y) {
        const int f = l.half ? 2 : 1, sx = sbs ? f : 1, sy = sbs ? 1 : f;
        std::uint32_t sum[3] = {0, 0, 0};
        for (int j = 0; j < sy; ++j)
            for (int i = 0; i < sx; ++i)
                for (int k = 0; k < 3; ++k)
                    sum[k] += v.pixel(x * sx + i, y * sy + j) >> 8 * k & 0xFF;
        std::uint32_t out = 0xFF000000u;
        for (int k = 0; k < 3; ++k)
            out |= (sum[k] + f / 2) / f << 8 * k;
        return out;
    };
    return MakePicture(W, H, [&](int x, int y) -> std::uint32_t {
        if (sbs && x < vw) return squeezed(a, x, y);
        if (sbs && x >= vw + l.padding) return squeezed(b, x - vw - l.padding, y);
        if (sbs) return PictureBuffer::kBlack;
        return y < vh ? squeezed(a, x, y) : squeezed(b, x, y - vh);
    });
}

}  // namespace tsy::test
