#include "review/DamagedStretches.h"

namespace bf {

uint64_t RecordEnd(const FrameIndexEntry& entry) {
  return entry.PayloadOffset() + PayloadLength(entry.header);
}

std::vector<DamagedStretch> FindDamagedStretches(std::span<const FrameIndexEntry> index) {
  std::vector<DamagedStretch> stretches;
  for (std::size_t i = 0; i + 1 < index.size(); ++i) {
    const uint64_t end = RecordEnd(index[i]);
    if (index[i + 1].offset > end) stretches.push_back({end, index[i + 1].offset - end});
  }
  return stretches;
}

}  // namespace bf
