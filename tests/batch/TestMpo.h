#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tsy::test {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& b, std::size_t at, std::uint64_t v, int n, bool big = false) {
    for (int i = 0; i < n; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> 8 * (big ? n - 1 - i : i));
}

// A TIFF IFD at `at` in b (grown to fit) of entries (tag, type, count,
// value), then a zero next-IFD link.
inline void PutIfd(Bytes& b, std::size_t at,
                   const std::vector<std::array<std::uint32_t, 4>>& entries, bool big = false) {
    if (b.size() < at + 6 + 12 * entries.size()) b.resize(at + 6 + 12 * entries.size());
    Put(b, at, entries.size(), 2, big);
    for (std::size_t i = 0; i < entries.size(); ++i)
        for (int f = 0; f < 4; ++f)
            Put(b, at + 2 + 12 * i + (f < 2 ? 2 * f : 4 * f - 4), entries[i][f], f < 2 ? 2 : 4,
                big);
}

// How two JPEG streams are joined; the defaults give what a stereo camera
// writes: image 1 starts with an APP2 "MPF" index whose two MP entries give
// image 1's size and image 2's size and offset, counted from the index's
// TIFF header. Without an index a reader has to find image 2 by scanning.
struct MpoParts {
    bool big = false;
    std::uint32_t ifdGap = 0;  // index IFD at 8 + ifdGap
    int extras = 0;            // ImageUIDList and TotalFrames: 1 before MPEntry, 2 after
    bool mpf = true;
    Bytes thumbnail = {};                   // in an EXIF APP1 before the index
    std::size_t pad = 0;                    // COM bytes in image 1's header
    Bytes gap = {};                         // bytes between the two images
    std::int64_t size1 = -1, offset2 = -1;  // -1: the true values
    std::uint32_t type2 = 0x020002;         // image 2's MP type: a disparity view
};

struct MpoFile {
    Bytes file;
    std::size_t image2 = 0, size1 = 0, mpStart = 0, thumb = 0;  // offsets in file
};

inline MpoFile BuildMpo(const Bytes& view1, const Bytes& view2, const MpoParts& s = {}) {
    MpoFile m;
    Bytes& f = m.file = {0xFF, 0xD8};
    auto segment = [&f](std::uint8_t code, const Bytes& payload) {
        const std::size_t len = payload.size() + 2;
        f.insert(f.end(), {0xFF, code, std::uint8_t(len >> 8), std::uint8_t(len)});
        f.insert(f.end(), payload.begin(), payload.end());
    };
    if (!s.thumbnail.empty()) {
        const std::uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
        Bytes app1 = s.thumbnail;
        app1.insert(app1.begin(), std::begin(exif), std::end(exif));
        m.thumb = f.size() + 4 + sizeof exif;
        segment(0xE1, app1);
    }
    std::size_t entryAt = 0;
    if (s.mpf) {
        const std::size_t ifd = 8 + s.ifdGap, list = ifd + 6 + 12 * (s.extras ? 5 : 3);
        std::vector<std::array<std::uint32_t, 4>> tags = {
            {0xB000, 7, 4, s.big ? 0x30313030u : 0x30303130u},  // "0100"
            {0xB001, 4, 1, 2},
            {0xB002, 7, 32, std::uint32_t(list)}};
        const std::array<std::uint32_t, 4> uids = {0xB003, 7, 66, std::uint32_t(list + 32)},
                                           frames = {0xB004, 4, 1, 1};
        if (s.extras) tags.insert(s.extras == 1 ? tags.begin() + 2 : tags.end(), {uids, frames});
        Bytes mp(list + 32 + (s.extras ? 66 : 0), 0);
        std::memcpy(mp.data(), s.big ? "MM\0*" : "II*\0", 4);
        Put(mp, 4, ifd, 4, s.big);
        PutIfd(mp, ifd, tags, s.big);
        m.mpStart = f.size() + 8;
        entryAt = m.mpStart + list;
        mp.insert(mp.begin(), {'M', 'P', 'F', 0});
        segment(0xE2, mp);
    }
    for (std::size_t left = s.pad, n; left > 0; left -= n)
        segment(0xFE, Bytes(n = left < 65533 ? left : 65533, 'c'));
    f.insert(f.end(), view1.begin() + 2, view1.end());  // view 1 without its SOI
    m.size1 = f.size();
    f.insert(f.end(), s.gap.begin(), s.gap.end());
    m.image2 = f.size();
    f.insert(f.end(), view2.begin(), view2.end());
    if (s.mpf) {
        Put(f, entryAt, 0x20020002, 4, s.big);  // representative, disparity image
        Put(f, entryAt + 4, s.size1 < 0 ? m.size1 : std::uint64_t(s.size1), 4, s.big);
        Put(f, entryAt + 16, s.type2, 4, s.big);
        Put(f, entryAt + 20, view2.size(), 4, s.big);
        Put(f, entryAt + 24, s.offset2 < 0 ? m.image2 - m.mpStart : std::uint64_t(s.offset2), 4,
            s.big);
    }
    return m;
}

inline Bytes JoinAsMpo(const Bytes& view1, const Bytes& view2, bool withIndex = true) {
    return BuildMpo(view1, view2, {.mpf = withIndex}).file;
}

}  // namespace tsy::test
