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

// The JPEG with an APP1 Exif segment in front whose IFD0 holds one entry
// (tag, type, count, a 16-bit value), cut bytes short of its end.
inline std::vector<std::uint8_t> WithExif(const std::vector<std::uint8_t>& jpeg, bool big,
                                          std::uint16_t tag, std::uint16_t type,
                                          std::uint32_t count, std::uint16_t value,
                                          std::size_t cut = 0) {
    std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0};
    if (big) tiff = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1};
    auto put = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            tiff.push_back(std::uint8_t(v >> 8 * (big ? n - 1 - i : i)));
    };
    put(tag, 2), put(type, 2), put(count, 4), put(value, 2), put(0, 2);
    put(0, 4);  // no next IFD
    tiff.resize(tiff.size() - cut);
    const std::size_t length = 2 + 6 + tiff.size();
    std::vector<std::uint8_t> f = {
        0xFF, 0xD8, 0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)};
    for (const char c : {'E', 'x', 'i', 'f', '\0', '\0'})
        f.push_back(std::uint8_t(c));
    for (const std::uint8_t b : tiff)
        f.push_back(b);
    for (std::size_t i = 2; i < jpeg.size(); ++i)
        f.push_back(jpeg[i]);
    return f;
}

// A camera picture with this Exif orientation.
inline std::vector<std::uint8_t> WithOrientation(const std::vector<std::uint8_t>& jpeg, int value) {
    return WithExif(jpeg, false, 0x0112, 3, 1, std::uint16_t(value));
}

}  // namespace tsy::test
