#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/CameraCommands.h"

namespace bf::sim {

// The flash of each camera type as its firmware lays it out and names it on the wire, written
// from the camera's side: where the next frame goes, what the pointer reply says about it, and
// which bytes a CMD_READ_FLASH request names. The program has its own address code for the
// host's side; the two are kept apart on purpose, so that an address mistake in either shows up
// as a disagreement in the end-to-end copy tests instead of sitting on both sides of them.
//
// Type 0: 262,144 sectors of 512 bytes in 8 zones of 32,768 sectors; recordings go only into a
// zone's data area (zone 0: sectors 192 to 32,191; zone k: its first 32,000 sectors).
// Type 1: 65,536 pages of 2048 bytes, every byte usable; addresses are page << 16 | column.
// Type 2: 1 GiB of 2048-byte NAND pages, every byte usable; addresses are a column of 11 bits
// and a row (page) number, sent in five bytes.
struct FlashLayout {
  uint64_t deviceBytes;    // the whole chip
  uint64_t dataBytes;      // where recordings go
  std::size_t boundBytes;  // each bound of a CMD_READ_FLASH request
};
const FlashLayout& LayoutOf(CameraType type);

inline constexpr uint32_t kCameraSectorBytes = 512;
inline constexpr uint32_t kCameraZoneSectors = 32'768;
inline constexpr uint32_t kCameraZoneDataSectors = 32'000;
inline constexpr uint32_t kCameraZones = 8;
inline constexpr uint32_t kCameraFirstDataSector = 192;  // zone 0 keeps its first 192 to itself

// Type 0: the physical sector that holds the n-th sector of the data space (data areas of the
// zones back to back), and the way back; false for a sector outside every data area.
uint32_t PhysicalDataSector(uint32_t n);
bool DataSectorNumber(uint32_t physicalSector, uint32_t* n);
// Type 0: the physical data area of a zone, [first, end).
struct SectorSpan {
  uint32_t first;
  uint32_t end;
};
SectorSpan ZoneDataArea(uint32_t zone);

// The reply to CMD_GET_FLASH_POINTER for a write position (bytes of the data space written so
// far, modulo its size) and the wrap state: type 0 the next sector to be written (4 bytes),
// type 1 the packed address of the next byte (4 bytes), type 2 the last byte written as a
// five-byte NAND address (0 when nothing was written).
std::vector<uint8_t> PointerReplyFor(CameraType type, uint64_t writePosition, bool wrapped);

// The device bytes a CMD_READ_FLASH request names, from its two bounds as received (2 ×
// boundBytes). Type 0: sectors, end excluded; types 1 and 2: bytes, end included. A reversed or
// empty range names nothing (count 0).
struct DeviceBytes {
  uint64_t first = 0;
  uint64_t count = 0;
};
DeviceBytes RequestedDeviceBytes(CameraType type, const uint8_t* bounds);

}  // namespace bf::sim
