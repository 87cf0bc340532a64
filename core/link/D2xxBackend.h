#pragma once
#include <cstdint>
#include <string>

namespace bf {

// D2XX status codes as the vendor library returns them (0 = success).
using FtStatus = uint32_t;
namespace ftstatus {
inline constexpr FtStatus kOk = 0;
inline constexpr FtStatus kInvalidHandle = 1;
inline constexpr FtStatus kDeviceNotFound = 2;
inline constexpr FtStatus kDeviceNotOpened = 3;
inline constexpr FtStatus kIoError = 4;
inline constexpr FtStatus kInsufficientResources = 5;
inline constexpr FtStatus kInvalidParameter = 6;
inline constexpr FtStatus kOtherError = 17;
}  // namespace ftstatus

// Opaque device handle, as FT_HANDLE.
using FtHandle = void*;

// Purge masks.
inline constexpr uint32_t kPurgeRx = 1;
inline constexpr uint32_t kPurgeTx = 2;

// The D2XX operations the link uses, one virtual per library function (ordinals 1, 2, 3, 4,
// 6, 16, 17, 18, 19, 21). Every backend honours the vendor's call contracts: Read blocks
// until the count has arrived or the read timeout has run out and may return fewer bytes,
// down to 0, with status 0; Write returns the count written.
//
// A backend is used by one thread at a time (the GUI thread, or the flash reader thread while
// the GUI thread waits in a modal dialog); it needs no lock of its own for the link's sake.
class D2xxBackend {
 public:
  virtual ~D2xxBackend() = default;
  virtual FtStatus Open(uint32_t deviceIndex, FtHandle* handle) = 0;                         // 1
  virtual FtStatus Close(FtHandle handle) = 0;                                               // 2
  virtual FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) = 0;  // 3
  virtual FtStatus Write(FtHandle handle, const void* buffer, uint32_t count,
                         uint32_t* written) = 0;                                               // 4
  virtual FtStatus ResetDevice(FtHandle handle) = 0;                                           // 6
  virtual FtStatus Purge(FtHandle handle, uint32_t mask) = 0;                                  // 16
  virtual FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) = 0;        // 17
  virtual FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) = 0;                     // 18
  virtual FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) = 0;  // 19
  virtual FtStatus GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                             uint32_t* eventStatus) = 0;  // 21

  // A human-readable reason for the last failure the status code cannot express (a missing
  // vendor library, a libusb error), or empty. Status texts are fixed, so this is for details
  // only; callers may show it beside the status text.
  virtual std::string LastError() const { return {}; }
};

}  // namespace bf
