#pragma once

#include <cstdint>

#include "base/PictureBuffer.h"
#include "input/BmpReader.h"
#include "output/JpegWriter.h"
#include "prepare/StereoLayout.h"

namespace tsy {

// Where the views go in the picture of both: each view, squeezed for a half
// layout, sits at the top left of its cell; the second cell follows the first.
struct StereoGeometry {
    int viewWidth = 0, viewHeight = 0;
    int cellWidth = 0, cellHeight = 0;
    int width = 0, height = 0;
};

// For views of w x h. With a columnStep above 1 the first side-by-side cell
// is widened to a multiple of it by black columns on the right of its view,
// so that the second view starts on such a column and ends the picture; a
// half squeeze of an odd side rounds up.
StereoGeometry StereoGeometryOf(int w, int h, const StereoLayout& layout, int columnStep = 1);

// The picture of both views, row by row, as the geometry places them, never
// held whole: a row is put together when asked for. Half layouts squeeze the
// views first, by area averaging.
class StereoRows {
public:
    // The views must have the same size (see CheckStereoViews). Throws
    // std::bad_alloc when memory for the squeezed views runs short.
    StereoRows(const PictureBuffer& left, const PictureBuffer& right, const StereoLayout& layout,
               int columnStep, int threads);
    const StereoGeometry& geometry() const { return g_; }
    // Row y: a view's own row, or scratch (geometry().width * 4 bytes) filled.
    const std::uint8_t* Row(int y, std::uint8_t* scratch) const;
    JpegRows ForJpeg() const;
    // All rows as the red, green, blue bytes the PNG coder takes.
    RgbImage Rgb() const;

private:
    StereoGeometry g_;
    bool sideBySide_;
    int threads_;
    PictureBuffer squeezed_[2];
    const PictureBuffer* views_[2];
};

}  // namespace tsy
