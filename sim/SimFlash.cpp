#include "sim/SimFlash.h"

#include <algorithm>

#include "flash/CameraKind.h"
#include "flash/FlashAddress.h"

namespace bf::sim {

SimFlash::SimFlash(CameraType type)
    : type_(type), dataSize_(KindOf(type).dataBytes), store_(KindOf(type).deviceBytes) {}

uint64_t SimFlash::PhysicalOf(uint64_t dataOffset) const {
  if (type_ != CAMERA_SECTORS) return dataOffset;
  const auto ordinal = static_cast<uint32_t>(dataOffset / kSectorSize);
  return uint64_t{DataSectorAt(ordinal)} * kSectorSize + dataOffset % kSectorSize;
}

void SimFlash::Append(const uint8_t* data, std::size_t n) {
  while (n > 0) {
    // A run never crosses a zone's data area (type 0) or the end of the data space.
    uint64_t room = dataSize_ - writePos_;
    if (type_ == CAMERA_SECTORS) {
      const uint64_t zoneBytes = uint64_t{kZoneDataSectors} * kSectorSize;
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
  const CameraKind& kind = KindOf(type_);
  switch (type_) {
    case CAMERA_SECTORS: {
      // Records are sector aligned, so the position is on a sector boundary; a partly written
      // sector still counts as written.
      const auto ordinal =
          static_cast<uint32_t>((writePos_ + kSectorSize - 1) / kSectorSize) % kDataSectorCount;
      return EncodeFlashPointer(kind, DataSectorAt(ordinal));
    }
    case CAMERA_PACKED_PAGES:
      return EncodeFlashPointer(kind, LinearToPacked(static_cast<uint32_t>(writePos_)));
    case CAMERA_NAND_PAGES:
      break;
  }
  uint32_t last = 0;
  if (writePos_ > 0) {
    last = static_cast<uint32_t>(writePos_ - 1);
  } else if (wrapped_) {
    last = static_cast<uint32_t>(dataSize_ - 1);
  }
  return EncodeFlashPointer(kind, last);
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
