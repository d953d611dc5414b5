#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tsy {

// The source picture's Exif made true of a view as written: orientation 1
// (the pixels are upright now), the pixel width and height of the view, and
// no thumbnail (it showed the source before turning and cropping). All else,
// the maker's notes included, stays byte for byte where it was, so every
// offset in it stays right. source is the source's APP1 segment, from its
// marker, from "Exif\0\0" or from the TIFF header on. Gives the APP1 data
// ("Exif\0\0" and the TIFF structure), or false with a reason when the source
// holds no Exif that can be read.
bool AdaptExif(std::span<const std::uint8_t> source, int width, int height,
               std::vector<std::uint8_t>& app1, std::string& error);

}  // namespace tsy
