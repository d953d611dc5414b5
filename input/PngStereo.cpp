#include "input/PngStereo.h"

#include <cstring>

namespace tsy {

PngSter ReadPngSter(std::span<const std::uint8_t> png) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return {};
    // Each chunk: a 32-bit big-endian length, the type, the data and a CRC.
    for (std::size_t p = 8; png.size() - p >= 8;) {
        const std::uint64_t length =
            std::uint64_t(png[p]) << 24 | png[p + 1] << 16 | png[p + 2] << 8 | png[p + 3];
        const std::uint8_t* type = &png[p + 4];
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
        if (length > png.size() - p - 8) break;  // cut short
        if (std::memcmp(type, "sTER", 4) == 0) {
            const std::string bad = "PNG stereo mark (sTER) unusable: ";
            if (length != 1)
                return {SterStatus::Invalid, false,
                        bad + "it holds " + std::to_string(length) + " bytes, not 1"};
            const unsigned mode = png[p + 8];
            if (mode > 1)
                return {SterStatus::Invalid, false, bad + "unknown mode " + std::to_string(mode)};
            return {SterStatus::Valid, mode == 1, {}};
        }
        p += 8 + std::size_t(length) + 4;
        if (p > png.size()) break;
    }
    return {};
}

bool SterGeometry(int width, int& viewWidth, int& secondStart) {
    // width = 2 * view + padding, with view + padding a multiple of 8.
    if (width < 2) return false;
    const int padding = (16 - width % 16) % 16;
    if (padding > 7) return false;
    viewWidth = (width - padding) / 2;
    secondStart = viewWidth + padding;
    return true;
}

}  // namespace tsy
