#include "sim/ScriptedBackend.h"

#include <algorithm>
#include <cstring>

#include "sim/ScriptFormat.h"

namespace bf::sim {

using namespace script;

namespace {

// Touches the first and the last byte of the caller's buffer, so that a caller that announces
// more room than it has is caught by the address sanitizer even when the read brings less.
void ProbeBuffer(const void* buffer, uint32_t count) {
  if (count == 0) return;
  const volatile uint8_t* bytes = static_cast<const volatile uint8_t*>(buffer);
  static_cast<void>(bytes[0]);
  static_cast<void>(bytes[count - 1]);
}

}  // namespace

ScriptedBackend::ScriptedBackend(std::vector<uint8_t> script, TickSource& ticks,
                                 WhenExhausted whenExhausted, uint32_t silentCalls)
    : script_(std::move(script)),
      ticks_(ticks),
      whenExhausted_(whenExhausted),
      silentCalls_(whenExhausted == WhenExhausted::Failing ? 0 : silentCalls) {}

uint8_t ScriptedBackend::Take() {
  return pos_ < script_.size() ? script_[pos_++] : 0;
}

uint32_t ScriptedBackend::TakeLe(int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= uint32_t{Take()} << (8 * i);
  return value;
}

ScriptedBackend::Step ScriptedBackend::Begin() {
  ++calls_;
  if (pos_ < script_.size()) return {Phase::Scripted, script_[pos_++]};
  if (silentUsed_ < silentCalls_) {
    ++silentUsed_;
    return {Phase::Silent, 0};
  }
  ++deadCalls_;
  lastError_ = "the scripted device is gone";
  return {Phase::Dead, 0};
}

FtStatus ScriptedBackend::Failed(uint8_t control) {
  lastError_ = "scripted failure";
  return FtStatus{control} - (kFailFirst - 1u);
}

bool ScriptedBackend::ValidHandle(FtHandle handle) const {
  return open_ && handle == &handleToken_;
}

void ScriptedBackend::Arrive(uint64_t n) {
  // Past the budget the pieces are still taken from the script (so the calls after them read
  // the same control bytes), but their bytes no longer arrive.
  const auto room = [this](uint64_t count) {
    const uint64_t allowed = std::min(count, kMaxArrivalBytes - arrived_);
    arrived_ += allowed;
    return static_cast<std::size_t>(allowed);
  };
  uint64_t left = n;
  while (left > 0 && pos_ < script_.size()) {
    const uint8_t kind = Take();
    switch (kind) {
      case kPieceLiteralRest:
      case kPieceLiteralRun: {
        uint64_t length = left;
        if (kind == kPieceLiteralRun) length = std::min<uint64_t>(left, TakeLe(2) + 1u);
        length = std::min<uint64_t>(length, script_.size() - pos_);
        const auto first = script_.begin() + static_cast<std::ptrdiff_t>(pos_);
        queue_.insert(queue_.end(), first, first + static_cast<std::ptrdiff_t>(room(length)));
        pos_ += static_cast<std::size_t>(length);
        left -= length;
        if (kind == kPieceLiteralRest) return;  // the script ran out if anything is left
        break;
      }
      case kPieceFillRest: {
        const uint8_t value = Take();
        queue_.insert(queue_.end(), room(left), value);
        left = 0;
        break;
      }
      case kPieceRun: {
        const uint64_t length = std::min<uint64_t>(left, TakeLe(2) + 1u);
        const uint8_t value = Take();
        queue_.insert(queue_.end(), room(length), value);
        left -= length;
        break;
      }
      case kPiecePatternRest: {
        const std::size_t length =
            std::min<std::size_t>(std::max<uint8_t>(Take(), 1), script_.size() - pos_);
        if (length == 0) return;
        const std::size_t first = pos_;
        pos_ += length;
        const std::size_t count = room(left);
        for (std::size_t i = 0; i < count; ++i) queue_.push_back(script_[first + i % length]);
        left = 0;
        break;
      }
      default:
        queue_.insert(queue_.end(), room(left), kind);
        left = 0;
        break;
    }
  }
}

FtStatus ScriptedBackend::Open(uint32_t, FtHandle* handle) {
  std::lock_guard lock(mutex_);
  if (handle != nullptr) *handle = nullptr;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kDeviceNotFound;
  if (step.control >= kFailFirst) return Failed(step.control);
  if (handle == nullptr) return ftstatus::kInvalidParameter;
  open_ = true;
  *handle = &handleToken_;
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::Close(FtHandle handle) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  open_ = false;
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
  std::lock_guard lock(mutex_);
  if (read != nullptr) *read = 0;
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  if (read == nullptr || (buffer == nullptr && count > 0)) return ftstatus::kInvalidParameter;
  ProbeBuffer(buffer, count);
  largestRead_ = std::max(largestRead_, count);
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  const uint64_t queued = queue_.size() - queueHead_;
  const uint64_t missing = count > queued ? count - queued : 0;
  if (step.phase == Phase::Scripted) {
    const uint8_t c = step.control;
    uint64_t arrival = missing;
    if (c >= kCountForm) {
      arrival = TakeLe(3);
    } else if (c >= kReadExtraFirst) {
      arrival = missing + (c - (kReadExtraFirst - 1u));
    } else if (c >= kReadShortFirst) {
      arrival = missing * (c - kReadShortFirst) / 64;
    }
    arrival = std::min<uint64_t>(arrival, missing + kMaxQueuedBeyondRead);
    Arrive(arrival);
  }
  const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, queue_.size() - queueHead_));
  if (n > 0) std::memcpy(buffer, queue_.data() + queueHead_, n);
  queueHead_ += n;
  if (queueHead_ == queue_.size()) {
    queue_.clear();
    queueHead_ = 0;
  } else if (queueHead_ > (1u << 16) && queueHead_ * 2 > queue_.size()) {
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_));
    queueHead_ = 0;
  }
  *read = n;
  if (n < count) ticks_.SleepMs(readTimeoutMs_);  // the read waited out its timeout
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::Write(FtHandle handle, const void* buffer, uint32_t count,
                                uint32_t* written) {
  std::lock_guard lock(mutex_);
  if (written != nullptr) *written = 0;
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  if (written == nullptr || (buffer == nullptr && count > 0)) return ftstatus::kInvalidParameter;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  uint32_t n = count;
  if (step.control >= kCountForm) n = std::min<uint32_t>(count, step.control - kCountForm);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  if (n > 0) written_.insert(written_.end(), bytes, bytes + n);
  *written = n;
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::ResetDevice(FtHandle handle) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  queue_.clear();
  queueHead_ = 0;
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::Purge(FtHandle handle, uint32_t mask) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  if ((mask & kPurgeRx) != 0) {
    queue_.clear();
    queueHead_ = 0;
  }
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  readTimeoutMs_ = readMs;
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
  std::lock_guard lock(mutex_);
  if (rxBytes != nullptr) *rxBytes = 0;
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  if (rxBytes == nullptr) return ftstatus::kInvalidParameter;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  if (step.phase == Phase::Scripted) {
    const uint8_t c = step.control;
    if (c >= kCountForm) {
      *rxBytes = TakeLe(4);
      return ftstatus::kOk;
    }
    Arrive(c >= kQueueCountFirst ? TakeLe(3) : c);
  }
  *rxBytes = static_cast<uint32_t>(queue_.size() - queueHead_);
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::SetEventNotification(FtHandle handle, uint32_t, void*) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return ftstatus::kInvalidHandle;
  const Step step = Begin();
  if (step.phase == Phase::Dead) return ftstatus::kIoError;
  if (step.control >= kFailFirst) return Failed(step.control);
  return ftstatus::kOk;
}

FtStatus ScriptedBackend::GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                                    uint32_t* eventStatus) {
  if (txBytes != nullptr) *txBytes = 0;
  if (eventStatus != nullptr) *eventStatus = 0;
  // The receive count follows the same script form as GetQueueStatus.
  return GetQueueStatus(handle, rxBytes);
}

std::string ScriptedBackend::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

uint64_t ScriptedBackend::CallCount() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

uint64_t ScriptedBackend::DeadCalls() const {
  std::lock_guard lock(mutex_);
  return deadCalls_;
}

bool ScriptedBackend::ScriptUsedUp() const {
  std::lock_guard lock(mutex_);
  return pos_ >= script_.size();
}

std::vector<uint8_t> ScriptedBackend::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::size_t ScriptedBackend::Queued() const {
  std::lock_guard lock(mutex_);
  return queue_.size() - queueHead_;
}

uint32_t ScriptedBackend::LargestReadAsked() const {
  std::lock_guard lock(mutex_);
  return largestRead_;
}

}  // namespace bf::sim
