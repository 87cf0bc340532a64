// Axis ticks of the timeline: round local times, a step fitted to the zoom, labels that name
// what the step resolves.
#include <gtest/gtest.h>

#include "review/AxisTicks.h"
#include "support/TimeZoneGuard.h"

namespace bf {
namespace {

// 2026-12-06 00:00:00 UTC.
constexpr double kDay0 = 1796515200;

TEST(AxisTicksTest, TheStepGrowsWithTheWindowAndKeepsTicksApart) {
  EXPECT_EQ(TickStep({0, 10}, 1000, 90), 1);
  EXPECT_EQ(TickStep({0, 60}, 1000, 90), 10);
  EXPECT_EQ(TickStep({0, 3600}, 1000, 90), 600);
  EXPECT_EQ(TickStep({0, 86400}, 1000, 90), 10800);
  EXPECT_EQ(TickStep({0, 30 * 86400}, 1000, 90), 7 * 86400);
  EXPECT_GE(TickStep({0, 3e8}, 1000, 90) * 1000 / 3e8, 90);
}

TEST(AxisTicksTest, SecondsAndMinutesAreLabelledInLocalTime) {
  test::TimeZoneGuard zone("MSK-3");
  const std::vector<AxisTick> ticks = AxisTicks({kDay0 + 0.5, kDay0 + 30}, 1000, 90);
  ASSERT_EQ(ticks.size(), 5u);                                      // every 5 s from :05
  EXPECT_EQ(ticks[0], (AxisTick{kDay0 + 5, "06.12.26 03:00:05"}));  // which day, once
  EXPECT_EQ(ticks[4].label, "03:00:25");
  const std::vector<AxisTick> minutes = AxisTicks({kDay0, kDay0 + 3600}, 1000, 90);
  ASSERT_FALSE(minutes.empty());
  EXPECT_EQ(minutes[0].label, "06.12.26 03:00");
  EXPECT_EQ(minutes[1].label, "03:10");
}

TEST(AxisTicksTest, DaysStartAtLocalMidnightAndAreLabelledWithTheirDate) {
  test::TimeZoneGuard zone("MSK-3");
  const std::vector<AxisTick> days = AxisTicks({kDay0, kDay0 + 10 * 86400}, 1000, 90);
  ASSERT_FALSE(days.empty());
  EXPECT_EQ(days[0], (AxisTick{kDay0 + 86400 - 3 * 3600, "07.12.26"}));
  // Hours: a tick that falls on local midnight says which day begins.
  const std::vector<AxisTick> hours = AxisTicks({kDay0, kDay0 + 86400}, 1000, 90);
  ASSERT_GE(hours.size(), 2u);
  EXPECT_EQ(hours[0].label, "06.12.26 03:00");
  bool midnight = false;
  for (const AxisTick& t : hours) midnight |= t.label == "07.12.26";
  EXPECT_TRUE(midnight);
}

TEST(AxisTicksTest, NoTicksForAnEmptyWindowOrWidth) {
  EXPECT_TRUE(AxisTicks({5, 5}, 1000).empty());
  EXPECT_TRUE(AxisTicks({0, 100}, 0).empty());
}

}  // namespace
}  // namespace bf
