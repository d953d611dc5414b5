#include <gtest/gtest.h>

#include "prepare/FitInView.h"

using tsy::FitAspect;

TEST(AspectFit, WorkedCasesInABorderlessThumbnail) {
    auto wide = FitAspect(3000, 1000, 214, 160, 214, 160);
    EXPECT_EQ(wide.width, 214);
    EXPECT_EQ(wide.height, 71);
    EXPECT_EQ(wide.x, 0);
    EXPECT_EQ(wide.y, 44);  // odd margin 89: the extra row goes below

    auto tall = FitAspect(1000, 3000, 214, 160, 214, 160);
    EXPECT_EQ(tall.width, 53);
    EXPECT_EQ(tall.height, 160);
    EXPECT_EQ(tall.x, 80);

    auto same = FitAspect(1600, 1200, 214, 160, 214, 160);
    EXPECT_EQ(same.width, 214);
    EXPECT_EQ(same.height, 160);
    EXPECT_EQ(same.x, 0);
    EXPECT_EQ(same.y, 0);
}

TEST(AspectFit, SinglePrecisionDecidesThePixel) {
    // R = 0.59090906f; 330 * R = 194.99998 -> 194 (not 195).
    auto f = FitAspect(104, 176, 440, 330, 440, 330);
    EXPECT_EQ(f.width, 194);
    EXPECT_EQ(f.height, 330);
}

TEST(AspectFit, DegenerateHeightUsesTheSourceRowForTheCopy) {
    auto f = FitAspect(5000, 1, 214, 160, 214, 160);
    EXPECT_EQ(f.width, 214);
    EXPECT_EQ(f.height, 0);
    EXPECT_EQ(f.copyWidth, 214);
    EXPECT_EQ(f.copyHeight, 1);
    EXPECT_EQ(f.y, 80);
}

TEST(AspectFit, PlacementUsesTheOuterSize) {
    // 2-pixel border: inner 210 x 156, outer 214 x 160.
    auto f = FitAspect(2100, 1000, 210, 156, 214, 160);
    EXPECT_EQ(f.width, 210);
    EXPECT_EQ(f.height, 100);
    EXPECT_EQ(f.x, 2);
    EXPECT_EQ(f.y, 30);
}

TEST(AspectFit, EmptySourceFitsAsNothing) {
    auto f = FitAspect(0, 100, 214, 160, 214, 160);
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.height, 0);
    EXPECT_EQ(f.x, 107);
}
