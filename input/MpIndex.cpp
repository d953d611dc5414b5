#include "input/MpIndex.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "input/JpegDecoder.h"

namespace tsy {

namespace {

std::uint64_t TiffTypeSize(std::uint32_t type) {
    // BYTE ASCII SHORT LONG RATIONAL SBYTE UNDEFINED SSHORT SLONG SRATIONAL FLOAT DOUBLE
    static constexpr std::uint8_t kSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < std::size(kSize) ? kSize[type] : 0;
}

}  // namespace

std::vector<MpEntry> ReadMpEntries(const JpegHeaders& walk) {
    std::vector<MpEntry> list;
    TiffData t({}, false);
    std::uint64_t entries;
    std::uint32_t count;
    if (!TiffData::Open(walk.mp, t) || !t.FirstIfd(entries, count)) return list;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t e = entries + 12 * std::uint64_t(i);
        std::uint32_t tag = 0, type = 0, n = 0, at = 0;
        if (!t.U16(e, tag) || tag != 0xB002) continue;  // MPEntry
        if (!t.U16(e + 2, type) || !t.U32(e + 4, n) || !t.U32(e + 8, at)) return list;
        const std::uint64_t bytes = std::uint64_t(n) * TiffTypeSize(type);
        if (bytes < 16 || at > t.size() || t.size() - at < bytes) return list;
        for (std::uint64_t k = 0; k + 16 <= bytes; k += 16) {
            std::uint32_t attribute = 0, size = 0, offset = 0;
            t.U32(at + k, attribute);
            t.U32(at + k + 4, size);
            t.U32(at + k + 8, offset);
            // Offsets count from the MP header; the first picture's is 0.
            const std::uint64_t start = k == 0 || offset == 0 ? 0 : walk.mpStart + offset;
            list.push_back({attribute, size, start});
        }
        return list;
    }
    return list;
}

MpPair FindMpPair(std::span<const std::uint8_t> file, const JpegHeaders& walk) {
    const std::vector<MpEntry> entries = ReadMpEntries(walk);
    std::vector<MpEntry> pictures;
    for (const MpEntry& e : entries)
        if (!e.IsPreview()) pictures.push_back(e);
    if (pictures.size() < 2 || entries.front().IsPreview()) return {};
    MpPair p;
    if (pictures.size() > 2) {
        p.reason = "the MP index lists " + std::to_string(pictures.size()) +
                   " pictures; read as the first";
        return p;
    }
    const auto usable = [&](std::uint64_t at) {
        return at >= walk.end && at < file.size() && file.size() - at >= 2 && file[at] == 0xFF &&
               file[at + 1] == 0xD8;
    };
    std::uint64_t at = pictures[1].start;
    if (!usable(at)) at = entries.front().size;
    if (!usable(at)) {
        p.reason = "the MP index does not point at its second picture; read as one picture";
        return p;
    }
    const auto view2 = file.subspan(at);
    if (IsGainMap(view2)) return {};
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    if (!ReadJpegSize(file, w1, h1) || !ReadJpegSize(view2, w2, h2) || w1 != w2 || h1 != h2) {
        p.reason = "the second picture (" + std::to_string(w2) + " x " + std::to_string(h2) +
                   ") differs in size from the first (" + std::to_string(w1) + " x " +
                   std::to_string(h1) + "); read as one picture";
        return p;
    }
    p.found = true;
    p.start2 = at;
    return p;
}

bool IsGainMap(std::span<const std::uint8_t> jpeg) {
    const auto head = jpeg.first(std::min(WalkJpegHeaders(jpeg).end, jpeg.size()));
    const auto has = [&](std::string_view s) {
        return std::search(head.begin(), head.end(), s.begin(), s.end()) != head.end();
    };
    return has("hdrgm:") || has("urn:iso:std:iso:ts:21496:-1");
}

MpGeometry ReadMpGeometry(const JpegHeaders& walk) {
    MpGeometry g;
    TiffData t({}, false);
    std::uint64_t entries;
    std::uint32_t count, next, n;
    // The index IFD links to the attribute IFD; a picture without index
    // starts with the attributes.
    if (!TiffData::Open(walk.mp, t) || !t.FirstIfd(entries, count)) return g;
    if (t.U32(entries + 12 * std::uint64_t(count), next) && next != 0 && t.U16(next, n) &&
        (t.size() - next - 2) / 12 >= n)
        entries = next + 2, count = n;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t e = entries + 12 * std::uint64_t(i);
        std::uint32_t tag = 0, at = 0, num = 0, den = 0;
        if (!t.U16(e, tag) || (tag != 0xB205 && tag != 0xB206)) continue;
        if (!t.U32(e + 8, at) || !t.U32(at, num) || !t.U32(at + 4, den)) continue;
        if (den == 0 || (num == 0xFFFFFFFF && den == 0xFFFFFFFF)) continue;  // unknown
        if (tag == 0xB205)
            g.convergenceDegrees = double(std::int32_t(num)) / double(std::int32_t(den));
        else
            g.baselineMetres = double(num) / double(den);
    }
    return g;
}

}  // namespace tsy
