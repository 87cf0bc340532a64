#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "SimRig.h"
#include "flash/CameraKind.h"
#include "flash/FlashAddress.h"
#include "link/CameraCommands.h"

namespace bf::test {

// Reads physical flash ranges with each camera type's own CMD_READ_FLASH form, in chunks the
// size the readouts use.

// Sectors [first, end).
inline std::vector<uint8_t> ReadSectors(SimRig& rig, uint32_t first, uint32_t end) {
  std::vector<uint8_t> out;
  for (uint32_t s = first; s < end;) {
    const uint32_t next = std::min(end, s + 124);
    RequestFlashRange(rig.link, s, next);
    std::vector<uint8_t> chunk((next - s) * kSectorSize);
    chunk.resize(rig.link.ReadWithTimeout(chunk.data(), static_cast<uint32_t>(chunk.size())));
    out.insert(out.end(), chunk.begin(), chunk.end());
    s = next;
  }
  return out;
}

// Data sectors from `first` on, stepping over the zone gaps, `count` of them.
inline std::vector<uint8_t> ReadDataSectors(SimRig& rig, uint32_t first, uint32_t count) {
  std::vector<uint8_t> out;
  uint32_t s = first;
  while (count > 0) {
    uint32_t run = 1;
    while (run < count && run < 124 && NextDataSector(s + run - 1) == s + run) ++run;
    auto part = ReadSectors(rig, s, s + run);
    out.insert(out.end(), part.begin(), part.end());
    count -= run;
    s = NextDataSector(s + run - 1);
  }
  return out;
}

// Bytes [first, last] of a type 1 or type 2 flash, by linear offset.
inline std::vector<uint8_t> ReadBytes(SimRig& rig, CameraType type, uint32_t first, uint32_t last) {
  std::vector<uint8_t> out;
  uint64_t cur = first;
  while (cur <= last) {
    const uint64_t end = std::min<uint64_t>(last, cur + 524'288);
    rig.link.WriteByte(CMD_READ_FLASH);
    if (type == CAMERA_PACKED_PAGES) {
      rig.link.WriteDword(LinearToPacked(static_cast<uint32_t>(cur)));
      rig.link.WriteDword(LinearToPacked(static_cast<uint32_t>(end)));
    } else {
      const auto a = EncodeNandAddress(static_cast<uint32_t>(cur));
      const auto b = EncodeNandAddress(static_cast<uint32_t>(end));
      rig.link.WriteBuffer(a.data(), 5);
      rig.link.WriteBuffer(b.data(), 5);
    }
    std::vector<uint8_t> chunk(end - cur + 1);
    chunk.resize(rig.link.ReadWithTimeout(chunk.data(), static_cast<uint32_t>(chunk.size())));
    out.insert(out.end(), chunk.begin(), chunk.end());
    cur = end + 1;
  }
  return out;
}

struct PointerAndWrap {
  uint32_t pointer = 0;  // sector (type 0), packed (type 1), decoded linear (type 2)
  uint8_t wrap = 0;
};

inline PointerAndWrap AskPointer(SimRig& rig, CameraType type) {
  PointerAndWrap p;
  const auto reply = rig.Ask(CMD_GET_FLASH_POINTER);
  p.pointer = type == CAMERA_NAND_PAGES ? DecodeNandAddress(reply.data()) : Le32(reply);
  p.wrap = rig.Ask(CMD_GET_WRAP_FLAG).at(0);
  return p;
}

}  // namespace bf::test
