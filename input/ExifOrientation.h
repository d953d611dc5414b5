#pragma once

#include <cstdint>
#include <span>

namespace tsy {

// The camera orientation of a JPEG stream: the Exif value 1 to 8 of its
// first IFD (1 = as stored, 6 = to be turned a quarter clockwise, ...), or 0
// when the stream has none or a value out of range.
int ExifOrientation(std::span<const std::uint8_t> jpeg);

}  // namespace tsy
