#pragma once
#include <cstdint>

namespace bf {

// Called by a range chooser for the sector the person is looking at: context as given to
// ChooseRange, the 4 MiB sector index, and a 16-byte buffer (or nullptr). Returns non-zero when
// the first 65,535 bytes of the sector hold a frame; the buffer then holds its FrameHeader.
// Runs on the GUI thread, inside ChooseRange, and talks to the camera.
using SectorHeaderCallback = uint8_t (*)(void* context, uint8_t sector, uint8_t* header);

// The range-selection dialog of a type 2 camera's copy, with the call contract of the closed
// library it replaces: the write pointer's 4 MiB sector, the wrap flag as 0 or 1, two bytes
// that receive the chosen first and last sector, the parent window (opaque; the copy dialog),
// an opaque context passed back to the callback, and the callback. Returns non-zero when the
// person confirmed a range. GUI thread only.
class RangeChooser {
 public:
  virtual ~RangeChooser() = default;
  virtual uint8_t ChooseRange(uint8_t pointerSector, uint8_t wrapFlag, uint8_t* startSector,
                              uint8_t* endSector, void* parentWindow, void* context,
                              SectorHeaderCallback callback) = 0;
  // Called by the callback's owner, from inside the callback, when the camera failed: the
  // chooser closes at once as if cancelled instead of going on with a dead camera, and the
  // caller reports the failure. A chooser that never calls back can leave it empty.
  virtual void Abandon() {}
};

}  // namespace bf
