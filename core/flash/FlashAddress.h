#pragma once
#include <array>
#include <cstdint>

namespace bf {

// Pure arithmetic of the three flash address forms. Nothing here talks to the camera or the
// user; every function accepts any value. Threads: any.

// Sector model (CAMERA_SECTORS): 262,144 sectors of 512 bytes in 8 zones of 32,768 sectors;
// only the data area of each zone (32,000 sectors) holds recordings.
inline constexpr uint32_t kSectorSize = 512;
inline constexpr uint32_t kSectorCount = 262'144;
inline constexpr uint32_t kZoneCount = 8;
inline constexpr uint32_t kZoneSectors = 32'768;
inline constexpr uint32_t kZoneDataSectors = 32'000;
inline constexpr uint32_t kFirstDataSector = 192;  // also the pointer of an empty flash
inline constexpr uint32_t kDataSectorCount = kZoneCount * kZoneDataSectors;  // 256,000

// First and one-past-last sector of one zone's data area.
struct DataZone {
  uint32_t first = 0;
  uint32_t end = 0;
};

// The data area of zone 0..7: zone 0 is 192..32,191, zone k is k * 32,768 .. + 31,999.
DataZone DataZoneBounds(uint32_t zone);
// sector + 1, except that the last data sector of a zone is followed by the first of the next,
// and the last of zone 7 by sector 192.
uint32_t NextDataSector(uint32_t sector);
// The n-th data sector (n < 256,000), counting from sector 192 over the data areas only.
uint32_t DataSectorAt(uint32_t ordinal);
// The position of a data sector among all data sectors; false for a sector outside them.
bool DataSectorOrdinal(uint32_t sector, uint32_t* ordinal);

// Packed page model (CAMERA_PACKED_PAGES): 65,536 pages of 2048 bytes; a PackedAddress has
// the page in its high 16 bits and the column in its low 16 bits.
inline constexpr uint32_t kPageSize = 2048;
inline constexpr uint32_t kPackedPageCount = 65'536;
inline constexpr uint32_t kPackedFlashBytes = kPageSize * kPackedPageCount;  // 128 MiB
inline constexpr uint32_t kPackedLastByte = 0xFFFF07FF;
inline constexpr uint32_t kPackedBlockPages = 64;

inline constexpr uint32_t MakePackedAddress(uint32_t page, uint32_t column) {
  return page << 16 | (column & 0xFFFF);
}
inline constexpr uint32_t PackedPage(uint32_t packed) {
  return packed >> 16;
}
inline constexpr uint32_t PackedColumn(uint32_t packed) {
  return packed & 0xFFFF;
}
// page * 2048 + column: the byte offset (or byte count) a packed value stands for.
inline constexpr uint32_t PackedToLinear(uint32_t packed) {
  return PackedPage(packed) * kPageSize + PackedColumn(packed);
}
// The packed form of a byte offset below 128 MiB.
inline constexpr uint32_t LinearToPacked(uint32_t linear) {
  return MakePackedAddress(linear / kPageSize, linear % kPageSize);
}

// NAND page model (CAMERA_NAND_PAGES): 1 GiB addressed by byte offset, sent as 5 bytes.
inline constexpr uint32_t kNandFlashBytes = 0x4000'0000;
inline constexpr uint32_t kNandSectorBytes = 0x40'0000;  // 4 MiB range-selection unit
using NandAddress = std::array<uint8_t, 5>;

// Byte 0: bits 0-7; byte 1: bits 8-10; byte 2: bits 11-18; byte 3: bits 19-26; byte 4: 27-31.
NandAddress EncodeNandAddress(uint32_t linear);
// The inverse; the upper five bits of byte 1 are ignored.
uint32_t DecodeNandAddress(const uint8_t* five);

}  // namespace bf
