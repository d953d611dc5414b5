#include "input/ExifOrientation.h"

#include "input/JpegHeaders.h"

namespace tsy {

int ExifOrientation(std::span<const std::uint8_t> jpeg) {
    TiffData t({}, false);
    if (!TiffData::Open(WalkJpegHeaders(jpeg).exif, t)) return 0;
    std::uint64_t entries;
    std::uint32_t count;
    if (!t.FirstIfd(entries, count)) return 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t e = entries + 12 * std::uint64_t(i);
        std::uint32_t tag = 0, type = 0, n = 0, value = 0;
        if (!t.U16(e, tag) || tag != 0x0112) continue;
        // A SHORT sits in the first two bytes of the value field.
        if (!t.U16(e + 2, type) || type != 3 || !t.U32(e + 4, n) || n < 1 || !t.U16(e + 8, value))
            return 0;
        return value >= 1 && value <= 8 ? int(value) : 0;
    }
    return 0;
}

}  // namespace tsy
