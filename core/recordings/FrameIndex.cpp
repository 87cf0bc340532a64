#include "recordings/FrameIndex.h"

#include <algorithm>
#include <cstring>

namespace bf {

namespace {

bool AllErased(const uint8_t* sixteen) {
  uint64_t a = 0;
  uint64_t b = 0;
  std::memcpy(&a, sixteen, 8);
  std::memcpy(&b, sixteen + 8, 8);
  return (a & b) == ~uint64_t{0};
}

}  // namespace

FrameIndex BuildFrameIndex(std::span<const uint8_t> file) {
  FrameIndex index;
  const uint64_t size = file.size();
  uint64_t offset = 0;
  bool damaged = false;
  uint8_t tail[kFrameHeaderSize];

  while (offset < size) {
    const uint8_t* candidate = file.data() + offset;
    if (size - offset < kFrameHeaderSize) {
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, candidate, static_cast<std::size_t>(size - offset));
      candidate = tail;
    }
    if (IsFrameHeader(candidate)) {
      if (damaged) {
        index.pop_back();
        damaged = false;
      }
      FrameIndexEntry& entry = index.emplace_back();
      entry.header = FrameHeader::FromBytes(candidate);
      entry.offset = offset;
      offset += kFrameHeaderSize + PayloadLength(entry.header);
    } else if (index.empty()) {
      break;  // does not start with a frame: not a recording
    } else if (AllErased(candidate)) {
      break;  // erased flash: end of the recorded data
    } else {
      damaged = true;
      offset += kResyncStep;
    }
  }
  if (damaged) index.pop_back();
  return index;
}

std::span<const uint8_t> PayloadPresent(const FrameIndexEntry& entry,
                                        std::span<const uint8_t> file) {
  const uint64_t start = entry.PayloadOffset();
  if (start >= file.size()) return {};
  const uint64_t available = file.size() - start;
  const uint64_t length = std::min<uint64_t>(PayloadLength(entry.header), available);
  return file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

}  // namespace bf
