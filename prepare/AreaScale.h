#pragma once

#include <cstddef>
#include <cstdint>

namespace tsy {

class PictureBuffer;

// Resamples a whole BGRX picture (4 bytes per pixel, X last) to dstW x dstH.
//
// Each destination pixel is the exact area average of the source it covers:
// a box filter with integer weights that include the fractional coverage at
// its borders, rounded to nearest with halves up. A uniform picture therefore
// stays exactly uniform and a 2:1 reduction averages 2x2 blocks. Enlarging
// follows the same rule, which replicates pixels and blends the one source
// seam a destination pixel may straddle. Every X byte written is 0xFF; the X
// bytes of the source are never read into the result.
//
// threads > 1 spreads bands of destination rows over the worker pool.
//
// Returns false, writing nothing, when the blocks are unusable: no source or
// destination pointer, a source side below 1 or more than
// PictureBuffer::kMaxPixels source pixels, or a stride shorter than a row.
// dstW or dstH below 1 is nothing to do (true). Throws std::bad_alloc when
// its working rows (6 to 10 bytes per source byte of one row, per band)
// cannot be had.
bool AreaScale(const std::uint8_t* src, int srcW, int srcH, std::size_t srcStride,
               std::uint8_t* dst, int dstW, int dstH, std::size_t dstStride, int threads = 1);

// Makes dst hold src scaled to w x h (sides below 0 count as 0), reusing dst's
// allocation. A source without picture, or with a zero side, gives black.
// src and dst may be the same buffer. Throws std::bad_alloc like
// PictureBuffer::assign.
void ScalePicture(const PictureBuffer& src, int w, int h, PictureBuffer& dst, int threads);

}  // namespace tsy
