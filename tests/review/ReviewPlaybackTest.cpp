// Playing a recording in a review window: paced on the virtual playback timer, at the recorded
// pace times a speed factor with long gaps skipped, or at a fixed rate.
#include <gtest/gtest.h>

#include <deque>

#include "recordings/RecordingFixture.h"
#include "review/ReviewPlayback.h"
#include "sim/VirtualClock.h"
#include "sim/VirtualPlaybackTimer.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

using test::RecordingWithTimestamps;
using test::TempDir;

struct ClockedView : ReviewView {
  explicit ClockedView(VirtualClock& c) : clock(c) {}
  VirtualClock& clock;
  std::vector<uint32_t> times;
  std::vector<uint64_t> shownAt;
  void ShowFrame(const FrameHeader& header, std::span<const uint8_t>) override {
    times.push_back(header.Timestamp());
    shownAt.push_back(clock.NowMs());
  }
  void TimelineChanged() override {}
  // Milliseconds between consecutive frames shown.
  std::vector<uint64_t> Intervals() const {
    std::vector<uint64_t> out;
    for (std::size_t i = 1; i < shownAt.size(); ++i) out.push_back(shownAt[i] - shownAt[i - 1]);
    return out;
  }
};

class ReviewPlaybackTest : public ::testing::Test {
 protected:
  void Open(const std::vector<uint32_t>& times) {
    ASSERT_TRUE(presenter_.Open(dir_.Write("p.bfk", RecordingWithTimestamps(times))));
    view_.times.clear();
    view_.shownAt.clear();
  }
  // Steps posted to the GUI thread run at once: the virtual timer fires on this thread.
  ReviewPlayback::Post Immediate() {
    return [](std::function<void()> step) { step(); };
  }

  TempDir dir_;
  ScriptedPrompts prompts_;
  VirtualClock clock_;
  VirtualPlaybackTimer timer_{clock_};
  ClockedView view_{clock_};
  ReviewPresenter presenter_{prompts_, view_};
};

TEST_F(ReviewPlaybackTest, RecordedPaceSpreadsASecondsFramesAndSkipsLongGaps) {
  // Second 101 has two frames; 103 comes two seconds later; 500 lies a long gap after it.
  Open({100, 101, 101, 103, 500, 501, 504});
  ReviewPlayback playback(presenter_, timer_, Immediate());
  playback.SetPace({.speedPercent = 100, .gapLimitSeconds = 10, .fixedRate = 0});
  playback.Play();
  EXPECT_TRUE(playback.Playing());
  timer_.RunAll();
  EXPECT_EQ(view_.times, (std::vector<uint32_t>{101, 101, 103, 500, 501, 504}));
  // 100 -> 101.0 -> 101.5 -> 103 -> (gap of 397 s played as 1 s) -> 501 -> 504 (3 s, under
  // the limit, kept).
  EXPECT_EQ(view_.Intervals(), (std::vector<uint64_t>{500, 1500, 1000, 1000, 3000}));
  EXPECT_EQ(view_.shownAt.front(), 1'000'000u + 1000u);
  // Stopped at the last frame, nothing left armed.
  EXPECT_FALSE(playback.Playing());
  EXPECT_EQ(timer_.Pending(), 0u);
  EXPECT_EQ(presenter_.Position(), 6u);
}

TEST_F(ReviewPlaybackTest, SpeedFactorDividesTheRecordedPaceAndFixedRateIgnoresIt) {
  Open({100, 102, 106, 107, 108});
  ReviewPlayback playback(presenter_, timer_, Immediate());
  playback.SetPace({.speedPercent = 400, .gapLimitSeconds = 60, .fixedRate = 0});
  playback.Play();
  timer_.RunAll();
  EXPECT_EQ(view_.Intervals(), (std::vector<uint64_t>{1000, 250, 250}));  // 4 s, 1 s, 1 s / 4
  EXPECT_EQ(view_.shownAt.front() - 1'000'000u, 500u);                    // 2 s / 4

  presenter_.Home();
  view_.shownAt.clear();
  const uint64_t start = clock_.NowMs();
  playback.SetPace({.speedPercent = 25, .gapLimitSeconds = 60, .fixedRate = 0});
  playback.Play();
  timer_.RunFor(8000);  // 2 s at a quarter: the second frame only
  EXPECT_EQ(view_.shownAt, (std::vector<uint64_t>{start + 8000}));
  playback.Stop();

  // A fixed rate: 5 frames per second whatever the camera times.
  presenter_.Home();
  view_.shownAt.clear();
  playback.SetPace({.speedPercent = 6400, .gapLimitSeconds = 60, .fixedRate = 5});
  playback.Play();
  timer_.RunAll();
  EXPECT_EQ(view_.Intervals(), (std::vector<uint64_t>{200, 200, 200}));
}

TEST_F(ReviewPlaybackTest, AWaitLongerThanTheTimerTakesAtOnceIsMadeOfSeveral) {
  // A gap of 50 minutes kept (the limit is an hour), played at a quarter: 200 minutes, far
  // more than the 1,000 s one timer event can wait.
  Open({100, 3100, 3101});
  ReviewPlayback playback(presenter_, timer_, Immediate());
  playback.SetPace({.speedPercent = 25, .gapLimitSeconds = 3600, .fixedRate = 0});
  playback.Play();
  timer_.RunAll(100'000'000);
  EXPECT_EQ(view_.times, (std::vector<uint32_t>{3100, 3101}));
  EXPECT_EQ(view_.shownAt.front() - 1'000'000u, 12'000'000u);
  EXPECT_EQ(view_.Intervals(), (std::vector<uint64_t>{4000}));
  for (uint32_t delay : timer_.ArmedDelays()) EXPECT_LE(delay, 1'000'000u);
  EXPECT_FALSE(playback.Playing());
}

TEST_F(ReviewPlaybackTest, TheFastestSpeedStillWaitsAtLeastAMillisecond) {
  std::vector<uint32_t> times(40, 100);  // 40 frames in one second: 25 ms apart, /64
  times.push_back(101);
  Open(times);
  ReviewPlayback playback(presenter_, timer_, Immediate());
  playback.SetPace({.speedPercent = 6400, .gapLimitSeconds = 60, .fixedRate = 0});
  playback.Play();
  timer_.RunAll();
  ASSERT_EQ(view_.shownAt.size(), 40u);
  for (uint64_t interval : view_.Intervals()) EXPECT_GE(interval, 1u);
  EXPECT_FALSE(playback.Playing());
}

TEST_F(ReviewPlaybackTest, AStepPostedBeforeStopIsIgnoredAndPlayFromTheEndStartsOver) {
  Open({100, 101, 102, 103});
  std::deque<std::function<void()>> posted;
  ReviewPlayback playback(presenter_, timer_,
                          [&](std::function<void()> step) { posted.push_back(std::move(step)); });
  std::vector<bool> changes;
  playback.onPlayingChanged = [&](bool playing) { changes.push_back(playing); };
  playback.Play();
  timer_.RunFor(1000);
  ASSERT_EQ(posted.size(), 1u);  // fired on the timer, not yet run on the GUI thread
  playback.Stop();
  playback.Play();  // a new run from the same frame
  posted.front()();
  posted.pop_front();
  EXPECT_EQ(presenter_.Position(), 0u);
  timer_.RunFor(1000);
  ASSERT_EQ(posted.size(), 1u);
  posted.front()();
  posted.pop_front();
  EXPECT_EQ(presenter_.Position(), 1u);
  EXPECT_EQ(changes, (std::vector<bool>{true, false, true}));

  presenter_.End();
  playback.Stop();
  playback.Play();
  EXPECT_EQ(presenter_.Position(), 0u);
  EXPECT_TRUE(playback.Playing());
}

TEST(ReviewPaceTest, KeptInTheSettingsAndClampedWhenRead) {
  MemorySettingsStore settings;
  EXPECT_EQ(ReadReviewPace(settings), ReviewPace{});
  WriteReviewPace(settings, {.speedPercent = 1600, .gapLimitSeconds = 30, .fixedRate = 12});
  EXPECT_EQ(ReadReviewPace(settings),
            (ReviewPace{.speedPercent = 1600, .gapLimitSeconds = 30, .fixedRate = 12}));
  settings.WriteInt("Settings", "Review speed", 100000);
  settings.WriteInt("Settings", "Review gap limit", 0);
  settings.WriteInt("Settings", "Review fixed rate", -4);
  EXPECT_EQ(ReadReviewPace(settings),
            (ReviewPace{.speedPercent = 6400, .gapLimitSeconds = 1, .fixedRate = 0}));
  settings.WriteInt("Settings", "Review speed", 300);  // not a power of two: the one below
  EXPECT_EQ(ReadReviewPace(settings).speedPercent, 200);

  EXPECT_EQ(NextSpeedPercent(100, 1), 200);
  EXPECT_EQ(NextSpeedPercent(6400, 1), 6400);
  EXPECT_EQ(NextSpeedPercent(50, -1), 25);
  EXPECT_EQ(NextSpeedPercent(25, -1), 25);
  EXPECT_EQ(NextGapLimit(10, 1), 30);
  EXPECT_EQ(NextGapLimit(10, -1), 5);
  EXPECT_EQ(NextGapLimit(7, -1), 5);
  EXPECT_EQ(NextGapLimit(7, 1), 10);
  EXPECT_EQ(NextGapLimit(1, -1), 1);
  EXPECT_EQ(NextGapLimit(3600, 1), 3600);
  EXPECT_EQ(SpeedText(25), "¼×");
  EXPECT_EQ(SpeedText(50), "½×");
  EXPECT_EQ(SpeedText(6400), "64×");
}

}  // namespace
}  // namespace bf
