// Zoom and pan of the window over camera time, held inside the file.
#include "review/TimeWindow.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ReviewData.h"
#include "review/Timeline.h"

namespace bf {
namespace {

constexpr TimeWindow kFile{1000, 1100};

TEST(TimeWindow, ZoomKeepsThePointInPlace) {
  EXPECT_EQ(ZoomAround(kFile, 1050, 2, kFile), (TimeWindow{1025, 1075}));
  EXPECT_EQ(ZoomAround(kFile, 1010, 4, kFile), (TimeWindow{1007.5, 1032.5}));
  EXPECT_EQ(ZoomAround({1020, 1040}, 1030, 0.5, kFile), (TimeWindow{1010, 1050}));
  // A point outside the window counts as its nearest edge.
  EXPECT_EQ(ZoomAround({1020, 1040}, 5000, 2, kFile), (TimeWindow{1030, 1040}));
}

TEST(TimeWindow, ZoomStopsAtAFewSecondsAndAtTheWholeFile) {
  TimeWindow w = kFile;
  for (int i = 0; i < 10; ++i) w = ZoomAround(w, 1050, 10, kFile);
  EXPECT_DOUBLE_EQ(w.Length(), kMinWindowSeconds);
  EXPECT_GE(w.start, kFile.start);
  EXPECT_LE(w.end, kFile.end);
  for (int i = 0; i < 10; ++i) w = ZoomAround(w, 1050, 0.1, kFile);
  EXPECT_EQ(w, kFile);
  // A file shorter than the narrowest window is shown whole.
  EXPECT_EQ(ZoomAround({1000, 1002}, 1001, 8, {1000, 1002}), (TimeWindow{1000, 1002}));
  // No zoom for a factor that is not a positive number.
  EXPECT_EQ(ZoomAround({1020, 1040}, 1030, 0, kFile), (TimeWindow{1020, 1040}));
  EXPECT_EQ(ZoomAround({1020, 1040}, 1030, -2, kFile), (TimeWindow{1020, 1040}));
  EXPECT_EQ(ZoomAround({1020, 1040}, 1030, std::nan(""), kFile), (TimeWindow{1020, 1040}));
}

TEST(TimeWindow, ZoomAtTheEndsOfTheFileStaysInside) {
  EXPECT_EQ(ZoomAround(kFile, 1100, 4, kFile), (TimeWindow{1075, 1100}));
  EXPECT_EQ(ZoomAround(kFile, 1000, 4, kFile), (TimeWindow{1000, 1025}));
  // Zooming out near an end pushes the window back inside, keeping its new length.
  EXPECT_EQ(ZoomAround({1090, 1100}, 1095, 0.25, kFile), (TimeWindow{1060, 1100}));
  EXPECT_EQ(ZoomAround({1000, 1010}, 1005, 0.25, kFile), (TimeWindow{1000, 1040}));
}

TEST(TimeWindow, PanIsHeldByTheEndsOfTheFile) {
  EXPECT_EQ(Pan({1000, 1010}, 15, kFile), (TimeWindow{1015, 1025}));
  EXPECT_EQ(Pan({1000, 1010}, -50, kFile), (TimeWindow{1000, 1010}));
  EXPECT_EQ(Pan({1000, 1010}, 200, kFile), (TimeWindow{1090, 1100}));
  EXPECT_EQ(Pan(kFile, 30, kFile), kFile);
  EXPECT_EQ(Pan({1000, 1010}, INFINITY, kFile), (TimeWindow{1000, 1010}));
  EXPECT_EQ(ClampWindow({900, 2000}, kFile), kFile);
}

TEST(TimeWindow, TheNarrowestWindowAtTheEndOfARecordingHoldsItsLastFrames) {
  const test::SampleRecording sample(test::SamplePlan(60, 3, false));
  const Timeline timeline(sample.index);
  TimeWindow w = timeline.Whole();
  for (int i = 0; i < 20; ++i) w = ZoomAround(w, w.end, 8, timeline.Whole());
  EXPECT_EQ(w.end, timeline.Whole().end);
  EXPECT_DOUBLE_EQ(w.Length(), kMinWindowSeconds);
  // One frame per second: the last five frames.
  EXPECT_EQ(timeline.FramesIn(w), 5u);
  EXPECT_EQ(timeline.Nearest(w.start), sample.index.size() - 5);
}

}  // namespace
}  // namespace bf
