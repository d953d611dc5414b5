#include "render/Anaglyph.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <new>
#include <string>

#include "render/AnaglyphKernel.h"

namespace tsy {

namespace {

using anaglyph::RowKernel;
using anaglyph::RowSpan;

// Where one axis of the output finds its source: index i reads (i + a) & ~1
// for an odd offset, i + a otherwise. That is i -/+ offset / 2 rounded to
// nearest with ties to even: offset / 2 = k + odd / 2 with k = floor(offset / 2).
struct Axis {
    bool odd = false;
    std::int64_t aR = 0;
    std::int64_t aL = 0;
    // Output indices whose source lies inside [0, n).
    std::int64_t loR = 0, hiR = 0, loL = 0, hiL = 0;
};

std::int64_t Source(std::int64_t i, std::int64_t a, bool odd) {
    return odd ? (i + a) & ~std::int64_t(1) : i + a;
}

// First output index in [0, n] whose source is at least v; sources never
// decrease along the axis.
std::int64_t FirstAtLeast(std::int64_t v, std::int64_t a, bool odd, std::int64_t n) {
    std::int64_t lo = 0, hi = n;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (Source(mid, a, odd) >= v)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

Axis MakeAxis(int offset, std::int64_t n) {
    Axis ax;
    const std::int64_t k = std::int64_t(offset) >> 1;
    ax.odd = (offset & 1) != 0;
    ax.aR = -k;
    ax.aL = k + (ax.odd ? 1 : 0);
    ax.loR = FirstAtLeast(0, ax.aR, ax.odd, n);
    ax.hiR = FirstAtLeast(n, ax.aR, ax.odd, n);
    ax.loL = FirstAtLeast(0, ax.aL, ax.odd, n);
    ax.hiL = FirstAtLeast(n, ax.aL, ax.odd, n);
    return ax;
}

// A missing view is read from zeros, in pieces of at most kZeroPixels; the
// margin covers the vector loads past a piece's last column.
constexpr std::ptrdiff_t kZeroPixels = 1024;
constexpr std::ptrdiff_t kZeroLimit = kZeroPixels + 16;
alignas(64) const std::uint8_t kZeros[kZeroLimit * 4] = {};

// Below this many pixels per band, waking another thread costs more than it saves.
constexpr std::int64_t kMinBandPixels = 1 << 16;

struct Segment {
    std::ptrdiff_t xs, xe;
    bool hasR, hasL;
};

struct Plan {
    const std::uint8_t* r;
    const std::uint8_t* l;
    std::uint8_t* out;
    std::ptrdiff_t rowBytes;
    std::int64_t rowPixels;
    std::int64_t height;
    int bpp;
    Axis cols;
    Axis rows;
    Segment segs[5];
    int segCount = 0;
    RowKernel kernel;
    anaglyph::RunContext ctx;
};

void SplitColumns(Plan& p) {
    const Axis& c = p.cols;
    std::int64_t cuts[] = {0, p.rowPixels, c.loR, c.hiR, c.loL, c.hiL};
    std::sort(std::begin(cuts), std::end(cuts));
    for (int i = 0; i + 1 < 6; ++i) {
        if (cuts[i] == cuts[i + 1]) continue;
        Segment s{cuts[i], cuts[i + 1], false, false};
        s.hasR = c.loR <= s.xs && s.xe <= c.hiR;
        s.hasL = c.loL <= s.xs && s.xe <= c.hiL;
        p.segs[p.segCount++] = s;
    }
}

const std::uint8_t* SourceRow(const std::uint8_t* block, std::int64_t y, std::int64_t a, bool odd,
                              const Plan& p) {
    if (!block) return nullptr;
    const std::int64_t src = Source(y, a, odd);
    if (src < 0 || src >= p.height) return nullptr;
    return block + src * p.rowBytes;
}

// Columns [c0, c1) of output row y.
void RunRow(const Plan& p, std::int64_t y, std::ptrdiff_t c0, std::ptrdiff_t c1) {
    RowSpan s;
    s.out = p.out + y * p.rowBytes;
    const std::uint8_t* r = SourceRow(p.r, y, p.rows.aR, p.rows.odd, p);
    const std::uint8_t* l = SourceRow(p.l, y, p.rows.aL, p.rows.odd, p);
    for (int i = 0; i < p.segCount; ++i) {
        const Segment& seg = p.segs[i];
        const std::ptrdiff_t xs = std::max(seg.xs, c0), xe = std::min(seg.xe, c1);
        if (xs >= xe) continue;
        const bool hasR = seg.hasR && r, hasL = seg.hasL && l;
        s.r = r;
        s.l = l;
        s.aR = p.cols.aR;
        s.aL = p.cols.aL;
        s.limR = s.limL = p.rowPixels;
        if (hasR && hasL) {
            s.xs = xs;
            s.xe = xe;
            p.kernel.combine(s, p.ctx);
            continue;
        }
        for (std::ptrdiff_t x = xs; x < xe; x += kZeroPixels) {
            s.xs = x;
            s.xe = std::min(xe, x + kZeroPixels);
            if (!hasR) {
                s.r = kZeros;
                s.aR = -x;
                s.limR = kZeroLimit;
            }
            if (!hasL) {
                s.l = kZeros;
                s.aL = -x;
                s.limL = kZeroLimit;
            }
            p.kernel.combine(s, p.ctx);
        }
    }
}

// With an odd vertical offset each view's rows serve two output rows. Doing
// two output rows together, a few columns at a time, reads a shared row once
// from memory; done one after the other, the second read of a row costs more
// than the first.
constexpr std::ptrdiff_t kPairColumns = 256;

void RunRows(const Plan& p, std::int64_t y0, std::int64_t y1) {
    const std::int64_t group = p.rows.odd ? 2 : 1;
    const std::ptrdiff_t step = p.rows.odd ? kPairColumns : p.rowPixels;
    for (std::int64_t y = y0; y < y1; y += group) {
        const std::int64_t yEnd = std::min(y + group, y1);
        for (std::ptrdiff_t c = 0; c < p.rowPixels; c += step)
            for (std::int64_t row = y; row < yEnd; ++row)
                RunRow(p, row, c, std::min(c + step, p.rowPixels));
        if (p.kernel.brighten)
            for (std::int64_t row = y; row < yEnd; ++row)
                p.kernel.brighten(p.out + row * p.rowBytes, p.rowPixels, *p.ctx.bright);
    }
}

void RunBlock(const Plan& p, std::int64_t y0, std::int64_t y1, int threads) {
    const std::int64_t rows = y1 - y0;
    std::int64_t bands = 1;
    if (threads > 1)
        bands = std::max<std::int64_t>(
            1, std::min({rows, std::int64_t(threads) * 4, rows * p.rowPixels / kMinBandPixels}));
    if (bands == 1) {
        RunRows(p, y0, y1);
        return;
    }
    ParallelFor(int(bands), threads,
                [&](int i) { RunRows(p, y0 + rows * i / bands, y0 + rows * (i + 1) / bands); });
}

bool ValidBlock(const PixelBlock& b) {
    return b.W >= 0 && b.H >= 0 && (b.BytesPerPixel == 3 || b.BytesPerPixel == 4) &&
           b.RowPixels == RowPixelsFor(b.W, b.BytesPerPixel) &&
           std::int64_t(b.RowPixels) * b.BytesPerPixel * b.H <= PTRDIFF_MAX / 2;
}

bool SameGeometry(const PixelBlock& a, const PixelBlock& b) {
    return a.W == b.W && a.H == b.H && a.BytesPerPixel == b.BytesPerPixel &&
           a.RowPixels == b.RowPixels;
}

bool Overlap(const PixelBlock& a, const PixelBlock& b, std::size_t bytes) {
    if (!a.data || !b.data || bytes == 0) return false;
    const auto pa = reinterpret_cast<std::uintptr_t>(a.data);
    const auto pb = reinterpret_cast<std::uintptr_t>(b.data);
    return pa < pb + bytes && pb < pa + bytes;
}

// Rows are done in blocks between two 5-percent points: the block's captions
// go out before it is computed, in the order row-by-row reporting gives.
BlockStatus Render(const PixelBlock& R, const PixelBlock& L, const PixelBlock& Out,
                   const AnaglyphSettings& s, int threads, ProgressSink* progress, bool keepX) {
    const ChannelRecipe* recipe = RecipeFor(s.methodNumber);
    if (!recipe) return BlockStatus::UnknownMethod;
    if (!ValidBlock(Out) || !SameGeometry(R, Out) || !SameGeometry(L, Out))
        return BlockStatus::BadBlocks;
    const std::size_t bytes = std::size_t(Out.RowPixels) * Out.BytesPerPixel * Out.H;
    if (bytes == 0) return BlockStatus::Ok;
    if (!Out.data || Overlap(R, Out, bytes) || Overlap(L, Out, bytes))
        return BlockStatus::BadBlocks;

    const BrightnessTable bright(s.brightness);
    Plan p;
    p.r = R.data;
    p.l = L.data;
    p.out = Out.data;
    p.bpp = Out.BytesPerPixel;
    p.rowPixels = Out.RowPixels;
    p.rowBytes = std::ptrdiff_t(Out.RowPixels) * p.bpp;
    p.height = Out.H;
    p.cols = MakeAxis(s.offsetX, p.rowPixels);
    p.rows = MakeAxis(s.offsetY, p.height);
    SplitColumns(p);
    p.kernel = anaglyph::SelectKernel(*recipe, p.bpp, keepX, p.cols.odd, bright.brightness,
                                      anaglyph::ActiveIsa());
    if (!p.kernel.combine) return BlockStatus::UnknownMethod;
    const DuboisTables* dubois = recipe->weights ? &DuboisTablesFor(*recipe->weights) : nullptr;
    p.ctx = {&SharedLumTables(), &bright, dubois, dubois ? &SharedEncodeConstants() : nullptr};
    threads = std::max(threads, 1);

    const std::int64_t h = p.height;
    int shown = 0;
    for (std::int64_t y = 0; y < h;) {
        const std::int64_t step = 5 * (100 * y / h / 5 + 1);
        const std::int64_t end = std::min(h, (step * h + 99) / 100);
        for (std::int64_t row = y; progress && row < end;) {
            const int pct = int(100 * row / h);
            if (pct != shown) {
                shown = pct;
                if (pct % 5 == 0) progress->LetEventsRun();
                progress->SetCap("Calculating ...  " + std::to_string(pct) + "%");
            }
            row = ((pct + 1) * h + 99) / 100;  // first row of the next percentage
        }
        RunBlock(p, y, end, threads);
        y = end;
    }
    return BlockStatus::Ok;
}

// The kernels give a new result's pixels the X byte of the buffer's black.
static_assert((PictureBuffer::kBlack >> 24) == 0xFF);

PixelBlock View(PictureBuffer& b) {
    return {b.bits(), b.width(), b.height(), PictureBuffer::kBytesPerPixel, b.width()};
}

}  // namespace

int RowPixelsFor(int W, int BytesPerPixel) {
    const std::int64_t n = BytesPerPixel == 3 ? (std::int64_t(W) + 3) / 4 * 4 : W;
    return n > INT_MAX ? -1 : int(n);
}

BlockStatus AnaglyphBlock(const PixelBlock& R, const PixelBlock& L, const PixelBlock& Out,
                          const AnaglyphSettings& settings, int threads, ProgressSink* progress) {
    return Render(R, L, Out, settings, threads, progress, true);
}

bool Anaglyph(PictureBuffer& PicR, PictureBuffer& PicL, PictureBuffer& PicOut,
              const AnaglyphSettings& settings, ProgressSink& progress, int threads) {
    progress.SetCap("Initializing ...");
    if (!IsAnaglyphMethod(settings.methodNumber)) {
        progress.ReportError(int(EngineError::UnknownMethod),
                             std::to_string(settings.methodNumber));
        return false;
    }
    const int w = PicR.width(), h = PicR.height();
    // A view that is also the result is read from a copy taken before writing.
    PictureBuffer copy;
    bool keepX = true;
    try {
        PicL.resize(w, h);
        PicOut.resize(w, h);
        if (&PicOut == &PicR || &PicOut == &PicL) copy.copyFrom(PicOut);
        if (!PicOut.hasImage()) {
            PicOut.assign(w, h);
            keepX = false;
        }
    } catch (const std::bad_alloc&) {
        progress.ReportError(int(EngineError::OutOfMemory), {});
        return false;
    }
    const PixelBlock r = View(&PicR == &PicOut ? copy : PicR);
    const PixelBlock l = View(&PicL == &PicOut ? copy : PicL);
    Render(r, l, View(PicOut), settings, threads, &progress, keepX);
    PicOut.touch();
    return true;
}

}  // namespace tsy
