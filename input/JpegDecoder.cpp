#include "input/JpegDecoder.h"

#include <jpeglib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <csetjmp>
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

struct Frame {
    int width = 0, height = 0;
    bool arithmetic = false;
};

// The frame header, found by walking the segments in front of it.
bool ReadFrame(std::span<const std::uint8_t> d, Frame& frame) {
    if (d.size() < 4 || d[0] != 0xFF || d[1] != 0xD8) return false;
    std::size_t pos = 2;
    while (pos + 4 <= d.size()) {
        if (d[pos] != 0xFF) return false;
        const std::uint8_t m = d[pos + 1];
        if (m == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (m == 0xD9 || m == 0xDA) return false;  // no frame before the data
        const std::size_t length = std::size_t(d[pos + 2]) << 8 | d[pos + 3];
        const bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
        if (sof && pos + 9 <= d.size()) {
            frame.height = d[pos + 5] << 8 | d[pos + 6];
            frame.width = d[pos + 7] << 8 | d[pos + 8];
            frame.arithmetic = m >= 0xC9;
            return frame.width > 0 && frame.height > 0;
        }
        if (length < 2) return false;
        pos += 2 + length;
    }
    return false;
}

// Huffman coding spends at least one bit on every 8 x 8 block of a component
// it codes, and no component has fewer blocks than a sixteenth of the
// picture's (sampling factors are at most 4 each way). Data shorter than that
// cannot hold the picture whatever it is, so it is refused before the decoder
// allocates for the whole picture: a 632-byte file claiming 14000 x 14000
// pixels cost 0.8 to 1.5 GB before it failed. A picture cut short within
// that bound still decodes with a warning, as before. Arithmetic coding has
// no such floor, and decoding in strips would not help the progressive
// decoder, which holds every coefficient of the picture anyway.
bool TooShortFor(std::span<const std::uint8_t> data, const Frame& frame) {
    const std::uint64_t minBytes = std::uint64_t(frame.width) * std::uint64_t(frame.height) / 8192;
    return !frame.arithmetic && data.size() < minBytes;
}

// What must survive a longjmp out of libjpeg lives here, not in locals of
// the function that calls setjmp.
struct HeaderJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    std::jmp_buf jump;
};

[[noreturn]] void HeaderFailed(j_common_ptr cinfo) {
    std::longjmp(static_cast<HeaderJob*>(cinfo->client_data)->jump, 1);
}

void HeaderWarning(j_common_ptr, int) {}

std::uint64_t CoefficientBytes(HeaderJob& job, std::span<const std::uint8_t> data) {
    jpeg_decompress_struct& cinfo = job.cinfo;
    cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = HeaderFailed;
    job.err.emit_message = HeaderWarning;
    cinfo.client_data = &job;
    if (setjmp(job.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return 0;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    std::uint64_t bytes = 0;
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK && jpeg_has_multiple_scans(&cinfo))
        for (int c = 0; c < cinfo.num_components; ++c) {
            // The decoder's arrays round each component up to whole MCUs.
            const jpeg_component_info& k = cinfo.comp_info[c];
            const auto up = [](std::uint64_t n, std::uint64_t m) { return (n + m - 1) / m * m; };
            bytes += up(k.width_in_blocks, std::uint64_t(k.h_samp_factor)) *
                     up(k.height_in_blocks, std::uint64_t(k.v_samp_factor)) * sizeof(JBLOCK);
        }
    jpeg_destroy_decompress(&cinfo);
    return bytes;
}

bool Fail(PictureBuffer& out, std::string& error, std::string text) {
    out.clear();
    error = std::move(text);
    return false;
}

}  // namespace

bool DecodeJpeg(std::span<const std::uint8_t> data, PictureBuffer& out, std::string& error,
                std::int64_t maxPixels, bool refuseDamaged) {
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

    if (Frame frame; ReadFrame(data, frame) && TooShortFor(data, frame)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "the file is far too short for a picture of %d x %d pixels (%zu bytes): "
                      "damaged or cut off",
                      frame.width, frame.height, data.size());
        return Fail(out, error, text);
    }

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
    // Stopping at the first damage spares the rows after it: the decoder
    // would fill the whole picture in for a file cut short, as large as its
    // header claims.
    const bool stop = cmyk || refuseDamaged;
    const int flags = TJFLAG_LIMITSCANS | (stop ? TJFLAG_STOPONWARNING : 0);
    if (tjDecompress2(tj.get(), data.data(), size, bits, w, 0, h, format, flags) != 0) {
        std::string text = tjGetErrorStr2(tj.get());
        if (refuseDamaged && tjGetErrorCode(tj.get()) == TJERR_WARNING)
            text = "damaged picture: " + text;
        if (stop || *lastX != 0xFF) return Fail(out, error, std::move(text));
        error = std::move(text);
    }
    if (cmyk) CmykToBgrx(bits, std::size_t(w) * std::size_t(h));
    out.touch();
    return true;
}

std::uint64_t JpegDecoderBytes(std::span<const std::uint8_t> data) {
    HeaderJob job{};
    return CoefficientBytes(job, data);
}

bool ReadJpegSize(std::span<const std::uint8_t> data, int& width, int& height) {
    Frame frame;
    if (!ReadFrame(data, frame)) return false;
    width = frame.width;
    height = frame.height;
    return true;
}

}  // namespace tsy
