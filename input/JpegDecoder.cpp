#include "input/JpegDecoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

namespace tsy {

namespace {

struct Destroy {
    void operator()(void* h) const noexcept { tjDestroy(h); }
};
using Handle = std::unique_ptr<void, Destroy>;

std::string TooLarge(int w, int h, std::int64_t limit) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Picture too large: %d x %d pixels (%.1f megapixels; at most %.1f allowed)", w, h,
                  double(w) * h / 1e6, double(limit) / 1e6);
    return text;
}

// TurboJPEG's CMYK is Adobe's inverted form: 255 means no ink.
void CmykToBgrx(std::uint8_t* p, std::size_t pixels) noexcept {
    for (std::size_t i = 0; i < pixels; ++i, p += 4) {
        const unsigned c = p[0], m = p[1], y = p[2], k = p[3];
        p[0] = std::uint8_t((y * k + 127) / 255);
        p[1] = std::uint8_t((m * k + 127) / 255);
        p[2] = std::uint8_t((c * k + 127) / 255);
        p[3] = 0xFF;
    }
}

bool Fail(PictureBuffer& out, std::string& error, std::string text) {
    out.clear();
    error = std::move(text);
    return false;
}

}  // namespace

bool DecodeJpeg(std::span<const std::uint8_t> data, PictureBuffer& out, std::string& error,
                std::int64_t maxPixels) {
    error.clear();
    if (data.empty()) return Fail(out, error, "No JPEG data");
    // One handle per call: decodes may run on several threads, and a handle
    // keeps state from a failed call.
    Handle tj(tjInitDecompress());
    if (!tj) return Fail(out, error, tjGetErrorStr2(nullptr));

    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    const auto size = static_cast<unsigned long>(data.size());
    // A header with a warning or an unusual sampling still has its size
    // filled in and usually decodes; the decode itself has the last word.
    if (tjDecompressHeader3(tj.get(), data.data(), size, &w, &h, &subsamp, &colorspace) != 0 &&
        (w <= 0 || h <= 0))
        return Fail(out, error, tjGetErrorStr2(tj.get()));
    if (w <= 0 || h <= 0) return Fail(out, error, "JPEG data ends before the picture size");
    if (std::int64_t(w) * h > std::min(maxPixels, PictureBuffer::kMaxPixels))
        return Fail(out, error, TooLarge(w, h, std::min(maxPixels, PictureBuffer::kMaxPixels)));

    std::uint8_t* bits;
    try {
        bits = out.assign(w, h);
    } catch (const std::bad_alloc&) {
        char text[96];
        std::snprintf(text, sizeof text, "Not enough memory for a picture of %d x %d pixels", w, h);
        return Fail(out, error, text);
    }
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    // BGRA has the layout of BGRX and, unlike it, promises 0xFF in the
    // fourth byte. That also tells whether the last row was written: rows
    // come in order, so then the decoder got through the whole picture.
    std::uint8_t* lastX = bits + out.byteCount() - 1;
    *lastX = 0;
    const int format = cmyk ? TJPF_CMYK : TJPF_BGRA;
    // LIMITSCANS refuses crafted progressive files that would take minutes.
    const int flags = TJFLAG_LIMITSCANS | (cmyk ? TJFLAG_STOPONWARNING : 0);
    if (tjDecompress2(tj.get(), data.data(), size, bits, w, 0, h, format, flags) != 0) {
        std::string text = tjGetErrorStr2(tj.get());
        if (cmyk || *lastX != 0xFF) return Fail(out, error, std::move(text));
        error = std::move(text);
    }
    if (cmyk) CmykToBgrx(bits, std::size_t(w) * std::size_t(h));
    out.touch();
    return true;
}

}  // namespace tsy
