#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "frames/FrameHeader.h"

namespace bf {

class ReadOnlyFile;
class JoinedFile;

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

// No limit on the number of frames indexed.
inline constexpr std::size_t kAllFrames = std::numeric_limits<std::size_t>::max();

// Indexes a recording by one forward scan that follows the records' own lengths:
// - a header at the scan offset is indexed and the scan jumps over its payload;
// - no header before the first frame: not a recording (empty result);
// - sixteen FF bytes (erased flash) after the first frame: end of the recorded data;
// - anything else is a damaged stretch, crossed in 512-byte probes; the frame in front of
//   each stretch is dropped (once per stretch), as its length cannot be trusted.
// Fewer than 16 bytes at the end of the file count as a candidate padded with zeros.
// Touches only the 16 bytes at each probe.
//
// With a frameLimit the scan ends as soon as the first frameLimit entries are certain (none of
// them can be dropped any more), so they are exactly the first entries of the whole index; a
// shorter result means the scan reached the end of the recording.
FrameIndex BuildFrameIndex(std::span<const uint8_t> file, std::size_t frameLimit = kAllFrames);

// The same over an open file, read where the scan looks: the 16 header bytes where records are
// far apart, large blocks where probes or records lie close together (damaged stretches,
// small records), so that a scan costs little more than one plain read of the file at worst.
// A file that is shorter than when it was opened ends the scan where its bytes end.
FrameIndex BuildFrameIndex(const ReadOnlyFile& file, std::size_t frameLimit = kAllFrames);
// The same over two files read as one (a copy split by the end of the flash).
FrameIndex BuildFrameIndex(const JoinedFile& file, std::size_t frameLimit = kAllFrames);

// How many payload bytes of an entry a file of `fileSize` bytes holds: a last record whose
// length runs past the end of the file has only the bytes present (possibly none).
uint64_t PayloadPresentLength(const FrameIndexEntry& entry, uint64_t fileSize);

// Those payload bytes of an entry in a file held in memory.
std::span<const uint8_t> PayloadPresent(const FrameIndexEntry& entry,
                                        std::span<const uint8_t> file);

}  // namespace bf
