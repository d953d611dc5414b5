#include "input/JpegStream.h"

#include <algorithm>
#include <cstring>

namespace tsy {

std::size_t NextJpegStart(std::span<const std::uint8_t> f, std::size_t from, std::size_t to) {
    const std::uint8_t* base = f.data();
    to = std::min(to, f.size());
    while (from < to) {
        const void* hit = std::memchr(base + from, 0xFF, to - from);
        if (!hit) break;
        const std::size_t i = std::size_t(static_cast<const std::uint8_t*>(hit) - base);
        if (f.size() - i >= 3 && base[i + 1] == 0xD8 && base[i + 2] == 0xFF) return i;
        from = i + 1;
    }
    return 0;
}

namespace {

// The first marker after entropy-coded data starting at p: an 0xFF that is
// neither a stuffed zero, a restart marker nor a fill byte. n when none.
std::size_t SkipEntropyData(const std::uint8_t* f, std::size_t p, std::size_t n) {
    while (p < n) {
        const void* hit = std::memchr(f + p, 0xFF, n - p);
        if (!hit) return n;
        const std::size_t i = std::size_t(static_cast<const std::uint8_t*>(hit) - f);
        if (i + 1 >= n) return n;
        const std::uint8_t c = f[i + 1];
        if (c == 0x00 || (c >= 0xD0 && c <= 0xD7))
            p = i + 2;
        else if (c == 0xFF)
            p = i + 1;
        else
            return i;
    }
    return n;
}

}  // namespace

JpegStreamSpan JpegStreamEnd(std::span<const std::uint8_t> file, std::size_t start) {
    const std::uint8_t* f = file.data();
    const std::size_t n = file.size();
    const JpegStreamSpan broken, cut{0, true};
    if (start > n || n - start < 2 || f[start] != 0xFF || f[start + 1] != 0xD8) return broken;
    std::size_t p = start + 2;
    while (p < n) {
        if (f[p] != 0xFF) return broken;
        if (p + 1 == n) return cut;
        const std::uint8_t code = f[p + 1];
        if (code == 0xFF) {  // fill byte before a marker
            ++p;
            continue;
        }
        if (code == 0xD9) return {p + 2, false};
        if (code == 0x00 || code == 0xD8) return broken;
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
            p += 2;
            continue;
        }
        if (n - p < 4) return cut;
        const std::size_t len = std::size_t(f[p + 2]) << 8 | f[p + 3];
        if (len < 2) return broken;
        if (n - p - 2 < len) return cut;
        p += 2 + len;
        if (code == 0xDA) p = SkipEntropyData(f, p, n);
    }
    return cut;
}

}  // namespace tsy
