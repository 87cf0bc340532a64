#include "review/Recordings.h"

#include <algorithm>

namespace bf {

namespace {

uint32_t Distance(uint32_t a, uint32_t b) {
  return a > b ? a - b : b - a;
}

bool SameRun(const FrameHeader& a, const FrameHeader& b, uint32_t gapSeconds) {
  return Distance(a.Timestamp(), b.Timestamp()) <= gapSeconds &&
         a.Compression() == b.Compression() && (a.Monochrome() != 0) == (b.Monochrome() != 0);
}

}  // namespace

std::vector<RecordingRun> SplitRecordings(std::span<const FrameIndexEntry> index,
                                          uint32_t gapSeconds) {
  std::vector<RecordingRun> runs;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const FrameHeader& h = index[i].header;
    if (i == 0 || !SameRun(index[i - 1].header, h, gapSeconds)) {
      runs.push_back({i, 0, h.Timestamp(), h.Timestamp(), h.Compression(), h.Monochrome() != 0});
    }
    RecordingRun& run = runs.back();
    ++run.frames;
    run.start = std::min(run.start, h.Timestamp());
    run.end = std::max(run.end, h.Timestamp());
  }
  return runs;
}

std::vector<TimeGap> FindGaps(const Timeline& timeline, uint32_t gapSeconds) {
  std::vector<TimeGap> gaps;
  const std::span<const uint32_t> times = timeline.SortedTimes();
  for (std::size_t i = 0; i + 1 < times.size(); ++i) {
    if (times[i + 1] - times[i] > gapSeconds) gaps.push_back({times[i], times[i + 1]});
  }
  return gaps;
}

}  // namespace bf
