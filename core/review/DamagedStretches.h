#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "recordings/FrameIndex.h"

namespace bf {

// Bytes of a recording that the index crossed without taking a frame from them: from the end
// of one indexed record to the next indexed header. They hold the damaged bytes themselves and
// the frame in front of them that the index dropped.
struct DamagedStretch {
  uint64_t offset = 0;
  uint64_t length = 0;
  friend bool operator==(const DamagedStretch&, const DamagedStretch&) = default;
};

// Where the record of an entry ends in the file: its header, then PayloadLength bytes (a
// record length below 16 wraps to a long payload, as the scan steps over it).
uint64_t RecordEnd(const FrameIndexEntry& entry);

// The stretches between consecutive entries of an index, in file order. Reads only the index;
// any thread.
// Whatever follows the last entry (erased flash, or damage up to the end of the file whose
// frame was dropped) is not visible in the index and is not reported.
std::vector<DamagedStretch> FindDamagedStretches(std::span<const FrameIndexEntry> index);

}  // namespace bf
