#pragma once
#include <algorithm>
#include <cstring>

#include "sim/FlashLayout.h"

namespace bf::sim {

template <class Fill>
void SimFlash::ForEachDataRun(uint64_t address, uint8_t* dst, std::size_t n, Fill&& fill) const {
  if (type_ != CAMERA_SECTORS) {
    fill(address, dst, n);
    return;
  }
  while (n > 0) {
    const auto sector = static_cast<uint32_t>(address / kCameraSectorBytes);
    const uint32_t zone = sector / kCameraZoneSectors;
    const SectorSpan z = ZoneDataArea(zone);
    std::size_t part;
    if (sector < z.first) {
      part = std::min<uint64_t>(n, uint64_t{z.first} * kCameraSectorBytes - address);
      std::memset(dst, 0xFF, part);
    } else if (sector >= z.end) {
      part = std::min<uint64_t>(
          n, uint64_t{zone + 1} * kCameraZoneSectors * kCameraSectorBytes - address);
      std::memset(dst, 0xFF, part);
    } else {
      part = std::min<uint64_t>(n, uint64_t{z.end} * kCameraSectorBytes - address);
      uint32_t number = 0;
      DataSectorNumber(sector, &number);
      fill(uint64_t{number} * kCameraSectorBytes + address % kCameraSectorBytes, dst, part);
    }
    address += part;
    dst += part;
    n -= part;
  }
}

}  // namespace bf::sim
