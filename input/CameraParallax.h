#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tsy {

// The horizontal offset the stereo camera recorded for the pair in an MPO
// file, as an X-Offset value (the window's X-Offset box, the batch's --dx)
// for views `width` pixels wide: the one that brings the camera's subject to
// the screen. None when the file holds none it knows (or is damaged there).
// Reads the 3D camera maker notes of either view and image 2's MP attributes.
std::optional<double> CameraOffsetX(std::span<const std::uint8_t> file, int width);

}  // namespace tsy
