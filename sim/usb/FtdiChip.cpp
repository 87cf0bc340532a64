#include "sim/usb/FtdiChip.h"

#include <algorithm>

namespace bf::sim::usb {

namespace {

// FTDI vendor requests (bRequest), as libftdi sends them.
constexpr uint8_t kSioReset = 0x00;  // value 0: reset; 1: purge host-to-line; 2: line-to-host
constexpr uint8_t kSioModemCtrl = 0x01;
constexpr uint8_t kSioSetFlowCtrl = 0x02;
constexpr uint8_t kSioSetBaudrate = 0x03;
constexpr uint8_t kSioSetData = 0x04;
constexpr uint8_t kSioPollModemStatus = 0x05;
constexpr uint8_t kSioSetLatencyTimer = 0x09;
constexpr uint8_t kSioGetLatencyTimer = 0x0A;
constexpr uint8_t kSioSetBitmode = 0x0B;
constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kStandardIn = 0x80;
constexpr uint8_t kGetDescriptor = 0x06;
constexpr uint8_t kStringDescriptor = 0x03;

// Modem status: byte 0 has bit 0 always set and CTS (bit 4) and DSR (bit 5) up as on an idle
// bridge; byte 1 has the transmitter empty bits (5 and 6).
constexpr uint8_t kModemStatus0 = 0x31;
constexpr uint8_t kModemStatus1 = 0x60;

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

std::string ChipIdentity::Product() const {
  if (!product.empty()) return product;
  return kind == ChipKind::FT232R ? "FT232R USB UART" : "Single RS232-HS";
}

std::vector<uint8_t> ChipIdentity::Descriptors() const {
  std::vector<uint8_t> d;
  // Device descriptor: USB 2.0, vendor class, ep0 64 bytes, strings 1, 2, 3, one configuration.
  d.insert(d.end(), {18, 1});
  Put16(d, 0x0200);
  d.insert(d.end(), {0, 0, 0, 64});
  Put16(d, 0x0403);
  Put16(d, ProductId());
  Put16(d, BcdDevice());
  d.insert(d.end(), {1, 2, 3, 1});
  // Configuration: one interface, bus powered, 90 mA.
  d.insert(d.end(), {9, 2});
  Put16(d, 9 + 9 + 7 + 7);
  d.insert(d.end(), {1, 1, 0, 0x80, 45});
  // Interface 0: two endpoints, vendor class, string 2.
  d.insert(d.end(), {9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2});
  d.insert(d.end(), {7, 5, 0x81, 2});
  Put16(d, PacketSize());
  d.push_back(0);
  d.insert(d.end(), {7, 5, 0x02, 2});
  Put16(d, PacketSize());
  d.push_back(0);
  return d;
}

FtdiChip::FtdiChip(ChipIdentity identity, D2xxBackend& camera)
    : identity_(std::move(identity)), camera_(camera) {
  camera_.Open(0, &handle_);
}

FtdiChip::~FtdiChip() {
  if (handle_ != nullptr) camera_.Close(handle_);
}

std::optional<std::vector<uint8_t>> FtdiChip::StringDescriptor(uint8_t index,
                                                               uint16_t length) const {
  std::vector<uint8_t> out;
  if (index == 0) {
    out = {4, kStringDescriptor, 0x09, 0x04};  // US English
  } else {
    std::string text;
    if (index == 1) text = identity_.manufacturer;
    if (index == 2) text = identity_.Product();
    if (index == 3) text = identity_.serial;
    if (index > 3) return std::nullopt;
    out.push_back(static_cast<uint8_t>(2 + 2 * text.size()));
    out.push_back(kStringDescriptor);
    for (const char c : text) Put16(out, static_cast<uint8_t>(c));
  }
  if (out.size() > length) out.resize(length);
  return out;
}

std::optional<std::vector<uint8_t>> FtdiChip::Control(uint8_t requestType, uint8_t request,
                                                      uint16_t value, uint16_t index,
                                                      uint16_t length) {
  std::lock_guard lock(mutex_);
  std::optional<std::vector<uint8_t>> answer;
  if (requestType == kVendorOut) {
    answer.emplace();
    switch (request) {
      case kSioReset:
        if (value == 0 || value == 2) camera_.Purge(handle_, kPurgeRx);
        if (value > 2) answer.reset();
        break;
      case kSioModemCtrl:  // DTR and RTS: no line behind this chip to show them
      case kSioSetFlowCtrl:
      case kSioSetData:
      case kSioSetBitmode:
        break;
      case kSioSetBaudrate:
        baudDivisor_ = value | (uint32_t{index} << 16);
        break;
      case kSioSetLatencyTimer:
        if (faults_.refuseLatencyTimer) {
          answer.reset();
        } else {
          latencyMs_ = static_cast<uint8_t>(value & 0xFF);
        }
        break;
      default:
        answer.reset();
        break;
    }
  } else if (requestType == kVendorIn) {
    if (request == kSioPollModemStatus) {
      answer = std::vector<uint8_t>{kModemStatus0, kModemStatus1};
    } else if (request == kSioGetLatencyTimer) {
      answer = std::vector<uint8_t>{latencyMs_};
    }
    if (answer && answer->size() > length) answer->resize(length);
  } else if (requestType == kStandardIn && request == kGetDescriptor &&
             (value >> 8) == kStringDescriptor) {
    answer = StringDescriptor(static_cast<uint8_t>(value & 0xFF), length);
  }
  log_.push_back({requestType, request, value, index, length, !answer.has_value()});
  return answer;
}

void FtdiChip::SetFaults(const ChipFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

void FtdiChip::ClearHalt(uint8_t endpoint) {
  std::lock_guard lock(mutex_);
  if (endpoint == 0x81) inHalted_ = false;
  if (endpoint == 0x02) outHalted_ = false;
}

std::string FtdiChip::BoundDriver() const {
  std::lock_guard lock(mutex_);
  if (!faults_.kernelDriver.empty()) return faults_.kernelDriver;
  return faults_.claimedElsewhere ? "usbfs" : "";
}

bool FtdiChip::DetachKernelDriver() {
  std::lock_guard lock(mutex_);
  if (faults_.kernelDriver.empty()) return false;
  faults_.kernelDriver.clear();
  return true;
}

bool FtdiChip::BulkOut(const uint8_t* data, size_t length, size_t* accepted, bool* stalled) {
  std::lock_guard lock(mutex_);
  *accepted = 0;
  *stalled = false;
  if (faults_.stallOutAfterBytes != 0 && bytesOut_ >= faults_.stallOutAfterBytes) {
    faults_.stallOutAfterBytes = 0;
    outHalted_ = true;
  }
  if (outHalted_) {
    *stalled = true;
    return false;
  }
  if (faults_.outAtMost != 0) length = std::min<size_t>(length, faults_.outAtMost);
  uint32_t written = 0;
  const FtStatus status = camera_.Write(handle_, data, static_cast<uint32_t>(length), &written);
  bytesOut_ += written;
  *accepted = written;
  return status == ftstatus::kOk && written == length;
}

uint32_t FtdiChip::CameraPending() {
  uint32_t pending = 0;
  if (camera_.GetQueueStatus(handle_, &pending) != ftstatus::kOk) return 0;
  return pending;
}

void FtdiChip::AppendPacket(std::vector<uint8_t>& transfer, size_t n) {
  transfer.push_back(kModemStatus0);
  transfer.push_back(kModemStatus1);
  const size_t at = transfer.size();
  transfer.resize(at + n);
  uint32_t got = 0;
  if (n > 0 && camera_.Read(handle_, transfer.data() + at, static_cast<uint32_t>(n), &got) !=
                   ftstatus::kOk) {
    got = 0;
  }
  transfer.resize(at + got);
  bytesIn_ += got;
}

InState FtdiChip::BulkIn(size_t capacity, std::chrono::steady_clock::time_point now,
                         std::vector<uint8_t>& transfer) {
  std::lock_guard lock(mutex_);
  if (faults_.stallInAfterBytes != 0 && bytesIn_ >= faults_.stallInAfterBytes) {
    faults_.stallInAfterBytes = 0;
    inHalted_ = true;
  }
  if (inHalted_) return InState::Stalled;
  const size_t packet = identity_.PacketSize();
  const size_t payload = packet - 2;
  // A transfer smaller than a packet still takes one (the host controller reports overflow).
  const size_t room = std::max(capacity, packet);
  size_t pending = CameraPending();
  if (faults_.shortInEvery != 0 && transfer.empty() && pending >= payload &&
      ++dataTransfers_ % faults_.shortInEvery == 0) {
    AppendPacket(transfer, std::max<size_t>(1, std::min(pending, payload / 2)));
    lastPacket_ = now;
    return InState::Ended;
  }
  while (transfer.size() + packet <= room && pending >= payload) {
    AppendPacket(transfer, payload);
    pending -= payload;
    lastPacket_ = now;
  }
  if (transfer.size() + packet > room) return InState::Ended;
  const auto latency = std::chrono::milliseconds(std::max<uint8_t>(latencyMs_, 1));
  if (now - lastPacket_ < latency) return InState::Waiting;
  AppendPacket(transfer, pending);
  lastPacket_ = now;
  return InState::Ended;
}

std::vector<ControlRequest> FtdiChip::ControlLog() const {
  std::lock_guard lock(mutex_);
  return log_;
}

uint8_t FtdiChip::LatencyMs() const {
  std::lock_guard lock(mutex_);
  return latencyMs_;
}

uint32_t FtdiChip::BaudDivisor() const {
  std::lock_guard lock(mutex_);
  return baudDivisor_;
}

uint64_t FtdiChip::BytesOut() const {
  std::lock_guard lock(mutex_);
  return bytesOut_;
}

uint64_t FtdiChip::BytesIn() const {
  std::lock_guard lock(mutex_);
  return bytesIn_;
}

}  // namespace bf::sim::usb
