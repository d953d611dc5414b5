#pragma once

#include "output/StereoSettings.h"

namespace tsy {

// Writes the views as an animated WebP that shows them in turn, frameMs each
// (WiggleFrames), looping forever; lossy at the settings' quality.
bool WriteWiggleWebp(const PictureBuffer& left, const PictureBuffer& right,
                     const StereoSaveSettings& settings, FileReplacer& file, std::string& error);

}  // namespace tsy
