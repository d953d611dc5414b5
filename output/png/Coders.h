#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/png/ByteSource.h"

namespace tsy::png {

enum class Coder {
    kHuffmanSplit,  // our literal-only deflate with chosen block splits
    kHuffman8,
    kHuffman9,
    kRle,
    kDeflate6,
    kDeflate9,
    kDeflate12,
    kZlibFiltered,
    kZlibDefault
};

// The size of the zlib stream the coder makes of the source, or 0 when it
// would not be below limit (the zlib coders give up early then) or memory ran
// out. With out, the stream itself too. The libdeflate levels code a large
// source in slices spliced into one stream, so the size they give without
// out is an upper bound a few bytes per slice above the real one.
std::size_t Compress(Coder coder, ByteSource& source, std::size_t limit,
                     std::vector<std::uint8_t>* out);

}  // namespace tsy::png
