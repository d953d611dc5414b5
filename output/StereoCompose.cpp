#include "output/StereoCompose.h"

#include <algorithm>
#include <cstring>

#include "base/WorkerPool.h"
#include "prepare/AreaScale.h"

namespace tsy {

StereoGeometry StereoGeometryOf(int w, int h, const StereoLayout& layout, int columnStep) {
    StereoGeometry g;
    const bool sideBySide = layout.arrangement == StereoArrangement::SideBySide;
    g.viewWidth = layout.half && sideBySide ? (w + 1) / 2 : w;
    g.viewHeight = layout.half && !sideBySide ? (h + 1) / 2 : h;
    const int step = sideBySide ? std::max(columnStep, 1) : 1;
    g.cellWidth = (g.viewWidth + step - 1) / step * step;
    g.cellHeight = g.viewHeight;
    g.width = sideBySide ? 2 * g.cellWidth : g.cellWidth;
    g.height = sideBySide ? g.cellHeight : 2 * g.cellHeight;
    return g;
}

void ComposeStereo(const PictureBuffer& left, const PictureBuffer& right,
                   const StereoLayout& layout, int columnStep, PictureBuffer& out, int threads) {
    const StereoGeometry g = StereoGeometryOf(left.width(), left.height(), layout, columnStep);
    if (threads <= 0) threads = HardwareThreads();
    out.assign(g.width, g.height);
    const PictureBuffer* views[2] = {layout.leftFirst ? &left : &right,
                                     layout.leftFirst ? &right : &left};
    const bool sideBySide = layout.arrangement == StereoArrangement::SideBySide;
    for (int k = 0; k < 2; ++k) {
        const PictureBuffer& view = *views[k];
        std::uint8_t* cell = out.row(sideBySide ? 0 : k * g.cellHeight) +
                             (sideBySide ? std::size_t(k) * g.cellWidth * 4 : 0);
        if (layout.half) {
            AreaScale(view.bits(), view.width(), view.height(), view.stride(), cell, g.viewWidth,
                      g.viewHeight, out.stride(), threads);
        }
        // Bands of rows, so that the copy and the padding run on every core.
        const int bands = std::min(g.viewHeight, threads * 4);
        ParallelFor(bands, threads, [&](int band) {
            const int y0 = int(std::int64_t(g.viewHeight) * band / bands);
            const int y1 = int(std::int64_t(g.viewHeight) * (band + 1) / bands);
            for (int y = y0; y < y1; ++y) {
                std::uint8_t* row = cell + std::size_t(y) * out.stride();
                if (!layout.half) std::memcpy(row, view.row(y), view.stride());
                FillBlack(row + std::size_t(g.viewWidth) * 4,
                          std::size_t(g.cellWidth - g.viewWidth));
            }
        });
    }
    out.touch();
}

RgbImage RgbRowsOf(const PictureBuffer& picture) {
    RgbImage image{picture.width(), picture.height(), {}};
    image.rgb.resize(std::size_t(image.width) * std::size_t(image.height) * 3);
    std::uint8_t* out = image.rgb.data();
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = picture.row(y);
        for (int x = 0; x < image.width; ++x, p += 4, out += 3) {
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
        }
    }
    return image;
}

}  // namespace tsy
