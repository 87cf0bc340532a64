#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "host/SettingsStore.h"
#include "recordings/PlaybackTimer.h"
#include "review/ReviewPresenter.h"
#include "review/Timeline.h"

namespace bf {

// How a review window plays: at the recorded pace times a speed factor, gaps longer than a
// limit skipped, or at a fixed rate.
struct ReviewPace {
  // Speed factor in per cent of the recorded pace: 25 (a quarter) to 6400 (64 times).
  int speedPercent = 100;
  // A gap in camera time longer than this, in seconds, is skipped: played as one second.
  int gapLimitSeconds = 10;
  // Frames per second; 0 plays at the recorded pace.
  int fixedRate = 0;
  friend bool operator==(const ReviewPace&, const ReviewPace&) = default;
};

inline constexpr int kSlowestSpeedPercent = 25;
inline constexpr int kFastestSpeedPercent = 6400;
inline constexpr int kFastestFixedRate = 100;

// The pace as kept in the settings store ("Settings" section), out-of-range values replaced by
// the nearest allowed one; and stored back.
ReviewPace ReadReviewPace(SettingsStore& settings);
void WriteReviewPace(SettingsStore& settings, const ReviewPace& pace);
namespace settings {
inline constexpr const char* kReviewSpeed = "Review speed";  // per cent
inline constexpr const char* kReviewGapLimit = "Review gap limit";
inline constexpr const char* kReviewFixedRate = "Review fixed rate";
}  // namespace settings

// The speed factor halved or doubled (direction -1 or +1) within 25..6400 per cent, and its text
// for the window ("¼×", "½×", "1×" ... "64×").
int NextSpeedPercent(int percent, int direction);
// The gap limit one step shorter or longer (direction -1 or +1) along 1, 2, 5, 10, 30 s, 1, 5,
// 10, 30 min, 1 h; a value between steps goes to the next step that way.
int NextGapLimit(int seconds, int direction);
std::string SpeedText(int percent);

// Milliseconds between showing the frame at sorted `position` and the one after it. At the
// recorded pace the frames of one camera second are spread evenly over it, so frame k of the
// n stamped with second s stands at s + k/n; the difference is divided by the speed factor. A
// difference above the gap limit counts as one second. Never less than 1 ms. Pure; any thread.
uint32_t PlayDelayMs(const Timeline& timeline, std::size_t position, const ReviewPace& pace);

// Plays a review presenter forwards, frame by frame in time order, paced by a playback timer.
// The timer's callback runs on the timer's thread and only hands the step to `post`, which must
// run it on the presenter's (GUI) thread, or drop it when the owner is gone; everything else,
// construction and destruction included, is on that thread. A step that arrives after Stop, or
// from an earlier run, is ignored. Playing stops at the last frame.
class ReviewPlayback {
 public:
  using Post = std::function<void(std::function<void()>)>;
  ReviewPlayback(ReviewPresenter& presenter, PlaybackTimer& timer, Post post);
  ~ReviewPlayback();
  ReviewPlayback(const ReviewPlayback&) = delete;
  ReviewPlayback& operator=(const ReviewPlayback&) = delete;

  // Starts from the current frame (from the first when the current one is the last).
  void Play();
  void Stop();
  void Toggle() { playing_ ? Stop() : Play(); }
  bool Playing() const { return playing_; }

  // Takes effect from the next frame.
  void SetPace(const ReviewPace& pace) { pace_ = pace; }
  const ReviewPace& Pace() const { return pace_; }

  // Called with true when playing starts and false when it stops.
  std::function<void(bool)> onPlayingChanged;

 private:
  void Arm(uint32_t delayMs);
  // Arms the timer for the time left until the next frame is due, at most the longest delay
  // the timer takes (a longer wait is made of several).
  void ArmUntilDue();
  void Tick(uint64_t run);

  ReviewPresenter& presenter_;
  PlaybackTimer& timer_;
  Post post_;
  ReviewPace pace_;
  bool playing_ = false;
  uint64_t run_ = 0;  // which run a step belongs to
  TimerEventId armed_ = 0;
  uint32_t dueMs_ = 0;          // timer time the next frame is due, for an absolute schedule
  uint32_t longestWaitMs_ = 0;  // the timer's longest single delay
};

}  // namespace bf
