// Local-time conversions of the camera clock under fixed time zones, and the field scan.
#include "clock/LocalTime.h"

#include <gtest/gtest.h>

#include <limits>

#include "clock/FieldScan.h"
#include "support/TimeZoneGuard.h"

namespace bf::test {
namespace {

constexpr UtcSeconds kJune2009Noon = 1'245'067'200;  // 2009-06-15 12:00:00 UTC

void ExpectLocal(UtcSeconds t, CalendarDate date, int h, int m, int s) {
  const std::optional<LocalDateTime> local = ToLocalTime(t);
  ASSERT_TRUE(local) << t;
  EXPECT_EQ(local->date, date) << t;
  EXPECT_EQ(local->hour, h) << t;
  EXPECT_EQ(local->minute, m) << t;
  EXPECT_EQ(local->second, s) << t;
}

TEST(LocalTime, FollowsTheZoneSetForEachCall) {
  {
    TimeZoneGuard zone("UTC");
    ExpectLocal(kJune2009Noon, {2009, 6, 15}, 12, 0, 0);
    ExpectLocal(0, {1970, 1, 1}, 0, 0, 0);
  }
  {
    TimeZoneGuard zone("Europe/Moscow");
    ExpectLocal(kJune2009Noon, {2009, 6, 15}, 16, 0, 0);  // 2009 Moscow still had summer time
    ExpectLocal(1'433'332'800, {2015, 6, 3}, 15, 0, 0);   // UTC+3 all year since 2014
    ExpectLocal(1'420'070'400, {2015, 1, 1}, 3, 0, 0);
  }
  {
    TimeZoneGuard zone("Europe/Berlin");
    ExpectLocal(kJune2009Noon, {2009, 6, 15}, 14, 0, 0);  // summer time, UTC+2
    ExpectLocal(1'231'934'400, {2009, 1, 14}, 13, 0, 0);  // winter, UTC+1
    EXPECT_TRUE(ToLocalTime(kJune2009Noon)->daylightSaving);
  }
}

TEST(LocalTime, WholeUnsignedClockRangeConvertsBothWays) {
  TimeZoneGuard zone("Europe/Moscow");
  for (UtcSeconds t : {UtcSeconds{0x80000000}, UtcSeconds{0x80000001}, UtcSeconds{0xC0000000},
                       UtcSeconds{std::numeric_limits<uint32_t>::max()}}) {
    const std::optional<LocalDateTime> local = ToLocalTime(t);
    ASSERT_TRUE(local) << t;
    EXPECT_EQ(FromLocalTime(local->date, local->hour, local->minute, local->second), t);
  }
  ExpectLocal(UtcSeconds{0x80000000}, {2038, 1, 19}, 6, 14, 8);  // 03:14:08 UTC
  const std::optional<LocalDateTime> last = ToUtcTime(std::numeric_limits<uint32_t>::max());
  ASSERT_TRUE(last);
  EXPECT_EQ(FormatDateTime(*last), "2106-02-07 06:28:15");
}

TEST(LocalTime, ReadingsBefore1970OrBefore1900AreRefused) {
  TimeZoneGuard zone("Europe/Moscow");
  // Local midnight of the first day of 1970 east of Greenwich lies in 1969 in UTC.
  EXPECT_FALSE(FromLocalTime({1970, 1, 1}, 0, 0, 0));
  EXPECT_EQ(FromLocalTime({1970, 1, 1}, 3, 0, 0), 0);
  EXPECT_FALSE(FromLocalTime({1969, 7, 1}, 12, 0, 0));
  EXPECT_FALSE(FromLocalTime({1899, 12, 31}, 12, 0, 0));
  // Beyond what the platform converts.
  EXPECT_FALSE(ToLocalTime(kLocalTimeMin - 1));
  EXPECT_FALSE(ToLocalTime(kLocalTimeMax + 1));
  EXPECT_TRUE(ToLocalTime(0));
}

TEST(LocalTime, DaylightSavingIsDecidedByTheRuntime) {
  TimeZoneGuard zone("Europe/Berlin");
  // 2009-03-29: clocks went from 02:00 CET to 03:00 CEST.
  EXPECT_EQ(FromLocalTime({2009, 3, 29}, 0, 0, 0), 1'238'281'200);   // 23:00 UTC the day before
  EXPECT_EQ(FromLocalTime({2009, 3, 29}, 12, 0, 0), 1'238'320'800);  // 10:00 UTC
  // 2009-10-25: back from 03:00 CEST to 02:00 CET.
  EXPECT_EQ(FromLocalTime({2009, 10, 25}, 12, 0, 0), 1'256'468'400);  // 11:00 UTC
}

TEST(FieldScan, ReadsLikeTheDialogsExchange) {
  EXPECT_EQ(ScanUnsignedField("12"), 12u);
  EXPECT_EQ(ScanUnsignedField("   7"), 7u);
  EXPECT_EQ(ScanUnsignedField("\t+5"), 5u);
  EXPECT_EQ(ScanUnsignedField("12abc"), 12u);
  EXPECT_EQ(ScanUnsignedField("0012"), 12u);
  EXPECT_EQ(ScanUnsignedField("-1"), 4'294'967'295u);
  EXPECT_EQ(ScanUnsignedField("-0"), 0u);
  EXPECT_EQ(ScanUnsignedField("4294967295"), 4'294'967'295u);
  EXPECT_FALSE(ScanUnsignedField(""));
  EXPECT_FALSE(ScanUnsignedField("   "));
  EXPECT_FALSE(ScanUnsignedField("abc"));
  EXPECT_FALSE(ScanUnsignedField("- 5"));
  EXPECT_FALSE(ScanUnsignedField("+"));
  EXPECT_FALSE(ScanUnsignedField("x12"));
}

TEST(FieldScan, HugeNumbersNeverWrapIntoARange) {
  EXPECT_EQ(ScanUnsignedField("4294967296"), 4'294'967'295u);
  EXPECT_EQ(ScanUnsignedField("99999999999999999999999"), 4'294'967'295u);
  EXPECT_GE(*ScanUnsignedField("-4294967295"), 0x80000000u);
  EXPECT_GE(*ScanUnsignedField("-4294967296"), 0x80000000u);
  EXPECT_EQ(ScanUnsignedField("-2147483648"), 0x80000000u);
}

TEST(FieldScan, OnlyTheFirst63CharactersCount) {
  EXPECT_EQ(ScanUnsignedField(std::string(61, ' ') + "12"), 12u);
  EXPECT_EQ(ScanUnsignedField(std::string(62, ' ') + "12"), 1u);
  EXPECT_FALSE(ScanUnsignedField(std::string(63, ' ') + "12"));
}

}  // namespace
}  // namespace bf::test
