#pragma once

#include <optional>
#include <string>

#include "base/PictureBuffer.h"
#include "base/Progress.h"
#include "base/WorkerPool.h"

namespace tsy {

// How image 2 moves to meet image 1, about image 1's centre (cx, cy):
// a point p of image 2 goes to c + scale * Rccw(roll) * (p - c) + (0, vertical).
// Positive vertical moves it down, positive roll turns it counter-clockwise as
// seen on screen. Horizontal shifts are depth, not error, and stay out of it.
// This is the correction; Misalignment is what was wrong.
struct AlignTransform {
    double verticalPx = 0;
    double rollDeg = 0;
    double scale = 1;
    double cx = 0;
    double cy = 0;
};

// What is wrong with image 2 against image 1, as a user reads it: the
// inverse of the correction, with the horizontal shift that comes with it
// left to depth. A point of image 1 is seen in image 2 lower by vertical
// (positive: image 2 lower), turned counter-clockwise by roll and larger by
// scale (above 1: image 2 larger), about the centre.
struct Misalignment {
    double verticalPx = 0;
    double rollDeg = 0;
    double scale = 1;
};

struct AlignResult {
    bool aligned = false;
    std::string failure;       // why not, in words for the user
    AlignTransform transform;  // the correction ResampleView applies to image 2
    Misalignment found;        // what the correction undoes
    double residualPx = 0;     // vertical RMS of the inliers after correction
    int inliers = 0;
    // The inliers' horizontal disparity x2 - x1 once aligned, before any
    // offset, 2nd and 98th percentiles: negative is nearer than positive.
    double nearPx = 0, farPx = 0;
    // The X-Offset value that puts the nearest scene point at the screen.
    int windowOffset = 0;
};

// Measures how image 2 sits against image 1 from features found in both;
// neither picture changes. Uses up to `threads` threads.
AlignResult MeasureAlignment(const PictureBuffer& image1, const PictureBuffer& image2,
                             int threads = HardwareThreads());

// source moved by t into out: same size as source, bilinear, black where
// nothing of source lands. out must be another buffer than source.
void ResampleView(const PictureBuffer& source, const AlignTransform& t, PictureBuffer& out,
                  int threads = HardwareThreads());

// Columns [x, x + width) and rows [y, y + height) of what ResampleView
// gives, alone: a crop without resampling the rest. False, out untouched,
// when the part reaches past source.
bool ResampleViewPart(const PictureBuffer& source, const AlignTransform& t, int x, int y, int width,
                      int height, PictureBuffer& out, int threads = HardwareThreads());

// Where the horizontal offset comes from when a pair is aligned.
enum class OffsetSource { Window, Camera };

struct AlignOutcome {
    AlignResult result;
    // The X-Offset to use; none when neither the content nor the camera gave one.
    std::optional<int> offsetX;
    bool fromCamera = false;
};

// What the window and the batch both do to align a pair: measure, and on
// success with resample, resample unaligned2 into image2 (another buffer; on
// failure it is left as it was). The X offset is the stereo window, or the
// camera's parallax (cameraOffsetX, in X-Offset units) when asked for or when
// the content could not be aligned. The work runs off the calling thread,
// which lets events run meanwhile.
AlignOutcome AlignPair(const PictureBuffer& image1, const PictureBuffer& unaligned2,
                       PictureBuffer& image2, std::optional<double> cameraOffsetX,
                       OffsetSource source, bool resample, ProgressSink& progress,
                       int threads = HardwareThreads());

}  // namespace tsy
