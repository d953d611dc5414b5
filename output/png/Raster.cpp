#include "output/png/Raster.h"

#include <algorithm>
#include <array>
#include <functional>

namespace tsy::png {

namespace {

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

}  // namespace

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

}  // namespace tsy::png
