#pragma once

#include <cstdint>
#include <vector>

namespace tsy::png {

// Huffman code lengths no longer than maxBits; symbols with frequency 0 get 0.
void CodeLengths(std::vector<std::uint32_t> freq, int maxBits, std::vector<std::uint8_t>& len);

// Canonical codes, bit-reversed because deflate sends them from the top bit
// while a bit writer fills from the bottom.
std::vector<std::uint32_t> Codes(const std::vector<std::uint8_t>& len);

struct LengthSymbol {
    std::uint8_t symbol;  // 0..18
    std::uint8_t extra;
};

// Run-length form of the code lengths (symbols 16, 17, 18 of deflate).
std::vector<LengthSymbol> RunLengths(const std::vector<std::uint8_t>& lengths);

}  // namespace tsy::png
