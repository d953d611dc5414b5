#include "output/JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/ReplaceFile.h"

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
    const PictureBuffer* picture;
    const std::uint8_t* blackRow;
    int quality;
    JpegChroma chroma;
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
    job.dest.capacity = 1 << 16;
    job.dest.data = static_cast<unsigned char*>(std::malloc(job.dest.capacity));
    if (!job.dest.data) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 98);
    job.dest.pub.init_destination = InitDestination;
    job.dest.pub.empty_output_buffer = EmptyOutputBuffer;
    job.dest.pub.term_destination = TermDestination;
    cinfo.dest = &job.dest.pub;

    const PictureBuffer& pic = *job.picture;
    cinfo.image_width = JDIMENSION(pic.width() > 0 ? pic.width() : 0);
    cinfo.image_height = JDIMENSION(pic.height() > 0 ? pic.height() : 0);
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
    jpeg_start_compress(&cinfo, TRUE);
    const std::uint8_t* bits = pic.bits();
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint8_t* src = bits ? pic.row(int(cinfo.next_scanline)) : job.blackRow;
        JSAMPROW row = const_cast<JSAMPROW>(src);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

}  // namespace

int EncodeJpeg(const PictureBuffer& picture, int quality, JpegChroma chroma,
               std::vector<std::uint8_t>& jpeg) {
    jpeg.clear();
    if (quality > 100) quality = 100;
    if (quality < 0) quality = 0;
    std::vector<std::uint8_t> blackRow;
    try {
        // Only needed without picture, and only for a width libjpeg accepts.
        if (!picture.bits() && picture.width() > 0 && picture.width() <= JPEG_MAX_DIMENSION)
            blackRow.assign(std::size_t(picture.width()) * 4, 0);
    } catch (const std::bad_alloc&) {
        return JERR_OUT_OF_MEMORY;
    }
    Job job{};
    job.picture = &picture;
    job.blackRow = blackRow.data();
    job.quality = quality;
    job.chroma = chroma;
    int code = Compress(job);
    if (code == 0) {
        const std::size_t used = job.dest.capacity - job.dest.pub.free_in_buffer;
        try {
            jpeg.assign(job.dest.data, job.dest.data + used);
        } catch (const std::bad_alloc&) {
            code = JERR_OUT_OF_MEMORY;
        }
    }
    std::free(job.dest.data);
    return code;
}

int SaveJpeg(const PictureBuffer& picture, const std::string& path, int quality) {
    std::vector<std::uint8_t> jpeg;
    const int code = EncodeJpeg(picture, quality, JpegChroma::k444, jpeg);
    if (code != 0) return code;
    std::string error;
    return ReplaceFileWith(path, jpeg.data(), jpeg.size(), error) ? 0 : kJpegFileError;
}

std::string JpegFailureText(int code) {
    return "Speicherung des Bildes fehlgeschlagen. GDI+ Error:" + std::to_string(code);
}

}  // namespace tsy
