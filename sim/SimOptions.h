#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "frames/JpegEncoder.h"
#include "link/CameraCommands.h"
#include "link/D2xxBackend.h"

namespace bf::sim {

// A fault that hits one device call (see SimCamera::ArmFault).
enum class CallFault : uint8_t {
  None,
  Fail,         // the call fails once with status 4 and has no effect
  Unplug,       // the call and every later one fail as on an unplugged device
  TimeoutHalf,  // a read waits out its whole timeout and brings half the count
  ShortRead,    // a read returns at once, status 0, one byte short of the count
  Silence,      // the camera falls silent: what it had not sent yet is lost, nothing more comes
  ExtraBytes,   // a read is followed by bytes the camera sends after its reply
  FlipBit,      // a read brings its bytes with one bit flipped
};
// Bytes a CallFault::ExtraBytes fault adds after a reply.
inline constexpr uint32_t kExtraReplyBytes = 7;

// Everything that shapes one simulated camera. Default-constructed options suit tests:
// unlimited link speed, empty flash, fixed clock and seed, no faults. Demo() is what
// BRINDLEFLASH_CAMERA=sim gives: a full-speed bridge, a prefilled flash, the PC's time.
// Every key of ParseSimOptions is documented in sim/OPTIONS.md.
struct SimOptions {
  CameraType type = CAMERA_SECTORS;
  PictureSize size{320, 240};

  // Initial camera settings.
  uint8_t compression = 2;
  bool monochrome = false;
  uint8_t frameRateIndex = 3;
  bool motionDetector = false;
  uint32_t clock = 1'245'067'200;  // 2009-06-15 12:00:00 UTC
  bool clockFromHost = false;      // start the clock at the PC's current time instead

  // Prefilled flash.
  uint32_t prefillFrames = 0;
  uint32_t prefillRecordings = 1;
  bool prefillDamaged = false;
  bool prefillWrapped = false;

  uint32_t notReadyQueries = 0;      // first K status replies carry the not-ready bit
  uint32_t eraseMs = 3000;           // time until CMD_ERASE_FLASH answers
  uint8_t eraseReply = 0x80;         // its answer: 0x80 = erased, anything else = failed
  uint64_t bytesPerSecond = 0;       // link speed, 0 = unlimited
  uint32_t motionIntervalMs = 3000;  // scene change interval with the motion detector on
  uint32_t maxFps = 20;              // rate of frame-rate index 7
  uint64_t seed = 1;
  std::optional<uint8_t> typeReply;  // answer CMD_GET_CAMERA_TYPE with this instead of `type`
  uint32_t latencyUs = 0;            // each reply becomes readable this long after its command

  // Faults.
  uint32_t failCall = 0;  // 1-based index of the backend call that fails, 0 = none
  FtStatus failStatus = ftstatus::kIoError;
  uint64_t unplugAfterCalls = 0;  // 0 = never
  uint64_t unplugAfterBytes = 0;  // bytes read by the host; 0 = never
  bool mute = false;
  uint64_t silentAfterBytes = 0;  // the camera falls silent once the host has read this many
  uint32_t dropReplyBytes = 0;
  uint32_t garbageBeforeFrame = 0;  // 1-based streamed frame preceded by garbage, 0 = none
  uint32_t garbageBytes = 100;
  CallFault fault = CallFault::None;
  uint64_t faultCall = 0;         // call number, or calls after faultAfterCommand
  uint8_t faultAfterCommand = 0;  // nonzero: count from the first command with this code
  // A flash byte that never reads the same: every reply that holds this physical byte address
  // (as SimCamera::FlashBytes counts it) brings it with another bit flipped.
  std::optional<uint64_t> unstableByte;

  static SimOptions Demo();
};

// Applies "key=value,key=value" on top of base. On error returns nothing and says why.
std::optional<SimOptions> ParseSimOptions(const std::string& text, const SimOptions& base,
                                          std::string* error);

}  // namespace bf::sim
