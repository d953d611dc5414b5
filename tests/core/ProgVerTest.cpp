#include <gtest/gtest.h>

#include "base/ProgVer.h"

using tsy::ProgVer;

TEST(ProgVer, SuffixRules) {
    EXPECT_EQ(ProgVer(), "1.34");
    EXPECT_EQ(ProgVer({1, 5, 3}), "1.05c");
    EXPECT_EQ(ProgVer({1, 5, 1}), "1.05a");
    EXPECT_EQ(ProgVer({1, 5, 26}), "1.05z");
    EXPECT_EQ(ProgVer({1, 5, 27}), "1.05");
    EXPECT_EQ(ProgVer({1, 5, 100}), "1.05 Beta");
    EXPECT_EQ(ProgVer({1, 5, 199}), "1.05 Beta 99");
    EXPECT_EQ(ProgVer({1, 5, 1000}), "1.05 Alpha");
    EXPECT_EQ(ProgVer({1, 5, 1002}), "1.05 Alpha 2");
    EXPECT_EQ(ProgVer({1, 5, 2000}), "1.05 Beta");
    EXPECT_EQ(ProgVer({1, 5, 2999}), "1.05 Beta 999");
    EXPECT_EQ(ProgVer({1, 5, 255}), "1.05\xC3\x9F");
    EXPECT_EQ(ProgVer({1, 5, 9999}), "1.05\xC3\x9F");
    EXPECT_EQ(ProgVer({1, 5, 3000}), "1.05");
    EXPECT_EQ(ProgVer({2, 123, 0}), "2.23");  // the last two digits of the minor
}
