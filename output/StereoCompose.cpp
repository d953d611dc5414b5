#include "output/StereoCompose.h"

#include "output/PngOptimiser.h"

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
    // The second view ends the picture: no padding behind it.
    g.width = sideBySide ? g.cellWidth + g.viewWidth : g.cellWidth;
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
    std::memcpy(scratch, views_[0]->row(y), view);
    FillBlack(scratch + view, std::size_t(g_.cellWidth - g_.viewWidth));
    std::memcpy(scratch + cell, views_[1]->row(y), view);
    return scratch;
}

JpegRows StereoRows::ForJpeg() const {
    return {g_.width, g_.height, [this](int y, std::uint8_t* scratch) { return Row(y, scratch); }};
}

RgbImage StereoRows::Rgb() const {
    return RgbOfRows(g_.width, g_.height, threads_,
                     [this](int y, std::uint8_t* scratch) { return Row(y, scratch); });
}

}  // namespace tsy
