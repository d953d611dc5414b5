#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tsy {

enum class SterStatus { Absent, Valid, Invalid };

// What a PNG's sTER chunk says: mode 0 is the cross-fuse layout (right view
// on the left), mode 1 the diverging-fuse layout (left view on the left).
struct PngSter {
    SterStatus status = SterStatus::Absent;
    bool leftFirst = false;
    std::string reason;  // why an Invalid chunk cannot be used
};

// Looks at the chunks in front of the first IDAT, as the chunk must come
// before it; a later one is not a stereo mark. A chunk of other than one
// byte, or an unknown mode, is Invalid. The CRC is not checked: the mark is
// one byte, and a damaged one still shows as an unknown mode.
PngSter ReadPngSter(std::span<const std::uint8_t> png);

// Where the two sub-pictures of a sTER picture `width` wide lie: each is
// viewWidth wide and the second starts at secondStart, a column divisible by
// 8, with padding columns between them. False for a width no such pair fits
// (under 2, or needing more than 7 columns of padding).
bool SterGeometry(int width, int& viewWidth, int& secondStart);

}  // namespace tsy
