#include "output/png/PngFile.h"

#include <zlib.h>

#include <algorithm>

namespace tsy::png {

namespace {

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int s = 24; s >= 0; s -= 8)
        v.push_back(std::uint8_t(x >> s));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::uint8_t* data,
           std::size_t n) {
    Put32(png, std::uint32_t(n));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data, data + n);
    Put32(png, std::uint32_t(crc32(0, png.data() + start, uInt(n + 4))));
}

}  // namespace

std::vector<std::uint8_t> Assemble(const Raster& r, const std::vector<std::uint8_t>& idat) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> png(kSignature, kSignature + 8);
    png.reserve(idat.size() + r.palette.size() + 128);
    std::vector<std::uint8_t> ihdr;
    Put32(ihdr, std::uint32_t(r.width));
    Put32(ihdr, std::uint32_t(r.height));
    ihdr.insert(ihdr.end(), {r.depth, r.colorType, 0, 0, 0});
    Chunk(png, "IHDR", ihdr.data(), ihdr.size());
    if (!r.palette.empty()) Chunk(png, "PLTE", r.palette.data(), r.palette.size());
    // One IDAT as long as the length field allows; the chunk headers cost bytes.
    constexpr std::size_t kMaxChunk = 0x7FFFFFFF;
    for (std::size_t at = 0; at < idat.size(); at += kMaxChunk)
        Chunk(png, "IDAT", idat.data() + at, std::min(kMaxChunk, idat.size() - at));
    Chunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace tsy::png
