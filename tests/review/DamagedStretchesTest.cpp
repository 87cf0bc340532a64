// Damaged stretches: the bytes the index crossed between two frames.
#include "review/DamagedStretches.h"

#include <gtest/gtest.h>

#include "ReviewData.h"

namespace bf {
namespace {

TEST(DamagedStretches, SampleDamageLiesBetweenTheRecordings) {
  const test::SampleRecording sample(test::SamplePlan(60, 3, true));
  const std::vector<DamagedStretch> stretches = FindDamagedStretches(sample.index);
  ASSERT_EQ(stretches.size(), 1u);
  const DamagedStretch& s = stretches[0];
  EXPECT_EQ(s.offset, RecordEnd(sample.index[18]));
  EXPECT_EQ(s.offset + s.length, sample.index[19].offset);
  // The stretch holds the dropped frame and then junk in whole 512-byte sectors.
  ASSERT_TRUE(IsFrameHeader(&sample.bytes[s.offset]));
  const FrameHeader dropped = FrameHeader::FromBytes(&sample.bytes[s.offset]);
  const uint64_t junk = s.length - dropped.RecordLength();
  EXPECT_GT(junk, 0u);
  EXPECT_EQ(junk % 512, 0u);
  for (uint64_t i = 0; i < junk; ++i) {
    ASSERT_FALSE(IsFrameHeader(&sample.bytes[s.offset + dropped.RecordLength() + i]));
  }

  EXPECT_TRUE(
      FindDamagedStretches(test::SampleRecording(test::SamplePlan(60, 3, false)).index).empty());
}

TEST(DamagedStretches, ARecordLengthBelowSixteenCoversItsWrappedPayload) {
  // Length 5 wraps to a payload of 65525 bytes, which the scan steps over: no damage there.
  FrameIndex index = test::IndexOf({{.timestamp = 1, .recordLength = 5}, {.timestamp = 2}});
  EXPECT_EQ(index[1].offset, 16u + 65525u);
  EXPECT_EQ(RecordEnd(index[0]), index[1].offset);
  EXPECT_TRUE(FindDamagedStretches(index).empty());

  index[1].offset += 512;
  EXPECT_EQ(FindDamagedStretches(index), (std::vector<DamagedStretch>{{16u + 65525u, 512u}}));
}

}  // namespace
}  // namespace bf
