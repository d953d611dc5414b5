#include <gtest/gtest.h>

#include <cstdio>

#include "TestStereoScene.h"
#include "prepare/StereoAlign.h"

namespace {

using tsy::test::StereoPairSpec;

struct Case {
    const char* name;
    StereoPairSpec spec;
};

// Rolls up to 3 degrees, shifts up to 5 % of the height, scales 0.95 to 1.05,
// with disparities up to 8 % of the width that vary with depth.
const Case kCases[] = {
    {"level", {640, 480, 0, 0, 1}},
    {"shift down 5%", {640, 480, 24, 0, 1}},
    {"shift up, roll 3", {640, 480, -14.5, 3, 1}},
    {"roll -3, zoom in", {640, 480, 9.3, -3, 1.05}},
    {"zoom out, shift up 5%", {640, 480, -24, 1.2, 0.95}},
    {"far scene", {640, 480, 3.7, -0.8, 1.02, -0.02}},
    {"reduced copy", {1400, 1000, 41.2, 2.4, 0.97}},
};

class Accuracy : public testing::TestWithParam<Case> {};

TEST_P(Accuracy, FindsTheAppliedTransform) {
    const StereoPairSpec& s = GetParam().spec;
    tsy::PictureBuffer image1, image2, aligned;
    tsy::test::StereoScene(s).Render(image1, image2);
    const tsy::AlignResult r = tsy::MeasureAlignment(image1, image2);
    ASSERT_TRUE(r.aligned) << r.failure;
    std::printf(
        "%-22s applied V %7.2f A %6.2f S %.4f | measured V %7.3f A %7.3f S %.5f"
        " | residual %.2f inliers %d window %d (nearest %.1f)\n",
        GetParam().name, s.verticalPx, s.rollDeg, s.scale, r.transform.verticalPx,
        r.transform.rollDeg, r.transform.scale, r.residualPx, r.inliers, r.windowOffset,
        s.nearDisparity * s.width);
    EXPECT_NEAR(r.transform.verticalPx, s.verticalPx, 0.25);
    EXPECT_NEAR(r.transform.rollDeg, s.rollDeg, 0.05);
    EXPECT_NEAR(r.transform.scale, s.scale, 0.001);
    // The nearest disc comes to the screen; matches at its rim may lie a pixel off.
    EXPECT_NEAR(r.windowOffset, s.nearDisparity * s.width, 2.0);

    // Once resampled, image 2 has nothing left to correct.
    tsy::ResampleView(image2, r.transform, aligned);
    const tsy::AlignResult again = tsy::MeasureAlignment(image1, aligned);
    ASSERT_TRUE(again.aligned) << again.failure;
    EXPECT_NEAR(again.transform.verticalPx, 0, 0.25);
    EXPECT_NEAR(again.transform.rollDeg, 0, 0.05);
    EXPECT_NEAR(again.transform.scale, 1, 0.001);
}

INSTANTIATE_TEST_SUITE_P(Pairs, Accuracy, testing::ValuesIn(kCases), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
});

TEST(StereoAlign, FlatPairFailsAndLeavesImage2) {
    tsy::PictureBuffer image1, image2, out;
    image1.assignBlack(400, 300);
    image2.assignBlack(400, 300);
    out.assignBlack(7, 7);
    tsy::SilentProgress quiet;
    const tsy::AlignOutcome o =
        tsy::AlignPair(image1, image2, out, std::nullopt, tsy::OffsetSource::Window, true, quiet);
    EXPECT_FALSE(o.result.aligned);
    EXPECT_FALSE(o.offsetX.has_value());
    EXPECT_EQ(out.width(), 7);
    EXPECT_EQ(tsy::AlignStatusText(o, "."), "Could not align: only 0 matching points");
}

TEST(StereoAlign, OffsetComesFromTheCameraWhenAskedOrWhenContentFails) {
    tsy::PictureBuffer image1, image2, out;
    tsy::test::StereoScene({320, 240, 2, 0, 1}).Render(image1, image2);
    tsy::PictureBuffer flat;
    flat.assignBlack(320, 240);
    tsy::SilentProgress quiet;
    struct Row {
        const tsy::PictureBuffer& second;
        std::optional<double> camera;
        tsy::OffsetSource source;
        std::optional<int> offset;
        bool fromCamera;
    };
    const Row rows[] = {
        {image2, -11.4, tsy::OffsetSource::Camera, -11, true},
        {flat, -11.6, tsy::OffsetSource::Window, -12, true},
        {flat, std::nullopt, tsy::OffsetSource::Camera, std::nullopt, false},
    };
    for (const Row& row : rows) {
        const tsy::AlignOutcome o =
            tsy::AlignPair(image1, row.second, out, row.camera, row.source, false, quiet);
        EXPECT_EQ(o.offsetX, row.offset);
        EXPECT_EQ(o.fromCamera, row.fromCamera);
    }
    const tsy::AlignOutcome o =
        tsy::AlignPair(image1, image2, out, -30.0, tsy::OffsetSource::Window, false, quiet);
    ASSERT_TRUE(o.result.aligned);
    EXPECT_EQ(o.offsetX, o.result.windowOffset);
}

}  // namespace
