// Where the wrapped type 0 copy starts: a write pointer near the end of a zone's data area puts
// the search start 512 sectors on in the gap between two data areas.
#include <gtest/gtest.h>

#include "CopyRig.h"
#include "recordings/FrameIndex.h"

namespace bf::test {
namespace {

TEST(WrappedSectorStart, APointerInTheLast512SectorsOfAZoneIsCopied) {
  std::string error;
  const auto options = sim::ParseSimOptions("type=0,frames=6330,wrapped=1,damaged=0,recordings=1",
                                            sim::SimOptions{}, &error);
  ASSERT_TRUE(options.has_value()) << error;
  CopyRig r(*options);
  // The camera's own pointer, as the copy reads it.
  uint8_t reply[4] = {};
  r.rig.link.WriteByte(CMD_GET_FLASH_POINTER);
  ASSERT_EQ(r.rig.link.ReadWithTimeout(reply, 4), 4u);
  const uint32_t pointer = Le32({reply, reply + 4});
  const DataZone zone = GetZoneBounds(pointer);
  ASSERT_GE(pointer + kWrappedSearchOffset, zone.end) << "the layout puts the start in the gap";

  const CopySummary s = r.Run(r.dir.File("wrapped.bfk"));
  EXPECT_EQ(s.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(s.Complete());
  EXPECT_TRUE(r.prompts.shown.empty());
  const auto bytes = ReadFile(r.dir.File("wrapped.bfk"));
  // The oldest frame kept starts the file, found in the next zone's data area.
  const uint32_t next = SkipZoneGap(zone.end);
  ASSERT_FALSE(r.log->Chunks().empty());
  const uint32_t first = r.log->Chunks().front().start;
  EXPECT_GE(first, next);
  EXPECT_LT(first, next + 256);
  EXPECT_SAME_BYTES(bytes, r.SectorBytes(first, pointer));
  EXPECT_GT(BuildFrameIndex(bytes).size(), 6000u);
}

TEST(WrappedSectorStart, SkipZoneGapGoesOnWhereTheCopyGoesOn) {
  EXPECT_EQ(SkipZoneGap(32'191), 32'191u);
  EXPECT_EQ(SkipZoneGap(32'192), 32'768u);
  EXPECT_EQ(SkipZoneGap(32'767), 32'768u);
  EXPECT_EQ(SkipZoneGap(65'536 + 31'999), 65'536u + 31'999);
  EXPECT_EQ(SkipZoneGap(65'536 + 32'000), 98'304u);
  EXPECT_EQ(SkipZoneGap(261'376), 192u);
  EXPECT_EQ(SkipZoneGap(262'143), 192u);
  EXPECT_EQ(SkipZoneGap(100), 100u);
  EXPECT_EQ(SkipZoneGap(262'144), 262'144u);
}

}  // namespace
}  // namespace bf::test
