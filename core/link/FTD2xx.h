#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "host/TickSource.h"
#include "link/D2xxBackend.h"
#include "link/FTDException.h"

namespace bf {

// One open D2XX device. Every library call that fails stores its status and throws
// FTDException by value; a short read is not a failure. The link has no lock: it is used by one
// thread at a time, the GUI thread or the flash reader thread while the GUI thread waits in the
// modal copy dialog. Keeping them apart is the callers' duty.
class FTD2xx {
 public:
  // How long ReadWithTimeout waits without a new byte before it gives up. Fixed, independent of
  // the read timeout set in the library.
  static constexpr uint32_t kInactivityMs = 200;
  // Read and write timeouts asked of the library by Open.
  static constexpr uint32_t kOpenTimeoutMs = 200;

  FTD2xx(std::shared_ptr<D2xxBackend> backend, TickSource& ticks);
  virtual ~FTD2xx();
  FTD2xx(const FTD2xx&) = delete;
  FTD2xx& operator=(const FTD2xx&) = delete;

  // Opens device `index` and sets 200 ms read and write timeouts. Throws on either failure;
  // a failure of the second step leaves the device open and both recorded timeouts at 200.
  virtual void Open(uint32_t index);
  // Closes the handle. Success: status 3, handle null. Failure: nothing changes, nothing is
  // thrown. Returns the library status.
  virtual FtStatus Close();
  virtual uint32_t Write(const void* buffer, uint32_t length);
  // One library read: blocks until length bytes or the read timeout; may return fewer, even 0.
  virtual uint32_t Read(void* buffer, uint32_t length);
  virtual FtStatus GetStatusCode() const;
  // Copies the status text into buffer, at most maxLength bytes including the terminator, and
  // returns true; false (and an empty string where there is room) for a status above 17.
  virtual bool GetStatusText(char* buffer, uint32_t maxLength) const;
  virtual void GetStatus(uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus);
  virtual uint32_t GetQueueStatus();
  virtual void GetQueueStatus(uint32_t* rxBytes);
  virtual void ResetDevice();
  // Either argument 0: does nothing at all.
  virtual void SetTimeouts(uint32_t readMs, uint32_t writeMs);
  virtual void GetTimeouts(uint32_t* readMs, uint32_t* writeMs) const;
  virtual void SetEventNotification(void* parameter, uint32_t mask);
  virtual void Purge(uint32_t mask);

  // The least significant byte of value.
  uint32_t WriteByte(uint32_t value);
  // value, least significant byte first.
  uint32_t WriteDword(uint32_t value);
  uint32_t WriteBuffer(const void* buffer, uint32_t length);
  // Reads until length bytes have arrived or 200 ms passed without a new byte; returns the
  // total. Every arrival restarts the 200 ms window. A stop flag, when given, is looked at
  // before every library read: once it is non-zero (set by any thread) the read ends with what
  // has come, so a long reply on a slow link can be given up within one read timeout.
  uint32_t ReadWithTimeout(void* buffer, uint32_t length, const std::atomic<int>* stop = nullptr);
  // For a fixed-length answer of which `got` bytes have come: the bridge hands over what it has
  // when its read timeout runs out, and a camera that has begun an answer finishes it, so a
  // part (not nothing) is completed with ReadWithTimeout. Returns the bytes there are now.
  uint32_t FinishPartialRead(void* buffer, uint32_t length, uint32_t got);

  FtHandle Handle() const { return handle_; }
  D2xxBackend& Backend() { return *backend_; }
  TickSource& Ticks() { return ticks_; }

 protected:
  // Stores status and throws when it is nonzero.
  void Check(FtStatus status);

 private:
  std::shared_ptr<D2xxBackend> backend_;
  TickSource& ticks_;
  // Written by the thread that owns the link; read from any thread (the window asks for the
  // last status while the link thread works).
  std::atomic<FtStatus> status_{ftstatus::kDeviceNotOpened};
  FtHandle handle_ = nullptr;
  uint32_t readTimeout_ = 0;
  uint32_t writeTimeout_ = 0;
};

// The link as the main window holds it: an FTD2xx whose destruction closes the device.
class FTDClass : public FTD2xx {
 public:
  using FTD2xx::FTD2xx;
  ~FTDClass() override;
};

}  // namespace bf
