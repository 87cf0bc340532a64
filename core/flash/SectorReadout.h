#pragma once
#include <cstdint>
#include <optional>

#include "link/FTD2xx.h"

namespace bf {

class CopyState;

// The copy of a type 0 camera: pointer, wrap flag, file, the range of data sectors, then the
// sector reader thread. Returns with the worker running (or the dialog asked to close). GUI
// thread.
void SaveSectorFlash(CopyState& state);

// The first of up to 256 data sectors from `sector` on (stepping with NextDataSector) that
// begins with a frame header; one sector read per probe (a probe the camera does not answer
// finds nothing). Throws FTDException, and FlashReplyError for a probe answered with the wrong
// length. The thread that holds the link.
std::optional<uint32_t> FindFirstFrameSector(FTD2xx& link, uint32_t sector);

// The GUI thread's end of the sector copy, posted by the reader: joins it, takes the link and
// the file back, reports a failure and closes the dialog with the cancel result.
void FinishSectorCopy(CopyState& state);

}  // namespace bf
