#include <gtest/gtest.h>

#include <tuple>

#include "TestStereoScene.h"
#include "prepare/DepthBudget.h"
#include "prepare/StereoAlign.h"

namespace {

using tsy::test::StereoPairSetup;

// Rolls to 3 degrees, shifts to 5 % of the height, scales 0.95 to 1.05, disparities to 8 %
// of the width varying with depth; once resampled, image 2 has nothing left to correct.
TEST(StereoAlign, FindsTheAppliedTransform) {
    const StereoPairSetup cases[] = {
        {640, 480, 0, 0, 1},           {640, 480, 24, 0, 1},
        {640, 480, -14.5, 3, 1},       {640, 480, 9.3, -3, 1.05},
        {640, 480, -24, 1.2, 0.95},    {640, 480, 3.7, -0.8, 1.02, -0.02},
        {1400, 1000, 41.2, 2.4, 0.97},
    };
    for (const StereoPairSetup& s : cases) {
        SCOPED_TRACE(testing::Message()
                     << s.width << " V " << s.verticalPx << " A " << s.rollDeg << " S " << s.scale);
        tsy::PictureBuffer image1, image2, aligned;
        tsy::test::StereoScene(s).Render(image1, image2);
        const tsy::AlignResult r = tsy::MeasureAlignment(image1, image2);
        ASSERT_TRUE(r.aligned) << r.failure;
        // The nearest disc comes to the screen; matches at its rim may lie a pixel off.
        EXPECT_NEAR(r.windowOffset, s.nearDisparity * s.width, 2.0);
        tsy::ResampleView(image2, r.transform, aligned);
        const tsy::AlignResult again = tsy::MeasureAlignment(image1, aligned);
        ASSERT_TRUE(again.aligned) << again.failure;
        for (const auto& [t, want] :
             {std::pair{r.transform, s}, {again.transform, StereoPairSetup{}}}) {
            EXPECT_NEAR(t.verticalPx, want.verticalPx, 0.25);
            EXPECT_NEAR(t.rollDeg, want.rollDeg, 0.05);
            EXPECT_NEAR(t.scale, want.scale, 0.001);
        }
    }
}

// Image 2 20 px low, turned 1.5 degrees counter-clockwise and 2 % larger
// needs the correction (-19.61 px, -1.50 deg, 0.9804); users read what is wrong.
TEST(StereoAlign, ReportsTheMisalignmentFoundInImage2) {
    tsy::PictureBuffer image1, image2;
    tsy::test::StereoScene({640, 480, -19.61, -1.5, 0.9804}).Render(image1, image2);
    const tsy::AlignResult r = tsy::MeasureAlignment(image1, image2);
    ASSERT_TRUE(r.aligned) << r.failure;
    EXPECT_NEAR(r.transform.verticalPx, -19.61, 0.25);
    EXPECT_NEAR(r.found.verticalPx, 20.0, 0.25);
    EXPECT_NEAR(r.found.rollDeg, 1.5, 0.05);
    EXPECT_NEAR(r.found.scale, 1.02, 0.001);
}

// The scene's discs stand in front of a ground that recedes to 0 disparity
// at its top: in front of the screen reads negative.
TEST(StereoAlign, DepthBudgetFollowsTheOffset) {
    const struct {
        double nearDisparity;
        std::optional<int> offsetX;  // none: the stereo window
        double nearPct, farPct;
        bool tooDeep, diverges;
    } rows[] = {
        {-0.08, 0, -8, 0, true, false},
        {-0.08, std::nullopt, 0, 8, true, true},
        {-0.02, std::nullopt, 0, 2, false, false},
        {-0.02, -40, 4.25, 6.25, false, true},
    };
    for (const auto& row : rows) {
        tsy::PictureBuffer image1, image2;
        tsy::test::StereoScene({640, 480, 3, 0.5, 1, row.nearDisparity}).Render(image1, image2);
        const tsy::AlignResult r = tsy::MeasureAlignment(image1, image2);
        ASSERT_TRUE(r.aligned) << r.failure;
        const tsy::DepthBudget d = tsy::DepthOf(r, row.offsetX.value_or(r.windowOffset), 640);
        EXPECT_NEAR(d.nearPct, row.nearPct, 0.3) << row.nearDisparity;
        EXPECT_NEAR(d.farPct, row.farPct, 0.3) << row.nearDisparity;
        EXPECT_EQ(d.tooDeep, row.tooDeep);
        EXPECT_EQ(d.diverges, row.diverges);
        EXPECT_EQ(d.warning.empty(), !row.tooDeep && !row.diverges);
    }
}

TEST(StereoAlign, DepthTextSignsWhatIsNotZero) {
    for (const auto& [nearPct, farPct, point, text] :
         {std::tuple{-0.84, 1.6, ".", "depth 2.4 % (near -0.8 %, far +1.6 %)"},
          {0.02, 8.04, ",", "depth 8,0 % (near 0,0 %, far +8,0 %)"}}) {
        tsy::DepthBudget d;
        d.nearPct = nearPct, d.farPct = farPct, d.totalPct = farPct - nearPct;
        EXPECT_EQ(tsy::DepthText(d, point), text);
    }
}

TEST(StereoAlign, OffsetComesFromTheCameraWhenAskedOrWhenContentFails) {
    tsy::PictureBuffer image1, image2, flat, out;
    tsy::test::StereoScene({320, 240, 2, 0, 1}).Render(image1, image2);
    flat.assignBlack(320, 240);
    tsy::SilentProgress quiet;
    const struct {
        const tsy::PictureBuffer& second;
        std::optional<double> camera;
        tsy::OffsetSource source;
        std::optional<int> offset;
        bool fromCamera;
    } rows[] = {
        {image2, -11.4, tsy::OffsetSource::Camera, -11, true},
        {flat, -11.6, tsy::OffsetSource::Window, -12, true},
        {flat, std::nullopt, tsy::OffsetSource::Camera, std::nullopt, false},
    };
    for (const auto& row : rows) {
        const tsy::AlignOutcome o =
            tsy::AlignPair(image1, row.second, out, row.camera, row.source, false, quiet);
        EXPECT_EQ(o.offsetX, row.offset);
        EXPECT_EQ(o.fromCamera, row.fromCamera);
    }
    const tsy::AlignOutcome o =
        tsy::AlignPair(image1, image2, out, -30.0, tsy::OffsetSource::Window, false, quiet);
    ASSERT_TRUE(o.result.aligned);
    EXPECT_EQ(o.offsetX, o.result.windowOffset);
    // A pair with nothing to match fails and leaves image 2 as it was.
    out.assignBlack(7, 7);
    const tsy::AlignOutcome none =
        tsy::AlignPair(flat, flat, out, std::nullopt, tsy::OffsetSource::Window, true, quiet);
    EXPECT_FALSE(none.result.aligned || none.offsetX.has_value());
    EXPECT_EQ(out.width(), 7);
    EXPECT_EQ(none.result.failure, "only 0 matching points");
}

}  // namespace
