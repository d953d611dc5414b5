#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "OutputTestFiles.h"
#include "base/Progress.h"
#include "render/BlendPipeline.h"
#include "window/rules/PerfCounter.h"

using namespace tsy;

TEST(BlendPipeline, WorkingSizeCutsAndExtendsImageTwo) {
    PictureBuffer a, b, out;
    std::memset(a.assign(10, 6), 0x40, 10 * 6 * 4);
    std::memset(b.assign(4, 9), 0x80, 4 * 9 * 4);
    SizeWorkingBuffers(a, b, out, 10, 6, true);
    EXPECT_EQ(b.width() * 100 + b.height(), 1006);
    EXPECT_EQ(b.pixel(3, 5), 0x80808080u);
    EXPECT_EQ(b.pixel(4, 0), PictureBuffer::kBlack);
    EXPECT_EQ(out.width(), 10);
    EXPECT_FALSE(out.hasImage());
    SizeWorkingBuffers(a, b, out, 11, 6, false);  // half of an odd width
    EXPECT_EQ(a.width(), 6);
    EXPECT_EQ(out.width(), 6);
}

TEST(BlendPipeline, ControlOffsetsMoveTheViewsApart) {
    const auto ramp = [](int x, int y) { return 0xFF000000u | (x + 20 * y) * 0x010101u; };
    PictureBuffer left = MakePicture(20, 8, ramp), right = MakePicture(20, 8, ramp), out;
    SilentProgress quiet;
    AnaglyphSettings s;
    s.offsetX = 4;   // image 2 moves by +2 columns, image 1 by -2
    s.offsetY = -2;  // image 2 moves up by a row, image 1 down
    ASSERT_TRUE(BuildAnaglyph(left, right, out, s, quiet, 1));
    const std::uint32_t p = out.pixel(10, 4);
    EXPECT_EQ((p >> 16) & 0xFF, 8u + 20 * 5);  // red from image 1 at (10 - 2, 4 + 1)
    EXPECT_EQ((p >> 8) & 0xFF, 12u + 20 * 3);  // green from image 2 at (10 + 2, 4 - 1)
}

namespace {

struct FakeSource : tsy::PerfCounter::Source {
    std::int64_t frequency = 1000, now = 0;
    std::int64_t Frequency() override { return frequency; }
    std::int64_t Count() override { return now; }
};

}  // namespace

TEST(PerfCounter, MeasuresFromTheLastStartAndGivesZeroWithoutACounter) {
    FakeSource src;
    tsy::PerfCounter c(src);
    src.now = 5000;
    ASSERT_TRUE(c.StartCounter());
    src.now = 6500;
    EXPECT_DOUBLE_EQ(c.ElapsedSeconds(), 1.5);
    src.now = 7000;
    EXPECT_DOUBLE_EQ(c.ElapsedSeconds(), 2.0);  // same start for the second call

    src.frequency = 0;
    tsy::PerfCounter none(src);
    EXPECT_FALSE(none.StartCounter());
    src.now = 99999;
    EXPECT_EQ(none.ElapsedSeconds(), 0.0);
}

TEST(PerfCounter, SteadyClockMovesForward) {
    tsy::PerfCounter c;
    ASSERT_TRUE(c.StartCounter());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double t = c.ElapsedSeconds();
    EXPECT_TRUE(t >= 0.015 && t < 5.0) << t;
}
