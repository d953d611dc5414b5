#include <gtest/gtest.h>

#include <array>

#include "prepare/FitInView.h"

TEST(AspectFit, SizeAndPlacementWithinTheOuterSize) {
    const struct {
        int srcW, srcH, innerW, innerH, outerW, outerH;
        std::array<int, 4> fit;  // width, height, x, y
    } cases[] = {
        {3000, 1000, 214, 160, 214, 160, {214, 71, 0, 44}},  // odd margin 89: extra row below
        {1000, 3000, 214, 160, 214, 160, {53, 160, 80, 0}},
        {1600, 1200, 214, 160, 214, 160, {214, 160, 0, 0}},
        // R = 0.59090906f; 330 * R = 194.99998 -> 194 (not 195).
        {104, 176, 440, 330, 440, 330, {194, 330, 123, 0}},
        {2100, 1000, 210, 156, 214, 160, {210, 100, 2, 30}},  // 2-pixel border
        {0, 100, 214, 160, 214, 160, {0, 0, 107, 80}},        // an empty source fits as nothing
        {5000, 1, 214, 160, 214, 160, {214, 0, 0, 80}},
    };
    for (const auto& c : cases) {
        const auto f = tsy::FitAspect(c.srcW, c.srcH, c.innerW, c.innerH, c.outerW, c.outerH);
        EXPECT_EQ((std::array{f.width, f.height, f.x, f.y}), c.fit) << c.srcW << "x" << c.srcH;
    }
    // A height below one row: the copy uses the source's row.
    const auto f = tsy::FitAspect(5000, 1, 214, 160, 214, 160);
    EXPECT_EQ(f.copyWidth * 1000 + f.copyHeight, 214001);
}
