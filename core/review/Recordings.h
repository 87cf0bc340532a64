#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "recordings/FrameIndex.h"
#include "review/Timeline.h"

namespace bf {

// Frames further apart than this (seconds of camera time) belong to different recordings.
inline constexpr uint32_t kRecordingGapSeconds = 60;

// A run of consecutive frames of the file that the camera recorded in one go: no step in time
// longer than the gap threshold between neighbours (either way: a clock set back by more than
// the threshold starts a new run too), one compression level and one colour mode throughout.
struct RecordingRun {
  std::size_t firstFrame = 0;  // position in the frame index
  std::size_t frames = 0;
  uint32_t start = 0;  // earliest and latest camera time of its frames
  uint32_t end = 0;
  uint8_t compression = 0;
  bool monochrome = false;
};

// Camera time with no frame at all, longer than the gap threshold: from the last frame before
// it to the first frame after it, in time order.
struct TimeGap {
  uint32_t start = 0;
  uint32_t end = 0;
  uint32_t Length() const { return end - start; }
};

// The recordings of an index, in file order. Reads only the index; pure functions, any thread.
std::vector<RecordingRun> SplitRecordings(std::span<const FrameIndexEntry> index,
                                          uint32_t gapSeconds = kRecordingGapSeconds);

// The gaps of a timeline, in time order.
std::vector<TimeGap> FindGaps(const Timeline& timeline, uint32_t gapSeconds = kRecordingGapSeconds);

}  // namespace bf
