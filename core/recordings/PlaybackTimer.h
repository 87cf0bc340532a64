#pragma once
#include <cstdint>
#include <functional>
#include <optional>

namespace bf {

// Identifies one armed timer event; 0 means "none" (and is what a refused arm returns).
using TimerEventId = uint32_t;

struct TimerCaps {
  uint32_t periodMin = 1;  // finest period offered, ms
  uint32_t periodMax = 1'000'000;
};

// The precise one-shot timer that paces playback, in the terms of the platform's multimedia
// timer: capabilities, raising and giving back the timer resolution for the duration of a run,
// one-shot events with a callback, and a millisecond system time.
// Any thread may call any member. Callbacks run on the timer's own thread (a test timer runs
// them on the thread that drives it) and may arm and kill events themselves.
class PlaybackTimer {
 public:
  using Callback = std::function<void(TimerEventId fired)>;

  virtual ~PlaybackTimer() = default;
  // Nothing when the timer device cannot be queried.
  virtual std::optional<TimerCaps> GetDevCaps() = 0;
  virtual void BeginPeriod(uint32_t resolutionMs) = 0;
  virtual void EndPeriod(uint32_t resolutionMs) = 0;
  // Fires once, delayMs after now, with the given resolution. A delay outside the capability
  // range (0 included) is refused with 0.
  virtual TimerEventId SetEvent(uint32_t delayMs, uint32_t resolutionMs, Callback callback) = 0;
  // Cancels a pending event; unknown or fired ids are ignored. When the event's callback is
  // running on another thread right now, waits for it to return, so the caller may then free
  // what the callback uses. Must not be called while holding a lock the callback takes.
  virtual void KillEvent(TimerEventId id) = 0;
  // System time in milliseconds (wraps at 2^32).
  virtual uint32_t TimeMs() = 0;
};

}  // namespace bf
