#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

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

// A zlib stream of data, or false when it would not beat limit bytes (the
// zlib coders give up early then) or memory ran out.
bool Compress(Coder coder, const std::vector<std::uint8_t>& data,
              const std::atomic<std::size_t>& limit, std::vector<std::uint8_t>& out);

}  // namespace tsy::png
