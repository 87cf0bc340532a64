#include "sim/SimFlash.h"

#include <algorithm>

namespace bf::sim {

SimFlash::SimFlash(CameraType type)
    : type_(type), dataSize_(LayoutOf(type).dataBytes), store_(LayoutOf(type).deviceBytes) {}

uint64_t SimFlash::PhysicalOf(uint64_t dataOffset) const {
  if (type_ != CAMERA_SECTORS) return dataOffset;
  const auto n = static_cast<uint32_t>(dataOffset / kCameraSectorBytes);
  return uint64_t{PhysicalDataSector(n)} * kCameraSectorBytes + dataOffset % kCameraSectorBytes;
}

void SimFlash::Append(const uint8_t* data, std::size_t n) {
  while (n > 0) {
    // A run never crosses a zone's data area (type 0) or the end of the data space.
    uint64_t room = dataSize_ - writePos_;
    if (type_ == CAMERA_SECTORS) {
      const uint64_t zoneBytes = uint64_t{kCameraZoneDataSectors} * kCameraSectorBytes;
      room = zoneBytes - writePos_ % zoneBytes;
    }
    const std::size_t part = static_cast<std::size_t>(std::min<uint64_t>(n, room));
    store_.Write(PhysicalOf(writePos_), data, part);
    writePos_ += part;
    data += part;
    n -= part;
    if (writePos_ == dataSize_) {
      writePos_ = 0;
      wrapped_ = true;
    }
  }
}

void SimFlash::Erase() {
  store_.EraseAll();
  writePos_ = 0;
  wrapped_ = false;
}

std::vector<uint8_t> SimFlash::PointerReply() const {
  return PointerReplyFor(type_, writePos_, wrapped_);
}

void SimFlash::ReadPhysical(uint64_t address, uint8_t* dst, std::size_t n) const {
  const uint64_t capacity = store_.Capacity();
  address %= capacity;
  while (n > 0) {
    const std::size_t part = static_cast<std::size_t>(std::min<uint64_t>(n, capacity - address));
    store_.Read(address, dst, part);
    dst += part;
    n -= part;
    address = (address + part) % capacity;
  }
}

}  // namespace bf::sim
