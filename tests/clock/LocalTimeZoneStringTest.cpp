// Local-time conversions under zones given as POSIX zone strings: the form both the POSIX C
// library and the Windows C runtime read, so the same checks hold on either platform. With a
// summer-time name and no rules both apply the US switch dates (2009: 8 March to 1 November).
#include <gtest/gtest.h>

#include <limits>

#include "clock/LocalTime.h"
#include "support/TimeZoneGuard.h"

namespace bf::test {
namespace {

constexpr UtcSeconds kJune2009Noon = 1'245'067'200;     // 2009-06-15 12:00:00 UTC
constexpr UtcSeconds kJanuary2009Noon = 1'231'934'400;  // 2009-01-14 12:00:00 UTC

struct Wall {
  CalendarDate date;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

void ExpectBothWays(UtcSeconds t, const Wall& wall, bool summer) {
  const std::optional<LocalDateTime> local = ToLocalTime(t);
  ASSERT_TRUE(local) << t;
  EXPECT_EQ(local->date, wall.date) << t;
  EXPECT_EQ(local->hour, wall.hour) << t;
  EXPECT_EQ(local->minute, wall.minute) << t;
  EXPECT_EQ(local->second, wall.second) << t;
  EXPECT_EQ(local->daylightSaving, summer) << t;
  EXPECT_EQ(FromLocalTime(wall.date, wall.hour, wall.minute, wall.second), t) << t;
}

TEST(LocalTimeZoneString, FixedOffsetEastOfGreenwich) {
  TimeZoneGuard zone("MSK-3");
  ExpectBothWays(kJune2009Noon, {{2009, 6, 15}, 15, 0, 0}, false);
  ExpectBothWays(0, {{1970, 1, 1}, 3, 0, 0}, false);
  // The camera's whole unsigned range, past 2038.
  ExpectBothWays(UtcSeconds{0x80000000}, {{2038, 1, 19}, 6, 14, 8}, false);
  ExpectBothWays(std::numeric_limits<uint32_t>::max(), {{2106, 2, 7}, 9, 28, 15}, false);
  // Local midnight of 1 January 1970 lies in 1969 in UTC: refused, as are earlier years.
  EXPECT_FALSE(FromLocalTime({1970, 1, 1}, 0, 0, 0));
  EXPECT_FALSE(FromLocalTime({1899, 12, 31}, 12, 0, 0));
}

TEST(LocalTimeZoneString, SummerTimeByTheRuntimesRules) {
  TimeZoneGuard zone("CET-1CEST");
  ExpectBothWays(kJanuary2009Noon, {{2009, 1, 14}, 13, 0, 0}, false);
  ExpectBothWays(kJune2009Noon, {{2009, 6, 15}, 14, 0, 0}, true);
}

TEST(LocalTimeZoneString, UtcConversionsIgnoreTheZone) {
  TimeZoneGuard zone("MSK-3");
  const std::optional<LocalDateTime> utc = ToUtcTime(kJune2009Noon);
  ASSERT_TRUE(utc);
  EXPECT_EQ(FormatDateTime(*utc), "2009-06-15 12:00:00");
  EXPECT_EQ(utc->zoneAbbreviation, "UTC");
  EXPECT_EQ(FromUtcTime({2009, 6, 15}, 12, 0, 0), kJune2009Noon);
  EXPECT_EQ(FromUtcTime({2106, 2, 7}, 6, 28, 15), std::numeric_limits<uint32_t>::max());
  EXPECT_FALSE(FromUtcTime({1969, 12, 31}, 23, 59, 59));
}

}  // namespace
}  // namespace bf::test
