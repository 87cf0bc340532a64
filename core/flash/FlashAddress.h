#pragma once
#include <array>
#include <cstdint>

namespace bf {

// Pure arithmetic of the three flash address forms. Nothing here talks to the camera or the
// user. The few operations that refuse an argument throw UserAbort or GeneralFailure
// (flash/FlashFailure.h) carrying the message the flow shows; everything else accepts any
// value. Threads: any.

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
// A sector in the gap after a zone's data area gives the first data sector of the next area (after
// zone 7: sector 192), as NextDataSector steps from the area's last sector; any other sector,
// data or beyond the flash, is returned as it is.
uint32_t SkipZoneGap(uint32_t sector);
// The data area of the sector's zone, end excluded; the end bound itself counts as belonging to
// its zone. Throws GeneralFailure without a message below sector 192 or above 261,376, and with
// "Адрес не указывает на область данных" for a sector between two data areas.
DataZone GetZoneBounds(uint32_t sector);
// The data sectors of [first, end). first = 192 counts from the start of the data space; any
// other first counts the wrapped way: from first up to the top of the flash, then from 192 up
// to end. Throws as GetZoneBounds does for either bound.
uint32_t CountDataSectors(uint32_t first, uint32_t end);
// Where the wrapped sector readout starts looking for the oldest frame: 512 sectors after the
// write pointer, by plain addition.
inline constexpr uint32_t kWrappedSearchOffset = 512;
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
// count bytes further; the page is kept modulo 65,536. A count above 134,215,680 (65,535
// pages) throws UserAbort with "Не возможно увеличить адрес".
uint32_t PackedAdvance(uint32_t address, uint32_t count);
// a - b as a packed value (page part and column part, borrowing 2048 from the page).
uint32_t PackedDifference(uint32_t a, uint32_t b);
// A short step of at most 256 bytes; a larger count throws UserAbort with
// "Не удалось увеличить адрес". The page after 65,535 is 0.
uint32_t PackedStep(uint32_t address, uint32_t count);
// The byte before: column 2047 of the previous page when the column is 0 (page 0 goes to 65,535).
uint32_t PackedPrevious(uint32_t address);
// The first byte of the 64-page block after the one holding address; after the last block
// this is address 0.
inline constexpr uint32_t PackedBlockStart(uint32_t address) {
  return address & ~uint32_t{0x3F'FFFF};
}
inline constexpr uint32_t NextPackedBlock(uint32_t address) {
  return PackedBlockStart(address) + 0x40'0000;  // 64 pages on; wraps to 0 after the last
}
// One past the last byte of the flash (page 65,535, column 2048): the end of a wrapped copy.
inline constexpr uint32_t kPackedFlashEnd = 0xFFFF'0800;
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
inline uint32_t DecodeNandAddress(const NandAddress& five) {
  return DecodeNandAddress(five.data());
}
inline constexpr uint32_t kNandLastByte = kNandFlashBytes - 1;
// The 4 MiB range-selection sector (0..255) holding a linear address.
inline constexpr uint8_t NandSectorOf(uint32_t linear) {
  return static_cast<uint8_t>(linear >> 22);
}
inline constexpr uint32_t NandSectorStart(uint8_t sector) {
  return uint32_t{sector} * kNandSectorBytes;
}

}  // namespace bf
