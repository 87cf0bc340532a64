#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "recordings/FrameIndex.h"

namespace bf {

// Steps computing a frame delay above this (in ms) hold the frame for kLongGapDelayMs instead.
inline constexpr uint32_t kLongGapLimitMs = 20000;
inline constexpr uint32_t kLongGapDelayMs = 22222;

// The pacing state of a playback run. In like-original mode groupSize is the number of
// consecutive frames with the timestamp of the group's first frame; in fixed-rate mode the same
// field holds the rate in frames per second (switching modes keeps the value). groupCounter is
// the 1-based count of frames shown since the group began.
struct PacingState {
  bool likeOriginal = true;
  uint32_t groupSize = 0;
  uint32_t groupCounter = 0;
  uint32_t frameDelay = 0;  // ms before the next frame, computed by the last step
};

// The pacing part of one playback step for the frame at `i` of `frames`: like original, a
// group's frames are spread evenly over its second, a lone frame is held until the next
// frame's second comes (unsigned 32-bit arithmetic), delays above 20 s become 22.222 s; at a
// fixed rate every frame gets 1000 / rate ms. Afterwards groupCounter has advanced by one.
// A pure function of its arguments; any thread.
void PaceStep(std::span<const FrameIndexEntry> frames, uint32_t i, PacingState& state);

// The state a playback run starts with: rate 0 is like original (group size at least 1),
// otherwise that fixed rate; the counter at least 1.
void StartPacing(PacingState& state, uint32_t rate);

// How long each frame of `frames` stays on screen when a fresh run plays them all from the
// first, in ms: the delay that the step of that frame computes, or the player's shortest wait
// of 1 ms where that delay is 0 (a second shared by more than 1000 frames). The last frame of a
// like-original run computes no delay; it is held for one second, the time a lone frame of its
// second stands for. rate 0 is like original. Any thread.
std::vector<uint32_t> FrameDurationsMs(std::span<const FrameIndexEntry> frames, uint32_t rate);

}  // namespace bf
