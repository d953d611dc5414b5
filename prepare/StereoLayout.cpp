#include "prepare/StereoLayout.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "base/PictureBuffer.h"
#include "base/WorkerPool.h"
#include "prepare/SideBySide.h"

namespace tsy {

namespace {

// For output index i of n, the source index within a view `size` long:
// i itself, or floor(i * size / n) when the view is stretched to n.
int Source(int i, int size, int n) {
    return n == size ? i : int(std::int64_t(i) * size / n);
}

// Columns [start, start + size) of src, widened to outW.
void CopyColumns(const PictureBuffer& src, int start, int size, int outW, PictureBuffer& out) {
    out.assign(outW, src.height());
    std::vector<int> cols(static_cast<std::size_t>(outW));
    for (int x = 0; x < outW; ++x)
        cols[std::size_t(x)] = start + Source(x, size, outW);
    for (int y = 0; y < src.height(); ++y) {
        const auto* s = reinterpret_cast<const std::uint32_t*>(src.row(y));
        auto* d = reinterpret_cast<std::uint32_t*>(out.row(y));
        if (outW == size)
            std::memcpy(d, s + start, std::size_t(size) * 4);
        else
            for (int x = 0; x < outW; ++x)
                d[x] = s[cols[std::size_t(x)]];
    }
}

// Rows [start, start + size) of src, heightened to outH.
void CopyRows(const PictureBuffer& src, int start, int size, int outH, PictureBuffer& out) {
    out.assign(src.width(), outH);
    for (int y = 0; y < outH; ++y)
        std::memcpy(out.row(y), src.row(start + Source(y, size, outH)), src.stride());
}

}  // namespace

std::string LayoutName(const StereoLayout& l) {
    if (!l.InOnePicture()) return l.arrangement == Arrangement::Auto ? "auto" : "separate";
    return std::string(l.arrangement == Arrangement::SideBySide ? "sbs-" : "tb-") +
           (l.leftFirst ? "lr" : "rl") + (l.half ? "-half" : "");
}

SplitResult SplitStereo(const PictureBuffer& picture, const StereoLayout& layout,
                        PictureBuffer& left, PictureBuffer& right, int threads) {
    const bool sbs = layout.arrangement == Arrangement::SideBySide;
    const int extent = sbs ? picture.width() : picture.height();
    const char* side = sbs ? "wide" : "high";
    if (!picture.hasImage() || picture.width() < 1 || picture.height() < 1)
        return {false, "there is no picture to split"};
    if (extent < 2)
        return {false, std::string("a picture 1 pixel ") + side + " cannot hold two views " +
                           (sbs ? "side by side" : "one above the other")};
    int size = HalfWidth(extent), second = extent - size;
    if (layout.padding != 0) {
        if (layout.padding < 0 || extent - layout.padding < 2 || (extent - layout.padding) % 2)
            return {false, "the picture is " + std::to_string(extent) + " pixels " + side +
                               ", which two views with " + std::to_string(layout.padding) +
                               " pixels between them cannot fill"};
        size = (extent - layout.padding) / 2;
        second = size + layout.padding;
    }
    SplitResult result{true, {}};
    if (layout.padding == 0 && extent % 2)
        result.message = "the picture is " + std::to_string(extent) + " pixels " + side +
                         ", an odd number: its middle " + (sbs ? "column" : "row") +
                         " belongs to both views";
    const int out = layout.half ? extent : size;
    // The view on the left (on top) first.
    PictureBuffer* views[2] = {layout.leftFirst ? &left : &right,
                               layout.leftFirst ? &right : &left};
    if (sbs && layout.padding == 0) {  // the window's split, kept to the byte
        SplitSideBySide(picture, picture.width(), picture.height(), layout.half, *views[0],
                        *views[1], threads);
        left.touch(), right.touch();
        return result;
    }
    // Each view on a thread of its own.
    std::exception_ptr failed[2];  // tasks must not throw: carried out instead
    ParallelFor(2, threads, [&](int i) {
        PictureBuffer& view = *views[i];
        try {
            if (sbs)
                CopyColumns(picture, i ? second : 0, size, out, view);
            else
                CopyRows(picture, i ? second : 0, size, out, view);
            view.touch();
        } catch (...) {
            failed[i] = std::current_exception();
        }
    });
    for (const std::exception_ptr& e : failed)
        if (e) std::rethrow_exception(e);
    return result;
}

}  // namespace tsy
