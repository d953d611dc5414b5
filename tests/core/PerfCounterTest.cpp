#include <gtest/gtest.h>

#include <thread>

#include "render/PerfCounter.h"

namespace {

class FakeSource : public tsy::PerfCounter::Source {
public:
    std::int64_t frequency = 1000;
    std::int64_t now = 0;
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
