#include "prepare/StereoLayout.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/PictureBuffer.h"
#include "prepare/SideBySide.h"

namespace tsy {

namespace {

using Arrangement = StereoLayout::Arrangement;

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
    return std::string(l.half ? "half-" : "") +
           (l.arrangement == Arrangement::SideBySide ? "sbs-" : "tb-") +
           (l.leftFirst ? "lr" : "rl");
}

SplitResult SplitStereo(const PictureBuffer& picture, const StereoLayout& layout,
                        PictureBuffer& left, PictureBuffer& right) {
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
    PictureBuffer& first = layout.leftFirst ? left : right;
    PictureBuffer& other = layout.leftFirst ? right : left;
    const int out = layout.half ? extent : size;
    if (sbs && layout.padding == 0) {
        // The window's split, kept to the byte.
        SplitSideBySide(picture, picture.width(), picture.height(), layout.half, first, other);
    } else if (sbs) {
        CopyColumns(picture, 0, size, out, first);
        CopyColumns(picture, second, size, out, other);
    } else {
        CopyRows(picture, 0, size, out, first);
        CopyRows(picture, second, size, out, other);
    }
    first.touch(), other.touch();
    return result;
}

}  // namespace tsy
