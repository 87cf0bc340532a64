// Recordings and gaps of an index: runs split by long steps in time and by changes of mode.
#include "review/Recordings.h"

#include <gtest/gtest.h>

#include "ReviewData.h"

namespace bf {
namespace {

TEST(Recordings, SampleRecordingsDaysApartWithDamageBetween) {
  const sim::RecordingPlan plan = test::SamplePlan(60, 3, true);
  const test::SampleRecording sample(plan);
  // The frame in front of the damaged stretch (before the second recording) is dropped.
  ASSERT_EQ(sample.index.size(), 59u);

  const std::vector<RecordingRun> runs = SplitRecordings(sample.index);
  ASSERT_EQ(runs.size(), 3u);
  const std::size_t firstFrames[] = {0, 19, 39};
  const std::size_t frames[] = {19, 20, 20};
  for (uint32_t r = 0; r < 3; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(runs[r].firstFrame, firstFrames[r]);
    EXPECT_EQ(runs[r].frames, frames[r]);
    EXPECT_EQ(runs[r].start, sim::RecordingStart(plan, r));
    EXPECT_EQ(runs[r].end, sim::RecordingStart(plan, r) + frames[r] - 1);
    EXPECT_EQ(runs[r].compression, sim::RecordingSettings(r).compression);
    EXPECT_EQ(runs[r].monochrome, sim::RecordingSettings(r).monochrome);
  }

  const std::vector<TimeGap> gaps = FindGaps(Timeline(sample.index));
  ASSERT_EQ(gaps.size(), 2u);
  for (std::size_t g = 0; g < 2; ++g) {
    EXPECT_EQ(gaps[g].start, runs[g].end);
    EXPECT_EQ(gaps[g].end, runs[g + 1].start);
    EXPECT_EQ(gaps[g].Length(), runs[g + 1].start - runs[g].end);
  }
}

TEST(Recordings, ThresholdIsTheLongestStepWithinOneRecording) {
  const FrameIndex index = test::IndexOfTimes({0, 60, 121, 122, 128});
  EXPECT_EQ(SplitRecordings(index).size(), 2u);  // 60 s stays, 61 s splits
  EXPECT_EQ(FindGaps(Timeline(index)).size(), 1u);
  const std::vector<RecordingRun> fine = SplitRecordings(index, 5);
  ASSERT_EQ(fine.size(), 4u);
  EXPECT_EQ(fine[2].firstFrame, 2u);
  EXPECT_EQ(fine[2].frames, 2u);
  const std::vector<TimeGap> gaps = FindGaps(Timeline(index), 5);
  ASSERT_EQ(gaps.size(), 3u);
  EXPECT_EQ(gaps[2].start, 122u);
  EXPECT_EQ(gaps[2].end, 128u);
  EXPECT_EQ(gaps[2].Length(), 6u);
}

TEST(Recordings, ACompressionOrColourChangeStartsARecording) {
  const FrameIndex index = test::IndexOf({{.timestamp = 10, .compression = 2},
                                          {.timestamp = 11, .compression = 2},
                                          {.timestamp = 12, .compression = 3},
                                          {.timestamp = 13, .compression = 3, .monochrome = 1},
                                          {.timestamp = 14, .compression = 3, .monochrome = 0xFF},
                                          {.timestamp = 15, .compression = 3}});
  const std::vector<RecordingRun> runs = SplitRecordings(index);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[1].firstFrame, 2u);
  EXPECT_EQ(runs[1].compression, 3u);
  EXPECT_FALSE(runs[1].monochrome);
  // Any non-zero colour flag is black-and-white: 1 and FF are one mode.
  EXPECT_EQ(runs[2].firstFrame, 3u);
  EXPECT_EQ(runs[2].frames, 2u);
  EXPECT_TRUE(runs[2].monochrome);
  EXPECT_EQ(runs[3].firstFrame, 5u);
  EXPECT_TRUE(FindGaps(Timeline(index)).empty());
}

TEST(Recordings, AClockSetBackFarStartsARecordingButLeavesNoNegativeGap) {
  const FrameIndex index = test::IndexOfTimes({1000, 1001, 1002, 500, 501, 1003, 1004});
  const std::vector<RecordingRun> runs = SplitRecordings(index);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[1].firstFrame, 3u);
  EXPECT_EQ(runs[1].start, 500u);
  EXPECT_EQ(runs[1].end, 501u);
  // In time order there is one stretch without frames: 501 .. 1000.
  const std::vector<TimeGap> gaps = FindGaps(Timeline(index));
  ASSERT_EQ(gaps.size(), 1u);
  EXPECT_EQ(gaps[0].start, 501u);
  EXPECT_EQ(gaps[0].end, 1000u);

  // Set back by a few seconds only: the same recording, spanning its earliest to latest time.
  const std::vector<RecordingRun> one = SplitRecordings(test::IndexOfTimes({100, 101, 95, 96}));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].start, 95u);
  EXPECT_EQ(one[0].end, 101u);
}

}  // namespace
}  // namespace bf
