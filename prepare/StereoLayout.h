#pragma once

#include <string>

namespace tsy {

class PictureBuffer;

// Where the two views of a stereo pair are found.
enum class Arrangement {
    Auto,        // decided from the file: its marks, its streams, else its picture
    Separate,    // two pictures: a pair of files or the two streams of one file
    SideBySide,  // next to each other in one picture
    TopBottom,   // one above the other in one picture
};

// How a file holds the two views: the one layout type of the readers, the
// recipe and the writers.
struct StereoLayout {
    Arrangement arrangement = Arrangement::SideBySide;
    bool leftFirst = true;  // the left view is on the left (on top)
    // Each view squeezed to half the width (height) of the picture, and so
    // stretched back to the whole; full views are taken as they are.
    bool half = false;
    // Columns between the two views (a PNG stereo picture aligns the second
    // view on a multiple of 8); 0 splits the picture in the middle.
    int padding = 0;

    // Both views in one picture, to be split.
    bool InOnePicture() const {
        return arrangement == Arrangement::SideBySide || arrangement == Arrangement::TopBottom;
    }
    friend bool operator==(const StereoLayout&, const StereoLayout&) = default;
};
// The layout's name on the command line and in messages: "sbs-lr",
// "tb-rl-half" and so on ("lr": left view first). Padding is not part of it.
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
