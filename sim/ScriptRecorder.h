#pragma once
#include <memory>
#include <mutex>
#include <vector>

#include "link/D2xxBackend.h"
#include "sim/ScriptedBackend.h"

namespace bf::sim {

// Passes every D2XX call on to another backend (the simulated camera, say) and writes down what
// came back as a script for ScriptedBackend, so that the session can be played again without
// the camera: statuses, counts written, every read's bytes (a short read as a counted one) and
// queue counts as reported values. Played back to the same host, the script gives every call
// the answer it had; a host that asks differently drifts out of step, as it would with a camera.
//
// Threads: as the backend it wraps; Script() may be called from any thread.
class ScriptRecorder final : public D2xxBackend {
 public:
  explicit ScriptRecorder(std::shared_ptr<D2xxBackend> inner) : inner_(std::move(inner)) {}

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
  std::string LastError() const override { return inner_->LastError(); }

  std::vector<uint8_t> Script() const;

 private:
  // Notes a call that had nothing to say beyond its status.
  FtStatus Plain(FtStatus status);

  std::shared_ptr<D2xxBackend> inner_;
  mutable std::mutex mutex_;
  ScriptWriter writer_;
};

}  // namespace bf::sim
