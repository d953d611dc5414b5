#pragma once

#include <string>

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"
#include "render/Anaglyph.h"

namespace tsy {

// The parts of a rebuild that the window and the batch program share, so both
// make the same pixels from the same pictures and settings.

// Width of the working pictures: image 1's width with stretch, half of it
// (the side-by-side half) without.
int WorkingWidth(int picW, bool stretch);

// Gives image 1, image 2 and the result the working size, in that order;
// content stays at the top-left corner, new area is black. So image 2 is cut
// or extended to image 1's size. Throws std::bad_alloc when memory is short.
void SizeWorkingBuffers(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                        int picW, int picH, bool stretch);

// Runs the engine on image 2 (right eye) and image 1 (left eye) into result.
// The offsets are the values the user sees (HS, VS): output column x shows
// image 2's column x + offsetX/2 and image 1's column x - offsetX/2. False
// after a failure that progress was told about.
bool BuildAnaglyph(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                   const AnaglyphSettings& settings, ProgressSink& progress,
                   int threads = HardwareThreads());

}  // namespace tsy
