#include "recordings/Pacing.h"

#include <algorithm>

namespace bf {

void PaceStep(std::span<const FrameIndexEntry> frames, uint32_t i, PacingState& state) {
  const std::size_t count = frames.size();
  if (state.likeOriginal) {
    if (state.groupCounter > state.groupSize) state.groupCounter = 1;
    if (state.groupCounter == 1) {
      const uint32_t stamp = frames[i].header.Timestamp();
      uint32_t group = 1;
      while (i + group < count && frames[i + group].header.Timestamp() == stamp) ++group;
      state.groupSize = group;
      if (group == 1) {
        state.frameDelay = i + 1 < count ? (frames[i + 1].header.Timestamp() - stamp) * 1000u : 0;
      } else {
        state.frameDelay = 1000 / group;
      }
    }
    if (state.frameDelay > kLongGapLimitMs) state.frameDelay = kLongGapDelayMs;
  } else {
    state.frameDelay = 1000 / std::max(state.groupSize, 1u);
  }
  ++state.groupCounter;
}

void StartPacing(PacingState& state, uint32_t rate) {
  if (rate != 0) {
    state.likeOriginal = false;
    state.groupSize = rate;
  } else {
    state.likeOriginal = true;
    if (state.groupSize == 0) state.groupSize = 1;
  }
  if (state.groupCounter == 0) state.groupCounter = 1;
}

std::vector<uint32_t> FrameDurationsMs(std::span<const FrameIndexEntry> frames, uint32_t rate) {
  constexpr uint32_t kLastLoneFrameMs = 1000;
  // The player never waits less than this between two frames; a step that computes 0 (more
  // than 1000 frames in one second) is paced by it.
  constexpr uint32_t kShortestWaitMs = 1;
  PacingState state;
  StartPacing(state, rate);
  std::vector<uint32_t> durations;
  durations.reserve(frames.size());
  for (uint32_t i = 0; i < frames.size(); ++i) {
    PaceStep(frames, i, state);
    const bool last = i + 1 == frames.size();
    durations.push_back(state.frameDelay != 0 ? state.frameDelay
                        : last                ? kLastLoneFrameMs
                                              : kShortestWaitMs);
  }
  return durations;
}

}  // namespace bf
