#include "output/png/HuffmanDeflate.h"

#include "output/png/HuffmanCode.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tsy::png {

namespace {

constexpr int kLiterals = 257;  // 0..255 and end of block
constexpr int kEndOfBlock = 256;
constexpr std::size_t kChunk = 8192;    // granularity of block boundaries
constexpr std::size_t kMaxChunks = 32;  // longest block, in chunks
using Histogram = std::array<std::uint32_t, 256>;

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Put(std::uint32_t bits, int count) {
        acc_ |= std::uint64_t(bits) << used_;
        used_ += count;
        while (used_ >= 8) {
            out_.push_back(std::uint8_t(acc_));
            acc_ >>= 8;
            used_ -= 8;
        }
    }
    void Flush() {
        if (used_ > 0) out_.push_back(std::uint8_t(acc_));
        acc_ = 0;
        used_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    int used_ = 0;
};

// The codes of one block, from its byte histogram.
struct BlockCode {
    std::vector<std::uint8_t> litLen;
    std::vector<LengthSymbol> rle;
    std::vector<std::uint8_t> clLen;
    int hclen = 19;
};

const std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

BlockCode MakeCode(const Histogram& bytes) {
    BlockCode code;
    std::vector<std::uint32_t> freq(bytes.begin(), bytes.end());
    freq.push_back(1);  // end of block
    CodeLengths(freq, 15, code.litLen);
    // No distances are used; one code of one bit is the form the format asks for.
    std::vector<std::uint8_t> all(code.litLen);
    all.push_back(1);
    code.rle = RunLengths(all);
    std::vector<std::uint32_t> clFreq(19, 0);
    for (const LengthSymbol& s : code.rle)
        ++clFreq[s.symbol];
    // inflate refuses an incomplete code-length code, so never leave it one symbol.
    if (std::count(clFreq.begin(), clFreq.end(), 0u) == 18) ++clFreq[clFreq[0] ? 1 : 0];
    CodeLengths(clFreq, 7, code.clLen);
    while (code.hclen > 4 && code.clLen[kOrder[code.hclen - 1]] == 0)
        --code.hclen;
    return code;
}

int ExtraBits(std::uint8_t symbol) {
    return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0;
}

// What WriteBlock puts out for a block with these bytes, in bits.
std::uint64_t BlockBits(const BlockCode& code, const Histogram& bytes) {
    std::uint64_t bits = 3 + 5 + 5 + 4 + 3 * std::uint64_t(code.hclen);
    for (const LengthSymbol& s : code.rle)
        bits += code.clLen[s.symbol] + std::uint64_t(ExtraBits(s.symbol));
    for (int v = 0; v < 256; ++v)
        bits += std::uint64_t(bytes[std::size_t(v)]) * code.litLen[std::size_t(v)];
    return bits + code.litLen[kEndOfBlock];
}

void WriteBlock(BitWriter& bits, const BlockCode& code, const std::uint8_t* data, std::size_t size,
                bool last) {
    bits.Put(last ? 1 : 0, 1);
    bits.Put(2, 2);  // dynamic Huffman
    bits.Put(kLiterals - 257, 5);
    bits.Put(0, 5);  // one distance code
    bits.Put(std::uint32_t(code.hclen - 4), 4);
    for (int i = 0; i < code.hclen; ++i)
        bits.Put(code.clLen[kOrder[i]], 3);
    const std::vector<std::uint32_t> clCodes = Codes(code.clLen);
    for (const LengthSymbol& s : code.rle) {
        bits.Put(clCodes[s.symbol], code.clLen[s.symbol]);
        bits.Put(s.extra, ExtraBits(s.symbol));
    }
    const std::vector<std::uint32_t> codes = Codes(code.litLen);
    for (std::size_t i = 0; i < size; ++i)
        bits.Put(codes[data[i]], code.litLen[data[i]]);
    bits.Put(codes[kEndOfBlock], code.litLen[kEndOfBlock]);
}

// Estimated bits of one block: entropy of its bytes plus a table header.
class BlockCost {
public:
    explicit BlockCost(std::size_t maxCount) : nlogn_(maxCount + 1) {
        for (std::size_t c = 1; c <= maxCount; ++c)
            nlogn_[c] = double(c) * std::log2(double(c));
    }
    double operator()(const Histogram& h, std::size_t total) const {
        double sum = 0;
        int used = 0;
        for (std::uint32_t c : h) {
            sum += nlogn_[c];
            used += c != 0;
        }
        return nlogn_[total] - sum + 4.5 * used + 60;
    }

private:
    std::vector<double> nlogn_;
};

}  // namespace

std::size_t HuffmanOnlyZlib(ByteSource& source, std::vector<std::uint8_t>* out) {
    const std::size_t size = source.size();
    const std::size_t chunks = std::max<std::size_t>(1, (size + kChunk - 1) / kChunk);
    std::vector<Histogram> hist(chunks, Histogram{});
    std::vector<std::uint8_t> buffer(kChunk * kMaxChunks);
    source.rewind();
    for (std::size_t c = 0; c < chunks; ++c) {
        const std::size_t n = source.read(buffer.data(), kChunk);
        for (std::size_t i = 0; i < n; ++i)
            ++hist[c][buffer[i]];
    }

    // Cheapest split into runs of whole chunks, by dynamic programming.
    const BlockCost cost(std::min(size, kChunk * kMaxChunks));
    std::vector<double> best(chunks + 1, std::numeric_limits<double>::max());
    std::vector<std::size_t> from(chunks + 1, 0);
    best[0] = 0;
    for (std::size_t end = 1; end <= chunks; ++end) {
        Histogram h{};
        std::size_t total = 0;
        for (std::size_t start = end; start-- > 0 && end - start <= kMaxChunks;) {
            for (int v = 0; v < 256; ++v)
                h[std::size_t(v)] += hist[start][std::size_t(v)];
            total = std::min(end * kChunk, size) - start * kChunk;
            const double c = best[start] + cost(h, total);
            if (c < best[end]) best[end] = c, from[end] = start;
        }
    }
    std::vector<std::size_t> cuts;
    for (std::size_t end = chunks; end > 0; end = from[end])
        cuts.push_back(end);
    std::reverse(cuts.begin(), cuts.end());

    std::vector<BlockCode> codes;
    std::vector<Histogram> blocks;
    std::uint64_t bits = 0;
    for (std::size_t k = 0, first = 0; k < cuts.size(); first = cuts[k++]) {
        Histogram h{};
        for (std::size_t c = first; c < cuts[k]; ++c)
            for (int v = 0; v < 256; ++v)
                h[std::size_t(v)] += hist[c][std::size_t(v)];
        codes.push_back(MakeCode(h));
        bits += BlockBits(codes.back(), h);
    }
    const std::size_t bytes = 2 + std::size_t((bits + 7) / 8) + 4;
    if (!out) return bytes;

    out->clear();
    out->reserve(bytes);
    out->push_back(0x78);  // deflate, 32K window
    out->push_back(0xDA);  // maximum compression; makes the header a multiple of 31
    BitWriter writer(*out);
    std::uint32_t adler = std::uint32_t(adler32(1, nullptr, 0));
    source.rewind();
    std::size_t start = 0;
    for (std::size_t k = 0; k < cuts.size(); ++k) {
        const std::size_t end = std::min(cuts[k] * kChunk, size);
        const std::size_t n = source.read(buffer.data(), end - start);
        adler = std::uint32_t(adler32(adler, buffer.data(), uInt(n)));
        WriteBlock(writer, codes[k], buffer.data(), n, k + 1 == cuts.size());
        start = end;
    }
    writer.Flush();
    for (int s = 24; s >= 0; s -= 8)
        out->push_back(std::uint8_t(adler >> s));
    return out->size();
}

std::vector<std::uint8_t> HuffmanOnlyZlib(const std::uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    std::vector<std::uint8_t> out;
    HuffmanOnlyZlib(source, &out);
    return out;
}

}  // namespace tsy::png
