#include "input/JpegHeaders.h"

#include <algorithm>
#include <cstring>

namespace tsy {

JpegHeaders WalkJpegHeaders(std::span<const std::uint8_t> f) {
    JpegHeaders w;
    if (f.size() < 2 || f[0] != 0xFF || f[1] != 0xD8) return w;
    std::size_t p = 2;
    while (f.size() - p >= 4 && f[p] == 0xFF) {
        const std::uint8_t code = f[p + 1];
        if (code == 0xFF) {  // fill byte before a marker
            ++p;
            continue;
        }
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {  // no length field
            p += 2;
            continue;
        }
        if (code == 0x00 || code == 0xD8 || code == 0xD9) break;
        const std::size_t len = std::size_t(f[p + 2]) << 8 | f[p + 3];
        if (len < 2) break;
        const std::size_t segEnd = std::min(p + 2 + len, f.size());
        if (code >= 0xE0 && code <= 0xEF && len >= 6 && segEnd - p >= 8 &&
            std::memcmp(&f[p + 4], "MPF\0", 4) == 0) {
            w.mpStart = p + 8;
            w.mp = f.subspan(w.mpStart, segEnd - w.mpStart);
        }
        if (code == 0xE1 && segEnd - p >= 10 && std::memcmp(&f[p + 4], "Exif\0\0", 6) == 0)
            w.exif = f.subspan(p + 10, segEnd - p - 10);
        if (code == 0xE3 && segEnd - p >= 12 && std::memcmp(&f[p + 4], "_JPSJPS_", 8) == 0) {
            w.jps = f.subspan(p + 12, segEnd - p - 12);
            w.hasJps = true;
        }
        p = segEnd;
        if (code == 0xDA) break;
    }
    w.end = p;
    return w;
}

bool TiffData::Open(std::span<const std::uint8_t> d, TiffData& out) {
    if (d.size() < 8) return false;
    if (std::memcmp(d.data(), "II*\0", 4) == 0)
        out = TiffData(d, false);
    else if (std::memcmp(d.data(), "MM\0*", 4) == 0)
        out = TiffData(d, true);
    else
        return false;
    return true;
}

bool TiffData::FirstIfd(std::uint64_t& entries, std::uint32_t& count) const {
    std::uint32_t ifd;
    if (!U32(4, ifd) || !U16(ifd, count)) return false;
    entries = std::uint64_t(ifd) + 2;
    return (size() - entries) / 12 >= count;
}

}  // namespace tsy
