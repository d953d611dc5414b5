#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/PictureBuffer.h"

namespace tsy {

// Result codes of SaveJpeg: 0 is success; 1 up to (not including) 1000 are
// libjpeg's own message codes (J_MESSAGE_CODE in jerror.h, e.g.
// JERR_IMAGE_TOO_BIG for a side above 65500, JERR_EMPTY_IMAGE for a picture
// without pixels, JERR_OUT_OF_MEMORY); kJpegFileError means the encoded file
// could not be put in place (directory missing or not writable, disk full,
// rename refused).
constexpr int kJpegFileError = 1000;

// Writes the picture as a baseline JPEG. quality above 100 is written as 100;
// 0 is handed to libjpeg, which treats every quality below 1 as 1 (the coarsest
// tables, all 255 in baseline), so 0 and 1 give the same file; below 0 counts
// as 0. Chroma is kept at full resolution (4:4:4): in an anaglyph red carries
// one view and green/blue the other, so the colour difference holds picture
// detail that 4:2:0 would halve. On a generated anaglyph at quality 95, 4:2:0
// saved a third of the bytes but raised the red error by 70 %; 4:4:4 at
// quality 80 was smaller than 4:2:0 at 95 and still more accurate in red.
// The file is written beside the target as it is coded and renamed over
// it: on failure neither a partial file nor the loss of an existing one. A
// buffer without picture is written black at its size. With more than one
// thread (0: every core) a tall picture is encoded in strips at once, joined
// by restart markers: same pixels, a few hundred bytes more.
int SaveJpeg(const PictureBuffer& picture, const std::string& path, int quality, int threads = 0);

// The message the window shows for a failed save.
std::string JpegFailureText(int code);

enum class JpegChroma { k444, k420 };

// The encoder on its own (for SaveJpeg and the measurements behind its chroma
// choice): 0 or a libjpeg message code, as above.
int EncodeJpeg(const PictureBuffer& picture, int quality, JpegChroma chroma,
               std::vector<std::uint8_t>& jpeg, int threads = 0);

// The same, handing the file out piece by piece in order as it is coded, so
// that it is never held whole; a sink that returns false stops the encoder
// with kJpegFileError.
using JpegSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;
int EncodeJpeg(const PictureBuffer& picture, int quality, JpegChroma chroma,
               const JpegSink& sink, int threads = 0);

// A header segment of our own: its marker (0xE1 for APP1, ...) and its data
// after the length field, at most 65533 bytes.
struct JpegSegment {
    std::uint8_t marker;
    std::span<const std::uint8_t> data;
};

// Segments written after SOI, and after the JFIF APP0 segment unless jfif is
// false (Exif wants its APP1 right after SOI, as cameras write it). The coded
// picture stays the same bytes; a segment too long gives JERR_BAD_LENGTH.
struct JpegHeader {
    std::span<const JpegSegment> segments;
    bool jfif = true;
};
int EncodeJpeg(const PictureBuffer& picture, int quality, JpegChroma chroma,
               const JpegSink& sink, int threads, const JpegHeader& header);

// A picture handed to the encoder row by row, for one put together from
// others without a copy of the whole: row(y, scratch) gives row y, width
// pixels in the buffer's B,G,R,X order, either as a pointer of its own or by
// filling scratch (width * 4 bytes, the calling thread's own). Rows are asked
// for from several threads at once and must not throw.
struct JpegRows {
    int width = 0, height = 0;
    std::function<const std::uint8_t*(int y, std::uint8_t* scratch)> row;
};
int EncodeJpeg(const JpegRows& rows, int quality, JpegChroma chroma, const JpegSink& sink,
               int threads, const JpegHeader& header = {});

}  // namespace tsy
