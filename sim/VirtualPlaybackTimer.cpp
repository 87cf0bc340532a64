#include "sim/VirtualPlaybackTimer.h"

#include <algorithm>

namespace bf {

std::optional<TimerCaps> VirtualPlaybackTimer::GetDevCaps() {
  if (failCaps_) return std::nullopt;
  return TimerCaps{};
}

TimerEventId VirtualPlaybackTimer::SetEvent(uint32_t delayMs, uint32_t /*resolutionMs*/,
                                            Callback callback) {
  armed_.push_back(delayMs);
  const TimerCaps caps;
  if (delayMs < caps.periodMin || delayMs > caps.periodMax || !callback) return 0;
  const TimerEventId id = nextId_++;
  events_.push_back(Event{id, clock_.NowMs() + delayMs, std::move(callback)});
  return id;
}

void VirtualPlaybackTimer::KillEvent(TimerEventId id) {
  std::erase_if(events_, [id](const Event& e) { return e.id == id; });
}

bool VirtualPlaybackTimer::FireNext(uint64_t until) {
  auto next = std::min_element(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
    return a.due != b.due ? a.due < b.due : a.id < b.id;
  });
  if (next == events_.end() || next->due > until) return false;
  Event event = std::move(*next);
  events_.erase(next);
  if (event.due > clock_.NowMs()) clock_.Set(event.due);
  event.callback(event.id);
  return true;
}

void VirtualPlaybackTimer::RunUntil(uint64_t ms) {
  while (FireNext(ms)) {
  }
  if (ms > clock_.NowMs()) clock_.Set(ms);
}

void VirtualPlaybackTimer::RunAll(uint64_t limitMs) {
  const uint64_t until = clock_.NowMs() + limitMs;
  while (FireNext(until)) {
  }
}

}  // namespace bf
