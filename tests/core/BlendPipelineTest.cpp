#include <gtest/gtest.h>

#include <cstring>

#include "base/Progress.h"
#include "render/BlendPipeline.h"

using namespace tsy;

TEST(BlendPipeline, MethodNumbersFromTheOptionIndexes) {
    // Colour index 0 grayscale, 1 half, 2 full, 3 optimized; glasses 1 = green/magenta.
    EXPECT_EQ(MethodNumberFor(0, 0), 1);
    EXPECT_EQ(MethodNumberFor(0, 2), 3);
    EXPECT_EQ(MethodNumberFor(0, 3), 4);
    EXPECT_EQ(MethodNumberFor(1, 0), 17);
    EXPECT_EQ(MethodNumberFor(1, 3), 20);
    // Amber/blue: 32 + n, without an optimized form; 4 Dubois.
    EXPECT_EQ(MethodNumberFor(2, 0), 33);
    EXPECT_EQ(MethodNumberFor(2, 3), 0);
    EXPECT_EQ(MethodNumberFor(2, 4), 37);
    EXPECT_EQ(MethodNumberFor(0, 4), 5);
    EXPECT_EQ(MethodNumberFor(3, 0), 0);
}

TEST(BlendPipeline, WorkingSizeCutsAndExtendsImageTwo) {
    PictureBuffer a, b, out;
    a.assign(10, 6);
    std::memset(a.bits(), 0x40, a.byteCount());
    b.assign(4, 9);
    std::memset(b.bits(), 0x80, b.byteCount());
    SizeWorkingBuffers(a, b, out, 10, 6, true);
    EXPECT_EQ(b.width(), 10);
    EXPECT_EQ(b.height(), 6);
    EXPECT_EQ(b.pixel(3, 5), 0x80808080u);
    EXPECT_EQ(b.pixel(4, 0), PictureBuffer::kBlack);
    EXPECT_EQ(out.width(), 10);
    EXPECT_FALSE(out.hasImage());
    SizeWorkingBuffers(a, b, out, 11, 6, false);  // half of an odd width
    EXPECT_EQ(a.width(), 6);
    EXPECT_EQ(out.width(), 6);
}

TEST(BlendPipeline, ControlOffsetsMoveTheViewsApart) {
    // Each pixel's red and green hold its column.
    PictureBuffer left, right, out;
    for (PictureBuffer* p : {&left, &right}) {
        std::uint8_t* d = p->assign(20, 2);
        for (int i = 0; i < 40; ++i) {
            d[i * 4 + 0] = std::uint8_t(i % 20);  // blue
            d[i * 4 + 1] = std::uint8_t(i % 20);  // green
            d[i * 4 + 2] = std::uint8_t(i % 20);  // red
            d[i * 4 + 3] = 0xFF;
        }
    }
    SilentProgress quiet;
    AnaglyphSettings s;
    s.offsetX = 4;  // image 2 moves by +2 columns, image 1 by -2
    ASSERT_TRUE(BuildAnaglyph(left, right, out, s, quiet, 1));
    const std::uint32_t p = out.pixel(10, 0);
    EXPECT_EQ((p >> 16) & 0xFF, 8u);  // red from image 1, column 10 - 2
    EXPECT_EQ((p >> 8) & 0xFF, 12u);  // green from image 2, column 10 + 2
}

TEST(BlendPipeline, TextsRoundHalvesUpWithTheGivenSeparator) {
    EXPECT_EQ(DimensionsText(1200, 800, "."), "1200 x 800  =  1.0 mp");
    EXPECT_EQ(DimensionsText(640, 480, "."), "640 x 480  =  0.3 mp");
    EXPECT_EQ(DimensionsText(500, 500, ","), "500 x 500  =  0,3 mp");  // 0.25 exactly
    EXPECT_EQ(DimensionsText(6000, 4000, "."), "6000 x 4000  =  24.0 mp");
    EXPECT_EQ(DimensionsText(0, 0, "."), "0 x 0  =  0.0 mp");
    EXPECT_EQ(ReadyText(0.4237, "."), "Ready!  (0.42s)");
    EXPECT_EQ(ReadyText(0.004, ","), "Ready!  (0,00s)");
    EXPECT_EQ(ReadyText(1.5, "."), "Ready!  (1.50s)");
    EXPECT_EQ(ReadyText(0.125, "."), "Ready!  (0.13s)");
    EXPECT_EQ(ReadyText(123.456, "."), "Ready!  (123.46s)");
}
