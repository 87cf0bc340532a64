#pragma once
#include <algorithm>
#include <cstring>

#include "flash/FlashAddress.h"

namespace bf::sim {

template <class Fill>
void SimFlash::ForEachDataRun(uint64_t address, uint8_t* dst, std::size_t n, Fill&& fill) const {
  if (type_ != CAMERA_SECTORS) {
    fill(address, dst, n);
    return;
  }
  while (n > 0) {
    const auto sector = static_cast<uint32_t>(address / kSectorSize);
    const uint32_t zone = sector / kZoneSectors;
    const DataZone z = DataZoneBounds(zone);
    std::size_t part;
    if (sector < z.first) {
      part = std::min<uint64_t>(n, uint64_t{z.first} * kSectorSize - address);
      std::memset(dst, 0xFF, part);
    } else if (sector >= z.end) {
      part = std::min<uint64_t>(n, uint64_t{zone + 1} * kZoneSectors * kSectorSize - address);
      std::memset(dst, 0xFF, part);
    } else {
      part = std::min<uint64_t>(n, uint64_t{z.end} * kSectorSize - address);
      uint32_t ordinal = 0;
      DataSectorOrdinal(sector, &ordinal);
      fill(uint64_t{ordinal} * kSectorSize + address % kSectorSize, dst, part);
    }
    address += part;
    dst += part;
    n -= part;
  }
}

}  // namespace bf::sim
