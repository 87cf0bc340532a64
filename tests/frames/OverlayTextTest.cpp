#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "frames/OverlayText.h"
#include "support/TimeZoneGuard.h"

namespace bf {
namespace {

constexpr uint32_t k6Dec2026_140305Utc = 1796565785;

// Pins the process time zone for one test and restores it afterwards.
TEST(OverlayText, DescribesTheShownFrame) {
  test::TimeZoneGuard tz("UTC");
  EXPECT_EQ(BuildOverlayText(FrameHeader::Make(5000, k6Dec2026_140305Utc, 2, 0, 6, 1)),
            "06.12.26, 14:03:05 / 2q / COL / 4 fps / MD    ");
  EXPECT_EQ(BuildOverlayText(FrameHeader::Make(5000, k6Dec2026_140305Utc, 0, 0xFF, 0, 0xFE)),
            "06.12.26, 14:03:05 / 0q / BW / 0,1 fps /       ");
  EXPECT_EQ(BuildOverlayText(FrameHeader::Make(16, 0, 4, 1, 7, 0)),
            "01.01.70, 00:00:00 / 4q / BW / Max fps /       ");
}

TEST(OverlayText, EveryRateHasItsText) {
  test::TimeZoneGuard tz("UTC");
  const char* rates[] = {" 0,1 fps /", " 0,2 fps /", " 0,5 fps /", " 1 fps /",
                         " 2 fps /",   " 3 fps /",   " 4 fps /",   " Max fps /"};
  for (uint8_t r = 0; r < 8; ++r) {
    const std::string text = BuildOverlayText(FrameHeader::Make(16, 0, 1, 0, r, 0));
    EXPECT_EQ(text, std::string("01.01.70, 00:00:00 / 1q / COL /") + rates[r] + "       ");
  }
}

TEST(OverlayText, UsesLocalTimeAndUnsignedStamps) {
  {
    test::TimeZoneGuard tz("MSK-3");  // three hours east of UTC, no daylight saving
    EXPECT_EQ(
        BuildOverlayText(FrameHeader::Make(16, k6Dec2026_140305Utc, 2, 0, 6, 1)).substr(0, 20),
        "06.12.26, 17:03:05 /");
  }
  test::TimeZoneGuard tz("UTC");
  // A stamp above 2^31 is in 2106, not before 1970.
  EXPECT_EQ(BuildOverlayText(FrameHeader::Make(16, 0xFFFFFFFFu, 2, 0, 6, 1)).substr(0, 20),
            "07.02.06, 06:28:15 /");
}

TEST(OverlayText, OutOfTableValuesAddNothingForThatField) {
  test::TimeZoneGuard tz("UTC");
  EXPECT_EQ(BuildOverlayText(FrameHeader::Make(16, 0, 5, 0, 8, 1)),
            "01.01.70, 00:00:00 / COL / MD    ");
  EXPECT_EQ(BuildOverlayText(FrameHeader::Make(16, 0, 255, 3, 255, 0)),
            "01.01.70, 00:00:00 / BW /       ");
}

TEST(OverlayText, MotionDetectorPartIsSevenCharactersEitherWay) {
  test::TimeZoneGuard tz("UTC");
  const std::string on = BuildOverlayText(FrameHeader::Make(16, 0, 1, 0, 3, 0x01));
  const std::string off = BuildOverlayText(FrameHeader::Make(16, 0, 1, 0, 3, 0x80));
  ASSERT_EQ(on.size(), off.size());
  EXPECT_EQ(on.substr(on.size() - 7), " MD    ");
  EXPECT_EQ(off.substr(off.size() - 7), std::string(7, ' '));
  EXPECT_EQ(on.substr(0, on.size() - 7), off.substr(0, off.size() - 7));
}

TEST(OverlayText, EmptyWithoutAValidHeader) {
  EXPECT_EQ(BuildOverlayText(FrameHeader{}), "");
  FrameHeader cleared = FrameHeader::Make(5000, k6Dec2026_140305Utc, 2, 0, 6, 1);
  cleared.bytes[0] = 0;  // what clearing the display does
  cleared.bytes[1] = 0;
  EXPECT_EQ(BuildOverlayText(cleared), "");
}

}  // namespace
}  // namespace bf
