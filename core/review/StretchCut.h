#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "clock/LocalTime.h"
#include "recordings/FrameIndex.h"
#include "recordings/Recording.h"

namespace bf {

// One end of a stretch of a recording: a frame number (position in the frame index) or a
// camera time. Times are compared with the frames' camera timestamps.
struct StretchBound {
  bool isFrame = false;
  uint64_t frame = 0;
  UtcSeconds time = 0;
};

// The frames from `from` to `to`, both ends included, in file order. A time bound takes every
// frame whose camera time lies in the stretch, wherever it stands in the file (a clock set back
// puts such frames apart). Reads only the index; any thread.
std::vector<std::size_t> FramesInStretch(std::span<const FrameIndexEntry> index,
                                         const StretchBound& from, const StretchBound& to);

struct StretchWriteOutcome {
  uint32_t error = 0;  // system error of the output file; 0: written
  // A frame the recording no longer holds as indexed; nothing was written then.
  std::optional<std::size_t> unreadableFrame;
  // The last frame written ends with the end of the recording, before the end of its picture.
  bool lastIncomplete = false;
  bool Written() const { return error == 0 && !unreadableFrame; }
};

// Writes `frames` (positions in the recording's index, in the order given) as a recording file
// of their own: each record byte for byte as stored (header, then payload), then erased flash
// (FF) up to a sector boundary and at least 16 bytes, where a reader finds the end of the
// recorded data. The file is replaced only when everything was written. Any one thread.
StretchWriteOutcome WriteStretch(const Recording& recording, std::span<const std::size_t> frames,
                                 const std::string& output);

}  // namespace bf
