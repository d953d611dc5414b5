#include <gtest/gtest.h>

#include "StereoPictures.h"
#include "prepare/LayoutDetect.h"
#include "prepare/StereoLayout.h"
#include "prepare/StereoMetadata.h"

using tsy::PictureBuffer;
using tsy::StereoLayout;
using Arr = tsy::Arrangement;

namespace {

// Every pixel different, and different between the views.
PictureBuffer View(int w, int h, int seed) {
    return MakePicture(w, h, [&](int x, int y) {
        return 0xFF000000u | std::uint32_t(seed * 97 + x * 13 + y * 41) % 256 << 16 |
               std::uint32_t(x * 29 + seed * 7) % 256 << 8 | std::uint32_t(y * 31 + seed) % 256;
    });
}

// The mean of two pixels per channel, rounded up: what a squeeze keeps.
std::uint32_t Mean(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0xFF000000u;
    for (int k = 0; k < 3; ++k)
        out |= ((a >> 8 * k & 255) + (b >> 8 * k & 255) + 1) / 2 << 8 * k;
    return out;
}

}  // namespace

// Each layout composed from one pair and read back gives the pair: to the
// pixel for full views, and for half views each output pixel is the mean of
// the two source pixels its squeezed pixel was made of.
TEST(StereoLayout, EveryLayoutReadsBackItsViews) {
    const PictureBuffer views[2] = {View(10, 6, 1), View(10, 6, 2)};
    for (const Arr arr : {Arr::SideBySide, Arr::TopBottom})
        for (const bool half : {false, true})
            for (const bool leftFirst : {true, false})
                for (const int padding : {0, 3}) {
                    if (padding && (arr == Arr::TopBottom || half)) continue;
                    const StereoLayout layout{arr, leftFirst, half, padding};
                    SCOPED_TRACE(tsy::LayoutName(layout) + " padding " + std::to_string(padding));
                    PictureBuffer got[2];
                    const tsy::SplitResult r =
                        tsy::SplitStereo(tsy::test::Compose(views[0], views[1], layout), layout,
                                         got[0], got[1], leftFirst ? 1 : 2);
                    ASSERT_TRUE(r.ok) << r.message;
                    EXPECT_EQ(r.message, "");
                    for (int v = 0; v < 2; ++v) {
                        ASSERT_EQ(got[v].width() * 100 + got[v].height(), 1006);
                        for (int y = 0; y < 6; ++y)
                            for (int x = 0; x < 10; ++x) {
                                const bool sbs = arr == Arr::SideBySide;
                                const int x0 = half && sbs ? x / 2 * 2 : x,
                                          y0 = half && !sbs ? y / 2 * 2 : y;
                                const std::uint32_t want =
                                    half ? Mean(views[v].pixel(x0, y0),
                                                views[v].pixel(x0 + sbs, y0 + !sbs))
                                         : views[v].pixel(x, y);
                                ASSERT_EQ(got[v].pixel(x, y), want) << v << " " << x << "," << y;
                            }
                    }
                }
}

TEST(StereoLayout, RefusesWhatCannotHoldTwoViews) {
    const StereoLayout sbs{Arr::SideBySide, true, false, 0}, tb{Arr::TopBottom, true, true, 0};
    const std::tuple<PictureBuffer, StereoLayout, bool> cases[] = {
        {View(1, 8, 1), sbs, false},
        {View(8, 1, 1), tb, false},
        {View(8, 1, 1), sbs, true},
        {PictureBuffer(8, 8), sbs, false},  // sized, without picture
        {View(9, 4, 1), StereoLayout{Arr::SideBySide, true, false, 2}, false},  // 7 left
        {View(10, 4, 1), StereoLayout{Arr::SideBySide, true, false, 12}, false},
    };
    for (const auto& [picture, layout, ok] : cases) {
        PictureBuffer left(3, 3), right;
        const tsy::SplitResult r = tsy::SplitStereo(picture, layout, left, right);
        EXPECT_EQ(r.ok, ok) << picture.width() << "x" << picture.height() << " " << r.message;
        EXPECT_EQ(r.message.empty(), ok) << r.message;
        if (!ok) {
            EXPECT_EQ(left.width() * 10 + left.height() + right.width(), 33);
        }
    }
    // An odd width: the middle column goes to both views, and the user is told.
    PictureBuffer left, right;
    const tsy::SplitResult r =
        tsy::SplitStereo(View(7, 2, 3), {Arr::SideBySide, false, false, 0}, left, right);
    ASSERT_TRUE(r.ok);
    EXPECT_NE(r.message.find("odd"), std::string::npos) << r.message;
    EXPECT_EQ(right.width(), 4);
    EXPECT_EQ(right.pixel(3, 1), View(7, 2, 3).pixel(3, 1));
    EXPECT_EQ(left.pixel(0, 1), View(7, 2, 3).pixel(3, 1));
}

// Full or half by shape: the sizes TVs, phones and photographers write.
TEST(StereoLayout, HalfByShape) {
    const std::tuple<Arr, int, int, bool> cases[] = {
        {Arr::SideBySide, 1920, 1080, true},  {Arr::SideBySide, 3840, 1080, false},
        {Arr::SideBySide, 4000, 3000, true},  {Arr::SideBySide, 6000, 2000, false},
        {Arr::SideBySide, 2000, 1000, false}, {Arr::SideBySide, 1700, 1000, false},
        {Arr::TopBottom, 1920, 1080, true},   {Arr::TopBottom, 1920, 2160, false},
        {Arr::TopBottom, 3000, 4000, false},  {Arr::TopBottom, 1, 1, false},
    };
    for (const auto& [arr, w, h, half] : cases)
        EXPECT_EQ(tsy::LooksHalf(arr, w, h), half) << int(arr) << " " << w << "x" << h;
}

// The file's marks decide before the pixels, and an unusable or unreadable
// mark gives one picture with its reason.
TEST(StereoLayout, MarksDecideFirst) {
    using V = tsy::MetadataLayout::Verdict;
    using J = tsy::JpsLayout;
    const auto jps = [](J layout, int flags) {
        tsy::JpsRead r{tsy::JpsStatus::Valid, {}, {}};
        r.descriptor = {true, layout, bool(flags & 4), bool(flags & 2), bool(flags & 1), 0};
        return r;
    };
    const std::tuple<tsy::MetadataLayout, V, std::string> cases[] = {
        {tsy::LayoutFromJps({}, false), V::None, ""},
        {tsy::LayoutFromJps({}, true), V::Pair, "sbs-rl"},
        {tsy::LayoutFromJps(jps(J::SideBySide, 4), false), V::Pair, "sbs-lr"},
        {tsy::LayoutFromJps(jps(J::SideBySide, 3), false), V::Pair, "sbs-rl-half"},
        {tsy::LayoutFromJps(jps(J::OverUnder, 5), false), V::Pair, "tb-lr-half"},
        {tsy::LayoutFromJps(jps(J::OverUnder, 2), false), V::Pair, "tb-rl"},
        {tsy::LayoutFromJps(jps(J::Interleaved, 4), true), V::Single, ""},
        {tsy::LayoutFromJps(jps(J::Anaglyph, 4), true), V::Single, ""},
        {tsy::LayoutFromJps({tsy::JpsStatus::Invalid, {}, "bad"}, true), V::Single, ""},
        {tsy::LayoutFromSter({tsy::SterStatus::Valid, true, {}}, 1001), V::Pair, "sbs-lr"},
        {tsy::LayoutFromSter({tsy::SterStatus::Valid, false, {}}, 1000), V::Pair, "sbs-rl"},
        {tsy::LayoutFromSter({tsy::SterStatus::Valid, false, {}}, 1009), V::Single, ""},
        {tsy::LayoutFromSter({}, 1000), V::None, ""},
    };
    for (const auto& [m, verdict, name] : cases) {
        EXPECT_EQ(m.verdict, verdict) << m.message;
        EXPECT_EQ(m.message.empty(), verdict == V::None) << m.message;
        if (verdict == V::Pair) {
            EXPECT_EQ(tsy::LayoutName(m.layout), name) << m.message;
        }
    }
    EXPECT_EQ(tsy::LayoutFromSter({tsy::SterStatus::Valid, true, {}}, 1001).layout.padding, 7);
    const tsy::LayoutGuess g = tsy::ChooseLayout(View(64, 64, 1), tsy::LayoutFromJps({}, true));
    EXPECT_TRUE(g.pair);
    EXPECT_FALSE(g.layout.leftFirst);
}
