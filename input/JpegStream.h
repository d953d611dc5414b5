#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tsy {

// The first start of a JPEG stream (FF D8 FF) at a position in [from, to),
// or 0 when there is none. memchr finds the rare 0xFF bytes at memory speed.
std::size_t NextJpegStart(std::span<const std::uint8_t> file, std::size_t from, std::size_t to);

struct JpegStreamSpan {
    std::size_t end = 0;    // just past the EOI marker; 0 when not complete
    bool cutShort = false;  // the file ends inside the stream
};

// Where the JPEG stream that starts at `start` ends. The walk steps over
// segments by their lengths (an Exif thumbnail inside APP1 is skipped whole)
// and through every scan's entropy-coded data. Bytes that break the marker
// structure give end 0 without cutShort.
JpegStreamSpan JpegStreamEnd(std::span<const std::uint8_t> file, std::size_t start);

}  // namespace tsy
