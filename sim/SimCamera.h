#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/TickSource.h"
#include "link/D2xxBackend.h"
#include "sim/CameraModel.h"
#include "sim/SimOptions.h"
#include "sim/VirtualClock.h"

namespace bf::sim {

// The simulated camera as a D2XX backend: the link cannot tell it from the bridge with a
// camera behind it, except through what the options model. Time comes only from the
// TickSource, so on a VirtualClock every wait (a 200 ms read timeout, a 12 s silence, an erase)
// costs no real time, while on the system clock it really waits.
//
// Device index 0 is the only device. Read blocks until the count has arrived or the read
// timeout (200 ms until SetTimeouts says otherwise) has passed and returns what it has.
//
// Threads: the D2XX calls come from one thread at a time. The fault controls may be called from
// any thread between those calls; every entry point takes the same lock.
class SimCamera final : public D2xxBackend {
 public:
  SimCamera(const SimOptions& options, TickSource& ticks);

  FtStatus Open(uint32_t deviceIndex, FtHandle* handle) override;
  FtStatus Close(FtHandle handle) override;
  FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) override;
  FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
  FtStatus ResetDevice(FtHandle handle) override;
  FtStatus Purge(FtHandle handle, uint32_t mask) override;
  FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override;
  FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) override;
  FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) override;
  FtStatus GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                     uint32_t* eventStatus) override;
  std::string LastError() const override;

  // Fault controls. Calls are counted from 1 over every D2XX entry point since construction.
  uint64_t CallCount() const;
  // Makes call number n (absolute) fail with status and do nothing else.
  void FailCall(uint64_t n, FtStatus status);
  // Every call after call number n fails as with an unplugged device.
  void UnplugAfterCalls(uint64_t n);
  // Unplugs once n bytes in all (written and read, absolute) have crossed the link.
  void UnplugAfterBytes(uint64_t n);
  void Unplug();
  void Replug();
  // The camera keeps working but answers nothing and streams nothing.
  void SetMute(bool mute);
  // Once the host has read n bytes in all (absolute, see BytesRead), the camera falls silent in
  // the middle of whatever it was sending: the rest of that reply never comes, and nothing after
  // it (as SetMute(true)). 0 = never.
  void SilentAfterReadBytes(uint64_t n);
  uint64_t BytesRead() const;
  // A copy of count bytes of the flash from a physical byte address (type 0: sector * 512;
  // type 1: PackedToLinear; type 2: the linear address), read as the camera would send them.
  std::vector<uint8_t> FlashBytes(uint64_t address, uint64_t count) const;
  // Every later reply loses its last k bytes.
  void SetDropReplyBytes(uint32_t k);
  // n bytes that are neither header nor reply, queued now.
  void InjectGarbage(uint32_t n);
  // n garbage bytes in front of the k-th frame streamed from now on (k >= 1).
  void InjectGarbageBeforeFrame(uint32_t k, uint32_t n);
  // 0 = unlimited.
  void SetBytesPerSecond(uint64_t bytesPerSecond);

  // Arms one fault on call number n (absolute, as FailCall). Fail, Unplug and Silence hit call
  // n whatever it is; the read faults (TimeoutHalf, ShortRead, ExtraBytes, FlipBit) hit the
  // first read from call n on. Arming again replaces the fault; Replug disarms it.
  void ArmFault(uint64_t n, CallFault fault);
  // The same, but n counts the calls after the write that brings the camera its next command
  // with this code (n = 1: the call right after that write), e.g. inside a retry after
  // CMD_STOP_STREAM or the drain that follows it.
  void ArmFaultAfterCommand(uint8_t code, uint64_t n, CallFault fault);
  // The call the armed fault hit, 0 while it has not.
  uint64_t FaultHitCall() const;

  // Camera state for tests (take no lock: call between D2XX calls only).
  CameraModel& Model() { return model_; }
  uint64_t BytesTransferred() const;

 private:
  // Counts the call and applies the call faults; a nonzero result is returned at once.
  FtStatus Enter(FtHandle handle, bool isOpen = false);
  // Bytes still allowed before an unplug-after-bytes fault (UINT64_MAX when none).
  uint64_t ByteAllowance() const;
  uint64_t SilenceAllowance() const;
  // Applies an armed call fault to the call just counted; nonzero: the call fails with it.
  FtStatus ApplyCallFault();
  // Applies an armed read fault to a read of count bytes; returns the most it may bring.
  uint64_t ReadFaultLimit(uint32_t count) const;
  void AfterFaultyRead(uint8_t* bytes, std::size_t got);
  bool ReadFaultDue() const;
  void ArmFaultAfterCommandLocked(uint8_t code, uint64_t n, CallFault fault);
  void FallSilent();
  void CountBytes(uint64_t n);
  void AdvanceTo(uint64_t nowUs);

  mutable std::mutex mutex_;
  TickSource& ticks_;
  CameraModel model_;
  LinkPacer pacer_;
  int handleToken_ = 0;
  bool open_ = false;
  uint32_t readTimeoutMs_ = 200;

  uint64_t calls_ = 0;
  uint64_t failCall_ = 0;
  FtStatus failStatus_ = ftstatus::kIoError;
  uint64_t unplugAfterCalls_ = 0;
  uint64_t unplugAfterBytes_ = 0;
  uint64_t bytes_ = 0;
  bool unplugged_ = false;
  uint64_t silentAfterBytes_ = 0;
  uint64_t bytesRead_ = 0;

  struct ArmedFault {
    CallFault kind = CallFault::None;
    uint64_t call = 0;           // absolute call number; 0 while waiting for the command
    uint8_t afterCommand = 0;    // nonzero: waiting for this command code
    uint64_t commandsAtArm = 0;  // its count when armed
    uint64_t offset = 0;         // calls after that command
    uint64_t hitCall = 0;
  };
  ArmedFault armed_;
  bool silencedByFault_ = false;
  std::string lastError_;
};

}  // namespace bf::sim
