#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <vector>

namespace tsy::test {

// RGB pixels of a smooth pattern that JPEG keeps close to the original.
inline std::vector<std::uint8_t> Pattern(int w, int h, int seed) {
    std::vector<std::uint8_t> rgb(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &rgb[(std::size_t(y) * w + x) * 3];
            p[0] = std::uint8_t(x * 200 / w + seed * 10);
            p[1] = std::uint8_t(y * 200 / h + 20);
            p[2] = std::uint8_t((x + y) * 100 / (w + h) + seed * 30);
        }
    return rgb;
}

// Compresses pixels of the given TurboJPEG format (3 or 4 bytes, or gray).
inline std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& px, int w, int h,
                                          int format, int subsamp, int quality = 95) {
    tjhandle tj = tjInitCompress();
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> out;
    if (tjCompress2(tj, px.data(), w, 0, h, format, &buf, &size, subsamp, quality, 0) == 0)
        out.assign(buf, buf + size);
    tjFree(buf);
    tjDestroy(tj);
    return out;
}

inline std::vector<std::uint8_t> MakeJpeg(int w, int h, int seed) {
    return Compress(Pattern(w, h, seed), w, h, TJPF_RGB, TJSAMP_420);
}

}  // namespace tsy::test
