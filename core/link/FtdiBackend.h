#pragma once
#include <memory>
#include <string>
#include <vector>

#include "link/D2xxBackend.h"
#include "link/FtdiSelection.h"

namespace bf {

// The D2XX operations over libftdi (libusb) for Linux and other systems without the vendor
// library. The selection names the bridge the program's device 0 stands for: the N-th FTDI
// device libftdi finds under the usual FTDI ids ("ftdi:N"; device i is then the (N+i)-th), or
// the one with a given serial number. The program always opens device 0.
// Reads honour the D2XX contract: wait up to the read timeout for the count, else return what
// arrived with status 0. Received bytes are kept in a software queue, so GetQueueStatus has a
// count to report. This backend waits in real time (it talks to hardware), polling every
// millisecond or so. One thread at a time, like every backend.
class FtdiBackend final : public D2xxBackend {
 public:
  explicit FtdiBackend(FtdiSelection selection = {});
  ~FtdiBackend() override;
  FtdiBackend(const FtdiBackend&) = delete;
  FtdiBackend& operator=(const FtdiBackend&) = delete;

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
  std::string LastError() const override { return lastError_; }

  // How the backend drives the chip. The defaults were chosen by measurement (bench/usb_copy).
  struct Tuning {
    uint8_t latencyMs = 2;        // the chip's latency timer, asked for on opening
    uint32_t readChunk = 16384;   // bytes of one bulk IN transfer
    uint32_t pollPauseUs = 1000;  // pause after a poll that brought nothing, while a read waits
  };
  // For devices opened from now on.
  void SetTuning(const Tuning& tuning) { tuning_ = tuning; }

  // Maps a libusb error code to a D2XX status; opening is true for errors of the open step.
  static FtStatus StatusFromLibusb(int error, bool opening);

 private:
  struct Device;
  Device* Find(FtHandle handle);
  // Moves whatever the chip has buffered into the device's software queue without waiting
  // beyond one latency period. Returns a D2XX status.
  FtStatus Poll(Device& device);
  FtStatus Fail(FtStatus status, std::string reason);

  FtdiSelection selection_;
  Tuning tuning_;
  std::vector<std::unique_ptr<Device>> devices_;
  std::string lastError_;
};

}  // namespace bf
