#include "output/png/Coders.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>

#include "output/png/HuffmanDeflate.h"

namespace tsy::png {

namespace {

constexpr std::size_t kSlice = std::size_t(1) << 20;  // zlib coders' input per call
// libdeflate wants its whole input at once; larger sources go in slices of
// this size, whose lost context costs far less than a whole filtered copy.
constexpr std::size_t kSegment = std::size_t(8) << 20;
constexpr std::size_t kJoinBytes = 5;  // at most, between two slices

void Append(std::vector<std::uint8_t>* out, const std::uint8_t* data, std::size_t n) {
    if (out) out->insert(out->end(), data, data + n);
}

// Makes a raw deflate stream that ends with a final block continuable: clears
// the final-block bit of its last block and appends an empty stored block, so
// the next stream starts on a byte boundary, as a zlib sync flush does.
// inflate's block mode tells where each block header starts.
bool MakeContinuable(std::vector<std::uint8_t>& seg) {
    if (seg.empty()) return false;
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    std::vector<std::uint8_t> junk(std::size_t(1) << 16);
    z.next_in = seg.data();
    z.avail_in = uInt(seg.size());
    bool last = seg[0] & 1;
    if (last) seg[0] &= 0xFE;
    int pos = -1;  // unused bits in the last byte, once the last block ends
    for (bool lastStarted = last; pos < 0;) {
        z.next_out = junk.data();
        z.avail_out = uInt(junk.size());
        const int ret = inflate(&z, Z_BLOCK);
        if (ret != Z_OK && ret != Z_STREAM_END && !(ret == Z_BUF_ERROR && z.avail_out)) break;
        if (!(z.data_type & 128)) {
            if (ret == Z_BUF_ERROR) break;  // no block boundary and no more input
            continue;
        }
        const int unused = z.data_type & 7;
        if (lastStarted) {
            pos = unused;
            break;
        }
        std::uint8_t* header = unused ? z.next_in - 1 : z.next_in;
        const std::uint8_t bit = unused ? std::uint8_t(0x100 >> unused) : 1;
        if (header >= seg.data() + seg.size()) break;
        lastStarted = *header & bit;
        if (lastStarted) *header &= std::uint8_t(~bit);
    }
    const bool atEnd = z.avail_in == 0;
    inflateEnd(&z);
    if (pos < 0 || !atEnd) return false;
    if (pos) seg.back() &= std::uint8_t((1 << (8 - pos)) - 1);
    if (pos < 3) seg.push_back(0);
    seg.insert(seg.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

std::size_t Libdeflate(int level, ByteSource& source, std::size_t limit,
                       std::vector<std::uint8_t>* out) {
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> c(
        libdeflate_alloc_compressor(level), libdeflate_free_compressor);
    if (!c) return 0;
    const std::size_t size = source.size();
    std::vector<std::uint8_t> in(std::min(size, kSegment)), seg;
    source.rewind();
    if (size <= kSegment) {
        source.read(in.data(), in.size());
        seg.resize(libdeflate_zlib_compress_bound(c.get(), in.size()));
        const std::size_t n =
            libdeflate_zlib_compress(c.get(), in.data(), in.size(), seg.data(), seg.size());
        seg.resize(n);
        if (n == 0 || n >= limit) return 0;
        if (out) out->swap(seg);
        return n;
    }
    const std::uint8_t header[2] = {0x78, std::uint8_t(level < 6    ? 0x5E
                                                       : level == 6 ? 0x9C
                                                                    : 0xDA)};
    if (out) out->assign(header, header + 2);
    std::size_t total = 2 + 4;
    std::uint32_t adler = std::uint32_t(adler32(1, nullptr, 0));
    for (std::size_t at = 0; at < size;) {
        const std::size_t n = source.read(in.data(), std::min(kSegment, size - at));
        at += n;
        adler = std::uint32_t(adler32(adler, in.data(), uInt(n)));
        seg.resize(libdeflate_deflate_compress_bound(c.get(), n));
        seg.resize(libdeflate_deflate_compress(c.get(), in.data(), n, seg.data(), seg.size()));
        if (seg.empty()) return 0;
        const bool more = at < size;
        if (out && more && !MakeContinuable(seg)) return 0;
        total += seg.size() + (out || !more ? 0 : kJoinBytes);
        if (total >= limit) return 0;
        Append(out, seg.data(), seg.size());
    }
    for (int s = 24; s >= 0; s -= 8) {
        const std::uint8_t b = std::uint8_t(adler >> s);
        Append(out, &b, 1);
    }
    return total;
}

}  // namespace

std::size_t Compress(Coder coder, ByteSource& source, std::size_t limit,
                     std::vector<std::uint8_t>* out) {
    switch (coder) {
        case Coder::kHuffmanSplit: {
            const std::size_t n = HuffmanOnlyZlib(source, nullptr);
            if (n >= limit) return 0;
            return out ? HuffmanOnlyZlib(source, out) : n;
        }
        case Coder::kDeflate6:
            return Libdeflate(6, source, limit, out);
        case Coder::kDeflate9:
            return Libdeflate(9, source, limit, out);
        case Coder::kDeflate12:
            return Libdeflate(12, source, limit, out);
        default:
            break;
    }
    int strategy = Z_HUFFMAN_ONLY, memLevel = 9;
    if (coder == Coder::kHuffman8) memLevel = 8;  // smaller blocks, quicker to adapt
    if (coder == Coder::kRle) strategy = Z_RLE;
    if (coder == Coder::kZlibFiltered) strategy = Z_FILTERED;
    if (coder == Coder::kZlibDefault) strategy = Z_DEFAULT_STRATEGY;
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, 15, memLevel, strategy) != Z_OK) return 0;
    if (out) out->clear();
    std::vector<std::uint8_t> in(kSlice), made(kSlice);
    source.rewind();
    std::size_t total = 0;
    int ret = Z_OK;
    // A losing trial stops as soon as it passes the limit.
    for (bool last = false; ret == Z_OK && total < limit;) {
        if (z.avail_in == 0 && !last) {
            z.next_in = in.data();
            z.avail_in = uInt(source.read(in.data(), in.size()));
            last = z.avail_in < in.size();
        }
        z.next_out = made.data();
        z.avail_out = uInt(made.size());
        ret = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        const std::size_t n = made.size() - z.avail_out;
        total += n;
        Append(out, made.data(), n);
    }
    deflateEnd(&z);
    return ret == Z_STREAM_END && total < limit ? total : 0;
}

}  // namespace tsy::png
