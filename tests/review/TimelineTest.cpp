// The time-sorted view of a recording: span, density bins and the nearest frame.
#include "review/Timeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "ReviewData.h"

namespace bf {
namespace {

std::size_t Sum(const std::vector<std::size_t>& bins) {
  return std::accumulate(bins.begin(), bins.end(), std::size_t{0});
}

// Frames whose time lies in [start, end), counted the plain way.
std::size_t CountIn(const FrameIndex& index, TimeWindow w) {
  std::size_t n = 0;
  for (const FrameIndexEntry& e : index) {
    const double t = e.header.Timestamp();
    if (t >= w.start && t < w.end) ++n;
  }
  return n;
}

TEST(Timeline, BinsAddUpToTheFramesOfTheWindowAtEveryScale) {
  const test::SampleRecording sample(test::SamplePlan(60, 3, true));
  const Timeline timeline(sample.index);
  ASSERT_EQ(timeline.Count(), sample.index.size());
  const TimeWindow whole = timeline.Whole();
  EXPECT_EQ(whole.start, sample.index.front().header.Timestamp());
  EXPECT_EQ(whole.end, sample.index.back().header.Timestamp() + 1.0);

  const std::vector<TimeWindow> windows = {
      whole,
      {whole.start, whole.start + 5},          // the first seconds of the file
      {whole.end - 3, whole.end},              // the last seconds, up to the end of the file
      {whole.start + 10.5, whole.end - 7.25},  // fractional ends
      {whole.start - 1000, whole.end + 1000},  // beyond the file on both sides
      {whole.start + 30, whole.start + 1000},  // only empty time (a gap)
  };
  for (const TimeWindow& w : windows) {
    for (std::size_t bins : {1u, 3u, 7u, 100u, 1000u, 4096u}) {
      const std::vector<std::size_t> counts = timeline.Bins(w, bins);
      ASSERT_EQ(counts.size(), bins);
      EXPECT_EQ(Sum(counts), CountIn(sample.index, w)) << w.start << ".." << w.end << " " << bins;
      EXPECT_EQ(timeline.FramesIn(w), CountIn(sample.index, w));
    }
  }
  EXPECT_EQ(Sum(timeline.Bins(whole, 640)), sample.index.size());
  // The last frame is in the last bin, the first in the first.
  const std::vector<std::size_t> counts = timeline.Bins(whole, 640);
  EXPECT_GE(counts.front(), 1u);
  EXPECT_GE(counts.back(), 1u);
}

TEST(Timeline, BinsOfOneSecondSeeOneFramePerSecond) {
  // The simulated camera records one frame per second; its last recording holds 20 frames.
  const test::SampleRecording sample(test::SamplePlan(60, 3, false));
  const Timeline timeline(sample.index);
  const double last = timeline.LastTime();
  EXPECT_EQ(timeline.Bins({last - 19, last + 1}, 20), std::vector<std::size_t>(20, 1));
  // Two seconds in ten bins: each second's frame lands in the bin where its second begins.
  EXPECT_EQ(timeline.Bins({last - 1, last + 1}, 10),
            (std::vector<std::size_t>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
  EXPECT_TRUE(timeline.Bins({last, last}, 10).empty());
  EXPECT_TRUE(timeline.Bins({last + 1, last}, 10).empty());
  EXPECT_TRUE(timeline.Bins(timeline.Whole(), 0).empty());
}

TEST(Timeline, AClockSetBackIsOrderedByTime) {
  // Frames 3 and 4 were stamped after the camera clock went back by almost a minute.
  const FrameIndex index = test::IndexOfTimes({100, 101, 102, 50, 51, 103});
  const Timeline timeline(index);
  EXPECT_EQ(timeline.FirstTime(), 50u);
  EXPECT_EQ(timeline.LastTime(), 103u);
  EXPECT_EQ(timeline.Whole(), (TimeWindow{50, 104}));
  EXPECT_EQ(timeline.Bins(timeline.Whole(), 54)[0], 1u);
  EXPECT_EQ(Sum(timeline.Bins(timeline.Whole(), 5)), 6u);
  EXPECT_EQ(timeline.FramesIn({50, 100}), 2u);

  EXPECT_EQ(timeline.Nearest(0), 3u);
  EXPECT_EQ(timeline.Nearest(50.4), 3u);
  EXPECT_EQ(timeline.Nearest(75), 4u);  // 24 s from 51, 25 s from 100
  EXPECT_EQ(timeline.Nearest(76), 0u);
  EXPECT_EQ(timeline.Nearest(101), 1u);
  EXPECT_EQ(timeline.Nearest(102.6), 5u);
  EXPECT_EQ(timeline.Nearest(1e9), 5u);
}

TEST(Timeline, NearestPrefersTheEarlierTimeAndTheFirstFrameOfATime) {
  const FrameIndex index = test::IndexOfTimes({20, 10, 20, 30, 30});
  const Timeline timeline(index);
  EXPECT_EQ(timeline.Nearest(20), 0u);
  EXPECT_EQ(timeline.Nearest(15), 1u);  // as near to 10 as to 20
  EXPECT_EQ(timeline.Nearest(25), 0u);  // as near to 20 as to 30
  EXPECT_EQ(timeline.Nearest(25.5), 3u);
  EXPECT_EQ(timeline.Nearest(99), 3u);  // the last time, its first frame in the file
  EXPECT_EQ(timeline.Nearest(std::nan("")), std::nullopt);
}

TEST(Timeline, FramesOfOneTimeKeepTheirFileOrder) {
  // Many frames share each second (a fast camera), in a file whose clock jumped about.
  std::vector<uint32_t> times;
  for (uint32_t i = 0; i < 300; ++i) times.push_back(1000 + (i * 7) % 5);
  const FrameIndex index = test::IndexOfTimes(times);
  const Timeline timeline(index);
  const std::span<const std::size_t> frames = timeline.SortedFrames();
  const std::span<const uint32_t> sorted = timeline.SortedTimes();
  ASSERT_EQ(frames.size(), 300u);
  for (std::size_t k = 0; k < frames.size(); ++k) {
    EXPECT_EQ(sorted[k], index[frames[k]].header.Timestamp());
    if (k > 0 && sorted[k] == sorted[k - 1]) {
      ASSERT_LT(frames[k - 1], frames[k]) << k;
    }
  }
  for (uint32_t t = 1000; t < 1005; ++t) {
    const std::size_t first =
        static_cast<std::size_t>(std::find(times.begin(), times.end(), t) - times.begin());
    EXPECT_EQ(timeline.Nearest(t), first) << t;
  }
}

TEST(Timeline, AnEmptyIndexHasNoSpanNoBinsAndNoNearestFrame) {
  const Timeline timeline(FrameIndex{});
  EXPECT_TRUE(timeline.Empty());
  EXPECT_EQ(timeline.Whole(), TimeWindow{});
  EXPECT_TRUE(timeline.Bins(timeline.Whole(), 10).empty());
  EXPECT_EQ(Sum(timeline.Bins({0, 100}, 10)), 0u);
  EXPECT_EQ(timeline.Nearest(5), std::nullopt);
}

}  // namespace
}  // namespace bf
