#include "flash/FlashAddress.h"

#include "flash/FlashFailure.h"

namespace bf {

DataZone DataZoneBounds(uint32_t zone) {
  if (zone == 0) return {kFirstDataSector, kFirstDataSector + kZoneDataSectors};
  const uint32_t base = zone * kZoneSectors;
  return {base, base + kZoneDataSectors};
}

uint32_t NextDataSector(uint32_t sector) {
  const uint32_t zone = sector / kZoneSectors;
  if (zone < kZoneCount && sector + 1 == DataZoneBounds(zone).end) {
    return zone + 1 == kZoneCount ? kFirstDataSector : DataZoneBounds(zone + 1).first;
  }
  return sector + 1;
}

uint32_t SkipZoneGap(uint32_t sector) {
  const uint32_t zone = sector / kZoneSectors;
  if (zone >= kZoneCount || sector < DataZoneBounds(zone).end) return sector;
  return zone + 1 == kZoneCount ? kFirstDataSector : DataZoneBounds(zone + 1).first;
}

DataZone GetZoneBounds(uint32_t sector) {
  constexpr uint32_t kHighestBound = 7 * kZoneSectors + kZoneDataSectors;  // 261,376
  if (sector < kFirstDataSector || sector > kHighestBound) throw GeneralFailure("");
  if (sector <= kFirstDataSector + kZoneDataSectors) {
    return {kFirstDataSector, kFirstDataSector + kZoneDataSectors};
  }
  // Two zones share each 16-bit page of sector numbers: the low one and the high one.
  const uint32_t base = sector & ~uint32_t{0xFFFF};
  const uint32_t c = sector & 0xFFFF;
  if (c <= kZoneDataSectors) return {base, base + kZoneDataSectors};
  if (c >= kZoneSectors && c <= kZoneSectors + kZoneDataSectors) {
    return {base + kZoneSectors, base + kZoneSectors + kZoneDataSectors};
  }
  throw GeneralFailure(kNoDataAreaText);
}

uint32_t CountDataSectors(uint32_t first, uint32_t end) {
  uint32_t count = 0;
  if (first != kFirstDataSector) {
    // From first to the top of the flash.
    const DataZone zone = GetZoneBounds(first);
    const uint32_t nextZone =
        zone.end == kFirstDataSector + kZoneDataSectors ? kZoneSectors : zone.end + 768;
    const uint32_t zonesAbove = (kSectorCount - nextZone) / kZoneSectors;
    count = (zone.end - first) + kZoneDataSectors * zonesAbove;
  }
  // From sector 192 up to end.
  const DataZone zone = GetZoneBounds(end);
  count += end - zone.first;
  if (end >= kZoneSectors) count += kZoneDataSectors * (zone.first / kZoneSectors);
  return count;
}

uint32_t DataSectorAt(uint32_t ordinal) {
  const uint32_t zone = ordinal / kZoneDataSectors;
  return DataZoneBounds(zone).first + ordinal % kZoneDataSectors;
}

bool DataSectorOrdinal(uint32_t sector, uint32_t* ordinal) {
  const uint32_t zone = sector / kZoneSectors;
  if (zone >= kZoneCount) return false;
  const DataZone z = DataZoneBounds(zone);
  if (sector < z.first || sector >= z.end) return false;
  *ordinal = zone * kZoneDataSectors + (sector - z.first);
  return true;
}

uint32_t PackedAdvance(uint32_t address, uint32_t count) {
  if (count > (kPackedPageCount - 1) * kPageSize) throw UserAbort(kCannotAdvanceText);
  uint32_t page = PackedPage(address) + count / kPageSize;
  uint32_t column = PackedColumn(address) + count % kPageSize;
  if (column >= kPageSize) {
    column -= kPageSize;
    ++page;
  }
  return MakePackedAddress(page % kPackedPageCount, column);
}

uint32_t PackedDifference(uint32_t a, uint32_t b) {
  uint32_t page = PackedPage(a) - PackedPage(b);
  uint32_t column = PackedColumn(a) - PackedColumn(b);
  if (PackedColumn(b) > PackedColumn(a)) {
    column += kPageSize;
    --page;
  }
  return MakePackedAddress(page % kPackedPageCount, column);
}

uint32_t PackedStep(uint32_t address, uint32_t count) {
  if (count > 256) throw UserAbort(kCannotStepText);
  uint32_t page = PackedPage(address);
  uint32_t column = PackedColumn(address) + count;
  if (column >= kPageSize) {
    column -= kPageSize;
    ++page;
  }
  return MakePackedAddress(page % kPackedPageCount, column);
}

uint32_t PackedPrevious(uint32_t address) {
  const uint32_t column = PackedColumn(address);
  if (column > 0) return MakePackedAddress(PackedPage(address), column - 1);
  return MakePackedAddress((PackedPage(address) + kPackedPageCount - 1) % kPackedPageCount,
                           kPageSize - 1);
}

NandAddress EncodeNandAddress(uint32_t linear) {
  return {static_cast<uint8_t>(linear), static_cast<uint8_t>((linear >> 8) & 0x07),
          static_cast<uint8_t>(linear >> 11), static_cast<uint8_t>(linear >> 19),
          static_cast<uint8_t>((linear >> 27) & 0x1F)};
}

uint32_t DecodeNandAddress(const uint8_t* five) {
  const uint32_t row = five[2] + five[3] * 256u + five[4] * 65'536u;
  return five[0] + (five[1] & 7u) * 256u + row * 2048u;
}

}  // namespace bf
