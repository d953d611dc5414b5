#include <gtest/gtest.h>

#include "OutputTestFiles.h"
#include "prepare/SideBySide.h"

using tsy::PictureBuffer;

namespace {

// Every pixel names its column (low 16 bits) and row (red, never 0: no tag is black).
constexpr std::uint32_t Tag(int x, int y) {
    return 0xFF000000u | std::uint32_t(y % 255 + 1) << 16 | std::uint32_t(x);
}

PictureBuffer Tagged(int w, int h) {
    return MakePicture(w, h, Tag);
}

}  // namespace

// Half column c of an even width fills output columns 2c and 2c + 1 once
// stretched; an odd width gives the middle column to both views. Rows split
// among threads come out the same.
TEST(SideBySide, EachViewShowsItsHalfOfEveryWidth) {
    for (int w : {1, 3, 2560, 2561})
        for (int mode = 0; mode < 4; ++mode) {
            const bool stretch = mode % 2;
            const int threads = mode < 2 ? 1 : 3;
            SCOPED_TRACE(testing::Message() << "width " << w << " stretch " << stretch << " threads "
                                            << threads);
            PictureBuffer left, right;
            tsy::SplitSideBySide(Tagged(w, 3), w, 3, stretch, left, right, threads);
            const int half = (w + 1) / 2;
            ASSERT_EQ(tsy::HalfWidth(w), half);
            ASSERT_EQ(left.width() * 10 + left.height(), (stretch ? w : half) * 10 + 3);
            ASSERT_EQ(right.width() * 10 + right.height(), left.width() * 10 + 3);
            std::vector<int> seen(std::size_t(w), 0);  // 1 by the left view, 2 by the right
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < left.width(); ++x) {
                    // The source column, or a huge number for another row or black.
                    const std::uint32_t l = left.pixel(x, y) - Tag(0, y),
                                        r = right.pixel(x, y) - Tag(0, y);
                    ASSERT_LT(l, std::uint32_t(half)) << x;
                    ASSERT_TRUE(r >= std::uint32_t(w - half) && r < std::uint32_t(w)) << x;
                    ASSERT_TRUE(w % 2 || l * 10000 + r == (stretch ? x / 2 : x) * 10001u + half)
                        << x;
                    seen[l] |= 1, seen[r] |= 2;
                }
            for (int c = 0; c < w; ++c)
                EXPECT_EQ(seen[std::size_t(c)], c == w / 2 && w % 2 ? 3 : c < half ? 1 : 2) << c;
        }
    for (auto [w, half] : {std::pair{0, 0}, {-3, 0}, {2147483647, 1073741824}})
        EXPECT_EQ(tsy::HalfWidth(w), half);
    // The smaller picture reuses the block.
    PictureBuffer left, right;
    tsy::SplitSideBySide(Tagged(8, 2), 8, 2, true, left, right);
    const std::uint8_t* keep = left.bits();
    tsy::SplitSideBySide(Tagged(8, 2), 8, 2, false, left, right);
    EXPECT_EQ(left.bits(), keep);
}

TEST(SideBySide, MissingPixelsReadAsBlack) {
    PictureBuffer none(8, 2), left, right;
    tsy::SplitSideBySide(none, 8, 2, true, left, right);
    ASSERT_TRUE(left.hasImage());
    ASSERT_EQ(right.width(), 8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(right.pixel(x, y) | left.pixel(x, y), PictureBuffer::kBlack);

    // Only what a small picture covers is copied; splitting into itself reads the old one.
    PictureBuffer small = Tagged(5, 1);
    tsy::SplitSideBySide(small, 8, 2, false, small, right);
    ASSERT_EQ(small.width(), 4);
    EXPECT_EQ(small.pixel(3, 0), Tag(3, 0));
    EXPECT_EQ(small.pixel(3, 1), PictureBuffer::kBlack);
    EXPECT_EQ(right.pixel(0, 0), Tag(4, 0));
    EXPECT_EQ(right.pixel(1, 0), PictureBuffer::kBlack);
}
