#include <gtest/gtest.h>

#include "OutputTestFiles.h"

using tsy::PictureBuffer;

namespace {

std::uint32_t Pattern(int x, int y) {
    return 0xFF000000u | std::uint32_t(y) << 12 | std::uint32_t(x);
}

// The pattern survives in the top left oldW x oldH, the rest is black.
void ExpectAnchored(const PictureBuffer& b, int oldW, int oldH) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            ASSERT_EQ(b.pixel(x, y), x < oldW && y < oldH ? Pattern(x, y) : PictureBuffer::kBlack)
                << x << "," << y;
}

}  // namespace

TEST(PictureBuffer, ResizeKeepsTopLeftAndFillsBlack) {
    for (auto [w, h] : {std::pair{37, 11}, {5, 80}, {300, 300}, {1, 1}, {64, 3}, {60, 30}}) {
        PictureBuffer b = MakePicture(40, 30, Pattern);
        b.resize(w, h);
        ASSERT_EQ(b.width() * 1000 + b.height(), w * 1000 + h);
        ExpectAnchored(b, std::min(w, 40), std::min(h, 30));
    }
    PictureBuffer b = MakePicture(100, 50, Pattern);
    b.resize(80, 50);
    b.resize(100, 50);  // the cut columns stay gone
    ExpectAnchored(b, 80, 50);
}

TEST(PictureBuffer, ClearKeepsTheAllocationAndReadsBlackAtAnySize) {
    PictureBuffer b;
    const std::uint8_t* first = b.assign(200, 100);
    b.clear();
    EXPECT_EQ(b.assign(200, 100), first);
    EXPECT_EQ(b.assign(100, 100), first);  // smaller fits too
    b.clear();
    EXPECT_TRUE(!b.hasImage() && b.bits() == nullptr);
    b.resize(64, 64);
    EXPECT_EQ(b.width() * 1000 + b.height(), 64064);
    ExpectAnchored(b, 0, 0);
    EXPECT_EQ(b.pixel(-1, 0), PictureBuffer::kBlack);
}

TEST(PictureBuffer, CopySwapAndGenerations) {
    PictureBuffer a = MakePicture(9, 7, Pattern), b;
    const auto genA = a.generation();
    b.copyFrom(a);
    ASSERT_EQ(b.width() * 1000 + b.height(), 9007);
    ExpectAnchored(b, 9, 7);
    EXPECT_EQ(a.generation(), genA);  // the source is only read

    PictureBuffer empty(3, 3);
    b.swap(empty);
    EXPECT_TRUE(!b.hasImage() && b.width() == 3);
    ExpectAnchored(empty, 9, 7);
    EXPECT_NE(a.generation(), empty.generation());

    b.copyFrom(PictureBuffer(5, 4));
    EXPECT_TRUE(!b.hasImage() && b.width() == 5);
}

TEST(PictureBuffer, RefusesAbsurdSizesAndNegatives) {
    PictureBuffer b;
    EXPECT_THROW(b.assign(1 << 20, 1 << 20), std::bad_alloc);
    EXPECT_FALSE(b.hasImage());
    b.resize(-5, 10);
    EXPECT_EQ(b.width() * 1000 + b.height(), 10);
    b = MakePicture(4, 4, Pattern);
    EXPECT_THROW(b.resize(1 << 20, 1 << 20), std::bad_alloc);
    ASSERT_EQ(b.width() * 1000 + b.height(), 4004);  // unchanged after the refusal
    ExpectAnchored(b, 4, 4);
}

TEST(PictureBuffer, CropKeepsTheRectangleInPlace) {
    const struct {
        int x, y, w, h;
        bool done;
    } rows[] = {{3, 2, 30, 20, true},  {0, 0, 40, 30, true}, {39, 29, 1, 1, true},
                {11, 0, 30, 5, false}, {0, 0, 0, 5, false},  {-1, 0, 5, 5, false}};
    for (const auto& r : rows) {
        PictureBuffer b = MakePicture(40, 30, Pattern);
        const std::uint8_t* block = b.bits();
        ASSERT_EQ(b.crop(r.x, r.y, r.w, r.h), r.done) << r.x << "," << r.w;
        EXPECT_EQ(b.bits(), block);
        if (!r.done) {
            ExpectAnchored(b, 40, 30);
            continue;
        }
        ASSERT_EQ(b.width() * 1000 + b.height(), r.w * 1000 + r.h);
        for (int y = 0; y < r.h; ++y)
            for (int x = 0; x < r.w; ++x)
                ASSERT_EQ(b.pixel(x, y), Pattern(r.x + x, r.y + y));
    }
}
