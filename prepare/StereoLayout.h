#pragma once

#include <string>

namespace tsy {

class PictureBuffer;

// How one picture holds the two views of a stereo pair.
struct StereoLayout {
    enum class Arrangement { SideBySide, TopBottom };
    Arrangement arrangement = Arrangement::SideBySide;
    bool leftFirst = true;  // the left view is on the left (on top)
    // Each view squeezed to half the width (height) of the picture, and so
    // stretched back to the whole; full views are taken as they are.
    bool half = false;
    // Columns between the two views (a PNG stereo picture aligns the second
    // view on a multiple of 8); 0 splits the picture in the middle.
    int padding = 0;
};

// A short name for messages: "sbs-lr", "half-tb-rl" and so on ("lr": left
// view first). Padding is not part of it.
std::string LayoutName(const StereoLayout& layout);

struct SplitResult {
    bool ok = false;
    std::string message;  // the refusal, or a note on a fallback that was taken
};

// Splits picture into its left and right views.
//
// Side by side without padding, each view is HalfWidth(width) wide, so for
// an odd width the middle column belongs to both (a note says so); half
// views are widened by repeating columns exactly as SplitSideBySide does with
// stretch. Top-bottom does the same with rows. With padding, each view is
// (width - padding) / 2 wide and the second starts behind the padding.
//
// Refused, the buffers untouched: no picture, a side of 1 pixel along the
// split, or padding the width cannot hold. left and right must be two
// different buffers, neither of them picture. The two views are made on up
// to `threads` threads (ParallelFor: not from inside one of its tasks).
// Throws std::bad_alloc like PictureBuffer::assign.
SplitResult SplitStereo(const PictureBuffer& picture, const StereoLayout& layout,
                        PictureBuffer& left, PictureBuffer& right, int threads = 1);

}  // namespace tsy
