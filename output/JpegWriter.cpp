#include "output/JpegWriter.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/ReplaceFile.h"
#include "base/WorkerPool.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace tsy {

namespace {

static_assert(JMSG_LASTMSGCODE < kJpegFileError, "file error code must not clash with libjpeg's");

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg reports fatal errors through this hook and must not return into it.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void SilentMessage(j_common_ptr, int) {}

// Grows a malloc'd buffer; libjpeg's own memory destination can lose its
// buffer when an error jumps out of the middle of a picture.
struct MemoryDestination {
    jpeg_destination_mgr pub;
    unsigned char* data;
    std::size_t capacity;
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->data;
    dest->pub.free_in_buffer = dest->capacity;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    const std::size_t grown = dest->capacity * 2;
    auto* bigger = static_cast<unsigned char*>(std::realloc(dest->data, grown));
    if (!bigger) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 99);
    dest->data = bigger;
    dest->pub.next_output_byte = bigger + dest->capacity;
    dest->pub.free_in_buffer = grown - dest->capacity;
    dest->capacity = grown;
    return TRUE;
}

void TermDestination(j_compress_ptr) {}

// Everything that must survive a longjmp lives here, not in locals of the
// function that calls setjmp.
struct Job {
    const JpegRows* source;
    std::uint8_t* scratch;  // a row for the source to fill
    int quality;
    JpegChroma chroma;
    int firstRow;  // the rows this run encodes
    int rows;
    bool restartEachRow;
    jpeg_compress_struct cinfo;
    ErrorManager err;
    MemoryDestination dest;
};

int Compress(Job& job) {
    jpeg_compress_struct& cinfo = job.cinfo;
    cinfo.err = jpeg_std_error(&job.err.pub);
    job.err.pub.error_exit = ErrorExit;
    job.err.pub.emit_message = SilentMessage;
    if (setjmp(job.err.jump)) {
        const int code = job.err.pub.msg_code;
        jpeg_destroy_compress(&cinfo);
        return code != 0 ? code : JERR_BAD_STATE;
    }
    jpeg_create_compress(&cinfo);
    // About what quality 95 needs, so the buffer rarely grows.
    job.dest.capacity = std::clamp<std::size_t>(
        std::size_t(std::max(job.source->width, 0)) * std::size_t(job.rows),
        std::size_t(1) << 16, std::size_t(1) << 26);
    job.dest.data = static_cast<unsigned char*>(std::malloc(job.dest.capacity));
    if (!job.dest.data) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 98);
    job.dest.pub.init_destination = InitDestination;
    job.dest.pub.empty_output_buffer = EmptyOutputBuffer;
    job.dest.pub.term_destination = TermDestination;
    cinfo.dest = &job.dest.pub;

    cinfo.image_width = JDIMENSION(job.source->width > 0 ? job.source->width : 0);
    cinfo.image_height = JDIMENSION(job.rows > 0 ? job.rows : 0);
    // The buffer's own B,G,R,X order, so rows go in without conversion.
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, job.quality, TRUE);
    const int h = job.chroma == JpegChroma::k420 ? 2 : 1;
    cinfo.comp_info[0].h_samp_factor = h;
    cinfo.comp_info[0].v_samp_factor = h;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (job.restartEachRow) cinfo.restart_in_rows = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint8_t* src =
            job.source->row(job.firstRow + int(cinfo.next_scanline), job.scratch);
        JSAMPROW row = const_cast<JSAMPROW>(src);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

// A file as libjpeg left it in its malloc'd destination.
struct Encoded {
    unsigned char* data = nullptr;
    std::size_t size = 0;
    Encoded() = default;
    Encoded(const Encoded&) = delete;
    Encoded& operator=(const Encoded&) = delete;
    ~Encoded() { std::free(data); }
    void release() {
        std::free(data);
        data = nullptr;
    }
};

// One libjpeg run over rows [firstRow, firstRow + rows): its whole file.
int EncodeRows(const JpegRows& source, int quality, JpegChroma chroma, int firstRow, int rows,
               bool restartEachRow, Encoded& out) {
    std::vector<std::uint8_t> scratch;
    try {
        if (source.width > 0 && source.width <= JPEG_MAX_DIMENSION)
            scratch.resize(std::size_t(source.width) * 4);
    } catch (const std::bad_alloc&) {
        return JERR_OUT_OF_MEMORY;
    }
    Job job{};
    job.source = &source;
    job.scratch = scratch.data();
    job.quality = quality;
    job.chroma = chroma;
    job.firstRow = firstRow;
    job.rows = rows;
    job.restartEachRow = restartEachRow;
    const int code = Compress(job);
    if (code != 0) {
        std::free(job.dest.data);
        return code;
    }
    out.data = job.dest.data;
    out.size = job.dest.capacity - job.dest.pub.free_in_buffer;
    return 0;
}

// Where the entropy-coded data of a libjpeg file starts (just after the SOS
// segment), and the offset of its SOF0 height field; 0 when not found.
struct Layout {
    std::size_t scan = 0;
    std::size_t height = 0;
};

Layout LayoutOf(const Encoded& f) {
    Layout l;
    for (std::size_t at = 2; at + 4 <= f.size && f.data[at] == 0xFF;) {
        const std::uint8_t marker = f.data[at + 1];
        const std::size_t length = std::size_t(f.data[at + 2]) << 8 | f.data[at + 3];
        if (marker == 0xC0) l.height = at + 5;
        at += 2 + length;
        if (marker == 0xDA) {
            l.scan = at;
            break;
        }
    }
    return l;
}

// Strips of whole MCU rows are encoded at once, each as its own libjpeg run
// with a restart interval of one MCU row, and spliced into one scan. This
// works because at a restart marker the decoder resets exactly what a fresh
// run starts from: DC predictions are zero and the bit buffer begins on a
// byte boundary, with the previous interval padded by 1-bits just as a run
// pads before its EOI. A run numbers its markers RST0..7 from 0 at its first
// row; a strip of a multiple of 8 MCU rows therefore starts at a global
// interval divisible by 8, so its own numbers are already the global ones,
// and between two strips goes RST7 (interval 8k-1 ends before a strip). The
// runs share the quality's tables, so the first run's headers, with the
// whole height in SOF0, serve for all. The result equals, byte for byte, one
// run over the whole picture with the same restart interval.
int EncodeStrips(const JpegRows& source, int quality, JpegChroma chroma, int threads, int strips,
                 int stripRows, const JpegSink& sink) {
    const int height = source.height;
    static const std::uint8_t kRst7[] = {0xFF, 0xD7}, kEoi[] = {0xFF, 0xD9};
    // A wave of strips at a time goes out in order as soon as it is done, so
    // no more than a wave of coded data is held, never the whole file.
    for (int wave = 0; wave < strips; wave += threads) {
        const int n = std::min(threads, strips - wave);
        std::vector<Encoded> parts(static_cast<std::size_t>(n));
        std::vector<int> codes(std::size_t(n), 0);
        ParallelFor(n, threads, [&](int i) {
            const int first = (wave + i) * stripRows;
            codes[std::size_t(i)] =
                EncodeRows(source, quality, chroma, first,
                           std::min(stripRows, height - first), true, parts[std::size_t(i)]);
        });
        for (int code : codes)
            if (code != 0) return code;
        for (int i = 0; i < n; ++i) {
            Encoded& part = parts[std::size_t(i)];
            const Layout layout = LayoutOf(part);
            if (layout.scan == 0 || layout.height == 0 || part.size < 2) return JERR_BAD_STATE;
            bool ok;
            if (wave + i == 0) {  // headers and all, without EOI, for the whole height
                part.data[layout.height] = std::uint8_t(height >> 8);
                part.data[layout.height + 1] = std::uint8_t(height);
                ok = sink(part.data, part.size - 2);
            } else {
                ok = sink(kRst7, 2) &&
                     sink(part.data + layout.scan, part.size - 2 - layout.scan);
            }
            part.release();
            if (!ok) return kJpegFileError;
        }
    }
    return sink(kEoi, 2) ? 0 : kJpegFileError;
}

int EncodeSource(const JpegRows& source, int quality, JpegChroma chroma, const JpegSink& sink,
                 int threads) {
    if (quality > 100) quality = 100;
    if (quality < 0) quality = 0;
    if (threads <= 0) threads = HardwareThreads();
    // Eight MCU rows per unit keep the restart numbers of every strip global.
    const int unit = 8 * (chroma == JpegChroma::k420 ? 16 : 8);
    const int height = source.height;
    const bool fits = source.width > 0 && source.width <= JPEG_MAX_DIMENSION &&
                      height <= JPEG_MAX_DIMENSION;
    const int units = fits ? (height + unit - 1) / unit : 0;
    // A few strips per thread even out cores that other work slows down.
    const int strips = std::min(units, threads * 4);
    if (threads < 2 || strips < 2) {
        Encoded whole;
        const int code = EncodeRows(source, quality, chroma, 0, height, false, whole);
        if (code != 0) return code;
        return sink(whole.data, whole.size) ? 0 : kJpegFileError;
    }
    const int stripRows = (units + strips - 1) / strips * unit;
    return EncodeStrips(source, quality, chroma, threads, (height + stripRows - 1) / stripRows,
                        stripRows, sink);
}

}  // namespace

int EncodeJpeg(const JpegRows& source, int quality, JpegChroma chroma, const JpegSink& sink,
               int threads, const JpegHeader& header) {
    if (header.jfif && header.segments.empty())
        return EncodeSource(source, quality, chroma, sink, threads);
    for (const JpegSegment& s : header.segments)
        if (s.data.size() > 0xFFFF - 2) return JERR_BAD_LENGTH;
    // Both encoder paths hand out SOI, APP0 and the tables in their first
    // piece; the segments are spliced in there.
    bool first = true;
    return EncodeSource(
        source, quality, chroma,
        [&](const std::uint8_t* data, std::size_t size) {
            if (!first) return sink(data, size);
            first = false;
            std::size_t tables = 2;
            if (size >= 6 && data[2] == 0xFF && data[3] == 0xE0)
                tables = 4 + (std::size_t(data[4]) << 8 | data[5]);
            if (size < tables || !sink(data, 2)) return false;
            if (header.jfif && !sink(data + 2, tables - 2)) return false;
            for (const JpegSegment& s : header.segments) {
                const std::size_t length = s.data.size() + 2;
                const std::uint8_t head[4] = {0xFF, s.marker, std::uint8_t(length >> 8),
                                              std::uint8_t(length)};
                if (!sink(head, 4) || !sink(s.data.data(), s.data.size())) return false;
            }
            return sink(data + tables, size - tables);
        },
        threads);
}

int EncodeJpeg(const PictureBuffer& picture, int quality, JpegChroma chroma,
               const JpegSink& sink, int threads, const JpegHeader& header) {
    std::vector<std::uint8_t> blackRow;
    try {
        // Only needed without picture, and only for a width libjpeg accepts.
        if (!picture.bits() && picture.width() > 0 && picture.width() <= JPEG_MAX_DIMENSION)
            blackRow.assign(std::size_t(picture.width()) * 4, 0);
    } catch (const std::bad_alloc&) {
        return JERR_OUT_OF_MEMORY;
    }
    const JpegRows rows{picture.width(), picture.height(), [&](int y, std::uint8_t*) {
                            return picture.bits() ? picture.row(y) : blackRow.data();
                        }};
    return EncodeJpeg(rows, quality, chroma, sink, threads, header);
}

int EncodeJpeg(const PictureBuffer& picture, int quality, JpegChroma chroma,
               const JpegSink& sink, int threads) {
    return EncodeJpeg(picture, quality, chroma, sink, threads, JpegHeader{});
}

int EncodeJpeg(const PictureBuffer& picture, int quality, JpegChroma chroma,
               std::vector<std::uint8_t>& jpeg, int threads) {
    jpeg.clear();
    try {
        const int code = EncodeJpeg(
            picture, quality, chroma,
            [&](const std::uint8_t* data, std::size_t size) {
                jpeg.insert(jpeg.end(), data, data + size);
                return true;
            },
            threads);
        if (code != 0) jpeg.clear();
        return code;
    } catch (const std::bad_alloc&) {
        jpeg.clear();
        return JERR_OUT_OF_MEMORY;
    }
}

int SaveJpeg(const PictureBuffer& picture, const std::string& path, int quality, int threads) {
    FileReplacer file(path);
    std::string error;
    if (!file.Open(error)) return kJpegFileError;
    const int code = EncodeJpeg(
        picture, quality, JpegChroma::k444,
        [&](const std::uint8_t* data, std::size_t size) { return file.Write(data, size, error); },
        threads);
    if (code != 0) return code;
    return file.Commit(error) ? 0 : kJpegFileError;
}

std::string JpegFailureText(int code) {
    return "Speicherung des Bildes fehlgeschlagen. GDI+ Error:" + std::to_string(code);
}

}  // namespace tsy
