#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/png/ByteSource.h"

namespace tsy::png {

// A zlib stream of data that codes every byte as a literal (no matches), with
// the block boundaries placed where a new Huffman table pays for its header.
// Filtered rows of a photo are mostly sensor noise, where back-references
// gain little and the table fit is what counts.
std::vector<std::uint8_t> HuffmanOnlyZlib(const std::uint8_t* data, std::size_t size);

// The same from a source, read once to choose the blocks and, with out, once
// more to code them. Returns the stream's exact size in bytes either way.
std::size_t HuffmanOnlyZlib(ByteSource& source, std::vector<std::uint8_t>* out);

}  // namespace tsy::png
