#pragma once

#include "base/PictureBuffer.h"
#include "input/BmpReader.h"

namespace tsy {

enum class StereoArrangement { SideBySide, TopBottom };

// How two views share one picture.
struct StereoLayout {
    StereoArrangement arrangement = StereoArrangement::SideBySide;
    bool half = false;      // each view squeezed to half its width (height), as TVs take it
    bool leftFirst = true;  // the left view on the left (on top); false: cross-eyed order
};

// Where the views go in the picture of both: each view, squeezed for a half
// layout, sits at the top left of its cell; the second cell follows the first.
struct StereoGeometry {
    int viewWidth = 0, viewHeight = 0;
    int cellWidth = 0, cellHeight = 0;
    int width = 0, height = 0;
};

// For views of w x h. With a columnStep above 1 a side-by-side cell is
// widened to a multiple of it by black columns on the right of each view, so
// that the second view starts on such a column and the picture is still two
// equal halves; a half squeeze of an odd side rounds up.
StereoGeometry StereoGeometryOf(int w, int h, const StereoLayout& layout, int columnStep = 1);

// Makes out hold both views as the geometry places them (the halves by area
// averaging); padding is black. The views must have the same size (see
// CheckStereoViews). Throws std::bad_alloc when memory runs short.
void ComposeStereo(const PictureBuffer& left, const PictureBuffer& right,
                   const StereoLayout& layout, int columnStep, PictureBuffer& out, int threads);

// The picture as the red, green, blue rows the PNG coder takes.
RgbImage RgbRowsOf(const PictureBuffer& picture);

}  // namespace tsy
