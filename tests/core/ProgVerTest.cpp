#include <gtest/gtest.h>

#include "base/ProgVer.h"

TEST(ProgVer, SuffixRules) {
    const std::pair<int, const char*> builds[] = {{3, "1.05c"},          {1, "1.05a"},
                                                  {26, "1.05z"},         {27, "1.05"},
                                                  {100, "1.05 Beta"},    {199, "1.05 Beta 99"},
                                                  {1000, "1.05 Alpha"},  {1002, "1.05 Alpha 2"},
                                                  {2000, "1.05 Beta"},   {2999, "1.05 Beta 999"},
                                                  {255, "1.05\xC3\x9F"}, {9999, "1.05\xC3\x9F"},
                                                  {3000, "1.05"}};
    for (const auto& [build, text] : builds)
        EXPECT_EQ(tsy::ProgVer({1, 5, build}), text) << build;
    EXPECT_EQ(tsy::ProgVer({2, 123, 0}), "2.23");  // the last two digits of the minor
}
