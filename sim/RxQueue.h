#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/SimFlash.h"

namespace bf::sim {

// The bytes the camera has sent and the host has not yet read. Flash replies are kept as a
// range and copied straight from the flash when read, so a request for a huge range costs no
// memory. A reply may be held back until a given moment (the camera's latency); later replies
// queue behind it, so the order never changes. Threads: one at a time.
class RxQueue {
 public:
  // readyMs: the moment the bytes may be read (0: at once, unless earlier ones are held).
  void PushBytes(std::vector<uint8_t> bytes, uint64_t readyMs = 0);
  void PushFlash(const SimFlash& flash, uint64_t address, uint64_t count, uint64_t readyMs = 0);
  // Makes the held replies due by nowMs readable.
  void Release(uint64_t nowMs);
  // When the next held reply becomes readable (UINT64_MAX: none held).
  uint64_t NextReadyMs() const;
  // Readable bytes (held replies do not count).
  uint64_t Size() const { return size_; }
  // Moves up to n bytes into dst; returns the count.
  std::size_t Pop(uint8_t* dst, std::size_t n);
  void Clear();

 private:
  struct Segment {
    std::vector<uint8_t> bytes;
    std::size_t pos = 0;
    const SimFlash* flash = nullptr;
    uint64_t address = 0;
    uint64_t remaining = 0;
    uint64_t readyMs = 0;
  };
  void Push(Segment s, uint64_t bytes);
  static uint64_t SizeOf(const Segment& s) {
    return s.flash != nullptr ? s.remaining : s.bytes.size() - s.pos;
  }
  std::deque<Segment> segments_;
  std::size_t readySegments_ = 0;  // the readable ones are a prefix of segments_
  uint64_t size_ = 0;
  uint64_t lastReadyMs_ = 0;
};

// The link's delivery speed: bytes become readable at bytesPerSecond from the moment they were
// queued, counted in microseconds so that a request's bytes take the time they need and not the
// next whole millisecond. An idle link banks no credit: bytes queued after a silence still take
// their time. 0 means unlimited.
class LinkPacer {
 public:
  explicit LinkPacer(uint64_t bytesPerSecond = 0) : speed_(bytesPerSecond) {}
  void SetSpeed(uint64_t bytesPerSecond, uint64_t nowUs);
  // Lets the time up to nowUs pass over what was queued at the previous update, then takes
  // note of the queue size now.
  void Update(uint64_t nowUs, uint64_t queued);
  uint64_t Readable(uint64_t queued) const { return speed_ == 0 ? queued : readable_; }
  void Consumed(uint64_t n);
  void Clear() { readable_ = lastQueued_ = creditByteUs_ = 0; }
  // Microseconds until `wanted` bytes are readable (0 when they already are).
  uint64_t UsUntilReadable(uint64_t wanted, uint64_t queued) const;

 private:
  static constexpr uint64_t kUsPerSecond = 1'000'000;
  uint64_t speed_;
  uint64_t readable_ = 0;
  uint64_t lastQueued_ = 0;
  uint64_t lastUs_ = 0;
  uint64_t creditByteUs_ = 0;  // fraction of a byte carried over, in byte-microseconds
  bool started_ = false;
};

}  // namespace bf::sim
