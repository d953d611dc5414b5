#pragma once

#include <string>

#include "base/PictureBuffer.h"
#include "base/WorkerPool.h"
#include "prepare/StereoAlign.h"

namespace tsy {

// Columns [x, x + width) and rows [y, y + height) of a result.
struct CropRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const CropRect&) const = default;
};

// The rectangle of largest area in which both views have picture, in a
// width x height result: image 1 whole, image 2 resampled by `resampled`
// (ResampleView: black where it has no picture; null when image 2 is whole),
// the views moved apart by the X and Y offsets as CropViews moves them. From
// the geometry alone, so cheap; pixels whose resampling would blend in black
// are left out. Empty when the views share no pixel.
CropRect CommonPicture(int width, int height, const AlignTransform* resampled, int offsetX,
                       int offsetY);

struct CropPlan {
    bool cut = false;     // the views are to be cut to rect
    CropRect rect;        // the whole picture when not cut
    std::string refusal;  // why edges without both views are kept, for the user
};

// Whether and where to cut a pair. `alignment` is what image 2 was resampled
// with, null when it was not: a pair that could not be aligned is never cut,
// nor one that would keep less than a quarter of its picture.
CropPlan PlanCrop(int width, int height, const AlignResult* alignment, int offsetX, int offsetY);

// The part of each view that shows rect of the result.
struct ViewParts {
    CropRect image1, image2;
};

// Result column x shows image 2's column x + offsetX/2 and image 1's column
// x - offsetX/2, rows likewise, as in the engine; halves are rounded up, so
// the views stay exactly the offset apart (where the engine, for an odd
// offset, shows every other column twice).
ViewParts PartsFor(const CropRect& rect, int offsetX, int offsetY);

// Cuts both views in place to their parts for rect: they then hold the
// offsets, and the engine takes them with offsets 0. False, views untouched,
// when a part reaches past its view.
bool CropViews(PictureBuffer& image1, PictureBuffer& image2, const CropRect& rect, int offsetX,
               int offsetY);

// What CropViews would leave, as copies in cut1 and cut2: the views stay
// whole, so the crop can follow a change of the offsets. False when a part
// reaches past its view. Throws std::bad_alloc when memory is short.
bool CutCopies(const PictureBuffer& image1, const PictureBuffer& image2, const CropRect& rect,
               int offsetX, int offsetY, PictureBuffer& cut1, PictureBuffer& cut2);

// As ResampleView of unaligned2 into image2 and then CropViews, resampling
// only the part that is kept.
bool ResampleAndCrop(PictureBuffer& image1, const PictureBuffer& unaligned2,
                     const AlignTransform& t, const CropRect& rect, int offsetX, int offsetY,
                     PictureBuffer& image2, int threads = HardwareThreads());

}  // namespace tsy
