#include "sim/SimCamera.h"

#include <algorithm>
#include <limits>

namespace bf::sim {

namespace {

constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
// Longest single sleep while waiting, so that a waiting read on the system clock stays
// responsive to a new link speed or an unplug.
constexpr uint64_t kMaxSleepUs = 50'000;

}  // namespace

SimCamera::SimCamera(const SimOptions& options, TickSource& ticks)
    : ticks_(ticks),
      model_(options, ticks.NowMs()),
      pacer_(options.bytesPerSecond),
      failCall_(options.failCall),
      failStatus_(options.failStatus),
      unplugAfterCalls_(options.unplugAfterCalls),
      unplugAfterBytes_(options.unplugAfterBytes),
      silentAfterBytes_(options.silentAfterBytes) {
  if (options.fault != CallFault::None && options.faultCall != 0) {
    if (options.faultAfterCommand != 0) {
      ArmFaultAfterCommandLocked(options.faultAfterCommand, options.faultCall, options.fault);
    } else {
      armed_.kind = options.fault;
      armed_.call = options.faultCall;
    }
  }
}

void SimCamera::ArmFaultAfterCommandLocked(uint8_t code, uint64_t n, CallFault fault) {
  armed_ = {};
  armed_.kind = fault;
  armed_.afterCommand = code;
  armed_.commandsAtArm = model_.CommandCount(code);
  armed_.offset = n;
}

bool SimCamera::ReadFaultDue() const {
  switch (armed_.kind) {
    case CallFault::TimeoutHalf:
    case CallFault::ShortRead:
    case CallFault::ExtraBytes:
    case CallFault::FlipBit:
      return armed_.hitCall == 0 && armed_.call != 0 && calls_ >= armed_.call;
    default:
      return false;
  }
}

void SimCamera::FallSilent() {
  model_.SetMute(true);
  model_.Output().Clear();
  pacer_.Clear();
  silencedByFault_ = true;
}

FtStatus SimCamera::ApplyCallFault() {
  if (armed_.hitCall != 0 || armed_.call == 0 || calls_ != armed_.call) return ftstatus::kOk;
  switch (armed_.kind) {
    case CallFault::Fail:
      armed_.hitCall = calls_;
      lastError_ = "injected failure of call " + std::to_string(calls_);
      return ftstatus::kIoError;
    case CallFault::Unplug:
      armed_.hitCall = calls_;
      unplugged_ = true;
      return ftstatus::kOk;  // the unplugged check that follows fails the call
    case CallFault::Silence:
      armed_.hitCall = calls_;
      FallSilent();
      return ftstatus::kOk;
    default:
      return ftstatus::kOk;  // read faults wait for a read
  }
}

uint64_t SimCamera::ReadFaultLimit(uint32_t count) const {
  if (!ReadFaultDue()) return kNever;
  if (armed_.kind == CallFault::TimeoutHalf) return count / 2;
  if (armed_.kind == CallFault::ShortRead) return count > 0 ? count - 1 : 0;
  return kNever;
}

void SimCamera::AfterFaultyRead(uint8_t* bytes, std::size_t got) {
  if (!ReadFaultDue()) return;
  switch (armed_.kind) {
    case CallFault::TimeoutHalf:
    case CallFault::ShortRead:
      armed_.hitCall = calls_;
      break;
    case CallFault::ExtraBytes:
      armed_.hitCall = calls_;
      model_.InjectGarbage(kExtraReplyBytes);
      pacer_.Update(ticks_.NowUs(), model_.Output().Size());
      break;
    case CallFault::FlipBit:
      if (got == 0) return;  // nothing to flip yet: the next read that brings bytes
      armed_.hitCall = calls_;
      bytes[calls_ % got] ^= static_cast<uint8_t>(1u << (calls_ % 8));
      break;
    default:
      break;
  }
}

FtStatus SimCamera::Enter(FtHandle handle, bool isOpen) {
  ++calls_;
  if (FtStatus s = ApplyCallFault(); s != ftstatus::kOk) return s;
  if (unplugAfterCalls_ != 0 && calls_ > unplugAfterCalls_) unplugged_ = true;
  if (unplugged_) {
    lastError_ = "the simulated camera is unplugged";
    return isOpen ? ftstatus::kDeviceNotFound : ftstatus::kIoError;
  }
  if (failCall_ != 0 && calls_ == failCall_) {
    lastError_ = "injected failure of call " + std::to_string(calls_);
    return failStatus_;
  }
  if (!isOpen && (!open_ || handle != &handleToken_)) {
    lastError_ = "the simulated camera is not open under this handle";
    return ftstatus::kInvalidHandle;
  }
  return ftstatus::kOk;
}

uint64_t SimCamera::ByteAllowance() const {
  if (unplugAfterBytes_ == 0) return kNever;
  return unplugAfterBytes_ > bytes_ ? unplugAfterBytes_ - bytes_ : 0;
}

uint64_t SimCamera::SilenceAllowance() const {
  if (silentAfterBytes_ == 0) return kNever;
  return silentAfterBytes_ > bytesRead_ ? silentAfterBytes_ - bytesRead_ : 0;
}

void SimCamera::CountBytes(uint64_t n) {
  bytes_ += n;
  if (unplugAfterBytes_ != 0 && bytes_ >= unplugAfterBytes_) unplugged_ = true;
}

void SimCamera::AdvanceTo(uint64_t nowUs) {
  model_.Advance(nowUs / 1000);
  pacer_.Update(nowUs, model_.Output().Size());
}

FtStatus SimCamera::Open(uint32_t deviceIndex, FtHandle* handle) {
  std::lock_guard lock(mutex_);
  if (FtStatus s = Enter(nullptr, true); s != ftstatus::kOk) return s;
  if (deviceIndex != 0 || handle == nullptr) {
    lastError_ = "the simulated camera is device 0";
    return ftstatus::kDeviceNotFound;
  }
  open_ = true;
  *handle = &handleToken_;
  return ftstatus::kOk;
}

FtStatus SimCamera::Close(FtHandle handle) {
  std::lock_guard lock(mutex_);
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  open_ = false;
  return ftstatus::kOk;
}

FtStatus SimCamera::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
  std::lock_guard lock(mutex_);
  if (read) *read = 0;
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  if (buffer == nullptr || read == nullptr) return ftstatus::kInvalidParameter;
  // Timed in microseconds: a reply is readable as soon as the link rate has carried it, not at
  // the next whole millisecond.
  const uint64_t deadline = ticks_.NowUs() + uint64_t{readTimeoutMs_} * 1000;
  for (;;) {
    const uint64_t now = ticks_.NowUs();
    AdvanceTo(now);
    const uint64_t queued = model_.Output().Size();
    // A read under a timeout fault finds its count never complete and waits to the end.
    const bool waitsItOut = ReadFaultDue() && armed_.kind == CallFault::TimeoutHalf;
    if ((!waitsItOut && pacer_.Readable(queued) >= count) || now >= deadline) break;
    const uint64_t nextEvent = model_.NextEventMs();
    uint64_t wake = std::min(deadline, nextEvent >= kNever / 1000 ? kNever : nextEvent * 1000);
    if (queued > 0)
      wake = std::min(wake, now + std::max<uint64_t>(1, pacer_.UsUntilReadable(count, queued)));
    const uint64_t step = std::clamp<uint64_t>(wake > now ? wake - now : 1, 1, kMaxSleepUs);
    ticks_.SleepUs(step);
  }
  const uint64_t readable = pacer_.Readable(model_.Output().Size());
  const auto n = static_cast<std::size_t>(std::min(
      {uint64_t{count}, readable, ByteAllowance(), SilenceAllowance(), ReadFaultLimit(count)}));
  const std::size_t got = model_.Output().Pop(static_cast<uint8_t*>(buffer), n);
  AfterFaultyRead(static_cast<uint8_t*>(buffer), got);
  pacer_.Consumed(got);
  CountBytes(got);
  bytesRead_ += got;
  if (silentAfterBytes_ != 0 && bytesRead_ >= silentAfterBytes_) {
    // Falls silent mid-reply: what it had not sent yet is lost. Once: SetMute(false) revives it.
    silentAfterBytes_ = 0;
    model_.SetMute(true);
    model_.Output().Clear();
    pacer_.Clear();
  }
  *read = static_cast<uint32_t>(got);
  return ftstatus::kOk;
}

FtStatus SimCamera::Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t* written) {
  std::lock_guard lock(mutex_);
  if (written) *written = 0;
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  if ((buffer == nullptr && count > 0) || written == nullptr) return ftstatus::kInvalidParameter;
  const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, ByteAllowance()));
  const uint64_t now = ticks_.NowUs();
  AdvanceTo(now);
  model_.Receive(static_cast<const uint8_t*>(buffer), n, now / 1000);
  if (armed_.afterCommand != 0 && armed_.call == 0 &&
      model_.CommandCount(armed_.afterCommand) > armed_.commandsAtArm) {
    armed_.call = calls_ + armed_.offset;
  }
  pacer_.Update(now, model_.Output().Size());
  CountBytes(n);
  *written = n;
  return ftstatus::kOk;
}

FtStatus SimCamera::ResetDevice(FtHandle handle) {
  std::lock_guard lock(mutex_);
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  // Resetting the bridge empties its buffers; the camera behind it carries on.
  model_.Output().Clear();
  pacer_.Clear();
  return ftstatus::kOk;
}

FtStatus SimCamera::Purge(FtHandle handle, uint32_t mask) {
  std::lock_guard lock(mutex_);
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  if ((mask & kPurgeRx) != 0) {
    AdvanceTo(ticks_.NowUs());
    model_.Output().Clear();
    pacer_.Clear();
  }
  return ftstatus::kOk;
}

FtStatus SimCamera::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t) {
  std::lock_guard lock(mutex_);
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  readTimeoutMs_ = readMs;
  return ftstatus::kOk;
}

FtStatus SimCamera::GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
  std::lock_guard lock(mutex_);
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  if (rxBytes == nullptr) return ftstatus::kInvalidParameter;
  AdvanceTo(ticks_.NowUs());
  const uint64_t readable = pacer_.Readable(model_.Output().Size());
  *rxBytes = static_cast<uint32_t>(std::min<uint64_t>(readable, UINT32_MAX));
  return ftstatus::kOk;
}

FtStatus SimCamera::SetEventNotification(FtHandle handle, uint32_t, void*) {
  std::lock_guard lock(mutex_);
  return Enter(handle);
}

FtStatus SimCamera::GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                              uint32_t* eventStatus) {
  std::lock_guard lock(mutex_);
  if (FtStatus s = Enter(handle); s != ftstatus::kOk) return s;
  if (rxBytes == nullptr || txBytes == nullptr || eventStatus == nullptr) {
    return ftstatus::kInvalidParameter;
  }
  AdvanceTo(ticks_.NowUs());
  *rxBytes = static_cast<uint32_t>(
      std::min<uint64_t>(pacer_.Readable(model_.Output().Size()), UINT32_MAX));
  *txBytes = 0;
  *eventStatus = 0;
  return ftstatus::kOk;
}

std::string SimCamera::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

uint64_t SimCamera::CallCount() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void SimCamera::FailCall(uint64_t n, FtStatus status) {
  std::lock_guard lock(mutex_);
  failCall_ = n;
  failStatus_ = status;
}

void SimCamera::UnplugAfterCalls(uint64_t n) {
  std::lock_guard lock(mutex_);
  unplugAfterCalls_ = n;
}

void SimCamera::UnplugAfterBytes(uint64_t n) {
  std::lock_guard lock(mutex_);
  unplugAfterBytes_ = n;
  if (n != 0 && bytes_ >= n) unplugged_ = true;
}

void SimCamera::Unplug() {
  std::lock_guard lock(mutex_);
  unplugged_ = true;
}

void SimCamera::Replug() {
  std::lock_guard lock(mutex_);
  unplugged_ = false;
  unplugAfterCalls_ = 0;
  unplugAfterBytes_ = 0;
  open_ = false;            // a device that went away must be opened again
  model_.Output().Clear();  // and its buffers with it
  pacer_.Clear();
  armed_ = {};
  // A camera that had hung comes back with its power.
  if (silencedByFault_) model_.SetMute(false);
  silencedByFault_ = false;
}

void SimCamera::ArmFault(uint64_t n, CallFault fault) {
  std::lock_guard lock(mutex_);
  armed_ = {};
  armed_.kind = fault;
  armed_.call = n;
}

void SimCamera::ArmFaultAfterCommand(uint8_t code, uint64_t n, CallFault fault) {
  std::lock_guard lock(mutex_);
  ArmFaultAfterCommandLocked(code, n, fault);
}

uint64_t SimCamera::FaultHitCall() const {
  std::lock_guard lock(mutex_);
  return armed_.hitCall;
}

void SimCamera::SetMute(bool mute) {
  std::lock_guard lock(mutex_);
  model_.SetMute(mute);
}

void SimCamera::SilentAfterReadBytes(uint64_t n) {
  std::lock_guard lock(mutex_);
  silentAfterBytes_ = n;
}

uint64_t SimCamera::BytesRead() const {
  std::lock_guard lock(mutex_);
  return bytesRead_;
}

std::vector<uint8_t> SimCamera::FlashBytes(uint64_t address, uint64_t count) const {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(count));
  model_.Flash().ReadPhysical(address, bytes.data(), bytes.size());
  return bytes;
}

void SimCamera::SetDropReplyBytes(uint32_t k) {
  std::lock_guard lock(mutex_);
  model_.SetDropReplyBytes(k);
}

void SimCamera::InjectGarbage(uint32_t n) {
  std::lock_guard lock(mutex_);
  model_.InjectGarbage(n);
}

void SimCamera::InjectGarbageBeforeFrame(uint32_t k, uint32_t n) {
  std::lock_guard lock(mutex_);
  model_.SetGarbageBeforeFrame(k, n);
}

void SimCamera::SetBytesPerSecond(uint64_t bytesPerSecond) {
  std::lock_guard lock(mutex_);
  pacer_.SetSpeed(bytesPerSecond, ticks_.NowUs());
}

uint64_t SimCamera::BytesTransferred() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

}  // namespace bf::sim
