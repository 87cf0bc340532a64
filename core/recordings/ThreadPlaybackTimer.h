#pragma once
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "recordings/PlaybackTimer.h"

namespace bf {

// The real playback timer: one dedicated thread that sleeps to the absolute deadline of the
// earliest pending event and runs its callback there, at raised priority where the system
// allows it (as the platform's multimedia timer thread runs).
//
// Schedule: milliseconds are counted on a fixed grid from the timer's creation, and an event is
// due at (current grid millisecond + delay). Inside a callback the clock reads as if the thread
// had woken exactly at the event's due time (a late wake-up of up to kMaxCatchUp is taken out),
// so a callback that measures its own time with TimeMs() and subtracts it from the next delay
// stays on an absolute schedule instead of adding each wake-up's lateness to the next frame.
// A longer stall is not caught up (that would show a burst of frames): the schedule restarts
// from the real time.
// Raising the resolution tightens the thread's timer slack for the duration of the run.
class ThreadPlaybackTimer final : public PlaybackTimer {
 public:
  ThreadPlaybackTimer();
  ~ThreadPlaybackTimer() override;
  ThreadPlaybackTimer(const ThreadPlaybackTimer&) = delete;
  ThreadPlaybackTimer& operator=(const ThreadPlaybackTimer&) = delete;

  std::optional<TimerCaps> GetDevCaps() override { return TimerCaps{}; }
  void BeginPeriod(uint32_t resolutionMs) override;
  void EndPeriod(uint32_t resolutionMs) override;
  TimerEventId SetEvent(uint32_t delayMs, uint32_t resolutionMs, Callback callback) override;
  void KillEvent(TimerEventId id) override;
  uint32_t TimeMs() override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Event {
    Clock::time_point due;
    Callback callback;
  };

  static constexpr std::chrono::milliseconds kMaxCatchUp{100};

  void Run();
  // Grid milliseconds now, as the calling thread sees them (see the class comment).
  uint64_t GridMs() const;

  const Clock::time_point epoch_ = Clock::now();
  std::mutex mutex_;
  std::condition_variable wake_;     // a new earliest event, or stop
  std::condition_variable settled_;  // a callback has returned
  std::map<TimerEventId, Event> events_;
  TimerEventId nextId_ = 1;
  TimerEventId running_ = 0;
  int periods_ = 0;
  Clock::duration lag_{};  // lateness of the callback running now; timer thread only
  bool stop_ = false;
  std::thread thread_;  // last: starts once everything above is constructed
};

}  // namespace bf
