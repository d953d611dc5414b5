#pragma once

#include <cstdint>

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"

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

// 1..4 red/cyan, 17..20 green/magenta: grayscale, half colour, full colour,
// optimized.
bool IsAnaglyphMethod(int MethodNumber);

struct AnaglyphSettings {
    int MethodNumber = 3;
    int Brightness = 0;  // -128..128; larger values saturate
    int Contrast = 0;    // has no effect on the pixels
    int OffsetX = 0;     // split half and half between the views
    int OffsetY = 0;
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

// Error numbers reported through ProgressSink::ReportError.
constexpr int kAnaglyphErrorMemory = 480;
constexpr int kAnaglyphErrorMethod = 5;

// Builds the anaglyph of PicR (right eye) and PicL (left eye) into PicOut.
// PicL and PicOut first take PicR's size (top-left content kept). PicOut
// without picture gets one whose X bytes are 0xFF; otherwise its X bytes stay.
// A failure is reported once through progress, leaves PicOut's pixels as they
// were and gives false.
bool Anaglyph(PictureBuffer& PicR, PictureBuffer& PicL, PictureBuffer& PicOut, int MethodNumber,
              int Brightness, int Contrast, int OffsetX, int OffsetY, ProgressSink& progress,
              int threads = HardwareThreads());

}  // namespace tsy
