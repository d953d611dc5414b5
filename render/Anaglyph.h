#pragma once

#include <cstdint>

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"
#include "render/EngineErrors.h"
#include "render/Methods.h"

namespace tsy {

// A picture's pixels as one byte block: H rows, top row first, RowPixels
// pixels each, no padding between rows. A pixel is blue, green, red and, at 4
// bytes per pixel, an X byte the engine never computes. 3-byte rows are
// rounded up to whole groups of 4 pixels; the extra columns are computed like
// the others. A block without data reads as black.
struct PixelBlock {
    std::uint8_t* data = nullptr;
    int W = 0;
    int H = 0;
    int BytesPerPixel = 4;
    int RowPixels = 0;
};

// (W + 3) / 4 * 4 at 3 bytes per pixel, W at 4; -1 when that does not fit.
int RowPixelsFor(int W, int BytesPerPixel);

// What the controls say about the result. The engine moves the right view by
// -offset/2 and the left one by +offset/2 (rounded to nearest, ties to even);
// BuildAnaglyph takes the offsets as the controls show them, the opposite way.
struct AnaglyphSettings {
    int methodNumber = 3;  // see MethodNumberFor
    int brightness = 0;    // -128..128; larger values saturate
    int contrast = 0;      // has no effect on the pixels
    int offsetX = 0;
    int offsetY = 0;
};

enum class BlockStatus {
    Ok,
    UnknownMethod,
    BadBlocks,  // geometry not valid or not shared, no result data, overlap
};

// Computes Out from the right view R and the left view L, which share Out's
// geometry and must not overlap it. At 4 bytes per pixel Out's X bytes stay.
// With a progress sink, reports the percentage of rows done and lets events
// run every 5 percent (on the calling thread).
BlockStatus AnaglyphBlock(const PixelBlock& R, const PixelBlock& L, const PixelBlock& Out,
                          const AnaglyphSettings& settings, int threads = HardwareThreads(),
                          ProgressSink* progress = nullptr);

// Builds the anaglyph of PicR (right eye) and PicL (left eye) into PicOut.
// PicL and PicOut first take PicR's size (top-left content kept). PicOut
// without picture gets one whose X bytes are 0xFF; otherwise its X bytes stay.
// A failure is reported once through progress, as an EngineError number and
// its detail, leaves PicOut's pixels as they were and gives false.
bool Anaglyph(PictureBuffer& PicR, PictureBuffer& PicL, PictureBuffer& PicOut,
              const AnaglyphSettings& settings, ProgressSink& progress,
              int threads = HardwareThreads());

}  // namespace tsy
