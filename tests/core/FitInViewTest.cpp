#include <gtest/gtest.h>

#include "prepare/FitInView.h"

TEST(AspectFit, SizeAndPlacementWithinTheOuterSize) {
    const struct {
        int srcW, srcH, innerW, innerH, outerW, outerH;
        const char* fit;  // width x height + x + y
    } cases[] = {
        {3000, 1000, 214, 160, 214, 160, "214x71+0+44"},  // odd margin 89: the extra row goes below
        {1000, 3000, 214, 160, 214, 160, "53x160+80+0"},
        {1600, 1200, 214, 160, 214, 160, "214x160+0+0"},
        // R = 0.59090906f; 330 * R = 194.99998 -> 194 (not 195).
        {104, 176, 440, 330, 440, 330, "194x330+123+0"},
        {2100, 1000, 210, 156, 214, 160, "210x100+2+30"},  // 2-pixel border
        {0, 100, 214, 160, 214, 160, "0x0+107+80"},        // an empty source fits as nothing
        {5000, 1, 214, 160, 214, 160, "214x0+0+80"},
    };
    for (const auto& c : cases) {
        const auto f = tsy::FitAspect(c.srcW, c.srcH, c.innerW, c.innerH, c.outerW, c.outerH);
        EXPECT_EQ(std::to_string(f.width) + "x" + std::to_string(f.height) + "+" +
                      std::to_string(f.x) + "+" + std::to_string(f.y),
                  c.fit)
            << c.srcW << "x" << c.srcH;
    }
    // A height below one row: the copy uses the source's row.
    const auto f = tsy::FitAspect(5000, 1, 214, 160, 214, 160);
    EXPECT_EQ(f.copyWidth * 1000 + f.copyHeight, 214001);
}
