#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "base/Progress.h"
#include "prepare/StereoCrop.h"
#include "render/BlendPipeline.h"

namespace {

using tsy::CropRect;
using tsy::PictureBuffer;

constexpr int kW = 320, kH = 240;

PictureBuffer White() {
    PictureBuffer p;
    std::fill_n(reinterpret_cast<std::uint32_t*>(p.assign(kW, kH)), kW * kH, 0xFFFFFFFFu);
    return p;
}

bool IsWhite(const PictureBuffer& p, int x, int y) {
    return (p.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
}

// The engine's full-colour anaglyph of two white views is white exactly where
// both have picture: black and single-eye pixels lack a channel.
PictureBuffer Both(PictureBuffer& image1, PictureBuffer& image2, int offsetX, int offsetY) {
    PictureBuffer out;
    tsy::SilentProgress quiet;
    tsy::AnaglyphSettings s;
    s.offsetX = offsetX, s.offsetY = offsetY;
    EXPECT_TRUE(tsy::BuildAnaglyph(image1, image2, out, s, quiet, 2));
    return out;
}

// The largest all-white rectangle, by the histogram of white runs above each row.
CropRect LargestWhite(const PictureBuffer& p) {
    std::vector<int> run(std::size_t(p.width()) + 1, 0);
    long best = 0;
    CropRect r;
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x)
            run[std::size_t(x)] = IsWhite(p, x, y) ? run[std::size_t(x)] + 1 : 0;
        std::vector<int> stack;
        for (int x = 0; x <= p.width(); ++x) {
            while (!stack.empty() && run[std::size_t(stack.back())] >= run[std::size_t(x)]) {
                const int h = run[std::size_t(stack.back())];
                stack.pop_back();
                const int from = stack.empty() ? 0 : stack.back() + 1;
                if (long(h) * (x - from) > best) {
                    best = long(h) * (x - from);
                    r = {from, y - h + 1, x - from, h};
                }
            }
            stack.push_back(x);
        }
    }
    return r;
}

// Image 2 turned, scaled and shifted, views moved by odd and even offsets:
// the cut views show both eyes' picture to every edge, and each edge lies
// within a pixel of the largest such rectangle of the engine's own result.
TEST(StereoCrop, CutsToTheLargestRectangleBothViewsFill) {
    const struct {
        double vertical, roll, scale;
        int offsetX, offsetY;
    } cases[] = {
        {0, 0, 1, 0, 0},         {0, 0, 1, 17, 0},   {0, 0, 1, -24, 9},
        {12.5, 0, 1, 0, -7},     {-8, 2.5, 1, 0, 0}, {5, -3, 0.97, 10, -4},
        {-3, 1.2, 1.04, -15, 4}, {20, 10, 1, 31, 0}, {0, -6, 0.9, -40, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "V " << c.vertical << " A " << c.roll << " S " << c.scale
                                        << " X " << c.offsetX << " Y " << c.offsetY);
        const tsy::AlignTransform t{c.vertical, c.roll, c.scale, (kW - 1) / 2.0, (kH - 1) / 2.0};
        PictureBuffer image1 = White(), image2, alone1 = White(), alone2;
        tsy::ResampleView(White(), t, image2);
        const PictureBuffer full = Both(image1, image2, c.offsetX, c.offsetY);
        const CropRect want = LargestWhite(full);
        const CropRect got = tsy::CommonPicture(kW, kH, &t, c.offsetX, c.offsetY);
        EXPECT_LE(got.x, want.x + 1);
        EXPECT_LE(got.y, want.y + 1);
        EXPECT_GE(got.x + got.width, want.x + want.width - 1);
        EXPECT_GE(got.y + got.height, want.y + want.height - 1);

        PictureBuffer copy1, copy2;  // cut as copies, the views kept whole
        ASSERT_TRUE(tsy::CutCopies(image1, image2, got, c.offsetX, c.offsetY, copy1, copy2));
        ASSERT_TRUE(tsy::CropViews(image1, image2, got, c.offsetX, c.offsetY));
        for (const auto& [copy, view] : {std::pair{&copy1, &image1}, {&copy2, &image2}})
            EXPECT_TRUE(copy->byteCount() == view->byteCount() &&
                        std::memcmp(copy->bits(), view->bits(), view->byteCount()) == 0);
        ASSERT_TRUE(tsy::ResampleAndCrop(alone1, White(), t, got, c.offsetX, c.offsetY, alone2));
        ASSERT_EQ(image1.width(), got.width);
        ASSERT_EQ(alone2.height(), got.height);
        // Cut views taken without offsets: both eyes everywhere, and for even
        // offsets exactly that part of the result.
        const bool even = c.offsetX % 2 == 0 && c.offsetY % 2 == 0;
        const PictureBuffer cut = Both(image1, image2, 0, 0), alone = Both(alone1, alone2, 0, 0);
        int wrong = 0;
        for (int y = 0; y < got.height; ++y)
            for (int x = 0; x < got.width; ++x)
                wrong += !IsWhite(cut, x, y) || !IsWhite(alone, x, y) ||
                         (even && cut.pixel(x, y) != full.pixel(got.x + x, got.y + y));
        EXPECT_EQ(wrong, 0);
    }
}

// The batch resamples the part it keeps where the window cuts the whole:
// the same pixels, whatever the threads.
TEST(StereoCrop, APartOfImage2IsExactlyThatPartOfTheWhole) {
    PictureBuffer source;
    auto* p = reinterpret_cast<std::uint32_t*>(source.assign(kW, kH));
    for (std::uint32_t i = 0; i < std::uint32_t(kW * kH); ++i)
        p[i] = 0xFF000000u | ((i * 2654435761u) >> 8);
    const tsy::AlignTransform t{7.3, 1.9, 1.013, (kW - 1) / 2.0, (kH - 1) / 2.0};
    PictureBuffer whole;
    tsy::ResampleView(source, t, whole, 3);
    for (const CropRect r :
         {CropRect{0, 0, kW, kH}, {17, 9, 250, 200}, {63, 0, 101, kH}, {1, 1, 1, 1}}) {
        PictureBuffer part;
        ASSERT_TRUE(tsy::ResampleViewPart(source, t, r.x, r.y, r.width, r.height, part, 2));
        int wrong = 0;
        for (int y = 0; y < r.height; ++y)
            wrong += std::memcmp(part.row(y), whole.row(r.y + y) + std::size_t(r.x) * 4,
                                 part.stride()) != 0;
        EXPECT_EQ(wrong, 0) << r.x << "," << r.y;
    }
}

TEST(StereoCrop, KeepsTheWholePictureWhenCuttingIsWrong) {
    tsy::AlignResult failed, turned;
    turned.aligned = true;
    turned.transform = {0, 8, 1, (kW - 1) / 2.0, (kH - 1) / 2.0};
    const struct {
        const tsy::AlignResult* alignment;
        int offsetX;
        bool cut;
        const char* refusal;
    } rows[] = {
        {nullptr, 0, false, ""},
        {nullptr, 6, true, ""},
        {&failed, 6, false, "not cropped: the pair could not be aligned"},
        {&turned, 0, true, ""},
        {nullptr, -250, false, "not cropped: only 21 % of the picture would be left"},
        {nullptr, -kW, false, "not cropped: the views do not overlap"},
    };
    for (const auto& row : rows) {
        const tsy::CropPlan plan = tsy::PlanCrop(kW, kH, row.alignment, row.offsetX, 0);
        EXPECT_EQ(plan.cut, row.cut) << row.offsetX;
        EXPECT_EQ(plan.refusal, row.refusal);
        if (!plan.cut) {
            EXPECT_EQ(plan.rect, (CropRect{0, 0, kW, kH}));
        }
    }
    // A rectangle past the views leaves them as they were.
    PictureBuffer image1 = White(), image2 = White();
    EXPECT_FALSE(tsy::CropViews(image1, image2, {0, 0, kW, kH}, 2, 0));
    EXPECT_EQ(image1.width(), kW);
}

}  // namespace
