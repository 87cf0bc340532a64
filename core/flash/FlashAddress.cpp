#include "flash/FlashAddress.h"

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
