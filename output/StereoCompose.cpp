#include "output/StereoCompose.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/WorkerPool.h"
#include "prepare/AreaScale.h"

namespace tsy {

StereoGeometry StereoGeometryOf(int w, int h, const StereoLayout& layout, int columnStep) {
    StereoGeometry g;
    const bool sideBySide = layout.arrangement == Arrangement::SideBySide;
    g.viewWidth = layout.half && sideBySide ? (w + 1) / 2 : w;
    g.viewHeight = layout.half && !sideBySide ? (h + 1) / 2 : h;
    const int step = sideBySide ? std::max(columnStep, 1) : 1;
    g.cellWidth = (g.viewWidth + step - 1) / step * step;
    g.cellHeight = g.viewHeight;
    g.width = sideBySide ? 2 * g.cellWidth : g.cellWidth;
    g.height = sideBySide ? g.cellHeight : 2 * g.cellHeight;
    return g;
}

StereoRows::StereoRows(const PictureBuffer& left, const PictureBuffer& right,
                       const StereoLayout& layout, int columnStep, int threads)
    : g_(StereoGeometryOf(left.width(), left.height(), layout, columnStep)),
      sideBySide_(layout.arrangement == Arrangement::SideBySide),
      threads_(threads > 0 ? threads : HardwareThreads()),
      views_{layout.leftFirst ? &left : &right, layout.leftFirst ? &right : &left} {
    if (!layout.half) return;
    for (int k = 0; k < 2; ++k) {
        ScalePicture(*views_[k], g_.viewWidth, g_.viewHeight, squeezed_[k], threads_);
        views_[k] = &squeezed_[k];
    }
}

const std::uint8_t* StereoRows::Row(int y, std::uint8_t* scratch) const {
    if (!sideBySide_) return views_[y / g_.cellHeight]->row(y % g_.cellHeight);
    const std::size_t view = std::size_t(g_.viewWidth) * 4, cell = std::size_t(g_.cellWidth) * 4;
    for (int k = 0; k < 2; ++k) {
        std::memcpy(scratch + k * cell, views_[k]->row(y), view);
        FillBlack(scratch + k * cell + view, std::size_t(g_.cellWidth - g_.viewWidth));
    }
    return scratch;
}

JpegRows StereoRows::ForJpeg() const {
    return {g_.width, g_.height, [this](int y, std::uint8_t* scratch) { return Row(y, scratch); }};
}

RgbImage StereoRows::Rgb() const {
    RgbImage image{g_.width, g_.height, {}};
    image.rgb.resize(std::size_t(g_.width) * std::size_t(g_.height) * 3);
    const int bands = std::min(g_.height, threads_ * 4);
    std::vector<std::vector<std::uint8_t>> scratch(
        std::size_t(bands), std::vector<std::uint8_t>(std::size_t(g_.width) * 4));
    ParallelFor(bands, threads_, [&](int band) {
        std::uint8_t* row = scratch[std::size_t(band)].data();
        for (int y = int(std::int64_t(g_.height) * band / bands),
                 end = int(std::int64_t(g_.height) * (band + 1) / bands);
             y < end; ++y) {
            const std::uint8_t* p = Row(y, row);
            std::uint8_t* out = image.rgb.data() + std::size_t(y) * std::size_t(g_.width) * 3;
            for (int x = 0; x < g_.width; ++x, p += 4, out += 3) {
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
        }
    });
    return image;
}

}  // namespace tsy
