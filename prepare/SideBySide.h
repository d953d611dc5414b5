#pragma once

namespace tsy {

class PictureBuffer;

// Width of each half of a side-by-side picture picW wide: (picW + 1) / 2, so
// for an odd width the middle column belongs to both halves (0 for picW < 1).
int HalfWidth(int picW);

// Splits the side-by-side picture held in sbs (its top-left picW x picH) into
// its two views. The left view is source columns [0, HalfWidth), the right one
// columns [picW - HalfWidth, picW): no column is dropped and none is read
// outside the picture.
//
// Without stretch each view is copied pixel for pixel at HalfWidth x picH.
// With stretch it is widened to picW x picH by repeating columns, no
// smoothing: output column x shows column floor(x * HalfWidth / picW) of its
// half.
//
// Whatever of the picW x picH area lies outside sbs, or all of it when sbs has
// no picture, reads as black. left and right keep their allocations when big
// enough; they must be two different buffers, either of which may be sbs.
// Sides below 0 count as 0. Both views are made together, in bands of rows
// on up to `threads` threads (ParallelFor: not from inside one of its
// tasks). Throws std::bad_alloc like PictureBuffer::assign.
void SplitSideBySide(const PictureBuffer& sbs, int picW, int picH, bool stretch,
                     PictureBuffer& left, PictureBuffer& right, int threads = 1);

}  // namespace tsy
