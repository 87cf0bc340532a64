#pragma once
#include <atomic>
#include <cstdint>

#include "host/TickSource.h"

namespace bf {

// Time that moves only when somebody sleeps or advances it.
class VirtualClock final : public TickSource {
 public:
  explicit VirtualClock(uint64_t startMs = 1'000'000) : now_(startMs) {}
  uint64_t NowMs() override { return now_.load(std::memory_order_acquire); }
  void SleepMs(uint32_t ms) override { Advance(ms); }
  void Advance(uint64_t ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }
  void Set(uint64_t ms) { now_.store(ms, std::memory_order_release); }

 private:
  std::atomic<uint64_t> now_;
};

}  // namespace bf
