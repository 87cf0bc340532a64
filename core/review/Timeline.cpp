#include "review/Timeline.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace bf {

Timeline::Timeline(std::span<const FrameIndexEntry> index) {
  frames_.resize(index.size());
  std::iota(frames_.begin(), frames_.end(), std::size_t{0});
  std::stable_sort(frames_.begin(), frames_.end(), [&](std::size_t a, std::size_t b) {
    return index[a].header.Timestamp() < index[b].header.Timestamp();
  });
  times_.reserve(index.size());
  for (std::size_t i : frames_) times_.push_back(index[i].header.Timestamp());
}

TimeWindow Timeline::Whole() const {
  if (Empty()) return {};
  return {static_cast<double>(FirstTime()), static_cast<double>(LastTime()) + 1.0};
}

std::size_t Timeline::LowerBound(double time) const {
  if (std::isnan(time)) return times_.size();
  const auto it = std::lower_bound(times_.begin(), times_.end(), time,
                                   [](uint32_t t, double x) { return static_cast<double>(t) < x; });
  return static_cast<std::size_t>(it - times_.begin());
}

std::size_t Timeline::FramesIn(TimeWindow window) const {
  if (!(window.end > window.start)) return 0;
  return LowerBound(window.end) - LowerBound(window.start);
}

std::vector<std::size_t> Timeline::Bins(TimeWindow window, std::size_t bins) const {
  if (bins == 0 || !(window.end > window.start)) return {};
  std::vector<std::size_t> counts(bins, 0);
  const double length = window.Length();
  std::size_t from = LowerBound(window.start);
  for (std::size_t k = 0; k < bins; ++k) {
    // Each boundary is computed once and shared by the bins on either side of it, so no frame
    // falls between two bins or into both.
    const double boundary = k + 1 == bins ? window.end
                                          : window.start + length * static_cast<double>(k + 1) /
                                                               static_cast<double>(bins);
    const std::size_t to = std::max(from, LowerBound(boundary));
    counts[k] = to - from;
    from = to;
  }
  return counts;
}

std::optional<std::size_t> Timeline::Nearest(double time) const {
  if (Empty() || std::isnan(time)) return std::nullopt;
  const std::size_t after = LowerBound(time);
  if (after == 0) return frames_[0];
  // The first frame of the earlier time, so equal times resolve to the first in the file.
  const std::size_t before = LowerBound(static_cast<double>(times_[after - 1]));
  if (after == times_.size()) return frames_[before];
  const double distanceBefore = time - static_cast<double>(times_[before]);
  const double distanceAfter = static_cast<double>(times_[after]) - time;
  return frames_[distanceAfter < distanceBefore ? after : before];
}

}  // namespace bf
