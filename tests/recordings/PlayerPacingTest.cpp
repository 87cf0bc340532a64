// Playback pacing on a virtual clock: every delay is observed exactly, at no real cost.
#include <gtest/gtest.h>

#include "RecordingFixture.h"
#include "recordings/Player.h"
#include "sim/VirtualClock.h"
#include "sim/VirtualPlaybackTimer.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

class PlayerPacing : public ::testing::Test {
 protected:
  PlayerPacing() {
    display.now = [this] { return clock.NowMs() - kStart; };
  }

  void Open(const std::vector<uint32_t>& stamps) {
    const std::string path = dir.Write("r.bfk", test::RecordingWithTimestamps(stamps));
    ASSERT_EQ(player.OpenRecording(path), stamps.size());
  }
  // Shown times relative to the start of the test.
  std::vector<uint64_t> Times() const { return display.Times(); }

  static constexpr uint64_t kStart = 1'000'000;
  test::TempDir dir;
  VirtualClock clock{kStart};
  VirtualPlaybackTimer timer{clock};
  test::ScriptedPrompts prompts;
  test::RecordingDisplay display;
  Player player{display, timer, prompts};
};

TEST_F(PlayerPacing, LikeOriginalSpreadsEachSecondAndHoldsLoneFrames) {
  Open({100, 100, 100, 101, 105});
  EXPECT_EQ(player.StartPlayback(0), 1u);
  timer.RunAll();
  EXPECT_EQ(Times(), (std::vector<uint64_t>{0, 333, 666, 999, 4999}));
  EXPECT_EQ(display.Stamps(), (std::vector<uint32_t>{100, 100, 100, 101, 105}));
  EXPECT_EQ(display.positions, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  // The last frame computes no delay; the run ends on the 1 ms floor after it.
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(clock.NowMs() - kStart, 5000u);
  EXPECT_EQ(timer.Pending(), 0u);
  // The resolution was raised once and given back once, with the same value.
  EXPECT_EQ(timer.Begun(), (std::vector<uint32_t>{1}));
  EXPECT_EQ(timer.Ended(), (std::vector<uint32_t>{1}));
  EXPECT_EQ(player.ShownEntry(), 4u);
}

TEST_F(PlayerPacing, TheStepsOwnTimeIsTakenOffTheNextDelayDownToOneMillisecond) {
  Open({1, 1, 1, 1, 1, 1, 1});
  uint64_t showMs = 7;
  display.onShow = [&] { clock.Advance(showMs); };
  player.StartPlayback(20);
  timer.RunFor(100);
  EXPECT_EQ(Times(), (std::vector<uint64_t>{0, 50, 100}));  // 7 ms shows keep the schedule
  showMs = 60;  // a show slower than the frame period: the next frame follows 1 ms after it
  timer.RunAll();
  ASSERT_EQ(Times().size(), 7u);
  EXPECT_EQ(Times()[3], 150u);
  EXPECT_EQ(Times()[4], 150u + 60u + 1u);
  EXPECT_EQ(Times()[5], 150u + 2 * 61u);
}

TEST_F(PlayerPacing, LongGapsAndABackwardClockAreCut) {
  Open({1000, 1020, 1041, 1040, 1041});
  player.StartPlayback(0);
  timer.RunAll();
  ASSERT_EQ(Times().size(), 5u);
  EXPECT_EQ(Times()[1], 20000u);                       // 20 s apart: held 20 s
  EXPECT_EQ(Times()[2], 20000u + 22222u);              // 21 s apart: cut to 22.222 s
  EXPECT_EQ(Times()[3], 20000u + 2 * 22222u);          // clock went backwards: 22.222 s
  EXPECT_EQ(Times()[4], 20000u + 2 * 22222u + 1000u);  // and on again
}

TEST_F(PlayerPacing, FixedRates) {
  Open({1, 1, 1, 1, 1, 1});
  player.StartPlayback(3);
  timer.RunFor(1000);
  EXPECT_EQ(Times(), (std::vector<uint64_t>{0, 333, 666, 999}));
  player.StopPlayback();
  timer.RunAll();
  EXPECT_EQ(Times().size(), 4u);  // the pending event found the player stopped

  display.shown.clear();
  const uint64_t t = clock.NowMs() - kStart;
  player.StartPlayback(20);
  timer.RunAll();
  ASSERT_EQ(Times().size(), 2u);
  EXPECT_EQ(Times()[1] - Times()[0], 50u);
  EXPECT_EQ(Times()[0], t);
  EXPECT_EQ(timer.Begun().size(), 2u);
  EXPECT_EQ(timer.Ended().size(), 2u);
}

TEST_F(PlayerPacing, SwitchingModesDuringARunKeepsTheSharedRateField) {
  // Ten frames per second of recording, and a second group of three.
  std::vector<uint32_t> stamps(12, 50);
  stamps.insert(stamps.end(), {51, 51, 51});
  Open(stamps);
  player.StartPlayback(10);
  timer.RunFor(250);  // frames at 0, 100, 200; counter now 4
  ASSERT_EQ(player.GroupCounter(), 4u);
  player.SetRate(0);  // "Как в оригинале" during the run
  timer.RunAll();
  const std::vector<uint64_t> t = Times();
  ASSERT_EQ(t.size(), 15u);
  // The old rate stays the group size until the counter passes it: 100 ms steps through the
  // frame shown with counter 10 ...
  for (std::size_t i = 1; i <= 9; ++i) EXPECT_EQ(t[i] - t[i - 1], 100u) << i;
  // ... then frames are grouped by timestamp: the remaining 12 - 10 = 2 frames of second 50
  // are counted as a group of 2, then the three frames of second 51 at 333 ms.
  EXPECT_EQ(t[10] - t[9], 100u);
  EXPECT_EQ(t[11] - t[10], 500u);
  EXPECT_EQ(t[12] - t[11], 500u);
  EXPECT_EQ(t[13] - t[12], 333u);
  EXPECT_EQ(t[14] - t[13], 333u);
  EXPECT_TRUE(player.LikeOriginal());
}

TEST_F(PlayerPacing, PlayIsRefusedAtTheEndUntilNavigationMovesBack) {
  Open({1, 2, 3});
  player.StartPlayback(20);
  EXPECT_EQ(player.StartPlayback(20), 0u);  // already running
  timer.RunAll();
  EXPECT_EQ(player.Position(), 3u);
  const std::size_t shown = display.shown.size();
  EXPECT_EQ(player.StartPlayback(20), 0u);
  EXPECT_EQ(display.shown.size(), shown);
  EXPECT_EQ(timer.Pending(), 0u);

  EXPECT_EQ(player.NavigateTo(0, NAV_ABSOLUTE), 0u);
  EXPECT_EQ(player.StartPlayback(20), 1u);
  EXPECT_TRUE(player.IsPlaying());
  timer.RunAll();
}

TEST_F(PlayerPacing, NavigationWrapsUnsignedAndRefusesMissingFrames) {
  Open({1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(player.NavigateTo(0, NAV_FROM_END), 6u);
  EXPECT_EQ(player.NavigateTo(1, NAV_RELATIVE), kNoFrame);  // Next at the last frame
  EXPECT_EQ(player.Position(), 6u);
  EXPECT_EQ(player.NavigateTo(kNoFrame, NAV_RELATIVE), 5u);
  EXPECT_EQ(player.NavigateTo(0, NAV_ABSOLUTE), 0u);
  EXPECT_EQ(player.NavigateTo(kNoFrame, NAV_RELATIVE), kNoFrame);  // back from 0 wraps
  EXPECT_EQ(player.NavigateTo(7, NAV_FROM_END), kNoFrame);         // 7 - 7 - 1 wraps
  EXPECT_EQ(player.NavigateTo(3, NAV_ABSOLUTE), 3u);
  EXPECT_EQ(player.NavigateTo(99, 17), 3u);  // any other mode: the current position
  EXPECT_EQ(display.Stamps(), (std::vector<uint32_t>{7, 6, 1, 4, 4}));
}

TEST_F(PlayerPacing, RunStartedAtTheLastFrameStillEnds) {
  Open({1, 2, 3});
  player.NavigateTo(2, NAV_ABSOLUTE);
  EXPECT_EQ(player.StartPlayback(0), 3u);
  EXPECT_EQ(player.FrameDelay(), 0u);
  EXPECT_EQ(timer.ArmedDelays(), (std::vector<uint32_t>{1}));
  timer.RunAll();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(timer.Ended().size(), 1u);
}

TEST_F(PlayerPacing, MissingPreciseTimerIsFatalForTheRunOnly) {
  Open({1, 2, 3});
  timer.FailCaps(true);
  EXPECT_EQ(player.StartPlayback(5), 0u);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, kNoPreciseTimerText);
  EXPECT_EQ(prompts.shown[0].caption, "Фатальная ошибка!");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(display.shown.size(), 1u);  // the first frame had already appeared
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_EQ(timer.Pending(), 0u);
  player.StopPlayback();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(timer.Ended().empty());  // nothing was raised, nothing is given back
}

TEST_F(PlayerPacing, OpeningWhilePlayingStopsTheRunFirst) {
  Open({1, 1, 1, 1, 1});
  int stopped = 0;
  player.SetStoppedForOpenCallback([&] { ++stopped; });
  player.StartPlayback(10);
  timer.RunFor(150);
  const std::string other = dir.Write("b.bfk", test::RecordingWithTimestamps({7, 8}));
  ASSERT_EQ(player.OpenRecording(other), 2u);
  EXPECT_EQ(stopped, 1);
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(player.Position(), 0u);
  EXPECT_EQ(player.GroupSize(), 0u);
  EXPECT_EQ(timer.Ended().size(), 1u);
  const std::size_t shown = display.shown.size();
  timer.RunAll();  // the old run's pending event finds nothing to do
  EXPECT_EQ(display.shown.size(), shown);
  EXPECT_EQ(player.ShownEntry(), std::nullopt);
}

TEST_F(PlayerPacing, FailedOpenLeavesPlayerOperationsInert) {
  Open({1, 2});
  EXPECT_EQ(player.OpenRecording(dir.File("missing.bfk")), 0u);
  EXPECT_EQ(player.Count(), 0u);
  EXPECT_EQ(player.NavigateTo(0, NAV_ABSOLUTE), kNoFrame);
  EXPECT_EQ(player.StartPlayback(0), 0u);
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(display.shown.empty());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, "Error");
  // The wait cursor was shown and taken back for both opens.
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false, true, false}));
}

TEST_F(PlayerPacing, StepOfTheTruncatedLastFrameShowsOnlyTheBytesPresent) {
  std::vector<uint8_t> b = test::RecordingWithTimestamps({1});
  test::AppendRecord(b, test::RecordShape{.recordLength = 3000, .timestamp = 2});
  b.resize(b.size() - 2000);
  ASSERT_EQ(player.OpenRecording(dir.Write("t.bfk", b)), 2u);
  player.StartPlayback(20);
  timer.RunAll();
  ASSERT_EQ(display.shown.size(), 2u);
  EXPECT_EQ(display.shown[1].payload.size(), 2984u - 2000u);
  EXPECT_EQ(PayloadLength(display.shown[1].header), 2984u);
}

}  // namespace
}  // namespace bf
