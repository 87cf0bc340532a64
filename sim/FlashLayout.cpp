#include "sim/FlashLayout.h"

#include <array>

namespace bf::sim {
namespace {

constexpr std::array<FlashLayout, 3> kLayouts = {{
    {uint64_t{kCameraZones} * kCameraZoneSectors * kCameraSectorBytes,
     uint64_t{kCameraZones} * kCameraZoneDataSectors* kCameraSectorBytes, 3},
    {uint64_t{65'536} * 2048, uint64_t{65'536} * 2048, 4},
    {uint64_t{1} << 30, uint64_t{1} << 30, 5},
}};

uint32_t LittleEndian(const uint8_t* bytes, std::size_t n) {
  uint32_t value = 0;
  for (std::size_t i = n; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

std::vector<uint8_t> LittleEndianBytes(uint32_t value, std::size_t n) {
  std::vector<uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
  return out;
}

// The NAND chip takes a column of 11 bits in the first two bytes and the row in the last three;
// the row counts 2048-byte pages.
uint32_t NandByteAddress(const uint8_t* b) {
  const uint32_t column = b[0] | uint32_t{b[1] & 0x07u} << 8;
  const uint32_t row = b[2] | uint32_t{b[3]} << 8 | uint32_t{b[4]} << 16;
  return row * 2048u + column;  // the chip's address register is 32 bits wide
}

std::vector<uint8_t> NandAddressBytes(uint32_t address) {
  const uint32_t column = address % 2048;
  const uint32_t row = address / 2048;
  return {static_cast<uint8_t>(column), static_cast<uint8_t>(column >> 8),
          static_cast<uint8_t>(row), static_cast<uint8_t>(row >> 8),
          static_cast<uint8_t>((row >> 16) & 0x1F)};
}

// Type 1 names a byte by page and column; the camera reads the column as a plain count.
uint64_t PackedByteAddress(uint32_t packed) {
  return uint64_t{packed >> 16} * 2048 + (packed & 0xFFFF);
}

}  // namespace

const FlashLayout& LayoutOf(CameraType type) {
  return kLayouts.at(static_cast<std::size_t>(type));
}

SectorSpan ZoneDataArea(uint32_t zone) {
  const uint32_t start = zone * kCameraZoneSectors;
  if (zone == 0) return {kCameraFirstDataSector, kCameraFirstDataSector + kCameraZoneDataSectors};
  return {start, start + kCameraZoneDataSectors};
}

uint32_t PhysicalDataSector(uint32_t n) {
  return ZoneDataArea(n / kCameraZoneDataSectors).first + n % kCameraZoneDataSectors;
}

bool DataSectorNumber(uint32_t physicalSector, uint32_t* n) {
  const uint32_t zone = physicalSector / kCameraZoneSectors;
  if (zone >= kCameraZones) return false;
  const SectorSpan area = ZoneDataArea(zone);
  if (physicalSector < area.first || physicalSector >= area.end) return false;
  *n = zone * kCameraZoneDataSectors + (physicalSector - area.first);
  return true;
}

std::vector<uint8_t> PointerReplyFor(CameraType type, uint64_t writePosition, bool wrapped) {
  const FlashLayout& layout = LayoutOf(type);
  switch (type) {
    case CAMERA_SECTORS: {
      // A partly written sector counts as written: the next frame starts on a fresh sector.
      const uint64_t sectors = (writePosition + kCameraSectorBytes - 1) / kCameraSectorBytes;
      const auto next = static_cast<uint32_t>(sectors % (layout.dataBytes / kCameraSectorBytes));
      return LittleEndianBytes(PhysicalDataSector(next), 4);
    }
    case CAMERA_PACKED_PAGES: {
      const uint64_t page = writePosition / 2048;
      const uint64_t column = writePosition % 2048;
      return LittleEndianBytes(static_cast<uint32_t>(page << 16 | column), 4);
    }
    case CAMERA_NAND_PAGES:
      break;
  }
  uint64_t last = 0;
  if (writePosition > 0) {
    last = writePosition - 1;
  } else if (wrapped) {
    last = layout.dataBytes - 1;  // the last byte of the flash was the last one written
  }
  return NandAddressBytes(static_cast<uint32_t>(last));
}

DeviceBytes RequestedDeviceBytes(CameraType type, const uint8_t* bounds) {
  const std::size_t n = LayoutOf(type).boundBytes;
  switch (type) {
    case CAMERA_SECTORS: {
      const uint32_t start = LittleEndian(bounds, n);
      const uint32_t end = LittleEndian(bounds + n, n);
      if (end <= start) return {};
      return {uint64_t{start} * kCameraSectorBytes, uint64_t{end - start} * kCameraSectorBytes};
    }
    case CAMERA_PACKED_PAGES: {
      const uint64_t first = PackedByteAddress(LittleEndian(bounds, n));
      const uint64_t last = PackedByteAddress(LittleEndian(bounds + n, n));
      if (last < first) return {};
      return {first, last - first + 1};
    }
    case CAMERA_NAND_PAGES:
      break;
  }
  const uint32_t first = NandByteAddress(bounds);
  const uint32_t last = NandByteAddress(bounds + n);
  if (last < first) return {};
  return {first, uint64_t{last} - first + 1};
}

}  // namespace bf::sim
