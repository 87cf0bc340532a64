#include "sim/ScriptRecorder.h"

#include <span>

namespace bf::sim {

FtStatus ScriptRecorder::Plain(FtStatus status) {
  std::lock_guard lock(mutex_);
  if (status != ftstatus::kOk) {
    writer_.Fail(status);
  } else {
    writer_.Ok();
  }
  return status;
}

FtStatus ScriptRecorder::Open(uint32_t deviceIndex, FtHandle* handle) {
  return Plain(inner_->Open(deviceIndex, handle));
}

FtStatus ScriptRecorder::Close(FtHandle handle) {
  return Plain(inner_->Close(handle));
}

FtStatus ScriptRecorder::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
  const FtStatus status = inner_->Read(handle, buffer, count, read);
  std::lock_guard lock(mutex_);
  if (status != ftstatus::kOk) {
    writer_.Fail(status);
  } else {
    const uint32_t got = read != nullptr ? *read : 0;
    writer_.Read(count, std::span(static_cast<const uint8_t*>(buffer), got));
  }
  return status;
}

FtStatus ScriptRecorder::Write(FtHandle handle, const void* buffer, uint32_t count,
                               uint32_t* written) {
  const FtStatus status = inner_->Write(handle, buffer, count, written);
  std::lock_guard lock(mutex_);
  if (status != ftstatus::kOk) {
    writer_.Fail(status);
  } else if (written != nullptr && *written < count) {
    writer_.ShortWrite(*written);
  } else {
    writer_.Ok();
  }
  return status;
}

FtStatus ScriptRecorder::ResetDevice(FtHandle handle) {
  return Plain(inner_->ResetDevice(handle));
}

FtStatus ScriptRecorder::Purge(FtHandle handle, uint32_t mask) {
  return Plain(inner_->Purge(handle, mask));
}

FtStatus ScriptRecorder::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
  return Plain(inner_->SetTimeouts(handle, readMs, writeMs));
}

FtStatus ScriptRecorder::GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
  const FtStatus status = inner_->GetQueueStatus(handle, rxBytes);
  std::lock_guard lock(mutex_);
  if (status != ftstatus::kOk) {
    writer_.Fail(status);
  } else {
    writer_.QueueCount(rxBytes != nullptr ? *rxBytes : 0);
  }
  return status;
}

FtStatus ScriptRecorder::SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) {
  return Plain(inner_->SetEventNotification(handle, mask, parameter));
}

FtStatus ScriptRecorder::GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                                   uint32_t* eventStatus) {
  const FtStatus status = inner_->GetStatus(handle, rxBytes, txBytes, eventStatus);
  std::lock_guard lock(mutex_);
  if (status != ftstatus::kOk) {
    writer_.Fail(status);
  } else {
    writer_.QueueCount(rxBytes != nullptr ? *rxBytes : 0);
  }
  return status;
}

std::vector<uint8_t> ScriptRecorder::Script() const {
  std::lock_guard lock(mutex_);
  return writer_.Bytes();
}

}  // namespace bf::sim
