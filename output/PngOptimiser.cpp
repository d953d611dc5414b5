#include "output/PngOptimiser.h"

#include <libdeflate.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "output/HuffmanDeflate.h"
#include "base/ReplaceFile.h"

namespace tsy {

namespace {

// ---------------------------------------------------------------- colour types

constexpr std::uint8_t kGrey = 0;
constexpr std::uint8_t kRgb = 2;
constexpr std::uint8_t kIndexed = 3;

// The picture as PNG wants its rows before filtering.
struct Raster {
    std::uint8_t colorType = kRgb;
    std::uint8_t depth = 8;
    int width = 0;
    int height = 0;
    std::size_t rowBytes = 0;
    std::size_t bpp = 3;  // distance of the byte "to the left" in the filters
    const std::uint8_t* rows = nullptr;
    std::vector<std::uint8_t> own;
    std::vector<std::uint8_t> palette;  // RGB triples
};

std::uint32_t ColourAt(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

// Grey depth (1, 2, 4, 8) when R = G = B everywhere, else 0.
int GreyDepth(const RgbImage& image) {
    bool d1 = true, d2 = true, d4 = true;
    const std::size_t count = image.rgb.size() / 3;
    const std::uint8_t* p = image.rgb.data();
    for (std::size_t i = 0; i < count; ++i, p += 3) {
        const int v = p[0];
        if (p[1] != v || p[2] != v) return 0;
        d1 = d1 && (v == 0 || v == 255);
        d2 = d2 && v % 85 == 0;
        d4 = d4 && v % 17 == 0;
    }
    return d1 ? 1 : d2 ? 2 : d4 ? 4 : 8;
}

// Small open-addressing set of at most 256 colours, each with its index.
class ColourTable {
public:
    ColourTable() { keys_.fill(kEmpty); }
    // False once a 257th colour turns up.
    bool Add(std::uint32_t c) {
        std::size_t i = Slot(c);
        if (keys_[i] == c) return true;
        if (count_ == 256) return false;
        keys_[i] = c;
        ++count_;
        return true;
    }
    void Number(const std::vector<std::uint32_t>& sorted) {
        for (std::size_t k = 0; k < sorted.size(); ++k)
            index_[Slot(sorted[k])] = std::uint8_t(k);
    }
    std::uint8_t IndexOf(std::uint32_t c) const { return index_[Slot(c)]; }
    std::vector<std::uint32_t> Colours() const {
        std::vector<std::uint32_t> out;
        for (std::uint32_t k : keys_)
            if (k != kEmpty) out.push_back(k);
        std::sort(out.begin(), out.end());
        return out;
    }
    int Count() const { return count_; }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;  // not a 24-bit colour
    static constexpr std::size_t kSize = 1024;
    std::size_t Slot(std::uint32_t c) const {
        std::size_t i = (c * 2654435761u) >> 22;
        while (keys_[i] != kEmpty && keys_[i] != c)
            i = (i + 1) & (kSize - 1);
        return i;
    }
    std::array<std::uint32_t, kSize> keys_;
    std::array<std::uint8_t, kSize> index_{};
    int count_ = 0;
};

Raster PackIndexed(const RgbImage& image, std::uint8_t colorType, int depth,
                   const std::function<std::uint8_t(const std::uint8_t*)>& indexOf) {
    Raster r;
    r.colorType = colorType;
    r.depth = std::uint8_t(depth);
    r.width = image.width;
    r.height = image.height;
    r.rowBytes = (std::size_t(image.width) * std::size_t(depth) + 7) / 8;
    r.bpp = 1;
    r.own.assign(r.rowBytes * std::size_t(image.height), 0);
    const int perByte = 8 / depth;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* in = image.rgb.data() + std::size_t(y) * std::size_t(image.width) * 3;
        std::uint8_t* out = r.own.data() + std::size_t(y) * r.rowBytes;
        for (int x = 0; x < image.width; ++x, in += 3) {
            const int shift = 8 - depth * (x % perByte + 1);
            out[x / perByte] |= std::uint8_t(indexOf(in) << shift);
        }
    }
    r.rows = r.own.data();
    return r;
}

// Every lossless form worth a try, the likely smallest first.
std::vector<Raster> Rasters(const RgbImage& image, int effort) {
    std::vector<Raster> out;
    const int grey = GreyDepth(image);
    if (grey > 0) {
        const int step = 255 / ((1 << grey) - 1);
        out.push_back(PackIndexed(
            image, kGrey, grey, [step](const std::uint8_t* p) { return std::uint8_t(*p / step); }));
        if (effort >= 3) return out;
    }
    ColourTable table;
    bool few = true;
    const std::uint8_t* p = image.rgb.data();
    std::uint32_t last = 0xFFFFFFFFu;
    for (std::size_t i = 0, n = image.rgb.size() / 3; i < n && few; ++i, p += 3) {
        const std::uint32_t c = ColourAt(p);
        if (c != last) few = table.Add(c);
        last = c;
    }
    if (few) {
        const std::vector<std::uint32_t> colours = table.Colours();
        table.Number(colours);
        const int n = int(colours.size());
        const int depth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
        Raster r = PackIndexed(image, kIndexed, depth, [&table](const std::uint8_t* q) {
            return table.IndexOf(ColourAt(q));
        });
        for (std::uint32_t c : colours) {
            r.palette.push_back(std::uint8_t(c >> 16));
            r.palette.push_back(std::uint8_t(c >> 8));
            r.palette.push_back(std::uint8_t(c));
        }
        out.push_back(std::move(r));
        // A full palette of a smooth picture can lose to filtered RGB.
        if (effort >= 3 || depth < 8 || grey > 0) return out;
    }
    Raster rgb;
    rgb.width = image.width;
    rgb.height = image.height;
    rgb.rowBytes = std::size_t(image.width) * 3;
    rgb.rows = image.rgb.data();
    out.push_back(std::move(rgb));
    return out;
}

// ---------------------------------------------------------------- row filters

int PaethPredict(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// prev is a row of zeros for the first row.
void FilterRow(int type, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n,
               std::size_t bpp, std::uint8_t* out) {
    const std::size_t lead = std::min(bpp, n);
    switch (type) {
        case 0:
            std::memcpy(out, cur, n);
            break;
        case 1:
            std::memcpy(out, cur, lead);
            for (std::size_t i = lead; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - cur[i - bpp]);
            break;
        case 2:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - prev[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < lead; ++i)
                out[i] = std::uint8_t(cur[i] - (prev[i] >> 1));
            for (std::size_t i = lead; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - ((cur[i - bpp] + prev[i]) >> 1));
            break;
        default:
            for (std::size_t i = 0; i < lead; ++i)
                out[i] = std::uint8_t(cur[i] - prev[i]);
            for (std::size_t i = lead; i < n; ++i)
                out[i] = std::uint8_t(cur[i] - PaethPredict(cur[i - bpp], prev[i], prev[i - bpp]));
            break;
    }
}

using Plan = std::vector<std::uint8_t>;  // filter type per row

constexpr int kMinSumPlan = 5;  // per row the smallest sum of |residual|
constexpr int kCostPlan = 6;    // per row the fewest bits under the picture's residual statistics

void ParallelRun(std::size_t count, int threads, const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;)
            task(i);
    };
    std::vector<std::thread> pool;
    const std::size_t helpers =
        std::min<std::size_t>(std::size_t(std::max(threads, 1)) - 1, count > 0 ? count - 1 : 0);
    for (std::size_t t = 0; t < helpers; ++t) {
        try {
            pool.emplace_back(worker);
        } catch (const std::system_error&) {
            break;  // the calling thread does the rest
        }
    }
    worker();
    for (std::thread& t : pool)
        t.join();
}

// Both adaptive plans from one filtering pass. The cost plan starts from each
// row's own entropy and is refined against the histogram of the whole
// filtered picture, which is what a Huffman coder pays for.
void AdaptivePlans(const Raster& r, int threads, Plan& minSum, Plan& cost) {
    const std::size_t rows = std::size_t(r.height);
    minSum.assign(rows, 0);
    cost.assign(rows, 0);
    constexpr std::size_t kHist = 5 * 256;
    const bool keep = rows * kHist * sizeof(std::uint32_t) <= (std::size_t(256) << 20);
    std::vector<std::uint32_t> hists(keep ? rows * kHist : 0);
    const std::vector<std::uint8_t> zeros(r.rowBytes, 0);
    const std::size_t bands = std::size_t(std::max(threads, 1)) * 4;
    const std::size_t perBand = (rows + bands - 1) / bands;
    ParallelRun(bands, threads, [&](std::size_t band) {
        std::vector<std::uint8_t> tmp(r.rowBytes);
        std::vector<std::uint32_t> local(kHist);
        for (std::size_t y = band * perBand; y < std::min(rows, (band + 1) * perBand); ++y) {
            const std::uint8_t* cur = r.rows + y * r.rowBytes;
            const std::uint8_t* prev = y ? cur - r.rowBytes : zeros.data();
            std::uint32_t* h = keep ? hists.data() + y * kHist : local.data();
            std::fill(h, h + kHist, 0);
            double bestSum = 0, bestBits = 0;
            for (int f = 0; f < 5; ++f) {
                FilterRow(f, cur, prev, r.rowBytes, r.bpp, tmp.data());
                std::uint32_t* hf = h + f * 256;
                for (std::size_t i = 0; i < r.rowBytes; ++i)
                    ++hf[tmp[i]];
                double sum = 0, bits = 0;
                for (int v = 0; v < 256; ++v) {
                    if (!hf[v]) continue;
                    sum += double(hf[v]) * std::min(v, 256 - v);
                    bits -= hf[v] * std::log2(double(hf[v]) / double(r.rowBytes));
                }
                if (f == 0 || sum < bestSum) bestSum = sum, minSum[y] = std::uint8_t(f);
                if (f == 0 || bits < bestBits) bestBits = bits, cost[y] = std::uint8_t(f);
            }
        }
    });
    if (!keep) return;
    for (int round = 0; round < 2; ++round) {
        std::array<double, 256> count{};
        for (std::size_t y = 0; y < rows; ++y) {
            const std::uint32_t* h = hists.data() + y * kHist + cost[y] * 256;
            for (int v = 0; v < 256; ++v)
                count[v] += h[v];
        }
        double total = 0;
        for (double& c : count)
            total += (c += 0.5);
        std::array<double, 256> bitsOf;
        for (int v = 0; v < 256; ++v)
            bitsOf[v] = -std::log2(count[v] / total);
        bool changed = false;
        for (std::size_t y = 0; y < rows; ++y) {
            double best = std::numeric_limits<double>::max();
            std::uint8_t choice = cost[y];
            for (int f = 0; f < 5; ++f) {
                const std::uint32_t* h = hists.data() + y * kHist + f * 256;
                double bits = 0;
                for (int v = 0; v < 256; ++v)
                    bits += h[v] * bitsOf[v];
                if (bits < best) best = bits, choice = std::uint8_t(f);
            }
            changed = changed || choice != cost[y];
            cost[y] = choice;
        }
        if (!changed) break;
    }
}

std::vector<std::uint8_t> FilteredStream(const Raster& r, const Plan& plan) {
    const std::size_t line = r.rowBytes + 1;
    std::vector<std::uint8_t> out(line * std::size_t(r.height));
    const std::vector<std::uint8_t> zeros(r.rowBytes, 0);
    for (std::size_t y = 0; y < std::size_t(r.height); ++y) {
        const std::uint8_t* cur = r.rows + y * r.rowBytes;
        out[y * line] = plan[y];
        FilterRow(plan[y], cur, y ? cur - r.rowBytes : zeros.data(), r.rowBytes, r.bpp,
                  out.data() + y * line + 1);
    }
    return out;
}

// ---------------------------------------------------------------- coders

enum class Coder {
    kHuffmanSplit,
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

// ---------------------------------------------------------------- the file

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int s = 24; s >= 0; s -= 8)
        v.push_back(std::uint8_t(x >> s));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::uint8_t* data,
           std::size_t n) {
    Put32(png, std::uint32_t(n));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data, data + n);
    Put32(png, std::uint32_t(crc32(0, png.data() + start, uInt(n + 4))));
}

std::vector<std::uint8_t> Assemble(const Raster& r, const std::vector<std::uint8_t>& idat) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> png(kSignature, kSignature + 8);
    png.reserve(idat.size() + r.palette.size() + 128);
    std::vector<std::uint8_t> ihdr;
    Put32(ihdr, std::uint32_t(r.width));
    Put32(ihdr, std::uint32_t(r.height));
    ihdr.insert(ihdr.end(), {r.depth, r.colorType, 0, 0, 0});
    Chunk(png, "IHDR", ihdr.data(), ihdr.size());
    if (!r.palette.empty()) Chunk(png, "PLTE", r.palette.data(), r.palette.size());
    // One IDAT as long as the length field allows; the chunk headers cost bytes.
    constexpr std::size_t kMaxChunk = 0x7FFFFFFF;
    for (std::size_t at = 0; at < idat.size(); at += kMaxChunk)
        Chunk(png, "IDAT", idat.data() + at, std::min(kMaxChunk, idat.size() - at));
    Chunk(png, "IEND", nullptr, 0);
    return png;
}

// ---------------------------------------------------------------- the search

struct Best {
    std::mutex mutex;
    std::atomic<std::size_t> size{std::numeric_limits<std::size_t>::max()};
    std::size_t order = 0;
    const Raster* raster = nullptr;
    std::vector<std::uint8_t> idat;
    std::atomic<bool> outOfMemory{false};

    // Ties go to the earlier trial, so the result does not depend on timing.
    void Offer(const Raster* r, std::size_t trial, std::vector<std::uint8_t>& data) {
        std::lock_guard<std::mutex> lock(mutex);
        const std::size_t current = size.load();
        if (data.size() > current || (data.size() == current && trial > order)) return;
        idat.swap(data);
        size.store(idat.size());
        order = trial;
        raster = r;
    }
};

// A plan's filtered rows, built by the first trial that needs them and freed
// by the last.
struct PlanWork {
    const Plan* plan = nullptr;
    std::once_flag built;
    std::vector<std::uint8_t> stream;
    std::atomic<int> pending{0};
    std::atomic<std::size_t> smallest{std::numeric_limits<std::size_t>::max()};
    std::atomic<int> smallestCoder{0};
};

struct Level {
    std::vector<Coder> quick;
    std::vector<Coder> thorough;
    std::size_t thoroughPlans;  // how many of the best plans get the thorough coders
};

Level LevelFor(int effort) {
    using C = Coder;
    switch (effort) {
        case 0:
            return {{C::kHuffmanSplit, C::kHuffman8, C::kHuffman9, C::kRle, C::kDeflate6},
                    {C::kDeflate12, C::kZlibFiltered, C::kZlibDefault},
                    7};
        case 1:
            return {{C::kHuffmanSplit, C::kHuffman8, C::kHuffman9, C::kRle, C::kDeflate6},
                    {C::kDeflate12, C::kZlibFiltered},
                    3};
        case 2:
            return {{C::kHuffmanSplit, C::kRle, C::kDeflate6}, {C::kDeflate12}, 2};
        case 3:
            return {{C::kHuffmanSplit, C::kRle, C::kDeflate9}, {}, 0};
        default:
            return {{C::kHuffmanSplit, C::kDeflate6}, {}, 0};
    }
}

std::vector<int> PlanKinds(const Raster& r, int effort, int filter) {
    if (filter >= 0 && filter <= 4) return {filter};
    // Packed and palette rows rarely gain from filtering.
    const int usual = r.depth < 8 || r.colorType == kIndexed ? 0 : kCostPlan;
    if (filter == 5)
        return effort >= 3 ? std::vector<int>{kCostPlan} : std::vector<int>{kCostPlan, kMinSumPlan};
    if (effort >= 3) return {usual};
    if (effort == 2) return {kCostPlan, kMinSumPlan, 0};
    return {kCostPlan, kMinSumPlan, 0, 1, 2, 3, 4};
}

void RunTrials(std::vector<std::unique_ptr<PlanWork>>& works, const Raster& raster,
               const std::vector<Coder>& coders, int threads, Best& best, std::size_t& trialNo) {
    struct Trial {
        PlanWork* work;
        Coder coder;
        std::size_t order;
    };
    std::vector<Trial> trials;
    for (auto& w : works) {
        w->pending = int(coders.size());
        for (Coder c : coders)
            trials.push_back({w.get(), c, trialNo++});
    }
    ParallelRun(trials.size(), threads, [&](std::size_t i) {
        Trial& t = trials[i];
        try {
            std::call_once(t.work->built,
                           [&] { t.work->stream = FilteredStream(raster, *t.work->plan); });
            std::vector<std::uint8_t> out;
            if (Compress(t.coder, t.work->stream, best.size, out)) {
                {
                    std::lock_guard<std::mutex> lock(best.mutex);
                    if (out.size() < t.work->smallest.load()) {
                        t.work->smallest = out.size();
                        t.work->smallestCoder = int(t.coder);
                    }
                }
                best.Offer(&raster, t.order, out);
            }
        } catch (const std::bad_alloc&) {
            best.outOfMemory = true;
        }
        if (t.work->pending.fetch_sub(1) == 1) std::vector<std::uint8_t>().swap(t.work->stream);
    });
}

// Rows from a few places spread over the picture, about maxBytes of filtered
// stream in all: enough to tell which coder wins, at a fraction of the cost.
std::vector<std::uint8_t> SampleStream(const Raster& r, const Plan& plan, std::size_t maxBytes) {
    constexpr std::size_t kBands = 8;
    const std::size_t line = r.rowBytes + 1;
    const std::size_t rows = std::max<std::size_t>(1, maxBytes / kBands / line);
    const std::size_t height = std::size_t(r.height);
    std::vector<std::uint8_t> out;
    const std::vector<std::uint8_t> zeros(r.rowBytes, 0);
    for (std::size_t b = 0; b < kBands; ++b) {
        const std::size_t first = (height - std::min(rows, height)) * b / (kBands - 1);
        for (std::size_t y = first; y < std::min(height, first + rows); ++y) {
            const std::uint8_t* cur = r.rows + y * r.rowBytes;
            out.push_back(plan[y]);
            out.resize(out.size() + r.rowBytes);
            FilterRow(plan[y], cur, y ? cur - r.rowBytes : zeros.data(), r.rowBytes, r.bpp,
                      out.data() + out.size() - r.rowBytes);
        }
    }
    return out;
}

// The slow coders run on a large picture only when a sample says they can win.
constexpr std::size_t kSampleAbove = std::size_t(16) << 20;
constexpr std::size_t kSampleBytes = std::size_t(4) << 20;

bool WorthTrying(const Raster& r, const PlanWork& work, Coder coder, int threads) {
    const std::size_t full = (r.rowBytes + 1) * std::size_t(r.height);
    if (full <= kSampleAbove) return true;
    const std::vector<std::uint8_t> sample = SampleStream(r, *work.plan, kSampleBytes);
    const Coder quick = Coder(work.smallestCoder.load());
    const std::atomic<std::size_t> unlimited{std::numeric_limits<std::size_t>::max()};
    std::size_t sizes[2] = {0, 0};
    ParallelRun(2, threads, [&](std::size_t i) {
        std::vector<std::uint8_t> out;
        if (Compress(i == 0 ? quick : coder, sample, unlimited, out)) sizes[i] = out.size();
    });
    // A little slack: the sample misses the context between its bands.
    return sizes[1] > 0 && (sizes[0] == 0 || sizes[1] < sizes[0] + sizes[0] / 200);
}

void Search(const Raster& raster, const PngOptions& options, int threads, Best& best,
            std::size_t& trialNo) {
    const std::vector<int> kinds = PlanKinds(raster, options.effort, options.filter);
    std::vector<Plan> plans(kinds.size());
    Plan minSum, cost;
    if (std::find_if(kinds.begin(), kinds.end(), [](int k) { return k >= kMinSumPlan; }) !=
        kinds.end())
        AdaptivePlans(raster, threads, minSum, cost);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (kinds[i] == kMinSumPlan)
            plans[i] = minSum;
        else if (kinds[i] == kCostPlan)
            plans[i] = cost;
        else
            plans[i].assign(std::size_t(raster.height), std::uint8_t(kinds[i]));
    }
    const Level level = LevelFor(options.effort);
    std::vector<std::unique_ptr<PlanWork>> quick;
    for (const Plan& p : plans) {
        quick.push_back(std::make_unique<PlanWork>());
        quick.back()->plan = &p;
    }
    RunTrials(quick, raster, level.quick, threads, best, trialNo);
    if (level.thorough.empty() || level.thoroughPlans == 0) return;

    std::vector<std::size_t> order(plans.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return quick[a]->smallest.load() < quick[b]->smallest.load();
    });
    const std::size_t count = std::min(level.thoroughPlans, order.size());
    for (Coder coder : level.thorough) {
        std::vector<std::unique_ptr<PlanWork>> thorough;
        for (std::size_t i = 0; i < count; ++i) {
            if (options.effort > 0 && !WorthTrying(raster, *quick[order[i]], coder, threads))
                continue;
            thorough.push_back(std::make_unique<PlanWork>());
            thorough.back()->plan = &plans[order[i]];
        }
        RunTrials(thorough, raster, {coder}, threads, best, trialNo);
    }
}

}  // namespace

bool EncodePng(const RgbImage& image, const PngOptions& options, std::vector<std::uint8_t>& png,
               std::string& error) {
    png.clear();
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != std::size_t(image.width) * std::size_t(image.height) * 3) {
        error = "the picture is empty or inconsistent";
        return false;
    }
    PngOptions o = options;
    o.effort = std::clamp(o.effort, 0, 4);
    o.filter = std::clamp(o.filter, -1, 5);
    const int threads =
        o.threads > 0 ? o.threads : std::max(1, int(std::thread::hardware_concurrency()));
    try {
        const std::vector<Raster> rasters = Rasters(image, o.effort);
        Best best;
        std::size_t trialNo = 0;
        for (const Raster& r : rasters)
            Search(r, o, threads, best, trialNo);
        if (!best.raster) {
            error = best.outOfMemory ? "not enough memory to compress the picture"
                                     : "the picture could not be compressed";
            return false;
        }
        png = Assemble(*best.raster, best.idat);
    } catch (const std::bad_alloc&) {
        png.clear();
        error = "not enough memory to compress the picture";
        return false;
    }
    return true;
}

bool OptimiseBmpToPng(const std::string& bmpPath, const std::string& pngPath,
                      const PngOptions& options, bool replace, std::string& error) {
    struct stat st {};
    if (!replace && ::lstat(pngPath.c_str(), &st) == 0) {
        error = pngPath + " exists already (use /Y to replace it)";
        return false;
    }
    RgbImage image;
    std::vector<std::uint8_t> png;
    if (!ReadBmp(bmpPath, image, error) || !EncodePng(image, options, png, error)) return false;
    FileReplacer file(pngPath);
    return file.Open(error) && file.Write(png.data(), png.size(), error) &&
           file.Commit(error, replace);
}

}  // namespace tsy
