#pragma once

#include <cstdint>
#include <string>

namespace tsy {

// The pixels of the picture in a JPEG (or MPO) or BMP file as its header
// tells them; 0 when not known.
std::int64_t PicturePixels(const std::string& path);

}  // namespace tsy
