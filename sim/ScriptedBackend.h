#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "host/TickSource.h"
#include "link/BackendRegistry.h"
#include "link/D2xxBackend.h"
#include "sim/VirtualClock.h"

namespace bf::sim {

// A device that plays a byte script instead of being a camera: every D2XX call takes what it
// answers (its status, how many bytes a read brings, what the queue count says, and the bytes
// themselves) from the script, in call order. It knows nothing of the camera's protocol, so
// whatever the script says the camera sent, the host has to live with: replies cut short,
// replies with bytes to spare, statuses of failed calls, garbage. That is what the fuzz target
// tests/fuzz/camera_replies.cpp feeds it, and what ScriptRecorder writes from a real session.
//
// Script format. Every call first takes one control byte c (a call that finds the script used
// up takes nothing, see "When the script runs out"):
//
//   c >= 0xE0           the call fails with status c - 0xDF (1..32; above 17 a status with no
//                       text) and has no other effect.
//
// Otherwise the call succeeds, and c says more for the calls that bring or count bytes:
//
//   Read(count)         The bytes of a read come from the receive queue: what earlier calls
//                       queued first, then what arrives during this read. missing = count minus
//                       what is queued already (0 when the queue alone covers the read).
//     0x00..0x3F        missing bytes arrive: the reply is complete.
//     0x40..0x7F        missing * (c - 0x40) / 64 bytes arrive: the reply is cut short
//                       (0x40: nothing at all).
//     0x80..0xBF        missing + (c - 0x7F) bytes arrive: 1..64 bytes more than asked, which
//                       stay queued for the next read.
//     0xC0..0xDF        a 3-byte little-endian count follows: exactly that many arrive.
//                       Arrivals beyond the read are kept to kMaxQueuedBeyondRead.
//     The read delivers at most count bytes, never more than the caller's buffer holds. A read
//     that delivers fewer than count bytes has waited out the read timeout: it sleeps that long
//     (200 ms unless SetTimeouts said otherwise) on the TickSource, so on a VirtualClock a
//     silent camera costs no real time.
//   Write(count)
//     0x00..0xBF        every byte is written.
//     0xC0..0xDF        only min(count, c - 0xC0) bytes are written (a write timeout).
//   GetQueueStatus, GetStatus (the receive count; GetStatus reports 0 for the transmit count
//   and the events)
//     0x00..0x7F        c bytes arrive into the queue (0: none); the count reports the queue.
//     0x80..0xBF        a 3-byte little-endian count follows; that many arrive.
//     0xC0..0xDF        a 4-byte little-endian value follows and is reported as it stands,
//                       whatever the queue holds (nothing arrives). A recorded session uses
//                       this form, since the bytes behind the count come with later reads.
//   Open, Close, ResetDevice, Purge, SetTimeouts, SetEventNotification
//     0x00..0xDF        succeed. Purge with the receive bit and ResetDevice empty the queue.
//
// Bytes that arrive (for a read or a queue count) are described by pieces, one after the other,
// until the arrival is complete:
//   0x00                the rest of the arrival: that many literal bytes follow.
//   0x01 v              the rest of the arrival is the byte v.
//   0x02 n0 n1 v        a run of (n + 1) bytes v (n little-endian, 16 bits); more pieces follow.
//   0x03 n0 n1 ...      (n + 1) literal bytes follow; more pieces follow.
//   0x04 L ...          the rest repeats the L literal bytes that follow (L = 0 counts as 1).
//   any other k         the rest of the arrival is the byte k.
// A script that ends inside an arrival cuts it there: the rest never comes.
//
// When the script runs out the device falls silent: calls succeed, reads bring only what is
// still queued (and wait out their timeout when that is short), the queue count is honest. After
// silentCalls such calls (or at once with WhenExhausted::Failing) every call fails with status 4
// (Open: 2, device not found), as an unplugged device does. So no flow can loop for ever on a
// script: every call takes a byte until the script is used up, and the device dies soon after.
// Nor can a script make the device produce unbounded data: all arrivals together stop at
// kMaxArrivalBytes, after which the device sends nothing more.
//
// Threads: one D2XX caller at a time, as every backend; the observers may be called from any
// thread (everything takes one lock).
class ScriptedBackend final : public D2xxBackend {
 public:
  enum class WhenExhausted { SilentThenFailing, Failing };
  static constexpr uint32_t kDefaultSilentCalls = 32;
  static constexpr uint32_t kMaxQueuedBeyondRead = 1u << 20;
  static constexpr uint64_t kMaxArrivalBytes = 16u << 20;

  ScriptedBackend(std::vector<uint8_t> script, TickSource& ticks,
                  WhenExhausted whenExhausted = WhenExhausted::SilentThenFailing,
                  uint32_t silentCalls = kDefaultSilentCalls);

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

  // Every D2XX call so far.
  uint64_t CallCount() const;
  // Calls answered by the dead device once the script and the silence had run out.
  uint64_t DeadCalls() const;
  bool ScriptUsedUp() const;
  // The bytes the host wrote, as far as the device took them.
  std::vector<uint8_t> Written() const;
  // Bytes that arrived but were not read yet.
  std::size_t Queued() const;
  // The largest count a single Read asked for.
  uint32_t LargestReadAsked() const;

 private:
  // Where the call stands: a control byte to act on, silence, or death.
  enum class Phase { Scripted, Silent, Dead };
  struct Step {
    Phase phase = Phase::Scripted;
    uint8_t control = 0;
  };
  Step Begin();
  FtStatus Failed(uint8_t control);
  uint8_t Take();
  uint32_t TakeLe(int bytes);
  // Appends an arrival of n bytes to the queue from pieces of the script.
  void Arrive(uint64_t n);
  bool ValidHandle(FtHandle handle) const;

  mutable std::mutex mutex_;
  std::vector<uint8_t> script_;
  std::size_t pos_ = 0;
  TickSource& ticks_;
  WhenExhausted whenExhausted_;
  uint32_t silentCalls_;
  uint32_t silentUsed_ = 0;
  uint64_t calls_ = 0;
  uint64_t deadCalls_ = 0;
  uint64_t arrived_ = 0;
  uint32_t largestRead_ = 0;
  uint32_t readTimeoutMs_ = 200;
  bool open_ = false;
  int handleToken_ = 0;
  std::vector<uint8_t> queue_;
  std::size_t queueHead_ = 0;
  std::vector<uint8_t> written_;
  std::string lastError_;
};

// The driver "script": BRINDLEFLASH_CAMERA=script:FILE plays the script in FILE (for example a
// fuzz finding, to watch the program meet it) and then falls silent, then dead.
BackendDriver ScriptDriver();

// Writes scripts in the format above. ScriptRecorder uses it to turn a session into a script;
// tests use it to write one by hand.
class ScriptWriter {
 public:
  // A call that succeeds with nothing to say (also a Write that took every byte).
  ScriptWriter& Ok();
  // A call that fails with status (1..32).
  ScriptWriter& Fail(FtStatus status);
  // A Write that took only n bytes (n < 32).
  ScriptWriter& ShortWrite(uint32_t n);
  // A read of `asked` bytes that delivers these bytes (at most asked; fewer: it timed out).
  // The queue is taken to be empty before it.
  ScriptWriter& Read(uint32_t asked, std::span<const uint8_t> bytes);
  // A read that delivers these bytes and queues `extra` (1..64) more, filled with `fill`.
  ScriptWriter& ReadWithExtra(std::span<const uint8_t> bytes, uint32_t extra, uint8_t fill);
  // A queue count reported as value, with nothing arriving.
  ScriptWriter& QueueCount(uint32_t value);
  // A queue count for which n bytes of the value fill arrive.
  ScriptWriter& QueueArrival(uint32_t n, uint8_t fill);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  void Pieces(std::span<const uint8_t> bytes);
  void Le(uint32_t value, int bytes);
  std::vector<uint8_t> bytes_;
};

}  // namespace bf::sim
