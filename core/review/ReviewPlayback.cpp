#include "review/ReviewPlayback.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace bf {

namespace {

// A frame more than this late restarts the schedule from now instead of catching up with a
// burst of frames.
constexpr int32_t kMaxLateMs = 250;

int ClampSpeed(int percent) {
  // Powers of two of a quarter only: the nearest at or below the value read.
  int speed = kSlowestSpeedPercent;
  while (speed * 2 <= std::min(percent, kFastestSpeedPercent)) speed *= 2;
  return speed;
}

// Where the frame at `position` stands in camera time, its second shared evenly with the
// other frames stamped with it.
double PlaceOf(const Timeline& timeline, std::size_t position) {
  const uint32_t second = timeline.SortedTimes()[position];
  const std::size_t first = timeline.LowerBound(second);
  const std::size_t end = timeline.LowerBound(static_cast<double>(second) + 1.0);
  return second + static_cast<double>(position - first) / static_cast<double>(end - first);
}

}  // namespace

ReviewPace ReadReviewPace(SettingsStore& settings) {
  ReviewPace pace;
  pace.speedPercent =
      ClampSpeed(settings.ReadInt(settings::kSection, settings::kReviewSpeed, pace.speedPercent));
  pace.gapLimitSeconds = std::clamp(
      settings.ReadInt(settings::kSection, settings::kReviewGapLimit, pace.gapLimitSeconds), 1,
      86400);
  pace.fixedRate =
      std::clamp(settings.ReadInt(settings::kSection, settings::kReviewFixedRate, pace.fixedRate),
                 0, kFastestFixedRate);
  return pace;
}

void WriteReviewPace(SettingsStore& settings, const ReviewPace& pace) {
  settings.WriteInt(settings::kSection, settings::kReviewSpeed, pace.speedPercent);
  settings.WriteInt(settings::kSection, settings::kReviewGapLimit, pace.gapLimitSeconds);
  settings.WriteInt(settings::kSection, settings::kReviewFixedRate, pace.fixedRate);
}

int NextSpeedPercent(int percent, int direction) {
  const int speed = ClampSpeed(percent);
  if (direction > 0) return std::min(speed * 2, kFastestSpeedPercent);
  if (direction < 0) return std::max(speed / 2, kSlowestSpeedPercent);
  return speed;
}

int NextGapLimit(int seconds, int direction) {
  static constexpr int kSteps[] = {1, 2, 5, 10, 30, 60, 300, 600, 1800, 3600};
  if (direction > 0) {
    for (int step : kSteps) {
      if (step > seconds) return step;
    }
    return std::max(seconds, kSteps[std::size(kSteps) - 1]);
  }
  if (direction < 0) {
    for (auto it = std::rbegin(kSteps); it != std::rend(kSteps); ++it) {
      if (*it < seconds) return *it;
    }
    return std::min(seconds, kSteps[0]);
  }
  return seconds;
}

std::string SpeedText(int percent) {
  if (percent == 25) return "¼×";
  if (percent == 50) return "½×";
  return std::to_string(percent / 100) + "×";
}

uint32_t PlayDelayMs(const Timeline& timeline, std::size_t position, const ReviewPace& pace) {
  if (pace.fixedRate > 0) return static_cast<uint32_t>(std::max(1, 1000 / pace.fixedRate));
  if (position + 1 >= timeline.Count()) return 1;
  double seconds = PlaceOf(timeline, position + 1) - PlaceOf(timeline, position);
  if (seconds > pace.gapLimitSeconds) seconds = 1.0;
  const double ms = seconds * 1000.0 * 100.0 / std::max(1, pace.speedPercent);
  return static_cast<uint32_t>(std::clamp(std::lround(ms), 1L, 86'400'000L));
}

ReviewPlayback::ReviewPlayback(ReviewPresenter& presenter, PlaybackTimer& timer, Post post)
    : presenter_(presenter), timer_(timer), post_(std::move(post)) {}

ReviewPlayback::~ReviewPlayback() {
  // Waits for a callback running on the timer's thread; what it posted is dropped by `post`.
  if (armed_ != 0) timer_.KillEvent(armed_);
}

void ReviewPlayback::Play() {
  if (playing_ || !presenter_.IsOpen()) return;
  const std::size_t count = presenter_.GetTimeline().Count();
  if (count < 2) return;
  if (presenter_.Position() + 1 >= count) presenter_.Home();
  playing_ = true;
  ++run_;
  longestWaitMs_ = timer_.GetDevCaps().value_or(TimerCaps{}).periodMax;
  dueMs_ = timer_.TimeMs();
  if (onPlayingChanged) onPlayingChanged(true);
  Arm(PlayDelayMs(presenter_.GetTimeline(), presenter_.Position(), pace_));
}

void ReviewPlayback::Stop() {
  if (!playing_) return;
  playing_ = false;
  ++run_;
  if (armed_ != 0) timer_.KillEvent(armed_);
  armed_ = 0;
  if (onPlayingChanged) onPlayingChanged(false);
}

void ReviewPlayback::Arm(uint32_t delayMs) {
  dueMs_ += delayMs;
  ArmUntilDue();
}

void ReviewPlayback::ArmUntilDue() {
  // Unsigned difference read as signed: the timer's milliseconds wrap.
  int64_t wait = static_cast<int32_t>(dueMs_ - timer_.TimeMs());
  if (wait < -kMaxLateMs) {
    dueMs_ = timer_.TimeMs();
    wait = 0;
  }
  const uint64_t run = run_;
  const auto delay =
      static_cast<uint32_t>(std::clamp<int64_t>(wait, 1, std::max<uint32_t>(longestWaitMs_, 1)));
  armed_ =
      timer_.SetEvent(delay, 1, [this, run](TimerEventId) { post_([this, run] { Tick(run); }); });
  if (armed_ == 0) Stop();
}

void ReviewPlayback::Tick(uint64_t run) {
  if (!playing_ || run != run_) return;
  armed_ = 0;
  if (static_cast<int32_t>(dueMs_ - timer_.TimeMs()) > 0) {
    ArmUntilDue();  // part of a wait longer than the timer takes at once
    return;
  }
  const std::size_t count = presenter_.GetTimeline().Count();
  if (presenter_.Position() + 1 >= count) {
    Stop();
    return;
  }
  presenter_.Step(1);
  if (presenter_.Position() + 1 >= count) {
    Stop();
    return;
  }
  Arm(PlayDelayMs(presenter_.GetTimeline(), presenter_.Position(), pace_));
}

}  // namespace bf
