#pragma once

#include "output/StereoSettings.h"

namespace tsy {

// Writes the views as an animated GIF that shows them in turn, looping for
// ever. Both frames share one palette of up to 256 colours chosen from both
// views, without dithering: a dither pattern differs between the views and
// would flicker as the frames alternate, while banding that the two share
// stays still. GIF delays are in 10 ms steps: the frame time is rounded to
// the nearest one.
bool WriteWiggleGif(const PictureBuffer& left, const PictureBuffer& right,
                    const StereoSaveSettings& settings, FileReplacer& file, std::string& error);

}  // namespace tsy
