#pragma once

#include <string>

#include "prepare/StereoAlign.h"

namespace tsy {

// The window's status texts; decimalPoint is the user's.

// "1200 x 800  =  1.0 mp": megapixels with one decimal, halves rounded up.
std::string DimensionsText(int width, int height, const std::string& decimalPoint);

// "Ready!  (0.42s)": seconds with two decimals, halves rounded up.
std::string ReadyText(double seconds, const std::string& decimalPoint);

// "Aligned: vertical 1.9 px, roll 0.12°, scale 1.000, residual 0.4 px" or
// "Could not align: only 12 matching points".
std::string AlignStatusText(const AlignOutcome& outcome, const std::string& decimalPoint);

}  // namespace tsy
