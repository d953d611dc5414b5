#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace tsy::test {

// Two JPEG streams joined as a stereo camera stores them. With an index,
// image 1 starts with an APP2 "MPF" segment (little-endian) whose two MP
// entries give image 1's size and image 2's size and offset, the offset
// counted from the segment's TIFF header. Without one, a reader has to find
// image 2 by scanning.
inline std::vector<std::uint8_t> JoinAsMpo(const std::vector<std::uint8_t>& view1,
                                           const std::vector<std::uint8_t>& view2,
                                           bool withIndex = true) {
    std::vector<std::uint8_t> f;
    if (!withIndex) {
        f = view1;
        f.insert(f.end(), view2.begin(), view2.end());
        return f;
    }
    auto put = [](std::uint8_t* at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            at[i] = std::uint8_t(v >> (8 * i));
    };
    // TIFF header, an IFD of three entries (version, count, entry list),
    // the next-IFD link, then two 16-byte MP entries.
    constexpr std::uint32_t kIfd = 8, kList = kIfd + 2 + 3 * 12 + 4;
    std::vector<std::uint8_t> mp(kList + 32, 0);
    std::memcpy(mp.data(), "II*\0", 4);
    put(&mp[4], kIfd, 4);
    put(&mp[kIfd], 3, 2);
    const std::uint32_t entries[3][4] = {
        {0xB000, 7, 4, 0x30303130},  // "0100"
        {0xB001, 4, 1, 2},
        {0xB002, 7, 32, kList},
    };
    for (int i = 0; i < 3; ++i) {
        std::uint8_t* e = &mp[kIfd + 2 + 12 * i];
        put(e, entries[i][0], 2);
        put(e + 2, entries[i][1], 2);
        put(e + 4, entries[i][2], 4);
        put(e + 8, entries[i][3], 4);
    }
    const std::size_t segment = 2 + 4 + mp.size();  // length field, "MPF\0", payload
    f = {0xFF, 0xD8, 0xFF, 0xE2, std::uint8_t(segment >> 8), std::uint8_t(segment)};
    f.insert(f.end(), {'M', 'P', 'F', 0});
    const std::uint32_t tiffAt = std::uint32_t(f.size());
    f.insert(f.end(), mp.begin(), mp.end());
    f.insert(f.end(), view1.begin() + 2, view1.end());  // view 1 without its SOI
    const auto size1 = std::uint32_t(f.size());
    f.insert(f.end(), view2.begin(), view2.end());
    std::uint8_t* list = &f[tiffAt + kList];
    put(list, 0x20020002, 4);  // representative, disparity image
    put(list + 4, size1, 4);
    put(list + 16, 0x00020002, 4);
    put(list + 20, std::uint32_t(view2.size()), 4);
    put(list + 24, size1 - tiffAt, 4);
    return f;
}

}  // namespace tsy::test
