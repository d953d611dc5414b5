#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tsy {

// A decoded picture: rows top to bottom, 3 bytes per pixel in the order red,
// green, blue, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Reads an uncompressed 24- or 32-bit BMP (rows bottom-up or top-down). The
// fourth byte of a 32-bit pixel is not part of the colour and is dropped.
// Every header field is checked against the data size; damaged or unsupported
// input gives false with a message in error, and nothing is read past the end.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, RgbImage& image, std::string& error);

bool ReadBmp(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tsy
