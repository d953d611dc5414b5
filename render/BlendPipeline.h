#pragma once

#include <string>

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"

namespace tsy {

// The parts of a rebuild that the window and the batch program share, so both
// make the same pixels from the same pictures and settings.

// 0 for red/cyan, 16 for green/magenta glasses, plus 1 grayscale, 2 half
// colour, 3 full colour, 4 optimized (colorIndex 0..3).
int MethodNumberFor(int glassIndex, int colorIndex);

// Width of the working pictures: image 1's width with stretch, half of it
// (the side-by-side half) without.
int WorkingWidth(int picW, bool stretch);

// Gives image 1, image 2 and the result the working size, in that order;
// content stays at the top-left corner, new area is black. So image 2 is cut
// or extended to image 1's size. Throws std::bad_alloc when memory is short.
void SizeWorkingBuffers(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                        int picW, int picH, bool stretch);

// Offsets are 16-bit values in the controls; pictures wider or taller than
// this get the largest range that fits.
inline constexpr int kMaxOffset = 32767;

// What the controls say about the result. offsetX and offsetY are the values
// the user sees (HS, VS): output column x shows image 2's column x + offsetX/2
// and image 1's column x - offsetX/2.
struct BlendSettings {
    int methodNumber = 3;
    int brightness = 0;
    int contrast = 0;
    int offsetX = 0;
    int offsetY = 0;
};

// Runs the engine on image 2 (right eye) and image 1 (left eye) into result.
// False after a failure that progress was told about.
bool BuildAnaglyph(PictureBuffer& image1, PictureBuffer& image2, PictureBuffer& result,
                   const BlendSettings& settings, ProgressSink& progress,
                   int threads = HardwareThreads());

// "1200 x 800  =  1.0 mp": megapixels with one decimal, halves rounded up.
std::string DimensionsText(int width, int height, const std::string& decimalPoint);

// "Ready!  (0.42s)": seconds with two decimals, halves rounded up.
std::string ReadyText(double seconds, const std::string& decimalPoint);

}  // namespace tsy
