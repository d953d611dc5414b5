#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/PictureBuffer.h"

namespace tsy {

// Pictures above this many pixels are refused unless the caller passes its
// own limit (camera pictures of 100 megapixels must load).
inline constexpr std::int64_t kDefaultJpegPixelLimit = 200'000'000;

// Decodes a JPEG stream (bytes after its end, such as the further views of an
// MPO file, are ignored) into out as blue, green, red, 0xFF. Colour, gray and
// CMYK pictures are read.
//
// Returns false with the reason in error, out left without picture, for data
// that yields no complete picture, a picture above maxPixels and memory
// shortage. A damaged stream of which every row could still be produced (as a
// truncated file: the missing part is filled in by the decoder, as common
// viewers show it) returns true with the decoder's warning in error; a clean
// decode leaves error empty. CMYK pictures must be clean, and so must every
// picture with refuseDamaged: the decoder then stops at the first damage
// ("damaged picture: " and its warning) instead of filling the rest in.
bool DecodeJpeg(std::span<const std::uint8_t> data, PictureBuffer& out, std::string& error,
                std::int64_t maxPixels = kDefaultJpegPixelLimit, bool refuseDamaged = false);

// The memory the decoder holds besides the picture while it decodes: the
// coefficients of the whole picture for a progressive (or other multi-scan)
// stream, 0 for one that decodes row by row or that cannot be read.
std::uint64_t JpegDecoderBytes(std::span<const std::uint8_t> data);

// The picture's size from the frame header, without decoding.
bool ReadJpegSize(std::span<const std::uint8_t> data, int& width, int& height);

}  // namespace tsy
