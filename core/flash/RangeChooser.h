#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "frames/FrameHeader.h"

namespace bf {

// The first and last 4 MiB sector of a type 2 camera's flash that the person chose to copy.
struct SectorRange {
  uint8_t first = 0;
  uint8_t last = 0;
};

// The frame header at the start of a 4 MiB sector (within its first 65,535 bytes), or nothing
// when none lies there. It reads from the camera, so it may only be called while the copy that
// handed it over waits inside ChooseRange.
using SectorHeaderLookup = std::function<std::optional<FrameHeader>(uint8_t sector)>;

// The range-selection dialog of a type 2 camera's copy: given the write pointer's 4 MiB sector
// and whether the recording has gone round the end of the flash, the person picks a range, or
// nothing. Called on the thread that copies; the chooser may ask the person on another thread
// (the window's GUI thread) and call the lookup there while the copying thread waits.
class RangeChooser {
 public:
  virtual ~RangeChooser() = default;
  virtual std::optional<SectorRange> ChooseRange(uint8_t pointerSector, bool wrapped,
                                                 const SectorHeaderLookup& lookup) = 0;
  // Called by the lookup's owner, from inside the lookup, when the camera failed: the chooser
  // closes at once as if cancelled instead of going on with a dead camera, and the caller
  // reports the failure. A chooser that never looks up can leave it empty.
  virtual void Abandon() {}
};

}  // namespace bf
