#pragma once

#include <string>

#include "prepare/StereoAlign.h"

namespace tsy {

// Comfortable viewing keeps the whole depth (far minus near) within 1/30 of
// the picture's width; the same share behind the screen is about the eyes'
// distance on a picture two metres wide, beyond which far points make the
// eyes diverge.
inline constexpr double kComfortableDepthPct = 100.0 / 30;

// The depth of an aligned pair as shown: disparity on the screen (right
// view's position minus the left's) in per cent of the width. Negative is in
// front of the screen, positive behind it, 0 at the screen.
struct DepthBudget {
    double nearPct = 0;     // the nearest points (2nd percentile of the matches)
    double farPct = 0;      // the farthest (98th percentile)
    double totalPct = 0;    // far - near
    bool tooDeep = false;   // total above kComfortableDepthPct
    bool diverges = false;  // far above kComfortableDepthPct
    std::string warning;    // why it hurts to view, for the user; empty when fine
};

// For a pair shown with this X-Offset at `width` pixels wide (the crop's
// width when cut). Nothing for a pair that was not aligned.
DepthBudget DepthOf(const AlignResult& alignment, int offsetX, int width,
                    const std::string& decimalPoint = ".");

// "depth 2.4 % (near -0.8 %, far +1.6 %)": one decimal, signed where not 0.
std::string DepthText(const DepthBudget& depth, const std::string& decimalPoint = ".");

}  // namespace tsy
