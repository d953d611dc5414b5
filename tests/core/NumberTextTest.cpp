#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "window/rules/NumberText.h"

using tsy::FormatNumber;
using tsy::ParseNumber;
using tsy::RoundHalfEven;

constexpr double kBig = std::numeric_limits<double>::max(), k2To64 = 18446744073709551616.0;

// Any number of digits is rounded once (2^53 + 1 is a tie that goes to even
// unless a far digit tips it), any exponent is taken, and hexadecimal or octal
// saturates at 2^64 - 1, which as a double is 2^64.
TEST(NumberText, ReadsTheLeadingNumber) {
    const std::string z(3000, '0'), nines(5000, '9');
    const std::vector<std::pair<std::string, double>> typed = {
        {"300", 300},  {"-5x", -5},       {"abc", 0},         {"2.5", 2.5},
        {" 1 2 ", 12}, {"&H1F", 31},      {"&o17", 15},       {"&h f f", 255},
        {"&O78", 7},   {"1e3", 1000},     {"1D2", 100},       {"2.5d-1", 0.25},
        {"-.5", -0.5}, {"+5", 5},         {"7.", 7},          {"1.5.3", 1.5},
        {"1,5", 1},    {"1e", 1},         {"1e+x", 1},        {"1ee3", 1},
        {"0x10", 0},   {"", 0},           {"-", 0},           {"+", 0},
        {"-.", 0},     {".", 0},          {"+-5", 0},         {".e5", 0},
        {"e5", 0},     {"&", 0},          {"&x1", 0},         {"-&H1", 0},
        {"&O9", 0},    {"1e400", kBig},   {"-1e400", -kBig},  {"1.8e308", kBig},
        {"1e-400", 0}, {"&HFFFF", 65535}, {"&H10000", 65536}, {"\t-\n3 . 2 5", -3.25}};
    // Exponents past 64 bits (10^19 wraps negative) and digits past any buffer.
    const std::vector<std::pair<std::string, double>> hostile = {
        {"&HFFFFFFFFFFFFF", 4503599627370495.0}, {"1e99999999999999999999", kBig},
        {"1e10000000000000000000", kBig},        {"-1e-99999999999999999999", 0},
        {"0e99999999999999999999", 0},           {"1e0000000000000000000003", 1000}};
    const std::vector<std::pair<std::string, double>> built = {
        {"1" + std::string(300, '0'), 1e300},
        {nines, kBig},
        {"-" + nines, -kBig},
        {"&H" + std::string(100, 'F'), k2To64},
        {"&H1" + std::string(16, '0'), k2To64},
        {"&O2" + std::string(22, '0'), k2To64},
        {"0." + z + "1e3001", 1},
        {"9007199254740993." + z, 9007199254740992.0},
        {"9007199254740993." + z + "1", 9007199254740994.0}};
    for (const auto& list : {typed, hostile, built})
        for (const auto& [text, value] : list)
            EXPECT_EQ(ParseNumber(text), value) << '"' << text.substr(0, 40) << '"';
    EXPECT_GT(ParseNumber("1e-320"), 0);  // subnormal, not lost
    EXPECT_FALSE(std::signbit(ParseNumber("-0")));
    EXPECT_FALSE(std::signbit(ParseNumber("-1e-330")));
}

TEST(NumberText, RoundsHalvesToEvenAndClamps) {
    const std::pair<double, int> cases[] = {
        {2.5, 2},   {3.5, 4},       {-2.5, -2},     {-3.5, -4}, {0.5, 0},
        {-0.5, 0},  {2.4999999, 2}, {2.5000001, 3}, {-2.6, -3}, {127.5, 128},
        {300, 128}, {-kBig, -128},  {-128.5, -128}};
    for (auto [v, r] : cases)
        EXPECT_EQ(RoundHalfEven(v, -128, 128), r) << v;
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity(), 0, 5), 5);
    EXPECT_EQ(RoundHalfEven(std::nan(""), -3, 3), 0);
    EXPECT_EQ(RoundHalfEven(std::nan(""), 1, 100), 1);
    EXPECT_EQ(RoundHalfEven(7, 10, -10), 7);
    EXPECT_EQ(RoundHalfEven(1e10, -2147483647 - 1, 2147483647), 2147483647);
}

TEST(NumberText, WritesTheShortestTextThatReadsBack) {
    const std::pair<double, const char*> cases[] = {
        {2.5, "2.5"},    {128, "128"},           {-5, "-5"},           {-0.0, "0"}, {0.1, "0.1"},
        {1e21, "1e+21"}, {0.000001, "0.000001"}, {-1.5e-7, "-1.5e-07"}};
    for (auto [v, text] : cases)
        EXPECT_EQ(FormatNumber(v), text);
    EXPECT_EQ(FormatNumber(std::nan("")), "0");
    EXPECT_EQ(FormatNumber(1e20), "100000000000000000000");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(ParseNumber(FormatNumber(-std::numeric_limits<double>::infinity())), -kBig);

    std::mt19937_64 rng(5);
    for (int i = 0; i < 20000; ++i) {
        // Everyday sizes, then any bit pattern.
        const double v =
            i % 2 ? std::ldexp(double(rng() >> 11), int(rng() % 120) - 93) * (rng() % 2 ? -1 : 1)
                  : std::bit_cast<double>(rng());
        if (!std::isfinite(v)) continue;
        ASSERT_EQ(ParseNumber(FormatNumber(v)), v == 0 ? 0.0 : v) << FormatNumber(v);
    }
}
