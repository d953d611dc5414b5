#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/PictureBuffer.h"
#include "batch/Options.h"

namespace tsy {

// Image 1 and image 2 of one FILE as the window loads them: an MPO file's two
// views, the --right pair, or with --sbs the whole picture as image 1. A
// picture the decoder had to patch up is refused. With two threads image 2
// decodes alongside image 1. False with the reason in error; what the user
// should know about a file that loads goes into warnings.
bool LoadViews(const BatchOptions& o, const std::string& input, int threads, PictureBuffer& image1,
               PictureBuffer& image2, std::vector<std::string>& warnings, std::string& error);

// The pixels of the picture in a JPEG (or MPO) or BMP file as its header
// tells them; 0 when not known.
std::int64_t PicturePixels(const std::string& path);

}  // namespace tsy
