#pragma once
#include <cstdint>
#include <vector>

#include "host/TickSource.h"
#include "recordings/PlaybackTimer.h"
#include "sim/VirtualClock.h"

namespace bf {

// A playback timer on a VirtualClock, for tests: nothing fires until the test drives time with
// RunUntil/RunFor, which fire due events in order of due time (then of arming) on the calling
// thread, setting the clock to each event's due time first. The capability query can be made
// to fail. Single-threaded: drive it from the thread that also calls the player.
class VirtualPlaybackTimer final : public PlaybackTimer {
 public:
  explicit VirtualPlaybackTimer(VirtualClock& clock) : clock_(clock) {}

  std::optional<TimerCaps> GetDevCaps() override;
  void BeginPeriod(uint32_t resolutionMs) override { begun_.push_back(resolutionMs); }
  void EndPeriod(uint32_t resolutionMs) override { ended_.push_back(resolutionMs); }
  TimerEventId SetEvent(uint32_t delayMs, uint32_t resolutionMs, Callback callback) override;
  void KillEvent(TimerEventId id) override;
  uint32_t TimeMs() override { return static_cast<uint32_t>(clock_.NowMs()); }

  // Fires every event due at or before the absolute time ms, then sets the clock to ms.
  void RunUntil(uint64_t ms);
  void RunFor(uint64_t ms) { RunUntil(clock_.NowMs() + ms); }
  // Fires events until none is pending or the next is due after now + limitMs.
  void RunAll(uint64_t limitMs = 10'000'000);

  std::size_t Pending() const { return events_.size(); }
  void FailCaps(bool fail) { failCaps_ = fail; }
  // Resolutions passed to BeginPeriod / EndPeriod, in order.
  const std::vector<uint32_t>& Begun() const { return begun_; }
  const std::vector<uint32_t>& Ended() const { return ended_; }
  // Delays of every SetEvent call, refused ones included.
  const std::vector<uint32_t>& ArmedDelays() const { return armed_; }

 private:
  struct Event {
    TimerEventId id;
    uint64_t due;
    Callback callback;
  };
  bool FireNext(uint64_t until);

  VirtualClock& clock_;
  std::vector<Event> events_;
  std::vector<uint32_t> begun_;
  std::vector<uint32_t> ended_;
  std::vector<uint32_t> armed_;
  TimerEventId nextId_ = 1;
  bool failCaps_ = false;
};

}  // namespace bf
