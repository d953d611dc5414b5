#include "output/png/PngFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

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

void Assemble(const Raster& r, std::vector<std::uint8_t>& idatToPng,
              std::span<const PngChunk> extra) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> head(kSignature, kSignature + 8);
    std::vector<std::uint8_t> ihdr;
    Put32(ihdr, std::uint32_t(r.width));
    Put32(ihdr, std::uint32_t(r.height));
    ihdr.insert(ihdr.end(), {r.depth, r.colorType, 0, 0, 0});
    Chunk(head, "IHDR", ihdr.data(), ihdr.size());
    if (!r.palette.empty()) Chunk(head, "PLTE", r.palette.data(), r.palette.size());
    for (const PngChunk& c : extra)
        Chunk(head, c.type, c.data.data(), c.data.size());
    // One IDAT as long as the length field allows; the chunk headers cost bytes.
    // Each is framed where it lies: its length and type go in front (12 bytes
    // more per chunk), its CRC behind.
    constexpr std::size_t kMaxChunk = 0x7FFFFFFF;
    std::vector<std::uint8_t>& png = idatToPng;
    const std::size_t idat = png.size();
    const std::size_t chunks = std::max<std::size_t>(1, (idat + kMaxChunk - 1) / kMaxChunk);
    png.resize(head.size() + idat + chunks * 12 + 12);
    // Back to front, so no data is overwritten before it moves.
    std::size_t end = head.size() + idat + chunks * 12;
    for (std::size_t k = chunks; k-- > 0;) {
        const std::size_t from = k * kMaxChunk;
        const std::size_t n = std::min(kMaxChunk, idat - std::min(idat, from));
        std::uint8_t* body = png.data() + end - 4 - n;
        std::memmove(body, png.data() + from, n);
        std::uint8_t* start = body - 8;
        for (int i = 0; i < 4; ++i)
            start[i] = std::uint8_t(n >> (24 - 8 * i));
        std::memcpy(start + 4, "IDAT", 4);
        const auto crc = std::uint32_t(crc32(0, start + 4, uInt(n + 4)));
        for (int i = 0; i < 4; ++i)
            body[n + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
        end = std::size_t(start - png.data());
    }
    std::memcpy(png.data(), head.data(), head.size());
    static const std::uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    std::memcpy(png.data() + png.size() - 12, kEnd, 12);
}

}  // namespace tsy::png
