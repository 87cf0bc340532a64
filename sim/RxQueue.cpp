#include "sim/RxQueue.h"

#include <algorithm>
#include <cstring>

namespace bf::sim {

void RxQueue::Push(Segment s, uint64_t bytes) {
  // A reply never overtakes one that is held back.
  s.readyMs = std::max(s.readyMs, lastReadyMs_);
  lastReadyMs_ = s.readyMs;
  const bool ready = s.readyMs == 0 && readySegments_ == segments_.size();
  segments_.push_back(std::move(s));
  if (ready) {
    ++readySegments_;
    size_ += bytes;
  }
}

void RxQueue::PushBytes(std::vector<uint8_t> bytes, uint64_t readyMs) {
  if (bytes.empty()) return;
  const uint64_t n = bytes.size();
  Segment s;
  s.bytes = std::move(bytes);
  s.readyMs = readyMs;
  Push(std::move(s), n);
}

void RxQueue::PushFlash(const SimFlash& flash, uint64_t address, uint64_t count, uint64_t readyMs) {
  if (count == 0) return;
  Segment s;
  s.flash = &flash;
  s.address = address;
  s.remaining = count;
  s.readyMs = readyMs;
  Push(std::move(s), count);
}

void RxQueue::Release(uint64_t nowMs) {
  while (readySegments_ < segments_.size() && segments_[readySegments_].readyMs <= nowMs) {
    size_ += SizeOf(segments_[readySegments_]);
    ++readySegments_;
  }
  if (readySegments_ == segments_.size() && lastReadyMs_ <= nowMs) lastReadyMs_ = 0;
}

uint64_t RxQueue::NextReadyMs() const {
  if (readySegments_ == segments_.size()) return UINT64_MAX;
  return segments_[readySegments_].readyMs;
}

std::size_t RxQueue::Pop(uint8_t* dst, std::size_t n) {
  std::size_t done = 0;
  while (done < n && readySegments_ > 0) {
    Segment& s = segments_.front();
    std::size_t part;
    bool finished = false;
    if (s.flash != nullptr) {
      part = static_cast<std::size_t>(std::min<uint64_t>(n - done, s.remaining));
      s.flash->ReadPhysical(s.address, dst + done, part);
      s.address += part;
      s.remaining -= part;
      finished = s.remaining == 0;
    } else {
      part = std::min(n - done, s.bytes.size() - s.pos);
      std::memcpy(dst + done, s.bytes.data() + s.pos, part);
      s.pos += part;
      finished = s.pos == s.bytes.size();
    }
    if (finished) {
      segments_.pop_front();
      --readySegments_;
    }
    done += part;
  }
  size_ -= done;
  return done;
}

void RxQueue::Clear() {
  segments_.clear();
  readySegments_ = 0;
  size_ = 0;
  lastReadyMs_ = 0;
}

void LinkPacer::SetSpeed(uint64_t bytesPerSecond, uint64_t nowUs) {
  speed_ = bytesPerSecond;
  started_ = true;
  lastUs_ = nowUs;
  creditByteUs_ = 0;
  readable_ = lastQueued_;  // what was queued before the change is not held back
}

void LinkPacer::Update(uint64_t nowUs, uint64_t queued) {
  if (speed_ == 0) {
    readable_ = lastQueued_ = queued;
    return;
  }
  if (!started_ || nowUs < lastUs_) {
    started_ = true;
    lastUs_ = nowUs;
  }
  const uint64_t elapsed = nowUs - lastUs_;
  lastUs_ = nowUs;
  if (readable_ < lastQueued_) {
    if (elapsed >= UsUntilReadable(lastQueued_, lastQueued_)) {
      // Everything queued has gone over (also after a long silence, where the product of time
      // and speed would overflow).
      readable_ = lastQueued_;
    } else {
      creditByteUs_ += elapsed * speed_;
      readable_ = std::min(lastQueued_, readable_ + creditByteUs_ / kUsPerSecond);
      creditByteUs_ %= kUsPerSecond;
    }
  }
  if (readable_ >= lastQueued_) creditByteUs_ = 0;
  lastQueued_ = queued;
  readable_ = std::min(readable_, queued);
}

void LinkPacer::Consumed(uint64_t n) {
  readable_ = n < readable_ ? readable_ - n : 0;
  lastQueued_ = n < lastQueued_ ? lastQueued_ - n : 0;
}

uint64_t LinkPacer::UsUntilReadable(uint64_t wanted, uint64_t queued) const {
  if (speed_ == 0) return 0;
  const uint64_t target = std::min(wanted, queued);
  if (readable_ >= target) return 0;
  const uint64_t missingByteUs = (target - readable_) * kUsPerSecond;
  const uint64_t need = missingByteUs > creditByteUs_ ? missingByteUs - creditByteUs_ : 0;
  return (need + speed_ - 1) / speed_;
}

}  // namespace bf::sim
