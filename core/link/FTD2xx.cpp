#include "link/FTD2xx.h"

#include <array>
#include <cstring>
#include <utility>

#include "link/CameraCommands.h"

namespace bf {

FTD2xx::FTD2xx(std::shared_ptr<D2xxBackend> backend, TickSource& ticks)
    : backend_(std::move(backend)), ticks_(ticks) {}

FTD2xx::~FTD2xx() {
  static_cast<void>(FTD2xx::Close());
}

void FTD2xx::Check(FtStatus status) {
  status_ = status;
  if (status != ftstatus::kOk) throw FTDException(status);
}

void FTD2xx::Open(uint32_t index) {
  FtHandle opened = nullptr;
  Check(backend_->Open(index, &opened));
  // Opening over a held handle would leak it; release the old one (its result is of no use).
  if (handle_ != nullptr && handle_ != opened) static_cast<void>(backend_->Close(handle_));
  handle_ = opened;
  readTimeout_ = kOpenTimeoutMs;
  writeTimeout_ = kOpenTimeoutMs;
  Check(backend_->SetTimeouts(handle_, readTimeout_, writeTimeout_));
}

FtStatus FTD2xx::Close() {
  const FtStatus status = backend_->Close(handle_);
  if (status == ftstatus::kOk) {
    status_ = ftstatus::kDeviceNotOpened;
    handle_ = nullptr;
  }
  return status;
}

uint32_t FTD2xx::Write(const void* buffer, uint32_t length) {
  uint32_t written = 0;
  Check(backend_->Write(handle_, buffer, length, &written));
  return written;
}

uint32_t FTD2xx::Read(void* buffer, uint32_t length) {
  uint32_t read = 0;
  Check(backend_->Read(handle_, buffer, length, &read));
  return read;
}

FtStatus FTD2xx::GetStatusCode() const {
  return status_;
}

bool FTD2xx::GetStatusText(char* buffer, uint32_t maxLength) const {
  if (maxLength == 0 || buffer == nullptr) return false;  // no room even for the terminator
  if (status_ > kLastStatusWithText) {
    buffer[0] = '\0';
    return false;
  }
  const char* text = StatusText(status_);
  size_t n = std::strlen(text);
  if (n > maxLength - 1) {
    n = maxLength - 1;
    // Never cut a UTF-8 sequence in half: step back over continuation bytes.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return true;
}

void FTD2xx::GetStatus(uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) {
  Check(backend_->GetStatus(handle_, rxBytes, txBytes, eventStatus));
}

uint32_t FTD2xx::GetQueueStatus() {
  uint32_t rxBytes = 0;
  GetQueueStatus(&rxBytes);
  return rxBytes;
}

void FTD2xx::GetQueueStatus(uint32_t* rxBytes) {
  Check(backend_->GetQueueStatus(handle_, rxBytes));
}

void FTD2xx::ResetDevice() {
  Check(backend_->ResetDevice(handle_));
}

void FTD2xx::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
  if (readMs == 0 || writeMs == 0) return;
  Check(backend_->SetTimeouts(handle_, readMs, writeMs));
  readTimeout_ = readMs;
  writeTimeout_ = writeMs;
}

void FTD2xx::GetTimeouts(uint32_t* readMs, uint32_t* writeMs) const {
  *readMs = readTimeout_;
  *writeMs = writeTimeout_;
}

void FTD2xx::SetEventNotification(void* parameter, uint32_t mask) {
  Check(backend_->SetEventNotification(handle_, mask, parameter));
}

void FTD2xx::Purge(uint32_t mask) {
  Check(backend_->Purge(handle_, mask));
}

uint32_t FTD2xx::WriteByte(uint32_t value) {
  const auto byte = static_cast<uint8_t>(value & 0xFF);
  return Write(&byte, 1);
}

uint32_t FTD2xx::WriteDword(uint32_t value) {
  const std::array<uint8_t, 4> bytes = {
      static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return Write(bytes.data(), 4);
}

uint32_t FTD2xx::WriteBuffer(const void* buffer, uint32_t length) {
  return Write(buffer, length);
}

uint32_t FTD2xx::ReadWithTimeout(void* buffer, uint32_t length, const std::atomic<int>* stop) {
  uint32_t total = 0;
  uint32_t mark = ticks_.TickCount();
  if (length == 0) return 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (;;) {
    // Unsigned 32-bit difference: correct across the tick counter's wrap-around.
    if (static_cast<uint32_t>(ticks_.TickCount() - mark) > kInactivityMs) break;
    if (stop != nullptr && stop->load() != 0) break;
    const uint32_t n = Read(bytes + total, length - total);
    if (n > 0) mark = ticks_.TickCount();
    total += n;
    if (total >= length) break;
  }
  return total;
}

uint32_t FTD2xx::FinishPartialRead(void* buffer, uint32_t length, uint32_t got) {
  if (got == 0 || got >= length) return got;
  return got + ReadWithTimeout(static_cast<uint8_t*>(buffer) + got, length - got);
}

FTDClass::~FTDClass() = default;

}  // namespace bf
