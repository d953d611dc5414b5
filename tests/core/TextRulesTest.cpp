#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "base/FixedText.h"
#include "window/rules/Blanks.h"
#include "window/rules/StatusText.h"

using namespace tsy;

TEST(StatusText, SizeAndTimeRoundHalvesUpWithTheGivenSeparator) {
    EXPECT_EQ(DimensionsText(1200, 800, "."), "1200 x 800  =  1.0 mp");
    EXPECT_EQ(DimensionsText(500, 500, ","), "500 x 500  =  0,3 mp");  // 0.25 exactly
    EXPECT_EQ(DimensionsText(6000, 4000, "."), "6000 x 4000  =  24.0 mp");
    EXPECT_EQ(DimensionsText(0, 0, "."), "0 x 0  =  0.0 mp");
    EXPECT_EQ(ReadyText(0.004, ","), "Ready!  (0,00s)");
    EXPECT_EQ(ReadyText(1.5, "."), "Ready!  (1.50s)");
    EXPECT_EQ(ReadyText(0.125, "."), "Ready!  (0.13s)");
    EXPECT_EQ(ReadyText(123.456, "."), "Ready!  (123.46s)");
}

TEST(StatusText, AlignmentSaysWhatWasFoundOrWhyNot) {
    AlignOutcome aligned;
    aligned.result.aligned = true;
    aligned.result.transform = {1.94, -0.125, 1.0, 0, 0};  // the correction: not shown
    aligned.result.found = {-1.94, 0.125, 1.0};
    aligned.result.residualPx = 0.25;
    EXPECT_EQ(AlignStatusText(aligned, ","),
              "Aligned: vertical -1,9 px, roll 0,13\u00B0, scale 1,000, residual 0,3 px");
    AlignOutcome failed;
    failed.result.failure = "only 12 matching points";
    EXPECT_EQ(AlignStatusText(failed, "."), "Could not align: only 12 matching points");
    failed.offsetX = -30;
    failed.fromCamera = true;
    EXPECT_EQ(
        AlignStatusText(failed, "."),
        "Could not align: only 12 matching points; the camera's parallax used (X-Offset -30)");
}

// Halves away from zero, and a minus only in front of a digit that shows.
TEST(FixedText, SignedValuesKeepTheirSignUnlessAllDigitsAreZero) {
    const std::tuple<double, int, const char*, std::string> cases[] = {
        {-0.25, 1, ".", "-0.3"}, {0.25, 1, ",", "0,3"},  {-0.004, 2, ".", "0.00"},
        {-1.5, 0, ".", "-2"},    {1.0, 3, ".", "1.000"}, {-12.5, 1, ".", "-12.5"}};
    for (const auto& [value, decimals, point, text] : cases)
        EXPECT_EQ(FormatFixed(value, decimals, point), text) << value;
}

TEST(Blanks, OnlyLeadingAndTrailingBlanksGo) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"  a b  ", "a b"}, {"\ta\t ", "\ta\t"}, {"   ", ""}, {"", ""}, {"x", "x"}};
    for (const auto& [text, kept] : cases)
        EXPECT_EQ(TrimBlanks<char>(text), kept) << '"' << text << '"';
    EXPECT_EQ(TrimBlanks<char16_t>(u" \u00E4 "), u"\u00E4");
}
