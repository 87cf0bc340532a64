// The progress display of the copy dialog: the timer rules and the texts.
#include <gtest/gtest.h>

#include "flash/CopySession.h"

namespace bf {
namespace {

TEST(FormatDuration, MinutesAndSecondsOfTheHour) {
  EXPECT_EQ(FormatDuration(0), "00:00");
  EXPECT_EQ(FormatDuration(65), "01:05");
  EXPECT_EQ(FormatDuration(3'599), "59:59");
  EXPECT_EQ(FormatDuration(3'600), "00:00");
  EXPECT_EQ(FormatDuration(3'600 + 61), "01:01");
  EXPECT_EQ(FormatDuration(0xFFFF'FFFF), "28:15");
}

TEST(UpdateProgress, TransferClockWaitsForTheFirstSecondOfTransfer) {
  CopyDisplay display;
  uint32_t elapsed = 999;
  EXPECT_FALSE(UpdateProgress(CopyClock::TransferTime, elapsed, 500'000, 1'000'000, display));
  EXPECT_EQ(elapsed, 999u);
  EXPECT_EQ(display.elapsed, "00:00");
  EXPECT_EQ(display.speed, "0000");
  EXPECT_EQ(display.position, 0);
  elapsed = 2'500;
  EXPECT_TRUE(UpdateProgress(CopyClock::TransferTime, elapsed, 512'000, 1'024'000, display));
  EXPECT_EQ(elapsed, 2'500u) << "the transfer clock counts nothing itself";
  EXPECT_EQ(display.elapsed, "00:02");
  EXPECT_EQ(display.speed, "250");
  EXPECT_EQ(display.position, 500);
  EXPECT_EQ(display.remaining, "00:02");
}

TEST(UpdateProgress, TickClockCountsItsOwnTicks) {
  CopyDisplay display;
  uint32_t elapsed = 0;
  ASSERT_TRUE(UpdateProgress(CopyClock::TickSeconds, elapsed, 300'000, 3'000'000, display));
  EXPECT_EQ(elapsed, 1'000u);
  EXPECT_EQ(display.elapsed, "00:01");
  EXPECT_EQ(display.speed, std::to_string(300'000 / 1024));
  EXPECT_EQ(display.position, 100);
  EXPECT_EQ(display.remainingSeconds, (2'700'000 / 1024) / (300'000 / 1024));
  EXPECT_EQ(display.remaining, FormatDuration(display.remainingSeconds));
}

TEST(UpdateProgress, ZeroSpeedKeepsTheRemainingTimeAndAnHourWraps) {
  CopyDisplay display;
  display.remaining = "12:34";
  uint32_t elapsed = 0;
  UpdateProgress(CopyClock::TickSeconds, elapsed, 1000, 5000, display);  // under 1 KiB per second
  EXPECT_EQ(display.speed, "0");
  EXPECT_EQ(display.remaining, "12:34");
  elapsed = 3'600'000;
  UpdateProgress(CopyClock::TickSeconds, elapsed, 100'000'000, 131'072'000, display);
  EXPECT_EQ(display.elapsed, "00:01") << "an hour and a second";
}

TEST(UpdateProgress, NothingToCopyDividesByNothing) {
  CopyDisplay display;
  uint32_t elapsed = 0;
  EXPECT_TRUE(UpdateProgress(CopyClock::TickSeconds, elapsed, 0, 0, display));
  EXPECT_EQ(display.position, 0);
  EXPECT_EQ(display.speed, "0");
  EXPECT_TRUE(UpdateProgress(CopyClock::TickSeconds, elapsed, 5000, 0, display));
  EXPECT_EQ(display.position, 0);
  EXPECT_TRUE(UpdateProgress(CopyClock::TickSeconds, elapsed, 4'000'000, 4'000'000, display));
  EXPECT_EQ(display.position, 1000);
  EXPECT_EQ(display.remaining, "00:00");
}

}  // namespace
}  // namespace bf
