#pragma once

#include "output/PngOptimiser.h"
#include "output/StereoCompose.h"
#include "output/StereoSettings.h"

namespace tsy {

// Both views in one JPEG, side by side or top and bottom as the layout says,
// with a JPS descriptor (APP3) that tells readers the layout and order.
bool WriteStereoJpeg(const PictureBuffer& left, const PictureBuffer& right,
                     const StereoLayout& layout, const StereoSaveSettings& settings,
                     FileReplacer& file, std::string& error);

// Both views in one PNG. Side by side with whole views it carries an sTER
// chunk, and up to 7 black columns follow the first view, so that the second
// starts on a column divisible by 8 as sTER readers take it.
bool WriteStereoPng(const PictureBuffer& left, const PictureBuffer& right,
                    const StereoLayout& layout, const StereoSaveSettings& settings,
                    FileReplacer& file, std::string& error);

// The sTER chunk: mode 1 (diverging: the left view on the left) or 0
// (cross-fuse: the right view on the left).
PngChunk SterChunk(bool leftFirst);

}  // namespace tsy
