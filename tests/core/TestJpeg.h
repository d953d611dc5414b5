#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "../batch/TestMpo.h"

namespace tsy::test {

// RGB pixels of a smooth pattern that JPEG keeps close to the original.
inline Bytes Pattern(int w, int h, int seed) {
    Bytes rgb(std::size_t(w) * h * 3);
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
inline Bytes Compress(const Bytes& px, int w, int h, int format, int subsamp, int quality = 95,
                      int flags = 0) {
    tjhandle tj = tjInitCompress();
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    Bytes out;
    if (tjCompress2(tj, px.data(), w, 0, h, format, &buf, &size, subsamp, quality, flags) == 0)
        out.assign(buf, buf + size);
    tjFree(buf);
    tjDestroy(tj);
    return out;
}

inline Bytes MakeJpeg(int w, int h, int seed) {
    return Compress(Pattern(w, h, seed), w, h, TJPF_RGB, TJSAMP_420);
}

// The JPEG with a segment (marker code, magic, payload) after its start.
inline Bytes WithSegment(const Bytes& jpeg, std::uint8_t code, std::string_view magic,
                         const Bytes& payload) {
    const std::size_t len = 2 + magic.size() + payload.size();
    Bytes f = {0xFF, 0xD8, 0xFF, code, std::uint8_t(len >> 8), std::uint8_t(len)};
    f.reserve(len + jpeg.size() + 2);  // also keeps g++ 12 from false bounds warnings
    f.insert(f.end(), magic.begin(), magic.end());
    f.insert(f.end(), payload.begin(), payload.end());
    f.insert(f.end(), jpeg.begin() + 2, jpeg.end());
    return f;
}

// The JPEG with an APP1 Exif segment in front whose IFD0 holds one entry
// (tag, type, count, a 16-bit value), cut bytes short of its end.
inline Bytes WithExif(const Bytes& jpeg, bool big, std::uint16_t tag, std::uint16_t type,
                      std::uint32_t count, std::uint16_t value, std::size_t cut = 0) {
    Bytes tiff = big ? Bytes{'M', 'M', 0, 42, 0, 0, 0, 8} : Bytes{'I', 'I', 42, 0, 8, 0, 0, 0};
    PutIfd(tiff, 8, {{tag, type, count, big ? std::uint32_t(value) << 16 : value}}, big);
    tiff.resize(tiff.size() - cut);
    return WithSegment(jpeg, 0xE1, {"Exif\0\0", 6}, tiff);
}

}  // namespace tsy::test
