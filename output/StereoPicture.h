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

// Both views in one PNG. Side by side with whole views it carries an sTER chunk, and each view
// is widened to a multiple of 8 columns by black columns on its right, so the
// second view starts on such a column for sTER readers and the picture is
// still two equal halves for readers that just cut it in two.
bool WriteStereoPng(const PictureBuffer& left, const PictureBuffer& right,
                    const StereoLayout& layout, const StereoSaveSettings& settings,
                    FileReplacer& file, std::string& error);

// The sTER chunk: mode 1 (diverging: the left view on the left) or 0
// (cross-fuse: the right view on the left).
PngChunk SterChunk(bool leftFirst);

}  // namespace tsy
