#include "output/png/Coders.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

#include "output/png/HuffmanDeflate.h"

namespace tsy::png {

bool Compress(Coder coder, const std::vector<std::uint8_t>& data,
              const std::atomic<std::size_t>& limit, std::vector<std::uint8_t>& out) {
    int level = 0;
    switch (coder) {
        case Coder::kDeflate6:
            level = 6;
            break;
        case Coder::kDeflate9:
            level = 9;
            break;
        case Coder::kDeflate12:
            level = 12;
            break;
        default:
            break;
    }
    if (coder == Coder::kHuffmanSplit) {
        out = HuffmanOnlyZlib(data.data(), data.size());
        return out.size() < limit.load();
    }
    if (level) {
        libdeflate_compressor* c = libdeflate_alloc_compressor(level);
        if (!c) return false;
        out.resize(libdeflate_zlib_compress_bound(c, data.size()));
        const std::size_t n =
            libdeflate_zlib_compress(c, data.data(), data.size(), out.data(), out.size());
        libdeflate_free_compressor(c);
        out.resize(n);
        return n > 0 && n < limit.load();
    }
    int strategy = Z_HUFFMAN_ONLY, memLevel = 9;
    if (coder == Coder::kHuffman8) memLevel = 8;  // smaller blocks, quicker to adapt
    if (coder == Coder::kRle) strategy = Z_RLE;
    if (coder == Coder::kZlibFiltered) strategy = Z_FILTERED;
    if (coder == Coder::kZlibDefault) strategy = Z_DEFAULT_STRATEGY;
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, 15, memLevel, strategy) != Z_OK) return false;
    out.resize(deflateBound(&z, uLong(data.size())));
    // Fed in slices so a losing trial stops early and no count overflows uInt.
    constexpr std::size_t kChunk = std::size_t(1) << 22;
    std::size_t in = 0;
    int ret = Z_OK;
    for (;;) {
        if (z.avail_in == 0 && in < data.size()) {
            const std::size_t take = std::min(kChunk, data.size() - in);
            z.next_in = const_cast<Bytef*>(data.data() + in);
            z.avail_in = uInt(take);
            in += take;
        }
        z.next_out = out.data() + z.total_out;
        z.avail_out = uInt(std::min<std::size_t>(out.size() - z.total_out, kChunk));
        ret = deflate(&z, in == data.size() ? Z_FINISH : Z_NO_FLUSH);
        if (ret != Z_OK || z.total_out >= limit.load()) break;
    }
    const bool ok = ret == Z_STREAM_END;
    out.resize(ok ? std::size_t(z.total_out) : 0);
    deflateEnd(&z);
    return ok && out.size() < limit.load();
}

}  // namespace tsy::png
