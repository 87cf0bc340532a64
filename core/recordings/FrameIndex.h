#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "frames/FrameHeader.h"

namespace bf {

// One frame record of a recording: a copy of its header as stored, and the file offset of that
// header (the payload follows at offset + 16). Offsets are 64-bit so recordings of any size
// index correctly.
struct FrameIndexEntry {
  FrameHeader header;
  uint64_t offset = 0;

  uint64_t PayloadOffset() const { return offset + kFrameHeaderSize; }
};

using FrameIndex = std::vector<FrameIndexEntry>;

// Size of the step over bytes that are neither a frame header nor erased flash.
inline constexpr uint64_t kResyncStep = 512;

// Indexes a recording by one forward scan that follows the records' own lengths:
// - a header at the scan offset is indexed and the scan jumps over its payload;
// - no header before the first frame: not a recording (empty result);
// - sixteen FF bytes (erased flash) after the first frame: end of the recorded data;
// - anything else is a damaged stretch, crossed in 512-byte probes; the frame in front of
//   each stretch is dropped (once per stretch), as its length cannot be trusted.
// Fewer than 16 bytes at the end of the file count as a candidate padded with zeros.
// Touches only the 16 bytes at each probe.
FrameIndex BuildFrameIndex(std::span<const uint8_t> file);

// The payload bytes of an entry that are actually in the file: a last record whose length runs
// past the end of the file yields only the bytes present (possibly none).
std::span<const uint8_t> PayloadPresent(const FrameIndexEntry& entry,
                                        std::span<const uint8_t> file);

}  // namespace bf
