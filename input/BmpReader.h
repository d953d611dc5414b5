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

// What a BMP's headers say, for any bit depth.
struct BmpHeader {
    std::int64_t width = 0;   // > 0 once read
    std::int64_t height = 0;  // > 0; topDown tells the row order
    bool topDown = false;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;  // 0 none, 3 bit fields, others packed
    std::uint32_t headerSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t sizeImage = 0;
    std::uint64_t RowBytes() const { return (std::uint64_t(width) * bits + 31) / 32 * 4; }
    // Bytes the file needs up to the last pixel; the last row may lack its
    // padding in files from careless writers. 0 for packed layouts, whose
    // length the headers do not tell.
    std::uint64_t NeededBytes() const;
};

// Reads the file and info headers; false with a message in error when they
// are missing, cut or say no pixels.
bool ReadBmpHeader(const std::uint8_t* data, std::size_t size, BmpHeader& header,
                   std::string& error);

// Reads an uncompressed 24- or 32-bit BMP (rows bottom-up or top-down). The
// fourth byte of a 32-bit pixel is not part of the colour and is dropped.
// Every header field is checked against the data size; damaged or unsupported
// input gives false with a message in error, and nothing is read past the end.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, RgbImage& image, std::string& error);

bool ReadBmp(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tsy
