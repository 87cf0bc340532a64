#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>

namespace bf {

// The only way core code learns the time or waits. The system source uses the monotonic
// clock; tests and the simulated camera use a virtual clock (sim/VirtualClock.h), so a 12 s timeout
// costs nothing. Both implementations are safe to call from any thread.
class TickSource {
 public:
  virtual ~TickSource() = default;
  // Milliseconds since an arbitrary origin, never going backwards.
  virtual uint64_t NowMs() = 0;
  // Blocks the calling thread for ms milliseconds (a virtual clock just advances).
  virtual void SleepMs(uint32_t ms) = 0;
  // The same clock in microseconds, for models that pace bytes finer than a millisecond. A
  // source that counts only milliseconds gives them in whole thousands.
  virtual uint64_t NowUs() { return NowMs() * 1000; }
  // Blocks for us microseconds; a source that counts only milliseconds rounds up to them.
  virtual void SleepUs(uint64_t us) {
    SleepMs(static_cast<uint32_t>(std::min<uint64_t>((us + 999) / 1000, UINT32_MAX)));
  }
  // The millisecond tick count of the original platform: wraps at 2^32.
  uint32_t TickCount() { return static_cast<uint32_t>(NowMs()); }
};

class SystemTickSource final : public TickSource {
 public:
  uint64_t NowMs() override;
  void SleepMs(uint32_t ms) override;
  uint64_t NowUs() override;
  void SleepUs(uint64_t us) override;
  // One process-wide instance.
  static SystemTickSource& Instance();
};

}  // namespace bf
