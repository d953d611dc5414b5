#include "prepare/AreaScale.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/WorkerPool.h"

namespace tsy {

namespace {

// On one axis, n source pixels map onto m destination pixels. Measured in
// units of 1/gcd(n, m), a source pixel is m/g long and a destination pixel n/g,
// so every overlap is a whole number and the weights of one destination pixel
// add up to exactly n/g.
struct AxisWeights {
    std::vector<int> first;           // first source index per destination index
    std::vector<int> count;           // number of source pixels it touches
    std::vector<std::size_t> offset;  // where its weights start in `weights`
    std::vector<std::uint32_t> weights;
    std::uint32_t whole = 0;  // weight of a source pixel lying wholly inside
    std::uint64_t total = 0;  // sum of the weights of one destination pixel
};

AxisWeights MakeWeights(int n, int m) {
    AxisWeights a;
    const std::int64_t g = std::gcd(std::int64_t(n), std::int64_t(m));
    const std::int64_t srcLen = m / g;
    const std::int64_t dstLen = n / g;
    a.whole = std::uint32_t(srcLen);
    a.total = std::uint64_t(dstLen);
    a.first.resize(std::size_t(m));
    a.count.resize(std::size_t(m));
    a.offset.resize(std::size_t(m));
    a.weights.reserve(std::size_t(n) + std::size_t(m));
    for (std::int64_t i = 0; i < m; ++i) {
        const std::int64_t lo = i * dstLen;
        const std::int64_t hi = lo + dstLen;
        std::int64_t j = lo / srcLen;
        a.first[std::size_t(i)] = int(j);
        a.offset[std::size_t(i)] = a.weights.size();
        for (; j * srcLen < hi; ++j) {
            const std::int64_t w = std::min((j + 1) * srcLen, hi) - std::max(j * srcLen, lo);
            a.weights.push_back(std::uint32_t(w));
        }
        a.count[std::size_t(i)] = int(a.weights.size() - a.offset[std::size_t(i)]);
    }
    return a;
}

struct Job {
    const std::uint8_t* src;
    std::size_t srcStride;
    int srcW;
    std::uint8_t* dst;
    std::size_t dstStride;
    int dstW;
    AxisWeights xs;
    AxisWeights ys;
    std::uint64_t total;  // weight of one destination pixel over both axes
    double inverse;
};

// Rounded quotient of an exact area sum; the double estimate can only be off
// by one next to an exact multiple, which the integer check repairs.
inline std::uint8_t Average(std::uint64_t sum, const Job& job) {
    const std::uint64_t num = 2 * sum + job.total;
    const std::uint64_t den = 2 * job.total;
    std::uint64_t q = std::uint64_t(double(num) * job.inverse);
    if (q * den > num)
        --q;
    else if ((q + 1) * den <= num)
        ++q;
    return std::uint8_t(q);
}

// Vertical pass. Only the first and the last source row under a destination
// row can be partly covered; the rows between lie wholly inside and all weigh
// `whole`. Those are summed unweighted in 16 bits, several rows per pass, and
// multiplied once at the end, so the loop over the source is a plain widening
// add and runs at memory speed.
constexpr int kRowsPer16Bits = 257;  // 257 * 255 still fits
constexpr int kRowsPerPass = 8;

template <int Rows, bool Add>
void AddRows(std::uint16_t* acc, const std::uint8_t* row, std::size_t stride, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        std::uint16_t v = Add ? acc[i] : std::uint16_t(0);
        for (int r = 0; r < Rows; ++r)
            v = std::uint16_t(v + row[std::size_t(r) * stride + i]);
        acc[i] = v;
    }
}

template <bool Add>
void AddRows(int rows, std::uint16_t* acc, const std::uint8_t* row, std::size_t stride,
             std::size_t n) {
    switch (rows) {
        case 8:
            return AddRows<8, Add>(acc, row, stride, n);
        case 7:
            return AddRows<7, Add>(acc, row, stride, n);
        case 6:
            return AddRows<6, Add>(acc, row, stride, n);
        case 5:
            return AddRows<5, Add>(acc, row, stride, n);
        case 4:
            return AddRows<4, Add>(acc, row, stride, n);
        case 3:
            return AddRows<3, Add>(acc, row, stride, n);
        case 2:
            return AddRows<2, Add>(acc, row, stride, n);
        default:
            return AddRows<1, Add>(acc, row, stride, n);
    }
}

// Sum holds a vertical sum, W a vertical weight. With W = uint16_t the
// products are 16 x 16 -> 32 bit multiplies, which vectorise well.
template <typename Sum, typename W>
struct Vertical {
    static Sum Mul(W a, W b) { return Sum(a) * Sum(b); }

    template <bool Add, bool Top, bool Bottom>
    static void Finish(Sum* sums, const std::uint16_t* acc, W whole, const std::uint8_t* top,
                       W wTop, const std::uint8_t* bottom, W wBottom, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            Sum v = (Add ? sums[i] : Sum(0)) + Mul(W(acc[i]), whole);
            if (Top) v += Mul(W(top[i]), wTop);
            if (Bottom) v += Mul(W(bottom[i]), wBottom);
            sums[i] = v;
        }
    }

    template <bool Add>
    static void Finish(Sum* sums, const std::uint16_t* acc, W whole, const std::uint8_t* top,
                       W wTop, const std::uint8_t* bottom, W wBottom, std::size_t n) {
        if (top && bottom)
            Finish<Add, true, true>(sums, acc, whole, top, wTop, bottom, wBottom, n);
        else if (top)
            Finish<Add, true, false>(sums, acc, whole, top, wTop, bottom, wBottom, n);
        else if (bottom)
            Finish<Add, false, true>(sums, acc, whole, top, wTop, bottom, wBottom, n);
        else
            Finish<Add, false, false>(sums, acc, whole, top, wTop, bottom, wBottom, n);
    }

    // sums[] := the weighted sums of the source rows under destination row y.
    static void SumUnder(const Job& job, int y, std::uint16_t* acc, Sum* sums) {
        const std::size_t n = std::size_t(job.srcW) * 4;
        const std::size_t stride = job.srcStride;
        const AxisWeights& ys = job.ys;
        const std::uint32_t* w = ys.weights.data() + ys.offset[std::size_t(y)];
        const std::uint8_t* rows = job.src + std::size_t(ys.first[std::size_t(y)]) * stride;
        int first = 0;
        int last = ys.count[std::size_t(y)];  // whole rows are [first, last)
        const std::uint8_t* top = nullptr;
        const std::uint8_t* bottom = nullptr;
        W wTop = 0, wBottom = 0;
        if (w[first] != ys.whole) {
            top = rows;
            wTop = W(w[first++]);
        }
        if (last > first && w[last - 1] != ys.whole) {
            bottom = rows + std::size_t(last - 1) * stride;
            wBottom = W(w[--last]);
        }
        const W whole = W(ys.whole);
        if (first == last) {  // enlarging, or reducing by less than 2:1
            for (std::size_t i = 0; i < n; ++i)
                sums[i] = Mul(W(top[i]), wTop) + (bottom ? Mul(W(bottom[i]), wBottom) : Sum(0));
            return;
        }
        bool started = false;  // sums[] already holds some rows
        for (int k = first; k < last;) {
            const int end = std::min(last, k + kRowsPer16Bits);
            for (bool fresh = true; k < end; fresh = false) {
                const int run = std::min(kRowsPerPass, end - k);
                const std::uint8_t* row = rows + std::size_t(k) * stride;
                if (fresh)
                    AddRows<false>(run, acc, row, stride, n);
                else
                    AddRows<true>(run, acc, row, stride, n);
                k += run;
            }
            // The partial rows go in with the last batch of whole rows.
            const std::uint8_t* t = k == last ? top : nullptr;
            const std::uint8_t* b = k == last ? bottom : nullptr;
            if (started)
                Finish<true>(sums, acc, whole, t, wTop, b, wBottom, n);
            else
                Finish<false>(sums, acc, whole, t, wTop, b, wBottom, n);
            started = true;
        }
    }
};

// Horizontal pass: the columns under a destination pixel weigh like the rows,
// so only the outer two need a multiply per channel.
template <typename Sum>
void ReduceRow(const Job& job, const Sum* sums, std::uint8_t* out) {
    const AxisWeights& xs = job.xs;
    const std::uint64_t whole = xs.whole;
    for (int x = 0; x < job.dstW; ++x, out += 4) {
        const std::uint32_t* w = xs.weights.data() + xs.offset[std::size_t(x)];
        const int count = xs.count[std::size_t(x)];
        const Sum* s = sums + std::size_t(xs.first[std::size_t(x)]) * 4;
        std::uint64_t b = std::uint64_t(w[0]) * s[0];
        std::uint64_t g = std::uint64_t(w[0]) * s[1];
        std::uint64_t r = std::uint64_t(w[0]) * s[2];
        if (count > 1) {
            std::uint64_t ib = 0, ig = 0, ir = 0;
            const Sum* e = s + std::size_t(count - 1) * 4;
            for (const Sum* p = s + 4; p < e; p += 4) {
                ib += p[0];
                ig += p[1];
                ir += p[2];
            }
            const std::uint64_t wl = w[count - 1];
            b += whole * ib + wl * e[0];
            g += whole * ig + wl * e[1];
            r += whole * ir + wl * e[2];
        }
        out[0] = Average(b, job);
        out[1] = Average(g, job);
        out[2] = Average(r, job);
        out[3] = 0xFF;
    }
}

template <typename Sum, typename W>
void Run(const Job& job, int dstH, int threads) {
    const std::size_t n = std::size_t(job.srcW) * 4;
    threads = std::min(threads, HardwareThreads());
    // More bands than threads, so a core that the system takes away for a
    // moment does not leave the other one waiting at the end.
    const int bands = threads <= 1 ? 1 : std::min(dstH, threads * 3);
    std::vector<std::uint16_t> acc(n * std::size_t(bands));
    std::vector<Sum> sums(n * std::size_t(bands));
    ParallelFor(bands, threads, [&](int band) {
        std::uint16_t* a = acc.data() + n * std::size_t(band);
        Sum* s = sums.data() + n * std::size_t(band);
        const int y1 = int(std::int64_t(dstH) * (band + 1) / bands);
        for (int y = int(std::int64_t(dstH) * band / bands); y < y1; ++y) {
            Vertical<Sum, W>::SumUnder(job, y, a, s);
            ReduceRow(job, s, job.dst + std::size_t(y) * job.dstStride);
        }
    });
}

}  // namespace

bool AreaScale(const std::uint8_t* src, int srcW, int srcH, std::size_t srcStride,
               std::uint8_t* dst, int dstW, int dstH, std::size_t dstStride, int threads) {
    if (!src || !dst || srcW < 1 || srcH < 1) return false;
    if (std::int64_t(srcW) * srcH > PictureBuffer::kMaxPixels) return false;
    if (srcStride < std::size_t(srcW) * 4) return false;
    if (dstW < 1 || dstH < 1) return true;
    if (dstStride < std::size_t(dstW) * 4) return false;

    Job job{src,
            srcStride,
            srcW,
            dst,
            dstStride,
            dstW,
            MakeWeights(srcW, dstW),
            MakeWeights(srcH, dstH),
            0,
            0.0};
    // At most 2^30 source pixels, so every sum below stays under 255 * 2^30.
    job.total = job.xs.total * job.ys.total;
    job.inverse = 1.0 / double(2 * job.total);

    // A vertical sum is at most 255 times the height weight, a vertical weight
    // at most the destination height: 32-bit sums and 16-bit weights hold them
    // for all but extreme sizes.
    constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
    if (job.ys.total > kMax32 / 255)
        Run<std::uint64_t, std::uint64_t>(job, dstH, threads);
    else if (job.ys.whole > std::numeric_limits<std::uint16_t>::max())
        Run<std::uint32_t, std::uint32_t>(job, dstH, threads);
    else
        Run<std::uint32_t, std::uint16_t>(job, dstH, threads);
    return true;
}

void ScalePicture(const PictureBuffer& src, int w, int h, PictureBuffer& dst, int threads) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (!src.hasImage() || src.width() < 1 || src.height() < 1) {
        dst.assignBlack(w, h);
        return;
    }
    if (&src == &dst) {
        PictureBuffer scaled;
        ScalePicture(src, w, h, scaled, threads);
        dst.swap(scaled);
        return;
    }
    std::uint8_t* out = dst.assign(w, h);
    AreaScale(src.bits(), src.width(), src.height(), src.stride(), out, w, h, dst.stride(),
              threads);
}

}  // namespace tsy
