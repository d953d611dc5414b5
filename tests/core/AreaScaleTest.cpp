#include <gtest/gtest.h>

#include <algorithm>

#include "OutputTestFiles.h"
#include "prepare/AreaScale.h"

namespace {

constexpr std::uint8_t kPad = 0xA5;  // row padding that must survive

struct Block {
    int w = 0, h = 0;
    std::size_t stride = 0;
    std::vector<std::uint8_t> bytes;
    Block(int w_, int h_, std::size_t pad)
        : w(w_), h(h_), stride(std::size_t(w_) * 4 + pad), bytes(stride * std::size_t(h_), kPad) {}
    std::uint8_t* at(int x, int y, int c = 0) {
        return bytes.data() + std::size_t(y) * stride + std::size_t(x) * 4 + std::size_t(c);
    }
};

Block Noise(int w, int h, std::size_t pad, unsigned seed) {
    Block b(w, h, pad);
    std::mt19937 rng(seed);
    b.bytes = RandomBytes(b.bytes.size(), rng);
    return b;
}

// The area average of one destination pixel, integrated in double precision.
double AreaAverage(Block& s, int dw, int dh, int x, int y, int c) {
    const double x0 = double(x) * s.w / dw, x1 = double(x + 1) * s.w / dw;
    const double y0 = double(y) * s.h / dh, y1 = double(y + 1) * s.h / dh;
    double sum = 0;
    for (int j = int(y0); j < s.h && j < y1; ++j) {
        const double wy = std::min(j + 1.0, y1) - std::max(double(j), y0);
        for (int i = int(x0); i < s.w && i < x1; ++i) {
            const double wx = std::min(i + 1.0, x1) - std::max(double(i), x0);
            sum += wx * wy * *s.at(i, j, c);
        }
    }
    return sum / ((x1 - x0) * (y1 - y0));
}

Block Scale(Block& s, int dw, int dh, int threads) {
    Block d(dw, dh, 12);
    EXPECT_TRUE(tsy::AreaScale(s.bytes.data(), s.w, s.h, s.stride, d.bytes.data(), dw, dh, d.stride,
                               threads));
    return d;
}

}  // namespace

// Halves round up; a uniform picture (the large ones) stays exact at any size.
TEST(AreaScale, MatchesTheAreaIntegralRoundedToNearest) {
    // Odd ratios, mixed reduce/enlarge, single pixels, 16-bit batches and row weights exceeded.
    const int cases[][4] = {{7, 5, 3, 2},          {13, 11, 5, 7},       {10, 10, 3, 3},
                            {5, 3, 11, 7},         {1, 1, 4, 3},         {9, 1, 1, 1},
                            {1, 9, 3, 1},          {17, 4, 17, 9},       {3, 1001, 2, 2},
                            {1, 131075, 1, 65537}, {64, 48, 32, 24},     {997, 613, 440, 330},
                            {997, 613, 214, 160},  {997, 613, 1500, 999}};
    for (const auto& [sw, sh, dw, dh] : cases)
        for (int threads : {1, 2}) {
            SCOPED_TRACE(testing::Message()
                         << sw << "x" << sh << ">" << dw << "x" << dh << " " << threads);
            Block src = Noise(sw, sh, 8, unsigned(sw * 131 + sh));
            for (int y = 0; y < sh && sw == 997; ++y)
                for (int x = 0; x < sw; ++x)
                    *src.at(x, y, 0) = 37, *src.at(x, y, 1) = 200, *src.at(x, y, 2) = 255;
            Block dst = Scale(src, dw, dh, threads);
            int bad = 0;
            for (int y = 0; y < dh; ++y) {
                for (int x = 0; x < dw; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        const double d = *dst.at(x, y, c) - AreaAverage(src, dw, dh, x, y, c);
                        bad += d > 0.5 + 1e-6 || d <= -0.5 + 1e-6;
                    }
                    bad += *dst.at(x, y, 3) != 0xFF;
                }
                bad += std::count_if(dst.at(dw, y), dst.at(0, y) + dst.stride,
                                     [](std::uint8_t b) { return b != kPad; });
            }
            EXPECT_EQ(bad, 0);
        }
}

TEST(AreaScale, SumsOfVeryTallColumnsStayExact) {
    // Past 2^32 / 255 rows per output row the sums need 64 bits. In red the
    // lower half of the column is a row longer, so the mean is just above 127.5.
    const int h = 16843011;
    Block src(1, h, 0);
    for (int y = 0; y < h; ++y)
        *src.at(0, y, 1) = 255, *src.at(0, y, 2) = y < (h - 1) / 2 ? 0 : 255;
    Block dst = Scale(src, 1, 1, 1);
    EXPECT_EQ(*dst.at(0, 0, 0), kPad);
    EXPECT_EQ(*dst.at(0, 0, 1), 255);
    EXPECT_EQ(*dst.at(0, 0, 2), 128);
}

TEST(AreaScale, PictureBuffersAndUnusableInput) {
    tsy::PictureBuffer empty(30, 20), out;
    tsy::ScalePicture(empty, 5, 4, out, 1);
    ASSERT_TRUE(out.hasImage() && out.width() == 5 && out.height() == 4);
    EXPECT_EQ(out.pixel(4, 3), tsy::PictureBuffer::kBlack);

    // Scaling a buffer into itself reads the old picture, not the new one.
    tsy::PictureBuffer pic =
        MakePicture(2, 1, [](int x, int) { return x ? 0x463C32u : 0x1E140Au; });
    tsy::ScalePicture(pic, 1, 1, pic, 2);
    ASSERT_EQ(pic.width(), 1);
    EXPECT_EQ(pic.pixel(0, 0), 0xFF32281Eu);  // R 50, G 40, B 30 and X set

    std::uint8_t d[16] = {};
    const std::uint8_t s[16] = {};
    EXPECT_FALSE(tsy::AreaScale(s, 2, 2, 7, d, 2, 2, 8));  // source stride short of a row
    EXPECT_FALSE(tsy::AreaScale(s, 2, 2, 8, d, 2, 2, 4));  // destination stride too
    EXPECT_FALSE(tsy::AreaScale(nullptr, 2, 2, 8, d, 2, 2, 8));
    EXPECT_FALSE(tsy::AreaScale(s, 0, 2, 8, d, 2, 2, 8));
    EXPECT_TRUE(tsy::AreaScale(s, 2, 2, 8, d, 0, 2, 8));  // nothing to do
    EXPECT_EQ(std::count(d, d + 16, 0), 16);
}
