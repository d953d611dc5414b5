#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "input/BmpReader.h"

namespace tsy::png {

constexpr std::uint8_t kGrey = 0;
constexpr std::uint8_t kRgb = 2;
constexpr std::uint8_t kIndexed = 3;

// The picture as PNG wants its rows before filtering.
struct Raster {
    std::uint8_t colorType = kRgb;
    std::uint8_t depth = 8;
    int width = 0;
    int height = 0;
    std::size_t rowBytes = 0;
    std::size_t bpp = 3;  // distance of the byte "to the left" in the filters
    const std::uint8_t* rows = nullptr;
    std::vector<std::uint8_t> own;
    std::vector<std::uint8_t> palette;  // RGB triples
};

// Every lossless form worth a try, the likely smallest first: grey at the
// smallest bit depth, a palette of at most 256 colours, RGB.
std::vector<Raster> Rasters(const RgbImage& image, int effort);

}  // namespace tsy::png
