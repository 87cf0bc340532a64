#pragma once
#include <cstdint>
#include <span>

#include "frames/FrameHeader.h"

namespace bf {

// The picture window as the player sees it (the application's player widget implements it).
// Every call comes with the player's lock held, so a paint that takes the same lock (see
// Player::WithLock) never overlaps a show. ShowFrame and ClearDisplay come on the GUI thread
// (navigation, Play) or on the playback timer thread (steps); PostPosition only from steps.
class FrameDisplay {
 public:
  virtual ~FrameDisplay() = default;
  // Keeps a copy of the header, rebuilds and decodes the picture from the payload bytes (only
  // those present: a truncated last frame of a file gives fewer than PayloadLength). True when
  // the picture is now on display. Keeps no reference to the payload.
  virtual bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) = 0;
  // Invalidates the shown header and drops the picture.
  virtual void ClearDisplay() = 0;
  // Hands the new position to the GUI thread (queued, never waits, never calls the player).
  virtual void PostPosition(uint32_t position) = 0;
};

}  // namespace bf
