#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "recordings/FrameIndex.h"
#include "review/TimeWindow.h"

namespace bf {

// A recording's frames ordered by camera time, built from its frame index alone (the file is
// never read). Frames are mostly in time order in the file, but a camera clock that was set
// back stamps later records with earlier times, so everything here works on a time-sorted copy
// of the timestamps; frames with equal times keep their file order. Immutable once built, so
// any thread may read it.
class Timeline {
 public:
  explicit Timeline(std::span<const FrameIndexEntry> index);

  std::size_t Count() const { return times_.size(); }
  bool Empty() const { return times_.empty(); }
  // Earliest and latest camera time of any frame (0 when there is none).
  uint32_t FirstTime() const { return Empty() ? 0 : times_.front(); }
  uint32_t LastTime() const { return Empty() ? 0 : times_.back(); }
  // The whole file: [first time, last time + 1), so that the frames of the last second are
  // inside. Empty window for an empty index.
  TimeWindow Whole() const;

  // How many frames lie in [window.start, window.end).
  std::size_t FramesIn(TimeWindow window) const;
  // Frames per bin for `bins` equal bins over [window.start, window.end): bin k covers
  // [start + k * length / bins, start + (k + 1) * length / bins), the last one ending exactly
  // at window.end, so the bins add up to FramesIn(window). No bins for an empty window.
  std::vector<std::size_t> Bins(TimeWindow window, std::size_t bins) const;

  // The frame (its position in the frame index) whose time is nearest to `time`; of two at
  // the same distance the earlier in time, of equal times the first in the file. Nothing for
  // an empty index.
  std::optional<std::size_t> Nearest(double time) const;

  // Position in the sorted view of the first frame at or after `time` (Count() when none).
  std::size_t LowerBound(double time) const;

  // The timestamps in time order, and the index position of each.
  std::span<const uint32_t> SortedTimes() const { return times_; }
  std::span<const std::size_t> SortedFrames() const { return frames_; }

 private:
  std::vector<uint32_t> times_;
  std::vector<std::size_t> frames_;
};

}  // namespace bf
