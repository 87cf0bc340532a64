// The real timer thread and the player on it. Waits are for events, never for a fixed time, and
// nothing asserts on how long anything took (the benchmarks measure pacing).
#include "recordings/ThreadPlaybackTimer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "RecordingFixture.h"
#include "recordings/Player.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

TEST(ThreadPlaybackTimer, FiresInDueOrderAndHonoursKills) {
  ThreadPlaybackTimer timer;
  std::mutex m;
  std::condition_variable cv;
  std::vector<int> fired;
  auto note = [&](int tag) {
    return [&, tag](TimerEventId) {
      std::lock_guard lock(m);
      fired.push_back(tag);
      cv.notify_all();
    };
  };
  EXPECT_EQ(timer.SetEvent(0, 1, note(0)), 0u);  // refused: below the finest period
  const TimerEventId late = timer.SetEvent(30, 1, note(3));
  const TimerEventId killed = timer.SetEvent(10, 1, note(99));
  timer.SetEvent(20, 1, note(2));
  timer.SetEvent(1, 1, note(1));
  timer.KillEvent(killed);
  std::unique_lock lock(m);
  cv.wait(lock, [&] { return fired.size() == 3; });
  EXPECT_EQ(fired, (std::vector<int>{1, 2, 3}));
  timer.KillEvent(late);  // already fired: ignored
}

// KillEvent is called from another thread while the callback runs; the callback stays inside
// until it has given KillEvent a fair chance to return early. A KillEvent that does not wait
// returns within that chance and the callback sees it.
TEST(ThreadPlaybackTimer, KillWaitsForARunningCallback) {
  ThreadPlaybackTimer timer;
  std::mutex m;
  std::condition_variable cv;
  bool entered = false;
  bool killStarted = false;
  bool killReturned = false;
  bool killReturnedWhileRunning = false;
  bool finished = false;
  const TimerEventId id = timer.SetEvent(1, 1, [&](TimerEventId) {
    std::unique_lock lock(m);
    entered = true;
    cv.notify_all();
    cv.wait(lock, [&] { return killStarted; });
    // Waits for something that must not happen; the bound only ends the wait of a correct timer.
    killReturnedWhileRunning =
        cv.wait_for(lock, std::chrono::milliseconds(200), [&] { return killReturned; });
    finished = true;
  });
  {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return entered; });
  }
  std::thread killer([&] {
    {
      std::lock_guard lock(m);
      killStarted = true;
      cv.notify_all();
    }
    timer.KillEvent(id);
    std::lock_guard lock(m);
    killReturned = true;
    EXPECT_TRUE(finished) << "KillEvent returned before the callback ended";
    cv.notify_all();
  });
  killer.join();
  std::lock_guard lock(m);
  EXPECT_FALSE(killReturnedWhileRunning);
  EXPECT_TRUE(finished);
}

// A display fed from the timer thread: the test waits for the end of the run through it.
class WaitingDisplay final : public FrameDisplay {
 public:
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t>) override {
    std::lock_guard lock(m_);
    stamps_.push_back(header.Timestamp());
    return true;
  }
  void ClearDisplay() override {}
  void PostPosition(uint32_t position) override {
    std::lock_guard lock(m_);
    last_ = position;
    cv_.notify_all();
  }
  std::vector<uint32_t> WaitForPosition(uint32_t position) {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return last_ >= position; });
    return stamps_;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<uint32_t> stamps_;
  uint32_t last_ = 0;
};

TEST(ThreadPlaybackTimer, PlayerRunsOnTheTimerThreadWhileTheGuiNavigates) {
  test::TempDir dir;
  test::ScriptedPrompts prompts;
  ThreadPlaybackTimer timer;
  WaitingDisplay display;
  std::vector<uint32_t> stamps;
  for (uint32_t i = 0; i < 12; ++i) stamps.push_back(i);
  const std::string path = dir.Write("r.bfk", test::RecordingWithTimestamps(stamps));
  {
    Player player(display, timer, prompts);
    ASSERT_EQ(player.OpenRecording(path), 12u);
    ASSERT_EQ(player.StartPlayback(20), 1u);
    // GUI-thread work racing the steps: every piece is serialised by the player's lock.
    player.SetRate(20);
    player.WithLock([] {});
    Player::ShownFrame frame;
    EXPECT_EQ(player.CopyShownFrame(frame), Player::ShownState::Shown);
    const std::vector<uint32_t> seen = display.WaitForPosition(12);
    EXPECT_EQ(seen.size(), 12u);
    EXPECT_EQ(seen.back(), 11u);
    // A second run, destroyed while it plays: the pending step is cancelled or waited out.
    player.StopPlayback();  // the run's closing tick may still be pending
    player.NavigateTo(0, NAV_ABSOLUTE);
    ASSERT_NE(player.StartPlayback(20), 0u);
  }
}

// A display on the timer thread that cuts the recording short while it shows one frame, as
// another program might at any moment, and lets the test wait for the picture to go.
class CuttingDisplay final : public FrameDisplay {
 public:
  CuttingDisplay(std::string path, uint32_t cutAtStamp, uint64_t keepBytes)
      : path_(std::move(path)), cutAtStamp_(cutAtStamp), keepBytes_(keepBytes) {}
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t>) override {
    std::error_code ec;
    if (header.Timestamp() == cutAtStamp_) std::filesystem::resize_file(path_, keepBytes_, ec);
    std::lock_guard lock(m_);
    if (header.Timestamp() == cutAtStamp_) cutRefused_ = static_cast<bool>(ec);
    stamps_.push_back(header.Timestamp());
    return true;
  }
  void ClearDisplay() override {
    std::lock_guard lock(m_);
    ++clears_;
    cv_.notify_all();
  }
  void PostPosition(uint32_t position) override {
    std::lock_guard lock(m_);
    last_ = position;
    cv_.notify_all();
  }
  std::vector<uint32_t> WaitForClear() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return clears_ > 0; });
    return stamps_;
  }
  // Until the run reaches `position` or the picture goes, whichever comes first.
  std::vector<uint32_t> WaitForPositionOrClear(uint32_t position) {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return last_ >= position || clears_ > 0; });
    return stamps_;
  }
  bool CutRefused() {
    std::lock_guard lock(m_);
    return cutRefused_;
  }

 private:
  const std::string path_;
  const uint32_t cutAtStamp_;
  const uint64_t keepBytes_;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<uint32_t> stamps_;
  int clears_ = 0;
  uint32_t last_ = 0;
  bool cutRefused_ = false;
};

TEST(ThreadPlaybackTimer, RecordingCutShortDuringAStepEndsTheRunOnTheTimerThread) {
  test::TempDir dir;
  test::ScriptedPrompts prompts;
  ThreadPlaybackTimer timer;
  std::vector<uint32_t> stamps;
  for (uint32_t i = 0; i < 12; ++i) stamps.push_back(i);
  const std::string path = dir.Write("r.bfk", test::RecordingWithTimestamps(stamps));
  CuttingDisplay display(path, 2, 3 * 1016);  // while frame 2 is shown, 3 to 11 go
  Player player(display, timer, prompts);
  ASSERT_EQ(player.OpenRecording(path), 12u);
  ASSERT_EQ(player.StartPlayback(20), 1u);
#ifdef _WIN32
  // Windows refuses to cut a file that is open for reading without write sharing: the run
  // plays every frame, and there is nothing to tell.
  const std::vector<uint32_t> seen = display.WaitForPositionOrClear(12);
  EXPECT_TRUE(display.CutRefused());
  ASSERT_EQ(seen.size(), 12u);
  EXPECT_EQ(seen.back(), 11u);
  EXPECT_FALSE(player.TakeFileChangeNotice().tell);
  EXPECT_TRUE(prompts.shown.empty());
#else
  EXPECT_EQ(display.WaitForClear(), (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_FALSE(player.IsPlaying());  // the step that cleared has ended the run
  EXPECT_EQ(player.Position(), 4u);
  const Player::FileChangeNotice notice = player.TakeFileChangeNotice();
  EXPECT_TRUE(notice.tell);
  EXPECT_TRUE(notice.stoppedRun);
  EXPECT_TRUE(prompts.shown.empty());  // never a message box from the timer thread
  EXPECT_FALSE(player.TakeFileChangeNotice().tell);
#endif
}

}  // namespace
}  // namespace bf
