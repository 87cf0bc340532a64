#include "sim/RxQueue.h"

#include <algorithm>
#include <cstring>

namespace bf::sim {

void RxQueue::PushBytes(std::vector<uint8_t> bytes) {
  if (bytes.empty()) return;
  size_ += bytes.size();
  Segment s;
  s.bytes = std::move(bytes);
  segments_.push_back(std::move(s));
}

void RxQueue::PushFlash(const SimFlash& flash, uint64_t address, uint64_t count) {
  if (count == 0) return;
  size_ += count;
  Segment s;
  s.flash = &flash;
  s.address = address;
  s.remaining = count;
  segments_.push_back(std::move(s));
}

std::size_t RxQueue::Pop(uint8_t* dst, std::size_t n) {
  std::size_t done = 0;
  while (done < n && !segments_.empty()) {
    Segment& s = segments_.front();
    std::size_t part;
    if (s.flash != nullptr) {
      part = static_cast<std::size_t>(std::min<uint64_t>(n - done, s.remaining));
      s.flash->ReadPhysical(s.address, dst + done, part);
      s.address += part;
      s.remaining -= part;
      if (s.remaining == 0) segments_.pop_front();
    } else {
      part = std::min(n - done, s.bytes.size() - s.pos);
      std::memcpy(dst + done, s.bytes.data() + s.pos, part);
      s.pos += part;
      if (s.pos == s.bytes.size()) segments_.pop_front();
    }
    done += part;
  }
  size_ -= done;
  return done;
}

void RxQueue::Clear() {
  segments_.clear();
  size_ = 0;
}

void LinkPacer::SetSpeed(uint64_t bytesPerSecond, uint64_t nowMs) {
  speed_ = bytesPerSecond;
  started_ = true;
  lastMs_ = nowMs;
  creditByteMs_ = 0;
  readable_ = lastQueued_;  // what was queued before the change is not held back
}

void LinkPacer::Update(uint64_t nowMs, uint64_t queued) {
  if (speed_ == 0) {
    readable_ = lastQueued_ = queued;
    return;
  }
  if (!started_ || nowMs < lastMs_) {
    started_ = true;
    lastMs_ = nowMs;
  }
  const uint64_t elapsed = nowMs - lastMs_;
  lastMs_ = nowMs;
  if (readable_ < lastQueued_) {
    creditByteMs_ += elapsed * speed_;
    readable_ = std::min(lastQueued_, readable_ + creditByteMs_ / 1000);
    creditByteMs_ %= 1000;
  }
  if (readable_ >= lastQueued_) creditByteMs_ = 0;
  lastQueued_ = queued;
  readable_ = std::min(readable_, queued);
}

void LinkPacer::Consumed(uint64_t n) {
  readable_ = n < readable_ ? readable_ - n : 0;
  lastQueued_ = n < lastQueued_ ? lastQueued_ - n : 0;
}

uint64_t LinkPacer::MsUntilReadable(uint64_t wanted, uint64_t queued) const {
  if (speed_ == 0) return 0;
  const uint64_t target = std::min(wanted, queued);
  if (readable_ >= target) return 0;
  const uint64_t missingByteMs = (target - readable_) * 1000;
  const uint64_t need = missingByteMs > creditByteMs_ ? missingByteMs - creditByteMs_ : 0;
  return (need + speed_ - 1) / speed_;
}

}  // namespace bf::sim
